#include "QuorLibrary/Math/Matrix3X3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "MatrixTestSupport.h"

namespace {

using matrix_test::IsRotation;
using matrix_test::MatricesNear;
using matrix_test::VectorsNear;

// pi/2 as the library writes it: the single-precision value.
constexpr float kHalfPiFloat = 1.57079632679489661923f;

template <typename T>
Matrix3X3<T> NaiveProduct(const Matrix3X3<T>& a, const Matrix3X3<T>& b) {
    Matrix3X3<T> p;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            p(r, c) = a(r, 0) * b(0, c) + a(r, 1) * b(1, c) + a(r, 2) * b(2, c);
        }
    }
    return p;
}

template <typename T>
Matrix3X3<T> RandomMatrix(std::mt19937& rng) {
    std::uniform_real_distribution<double> element(-10.0, 10.0);
    Matrix3X3<T> m;
    for (int i = 0; i < 9; ++i) {
        m[i] = static_cast<T>(element(rng));
    }
    return m;
}

template <typename T>
class Matrix3X3Test : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Matrix3X3Test, ElementTypes);

TYPED_TEST(Matrix3X3Test, ConstructionAndAccessFollowRowMajorColumnConventions) {
    using T = TypeParam;
    EXPECT_EQ(Matrix3X3<T>(0, 0, 0, 0, 0, 0, 0, 0, 0), Matrix3X3<T>());
    Matrix3X3<T> identity;
    identity.SetIdentity();
    EXPECT_EQ(Matrix3X3<T>(1, 0, 0, 0, 1, 0, 0, 0, 1), identity);
    EXPECT_EQ(identity, Matrix3X3<T>::Identity());

    // Vectors build columns.
    const Matrix3X3<T> m(Vector3D<T>(1, 4, 7), Vector3D<T>(2, 5, 8), Vector3D<T>(3, 6, 9));
    EXPECT_EQ(Matrix3X3<T>(1, 2, 3, 4, 5, 6, 7, 8, 9), m);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(T(i + 1), m[i]);
        EXPECT_EQ(m[i], m(i / 3, i % 3));
    }
    EXPECT_EQ(Vector3D<T>(4, 5, 6), m.GetRow(1));
    EXPECT_EQ(Vector3D<T>(3, 6, 9), m.GetColumn(2));
    EXPECT_EQ(Vector3D<T>(1, 5, 9), m.GetDiagonal());

    Matrix3X3<T> changed = m;
    changed.SetColumn(0, Vector3D<T>(-1, -2, -3));
    changed.ScaleColumn(1, T(2));
    changed.SetDiagonal(Vector3D<T>(0, 0, 0));
    EXPECT_EQ(Matrix3X3<T>(0, 4, 3, -2, 0, 6, -3, 16, 0), changed);
    changed = changed;
    EXPECT_EQ(Matrix3X3<T>(0, 4, 3, -2, 0, 6, -3, 16, 0), changed);
    changed.Set(T(7));
    EXPECT_EQ(Matrix3X3<T>(7, 7, 7, 7, 7, 7, 7, 7, 7), changed);
    changed.SetZero();
    EXPECT_EQ(Matrix3X3<T>(), changed);

    EXPECT_EQ(Matrix3X3<T>(2, 0, 0, 0, 3, 0, 0, 0, 4), Matrix3X3<T>::Diagonal(Vector3D<T>(2, 3, 4)));
    EXPECT_EQ(Matrix3X3<T>(2, 0, 0, 0, 3, 0, 0, 0, 4), Matrix3X3<T>::Diagonal(2, 3, 4));
    EXPECT_EQ(Matrix3X3<T>(5, 0, 0, 0, 5, 0, 0, 0, 5), Matrix3X3<T>::Diagonal(T(5)));

    Matrix3X3<T> converted;
    converted.FromIntFP(Matrix3X3<int>(4096, -2, 0, 0, 4096, 0, 1, 2, 3));
    EXPECT_EQ(Matrix3X3<T>(4096, -2, 0, 0, 4096, 0, 1, 2, 3), converted);
}

TYPED_TEST(Matrix3X3Test, ScalarOperatorsChangeTheDiagonalOnly) {
    using T = TypeParam;
    EXPECT_EQ(Matrix3X3<T>(-1, 0, 0, 0, -1, 0, 0, 0, -1), Matrix3X3<T>::Identity() - T(2));
    Matrix3X3<T> ones;
    ones.Set(T(1));
    EXPECT_EQ(Matrix3X3<T>(0, 1, 1, 1, 0, 1, 1, 1, 0), ones - T(1));
    EXPECT_EQ(Matrix3X3<T>(3, 1, 1, 1, 3, 1, 1, 1, 3), ones + T(2));
    EXPECT_EQ(Matrix3X3<T>(0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5), ones / T(2));
    Matrix3X3<T> scaled = ones;
    scaled *= T(3);
    EXPECT_EQ(Matrix3X3<T>(3, 3, 3, 3, 3, 3, 3, 3, 3), scaled);
    EXPECT_EQ(Matrix3X3<T>(-3, -3, -3, -3, -3, -3, -3, -3, -3), -scaled);
    EXPECT_EQ(Matrix3X3<T>(4, 4, 4, 4, 4, 4, 4, 4, 4), scaled + ones);
    scaled -= ones;
    EXPECT_EQ(Matrix3X3<T>(2, 2, 2, 2, 2, 2, 2, 2, 2), scaled);
    scaled += ones;
    EXPECT_EQ(Matrix3X3<T>(3, 3, 3, 3, 3, 3, 3, 3, 3), scaled);
}

TYPED_TEST(Matrix3X3Test, ProductsMatchTheDefinitionAndAllowSelfMultiplication) {
    using T = TypeParam;
    std::mt19937 rng(42);
    for (int trial = 0; trial < 50; ++trial) {
        const Matrix3X3<T> a = RandomMatrix<T>(rng);
        const Matrix3X3<T> b = RandomMatrix<T>(rng);
        const Vector3D<T> v(static_cast<T>(trial) - 3, 2, static_cast<T>(-0.5));
        EXPECT_EQ(NaiveProduct(a, b), a * b);
        EXPECT_EQ(NaiveProduct(a, b.Transposed()), a.MultipliedWithTranspose(b));
        Matrix3X3<T> c = a;
        c *= c;
        EXPECT_EQ(NaiveProduct(a, a), c);
        c = a;
        c.MultiplyWithTranspose(c);
        EXPECT_EQ(NaiveProduct(a, a.Transposed()), c);
        EXPECT_EQ(a.Transposed() * v, a.TransposeTimes(v));
        EXPECT_EQ(Vector3D<T>(a.GetRow(0).Dot(v), a.GetRow(1).Dot(v), a.GetRow(2).Dot(v)), a * v);
        EXPECT_TRUE(VectorsNear(b.GetColumn(0).Cross(v), Matrix3X3<T>::CrossProductMatrix(b.GetColumn(0)) * v, 0));
        EXPECT_EQ(Matrix3X3<T>(v * v.x, v * v.y, v * v.z), Matrix3X3<T>::OuterProduct(v));
        // Determinant and adjugate: M adj(M) = det(M) I.
        EXPECT_TRUE(MatricesNear(Matrix3X3<T>::Diagonal(a.Determinant()), a * a.AdjugateMatrix(),
                                 1e-4 * std::max(1.0, std::abs(static_cast<double>(a.Determinant())))));
        EXPECT_EQ(a.CofactorMatrix().Transposed(), a.AdjugateMatrix());
        c = a;
        c.Transpose();
        EXPECT_EQ(a.Transposed(), c);
    }
    // The integer form wraps modulo 2^32 instead of overflowing.
    Matrix3X3<int> big = Matrix3X3<int>::Diagonal(65536);
    big *= big;
    EXPECT_EQ(Matrix3X3<int>(), big);
}

TYPED_TEST(Matrix3X3Test, InverseUsesTheThresholdOnTheDeterminant) {
    using T = TypeParam;
    const Matrix3X3<T> m = Matrix3X3<T>::Diagonal(1, 1, 0.5);
    Matrix3X3<T> inverted = m;
    EXPECT_FALSE(inverted.Invert(T(0.5)));
    EXPECT_EQ(m, inverted);
    EXPECT_EQ(m, m.Inverse(T(0.5)));
    EXPECT_TRUE(inverted.Invert(T(0.25)));
    EXPECT_EQ(Matrix3X3<T>::Diagonal(1, 1, 2), inverted);

    const Matrix3X3<T> a(2, -1, 0, 1, 3, 1, 0, 2, 4);
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::Identity(), a * a.Inverse(T(1e-6)), 1e-6));
    EXPECT_EQ(T(9), a.Trace());
}

TYPED_TEST(Matrix3X3Test, MaxAndMinAbsSkipTheTopLeftElement) {
    using T = TypeParam;
    EXPECT_EQ(T(1), Matrix3X3<T>::Diagonal(5, 1, 1).MaxAbs());
    EXPECT_EQ(T(0), Matrix3X3<T>().MaxAbs());
    EXPECT_EQ(T(9), Matrix3X3<T>(-100, 2, -9, 1, 0.5, 3, 4, 5, -6).MaxAbs());
    EXPECT_EQ(T(0.5), Matrix3X3<T>(0, 2, -9, 1, -0.5, 3, 4, 5, -6).MinAbs());
}

TYPED_TEST(Matrix3X3Test, ComparisonsAndStructureTests) {
    using T = TypeParam;
    const T nan = std::numeric_limits<T>::quiet_NaN();
    EXPECT_TRUE(Matrix3X3<T>(1, 2, 3, 2, 4, 5, 3, 5, 6).IsSymmetric());
    EXPECT_FALSE(Matrix3X3<T>(1, 2, 3, 2, 4, 5, 3.5, 5, 6).IsSymmetric());
    EXPECT_FALSE(Matrix3X3<T>(1, nan, 3, nan, 4, 5, 3, 5, 6).IsSymmetric());
    const Matrix3X3<T> withNan(nan, 0, 0, 0, 1, 0, 0, 0, 1);
    EXPECT_FALSE(withNan == withNan);
    EXPECT_TRUE(withNan != withNan);

    const Matrix3X3<T> rotation = Matrix3X3<T>::ZRotation(T(0.4)) * Matrix3X3<T>::XRotation(T(-1.2));
    EXPECT_TRUE(rotation.IsOrthonormal());
    Matrix3X3<T> stretched = rotation;
    stretched.ScaleColumn(1, T(2));
    EXPECT_TRUE(stretched.IsOrthogonal());
    EXPECT_FALSE(stretched.IsOrthonormal());
    EXPECT_FALSE(Matrix3X3<T>(1, 0.01, 0, 0, 1, 0, 0, 0, 1).IsOrthogonal());
}

TYPED_TEST(Matrix3X3Test, ElementaryRotationsAndDerivatives) {
    using T = TypeParam;
    const T a = T(0.7);
    const T c = std::cos(a);
    const T s = std::sin(a);
    EXPECT_EQ(Matrix3X3<T>(1, 0, 0, 0, c, -s, 0, s, c), Matrix3X3<T>::XRotation(a));
    EXPECT_EQ(Matrix3X3<T>(c, 0, s, 0, 1, 0, -s, 0, c), Matrix3X3<T>::YRotation(a));
    EXPECT_EQ(Matrix3X3<T>(c, -s, 0, s, c, 0, 0, 0, 1), Matrix3X3<T>::ZRotation(a));
    EXPECT_EQ(Matrix3X3<T>(0, 0, 0, 0, -s, -c, 0, c, -s), Matrix3X3<T>::XRotationDerivative(a));
    EXPECT_EQ(Matrix3X3<T>(-s, 0, c, 0, 0, 0, -c, 0, -s), Matrix3X3<T>::YRotationDerivative(a));
    EXPECT_EQ(Matrix3X3<T>(-s, -c, 0, c, -s, 0, 0, 0, 0), Matrix3X3<T>::ZRotationDerivative(a));

    // Right-handed: a quarter turn about z takes x to y.
    EXPECT_TRUE(VectorsNear(Vector3D<T>(0, 1, 0), Matrix3X3<T>::ZRotation(T(kHalfPiFloat)) * Vector3D<T>(1, 0, 0),
                            1e-6));
    const Vector3D<T> axis = Vector3D<T>(1, 2, 2) / T(3);
    const Matrix3X3<T> turn = Matrix3X3<T>::AxialRotation(axis, T(1.1));
    EXPECT_TRUE(IsRotation(turn, 1e-6));
    EXPECT_TRUE(VectorsNear(axis, turn * axis, 1e-6));
    EXPECT_NEAR(1.1, static_cast<double>(turn.GetRotationAngle()), 1e-6);
    EXPECT_NEAR(std::cos(1.1), static_cast<double>(turn.GetRotationCosineAngle()), 1e-6);
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::ZRotation(T(0.3)),
                             Matrix3X3<T>::AxialRotation(Vector3D<T>(0, 0, 1), T(0.3)), 1e-6));
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::XRotation(T(0.2)) * Matrix3X3<T>::ZRotation(T(-0.9)),
                             Matrix3X3<T>::PitchRollMatrix(T(0.2), T(-0.9)), 1e-6));
}

TYPED_TEST(Matrix3X3Test, EulerConventionsComposeElementaryRotations) {
    using T = TypeParam;
    const T x = T(0.3), y = T(-0.7), z = T(1.1);
    const Matrix3X3<T> fixed = Matrix3X3<T>::FixedXYZRotation(x, y, z);
    const Matrix3X3<T> moving = Matrix3X3<T>::MovingXYZRotation(x, y, z);
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::ZRotation(z) * Matrix3X3<T>::YRotation(y) * Matrix3X3<T>::XRotation(x),
                             fixed, 1e-6));
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::XRotation(x) * Matrix3X3<T>::YRotation(y) * Matrix3X3<T>::ZRotation(z),
                             moving, 1e-6));
    EXPECT_EQ(moving, Matrix3X3<T>::FixedZYXRotation(x, y, z));
    EXPECT_EQ(fixed, Matrix3X3<T>::MovingZYXRotation(x, y, z));
    EXPECT_EQ(fixed, Matrix3X3<T>::FixedXYZRotation(Vector3D<T>(x, y, z)));
    EXPECT_EQ(moving, Matrix3X3<T>::MovingXYZRotation(Vector3D<T>(x, y, z)));

    Vector3D<T> angles;
    fixed.GetFixedXYZRotationAngles(angles);
    EXPECT_TRUE(VectorsNear(Vector3D<T>(x, y, z), angles, 1e-6));
    fixed.GetMovingZYXRotationAngles(angles);
    EXPECT_TRUE(VectorsNear(Vector3D<T>(x, y, z), angles, 1e-6));
    moving.GetMovingXYZRotationAngles(angles);
    EXPECT_TRUE(VectorsNear(Vector3D<T>(x, y, z), angles, 1e-6));

    // Random angles round-trip through the matrix.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> angle(-3.1, 3.1);
    std::uniform_real_distribution<double> pitch(-1.5, 1.5);
    for (int trial = 0; trial < 200; ++trial) {
        const Vector3D<T> v(static_cast<T>(angle(rng)), static_cast<T>(pitch(rng)), static_cast<T>(angle(rng)));
        Matrix3X3<T>::FixedXYZRotation(v).GetFixedXYZRotationAngles(angles);
        EXPECT_TRUE(VectorsNear(v, angles, 1e-4)) << trial;
        Matrix3X3<T>::MovingXYZRotation(v).GetMovingXYZRotationAngles(angles);
        EXPECT_TRUE(VectorsNear(v, angles, 1e-4)) << trial;
    }
}

TEST(Matrix3X3Angles, GimbalLockPutsTheWholeTurnIntoX) {
    const double halfPi = 1.5707963267948966;
    double x = 9, y = 9, z = 9;
    Matrix3X3<double>::FixedXYZRotation(0.3, halfPi, 1.1).GetFixedXYZRotationAngles(x, y, z);
    EXPECT_NEAR(-0.8, x, 1e-12);
    EXPECT_EQ(1.5707963705062866, y);
    EXPECT_EQ(0.0, z);
    Matrix3X3<double>::FixedXYZRotation(0.3, -halfPi, 1.1).GetFixedXYZRotationAngles(x, y, z);
    EXPECT_NEAR(1.4, x, 1e-12);
    EXPECT_EQ(-1.5707963705062866, y);
    EXPECT_EQ(0.0, z);
    Matrix3X3<double>::MovingXYZRotation(0.3, halfPi, 1.1).GetMovingXYZRotationAngles(x, y, z);
    EXPECT_NEAR(1.4, x, 1e-12);
    EXPECT_EQ(1.5707963705062866, y);
    EXPECT_EQ(0.0, z);
    EXPECT_TRUE(std::signbit(z));
    Matrix3X3<double>::MovingXYZRotation(0.3, -halfPi, 1.1).GetMovingXYZRotationAngles(x, y, z);
    EXPECT_NEAR(-0.8, x, 1e-12);
    EXPECT_EQ(-1.5707963705062866, y);
    EXPECT_TRUE(std::signbit(z));
}

// In float the single-precision pi/2 leaves cos(y) near 4e-8, far above the
// gimbal threshold: the angles come back in another form that still builds
// the same matrix.
TEST(Matrix3X3Angles, SinglePrecisionHalfPiRoundTripsThroughTheMatrix) {
    for (float sign : {1.0f, -1.0f}) {
        const Matrix3X3<float> fixed = Matrix3X3<float>::FixedXYZRotation(0.3f, sign * kHalfPiFloat, 1.1f);
        Vector3D<float> angles;
        fixed.GetFixedXYZRotationAngles(angles);
        EXPECT_TRUE(MatricesNear(fixed, Matrix3X3<float>::FixedXYZRotation(angles), 1e-6)) << angles;
        EXPECT_NEAR(sign * kHalfPiFloat, angles.y, 1e-6);
        const Matrix3X3<float> moving = Matrix3X3<float>::MovingXYZRotation(0.3f, sign * kHalfPiFloat, 1.1f);
        moving.GetMovingXYZRotationAngles(angles);
        EXPECT_TRUE(MatricesNear(moving, Matrix3X3<float>::MovingXYZRotation(angles), 1e-6)) << angles;
    }
}

TEST(Matrix3X3Angles, FixedXYZDerivativeIsTheJacobian) {
    const Vector3D<double> angles(0.4, -1.0, 2.3);
    const Vector3D<double> p(3.0, -2.0, 5.0);
    const Matrix3X3<double> jacobian = Matrix3X3<double>::FixedXYZRotationDerivative(angles, p);
    const double h = 1e-6;
    for (int k = 0; k < 3; ++k) {
        Vector3D<double> plus = angles;
        Vector3D<double> minus = angles;
        plus[k] += h;
        minus[k] -= h;
        const Vector3D<double> numeric = (Matrix3X3<double>::FixedXYZRotation(plus) * p -
                                          Matrix3X3<double>::FixedXYZRotation(minus) * p) /
                                         (2 * h);
        EXPECT_TRUE(VectorsNear(numeric, jacobian.GetColumn(k), 1e-8)) << k;
    }
    EXPECT_EQ(jacobian, Matrix3X3<double>::MovingZYXRotationDerivative(angles, p));
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(0.0f, Matrix3X3<float>::FixedXYZRotationDerivative(Vector3D<float>(1, 2, 3),
                                                                 Vector3D<float>(inf, -7, 1e30f))(2, 2));
}

TYPED_TEST(Matrix3X3Test, RotationAngleClampsItsCosine) {
    using T = TypeParam;
    const T above = T(1) + std::numeric_limits<T>::epsilon() * 4;
    EXPECT_EQ(T(0), Matrix3X3<T>::Diagonal(above, above, above).GetRotationAngle());
    EXPECT_EQ(static_cast<T>(std::acos(T(-1))), Matrix3X3<T>::Diagonal(-1, -1, T(-1.01)).GetRotationAngle());
    EXPECT_LT(Matrix3X3<T>::Diagonal(-1, -1, T(-1.01)).GetRotationCosineAngle(), T(-1));
}

TYPED_TEST(Matrix3X3Test, HalfTurnsAndCrossProductColumns) {
    using T = TypeParam;
    const Matrix3X3<T> m(1, 2, 3, 4, 5, 6, 7, 8, 9);
    Matrix3X3<T> r = m;
    r.Rotate180AroundX();
    EXPECT_EQ(m * Matrix3X3<T>::Diagonal(1, -1, -1), r);
    r = m;
    r.Rotate180AroundY();
    EXPECT_EQ(m * Matrix3X3<T>::Diagonal(-1, 1, -1), r);
    r = m;
    r.Rotate180AroundZ();
    EXPECT_EQ(m * Matrix3X3<T>::Diagonal(-1, -1, 1), r);

    const Matrix3X3<T> rotation = Matrix3X3<T>::FixedXYZRotation(T(0.2), T(0.5), T(-1));
    for (int i = 0; i < 3; ++i) {
        Matrix3X3<T> filled = rotation;
        filled.SetColumn(i, Vector3D<T>(0, 0, 0));
        filled.FillColumnUsingCrossProduct(i);
        EXPECT_TRUE(MatricesNear(rotation, filled, 1e-6)) << i;
    }
}

TYPED_TEST(Matrix3X3Test, FramesFromOneAxis) {
    using T = TypeParam;
    struct Case {
        Vector3D<T> axis;
        int index;
        Matrix3X3<T> expected;
    };
    const Case cases[] = {
        {{0, 0, 1}, 0, {0, -1, 0, 0, 0, -1, 1, 0, 0}},
        {{1, 0, 0}, 0, {1, 0, 0, 0, -1, 0, 0, 0, -1}},
        {{0, 1, 0}, 1, {0, 0, 1, 0, 1, 0, -1, 0, 0}},
        {{1, 0, 0}, 7, {1, 0, 0, 0, -1, 0, 0, 0, -1}},  // any other index acts as 0
    };
    for (const Case& c : cases) {
        const Matrix3X3<T> frame = Matrix3X3<T>::OrthonormalMatrixFromOneAxis(c.axis, c.index);
        EXPECT_TRUE(MatricesNear(c.expected, frame, 1e-6)) << c.axis << " index " << c.index;
        EXPECT_NEAR(1.0, static_cast<double>(frame.Determinant()), 1e-6);
    }
    const Vector3D<T> axis = Vector3D<T>(2, -3, 6) / T(7);
    for (int index = 0; index < 3; ++index) {
        const Matrix3X3<T> frame = Matrix3X3<T>::OrthonormalMatrixFromOneAxis(axis, index);
        EXPECT_TRUE(IsRotation(frame, 1e-6)) << index;
        EXPECT_TRUE(VectorsNear(axis, frame.GetColumn(index), 0)) << index;
    }
}

TYPED_TEST(Matrix3X3Test, FramesFromTwoDirections) {
    using T = TypeParam;
    const Matrix3X3<T> marker(9, 9, 9, 9, 9, 9, 9, 9, 9);
    Matrix3X3<T> out = marker;
    EXPECT_FALSE(Matrix3X3<T>::OrthonormalMatrixFromTwoDirections(Vector3D<T>(1, 2, 3), Vector3D<T>(-2, -4, -6), out,
                                                                  T(1e-6)));
    EXPECT_EQ(marker, out);
    ASSERT_TRUE(Matrix3X3<T>::OrthonormalMatrixFromTwoDirections(Vector3D<T>(2, 0, 0), Vector3D<T>(0, 5, 0), out,
                                                                 T(1e-6)));
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::Identity(), out, 1e-6));

    const Vector3D<T> d1 = Vector3D<T>(1, 1, 0);
    const Vector3D<T> d2 = Vector3D<T>(0, 1, 1);
    ASSERT_TRUE(Matrix3X3<T>::OrthonormalMatrixFromTwoDirections(d1, d2, out, T(1e-6)));
    EXPECT_TRUE(IsRotation(out, 1e-6));
    EXPECT_NEAR(0.0, static_cast<double>(d1.Cross(out.GetColumn(0)).MagnitudeSquared()), 1e-12);
    EXPECT_GT(out.GetColumn(1).Dot(d2), T(0));
    EXPECT_NEAR(0.0, static_cast<double>(out.GetColumn(2).Dot(d2)), 1e-6);
}

TEST(Matrix3X3FixedPoint, TransposeTimesRoundsIntegerVectors) {
    const Matrix3X3<float> q12 = Matrix3X3<float>::Diagonal(4096.0f);
    EXPECT_EQ(Vector3D<int>(1, 2, 3), q12.TransposeTimes(Vector3D<int>(1, 2, 3), 2048, 12));
    // Truncation toward zero happens before the arithmetic shift.
    EXPECT_EQ(Vector3D<int>(-1, 0, 0), Matrix3X3<float>::Identity().TransposeTimes(Vector3D<int>(-3, 0, 0), 1, 1));
    EXPECT_EQ(Vector3D<int>(3, 7, -5),
              Matrix3X3<float>(0, 1, 0, 1, 0, 0, 0, 0, -1).TransposeTimes(Vector3D<int>(7, 3, 5), 0, 0));
}

}  // namespace
