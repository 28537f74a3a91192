#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Detection/LogCapture.h"
#include "GestureTrajectorySupport.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"
#include "SyntheticPaths.h"

namespace {

// One swing of a hand-built wave: where it ends along x (its y follows a
// slight arc), an extra depth change, its duration.
struct Swing {
    float toX;
    double seconds;
    float dz = 0.0f;
    float dy = 0.0f;  // on top of the arc
};

float Arc(float x) { return 200.0f + 0.0005f * x * x; }

// Rest at x = -75 for 5 frames, then each swing in `frames` samples of
// equal time, its first sample at the turn, with stored velocities of 1 m/s
// along the swing's x sign (at rest 0), so that the flips are the turns.
// The newest sample is in the last swing, still moving.
unsigned BuildWave(DUZFocusGestureTrajectory& trajectory, unsigned firstFrame, const std::vector<Swing>& swings,
                   int frames = 6) {
    unsigned frame = firstFrame;
    int64_t t = 1000000;
    Vector3D<float> from(-75.0f, Arc(-75.0f), 1600.0f);
    for (int i = 0; i < 5; ++i, ++frame, t += 33333) {
        trajectory.UpdateNewPosition(from, frame, SensorTime(t));
        trajectory.m_velocities[NATrajectory::Slot(frame)] = Vector3D<float>(0, 0, 0);
    }
    float extraY = 0.0f;
    for (const Swing& s : swings) {
        const float sign = s.toX > from.x ? 1.0f : -1.0f;
        const int64_t swingStart = t;
        for (int k = 0; k < frames; ++k, ++frame) {
            const float u = static_cast<float>(k) / static_cast<float>(frames);
            const float x = from.x + (s.toX - from.x) * u;
            const Vector3D<float> p(x, Arc(x) + extraY + s.dy * u, from.z + s.dz * u);
            t = swingStart + static_cast<int64_t>(std::llround(s.seconds * u * 1e6));
            trajectory.UpdateNewPosition(p, frame, SensorTime(t));
            trajectory.m_velocities[NATrajectory::Slot(frame)] = Vector3D<float>(1000.0f * sign, 0, 0);
        }
        t = swingStart + static_cast<int64_t>(std::llround(s.seconds * 1e6));
        extraY += s.dy;
        from = Vector3D<float>(s.toX, Arc(s.toX) + extraY, from.z + s.dz);
    }
    return frame - 1;
}

std::vector<Swing> Regular(int count, double seconds = 0.3) {
    std::vector<Swing> swings;
    for (int i = 0; i < count; ++i) swings.push_back({i % 2 == 0 ? 75.0f : -75.0f, seconds});
    return swings;
}

bool Logged(const detection_test::LogCapture& log, const std::string& text) {
    for (const std::string& t : log.Texts()) {
        if (t.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST(WaveGestureRecognizerPlain, SwingChecks) {
    // Four swings give four flips; the pairs judged are the first three
    // swings (oldest first in the table).
    struct Case {
        const char* what;
        std::vector<Swing> swings;
        int minFlips;
        GestureStatus status;
        const char* message;
    } cases[] = {
        {"regular", Regular(4), 4, GESTURE_STATUS_COMPLETED, "Gesture detected. Mean AbsDiff from parabola="},
        {"durations 0.3, 0.3, 0.4", {{75, 0.3}, {-75, 0.3}, {75, 0.4}, {-75, 0.3}}, 4, GESTURE_STATUS_COMPLETED,
         nullptr},
        {"durations 0.25, 0.3, 0.45", {{75, 0.25}, {-75, 0.3}, {75, 0.45}, {-75, 0.3}}, 4, GESTURE_STATUS_NONE,
         "but they do not have a constant frequency\n"},
        {"a swing deeper than wide", {{75, 0.3}, {-75, 0.3, 200.0f}, {75, 0.3}, {-75, 0.3}}, 4, GESTURE_STATUS_NONE,
         "Movement is not mainly in X, vCurrentCycle="},
        {"a swing higher than wide", {{75, 0.3}, {-75, 0.3, 0.0f, 200.0f}, {75, 0.3, 0.0f, -200.0f}, {-75, 0.3}}, 4,
         GESTURE_STATUS_NONE, nullptr},
        // Swings of 290, 200 and 110 mm: mean 200, 90 off is within 0.5 of
        // the mean; 310, 200, 90: 110 off is not.
        {"mean length 200, deviation 90", {{215, 0.3}, {15, 0.3}, {125, 0.3}, {0, 0.3}}, 4, GESTURE_STATUS_COMPLETED,
         nullptr},
        {"mean length 200, deviation 110", {{235, 0.3}, {35, 0.3}, {125, 0.3}, {0, 0.3}}, 4, GESTURE_STATUS_NONE,
         "but they deviate from mean cycle length\n"},
        // 108, 60, 12 mm: mean 60, 48 off within the least deviation of 50;
        // 115, 55, 10: 55 off is not. One short swing of four flips is
        // allowed.
        {"mean length 60, deviation 48", {{33, 0.3}, {-27, 0.3}, {-15, 0.3}, {-60, 0.3}}, 4, GESTURE_STATUS_COMPLETED,
         nullptr},
        {"mean length 60, deviation 55", {{40, 0.3}, {-15, 0.3}, {-5, 0.3}, {-60, 0.3}}, 4, GESTURE_STATUS_NONE,
         "but they deviate from mean cycle length\n"},
        {"three flips", Regular(3), 4, GESTURE_STATUS_IN_PROGRESS, nullptr},
        {"two flips", Regular(2), 4, GESTURE_STATUS_NONE, nullptr},
        {"ten flips needed", Regular(12), 10, GESTURE_STATUS_NONE, "Wave detector failre: Too many velocity changes\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        detection_test::LogCapture log("GestureRecognizer", XN_LOG_VERBOSE);
        DUZWaveGestureRecognizer wave;
        wave.m_waveMinNumberOfFlips = c.minFlips;
        DUZFocusGestureTrajectory trajectory(false);
        // Five samples a swing, so that ten turns fit the 59 slots walked.
        const unsigned last = BuildWave(trajectory, 50, c.swings, c.minFlips >= 10 ? 5 : 6);
        trajectory.m_gestureStatus[GESTURE_WAVE] = GESTURE_STATUS_FURTHER_STAGE;
        Vector3D<float> position(0, 0, 0);
        EXPECT_EQ(c.status, wave.Run(trajectory, static_cast<int>(last), position, 0, 0));
        EXPECT_EQ(c.status == GESTURE_STATUS_FURTHER_STAGE ? 4 : static_cast<int>(c.status),
                  trajectory.m_gestureStatus[GESTURE_WAVE]);
        EXPECT_EQ(c.status == GESTURE_STATUS_COMPLETED, trajectory.m_frameIds[NATrajectory::Slot(last)] == 0);
        if (c.message != nullptr && log.Registered()) {
            EXPECT_TRUE(Logged(log, c.message));
        }
        if (c.status == GESTURE_STATUS_IN_PROGRESS) {
            // Reported once while it stays in progress.
            EXPECT_EQ(GESTURE_STATUS_NONE, wave.Run(trajectory, static_cast<int>(last), position, 0, 0));
            EXPECT_EQ(GESTURE_STATUS_IN_PROGRESS, trajectory.m_gestureStatus[GESTURE_WAVE]);
        }
    }
}

TEST(WaveGestureRecognizerPlain, ParabolaOverAWrappingRange) {
    DUZWaveGestureRecognizer wave;
    NATrajectory ring;
    for (int s = 0; s < NATrajectory::kLength; ++s) {
        ring.m_positions[s] = Vector3D<float>(static_cast<float>(s), 5000.0f, 0);
    }
    // y = 0.01 x^2 - 2 x + 300 over slots 80 .. 89 and 0 .. 5.
    int covered = 0;
    for (int s = 80; s != 6; s = (s + 1) % NATrajectory::kLength, ++covered) {
        const float x = static_cast<float>(covered * 10 - 80);
        ring.m_positions[s] = Vector3D<float>(x, 0.01f * x * x - 2.0f * x + 300.0f, 0);
    }
    EXPECT_EQ(16, covered);
    Vector3D<float> abc;
    wave.ParabolaFit(ring, 80, 5, abc);
    EXPECT_NEAR(0.01f, abc.x, 1e-4f);
    EXPECT_NEAR(-2.0f, abc.y, 1e-2f);
    EXPECT_NEAR(300.0f, abc.z, 0.5f);
    // All in one place: singular, all 0.
    NATrajectory still;
    wave.ParabolaFit(still, 10, 20, abc);
    EXPECT_EQ(Vector3D<float>(0, 0, 0), abc);
}

// Swings of 150 mm every 0.3 s along a slight arc, the hand already
// moving when the candidate starts: four turns (0.15, 0.45, 0.75 and
// 1.05 s), then back in the middle and at rest. 2 mm of noise, velocities
// from the ring.
TEST(WaveGestureRecognizerPlain, AWaveOfFourTurns) {
    const synthetic_paths::Path path = synthetic_paths::Sampled(
        [](double t) {
            const double x = t < 1.2 ? 75.0 * std::sin(2.0 * 3.141592653589793 * t / 0.6) : 0.0;
            return Vector3D<double>(x, 200.0 + 0.0005 * x * x, 1600.0);
        },
        0, 60, synthetic_paths::kNoiseMm, 21);
    DUZWaveGestureRecognizer wave;
    DUZFocusGestureTrajectory trajectory(false);
    std::vector<int> statuses;
    Vector3D<float> atCompletion;
    bool resetAtCompletion = false;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned frame = 10u + static_cast<unsigned>(i);
        gesture_trajectory::Store(trajectory, path[i].position, frame, path[i].time);
        Vector3D<float> position(0, 0, 0);
        const GestureStatus status = wave.Run(trajectory, static_cast<int>(frame), position, 0, 0);
        statuses.push_back(status);
        if (status == GESTURE_STATUS_COMPLETED) {
            atCompletion = position;
            resetAtCompletion = trajectory.m_frameIds[NATrajectory::Slot(frame)] == 0;
        }
    }
    SCOPED_TRACE(::testing::PrintToString(statuses));
    int inProgress = -1, completed = -1, nonZero = 0;
    for (size_t i = 0; i < statuses.size(); ++i) {
        nonZero += statuses[i] != 0;
        if (statuses[i] == GESTURE_STATUS_IN_PROGRESS && inProgress < 0) inProgress = static_cast<int>(i);
        if (statuses[i] == GESTURE_STATUS_COMPLETED && completed < 0) completed = static_cast<int>(i);
    }
    ASSERT_GE(inProgress, 0);
    ASSERT_GT(completed, inProgress);
    EXPECT_EQ(2, nonZero);
    EXPECT_TRUE(resetAtCompletion);
    // The mean of the samples walked: on the arc between the turns.
    EXPECT_LT(std::fabs(atCompletion.x), 75.0f);
    EXPECT_NEAR(1600.0f, atCompletion.z, 5.0f);
    EXPECT_GT(atCompletion.y, 199.0f);
}

TEST(WaveGestureRecognizerPlain, Settings) {
    DUZWaveGestureRecognizer wave;
    EXPECT_EQ(GESTURE_WAVE, wave.GetType());
    EXPECT_EQ(1, wave.Initialize("/nonexistent/HandAlgorithms.ini", 0));
    EXPECT_EQ(4, wave.m_waveMinNumberOfFlips);
    EXPECT_EQ(50, wave.m_waveMinLength);
    EXPECT_EQ(50, wave.m_waveMaxDeviationFromMeanCycleLength);
}

}  // namespace
