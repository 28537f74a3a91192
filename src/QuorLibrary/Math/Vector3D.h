#pragma once

// A 3D point or direction: world millimetres in float, millimetres or
// fixed-point values in int (integer arithmetic wraps modulo 2^32).

#include <cmath>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <type_traits>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/ScalarOps.h"

template <typename T>
class Vector3D {
public:
    T x;
    T y;
    T z;

    Vector3D() : x(0), y(0), z(0) {}
    Vector3D(T xValue, T yValue, T zValue) : x(xValue), y(yValue), z(zValue) {}
    template <typename U>
    explicit Vector3D(const Vector3D<U>& other)
        : x(static_cast<T>(other.x)), y(static_cast<T>(other.y)), z(static_cast<T>(other.z)) {}

    T& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    const T& operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    Vector3D operator+(const Vector3D& o) const {
        return Vector3D(vela_math::Add(x, o.x), vela_math::Add(y, o.y), vela_math::Add(z, o.z));
    }
    Vector3D operator-(const Vector3D& o) const {
        return Vector3D(vela_math::Sub(x, o.x), vela_math::Sub(y, o.y), vela_math::Sub(z, o.z));
    }
    Vector3D operator-() const { return Vector3D(vela_math::Neg(x), vela_math::Neg(y), vela_math::Neg(z)); }
    Vector3D operator*(T s) const {
        return Vector3D(vela_math::Mul(x, s), vela_math::Mul(y, s), vela_math::Mul(z, s));
    }
    Vector3D operator/(T s) const { return Vector3D(x / s, y / s, z / s); }
    Vector3D& operator+=(const Vector3D& o) { return *this = *this + o; }
    Vector3D& operator-=(const Vector3D& o) { return *this = *this - o; }
    Vector3D& operator*=(T s) { return *this = *this * s; }
    Vector3D& operator/=(T s) { return *this = *this / s; }
    bool operator==(const Vector3D& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const Vector3D& o) const { return !(*this == o); }

    T Dot(const Vector3D& o) const {
        using namespace vela_math;
        return Add(Add(Mul(x, o.x), Mul(y, o.y)), Mul(z, o.z));
    }
    Vector3D Cross(const Vector3D& o) const {
        using namespace vela_math;
        return Vector3D(Sub(Mul(y, o.z), Mul(z, o.y)), Sub(Mul(z, o.x), Mul(x, o.z)),
                        Sub(Mul(x, o.y), Mul(y, o.x)));
    }
    T MagnitudeSquared() const { return Dot(*this); }
    // Euclidean length (float for float vectors, double for double and int).
    auto Magnitude() const { return std::sqrt(MagnitudeSquared()); }

    // Unit length through FloatOneOverSqrt; too short a vector (reciprocal
    // length 1e8 or more, the zero vector included) becomes (1, 0, 0).
    void Normalize() {
        static_assert(std::is_same<T, float>::value, "Normalize is defined for float vectors");
        const float r = FloatOneOverSqrt(x * x + y * y + z * z);
        if (IsUsableReciprocalLength(r)) {
            x *= r;
            y *= r;
            z *= r;
        } else {
            *this = Vector3D(1.0f, 0.0f, 0.0f);
        }
    }
    Vector3D Normalized() const {
        Vector3D result(*this);
        result.Normalize();
        return result;
    }

    // Normalises with an exact length when it exceeds minLength, otherwise
    // becomes (1, 0, 0); returns the length before normalising.
    float NormalizeLen(float minLength) {
        static_assert(std::is_same<T, float>::value, "NormalizeLen is defined for float vectors");
        const float length = sqrtf(x * x + y * y + z * z);
        if (minLength < length) {
            const float inverse = 1.0f / length;
            x *= inverse;
            y *= inverse;
            z *= inverse;
        } else {
            *this = Vector3D(1.0f, 0.0f, 0.0f);
        }
        return length;
    }

    // A perpendicular vector, not normalised, built from the two components
    // of largest magnitude; the zero vector gives the zero vector.
    Vector3D OrthogonalVector() const {
        const T ax = std::abs(x);
        const T ay = std::abs(y);
        const T az = std::abs(z);
        if (ay > ax && az > ax) {
            return Vector3D(0, z, vela_math::Neg(y));
        }
        if (ay <= ax && az > ay) {
            return Vector3D(vela_math::Neg(z), 0, x);
        }
        return Vector3D(y, vela_math::Neg(x), 0);
    }

    static int RoundedComponent(T c) {
        return vela_math::SaturatingTruncate(std::floor(static_cast<float>(c) + 0.5f));
    }

    // This vector without its component along the unit normal n.
    Vector3D ProjectedOnPlane(const Vector3D& n) const { return *this - n * Dot(n); }

    // Each component rounded half up through float: floor(c + 0.5), saturated
    // at the int range (NaN gives 0).
    Vector3D<int> Round() const {
        return Vector3D<int>(RoundedComponent(x), RoundedComponent(y), RoundedComponent(z));
    }
};

template <typename T>
inline Vector3D<T> operator*(T s, const Vector3D<T>& v) { return v * s; }

// Text form "x y z" in the stream's current formatting.
template <typename T>
std::ostream& operator<<(std::ostream& out, const Vector3D<T>& v) {
    return out << v.x << ' ' << v.y << ' ' << v.z;
}

// Reads x, y, z; a component that fails leaves the ones after it unchanged.
template <typename T>
std::istream& operator>>(std::istream& in, Vector3D<T>& v) {
    return in >> v.x >> v.y >> v.z;
}
