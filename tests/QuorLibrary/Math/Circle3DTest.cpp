#include "QuorLibrary/Math/Circle3D.h"
#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using geometry_test::ExpectNear3;
using geometry_test::kPi;

using V3f = Vector3D<float>;

// The circle of radius 3 about the origin in the xy plane; angle 0 at (0, -3, 0).
Circle3D FlatCircle() {
    Circle3D c;
    c.Set(Plane<float>(V3f(0, 0, 0), V3f(0, 0, 2)), 3.0f);
    return c;
}

TEST(Circle3DTest, SetNormalisesTheNormalAndDerivesTheReference) {
    const Circle3D flat = FlatCircle();
    ExpectNear3(V3f(0, 0, 1), flat.m_normal, 1e-6f);
    ExpectNear3(V3f(0, -3, 0), flat.m_reference, 1e-5f);
    EXPECT_EQ(3.0f, flat.m_radius);
    ExpectNear3(V3f(3, 0, 0), flat.GetPoint(kPi / 2), 1e-5f);
    ExpectNear3(V3f(0, -3, 0), flat.GetPoint(0.0f), 1e-6f);

    struct Case {
        V3f normal;
        float radius;
        V3f normalAfter;
        V3f reference;
    };
    const Case cases[] = {
        {V3f(1, 0, 0), 1.0f, V3f(1, 0, 0), V3f(0, 1, 0)},     // auxiliary axis z
        {V3f(0, 0, 0), 2.0f, V3f(1, 0, 0), V3f(0, 2, 0)},     // a null normal
        {V3f(0.05f, 0.04f, 1), 1.0f, V3f(0.05f, 0.04f, 1), V3f()},  // near z: auxiliary axis x
    };
    for (const Case& c : cases) {
        Circle3D circle;
        circle.Set(Plane<float>(V3f(10, 20, 30), c.normal), c.radius);
        const V3f n = c.normalAfter.Normalized();
        ExpectNear3(n, circle.m_normal, 1e-5f);
        EXPECT_NEAR(c.radius, std::sqrt(circle.m_reference.MagnitudeSquared()), 1e-5f);
        EXPECT_NEAR(0.0f, circle.m_reference.Dot(n), 1e-5f);
        if (c.reference != V3f()) {
            ExpectNear3(c.reference, circle.m_reference, 1e-5f);
        }
        ExpectNear3(V3f(10, 20, 30), circle.m_center, 0.0f);
    }
}

TEST(Circle3DTest, ClosestPointsAnglesAndDistances) {
    const Circle3D c = FlatCircle();
    EXPECT_NEAR(kPi / 2, c.GetClosestPointAngle(V3f(5, 0, 1)), 1e-6f);
    const float reference = c.GetClosestPointAngle(V3f(0, -5, 7));
    EXPECT_EQ(0.0f, reference);
    EXPECT_TRUE(std::signbit(reference));  // -0
    EXPECT_NEAR(-kPi, c.GetClosestPointAngle(V3f(0, 5, 1)), 1e-6f);
    EXPECT_NEAR(-kPi / 2, c.GetClosestPointAngle(V3f(-2, 0, -4)), 1e-6f);
    EXPECT_NEAR(5.0f, c.GetDistanceSqr(V3f(0, 5, 1)), 1e-5f);
    EXPECT_NEAR(9.0f + 4.0f, c.GetDistanceSqr(V3f(0, 0, 2)), 1e-5f);

    ExpectNear3(V3f(3, 0, 0), c.GetClosestPoint(V3f(10, 0, 5)), 1e-5f);
    ExpectNear3(V3f(0.6f, 0.8f, 0), c.GetClosestDir(V3f(6, 8, -3)), 1e-5f);
    // A point over the centre has no closest direction: (1, 0, 0).
    EXPECT_EQ(V3f(1, 0, 0), c.GetClosestDir(V3f(0, 0, 4)));

    EXPECT_TRUE(c.IsPointOnCircle(V3f(3, 0, 0.0009f)));
    EXPECT_FALSE(c.IsPointOnCircle(V3f(3, 0, 0.001f)));
    EXPECT_TRUE(c.IsPointOnCircle(V3f(0, -3.0009f, 0)));
    EXPECT_FALSE(c.IsPointOnCircle(V3f(0, -3.0011f, 0)));

    // Points round the circle come back at their angles.
    for (float angle : {-3.0f, -1.0f, 0.5f, 2.0f, 3.1f}) {
        EXPECT_NEAR(angle, c.GetClosestPointAngle(c.GetPoint(angle) * 2.0f), 1e-5f) << angle;
    }

    Circle3D moved = c;
    moved.SetPtOnCircle(V3f(0, 5, 0));
    EXPECT_EQ(V3f(0, 5, 0), moved.m_reference);  // neither projected nor rescaled
}

TEST(Circle3DTest, PointsAtADistanceFromAPoint) {
    const Circle3D c = FlatCircle();
    const V3f p(3, 0, 4);  // 4 above the circle point (3, 0, 0)

    Vector2D<float> angles;
    ASSERT_TRUE(c.GetPointAnglesInDistFromPt(p, 5.0f, angles));
    EXPECT_NEAR(kPi / 2 + kPi / 3, angles.x, 1e-5f);
    EXPECT_NEAR(kPi / 2 - kPi / 3, angles.y, 1e-5f);
    V3f points[2];
    ASSERT_TRUE(c.GetPointsInDistFromPt(p, 5.0f, points));
    for (const V3f& q : points) {
        EXPECT_NEAR(5.0f, std::sqrt((q - p).MagnitudeSquared()), 1e-4f);
        EXPECT_TRUE(c.IsPointOnCircle(q));
    }

    // Tangent from above: a distance just under the height reaches only the
    // circle point below p; no square root of a negative number.
    ASSERT_TRUE(c.GetPointAnglesInDistFromPt(p, 4.0f - 0.0005f, angles));
    EXPECT_NEAR(kPi / 2, angles.x, 1e-5f);
    EXPECT_NEAR(kPi / 2, angles.y, 1e-5f);

    struct Miss {
        V3f p;
        float distance;
        const char* what;
    };
    const Miss misses[] = {
        {p, 3.99f, "shorter than the height"},
        {p, 100.0f, "beyond the far side"},
        {V3f(0, 0, 4), 5.0f, "over the centre: every point equally far"},
        {V3f(0, 0, 4), 4.0f, "over the centre, not reaching"},
        {V3f(1, 0, 4), 4.2f, "inside the circle without reaching it"},
        {V3f(1, 0, 4), 4.0f, "tangent inside the circle"},
    };
    for (const Miss& m : misses) {
        points[0] = points[1] = V3f(-1, -1, -1);
        angles = Vector2D<float>(-9, -9);
        EXPECT_FALSE(c.GetPointAnglesInDistFromPt(m.p, m.distance, angles)) << m.what;
        EXPECT_EQ(Vector2D<float>(-9, -9), angles) << m.what;
        EXPECT_FALSE(c.GetPointsInDistFromPt(m.p, m.distance, points)) << m.what;
        EXPECT_EQ(V3f(-1, -1, -1), points[0]) << m.what;
    }
    // Inside the circle, far enough to reach it: the nearest reachable points.
    ASSERT_TRUE(c.GetPointsInDistFromPt(V3f(1, 0, 4), std::sqrt(20.0f), points));
    ExpectNear3(V3f(3, 0, 0), points[0], 2e-2f);
}

TEST(Circle3DTest, FindCircleOfTwoSpheres) {
    Circle3D c;
    ASSERT_TRUE(FindCircle(V3f(0, 0, 0), V3f(2, 0, 0), 2.0f, 2.0f, c));
    ExpectNear3(V3f(1, 0, 0), c.m_center, 1e-6f);
    ExpectNear3(V3f(1, 0, 0), c.m_normal, 1e-6f);
    EXPECT_NEAR(std::sqrt(3.0f), c.m_radius, 1e-6f);

    // Touching spheres meet in a circle of radius 0.
    ASSERT_TRUE(FindCircle(V3f(0, 0, 0), V3f(0, 0, 2), 1.0f, 1.0f, c));
    ExpectNear3(V3f(0, 0, 1), c.m_center, 1e-6f);
    EXPECT_EQ(0.0f, c.m_radius);

    c.m_radius = 42.0f;
    EXPECT_FALSE(FindCircle(V3f(0, 0, 0), V3f(2, 0, 0), 1.0f, 0.5f, c));   // apart
    EXPECT_FALSE(FindCircle(V3f(0, 0, 0), V3f(1, 0, 0), 5.0f, 1.0f, c));   // one inside the other
    EXPECT_FALSE(FindCircle(V3f(1, 2, 3), V3f(1, 2, 3), 2.0f, 2.0f, c));   // coincident centres
    EXPECT_FALSE(FindCircle(V3f(1, 2, 3), V3f(1, 2, 3), 2.0f, 1.0f, c));
    EXPECT_EQ(42.0f, c.m_radius);
}

TEST(Circle3DTest, FindCircumscribedCircle) {
    Circle3D c;
    ASSERT_TRUE(FindCircumscribedCircle(V3f(1, 0, 0), V3f(0, 1, 0), V3f(-1, 0, 0), c, 1e-6f));
    ExpectNear3(V3f(0, 0, 0), c.m_center, 1e-6f);
    ExpectNear3(V3f(0, 0, 1), c.m_normal, 1e-6f);
    EXPECT_NEAR(1.0f, c.m_radius, 1e-6f);

    c.m_radius = 42.0f;
    EXPECT_FALSE(FindCircumscribedCircle(V3f(0, 0, 0), V3f(1, 1, 1), V3f(3, 3, 3), c, 1e-6f));
    EXPECT_FALSE(FindCircumscribedCircle(V3f(0, 0, 0), V3f(1, 1, 1), V3f(3, 3, 3), c, 0.0f));
    EXPECT_FALSE(FindCircumscribedCircle(V3f(0, 0, 0), V3f(1, 0, 0), V3f(0, 1, 0), c, 2.0f));  // |w| = 1
    EXPECT_EQ(42.0f, c.m_radius);

    std::mt19937 rng(5);
    std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
    for (int i = 0; i < 200; ++i) {
        V3f p[3];
        for (V3f& q : p) {
            const float x = coordinate(rng), y = coordinate(rng), z = coordinate(rng);
            q = V3f(x, y, z);
        }
        if (!FindCircumscribedCircle(p[0], p[1], p[2], c, 1.0f)) {
            continue;
        }
        for (const V3f& q : p) {
            EXPECT_NEAR(0.0f, std::sqrt(c.GetDistanceSqr(q)), 2e-3f * std::max(1.0f, c.m_radius)) << i;
        }
    }
}

TEST(Circle3DTest, GetAngleClampsTheCosine) {
    EXPECT_NEAR(kPi / 2, GetAngle(V3f(1, 0, 0), V3f(0, 2, 0), false, false), 1e-6f);
    EXPECT_NEAR(kPi, GetAngle(V3f(2, 0, 0), V3f(-3, 0, 0), false, false), 1e-6f);
    EXPECT_NEAR(kPi / 4, GetAngle(V3f(1, 0, 0), V3f(1, 1, 0), true, false), 1e-6f);
    // Vectors that only claim unit length: the cosine 1.0000001 gives 0.
    EXPECT_EQ(0.0f, GetAngle(V3f(1.0000001f, 0, 0), V3f(1, 0, 0), true, true));
    EXPECT_NEAR(kPi, GetAngle(V3f(-1.0000001f, 0, 0), V3f(1, 0, 0), true, true), 1e-6f);
}

}  // namespace
