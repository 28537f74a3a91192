#pragma once

// An unbounded line: origin plus a multiple of the direction. The distance
// and closest-point queries assume a unit direction. The two DirTimes slots
// are virtual so that the fixed-point lines can scale by their own shift.

#include <ostream>
#include <type_traits>
#include <utility>

#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename V>
class LineBase {
public:
    using Scalar = typename std::decay<decltype(std::declval<V>().x)>::type;

    V m_origin;
    V m_direction;

    LineBase() : m_origin(), m_direction(UnitX(static_cast<V*>(nullptr))) {}
    LineBase(const V& origin, const V& direction) : m_origin(origin), m_direction(direction) {}

    // direction * s.
    virtual V DirTimes(Scalar s) const { return m_direction * s; }
    // direction . v.
    virtual Scalar DirTimes(const V& v) const { return m_direction.Dot(v); }

    V GetPoint(Scalar t) const { return m_origin + DirTimes(t); }
    Scalar ClosestPointParameter(const V& p) const { return DirTimes(p - m_origin); }
    V ClosestPoint(const V& p) const { return m_origin + DirTimes(ClosestPointParameter(p)); }

protected:
    // Lines are never deleted through this base.
    LineBase(const LineBase&) = default;
    LineBase& operator=(const LineBase&) = default;
    ~LineBase() = default;

private:
    static Vector2D<Scalar> UnitX(Vector2D<Scalar>*) { return Vector2D<Scalar>(1, 0); }
    static Vector3D<Scalar> UnitX(Vector3D<Scalar>*) { return Vector3D<Scalar>(1, 0, 0); }
};

// "pt = <origin>, dir = <direction>".
template <typename V>
std::ostream& operator<<(std::ostream& out, const LineBase<V>& line) {
    return out << "pt = " << line.m_origin << ", dir = " << line.m_direction;
}
