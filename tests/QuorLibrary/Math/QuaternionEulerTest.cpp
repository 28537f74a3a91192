// Euler-angle conventions of the rotation matrices, alone and through the
// quaternion form in which orientations are reported.

#include "QuorLibrary/Math/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

const double kSinglePrecisionHalfPi = 1.5707963705062866;  // pi/2 as a float, widened

template <typename T>
void ExpectAnglesNear(const Vector3D<T>& expected, const Vector3D<T>& actual, double tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

template <typename T>
void ExpectMatrixNear(const Matrix3X3<T>& expected, const Matrix3X3<T>& actual, double tolerance) {
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(expected[i], actual[i], tolerance) << "element " << i;
    }
}

TEST(EulerAnglesTest, FixedAndMovingConventionsRoundTrip) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> outer(-3.1, 3.1);
    std::uniform_real_distribution<double> middle(-1.55, 1.55);
    for (int i = 0; i < 300; ++i) {
        const Vector3D<double> angles(outer(rng), middle(rng), outer(rng));
        Vector3D<double> back;
        Matrix3X3<double>::FixedXYZRotation(angles).GetFixedXYZRotationAngles(back);
        ExpectAnglesNear(angles, back, 1e-9);
        Matrix3X3<double>::MovingXYZRotation(angles).GetMovingXYZRotationAngles(back);
        ExpectAnglesNear(angles, back, 1e-9);

        const Vector3D<float> anglesF(static_cast<float>(angles.x), static_cast<float>(angles.y),
                                      static_cast<float>(angles.z));
        Vector3D<float> backF;
        Matrix3X3<float>::FixedXYZRotation(anglesF).GetFixedXYZRotationAngles(backF);
        ExpectAnglesNear(anglesF, backF, 2e-4);
        Matrix3X3<float>::MovingXYZRotation(anglesF).GetMovingXYZRotationAngles(backF);
        ExpectAnglesNear(anglesF, backF, 2e-4);
    }
    // A fixed example in both precisions.
    Vector3D<double> back;
    Matrix3X3<double>::FixedXYZRotation(0.3, -0.7, 1.1).GetFixedXYZRotationAngles(back);
    ExpectAnglesNear(Vector3D<double>(0.3, -0.7, 1.1), back, 1e-12);
    Vector3D<float> backF;
    Matrix3X3<float>::FixedXYZRotation(0.3f, -0.7f, 1.1f).GetFixedXYZRotationAngles(backF);
    ExpectAnglesNear(Vector3D<float>(0.3f, -0.7f, 1.1f), backF, 1e-5);
}

// The fixed X-Y-Z turns are the moving Z-Y-X turns, and the other way round.
TEST(EulerAnglesTest, FixedAndMovingOrdersAreEachOthersReverse) {
    const Matrix3X3<float> fixedXYZ = Matrix3X3<float>::FixedXYZRotation(0.3f, -0.7f, 1.1f);
    const Matrix3X3<float> product =
        Matrix3X3<float>::ZRotation(1.1f) * Matrix3X3<float>::YRotation(-0.7f) * Matrix3X3<float>::XRotation(0.3f);
    ExpectMatrixNear(product, fixedXYZ, 1e-6);
    EXPECT_TRUE(Matrix3X3<float>::MovingZYXRotation(0.3f, -0.7f, 1.1f) == fixedXYZ);
    const Matrix3X3<float> movingXYZ = Matrix3X3<float>::MovingXYZRotation(0.3f, -0.7f, 1.1f);
    ExpectMatrixNear(Matrix3X3<float>::XRotation(0.3f) * Matrix3X3<float>::YRotation(-0.7f) *
                         Matrix3X3<float>::ZRotation(1.1f),
                     movingXYZ, 1e-6);
    EXPECT_TRUE(Matrix3X3<float>::FixedZYXRotation(0.3f, -0.7f, 1.1f) == movingXYZ);
}

// At y = +-pi/2 only x - z (or x + z) is defined: z comes back 0, x takes
// the whole turn, and y is pi/2 as a single-precision value even in double.
TEST(EulerAnglesTest, GimbalLockReturnsSinglePrecisionHalfPi) {
    const double halfPi = std::acos(0.0);
    double x = 0;
    double y = 0;
    double z = 0;
    // Locked angles rebuild the same matrix (up to the float pi/2).
    for (double b : {halfPi, -halfPi}) {
        const Matrix3X3<double> fixed = Matrix3X3<double>::FixedXYZRotation(0.3, b, 1.1);
        fixed.GetFixedXYZRotationAngles(x, y, z);
        EXPECT_EQ(b > 0 ? kSinglePrecisionHalfPi : -kSinglePrecisionHalfPi, y);
        EXPECT_EQ(0.0, z);
        ExpectMatrixNear(fixed, Matrix3X3<double>::FixedXYZRotation(x, y, z), 1e-7);
        const Matrix3X3<double> moving = Matrix3X3<double>::MovingXYZRotation(0.3, b, 1.1);
        moving.GetMovingXYZRotationAngles(x, y, z);
        EXPECT_EQ(b > 0 ? kSinglePrecisionHalfPi : -kSinglePrecisionHalfPi, y);
        EXPECT_TRUE(std::signbit(z));
        ExpectMatrixNear(moving, Matrix3X3<double>::MovingXYZRotation(x, y, z), 1e-7);
    }

    // In float, cos(pi/2) is -4.4e-8, far above the lock threshold, so only
    // an exactly built matrix locks: Rz(z) Ry(+-pi/2) Rx(x) written out.
    const float s = std::sin(0.5f);
    const float c = std::cos(0.5f);
    float xf = 0;
    float yf = 0;
    float zf = 0;
    Matrix3X3<float>(0, s, c, 0, c, -s, -1, 0, 0).GetFixedXYZRotationAngles(xf, yf, zf);
    EXPECT_NEAR(0.5f, xf, 1e-7f);
    EXPECT_EQ(1.5707964f, yf);
    EXPECT_EQ(0.0f, zf);
    Matrix3X3<float>(0, -s, -c, 0, c, -s, 1, 0, 0).GetFixedXYZRotationAngles(xf, yf, zf);
    EXPECT_NEAR(0.5f, xf, 1e-7f);
    EXPECT_EQ(-1.5707964f, yf);
    EXPECT_EQ(0.0f, zf);
}

// Euler angles -> matrix -> quaternion -> matrix -> Euler angles.
TEST(EulerAnglesTest, RoundTripThroughQuaternions) {
    std::mt19937 rng(32);
    std::uniform_real_distribution<float> outer(-3.1f, 3.1f);
    std::uniform_real_distribution<float> middle(-1.5f, 1.5f);
    for (int i = 0; i < 300; ++i) {
        const float ax = outer(rng);
        const float ay = middle(rng);
        const float az = outer(rng);
        const Vector3D<float> angles(ax, ay, az);
        const Matrix3X3<float> R = Matrix3X3<float>::FixedXYZRotation(angles);
        const Quaternion<float> q = Quaternion<float>::FromMatrix(R);
        ExpectMatrixNear(R, q.ToMatrix(), 2e-5);
        Vector3D<float> back;
        q.ToMatrix().GetFixedXYZRotationAngles(back);
        ExpectAnglesNear(angles, back, 5e-4);

        // The same rotation composed from three axis-angle quaternions.
        const Quaternion<float> composed = Quaternion<float>(az, Vector3D<float>(0, 0, 1)) *
                                           Quaternion<float>(ay, Vector3D<float>(0, 1, 0)) *
                                           Quaternion<float>(ax, Vector3D<float>(1, 0, 0));
        ExpectMatrixNear(R, composed.ToMatrix(), 2e-5);
    }
    // At the lock the quaternion still carries the rotation. (The float
    // angles read back from such a matrix are not checked: cos(pi/2) in float
    // lies far above the lock threshold, so x and z come from elements that
    // are rounding noise.)
    for (float b : {1.5707964f, -1.5707964f}) {
        const Matrix3X3<float> R = Matrix3X3<float>::FixedXYZRotation(0.3f, b, 1.1f);
        ExpectMatrixNear(R, Quaternion<float>::FromMatrix(R).ToMatrix(), 2e-6);
    }
    const Matrix3X3<float> locked(0, std::sin(0.5f), std::cos(0.5f), 0, std::cos(0.5f), -std::sin(0.5f), -1, 0, 0);
    ExpectMatrixNear(locked, Quaternion<float>::FromMatrix(locked).ToMatrix(), 2e-6);
}

}  // namespace
