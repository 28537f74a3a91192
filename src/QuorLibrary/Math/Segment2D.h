#pragma once

// A 2D segment with cached length and direction, and the crossing of two
// segments.

#include <cmath>

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
};
