// The scene user record: occlusion by area, the holding and full updates,
// the centre history, robust data, component lists, a slot's lives and the
// text form. The converter is the fake sensor's at 160x120.

#include <gtest/gtest.h>

#include <sstream>

#include "../NACommon/NAFarfieldTestSupport.h"
#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/User.h"

namespace {

using vela_test::FarfieldFeeder;

class UserTest : public ::testing::Test {
protected:
    // A standing body seen at 2500 mm: rows 10..100, columns 70..90.
    static Box3D<int> Body() { return Box3D<int>(Vector3D<int>(70, 10, 2400), Vector3D<int>(90, 100, 2500)); }
    void Start(User& user, unsigned short id = 3) { user.init(&m_feeder.Hub(), Body(), id, QQVGA); }
    const WorldPointConverter<float>& Converter() { return *m_feeder.Hub().m_pWorldPointConverters[QQVGA]; }
    // One update with the body's box at 2500 mm.
    void Update(User& user, int area, int occludedRows = 0, Vector3D<int> centre = Vector3D<int>(0, 0, 2500)) {
        user.update(centre, Body(), Body(), area, area / 2, occludedRows);
    }

    FarfieldFeeder m_feeder;
};

TEST_F(UserTest, ASlotIsDefinedFromConstructionAndStartsEachLifeAfresh) {
    User user;
    EXPECT_FALSE(user.alive());
    EXPECT_EQ(0, user.m_occlusionTime);
    EXPECT_EQ(0, user.height());
    EXPECT_FALSE(user.m_isSwallowed);
    EXPECT_EQ(0, user.m_swallowedId);
    EXPECT_EQ(INT_MAX, user.box().min.x);
    EXPECT_EQ(INT_MIN, user.stableBox().max.z);
    EXPECT_TRUE(user.IsEmpty());

    Start(user);
    EXPECT_TRUE(user.alive());
    EXPECT_TRUE(user.isNew());
    EXPECT_EQ(3, user.id());
    // The box's rows span the body height at its far depth.
    const int cy = Converter().m_nCenterY;
    EXPECT_EQ(Converter().LengthAtDepthInt(2500, cy - 10) - Converter().LengthAtDepthInt(2500, cy - 100),
              user.height());
    for (int i = 0; i < 5; ++i) {
        Update(user, 100);
    }
    EXPECT_EQ(5, user.m_occlusionTime);
    user.setOccluding(4, true);
    user.SetRobustData(Vector3D<int>(1, 2, 3), 10, true);
    user.kill();
    EXPECT_FALSE(user.alive());
    Start(user);
    EXPECT_EQ(0, user.m_occlusionTime);
    EXPECT_TRUE(user.isNew());
    EXPECT_FALSE(user.occluding(4));
    EXPECT_EQ(Vector3D<int>(), user.m_robustCenter);
    EXPECT_EQ(-1, user.m_splitColumn);
    EXPECT_EQ(0u, user.age());
}

// What a user started from a motion suspect reads of it.
struct FakeSuspect {
    int currentIndex() const { return current; }
    bool isFull() const { return full; }
    const Box3D<int>* boxesDepth() const { return boxes; }
    int current = 0;
    bool full = false;
    Box3D<int> boxes[User::kHistory];
};

TEST_F(UserTest, AUserStartedFromASuspectTakesItsBoxHistory) {
    FakeSuspect suspect;
    for (int k = 0; k < User::kHistory; ++k) {
        suspect.boxes[k] = Box3D<int>(Vector3D<int>(k, 40 - k % 20, 2000), Vector3D<int>(k + 10, 100, 2500));
    }
    const WorldPointConverter<float>& c = Converter();
    const int cy = c.m_nCenterY;
    // Not full: slots 0..current; the tallest of them.
    suspect.current = 5;
    User user;
    user.init(&m_feeder.Hub(), suspect, 4, QQVGA);
    EXPECT_EQ(5, user.m_historyIndex);
    EXPECT_EQ(c.LengthAtDepthInt(2500, cy - 100), user.m_bottomY[5]);
    EXPECT_EQ(0, user.m_bottomY[6]);
    EXPECT_EQ(c.LengthAtDepthInt(2500, cy - 35) - c.LengthAtDepthInt(2500, cy - 100), user.height());
    EXPECT_EQ(4, user.firstBox().min.x);
    EXPECT_TRUE(user.isNew());
    // Full, at slot 0: all slots; the first box is slot 99's.
    suspect.current = 0;
    suspect.full = true;
    user.init(&m_feeder.Hub(), suspect, 4, QQVGA);
    EXPECT_EQ(c.LengthAtDepthInt(2500, cy - 21) - c.LengthAtDepthInt(2500, cy - 100), user.height());
    EXPECT_EQ(99, user.firstBox().min.x);
    EXPECT_EQ(c.LengthAtDepthInt(2500, cy - 100), user.m_bottomY[99]);
}

TEST_F(UserTest, SmallAreasAreOcclusionFrames) {
    struct Case {
        int area;
        bool swallowed;
        bool occluded;
    };
    const Case cases[] = {{1499, false, true}, {1500, false, false}, {0, true, false}, {1499, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.area);
        User user;
        Start(user);
        user.m_isSwallowed = c.swallowed;
        Update(user, c.area);
        EXPECT_EQ(c.occluded, user.occluded());
        EXPECT_EQ(c.occluded ? 1 : 0, user.m_occlusionTime);
        // Too small for the body either way.
        EXPECT_TRUE(user.partiallyOrFullyOccluded());
    }
}

// A body of height h with an area below h^2 / 15 holds its height and
// stable box, unless it is new, or redetected with enough area.
TEST_F(UserTest, APartlySeenBodyHoldsItsStableBox) {
    User user;
    Start(user);
    const int h = user.height();
    const int q = h * h / 15;
    Update(user, q - 1, 0, Vector3D<int>(100, 0, 2500));
    ASSERT_FALSE(user.isNew());
    const Box3D<int> stable = user.stableBox();
    EXPECT_EQ(100, user.stableCenter()[0]);
    EXPECT_LT(stable.min.x, stable.max.x);
    const int bottom = user.m_bottomY[user.m_historyIndex];

    Update(user, q - 1, 0, Vector3D<int>(300, 0, 2500));
    EXPECT_TRUE(user.partiallyOrFullyOccluded());
    EXPECT_FALSE(user.occluded());
    EXPECT_EQ(100, user.stableCenter()[0]);
    EXPECT_EQ(stable.min.x, user.stableBox().min.x);
    EXPECT_EQ(bottom, user.m_bottomY[user.m_historyIndex]);
    EXPECT_EQ(300, user.CenterOfMass().x);

    // Enough area but most rows occluded: held, unless redetected.
    Update(user, q, 1000, Vector3D<int>(300, 0, 2500));
    EXPECT_TRUE(user.partiallyOrFullyOccluded());
    EXPECT_EQ(100, user.stableCenter()[0]);
    user.redetection();
    Update(user, q, 1000, Vector3D<int>(300, 0, 2500));
    EXPECT_EQ(300, user.stableCenter()[0]);
    // Fully seen: the redetection mark clears.
    Update(user, q, 0, Vector3D<int>(300, 0, 2500));
    EXPECT_FALSE(user.partiallyOrFullyOccluded());
    EXPECT_FALSE(user.m_isRedetected);
    EXPECT_EQ(h, user.height());
}

TEST_F(UserTest, TheCentreHistoryWrapsAfterAHundredFrames) {
    User user;
    Start(user);
    for (int i = 1; i <= 99; ++i) {
        Update(user, 200000, 0, Vector3D<int>(i, 0, 2500));
    }
    EXPECT_FALSE(user.m_historyFull);
    ASSERT_EQ(100u, user.centers().size());
    EXPECT_EQ(0, user.centers()[0].x);
    Update(user, 200000, 0, Vector3D<int>(100, 0, 2500));
    EXPECT_TRUE(user.m_historyFull);
    EXPECT_EQ(0, user.m_historyIndex);
    const std::vector<Vector3D<int> > centers = user.centers();
    ASSERT_EQ(100u, centers.size());
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(i + 1, centers[static_cast<size_t>(i)].x);
    }
    EXPECT_EQ(Vector2D<int>(100, 2500), user.currentCenter());
}

TEST_F(UserTest, RobustVelocityIsSmoothedAndClamped) {
    User user;
    Start(user);
    user.SetRobustData(Vector3D<int>(0, 0, 2000), 5, false);
    EXPECT_EQ(Vector3D<int>(), user.m_robustVelocity);
    // First motion: the raw difference.
    user.SetRobustData(Vector3D<int>(10, 0, 2030), 5, false);
    EXPECT_EQ(Vector3D<int>(10, 0, 30), user.m_robustVelocity);
    EXPECT_EQ(Vector3D<int>(20, 0, 2060), user.m_predictedCenter);
    // A jump of 100 in x counts as v + 20; -50 in z as v - 20.
    user.SetRobustData(Vector3D<int>(110, 0, 1980), 5, false);
    EXPECT_EQ(Vector3D<int>((10 + 30) / 2, 0, (30 + 10) / 2), user.m_robustVelocity);
    // Another kind of centre keeps the velocity.
    user.SetRobustData(Vector3D<int>(500, 0, 1000), 7, true);
    EXPECT_EQ(Vector3D<int>(20, 0, 20), user.m_robustVelocity);
    EXPECT_EQ(7, user.m_robustArea);
    user.m_splitZFar = 2400;
    user.m_splitZNear = 2201;
    EXPECT_EQ(2300, user.GetPartitioningInZ());
    EXPECT_EQ(2320, user.GetPredictedPartitionInZ());
    Update(user, 12345);
    user.ResetRobustData();
    EXPECT_EQ(12345, user.m_robustArea);
    EXPECT_EQ(Vector3D<int>(), user.m_predictedCenter);
    EXPECT_FALSE(user.m_robustSplit);
}

TEST_F(UserTest, ComponentListsHoldFiveHundred) {
    User user;
    for (int c = 1; c <= 500; ++c) {
        ASSERT_TRUE(user.addCC(c));
    }
    EXPECT_FALSE(user.addCC(501));
    EXPECT_EQ(500, user.ccEnd() - user.ccBegin());
    // The last entry fills the gap.
    user.eraseCC(2);
    EXPECT_EQ(500, user.ccBegin()[1]);
    EXPECT_EQ(499, user.m_ccCount);
    unsigned short ids[501] = {};
    for (int c = 1; c <= 500; ++c) {
        ids[c] = c % 3 == 0 ? 0 : 1;
    }
    user.cleanCCs(ids);
    for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
        ASSERT_NE(0, *c % 3);
    }
    EXPECT_EQ(499 - 166, user.m_ccCount);
    user.resetCCs();
    EXPECT_TRUE(user.IsEmpty());
}

TEST_F(UserTest, TextForm) {
    User user;
    Start(user);
    Update(user, 250000, 0, Vector3D<int>(7, 8, 2500));
    user.addCC(12);
    user.addCC(5);
    std::ostringstream text;
    text << user;
    const std::string s = text.str();
    EXPECT_EQ(0u, s.find("alive=1\nage=1\nisNew=0\nisRedetected=0\noccluded=0\npartiallyOccluded=0\noccluding=0\n"
                         "occlusion time=0\nCom=7 8 2500\narea=250000\n"));
    EXPECT_NE(std::string::npos, s.find("\nbox=70 90 10 100 2400 2500\nStable Box="));
    EXPECT_NE(std::string::npos, s.find("\nStable Center=7 2500\nRobust Center=0 0 0\nPredicted Center=0 0 0\n"
                                        "Robust Area=0\nccs:12 5 "));
    EXPECT_EQ('5', s[s.size() - 2]);
}

}  // namespace
