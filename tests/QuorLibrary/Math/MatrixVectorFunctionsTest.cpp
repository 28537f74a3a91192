#include "QuorLibrary/Math/MatrixVectorFunctions.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(MatrixVectorFunctionsTest, AffineShorthands) {
    const Matrix3X3<float> A(1, 2, 0, 0, 1, 0, 0, 0, 2);
    const Vector3D<float> u(1, 1, 1);
    const Vector3D<float> v(1, 2, 3);
    EXPECT_EQ(Vector3D<float>(6, 3, 7), Algb_upAv(u, A, v));
    Vector3D<float> out;
    Algb_upAv(u, A, v, out);
    EXPECT_EQ(Vector3D<float>(6, 3, 7), out);
    Algb_umAv(u, A, v, out);
    EXPECT_EQ(Vector3D<float>(-4, -1, -5), out);
}

TEST(MatrixVectorFunctionsTest, ABAtMatchesFullProduct) {
    const Matrix3X3<float> A(1, 2, 3, -1, 0.5f, 2, 0, 1, -2);
    const SymmetricMatrix3X3<float> S(2, 0.5f, -1, 3, 0.25f, 1);
    const SymmetricMatrix3X3<float> R = Algb_ABAt(A, S);
    const Matrix3X3<float> full = (A * Matrix3X3<float>(S)).MultipliedWithTranspose(A);
    EXPECT_FLOAT_EQ(full(0, 0), R.xx);
    EXPECT_FLOAT_EQ(full(0, 1), R.xy);
    EXPECT_FLOAT_EQ(full(0, 2), R.xz);
    EXPECT_FLOAT_EQ(full(1, 1), R.yy);
    EXPECT_FLOAT_EQ(full(1, 2), R.yz);
    EXPECT_FLOAT_EQ(full(2, 2), R.zz);
    EXPECT_FLOAT_EQ(full(1, 0), full(0, 1));
}

TEST(MatrixVectorFunctionsTest, GramSchmidtGivesOrthonormalColumnsInOrder) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    for (int n = 0; n < 200; ++n) {
        Matrix3X3<float> M(value(rng), value(rng), value(rng), value(rng), value(rng), value(rng), value(rng),
                           value(rng), value(rng));
        const Vector3D<float> first = M.GetColumn(0).Normalized();
        ApplyGramSchmidt(M);
        EXPECT_NEAR(first.x, M(0, 0), 1e-5f);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(1.0f, M.GetColumn(i).MagnitudeSquared(), 1e-3f);
            for (int j = i + 1; j < 3; ++j) {
                EXPECT_NEAR(0.0f, M.GetColumn(i).Dot(M.GetColumn(j)), 1e-3f);
            }
        }
    }
}

TEST(MatrixVectorFunctionsTest, GramSchmidtOfNullFirstColumn) {
    Matrix3X3<float> M(0, 1, 0, 0, 1, 1, 0, 0, 1);
    ApplyGramSchmidt(M);
    EXPECT_EQ(Vector3D<float>(1, 0, 0), M.GetColumn(0));
    EXPECT_NEAR(1.0f, M(1, 1), 1e-6f);
    EXPECT_NEAR(1.0f, M(2, 2), 1e-6f);
}

}  // namespace
