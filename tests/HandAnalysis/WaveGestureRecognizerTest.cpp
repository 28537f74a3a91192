#include "HandAnalysis/DUZGestureRecognizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SyntheticPaths.h"
#include "TrajectoryTestSupport.h"

namespace {

using namespace trajectory_test;
using Extremum3 = FittedTrajectory::Extrema3DType;

// A horizontal swing between x = 0 and 100 mm, 0.25 s per half period, at
// its right end at 2 s: what the shape and outlier tests see while the
// extrema below are made up.
TestTrajectory HorizontalSwing() {
    TestTrajectory trajectory;
    synthetic_paths::Feed(trajectory, synthetic_paths::Sampled(
                                          [](double t) {
                                              return Vector3D<double>(
                                                  50.0 + 50.0 * std::cos(2.0 * 3.141592653589793 * (t - 2.0) / 0.5),
                                                  600.0, 1600.0);
                                          },
                                          30, 90, synthetic_paths::kNoiseMm, 9));
    return trajectory;
}

// Five extrema at x[0..4] whose half periods (from e0's end over the
// middles of e1 to e3 to e4's start) are periods[0..3], and whose intervals
// last pauses[0..4]; e1's middle is at 2 s.
FittedTrajectory::ExtremaList MadeUpExtrema(const std::vector<float>& x, const std::vector<double>& periods,
                                            const std::vector<double>& pauses) {
    std::vector<double> middles(5);
    middles[1] = 2.0;
    middles[2] = middles[1] + periods[1];
    middles[3] = middles[2] + periods[2];
    FittedTrajectory::ExtremaList list;
    const double e0End = middles[1] - periods[0];
    list.push_back(Extremum(e0End - pauses[0], e0End, x[0], 600, 1600));
    for (int i = 1; i <= 3; ++i) {
        list.push_back(Extremum(middles[i] - pauses[i] / 2, middles[i] + pauses[i] / 2, x[i], 600, 1600));
    }
    const double e4Start = middles[3] + periods[3];
    list.push_back(Extremum(e4Start, e4Start + pauses[4], x[4], 600, 1600));
    return list;
}

TEST(WaveGestureRecognizerTest, ACompleteWaveOnMadeUpExtrema) {
    const TestTrajectory trajectory = HorizontalSwing();
    const WaveGestureRecognizer wave;
    const std::vector<float> swing100 = {0, 100, 0, 100, 0};
    const std::vector<double> quarter = {0.25, 0.25, 0.25, 0.25};
    using Timing = WaveGestureRecognizer::TimingResult;
    struct Case {
        const char* what;
        std::vector<float> x;
        std::vector<double> periods;
        std::vector<double> pauses;  // e0 .. e4; e0's does not count
        bool wave;
        Timing timing;  // the first timing test that fails
    };
    const Case cases[] = {
        {"regular: 400 mm/s, 0.1 s pauses", swing100, quarter, {0.1, 0.1, 0.1, 0.1, 0.1}, true,
         WaveGestureRecognizer::eRegularTiming},
        {"one pause out of range", swing100, quarter, {0.1, 0.6, 0.25, 0.25, 0.25}, true,
         WaveGestureRecognizer::eRegularTiming},
        {"a second one, 0.02 s", swing100, quarter, {0.1, 0.6, 0.02, 0.25, 0.25}, false,
         WaveGestureRecognizer::ePausesOutOfRange},
        {"two out of range, regular enough", swing100, quarter, {0.1, 0.6, 0.6, 0.3, 0.3}, false,
         WaveGestureRecognizer::ePausesOutOfRange},
        {"irregular pauses", swing100, quarter, {0.1, 0.05, 0.3, 0.05, 0.3}, false,
         WaveGestureRecognizer::eIrregularPauses},
        // Regular swings carry irregular half periods through the rhythm
        // test, but then the speeds (500, 250, 500, 250) vary too much.
        {"half periods 0.2, 0.4", swing100, {0.2, 0.4, 0.2, 0.4}, {0.1, 0.1, 0.1, 0.1, 0.1}, false,
         WaveGestureRecognizer::eIrregularSpeed},
        // Swings in step with them (100, 200, 100, 200) keep the speeds
        // equal, but then neither rhythm nor amplitude is regular.
        {"half periods 0.2, 0.4, swings in step", {0, 100, -100, 0, -200}, {0.2, 0.4, 0.2, 0.4},
         {0.1, 0.1, 0.1, 0.1, 0.1}, false, WaveGestureRecognizer::eIrregularRhythm},
        {"swings of 45 mm", {0, 45, 0, 45, 0}, quarter, {0.1, 0.1, 0.1, 0.1, 0.1}, true,
         WaveGestureRecognizer::eRegularTiming},
        {"a swing of 44 mm", {0, 45, 0, 45, 1}, quarter, {0.1, 0.1, 0.1, 0.1, 0.1}, false,
         WaveGestureRecognizer::eSwingOutOfRange},
        {"swings of 650 mm", {0, 650, 0, 650, 0}, {0.4, 0.4, 0.4, 0.4}, {0.1, 0.1, 0.1, 0.1, 0.1}, true,
         WaveGestureRecognizer::eRegularTiming},
        {"a swing of 651 mm", {0, 650, 0, 650, -1}, {0.4, 0.4, 0.4, 0.4}, {0.1, 0.1, 0.1, 0.1, 0.1}, false,
         WaveGestureRecognizer::eSwingOutOfRange},
        {"too fast: 2400 mm/s", {0, 600, 0, 600, 0}, quarter, {0.1, 0.1, 0.1, 0.1, 0.1}, false,
         WaveGestureRecognizer::eSpeedOutOfRange},
        {"a first half period below 0.07 s", swing100, {0.06, 0.25, 0.25, 0.25}, {0.1, 0.1, 0.1, 0.1, 0.1}, false,
         WaveGestureRecognizer::eHalfPeriodTooShort},
    };
    for (const Case& c : cases) {
        const FittedTrajectory::ExtremaList extrema = MadeUpExtrema(c.x, c.periods, c.pauses);
        EXPECT_EQ(c.timing, WaveGestureRecognizer::CheckTiming(extrema, 4)) << c.what;
        SensorTime start(-1);
        SensorTime end(-1);
        Vector3D<float> position(-1, -1, -1);
        EXPECT_EQ(c.wave, wave.DetectAtInterval(trajectory, extrema, 0, 4, start, end, position)) << c.what;
        if (c.wave) {
            EXPECT_EQ(extrema[0].T1, start) << c.what;
            EXPECT_EQ(extrema[4].T0, end) << c.what;
        } else {
            EXPECT_EQ(SensorTime(-1), start) << c.what;  // untouched
        }
    }
    const FittedTrajectory::ExtremaList four = MadeUpExtrema(swing100, quarter, {0.1, 0.1, 0.1, 0.1, 0.1});
    EXPECT_EQ(WaveGestureRecognizer::eNoFiveExtrema, WaveGestureRecognizer::CheckTiming(four, 3));
    EXPECT_EQ(WaveGestureRecognizer::eNoFiveExtrema, WaveGestureRecognizer::CheckTiming(four, 5));

    // The position: the mean fitted position from e1's middle to e4's start,
    // one and a half periods from the right end of the swing.
    const FittedTrajectory::ExtremaList extrema = MadeUpExtrema(swing100, quarter, {0.1, 0.1, 0.1, 0.1, 0.1});
    SensorTime start;
    SensorTime end;
    Vector3D<float> position;
    ASSERT_TRUE(wave.DetectAtInterval(trajectory, extrema, 0, 4, start, end, position));
    EXPECT_NEAR(50.0f, position.x, 3.0f);
    EXPECT_NEAR(600.0f, position.y, 2.0f);
    EXPECT_NEAR(1600.0f, position.z, 2.0f);
}

TEST(WaveGestureRecognizerTest, ACompleteWaveNeedsMoreThanFiveExtrema) {
    const WaveGestureRecognizer wave;
    EXPECT_EQ(3, wave.MinimumNumberOfExtremaInGesture());
    EXPECT_EQ(3, PushGestureRecognizer().MinimumNumberOfExtremaInGesture());
    TestTrajectory trajectory = HorizontalSwing();
    trajectory.m_extremaX =
        MadeUpExtrema({0, 100, 0, 100, 0}, {0.25, 0.25, 0.25, 0.25}, {0.1, 0.1, 0.1, 0.1, 0.1});
    SensorTime start;
    SensorTime end;
    Vector3D<float> position;
    ASSERT_TRUE(wave.DetectAtInterval(trajectory, trajectory.m_extremaX, 0, 4, start, end, position));
    EXPECT_FALSE(wave.Apply(trajectory, start, end, position));
    // A sixth entry, the hand still on its way: the wave ending at the
    // second-newest extremum counts.
    trajectory.m_extremaX.push_back(Extremum(3.0, 3.01, 60.0f, 600, 1600));
    ASSERT_TRUE(wave.Apply(trajectory, start, end, position));
    EXPECT_EQ(trajectory.m_extremaX[0].T1, start);
    EXPECT_EQ(trajectory.m_extremaX[4].T0, end);
}

TEST(WaveGestureRecognizerTest, TheStartOfAWaveOnTheNewestFourExtrema) {
    TestTrajectory trajectory = HorizontalSwing();
    const WaveGestureRecognizer wave;
    FittedTrajectory::ExtremaList extrema = MadeUpExtrema({0, 100, 0, 100, 0}, {0.25, 0.25, 0.25, 0.25},
                                                          {0.1, 0.1, 0.1, 0.1, 0.1});
    extrema.pop_front();
    extrema.back().Y = 610.0f;
    trajectory.m_extremaX = extrema;
    Vector3D<float> position;
    EXPECT_TRUE(wave.ApplyStart(trajectory, position));
    EXPECT_EQ(Vector3D<float>(0.0f, 610.0f, 1600.0f), position);

    // The third one's pause out of range.
    trajectory.m_extremaX[2].T1 = trajectory.m_extremaX[2].T0 + SensorTime(600000);
    EXPECT_FALSE(wave.ApplyStart(trajectory, position));
    trajectory.m_extremaX.pop_front();
    EXPECT_FALSE(wave.ApplyStart(trajectory, position));  // three are not enough
}

TEST(WaveGestureRecognizerTest, TheNewestSwingAndTheDistanceFromTheLastTurn) {
    TestTrajectory trajectory;
    const WaveGestureRecognizer wave;
    struct Case {
        float a, b, c;
        double halfPeriod;  // from a's end to b's middle
        bool valid;
    };
    const Case cases[] = {
        {0, 45, 0, 0.25, true},      // the smallest swing
        {0, 44, 0, 0.25, false},
        {0, 650, 0, 0.4, true},      // the largest
        {0, 100, 751, 0.25, false},  // the newest swing above 650 mm
        {0, 100, 750, 0.25, true},
        {0, 100, 0, 0.065, false},   // below the first half period
        {0, 100, 0, 1.1, false},     // below 100 mm/s
    };
    for (const Case& c : cases) {
        trajectory.m_extremaX = {Extremum(1.0, 1.1, c.a), Extremum(1.1 + c.halfPeriod - 0.05, 1.1 + c.halfPeriod + 0.05, c.b),
                                 Extremum(3.0, 3.1, c.c)};
        EXPECT_EQ(c.valid, wave.ValidateRecentWave(trajectory)) << c.a << " " << c.b << " " << c.c;
    }
    trajectory.m_extremaX.pop_front();
    EXPECT_FALSE(wave.ValidateRecentWave(trajectory));

    // Ready once the hand is more than 45 mm from the second-newest turn.
    trajectory.m_extremaX = {Extremum(1.0, 1.1, 100.0f), Extremum(1.3, 1.4, 0.0f)};
    EXPECT_FALSE(wave.IsReadyForNextStage(trajectory));  // no point yet
    struct Ready {
        float x;
        bool ready;
    };
    double t = 2.0;
    for (const Ready& r : {Ready{145.0f, false}, Ready{145.5f, true}, Ready{749.5f, true}, Ready{750.0f, false},
                           Ready{55.0f, false}, Ready{54.5f, true}}) {
        trajectory.AddPoint(Seconds(t += 0.033), Vector3D<float>(r.x, 600, 1600));
        EXPECT_EQ(r.ready, wave.IsReadyForNextStage(trajectory)) << r.x;
    }
    trajectory.AddPoint(Seconds(t += 0.033), Vector3D<float>());
    EXPECT_FALSE(wave.IsReadyForNextStage(trajectory));  // exactly the origin reads as no point
    trajectory.m_extremaX.pop_front();
    trajectory.AddPoint(Seconds(t += 0.033), Vector3D<float>(200, 600, 1600));
    EXPECT_FALSE(wave.IsReadyForNextStage(trajectory));
}

}  // namespace
