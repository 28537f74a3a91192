// The motion predictors of the hand trackers: the still base and the linear
// extrapolation with its speed-bound uncertainty.

#include <gtest/gtest.h>

#include <memory>

#include "NACommon/NALinearMotionPredictor.h"
#include "NACommon/NAMotionPredictor.h"
#include "NACommon/NAPointMotionPrediction.h"

namespace {

const Vector3D<float> kZero(0, 0, 0);
// One frame of the synthetic camera, microseconds.
constexpr int64_t kFramePeriod = 33333;

TEST(NAMotionPredictor, TheBaseKeepsTheLastSampleWithoutUncertainty) {
    NAMotionPredictor<float> predictor;
    EXPECT_EQ(kZero, predictor.m_position);
    EXPECT_EQ(SensorTime::InvalidTime(), predictor.m_time);
    predictor.Reset(Vector3D<float>(1, 2, 3), SensorTime(10));
    predictor.Update(Vector3D<float>(4, 5, 6), SensorTime(20));
    Vector3D<float> position, uncertainty(7, 7, 7);
    predictor.GetPrediction(SensorTime(1000000), position, uncertainty);
    EXPECT_EQ(Vector3D<float>(4, 5, 6), position);
    EXPECT_EQ(kZero, uncertainty);
    EXPECT_EQ(1, predictor.ReadParameters("no such file", 0));
}

TEST(NALinearMotionPredictor, ExtrapolatesThroughTheLastTwoSamples) {
    NALinearMotionPredictor<float> predictor;
    EXPECT_EQ(SensorTime::InvalidTime(), predictor.m_prevTime);
    EXPECT_EQ(1000.0f, predictor.m_maxSpeed);
    const Vector3D<float> start(100, 200, 1500);
    predictor.Reset(start, SensorTime(0));
    Vector3D<float> position, uncertainty;

    // Right after a reset both samples share one time: the start point, with
    // at least one frame's worth of movement at 1 m/s.
    struct Case {
        int64_t at;
        float expected;
    };
    for (const Case& c : {Case{0, 1000.0f / 30.0f}, Case{kFramePeriod / 2, 1000.0f * (1.0f / 30.0f)},
                          Case{kFramePeriod, 1000.0f * (1.0f / 30.0f)}, Case{100000, 100.0f}, Case{-50000, 1000.0f / 30.0f}}) {
        predictor.GetPrediction(SensorTime(c.at), position, uncertainty);
        EXPECT_EQ(start, position) << c.at;
        EXPECT_FLOAT_EQ(c.expected, uncertainty.x) << c.at;
        EXPECT_EQ(uncertainty.x, uncertainty.y);
        EXPECT_EQ(uncertainty.x, uncertainty.z);
    }
    EXPECT_EQ(0.033333335f, 1.0f / 30.0f);

    // Moving 30 mm per frame along x: the next frame is predicted 30 mm on.
    predictor.Update(start + Vector3D<float>(30, 0, -15), SensorTime(kFramePeriod));
    predictor.GetPrediction(SensorTime(2 * kFramePeriod), position, uncertainty);
    EXPECT_NEAR(160.0f, position.x, 1e-3f);
    EXPECT_NEAR(200.0f, position.y, 1e-3f);
    EXPECT_NEAR(1470.0f, position.z, 1e-3f);
    EXPECT_FLOAT_EQ(1000.0f / 30.0f, uncertainty.x);
}

TEST(NALinearMotionPredictor, AnUnsetPreviousTimeGivesTheLastSample) {
    // A fresh predictor that only received a last sample (a tracker taking
    // over another's result): the ratio of the two huge spans is exactly 1.
    NALinearMotionPredictor<float> predictor;
    predictor.m_position = Vector3D<float>(-12.5f, 300.25f, 1234.5f);
    predictor.m_time = SensorTime(5 * kFramePeriod);
    Vector3D<float> position, uncertainty;
    predictor.GetPrediction(SensorTime(6 * kFramePeriod), position, uncertainty);
    EXPECT_EQ(predictor.m_position, position);
}

TEST(NALinearMotionPredictor, OwnedAndReplacedThroughTheBase) {
    // Trackers hold their predictor through the base and replace it.
    std::unique_ptr<NAMotionPredictor<float>> predictor(new NALinearMotionPredictor<float>);
    predictor->Reset(Vector3D<float>(1, 1, 1), SensorTime(0));
    predictor.reset(new NALinearMotionPredictor<float>);
    predictor.reset(new NAMotionPredictor<float>);
    EXPECT_EQ(SensorTime::InvalidTime(), predictor->m_time);
}

TEST(NAPointMotionPrediction, StartsAtZeroWithEveryTimeUnset) {
    const NAPointMotionPrediction prediction;
    EXPECT_EQ(kZero, prediction.m_position);
    EXPECT_EQ(kZero, prediction.m_velocity);
    EXPECT_EQ(kZero, prediction.m_acceleration);
    EXPECT_EQ(0.0f, prediction.m_uncertainty);
    EXPECT_EQ(0.0f, prediction.m_confidence);
    EXPECT_EQ(SensorTime::InvalidTime(), prediction.m_lastTime);
    EXPECT_EQ(SensorTime::InvalidTime(), prediction.m_previousTime);
    EXPECT_EQ(SensorTime::InvalidTime(), prediction.m_predictionTime);
    EXPECT_EQ(0, prediction.m_valid);
}

}  // namespace
