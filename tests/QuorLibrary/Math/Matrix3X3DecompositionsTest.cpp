#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "MatrixTestSupport.h"

namespace {

using matrix_test::IsRotation;
using matrix_test::MatricesNear;
using matrix_test::VectorsNear;

template <typename T>
double Precision();
template <>
double Precision<float>() {
    return 1e-4;
}
template <>
double Precision<double>() {
    return 1e-9;
}

// The relative threshold that separates a rank: float loses about 1e-7 of
// the largest eigenvalue of A^T A, so its zero eigenvalues need a wider cut.
template <typename T>
T RankThreshold() {
    return sizeof(T) == sizeof(float) ? static_cast<T>(1e-5) : static_cast<T>(1e-8);
}

template <typename T>
Matrix3X3<T> Round(const Matrix3X3<double>& m) {
    Matrix3X3<T> out;
    for (int i = 0; i < 9; ++i) {
        out[i] = static_cast<T>(m[i]);
    }
    return out;
}

// A random matrix of the given rank with singular values between 1 and 100.
template <typename T>
Matrix3X3<T> RandomMatrixOfRank(std::mt19937& rng, int rank) {
    std::uniform_real_distribution<double> value(1.0, 100.0);
    double sigma[3] = {0, 0, 0};
    for (int k = 0; k < rank; ++k) {
        sigma[k] = value(rng);
    }
    const Matrix3X3<double> u = matrix_test::RandomRotation<double>(rng);
    Matrix3X3<double> v = matrix_test::RandomRotation<double>(rng);
    if (rng() % 2 == 0) {
        v.ScaleColumn(0, -1.0);  // a negative determinant
    }
    return Round<T>(u * Matrix3X3<double>::Diagonal(sigma[0], sigma[1], sigma[2]) * v.Transposed());
}

template <typename T>
Matrix3X3<T> Reconstruct(const Matrix3X3<T>& U, const Vector3D<T>& sigma, const Matrix3X3<T>& V) {
    return U * Matrix3X3<T>::Diagonal(sigma) * V.Transposed();
}

template <typename T>
class Matrix3X3DecompositionTest : public ::testing::Test {};
using ElementTypes = ::testing::Types<float, double>;
TYPED_TEST_SUITE(Matrix3X3DecompositionTest, ElementTypes);

TYPED_TEST(Matrix3X3DecompositionTest, SingularValueDecompositionReconstructsRandomMatricesOfEveryRank) {
    using T = TypeParam;
    std::mt19937 rng(3141);
    for (int rank = 1; rank <= 3; ++rank) {
        for (int trial = 0; trial < 300; ++trial) {
            const Matrix3X3<T> a = RandomMatrixOfRank<T>(rng, rank);
            Matrix3X3<T> U;
            Matrix3X3<T> V;
            Vector3D<T> sigma;
            a.SingularValueDecomposition(U, sigma, V, RankThreshold<T>());
            ASSERT_TRUE(MatricesNear(a, Reconstruct(U, sigma, V), 100 * Precision<T>()))
                << "rank " << rank << " trial " << trial;
            ASSERT_TRUE(sigma.x >= sigma.y && sigma.y >= sigma.z && sigma.z >= 0) << sigma;
            ASSERT_TRUE(IsRotation(V, 10 * Precision<T>()));
            if (rank == 3 && a.Determinant() < 0) {
                // All three kept with a negative determinant: U reflects.
                Matrix3X3<T> reflected = U;
                reflected.ScaleColumn(2, T(-1));
                ASSERT_TRUE(IsRotation(reflected, 10 * Precision<T>()));
            } else {
                ASSERT_TRUE(IsRotation(U, 10 * Precision<T>())) << "rank " << rank << " trial " << trial;
            }
            if (rank < 3) {
                // Dropped singular values are exactly 0.
                ASSERT_EQ(T(0), sigma.z);
                if (rank == 1) {
                    ASSERT_EQ(T(0), sigma.y);
                }
            }
        }
    }
}

TYPED_TEST(Matrix3X3DecompositionTest, SingularValueDecompositionEdgeCases) {
    using T = TypeParam;
    Matrix3X3<T> U;
    Matrix3X3<T> V;
    Vector3D<T> sigma;
    for (T threshold : {T(0), static_cast<T>(1e-8), T(0.5)}) {
        Matrix3X3<T>().ActualSingularValueDecomposition(U, sigma, V, threshold);
        EXPECT_EQ(Vector3D<T>(0, 0, 0), sigma);
        EXPECT_EQ(Matrix3X3<T>::Identity(), U);
    }
    const Matrix3X3<T> positive = Matrix3X3<T>::Diagonal(3, 2, 1);
    positive.ActualSingularValueDecomposition(U, sigma, V, static_cast<T>(1e-8));
    EXPECT_TRUE(VectorsNear(Vector3D<T>(3, 2, 1), sigma, 1e-6));
    EXPECT_TRUE(MatricesNear(positive, Reconstruct(U, sigma, V), 1e-5));
    const Matrix3X3<T> negative = Matrix3X3<T>::Diagonal(3, 2, -1);
    negative.ActualSingularValueDecomposition(U, sigma, V, static_cast<T>(1e-8));
    EXPECT_TRUE(VectorsNear(Vector3D<T>(3, 2, 1), sigma, 1e-6));
    EXPECT_NEAR(-1.0, static_cast<double>(U.Determinant()), 1e-6);
    EXPECT_TRUE(MatricesNear(negative, Reconstruct(U, sigma, V), 1e-5));
}

TEST(Matrix3X3Decomposition, RankOneOfOnesInDoublePrecision) {
    Matrix3X3<double> ones;
    ones.Set(1.0);
    Matrix3X3<double> U;
    Matrix3X3<double> V;
    Vector3D<double> sigma;
    ones.ActualSingularValueDecomposition(U, sigma, V, 1e-8);
    EXPECT_TRUE(VectorsNear(Vector3D<double>(3, 0, 0), sigma, 1e-12));
    const double third = 1.0 / std::sqrt(3.0);
    EXPECT_NEAR(1.0, std::abs(U.GetColumn(0).Dot(Vector3D<double>(third, third, third))), 1e-12);
    const Vector3D<double> u1 = U.GetColumn(1);
    EXPECT_TRUE(u1.x == 0 || u1.y == 0 || u1.z == 0) << u1;
    EXPECT_TRUE(IsRotation(U, 1e-12));
    EXPECT_TRUE(MatricesNear(ones, Reconstruct(U, sigma, V), 1e-12));
}

// The decomposed matrix may also be one of the outputs.
TYPED_TEST(Matrix3X3DecompositionTest, DecompositionIntoItselfGivesTheSameResult) {
    using T = TypeParam;
    const Matrix3X3<T> a(2, -1, 4, 0.5, 3, 1, -2, 2, 5);
    Matrix3X3<T> U;
    Matrix3X3<T> V;
    Vector3D<T> sigma;
    a.ActualSingularValueDecomposition(U, sigma, V, static_cast<T>(1e-8));
    Matrix3X3<T> intoU = a;
    Matrix3X3<T> otherV;
    Vector3D<T> otherSigma;
    intoU.ActualSingularValueDecomposition(intoU, otherSigma, otherV, static_cast<T>(1e-8));
    EXPECT_EQ(U, intoU);
    EXPECT_EQ(V, otherV);
    Matrix3X3<T> intoV = a;
    Matrix3X3<T> otherU;
    intoV.SingularValueDecomposition(otherU, otherSigma, intoV, static_cast<T>(1e-8));
    EXPECT_EQ(U, otherU);
    EXPECT_EQ(V, intoV);
    EXPECT_EQ(sigma, otherSigma);
}

TYPED_TEST(Matrix3X3DecompositionTest, PseudoInverseSatisfiesTheMoorePenroseIdentities) {
    using T = TypeParam;
    EXPECT_TRUE(MatricesNear(Matrix3X3<T>::Diagonal(0.5, 0, 0),
                             Matrix3X3<T>::Diagonal(2, 0, 0).PseudoInverse(static_cast<T>(1e-8)), 1e-7));
    const Matrix3X3<T> invertible(2, -1, 0, 1, 3, 1, 0, 2, 4);
    EXPECT_TRUE(MatricesNear(invertible.Inverse(static_cast<T>(1e-6)),
                             invertible.PseudoInverse(static_cast<T>(1e-8)), 10 * Precision<T>()));
    std::mt19937 rng(99);
    for (int rank = 1; rank <= 3; ++rank) {
        for (int trial = 0; trial < 20; ++trial) {
            const Matrix3X3<T> a = RandomMatrixOfRank<T>(rng, rank);
            const Matrix3X3<T> p = a.PseudoInverse(RankThreshold<T>());
            EXPECT_TRUE(MatricesNear(a, a * p * a, 200 * Precision<T>())) << rank;
            EXPECT_TRUE(MatricesNear(p, p * a * p, 10 * Precision<T>())) << rank;
            const Matrix3X3<T> ap = a * p;
            const Matrix3X3<T> pa = p * a;
            EXPECT_TRUE(MatricesNear(ap, ap.Transposed(), 10 * Precision<T>())) << rank;
            EXPECT_TRUE(MatricesNear(pa, pa.Transposed(), 10 * Precision<T>())) << rank;
        }
    }
}

TYPED_TEST(Matrix3X3DecompositionTest, PolarDecompositionSeparatesRotationAndStretch) {
    using T = TypeParam;
    std::mt19937 rng(17);
    const Matrix3X3<T> rotation = matrix_test::RandomRotation<T>(rng);
    const Matrix3X3<T> stretched = rotation * Matrix3X3<T>::Diagonal(2, 3, 4);
    EXPECT_TRUE(MatricesNear(rotation, stretched.PolarDecompositionRotationPart(), 10 * Precision<T>()));

    // A negative determinant gives a reflection, not a rotation.
    const Matrix3X3<T> mirror = Matrix3X3<T>::Diagonal(1, 1, -1);
    EXPECT_TRUE(MatricesNear(mirror, mirror.PolarDecompositionRotationPart(), 1e-6));

    for (int trial = 0; trial < 50; ++trial) {
        const Matrix3X3<T> a = RandomMatrixOfRank<T>(rng, 3);
        Matrix3X3<T> R;
        Matrix3X3<T> V;
        Vector3D<T> sigma;
        a.PolarDecompositionRotationAndScale(R, sigma, V);
        const Matrix3X3<T> stretch = V * Matrix3X3<T>::Diagonal(sigma) * V.Transposed();
        EXPECT_TRUE(MatricesNear(a, R * stretch, 100 * Precision<T>()));
        EXPECT_EQ(R, a.PolarDecompositionRotationPart());
        Matrix3X3<T> proper = R;
        if (a.Determinant() < 0) {
            EXPECT_LT(R.Determinant(), T(0));
            proper.ScaleColumn(0, T(-1));
        }
        EXPECT_TRUE(IsRotation(proper, 10 * Precision<T>()));
    }
}

TEST(Matrix3X3Eigenvalues, CubicFormulaCases) {
    double d[3] = {7, 7, 7};
    ASSERT_EQ(3, Matrix3X3<double>::Diagonal(3, 2, 1).GetEigenvalues(d));
    // The single-precision angle offsets show in double.
    EXPECT_NEAR(3.0, d[0], 1e-12);
    EXPECT_NEAR(2.00000013, d[1], 1e-8);
    EXPECT_NEAR(0.99999997, d[2], 1e-8);
    float f[3] = {7, 7, 7};
    ASSERT_EQ(3, Matrix3X3<float>::Diagonal(3, 2, 1).GetEigenvalues(f));
    EXPECT_NEAR(3.0f, f[0], 1e-5);
    EXPECT_NEAR(2.0f, f[1], 1e-5);
    EXPECT_NEAR(1.0f, f[2], 1e-5);

    // A multiple of the identity reports one eigenvalue and leaves the rest.
    float e0 = 7, e1 = 7, e2 = 7;
    ASSERT_EQ(1, Matrix3X3<float>::Identity().GetEigenvalues(e0, e1, e2));
    EXPECT_NEAR(1.0f, e0, 1e-2);  // cubic roots amplify float rounding near a triple root
    EXPECT_EQ(7.0f, e1);
    EXPECT_EQ(7.0f, e2);
    double g0 = 7, g1 = 7, g2 = 7;
    ASSERT_EQ(1, Matrix3X3<double>::Identity().GetEigenvaluesNoScaling(g0, g1, g2));
    EXPECT_EQ(1.0, g0);
    EXPECT_EQ(7.0, g1);

    // Complex pair: one real eigenvalue.
    Vector3D<float> values(7, 7, 7);
    ASSERT_EQ(1, Matrix3X3<float>(0, -1, 0, 1, 0, 0, 0, 0, 1).GetEigenvalues(values));
    EXPECT_NEAR(1.0f, values.x, 1e-5);
    EXPECT_EQ(7.0f, values.y);
}

// MaxAbs skips m00, so diag(10, 2, 1) is scaled by 1000/2 = 500.
TEST(Matrix3X3Eigenvalues, ScalingIgnoresTheTopLeftElement) {
    float scaled[3];
    ASSERT_EQ(3, Matrix3X3<float>::Diagonal(10, 2, 1).GetEigenvaluesWithScaling(scaled[0], scaled[1], scaled[2]));
    EXPECT_TRUE(VectorsNear(Vector3D<float>(10, 2, 1), Vector3D<float>(scaled[0], scaled[1], scaled[2]), 1e-5));
    float plain[3];
    ASSERT_EQ(3, Matrix3X3<float>::Diagonal(5000, 1000, 500).GetEigenvaluesNoScaling(plain[0], plain[1], plain[2]));
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(plain[k] * (1.0f / 500.0f), scaled[k]) << k;
    }
}

// Where the specified scale overflows the float cubic (m00, which the scale
// leaves out, far above the rest: a covariance stretched along x) or is
// infinite (a tiny matrix), the eigenvalues come from a copy scaled by all
// nine elements and solved in double, instead of three NaNs.
TEST(Matrix3X3Eigenvalues, ExtremeScalesFallBackToTheWholeMatrix) {
    const Matrix3X3<double> stretched(1e5, 2, 1, 2, 3, 0.5, 1, 0.5, 1);
    const auto scaledBase = [](double s) {
        Matrix3X3<double> m(3, 0.5, 0, 0.5, 2, 0.25, 0, 0.25, 1);
        m *= s;
        return m;
    };
    struct Case {
        const char* name;
        Matrix3X3<double> m;
    };
    const Case cases[] = {
        {"m00 dwarfs the rest", stretched},
        {"m00 just past the overflow", Matrix3X3<double>(9000, 1, 0, 1, 1, 0, 0, 0, 0.5)},
        {"tiny", scaledBase(1e-38)},
        {"subnormal", scaledBase(1e-41)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Matrix3X3<float> m;
        Matrix3X3<double> rounded;
        for (int i = 0; i < 9; ++i) {
            m[i] = static_cast<float>(c.m[i]);
            rounded[i] = m[i];
        }
        double expected[3];
        ASSERT_EQ(3, rounded.GetEigenvalues(expected));
        float values[3];
        ASSERT_EQ(3, m.GetEigenvalues(values));
        for (int k = 0; k < 3; ++k) {
            ASSERT_TRUE(std::isfinite(values[k])) << k;
            EXPECT_NEAR(expected[k], values[k], 1e-5 * std::abs(expected[0])) << k;
        }
    }
}

TYPED_TEST(Matrix3X3DecompositionTest, EigenvectorsOfGeneralMatrices) {
    using T = TypeParam;
    EXPECT_TRUE(VectorsNear(Vector3D<T>(1, 0, 0), Matrix3X3<T>::Diagonal(3, 2, 1).GetEigenvector(T(3)), 1e-6));
    EXPECT_EQ(Vector3D<T>(1, 0, 0), Matrix3X3<T>::Identity().GetEigenvector(T(1)));
    // A non-symmetric matrix with real eigenvalues 4, 2, -1.
    std::mt19937 rng(23);
    Matrix3X3<double> basis;
    do {
        for (int i = 0; i < 9; ++i) {
            basis[i] = std::uniform_real_distribution<double>(-1, 1)(rng);
        }
    } while (std::abs(basis.Determinant()) < 0.2);
    const Matrix3X3<T> a = Round<T>(basis * Matrix3X3<double>::Diagonal(4, 2, -1) * basis.Inverse(1e-12));
    T values[3];
    ASSERT_EQ(3, a.GetEigenvalues(values));
    EXPECT_NEAR(4.0, static_cast<double>(values[0]), 1e-3);
    EXPECT_NEAR(2.0, static_cast<double>(values[1]), 1e-3);
    EXPECT_NEAR(-1.0, static_cast<double>(values[2]), 1e-3);
    for (T lambda : values) {
        const Vector3D<T> v = a.GetEigenvector(lambda);
        EXPECT_NEAR(1.0, static_cast<double>(v.MagnitudeSquared()), 1e-5);
        EXPECT_TRUE(VectorsNear(v * lambda, a * v, 1e-3)) << lambda;
    }
}

TYPED_TEST(Matrix3X3DecompositionTest, SymmetricConversionsAndNormalEquations) {
    using T = TypeParam;
    const Matrix3X3<T> a(1, 2, 3, -4, 5, 6, 7, -8, 9);
    EXPECT_EQ(SymmetricMatrix3X3<T>(1, 2, 3, 5, 6, 9), a.ToSymmetricMatrix());
    EXPECT_EQ(Matrix3X3<T>(1, 2, 3, 2, 5, 6, 3, 6, 9), Matrix3X3<T>(a.ToSymmetricMatrix()));
    EXPECT_EQ(Matrix3X3<T>(a.NormalEquationsMatrix()), a.Transposed() * a);

    EXPECT_EQ(Vector3D<T>(1, 0, 0), Matrix3X3<T>().LargestColumnNormalized());
    EXPECT_TRUE(VectorsNear(Vector3D<T>(0, 0, 1), Matrix3X3<T>::Identity().LargestColumnNormalized(), 1e-6));
    EXPECT_TRUE(VectorsNear(Vector3D<T>(0.6, 0, -0.8), Matrix3X3<T>(0, 1, 3, 0, 1, 0, 0, 1, -4).LargestColumnNormalized(),
                            1e-6));
}

// A column whose squared length is a float denormal is treated as null, as
// Normalize treats it, instead of becoming (NaN, -inf, NaN).
TEST(Matrix3X3Decomposition, DenormalLengthsNormaliseToUnitX) {
    const Matrix3X3<float> tiny(0, 0, 0, 0, 1e-20f, 0, 0, 0, 0);
    EXPECT_EQ(Vector3D<float>(1, 0, 0), tiny.LargestColumnNormalized());
    EXPECT_EQ(Vector3D<float>(1, 0, 0), tiny.ToSymmetricMatrix().LargestColumnNormalized());
    // The adjugate of diag(3, 2, 1)e-10 - 1e-10 I has one row of length 2e-20.
    Vector3D<float> v;
    SymmetricMatrix3X3<float>::Diagonal(Vector3D<float>(3e-10f, 2e-10f, 1e-10f)).GetEigenvector(1e-10f, v);
    EXPECT_EQ(Vector3D<float>(1, 0, 0), v);
}

}  // namespace
