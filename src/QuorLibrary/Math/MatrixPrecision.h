#pragma once

// The few scalar steps in which the float and double matrix instantiations
// deliberately differ. The float forms reproduce the tracker's historical
// numbers bit for bit (reciprocal-square-root estimate, atan2 rounded from
// double); the double forms are the plain ones.

#include <cmath>
#include <limits>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/Vector3D.h"

namespace vela_math {

// 1/sqrt(x): the refined estimate in float, the exact quotient in double.
inline float ReciprocalSqrt(float x) { return FloatOneOverSqrt(x); }
inline double ReciprocalSqrt(double x) { return 1.0 / std::sqrt(x); }

// atan2 of a float pair is taken in double and rounded once.
inline float Atan2(float y, float x) {
    return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}
inline double Atan2(double y, double x) { return std::atan2(y, x); }

// Unit vector, or (1, 0, 0) when the reciprocal length is 1e8 or more (or
// not a number). float multiplies by the estimate, double divides by the
// length.
inline Vector3D<float> NormalizedOrUnitX(const Vector3D<float>& v) { return v.Normalized(); }
inline Vector3D<double> NormalizedOrUnitX(const Vector3D<double>& v) {
    const double length = std::sqrt(v.MagnitudeSquared());
    if (1.0 / length < 1e8) {
        return v / length;
    }
    return Vector3D<double>(1.0, 0.0, 0.0);
}

// v times the reciprocal of its length, given its squared length q > 0:
// the refined estimate in float, 1/sqrt(q) in double. No 1e8 test, but a q
// in float's denormal range, which the estimate reads as 0 (its Newton step
// then gives -inf), makes v a null vector: (1, 0, 0), as Normalize gives.
// q = 0 is the caller's to avoid.
inline Vector3D<float> TimesReciprocalLength(const Vector3D<float>& v, float q) {
    const float r = FloatOneOverSqrt(q);
    if (q > 0.0f && !(r > 0.0f && r < std::numeric_limits<float>::infinity())) {
        return Vector3D<float>(1.0f, 0.0f, 0.0f);
    }
    return v * r;
}
inline Vector3D<double> TimesReciprocalLength(const Vector3D<double>& v, double q) { return v * ReciprocalSqrt(q); }

// v divided by its length, given its squared length q > 0: float as above,
// double divides by sqrt(q).
inline Vector3D<float> DivideByLength(const Vector3D<float>& v, float q) { return TimesReciprocalLength(v, q); }
inline Vector3D<double> DivideByLength(const Vector3D<double>& v, double q) { return v / std::sqrt(q); }

// The unit perpendicular of the frame-from-one-axis rule: the component of
// smallest magnitude zeroed, the other two swapped with one sign change,
// normalised as above.
template <typename T>
inline Vector3D<T> UnitPerpendicular(const Vector3D<T>& v) {
    return NormalizedOrUnitX(v.OrthogonalVector());
}

}  // namespace vela_math
