// Detection of new users from seed points, from foreground clusters and
// from the motion detector's suspects, on crafted maps: which bodies start
// a user and which do not.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "SceneAnalyzer/MotionDetectorByEdges.h"
#include "SceneAnalyzer/Segmentation.h"
#include "SegmentationTestSupport.h"

namespace {

using vela_test::Map16;

class SegmentationDetectionTest : public vela_test::SegmentationFixture {
protected:
    // A fresh segmentation and motion detector; a body 12 columns wide on
    // rows 10..100, about 2.5 m away (its outer columns 100 mm deeper, as a
    // rounded front) before a wall at 4 m, goes through the detector frame
    // by frame: still, then `moves` frames sliding right by two columns.
    // The last frame stays in the maps, unlabelled. Returns its left column.
    int Slide(int moves);
    // A free foreground component on columns 70..right, rows 10..100, with
    // depths 2500..far, on the background model's foreground.
    void ForegroundBody(int right, int far);
    std::unique_ptr<MotionDetectorByEdges> m_motion;
};

int SegmentationDetectionTest::Slide(int moves) {
    Build(1);
    m_motion.reset(new MotionDetectorByEdges);
    m_motion->init(&m_feeder.Hub(), QQVGA, 1, 0, 8000);
    int left = 60;
    for (int frame = 0; frame <= moves; ++frame) {
        left = 60 + 2 * frame;
        m_bodyDepth = Flat(4000);
        Paint(m_bodyDepth, left, 10, left + 11, 100, 2560);
        Paint(m_bodyDepth, left + 1, 10, left + 10, 100, 2460);
        Depth(m_bodyDepth);
        EXPECT_TRUE(m_motion->SetMaps(m_depth, m_shift, m_shadow));
        m_motion->Detect();
    }
    return left;
}

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

// A suspect of the motion detector that is tracked (tall and moved) starts
// a user from the free components inside its box, once they measure more
// than 99,999 mm^2 together, unless a tracked user stands in the box. The
// new user reads the suspect's history of boxes.
TEST_F(SegmentationDetectionTest, TrackedSuspects) {
    // The body as one component measured from its pixels, or components
    // written with their measures: inside the suspect's box s, in front of
    // it, or with their centre on its edge.
    const auto bodyOnPixels = [this](int left) { Label(1, left, 10, left + 11, 100); };
    const auto measured = [this](int area, int towardCamera, int centreFromRight = -1) {
        return [this, area, towardCamera, centreFromRight](const Box3D<int>& s) {
            Give(1, 0, area, Box3D<int>(Vector3D<int>(s.min.x, s.min.y, s.min.z - towardCamera), s.max));
            m_seg->m_ccCenterX[1] = centreFromRight < 0 ? (s.min.x + s.max.x) / 2 : s.max.x - centreFromRight;
            m_seg->m_ccCenterZ[1] = (s.min.z + s.max.z) / 2;
        };
    };
    struct Case {
        const char* what;
        int moves;
        bool pixels;  // the body from its pixels, else measured(...)
        std::function<void(const Box3D<int>&)> setUp;
        int created;
    };
    const Case cases[] = {
        {"a moving body", 6, true, nullptr, 1},
        {"a body that has not moved", 0, true, nullptr, 0},
        {"a body moved 70 mm", 2, true, nullptr, 0},
        {"a body on no depth", 6, false,
         [this, measured](const Box3D<int>& s) {
             measured(200000, 0)(s);
             m_seg->m_ccNoDepth[1] = true;
         },
         0},
        {"a tracked user in the box", 6, true,
         [this](const Box3D<int>& s) {
             Alive(1, s);
             Give(2, 1, 300000, s);
         },
         0},
        {"99,999 mm^2", 6, false, measured(99999, 0), 0},
        {"100,000 mm^2", 6, false, measured(100000, 0), 1},
        {"reaching 1000 mm toward the camera", 6, false, measured(200000, 1000), 1},
        {"reaching 1001 mm toward the camera", 6, false, measured(200000, 1001), 0},
        {"centred a column inside the box's right edge", 6, false, measured(200000, 0, 1), 1},
        {"centred on the box's right edge", 6, false, measured(200000, 0, 0), 0},
        {"every id in use", 6, true,
         [this](const Box3D<int>&) {
             for (int id = 1; id <= Segmentation::kMaxUsers; ++id) {
                 Alive(id, Box3D<int>(Vector3D<int>(0, 0, 6000), Vector3D<int>(5, 5, 6100)));
             }
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int left = Slide(c.moves);
        ASSERT_EQ(1u, m_motion->suspects().size());
        const Suspect& suspect = m_motion->suspects().front();
        ASSERT_EQ(c.moves >= 6, suspect.tracked()) << "the slide does not make the suspect it should";
        const Box3D<int>& s = suspect.currentBoxDepth();
        if (c.pixels) {
            bodyOnPixels(left);
        }
        if (c.setUp) {
            c.setUp(s);
        }
        const int aliveBefore = AliveCount();
        Segmentation& seg = Seg();
        seg.m_glueAfterDetection = false;
        seg.detectionBySuspects(*m_motion);
        EXPECT_EQ(c.created, AliveCount() - aliveBefore);
        EXPECT_EQ(c.created == 1, seg.m_glueAfterDetection);
        if (c.created == 1) {
            const unsigned short id = seg.m_ccUserId[1];
            ASSERT_NE(0, id);
            const User& user = seg.GetUser(id);
            EXPECT_TRUE(user.alive());
            // The user's first box is the suspect's previous one, and its
            // height comes from the history: 90 rows of 18 mm.
            const Box3D<int>& previous = suspect.boxesDepth()[suspect.currentIndex() - 1];
            EXPECT_EQ(previous.min.x, user.firstBox().min.x);
            EXPECT_EQ(previous.max.z, user.firstBox().max.z);
            EXPECT_NEAR(1620, user.height(), 40);
        }
    }
}

// Only free components count, and only while their sum stays below the
// area of one and a half times the suspect's box: a second body too large
// for what is left stays free.
TEST_F(SegmentationDetectionTest, ASuspectTakesFreeComponentsUpToItsArea) {
    Slide(6);
    ASSERT_EQ(1u, m_motion->suspects().size());
    const Box3D<int>& s = m_motion->suspects().front().currentBoxDepth();
    Give(1, 0, 150000, s);
    Give(2, 0, 100000000, s);
    Give(3, 0, 150000, s);
    Segmentation& seg = Seg();
    seg.detectionBySuspects(*m_motion);
    ASSERT_EQ(1, AliveCount());
    const unsigned short id = seg.m_ccUserId[1];
    EXPECT_NE(0, id);
    EXPECT_EQ(0, seg.m_ccUserId[2]);
    EXPECT_EQ(id, seg.m_ccUserId[3]);
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
