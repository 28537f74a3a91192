#include "QuorLibrary/Math/Segment2D.h"
#include "QuorLibrary/Math/Segment3D.h"
#include "QuorLibrary/Math/Segment3DAccel.h"
#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using geometry_test::RandomPoint;

// Squared distance from p to the segment a-b in double, by clamping the
// projection parameter.
double ReferenceDistanceSquared(const Vector3D<float>& a, const Vector3D<float>& b, const Vector3D<float>& p) {
    const double d[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double w[3] = {double(p.x) - a.x, double(p.y) - a.y, double(p.z) - a.z};
    const double ll = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    double t = ll > 0 ? (w[0] * d[0] + w[1] * d[1] + w[2] * d[2]) / ll : 0.0;
    t = std::min(1.0, std::max(0.0, t));
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double e = w[i] - t * d[i];
        sum += e * e;
    }
    return sum;
}

TEST(SegmentTest, CachesFillOnDemandAndSettersDropThem) {
    Segment3D<float> segment(Vector3D<float>(1, 2, 3), Vector3D<float>(1, 5, 7));
    EXPECT_EQ(0, segment.GetFlags());
    EXPECT_FLOAT_EQ(25.0f, segment.GetSquaredLength());
    EXPECT_FLOAT_EQ(0.04f, segment.GetInverseSquaredLength());
    EXPECT_EQ(Segment3D<float>::SQUARED_LENGTH_VALID, segment.GetFlags());
    EXPECT_FLOAT_EQ(5.0f, segment.GetLength());
    EXPECT_FLOAT_EQ(0.2f, segment.GetInverseLength());
    EXPECT_EQ(Vector3D<float>(0, 0.6f, 0.8f), segment.GetUnitDirection());
    EXPECT_EQ(Vector3D<float>(1, 3.5f, 5), segment.GetMidpoint());
    EXPECT_EQ(7, segment.GetFlags());

    segment.SetEnd(Vector3D<float>(1, 2, 13));
    EXPECT_EQ(0, segment.GetFlags());
    EXPECT_FLOAT_EQ(10.0f, segment.GetLength());
    EXPECT_EQ(Vector3D<float>(0, 0, 1), segment.GetUnitDirection());
    EXPECT_EQ(Vector3D<float>(1, 2, 8), segment.GetMidpoint());
    segment.SetStart(Vector3D<float>(1, 2, 11));
    EXPECT_FLOAT_EQ(4.0f, segment.GetSquaredLength());
    segment.Set(Vector3D<float>(0, 0, 0), Vector3D<float>(3, 4, 0));
    EXPECT_FLOAT_EQ(5.0f, segment.GetLength());
    // A copy carries its caches along.
    const Segment3D<float> copy = segment;
    EXPECT_EQ(segment.GetFlags(), copy.GetFlags());
    EXPECT_EQ(segment.GetUnitDirection(), copy.GetUnitDirection());
}

TEST(SegmentTest, ZeroLengthSegmentMeasuresFromItsPoint) {
    const Vector3D<float> point(4, -2, 9);
    const Segment3D<float> segment(point, point);
    EXPECT_EQ(0.0f, segment.GetInverseSquaredLength());
    EXPECT_EQ(0.0f, segment.GetLength());
    EXPECT_EQ(0.0f, segment.GetInverseLength());
    EXPECT_EQ(Vector3D<float>(0, 0, 0), segment.GetUnitDirection());
    EXPECT_FLOAT_EQ(1.0f + 4.0f + 4.0f, segment.GetDistanceSquared(Vector3D<float>(5, 0, 11)));
    EXPECT_EQ(0.0f, segment.GetDistanceSquared(point));

    const Segment2D<float> segment2(Vector2D<float>(1, 1), Vector2D<float>(1, 1));
    EXPECT_EQ(0.0f, segment2.GetInverseSquaredLength());
    EXPECT_FLOAT_EQ(25.0f, segment2.GetDistanceSquared(Vector2D<float>(4, 5)));

    Segment3DAccel<float> accel(point, point);
    EXPECT_EQ(0.0f, accel.GetAccelLength());
    EXPECT_EQ(0.0f, accel.GetAccelInverseLength());
    EXPECT_EQ(Vector3D<float>(0, 0, 0), accel.GetAccelUnitDirection());
    EXPECT_FLOAT_EQ(9.0f, accel.GetDistanceSquared(Vector3D<float>(5, 0, 11)));
}

TEST(SegmentTest, PointDistanceRegions) {
    const Segment3D<float> segment(Vector3D<float>(0, 0, 0), Vector3D<float>(0, 0, 1000));
    const Segment3DAccel<float> accel(Vector3D<float>(0, 0, 0), Vector3D<float>(0, 0, 1000));
    struct Case {
        Vector3D<float> point;
        float expected;
    };
    const Case cases[] = {
        {{0, 0, -10}, 100},       // before the start
        {{0, 0, 1010}, 100},      // past the end
        {{30, 40, 500}, 2500},    // beside the middle
        {{30, 40, 0}, 2500},      // level with the start
        {{30, 40, 1000}, 2500},   // level with the end
        {{3, 4, -12}, 169},
    };
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(c.expected, segment.GetDistanceSquared(c.point)) << c.point;
        EXPECT_FLOAT_EQ(c.expected, accel.GetDistanceSquared(c.point)) << c.point;
    }
    const Segment2D<float> segment2(Vector2D<float>(0, 0), Vector2D<float>(10, 0));
    EXPECT_FLOAT_EQ(9.0f, segment2.GetDistanceSquared(Vector2D<float>(5, -3)));
    EXPECT_FLOAT_EQ(25.0f, segment2.GetDistanceSquared(Vector2D<float>(-3, 4)));
    EXPECT_FLOAT_EQ(25.0f, segment2.GetDistanceSquared(Vector2D<float>(13, -4)));
}

TEST(SegmentTest, PointDistancesAgreeWithReference) {
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i) {
        const Vector3D<float> a = RandomPoint(rng, 800.0f);
        const Vector3D<float> b = RandomPoint(rng, 800.0f);
        const Segment3D<float> segment(a, b);
        const Segment3DAccel<float> accel(a, b);
        for (int j = 0; j < 10; ++j) {
            const Vector3D<float> p = RandomPoint(rng, 1000.0f);
            const double expected = ReferenceDistanceSquared(a, b, p);
            const double tolerance = 1e-4 * expected + 0.05;
            EXPECT_NEAR(expected, segment.GetDistanceSquared(p), tolerance);
            EXPECT_NEAR(expected, accel.GetDistanceSquared(p), tolerance);
        }
        // 2D: the same segment flattened onto z = 0.
        const Segment2D<float> flat(Vector2D<float>(a.x, a.y), Vector2D<float>(b.x, b.y));
        const Vector3D<float> p = RandomPoint(rng, 1000.0f);
        const double expected =
            ReferenceDistanceSquared(Vector3D<float>(a.x, a.y, 0), Vector3D<float>(b.x, b.y, 0), Vector3D<float>(p.x, p.y, 0));
        EXPECT_NEAR(expected, flat.GetDistanceSquared(Vector2D<float>(p.x, p.y)), 1e-4 * expected + 0.05);
    }
}

TEST(SegmentTest, AccelInitializeFromSegmentKeepsItsCaches) {
    const Segment3D<float> segment(Vector3D<float>(0, 0, 0), Vector3D<float>(0, 3, 4));
    segment.GetMidpoint();
    Segment3DAccel<float> accel;
    accel.Initialize(segment);
    EXPECT_EQ(Segment3D<float>::MIDPOINT_VALID, accel.GetFlags());
    EXPECT_EQ(segment.GetEnd(), accel.GetEnd());
    EXPECT_FLOAT_EQ(5.0f, accel.GetAccelLength());
    EXPECT_FLOAT_EQ(25.0f, accel.GetAccelSquaredLength());
    EXPECT_FLOAT_EQ(0.2f, accel.GetAccelInverseLength());
    EXPECT_EQ(Vector3D<float>(0, 0.6f, 0.8f), accel.GetAccelUnitDirection());

    // Moving an end point needs a new Initialize for the accelerated members.
    accel.SetEnd(Vector3D<float>(0, 0, 10));
    accel.Initialize();
    EXPECT_FLOAT_EQ(10.0f, accel.GetAccelLength());
    EXPECT_FLOAT_EQ(4.0f, accel.GetDistanceSquared(Vector3D<float>(2, 0, 5)));
}

TEST(SegmentTest, Intersect2D) {
    struct Case {
        const char* name;
        Vector2D<float> p0, p1, q0, q1;
        bool crosses;
        Vector2D<float> point;
    };
    const Case cases[] = {
        {"diagonals", {0, 0}, {2, 2}, {0, 2}, {2, 0}, true, {1, 1}},
        {"T at the end of P", {0, 0}, {4, 0}, {4, -1}, {4, 3}, true, {4, 0}},
        {"touching at Q's start", {0, 0}, {4, 0}, {2, 0}, {2, 5}, true, {2, 0}},
        {"lines cross beyond Q", {0, 0}, {4, 0}, {2, 1}, {2, 5}, false, {}},
        {"lines cross beyond P", {0, 0}, {4, 0}, {6, -1}, {6, 1}, false, {}},
        {"lines cross before P", {0, 0}, {4, 0}, {-1, -1}, {-1, 1}, false, {}},
        {"collinear overlapping", {0, 0}, {4, 0}, {1, 0}, {3, 0}, false, {}},
        {"parallel", {0, 0}, {4, 0}, {0, 1}, {4, 1}, false, {}},
        {"zero-length Q", {0, 0}, {4, 0}, {2, 0}, {2, 0}, false, {}},
    };
    for (const Case& c : cases) {
        const Segment2D<float> p(c.p0, c.p1);
        const Segment2D<float> q(c.q0, c.q1);
        Vector2D<float> point(-99, -99);
        EXPECT_EQ(c.crosses, p.Intersect(q, point, 1e-6f)) << c.name;
        if (c.crosses) {
            EXPECT_NEAR(c.point.x, point.x, 1e-6f) << c.name;
            EXPECT_NEAR(c.point.y, point.y, 1e-6f) << c.name;
            Vector2D<float> reverse;
            EXPECT_TRUE(q.Intersect(p, reverse, 1e-6f)) << c.name;
            EXPECT_NEAR(c.point.x, reverse.x, 1e-5f) << c.name;
            EXPECT_NEAR(c.point.y, reverse.y, 1e-5f) << c.name;
        }
    }
    // Nearly parallel segments fail the epsilon test even when they cross.
    const Segment2D<float> p(Vector2D<float>(0, 0), Vector2D<float>(10, 0));
    const Segment2D<float> q(Vector2D<float>(0, -0.01f), Vector2D<float>(10, 0.01f));
    Vector2D<float> point;
    EXPECT_TRUE(p.Intersect(q, point, 0.1f));
    EXPECT_FALSE(p.Intersect(q, point, 0.25f));
}

}  // namespace
