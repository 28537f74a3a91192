#include "QuorLibrary/Math/SegmentDistance.h"
#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using geometry_test::RandomPoint;

struct Point {
    double x, y, z;
};

Point ToPoint(const Vector3D<float>& v) { return {v.x, v.y, v.z}; }

double PointSegmentDistance(const Point& p, const Point& a, const Point& b) {
    const double d[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
    const double w[3] = {p.x - a.x, p.y - a.y, p.z - a.z};
    const double ll = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    double t = ll > 0 ? (w[0] * d[0] + w[1] * d[1] + w[2] * d[2]) / ll : 0.0;
    t = std::min(1.0, std::max(0.0, t));
    double sum = 0;
    for (int i = 0; i < 3; ++i) {
        const double e = w[i] - t * d[i];
        sum += e * e;
    }
    return std::sqrt(sum);
}

// Brute force in double: sample segment 1 densely, measure each sample's
// exact distance to segment 2, then narrow in around the best sample (the
// distance along a segment is convex, so the bracket holds the minimum).
double BruteForceDistance(const Segment3D<float>& s1, const Segment3D<float>& s2) {
    const Point a1 = ToPoint(s1.GetStart());
    const Point b1 = ToPoint(s1.GetEnd());
    const Point a2 = ToPoint(s2.GetStart());
    const Point b2 = ToPoint(s2.GetEnd());
    auto at = [&](double t) {
        const Point p = {a1.x + t * (b1.x - a1.x), a1.y + t * (b1.y - a1.y), a1.z + t * (b1.z - a1.z)};
        return PointSegmentDistance(p, a2, b2);
    };
    const int samples = 2000;
    int best = 0;
    double bestDistance = at(0.0);
    for (int i = 1; i <= samples; ++i) {
        const double d = at(double(i) / samples);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    double lo = std::max(0.0, double(best - 1) / samples);
    double hi = std::min(1.0, double(best + 1) / samples);
    for (int i = 0; i < 100; ++i) {
        const double m1 = lo + (hi - lo) / 3;
        const double m2 = hi - (hi - lo) / 3;
        if (at(m1) < at(m2)) {
            hi = m2;
        } else {
            lo = m1;
        }
    }
    return std::min(bestDistance, at(0.5 * (lo + hi)));
}

void ExpectMatchesBruteForce(const Segment3D<float>& s1, const Segment3D<float>& s2, const char* what) {
    const double expected = BruteForceDistance(s1, s2);
    float t1 = 0;
    float t2 = 0;
    bool parallel = false;
    const float squared = ShortestDistanceSquare(s1, s2, t1, t2, parallel);
    // Float rounding of products of millimetre coordinates up to about 1000;
    // segments taken as parallel (within 1e-4 rad) are measured as exactly
    // parallel, which may be off by the angle times their lengths.
    double tolerance = 2e-3 + 1e-5 * expected;
    if (parallel) {
        tolerance += 1e-4 * (s1.GetLength() + s2.GetLength());
    }
    EXPECT_NEAR(expected, std::sqrt(double(squared)), tolerance)
        << what << ": " << s1.GetStart() << " - " << s1.GetEnd() << " / " << s2.GetStart() << " - " << s2.GetEnd();
    EXPECT_NEAR(expected, ShortestDistance(s1, s2), tolerance) << what;
}

TEST(SegmentDistanceTest, RandomSegmentsMatchBruteForce) {
    std::mt19937 rng(2024);
    for (int i = 0; i < 400; ++i) {
        const Segment3D<float> s1(RandomPoint(rng, 500.0f), RandomPoint(rng, 500.0f));
        const Segment3D<float> s2(RandomPoint(rng, 500.0f), RandomPoint(rng, 500.0f));
        ExpectMatchesBruteForce(s1, s2, "random");
        ExpectMatchesBruteForce(s2, s1, "random, swapped");
    }
}

// Limb-like pairs: short segments that nearly touch, share an end point or
// cross, where the nearest points sit close to the parameter bounds.
TEST(SegmentDistanceTest, NearlyTouchingSegmentsMatchBruteForce) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> small(-5.0f, 5.0f);
    for (int i = 0; i < 300; ++i) {
        const Vector3D<float> joint = RandomPoint(rng, 800.0f);
        const Vector3D<float> jitter(small(rng), small(rng), small(rng));
        const Segment3D<float> upper(joint + RandomPoint(rng, 300.0f), joint);
        const Segment3D<float> lower(joint + jitter, joint + RandomPoint(rng, 300.0f));
        ExpectMatchesBruteForce(upper, lower, "joint");
        // Nearly parallel: the second direction turned by a few milliradians.
        const Vector3D<float> along = RandomPoint(rng, 300.0f);
        const Segment3D<float> a(joint, joint + along);
        const Segment3D<float> b(joint + jitter * 10.0f, joint + jitter * 10.0f + along * 0.7f + jitter * 0.2f);
        ExpectMatchesBruteForce(a, b, "nearly parallel");
    }
}

// Angles on both sides of the parallel threshold (|d1 x d2|^2 < 1e-8).
TEST(SegmentDistanceTest, AnglesAroundTheParallelThreshold) {
    std::mt19937 rng(3);
    const float angles[] = {0.0f, 1e-5f, 5e-5f, 9e-5f, 1.1e-4f, 2e-4f, 1e-3f, 1e-2f};
    for (float angle : angles) {
        for (int i = 0; i < 40; ++i) {
            const Vector3D<float> start = RandomPoint(rng, 500.0f);
            const Vector3D<float> offset = RandomPoint(rng, 50.0f);
            const float length1 = 50.0f + 400.0f * float(i % 5);
            const float length2 = 30.0f + 300.0f * float(i % 3);
            const Vector3D<float> d1(1, 0, 0);
            const Vector3D<float> d2(std::cos(angle), std::sin(angle) * 0.6f, std::sin(angle) * 0.8f);
            const float sign = (i % 2) ? 1.0f : -1.0f;
            const Segment3D<float> s1(start, start + d1 * length1);
            const Segment3D<float> s2(start + offset, start + offset + d2 * (sign * length2));
            ExpectMatchesBruteForce(s1, s2, "threshold");
            ExpectMatchesBruteForce(s2, s1, "threshold, swapped");
        }
    }
}

TEST(SegmentDistanceTest, CrossingSegmentsReportLineParameters) {
    // S1 along x from (-10, 0, 0); S2 along y at z = 3 through x = 5.
    const Segment3D<float> s1(Vector3D<float>(-10, 0, 0), Vector3D<float>(20, 0, 0));
    const Segment3D<float> s2(Vector3D<float>(5, -4, 3), Vector3D<float>(5, 6, 3));
    float t1 = 0;
    float t2 = 0;
    bool parallel = true;
    EXPECT_FLOAT_EQ(9.0f, ShortestDistanceSquare(s1, s2, t1, t2, parallel));
    EXPECT_FALSE(parallel);
    EXPECT_FLOAT_EQ(15.0f, t1);
    EXPECT_FLOAT_EQ(4.0f, t2);
    EXPECT_FLOAT_EQ(3.0f, ShortestDistance(s1, s2));
}

// Nearest points outside the segments: the parameters still describe the
// infinite lines, the distance is between end points.
TEST(SegmentDistanceTest, EndPointCases) {
    struct Case {
        const char* name;
        Vector3D<float> a1, b1, a2, b2;
        float expectedSquared;
    };
    const Case cases[] = {
        {"both beyond the ends", {0, 0, 0}, {10, 0, 0}, {20, 5, 0}, {20, 15, 0}, 100 + 25},
        {"one beyond the start", {0, 0, 0}, {10, 0, 0}, {-3, -4, 7}, {-3, 4, 7}, 9 + 49},
        {"one inside, one beyond", {0, 0, 0}, {10, 0, 0}, {4, 2, 0}, {4, 12, 0}, 4},
        // The line optimum lies exactly on S1's start (t1 = -0): the
        // distance is from that start, not from S1's far end.
        {"T at S1's start", {0, 0, 0}, {10, 0, 0}, {0, 1, -5}, {0, 1, 5}, 1},
        {"T at S2's start", {0, 1, -5}, {0, 1, 5}, {0, 0, 0}, {10, 0, 0}, 1},
        {"shared end point", {0, 0, 0}, {10, 0, 0}, {10, 0, 0}, {10, 10, 10}, 0},
    };
    for (const Case& c : cases) {
        const Segment3D<float> s1(c.a1, c.b1);
        const Segment3D<float> s2(c.a2, c.b2);
        float t1 = 0;
        float t2 = 0;
        bool parallel = true;
        EXPECT_FLOAT_EQ(c.expectedSquared, ShortestDistanceSquare(s1, s2, t1, t2, parallel)) << c.name;
        EXPECT_FALSE(parallel) << c.name;
        ExpectMatchesBruteForce(s1, s2, c.name);
    }
}

TEST(SegmentDistanceTest, ParallelSegmentsCombineGapAndOffset) {
    struct Case {
        const char* name;
        Vector3D<float> a1, b1, a2, b2;
        float expectedSquared;
    };
    // S2 runs along z from 0 to 100; S1 is offset by (3, 4) across it.
    const Case cases[] = {
        {"overlapping", {3, 4, 20}, {3, 4, 150}, {0, 0, 0}, {0, 0, 100}, 25},
        {"contained, reversed", {3, 4, 80}, {3, 4, 20}, {0, 0, 0}, {0, 0, 100}, 25},
        {"gap past the end", {3, 4, 112}, {3, 4, 200}, {0, 0, 0}, {0, 0, 100}, 144 + 25},
        {"gap past the end, reversed", {3, 4, 200}, {3, 4, 112}, {0, 0, 0}, {0, 0, 100}, 144 + 25},
        {"gap before the start", {3, 4, -50}, {3, 4, -12}, {0, 0, 0}, {0, 0, 100}, 144 + 25},
        {"gap before the start, reversed", {3, 4, -12}, {3, 4, -50}, {0, 0, 0}, {0, 0, 100}, 144 + 25},
        {"collinear with a gap", {0, 0, 110}, {0, 0, 130}, {0, 0, 0}, {0, 0, 100}, 100},
        {"S1 is a point beside S2", {3, 4, 50}, {3, 4, 50}, {0, 0, 0}, {0, 0, 100}, 25},
        {"S1 is a point beyond S2", {0, 0, 103}, {0, 0, 103}, {0, 0, 0}, {0, 0, 100}, 9},
        // A point-sized S2 has no axis; the distance is from S1 to it.
        {"S2 is a point beside S1", {0, 0, 0}, {0, 0, 100}, {3, 4, 50}, {3, 4, 50}, 25},
        {"S2 is a point beyond S1", {0, 0, 0}, {0, 0, 100}, {0, 3, 104}, {0, 3, 104}, 25},
        {"both are points", {1, 2, 3}, {1, 2, 3}, {4, 6, 3}, {4, 6, 3}, 25},
    };
    for (const Case& c : cases) {
        const Segment3D<float> s1(c.a1, c.b1);
        const Segment3D<float> s2(c.a2, c.b2);
        float t1 = -777.0f;
        float t2 = -888.0f;
        bool parallel = false;
        EXPECT_FLOAT_EQ(c.expectedSquared, ShortestDistanceSquare(s1, s2, t1, t2, parallel)) << c.name;
        EXPECT_TRUE(parallel) << c.name;
        EXPECT_EQ(-777.0f, t1) << c.name;
        EXPECT_EQ(-888.0f, t2) << c.name;
        ExpectMatchesBruteForce(s1, s2, c.name);
    }
}

}  // namespace
