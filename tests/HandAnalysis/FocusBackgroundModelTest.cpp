#include "HandAnalysis/DUZFocusBackgroundModel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using MotionMap = Array2D<unsigned short>;

// The motion rule pixel by pixel, written from its description.
void MotionReference(int width, const unsigned short* current, const MotionMap& foreground, MotionMap& accumulated,
                     MotionMap& motion, const unsigned short* mask, int firstRow, int lastRow, int firstColumn,
                     int lastColumn) {
    for (int y = firstRow; y <= lastRow; ++y) {
        for (int x = firstColumn; x <= lastColumn; ++x) {
            const int i = y * width + x;
            int a = accumulated.Data()[i];
            int c = motion.Data()[i];
            const int d = current[i];
            const int k = mask[i];
            if (static_cast<int16_t>(foreground.Data()[i]) > 0) {
                if (std::abs(d - a) > 2) {
                    a = d;
                    c = c == 0 ? 1 : c;
                } else {
                    a = (d + a + 1) / 2;
                    if (c != 0) {
                        c = c + 1 > 15 * (k + 1) ? 0 : c + 1;
                    }
                }
            } else {
                a = 0;
                c = 0;
            }
            accumulated.Data()[i] = static_cast<unsigned short>(a);
            motion.Data()[i] = static_cast<unsigned short>(c);
        }
    }
}

MotionMap FilledMap(int width, int height, unsigned short value) {
    MotionMap image;
    image.SetSize(height, width, false);
    std::fill(image.Data(), image.Data() + image.Size(), value);
    return image;
}

// One pixel's value and foreground per frame through the motion update; the
// motion counters after each frame.
std::vector<int> CounterRun(const std::vector<int>& values, unsigned short maskValue, bool sse) {
    const int width = 8;
    MotionMap foreground = FilledMap(width, 1, 1500);
    MotionMap accumulated = FilledMap(width, 1, 0);
    MotionMap motion = FilledMap(width, 1, 0);
    const std::vector<unsigned short> mask(width, maskValue);
    std::vector<int> counters;
    for (int value : values) {
        const std::vector<unsigned short> current(width, static_cast<unsigned short>(value));
        const Box2D<int> box(0, 0, width - 1, 0);
        if (sse) {
            DUZFocusBackgroundModel::CalculateDiffFgImageSSE(width, current.data(), foreground, accumulated, motion,
                                                             mask.data(), box);
        } else {
            DUZFocusBackgroundModel::CalculateDiffFgImage(width, current.data(), foreground, accumulated, motion,
                                                          mask.data(), box);
        }
        counters.push_back(motion.Data()[3]);
    }
    return counters;
}

TEST(FocusBackgroundModel, MotionUpdateTwinsMatchThePixelRuleOnRandomImages) {
    std::mt19937 random(29);
    for (int trial = 0; trial < 200; ++trial) {
        const int width = 8 * std::uniform_int_distribution<int>(1, 24)(random);
        const int height = std::uniform_int_distribution<int>(1, 20)(random);
        const int n = width * height;
        MotionMap foreground = FilledMap(width, height, 0);
        MotionMap accumulated = FilledMap(width, height, 0);
        MotionMap motion = FilledMap(width, height, 0);
        std::vector<unsigned short> current(static_cast<size_t>(n));
        std::vector<unsigned short> mask(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            // Real shifts (up to 2047), values near the current one, some
            // foreground depths that read negative as signed, masks 0 and 1.
            current[i] = static_cast<unsigned short>(std::uniform_int_distribution<int>(0, 2047)(random));
            const int pick = std::uniform_int_distribution<int>(0, 3)(random);
            accumulated.Data()[i] = static_cast<unsigned short>(
                pick == 0 ? std::uniform_int_distribution<int>(0, 2047)(random)
                          : std::max(0, current[i] + std::uniform_int_distribution<int>(-4, 4)(random)));
            motion.Data()[i] = static_cast<unsigned short>(std::uniform_int_distribution<int>(0, 33)(random));
            const int fg = std::uniform_int_distribution<int>(0, 5)(random);
            foreground.Data()[i] = static_cast<unsigned short>(fg == 0 ? 0 : fg == 1 ? 40000 : 500 + fg * 700);
            mask[i] = static_cast<unsigned short>(std::uniform_int_distribution<int>(0, 1)(random));
        }
        Box2D<int> box(std::uniform_int_distribution<int>(0, width - 1)(random),
                       std::uniform_int_distribution<int>(0, height - 1)(random), 0, 0);
        box.max.x = std::uniform_int_distribution<int>(box.min.x, width - 1)(random);
        box.max.y = std::uniform_int_distribution<int>(box.min.y, height - 1)(random);

        MotionMap refAccumulated = accumulated, refMotion = motion;
        MotionReference(width, current.data(), foreground, refAccumulated, refMotion, mask.data(), box.min.y,
                        box.max.y, box.min.x & ~7, box.max.x | 7);
        MotionMap sseAccumulated = accumulated, sseMotion = motion;
        DUZFocusBackgroundModel::CalculateDiffFgImageSSE(width, current.data(), foreground, sseAccumulated,
                                                         sseMotion, mask.data(), box);
        MotionMap plainAccumulated = accumulated, plainMotion = motion;
        DUZFocusBackgroundModel::CalculateDiffFgImage(width, current.data(), foreground, plainAccumulated,
                                                      plainMotion, mask.data(), box);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(refAccumulated.Data()[i], sseAccumulated.Data()[i]) << "trial " << trial << " pixel " << i;
            ASSERT_EQ(refMotion.Data()[i], sseMotion.Data()[i]) << "trial " << trial << " pixel " << i;
            ASSERT_EQ(refAccumulated.Data()[i], plainAccumulated.Data()[i]) << "trial " << trial << " pixel " << i;
            ASSERT_EQ(refMotion.Data()[i], plainMotion.Data()[i]) << "trial " << trial << " pixel " << i;
        }
    }
}

TEST(FocusBackgroundModel, CounterRunsFifteenStillFramesOrThirtyInsideATrackedWindow) {
    for (bool sse : {true, false}) {
        // 600 first: moved from nothing accumulated, counter 1; 603 moves
        // again (3 > 2) but a running counter neither grows nor restarts.
        std::vector<int> values = {600, 603};
        values.resize(40, 603);
        const std::vector<int> outside = CounterRun(values, 0, sse);
        const std::vector<int> inside = CounterRun(values, 1, sse);
        EXPECT_EQ(1, outside[0]);
        EXPECT_EQ(1, outside[1]);
        for (int still = 1; still <= 14; ++still) {
            EXPECT_EQ(1 + still, outside[1 + still]) << still;
        }
        EXPECT_EQ(0, outside[16]);
        EXPECT_EQ(0, outside[17]);
        for (int still = 1; still <= 29; ++still) {
            EXPECT_EQ(1 + still, inside[1 + still]) << still;
        }
        EXPECT_EQ(0, inside[31]);
        // A pixel that never moved after losing its counter stays still.
        EXPECT_EQ(0, inside[39]);
    }
}

TEST(FocusBackgroundModel, ChangeOfTwoIsNoMovementAndMovesTheAccumulatedValueHalfway) {
    const int width = 8;
    MotionMap foreground = FilledMap(width, 1, 1500);
    MotionMap accumulated = FilledMap(width, 1, 600);
    MotionMap motion = FilledMap(width, 1, 0);
    const std::vector<unsigned short> current = {602, 598, 603, 601, 600, 597, 602, 602};
    // Pixel 7 leaves the foreground.
    foreground.Data()[7] = 0;
    motion.Data()[7] = 5;
    DUZFocusBackgroundModel::CalculateDiffFgImageSSE(width, current.data(), foreground, accumulated, motion, nullptr,
                                                     Box2D<int>(0, 0, 7, 0));
    const unsigned short expectedA[] = {601, 599, 603, 601, 600, 597, 601, 0};
    const unsigned short expectedC[] = {0, 0, 1, 0, 0, 1, 0, 0};
    for (int i = 0; i < width; ++i) {
        EXPECT_EQ(expectedA[i], accumulated.Data()[i]) << i;
        EXPECT_EQ(expectedC[i], motion.Data()[i]) << i;
    }
}

TEST(FocusBackgroundModel, WidthNotAMultipleOfEightChangesNothing) {
    const int width = 164;
    MotionMap foreground = FilledMap(width, 2, 1500);
    MotionMap accumulated = FilledMap(width, 2, 7);
    MotionMap motion = FilledMap(width, 2, 3);
    const std::vector<unsigned short> current(2 * width, 900);
    for (bool sse : {true, false}) {
        if (sse) {
            DUZFocusBackgroundModel::CalculateDiffFgImageSSE(width, current.data(), foreground, accumulated, motion,
                                                             nullptr, Box2D<int>(0, 0, width - 1, 1));
        } else {
            DUZFocusBackgroundModel::CalculateDiffFgImage(width, current.data(), foreground, accumulated, motion,
                                                          nullptr, Box2D<int>(0, 0, width - 1, 1));
        }
        for (int i = 0; i < 2 * width; ++i) {
            ASSERT_EQ(7, accumulated.Data()[i]);
            ASSERT_EQ(3, motion.Data()[i]);
        }
    }
}

TEST(FocusBackgroundModel, ResetMakesEveryPixelMovingAndCopesWithUnsizedImages) {
    DUZFocusBackgroundModel model;
    model.Reset();
    EXPECT_EQ(0, model.m_motionImage.Size());
    model.m_motionImage = FilledMap(160, 120, 0);
    model.m_accumulatedShift = FilledMap(160, 120, 900);
    model.Reset();
    for (int i = 0; i < 160 * 120; ++i) {
        ASSERT_EQ(1, model.m_motionImage.Data()[i]);
        ASSERT_EQ(0, model.m_accumulatedShift.Data()[i]);
    }
}

TEST(FocusBackgroundModel, ComponentTouchingATrackedWindowAtACornerIsAdjacent) {
    DUZFocusBackgroundModel model;
    Box2D<int> windows[2] = {Box2D<int>(10, 10, 20, 20), Box2D<int>(100, 50, 110, 60)};
    NAFarfieldCC cc;
    EXPECT_FALSE(model.isCCAdjacentToUser(cc));
    struct Case {
        Box3D<int> box;
        bool adjacent;
    } cases[] = {
        {Box3D<int>(Vector3D<int>(20, 20, 0), Vector3D<int>(30, 30, 0)), true},   // sharing corner (20, 20)
        {Box3D<int>(Vector3D<int>(21, 21, 0), Vector3D<int>(30, 30, 0)), false},  // diagonally next to it
        {Box3D<int>(Vector3D<int>(0, 0, 0), Vector3D<int>(10, 10, 0)), true},     // the other corner
        {Box3D<int>(Vector3D<int>(22, 10, 0), Vector3D<int>(30, 20, 0)), false},  // one column apart
        {Box3D<int>(Vector3D<int>(12, 21, 0), Vector3D<int>(14, 40, 0)), false},  // one row below
        {Box3D<int>(Vector3D<int>(12, 20, 0), Vector3D<int>(14, 40, 0)), true},   // sharing row 20
        {Box3D<int>(Vector3D<int>(105, 61, 0), Vector3D<int>(106, 70, 0)), false},
        {Box3D<int>(Vector3D<int>(90, 40, 0), Vector3D<int>(100, 50, 0)), true},
    };
    model.m_trackedBoxes = windows;
    model.m_numTrackedBoxes = 2;
    for (const Case& c : cases) {
        cc.box = c.box;
        EXPECT_EQ(c.adjacent, model.isCCAdjacentToUser(cc)) << c.box.min.x << "," << c.box.min.y;
    }
    model.m_numTrackedBoxes = 0;
    cc.box = cases[0].box;
    EXPECT_FALSE(model.isCCAdjacentToUser(cc));
}

TEST(FocusBackgroundModel, InitializeWithoutAHubFails) {
    DUZFocusBackgroundModel model;
    xn::DepthGenerator node;
    EXPECT_EQ(0, model.Initialize(nullptr, node, "", 0, 1, 0));
}

}  // namespace
