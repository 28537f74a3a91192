#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "GestureTrajectorySupport.h"
#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "SyntheticPaths.h"

namespace {

using gesture_trajectory::Store;

// A push along the ray from the sensor at 1.5 m: still for `before` frames,
// 5 frames of 40 mm toward the sensor, still for `pause` frames (0.1 s),
// 5 frames of 40 mm back, still.
Vector3D<double> PushAt(int frame, int before, int pause) {
    const Vector3D<double> start(0.0, 0.0, 1500.0);
    const Vector3D<double> toward(0.0, 0.0, -1.0);
    const int f = frame - before;
    double out = 0.0;
    if (f > 0) {
        out = 40.0 * std::min(f, 5);
    }
    const int g = f - 5 - pause;
    if (g > 0) {
        out -= 40.0 * std::min(g, 5);
    }
    return start + toward * out;
}

synthetic_paths::Path PushPath(int first, int count, uint32_t seed) {
    return synthetic_paths::Sampled(
        [](double t) { return PushAt(static_cast<int>(std::lround(t * 30.0)), 10, 3); }, first, count,
        synthetic_paths::kNoiseMm, seed);
}

struct ClickRun {
    std::vector<int> statuses;  // per frame
    int completedAt = -1;       // index of the frame that returned 2
    bool emptyAfterCompletion = false;
};

ClickRun RunPlainClick(const synthetic_paths::Path& path, unsigned firstFrame, bool flatDuringPush) {
    DUZClickGestureRecognizer click;
    DUZFocusGestureTrajectory trajectory(false);
    ClickRun run;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned frame = firstFrame + static_cast<unsigned>(i);
        const bool pushing = i >= 10 && i <= 15;
        Store(trajectory, path[i].position, frame, path[i].time,
              flatDuringPush && pushing ? gesture_trajectory::FlatHand() : gesture_trajectory::UprightHand());
        Vector3D<float> position(0, 0, 0);
        const GestureStatus status = click.Run(trajectory, static_cast<int>(frame), position, 0, 0);
        run.statuses.push_back(status);
        if (status == GESTURE_STATUS_COMPLETED && run.completedAt < 0) {
            run.completedAt = static_cast<int>(i);
            run.emptyAfterCompletion = true;
            for (int s = 0; s < NATrajectory::kLength; ++s) {
                run.emptyAfterCompletion = run.emptyAfterCompletion && trajectory.m_frameIds[s] == 0;
            }
        }
    }
    return run;
}

int Count(const std::vector<int>& statuses, int status) {
    int n = 0;
    for (int s : statuses) n += s == status;
    return n;
}

TEST(ClickGestureRecognizer, PlainPushPauseAndPullBack) {
    // Frames from 1 and, for the wrap, from 80 so that the push runs over
    // slot 89.
    for (const unsigned first : {1u, 80u}) {
        SCOPED_TRACE(first);
        const synthetic_paths::Path path = PushPath(0, 35, 3);
        const ClickRun run = RunPlainClick(path, first, false);
        ASSERT_EQ(1, Count(run.statuses, GESTURE_STATUS_COMPLETED)) << ::testing::PrintToString(run.statuses);
        SCOPED_TRACE(::testing::PrintToString(run.statuses));
        // More than 160 mm of pull back: at its fourth frame (160 mm plus
        // noise) or its fifth (200 mm).
        EXPECT_TRUE(run.completedAt == 22 || run.completedAt == 23) << run.completedAt;
        EXPECT_TRUE(run.emptyAfterCompletion);
        // In progress once, after more than 160 mm of push, and nothing
        // else before the click.
        EXPECT_EQ(1, Count(run.statuses, GESTURE_STATUS_IN_PROGRESS));
        const int pushSeen = run.statuses[14] == GESTURE_STATUS_IN_PROGRESS ? 14 : 15;
        EXPECT_EQ(GESTURE_STATUS_IN_PROGRESS, run.statuses[pushSeen]);
        for (int i = 0; i < run.completedAt; ++i) {
            EXPECT_TRUE(run.statuses[i] == GESTURE_STATUS_NONE || i == pushSeen) << i;
        }
        for (size_t i = run.completedAt + 1; i < run.statuses.size(); ++i) {
            EXPECT_EQ(GESTURE_STATUS_NONE, run.statuses[i]) << i;
        }
    }
}

TEST(ClickGestureRecognizer, AFlatHandDuringThePushIsNoClick) {
    const synthetic_paths::Path path = PushPath(0, 24, 3);
    DUZClickGestureRecognizer click;
    DUZFocusGestureTrajectory trajectory(false);
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned frame = 80u + static_cast<unsigned>(i);
        const bool pushing = i >= 10 && i <= 15;
        Store(trajectory, path[i].position, frame, path[i].time,
              pushing ? gesture_trajectory::FlatHand() : gesture_trajectory::UprightHand());
        Vector3D<float> position(0, 0, 0);
        EXPECT_NE(GESTURE_STATUS_COMPLETED, click.Run(trajectory, static_cast<int>(frame), position, 0, 0));
    }
    // The ring keeps its samples.
    EXPECT_EQ(80 + 23, trajectory.m_latestFrameId);
    EXPECT_EQ(80u + 23u, trajectory.m_frameIds[NATrajectory::Slot(80 + 23)]);
    EXPECT_EQ(80u, trajectory.m_frameIds[NATrajectory::Slot(80)]);
}

TEST(ClickGestureRecognizer, ValidateMovementCountsFlatSlotsAcrossTheWrap) {
    DUZClickGestureRecognizer click;
    DUZFocusGestureTrajectory trajectory(false);
    for (unsigned f = 170; f <= 185; ++f) {
        Store(trajectory, Vector3D<float>(0, 0, 1500), f, gesture_trajectory::FrameTime(f));
    }
    // Slots 85 .. 89 and 0 .. 5: flat slots on both sides of the wrap.
    const int first = NATrajectory::Slot(175);
    const int current = NATrajectory::Slot(185);
    ASSERT_GT(first, current);
    trajectory.m_handSizeAtSlot[NATrajectory::Slot(176)] = gesture_trajectory::FlatHand();
    trajectory.m_handSizeAtSlot[NATrajectory::Slot(179)] = gesture_trajectory::FlatHand();
    trajectory.m_handSizeAtSlot[NATrajectory::Slot(181)] = gesture_trajectory::FlatHand();
    EXPECT_EQ(1, click.ValidateMovement(trajectory, current, first));
    trajectory.m_handSizeAtSlot[NATrajectory::Slot(185)] = gesture_trajectory::FlatHand();
    EXPECT_EQ(0, click.ValidateMovement(trajectory, current, first));
    // Outside the range the fourth does not count.
    EXPECT_EQ(1, click.ValidateMovement(trajectory, NATrajectory::Slot(184), first));
    // Exactly 0.85 is upright.
    trajectory.m_handSizeAtSlot[NATrajectory::Slot(185)] = Vector2D<float>(100, 85);
    EXPECT_EQ(1, click.ValidateMovement(trajectory, current, first));
}

TEST(ClickGestureRecognizer, MovementLengthsAtTheEndsOfTheIntRange) {
    // A settings file may hold any int; the push and the pull back are then
    // never long enough, and the lowest int must not be negated.
    const synthetic_paths::Path path = PushPath(0, 35, 3);
    for (const int length : {INT_MIN, INT_MAX}) {
        SCOPED_TRACE(length);
        DUZClickGestureRecognizer click;
        click.m_movementLength = length;
        DUZFocusGestureTrajectory trajectory(false);
        for (size_t i = 0; i < path.size(); ++i) {
            Store(trajectory, path[i].position, 1u + static_cast<unsigned>(i), path[i].time);
            Vector3D<float> position(0, 0, 0);
            EXPECT_EQ(GESTURE_STATUS_NONE, click.Run(trajectory, static_cast<int>(i + 1), position, 0, 0));
        }
    }
}

TEST(ClickGestureRecognizer, DefaultsAndType) {
    DUZClickGestureRecognizer click;
    EXPECT_EQ(1, click.Initialize("/nonexistent/HandAlgorithms.ini", 0));
    EXPECT_EQ(Vector3D<float>(0, 0, 0), click.m_gesturePointingLocation);
    EXPECT_EQ(160, click.m_movementLength);
    EXPECT_EQ(25, click.m_lookBackFrames);
    EXPECT_EQ(GESTURE_CLICK, click.GetType());
    EXPECT_EQ(0, click.RequiresForearm());
    // A plain ring is no candidate trajectory.
    NATrajectory ring;
    Vector3D<float> position(1, 2, 3);
    EXPECT_EQ(GESTURE_STATUS_NONE, click.Run(ring, 1, position, 0, 0));
}

}  // namespace
