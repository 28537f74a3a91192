// The hand partition: grouping of hands whose boxes meet, the nearest
// hand-and-forearm segment per foreground pixel, whole components to their
// dominant hands, touching hands, and two rendered hands in front of a
// chest.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandCameraSession.h"
#include "HandScenes.h"

namespace {

using HandInfo = DUZHandPartition::HandInfo;
using HandGroupInfo = DUZHandPartition::HandGroupInfo;
using hand_test_kit::FixtureFrame;
using hand_test_kit::ToVector;
using vela::scene::Joint;

HandInfo Hand(int id, const Box2D<int>& box, const Vector3D<float>& position = Vector3D<float>(0, 0, 1000),
              const Vector3D<float>& forearm = Vector3D<float>(0, 0, 0)) {
    HandInfo hand;
    hand.m_id = id;
    hand.m_box = box;
    hand.m_position = position;
    hand.m_forearmDirection = forearm;
    return hand;
}

std::vector<int> Ids(const HandGroupInfo& group) {
    std::vector<int> ids;
    for (const HandInfo* hand : group.m_hands) {
        ids.push_back(hand->m_id);
    }
    return ids;
}

TEST(HandPartitionGroups, HandsWhoseBoxesMeetDirectlyOrThroughOthersFormOneGroup) {
    const NADepthMapContainer none;
    std::vector<HandGroupInfo> groups;
    const struct {
        const char* name;
        std::vector<HandInfo> hands;
        std::vector<std::vector<int>> groups;
    } cases[] = {
        {"one hand", {Hand(1, Box2D<int>(0, 0, 10, 10))}, {}},
        {"apart", {Hand(1, Box2D<int>(0, 0, 10, 10)), Hand(2, Box2D<int>(11, 0, 20, 10))}, {}},
        {"sharing a corner pixel", {Hand(1, Box2D<int>(0, 0, 10, 10)), Hand(2, Box2D<int>(10, 10, 20, 20))}, {{1, 2}}},
        {"A-B and B-C",
         {Hand(1, Box2D<int>(0, 0, 10, 10)), Hand(2, Box2D<int>(40, 0, 50, 10)), Hand(3, Box2D<int>(8, 5, 42, 6))},
         {{1, 2, 3}}},
        // C meets neither A nor B, only the box of the merged pair.
        {"through the merged box",
         {Hand(1, Box2D<int>(0, 0, 10, 10)), Hand(3, Box2D<int>(20, 0, 30, 5)), Hand(2, Box2D<int>(10, 10, 30, 12))},
         {{1, 2, 3}}},
        {"two groups and a loner",
         {Hand(5, Box2D<int>(0, 0, 10, 10)), Hand(6, Box2D<int>(100, 0, 110, 10)), Hand(7, Box2D<int>(5, 5, 15, 15)),
          Hand(8, Box2D<int>(50, 50, 60, 60)), Hand(9, Box2D<int>(105, 5, 120, 15))},
         {{5, 7}, {6, 9}}},
    };
    for (const auto& c : cases) {
        DUZHandPartition::ComputeGroupsToPartition(none, c.hands, groups);
        std::vector<std::vector<int>> ids;
        for (const HandGroupInfo& group : groups) {
            ids.push_back(Ids(group));
        }
        EXPECT_EQ(c.groups, ids) << c.name;
    }
    // The group box is the union of its hands' boxes.
    std::vector<HandInfo> hands = {Hand(1, Box2D<int>(0, 0, 10, 10)), Hand(2, Box2D<int>(5, 8, 30, 12))};
    DUZHandPartition::ComputeGroupsToPartition(none, hands, groups);
    ASSERT_EQ(1u, groups.size());
    EXPECT_EQ(Box2D<int>(0, 0, 30, 12), groups[0].m_box);
    EXPECT_EQ(&hands[1], groups[0].m_hands[1]);
}

// A 160x120 fixture; hands are placed in world millimetres around pixels
// on a foreground plane at 1000 mm.
class HandPartitionFixture : public ::testing::Test {
protected:
    HandPartitionFixture() : m_frame(160, 120) {
        m_partition.Initialize(m_frame.Depth(), "", 0);
        hand_test_kit::PaintPlane(m_frame.Depth(), 1000);
        m_mask.SetSize(120, 160, false);
        std::fill(m_mask.Data(), m_mask.Data() + m_mask.Size(), 0);
    }
    void Foreground(const Box2D<int>& box) {
        for (int y = box.min.y; y <= box.max.y; ++y) {
            for (int x = box.min.x; x <= box.max.x; ++x) {
                m_mask(y, x) = 1;
            }
        }
    }
    // Every hand's box is the whole image: one group of all hands.
    void Partition(const std::vector<HandInfo>& hands) {
        m_hands = hands;
        for (HandInfo& hand : m_hands) {
            hand.m_box = Box2D<int>(0, 0, 159, 119);
        }
        DUZHandPartition::ComputeGroupsToPartition(m_frame.Container(), m_hands, m_groups);
        m_partition.ComputePartition(m_frame.Container(), m_groups, m_mask, m_pairs);
    }
    int Owner(int x, int y) const { return m_partition.m_partitionMap(y, x); }
    // The world point of pixel (x, y) at 1000 mm, shifted by (dx, dy, dz).
    Vector3D<float> At(int x, int y, float dx, float dy = 0, float dz = 0) const {
        return m_frame.WorldAt(x, y, 1000.0f) + Vector3D<float>(dx, dy, dz);
    }

    FixtureFrame m_frame;
    DUZHandPartition m_partition;
    Array2D<int> m_mask;
    std::vector<HandInfo> m_hands;
    std::vector<HandGroupInfo> m_groups;
    DUZHandPartition::HandPairs m_pairs;
};

// Isolated foreground pixels (components far too small to be given whole)
// at the image centre, whose world point is (0, 0, 1000) exactly.
TEST_F(HandPartitionFixture, EachPixelGoesToTheNearestSegmentWithin150mm) {
    m_mask(60, 80) = 1;
    ASSERT_EQ(Vector3D<float>(0, 0, 1000), At(80, 60, 0));
    const Vector3D<float> p(0, 0, 1000);
    const Vector3D<float> down(0, 1, 0);  // forearm below the hand
    const struct {
        const char* name;
        std::vector<HandInfo> hands;
        int owner;
    } cases[] = {
        {"100 and 120 mm", {Hand(1, {}, p + Vector3D<float>(100, 0, 0)), Hand(2, {}, p - Vector3D<float>(120, 0, 0))}, 1},
        {"120 and 100 mm", {Hand(1, {}, p + Vector3D<float>(120, 0, 0)), Hand(2, {}, p - Vector3D<float>(100, 0, 0))}, 2},
        {"equal: the earlier", {Hand(3, {}, p + Vector3D<float>(130, 0, 0)), Hand(4, {}, p - Vector3D<float>(130, 0, 0))}, 3},
        {"equal, swapped", {Hand(4, {}, p - Vector3D<float>(130, 0, 0)), Hand(3, {}, p + Vector3D<float>(130, 0, 0))}, 4},
        {"160 mm from both", {Hand(1, {}, p + Vector3D<float>(160, 0, 0)), Hand(2, {}, p - Vector3D<float>(160, 0, 0))}, 0},
        // A zero direction is a sphere around the hand; a forearm reaches
        // 500 mm back.
        {"300 mm above a sphere", {Hand(1, {}, p + Vector3D<float>(0, 300, 0)), Hand(2, {}, p + Vector3D<float>(900, 0, 0))}, 0},
        {"on the forearm 300 mm below the hand",
         {Hand(1, {}, p + Vector3D<float>(0, 300, 0), down), Hand(2, {}, p + Vector3D<float>(900, 0, 0))}, 1},
        {"beyond the forearm's end",
         {Hand(1, {}, p + Vector3D<float>(0, 660, 0), down), Hand(2, {}, p + Vector3D<float>(900, 0, 0))}, 0},
        {"140 mm off a sphere", {Hand(1, {}, p + Vector3D<float>(0, 0, -140)), Hand(2, {}, p + Vector3D<float>(900, 0, 0))}, 1},
    };
    for (const auto& c : cases) {
        Partition(c.hands);
        ASSERT_EQ(1, m_partition.m_valid) << c.name;
        EXPECT_EQ(c.owner, Owner(80, 60)) << c.name;
        EXPECT_EQ(0, Owner(81, 60)) << c.name;  // not foreground
        EXPECT_TRUE(m_pairs.empty()) << c.name;
    }
}

TEST_F(HandPartitionFixture, NoGroupNoPartitionAndBetweenTwoGroupsMinusOne) {
    Foreground(Box2D<int>(0, 0, 159, 119));
    std::vector<HandInfo> hands = {Hand(1, Box2D<int>(0, 0, 20, 20), At(10, 10, 0)),
                                   Hand(2, Box2D<int>(60, 0, 80, 20), At(70, 10, 0))};
    DUZHandPartition::ComputeGroupsToPartition(m_frame.Container(), hands, m_groups);
    m_partition.ComputePartition(m_frame.Container(), m_groups, m_mask, m_pairs);
    EXPECT_EQ(0, m_partition.m_valid);
    EXPECT_FALSE(m_partition.IsOtherHandPixel(10, 10, 2));

    hands = {Hand(1, Box2D<int>(0, 0, 20, 20), At(10, 10, 0)), Hand(2, Box2D<int>(10, 10, 30, 30), At(20, 20, 0)),
             Hand(3, Box2D<int>(100, 80, 120, 100), At(110, 90, 0)),
             Hand(4, Box2D<int>(110, 90, 130, 110), At(120, 100, 0))};
    DUZHandPartition::ComputeGroupsToPartition(m_frame.Container(), hands, m_groups);
    ASSERT_EQ(2u, m_groups.size());
    m_partition.ComputePartition(m_frame.Container(), m_groups, m_mask, m_pairs);
    EXPECT_EQ(1, m_partition.m_valid);
    EXPECT_EQ(Box2D<int>(0, 0, 130, 110), m_partition.m_partitionBox);
    EXPECT_EQ(-1, Owner(60, 50));
    EXPECT_EQ(-1, Owner(5, 100));
    EXPECT_EQ(1, Owner(10, 10));
    EXPECT_EQ(4, Owner(120, 100));
    EXPECT_TRUE(m_partition.IsOtherHandPixel(10, 10, 3));
    EXPECT_FALSE(m_partition.IsOtherHandPixel(10, 10, 1));
    EXPECT_FALSE(m_partition.IsOtherHandPixel(60, 50, 1));   // -1
    EXPECT_FALSE(m_partition.IsOtherHandPixel(140, 50, 1));  // outside the box

    m_partition.ClearPartition();
    EXPECT_FALSE(m_partition.IsOtherHandPixel(10, 10, 3));
    EXPECT_EQ(1, m_partition.m_valid);

    // A new resolution leaves no partition to read until the next one.
    m_partition.ComputePartition(m_frame.Container(), m_groups, m_mask, m_pairs);
    ASSERT_TRUE(m_partition.IsOtherHandPixel(120, 100, 1));
    m_partition.UpdateResolution(NAResolution::QQQVGA);
    EXPECT_EQ(80, m_partition.m_partitionMap.Columns());
    EXPECT_FALSE(m_partition.IsOtherHandPixel(120, 100, 1));
    EXPECT_FALSE(m_partition.IsOtherHandPixel(20, 20, 3));
}

// Two rectangles of foreground 40 mm apart at 1000 mm: A dominates the
// left one, B the right one, but B's sphere reaches into the left one and
// some of the left one's pixels are far from both.
TEST_F(HandPartitionFixture, AComponentOneHandDominatesGoesToItWhole) {
    int left = 0, right = 0, top = 0, bottom = 0, gapStart = 0, gapEnd = 0;
    m_frame.PixelOf(Vector3D<float>(-300, 75, 1000), left, top);
    m_frame.PixelOf(Vector3D<float>(300, -75, 1000), right, bottom);
    m_frame.PixelOf(Vector3D<float>(60, 0, 1000), gapStart, top);
    m_frame.PixelOf(Vector3D<float>(100, 75, 1000), gapEnd, top);
    Foreground(Box2D<int>(left, top, gapStart, bottom));
    Foreground(Box2D<int>(gapEnd, top, right, bottom));
    const Vector3D<float> a(-100, 0, 1000), b(180, 0, 1000);
    Partition({Hand(1, {}, a), Hand(2, {}, b)});
    ASSERT_EQ(1, m_partition.m_valid);
    int givenToB = 0, farFromBoth = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= gapStart; ++x) {
            const Vector3D<float> p = m_frame.WorldAt(x, y, 1000.0f);
            const float da = (p - a).Magnitude(), db = (p - b).Magnitude();
            givenToB += db < da && db < 149.0f;
            farFromBoth += da > 151.0f && db > 151.0f;
            EXPECT_EQ(1, Owner(x, y)) << x << ", " << y;
        }
        for (int x = gapEnd; x <= right; ++x) {
            EXPECT_EQ(2, Owner(x, y)) << x << ", " << y;
        }
    }
    EXPECT_GT(givenToB, 20);
    EXPECT_GT(farFromBoth, 50);
    EXPECT_TRUE(m_pairs.empty());

    // Too small to be a hand's own: the pixels keep their nearest hands.
    m_partition.m_minOwnComponentArea = 1e9f;
    Partition({Hand(1, {}, a), Hand(2, {}, b)});
    int ownedByB = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= gapStart; ++x) {
            ownedByB += Owner(x, y) == 2;
        }
    }
    EXPECT_EQ(givenToB, ownedByB);
}

// Two hands 80 mm apart whose pixels meet in the middle of one patch: a
// large patch makes them touch, one under 1000 mm^2 does not.
TEST_F(HandPartitionFixture, HandsTouchOnlyInsideALargeComponent) {
    for (const float half : {35.0f, 12.0f}) {  // 70x70 mm = 4900 mm^2; 24x24 mm = 576 mm^2
        SCOPED_TRACE(half);
        std::fill(m_mask.Data(), m_mask.Data() + m_mask.Size(), 0);
        int left = 0, top = 0, right = 0, bottom = 0;
        m_frame.PixelOf(Vector3D<float>(-half, half, 1000), left, top);
        m_frame.PixelOf(Vector3D<float>(half, -half, 1000), right, bottom);
        Foreground(Box2D<int>(left, top, right, bottom));
        Partition({Hand(7, {}, Vector3D<float>(-40, 0, 1000)), Hand(9, {}, Vector3D<float>(40, 0, 1000))});
        EXPECT_EQ(7, Owner(left, top));
        EXPECT_EQ(9, Owner(right, bottom));
        const DUZHandPartition::HandPairs expected =
            half > 20.0f ? DUZHandPartition::HandPairs{{7u, 9u}} : DUZHandPartition::HandPairs{};
        EXPECT_EQ(expected, m_pairs);
    }
}

// A speckled box of isolated foreground pixels holds far more than 2000
// labels; those from 2000 up still go to their nearest hands.
TEST_F(HandPartitionFixture, ManyLabelsArePartitionedWithoutOverrun) {
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            m_mask(y, x) = (x + y) % 2;
        }
    }
    Partition({Hand(1, {}, At(40, 60, 0)), Hand(2, {}, At(120, 60, 0))});
    ASSERT_EQ(1, m_partition.m_valid);
    EXPECT_GT(m_partition.m_ccDetector.LabelCount(), 9000);
    int checked = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            if (m_mask(y, x) == 0 || m_partition.m_labelMap(x, y) < DUZHandPartition::kCountedLabels) {
                continue;
            }
            const Vector3D<float> p = m_frame.WorldAt(x, y, 1000.0f);
            const float da = (p - At(40, 60, 0)).Magnitude(), db = (p - At(120, 60, 0)).Magnitude();
            if (std::min(da, db) < 149.0f) {
                EXPECT_EQ(da < db ? 1 : 2, Owner(x, y)) << x << ", " << y;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 500);
}

TEST(HandPartitionOnCamera, TwoHandsBeforeTheChestKeepTheirOwnPixels) {
    hand_test_kit::CameraSession session;
    const std::string arms = "right_arm=0,30,-15,105 left_arm=0,30,-15,105";
    ASSERT_TRUE(session.OpenScene(hand_scenes::Room(hand_scenes::Person(arms)), 320, 240)) << session.Error();
    hand_scenes::SessionContainer frame(session);
    ASSERT_TRUE(frame.Next());
    const vela::scene::RenderedFrame& rendered = session.Rendered();
    const float k = frame.Container().m_converter->m_fPixelSizeFactor;

    // Hand records as the manager fills them, from the true hands: their
    // pixel boxes widened by 150 mm.
    std::vector<HandInfo> hands;
    for (const int side : {vela::scene::kLeft, vela::scene::kRight}) {
        const Joint elbow = side == vela::scene::kLeft ? Joint::LeftElbow : Joint::RightElbow;
        const Joint wrist = side == vela::scene::kLeft ? Joint::LeftHand : Joint::RightHand;
        const Vector3D<float> centroid = ToVector(session.Hand(0, side).centroid);
        Box2D<int> box;
        for (int y = 0; y < 240; ++y) {
            for (int x = 0; x < 320; ++x) {
                if (rendered.parts[static_cast<size_t>(y * 320 + x)] == vela::scene::kPartLeftHand + side) {
                    box = Box2D<int>(std::min(box.min.x, x), std::min(box.min.y, y), std::max(box.max.x, x),
                                     std::max(box.max.y, y));
                }
            }
        }
        const int margin = static_cast<int>(150.0f / (centroid.z * k));
        box = Box2D<int>(std::max(0, box.min.x - margin), std::max(0, box.min.y - margin),
                         std::min(319, box.max.x + margin), std::min(239, box.max.y + margin));
        const Vector3D<float> forearm =
            (ToVector(session.Joint(0, wrist)) - ToVector(session.Joint(0, elbow))).Normalized();
        hands.push_back(Hand(side + 1, box, centroid, forearm));
    }
    ASSERT_NEAR(150.0f, (hands[0].m_position - hands[1].m_position).Magnitude(), 20.0f);

    // Foreground: the person.
    Array2D<int> mask;
    mask.SetSize(240, 320, false);
    for (int i = 0; i < 320 * 240; ++i) {
        mask[i] = rendered.users[static_cast<size_t>(i)] == 1 ? 1 : 0;
    }
    DUZHandPartition partition;
    partition.Initialize(session.Depth(), "", 0);
    std::vector<HandGroupInfo> groups;
    DUZHandPartition::ComputeGroupsToPartition(frame.Container(), hands, groups);
    ASSERT_EQ(1u, groups.size());
    EXPECT_EQ((std::vector<int>{1, 2}), Ids(groups[0]));
    DUZHandPartition::HandPairs pairs;
    partition.ComputePartition(frame.Container(), groups, mask, pairs);
    ASSERT_EQ(1, partition.m_valid);
    for (const int side : {vela::scene::kLeft, vela::scene::kRight}) {
        int pixels = 0, own = 0;
        for (int i = 0; i < 320 * 240; ++i) {
            if (rendered.parts[static_cast<size_t>(i)] == vela::scene::kPartLeftHand + side &&
                rendered.depth[static_cast<size_t>(i)] != 0) {
                ++pixels;
                own += partition.m_partitionMap[i] == side + 1;
            }
        }
        ASSERT_GT(pixels, 100);
        EXPECT_GE(own, 0.9 * pixels) << "side " << side << ": " << own << " of " << pixels;
    }
}

}  // namespace

namespace {

// A wall at 9 m filling a 640x480 group box is one component whose depths
// sum beyond 32 bits; two hands meeting on it touch.
TEST(HandPartitionVga, AFarWallFillingTheGroupBoxIsOneLargeComponent) {
    FixtureFrame frame(640, 480);
    hand_test_kit::PaintPlane(frame.Depth(), 9000);
    DUZHandPartition partition;
    partition.Initialize(frame.Depth(), "", 0);
    Array2D<int> mask;
    mask.SetSize(480, 640, false);
    std::fill(mask.Data(), mask.Data() + mask.Size(), 1);
    std::vector<HandInfo> hands = {Hand(1, Box2D<int>(0, 0, 639, 479), frame.WorldAt(319, 240, 9000)),
                                   Hand(2, Box2D<int>(0, 0, 639, 479), frame.WorldAt(321, 240, 9000))};
    std::vector<HandGroupInfo> groups;
    DUZHandPartition::ComputeGroupsToPartition(frame.Container(), hands, groups);
    DUZHandPartition::HandPairs pairs;
    partition.ComputePartition(frame.Container(), groups, mask, pairs);
    ASSERT_EQ(2, partition.m_ccDetector.LabelCount());
    EXPECT_EQ(640 * 480, partition.m_labelPixelCounts[1]);
    EXPECT_EQ(int64_t{640} * 480 * 9000, partition.m_labelDepthSums[1]);
    EXPECT_EQ(1, partition.m_labelIsLarge[1]);
    EXPECT_EQ((DUZHandPartition::HandPairs{{1u, 2u}}), pairs);
}

}  // namespace
