#include "QuorLibrary/Math/FixedPoint.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <limits>

#include "QuorLibrary/Math/FixedPointVector.h"
#include "QuorLibrary/Math/Frame3DFP.h"

namespace {

using V3i = Vector3D<int>;
using V3f = Vector3D<float>;

TEST(FixedPointTest, FloatToFixedRoundsHalvesUp) {
    struct Case {
        V3f in;
        int shift;
        V3i expected;
    };
    const Case cases[] = {
        {V3f(1.5f, -1.5f, 2.4f), 0, V3i(2, -1, 2)},
        {V3f(0.5f, 0.0f, 0.0f), 14, V3i(8192, 0, 0)},
        {V3f(-0.5f, 1.0f, -1.0f), 14, V3i(-8192, 16384, -16384)},
        // Half a unit at shift 12 either side of zero.
        {V3f(0.5f / 4096, -0.5f / 4096, 1.5f / 4096), 12, V3i(1, 0, 2)},
        // Negative shifts divide: 10 / 4 = 2.5 rounds up to 3.
        {V3f(10.0f, -10.0f, 4.0f), -2, V3i(3, -2, 1)},
    };
    for (const Case& c : cases) {
        V3i out;
        Vector3DDoubleToVector3DFP(c.in, out, c.shift);
        EXPECT_EQ(c.expected, out) << c.in << " at shift " << c.shift;
    }

    V3i out;
    Vector3DDoubleToVector3DFPMult(V3f(0.25f, -0.75f, 0.5f / 1000), out, 1000);
    EXPECT_EQ(V3i(250, -750, 1), out);
}

// NaN and values beyond the int range have no int: every float-to-int
// conversion of the fixed-point code saturates them (NaN gives 0).
TEST(FixedPointTest, ConversionsSaturateBeyondTheIntRange) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    V3i out;
    Vector3DDoubleToVector3DFP(V3f(nan, 3e9f, -inf), out, 0);
    EXPECT_EQ(V3i(0, INT_MAX, INT_MIN), out);
    Vector3DDoubleToVector3DFP(V3f(1e6f, -1e6f, 0.5f), out, 14);
    EXPECT_EQ(V3i(INT_MAX, INT_MIN, 8192), out);
    EXPECT_EQ(V3i(INT_MAX, 0, INT_MIN), V3f(inf, nan, -3e9f).Round());
    EXPECT_EQ(V3i(2, -1, 0), V3f(1.5f, -1.5f, 0.49f).Round());

    Matrix3X3<int> fixed;
    MatrixToMatrixFP(fixed, Matrix3X3<float>(nan, 1e6f, 0.5f, 0, 0, 0, 0, 0, -1e6f), 4096);
    EXPECT_EQ(Matrix3X3<int>(0, INT_MAX, 2048, 0, 0, 0, 0, 0, INT_MIN), fixed);

    const Matrix3X3<float> huge = Matrix3X3<float>::Diagonal(1e30f, nan, -1e30f);
    EXPECT_EQ(V3i(INT_MAX >> 12, 0, INT_MIN >> 12), huge.TransposeTimes(V3i(1, 2, 3), 2048, 12));
}

TEST(FixedPointTest, FixedToFloatDividesByTheScaleOfTheShift) {
    struct Case {
        V3i in;
        int shift;
        V3f expected;
    };
    const Case cases[] = {
        {V3i(8192, 0, 0), 14, V3f(0.5f, 0.0f, 0.0f)},
        {V3i(3, 0, 0), -2, V3f(12.0f, 0.0f, 0.0f)},
        {V3i(-8, 4, 1), 3, V3f(-1.0f, 0.5f, 0.125f)},
        {V3i(7, -7, 0), 0, V3f(7.0f, -7.0f, 0.0f)},
    };
    for (const Case& c : cases) {
        V3f out;
        Vector3DFP2Double(c.in, out, c.shift);
        EXPECT_EQ(c.expected, out) << c.in << " at shift " << c.shift;
    }

    SymmetricMatrix3X3<float> s;
    Symmetric3x3DFP2Double(SymmetricMatrix3X3<int>(4096, -2048, 1024, 8192, 0, 410), s, 12);
    EXPECT_TRUE(SymmetricMatrix3X3<float>(1.0f, -0.5f, 0.25f, 2.0f, 0.0f, 410.0f / 4096) == s);
}

TEST(FixedPointTest, RoundingShiftAndDivision) {
    struct ShiftCase {
        int x, shift, expected;
    };
    const ShiftCase shifts[] = {
        {3, 1, 2}, {-3, 1, -1}, {5, 2, 1}, {6, 2, 2}, {-6, 2, -1}, {-7, 2, -2}, {7, 0, 7}, {7, -3, 7},
    };
    for (const ShiftCase& c : shifts) {
        EXPECT_EQ(c.expected, vela_math::RoundShift(c.x, c.shift)) << c.x << " >> " << c.shift;
    }

    // Halves away from zero, for either sign of the divisor.
    EXPECT_EQ(V3i(3, -3, 2), rounddiv3D(V3i(5, -5, 4), 2));
    EXPECT_EQ(V3i(-3, 3, -2), rounddiv3D(V3i(5, -5, 4), -2));
    EXPECT_EQ(V3i(2, -2, 2), rounddiv3D(V3i(6, -6, 7), 4));
    EXPECT_EQ(V3i(-2, 2, -2), rounddiv3D(V3i(6, -6, 7), -4));
    EXPECT_EQ(V3i(0, 0, 0), rounddiv3D(V3i(1, -1, 0), 3));
    EXPECT_EQ(V3i(1, -1, 0), rounddiv3D(V3i(2, -2, 0), 3));

    // The divisions plain integer arithmetic cannot do end nothing: a zero
    // divisor gives 0, INT_MIN / -1 wraps to itself.
    EXPECT_EQ(V3i(0, 0, 0), rounddiv3D(V3i(5, -5, INT_MIN), 0));
    EXPECT_EQ(V3i(INT_MIN, -7, INT_MAX), rounddiv3D(V3i(INT_MIN, 7, -INT_MAX), -1));
    EXPECT_EQ(INT64_MIN, vela_math::RoundedDivide<int64_t>(INT64_MIN, -1));
    EXPECT_EQ(0, vela_math::RoundedDivide<int64_t>(12, 0));
    EXPECT_EQ(-4, vela_math::RoundedDivide<int64_t>(-7, 2));
    EXPECT_EQ(65536, vela_math::RoundedSqrt(UINT32_MAX));
    EXPECT_EQ(2, vela_math::RoundedSqrt(3));
}

TEST(FixedPointTest, NormalizeIntFPVec3D) {
    struct Case {
        V3i in;
        int shift;
        int length;
        V3i expected;
    };
    const Case cases[] = {
        {V3i(3, 0, 4), 14, 5, V3i(9830, 0, 13107)},
        {V3i(-3, 0, -4), 14, 5, V3i(-9830, 0, -13107)},  // truncation toward zero
        {V3i(0, 0, 0), 14, 0, V3i(0, 0, 0)},
        {V3i(1000, 0, 0), 12, 1000, V3i(4096, 0, 0)},
        {V3i(1, 1, 1), 12, 2, V3i(2048, 2048, 2048)},  // |v| = 1.73 rounds to 2
        {V3i(0, -250, 0), 0, 250, V3i(0, -1, 0)},
    };
    for (const Case& c : cases) {
        V3i v = c.in;
        EXPECT_EQ(c.length, NormalizeIntFPVec3D(v, c.shift)) << c.in;
        EXPECT_EQ(c.expected, v) << c.in;
    }
}

TEST(FixedPointTest, SquaredDifferences) {
    EXPECT_EQ(25, SqrNormDiffFP2(V3i(10, 0, 0), V3i(0, 0, 0), 1, 0));  // (10 + 1) >> 1 = 5
    EXPECT_EQ(25, SqrNormDiffFP2(V3i(-10, 0, 0), V3i(0, 0, 0), 1, 0));
    EXPECT_EQ(25, SqrNormDiffFP2(V3i(-11, 0, 0), V3i(0, 0, 0), 1, 0));  // -5.5 rounds up to -5
    EXPECT_EQ(30, SqrNormDiffFP2(V3i(11, 0, 0), V3i(0, 0, 0), 0, 2));   // 121 / 4 = 30.25
    EXPECT_EQ(21, SqrNormDiffFP2(V3i(9, 1, 0), V3i(0, 0, 0), 0, 2));    // 82 / 4 = 20.5 rounds up
    EXPECT_EQ(50, SqrNormDiffFP(V3i(-3, 4, 5), V3i(0, 0, 0), 0));
    EXPECT_EQ(50, SqrNormDiffFP(V3i(-3, 4, 5), V3i(0, 0, 0), -4));
    EXPECT_EQ(50, SqrNormDiffFP(V3i(7, 10, 15), V3i(10, 6, 10), 0));
}

TEST(FixedPointTest, CrossProductMagnitudes) {
    int out = -1;
    CrossProductMagnitudeSquaredFP(V3i(3, 0, 0), V3i(0, 5, 0), out, 0, 0);
    EXPECT_EQ(225, out);
    CrossProductMagnitudeSquaredFP(V3i(1000, 0, 0), V3i(0, 4096, 0), out, 12, 0);
    EXPECT_EQ(1000000, out);
    CrossProductMagnitudeSquaredFP(V3i(1000, 0, 0), V3i(0, 4096, 0), out, 12, 2);
    EXPECT_EQ(250000, out);
    // Each square is shifted on its own: (1 + 1) >> 1 twice, not (2 + 1) >> 1.
    CrossProductMagnitudeSquaredFP(V3i(1, 1, 0), V3i(0, 0, 1), out, 0, 1);
    EXPECT_EQ(2, out);

    EXPECT_EQ(1000000, CrossProductMagnitudeSquared_Int<int>(V3i(1000, 0, 0), V3i(0, 4096, 0)));
    EXPECT_EQ(1000000, CrossProductMagnitudeSquared_Int<int>(V3i(-1000, 0, 0), V3i(0, 4096, 0)));
    // The largest rounded component that still squares inside 32 bits.
    EXPECT_EQ(8388264, CrossProductMagnitudeSquared_Int<int>(V3i(46340, 0, 0), V3i(0, 256, 0)));
}

TEST(FixedPointTest, CrossProductMagnitudeSaturatesBeyondTheSquarableRange) {
    const int far = std::numeric_limits<int>::max();
    EXPECT_EQ(far, CrossProductMagnitudeSquared_Int<int>(V3i(46341, 0, 0), V3i(0, 256, 0)));
    EXPECT_EQ(far, CrossProductMagnitudeSquared_Int<int>(V3i(-46341, 0, 0), V3i(0, 256, 0)));
    EXPECT_EQ(far, CrossProductMagnitudeSquared_Int<int>(V3i(0, 0, 46341), V3i(256, 0, 0)));
    // 3000 mm from a shift-12 line: a component of 48000, whose square
    // would wrap to a small or negative value.
    EXPECT_EQ(far, CrossProductMagnitudeSquared_Int<int>(V3i(3000, 0, 0), V3i(0, 4096, 0)));
    // Just inside: components of 44800 square and sum inside 32 bits.
    EXPECT_EQ(2800 * 2800, CrossProductMagnitudeSquared_Int<int>(V3i(2800, 0, 0), V3i(0, 4096, 0)));
    EXPECT_EQ(2 * 2800 * 2800, CrossProductMagnitudeSquared_Int<int>(V3i(2800, 2800, 2800), V3i(0, 0, 4096)));
}

TEST(FixedPointTest, ProjectedOnPlane) {
    EXPECT_EQ(V3i(100, 200, 0), ProjectedOnPlane(V3i(100, 200, 300), V3i(0, 0, 16384), 14));
    EXPECT_EQ(V3i(100, 200, 0), ProjectedOnPlane(V3i(100, 200, 300), V3i(0, 0, 1), 0));
    // Normal (1, 0, 1)/sqrt 2 at shift 14: m = 71, each removed component 50.
    EXPECT_EQ(V3i(50, 0, -50), ProjectedOnPlane(V3i(100, 0, 0), V3i(11585, 0, 11585), 14));
}

TEST(FixedPointTest, MatrixConversionAndProduct) {
    const Matrix3X3<float> m(0.5f, -0.5f, 1.5f / 4096, -1.5f / 4096, 1.0f, 0.0f, 0.8660254f, 0.25f, -1.0f);
    Matrix3X3<int> fp;
    MatrixToMatrixFP(fp, m, 4096);
    EXPECT_TRUE(Matrix3X3<int>(2048, -2048, 2, -1, 4096, 0, 3547, 1024, -4096) == fp);

    // Two shift-12 quarter turns about z: a shift-24 half turn.
    Matrix3X3<int> r(0, -4096, 0, 4096, 0, 0, 0, 0, 4096);
    r *= r;
    EXPECT_TRUE(Matrix3X3<int>(-16777216, 0, 0, 0, -16777216, 0, 0, 0, 16777216) == r);
}

TEST(FixedPointTest, Frame3DFP) {
    const Frame3DFP identity(V3i(0, 0, 0), Matrix3X3<int>::Identity());
    EXPECT_TRUE(Matrix3X3<int>::Diagonal(4096) == identity.m_orientation);
    EXPECT_EQ(V3i(10, -3, 7), identity.WorldToFrame(V3i(10, -3, 7)));
    EXPECT_EQ(V3i(10, -3, 7), Frame3DFP().WorldToFrame(V3i(10, -3, 7)));

    // A quarter turn about z, origin rounded half up.
    const Frame3D<float> frame(V3f(100.5f, -20.5f, 2000.4f),
                               Matrix3X3<float>(0.0f, -1.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f));
    Frame3DFP fp;
    fp.FromDouble(frame);
    EXPECT_EQ(V3i(101, -20, 2000), fp.m_origin);
    EXPECT_TRUE(Matrix3X3<int>(0, -4096, 0, 4096, 0, 0, 0, 0, 4096) == fp.m_orientation);
    EXPECT_EQ(V3i(30, -10, 5), fp.WorldToFrame(V3i(111, 10, 2005)));

    // Halves of the shift-12 products round up: 1.5 -> 2, -1.5 -> -1, 0.5 -> 1.
    Frame3DFP half;
    half.m_orientation = Matrix3X3<int>::Diagonal(2048);
    EXPECT_EQ(V3i(2, -1, 1), half.WorldToFrame(V3i(3, -3, 1)));
}

}  // namespace
