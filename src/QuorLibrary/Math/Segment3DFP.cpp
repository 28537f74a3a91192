#include "QuorLibrary/Math/Segment3DFP.h"

#include <algorithm>
#include <cstdint>

#include "QuorLibrary/Math/FixedPoint.h"
#include "QuorLibrary/Math/IntegerRounding.h"

namespace {

constexpr int kNormalisationShift = 12;

int64_t Dot64(const Vector3D<int>& a, const Vector3D<int>& b) {
    return static_cast<int64_t>(a.x) * b.x + static_cast<int64_t>(a.y) * b.y + static_cast<int64_t>(a.z) * b.z;
}

// A squared length summed in 32 bits (never negative as a sum of squares
// that wrapped), rounded to its root.
int RoundedRoot(int squared) { return vela_math::RoundedSqrt(static_cast<uint32_t>(squared)); }

}  // namespace

int ShortestDistanceInt(const Segment3DFP& s1, const Segment3DFP& s2) {
    using vela_math::RoundShift;
    Vector3D<int> u = s1.GetEnd() - s1.GetStart();
    Vector3D<int> v = s2.GetEnd() - s2.GetStart();
    const int length1 = NormalizeIntFPVec3D(u, kNormalisationShift);
    const int length2 = NormalizeIntFPVec3D(v, kNormalisationShift);
    const Vector3D<int> w = s1.GetStart() - s2.GetStart();
    const Vector3D<int> n = RoundShift(v.Cross(u), kNormalisationShift);
    const int nn = n.MagnitudeSquared();

    if (nn < 1) {
        if (length2 == 0) {
            // s2 is a point: it has no axis to place s1's start along.
            return RoundedRoot(s1.GetDistanceSquared(s2.GetStart()));
        }
        const int along = RoundShift(w.Dot(v), kNormalisationShift);
        int gap = 0;
        if (along > length2) {
            gap = along - length2;
        } else if (along < 0) {
            gap = -along;
        }
        int perpendicularSquared = 0;
        CrossProductMagnitudeSquaredFP(v, w, perpendicularSquared, kNormalisationShift, 0);
        return gap + RoundedRoot(perpendicularSquared);
    }

    // Millimetres: (shift 12 x mm) . shift 12 over a shift-24 |n|^2. The
    // products leave 32 bits for limb-sized segments.
    const int64_t t1 = vela_math::RoundedDivide<int64_t>(-Dot64(v.Cross(w), n), nn);
    const int64_t t2 = vela_math::RoundedDivide<int64_t>(-Dot64(u.Cross(w), n), nn);
    if (t1 < 0 || t1 > length1 || t2 < 0 || t2 > length2) {
        const int squared = std::min(std::min(s1.GetDistanceSquared(s2.GetStart()), s1.GetDistanceSquared(s2.GetEnd())),
                                     std::min(s2.GetDistanceSquared(s1.GetStart()), s2.GetDistanceSquared(s1.GetEnd())));
        return RoundedRoot(squared);
    }

    // q = w + u t1 - v t2 at shift 12, brought back to millimetres once.
    const int64_t half = int64_t(1) << (kNormalisationShift - 1);
    const Vector3D<int> q(
        static_cast<int>((w.x * (int64_t(1) << kNormalisationShift) + u.x * t1 - v.x * t2 + half) >> kNormalisationShift),
        static_cast<int>((w.y * (int64_t(1) << kNormalisationShift) + u.y * t1 - v.y * t2 + half) >> kNormalisationShift),
        static_cast<int>((w.z * (int64_t(1) << kNormalisationShift) + u.z * t1 - v.z * t2 + half) >> kNormalisationShift));
    const uint32_t qx = static_cast<uint32_t>(q.x);
    const uint32_t qy = static_cast<uint32_t>(q.y);
    const uint32_t qz = static_cast<uint32_t>(q.z);
    return vela_math::RoundedSqrt(qx * qx + qy * qy + qz * qz);
}
