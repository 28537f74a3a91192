#include "QuorLibrary/Math/LinearDirectionExtrapolation3D.h"
#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using geometry_test::ExpectNear3;
using geometry_test::kPi;

using V3f = Vector3D<float>;

TEST(DirectionExtrapolationTest, QuarterTurnPerUnitOfTime) {
    LinearDirectionExtrapolation3D e(10);
    e.Add(V3f(1, 0, 0), 0.0f, 1.0f);
    e.Add(V3f(0, 1, 0), 1.0f, 1.0f);
    ASSERT_TRUE(e.Calc());
    EXPECT_NEAR(kPi / 2, e.GetSpeed(), 1e-5f);
    ExpectNear3(V3f(1, 0, 0), e.Extrapolate(0.0f), 1e-5f);
    ExpectNear3(V3f(0, 1, 0), e.Extrapolate(1.0f), 1e-5f);
    ExpectNear3(V3f(-1, 0, 0), e.Extrapolate(2.0f), 1e-5f);

    // The other way round: the turning follows the samples whatever the
    // sign of the fitted normal.
    LinearDirectionExtrapolation3D back(10);
    back.Add(V3f(1, 0, 0), 0.0f, 1.0f);
    back.Add(V3f(0, -1, 0), 1.0f, 1.0f);
    ASSERT_TRUE(back.Calc());
    ExpectNear3(V3f(0, -1, 0), back.Extrapolate(1.0f), 1e-5f);
    ExpectNear3(V3f(-1, 0, 0), back.Extrapolate(2.0f), 1e-5f);
}

// Directions turning at 0.3 rad per unit of time about a tilted axis.
V3f TiltedDirection(float angle) {
    const V3f axis = V3f(1, 1, 1).Normalized();
    const V3f start = V3f(1, -1, 0).Normalized();
    const V3f side = axis.Cross(start);
    return start * std::cos(angle) + side * std::sin(angle);
}

TEST(DirectionExtrapolationTest, TiltedGreatCircleAndAnglesBeyondPi) {
    LinearDirectionExtrapolation3D e(16);
    for (int i = 0; i < 12; ++i) {
        e.Add(TiltedDirection(0.3f * i) * 2.5f, float(i), 1.0f);  // lengths do not matter
    }
    ASSERT_TRUE(e.Calc());
    EXPECT_NEAR(0.3f, e.GetSpeed(), 1e-4f);
    ExpectNear3(TiltedDirection(0.3f * 15), e.Extrapolate(15.0f), 1e-3f);
    ExpectNear3(TiltedDirection(-0.6f), e.Extrapolate(-2.0f), 1e-3f);
}

TEST(DirectionExtrapolationTest, WeightsActOnThePlaneOnly) {
    LinearDirectionExtrapolation3D e(8);
    for (int i = 0; i < 3; ++i) {
        e.Add(V3f(std::cos(0.5f * i), std::sin(0.5f * i), 0.0f), float(i), 1.0f);
    }
    // Off the plane but at the right angle: with weight 0 it does not tilt
    // the plane, and its projection still counts in the angular fit.
    e.Add(V3f(std::cos(1.5f), std::sin(1.5f), 0.8f), 3.0f, 0.0f);
    ASSERT_TRUE(e.Calc());
    ExpectNear3(V3f(0, 0, 1), e.GetCircle().m_normal, 1e-4f);
    EXPECT_NEAR(0.5f, e.GetSpeed(), 1e-4f);
    ExpectNear3(V3f(std::cos(2.0f), std::sin(2.0f), 0.0f), e.Extrapolate(4.0f), 1e-4f);
}

TEST(DirectionExtrapolationTest, FailuresLeaveNoFit) {
    LinearDirectionExtrapolation3D one(4);
    one.Add(V3f(1, 0, 0), 0.0f, 1.0f);
    EXPECT_FALSE(one.Calc());
    EXPECT_EQ(V3f(0, 0, 0), one.Extrapolate(1.0f));

    LinearDirectionExtrapolation3D sameTime(4);
    sameTime.Add(V3f(1, 0, 0), 2.0f, 1.0f);
    sameTime.Add(V3f(0, 1, 0), 2.0f, 1.0f);
    EXPECT_FALSE(sameTime.Calc());
    EXPECT_EQ(V3f(0, 0, 0), sameTime.Extrapolate(1.0f));

    // Through the base class the direction operations are used.
    LinearDirectionExtrapolation3D e(4);
    LinearExtrapolation3D& base = e;
    base.Add(V3f(1, 0, 0), 0.0f, 1.0f);
    base.Add(V3f(0, 1, 0), 1.0f, 1.0f);
    ASSERT_TRUE(base.Calc());
    ExpectNear3(V3f(-1, 0, 0), base.Extrapolate(2.0f), 1e-5f);
}

}  // namespace
