#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <vector>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "TrajectoryTestSupport.h"

namespace {

using namespace trajectory_test;
using Model3 = FittedTrajectory::ModelFitType;

constexpr FittedTrajectory::eAxisType kX = FittedTrajectory::eXAxis;

double SecondsOf(const SensorTime& t) { return static_cast<double>(static_cast<int64_t>(t)) * 1e-6; }

TEST(FittedTrajectoryExtremaTest, WideningAVertexSpansAQuarterThresholdEachSide) {
    const FittedTrajectory trajectory;
    // x = (t - 10 s)^2 mm: within 5 mm of the vertex for sqrt(5) s each side.
    struct Case {
        double modelStart;
        double expectedStart;
    };
    for (const Case& c : {Case{0.0, 10.0 - std::sqrt(5.0)}, Case{9.0, 9.0}}) {
        const Model3 model = Model(c.modelStart, 20.0, 10.0, {1, 0, 0, 0, 0, 4, 0, 10, 1500});
        SensorTime t0;
        SensorTime t1;
        Vector3D<float> position;
        trajectory.ExpandPoint(kX, model, Seconds(10.0), 20.0f, t0, t1, position);
        EXPECT_NEAR(c.expectedStart, SecondsOf(t0), 2e-6) << c.modelStart;
        EXPECT_NEAR(10.0 + std::sqrt(5.0), SecondsOf(t1), 2e-6);
        EXPECT_EQ(0.0f, position.x);  // the vertex value itself
        EXPECT_FLOAT_EQ(4.0f, position.y);
        // The mean of z over the interval is its value at the middle.
        EXPECT_NEAR(1500.0 + 10.0 * ((SecondsOf(t0) + SecondsOf(t1)) / 2.0 - 10.0), position.z, 1e-3);
    }
}

TEST(FittedTrajectoryExtremaTest, WideningAConstantOrAnInstantModel) {
    const FittedTrajectory trajectory;
    SensorTime t0;
    SensorTime t1;
    Vector3D<float> position;
    // Constant along the axis: the whole model, at its start's position.
    const Model3 constant = Model(1.0, 2.0, 1.0, {0, 0, 7, 0, 3, 0, 0, 0, 1500});
    trajectory.ExpandPoint(kX, constant, Seconds(1.5), 20.0f, t0, t1, position);
    EXPECT_EQ(Seconds(1.0), t0);
    EXPECT_EQ(Seconds(2.0), t1);
    EXPECT_EQ(Vector3D<float>(7, 0, 1500), position);
    // An interval of no length takes the model's position at the instant,
    // not the origin.
    const Model3 instant = Model(1.0, 1.0, 0.5, {0, 100, 20, 0, 0, 600, 0, 0, 1500});
    position = Vector3D<float>();
    trajectory.ExpandPoint(kX, instant, Seconds(1.0), 20.0f, t0, t1, position);
    EXPECT_EQ(Seconds(1.0), t0);
    EXPECT_EQ(Seconds(1.0), t1);
    EXPECT_EQ(instant.PositionAt(Seconds(1.0)), position);
    EXPECT_FLOAT_EQ(70.0f, position.x);
}

TEST(FittedTrajectoryExtremaTest, AModelWithAPeakInsideGivesStartPeakAndEnd) {
    const FittedTrajectory trajectory;
    // x = 400 u - 400 u^2 over one second: 0, up to 100 at 0.5 s, back to 0.
    const FittedTrajectory::ModelList models = {Model(0.0, 1.0, 0.0, {-400, 400, 0, 0, 0, 0, 0, 0, 1500})};
    FittedTrajectory::ExtremaList list;
    trajectory.UpdateExtremaAlongAxis(kX, models.begin(), models.end(), 25.0f, list);
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ(0, list[0].ExtremaType);
    EXPECT_EQ(2, list[1].ExtremaType);
    EXPECT_EQ(1, list[2].ExtremaType);
    EXPECT_EQ(Seconds(0.0), list[0].T0);
    EXPECT_EQ(100.0f, list[1].X);
    EXPECT_LT(list[1].T0, Seconds(0.5));
    EXPECT_GT(list[1].T1, Seconds(0.5));
    EXPECT_EQ(Seconds(1.0), list[2].T1);

    // A swing below the threshold leaves no peak.
    const FittedTrajectory::ModelList flat = {Model(0.0, 1.0, 0.0, {-80, 80, 0, 0, 0, 0, 0, 0, 1500})};
    FittedTrajectory::ExtremaList small;
    trajectory.UpdateExtremaAlongAxis(kX, flat.begin(), flat.end(), 25.0f, small);
    EXPECT_EQ(1u, small.size());
}

TEST(FittedTrajectoryExtremaTest, CloseEntriesMergeAndMonotonicRunsLoseTheirMiddle) {
    TestTrajectory trajectory;
    trajectory.m_models = {Model(0.0, 1.0, 0.0, {0, 40, 0, 0, 0, 3, 0, 0, 1500})};
    // 10 mm apart: one entry over both, at the mean fitted position.
    FittedTrajectory::ExtremaList close = {Extremum(0.1, 0.15, 0.0f), Extremum(0.3, 0.35, 10.0f)};
    trajectory.RemoveSmallExtrema(kX, 25.0f, 0, 2, close);
    ASSERT_EQ(1u, close.size());
    EXPECT_EQ(Seconds(0.1), close[0].T0);
    EXPECT_EQ(Seconds(0.35), close[0].T1);
    EXPECT_NEAR(9.0f, close[0].X, 1e-4f);  // 40 mm/s over [0.1, 0.35]
    EXPECT_FLOAT_EQ(3.0f, close[0].Y);
    EXPECT_FLOAT_EQ(1500.0f, close[0].Z);

    // 0, 40, 80: every step above 25 mm in one direction.
    FittedTrajectory::ExtremaList run = {Extremum(0.1, 0.1, 0.0f), Extremum(0.2, 0.2, 40.0f),
                                         Extremum(0.3, 0.3, 80.0f)};
    trajectory.RemoveNonExtrema(kX, 25.0f, 0, 3, run);
    ASSERT_EQ(2u, run.size());
    EXPECT_EQ(0.0f, run[0].X);
    EXPECT_EQ(80.0f, run[1].X);

    // A turn keeps all three and labels the middle by the step into it.
    FittedTrajectory::ExtremaList turn = {Extremum(0.1, 0.1, 0.0f), Extremum(0.2, 0.2, -40.0f),
                                          Extremum(0.3, 0.3, 0.0f)};
    trajectory.RemoveNonExtrema(kX, 25.0f, 0, 3, turn);
    ASSERT_EQ(3u, turn.size());
    EXPECT_EQ(1, turn[1].ExtremaType);
}

TEST(FittedTrajectoryExtremaTest, ListsBySelector) {
    TestTrajectory trajectory;
    trajectory.m_extremaX = {Extremum(0.1, 0.1, 1.0f)};
    trajectory.m_extremaZ = {Extremum(0.1, 0.1, 0, 0, 1500), Extremum(0.2, 0.2, 0, 0, 1400)};
    EXPECT_EQ(&trajectory.m_extremaX, &trajectory.GetExtremaAlongAxis(FittedTrajectory::eYAxis));
    EXPECT_EQ(&trajectory.m_extremaX, &trajectory.GetExtremaAlongAxis(FittedTrajectory::eXAxis));
    EXPECT_EQ(&trajectory.m_extremaZ, &trajectory.GetExtremaAlongAxis(FittedTrajectory::eZAxis));
}

TEST(FittedTrajectoryExtremaTest, OneDimensionalExtremaOfTheWholeModelList) {
    TestTrajectory trajectory;
    // Up 100 mm, up 100 more, down 100: the middle of the rise goes.
    trajectory.m_models = {Model(0.0, 1.0, 0.0, {0, 100, 0, 0, 0, 0, 0, 0, 0}),
                           Model(1.0, 2.0, 1.0, {0, 100, 100, 0, 0, 0, 0, 0, 0}),
                           Model(2.0, 3.0, 2.0, {0, -100, 200, 0, 0, 0, 0, 0, 0})};
    std::deque<FittedTrajectory::Extrema1DType> list;
    trajectory.ComputeExtremaAlongAxis(kX, 25.0f, list);
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ(0.0f, list[0].value);
    EXPECT_EQ(200.0f, list[1].value);
    EXPECT_EQ(Seconds(2.0), list[1].T0);
    EXPECT_EQ(100.0f, list[2].value);
}

TEST(FittedTrajectoryExtremaTest, IntegralCoversAGapWithTheLaterModel) {
    TestTrajectory trajectory;
    trajectory.m_models = {Model(0.0, 1.0, 0.0, {3, 2, 10, 0, 0, 1, 0, 0, 0}),
                           Model(2.0, 3.0, 2.0, {0, 0, 20, 0, 0, 2, 0, 0, 0})};
    const Vector3D<float> first = trajectory.IntegrateTrajectory(Seconds(0.0), Seconds(1.0));
    EXPECT_FLOAT_EQ(3.0f / 3.0f + 2.0f / 2.0f + 10.0f, first.x);
    // [1, 3] comes from the second model, whose parabola reaches back over
    // the gap: 20 x 2 s.
    const Vector3D<float> all = trajectory.IntegrateTrajectory(Seconds(0.0), Seconds(3.0));
    EXPECT_FLOAT_EQ(12.0f + 40.0f, all.x);
    EXPECT_FLOAT_EQ(1.0f + 4.0f, all.y);
}

TEST(FittedTrajectoryExtremaTest, StatisticsSampleEachModelToItsEnd) {
    TestTrajectory trajectory;
    trajectory.m_models = {Model(0.0, 0.1, 0.0, {0, 0, 10, 0, 0, 0, 0, 0, 1500}),
                           Model(0.1, 0.3, 0.1, {0, 0, 20, 0, 0, 0, 0, 0, 1500})};
    Statistics3D<float> stats(Vector3D<float>(1, 2, 3));
    stats.AddPoint(Vector3D<float>(1000, 0, 0));  // cleared by the query
    // 0, 33, 66 and 99 ms from the first model, then from 132 ms on to
    // 297 ms from the second, past the span's end.
    trajectory.GetStatistics3D(Seconds(0.0), Seconds(0.2), stats);
    EXPECT_EQ(10, stats.m_nCount);
    EXPECT_EQ(Vector3D<float>(1, 2, 3), stats.m_referencePoint);
    EXPECT_FLOAT_EQ((4 * 10.0f + 6 * 20.0f) / 10.0f, stats.GetMean().x);

    Statistics3D<float> none;
    trajectory.GetStatistics3D(Seconds(0.5), Seconds(0.9), none);
    EXPECT_EQ(0, none.m_nCount);
}

TEST(FittedTrajectoryExtremaTest, OutliersAndMonotonicityWalkTheModelsSamples) {
    TestTrajectory trajectory;
    Model3 first = Model(0.0, 0.1, 0.0, {0, 0, 0, 0, 0, 0, 0, -1000, 1500});
    first.m_samples = {{Seconds(0.0), 1}, {Seconds(0.05), 0}, {Seconds(0.1), 1}};
    Model3 second = Model(0.1, 0.2, 0.0, {0, 0, 0, 0, 0, 0, 0, -1000, 1500});
    second.m_samples = {{Seconds(0.1), 1}, {Seconds(0.15), 0}, {Seconds(0.2), 1}};
    trajectory.m_models = {first, second};
    float outliers = -1.0f;
    float total = -1.0f;
    // The joint instant counts once per model.
    trajectory.CountOutliers(Seconds(0.0), Seconds(0.2), outliers, total);
    EXPECT_EQ(6.0f, total);
    EXPECT_EQ(2.0f, outliers);
    trajectory.CountOutliers(Seconds(0.12), Seconds(0.16), outliers, total);
    EXPECT_EQ(1.0f, total);
    trajectory.CountOutliers(Seconds(0.5), Seconds(0.6), outliers, total);
    EXPECT_EQ(0.0f, total);

    // Inliers 0, 0.1, 0.1, 0.2 s: the repeated instant is closer than half a
    // frame period and does not count; z falls 100 mm per step.
    EXPECT_EQ(1.0f, trajectory.MonotonicityScore(Seconds(0.0), Seconds(0.2), -1.0f));
    EXPECT_EQ(0.0f, trajectory.MonotonicityScore(Seconds(0.0), Seconds(0.2), 1.0f));

    Model3 dense = Model(0.0, 0.1, 0.0, {0, 0, 0, 0, 0, 0, 0, -1000, 1500});
    for (int i = 0; i <= 10; ++i) {
        dense.m_samples.emplace_back(Seconds(0.01 * i), 1);
    }
    trajectory.m_models = {dense};
    EXPECT_EQ(0.0f, trajectory.MonotonicityScore(Seconds(0.0), Seconds(0.1), -1.0f));
}

TEST(FittedTrajectoryExtremaTest, DepthCrossingIsTheFirstSampleBelowTheLevel) {
    TestTrajectory trajectory;
    trajectory.m_models = {Model(0.0, 1.0, 0.0, {0, 0, 0, 0, 0, 0, 0, -1000, 1500})};
    // Samples every 33 ms: 1368 mm at 132 ms is the first below 1400.
    EXPECT_EQ(Seconds(0.132), trajectory.ZCrossingBackSearch(Seconds(0.0), Seconds(1.0), 1400.0f));
    // Already below at t0, and never below: t0 both times.
    EXPECT_EQ(Seconds(0.2), trajectory.ZCrossingBackSearch(Seconds(0.2), Seconds(1.0), 1600.0f));
    EXPECT_EQ(Seconds(0.2), trajectory.ZCrossingBackSearch(Seconds(0.2), Seconds(1.0), 0.0f));
}

}  // namespace
