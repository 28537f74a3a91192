#include "QuorLibrary/Math/Line3D.h"
#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Math/QuadraticEquation.h"
#include "QuorLibrary/Math/Sphere.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(QuadraticEquationTest, FloatRoots) {
    struct Case {
        float a, b, c;
        int count;
        float t1, t2;
    };
    const Case cases[] = {
        {1, 0, -4, 2, -2, 2},
        {1, 2, 1, 1, -1, 0},
        {0, 2, -4, 1, 2, 0},
        {0, 0, 5, 0, 0, 0},
        {0, 0, 0, -1, 0, 0},
        {1, 0, 1, 0, 0, 0},
        {2, -14, 20, 2, 2, 5},       // b < 0 takes q = -b + s
        {-1, 3, 10, 2, -2, 5},       // a < 0: roots still come sorted
        {1, 1e4f, 1, 2, -1e4f, -1e-4f},  // the small root keeps its precision
        {4, 0, 0, 1, 0, 0},          // double root at 0 through D = 0
        {3, -6, 0, 2, 0, 2},         // c = 0: Vieta's root is exactly 0
    };
    for (const Case& c : cases) {
        const QuadraticEquation<float> equation(c.a, c.b, c.c);
        float t1 = -123.0f;
        float t2 = -456.0f;
        const int count = equation.FindRoots(t1, t2);
        ASSERT_EQ(c.count, count) << c.a << " " << c.b << " " << c.c;
        if (count >= 1) {
            EXPECT_NEAR(c.t1, t1, std::abs(c.t1) * 1e-6f + 1e-7f) << c.a << " " << c.b << " " << c.c;
        } else {
            EXPECT_EQ(-123.0f, t1);
        }
        if (count == 2) {
            EXPECT_NEAR(c.t2, t2, std::abs(c.t2) * 1e-6f + 1e-7f) << c.a << " " << c.b << " " << c.c;
            EXPECT_LE(t1, t2);
        } else {
            EXPECT_EQ(-456.0f, t2);
        }
    }
}

TEST(QuadraticEquationTest, NaNLeadingCoefficientCountsAsNonZero) {
    const QuadraticEquation<float> equation(kNaN, 1.0f, 1.0f);
    float t1 = 0;
    float t2 = 0;
    EXPECT_EQ(2, equation.FindRoots(t1, t2));
    EXPECT_TRUE(std::isnan(t1));
}

TEST(QuadraticEquationTest, RandomRootsSolveTheEquation) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> root(-1000.0f, 1000.0f);
    std::uniform_real_distribution<float> scale(0.1f, 10.0f);
    for (int i = 0; i < 500; ++i) {
        const float r1 = root(rng);
        const float r2 = root(rng);
        const float a = scale(rng);
        if (std::abs(r1 - r2) < 1.0f) {
            continue;  // a rounded discriminant may turn a close pair into none
        }
        const QuadraticEquation<float> equation(a, -a * (r1 + r2), a * r1 * r2);
        float t1 = 0;
        float t2 = 0;
        ASSERT_EQ(2, equation.FindRoots(t1, t2));
        EXPECT_NEAR(std::min(r1, r2), t1, 1e-3f * (std::abs(r1) + std::abs(r2)) + 1e-3f);
        EXPECT_NEAR(std::max(r1, r2), t2, 1e-3f * (std::abs(r1) + std::abs(r2)) + 1e-3f);
    }
}

TEST(QuadraticEquationTest, RoundedDivisionGoesHalfAwayFromZero) {
    struct Case {
        int32_t numerator, divisor, expected;
    };
    const Case cases[] = {
        {5, 2, 3},   {-5, 2, -3}, {5, -2, -3}, {-5, -2, 3}, {4, 2, 2},  {7, 3, 2},
        {-7, 3, -2}, {8, 3, 3},   {0, 5, 0},   {1, 3, 0},   {-1, 3, 0}, {2, 3, 1},
        {INT32_MIN, -1, INT32_MIN},  // wraps like 32-bit arithmetic instead of trapping
        {9, 0, 0},                   // only reachable through overflowed coefficients
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, vela_math::RoundedDivide(c.numerator, c.divisor)) << c.numerator << " / " << c.divisor;
    }
}

TEST(QuadraticEquationTest, IntegerRoots) {
    struct Case {
        int32_t a, b, c;
        Vector3D<int> direction;
        int count;
        Vector3D<int> r1, r2;
    };
    const Case cases[] = {
        {1, 0, -4, {10, 0, 0}, 2, {-20, 0, 0}, {20, 0, 0}},
        {1, -2, 1, {10, 0, 0}, 1, {10, 0, 0}, {}},
        {1, -5, 6, {1, 10, -100}, 2, {2, 20, -200}, {3, 30, -300}},       // B < 0: q = s - B
        {1, 5, 6, {1, 10, -100}, 2, {-3, -30, 300}, {-2, -20, 200}},     // B > 0: q = -B - s
        {-1, 5, -6, {4, 0, 0}, 2, {8, 0, 0}, {12, 0, 0}},                // A < 0
        // Roots +-0.7071: the rounded integer root of D = 8 (3) makes them
        // 3/4 and 2C/q = -2/3.
        {2, 0, -1, {100, 0, 0}, 2, {-67, 0, 0}, {75, 0, 0}},
        {4, 4, 1, {3, 0, 0}, 1, {-2, 0, 0}, {}},                         // -1.5 rounds away from zero
        {1, 0, 4, {1, 1, 1}, 0, {}, {}},
        {0, 4, -6, {10, -10, 3}, 1, {15, -15, 5}, {}},                   // 4.5 rounds to 5
        {0, 0, 3, {1, 1, 1}, 0, {}, {}},
        {0, 0, 0, {1, 1, 1}, -1, {}, {}},
    };
    for (const Case& c : cases) {
        QuadraticEquation<float> equation;
        equation.SetIntCoefficients(c.a, c.b, c.c);
        const Vector3D<int> untouched(-9, -9, -9);
        Vector3D<int> r1 = untouched;
        Vector3D<int> r2 = untouched;
        ASSERT_EQ(c.count, equation.FindRoots_Int(r1, r2, c.direction)) << c.a << " " << c.b << " " << c.c;
        EXPECT_EQ(c.count >= 1 ? c.r1 : untouched, r1) << c.a << " " << c.b << " " << c.c;
        EXPECT_EQ(c.count == 2 ? c.r2 : untouched, r2) << c.a << " " << c.b << " " << c.c;
    }
}

TEST(SphereTest, LineIntersections) {
    struct Case {
        const char* name;
        Vector3D<float> origin, direction;
        int count;
        float t1, t2;
    };
    const Sphere<float> sphere(Vector3D<float>(0, 0, 0), 5.0f);
    const Case cases[] = {
        {"through the centre", {-10, 0, 0}, {1, 0, 0}, 2, 5, 15},
        {"from inside", {0, 0, 0}, {0, 1, 0}, 2, -5, 5},
        {"chord", {-10, 3, 0}, {1, 0, 0}, 2, 6, 14},
        {"tangent", {-10, 5, 0}, {1, 0, 0}, 1, 10, 0},
        {"miss", {-10, 6, 0}, {1, 0, 0}, 0, 0, 0},
        {"direction not unit", {-10, 0, 0}, {2, 0, 0}, 2, 2.5f, 7.5f},
        {"null direction outside", {0, 9, 0}, {0, 0, 0}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const Line3D<float> line(c.origin, c.direction);
        float t1 = -1;
        float t2 = -1;
        ASSERT_EQ(c.count, sphere.Intersect(line, t1, t2)) << c.name;
        if (c.count >= 1) {
            EXPECT_NEAR(c.t1, t1, 1e-5f) << c.name;
        }
        if (c.count == 2) {
            EXPECT_NEAR(c.t2, t2, 1e-5f) << c.name;
        }

        const Vector3D<float> untouched(-1, -1, -1);
        Vector3D<float> p1 = untouched;
        Vector3D<float> p2 = untouched;
        ASSERT_EQ(c.count, sphere.Intersect(line, p1, p2)) << c.name;
        if (c.count >= 1) {
            EXPECT_NEAR(25.0f, p1.MagnitudeSquared(), 1e-3f) << c.name;
            EXPECT_EQ(line.GetPoint(t1), p1) << c.name;
        } else {
            EXPECT_EQ(untouched, p1) << c.name;
        }
        if (c.count == 2) {
            EXPECT_NEAR(25.0f, p2.MagnitudeSquared(), 1e-3f) << c.name;
            EXPECT_EQ(line.GetPoint(t2), p2) << c.name;
        } else {
            EXPECT_EQ(untouched, p2) << c.name;
        }
    }
}

TEST(SphereTest, IntersectionPoints) {
    const Sphere<float> sphere(Vector3D<float>(0, 0, 0), 5.0f);
    const Line3D<float> line(Vector3D<float>(-10, 0, 0), Vector3D<float>(1, 0, 0));
    Vector3D<float> p1;
    Vector3D<float> p2;
    ASSERT_EQ(2, sphere.Intersect(line, p1, p2));
    EXPECT_EQ(Vector3D<float>(-5, 0, 0), p1);
    EXPECT_EQ(Vector3D<float>(5, 0, 0), p2);
    // An off-centre sphere and a point-sized sphere the line runs through.
    const Sphere<float> offset(Vector3D<float>(100, 200, 300), 10.0f);
    const Line3D<float> down(Vector3D<float>(100, 200, 0), Vector3D<float>(0, 0, 1));
    float t1 = 0;
    float t2 = 0;
    ASSERT_EQ(2, offset.Intersect(down, t1, t2));
    EXPECT_FLOAT_EQ(290.0f, t1);
    EXPECT_FLOAT_EQ(310.0f, t2);
    const Sphere<float> point(Vector3D<float>(3, 0, 0), 0.0f);
    ASSERT_EQ(1, point.Intersect(line, t1, t2));
    EXPECT_FLOAT_EQ(13.0f, t1);
}

TEST(PlaneTest, HoldsPointThenNormal) {
    const Plane<float> plane(Vector3D<float>(0, -800, 2000), Vector3D<float>(0, 1, 0));
    EXPECT_EQ(Vector3D<float>(0, -800, 2000), plane.m_point);
    EXPECT_EQ(Vector3D<float>(0, 1, 0), plane.m_normal);
    EXPECT_EQ(sizeof(float) * 6, sizeof(Plane<float>));
}

}  // namespace
