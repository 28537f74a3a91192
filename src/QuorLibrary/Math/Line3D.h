#pragma once

// An unbounded 3D line: world millimetres in float; millimetres with a
// scaled integer direction in int (the fixed-point lines build on it).

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "QuorLibrary/Math/IntegerRounding.h"
#include "QuorLibrary/Math/LineBase.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Line3D : public LineBase<Vector3D<T> > {
public:
    Line3D() = default;
    Line3D(const Vector3D<T>& origin, const Vector3D<T>& direction) : LineBase<Vector3D<T> >(origin, direction) {}
    // With normalize, the direction is made unit length like Vector3D::Normalize.
    Line3D(const Vector3D<T>& origin, const Vector3D<T>& direction, bool normalize)
        : LineBase<Vector3D<T> >(origin, direction) {
        static_assert(std::is_same<T, float>::value, "only float lines normalise their direction");
        if (normalize) {
            this->m_direction.Normalize();
        }
    }
    Line3D(const Line3D&) = default;
    Line3D& operator=(const Line3D&) = default;

    // Distance of p from the line for a unit direction. For int the value is
    // |(p - origin) x direction| rounded, i.e. the distance times the length
    // of the integer direction.
    virtual T GetDistance(const Vector3D<T>& p) const { return Distance(p, static_cast<T*>(nullptr)); }

private:
    float Distance(const Vector3D<float>& p, float*) const {
        return sqrtf((p - this->m_origin).Cross(this->m_direction).MagnitudeSquared());
    }
    int Distance(const Vector3D<int>& p, int*) const {
        const Vector3D<int> c = (p - this->m_origin).Cross(this->m_direction);
        // Summed in unsigned 32 bits: the same wrap as int, never negative.
        const uint32_t cx = static_cast<uint32_t>(c.x);
        const uint32_t cy = static_cast<uint32_t>(c.y);
        const uint32_t cz = static_cast<uint32_t>(c.z);
        const uint32_t sum = cx * cx + cy * cy + cz * cz;
        return vela_math::RoundedSqrt(sum);
    }
};

// Parameters of the mutually nearest points of two lines with unit
// directions. Returns false, outputs untouched, when the lines are parallel
// within epsilon (|d1 . d2| > 1 - epsilon).
template <typename T>
bool GetClosestPoints(const Line3D<T>& line1, const Line3D<T>& line2, T& t1, T& t2, T epsilon) {
    const Vector3D<T>& d1 = line1.m_direction;
    const Vector3D<T>& d2 = line2.m_direction;
    const T c = d1.Dot(d2);
    if (std::abs(c) > T(1) - epsilon) {
        return false;
    }
    const Vector3D<T> w = line1.m_origin - line2.m_origin;
    const T denominator = T(1) - c * c;
    t1 = (d2 * c - d1).Dot(w) / denominator;
    t2 = (d2 - d1 * c).Dot(w) / denominator;
    return true;
}
