// The click and the wave in their robust mode, on a focus trajectory with
// its fitted trajectory on.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Detection/LogCapture.h"
#include "GestureTrajectorySupport.h"
#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"
#include "SyntheticPaths.h"

namespace {

// Toward the sensor along its ray from about 1.5 m: 300 mm in 0.4 s, a
// 0.1 s pause, 250 mm back in 0.4 s; still from 0.5 s and after 1.4 s.
synthetic_paths::Stroke RobustPush() {
    synthetic_paths::Stroke stroke;
    stroke.start = Vector3D<double>(150.0, 100.0, 1650.0);
    stroke.direction = -stroke.start / stroke.start.Magnitude();
    return stroke;
}

struct RobustRun {
    // What the manager reports per frame: a status that differs from the
    // stored one before the run, or 3; 0 otherwise.
    std::vector<int> statuses;
    int completedAt = -1;
    int completions = 0;
    bool resetAtCompletion = false;
    Vector3D<float> position;
};

template <class Recognizer>
RobustRun RunRobust(Recognizer& recognizer, const synthetic_paths::Path& path) {
    DUZFocusGestureTrajectory trajectory(true);
    RobustRun run;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned frame = 1u + static_cast<unsigned>(i);
        gesture_trajectory::Store(trajectory, path[i].position, frame, path[i].time);
        Vector3D<float> position(0, 0, 0);
        const int previous = trajectory.m_gestureStatus[Recognizer().GetType()];
        GestureStatus status = recognizer.Run(trajectory, static_cast<int>(frame), position, 0, 1);
        if (status != GESTURE_STATUS_IN_PROGRESS && status == previous) {
            status = GESTURE_STATUS_NONE;
        }
        run.statuses.push_back(status);
        if (status == GESTURE_STATUS_COMPLETED && run.completions++ == 0) {
            run.completedAt = static_cast<int>(i);
            run.position = position;
            run.resetAtCompletion = trajectory.m_frameIds[NATrajectory::Slot(frame)] == 0 &&
                                    trajectory.m_fittedTrajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis).empty();
        }
    }
    return run;
}

bool Contains(const std::vector<int>& statuses, int status, int before) {
    for (int i = 0; i < before && i < static_cast<int>(statuses.size()); ++i) {
        if (statuses[i] == status) return true;
    }
    return false;
}

TEST(GestureRecognizersRobust, ClickOnAPush) {
    const synthetic_paths::Stroke stroke = RobustPush();
    const synthetic_paths::Path path =
        synthetic_paths::Sampled(stroke, 0, static_cast<int>((stroke.EndTime() + 0.6) * 30.0), synthetic_paths::kNoiseMm, 5);
    DUZClickGestureRecognizer click;
    const RobustRun run = RunRobust(click, path);
    SCOPED_TRACE(::testing::PrintToString(run.statuses));
    ASSERT_EQ(1, run.completions);
    EXPECT_TRUE(run.resetAtCompletion);
    // Progress (3), more than 140 mm nearer (4), the tip (1) and progress
    // on the pull back (3 again) come first, in that order.
    EXPECT_TRUE(Contains(run.statuses, GESTURE_STATUS_IN_PROGRESS, run.completedAt));
    EXPECT_TRUE(Contains(run.statuses, GESTURE_STATUS_FURTHER_STAGE, run.completedAt));
    EXPECT_TRUE(Contains(run.statuses, GESTURE_STATUS_STARTED, run.completedAt));
    EXPECT_TRUE(gesture_trajectory::InOrder(
        run.statuses, {GESTURE_STATUS_IN_PROGRESS, GESTURE_STATUS_FURTHER_STAGE, GESTURE_STATUS_STARTED,
                       GESTURE_STATUS_IN_PROGRESS, GESTURE_STATUS_COMPLETED}));
    // On the pull back, past 0.6 of the push (clamped to 140 mm), up to its
    // end.
    const double t = static_cast<double>(static_cast<int64_t>(path[run.completedAt].time)) * 1e-6;
    EXPECT_GT(t, stroke.TipTime() + stroke.pause);
    EXPECT_LE(t, stroke.EndTime() + 0.6);
    const Vector3D<double> tip = stroke.start + stroke.direction * stroke.forward;
    const double back = (Vector3D<double>(run.position) - tip).Dot(-stroke.direction);
    EXPECT_GT(back, 140.0 - 10.0);
    EXPECT_LT(back, stroke.backward + 10.0);
}

TEST(GestureRecognizersRobust, AStalledClickStartFallsBackAfterOneSecond) {
    // Only the push and the tip, then still for 2 s: the start holds, then
    // drops.
    synthetic_paths::Stroke stroke = RobustPush();
    stroke.pause = 10.0;
    const synthetic_paths::Path path = synthetic_paths::Sampled(stroke, 0, 90, synthetic_paths::kNoiseMm, 5);
    DUZClickGestureRecognizer click;
    DUZFocusGestureTrajectory trajectory(true);
    int startedAt = -1;
    bool droppedWhileReturningStarted = false;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned frame = 1u + static_cast<unsigned>(i);
        gesture_trajectory::Store(trajectory, path[i].position, frame, path[i].time);
        Vector3D<float> position(0, 0, 0);
        const int before = trajectory.m_gestureStatus[GESTURE_CLICK];
        const GestureStatus status = click.Run(trajectory, static_cast<int>(frame), position, 0, 1);
        EXPECT_NE(GESTURE_STATUS_COMPLETED, status);
        if (status == GESTURE_STATUS_STARTED && startedAt < 0) {
            startedAt = static_cast<int>(i);
        }
        if (before == GESTURE_STATUS_STARTED && trajectory.m_gestureStatus[GESTURE_CLICK] == GESTURE_STATUS_NONE) {
            droppedWhileReturningStarted = status == GESTURE_STATUS_STARTED;
            const double waited = trajectory.m_fittedTrajectory.GetLatestTime().SecondsSince(path[startedAt].time);
            EXPECT_GT(waited, 1.0);
            EXPECT_LT(waited, 1.2);
        }
    }
    ASSERT_GE(startedAt, 0);
    EXPECT_TRUE(droppedWhileReturningStarted);
}

TEST(GestureRecognizersRobust, FewDepthExtremaOnlyProgressAndStart) {
    // A hand still at 1.5 m: no extrema, nothing changes.
    const synthetic_paths::Path still = synthetic_paths::Sampled(
        [](double) { return Vector3D<double>(0, 0, 1500); }, 0, 60, synthetic_paths::kNoiseMm, 3);
    DUZClickGestureRecognizer click;
    const RobustRun run = RunRobust(click, still);
    for (int s : run.statuses) EXPECT_EQ(GESTURE_STATUS_NONE, s);
}

// A wave of 150 mm swings (amplitude 75 mm) with a period of 0.6 s for
// three cycles from 0.5 s, then still.
synthetic_paths::Path RobustWave(double cycles) {
    return synthetic_paths::Sampled(
        [cycles](double t) {
            const double s = t - 0.5;
            const double x = s > 0.0 && s < 0.6 * cycles ? 75.0 * std::sin(2.0 * 3.141592653589793 * s / 0.6) : 0.0;
            return Vector3D<double>(x, 200.0, 1600.0);
        },
        0, static_cast<int>((0.5 + 0.6 * cycles + 0.8) * 30.0), synthetic_paths::kNoiseMm, 9);
}

TEST(GestureRecognizersRobust, WaveOfThreeCycles) {
    detection_test::LogCapture log("GestureRecognizer", XN_LOG_VERBOSE);
    DUZWaveGestureRecognizer wave;
    const RobustRun run = RunRobust(wave, RobustWave(3.0));
    // The detection prints the fitted trajectory it was found on.
    if (log.Registered()) {
        int printouts = 0;
        for (const std::string& text : log.Texts()) {
            printouts += text.find("FittedTrajectory ") != std::string::npos;
        }
        EXPECT_EQ(1, printouts);
    }
    SCOPED_TRACE(::testing::PrintToString(run.statuses));
    ASSERT_EQ(1, run.completions);
    EXPECT_TRUE(Contains(run.statuses, GESTURE_STATUS_STARTED, run.completedAt));
    EXPECT_TRUE(Contains(run.statuses, GESTURE_STATUS_IN_PROGRESS, run.completedAt));
    EXPECT_TRUE(Contains(run.statuses, GESTURE_STATUS_FURTHER_STAGE, run.completedAt));
    // After about two cycles.
    const double t = run.completedAt / 30.0;
    EXPECT_GT(t, 0.5 + 1.1);
    EXPECT_LT(t, 0.5 + 1.8 + 0.5);
    EXPECT_LT(std::fabs(run.position.x), 75.0f);
}

TEST(GestureRecognizersRobust, NotEnoughSwingsIsNoWave) {
    DUZWaveGestureRecognizer wave;
    const RobustRun run = RunRobust(wave, RobustWave(1.5));
    EXPECT_EQ(0, run.completions);
}

// The push of the path up to index `cut`, then the candidate lost: the
// tracked object stores no position in the frame its tracker turns inactive
// and raises the just-lost flag, and the recognizers run once more.
struct LostRun {
    bool completedBefore = false;  // on the frames up to cut
    GestureStatus onLost = GESTURE_STATUS_NONE;
    Vector3D<float> position;
    bool reset = false;
};

LostRun ClickThenLost(const synthetic_paths::Path& path, size_t cut, bool justLost) {
    DUZClickGestureRecognizer click;
    DUZFocusGestureTrajectory trajectory(true);
    LostRun run;
    for (size_t i = 0; i <= cut; ++i) {
        const unsigned frame = 1u + static_cast<unsigned>(i);
        gesture_trajectory::Store(trajectory, path[i].position, frame, path[i].time);
        Vector3D<float> position(0, 0, 0);
        if (click.Run(trajectory, static_cast<int>(frame), position, 0, 1) == GESTURE_STATUS_COMPLETED) {
            run.completedBefore = true;
        }
    }
    trajectory.m_justLost = justLost ? 1 : 0;
    run.onLost = click.Run(trajectory, static_cast<int>(cut + 2), run.position, 0, 1);
    run.reset = trajectory.m_fittedTrajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis).empty() &&
                trajectory.m_frameIds[NATrajectory::Slot(static_cast<int>(cut + 1))] == 0;
    return run;
}

TEST(GestureRecognizersRobust, ALostCandidateFitsItsNewestPointsFirst) {
    // Windows are fitted at every third point, so the newest one or two
    // points of a candidate are not yet in its models. Lost one or two frames
    // before the click completes on the whole path, the candidate's last run
    // fits them and finds the click; without the flag the same run does not.
    const synthetic_paths::Stroke stroke = RobustPush();
    const synthetic_paths::Path path = synthetic_paths::Sampled(
        stroke, 0, static_cast<int>((stroke.EndTime() + 0.6) * 30.0), synthetic_paths::kNoiseMm, 5);
    DUZClickGestureRecognizer click;
    const RobustRun whole = RunRobust(click, path);
    ASSERT_GE(whole.completedAt, 2);
    const Vector3D<double> tip = stroke.start + stroke.direction * stroke.forward;
    for (const int before : {1, 2}) {
        SCOPED_TRACE(before);
        const size_t cut = static_cast<size_t>(whole.completedAt - before);
        const LostRun lost = ClickThenLost(path, cut, true);
        EXPECT_FALSE(lost.completedBefore);
        EXPECT_EQ(GESTURE_STATUS_COMPLETED, lost.onLost);
        EXPECT_TRUE(lost.reset);
        // On the pull back, beyond its required 140 mm.
        const double back = (Vector3D<double>(lost.position) - tip).Dot(-stroke.direction);
        EXPECT_GT(back, 140.0 - 10.0);
        EXPECT_LT(back, stroke.backward + 10.0);
        EXPECT_NE(GESTURE_STATUS_COMPLETED, ClickThenLost(path, cut, false).onLost);
    }
}

// A wave that starts, then the hand sweeps far to the side and stays there:
// no new turn, and more than 650 mm from the last one, too far for the next
// stage. After 1 s the start is dropped.
TEST(GestureRecognizersRobust, AStartedWaveWithNothingNewFallsBackAfterOneSecond) {
    const synthetic_paths::Path path = synthetic_paths::Sampled(
        synthetic_paths::Keyframed(
            {{0.2, {0, 200, 1600}}, {0.5, {120, 200, 1600}}, {0.8, {0, 200, 1600}}, {1.5, {800, 200, 1600}}}),
        0, 100, synthetic_paths::kNoiseMm, 13);
    DUZWaveGestureRecognizer wave;
    DUZFocusGestureTrajectory trajectory(true);
    int started = -1;
    int fallback = -1;
    double heldBefore = 0.0;  // seconds since the stored time, on the call before the fallback
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned frame = 1u + static_cast<unsigned>(i);
        gesture_trajectory::Store(trajectory, path[i].position, frame, path[i].time);
        const int before = trajectory.m_gestureStatus[GESTURE_WAVE];
        const double held =
            trajectory.m_fittedTrajectory.GetLatestTime().SecondsSince(trajectory.m_gestureTime[GESTURE_WAVE]);
        Vector3D<float> position(-1, -1, -1);
        const GestureStatus status = wave.Run(trajectory, static_cast<int>(frame), position, 0, 1);
        ASSERT_NE(GESTURE_STATUS_COMPLETED, status);
        if (status == GESTURE_STATUS_STARTED && before != GESTURE_STATUS_STARTED && started < 0) {
            started = static_cast<int>(i);
        }
        if (before == GESTURE_STATUS_STARTED && status == GESTURE_STATUS_NONE && fallback < 0) {
            fallback = static_cast<int>(i);
            EXPECT_EQ(GESTURE_STATUS_NONE, trajectory.m_gestureStatus[GESTURE_WAVE]);
            EXPECT_EQ(SensorTime(0), trajectory.m_gestureTime[GESTURE_WAVE]);
            EXPECT_EQ(0, trajectory.m_gestureFlag[GESTURE_WAVE]);
            // The latest point as the position.
            EXPECT_EQ(path[i].position, position);
            EXPECT_GT(held, 1.0);
            EXPECT_LE(heldBefore, 1.0);
        }
        heldBefore = held;
    }
    ASSERT_GE(started, 0);
    ASSERT_GT(fallback, started);
    // The sweep ends at 1.5 s; the fallback comes about 1 s after the hand
    // passed 650 mm from the last turn.
    EXPECT_GT(path[static_cast<size_t>(fallback)].time.SecondsSince(path[static_cast<size_t>(started)].time), 1.0);
}

}  // namespace
