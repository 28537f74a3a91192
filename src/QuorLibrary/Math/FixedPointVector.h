#pragma once

// Integer vector functions of the fixed-point geometry. Everything is 32-bit
// arithmetic that wraps like the original integer code (computed through
// vela_math so that the wrap is defined); callers keep magnitudes in range:
// millimetres of a few thousand, rotations at shift 12, directions at 14.

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "QuorLibrary/Math/FixedPoint.h"
#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/Vector3D.h"

namespace vela_math {

inline int SumOfSquares(const Vector3D<int>& v) { return Add(Add(Mul(v.x, v.x), Mul(v.y, v.y)), Mul(v.z, v.z)); }

// The length of v rounded (RoundedSqrt), its squares summed in unsigned 32
// bits: the integer length used by every fixed-point object.
inline int RoundedLength(const Vector3D<int>& v) {
    const uint32_t x = static_cast<uint32_t>(v.x);
    const uint32_t y = static_cast<uint32_t>(v.y);
    const uint32_t z = static_cast<uint32_t>(v.z);
    return RoundedSqrt(x * x + y * y + z * z);
}

}  // namespace vela_math

// d = a - b, each component first brought down by s1 with rounding when
// s1 > 0; the sum of squares then brought down by s2 with rounding when
// s2 > 0.
inline int SqrNormDiffFP2(const Vector3D<int>& a, const Vector3D<int>& b, const int& s1, const int& s2) {
    const Vector3D<int> d = vela_math::RoundShift(a - b, s1);
    return vela_math::RoundShift(vela_math::SumOfSquares(d), s2);
}

// |a - b|^2. The library passes a shift of 0 or less; a positive shift
// brings each difference down to whole units first, as SqrNormDiffFP2 does.
inline int SqrNormDiffFP(const Vector3D<int>& a, const Vector3D<int>& b, int shift) {
    return SqrNormDiffFP2(a, b, shift, 0);
}

// |a x b|^2 with the cross components brought down by s1 and each square by
// s2 (separately, before summing), both with rounding and only when the
// shift is positive.
inline void CrossProductMagnitudeSquaredFP(const Vector3D<int>& a, const Vector3D<int>& b, int& out, int s1, int s2) {
    using vela_math::Add;
    using vela_math::Mul;
    using vela_math::RoundShift;
    const Vector3D<int> c = RoundShift(a.Cross(b), s1);
    out = Add(Add(RoundShift(Mul(c.x, c.x), s2), RoundShift(Mul(c.y, c.y), s2)), RoundShift(Mul(c.z, c.z), s2));
}

// |a x b|^2 / 2^24 in steps that stay inside 32 bits: a millimetre vector
// crossed with a shift-12 direction gives the squared distance in mm^2.
// A rounded cross component beyond +-46340 would square past 32 bits; the
// point is then far from the line and the result saturates at the largest
// int, which callers clamp to their own far value.
template <typename T>
T CrossProductMagnitudeSquared_Int(const Vector3D<T>& a, const Vector3D<T>& b) {
    static_assert(std::is_same<T, int>::value, "the stepwise scaling is defined for int vectors");
    constexpr int kLargestSquarable = 46340;
    const Vector3D<int> c = vela_math::RoundShift(a.Cross(b), 8);
    if (c.x > kLargestSquarable || c.x < -kLargestSquarable || c.y > kLargestSquarable ||
        c.y < -kLargestSquarable || c.z > kLargestSquarable || c.z < -kLargestSquarable) {
        return std::numeric_limits<int>::max();
    }
    const int sum = ((c.x * c.x + 2) >> 2) + ((c.y * c.y + 2) >> 2) + ((c.z * c.z + 2) >> 2);
    return (sum + 32) >> 6;
}

// v minus its component along the unit normal n given at shift:
// m = (v.n + half) >> shift, v_i - ((half + n_i m) >> shift). With a shift
// of 0 or less, v - n (v.n).
inline Vector3D<int> ProjectedOnPlane(const Vector3D<int>& v, const Vector3D<int>& n, const int& shift) {
    using vela_math::Mul;
    using vela_math::RoundShift;
    if (shift <= 0) {
        return v - n * v.Dot(n);
    }
    const int m = RoundShift(v.Dot(n), shift);
    return Vector3D<int>(vela_math::Sub(v.x, RoundShift(Mul(n.x, m), shift)),
                         vela_math::Sub(v.y, RoundShift(Mul(n.y, m), shift)),
                         vela_math::Sub(v.z, RoundShift(Mul(n.z, m), shift)));
}

// Scales v to unit length at shift: r = |v| rounded, v = (v << shift) / r
// with truncating division (v << shift when r = 0). Returns r.
inline int NormalizeIntFPVec3D(Vector3D<int>& v, int shift) {
    assert(shift >= 0 && shift < 31);
    const int r = vela_math::RoundedLength(v);
    const Vector3D<int> scaled = v * (1 << shift);
    v = r == 0 ? scaled : Vector3D<int>(scaled.x / r, scaled.y / r, scaled.z / r);
    return r;
}
