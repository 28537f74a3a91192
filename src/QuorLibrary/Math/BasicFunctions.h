#pragma once

// Distances, products and small scalar helpers over the vector types.

#include <cmath>
#include <cstdint>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/IntegerRounding.h"
#include "QuorLibrary/Math/Vector3D.h"

// |a - b|.
template <typename T>
inline T NormDiff(const Vector3D<T>& a, const Vector3D<T>& b) {
    return std::sqrt((a - b).MagnitudeSquared());
}

// |a - b| rounded to the nearest unit. The squared distance is summed in
// unsigned 32 bits, so distances up to 65535 never turn negative.
template <typename T>
inline int NormDiff_Int(const Vector3D<T>& a, const Vector3D<T>& b) {
    const Vector3D<T> d = a - b;
    const uint32_t dx = static_cast<uint32_t>(d.x);
    const uint32_t dy = static_cast<uint32_t>(d.y);
    const uint32_t dz = static_cast<uint32_t>(d.z);
    const uint32_t sum = dx * dx + dy * dy + dz * dz;
    return vela_math::RoundedSqrt(sum);
}

// The unit vector from b to a, normalised like Vector3D::Normalize; (1, 0, 0)
// when the points coincide.
template <typename T>
inline Vector3D<T> UnitDiff(const Vector3D<T>& a, const Vector3D<T>& b) {
    return (a - b).Normalized();
}

// |a x b|^2 in the element type (32-bit wrapping arithmetic for int).
template <typename T>
inline T CrossProductMagnitudeSquared(const Vector3D<T>& a, const Vector3D<T>& b) {
    return a.Cross(b).MagnitudeSquared();
}

// Determinant of the 3x3 matrix with rows a, b, c: a . (b x c).
template <typename T>
inline T Determinant(const Vector3D<T>& a, const Vector3D<T>& b, const Vector3D<T>& c) {
    return a.Dot(b.Cross(c));
}

// acos of x clamped to [-1, 1], so rounding just past 1 gives 0, not NaN.
template <typename T>
inline T SafeAcos(T x) {
    if (x > T(1)) {
        x = T(1);
    } else if (x < T(-1)) {
        x = T(-1);
    }
    return std::acos(x);
}

// sqrt(n) rounded to the nearest integer (vela_math::RoundedSqrt).
int Sqrt_Int_2(unsigned int n);
