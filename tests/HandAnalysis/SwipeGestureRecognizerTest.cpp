#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "GestureTrajectorySupport.h"
#include "HandAnalysis/DUZSwipeGestureRecognizer.h"
#include "SyntheticPaths.h"

namespace {

// At rest 0.5 s, then `length` mm along +X at `speed` mm/s while moving
// `rise` mm in y at constant depth, then at rest.
synthetic_paths::Path SwipePath(double length, double speed, double rise, int count) {
    return synthetic_paths::Sampled(
        [=](double t) {
            const double s = std::min(std::max((t - 0.5) * speed / length, 0.0), 1.0);
            return Vector3D<double>(-150.0 + length * s, 200.0 + rise * s, 1600.0);
        },
        0, count, synthetic_paths::kNoiseMm, 11);
}

struct SwipeRun {
    int completed = 0;
    int firstCompleted = -1;
    bool resetOnCompletion = false;
};

SwipeRun RunSwipe(DUZSwipeGestureRecognizer& swipe, const synthetic_paths::Path& path) {
    DUZFocusGestureTrajectory trajectory(false);
    SwipeRun run;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned frame = 40u + static_cast<unsigned>(i);
        gesture_trajectory::Store(trajectory, path[i].position, frame, path[i].time);
        Vector3D<float> position(0, 0, 0);
        if (swipe.Run(trajectory, static_cast<int>(frame), position, 0, 0) == GESTURE_STATUS_COMPLETED) {
            if (run.completed++ == 0) {
                run.firstCompleted = static_cast<int>(i);
                run.resetOnCompletion = trajectory.m_frameIds[NATrajectory::Slot(frame)] == 0;
                EXPECT_NEAR(path[i].position.x, position.x, 1e-3f);
            }
        }
    }
    return run;
}

TEST(SwipeGestureRecognizer, RightSwipeFromRestToRest) {
    // 300 mm at 1 m/s: moving from 0.5 s to 0.8 s, then 0.1 s of rest
    // (frames 24 .. 27) and a little more.
    const synthetic_paths::Path rising = SwipePath(300, 1000, 30, 30);
    DUZSwipeGestureRecognizer right(Vector3D<float>(1, 0, 0));
    DUZSwipeGestureRecognizer left(Vector3D<float>(-1, 0, 0));
    const SwipeRun plus = RunSwipe(right, rising);
    EXPECT_EQ(1, plus.completed);
    EXPECT_TRUE(plus.resetOnCompletion);
    EXPECT_GE(plus.firstCompleted, 25);
    EXPECT_EQ(0, RunSwipe(left, rising).completed);

    // Sinking instead of rising fails the side view for both.
    const synthetic_paths::Path sinking = SwipePath(300, 1000, -30, 30);
    EXPECT_EQ(0, RunSwipe(right, sinking).completed);
    EXPECT_EQ(0, RunSwipe(left, sinking).completed);
}

TEST(SwipeGestureRecognizer, TooShortOrStillMovingIsNoSwipe) {
    DUZSwipeGestureRecognizer right(Vector3D<float>(1, 0, 0));
    EXPECT_EQ(0, RunSwipe(right, SwipePath(180, 1000, 30, 30)).completed);
    // Still moving at 1 m/s when the path ends.
    EXPECT_EQ(0, RunSwipe(right, SwipePath(2000, 1000, 30, 30)).completed);
}

TEST(SwipeGestureRecognizer, MovementLengthsAtTheEndsOfTheIntRange) {
    for (const int length : {INT_MIN, INT_MAX}) {
        SCOPED_TRACE(length);
        DUZSwipeGestureRecognizer right(Vector3D<float>(1, 0, 0));
        right.m_movementLength = length;
        EXPECT_EQ(0, RunSwipe(right, SwipePath(300, 1000, 30, 30)).completed);
    }
}

TEST(SwipeGestureRecognizer, TypeAndSettings) {
    EXPECT_EQ(GESTURE_SWIPE_PLUS_X, DUZSwipeGestureRecognizer(Vector3D<float>(1, 0, 0)).GetType());
    EXPECT_EQ(GESTURE_SWIPE_MINUS_X, DUZSwipeGestureRecognizer(Vector3D<float>(-1, 0, 0)).GetType());
    EXPECT_EQ(GESTURE_SWIPE_OTHER, DUZSwipeGestureRecognizer(Vector3D<float>(0, 1, 0)).GetType());
    DUZSwipeGestureRecognizer swipe(Vector3D<float>(1, 0, 0));
    EXPECT_EQ(1, swipe.Initialize("/nonexistent/HandAlgorithms.ini", 0));
    EXPECT_EQ(200, swipe.m_movementLength);
    EXPECT_EQ(60, swipe.m_lookBackFrames);
}

}  // namespace
