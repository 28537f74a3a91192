#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

namespace {

void ExpectVectorNear(const Vector3D<float>& expected, const Vector3D<float>& actual, float tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

TEST(Vector3DTest, NormalizeScalesToUnitLengthOrFallsBack) {
    struct Case {
        Vector3D<float> input;
        Vector3D<float> expected;
    };
    const Case cases[] = {
        {{3.0f, 0.0f, 4.0f}, {0.6f, 0.0f, 0.8f}},
        {{0.0f, 0.0f, -2.0f}, {0.0f, 0.0f, -1.0f}},
        {{2e-8f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}},   // reciprocal length 5e7: still normalised
        {{0.0f, 2e-8f, 0.0f}, {0.0f, 1.0f, 0.0f}},
        {{0.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}},    // NaN reciprocal: fallback
        {{0.0f, 1e-9f, 0.0f}, {1.0f, 0.0f, 0.0f}},   // reciprocal length 1e9: fallback
        {{0.0f, 0.0f, 5e-9f}, {1.0f, 0.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        Vector3D<float> v = c.input;
        const Vector3D<float> copy = v.Normalized();
        EXPECT_EQ(c.input, v) << "Normalized changed its source";
        v.Normalize();
        ExpectVectorNear(c.expected, v, 1e-6f);
        EXPECT_EQ(v, copy);
    }
}

TEST(Vector2DTest, NormalizeFallsBackToUnitX) {
    Vector2D<float> v(3.0f, -4.0f);
    v.Normalize();
    EXPECT_NEAR(0.6f, v.x, 1e-6f);
    EXPECT_NEAR(-0.8f, v.y, 1e-6f);

    EXPECT_EQ(Vector2D<float>(1.0f, 0.0f), Vector2D<float>(0.0f, 0.0f).Normalized());
    EXPECT_EQ(Vector2D<float>(1.0f, 0.0f), Vector2D<float>(0.0f, 1e-9f).Normalized());
}

TEST(Vector3DTest, NormalizeLenUsesExactLengthAndMinimum) {
    Vector3D<float> v(3.0f, 0.0f, 4.0f);
    EXPECT_FLOAT_EQ(5.0f, v.NormalizeLen(10.0f));
    EXPECT_EQ(Vector3D<float>(1.0f, 0.0f, 0.0f), v);

    Vector3D<float> w(3.0f, 0.0f, 4.0f);
    EXPECT_FLOAT_EQ(5.0f, w.NormalizeLen(1.0f));
    ExpectVectorNear(Vector3D<float>(0.6f, 0.0f, 0.8f), w, 1e-7f);

    Vector3D<float> atMinimum(0.0f, 5.0f, 0.0f);
    atMinimum.NormalizeLen(5.0f);  // minLength < length is strict
    EXPECT_EQ(Vector3D<float>(1.0f, 0.0f, 0.0f), atMinimum);
}

TEST(Vector3DTest, OrthogonalVectorFollowsLargestComponents) {
    EXPECT_EQ(Vector3D<float>(0, 3, -2), Vector3D<float>(1, 2, 3).OrthogonalVector());
    EXPECT_EQ(Vector3D<float>(-2, 0, 3), Vector3D<float>(3, 1, 2).OrthogonalVector());
    EXPECT_EQ(Vector3D<float>(1, -1, 0), Vector3D<float>(1, 1, 1).OrthogonalVector());
    EXPECT_EQ(Vector3D<float>(0, 0, 0), Vector3D<float>(0, 0, 0).OrthogonalVector());

    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(-100.0f, 100.0f);
    for (int i = 0; i < 1000; ++i) {
        const Vector3D<float> v(coordinate(rng), coordinate(rng), coordinate(rng));
        const Vector3D<float> o = v.OrthogonalVector();
        EXPECT_NEAR(0.0f, v.Dot(o), 1e-2f) << v;
        EXPECT_GT(o.MagnitudeSquared(), 0.0f);
    }
}

TEST(Vector3DTest, ProjectedOnPlaneRemovesNormalComponent) {
    const Vector3D<float> n(0.0f, 0.0f, 1.0f);
    EXPECT_EQ(Vector3D<float>(1, 2, 0), Vector3D<float>(1, 2, 3).ProjectedOnPlane(n));
}

TEST(Vector3DTest, RoundHalfUpThroughFloat) {
    EXPECT_EQ(Vector3D<int>(2, -1, 2), Vector3D<float>(1.5f, -1.5f, 2.4f).Round());
    EXPECT_EQ(Vector3D<int>(-3, 0, 7), Vector3D<int>(-3, 0, 7).Round());
}

TEST(Vector3DTest, ArithmeticAndProducts) {
    const Vector3D<float> a(1, 2, 3);
    const Vector3D<float> b(4, -5, 6);
    EXPECT_EQ(Vector3D<float>(5, -3, 9), a + b);
    EXPECT_EQ(Vector3D<float>(-3, 7, -3), a - b);
    EXPECT_EQ(Vector3D<float>(2, 4, 6), a * 2.0f);
    EXPECT_EQ(Vector3D<float>(2, 4, 6), 2.0f * a);
    EXPECT_FLOAT_EQ(12.0f, a.Dot(b));
    EXPECT_EQ(Vector3D<float>(27, 6, -13), a.Cross(b));
    EXPECT_FLOAT_EQ(std::sqrt(14.0f), a.Magnitude());
}

// Fixed-point products may leave 32 bits; they wrap instead of overflowing
// (the sanitizer build checks that no signed overflow happens).
TEST(Vector3DTest, IntegerArithmeticWrapsModulo32Bits) {
    const Vector3D<int> big(65536, 65536, 0);
    EXPECT_EQ(0, big.Dot(big));
    EXPECT_EQ(0, big.MagnitudeSquared());
    const Vector3D<int> max(2147483647, 0, 0);
    EXPECT_EQ(-2147483647 - 1, (max + Vector3D<int>(1, 0, 0)).x);
    EXPECT_EQ(Vector3D<int>(0, 0, 0), Vector3D<int>(1 << 16, 0, 0).Cross(Vector3D<int>(0, 1 << 16, 0)));
}

TEST(VectorTextTest, WritesComponentsSeparatedByBlanks) {
    std::ostringstream out;
    out << Vector3D<float>(1.0f, 2.5f, -3.0f) << '|' << Vector3D<int>(4, 5, 6) << '|' << Vector2D<double>(0.25, 8);
    EXPECT_EQ("1 2.5 -3|4 5 6|0.25 8", out.str());
}

TEST(VectorTextTest, ReadStopsAtFirstFailingComponent) {
    Vector3D<double> v(7, 7, 7);
    std::istringstream twoNumbers("1.5 -2");
    twoNumbers >> v;
    EXPECT_EQ(Vector3D<double>(1.5, -2, 7), v);

    Vector3D<int> w(7, 7, 7);
    std::istringstream text(" 3 x 5");
    text >> w;
    EXPECT_EQ(3, w.x);
    EXPECT_EQ(0, w.y);  // the failing component reads as 0
    EXPECT_EQ(7, w.z);
}

}  // namespace
