#include "QuorLibrary/Math/Matrix2X2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "MatrixTestSupport.h"

namespace {

using matrix_test::MatricesNear;
using M = Matrix2X2<float>;
using S = SymmetricMatrix2X2<float>;
using V2 = Vector2D<float>;

const float kRoot = 0.70710678f;

::testing::AssertionResult VectorsNear(const V2& expected, const V2& actual, double tolerance) {
    if (std::abs(expected.x - actual.x) <= tolerance && std::abs(expected.y - actual.y) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "expected (" << expected << "), got (" << actual << ")";
}

M Reconstruct(const M& U, const V2& sigma, const M& V) {
    M product;
    Algb_ABt(U * M::Diagonal(sigma), V, product);
    return product;
}

TEST(SymmetricMatrix2X2, EigenproblemCases) {
    struct Case {
        S s;
        V2 values;
        M vectors;
    };
    const Case cases[] = {
        {S(2, 0, 1), {2, 1}, M::Identity()},
        {S(1, 0, 2), {2, 1}, M(0, -1, 1, 0)},
        {S(1, 0, 1), {1, 1}, M::Identity()},
        {S(2, 1, 2), {3, 1}, M(kRoot, -kRoot, kRoot, kRoot)},
        {S(), {0, 0}, M::Identity()},
    };
    for (const Case& c : cases) {
        V2 values;
        M vectors;
        c.s.SolveEigenproblem(values, vectors);
        EXPECT_TRUE(VectorsNear(c.values, values, 1e-6)) << c.s.xx << " " << c.s.xy << " " << c.s.yy;
        EXPECT_TRUE(MatricesNear(c.vectors, vectors, 1e-6)) << c.s.xx << " " << c.s.xy << " " << c.s.yy;
    }
    // Matrix2X2 reads m00, m01 and m11 only.
    EXPECT_TRUE(VectorsNear(V2(6.52493f, -3.52493f), M(1, 5, 0, 2).SymmetricMatrixEigenvalues(), 1e-4));
    V2 values;
    M vectors;
    M(1, 5, 123, 2).SymmetricMatrixSolveEigenproblem(values, vectors);
    EXPECT_TRUE(VectorsNear(V2(6.52493f, -3.52493f), values, 1e-4));
}

TEST(SymmetricMatrix2X2, RandomEigenSolutionsAreRotations) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> element(-100.0f, 100.0f);
    for (int trial = 0; trial < 1000; ++trial) {
        const S s(element(rng), trial % 10 == 0 ? 0.0f : element(rng), element(rng));
        V2 values;
        M vectors;
        s.SolveEigenproblem(values, vectors);
        ASSERT_GE(values.x, values.y);
        ASSERT_NEAR(1.0f, vectors.Determinant(), 1e-5f);
        for (int k = 0; k < 2; ++k) {
            const V2 v = vectors.GetColumn(k);
            ASSERT_TRUE(VectorsNear(v * values[k], s * v, 1e-4 * 100)) << trial;
        }
        EXPECT_TRUE(VectorsNear(values, M(s).SymmetricMatrixEigenvalues(), 1e-6 * 100)) << trial;
    }
}

TEST(SymmetricMatrix2X2, InverseFormsDifferOnASingularMatrix) {
    const S singular(1, 0, 0.5f);
    S zeroed = singular;
    zeroed.Invert(0.5f);
    EXPECT_EQ(0.0f, zeroed.xx);
    EXPECT_EQ(0.0f, zeroed.xy);
    EXPECT_EQ(0.0f, zeroed.yy);
    S out(9, 9, 9);
    EXPECT_FALSE(singular.GetInverse(out, 0.5f));
    EXPECT_EQ(9.0f, out.xx);
    EXPECT_EQ(0.0f, singular.Inverse(0.5f).yy);

    const S s(4, 1, 2);
    ASSERT_TRUE(s.GetInverse(out, 1e-6f));
    EXPECT_TRUE(MatricesNear(M::Identity(), M(s) * M(out), 1e-6));
    S inverted = s;
    inverted.Invert(1e-6f);
    EXPECT_EQ(out.xy, inverted.xy);
    EXPECT_EQ(7.0f, s.Determinant());
    EXPECT_EQ(6.0f, s.Trace());
    EXPECT_EQ(2.0f, s.CofactorMatrix().xx);
    EXPECT_EQ(-1.0f, s.CofactorMatrix().xy);
    const V2 v(2, -3);
    EXPECT_EQ(v.Dot(s * v), s.MatrixInnerProduct(v));
    EXPECT_EQ(2.0f, (s - 2.0f).xx);
    EXPECT_EQ(1.0f, (s - 2.0f).xy);
}

TEST(Matrix2X2, AlgebraAndAccess) {
    EXPECT_EQ(0.0f, M().MaxAbs());
    const M m(V2(1, 3), V2(2, 4));
    EXPECT_EQ(2.0f, m.m01);
    EXPECT_EQ(3.0f, m[2]);
    EXPECT_EQ(4.0f, m(1, 1));
    EXPECT_EQ(-2.0f, m.Determinant());
    EXPECT_EQ(5.0f, m.Trace());
    EXPECT_EQ(4.0f, M(1, -4, 2, 3).MaxAbs());
    M squared = m;
    squared *= squared;
    EXPECT_TRUE(MatricesNear(M(7, 10, 15, 22), squared, 0));
    EXPECT_TRUE(MatricesNear(M(7, 10, 15, 22), m * m, 0));
    EXPECT_TRUE(VectorsNear(V2(5, 11), m * V2(1, 2), 0));
    EXPECT_TRUE(VectorsNear(V2(7, 10), m.TransposeTimes(V2(1, 2)), 0));
    M rotated = M::Identity();
    rotated.Rotate90();
    EXPECT_TRUE(MatricesNear(M(0, -1, 1, 0), rotated, 0));
    rotated = m;
    rotated.Rotate90();
    EXPECT_TRUE(MatricesNear(M(0, -1, 1, 0) * m, rotated, 0));
    M swapped = m;
    swapped.SwapColumns();
    EXPECT_TRUE(MatricesNear(M(2, 1, 4, 3), swapped, 0));
    swapped.AddWeighted(2.0f, M::Identity());
    swapped.ScaleColumn(1, 0.5f);
    swapped.Transpose();
    EXPECT_TRUE(MatricesNear(M(4, 4, 0.5f, 2.5f), swapped, 0));
    swapped /= 2.0f;
    swapped *= 4.0f;
    EXPECT_TRUE(MatricesNear(M(8, 8, 1, 5), swapped, 0));
    EXPECT_TRUE(MatricesNear(M(9, 10, 4, 9), swapped + M::Diagonal(1, 4) + M(0, 2, 3, 0), 0));
    EXPECT_TRUE(MatricesNear(M(-8, -8, -1, -5), -swapped, 0));
    EXPECT_TRUE(MatricesNear(M(7, 8, 1, 4), swapped - M::Diagonal(1.0f), 0));
    EXPECT_TRUE(MatricesNear(M(std::cos(0.5f), -std::sin(0.5f), std::sin(0.5f), std::cos(0.5f)), M::Rotation(0.5f), 0));
    M set;
    set.SetToDiagonal(V2(2, 3));
    EXPECT_TRUE(MatricesNear(M(2, 0, 0, 3), set, 0));
    set.SetColumn(0, V2(5, 6));
    EXPECT_TRUE(VectorsNear(V2(5, 6), set.GetColumn(0), 0));
    EXPECT_TRUE(MatricesNear(M(1, 2, 2, 3), M(S(1, 2, 3)), 0));

    M out(9, 9, 9, 9);
    EXPECT_FALSE(M(1, 2, 2, 4).GetInverse(out, 1e-6f));
    EXPECT_TRUE(MatricesNear(M(9, 9, 9, 9), out, 0));
    ASSERT_TRUE(m.GetInverse(out, 1e-6f));
    EXPECT_TRUE(MatricesNear(M::Identity(), m * out, 1e-6));
    S normal;
    m.NormalEquationsMatrix(normal);
    M transposed = m;
    transposed.Transpose();
    EXPECT_TRUE(MatricesNear(transposed * m, M(normal), 0));
}

TEST(Matrix2X2, SingularValueDecompositionCases) {
    M U;
    M V;
    V2 sigma;
    const M quarter(0, -1, 1, 0);
    quarter.ActualSingularValueDecomposition(U, sigma, V, 1e-8f);
    EXPECT_TRUE(VectorsNear(V2(1, 1), sigma, 1e-6));
    EXPECT_TRUE(MatricesNear(M::Identity(), V, 0));
    EXPECT_TRUE(MatricesNear(quarter, U, 1e-6));

    const M mirror = M::Diagonal(1, -1);
    mirror.ActualSingularValueDecomposition(U, sigma, V, 1e-8f);
    EXPECT_TRUE(VectorsNear(V2(1, 1), sigma, 1e-6));
    EXPECT_TRUE(MatricesNear(M::Identity(), V, 0));
    EXPECT_TRUE(MatricesNear(mirror, U, 1e-6));

    M().ActualSingularValueDecomposition(U, sigma, V, 1e-8f);
    EXPECT_EQ(0.0f, sigma.x);
    EXPECT_EQ(0.0f, sigma.y);
    EXPECT_TRUE(MatricesNear(M::Identity(), U, 0));

    for (float angle : {0.3f, 2.0f, -2.9f}) {
        const M rotation = M::Rotation(angle);
        rotation.ActualSingularValueDecomposition(U, sigma, V, 1e-8f);
        EXPECT_TRUE(VectorsNear(V2(1, 1), sigma, 1e-5));
        M product;
        Algb_ABt(U, V, product);
        EXPECT_TRUE(MatricesNear(rotation, product, 1e-5)) << angle;
    }

    M P;
    M::Diagonal(2, 0).GetPseudoInverse(P, 1e-8f);
    EXPECT_TRUE(MatricesNear(M::Diagonal(0.5f, 0), P, 1e-7));
}

TEST(Matrix2X2, SingularValueDecompositionReconstructsRandomMatrices) {
    std::mt19937 rng(8);
    std::uniform_real_distribution<float> element(-10.0f, 10.0f);
    for (int trial = 0; trial < 1000; ++trial) {
        M a(element(rng), element(rng), element(rng), element(rng));
        if (trial % 4 == 0) {
            a.SetColumn(1, a.GetColumn(0) * 0.5f);  // rank 1
        }
        M U;
        M V;
        V2 sigma;
        const float threshold = 1e-5f;
        a.SingularValueDecomposition(U, sigma, V, threshold);
        // A dropped singular value is at most sqrt(threshold) sigma0.
        const double tolerance = 1e-4 * sigma.x + (sigma.y == 0 ? std::sqrt(threshold) * sigma.x : 0.0);
        ASSERT_TRUE(MatricesNear(a, Reconstruct(U, sigma, V), tolerance)) << trial;
        ASSERT_TRUE(sigma.x >= sigma.y && sigma.y >= 0.0f);
        ASSERT_NEAR(1.0f, V.Determinant(), 1e-5f);
        ASSERT_NEAR(a.Determinant() < 0 && sigma.y > 0 ? -1.0f : 1.0f, U.Determinant(), 1e-5f) << trial;
        // The copying form may decompose into the matrix itself.
        M same = a;
        M otherU;
        V2 otherSigma;
        same.SingularValueDecomposition(otherU, otherSigma, same, threshold);
        ASSERT_TRUE(MatricesNear(V, same, 0));
        M P;
        a.GetPseudoInverse(P, threshold);
        ASSERT_TRUE(MatricesNear(a, a * P * a, tolerance)) << trial;
    }
}

TEST(Matrix2X2, IndefinitePolarDecomposition) {
    M R;
    S s;
    const M turn30 = M::Rotation(0.5235988f);
    turn30.IndefinitePolarDecomposition(R, s);
    EXPECT_TRUE(MatricesNear(turn30, R, 1e-6));
    EXPECT_TRUE(MatricesNear(M::Identity(), M(s), 1e-6));

    M(0, -1, 1, 0).IndefinitePolarDecomposition(R, s);
    EXPECT_TRUE(MatricesNear(M(0, -1, 1, 0), R, 0));
    EXPECT_TRUE(MatricesNear(M::Identity(), M(s), 0));

    M::Rotation(2.3561945f).IndefinitePolarDecomposition(R, s);
    EXPECT_TRUE(MatricesNear(M::Rotation(-0.7853982f), R, 1e-6));
    EXPECT_TRUE(MatricesNear(-M::Identity(), M(s), 1e-6));

    std::mt19937 rng(4);
    std::uniform_real_distribution<float> element(-10.0f, 10.0f);
    for (int trial = 0; trial < 100; ++trial) {
        const M a(element(rng), element(rng), element(rng), element(rng));
        a.IndefinitePolarDecomposition(R, s);
        EXPECT_GE(R.m00, 0.0f);
        EXPECT_NEAR(1.0f, R.Determinant(), 1e-5f);
        EXPECT_TRUE(MatricesNear(a, R * M(s), 1e-4)) << trial;
    }
}

TEST(Matrix2X2, FrameFromOneAxisIsARotationOnlyForIndexZero) {
    const M first = M::OrthonormalMatrixFromOneAxis(V2(0.6f, 0.8f), 0);
    EXPECT_TRUE(MatricesNear(M(0.6f, -0.8f, 0.8f, 0.6f), first, 0));
    EXPECT_NEAR(1.0f, first.Determinant(), 1e-6f);
    const M second = M::OrthonormalMatrixFromOneAxis(V2(0.6f, 0.8f), 1);
    EXPECT_TRUE(MatricesNear(M(-0.8f, 0.6f, 0.6f, 0.8f), second, 0));
    EXPECT_NEAR(-1.0f, second.Determinant(), 1e-6f);
}

}  // namespace
