// The multi-user skeleton driver's per-user pipelines, their events and
// the process-wide smoothing settings, and the pipelines' modes.

#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <utility>
#include <vector>

#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"
#include "NACommon/NAEventListener.h"

namespace {

typedef std::vector<std::pair<int, int>> Events;

// (user id, event type) of every user and skeleton event.
class EventLog : public NAEventListener {
public:
    void ProcessEvent(const NAEvent& event) override {
        ASSERT_EQ(NAEvent::USER, event.kind);
        m_events.emplace_back(event.user.userId, event.user.eventType);
    }
    Events m_events;
};

class MultiUserFeatureExtractorTest : public ::testing::Test {
protected:
    void SetUp() override { m_driver.GetSharedData().AddEventListener(&m_log); }
    void TearDown() override {
        m_driver.GetSharedData().RemoveEventListener(&m_log);
        FeatureExtractor::usePoseSmoother = true;
        FeatureExtractor::smoothingFactor = 0.5f;
    }

    MultiUserFeatureExtractor m_driver;
    EventLog m_log;
};

TEST_F(MultiUserFeatureExtractorTest, PipelinesAreCreatedAndDeletedWithTheirEvents) {
    typedef FeatureExtractorEvent E;
    FeatureExtractor* three = m_driver.CreateFeatureExtractor(3);
    ASSERT_NE(nullptr, three);
    EXPECT_EQ(three, m_driver.GetFeatureExtractor(3));
    EXPECT_EQ(3, three->GetUserId());
    m_driver.CreateFeatureExtractor(1);
    // Creating an existing id replaces it.
    m_driver.CreateFeatureExtractor(3);
    EXPECT_EQ(2, m_driver.GetActiveFeatureExtractorsNum());
    EXPECT_TRUE(m_driver.DeleteFeatureExtractor(1));
    EXPECT_FALSE(m_driver.DeleteFeatureExtractor(1));
    EXPECT_EQ(nullptr, m_driver.GetFeatureExtractor(1));
    m_driver.CreateFeatureExtractor(2);
    m_driver.Reset();
    EXPECT_EQ(0, m_driver.GetActiveFeatureExtractorsNum());
    EXPECT_EQ((Events{{3, E::USER_CREATED},
                      {1, E::USER_CREATED},
                      {3, E::USER_REMOVED},
                      {3, E::USER_CREATED},
                      {1, E::USER_REMOVED},
                      {2, E::USER_CREATED},
                      {2, E::USER_REMOVED},
                      {3, E::USER_REMOVED}}),
              m_log.m_events);
}

TEST_F(MultiUserFeatureExtractorTest, TheSmoothingFactorIsClampedToZeroToOne) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::pair<float, float> cases[] = {{0.3f, 0.3f}, {2, 1}, {-1, 0}, {nan, 0}, {0.75f, 0.75f}};
    for (const auto& c : cases) {
        m_driver.SetSmoothingFactor(c.first);
        EXPECT_EQ(c.second, m_driver.GetSmoothingFactor());
        EXPECT_EQ(c.second, FeatureExtractor::smoothingFactor);
    }
    m_driver.SetSmoothingEnabled(false);
    EXPECT_FALSE(m_driver.GetSmoothingEnabled());
    EXPECT_FALSE(FeatureExtractor::usePoseSmoother);
}

// Without the pose model a pipeline keeps its mode and controls but never
// calibrates: it never counts as calibrating or calibrated.
TEST_F(MultiUserFeatureExtractorTest, APipelineKeepsItsModeAndPoseDetection) {
    FeatureExtractor* fe = m_driver.CreateFeatureExtractor(4);
    EXPECT_EQ(FeatureExtractor::MODE_STOPPED, fe->GetMode());
    EXPECT_FALSE(fe->IsLBSEnabled());
    EXPECT_FALSE(m_driver.IsLBSEnabled());
    EXPECT_TRUE(fe->StartTracking());
    EXPECT_EQ(FeatureExtractor::MODE_TRACKING, fe->GetMode());
    EXPECT_TRUE(fe->StopTracking());
    EXPECT_EQ(FeatureExtractor::MODE_STOPPED, fe->GetMode());
    EXPECT_FALSE(fe->IsCalibrating());
    EXPECT_FALSE(fe->IsCalibrated());
    fe->StartPoseDetection(static_cast<FeatureExtractor::DetectablePose>(1));
    EXPECT_FALSE(fe->IsDetectingPose(static_cast<FeatureExtractor::DetectablePose>(1)));
    fe->StartPoseDetection(FeatureExtractor::POSE_PSI);
    EXPECT_TRUE(fe->IsDetectingPose(FeatureExtractor::POSE_PSI));
    fe->StopPoseDetection(FeatureExtractor::POSE_PSI);
    EXPECT_FALSE(fe->IsDetectingPose(FeatureExtractor::POSE_PSI));
    // Its place in the frame starts empty.
    EXPECT_EQ(0.0f, fe->GetUserInfo().com.x);
    EXPECT_EQ(INT_MAX, fe->GetUserInfo().boundsPix[QVGA].min.x);
    EXPECT_EQ(INT_MIN, fe->GetUserInfo().boundsPix[QVGA].max.y);
    EXPECT_EQ(nullptr, fe->GetFixedSkeleton());
}

TEST(SideTest, Names) {
    EXPECT_EQ("L", ToString(L));
    EXPECT_EQ("R", ToString(R));
    EXPECT_EQ("X", ToString(X));
    EXPECT_EQ("INVALID_ENUM", ToString(static_cast<Side>(3)));
    EXPECT_EQ("INVALID_ENUM", ToString(static_cast<Side>(-1)));
}

}  // namespace
