// The hand filter: the depth jump behind a pixel from its four neighbours
// one hand size away, on a rendered person with a raised hand and on
// painted fixtures for each case of the rule.

#include <gtest/gtest.h>

#include <algorithm>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandCameraSession.h"
#include "HandScenes.h"

namespace {

using vela::scene::kPartRightHand;
using vela::scene::kPartTorso;

TEST(HandFilter, TheRaisedHandStandsOutAndTheTorsoDoesNot) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(hand_scenes::RaisedRightHand(), 320, 240)) << session.Error();
    hand_scenes::SessionContainer frame(session);
    ASSERT_TRUE(frame.Next());
    // A model that knows no background: the filter sees the current depth.
    DUZHandTrackerBackgroundModel model;
    ASSERT_EQ(1, model.Initialize(session.Depth(), "", 0));
    DUZHandFilter filter;
    ASSERT_EQ(1, filter.Initialize("", 4500, 0));
    Array2D<unsigned short> probability;
    ASSERT_TRUE(filter.ComputeProbabilityMap(frame.Container(), model, frame.All(), probability));

    const vela::scene::RenderedFrame& rendered = session.Rendered();
    int hand = 0, handHigh = 0, torso = 0, torsoLow = 0;
    for (int i = 0; i < 320 * 240; ++i) {
        const size_t p = static_cast<size_t>(i);
        if (rendered.depth[p] == 0 || rendered.users[p] != 1) {
            continue;
        }
        if (rendered.parts[p] == kPartRightHand) {
            ++hand;
            handHigh += probability[i] >= 800;
        } else if (rendered.parts[p] == kPartTorso) {
            ++torso;
            torsoLow += probability[i] <= 100;
        }
    }
    ASSERT_GT(hand, 100);
    // All but the part near the wrist, which has hand 150 mm above it.
    EXPECT_GE(handHigh, 0.7 * hand) << handHigh << " of " << hand;
    EXPECT_GE(torsoLow, 0.95 * torso) << torsoLow << " of " << torso;

    // Nothing beyond the depth limit: the hand at about 1.4 m.
    ASSERT_EQ(1, filter.Initialize("", 1300, 0));
    ASSERT_TRUE(filter.ComputeProbabilityMap(frame.Container(), model, frame.All(), probability));
    for (int i = 0; i < 320 * 240; ++i) {
        if (rendered.depth[static_cast<size_t>(i)] > 1300) {
            ASSERT_EQ(0, probability[i]);
        }
    }
}

// A pixel at 1000 mm in the middle of a 320x240 fixture; its neighbours lie
// r = 150 mm (in pixels at 1000 mm) away.
class HandFilterFixture : public ::testing::Test {
protected:
    HandFilterFixture() : m_frame(320, 240) {
        m_model.Initialize(m_frame.Depth(), "", 0);
        m_filter.Initialize("", 4500, 0);
        m_r = static_cast<int>(150.0f * m_frame.Converter().m_pInvPixelSizeAtDepth[1000]);
    }
    // Background plane, the pixel, and its four neighbours (0 keeps the
    // plane there).
    unsigned short Probability(unsigned short plane, unsigned short pixel, unsigned short left, unsigned short right,
                               unsigned short up, unsigned short down) {
        hand_test_kit::PaintPlane(m_frame.Depth(), plane);
        Set(kX, kY, pixel);
        Set(kX - m_r, kY, left);
        Set(kX + m_r, kY, right);
        Set(kX, kY - m_r, up);
        Set(kX, kY + m_r, down);
        m_frame.UpdateShift();
        return Run(kX, kY);
    }
    unsigned short Run(int x, int y) {
        Array2D<unsigned short> out;
        EXPECT_TRUE(m_filter.ComputeProbabilityMap(m_frame.Container(), m_model, Box2D<int>(x, y, x, y), out));
        return out(y, x);
    }
    void Set(int x, int y, unsigned short depth) {
        if (depth != 0) {
            m_frame.Depth().WritableData()[y * 320 + x] = depth;
        }
    }

    static constexpr int kX = 160;
    static constexpr int kY = 120;
    hand_test_kit::FixtureFrame m_frame;
    DUZHandTrackerBackgroundModel m_model;
    DUZHandFilter m_filter;
    int m_r = 0;
};

TEST_F(HandFilterFixture, TheJumpBehindComesFromAboveAndTheMedianOfTheOtherThree) {
    ASSERT_GT(m_r, 20);
    const struct {
        const char* name;
        unsigned short plane, pixel, left, right, up, down, probability;
    } cases[] = {
        {"all 200 mm behind", 1200, 1000, 0, 0, 0, 0, 1000},
        {"the hand goes on upward", 1200, 1000, 0, 0, 1000, 0, 0},
        {"open on the right and below", 1200, 1000, 0, 1000, 0, 1000, 0},
        {"open below only", 1200, 1000, 0, 0, 0, 1000, 1000},
        {"J = 95", 1095, 1000, 0, 0, 0, 0, 500},
        {"J = 41", 1041, 1000, 0, 0, 0, 0, 9},
        {"J = 40", 1040, 1000, 0, 0, 0, 0, 0},
        {"J = 150", 1150, 1000, 0, 0, 0, 0, 1000},
        {"nearer behind", 900, 1000, 0, 0, 0, 0, 0},
        {"missing depth is far", 0, 1000, 1000, 0, 0, 0, 1000},
        {"beyond the limit", 4700, 4600, 0, 0, 0, 0, 0},
        {"at the limit", 4700, 4500, 0, 0, 0, 0, 1000},
        {"no depth", 1200, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.probability, Probability(c.plane, c.pixel, c.left, c.right, c.up, c.down)) << c.name;
    }
}

// Near the top border the upper neighbour lies outside the image: farther
// than anything, not the border's depth.
TEST_F(HandFilterFixture, ANeighbourOutsideTheImageIsFar) {
    ASSERT_LT(10 - m_r, 0);
    hand_test_kit::PaintPlane(m_frame.Depth(), 1200);
    hand_test_kit::PaintRect(m_frame.Depth(), Box2D<int>(0, 0, 319, 2), 1000);
    Set(kX, 10, 1000);
    m_frame.UpdateShift();
    EXPECT_EQ(1000, Run(kX, 10));
}

// A neighbour whose background the model trusts shows that background even
// when something nearer covers it now.
TEST_F(HandFilterFixture, AStableBackgroundIsSeenThroughWhatCoversIt) {
    hand_test_kit::PaintPlane(m_frame.Depth(), 1200);
    m_frame.UpdateShift();
    m_model.SetToCurrentShiftMap(m_frame.Container(), Box2D<int>(0, 0, 319, 239));
    // A hand at 1000 whose arm covers the pixel above it now.
    hand_test_kit::PaintRect(m_frame.Depth(), Box2D<int>(kX - 3, kY - m_r - 5, kX + 3, kY + 3), 1000);
    m_frame.UpdateShift();
    EXPECT_EQ(1000, Run(kX, kY));
    // Without the background the arm above hides the jump.
    DUZHandTrackerBackgroundModel unknown;
    unknown.Initialize(m_frame.Depth(), "", 0);
    Array2D<unsigned short> out;
    ASSERT_TRUE(m_filter.ComputeProbabilityMap(m_frame.Container(), unknown, Box2D<int>(kX, kY, kX, kY), out));
    EXPECT_EQ(0, out(kY, kX));
    // A model of another size is refused, the output left alone.
    DUZHandTrackerBackgroundModel coarse;
    xn::DepthMetaData small;
    small.AllocateData(160, 120);
    coarse.Initialize(small, "", 0);
    out(kY, kX) = 77;
    EXPECT_FALSE(m_filter.ComputeProbabilityMap(m_frame.Container(), coarse, Box2D<int>(kX, kY, kX, kY), out));
    EXPECT_EQ(77, out(kY, kX));
}

}  // namespace
