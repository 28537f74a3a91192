// Detection of new users from seed points and from foreground clusters, on
// crafted maps: which bodies start a user and which do not.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "SceneAnalyzer/Segmentation.h"
#include "SegmentationTestSupport.h"

namespace {

using vela_test::Map16;

class SegmentationDetectionTest : public vela_test::SegmentationFixture {
protected:
    // Component label on columns left..right and rows top..bottom at depth z
    // (label map, depth and box; area, pixels and depths left to measure).
    void Body(int label, int left, int top, int right, int bottom, int z) {
        Segmentation& s = Seg();
        s.m_numCCs = std::max(s.m_numCCs, label);
        Paint(m_bodyDepth, left, top, right, bottom, z);
        Depth(m_bodyDepth);
        Paint(Labels(), left, top, right, bottom, label);
        s.m_ccBox[label] = Box3D<int>(Vector3D<int>(left, top, INT_MAX), Vector3D<int>(right, bottom, INT_MIN));
    }
    // A free foreground component on columns 70..right, rows 10..100, with
    // depths 2500..far, on the background model's foreground.
    void ForegroundBody(int right, int far);
    int AliveCount() const {
        int alive = 0;
        for (int id = 1; id <= Segmentation::kMaxUsers; ++id) {
            alive += m_seg->GetUser(id).alive() ? 1 : 0;
        }
        return alive;
    }

    Map16 m_bodyDepth = Map16(kWidth * kHeight, 0);
};

// A seed point starts a user on the component under it when that is at
// least 800 mm tall with an area of a tenth of its squared height; points
// off the image, on no component or on a label beyond this frame's
// components seed nothing.
TEST_F(SegmentationDetectionTest, SeedPoints) {
    struct Case {
        const char* what;
        std::vector<Vector2D<int>> points;
        int created;
    };
    const Case cases[] = {
        {"no point", {}, 0},
        {"off the image", {{-1, 50}, {kWidth, 50}, {75, -1}, {75, kHeight}}, 0},
        {"on no component", {{5, 5}}, 0},
        {"on a label beyond the components", {{120, 50}}, 0},
        {"on a body too short", {{30, 20}}, 0},
        {"on a body too thin", {{100, 50}}, 0},
        {"on a body", {{75, 50}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Build(1);
        m_bodyDepth = Flat(0);
        Segmentation& s = Seg();
        Body(1, 70, 10, 80, 100, 2500);  // 1.5 m tall, 0.2 m wide
        Body(2, 25, 10, 35, 40, 2500);   // 0.5 m tall
        Body(3, 100, 10, 101, 100, 2500);  // 35 mm wide
        // A pixel with depth but no component, and a label the labeller
        // gave beyond this frame's count whose slot holds a stale body.
        Paint(m_bodyDepth, 5, 5, 5, 5, 2500);
        Depth(m_bodyDepth);
        Paint(Labels(), 115, 10, 125, 100, 7);
        Paint(m_bodyDepth, 115, 10, 125, 100, 2500);
        Depth(m_bodyDepth);
        s.m_ccBox[7] = Box3D<int>(Vector3D<int>(115, 10, 2400), Vector3D<int>(125, 100, 2500));
        s.m_ccArea[7] = 500000;
        s.detectionByPoint(&c.points);
        EXPECT_EQ(c.created, AliveCount());
        if (c.created != 0) {
            EXPECT_TRUE(s.GetUser(1).alive());
            EXPECT_EQ(1, s.m_ccUserId[1]);
            EXPECT_EQ(2500, s.m_ccBox[1].max.z);
            EXPECT_GT(s.m_ccArea[1], 0);
        }
    }
    // A null list, and a seed with every id in use.
    Build(1);
    Body(1, 70, 10, 80, 100, 2500);
    Seg().detectionByPoint(nullptr);
    EXPECT_EQ(0, AliveCount());
    for (int id = 1; id <= Segmentation::kMaxUsers; ++id) {
        Alive(id);
    }
    const std::vector<Vector2D<int>> seed = {{75, 50}};
    Seg().detectionByPoint(&seed);
    EXPECT_EQ(0, Seg().m_ccUserId[1]);
}

// A foreground cluster as tall as a person starts a user unless it is
// wider or deeper than 800 mm.
TEST_F(SegmentationDetectionTest, ForegroundClusters) {
    struct Case {
        const char* what;
        int right;   // columns 70..right
        int far;     // depths 2500..far
        int created;
    };
    const Case cases[] = {
        {"a person", 80, 2600, 1},
        {"wider than 800 mm", 120, 2600, 0},
        {"deeper than 800 mm", 80, 3400, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ForegroundBody(c.right, c.far);
        Seg().detectionByFg();
        EXPECT_EQ(c.created, AliveCount());
        EXPECT_EQ(c.created, Seg().m_ccUserId[1]);
    }
    // With every id in use nobody is made.
    ForegroundBody(80, 2600);
    for (int id = 1; id <= Segmentation::kMaxUsers; ++id) {
        Alive(id);
    }
    Seg().detectionByFg();
    EXPECT_EQ(0, Seg().m_ccUserId[1]);
}

void SegmentationDetectionTest::ForegroundBody(int right, int far) {
    Build(1);
    m_bodyDepth = Flat(0);
    Segmentation& s = Seg();
    Body(1, 70, 10, right, 100, 2500);
    s.m_ccBox[1].min.z = 2500;
    s.m_ccBox[1].max.z = far;
    s.m_ccIsFg[1] = true;
    s.m_ccIsPositive[1] = true;
    s.m_ccPixCount[1] = 1000;
    s.m_ccArea[1] = 300000;
    std::fill(m_farfield.m_foreground.Data(), m_farfield.m_foreground.Data() + m_farfield.m_foreground.Size(), 1);
    std::fill(m_farfield.m_background.Data(), m_farfield.m_background.Data() + m_farfield.m_background.Size(),
              700);
}

}  // namespace
