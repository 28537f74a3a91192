// The integer geometry against its float twins and exact double arithmetic
// over random limb-sized segments: the differences must stay inside the
// quantisation the integer formats imply (4096 mm^2 steps beside a
// Segment3DFP, rounded cross components, directions at shift 12 or 14).
// The asan build runs these under UBSan, which also checks that no signed
// overflow occurs for inputs of this size.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "QuorLibrary/Math/FixedPointVector.h"
#include "QuorLibrary/Math/Frame3DFP.h"
#include "QuorLibrary/Math/Line3DFP.h"
#include "QuorLibrary/Math/Segment2D.h"
#include "QuorLibrary/Math/Segment3DAccel.h"
#include "QuorLibrary/Math/Segment3DAccelFP.h"
#include "QuorLibrary/Math/Segment3DFP.h"
#include "QuorLibrary/Math/SegmentDistance.h"

namespace {

using V3i = Vector3D<int>;
using V3f = Vector3D<float>;

struct V3d {
    double x, y, z;
};

V3d ToDouble(const V3i& v) { return {double(v.x), double(v.y), double(v.z)}; }
V3d Sub(const V3d& a, const V3d& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(const V3d& a, const V3d& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3d Lerp(const V3d& a, const V3d& b, double t) {
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)};
}

// Exact squared distance from p to the segment a-b, and the parameter of
// the foot (unclamped) along it.
double PointSegmentSquared(const V3d& p, const V3d& a, const V3d& b, double* along = nullptr) {
    const V3d d = Sub(b, a);
    const double ll = Dot(d, d);
    const double t = ll > 0 ? Dot(Sub(p, a), d) / ll : 0.0;
    if (along != nullptr) {
        *along = t;
    }
    const V3d e = Sub(p, Lerp(a, b, std::min(1.0, std::max(0.0, t))));
    return Dot(e, e);
}

// Exact segment-segment distance: the distance along s1 is convex, so a
// ternary search over s1's parameter finds the minimum.
double SegmentSegmentDistance(const V3d& a1, const V3d& b1, const V3d& a2, const V3d& b2) {
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 200; ++i) {
        const double m1 = lo + (hi - lo) / 3;
        const double m2 = hi - (hi - lo) / 3;
        if (PointSegmentSquared(Lerp(a1, b1, m1), a2, b2) < PointSegmentSquared(Lerp(a1, b1, m2), a2, b2)) {
            hi = m2;
        } else {
            lo = m1;
        }
    }
    return std::sqrt(PointSegmentSquared(Lerp(a1, b1, 0.5 * (lo + hi)), a2, b2));
}

// Limb-sized segments: 150 to 600 mm long, anywhere in a 2 m box around
// the body.
class LimbGenerator {
public:
    explicit LimbGenerator(unsigned seed) : m_rng(seed) {}

    V3i Point(int range) {
        std::uniform_int_distribution<int> c(-range, range);
        const int x = c(m_rng);
        const int y = c(m_rng);
        const int z = c(m_rng);
        return V3i(x, y, z);
    }
    Segment3DFP Limb() {
        const V3i start = Point(1000);
        std::uniform_real_distribution<double> length(150.0, 600.0);
        const V3d d = UnitDirection();
        const double l = length(m_rng);
        const V3i end = start + V3i(int(std::lround(d.x * l)), int(std::lround(d.y * l)), int(std::lround(d.z * l)));
        return Segment3DFP(start, end);
    }
    V3d UnitDirection() {
        std::normal_distribution<double> n(0.0, 1.0);
        for (;;) {
            const V3d d = {n(m_rng), n(m_rng), n(m_rng)};
            const double l = std::sqrt(Dot(d, d));
            if (l > 1e-3) {
                return {d.x / l, d.y / l, d.z / l};
            }
        }
    }
    std::mt19937& Rng() { return m_rng; }

private:
    std::mt19937 m_rng;
};

TEST(FixedPointDifferentialTest, RoundedDivisionAndShiftMatchExactRounding) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> value(-1000000, 1000000);
    std::uniform_int_distribution<int> divisor(1, 5000);
    std::uniform_int_distribution<int> shift(1, 16);
    for (int i = 0; i < 100000; ++i) {
        const int x = value(rng);
        const int d = (i % 2 == 0 ? 1 : -1) * divisor(rng);
        // Division: halves away from zero, as lround does.
        ASSERT_EQ(std::lround(double(x) / d), rounddiv3D(V3i(x, 0, 0), d).x) << x << " / " << d;
        // Shift: halves up, floor(x / 2^s + 1/2).
        const int s = shift(rng);
        ASSERT_EQ(std::floor(std::ldexp(double(x), -s) + 0.5), double(vela_math::RoundShift(x, s))) << x << " >> " << s;
    }
}

TEST(FixedPointDifferentialTest, SegmentDistanceSquaredTruncatesTo4096Steps) {
    LimbGenerator gen(101);
    int interior = 0;
    for (int i = 0; i < 20000; ++i) {
        const Segment3DFP s = gen.Limb();
        const V3i p = gen.Point(1400);
        double along = 0;
        const double exact = PointSegmentSquared(ToDouble(p), ToDouble(s.GetStart()), ToDouble(s.GetEnd()), &along);
        const int fp = s.GetDistanceSquared(p);
        if (along <= 0.0 || along >= 1.0) {
            ASSERT_EQ(exact, double(fp)) << "past an end, i = " << i;
        } else {
            ++interior;
            // Whole steps of 4096 mm^2 below the exact value, give or take
            // the rounding of the cross components to 1/64: up to
            // sqrt(3) |cross| / 64 + 3/4 on the shifted square, which the
            // division by the squared length and the step size scale.
            const V3i along = s.GetEnd() - s.GetStart();
            const double squaredLength = Dot(ToDouble(along), ToDouble(along));
            const double cross = std::sqrt(exact * squaredLength);
            const double rounding = 4096.0 * (std::sqrt(3.0) * cross / 64.0 + 0.75) / squaredLength;
            ASSERT_EQ(0, fp % 4096) << i;
            ASSERT_LE(double(fp), exact + rounding) << i;
            ASSERT_GT(double(fp), exact - 4096.0 - rounding) << i;
        }
    }
    EXPECT_GT(interior, 2000);
}

TEST(FixedPointDifferentialTest, AcceleratedSegmentMatchesItsFloatTwin) {
    LimbGenerator gen(202);
    for (int positionShift : {0, 2}) {
        const int scale = 1 << positionShift;
        for (int i = 0; i < 20000; ++i) {
            const Segment3DFP mm = gen.Limb();
            const V3i p = gen.Point(1400);
            const Segment3DAccelFP accel(mm.GetStart() * scale, mm.GetEnd() * scale, positionShift);
            const Segment3DAccel<float> twin(V3f(mm.GetStart()), V3f(mm.GetEnd()));
            const double fp = std::sqrt(double(accel.GetDistanceSquared(p * scale)));
            const double reference = std::sqrt(double(twin.GetDistanceSquared(V3f(p))));
            const double exact =
                std::sqrt(PointSegmentSquared(ToDouble(p), ToDouble(mm.GetStart()), ToDouble(mm.GetEnd())));
            // Cross components rounded to whole millimetres (0.87 mm over
            // three axes) and a shift-14 direction over up to 3 m.
            ASSERT_NEAR(exact, fp, 1.2) << "shift " << positionShift << ", i = " << i;
            ASSERT_NEAR(reference, fp, 1.2) << "shift " << positionShift << ", i = " << i;
        }
    }

    // From the float twin itself, in millimetres.
    for (int i = 0; i < 5000; ++i) {
        const Segment3DFP mm = gen.Limb();
        const V3i p = gen.Point(1400);
        const Segment3DAccel<float> twin(V3f(mm.GetStart()), V3f(mm.GetEnd()));
        Segment3DAccelFP accel;
        accel.Initialize(twin);
        ASSERT_NEAR(std::sqrt(double(twin.GetDistanceSquared(V3f(p)))), std::sqrt(double(accel.GetDistanceSquared(p))),
                    1.2)
            << i;
    }
}

TEST(FixedPointDifferentialTest, ShortestDistanceIntMatchesExactDistance) {
    LimbGenerator gen(303);
    for (int i = 0; i < 20000; ++i) {
        const Segment3DFP s1 = gen.Limb();
        const Segment3DFP s2 = gen.Limb();
        const double exact = SegmentSegmentDistance(ToDouble(s1.GetStart()), ToDouble(s1.GetEnd()),
                                                    ToDouble(s2.GetStart()), ToDouble(s2.GetEnd()));
        const Segment3D<float> f1(V3f(s1.GetStart()), V3f(s1.GetEnd()));
        const Segment3D<float> f2(V3f(s2.GetStart()), V3f(s2.GetEnd()));
        const double twin = ShortestDistance(f1, f2);
        const int fp = ShortestDistanceInt(s1, s2);
        // Between the nearest points of the lines the distance is exact up to
        // the shift-12 directions and whole-millimetre parameters; past an
        // end it comes from Segment3DFP's 4096 mm^2 steps.
        const double low = std::sqrt(std::max(0.0, exact * exact - 4096.0 - 64.0)) - 2.0;
        ASSERT_LE(double(fp), exact + 2.0) << "i = " << i << " twin " << twin;
        ASSERT_GE(double(fp), low) << "i = " << i << " twin " << twin;
        ASSERT_NEAR(exact, twin, 0.05) << i;
    }
}

TEST(FixedPointDifferentialTest, ParallelSegmentsGiveGapPlusPerpendicular) {
    LimbGenerator gen(404);
    for (int i = 0; i < 5000; ++i) {
        const Segment3DFP s2 = gen.Limb();
        // s1 parallel to s2 (the same integer direction, either way round),
        // shifted sideways and along.
        const V3i direction = s2.GetEnd() - s2.GetStart();
        const V3i offset = gen.Point(800);
        const bool reversed = (i % 2) == 1;
        const Segment3DFP s1(reversed ? s2.GetEnd() + offset : s2.GetStart() + offset,
                             reversed ? s2.GetStart() + offset : s2.GetEnd() + offset);
        const V3d a2 = ToDouble(s2.GetStart());
        const V3d d2 = ToDouble(direction);
        const double length2 = std::sqrt(Dot(d2, d2));
        const V3d w = Sub(ToDouble(s1.GetStart()), a2);
        const double along = Dot(w, d2) / length2;
        const double perpendicular = std::sqrt(std::max(0.0, Dot(w, w) - along * along));
        const double gap = along > length2 ? along - length2 : (along < 0 ? -along : 0.0);
        // The shift-12 direction is s2's difference over its rounded length
        // (up to 0.5 / length too short or long) and truncated by up to a
        // unit per axis: both the position along s2 and the perpendicular
        // carry these relative errors; then the rounded length and two
        // roundings.
        const double relative = 0.5 / length2 + std::sqrt(3.0) / 4096.0;
        const double tolerance = 2.0 + (std::fabs(along) + perpendicular) * relative;
        ASSERT_NEAR(gap + perpendicular, double(ShortestDistanceInt(s1, s2)), tolerance) << i;
    }
}

TEST(FixedPointDifferentialTest, LineDistanceMatchesFloatLine) {
    LimbGenerator gen(505);
    for (int shift : {14, 12}) {
        for (int i = 0; i < 20000; ++i) {
            const V3d d = gen.UnitDirection();
            const V3i origin = gen.Point(1000);
            const Line3D<float> twin(V3f(origin), V3f(float(d.x), float(d.y), float(d.z)));
            Line3DFP line;
            line.SetShift(shift);
            line.FromDouble(twin);
            const V3i p = gen.Point(1400);
            // Directions off by up to half a unit at the shift over 4 m.
            ASSERT_NEAR(twin.GetDistance(V3f(p)), double(line.GetDistance(p)), shift == 14 ? 1.0 : 1.5)
                << "shift " << shift << ", i = " << i;
            const double parameter = twin.DirTimes(V3f(p) - twin.m_origin);
            ASSERT_NEAR(parameter, double(line.ClosestPointParameter(p, 0)), shift == 14 ? 1.0 : 1.5);
        }
    }
}

TEST(FixedPointDifferentialTest, CrossProductMagnitudeIntMatchesFloatOrSaturates) {
    LimbGenerator gen(606);
    const int far = std::numeric_limits<int>::max();
    int saturated = 0;
    for (int i = 0; i < 20000; ++i) {
        const V3i a = gen.Point(4000);
        const V3d d = gen.UnitDirection();
        const V3i b(int(std::lround(d.x * 4096)), int(std::lround(d.y * 4096)), int(std::lround(d.z * 4096)));
        const int fp = CrossProductMagnitudeSquared_Int<int>(a, b);
        const V3i c = a.Cross(b);
        const double cx = c.x / 256.0, cy = c.y / 256.0, cz = c.z / 256.0;
        if (std::max({std::fabs(cx), std::fabs(cy), std::fabs(cz)}) > 46340.5) {
            ++saturated;
            ASSERT_EQ(far, fp) << i;
            continue;
        }
        if (fp == far) {
            continue;  // the rounded component just crossed the limit
        }
        const double exact = std::sqrt(double(c.x) * c.x + double(c.y) * c.y + double(c.z) * c.z) / 4096.0;
        ASSERT_NEAR(exact, std::sqrt(double(fp)), 0.5) << i;
    }
    EXPECT_GT(saturated, 1000);
}

TEST(FixedPointDifferentialTest, Segment2DDistanceComesInStepsOf16) {
    std::mt19937 rng(707);
    std::uniform_int_distribution<int> c(0, 320);
    for (int i = 0; i < 20000; ++i) {
        const int ax = c(rng), ay = c(rng), bx = c(rng), by = c(rng), px = c(rng), py = c(rng);
        const int h = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
        if (h < 400) {
            continue;  // quantisation is relative to the length; keep segments of 20 pixels or more
        }
        const Segment2D<int> s(Vector2D<int>(ax, ay), Vector2D<int>(bx, by));
        const V3d a = {double(ax), double(ay), 0.0};
        const V3d b = {double(bx), double(by), 0.0};
        double along = 0;
        const double exact = PointSegmentSquared({double(px), double(py), 0.0}, a, b, &along);
        const int fp = s.GetDistanceSquaredIntFP(Vector2D<int>(px, py));
        if (along <= 0.0 || along >= 1.0) {
            ASSERT_EQ(exact, double(fp)) << i;
        } else {
            // Steps of 16, from a cross product rounded to quarters: its
            // rounding moves the square by up to 16 (|c| + 1/4) / h.
            const double cross = std::fabs(double(px - ax) * (by - ay) - double(bx - ax) * (py - ay));
            const double rounding = 16.0 * (cross / 4.0 + 0.25) / h;
            ASSERT_EQ(0, fp % 16) << i;
            ASSERT_LE(double(fp), exact + rounding) << i;
            ASSERT_GT(double(fp), exact - 16.0 - rounding) << i;
        }
    }
}

TEST(FixedPointDifferentialTest, FrameMatchesFloatFrame) {
    std::mt19937 rng(808);
    std::uniform_real_distribution<float> angle(-3.0f, 3.0f);
    std::uniform_real_distribution<float> coordinate(-1500.0f, 1500.0f);
    for (int i = 0; i < 5000; ++i) {
        const float ax = angle(rng), ay = angle(rng), az = angle(rng);
        const float ox = coordinate(rng), oy = coordinate(rng), oz = coordinate(rng);
        const Frame3D<float> frame(V3f(ox, oy, oz), Matrix3X3<float>::FixedXYZRotation(ax, ay, az));
        Frame3DFP fp;
        fp.FromDouble(frame);
        const float px = coordinate(rng), py = coordinate(rng), pz = coordinate(rng);
        const V3i p = V3f(px, py, pz).Round();
        const V3f expected = frame.WorldToFrame(V3f(p));
        const V3i actual = fp.WorldToFrame(p);
        // Origin rounding 0.5 mm per axis, rotation elements 1/8192 over up
        // to 3 m per axis, the result rounded.
        ASSERT_NEAR(expected.x, actual.x, 3.0f) << i;
        ASSERT_NEAR(expected.y, actual.y, 3.0f) << i;
        ASSERT_NEAR(expected.z, actual.z, 3.0f) << i;
    }
}

}  // namespace
