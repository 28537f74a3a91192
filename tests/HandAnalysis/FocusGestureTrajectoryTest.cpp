#include "HandAnalysis/DUZFocusGestureTrajectory.h"

#include <gtest/gtest.h>

namespace {

TEST(FocusGestureTrajectory, HandSizeIsTheSeventyPercentQuantileOfTheLargerSides) {
    DUZFocusGestureTrajectory trajectory(false);
    EXPECT_EQ(Vector2D<float>(0, 0), trajectory.EstimateHandSize());
    trajectory.SetHandXYSize(10, Vector2D<float>(40, 60));
    trajectory.SetHandXYSize(11, Vector2D<float>(50, 55));
    trajectory.SetHandXYSize(12, Vector2D<float>(70, 30));
    // Larger sides 60, 55, 70 sorted 55, 60, 70; index (int)(3 x 0.7) = 2.
    EXPECT_FLOAT_EQ(56.0f, trajectory.EstimateHandSize().x);
    EXPECT_FLOAT_EQ(70.0f, trajectory.EstimateHandSize().y);
    EXPECT_EQ(Vector2D<float>(50, 55), trajectory.m_handSizeAtSlot[11]);
}

TEST(FocusGestureTrajectory, HandSizeHistoryKeepsTheNewestNinetyAndSurvivesReset) {
    DUZFocusGestureTrajectory trajectory(false);
    // Sizes 1000 + i for the first five, then i: the five large ones must
    // have left the history.
    for (int i = 0; i < 95; ++i) {
        const float side = i < 5 ? 1000.0f + static_cast<float>(i) : static_cast<float>(i);
        trajectory.SetHandXYSize(static_cast<unsigned>(i + 1), Vector2D<float>(side, 1));
    }
    EXPECT_EQ(90, trajectory.m_numHandSizes);
    // Values 5..94, index (int)(90 x 0.7) = 63 -> 68.
    EXPECT_FLOAT_EQ(68.0f, trajectory.EstimateHandSize().y);
    trajectory.Reset();
    EXPECT_EQ(90, trajectory.m_numHandSizes);
    EXPECT_FLOAT_EQ(68.0f, trajectory.EstimateHandSize().y);
    EXPECT_EQ(Vector2D<float>(0, 0), trajectory.m_handSizeAtSlot[10]);
}

TEST(FocusGestureTrajectory, IdsAreNewForEveryTrajectoryAndEveryReset) {
    DUZFocusGestureTrajectory first(false);
    DUZFocusGestureTrajectory second(true);
    EXPECT_EQ(first.m_trajectoryId + 1, second.m_trajectoryId);
    const int n = first.m_trajectoryId;
    first.m_gestureStatus[GESTURE_WAVE] = GESTURE_STATUS_IN_PROGRESS;
    first.m_gestureValue[GESTURE_CLICK] = 4;
    first.m_justLost = 1;
    first.Reset();
    EXPECT_EQ(n + 2, first.m_trajectoryId);
    EXPECT_EQ(GESTURE_STATUS_NONE, first.m_gestureStatus[GESTURE_WAVE]);
    EXPECT_EQ(0, first.m_gestureValue[GESTURE_CLICK]);
    EXPECT_EQ(0, first.m_justLost);
    EXPECT_EQ(-1, first.m_latestFrameId);
}

TEST(FocusGestureTrajectory, PositionsReachTheFittedModelOnlyWhenItIsUsed) {
    DUZFocusGestureTrajectory plain(false);
    DUZFocusGestureTrajectory fitted(true);
    for (int i = 1; i <= 3; ++i) {
        const Vector3D<float> p(static_cast<float>(10 * i), 0, 1500);
        plain.UpdateNewPosition(p, static_cast<unsigned>(i), SensorTime(i * 33333));
        fitted.UpdateNewPosition(p, static_cast<unsigned>(i), SensorTime(i * 33333));
    }
    EXPECT_EQ(3, plain.m_latestFrameId);
    EXPECT_EQ(Vector3D<float>(30, 0, 1500), fitted.m_fittedTrajectory.GetLatestPosition());
    EXPECT_EQ(SensorTime(0), plain.m_fittedTrajectory.GetLatestTime());
}

}  // namespace
