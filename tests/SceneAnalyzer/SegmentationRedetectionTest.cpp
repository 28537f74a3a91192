// Redetection in the same place: a user who has never been in the
// foreground gets back a free body that stands where it stood, at its depth,
// tall and wide enough, on crafted maps.

#include <gtest/gtest.h>

#include <functional>

#include "SceneAnalyzer/Segmentation.h"
#include "SegmentationTestSupport.h"

namespace {

class SegmentationRedetectionTest : public vela_test::SegmentationFixture {
protected:
    // User 1, alive without components, whose stable box spans columns
    // 60..80, rows 10..100 and depths 2400..2600.
    User& StoodHere() {
        User& user = Alive(1);
        user.m_stableBox = Box3D<int>(Vector3D<int>(60, 10, 2400), Vector3D<int>(80, 100, 2600));
        return user;
    }
};

TEST_F(SegmentationRedetectionTest, AFreeBodyWhereAUserStoodIsGivenBack) {
    struct Case {
        const char* what;
        int left, top, right, bottom, z;  // the free body, component 1
        int armTo;  // non-zero: an arm along its bottom row out to this column
        std::function<void(Segmentation&, User&)> setUp;
        bool givenBack;
    };
    const Case cases[] = {
        {"a body where the user stood", 62, 10, 78, 100, 2500, 0, nullptr, true},
        {"the user has been in the foreground", 62, 10, 78, 100, 2500, 0,
         [](Segmentation&, User& user) { user.m_neverFg = false; }, false},
        {"a body behind the user's depths", 62, 10, 78, 100, 2700, 0, nullptr, false},
        {"a body shorter than 800 mm", 62, 60, 78, 100, 2500, 0, nullptr, false},
        {"a body too thin for its height", 69, 10, 70, 100, 2500, 0, nullptr, false},
        // Half its width over the stable box is enough, less is not, even
        // with most of its pixels inside.
        {"half over the user's columns", 70, 10, 90, 100, 2500, 0, nullptr, true},
        {"less than half over them", 71, 10, 91, 100, 2500, 0, nullptr, false},
        {"an arm reaching out to twice the width over them", 62, 10, 78, 100, 2500, 98, nullptr, true},
        {"an arm reaching out further", 62, 10, 78, 100, 2500, 99, nullptr, false},
        {"a body on no depth", 62, 10, 78, 100, 2500, 0,
         [](Segmentation& s, User&) { s.m_ccNoDepth[1] = true; }, false},
        {"a body another user owns", 62, 10, 78, 100, 2500, 0,
         [](Segmentation& s, User&) { s.m_ccUserId[1] = 2; }, false},
        {"a user in the foreground and a body not in it", 62, 10, 78, 100, 2500, 0,
         [](Segmentation&, User& user) { user.m_isFg = true; }, false},
        {"a user in the foreground and a foreground body", 62, 10, 78, 100, 2500, 0,
         [](Segmentation& s, User& user) {
             user.m_isFg = true;
             s.m_ccIsFg[1] = true;
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Build(1);
        m_bodyDepth = Flat(0);
        Body(1, c.left, c.top, c.right, c.bottom, c.z);
        Segmentation& s = Seg();
        if (c.armTo != 0) {
            Paint(m_bodyDepth, c.right + 1, c.bottom, c.armTo, c.bottom, c.z);
            Depth(m_bodyDepth);
            Paint(Labels(), c.right + 1, c.bottom, c.armTo, c.bottom, 1);
            s.m_ccBox[1].max.x = c.armTo;
        }
        User& user = StoodHere();
        if (c.setUp) {
            c.setUp(s, user);
        }
        const unsigned short owner = s.m_ccUserId[1];
        s.redetectOccludedUsersInSamePlace();
        EXPECT_EQ(c.givenBack ? 1 : owner, s.m_ccUserId[1]);
        EXPECT_EQ(c.givenBack, s.m_glueAfterRedetection);
        EXPECT_EQ(c.givenBack ? 1 : 0, s.m_redetectFlags[1]);
        EXPECT_EQ(c.givenBack, user.m_isRedetected);
        if (c.givenBack) {
            // Measured as it joins: at its depth, with its area.
            EXPECT_EQ(c.z, s.m_ccCenterZ[1]);
            EXPECT_GT(s.m_ccArea[1], 0);
        }
    }
}

// Pieces of one body, each too short alone, are taken together when they
// stand where the user stood.
TEST_F(SegmentationRedetectionTest, PiecesOfABodyAreGivenBackTogether) {
    Body(1, 62, 10, 78, 50, 2500);
    Body(2, 62, 51, 78, 100, 2550);
    Body(3, 100, 10, 110, 100, 2500);
    User& user = StoodHere();
    Segmentation& s = Seg();
    s.redetectOccludedUsersInSamePlace();
    EXPECT_EQ(1, s.m_ccUserId[1]);
    EXPECT_EQ(1, s.m_ccUserId[2]);
    EXPECT_EQ(0, s.m_ccUserId[3]);
    EXPECT_TRUE(user.m_isRedetected);
}

}  // namespace
