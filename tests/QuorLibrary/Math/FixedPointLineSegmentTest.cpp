#include <gtest/gtest.h>

#include "QuorLibrary/Math/Line3DFP.h"
#include "QuorLibrary/Math/Segment2D.h"
#include "QuorLibrary/Math/Segment3DAccelFP.h"
#include "QuorLibrary/Math/Segment3DFP.h"

namespace {

using V2i = Vector2D<int>;
using V3i = Vector3D<int>;
using V3f = Vector3D<float>;

TEST(FixedPointLineTest, LineThroughTwoPoints) {
    const Line3DFP line(V3i(0, 0, 0), V3i(0, 0, 100));
    EXPECT_EQ(14, line.GetShift());
    EXPECT_EQ(16384, line.GetScale());
    EXPECT_EQ(8192, line.GetHalf());
    EXPECT_EQ(V3i(0, 0, 16384), line.m_direction);
    EXPECT_EQ(50, line.GetDistance(V3i(30, 40, 50)));
    EXPECT_EQ(V3i(0, 0, 10), line.DirTimes(10));
    EXPECT_EQ(50, line.ClosestPointParameter(V3i(30, 40, 50), 0));
    EXPECT_EQ(50, line.ClosestPointParameter(V3i(30, 40, 50)));
    // A point at scale 4 comes back to millimetres first.
    EXPECT_EQ(50, line.ClosestPointParameter(V3i(120, 160, 200), 2));
    EXPECT_EQ(V3i(0, 0, 50), line.ClosestPoint(V3i(30, 40, 50)));

    // Through the base class the overridden operations are used.
    const Line3D<int>& base = line;
    EXPECT_EQ(50, base.GetDistance(V3i(30, 40, 50)));
    EXPECT_EQ(50, base.DirTimes(V3i(30, 40, 50)));

    EXPECT_EQ(V3i(0, 0, 0), Line3DFP(V3i(5, 6, 7), V3i(5, 6, 7)).m_direction);
    EXPECT_EQ(V3i(16384, 0, 0), Line3DFP().m_direction);
}

TEST(FixedPointLineTest, ShiftTwelveLineFromFloat) {
    Line3DFP line;
    line.SetShift(12);
    line.FromDouble(Line3D<float>(V3f(0.4f, -0.5f, 2.5f), V3f(0.0f, 0.6f, 0.8f)));
    EXPECT_EQ(4096, line.GetScale());
    EXPECT_EQ(2048, line.GetHalf());
    EXPECT_EQ(V3i(0, 0, 3), line.m_origin);
    EXPECT_EQ(V3i(0, 2458, 3277), line.m_direction);  // 2457.6 and 3276.8 rounded
    // Two cross units per millimetre, squares brought back by 2 bits.
    EXPECT_EQ(300, line.GetDistance(V3i(300, 0, 3)));
    EXPECT_EQ(V3i(0, 600, 800), line.DirTimes(1000));
    EXPECT_EQ(60, line.DirTimes(V3i(0, 100, 0)));  // 60.01
}

TEST(FixedPointSegmentTest, DistanceSquaredComesInStepsOf4096) {
    const Segment3DFP segment(V3i(0, 0, 0), V3i(0, 0, 1000));
    struct Case {
        V3i p;
        int expected;
    };
    const Case cases[] = {
        {V3i(0, 0, -10), 100},     // before the start: exact
        {V3i(0, 0, 1010), 100},    // past the end: exact
        {V3i(3, 4, 0), 25},        // t = 0 counts as the start
        {V3i(100, 0, 500), 8192},  // 100^2 = 10000 truncated to 2 steps
        {V3i(50, 0, 500), 0},
        {V3i(63, 0, 500), 0},  // every interior distance below 64 mm reads 0
        {V3i(64, 0, 500), 4096},
        {V3i(0, -300, 999), 86016},  // 90000 truncated to 21 steps
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, segment.GetDistanceSquared(c.p)) << c.p;
    }
    // A segment of length 0 measures from its start.
    EXPECT_EQ(50, Segment3DFP(V3i(1, 1, 1), V3i(1, 1, 1)).GetDistanceSquared(V3i(4, 5, 6)));
}

TEST(FixedPointSegmentTest, ShortestDistanceInt) {
    struct Case {
        V3i a1, b1, a2, b2;
        int expected;
        const char* what;
    };
    const Case cases[] = {
        {V3i(0, 0, 0), V3i(1000, 0, 0), V3i(500, -500, 100), V3i(500, 500, 100), 100, "crossing"},
        {V3i(0, 0, 0), V3i(1000, 0, 0), V3i(300, -200, -150), V3i(300, 800, -150), 150, "crossing off centre"},
        // Parallel: the gap of s1's start beyond s2 plus its distance from
        // s2's line; only s1's start is placed along s2.
        {V3i(3000, 0, 0), V3i(4000, 0, 0), V3i(1500, 0, 100), V3i(2500, 0, 100), 600, "parallel beyond s2"},
        {V3i(0, 0, 0), V3i(1000, 0, 0), V3i(1500, 0, 100), V3i(2500, 0, 100), 1600, "parallel before s2"},
        {V3i(1800, 0, 0), V3i(2200, 0, 0), V3i(1500, 0, 100), V3i(2500, 0, 100), 100, "parallel beside"},
        // Nearest points of the lines outside s1: the end-point distances,
        // 583 from 340000 mm^2 truncated to 339968.
        {V3i(0, 0, 0), V3i(1000, 0, 0), V3i(1500, -500, 300), V3i(1500, 500, 300), 583, "beyond the end"},
        // A point as s1 is placed along s2 like a parallel segment.
        {V3i(500, 300, 400), V3i(500, 300, 400), V3i(0, 0, 0), V3i(1000, 0, 0), 500, "s1 a point"},
        // A point as s2 is measured from s1 (it has no axis to place s1 on).
        {V3i(0, 0, 0), V3i(1000, 0, 0), V3i(500, 300, 400), V3i(500, 300, 400), 500, "s2 a point"},
        {V3i(0, 0, 0), V3i(0, 0, 0), V3i(30, 40, 0), V3i(30, 40, 0), 50, "two points"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, ShortestDistanceInt(Segment3DFP(c.a1, c.b1), Segment3DFP(c.a2, c.b2))) << c.what;
    }
}

TEST(FixedPointSegmentTest, AcceleratedSegmentFromIntegerSegment) {
    const Segment3DAccelFP empty;
    EXPECT_EQ(14, empty.GetUnitShift());
    EXPECT_EQ(16384, empty.GetUnitMultiplier());
    EXPECT_EQ(0, empty.GetPositionShift());
    EXPECT_EQ(0, empty.GetScaledLength());
    EXPECT_EQ(V3i(0, 0, 0), empty.GetAccelUnitDirection());

    Segment3DAccelFP segment;
    segment.Initialize(Segment3DFP(V3i(0, 0, 0), V3i(0, 0, 1000)));
    EXPECT_EQ(V3i(0, 0, 1000), segment.GetAccelDirection());
    EXPECT_EQ(V3i(0, 0, 16384), segment.GetAccelUnitDirection());
    EXPECT_EQ(1000, segment.GetIntLength());
    EXPECT_EQ(1000, segment.GetScaledLength());
    struct Case {
        V3i p;
        int expected;
    };
    const Case cases[] = {
        {V3i(30, 40, 500), 2500}, {V3i(0, 0, 1003), 9}, {V3i(0, 0, -4), 16}, {V3i(3, 4, 0), 25},
        {V3i(-3, 4, 999), 25},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, segment.GetDistanceSquared(c.p)) << c.p;
    }

    // Position shift 2 (quarter millimetres): distances still in mm^2.
    const Segment3DAccelFP fine(V3i(0, 0, 0), V3i(0, 0, 4000), 2);
    EXPECT_EQ(1, fine.GetHalfShift());
    EXPECT_EQ(4000, fine.GetIntLength());
    EXPECT_EQ(4000, fine.GetScaledLength());
    EXPECT_EQ(V3i(0, 0, 16384), fine.GetAccelUnitDirection());
    EXPECT_EQ(2500, fine.GetDistanceSquared(V3i(120, 160, 2000)));
    EXPECT_EQ(9, fine.GetDistanceSquared(V3i(0, 0, 4012)));
    EXPECT_EQ(25, fine.GetDistanceSquared(V3i(-12, 16, -1)));

    // A segment of length 0 gives a null direction and measures from its start.
    Segment3DAccelFP point;
    point.Initialize(Segment3DFP(V3i(5, 5, 5), V3i(5, 5, 5)));
    EXPECT_EQ(V3i(0, 0, 0), point.GetAccelUnitDirection());
    EXPECT_EQ(27, point.GetDistanceSquared(V3i(8, 8, 8)));
}

TEST(FixedPointSegmentTest, AcceleratedSegmentFromFloat) {
    const Segment3DAccel<float> source(V3f(0.4f, -0.5f, 0.0f), V3f(0.4f, -0.5f, 999.6f));
    Segment3DAccelFP segment;
    segment.Initialize(source);
    EXPECT_EQ(V3i(0, 0, 0), segment.GetStart());
    EXPECT_EQ(V3i(0, 0, 1000), segment.GetEnd());
    EXPECT_EQ(0, segment.GetFlags());
    EXPECT_EQ(V3i(0, 0, 1000), segment.GetAccelDirection());
    EXPECT_EQ(V3i(0, 0, 16384), segment.GetAccelUnitDirection());
    EXPECT_EQ(1000, segment.GetIntLength());  // 999.6 rounded
    EXPECT_EQ(1000, segment.GetScaledLength());
    EXPECT_EQ(2500, segment.GetDistanceSquared(V3i(30, 40, 500)));
}

TEST(FixedPointSegmentTest, RoundToScaledIntegerAccelSegment) {
    const Segment3DAccel<float> source(V3f(0.0f, 0.0f, 0.0f), V3f(0.0f, 0.0f, 10.0f));
    Segment3DAccel<int> out;
    Round(source, out, 4096);
    EXPECT_EQ(V3i(0, 0, 0), out.GetStart());
    EXPECT_EQ(V3i(0, 0, 10), out.GetEnd());
    EXPECT_EQ(0, out.GetFlags());
    EXPECT_EQ(V3i(0, 0, 4096), out.GetAccelUnitDirection());
    EXPECT_EQ(40960, out.GetAccelLength());
    // Beside the segment: |d x direction|^2 at the scale squared.
    EXPECT_EQ(25 * 4096 * 4096, out.GetDistanceSquared(V3i(3, 4, 5)));
    EXPECT_EQ(4, out.GetDistanceSquared(V3i(0, 0, 12)));
    EXPECT_EQ(1, out.GetDistanceSquared(V3i(0, 0, -1)));
}

TEST(FixedPointSegment2DTest, DistanceSquaredComesInStepsOf16) {
    const Segment2D<int> segment(V2i(0, 0), V2i(100, 0));
    struct Case {
        V2i p;
        int expected;
    };
    const Case cases[] = {
        {V2i(-3, 4), 25}, {V2i(104, 3), 25}, {V2i(50, 10), 96}, {V2i(50, -10), 96}, {V2i(50, 3), 0},
        {V2i(50, 20), 400},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, segment.GetDistanceSquaredIntFP(c.p)) << c.p;
    }
    EXPECT_TRUE(segment.GetFlags() & 1);
    EXPECT_EQ(10000, segment.GetSquaredLength());
}

TEST(FixedPointSegment2DTest, IntersectInt) {
    V2i point(-1, -1);
    EXPECT_TRUE(Segment2D<int>(V2i(0, 0), V2i(20, 20)).IntersectInt(Segment2D<int>(V2i(0, 20), V2i(20, 0)), point));
    EXPECT_EQ(V2i(10, 10), point);
    EXPECT_TRUE(Segment2D<int>(V2i(0, 0), V2i(30, 0)).IntersectInt(Segment2D<int>(V2i(7, -10), V2i(7, 10)), point));
    EXPECT_EQ(V2i(7, 0), point);

    point = V2i(-1, -1);
    EXPECT_FALSE(Segment2D<int>(V2i(0, 0), V2i(10, 0)).IntersectInt(Segment2D<int>(V2i(0, 5), V2i(10, 5)), point));
    EXPECT_EQ(V2i(-1, -1), point);
    // |g| = 4: too close to parallel.
    EXPECT_FALSE(Segment2D<int>(V2i(0, 0), V2i(2, 0)).IntersectInt(Segment2D<int>(V2i(0, -1), V2i(1, 1)), point));
    // The lines cross beyond q's end.
    EXPECT_FALSE(Segment2D<int>(V2i(0, 0), V2i(40, 0)).IntersectInt(Segment2D<int>(V2i(10, 5), V2i(10, 20)), point));
    EXPECT_EQ(V2i(-1, -1), point);
    // The crossing lies on q but beyond this segment's end: written, false.
    EXPECT_FALSE(Segment2D<int>(V2i(0, 0), V2i(10, 10)).IntersectInt(Segment2D<int>(V2i(20, 0), V2i(20, 40)), point));
    EXPECT_EQ(V2i(20, 20), point);
}

}  // namespace
