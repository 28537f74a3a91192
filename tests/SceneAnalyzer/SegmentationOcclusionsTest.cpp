// Occlusions and redetection on crafted tables and maps: the image sides,
// pixels without depth, the shadow band, redetection behind an occluder and
// the adjacency decisions.

#include <gtest/gtest.h>

#include "SceneAnalyzer/Segmentation.h"
#include "SegmentationTestSupport.h"

namespace {

using vela_test::Map16;

class SegmentationOcclusionsTest : public vela_test::SegmentationFixture {
protected:
    static Box3D<int> OcclusionBox(int left, int right, int zmin, int zmax, int top = 10, int bottom = 100) {
        return Box3D<int>(Vector3D<int>(left, top, zmin), Vector3D<int>(right, bottom, zmax));
    }
    // Every pixel has depth (shift 100).
    void ShiftEverywhere() { std::fill(m_shift.Data(), m_shift.Data() + m_shift.Size(), 100); }
};

// A partly hidden user whose box touches the image's left edge is hidden
// by that side, at that column; moved off the edge, it is not.
TEST_F(SegmentationOcclusionsTest, TheImageSideThatHidesAUser) {
    Segmentation& s = Seg();
    ShiftEverywhere();
    User& user = Alive(1);
    user.m_partiallyOccluded = true;
    user.m_box = OcclusionBox(0, 20, 2400, 2500);
    s.checkOcclusions();
    EXPECT_TRUE(user.OccludedByLeft());
    EXPECT_EQ(0, user.OccludingLeftSideLoc());
    EXPECT_FALSE(user.OccludedByRight());
    user.m_box = OcclusionBox(5, 25, 2400, 2500);
    s.checkOcclusions();
    EXPECT_FALSE(user.OccludedByLeft());
    user.m_box = OcclusionBox(140, kWidth - 1, 2400, 2500);
    s.checkOcclusions();
    EXPECT_TRUE(user.OccludedByRight());
    EXPECT_EQ(kWidth - 1, user.OccludingRightSideLoc());
    user.m_partiallyOccluded = false;
    s.checkOcclusions();
    EXPECT_FALSE(user.OccludedByRight());
}

// A hidden user whose stable box lies for more than 60% on pixels without
// depth is hidden by them: exactly 60% is not enough.
TEST_F(SegmentationOcclusionsTest, HiddenByPixelsWithoutDepth) {
    Segmentation& s = Seg();
    User& user = Alive(1);
    user.m_occluded = true;
    user.m_stableBox = OcclusionBox(20, 29, 2400, 2500, 20, 29);
    for (const int missing : {60, 61}) {
        ShiftEverywhere();
        for (int i = 0; i < missing; ++i) {
            m_shift.Data()[(20 + i / 10) * kWidth + 20 + i % 10] = 0;
        }
        user.m_occludedByNoDepth = false;
        s.CheckNoDepthOcclusions();
        EXPECT_EQ(missing == 61, user.OccludedByNoDepth()) << missing;
    }
    // Without a stable box there is nothing to measure.
    user.m_stableBox = Box3D<int>();
    user.m_occludedByNoDepth = false;
    s.CheckNoDepthOcclusions();
    EXPECT_FALSE(user.OccludedByNoDepth());
    // Seen again, it is not.
    user.m_occludedByNoDepth = true;
    user.m_occluded = false;
    s.CheckNoDepthOcclusions();
    EXPECT_FALSE(user.OccludedByNoDepth());
}

// The shadow band of an occluding user reaches its shadow width to the
// left of its box, or to the right when the image is mirrored: a hidden
// user on that side only is occluded by it.
TEST_F(SegmentationOcclusionsTest, TheShadowBandFollowsTheMirroring) {
    for (const bool mirrored : {false, true}) {
        SCOPED_TRACE(mirrored);
        Build(1);
        Segmentation& s = Seg();
        ShiftEverywhere();
        s.m_mirrored = mirrored;
        User& front = Alive(1);
        front.m_area = 300000;
        front.m_box = OcclusionBox(60, 70, 2000, 2100);
        front.m_centers[front.m_historyIndex] = Vector3D<int>(0, 0, 2050);
        User& left = Alive(2);
        left.m_partiallyOccluded = true;
        left.m_box = OcclusionBox(50, 58, 3000, 3100);
        left.m_centers[left.m_historyIndex] = Vector3D<int>(0, 0, 3050);
        const int shadow = s.ShadowWidth(front);
        ASSERT_GT(shadow, 10);
        s.checkOcclusions();
        EXPECT_EQ(!mirrored, front.occluding(2));
        EXPECT_EQ(!mirrored, left.occludedBy(1));
        if (!mirrored) {
            EXPECT_EQ(60 - shadow, front.leftWithShadow());
            EXPECT_EQ(70, front.rightWithShadow());
        }
        left.m_box = OcclusionBox(72, 80, 3000, 3100);
        s.checkOcclusions();
        EXPECT_EQ(mirrored, front.occluding(2));
        if (mirrored) {
            EXPECT_EQ(60, front.leftWithShadow());
            EXPECT_EQ(70 + shadow, front.rightWithShadow());
        }
    }
}

// A component reappearing more than 100 mm behind the occluder of a
// hidden user gives that user back; 100 mm behind does not.
TEST_F(SegmentationOcclusionsTest, RedetectionBehindTheOccluder) {
    Segmentation& s = Seg();
    User& front = Alive(1);
    front.m_box = OcclusionBox(60, 80, 1900, 2100);
    front.m_centers[front.m_historyIndex] = Vector3D<int>(0, 0, 2000);
    front.setOccluding(2, true);
    front.setIsOccluding();
    front.setSidesWithShadow(50, 80);
    User& hidden = Alive(2);
    hidden.m_occluded = true;
    hidden.m_partiallyOccluded = true;
    User* candidates[1] = {&hidden};
    const Box3D<int> box = OcclusionBox(78, 90, 2050, 2200, 20, 90);
    for (const int depth : {2100, 2101}) {
        bool redetected = false;
        User* found = s.findClosestUserToCC(&box, 1, candidates, 100000, depth, Vector2D<int>(0, depth), redetected,
                                            true);
        EXPECT_EQ(depth == 2101 ? &hidden : nullptr, found) << depth;
        EXPECT_EQ(depth == 2101, redetected) << depth;
    }
}

// A neighbour touching the body along 80% of its height joins it whatever
// the height test; less does not without the test.
TEST_F(SegmentationOcclusionsTest, AdjacentAlongEightyPercentOfItsHeight) {
    for (const int span : {8, 7}) {
        Build(1);
        Segmentation& s = Seg();
        Give(3, 0, 1000, OcclusionBox(40, 45, 2000, 2100, 20, 30));
        s.m_ccAdjacentRows[3] = Box1D<int>(20, 20 + span);
        s.m_fgCCs[0] = 3;
        int end = 1;
        int minX = 46;
        int maxX = 60;
        int minY = 10;
        int maxY = 40;
        EXPECT_FALSE(s.finalDecisionForGluingAdjacentCCs(minX, maxX, minY, maxY, 0, end, 0, false, false));
        EXPECT_EQ(span == 8 ? 1 : 0, end) << span;
        EXPECT_EQ(span == 8 ? 40 : 46, minX) << span;
    }
}

// A hole touching one user's pixels joins it; touching two users it stays.
TEST_F(SegmentationOcclusionsTest, AHoleBetweenTwoUsersJoinsNeither) {
    for (const int rightOwner : {1, 2}) {
        Build(1);
        Segmentation& s = Seg();
        ShiftEverywhere();
        Alive(1);
        Alive(2);
        Give(1, 1, 100000, OcclusionBox(40, 49, 2000, 2100, 50, 50));
        Give(2, rightOwner, 100000, OcclusionBox(52, 60, 2000, 2100, 50, 50));
        Give(3, 0, 0, OcclusionBox(50, 51, 0, 0, 50, 50));
        s.m_ccIsPositive[3] = false;
        Map16 depth = Flat(2000);
        Depth(depth);
        ShiftEverywhere();
        Paint(Labels(), 40, 50, 49, 50, 1);
        Paint(Labels(), 50, 50, 51, 50, 3);
        Paint(Labels(), 52, 50, 60, 50, 2);
        s.m_labelDer.Data()[50 * kWidth + 50] = 1;
        s.m_labelDer.Data()[50 * kWidth + 51] = 1;
        s.findAdjacentUser(50, 50, 50, 51, 3, s.m_ccUserId[3]);
        EXPECT_EQ(rightOwner == 1 ? 1 : 0, s.m_ccUserId[3]) << rightOwner;
    }
}

// Each body part may list its neighbours again, but never beyond the
// list's slots.
TEST_F(SegmentationOcclusionsTest, TheAdjacentListStaysInItsSlots) {
    Segmentation& s = Seg();
    for (int c = 1; c < Segmentation::kMaxCCs; ++c) {
        Give(c, 0, 100, OcclusionBox(10, 20, 2000, 2100));
    }
    int end = 0;
    s.findAdjacentCandidates(1, OcclusionBox(10, 20, 0, 0), end);
    EXPECT_EQ(Segmentation::kMaxCCs - 2, end);
    s.findAdjacentCandidates(2, OcclusionBox(10, 20, 0, 0), end);
    EXPECT_EQ(Segmentation::kMaxCCs, end);
}

// A body is not new when it stands where a user is, or behind an occluding
// user near where that user's hidden partner was (or the partner has no
// body to compare with).
TEST_F(SegmentationOcclusionsTest, BodiesTakenForKnownUsers) {
    struct Case {
        const char* what;
        int minX;
        int maxX;
        int minZ;
        int maxZ;
        bool partnerHasBody;
        bool taken;
    };
    const Case cases[] = {
        {"over the user", 62, 88, 2300, 2600, true, true},
        {"over a third of the user", 40, 70, 2300, 2600, true, false},
        {"beside the user", 100, 120, 2300, 2600, true, false},
        {"in the shadow, near the partner", 40, 58, 3000, 3200, true, true},
        {"in the shadow, 699 mm beyond the partner", 40, 58, 3899, 4000, true, true},
        {"in the shadow, 700 mm beyond the partner", 40, 58, 3900, 4000, true, false},
        {"in the shadow, partner without a body", 40, 58, 3900, 4000, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Build(1);
        Segmentation& s = Seg();
        User& front = Alive(1);
        Give(1, 1, 300000, OcclusionBox(60, 90, 2400, 2500));
        front.m_box = OcclusionBox(60, 90, 2400, 2500);
        front.setOccluding(2, true);
        front.setIsOccluding();
        Alive(2);
        if (c.partnerHasBody) {
            Give(2, 2, 100000, OcclusionBox(45, 55, 3100, 3200));
        }
        EXPECT_EQ(c.taken, s.checkOcclusion(c.minZ, c.maxZ, c.maxX, c.minX));
    }
}

// A suspect over a user's box holds a tracked user, and so does one whose
// image box the user's components mostly cover at any depth; one beside it
// does not.
TEST_F(SegmentationOcclusionsTest, ASuspectOverAUserHoldsIt) {
    Segmentation& s = Seg();
    Alive(1);
    Give(1, 1, 300000, OcclusionBox(60, 90, 2400, 2500));
    EXPECT_TRUE(s.trackedUserInBox(OcclusionBox(58, 92, 2350, 2550)));
    EXPECT_TRUE(s.trackedUserInBox(OcclusionBox(58, 92, 3350, 3550)));
    EXPECT_FALSE(s.trackedUserInBox(OcclusionBox(100, 130, 2350, 2550)));
    EXPECT_FALSE(s.trackedUserInBox(OcclusionBox(30, 70, 3350, 3550, 10, 100)));
}

}  // namespace
