#pragma once

// A 2D segment with cached length and direction, and the crossing of two
// segments.

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/SegmentBase.h"
#include "QuorLibrary/Math/Vector2D.h"

template <typename T>
class Segment2D : public SegmentBase<Vector2D<T> > {
public:
    Segment2D() = default;
    Segment2D(const Vector2D<T>& start, const Vector2D<T>& end) : SegmentBase<Vector2D<T> >(start, end) {}

    // True when this segment and q cross; point is then the crossing. Nearly
    // parallel segments (|dP x dQ| not above epsilon) never cross. point may
    // be written even when the result is false.
    bool Intersect(const Segment2D& q, Vector2D<T>& point, T epsilon) const {
        const Vector2D<T> dP = this->m_end - this->m_start;
        const Vector2D<T> dQ = q.m_end - q.m_start;
        const T g = dP.x * dQ.y - dP.y * dQ.x;
        if (!(epsilon < std::abs(g))) {
            return false;
        }
        const Vector2D<T> offset = this->m_start - q.m_start;
        const T s = (offset.y * dP.x - offset.x * dP.y) / g;
        if (!(0 <= s && s <= 1)) {
            return false;
        }
        point = q.m_start + dQ * s;
        const T u = (point - this->m_start).Dot(dP);
        return 0 <= u && u <= dP.MagnitudeSquared();
    }

    // Integer pixel geometry (T = int), in 32-bit arithmetic.

    // Squared distance from p. Beside the segment the cross product is
    // quartered with rounding, squared and divided by the squared length
    // before scaling back by 16, so the value comes in steps of 16.
    T GetDistanceSquaredIntFP(const Vector2D<T>& p) const {
        static_assert(std::is_same<T, int>::value, "integer segments only");
        const T h = this->GetSquaredLength();
        const Vector2D<T> along = this->m_end - this->m_start;
        const Vector2D<T> d = p - this->m_start;
        const T t = d.Dot(along);
        if (t <= 0) {
            return d.MagnitudeSquared();
        }
        if (t >= h) {
            return (p - this->m_end).MagnitudeSquared();
        }
        const uint32_t c = static_cast<uint32_t>(vela_math::Add(d.Cross(along), 2) >> 2);
        return static_cast<T>(((c * c) / static_cast<uint32_t>(h)) << 4);
    }

    // True when this segment and q cross; point is then the crossing,
    // rounded toward zero. Written before the last test, so it may be set
    // when the result is false. Crossings are found without dividing until
    // the point itself; the quartered determinants keep its products in 32
    // bits.
    bool IntersectInt(const Segment2D& q, Vector2D<T>& point) const {
        static_assert(std::is_same<T, int>::value, "integer segments only");
        using vela_math::Add;
        using vela_math::Mul;
        using vela_math::Sub;
        const Vector2D<T> dP = this->m_end - this->m_start;
        const Vector2D<T> dQ = q.m_end - q.m_start;
        const T g = dP.Cross(dQ);
        if (g >= -4 && g <= 4) {
            return false;
        }
        const Vector2D<T> offset = this->m_start - q.m_start;
        const T h = Sub(Mul(offset.y, dP.x), Mul(offset.x, dP.y));
        // 0 <= h / g <= 1.
        if (g > 0 ? (h < 0 || h > g) : (h > 0 || h < g)) {
            return false;
        }
        const T g4 = g >> 2;
        const T h4 = h >> 2;
        point.x = Add(Mul(dQ.x, h4), Mul(q.m_start.x, g4)) / g4;
        point.y = Add(Mul(dQ.y, h4), Mul(q.m_start.y, g4)) / g4;
        const T u = (point - this->m_start).Dot(dP);
        return 0 <= u && u <= dP.MagnitudeSquared();
    }
};
