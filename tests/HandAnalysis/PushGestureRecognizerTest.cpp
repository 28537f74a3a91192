#include "HandAnalysis/DUZGestureRecognizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "SyntheticPaths.h"
#include "TrajectoryTestSupport.h"

namespace {

using namespace trajectory_test;
using synthetic_paths::Stroke;

constexpr double kPi = 3.141592653589793;

// Toward the sensor along its ray from `start`.
Stroke AlongTheRay(const Vector3D<double>& start) {
    Stroke stroke;
    stroke.start = start;
    stroke.direction = -start / start.Magnitude();
    return stroke;
}

// 300 mm in 0.4 s, a 0.1 s pause and 250 mm back in 0.4 s, starting at
// 0.5 s about 1.5 m from the sensor.
Stroke Baseline() { return AlongTheRay(Vector3D<double>(150.0, 100.0, 1650.0)); }

// A unit vector in the x-z plane turned from u by `degrees` toward +x.
Vector3D<double> Turned(const Vector3D<double>& u, double degrees) {
    const double c = std::cos(degrees * kPi / 180.0);
    const double s = std::sin(degrees * kPi / 180.0);
    return Vector3D<double>(c * u.x + s * u.z, u.y, -s * u.x + c * u.z);
}

FittedTrajectory Fed(const std::function<Vector3D<double>(double)>& path, double until, uint32_t seed = 21) {
    FittedTrajectory trajectory;
    synthetic_paths::Feed(trajectory, synthetic_paths::Sampled(path, 3, static_cast<int>(until * 30.0), 2.0, seed));
    return trajectory;
}

FittedTrajectory Fed(const Stroke& stroke) { return Fed(stroke, stroke.EndTime() + 0.5); }

// The complete-push test on the newest three depth extrema.
bool DetectsNewest(const FittedTrajectory& trajectory, SensorTime& start, SensorTime& end) {
    const FittedTrajectory::ExtremaList& z = trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
    if (z.size() < 3) {
        return false;
    }
    return PushGestureRecognizer().DetectAtInterval(trajectory, z, 0, static_cast<int>(z.size()) - 1, start, end);
}

// |principal direction . ray to the mean| of the fitted motion over a span.
float Cosine(const FittedTrajectory& trajectory, const SensorTime& from, const SensorTime& to) {
    Statistics3D<float> stats;
    trajectory.GetStatistics3D(from, to, stats);
    Vector3D<float> values;
    Vector3D<float> axis;
    stats.GetCovariance().SolveSingleEigenproblem(0, values, axis, 1e-8f);
    return std::fabs(axis.Dot(stats.GetMean().Normalized()));
}

// What the direction test sees: the last 210 mm of the push, the pause and
// the pull back.
float ObservedCosine(const FittedTrajectory& trajectory) {
    const FittedTrajectory::ExtremaList& z = trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
    const size_t n = z.size();
    return Cosine(trajectory, trajectory.ZCrossingBackSearch(z[n - 3].T1, z[n - 2].T0, z[n - 2].Z + 210.0f),
                  z[n - 1].T0);
}

TEST(PushGestureRecognizerTest, APushPauseAndPullBackAlongTheRay) {
    const Stroke stroke = Baseline();
    const FittedTrajectory trajectory = Fed(stroke);
    const FittedTrajectory::ExtremaList& z = trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
    ASSERT_EQ(3u, z.size());
    SensorTime start;
    SensorTime end;
    ASSERT_TRUE(PushGestureRecognizer().DetectAtInterval(trajectory, z, 0, 2, start, end));
    EXPECT_NEAR(0.5, static_cast<double>(static_cast<int64_t>(start)) * 1e-6, 0.05);
    EXPECT_NEAR(stroke.EndTime(), static_cast<double>(static_cast<int64_t>(end)) * 1e-6, 0.05);

    SensorTime applyStart;
    SensorTime applyEnd;
    Vector3D<float> position;
    ASSERT_TRUE(PushGestureRecognizer().Apply(trajectory, applyStart, applyEnd, position));
    EXPECT_EQ(start, applyStart);
    EXPECT_EQ(end, applyEnd);
    EXPECT_EQ(trajectory.FittedPosAtTime(end), position);
}

TEST(PushGestureRecognizerTest, DistancesAndSpeedsOfThePullBack) {
    struct Case {
        const char* what;
        double backward;
        double backwardTime;
        bool push;
    };
    const Case cases[] = {
        {"80 mm back: below 90", 80.0, 0.4, false},
        {"120 mm back after 300: 0.6 x 300 clamped to 140", 120.0, 0.3, false},
        {"160 mm back after 300: the clamp, not 180, applies", 160.0, 0.4, true},
        {"250 mm back three times as fast", 250.0, 0.4 / 3.0, false},
    };
    for (const Case& c : cases) {
        Stroke stroke = Baseline();
        stroke.backward = c.backward;
        stroke.backwardTime = c.backwardTime;
        const FittedTrajectory trajectory = Fed(stroke);
        const FittedTrajectory::ExtremaList& z = trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
        // The extrema are the push's, so the rule decides.
        ASSERT_EQ(3u, z.size()) << c.what;
        const double depthShare = std::fabs(stroke.direction.z);
        EXPECT_NEAR(-300.0 * depthShare, z[1].Z - z[0].Z, 10.0) << c.what;
        EXPECT_NEAR(c.backward * depthShare, z[2].Z - z[1].Z, 10.0) << c.what;
        SensorTime start;
        SensorTime end;
        EXPECT_EQ(c.push, DetectsNewest(trajectory, start, end)) << c.what;
    }
}

TEST(PushGestureRecognizerTest, DirectionAgainstTheRayFarAndNear) {
    struct Case {
        const char* what;
        Vector3D<double> tip;  // roughly where the push ends
        double turn;           // of the push's direction from the ray, toward +x
        float cosine;          // what the direction test sees
        bool push;
    };
    const Case cases[] = {
        // Far (tip beyond 2 m): 0.8 needed.
        {"2.5 m, cosine 0.75", {0.0, 0.0, 2500.0}, -44.0, 0.75f, false},
        {"2.5 m, cosine 0.86", {0.0, 0.0, 2500.0}, -32.0, 0.86f, true},
        // Near: 0.7 is enough when the line crosses z = 0 within 1200 mm.
        {"1.5 m, cosine 0.75, crossing about 1.1 m away", {550.0, 0.0, 1400.0}, -44.0, 0.75f, true},
        {"1.5 m, cosine 0.75, crossing about 1.4 m away", {0.0, 0.0, 1450.0}, -44.0, 0.75f, false},
    };
    for (const Case& c : cases) {
        Stroke stroke;
        stroke.direction = -Turned(c.tip / c.tip.Magnitude(), c.turn);
        stroke.start = c.tip - stroke.direction * 300.0;
        const FittedTrajectory trajectory = Fed(stroke);
        ASSERT_EQ(3u, trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis).size()) << c.what;
        EXPECT_NEAR(c.cosine, ObservedCosine(trajectory), 0.02f) << c.what;
        SensorTime start;
        SensorTime end;
        EXPECT_EQ(c.push, DetectsNewest(trajectory, start, end)) << c.what;
    }
}

TEST(PushGestureRecognizerTest, ALongPushIsJudgedOnItsLast210Millimetres) {
    // 290 mm toward the sensor while sweeping 500 mm sideways, a stop, then
    // 210 mm straight along the ray, a pause and 250 mm back along it.
    const Vector3D<double> corner(300.0, 0.0, 1510.0);
    const Vector3D<double> ray = corner / corner.Magnitude();
    auto path = [&](double t) {
        const Vector3D<double> sweep = Vector3D<double>(-500.0, 0.0, 290.0) * (1.0 - synthetic_paths::Ease((t - 0.5) / 0.4));
        const double along = 210.0 * synthetic_paths::Ease((t - 0.9) / 0.3) -
                             250.0 * synthetic_paths::Ease((t - 1.3) / 0.4);
        return corner + sweep - ray * along;
    };
    const FittedTrajectory trajectory = Fed(path, 2.2);
    const FittedTrajectory::ExtremaList& z = trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
    ASSERT_EQ(3u, z.size());
    EXPECT_LT(z[1].Z - z[0].Z, -480.0f);
    SensorTime start;
    SensorTime end;
    EXPECT_TRUE(DetectsNewest(trajectory, start, end));
    EXPECT_EQ(z[0].T1, start);

    // Over the whole push its direction would fail even the near-range bound.
    EXPECT_LT(Cosine(trajectory, z[0].T1, z[2].T0), 0.7f);
}

TEST(PushGestureRecognizerTest, APushHasJustEndedAtItsTip) {
    // Held at the tip long enough for the tip to be the newest extremum.
    for (const double forwardTime : {0.4, 0.1}) {
        Stroke stroke = Baseline();
        stroke.forwardTime = forwardTime;
        stroke.pause = 0.4;
        const synthetic_paths::Path path = synthetic_paths::Sampled(stroke, 3, 60, 2.0, 5);
        FittedTrajectory trajectory;
        const PushGestureRecognizer push;
        bool ended = false;
        Vector3D<float> tip;
        for (const synthetic_paths::Sample& sample : path) {
            trajectory.AddPointUpdate(sample.time, sample.position);
            ended = ended || push.ApplyStart(trajectory, tip);
        }
        // The push must take 0.15 s at least.
        EXPECT_EQ(forwardTime > 0.15, ended) << forwardTime;
        if (ended) {
            EXPECT_NEAR(static_cast<float>(stroke(stroke.TipTime()).z), tip.z, 10.0f);
        }
    }
}

TEST(PushGestureRecognizerTest, ProgressBeforeAndAfterTheTip) {
    // A slow push, so that every 10 mm of progress shows.
    Stroke stroke = Baseline();
    stroke.forwardTime = 0.8;
    stroke.pause = 0.3;
    stroke.backwardTime = 0.6;
    const synthetic_paths::Path path = synthetic_paths::Sampled(stroke, 3, 80, 2.0, 8);
    FittedTrajectory trajectory;
    const PushGestureRecognizer push;
    int reportedAt120 = 0;
    int reachedAt120 = 0;
    int reachedPast150 = 0;
    int framesPast150 = 0;
    int reportedBack = 0;
    for (const synthetic_paths::Sample& sample : path) {
        trajectory.AddPointUpdate(sample.time, sample.position);
        const FittedTrajectory::ExtremaList& z = trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
        const double t = static_cast<double>(static_cast<int64_t>(sample.time)) * 1e-6;
        int reached = -1;
        if (t < stroke.TipTime() && z.size() >= 2) {
            const float nearer = z[z.size() - 2].Z - sample.position.z;
            const int reported = push.CheckDistance(trajectory, 1, 0.0f, reached);
            if (nearer > 110.0f && nearer < 135.0f) {
                reportedAt120 += reported;
                reachedAt120 += reached;
            } else if (nearer > 150.0f) {
                ++framesPast150;
                reachedPast150 += reached;
            } else if (nearer < 90.0f) {
                EXPECT_EQ(0, reported) << t;
            }
        }
        if (t > stroke.TipTime() + stroke.pause + 0.4) {
            // 100 mm back from the tip or more; not once the caller's stored
            // depth is as near as the hand.
            reportedBack += push.CheckDistance(trajectory, 0, 0.0f, reached);
            EXPECT_EQ(0, push.CheckDistance(trajectory, 0, sample.position.z, reached));
            EXPECT_EQ(0, reached);
        }
    }
    EXPECT_GE(reportedAt120, 1);
    EXPECT_EQ(0, reachedAt120);
    EXPECT_GE(framesPast150, 3);
    EXPECT_EQ(framesPast150, reachedPast150);
    EXPECT_GE(reportedBack, 1);
}

TEST(PushGestureRecognizerTest, TooFewExtremaAreNoPush) {
    TestTrajectory trajectory;
    trajectory.AddPoint(Seconds(1.0), Vector3D<float>(0, 0, 1300));
    const PushGestureRecognizer push;
    int reached = 7;
    SensorTime start;
    SensorTime end;
    Vector3D<float> position;
    trajectory.m_extremaZ = {Extremum(0.5, 0.6, 0, 0, 1500)};
    EXPECT_EQ(0, push.CheckDistance(trajectory, 1, 0.0f, reached));
    EXPECT_EQ(0, reached);
    EXPECT_FALSE(push.ApplyStart(trajectory, position));
    trajectory.m_extremaZ.push_back(Extremum(0.8, 0.9, 0, 0, 1300));
    EXPECT_EQ(0, push.CheckDistance(trajectory, 0, 0.0f, reached));
    EXPECT_FALSE(push.Apply(trajectory, start, end, position));
    EXPECT_FALSE(push.DetectAtInterval(trajectory, trajectory.m_extremaZ, 0, 1, start, end));
    EXPECT_FALSE(push.DetectAtInterval(trajectory, trajectory.m_extremaZ, 0, 5, start, end));
}

}  // namespace
