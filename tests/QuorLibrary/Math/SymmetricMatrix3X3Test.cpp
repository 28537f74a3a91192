#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "QuorLibrary/Math/Matrix3X3.h"
#include "MatrixTestSupport.h"

namespace {

using matrix_test::IsRotation;
using matrix_test::MatricesNear;
using matrix_test::VectorsNear;

template <typename T>
double Precision();
template <>
double Precision<float>() {
    return 2e-4;
}
template <>
double Precision<double>() {
    return 1e-8;  // the QL bound 2^-30 holds in double too
}

// The eigen results of S: A v = lambda v for each column, eigenvalues in
// descending order, a rotation as eigenvector matrix. Tolerances are relative
// to the largest element.
template <typename T>
::testing::AssertionResult IsEigenSolution(const SymmetricMatrix3X3<T>& s, const Vector3D<T>& values,
                                           const Matrix3X3<T>& vectors) {
    const double size = std::max(static_cast<double>(s.MaxAbs()), std::numeric_limits<double>::min());
    const double tolerance = Precision<T>() * size;
    if (!(values.x >= values.y && values.y >= values.z)) {
        return ::testing::AssertionFailure() << "eigenvalues not descending: " << values;
    }
    const ::testing::AssertionResult rotation = IsRotation(vectors, 4 * Precision<T>());
    if (!rotation) {
        return rotation;
    }
    for (int k = 0; k < 3; ++k) {
        const Vector3D<T> v = vectors.GetColumn(k);
        const ::testing::AssertionResult near = VectorsNear(v * values[k], s * v, tolerance);
        if (!near) {
            return ::testing::AssertionFailure() << "column " << k << ": " << near.message();
        }
    }
    return ::testing::AssertionSuccess();
}

template <typename T>
class SymmetricMatrix3X3Test : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(SymmetricMatrix3X3Test, ElementTypes);

TYPED_TEST(SymmetricMatrix3X3Test, RandomMatricesGiveRightHandedDescendingEigenSolutions) {
    using T = TypeParam;
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> element(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-20, 20);
    for (int trial = 0; trial < 2000; ++trial) {
        SymmetricMatrix3X3<T> s;
        if (trial % 2 == 0) {
            // Dense random elements over a range of magnitudes.
            const double scale = std::ldexp(1.0, exponent(rng));
            s = SymmetricMatrix3X3<T>(static_cast<T>(element(rng) * scale), static_cast<T>(element(rng) * scale),
                                      static_cast<T>(element(rng) * scale), static_cast<T>(element(rng) * scale),
                                      static_cast<T>(element(rng) * scale), static_cast<T>(element(rng) * scale));
        } else {
            // A rotated diagonal, often with a repeated eigenvalue.
            const Matrix3X3<double> r = matrix_test::RandomRotation<double>(rng);
            const double a = element(rng) * 100.0;
            const double b = trial % 4 == 1 ? a : element(rng) * 100.0;
            const double c = trial % 8 == 3 ? b : element(rng) * 100.0;
            const Matrix3X3<double> full = r * Matrix3X3<double>::Diagonal(a, b, c) * r.Transposed();
            s = SymmetricMatrix3X3<T>(static_cast<T>(full.m00), static_cast<T>(full.m01), static_cast<T>(full.m02),
                                      static_cast<T>(full.m11), static_cast<T>(full.m12), static_cast<T>(full.m22));
        }
        Vector3D<T> values;
        Matrix3X3<T> vectors;
        s.SolveEigenproblem(values, vectors, static_cast<T>(1e-8));
        ASSERT_TRUE(IsEigenSolution(s, values, vectors)) << "trial " << trial;
        s.SolveEigenproblemNoScaling(values, vectors);
        ASSERT_TRUE(IsEigenSolution(s, values, vectors)) << "trial " << trial << " without scaling";
        EXPECT_EQ(values, s.GetEigenvaluesNoScaling());
    }
}

// The sign conventions that later subsystems rely on.
TYPED_TEST(SymmetricMatrix3X3Test, DocumentedCasesKeepTheirColumnsAndSigns) {
    using T = TypeParam;
    const T r = static_cast<T>(std::sqrt(0.5));
    struct Case {
        SymmetricMatrix3X3<T> s;
        Vector3D<T> values;
        Matrix3X3<T> vectors;  // expected columns
    };
    const Case cases[] = {
        {SymmetricMatrix3X3<T>(), {0, 0, 0}, Matrix3X3<T>::Identity()},
        {SymmetricMatrix3X3<T>::Identity(), {1, 1, 1}, Matrix3X3<T>::Identity()},
        {SymmetricMatrix3X3<T>(1, 0, 0, 3, 0, 2), {3, 2, 1}, Matrix3X3<T>({0, 1, 0}, {0, 0, 1}, {1, 0, 0})},
        // The sort leaves a left-handed matrix; the third column is negated.
        {SymmetricMatrix3X3<T>(3, 0, 0, 1, 0, 2), {3, 2, 1}, Matrix3X3<T>({1, 0, 0}, {0, 0, 1}, {0, -1, 0})},
        // QL leaves (0, 0, 1) last and the determinant rule negates it.
        {SymmetricMatrix3X3<T>(2, 1, 0, 2, 0, 1), {3, 1, 1}, Matrix3X3<T>({r, r, 0}, {r, -r, 0}, {0, 0, -1})},
    };
    for (const Case& c : cases) {
        Vector3D<T> values;
        Matrix3X3<T> vectors;
        c.s.SolveEigenproblem(values, vectors);
        EXPECT_TRUE(VectorsNear(c.values, values, 1e-5)) << c.s.xx << " " << c.s.yy << " " << c.s.zz;
        EXPECT_TRUE(MatricesNear(c.vectors, vectors, 1e-6)) << c.s.xx << " " << c.s.yy << " " << c.s.zz;
        EXPECT_NEAR(1.0, static_cast<double>(vectors.Determinant()), 1e-6);
    }
}

TYPED_TEST(SymmetricMatrix3X3Test, ScalingDecomposesTheMatrixBroughtToALargestElementOf1000) {
    using T = TypeParam;
    const SymmetricMatrix3X3<T> big(2000, -300, 125, 700, 51, -1500);
    SymmetricMatrix3X3<T> half = big;
    half *= T(0.5);
    Vector3D<T> bigValues;
    Vector3D<T> halfValues;
    Matrix3X3<T> bigVectors;
    Matrix3X3<T> halfVectors;
    big.SolveEigenproblem(bigValues, bigVectors);
    half.SolveEigenproblem(halfValues, halfVectors);
    // Both runs decompose the same scaled copy: identical bits.
    EXPECT_EQ(halfVectors, bigVectors);
    EXPECT_EQ(halfValues * T(2), bigValues);
    EXPECT_EQ(bigValues, big.GetEigenvalues());
}

TYPED_TEST(SymmetricMatrix3X3Test, SingleEigenproblemFindsLineDirectionAndPlaneNormal) {
    using T = TypeParam;
    const Vector3D<T> direction = Vector3D<T>(2, -1, 3) / static_cast<T>(std::sqrt(14.0));
    const Vector3D<T> u = Vector3D<T>(1, 2, 0) / static_cast<T>(std::sqrt(5.0));
    const Vector3D<T> w = direction.Cross(u);
    SymmetricMatrix3X3<T> line;
    SymmetricMatrix3X3<T> plane;
    for (int i = -5; i <= 5; ++i) {
        line.AddOuterProduct(direction * static_cast<T>(i * 40));
        for (int j = -5; j <= 5; ++j) {
            plane.AddOuterProduct(u * static_cast<T>(i * 30) + w * static_cast<T>(j * 20));
        }
    }
    Vector3D<T> values;
    Vector3D<T> vector;
    line.SolveSingleEigenproblem(0, values, vector);
    EXPECT_NEAR(1.0, std::abs(static_cast<double>(vector.Dot(direction))), 1e-6);
    plane.SolveSingleEigenproblem(2, values, vector);
    EXPECT_NEAR(1.0, std::abs(static_cast<double>(vector.Dot(direction))), 1e-6);
    EXPECT_NEAR(0.0, static_cast<double>(values.z), 1e-6 * static_cast<double>(values.x));
}

TYPED_TEST(SymmetricMatrix3X3Test, EigenvectorsFromGivenEigenvaluesCopeWithRepeats) {
    using T = TypeParam;
    std::mt19937 rng(7);
    const Matrix3X3<double> r = matrix_test::RandomRotation<double>(rng);
    const double diagonals[][3] = {{5, 2, -1}, {5, 5, -1}, {5, -1, -1}, {4, 4, 4}};
    for (const auto& diagonal : diagonals) {
        const Matrix3X3<double> full =
            r * Matrix3X3<double>::Diagonal(diagonal[0], diagonal[1], diagonal[2]) * r.Transposed();
        const SymmetricMatrix3X3<T> s(static_cast<T>(full.m00), static_cast<T>(full.m01), static_cast<T>(full.m02),
                                      static_cast<T>(full.m11), static_cast<T>(full.m12), static_cast<T>(full.m22));
        const Vector3D<T> values(static_cast<T>(diagonal[0]), static_cast<T>(diagonal[1]),
                                 static_cast<T>(diagonal[2]));
        Matrix3X3<T> vectors;
        s.GetEigenvectors(values, vectors, static_cast<T>(1e-4));
        EXPECT_TRUE(IsEigenSolution(s, values, vectors)) << diagonal[0] << " " << diagonal[1] << " " << diagonal[2];
        if (diagonal[0] == diagonal[2]) {
            EXPECT_EQ(Matrix3X3<T>::Identity(), vectors);
        }
    }
    // A simple eigenvalue: the adjugate row is an eigenvector.
    const SymmetricMatrix3X3<T> s(4, 1, 0, 3, 1, 2);
    Vector3D<T> values;
    Matrix3X3<T> vectors;
    s.SolveEigenproblem(values, vectors);
    for (int k = 0; k < 3; ++k) {
        Vector3D<T> v;
        s.GetEigenvector(values[k], v);
        EXPECT_NEAR(1.0, std::abs(static_cast<double>(v.Dot(vectors.GetColumn(k)))), 1e-5) << k;
    }
}

// Matrices with couplings far below the diagonal (subnormal Householder
// scales, shifts whose ratio overflows) used to end in values that are not
// numbers; the decomposition now returns a true eigen solution for them.
TEST(SymmetricMatrix3X3Extremes, TinyCouplingsGiveFiniteEigenSolutions) {
    const float tiny = std::numeric_limits<float>::denorm_min();
    const SymmetricMatrix3X3<float> cases[] = {
        {tiny, tiny, 2 * tiny, 2.8f, 550.0f, 1.6f},
        {-1.6e-20f, 1.4e-20f, 1.1e-38f, 1.2e20f, 1.5f, 750.0f},
        {1.5e19f, 1.4e-20f, 1.0f, 2.6f, 1e-20f, 1.6e-38f},
        {-1.5f, 2 * tiny, -1.3f, 1.1e-19f, 2 * tiny, 1.5e-38f},
        {0.0f, 1e-30f, 0.0f, 1000.0f, 0.0f, 500.0f},
    };
    for (const SymmetricMatrix3X3<float>& s : cases) {
        Vector3D<float> values;
        Matrix3X3<float> vectors;
        s.SolveEigenproblem(values, vectors);
        EXPECT_TRUE(IsEigenSolution(s, values, vectors)) << s.xx << " " << s.xy << " " << s.yy;
        const SymmetricMatrix3X3<double> d(s.xx, s.xy, s.xz, s.yy, s.yz, s.zz);
        Vector3D<double> doubleValues;
        Matrix3X3<double> doubleVectors;
        d.SolveEigenproblemNoScaling(doubleValues, doubleVectors);
        EXPECT_TRUE(IsEigenSolution(d, doubleValues, doubleVectors)) << s.xx << " " << s.xy << " " << s.yy;
    }
}

TEST(SymmetricMatrix3X3Extremes, TinyCouplingsInDoublePrecision) {
    const double tiny = std::numeric_limits<double>::denorm_min();
    const SymmetricMatrix3X3<double> cases[] = {
        {0.0, 1e-300, 0.0, 1000.0, 0.0, 500.0},
        {tiny, tiny, 2 * tiny, 2.8, 550.0, 1.6},
    };
    for (const SymmetricMatrix3X3<double>& s : cases) {
        Vector3D<double> values;
        Matrix3X3<double> vectors;
        s.SolveEigenproblem(values, vectors);
        EXPECT_TRUE(IsEigenSolution(s, values, vectors)) << s.xx << " " << s.xy << " " << s.yy;
    }
    const SymmetricMatrix3X3<double> subnormal(-tiny, tiny, 2 * tiny, 0.0, -tiny, 3 * tiny);
    Vector3D<double> values;
    Matrix3X3<double> vectors;
    subnormal.SolveEigenproblem(values, vectors);
    EXPECT_TRUE(std::isfinite(values.x) && std::isfinite(values.y) && std::isfinite(values.z)) << values;
    EXPECT_TRUE(IsRotation(vectors, 1e-6));
}

// A largest element below 1000 / max(float) cannot be brought to 1000; it is
// scaled as far as float allows instead of by an infinite factor.
TEST(SymmetricMatrix3X3Extremes, SubnormalMatricesAreScaledAsFarAsPossible) {
    const float tiny = std::numeric_limits<float>::denorm_min();
    const SymmetricMatrix3X3<float> subnormal(-tiny, tiny, 2 * tiny, 0.0f, -tiny, 3 * tiny);
    const SymmetricMatrix3X3<float> whole(-1, 1, 2, 0, -1, 3);
    Vector3D<float> values;
    Vector3D<float> wholeValues;
    Matrix3X3<float> vectors;
    Matrix3X3<float> wholeVectors;
    subnormal.SolveEigenproblem(values, vectors);
    whole.SolveEigenproblem(wholeValues, wholeVectors);
    EXPECT_TRUE(std::isfinite(values.x) && std::isfinite(values.y) && std::isfinite(values.z)) << values;
    EXPECT_TRUE(MatricesNear(wholeVectors, vectors, 1e-4));
    // Without scaling the arithmetic is coarse but stays finite.
    subnormal.SolveEigenproblemNoScaling(values, vectors);
    EXPECT_TRUE(std::isfinite(values.x) && std::isfinite(values.y) && std::isfinite(values.z)) << values;
    for (int i = 0; i < 9; ++i) {
        EXPECT_TRUE(std::isfinite(vectors[i])) << i;
    }
}

TEST(SymmetricMatrix3X3Extremes, NotANumberEndsTheIteration) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Vector3D<float> values;
    Matrix3X3<float> vectors;
    SymmetricMatrix3X3<float>(1.0f, nan, 0.0f, 2.0f, 0.0f, 3.0f).SolveEigenproblem(values, vectors);
    EXPECT_TRUE(std::isnan(values.x) || std::isnan(values.y) || std::isnan(values.z)) << values;
}

TYPED_TEST(SymmetricMatrix3X3Test, InverseFormsFollowTheThreshold) {
    using T = TypeParam;
    const SymmetricMatrix3X3<T> singular(1, 0, 0, 1, 0, static_cast<T>(0.001));
    const SymmetricMatrix3X3<T> marker(9, 9, 9, 9, 9, 9);
    SymmetricMatrix3X3<T> out = marker;
    EXPECT_FALSE(singular.GetInverse(out, static_cast<T>(0.001)));
    EXPECT_EQ(marker, out);
    EXPECT_EQ(SymmetricMatrix3X3<T>(), singular.Inverse(static_cast<T>(0.001)));
    SymmetricMatrix3X3<T> inverted = singular;
    inverted.Invert(static_cast<T>(0.001));
    EXPECT_EQ(SymmetricMatrix3X3<T>(), inverted);

    const SymmetricMatrix3X3<T> s(4, 1, -2, 3, 0.5, 6);
    ASSERT_TRUE(s.GetInverse(out, static_cast<T>(1e-6)));
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::Identity(), Matrix3X3<T>(s) * Matrix3X3<T>(out), 1e-6));
    inverted = s;
    inverted.Invert(static_cast<T>(1e-6));
    EXPECT_EQ(out, inverted);
}

TYPED_TEST(SymmetricMatrix3X3Test, AlgebraAgreesWithTheFullMatrix) {
    using T = TypeParam;
    const SymmetricMatrix3X3<T> s(4, 1, -2, 3, 0.5, 6);
    const Matrix3X3<T> full(s);
    const Vector3D<T> v(0.5, -2, 3);
    EXPECT_TRUE(VectorsNear(full * v, s * v, 1e-12));
    EXPECT_NEAR(static_cast<double>(v.Dot(full * v)), static_cast<double>(s.MatrixInnerProduct(v)), 1e-5);
    EXPECT_NEAR(static_cast<double>(full.Determinant()), static_cast<double>(s.Determinant()), 1e-5);
    EXPECT_TRUE(MatricesNear(full.CofactorMatrix(), Matrix3X3<T>(s.CofactorMatrix()), 1e-12));
    EXPECT_EQ(T(13), s.Trace());
    EXPECT_EQ(T(6), s.MaxAbs());

    // Subtracting a scalar touches the diagonal only.
    EXPECT_EQ(SymmetricMatrix3X3<T>(-1, 0, 0, -1, 0, -1), SymmetricMatrix3X3<T>::Identity() - T(2));
    EXPECT_EQ(SymmetricMatrix3X3<T>(2, 1, -2, 1, 0.5, 4), s - T(2));

    SymmetricMatrix3X3<T> outer;
    outer.AddOuterProduct(v);
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::OuterProduct(v), Matrix3X3<T>(outer), 0));
    outer.AddWeightedOuterProduct(T(-2), v);
    outer.AddOuterProduct(v);
    EXPECT_EQ(SymmetricMatrix3X3<T>(), outer);
    outer.SubtractOuterProduct(v);
    EXPECT_EQ(SymmetricMatrix3X3<T>(-0.25, 1, -1.5, -4, 6, -9), outer);

    SymmetricMatrix3X3<T> scaled = s;
    scaled.PreAndPostMultiplyWithDiagonalMatrix(v);
    const Matrix3X3<T> d = Matrix3X3<T>::Diagonal(v);
    EXPECT_TRUE(MatricesNear(d * full * d, Matrix3X3<T>(scaled), 1e-12));

    EXPECT_EQ(SymmetricMatrix3X3<T>(5, 1, -2, 4, 0.5, 7), s + SymmetricMatrix3X3<T>::Identity());
    EXPECT_EQ(SymmetricMatrix3X3<T>(2, 0, 0, 3, 0, 4), SymmetricMatrix3X3<T>::Diagonal(Vector3D<T>(2, 3, 4)));
}

TYPED_TEST(SymmetricMatrix3X3Test, LargestColumnPrefersTheLaterColumnOnTies) {
    using T = TypeParam;
    EXPECT_EQ(Vector3D<T>(1, 0, 0), SymmetricMatrix3X3<T>().LargestColumnNormalized());
    EXPECT_TRUE(VectorsNear(Vector3D<T>(0, 0, 1), SymmetricMatrix3X3<T>::Identity().LargestColumnNormalized(), 1e-6));
    EXPECT_TRUE(VectorsNear(Vector3D<T>(0, 0.6, 0.8), SymmetricMatrix3X3<T>(1, 0, 0, 3, 4, 0).LargestColumnNormalized(),
                            1e-6));
}

}  // namespace
