#include "QuorLibrary/Math/Line2D.h"
#include "QuorLibrary/Math/Line3D.h"
#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

namespace {

using geometry_test::ExpectNear3;

TEST(LineTest, DefaultLinesRunAlongX) {
    const Line3D<float> line3;
    EXPECT_EQ(Vector3D<float>(0, 0, 0), line3.m_origin);
    EXPECT_EQ(Vector3D<float>(1, 0, 0), line3.m_direction);
    const Line3D<int> lineInt;
    EXPECT_EQ(Vector3D<int>(1, 0, 0), lineInt.m_direction);
    const Line2D<float> line2;
    EXPECT_EQ(Vector2D<float>(0, 0), line2.m_origin);
    EXPECT_EQ(Vector2D<float>(1, 0), line2.m_direction);
}

TEST(LineTest, ConstructorNormalisesOnlyWhenAsked) {
    const Line3D<float> kept(Vector3D<float>(1, 2, 3), Vector3D<float>(0, 0, 4), false);
    EXPECT_EQ(Vector3D<float>(0, 0, 4), kept.m_direction);
    const Line3D<float> unit(Vector3D<float>(1, 2, 3), Vector3D<float>(0, 3, 4), true);
    ExpectNear3(Vector3D<float>(0, 0.6f, 0.8f), unit.m_direction, 1e-6f);
    const Line3D<float> null(Vector3D<float>(1, 2, 3), Vector3D<float>(0, 0, 0), true);
    EXPECT_EQ(Vector3D<float>(1, 0, 0), null.m_direction);
}

TEST(LineTest, PointsParametersAndDistances) {
    const Line3D<float> line(Vector3D<float>(10, 20, 30), Vector3D<float>(0, 0, 1));
    EXPECT_EQ(Vector3D<float>(10, 20, 35), line.GetPoint(5.0f));
    EXPECT_EQ(Vector3D<float>(0, 0, -2), line.DirTimes(-2.0f));
    EXPECT_FLOAT_EQ(7.0f, line.DirTimes(Vector3D<float>(1, 2, 7)));

    const Vector3D<float> p(13, 24, 100);
    EXPECT_FLOAT_EQ(70.0f, line.ClosestPointParameter(p));
    EXPECT_EQ(Vector3D<float>(10, 20, 100), line.ClosestPoint(p));
    EXPECT_FLOAT_EQ(5.0f, line.GetDistance(p));
    EXPECT_FLOAT_EQ(0.0f, line.GetDistance(line.GetPoint(-40.0f)));

    const Line2D<float> line2(Vector2D<float>(1, 1), Vector2D<float>(0.6f, 0.8f));
    EXPECT_NEAR(5.0f, line2.ClosestPointParameter(Vector2D<float>(4, 5)), 1e-5f);
}

// The integer distance is |(p - o) x d| rounded: the distance scaled by |d|.
TEST(LineTest, IntegerDistanceIsScaledByTheDirectionLength) {
    const Line3D<int> line(Vector3D<int>(0, 0, 0), Vector3D<int>(0, 0, 100));
    EXPECT_EQ(5000, line.GetDistance(Vector3D<int>(30, 40, 50)));
    EXPECT_EQ(0, line.GetDistance(Vector3D<int>(0, 0, -7)));
    const Line3D<int> unit(Vector3D<int>(5, 5, 5), Vector3D<int>(1, 0, 0));
    EXPECT_EQ(1, unit.GetDistance(Vector3D<int>(0, 6, 6)));  // sqrt(2) rounds down
    EXPECT_EQ(2, unit.GetDistance(Vector3D<int>(0, 7, 6)));  // sqrt(5) = 2.24
    // A cross product whose squared length leaves 31 bits still gives a
    // finite distance instead of the root of a negative number.
    const Line3D<int> far(Vector3D<int>(0, 0, 0), Vector3D<int>(0, 0, 1));
    EXPECT_EQ(50000, far.GetDistance(Vector3D<int>(50000, 0, 0)));
}

// Overridden DirTimes slots are what GetPoint and the closest-point queries
// go through (the fixed-point lines rely on it).
TEST(LineTest, QueriesGoThroughTheVirtualDirTimes) {
    class HalfScaleLine : public Line3D<float> {
    public:
        using Line3D<float>::Line3D;
        Vector3D<float> DirTimes(float s) const override { return m_direction * (s * 0.5f); }
        float DirTimes(const Vector3D<float>& v) const override { return 2.0f * m_direction.Dot(v); }
    };
    const HalfScaleLine line(Vector3D<float>(0, 0, 0), Vector3D<float>(1, 0, 0));
    const LineBase<Vector3D<float> >& base = line;
    EXPECT_EQ(Vector3D<float>(2, 0, 0), base.GetPoint(4.0f));
    EXPECT_FLOAT_EQ(6.0f, base.ClosestPointParameter(Vector3D<float>(3, 1, 0)));
    EXPECT_EQ(Vector3D<float>(3, 0, 0), base.ClosestPoint(Vector3D<float>(3, 1, 0)));
}

TEST(LineTest, TextForm) {
    std::ostringstream out;
    out << Line3D<float>(Vector3D<float>(1, 2.5f, -3), Vector3D<float>(0, 1, 0));
    EXPECT_EQ("pt = 1 2.5 -3, dir = 0 1 0", out.str());
}

TEST(LineTest, ClosestPointsOfSkewLines) {
    // Line 1 along x through the origin, line 2 along y at z = 5 through x = 3.
    const Line3D<float> line1(Vector3D<float>(-2, 0, 0), Vector3D<float>(1, 0, 0));
    const Line3D<float> line2(Vector3D<float>(3, 4, 5), Vector3D<float>(0, 1, 0));
    float t1 = 0;
    float t2 = 0;
    ASSERT_TRUE(GetClosestPoints(line1, line2, t1, t2, 1e-6f));
    EXPECT_FLOAT_EQ(5.0f, t1);
    EXPECT_FLOAT_EQ(-4.0f, t2);

    // Random lines: the connecting vector is perpendicular to both directions.
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> coordinate(-500.0f, 500.0f);
    for (int i = 0; i < 200; ++i) {
        const Line3D<float> a(Vector3D<float>(coordinate(rng), coordinate(rng), coordinate(rng)),
                              Vector3D<float>(coordinate(rng), coordinate(rng), coordinate(rng)), true);
        const Line3D<float> b(Vector3D<float>(coordinate(rng), coordinate(rng), coordinate(rng)),
                              Vector3D<float>(coordinate(rng), coordinate(rng), coordinate(rng)), true);
        if (!GetClosestPoints(a, b, t1, t2, 0.01f)) {
            continue;
        }
        const Vector3D<float> connection = a.GetPoint(t1) - b.GetPoint(t2);
        EXPECT_NEAR(0.0f, connection.Dot(a.m_direction), 5e-3f);
        EXPECT_NEAR(0.0f, connection.Dot(b.m_direction), 5e-3f);
    }
}

TEST(LineTest, ClosestPointsOfParallelLinesLeaveOutputsUntouched) {
    const Line3D<float> line1(Vector3D<float>(0, 0, 0), Vector3D<float>(0, 0, 1));
    const Line3D<float> same(Vector3D<float>(5, 0, 0), Vector3D<float>(0, 0, 1));
    const Line3D<float> opposite(Vector3D<float>(5, 0, 0), Vector3D<float>(0, 0, -1));
    float t1 = 123.0f;
    float t2 = 456.0f;
    EXPECT_FALSE(GetClosestPoints(line1, same, t1, t2, 1e-6f));
    EXPECT_FALSE(GetClosestPoints(line1, opposite, t1, t2, 1e-6f));
    // Within the tolerance: 0.1 rad apart is parallel for epsilon 0.01.
    const Line3D<float> tilted(Vector3D<float>(5, 0, 0), Vector3D<float>(std::sin(0.1f), 0, std::cos(0.1f)));
    EXPECT_FALSE(GetClosestPoints(line1, tilted, t1, t2, 0.01f));
    EXPECT_EQ(123.0f, t1);
    EXPECT_EQ(456.0f, t2);
    EXPECT_TRUE(GetClosestPoints(line1, tilted, t1, t2, 0.001f));
}

}  // namespace
