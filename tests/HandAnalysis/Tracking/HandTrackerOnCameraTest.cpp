// The per-hand tracker on rendered motions through the synthetic camera,
// driven as the manager drives one hand: it follows a moving hand, loses a
// hand lowered into the body and gives it up after its recovery time, and
// gives up a "hand" that is a large head.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "HandAnalysis/DUZHandTracker.h"
#include "HandCameraSession.h"
#include "HandScenes.h"
#include "HandTrackerDriver.h"

namespace {

using hand_tracker_driver::OneHandDriver;
using State = DUZHandTrackerBase::State;

constexpr double kFps = 30.0;

// Scene time of the session's current frame (camera frame n shows scene
// frame n - 1).
double SceneTime(const hand_test_kit::CameraSession& session) { return (session.FrameId() - 1) / kFps; }

// The person of these scenes at 1.8 m, arms down, with a hand motion.
std::string PersonWith(const std::string& motion) {
    return hand_scenes::Room(hand_scenes::Person("", "  at 0 pos=0,1800\n") + motion);
}

float Distance(const Vector3D<float>& a, const Vector3D<float>& b) { return (a - b).Magnitude(); }

struct MotionCase {
    const char* name;
    const char* motion;
    double from;  // s: tracking starts here, on the hand's visible centroid
    double to;    // s
};

TEST(HandTrackerOnCamera, FollowsAMovingHand) {
    const MotionCase cases[] = {
        {"a line at 300 mm/s", "  swipe 0..1.6 length=300 blend=0.3\n", 0.3, 1.3},
        {"a line at 1 m/s", "  swipe 0..1.1 length=500 blend=0.3\n", 0.3, 0.8},
        {"a circle of 100 mm at 0.5 Hz", "  circle 0..2.6 radius=100 period=2 blend=0.3\n", 0.3, 2.3},
        {"a slow push of 200 mm", "  push 0..3.6 reach=200 blend=0.3\n", 0.3, 1.8},
    };
    for (const MotionCase& motion : cases) {
        SCOPED_TRACE(motion.name);
        hand_test_kit::CameraSession session;
        ASSERT_TRUE(session.OpenScene(PersonWith(motion.motion), 320, 240)) << session.Error();
        OneHandDriver driver(session);
        do {
            ASSERT_TRUE(driver.Next());
        } while (SceneTime(session) < motion.from);
        ASSERT_GT(session.Hand(0, vela::scene::kRight).nVisiblePixels, 0);
        ASSERT_EQ(1, driver.Start(hand_test_kit::ToVector(session.Hand(0, vela::scene::kRight).centroid),
                                  Vector2D<float>(0, 0)));
        int frames = 0;
        int near = 0;
        float worst = 0.0f;
        while (SceneTime(session) < motion.to) {
            ASSERT_TRUE(driver.Next());
            driver.Track();
            const Vector3D<float> truth = hand_test_kit::ToVector(session.Hand(0, vela::scene::kRight).centroid);
            const float error = Distance(driver.Tracker().m_position, truth);
            EXPECT_EQ(DUZHandTrackerBase::eTracking, driver.Tracker().m_state) << "frame " << session.FrameId();
            ++frames;
            near += error <= 50.0f ? 1 : 0;
            worst = std::max(worst, error);
        }
        EXPECT_GE(near, std::ceil(0.95 * frames)) << near << " of " << frames << " within 50 mm, worst " << worst;
    }
}

TEST(HandTrackerOnCamera, AHandLoweredIntoTheBodyIsLostAndGivenUpAfterItsRecoveryTime) {
    const std::string scene = hand_scenes::Room(hand_scenes::Person(
        hand_scenes::kRaisedRightArm, "  at 0 pos=0,1800\n",
        "")) + "  pose 1 stand " + hand_scenes::kRaisedRightArm + "\n  pose 1.6 stand\n";
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(scene, 320, 240)) << session.Error();
    OneHandDriver driver(session);
    do {
        ASSERT_TRUE(driver.Next());
    } while (SceneTime(session) < 0.3);
    ASSERT_EQ(1, driver.Start(hand_test_kit::ToVector(session.Hand(0, vela::scene::kRight).centroid),
                              Vector2D<float>(0, 0)));
    uint32_t lastTracking = 0;
    uint32_t inactiveAt = 0;
    while (inactiveAt == 0 && SceneTime(session) < 4.0) {
        ASSERT_TRUE(driver.Next());
        driver.Track();
        const State state = driver.Tracker().m_state;
        if (state == DUZHandTrackerBase::eTracking) {
            lastTracking = session.FrameId();
        } else if (state == DUZHandTrackerBase::eInactive) {
            inactiveAt = session.FrameId();
        }
    }
    // Tracked while raised (to 1 s); once lost never found again, and
    // inactive one frame after a second without a good sample.
    EXPECT_GE(lastTracking, 31u);
    ASSERT_NE(0u, inactiveAt);
    EXPECT_EQ(lastTracking + 31, inactiveAt);
}

// The head's surface point in front of the head joint, on the tracker's
// frame.
Vector3D<float> HeadSurface(const hand_test_kit::CameraSession& session, const NADepthMapContainer& frame) {
    const Vector3D<float> joint = hand_test_kit::ToVector(session.Joint(0, vela::scene::Joint::Head));
    const Vector3D<float> pixel = frame.m_converter->ProjectivePt(joint);
    const float z = (*frame.m_depth)(static_cast<int>(pixel.x), static_cast<int>(pixel.y));
    return Vector3D<float>(joint.x, joint.y, z);
}

TEST(HandTrackerOnCamera, AStartOnALargeHeadEndsAfterFiveHeadsInARow) {
    // Frames of the second run in which no head check runs.
    const struct {
        const char* name;
        int frameWithoutCheck;
        int inactiveAfter;
    } cases[] = {
        {"five large heads in a row", 0, 5},
        {"a frame without detection restarts the count", 5, 10},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        hand_test_kit::CameraSession session;
        ASSERT_TRUE(session.OpenScene(hand_scenes::Room(hand_scenes::Person("")), 320, 240)) << session.Error();
        OneHandDriver driver(session);
        ASSERT_TRUE(driver.Next());
        ASSERT_TRUE(driver.Next());
        // A hand 100 mm tall makes any head above 65 mm in radius large.
        ASSERT_EQ(1, driver.Start(HeadSurface(session, driver.Frame()), Vector2D<float>(80, 100)));
        DUZHandTracker& tracker = driver.Tracker();
        for (int frame = 1; frame <= test.inactiveAfter; ++frame) {
            SCOPED_TRACE(frame);
            ASSERT_TRUE(driver.Next());
            tracker.m_checkHeadDetector = frame == test.frameWithoutCheck ? 0 : 1;
            driver.Track();
            if (frame != test.frameWithoutCheck) {
                EXPECT_EQ(1, tracker.m_headDetected);
                EXPECT_GT(tracker.m_extremePointTracker.GetHeadSizeRW(), 65.0f);
            }
            EXPECT_EQ(frame == test.inactiveAfter ? DUZHandTrackerBase::eInactive : DUZHandTrackerBase::eTracking,
                      tracker.m_state);
        }
    }
}

TEST(HandTrackerOnCamera, ASmallHeadDoesNotCountButKeepsALostTrackerLost) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(hand_scenes::Room(hand_scenes::Person("")), 320, 240)) << session.Error();
    OneHandDriver driver(session);
    ASSERT_TRUE(driver.Next());
    ASSERT_TRUE(driver.Next());
    // A hand a metre tall: no head is large.
    ASSERT_EQ(1, driver.Start(HeadSurface(session, driver.Frame()), Vector2D<float>(80, 1000)));
    DUZHandTracker& tracker = driver.Tracker();
    // Only the head check decides here.
    tracker.m_checkHandBoundary = 0;
    for (int frame = 1; frame <= 6; ++frame) {
        ASSERT_TRUE(driver.Next());
        driver.Track();
        EXPECT_EQ(1, tracker.m_headDetected);
        EXPECT_EQ(0, tracker.m_headDetectionCounter);
        EXPECT_EQ(DUZHandTrackerBase::eTracking, tracker.m_state);
    }
    tracker.m_state = DUZHandTrackerBase::eLost;
    ASSERT_TRUE(driver.Next());
    driver.Track();
    EXPECT_EQ(1, tracker.m_headDetected);
    EXPECT_EQ(DUZHandTrackerBase::eLost, tracker.m_state);
}

}  // namespace
