#include "QuorLibrary/Math/LinearExtrapolation3D.h"
#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using geometry_test::ExpectNear3;

using V3f = Vector3D<float>;

TEST(LinearExtrapolationTest, TwoSamplesGiveTheirLine) {
    LinearExtrapolation3D e(10);
    e.Add(V3f(0, 0, 0), 0.0f, 1.0f);
    e.Add(V3f(10, 0, 0), 1.0f, 1.0f);
    ASSERT_TRUE(e.Calc());
    EXPECT_FALSE(e.IsWeighted());
    ExpectNear3(V3f(20, 0, 0), e.Extrapolate(2.0f), 1e-4f);
    ExpectNear3(V3f(5, 0, 0), e.Extrapolate(0.5f), 1e-4f);
    // The line's origin is the position at time 0, its direction unit length.
    ExpectNear3(V3f(0, 0, 0), e.GetLine().m_origin, 1e-4f);
    EXPECT_NEAR(1.0f, std::sqrt(e.GetLine().m_direction.MagnitudeSquared()), 1e-5f);
    EXPECT_NEAR(10.0f, std::fabs(e.GetSpeed()), 1e-4f);
}

TEST(LinearExtrapolationTest, GeneralMotionWithUnevenTimes) {
    // p(t) = (1, 2, 3) + (4, -2, 1) t.
    LinearExtrapolation3D e(8);
    for (float t : {0.5f, 1.2f, 2.0f, 3.1f, 3.3f}) {
        e.Add(V3f(1 + 4 * t, 2 - 2 * t, 3 + t), t, 1.0f);
    }
    ASSERT_TRUE(e.Calc());
    ExpectNear3(V3f(21, -8, 8), e.Extrapolate(5.0f), 1e-3f);
    ExpectNear3(V3f(1, 2, 3), e.Extrapolate(0.0f), 1e-3f);
    EXPECT_NEAR(std::sqrt(21.0f), std::fabs(e.GetSpeed()), 1e-4f);
}

TEST(LinearExtrapolationTest, FailuresLeaveNoFit) {
    struct Case {
        const char* what;
        int samples;
        float secondTime;
    };
    for (const Case& c : {Case{"times without spread", 2, 3.0f}, Case{"a single sample", 1, 0.0f},
                          Case{"no samples", 0, 0.0f}}) {
        LinearExtrapolation3D e(10);
        if (c.samples > 0) {
            e.Add(V3f(0, 0, 0), 3.0f, 1.0f);
        }
        if (c.samples > 1) {
            e.Add(V3f(10, 0, 0), c.secondTime, 1.0f);
        }
        EXPECT_FALSE(e.Calc()) << c.what;
        EXPECT_FALSE(e.IsFitValid()) << c.what;
        EXPECT_EQ(V3f(0, 0, 0), e.Extrapolate(5.0f)) << c.what;
    }

    // All weights 0: no moment weight, no regression weight.
    LinearExtrapolation3D zero(10);
    zero.Add(V3f(0, 0, 0), 0.0f, 0.0f);
    zero.Add(V3f(10, 0, 0), 1.0f, 0.0f);
    EXPECT_FALSE(zero.Calc());
    EXPECT_EQ(V3f(0, 0, 0), zero.GetLine().m_origin);
    EXPECT_EQ(V3f(0, 0, 0), zero.GetLine().m_direction);
}

TEST(LinearExtrapolationTest, ZeroWeightSamplesAreIgnored) {
    LinearExtrapolation3D e(10);
    e.Add(V3f(0, 0, 0), 0.0f, 1.0f);
    e.Add(V3f(100, 50, -30), 1.0f, 0.0f);  // a missing position
    e.Add(V3f(20, 0, 0), 2.0f, 1.0f);
    EXPECT_TRUE(e.IsWeighted());
    ASSERT_TRUE(e.Calc());
    ExpectNear3(V3f(30, 0, 0), e.Extrapolate(3.0f), 1e-3f);
    ExpectNear3(V3f(10, 0, 0), e.Extrapolate(1.0f), 1e-3f);

    // A weight that is not a number also marks the fit weighted.
    LinearExtrapolation3D nan(10);
    nan.Add(V3f(0, 0, 0), 0.0f, std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(nan.IsWeighted());
    nan.Clear();
    EXPECT_FALSE(nan.IsWeighted());
    EXPECT_EQ(0, nan.GetSampleCount());
}

TEST(LinearExtrapolationTest, StillPositionsGiveSpeedZero) {
    LinearExtrapolation3D e(10);
    for (int i = 0; i < 4; ++i) {
        e.Add(V3f(7, -3, 1500), float(i), 1.0f);
    }
    ASSERT_TRUE(e.Calc());
    EXPECT_EQ(0.0f, e.GetSpeed());
    for (float t : {-10.0f, 0.0f, 2.5f, 100.0f}) {
        ExpectNear3(V3f(7, -3, 1500), e.Extrapolate(t), 1e-3f);
    }
}

TEST(LinearExtrapolationTest, AddInvalidatesTheFitAndFullPoolsDropSamples) {
    LinearExtrapolation3D e(3);
    e.Add(V3f(0, 0, 0), 0.0f, 1.0f);
    e.Add(V3f(10, 0, 0), 1.0f, 1.0f);
    ASSERT_TRUE(e.Calc());
    e.Add(V3f(20, 0, 0), 2.0f, 1.0f);
    EXPECT_FALSE(e.IsFitValid());
    EXPECT_EQ(V3f(0, 0, 0), e.Extrapolate(2.0f));
    ASSERT_TRUE(e.Calc());
    ExpectNear3(V3f(30, 0, 0), e.Extrapolate(3.0f), 1e-3f);

    // A fourth sample does not fit: only the flags change.
    e.Add(V3f(500, 500, 500), 3.0f, 0.5f);
    EXPECT_EQ(3, e.GetSampleCount());
    EXPECT_FALSE(e.IsFitValid());
    EXPECT_TRUE(e.IsWeighted());
    ASSERT_TRUE(e.Calc());
    ExpectNear3(V3f(30, 0, 0), e.Extrapolate(3.0f), 1e-3f);
    // Calc on a current fit returns at once.
    EXPECT_TRUE(e.Calc());

    LinearExtrapolation3D none(0);
    none.Add(V3f(1, 2, 3), 0.0f, 1.0f);
    EXPECT_EQ(0, none.GetSampleCount());
    EXPECT_FALSE(none.Calc());
}

}  // namespace
