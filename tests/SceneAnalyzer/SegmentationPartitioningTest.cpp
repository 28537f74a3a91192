// Revision of the users' components: background pieces dropped, parts
// across a user's last split moved, groups not connected to the body moved
// or freed, on components written into the tables over a crafted label map.

#include <gtest/gtest.h>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SegmentationTestSupport.h"

namespace {

using vela_test::Map16;

class PartitioningTest : public vela_test::SegmentationFixture {
protected:
    void SetUp() override {
        SegmentationFixture::SetUp();
        m_map = Flat(0);
        std::fill(Labels(), Labels() + kWidth * kHeight, 0);
    }
    // Component c of user id: a block of the label and depth maps.
    void Block(int c, int id, int left, int top, int right, int bottom, int z) {
        Paint(m_map, left, top, right, bottom, z);
        Paint(Labels(), left, top, right, bottom, c);
        const long long pixels = static_cast<long long>(right - left + 1) * (bottom - top + 1);
        const int area =
            z == 0 ? 0
                   : static_cast<int>(pixels * scene_analysis::PixelArea(Converter(), z) >> Converter().m_nAreaShift);
        Give(c, id, area, Box3D<int>(Vector3D<int>(left, top, z), Vector3D<int>(right, bottom, z)));
        Seg().m_ccIsPositive[c] = z != 0;
        Seg().m_ccNoDepth[c] = z == 0;
    }
    void Finish() {
        Depth(m_map);
        Seg().derivateLabels();
    }
    bool Listed(const User& user, int c) const { return std::find(user.ccBegin(), user.ccEnd(), c) != user.ccEnd(); }

    Map16 m_map;
};

TEST_F(PartitioningTest, BackgroundPiecesAreDropped) {
    struct Case {
        int area;
        bool strict;
        bool kept;
    };
    // A piece without foreground beside 80000 mm^2 of foreground: more than
    // a quarter of the user, so only a touching pair is strict.
    const Case cases[] = {{5000, true, false}, {5001, true, true}, {5001, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.area << " " << c.strict);
        Build(1);
        Segmentation& s = Seg();
        User& user = Alive(1);
        user.m_isFg = true;
        user.m_isSwallowed = c.strict;
        Give(1, 1, 300000, Box3D<int>());
        s.m_ccFgArea[1] = 80000;
        Give(2, 1, c.area, Box3D<int>());
        s.m_ccFgArea[2] = 0;
        s.excludeBgCCs();
        EXPECT_EQ(c.kept, Listed(user, 2));
        EXPECT_EQ(c.kept ? 1 : 0, s.m_ccUserId[2]);
        EXPECT_EQ(!c.kept, s.m_ccToBackground[2]);
        EXPECT_TRUE(Listed(user, 1));
    }
    // Nothing below a tenth foreground anywhere: nothing changes.
    Build(1);
    User& user = Alive(1);
    Give(1, 1, 300000, Box3D<int>());
    Seg().m_ccFgArea[1] = 30000;
    Seg().excludeBgCCs();
    EXPECT_TRUE(Listed(user, 1));
}

// A component freed for want of another user gets both marks, also false
// ones; one that shared most with another user goes to it (the lower id on
// ties) and stays listed for the first until the users' update.
TEST_F(PartitioningTest, ReassigningAComponent) {
    Segmentation& s = Seg();
    User& first = Alive(1);
    Alive(2);
    User& third = Alive(3);
    Give(1, 1, 1000, Box3D<int>());
    s.m_ccToBackground[1] = true;
    s.m_ccCutInDepth[1] = true;
    s.ReassignUserId(1, false, false);
    EXPECT_EQ(0, s.m_ccUserId[1]);
    EXPECT_FALSE(s.m_ccToBackground[1]);
    EXPECT_FALSE(s.m_ccCutInDepth[1]);
    Give(2, 1, 1000, Box3D<int>());
    s.m_ccUserMetric[2][2] = 50;
    s.m_ccUserMetric[2][3] = 50;
    s.m_ccUserMetric[2][1] = 900;
    s.m_touchTable[1][2] = 500;
    s.ReassignUserId(2, true, true);
    EXPECT_EQ(2, s.m_ccUserId[2]);
    EXPECT_EQ(450, s.m_touchTable[1][2]);
    EXPECT_TRUE(Listed(first, 2));
    EXPECT_TRUE(Listed(s.m_users[2], 2));
    EXPECT_FALSE(Listed(third, 2));
    first.cleanCCs(s.m_ccUserId);
    EXPECT_TRUE(Listed(first, 2));
    EXPECT_FALSE(Listed(first, 1));
}

// Across a depth split of 149 mm with a top 99 mm wide a component stays;
// 150 mm moves it.
TEST_F(PartitioningTest, PartsBehindALastDepthSplitMove) {
    for (const int gap : {149, 150}) {
        SCOPED_TRACE(gap);
        Build(1);
        SetUp();
        Segmentation& s = Seg();
        User& user = Alive(1);
        Block(1, 1, 60, 20, 69, 99, 2000);
        Block(2, 1, 80, 20, 80, 99, 3000);
        Finish();
        s.m_ccBoxInRoom[2] = s.m_ccBox[2];
        s.m_ccCenterInRoom[2] = Vector3D<int>(0, 0, 3000);
        user.m_splitZNear = 2500 - gap / 2 - gap % 2;
        user.m_splitZFar = user.m_splitZNear + gap;
        user.m_predictedCenter = Vector3D<int>(0, 0, 2000);
        ASSERT_LE(s.calcUpperWidth(2), 99);
        s.ReassignWeaklyRelatedUserParts();
        EXPECT_EQ(gap == 150, !Listed(user, 2));
        EXPECT_EQ(gap == 150, s.m_ccCutInDepth[2]);
        EXPECT_TRUE(Listed(user, 1));
    }
}

TEST_F(PartitioningTest, ASingleComponentIsNotPartitioned) {
    User& user = Alive(1);
    Block(1, 1, 60, 20, 69, 99, 2000);
    Finish();
    Seg().labelPartitioning2();
    EXPECT_TRUE(Listed(user, 1));
}

// A person-sized group apart from the body goes to the user it came from,
// or is freed; a small one is freed as background unless pixels without
// depth connect it to the body.
TEST_F(PartitioningTest, GroupsApartFromTheBody) {
    struct Case {
        int bottom;  // of the second block, rows 20..bottom
        bool bridged;
        bool kept;
        bool background;
    };
    const Case cases[] = {{99, false, false, false}, {40, false, false, true}, {40, true, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bottom << " " << c.bridged);
        Build(1);
        SetUp();
        Segmentation& s = Seg();
        User& user = Alive(1);
        user.m_centers[user.m_historyIndex] = Vector3D<int>(0, 0, 2000);
        Block(1, 1, 30, 20, 59, 99, 2000);
        Block(2, 1, 64, 20, 70, c.bottom, 3000);
        if (c.bridged) {
            Block(3, 0, 60, 20, 63, 99, 0);
        }
        Finish();
        s.labelPartitioning2();
        EXPECT_TRUE(Listed(user, 1));
        EXPECT_EQ(c.kept, Listed(user, 2));
        EXPECT_EQ(c.background, s.m_ccToBackground[2]);
        s.mergeResetCCsIntoBG();
        EXPECT_FALSE(s.m_ccIsFg[2]);
    }
}

}  // namespace
