#pragma once

// A 2D point or direction; float for image geometry, int for pixel positions.

#include <cmath>
#include <istream>
#include <ostream>
#include <type_traits>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/ScalarOps.h"

template <typename T>
class Vector2D {
public:
    T x;
    T y;

    Vector2D() : x(0), y(0) {}
    Vector2D(T xValue, T yValue) : x(xValue), y(yValue) {}
    template <typename U>
    explicit Vector2D(const Vector2D<U>& other) : x(static_cast<T>(other.x)), y(static_cast<T>(other.y)) {}

    T& operator[](int i) { return i == 0 ? x : y; }
    const T& operator[](int i) const { return i == 0 ? x : y; }

    Vector2D operator+(const Vector2D& o) const { return Vector2D(vela_math::Add(x, o.x), vela_math::Add(y, o.y)); }
    Vector2D operator-(const Vector2D& o) const { return Vector2D(vela_math::Sub(x, o.x), vela_math::Sub(y, o.y)); }
    Vector2D operator-() const { return Vector2D(vela_math::Neg(x), vela_math::Neg(y)); }
    Vector2D operator*(T s) const { return Vector2D(vela_math::Mul(x, s), vela_math::Mul(y, s)); }
    Vector2D operator/(T s) const { return Vector2D(x / s, y / s); }
    Vector2D& operator+=(const Vector2D& o) { return *this = *this + o; }
    Vector2D& operator-=(const Vector2D& o) { return *this = *this - o; }
    Vector2D& operator*=(T s) { return *this = *this * s; }
    Vector2D& operator/=(T s) { return *this = *this / s; }
    bool operator==(const Vector2D& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Vector2D& o) const { return !(*this == o); }

    T Dot(const Vector2D& o) const { return vela_math::Add(vela_math::Mul(x, o.x), vela_math::Mul(y, o.y)); }
    // The z component of the 3D cross product of the two vectors.
    T Cross(const Vector2D& o) const { return vela_math::Sub(vela_math::Mul(x, o.y), vela_math::Mul(y, o.x)); }
    T MagnitudeSquared() const { return Dot(*this); }
    auto Magnitude() const { return std::sqrt(MagnitudeSquared()); }

    // Unit length through FloatOneOverSqrt; too short a vector becomes (1, 0).
    void Normalize() {
        static_assert(std::is_same<T, float>::value, "Normalize is defined for float vectors");
        const float r = FloatOneOverSqrt(x * x + y * y);
        if (IsUsableReciprocalLength(r)) {
            x *= r;
            y *= r;
        } else {
            x = 1.0f;
            y = 0.0f;
        }
    }
    Vector2D Normalized() const {
        Vector2D result(*this);
        result.Normalize();
        return result;
    }
};

template <typename T>
inline Vector2D<T> operator*(T s, const Vector2D<T>& v) { return v * s; }

// Text form "x y" in the stream's current formatting.
template <typename T>
std::ostream& operator<<(std::ostream& out, const Vector2D<T>& v) {
    return out << v.x << ' ' << v.y;
}

// Reads x then y; a component that fails leaves the ones after it unchanged.
template <typename T>
std::istream& operator>>(std::istream& in, Vector2D<T>& v) {
    return in >> v.x >> v.y;
}
