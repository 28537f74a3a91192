#include "QuorLibrary/Math/FloatOneOverSqrt.h"

#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// The processor's estimate differs between machines; after the Newton step
// both forms must agree to about the float precision.
TEST(FloatOneOverSqrtTest, EstimateAndPlainTwinAgreeOnRandomInputs) {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<float> exponent(-36.0f, 36.0f);
    std::uniform_real_distribution<float> mantissa(1.0f, 10.0f);
    for (int i = 0; i < 200000; ++i) {
        const float x = mantissa(rng) * std::pow(10.0f, std::floor(exponent(rng)));
        if (!std::isnormal(x)) {
            continue;
        }
        const float fast = FloatOneOverSqrt(x);
        const float plain = FloatOneOverSqrtPlain(x);
        const double exact = 1.0 / std::sqrt(static_cast<double>(x));
        ASSERT_NEAR(plain, fast, 1e-6 * exact) << "x = " << x;
        ASSERT_NEAR(exact, fast, 1e-6 * exact) << "x = " << x;
    }
}

TEST(FloatOneOverSqrtTest, SmallLengthsFailTheReciprocalTestInBothForms) {
    const float inputs[] = {0.0f, 1e-18f, 1e-30f, 1e-40f /* denormal */};
    for (float x : inputs) {
        EXPECT_FALSE(IsUsableReciprocalLength(FloatOneOverSqrt(x))) << x;
        EXPECT_FALSE(IsUsableReciprocalLength(FloatOneOverSqrtPlain(x))) << x;
    }
    EXPECT_TRUE(IsUsableReciprocalLength(FloatOneOverSqrt(4e-16f)));
    EXPECT_TRUE(IsUsableReciprocalLength(FloatOneOverSqrtPlain(4e-16f)));
    EXPECT_NEAR(0.5f, FloatOneOverSqrt(4.0f), 1e-6f);
}

// A squared length in the denormal range: the estimate sees 0 and the
// refined value is -inf; normalisation must still fall back, not scale by it.
TEST(FloatOneOverSqrtTest, DenormalSquaredLengthNormalisesToFallback) {
    Vector3D<float> v(1e-20f, 0.0f, 0.0f);
    v.Normalize();
    EXPECT_EQ(Vector3D<float>(1.0f, 0.0f, 0.0f), v);
    Vector2D<float> w(0.0f, -3e-21f);
    w.Normalize();
    EXPECT_EQ(Vector2D<float>(1.0f, 0.0f), w);
}

}  // namespace
