// The robust recognizers on the renderer's true hand paths with the
// sensor's noise: waves and pushes are found, other motions are not.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "HandAnalysis/DUZGestureRecognizer.h"
#include "RenderedHandPath.h"

namespace {

using namespace rendered_gestures;
using vela::scene::Joint;

// The hand swings +-150 mm along X with a period of 0.8 s; blending in over
// 0.3 s from 0.5 s, so four full cycles run from 0.8 s to 4.0 s. The person
// stands at 1.8 m, the hand at about 1.6 m.
const char* const kWaveScene =
    "frames count=150 fps=30\n"
    "person height=1750\n"
    "  at 0 pos=0,1800\n"
    "  wave 0.5..4.3 hand=right amplitude=150 period=0.8\n";
constexpr double kWaveFullFrom = 0.8;
constexpr double kWaveFullTo = 4.0;

double SecondsOf(const SensorTime& t) { return static_cast<double>(static_cast<int64_t>(t)) * 1e-6; }

struct WaveRun {
    int applyStartFrames = 0;
    int applyFrames = 0;
    double firstApplyStart = -1.0;  // time of the first frame where it held, s
    double firstApply = -1.0;
    bool validAfterStart = true;  // ValidateRecentWave on every frame from the first start to the wave's end
    SensorTime start, end;        // of the first complete wave
    Vector3D<float> position;
    FittedTrajectory::ExtremaList extremaAtApply;
};

WaveRun RunWave(const Path& path) {
    FittedTrajectory trajectory;
    const WaveGestureRecognizer wave;
    WaveRun run;
    for (const synthetic_paths::Sample& sample : path) {
        trajectory.AddPointUpdate(sample.time, sample.position);
        const double t = SecondsOf(sample.time);
        Vector3D<float> startPosition;
        if (wave.ApplyStart(trajectory, startPosition)) {
            ++run.applyStartFrames;
            if (run.firstApplyStart < 0.0) {
                run.firstApplyStart = t;
            }
        }
        if (run.firstApplyStart >= 0.0 && t <= kWaveFullTo && !wave.ValidateRecentWave(trajectory)) {
            run.validAfterStart = false;
        }
        SensorTime start;
        SensorTime end;
        Vector3D<float> position;
        if (wave.Apply(trajectory, start, end, position)) {
            ++run.applyFrames;
            if (run.firstApply < 0.0) {
                run.firstApply = t;
                run.start = start;
                run.end = end;
                run.position = position;
                run.extremaAtApply = trajectory.GetExtremaAlongAxis(FittedTrajectory::eXAxis);
            }
        }
    }
    return run;
}

// The path turned about its mean by `degrees` in the image plane (x toward
// y).
Path Turned(Path path, double degrees) {
    Vector3D<double> mean;
    for (const synthetic_paths::Sample& s : path) {
        mean += Vector3D<double>(s.position);
    }
    mean /= static_cast<double>(path.size());
    const double c = std::cos(degrees * 3.141592653589793 / 180.0);
    const double s = std::sin(degrees * 3.141592653589793 / 180.0);
    for (synthetic_paths::Sample& sample : path) {
        const double dx = sample.position.x - mean.x;
        const double dy = sample.position.y - mean.y;
        sample.position.x = static_cast<float>(mean.x + c * dx - s * dy);
        sample.position.y = static_cast<float>(mean.y + s * dx + c * dy);
    }
    return path;
}

int CountSwingsInRange(const FittedTrajectory::ExtremaList& extrema) {
    int inRange = 0;
    for (size_t i = 1; i < extrema.size(); ++i) {
        const float swing = std::fabs(extrema[i].X - extrema[i - 1].X);
        if (swing >= WaveGestureRecognizer::MINIMAL_WAVE_AMPLITUDE_X &&
            swing <= WaveGestureRecognizer::MAXIMAL_WAVE_AMPLITUDE_X) {
            ++inRange;
        }
    }
    return inRange;
}

TEST(RenderedGesturesTest, TheRenderersWaveIsRecognised) {
    const Path path = HandPath(kWaveScene, Joint::RightHand, 15, 115, kNoiseMm, 7);
    const WaveRun run = RunWave(path);

    // The start holds as soon as the first turning points are in, within the
    // first full cycle.
    ASSERT_GT(run.firstApplyStart, 0.0);
    EXPECT_LT(run.firstApplyStart, kWaveFullFrom + 0.8);
    EXPECT_TRUE(run.validAfterStart);
    // A complete wave needs more than five extrema: by the end of the fourth
    // cycle at the latest.
    ASSERT_GT(run.firstApply, 0.0);
    EXPECT_LE(run.firstApply, kWaveFullTo);
    EXPECT_GT(run.extremaAtApply.size(), 5u);

    // Start and end are the ends of the wave's extrema.
    bool startOnExtremum = false;
    bool endOnExtremum = false;
    for (const FittedTrajectory::Extrema3DType& e : run.extremaAtApply) {
        startOnExtremum = startOnExtremum || e.T1 == run.start;
        endOnExtremum = endOnExtremum || e.T0 == run.end;
    }
    EXPECT_TRUE(startOnExtremum);
    EXPECT_TRUE(endOnExtremum);
    EXPECT_GT(run.end, run.start);

    // Near the hand's mean position over the full-amplitude wave.
    const Path truth = HandPath(kWaveScene, Joint::RightHand, 24, 97, 0.0, 1);
    Vector3D<double> mean;
    for (const synthetic_paths::Sample& s : truth) {
        mean += Vector3D<double>(s.position);
    }
    mean /= static_cast<double>(truth.size());
    EXPECT_LT((Vector3D<double>(run.position) - mean).Magnitude(), 50.0)
        << run.position << " against " << Vector3D<float>(mean);
}

TEST(RenderedGesturesTest, AWaveTurnedTowardTheVerticalFailsTheDirectionTest) {
    const Path path = HandPath(kWaveScene, Joint::RightHand, 15, 115, kNoiseMm, 7);
    // Turned by 30 degrees the swing still runs mainly along X; by 60 its
    // principal direction has an X component of 0.5, below 0.6, while the
    // swings along X (half of 300 mm) stay in range.
    const WaveRun slanted = RunWave(Turned(path, 30.0));
    EXPECT_GT(slanted.applyFrames, 0);
    const WaveRun steep = RunWave(Turned(path, 60.0));
    EXPECT_EQ(0, steep.applyStartFrames);
    EXPECT_EQ(0, steep.applyFrames);

    FittedTrajectory trajectory;
    synthetic_paths::Feed(trajectory, Turned(path, 60.0));
    EXPECT_GE(CountSwingsInRange(trajectory.GetExtremaAlongAxis(FittedTrajectory::eXAxis)), 6);
}

TEST(RenderedGesturesTest, AHandCircleFailsTheShapeTest) {
    const std::string scene =
        "frames count=200 fps=30\n"
        "person height=1750\n"
        "  at 0 pos=0,1800\n"
        "  circle 0.5..5.3 hand=right radius=120\n";
    const Path path = HandPath(scene, Joint::RightHand, 15, 150, kNoiseMm, 7);
    const WaveRun run = RunWave(path);
    EXPECT_EQ(0, run.applyStartFrames);
    EXPECT_EQ(0, run.applyFrames);
    // It swings 240 mm along X, turn after turn.
    FittedTrajectory trajectory;
    synthetic_paths::Feed(trajectory, path);
    EXPECT_GE(CountSwingsInRange(trajectory.GetExtremaAlongAxis(FittedTrajectory::eXAxis)), 6);
}

TEST(RenderedGesturesTest, WalkingWithSwingingArmsIsNoWave) {
    // Across the view: the arms swing along X, the wave's axis.
    const std::string scene =
        "frames count=150 fps=30\n"
        "person height=1750\n"
        "  at 0 pos=-1500,2500 yaw=-90\n"
        "  at 4 pos=1500,2500\n";
    for (const Joint hand : {Joint::LeftHand, Joint::RightHand}) {
        const WaveRun run = RunWave(HandPath(scene, hand, 1, 130, kNoiseMm, 5));
        EXPECT_EQ(0, run.applyStartFrames);
        EXPECT_EQ(0, run.applyFrames);
    }
}

TEST(RenderedGesturesTest, TheRenderersPushIsRecognised) {
    // The camera at the hand's height, so that the push runs along the ray
    // from the sensor: from about 1.65 m to 1.36 m and back. The stroke
    // runs from 0.8 s to 1.7 s between blends.
    const std::string scene =
        "frames count=90 fps=30\n"
        "camera elevation=1250\n"
        "person height=1750\n"
        "  at 0 pos=0,1900\n"
        "  push 0.5..2.0 hand=right reach=300\n";
    const Path path = HandPath(scene, Joint::RightHand, 15, 60, kNoiseMm, 7);
    FittedTrajectory trajectory;
    const PushGestureRecognizer push;
    double tipFound = -1.0;
    Vector3D<float> tip;
    for (const synthetic_paths::Sample& sample : path) {
        trajectory.AddPointUpdate(sample.time, sample.position);
        if (tipFound < 0.0 && push.ApplyStart(trajectory, tip)) {
            tipFound = SecondsOf(sample.time);
        }
    }
    // The tip: reached at 1.25 s, found once the hand has paused there.
    ASSERT_GT(tipFound, 1.2);
    EXPECT_LT(tipFound, 1.45);
    EXPECT_NEAR(1360.0f, tip.z, 20.0f);

    SensorTime start;
    SensorTime end;
    Vector3D<float> position;
    ASSERT_TRUE(push.Apply(trajectory, start, end, position));
    EXPECT_NEAR(0.8, SecondsOf(start), 0.1);
    EXPECT_NEAR(1.7, SecondsOf(end), 0.1);
    EXPECT_EQ(trajectory.FittedPosAtTime(end), position);
    EXPECT_NEAR(1650.0f, position.z, 20.0f);
    // On the three depth extrema: before the push, the tip, after the pull
    // back.
    const FittedTrajectory::ExtremaList& z = trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
    int k = -1;
    for (size_t i = 0; i < z.size(); ++i) {
        if (z[i].T0 == end) {
            k = static_cast<int>(i);
        }
    }
    ASSERT_GE(k, 2);
    EXPECT_EQ(start, z[static_cast<size_t>(k - 2)].T1);
    EXPECT_NEAR(-290.0f, z[static_cast<size_t>(k - 1)].Z - z[static_cast<size_t>(k - 2)].Z, 20.0f);
    SensorTime detectedStart;
    SensorTime detectedEnd;
    EXPECT_TRUE(push.DetectAtInterval(trajectory, z, 0, k, detectedStart, detectedEnd));
    EXPECT_EQ(start, detectedStart);
    EXPECT_EQ(end, detectedEnd);
}

}  // namespace
