#include "QuorLibrary/Math/BasicFunctions.h"
#include "QuorLibrary/Math/VectorND.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(BasicFunctionsTest, RoundedIntegerDistancesAndRoots) {
    EXPECT_EQ(1, NormDiff_Int(Vector3D<int>(0, 0, 0), Vector3D<int>(1, 1, 0)));
    EXPECT_EQ(2, NormDiff_Int(Vector3D<int>(0, 0, 0), Vector3D<int>(1, 1, 1)));
    EXPECT_EQ(5, NormDiff_Int(Vector3D<int>(10, 20, 30), Vector3D<int>(13, 24, 30)));
    // 50 m apart: the squared distance passes 2^31 and must not turn negative.
    EXPECT_EQ(50000, NormDiff_Int(Vector3D<int>(-25000, 0, 0), Vector3D<int>(25000, 0, 0)));

    EXPECT_EQ(0, Sqrt_Int_2(0));
    EXPECT_EQ(1, Sqrt_Int_2(2));
    EXPECT_EQ(2, Sqrt_Int_2(3));
    EXPECT_EQ(65536, Sqrt_Int_2(4294967295u));
}

TEST(BasicFunctionsTest, DistancesAndUnitDifference) {
    EXPECT_FLOAT_EQ(5.0f, NormDiff(Vector3D<float>(3, 0, 4), Vector3D<float>(0, 0, 0)));
    const Vector3D<float> u = UnitDiff(Vector3D<float>(1, 2, 10), Vector3D<float>(1, 2, 6));
    EXPECT_NEAR(1.0f, u.z, 1e-6f);
    EXPECT_EQ(Vector3D<float>(1, 0, 0), UnitDiff(Vector3D<float>(4, 5, 6), Vector3D<float>(4, 5, 6)));
}

TEST(BasicFunctionsTest, CrossProductsAndDeterminant) {
    EXPECT_FLOAT_EQ(36.0f, CrossProductMagnitudeSquared(Vector3D<float>(2, 0, 0), Vector3D<float>(0, 3, 0)));
    EXPECT_EQ(36, CrossProductMagnitudeSquared(Vector3D<int>(2, 0, 0), Vector3D<int>(0, 3, 5)) - 100);
    EXPECT_EQ(1, Determinant(Vector3D<int>(1, 0, 0), Vector3D<int>(0, 1, 0), Vector3D<int>(0, 0, 1)));
    EXPECT_EQ(0, Determinant(Vector3D<int>(1, 2, 3), Vector3D<int>(4, 5, 6), Vector3D<int>(1, 2, 3)));
    EXPECT_EQ(-1, Determinant(Vector3D<int>(0, 1, 0), Vector3D<int>(1, 0, 0), Vector3D<int>(0, 0, 1)));
}

TEST(BasicFunctionsTest, SafeAcosClampsItsArgument) {
    EXPECT_EQ(0.0f, SafeAcos(1.0000001f));
    EXPECT_FLOAT_EQ(3.14159265f, SafeAcos(-2.0f));
    EXPECT_FLOAT_EQ(std::acos(0.3f), SafeAcos(0.3f));
}

TEST(VectorNDTest, ZeroedElementsDeepCopiesAndResize) {
    VectorND<float> v(3);
    ASSERT_EQ(3, v.Size());
    EXPECT_EQ(0.0f, v[0]);
    EXPECT_EQ(0.0f, v[2]);
    v[1] = 2.5f;

    VectorND<float> copy(v);
    v[1] = 0.0f;
    EXPECT_EQ(2.5f, copy[1]);

    VectorND<float> other(9);
    other = copy;
    EXPECT_EQ(3, other.Size());
    EXPECT_EQ(2.5f, other[1]);
    other = other;
    EXPECT_EQ(2.5f, other[1]);

    VectorND<int> empty;
    EXPECT_EQ(0, empty.Size());
    EXPECT_EQ(nullptr, empty.Data());
}

}  // namespace
