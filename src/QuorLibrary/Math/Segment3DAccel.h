#pragma once

// A 3D segment with its unit direction and length precomputed, so that a
// per-pixel distance needs one dot product, two comparisons and at most one
// cross product: no square root and no division.

#include <cmath>

#include "QuorLibrary/Math/Segment3D.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Segment3DAccel : public Segment3D<T> {
public:
    Segment3DAccel() : m_accelUnitDirection(), m_accelLength(0), m_accelSquaredLength(0), m_accelInverseLength(0) {}
    Segment3DAccel(const Vector3D<T>& start, const Vector3D<T>& end) : Segment3DAccel() {
        this->Set(start, end);
        Initialize();
    }

    // Recomputes the accelerated members from the end points; call it after
    // moving an end point.
    void Initialize() {
        const Vector3D<T> direction = this->m_end - this->m_start;
        m_accelLength = sqrtf(direction.MagnitudeSquared());
        m_accelSquaredLength = m_accelLength * m_accelLength;
        m_accelInverseLength = m_accelLength > 0 ? T(1) / m_accelLength : T(0);
        m_accelUnitDirection = direction * m_accelInverseLength;
    }
    // Takes the segment's end points, flags and caches, then Initialize().
    void Initialize(const Segment3D<T>& segment) {
        static_cast<Segment3D<T>&>(*this) = segment;
        Initialize();
    }

    T GetDistanceSquared(const Vector3D<T>& p) const {
        const Vector3D<T> fromStart = p - this->m_start;
        const T t = m_accelUnitDirection.Dot(fromStart);
        if (t <= 0) {
            return fromStart.MagnitudeSquared();
        }
        if (t < m_accelLength) {
            return fromStart.Cross(m_accelUnitDirection).MagnitudeSquared();
        }
        return (p - this->m_end).MagnitudeSquared();
    }

    // Sets the direction and length as given, for integer twins kept at a
    // scale of their own; the squared and inverse lengths stay as they are.
    void SetAccelDirectionAndLength(const Vector3D<T>& direction, T length) {
        m_accelUnitDirection = direction;
        m_accelLength = length;
    }

    const Vector3D<T>& GetAccelUnitDirection() const { return m_accelUnitDirection; }
    T GetAccelLength() const { return m_accelLength; }
    T GetAccelSquaredLength() const { return m_accelSquaredLength; }
    T GetAccelInverseLength() const { return m_accelInverseLength; }

private:
    Vector3D<T> m_accelUnitDirection;
    T m_accelLength;
    T m_accelSquaredLength;
    T m_accelInverseLength;
};
