// Robust centres on crafted user maps at 160x120 (no floor, so floor-aligned
// depths are depths; the fake sensor's shifts are 5 mm apart, so depth bins
// are 8 mm): cuts at a run of thin columns and at an empty stretch in
// depth, the part chosen by the prediction, stacked parts, and users that
// are not cut.

#include <gtest/gtest.h>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SegmentationTestSupport.h"

namespace {

using vela_test::Map16;

class RobustCentersTest : public vela_test::SegmentationFixture {
protected:
    void SetUp() override {
        SegmentationFixture::SetUp();
        m_map = Flat(0);
    }
    // Paints part of user 1.
    void Part(int left, int top, int right, int bottom, int depth) { Paint(m_map, left, top, right, bottom, depth); }
    // User 1 over the painted pixels: labels, box, depth range, area and an
    // area-weighted centre of mass; then the robust centres.
    User& Run(const Vector3D<int>& predicted = Vector3D<int>()) {
        Depth(m_map);
        XnLabel* labels = Labels();
        User& user = Seg().m_users[1];
        if (!user.alive()) {
            user = User();
            Alive(1);
        }
        Box3D<int> box;
        long long area = 0;
        long long sumZ = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const int z = m_map[static_cast<size_t>(y * kWidth + x)];
                labels[y * kWidth + x] = z != 0 ? 1 : 0;
                if (z != 0) {
                    box.min = Vector3D<int>(std::min(box.min.x, x), std::min(box.min.y, y), std::min(box.min.z, z));
                    box.max = Vector3D<int>(std::max(box.max.x, x), std::max(box.max.y, y), std::max(box.max.z, z));
                    const int a = scene_analysis::PixelArea(Converter(), z);
                    area += a;
                    sumZ += static_cast<long long>(a) * z;
                }
            }
        }
        user.m_box = box;
        user.m_boxInRoom = box;
        user.m_area = static_cast<int>(area >> Converter().m_nAreaShift);
        user.m_centers[user.m_historyIndex] = Vector3D<int>(0, 0, static_cast<int>(sumZ / area));
        user.m_predictedCenter = predicted;
        Seg().ComputeRobustCenters();
        return user;
    }
    // World x of an image column at depth z.
    int WorldX(int column, int z) const { return Converter().LengthAtDepthInt(z, column - Converter().m_nCenterX); }

    Map16 m_map;
};

// Two bodies joined by a bridge one row high are cut at the bridge's middle
// column; without a prediction the larger (right) part is taken, with one
// the part nearer to it.
TEST_F(RobustCentersTest, ARunOfThinColumnsCutsTheUser) {
    Part(40, 20, 59, 99, 2000);
    Part(60, 50, 69, 50, 2000);
    Part(70, 20, 89, 99, 2000);
    User& user = Run();
    EXPECT_EQ(64, user.m_splitColumn);
    EXPECT_EQ(-1, user.m_splitZFar);
    EXPECT_TRUE(user.m_robustSplit);
    EXPECT_EQ(2000, user.m_robustCenter.z);
    EXPECT_NEAR(WorldX(79, 2000), user.m_robustCenter.x, 20);
    const int right = user.m_robustArea;
    const Vector3D<int> left(WorldX(50, 2000), 0, 2000);
    Run(left);
    EXPECT_NEAR(left.x, user.m_robustCenter.x, 20);
    EXPECT_LT(user.m_robustArea, right);
    // A bridge as high as the bodies is no cut.
    Part(60, 20, 69, 99, 2000);
    Run(left);
    EXPECT_EQ(-1, user.m_splitColumn);
    EXPECT_FALSE(user.m_robustSplit);
}

// A bridge of 99 mm of height is thin, one of 100 mm is not.
TEST_F(RobustCentersTest, ThinColumnsAreAtMost99mmHigh) {
    const WorldPointConverter<float>& c = Converter();
    for (const int height : {99, 100}) {
        SCOPED_TRACE(height);
        int depth = 0;
        int rows = 0;
        for (int z = 1000; z < 4000 && depth == 0; ++z) {
            for (int n = 1; n <= 20; ++n) {
                if ((n * c.LengthAt(z)) >> c.m_nLengthShift == height) {
                    depth = z;
                    rows = n;
                    break;
                }
            }
        }
        ASSERT_NE(0, depth);
        m_map = Flat(0);
        Part(40, 20, 59, 99, depth);
        Part(60, 50, 60, 49 + rows, depth);
        Part(61, 20, 80, 99, depth);
        User& user = Run();
        EXPECT_EQ(height == 99 ? 60 : -1, user.m_splitColumn);
    }
}

// Three columns are enough for a cut (fewer leave no column between the
// parts).
TEST_F(RobustCentersTest, AUserThreeColumnsWideCanBeCut) {
    Part(40, 20, 40, 99, 2000);
    Part(41, 50, 41, 50, 2000);
    Part(42, 20, 42, 99, 2000);
    EXPECT_EQ(41, Run().m_splitColumn);
    Part(41, 20, 41, 99, 2000);
    Part(42, 20, 42, 99, 0);
    EXPECT_EQ(-1, Run().m_splitColumn);
}

// A near body and a far body side by side, 1 m apart in depth: a depth
// split between them; without a prediction the larger (far) part is taken.
// When the near part stands on top of the far one within its columns the
// cut is not used.
TEST_F(RobustCentersTest, AnEmptyStretchInDepthCutsTheUser) {
    // Each part has a thin fringe one bin toward the other.
    Part(40, 40, 69, 64, 2000);
    Part(40, 64, 69, 64, 2008);
    Part(70, 40, 109, 54, 3000);
    Part(70, 40, 109, 40, 2992);
    User& user = Run();
    EXPECT_EQ(-1, user.m_splitColumn);
    // The gap runs from the first empty bin below the far fringe down to the
    // near fringe.
    EXPECT_EQ(373 * 8, user.m_splitZFar);
    EXPECT_EQ(251 * 8, user.m_splitZNear);
    EXPECT_EQ((373 * 8 + 251 * 8) / 2, user.GetPartitioningInZ());
    EXPECT_TRUE(user.m_robustSplit);
    EXPECT_NEAR(3000, user.m_robustCenter.z, 8);
    EXPECT_NEAR(WorldX(89, 3000), user.m_robustCenter.x, 25);
    // Predicted near: the near part.
    Run(Vector3D<int>(WorldX(55, 2000), 0, 2000));
    EXPECT_NEAR(2000, user.m_robustCenter.z, 8);

    m_map = Flat(0);
    Part(45, 40, 74, 64, 2000);
    Part(45, 64, 74, 64, 2008);
    Part(40, 65, 79, 79, 3000);
    Part(40, 65, 79, 65, 2992);
    Run();
    EXPECT_FALSE(user.m_robustSplit);
    EXPECT_EQ(-1, user.m_splitZFar);
    EXPECT_EQ(-1, user.m_splitZNear);
    EXPECT_EQ(0, user.m_robustCenter.x);
    EXPECT_EQ(user.CenterOfMass().z, user.m_robustCenter.z);
}

// Depth bins of 8 mm reach 4792 mm: a user beyond is measured in x, and
// its depths stay out of the bins. Its parts' depths times their areas pass
// 32 bits.
TEST_F(RobustCentersTest, AFarUserStaysInsideTheHistograms) {
    Part(40, 40, 49, 79, 7500);
    Part(50, 60, 55, 60, 7500);
    Part(56, 40, 65, 79, 7900);
    User& user = Run();
    EXPECT_EQ(52, user.m_splitColumn);
    EXPECT_EQ(-1, user.m_splitZFar);
    EXPECT_NEAR(7900, user.m_robustCenter.z, 10);
    Seg().InjectUser(Box3D<int>());
    EXPECT_EQ(1u, Seg().m_injections.size());
    for (int b = 0; b < Segmentation::kHistBins; ++b) {
        ASSERT_EQ(0, Seg().m_histAreaByShift[b]) << b;
    }
}

// The gap of a depth split on crafted histograms of 8 mm bins (the fake
// sensor's depth step of one shift is 5 mm, so a bin's density window is
// the 8 bins up to it): a near part at bin 100 with a fringe at 101, a far
// part at the far end.
class DepthGapTest : public RobustCentersTest {
protected:
    void SetUp() override {
        RobustCentersTest::SetUp();
        // A short user: the near part alone passes the first-part limit.
        Part(60, 50, 61, 60, 2000);
        m_user = &Run();
        std::fill(m_hist, m_hist + Segmentation::kHistBins, 0);
        m_hist[100] = 300000;
        m_hist[101] = 1000;
    }
    bool Gap(int zhi, int& far, int& near) {
        long long g = 0;
        for (int b = 100; b <= zhi; ++b) {
            g += m_hist[b];
        }
        m_user->m_area = static_cast<int>(g);
        m_user->m_robustArea = 0;
        return Seg().FindDepthGap(*m_user, m_hist, 100, zhi, 3, static_cast<int>(g), far, near);
    }

    User* m_user = nullptr;
    int m_hist[Segmentation::kHistBins];
};

// A window of 6999 mm^2 is no body: the gap runs on past it to the near
// part; 7000 ends it where the lump enters the window (8 bins above it).
TEST_F(DepthGapTest, ABinIsDenseAbove6999) {
    for (const int lump : {6999, 7000}) {
        SCOPED_TRACE(lump);
        m_hist[300] = 100000;
        m_hist[299] = 50000;
        m_hist[200] = lump;
        int far = 0;
        int near = 0;
        ASSERT_TRUE(Gap(300, far, near));
        EXPECT_EQ(298, far);
        EXPECT_EQ(lump == 6999 ? 101 : 201, near);
    }
}

// With little far area, a gap of 808 mm is taken whatever that area; one of
// 800 mm needs more than 5000 mm^2 behind it.
TEST_F(DepthGapTest, LongGapsNeedLessAreaBehind) {
    for (const int far0 : {203, 202}) {
        SCOPED_TRACE(far0);
        std::fill(m_hist + 102, m_hist + Segmentation::kHistBins, 0);
        m_hist[far0] = 3000;
        m_hist[far0 - 1] = 2000;
        int far = 0;
        int near = 0;
        const bool gap = Gap(far0, far, near);
        EXPECT_EQ(far0 == 203, gap);
        if (gap) {
            EXPECT_EQ(808, (far - near) * 8);
        }
    }
}

// A user holding or held in a touching pair, or without area, gets no
// robust centre: zero velocity and its own area.
TEST_F(RobustCentersTest, UsersOfATouchingPairAreNotCut) {
    Part(40, 20, 59, 99, 2000);
    Part(60, 50, 69, 50, 2000);
    Part(70, 20, 89, 99, 2000);
    User& user = Run();
    Run(Vector3D<int>(WorldX(50, 2000), 0, 2000));
    ASSERT_NE(Vector3D<int>(), user.m_robustVelocity);
    user.m_isSwallowed = true;
    Run();
    EXPECT_EQ(Vector3D<int>(), user.m_robustVelocity);
    EXPECT_EQ(Vector3D<int>(), user.m_robustCenter);
    EXPECT_EQ(user.area(), user.m_robustArea);
    EXPECT_EQ(-1, user.m_splitColumn);
}

// Two segmentations keep their own scratch: a second object's frame does
// not change what the first one measures.
TEST_F(RobustCentersTest, EachSegmentationHasItsOwnHistograms) {
    Segmentation other;
    other.m_histAreaByX[64] = 12345;
    Part(40, 20, 59, 99, 2000);
    Part(60, 50, 69, 50, 2000);
    Part(70, 20, 89, 99, 2000);
    EXPECT_EQ(64, Run().m_splitColumn);
    EXPECT_EQ(12345, other.m_histAreaByX[64]);
    EXPECT_NE(12345, Seg().m_histAreaByX[64]);
}

}  // namespace
