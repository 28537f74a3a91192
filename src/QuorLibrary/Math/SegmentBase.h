#pragma once

// A segment between two points with its length, direction and midpoint
// cached on first demand. Queries are const and fill the caches; moving an
// end point through the setters drops them.

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename V>
class SegmentBase {
public:
    using Scalar = typename std::decay<decltype(std::declval<V>().x)>::type;

    // Cache validity bits of GetFlags().
    enum : uint16_t {
        SQUARED_LENGTH_VALID = 1,        // squared length and its inverse
        LENGTH_AND_DIRECTION_VALID = 2,  // length, its inverse, unit direction
        MIDPOINT_VALID = 4,
    };

    SegmentBase()
        : m_start(), m_end(), m_nFlags(0), m_squaredLength(0), m_inverseSquaredLength(0), m_length(0),
          m_inverseLength(0), m_unitDirection(), m_midpoint() {}
    SegmentBase(const V& start, const V& end) : SegmentBase() {
        m_start = start;
        m_end = end;
    }

    const V& GetStart() const { return m_start; }
    const V& GetEnd() const { return m_end; }
    void SetStart(const V& start) {
        m_start = start;
        m_nFlags = 0;
    }
    void SetEnd(const V& end) {
        m_end = end;
        m_nFlags = 0;
    }
    void Set(const V& start, const V& end) {
        m_start = start;
        m_end = end;
        m_nFlags = 0;
    }
    uint16_t GetFlags() const { return m_nFlags; }

    // Fills the squared length and its inverse unless cached, then always
    // recomputes the length, its inverse and the unit direction.
    void UpdateLengthAndDirection() const {
        UpdateSquaredLength();
        m_length = sqrtf(m_squaredLength);
        m_inverseLength = InverseOf(m_length);
        m_unitDirection = (m_end - m_start) * m_inverseLength;
        m_nFlags |= LENGTH_AND_DIRECTION_VALID;
    }

    Scalar GetSquaredLength() const {
        UpdateSquaredLength();
        return m_squaredLength;
    }
    // 0 for a segment of length 0.
    Scalar GetInverseSquaredLength() const {
        UpdateSquaredLength();
        return m_inverseSquaredLength;
    }
    Scalar GetLength() const {
        UpdateLengthAndDirectionIfNeeded();
        return m_length;
    }
    // 0 for a segment of length 0.
    Scalar GetInverseLength() const {
        UpdateLengthAndDirectionIfNeeded();
        return m_inverseLength;
    }
    // (0, ...) for a segment of length 0.
    const V& GetUnitDirection() const {
        UpdateLengthAndDirectionIfNeeded();
        return m_unitDirection;
    }
    const V& GetMidpoint() const {
        if (!(m_nFlags & MIDPOINT_VALID)) {
            m_midpoint = (m_start + m_end) * Scalar(0.5);
            m_nFlags |= MIDPOINT_VALID;
        }
        return m_midpoint;
    }

    // Squared distance from p to the nearest point of the segment; uses the
    // cached inverse squared length instead of a division.
    Scalar GetDistanceSquared(const V& p) const {
        UpdateSquaredLength();
        const V fromStart = p - m_start;
        const V along = m_end - m_start;
        const Scalar t = fromStart.Dot(along);
        if (t <= 0) {
            return fromStart.MagnitudeSquared();
        }
        if (t >= m_squaredLength) {
            return (p - m_end).MagnitudeSquared();
        }
        return CrossSquared(fromStart, along) * m_inverseSquaredLength;
    }

    void UpdateLengthAndDirectionIfNeeded() const {
        if (!(m_nFlags & LENGTH_AND_DIRECTION_VALID)) {
            UpdateLengthAndDirection();
        }
    }

protected:
    void UpdateSquaredLength() const {
        if (!(m_nFlags & SQUARED_LENGTH_VALID)) {
            m_squaredLength = (m_end - m_start).MagnitudeSquared();
            m_inverseSquaredLength = InverseOf(m_squaredLength);
            m_nFlags |= SQUARED_LENGTH_VALID;
        }
    }
    static Scalar InverseOf(Scalar value) { return value > 0 ? Scalar(1) / value : Scalar(0); }
    static Scalar CrossSquared(const Vector3D<Scalar>& a, const Vector3D<Scalar>& b) {
        return a.Cross(b).MagnitudeSquared();
    }
    static Scalar CrossSquared(const Vector2D<Scalar>& a, const Vector2D<Scalar>& b) {
        const Scalar c = a.x * b.y - b.x * a.y;
        return c * c;
    }

    V m_start;
    V m_end;
    mutable uint16_t m_nFlags;
    mutable Scalar m_squaredLength;
    mutable Scalar m_inverseSquaredLength;
    mutable Scalar m_length;
    mutable Scalar m_inverseLength;
    mutable V m_unitDirection;
    mutable V m_midpoint;
};
