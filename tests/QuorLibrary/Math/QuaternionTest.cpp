#include "QuorLibrary/Math/Quaternion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

void ExpectNear3(const Vector3D<float>& expected, const Vector3D<float>& actual, float tolerance) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

void ExpectQuaternionNear(const Quaternion<float>& expected, const Quaternion<float>& actual, float tolerance) {
    EXPECT_NEAR(expected.w, actual.w, tolerance);
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

void ExpectMatrixNear(const Matrix3X3<float>& expected, const Matrix3X3<float>& actual, float tolerance) {
    for (int i = 0; i < 9; ++i) {
        EXPECT_NEAR(expected[i], actual[i], tolerance) << "element " << i;
    }
}

Vector3D<float> RandomUnit(std::mt19937& rng) {
    std::normal_distribution<float> normal(0.0f, 1.0f);
    const float x = normal(rng);
    const float y = normal(rng);
    const float z = normal(rng);
    return Vector3D<float>(x, y, z).Normalized();
}

Quaternion<float> RandomUnitQuaternion(std::mt19937& rng) {
    std::normal_distribution<float> normal(0.0f, 1.0f);
    const double w = normal(rng);
    const double x = normal(rng);
    const double y = normal(rng);
    const double z = normal(rng);
    const double length = std::sqrt(w * w + x * x + y * y + z * z);
    return Quaternion<float>(float(w / length), float(x / length), float(y / length), float(z / length));
}

TEST(QuaternionTest, AngleAxisConstruction) {
    const Quaternion<float> q(1.5707964f, Vector3D<float>(0, 0, 2));
    EXPECT_FLOAT_EQ(std::cos(0.78539819f), q.w);
    EXPECT_EQ(0.0f, q.x);
    EXPECT_EQ(0.0f, q.y);
    EXPECT_FLOAT_EQ(std::sin(0.78539819f), q.z);
    ExpectNear3(Vector3D<float>(0, 1, 0), q.ToMatrix() * Vector3D<float>(1, 0, 0), 1e-6f);
    ExpectNear3(Vector3D<float>(0, 1, 0), q.Rotate(Vector3D<float>(1, 0, 0)), 1e-6f);

    // A null axis turns about x.
    const Quaternion<float> null(1.0f, Vector3D<float>(0, 0, 0));
    EXPECT_FLOAT_EQ(std::cos(0.5f), null.w);
    EXPECT_FLOAT_EQ(std::sin(0.5f), null.x);
    EXPECT_EQ(0.0f, null.y);
    EXPECT_EQ(0.0f, null.z);

    const Quaternion<float> identity;
    EXPECT_EQ(1.0f, identity.w);
    EXPECT_TRUE(identity.ToMatrix() == Matrix3X3<float>::Identity());
}

// Each branch of FromMatrix and the sign it fixes.
TEST(QuaternionTest, FromMatrixBranches) {
    struct Case {
        const char* name;
        Matrix3X3<float> matrix;
        Quaternion<float> expected;
    };
    const float a = std::sqrt(0.4f);
    const float c = std::sqrt(0.6f);
    const Case cases[] = {
        {"identity", Matrix3X3<float>::Identity(), {1, 0, 0, 0}},
        {"half turn about x", Matrix3X3<float>::Diagonal(1, -1, -1), {0, 1, 0, 0}},
        {"half turn about y", Matrix3X3<float>::Diagonal(-1, 1, -1), {0, 0, 1, 0}},
        {"half turn about z", Matrix3X3<float>::Diagonal(-1, -1, 1), {0, 0, 0, 1}},
        // Diagonal (-0.2, -1, 0.2): m00 > m11 but m00 <= m22 takes the z branch.
        {"half turn about (a, 0, c)", Quaternion<float>(0, a, 0, c).ToMatrix(), {0, a, 0, c}},
        // Negated quaternions give the same matrix; the branch picks the sign.
        {"quarter turn about -y", Quaternion<float>(-0.70710678f, 0, 0.70710678f, 0).ToMatrix(),
         {0.70710678f, 0, -0.70710678f, 0}},
        {"turn by 3 rad about x", Quaternion<float>(-std::cos(1.5f), -std::sin(1.5f), 0, 0).ToMatrix(),
         {std::cos(1.5f), std::sin(1.5f), 0, 0}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ExpectQuaternionNear(k.expected, Quaternion<float>::FromMatrix(k.matrix), 2e-6f);
    }
    const Quaternion<float> exact = Quaternion<float>::FromMatrix(Matrix3X3<float>::Identity());
    EXPECT_EQ(1.0f, exact.w);
    EXPECT_EQ(0.0f, exact.x);
}

TEST(QuaternionTest, MatrixRoundTrips) {
    std::mt19937 rng(21);
    for (int i = 0; i < 500; ++i) {
        Quaternion<float> q = RandomUnitQuaternion(rng);
        if (i % 4 == 0) {
            q.w *= 0.01f;  // near half turns: the trace branch is not taken
        }
        const float length = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
        q = Quaternion<float>(q.w / length, q.x / length, q.y / length, q.z / length);

        const Matrix3X3<float> R = q.ToMatrix();
        EXPECT_TRUE(R.IsOrthonormal());
        EXPECT_NEAR(1.0f, R.Determinant(), 1e-5f);
        const Quaternion<float> back = Quaternion<float>::FromMatrix(R);
        const float sign = (back.w * q.w + back.x * q.x + back.y * q.y + back.z * q.z) < 0 ? -1.0f : 1.0f;
        ExpectQuaternionNear(q, Quaternion<float>(sign * back.w, sign * back.x, sign * back.y, sign * back.z), 2e-5f);
        ExpectMatrixNear(R, back.ToMatrix(), 2e-5f);
    }
}

TEST(QuaternionTest, ProductsAndRotationsMatchMatrices) {
    std::mt19937 rng(22);
    for (int i = 0; i < 200; ++i) {
        const Quaternion<float> p = RandomUnitQuaternion(rng);
        const Quaternion<float> q = RandomUnitQuaternion(rng);
        ExpectMatrixNear(p.ToMatrix() * q.ToMatrix(), (p * q).ToMatrix(), 1e-5f);
        const Vector3D<float> v = RandomUnit(rng) * 250.0f;
        ExpectNear3(p.ToMatrix() * v, p.Rotate(v), 1e-3f);
        ExpectNear3(p.Rotate(q.Rotate(v)), (p * q).Rotate(v), 1e-3f);
    }
    // Hamilton's rules: i j = k, j i = -k, i i = -1.
    const Quaternion<float> i(0, 1, 0, 0);
    const Quaternion<float> j(0, 0, 1, 0);
    const Quaternion<float> ij = i * j;
    const Quaternion<float> ji = j * i;
    const Quaternion<float> ii = i * i;
    ExpectQuaternionNear(Quaternion<float>(0, 0, 0, 1), ij, 0.0f);
    ExpectQuaternionNear(Quaternion<float>(0, 0, 0, -1), ji, 0.0f);
    ExpectQuaternionNear(Quaternion<float>(-1, 0, 0, 0), ii, 0.0f);
}

TEST(QuaternionTest, AngleAndAxis) {
    float angle = -1.0f;
    Vector3D<float> axis(9, 9, 9);
    Quaternion<float>().GetAngleAndAxis(angle, axis);
    EXPECT_EQ(0.0f, angle);
    EXPECT_EQ(Vector3D<float>(0, 0, 0), axis);
    // Rounding past |w| = 1 is still the identity.
    Quaternion<float>(-1.0000001f, 0, 0, 0).GetAngleAndAxis(angle, axis);
    EXPECT_EQ(0.0f, angle);

    Quaternion<float>(std::cos(0.5f), std::sin(0.5f), 0, 0).GetAngleAndAxis(angle, axis);
    EXPECT_NEAR(1.0f, angle, 1e-6f);
    ExpectNear3(Vector3D<float>(1, 0, 0), axis, 1e-5f);

    std::mt19937 rng(23);
    for (int n = 0; n < 200; ++n) {
        const Quaternion<float> q = RandomUnitQuaternion(rng);
        q.GetAngleAndAxis(angle, axis);
        EXPECT_GE(angle, 0.0f);
        EXPECT_LE(angle, 6.2831855f);
        EXPECT_NEAR(1.0f, axis.MagnitudeSquared(), 1e-4f);
        ExpectQuaternionNear(q, Quaternion<float>(angle, axis), 1e-4f);
    }
}

TEST(QuaternionTest, ShortestArcBetweenUnitVectors) {
    typedef Quaternion<float> Q;
    const Vector3D<float> ex(1, 0, 0);
    const Q same = Q::RotationBetweenUnitVectors(ex, ex);
    ExpectQuaternionNear(Q(1, 0, 0, 0), same, 0.0f);
    ExpectQuaternionNear(Q(std::sqrt(0.5f), 0, 0, std::sqrt(0.5f)), Q::RotationBetweenUnitVectors(ex, Vector3D<float>(0, 1, 0)),
                         1e-7f);
    // Opposite: the half turn about OrthogonalVector((1, 0, 0)) = (0, -1, 0),
    // with cos(pi/2) in float.
    const Q opposite = Q::RotationBetweenUnitVectors(ex, Vector3D<float>(-1, 0, 0));
    EXPECT_FLOAT_EQ(std::cos(3.1415927f / 2), opposite.w);
    EXPECT_NE(0.0f, opposite.w);
    EXPECT_EQ(0.0f, opposite.x);
    EXPECT_FLOAT_EQ(-1.0f, opposite.y);
    EXPECT_EQ(0.0f, opposite.z);
    // Rounding of a . b beyond 1 is clamped.
    const Vector3D<float> u = Vector3D<float>(1, 1, 1).Normalized();
    const Q nearlySame = Q::RotationBetweenUnitVectors(u, u);
    EXPECT_FALSE(std::isnan(nearlySame.w));
    ExpectNear3(u, nearlySame.Rotate(u), 1e-6f);

    std::mt19937 rng(24);
    for (int i = 0; i < 300; ++i) {
        const Vector3D<float> a = RandomUnit(rng);
        const Vector3D<float> b = (i % 10 == 0) ? -a : RandomUnit(rng);
        const Q q = Q::RotationBetweenUnitVectors(a, b);
        EXPECT_NEAR(1.0f, q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1e-5f);
        ExpectNear3(b, q.Rotate(a), 2e-5f);
        // Shortest arc: the turn is the angle between a and b, about an axis
        // perpendicular to both.
        float angle = 0;
        Vector3D<float> axis;
        q.GetAngleAndAxis(angle, axis);
        EXPECT_NEAR(std::acos(std::max(-1.0f, std::min(1.0f, a.Dot(b)))), angle, 1e-3f);
        EXPECT_NEAR(0.0f, axis.Dot(a), 1e-4f);
        if (i % 10 != 0) {
            EXPECT_NEAR(0.0f, axis.Dot(b), 1e-4f);
        }
    }
}

}  // namespace
