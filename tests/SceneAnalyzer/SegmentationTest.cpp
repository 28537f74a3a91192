// The segmentation's users: ids handed out last freed first, the kill rules
// of the users' update, camera motion, touching pairs and the label remap,
// on components written straight into its tables.

#include <gtest/gtest.h>

#include <sstream>

#include "SceneAnalyzer/Segmentation.h"
#include "SegmentationTestSupport.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using vela_test::Map16;

class SegmentationUsersTest : public vela_test::SegmentationFixture {
protected:
    static Box3D<int> Box(int left, int right, int z = 2500) {
        return Box3D<int>(Vector3D<int>(left, 10, z - 100), Vector3D<int>(right, 100, z));
    }
};

TEST_F(SegmentationUsersTest, IdsAreHandedOutLastFreedFirst) {
    Segmentation& s = Seg();
    for (int i = 0; i < 3; ++i) {
        s.InjectUser(Box(10, 20));
    }
    s.injectUsers();
    for (int id = 1; id <= 3; ++id) {
        EXPECT_TRUE(s.GetUser(id).alive()) << id;
    }
    s.killUser(2);
    // A second kill of the dead slot frees nothing more.
    s.killUser(2);
    EXPECT_EQ(1, std::count(s.m_freeIds.begin(), s.m_freeIds.end(), 2));
    s.InjectUser(Box(10, 20));
    s.injectUsers();
    EXPECT_TRUE(s.GetUser(2).alive());
    EXPECT_FALSE(s.GetUser(4).alive());
    s.killUser(1);
    s.killUser(3);
    s.InjectUser(Box(10, 20));
    s.injectUsers();
    EXPECT_TRUE(s.GetUser(3).alive());
    EXPECT_FALSE(s.GetUser(1).alive());
    // With all ten in use nobody more is made.
    for (int i = 0; i < 12; ++i) {
        s.InjectUser(Box(10, 20));
    }
    s.injectUsers();
    EXPECT_TRUE(s.m_freeIds.empty());
    for (int id = 1; id <= 10; ++id) {
        EXPECT_TRUE(s.GetUser(id).alive()) << id;
    }
    EXPECT_TRUE(s.m_injections.empty());
}

// A started user takes the free components that lie in its box.
TEST_F(SegmentationUsersTest, AStartedUserTakesTheComponentsInItsBox) {
    Segmentation& s = Seg();
    Map16 depth = Flat(3000);
    Paint(depth, 60, 20, 80, 100, 2000);
    Paint(depth, 100, 20, 110, 100, 2600);
    Depth(depth);
    PrevDepth(Flat(3000));
    Map16 fg = Flat(0);
    Paint(fg, 60, 20, 110, 100, 1);
    Foreground(fg);
    Components();
    s.InjectUser(Box3D<int>(Vector3D<int>(55, 15, 1900), Vector3D<int>(85, 105, 2100)));
    s.injectUsers();
    const User& user = s.GetUser(1);
    ASSERT_EQ(1, user.ccEnd() - user.ccBegin());
    const int c = *user.ccBegin();
    EXPECT_EQ(1, s.m_ccUserId[c]);
    EXPECT_EQ(60, s.m_ccBox[c].min.x);
    EXPECT_EQ(2000, s.m_ccBox[c].max.z);
}

TEST_F(SegmentationUsersTest, KillRulesOfTheUsersUpdate) {
    struct Case {
        int area;
        bool holdsAnother;
        bool alive;
    };
    const Case cases[] = {
        {1500000, false, true}, {1500001, false, false}, {2000000, true, true}, {2000001, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.area);
        Build(1);
        Segmentation& s = Seg();
        Alive(1);
        Give(1, 1, c.area, Box(60, 90));
        if (c.holdsAnother) {
            // A touching pair that holds: user 1 keeps user 2's pixels.
            Alive(2);
            Give(2, 2, 400000, Box(91, 100));
            s.m_users[1].m_area = 1;
            s.m_users[2].m_area = 1;
            s.m_touchTable[1][2] = 100001;
            s.m_touchings.push_back(TouchingEvent(1, 2, 2, 0, 90, Vector2D<int>(0, 2500), 1000, 1000, 10));
        }
        s.updateUsers();
        EXPECT_EQ(c.alive, s.GetUser(1).alive());
        if (c.alive) {
            EXPECT_EQ(c.area, s.GetUser(1).area());
            EXPECT_EQ(c.holdsAnother ? 2 : 0, s.GetUser(1).m_swallowedId);
        }
    }
}

TEST_F(SegmentationUsersTest, UsersWithoutComponents) {
    Segmentation& s = Seg();
    s.m_verbose = true;
    User& fresh = Alive(1);
    User& old = Alive(2);
    Give(1, 2, 300000, Box(60, 90));
    CaptureStdout();
    s.updateUsers();
    // New and without components: gone, without a trace line.
    EXPECT_FALSE(fresh.alive());
    ASSERT_TRUE(old.alive());
    EXPECT_EQ(300000, old.area());
    EXPECT_TRUE(old.IsEmpty());
    // An older user is held, its centre of mass zero, for 300 frames.
    for (int frame = 1; frame <= 300; ++frame) {
        s.updateUsers();
        ASSERT_TRUE(old.alive()) << frame;
    }
    EXPECT_EQ(Vector3D<int>(), old.CenterOfMass());
    EXPECT_EQ(300, old.m_occlusionTime);
    s.m_frameId = 77;
    s.updateUsers();
    EXPECT_FALSE(old.alive());
    // Its stable box lies on pixels without depth, which the occlusion
    // state notes once.
    EXPECT_EQ("0: user #2 was defined as occluded by no depth\n77: user 2 killed due to long occlusion time\n",
              GetCapturedStdout());
    // Both ids are free again, the last freed first.
    EXPECT_EQ(2, s.m_freeIds.back());
}

TEST_F(SegmentationUsersTest, TheCentreOfMassWeighsComponentsByArea) {
    Segmentation& s = Seg();
    User& user = Alive(1);
    Give(1, 1, 300000, Box(60, 80, 2000));
    Give(2, 1, 100000, Box(100, 120, 3000));
    // A component another user took stays listed but is not counted.
    Give(3, 1, 100000, Box(0, 10, 3000));
    s.m_ccUserId[3] = 4;
    s.updateUsers();
    const WorldPointConverter<float>& c = Converter();
    // Mean depth (3 x 1950 + 2950) / 4 = 2200, mean column (3 x 70 + 110) / 4 = 80, row 55.
    EXPECT_EQ(2200, user.CenterOfMass().z);
    EXPECT_EQ(c.LengthAtDepthInt(2200, 80 - c.m_nCenterX), user.CenterOfMass().x);
    EXPECT_EQ(c.LengthAtDepthInt(2200, c.m_nCenterY - 55), user.CenterOfMass().y);
    EXPECT_EQ(400000, user.area());
    EXPECT_EQ(60, user.box().min.x);
    EXPECT_EQ(120, user.box().max.x);
    EXPECT_EQ(Box3D<int>(Vector3D<int>(60, 10, 1900), Vector3D<int>(120, 100, 3000)).max.z, s.m_usersBox.max.z);
}

// During camera motion young users go; older ones stay unless their
// components this frame cover less than two thirds of their last area or
// less than four fifths of them kept the user's pixels.
TEST_F(SegmentationUsersTest, CameraMotionKillsYoungAndShrunkUsers) {
    struct Case {
        unsigned age;
        int area;
        int kept;
        bool alive;
    };
    const Case cases[] = {{3, 300000, 300000, false}, {5, 300000, 300000, true},  {5, 199999, 199999, false},
                          {5, 200001, 200001, true},  {5, 300000, 239999, false}, {5, 300000, 240000, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.age << " " << c.area << " " << c.kept);
        Build(1);
        Segmentation& s = Seg();
        m_farfield.m_bMotionDetected = 1;
        m_farfield.m_nMotionLevel = 5;
        User& user = Alive(1);
        user.m_age = c.age;
        user.m_area = 300000;
        Give(1, 1, c.area, Box(60, 90));
        s.m_ccUserMetric[1][1] = c.kept;
        s.handleReset();
        EXPECT_EQ(c.alive, user.alive());
    }
    // Occlusion followed by camera motion ends everyone.
    Build(1);
    Alive(1);
    Alive(2);
    m_farfield.m_bCameraMotionAfterOcclusion = 1;
    Seg().handleReset();
    EXPECT_FALSE(Seg().GetUser(1).alive());
    EXPECT_FALSE(Seg().GetUser(2).alive());
}

TEST_F(SegmentationUsersTest, TheRemapGivesLabelsBeyondTheComponentsNoUser) {
    Segmentation& s = Seg();
    Alive(1);
    Give(1, 1, 5000, Box(0, 3));
    Give(1999, 0, 5000, Box(0, 3));
    s.m_numCCs = 1999;
    s.m_ccUserId[1999] = 1;
    XnLabel* labels = Labels();
    std::fill(labels, labels + kWidth * kHeight, 0);
    labels[0] = 1;
    labels[1] = 1999;
    labels[2] = 2000;
    labels[3] = 65535;
    labels[4] = 5;
    s.remapLabels();
    const XnLabel expected[] = {1, 1, 0, 0, 0};
    EXPECT_TRUE(std::equal(expected, expected + 5, labels));
    const XnLabel* debug = s.labelDebug().Data();
    EXPECT_EQ(65535, debug[3]);
    EXPECT_EQ(2000, debug[2]);
    // A dead user's components lose it.
    s.m_users[1].kill();
    labels[0] = 1;
    s.remapLabels();
    EXPECT_EQ(0, labels[0]);
}

// A user mostly in the foreground turns its foreground state on once it has
// left the box it was found in: behind it, beside it, mostly off it, or
// with its pixels there spanning less than half its width.
TEST_F(SegmentationUsersTest, UsersThatLeaveTheirFirstBoxAreForeground) {
    struct Case {
        const char* name;
        Box3D<int> box;
        int left;  // the user's pixels inside the first box, columns
        int right;
        bool on;
    };
    const Box3D<int> first(Vector3D<int>(60, 10, 2000), Vector3D<int>(80, 100, 2200));
    const Case cases[] = {
        {"behind", Box3D<int>(Vector3D<int>(60, 10, 2201), Vector3D<int>(80, 100, 2400)), 60, 80, true},
        {"beside", Box3D<int>(Vector3D<int>(80, 10, 2000), Vector3D<int>(100, 100, 2200)), 80, 80, true},
        {"mostly off", Box3D<int>(Vector3D<int>(71, 10, 2000), Vector3D<int>(91, 100, 2200)), 71, 80, true},
        {"narrow there", Box3D<int>(Vector3D<int>(60, 10, 2000), Vector3D<int>(80, 100, 2200)), 60, 69, true},
        {"in place", Box3D<int>(Vector3D<int>(62, 10, 2000), Vector3D<int>(82, 100, 2200)), 62, 80, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Build(1);
        Segmentation& s = Seg();
        User& user = Alive(1, first);
        user.m_box = c.box;
        user.m_area = 100;
        user.m_fgArea = 51;
        std::fill(Labels(), Labels() + kWidth * kHeight, 0);
        Paint(Labels(), c.left, 10, c.right, 100, 1);
        s.updateUserFgState();
        EXPECT_EQ(c.on, user.isFg());
        EXPECT_EQ(!c.on, user.m_neverFg);
    }
    // Half foreground is not enough.
    Build(1);
    User& user = Alive(1, first);
    user.m_box = cases[0].box;
    user.m_area = 100;
    user.m_fgArea = 50;
    Seg().updateUserFgState();
    EXPECT_FALSE(user.isFg());
}

TEST(TouchingEventTest, MinimumAreaOfAPair) {
    EXPECT_EQ(810000, TouchingEvent(1, 2, 1, 0, 0, Vector2D<int>(0, 0), 1800, 1000, 500000).MinimumArea());
    EXPECT_EQ(900000, TouchingEvent(1, 2, 1, 0, 0, Vector2D<int>(0, 0), 1800, 1000, 900000).MinimumArea());
    // 0.15 x (1700^2 + 1600^2) = 817500 beats 0.25 x 1700^2 = 722500.
    EXPECT_EQ(817500, TouchingEvent(1, 2, 1, 0, 0, Vector2D<int>(0, 0), 1700, 1600, 0).MinimumArea());
}

// A user holding 100,001 mm^2 of another's previous pixels holds both; at
// exactly 100,000 nothing happens.
TEST_F(SegmentationUsersTest, HoldingAnotherUsersPixelsStartsATouchingPair) {
    for (const int held : {100000, 100001}) {
        SCOPED_TRACE(held);
        Build(1);
        Segmentation& s = Seg();
        User& a = Alive(1);
        User& b = Alive(2);
        a.m_area = 400000;
        b.m_area = 300000;
        a.m_isNew = b.m_isNew = false;
        Give(1, 1, 500000, Box(60, 90));
        Give(2, 2, 1000, Box(100, 101));
        s.m_ccUserMetric[1][1] = 300000;
        s.m_ccUserMetric[1][2] = held;
        s.findTouching();
        s.firstTreatmentForTouching();
        const bool touching = held > 100000;
        EXPECT_EQ(touching, b.m_isSwallowed);
        EXPECT_EQ(touching ? 2 : 0, a.m_swallowedId);
        // The held user's components go to the holder.
        EXPECT_EQ(touching, b.IsEmpty());
        EXPECT_EQ(touching ? 1 : 2, s.m_ccUserId[2]);
        s.updateUsers();
        ASSERT_EQ(touching ? 1u : 0u, s.m_touchings.size());
        ASSERT_TRUE(b.alive());
        if (touching) {
            const TouchingEvent& event = s.m_touchings[0];
            EXPECT_EQ(1, event.m_firstId);
            EXPECT_EQ(2, event.m_secondId);
            EXPECT_TRUE(b.m_isSwallowed);
            EXPECT_EQ(0, b.area());
            EXPECT_FALSE(b.occluded());
            EXPECT_EQ(501000, a.area());
            EXPECT_EQ(400000, event.m_maxArea);
        }
    }
}

class TouchingPairTest : public SegmentationUsersTest {
protected:
    // Users 1 and 2 touching at 2500 mm; user 1 holds both.
    void SetUp() override {
        SegmentationUsersTest::SetUp();
        Segmentation& s = Seg();
        User& a = Alive(1);
        User& b = Alive(2);
        a.m_area = b.m_area = 300000;
        s.m_touchTable[1][2] = 200000;
        s.m_touchings.push_back(TouchingEvent(1, 2, 2, 40, 85, Vector2D<int>(0, 2500), 1700, 1700, 300000));
        s.m_touchings.push_back(TouchingEvent(7, 8, 8, 0, 0, Vector2D<int>(0, 2500), 1700, 1700, 300000));
        s.m_touchings.push_back(TouchingEvent(3, 4, 4, 0, 0, Vector2D<int>(0, 2500), 1700, 1700, 300000));
        Alive(3);
        Alive(4);
        s.m_users[3].m_area = s.m_users[4].m_area = 1;
        s.m_touchTable[3][4] = 200000;
    }
    // The pair's combined centre at world x, with areas.
    void Measure(int x, int areaA, int areaB) {
        const int column = Converter().PixelsAtDepthInt(2500, x) + Converter().m_nCenterX;
        std::fill(m_area, m_area + 11, 0);
        std::fill(m_sumX, m_sumX + 11, 0);
        std::fill(m_sumZ, m_sumZ + 11, 0);
        m_area[1] = areaA;
        m_area[2] = areaB;
        m_area[3] = m_area[4] = 1000000;
        for (int k = 1; k <= 4; ++k) {
            m_sumX[k] = static_cast<long long>(m_area[k]) * column;
            m_sumZ[k] = static_cast<long long>(m_area[k]) * 2500;
        }
        Seg().checkTouchings(m_area, m_sumX, m_sumZ, m_boxes, m_roomBoxes);
    }
    int m_area[11];
    long long m_sumX[11];
    long long m_sumZ[11];
    Box3D<int> m_boxes[11];
    Box3D<int> m_roomBoxes[11];
};

// An event not confirmed goes, the others keep their order; a centre that
// moves 100 mm moves the split with the pair, one that jumps further keeps
// the split line where it was in the world.
TEST_F(TouchingPairTest, EventsFollowThePair) {
    Segmentation& s = Seg();
    const WorldPointConverter<float>& c = Converter();
    Measure(0, 900000, 0);
    ASSERT_EQ(2u, s.m_touchings.size());
    EXPECT_EQ(1, s.m_touchings[0].m_firstId);
    EXPECT_EQ(3, s.m_touchings[1].m_firstId);
    TouchingEvent& event = s.m_touchings[0];
    const int x0 = event.m_center.x;
    const int column = c.PixelsAtDepthInt(2500, x0 + 80) + c.m_nCenterX;
    Measure(c.LengthAtDepthInt(2500, column - c.m_nCenterX), 900000, 0);
    const int moved = event.m_center.x - x0;
    ASSERT_LE(std::abs(moved), 100);
    EXPECT_EQ(c.PixelsAtDepthInt(2500, event.m_center.x) - c.PixelsAtDepthInt(2500, x0), event.m_columnShift);
    EXPECT_EQ(40, event.m_splitOffset);
    EXPECT_EQ(c.PixelsAtDepthInt(2500, event.m_center.x + 40) + c.m_nCenterX, event.m_splitCol);
    // A jump of 20 columns.
    const int far = c.LengthAtDepthInt(2500, c.PixelsAtDepthInt(2500, event.m_center.x) + 20);
    const int before = event.m_center.x;
    Measure(far, 900000, 0);
    const int jump = event.m_center.x - before;
    ASSERT_GT(jump, 100);
    EXPECT_EQ(0, event.m_columnShift);
    EXPECT_EQ(40 - jump, event.m_splitOffset);
    EXPECT_EQ(c.PixelsAtDepthInt(2500, before + 40) + c.m_nCenterX, event.m_splitCol);
}

// A pair whose area falls below what two such people cover merges: the
// younger user's components and measures go to the older one.
TEST_F(TouchingPairTest, APairTooSmallForTwoMergesIntoTheOlder) {
    Segmentation& s = Seg();
    User& a = s.m_users[1];
    User& b = s.m_users[2];
    a.m_age = 10;
    b.m_age = 50;
    Give(5, 1, 500000, Box(60, 90));
    m_boxes[1] = Box(60, 90);
    Measure(0, 500000, 0);
    // 0.25 x 1700^2 = 722500 > 500000.
    EXPECT_EQ(0, m_area[1]);
    EXPECT_EQ(500000, m_area[2]);
    EXPECT_EQ(60, m_boxes[2].min.x);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(2, s.m_ccUserId[5]);
    // The event is not confirmed by a merge.
    ASSERT_EQ(1u, s.m_touchings.size());
    EXPECT_EQ(3, s.m_touchings[0].m_firstId);
}

// Pixels the holder took are split back: those that were the other user's
// go back to it, the holder's stay, and new ones go by the split column to
// the side of the other user.
TEST_F(TouchingPairTest, TheMapIsSplitBackAlongTheColumn) {
    Segmentation& s = Seg();
    s.m_touchings.erase(s.m_touchings.begin() + 1, s.m_touchings.end());
    TouchingEvent& event = s.m_touchings[0];
    event.m_splitCol = 80;
    event.m_columnShift = 2;
    s.m_users[1].m_box = Box3D<int>(Vector3D<int>(60, 10, 0), Vector3D<int>(100, 20, 0));
    XnLabel* labels = Labels();
    XnLabel* previous = PrevLabels();
    std::fill(labels, labels + kWidth * kHeight, 0);
    std::fill(previous, previous + kWidth * kHeight, 0);
    Paint(labels, 60, 10, 100, 20, 1);
    Paint(labels, 101, 10, 101, 20, 1);
    Paint(previous, 58, 12, 67, 12, 2);
    Paint(previous, 88, 13, 97, 13, 1);
    s.remapTouching();
    auto at = [&](int x, int y) { return static_cast<int>(labels[y * kWidth + x]); };
    // Shifted by the pair's motion: previous column x - 2.
    EXPECT_EQ(2, at(60, 12));
    EXPECT_EQ(2, at(69, 12));
    EXPECT_EQ(1, at(90, 13));
    EXPECT_EQ(1, at(99, 13));
    // User 2 is on the right (m_rightId): new pixels right of column 80.
    EXPECT_EQ(1, at(80, 15));
    EXPECT_EQ(2, at(81, 15));
    EXPECT_EQ(2, at(100, 15));
    // Outside the holder's box nothing changes.
    EXPECT_EQ(1, at(101, 15));
    // When the holder is the one on the right, the other side goes.
    Paint(labels, 60, 10, 100, 20, 1);
    event.m_rightId = 1;
    s.remapTouching();
    EXPECT_EQ(2, at(79, 15));
    EXPECT_EQ(1, at(80, 15));
}

}  // namespace
