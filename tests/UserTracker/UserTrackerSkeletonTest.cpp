// The user tracker's skeletons, poses and controls, with a scripted scene
// and skeleton driver on the synthetic camera.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "QuorLibrary/Math/Quaternion.h"
#include "ScriptedUserAlgorithms.h"
#include "UserTrackerTestSupport.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

using vela_test::ReadUserFrame;
using vela_test::Script;
using vela_test::ScriptedSkeleton;
using vela_test::ScriptedSkeletonUser;
using vela_test::ScriptedUserAlgorithms;
using vela_test::UserFrame;

// Restores the process-wide skeleton output settings a test changes.
class OutputSettings {
public:
    OutputSettings()
        : m_fixed(FeatureExtractor::useFixedLengthSkeleton),
          m_post(FeatureExtractor::useSkeletonPostProcessing),
          m_smoother(FeatureExtractor::usePoseSmoother),
          m_factor(FeatureExtractor::smoothingFactor) {}
    ~OutputSettings() {
        FeatureExtractor::useFixedLengthSkeleton = m_fixed;
        FeatureExtractor::useSkeletonPostProcessing = m_post;
        FeatureExtractor::usePoseSmoother = m_smoother;
        FeatureExtractor::smoothingFactor = m_factor;
    }

private:
    bool m_fixed;
    bool m_post;
    bool m_smoother;
    float m_factor;
};

class UserTrackerSkeletonTest : public vela_test::TrackerTest {
protected:
    // A tracker whose scene shows user 1 (and more ids given) from the first
    // frame, read once so that their pipelines exist, each with a visible box.
    void Start(std::set<int> alive = {1}) {
        auto algorithms = std::make_unique<ScriptedUserAlgorithms>(m_script);
        m_algorithms = algorithms.get();
        m_tracker = std::make_unique<UserTracker>(std::move(algorithms));
        ASSERT_EQ(VELA_STATUS_OK, m_tracker->initialize()) << LogText();
        m_script.alive = alive;
        ReadUserFrame(*m_tracker);
        for (int id : alive) {
            User(id)->info.boundsPix[QVGA] = Box2D<int>(Vector2D<int>(0, 0), Vector2D<int>(10, 10));
        }
    }
    void TearDown() override {
        m_tracker.reset();
        TrackerTest::TearDown();
    }

    ScriptedSkeletonUser* User(int id) { return m_algorithms->Driver()->User(id); }
    // User 1's tracked pipeline without the learned estimator.
    ScriptedSkeletonUser* Tracked() {
        ScriptedSkeletonUser* user = User(1);
        user->mode = FeatureExtractor::MODE_TRACKING;
        user->calibrated = true;
        return user;
    }
    // The record of user id in the next frame.
    VelaUserData NextRecord(int id = 1) {
        UserFrame frame = ReadUserFrame(*m_tracker);
        for (int i = 0; i < frame->userCount; ++i) {
            if (frame->users[i].id == id) {
                return frame->users[i];
            }
        }
        ADD_FAILURE() << "no user " << id;
        return VelaUserData{};
    }
    // Pose events the driver's next update raises.
    void RaiseOnUpdate(std::vector<std::tuple<int, FeatureExtractorEvent::SpecificEventType, int64_t>> events) {
        m_script.onUpdate = [events](vela_test::ScriptedSkeletonDriver& driver) {
            for (const auto& e : events) {
                driver.Raise(std::get<0>(e), std::get<1>(e), std::get<2>(e));
            }
        };
    }

    Script m_script;
    ScriptedUserAlgorithms* m_algorithms = nullptr;
    std::unique_ptr<UserTracker> m_tracker;
};

TEST_F(UserTrackerSkeletonTest, TheCalibrationStateGivesTheSkeletonState) {
    Start();
    struct Case {
        const char* name;
        bool calibrating;
        FeatureExtractor::Mode mode;
        bool calibrated;
        int32_t bits;
        bool lbs;
        bool startingHuman;
        VelaSkeletonState expected;
        bool visible;
    };
    const FeatureExtractor::Mode on = FeatureExtractor::MODE_TRACKING;
    const FeatureExtractor::Mode off = FeatureExtractor::MODE_STOPPED;
    const Case cases[] = {
        {"calibrating", true, on, false, 0x01, false, false, VELA_SKELETON_CALIBRATING, true},
        {"stopped", false, off, false, 0x20, false, false, VELA_SKELETON_NONE, true},
        {"calibrating mode", false, FeatureExtractor::MODE_CALIBRATING, false, 0, false, false, VELA_SKELETON_NONE,
         true},
        {"no bits", false, on, false, 0, false, false, VELA_SKELETON_NONE, true},
        {"0x41", false, on, false, 0x41, false, false, VELA_SKELETON_CALIBRATION_ERROR_NOT_IN_POSE, true},
        {"0x80", false, on, false, 0x80, false, false, VELA_SKELETON_CALIBRATION_ERROR_NOT_IN_POSE, true},
        {"0x01", false, on, false, 0x01, false, false, VELA_SKELETON_CALIBRATION_ERROR_NOT_IN_POSE, false},
        {"0x03", false, on, false, 0x03, false, false, VELA_SKELETON_CALIBRATION_ERROR_NOT_IN_POSE, false},
        {"0x02", false, on, false, 0x02, false, false, VELA_SKELETON_CALIBRATION_ERROR_HEAD, true},
        {"0x14", false, on, false, 0x14, false, false, VELA_SKELETON_CALIBRATION_ERROR_HEAD, true},
        {"0x28", false, on, false, 0x28, false, false, VELA_SKELETON_CALIBRATION_ERROR_TORSO, true},
        {"0x04", false, on, false, 0x04, false, false, VELA_SKELETON_CALIBRATION_ERROR_HANDS, true},
        {"0x08", false, on, false, 0x08, false, false, VELA_SKELETON_CALIBRATION_ERROR_HANDS, true},
        {"calibrated", false, on, true, 0x01, false, false, VELA_SKELETON_TRACKED, true},
        {"estimator, no human yet", false, on, false, 0, true, false, VELA_SKELETON_NONE, true},
        {"estimator, stopped", false, off, false, 0, true, true, VELA_SKELETON_NONE, true},
        {"estimator, human", false, on, false, 0x01, true, true, VELA_SKELETON_TRACKED, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSkeletonUser* user = User(1);
        user->calibrating = c.calibrating;
        user->mode = c.mode;
        user->calibrated = c.calibrated;
        user->calibrationStatus = c.bits;
        user->lbsEnabled = c.lbs;
        user->startingHuman = c.startingHuman;
        const VelaUserData record = NextRecord();
        EXPECT_EQ(c.expected, record.skeleton.state);
        EXPECT_EQ(c.visible, (record.state & VELA_USER_STATE_VISIBLE) != 0);
        if (c.expected != VELA_SKELETON_TRACKED) {
            const VelaSkeleton empty = {};
            EXPECT_EQ(0, std::memcmp(empty.joints, record.skeleton.joints, sizeof(empty.joints)));
        }
    }
}

// Each public joint comes from its own query, in world millimetres, with
// the orientation as a quaternion; hands and feet have none.
TEST_F(UserTrackerSkeletonTest, JointsComeFromTheirQueries) {
    OutputSettings settings;
    Start();
    ScriptedSkeleton& skeleton = Tracked()->fixedSkeleton;
    for (int part = 0; part < ScriptedSkeleton::PARTS; ++part) {
        for (int side = 0; side < 2; ++side) {
            const float value = static_cast<float>(100 * part + 10 * side);
            skeleton.position[part][side] = Vector3D<float>(value, value + 1, value + 2);
            skeleton.positionConfidence[part][side] = 0.5f + 0.01f * part + 0.001f * side;
            // A rotation about z by a different angle per query.
            const float angle = 0.1f * part + 0.05f * side;
            skeleton.orientation[part][side] =
                Matrix3X3<float>(std::cos(angle), -std::sin(angle), 0, std::sin(angle), std::cos(angle), 0, 0, 0, 1);
            skeleton.orientationConfidence[part][side] = 0.25f + 0.01f * part + 0.001f * side;
        }
    }
    typedef ScriptedSkeleton S;
    struct Expected {
        VelaJointType type;
        S::Part part;
        Side side;
        bool oriented;
        S::Part orientationPart;
    };
    const Expected expected[] = {
        {VELA_JOINT_HEAD, S::HEAD, L, true, S::HEAD},
        {VELA_JOINT_NECK, S::NECK, L, true, S::NECK},
        {VELA_JOINT_LEFT_SHOULDER, S::SHOULDER, L, true, S::SHOULDER},
        {VELA_JOINT_RIGHT_SHOULDER, S::SHOULDER, R, true, S::SHOULDER},
        {VELA_JOINT_LEFT_ELBOW, S::ELBOW, L, true, S::ELBOW},
        {VELA_JOINT_RIGHT_ELBOW, S::ELBOW, R, true, S::ELBOW},
        {VELA_JOINT_LEFT_HAND, S::HAND, L, false, S::HAND},
        {VELA_JOINT_RIGHT_HAND, S::HAND, R, false, S::HAND},
        {VELA_JOINT_TORSO, S::TORSO, L, true, S::TORSO},
        {VELA_JOINT_LEFT_HIP, S::HIP, L, true, S::HIP},
        {VELA_JOINT_RIGHT_HIP, S::HIP, R, true, S::HIP},
        {VELA_JOINT_LEFT_KNEE, S::KNEE, L, true, S::KNEE},
        {VELA_JOINT_RIGHT_KNEE, S::KNEE, R, true, S::KNEE},
        {VELA_JOINT_LEFT_FOOT, S::FOOT, L, false, S::FOOT},
        {VELA_JOINT_RIGHT_FOOT, S::FOOT, R, false, S::FOOT},
    };
    for (float factor : {1.0f, 0.7f}) {
        // The estimator's calibration pass scales every confidence by 0.7.
        User(1)->lbsEnabled = factor != 1.0f;
        User(1)->lbsPass = factor != 1.0f;
        User(1)->startingHuman = true;
        const VelaUserData record = NextRecord();
        ASSERT_EQ(VELA_SKELETON_TRACKED, record.skeleton.state);
        for (const Expected& e : expected) {
            SCOPED_TRACE(e.type);
            const VelaSkeletonJoint& joint = record.skeleton.joints[e.type];
            EXPECT_EQ(e.type, joint.jointType);
            EXPECT_EQ(skeleton.position[e.part][e.side].x, joint.position.x);
            EXPECT_EQ(skeleton.position[e.part][e.side].y, joint.position.y);
            EXPECT_EQ(skeleton.position[e.part][e.side].z, joint.position.z);
            EXPECT_EQ(skeleton.positionConfidence[e.part][e.side] * factor, joint.positionConfidence);
            if (e.oriented) {
                const Quaternion<float> q = Quaternion<float>::FromMatrix(skeleton.orientation[e.orientationPart][e.side]);
                EXPECT_EQ(q.x, joint.orientation.x);
                EXPECT_EQ(q.y, joint.orientation.y);
                EXPECT_EQ(q.z, joint.orientation.z);
                EXPECT_EQ(q.w, joint.orientation.w);
                EXPECT_EQ(skeleton.orientationConfidence[e.orientationPart][e.side] * factor,
                          joint.orientationConfidence);
            } else {
                EXPECT_EQ(0.0f, joint.orientation.w);
                EXPECT_EQ(0.0f, joint.orientation.z);
                EXPECT_EQ(0.0f, joint.orientationConfidence);
            }
        }
    }
}

TEST_F(UserTrackerSkeletonTest, TheOutputSettingsChooseTheSourceSkeleton) {
    OutputSettings settings;
    Start();
    ScriptedSkeletonUser* user = Tracked();
    user->fixedSkeleton.position[ScriptedSkeleton::HEAD][L].x = 1;
    user->smoothedPose.position[ScriptedSkeleton::HEAD][L].x = 2;
    user->outputPose.position[ScriptedSkeleton::HEAD][L].x = 3;
    struct Case {
        bool fixed;
        bool postProcessing;
        bool smoother;
        float head;
    };
    const Case cases[] = {
        {true, false, false, 1}, {false, true, true, 1}, {false, false, true, 2}, {false, false, false, 3},
    };
    for (const Case& c : cases) {
        FeatureExtractor::useFixedLengthSkeleton = c.fixed;
        FeatureExtractor::useSkeletonPostProcessing = c.postProcessing;
        FeatureExtractor::usePoseSmoother = c.smoother;
        EXPECT_EQ(c.head, NextRecord().skeleton.joints[VELA_JOINT_HEAD].position.x);
    }
}

TEST_F(UserTrackerSkeletonTest, PsiPoseStatesFollowThePipelinesEvents) {
    Start();
    testing::internal::CaptureStdout();
    EXPECT_EQ(VELA_STATUS_OK, m_tracker->startPoseDetection(1, VELA_POSE_PSI));
    EXPECT_EQ("Starting pose detection\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(User(1)->detectingPose);
    typedef FeatureExtractorEvent E;
    struct Step {
        std::vector<std::tuple<int, E::SpecificEventType, int64_t>> events;
        int32_t state;
    };
    const Step steps[] = {
        {{}, 1},
        // Entered: the status of the same frame does not overwrite it.
        {{{1, E::POSE_DETECTED, 100}, {1, E::POSE_STATUS, 100}}, 7},
        {{{1, E::POSE_STATUS, 200}}, 3},
        {{{1, E::POSE_STATUS, 300}}, 3},
        {{{1, E::POSE_LOST, 400}, {1, E::POSE_STATUS, 400}}, 9},
        {{{1, E::POSE_STATUS, 500}}, 1},
        // Users that were not present, and events of other types, change
        // nothing.
        {{{7, E::POSE_DETECTED, 600}, {1, E::CALIBRATION_ENDED, 600}, {1, E::USER_REMOVED, 600}}, 1},
    };
    for (const Step& step : steps) {
        RaiseOnUpdate(step.events);
        const VelaUserData record = NextRecord();
        EXPECT_EQ(VELA_POSE_PSI, record.poses[0].type);
        EXPECT_EQ(step.state, record.poses[0].state);
        EXPECT_EQ(VELA_POSE_CROSSED_HANDS, record.poses[1].type);
        EXPECT_EQ(0, record.poses[1].state);
    }
    m_script.onUpdate = nullptr;
    m_tracker->stopPoseDetection(1, VELA_POSE_PSI);
    EXPECT_FALSE(User(1)->detectingPose);
    EXPECT_EQ(0, NextRecord().poses[0].state);
}

// One user's pose event does not hide another user's status of the same
// frame.
TEST_F(UserTrackerSkeletonTest, PoseEventTimesAreKeptPerUser) {
    Start({1, 2});
    testing::internal::CaptureStdout();
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->startPoseDetection(1, VELA_POSE_PSI));
    ASSERT_EQ(VELA_STATUS_OK, m_tracker->startPoseDetection(2, VELA_POSE_PSI));
    testing::internal::GetCapturedStdout();
    typedef FeatureExtractorEvent E;
    RaiseOnUpdate({{2, E::POSE_DETECTED, 100}, {2, E::POSE_STATUS, 100}});
    EXPECT_EQ(7, NextRecord(2).poses[0].state);
    RaiseOnUpdate({{1, E::POSE_DETECTED, 200}, {1, E::POSE_STATUS, 200}, {2, E::POSE_STATUS, 200}});
    UserFrame frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(2, frame->userCount);
    EXPECT_EQ(7, frame->users[0].poses[0].state);
    EXPECT_EQ(3, frame->users[1].poses[0].state);
}

TEST_F(UserTrackerSkeletonTest, CrossedHandsAreDetectedFromTheSkeleton) {
    OutputSettings settings;
    Start();
    ScriptedSkeletonUser* user = Tracked();
    ScriptedSkeleton& s = user->fixedSkeleton;
    typedef ScriptedSkeleton S;
    for (S::Part part : {S::HAND, S::ELBOW}) {
        s.positionConfidence[part][L] = 1;
        s.positionConfidence[part][R] = 1;
    }
    // Forearms crossed: the left hand right of the right hand, each hand
    // above the other arm's elbow.
    auto cross = [&](bool crossed) {
        s.position[S::ELBOW][L] = Vector3D<float>(-200, 0, 2000);
        s.position[S::ELBOW][R] = Vector3D<float>(200, 0, 2000);
        s.position[S::HAND][L] = Vector3D<float>(crossed ? 100 : -300, 300, 1800);
        s.position[S::HAND][R] = Vector3D<float>(crossed ? -100 : 300, 300, 1800);
    };
    EXPECT_EQ(VELA_STATUS_OK, m_tracker->startPoseDetection(1, VELA_POSE_CROSSED_HANDS));
    cross(false);
    EXPECT_EQ(1, NextRecord().poses[1].state);
    cross(true);
    EXPECT_EQ(7, NextRecord().poses[1].state);
    EXPECT_EQ(3, NextRecord().poses[1].state);
    // A confidence of exactly 0.5 freezes the state for the frame.
    s.positionConfidence[S::HAND][L] = 0.5f;
    cross(false);
    EXPECT_EQ(3, NextRecord().poses[1].state);
    s.positionConfidence[S::HAND][L] = 1;
    EXPECT_EQ(9, NextRecord().poses[1].state);
    EXPECT_EQ(1, NextRecord().poses[1].state);
    // Not tracked counts as not crossed.
    cross(true);
    EXPECT_EQ(7, NextRecord().poses[1].state);
    user->mode = FeatureExtractor::MODE_STOPPED;
    EXPECT_EQ(9, NextRecord().poses[1].state);
    m_tracker->stopPoseDetection(1);
    EXPECT_EQ(0, NextRecord().poses[1].state);
    EXPECT_EQ(0, NextRecord().poses[0].state);
}

TEST_F(UserTrackerSkeletonTest, SkeletonAndPoseControls) {
    Start();
    EXPECT_EQ(VELA_STATUS_BAD_USER_ID, m_tracker->startTracking(5));
    m_tracker->stopTracking(5);
    EXPECT_FALSE(m_tracker->isTracking(5));
    EXPECT_EQ(VELA_STATUS_OK, m_tracker->startTracking(1));
    EXPECT_EQ(FeatureExtractor::MODE_TRACKING, User(1)->mode);
    EXPECT_TRUE(m_tracker->isTracking(1));
    // With the learned estimator, only once the user is validated.
    User(1)->lbsEnabled = true;
    EXPECT_FALSE(m_tracker->isTracking(1));
    User(1)->startingHuman = true;
    EXPECT_TRUE(m_tracker->isTracking(1));
    m_tracker->stopTracking(1);
    EXPECT_EQ(FeatureExtractor::MODE_STOPPED, User(1)->mode);
    EXPECT_FALSE(m_tracker->isTracking(1));

    testing::internal::CaptureStdout();
    EXPECT_EQ(VELA_STATUS_BAD_USER_ID, m_tracker->startPoseDetection(5, VELA_POSE_PSI));
    EXPECT_EQ(VELA_STATUS_OK, m_tracker->startPoseDetection(5, VELA_POSE_CROSSED_HANDS));
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    // Pose types outside the two tables are refused.
    EXPECT_EQ(VELA_STATUS_ERROR, m_tracker->startPoseDetection(1, static_cast<VelaPoseType>(2)));
    m_tracker->stopPoseDetection(1, static_cast<VelaPoseType>(-1));
    EXPECT_TRUE(Logged("UserTracker: Unknown pose type 2")) << LogText();
    EXPECT_TRUE(Logged("UserTracker: Unknown pose type -1")) << LogText();
    const VelaUserData record = NextRecord();
    EXPECT_EQ(0, record.poses[0].state);
    EXPECT_EQ(0, record.poses[1].state);
}

// Smoothing is the library driver's process-wide setting: on above 0, the
// factor clamped to 0..1, and reported as 0 while off.
TEST_F(UserTrackerSkeletonTest, SkeletonSmoothingIsClamped) {
    OutputSettings settings;
    UserTracker tracker(std::make_unique<ScriptedUserAlgorithms>(m_script, true, false));
    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize());
    struct Case {
        float set;
        bool on;
        float got;
    };
    const Case cases[] = {
        {0.3f, true, 0.3f},
        {1.5f, true, 1.0f},
        {-1.0f, false, 0.0f},
        {0.0f, false, 0.0f},
        {std::numeric_limits<float>::quiet_NaN(), false, 0.0f},
        {std::numeric_limits<float>::infinity(), true, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        EXPECT_EQ(VELA_STATUS_OK, tracker.setSmoothing(c.set));
        EXPECT_EQ(c.on, FeatureExtractor::usePoseSmoother);
        float factor = -5;
        EXPECT_EQ(VELA_STATUS_OK, tracker.getSmoothing(&factor));
        EXPECT_EQ(c.got, factor);
        EXPECT_FALSE(std::isnan(FeatureExtractor::smoothingFactor));
    }
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
