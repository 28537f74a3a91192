// Gluing free components to users, on components written straight into the
// segmentation's tables: the candidate rules, cluster heights, the border
// metric's depth window and the final decision.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Segmentation.h"
#include "SegmentationTestSupport.h"

namespace {

using vela_test::Map16;

class SegmentationGluingTest : public vela_test::SegmentationFixture {
protected:
    static Box3D<int> GlueBox(int left, int right, int zmin, int zmax, int top = 10, int bottom = 100) {
        return Box3D<int>(Vector3D<int>(left, top, zmin), Vector3D<int>(right, bottom, zmax));
    }
    // A free foreground component c with its room centre at depth zc.
    void Candidate(int c, int area, const Box3D<int>& box, int zc) {
        Give(c, 0, area, box);
        Seg().m_ccIsFg[c] = true;
        Seg().m_ccCenterInRoom[c] = Vector3D<int>(0, 0, zc);
    }
    // Runs the candidate search as labelGluing does.
    bool FindCandidates() {
        Segmentation& s = Seg();
        Box3D<int> boxes[Segmentation::kMaxUsers + 1];
        Box3D<int> roomBoxes[Segmentation::kMaxUsers + 1];
        bool valid[Segmentation::kMaxUsers + 1] = {};
        int areas[Segmentation::kMaxUsers + 1] = {};
        s.evaluateUsersBoxes(boxes, valid);
        s.evaluateUsersBoxesInRoom(roomBoxes);
        s.evaluateUserArea(areas);
        return s.findCCsToGlue(boxes, roomBoxes, areas, valid);
    }
    // The depth at which rows rows of pixels measure exactly mm millimetres.
    int DepthForHeight(int rows, int mm) const {
        for (int z = 500; z < 12000; ++z) {
            if (static_cast<int>(static_cast<float>(rows) * scene_analysis::MmPerPixel(Converter(), z)) == mm) {
                return z;
            }
        }
        return -1;
    }
};

// A user whose components carry no area has no centre to glue by: it is
// skipped instead of dividing by zero, and the others keep theirs.
TEST_F(SegmentationGluingTest, AUserWithoutAreaHasNoCentre) {
    Segmentation& s = Seg();
    Alive(1);
    Alive(2);
    Give(1, 1, 0, GlueBox(60, 90, 2400, 2500));
    Give(2, 2, 1000, GlueBox(20, 30, 2900, 3100));
    Vector2D<int> centers[Segmentation::kMaxUsers + 1];
    bool valid[Segmentation::kMaxUsers + 1] = {};
    Box3D<int> boxes[Segmentation::kMaxUsers + 1];
    s.evaluateUsersBoxes(boxes, valid);
    ASSERT_TRUE(valid[1]);
    s.evaluateUserXZCenters(centers, valid);
    EXPECT_FALSE(valid[1]);
    EXPECT_EQ(Vector2D<int>(0, 0), centers[1]);
    EXPECT_TRUE(valid[2]);
    EXPECT_EQ(3000, centers[2].y);
    EXPECT_EQ(Converter().LengthAtDepthInt(3000, 25 - Converter().m_nCenterX), centers[2].x);
}

// The candidate rules against one user (area 300,000 mm^2, room depths
// 2400..2500, columns 60..90).
TEST_F(SegmentationGluingTest, CandidateRules) {
    struct Case {
        const char* what;
        int area;
        int zc;
        int left;
        bool glued;
    };
    const int a3 = 100000;
    const Case cases[] = {
        {"799 in front of the room box", 799, 2300, 70, false},
        {"800 in front of the room box", 800, 2300, 70, true},
        {"centre on the far face (t = 0)", 200000, 2500, 70, true},
        {"t = 200, area a3", a3, 2700, 70, true},
        {"t = 200, area a3 + 1", a3 + 1, 2700, 70, false},
        {"t = 800, area 5000", 5000, 3300, 70, true},
        {"t = 801", 100, 3301, 70, false},
        {"two columns apart", 1000, 2450, 92, false},
        {"one column apart", 1000, 2450, 91, true},
        {"on the image's left edge", 1000, 2450, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Build(1);
        Alive(1);
        Give(1, 1, 300000, GlueBox(60, 90, 2400, 2500));
        Candidate(2, c.area, GlueBox(c.left, c.left + 5, 2400, 2500), c.zc);
        EXPECT_EQ(c.glued, FindCandidates());
        EXPECT_EQ(c.glued, Seg().m_ccIsForGluing[2]);
        if (c.glued) {
            EXPECT_EQ(1, Seg().m_ccGlueUser[2]);
            EXPECT_EQ(1000000, Seg().m_ccGlueMetric[2][1]);
        }
    }
}

// A candidate that two users accept may join either; one only one user
// accepts may join only that one.
TEST_F(SegmentationGluingTest, TheOnlyQualifyingUserIsNoted) {
    Segmentation& s = Seg();
    Alive(1);
    Alive(2);
    Give(1, 1, 300000, GlueBox(60, 90, 2400, 2500));
    Give(2, 2, 300000, GlueBox(95, 120, 2400, 2500));
    Candidate(3, 1000, GlueBox(85, 94, 2400, 2500), 2450);
    Candidate(4, 1000, GlueBox(40, 50, 2400, 2500), 2450);
    Candidate(5, 1000, GlueBox(65, 70, 2400, 2500), 2450);
    ASSERT_TRUE(FindCandidates());
    EXPECT_EQ(0, s.m_ccGlueUser[3]);
    EXPECT_FALSE(s.m_ccIsForGluing[4]);
    EXPECT_EQ(1, s.m_ccGlueUser[5]);
}

// Glue clusters keep their candidates up to 800 mm of height; in detection
// a cluster 2500 mm or taller keeps status 1 only with a part cut off by a
// depth split; a shorter cut cluster beyond the area limit is of the second
// kind.
TEST_F(SegmentationGluingTest, ClusterHeights) {
    const int z800 = DepthForHeight(60, 800);
    const int z801 = DepthForHeight(60, 801);
    ASSERT_GT(z800, 0);
    ASSERT_GT(z801, 0);
    for (const int z : {z800, z801}) {
        Build(1);
        Candidate(1, 1000, GlueBox(60, 70, z - 100, z, 10, 40), z);
        Candidate(2, 1000, GlueBox(62, 68, z - 100, z, 41, 70), z);
        Seg().m_ccIsForGluing[1] = Seg().m_ccIsForGluing[2] = true;
        EXPECT_EQ(1, Seg().clusterFgCCs(true, false));
        EXPECT_EQ(z == z800, Seg().m_ccIsForGluing[1]) << z;
        EXPECT_EQ(z == z800 ? 2 : 0, Seg().m_numFgCCs);
    }
    const int tall = DepthForHeight(110, 2500);
    ASSERT_GT(tall, 0);
    for (const bool cut : {false, true}) {
        Build(1);
        Candidate(1, 1000, GlueBox(60, 70, tall - 100, tall, 5, 115), tall);
        Seg().m_ccCutInDepth[1] = cut;
        ASSERT_EQ(1, Seg().clusterFgCCs(false, false));
        EXPECT_EQ(cut ? 1 : 0, Seg().m_clusterStatus[0]) << cut;
    }
    Build(1);
    Candidate(1, 42688, GlueBox(60, 70, 2400, 2500, 10, 20), 2450);
    Seg().m_ccCutInDepth[1] = true;
    ASSERT_EQ(1, Seg().clusterFgCCs(false, false));
    EXPECT_EQ(2, Seg().m_clusterStatus[0]);
}

// The hinted user is met directly when its pixel two places away lies
// less than 800 mm in front of the candidate's or up to 1499 mm behind it.
TEST_F(SegmentationGluingTest, TheDirectContactsDepthWindow) {
    struct Case {
        int candidateDepth;
        bool contact;
    };
    const int userDepth = 3000;
    const Case cases[] = {{3800, false}, {3799, true}, {1501, true}, {1500, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.candidateDepth);
        Build(1);
        Segmentation& s = Seg();
        Alive(1);
        Give(1, 1, 300000, GlueBox(52, 60, 2900, 3100, 45, 55));
        Candidate(2, 1000, GlueBox(45, 50, c.candidateDepth, c.candidateDepth, 45, 55), c.candidateDepth);
        Map16 depth = Flat(0);
        Paint(depth, 45, 45, 50, 55, c.candidateDepth);
        Paint(depth, 52, 45, 60, 55, userDepth);
        Depth(depth);
        Paint(Labels(), 45, 45, 50, 55, 2);
        Paint(Labels(), 52, 45, 60, 55, 1);
        s.m_labelDer.Data()[50 * kWidth + 50] = 1;
        int metric[Segmentation::kMaxUsers + 1];
        std::fill(metric, metric + Segmentation::kMaxUsers + 1, 1000000);
        bool listedInit = false;
        int count = 0;
        EXPECT_EQ(c.contact, s.updateOnlyIdMetric(s.m_ccBox[2], 2, 1, listedInit, count, metric));
        EXPECT_EQ(c.contact ? std::abs(c.candidateDepth - userDepth) : 1000000, metric[1]);
    }
}

// The final decision: by centre distance first (then the image-edge rule
// does not apply), else by the border metric; a candidate behind an
// occluding user whose hidden partner has no body stays free.
TEST_F(SegmentationGluingTest, TheFinalDecision) {
    struct Case {
        const char* what;
        int userLeft;   // the user's component spans columns userLeft..90
        int left;       // the candidate's columns left..left+5
        int nearZ;      // its depths nearZ..nearZ+100
        int centreZ;    // its centre's depth
        int metric;     // toward user 1
        bool partner;   // user 1 occludes user 2, which has no components
        int owner;
    };
    const Case cases[] = {
        {"near by centre", 60, 62, 2400, 2460, 5, false, 1},
        {"near by centre, on the edge", 3, 0, 2400, 2460, 5, false, 1},
        {"apart, metric 799", 60, 100, 2400, 2700, 799, false, 1},
        {"apart, metric 800, behind", 60, 100, 2400, 2700, 800, false, 0},
        {"apart in depth, on the edge", 3, 0, 2000, 2460, 5, false, 0},
        {"behind an occluder whose partner has no body", 60, 62, 2400, 2460, 5, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Build(1);
        Segmentation& s = Seg();
        User& user = Alive(1);
        Give(1, 1, 300000, GlueBox(c.userLeft, 90, 2400, 2500));
        Give(2, 0, 1000, GlueBox(c.left, c.left + 5, c.nearZ, c.nearZ + 100));
        s.m_ccXZCenter[2] =
            Vector2D<int>(Converter().LengthAtDepthInt(2460, c.left + 2 - Converter().m_nCenterX), c.centreZ);
        if (c.partner) {
            Alive(2);
            user.setOccluding(2, true);
            user.setIsOccluding();
        }
        std::fill(s.m_ccGlueMetric[2], s.m_ccGlueMetric[2] + Segmentation::kMaxUsers + 1, 1000000);
        s.m_ccGlueMetric[2][1] = c.metric;
        s.m_fgCCs[0] = 2;
        s.m_numFgCCs = 1;
        Box3D<int> boxes[Segmentation::kMaxUsers + 1];
        bool valid[Segmentation::kMaxUsers + 1] = {};
        s.evaluateUsersBoxes(boxes, valid);
        Vector2D<int> centers[Segmentation::kMaxUsers + 1];
        s.evaluateUserXZCenters(centers, valid);
        // The user's own box sits off the image's edges.
        user.m_box = GlueBox(60, 90, 2400, 2500);
        s.finalGluingDecision(centers, valid, boxes);
        EXPECT_EQ(c.owner, s.m_ccUserId[2]);
    }
}

}  // namespace
