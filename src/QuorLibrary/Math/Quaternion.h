#pragma once

// A rotation as a unit quaternion (w the scalar part), the form in which
// joint orientations are reported, smoothed and compared. Nothing
// renormalises a quaternion after products; callers that chain many keep
// that in mind.

#include <cmath>
#include <type_traits>

#include "QuorLibrary/Math/BasicFunctions.h"
#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Quaternion {
    static_assert(std::is_same<T, float>::value, "the quaternion algorithms are single precision");

public:
    T w;
    T x;
    T y;
    T z;

    // The identity rotation.
    Quaternion() : w(1), x(0), y(0), z(0) {}
    Quaternion(T wValue, T xValue, T yValue, T zValue) : w(wValue), x(xValue), y(yValue), z(zValue) {}
    // Rotation by angle (radians, right-hand rule) about axis; the axis is
    // normalised first, a null one becoming (1, 0, 0).
    Quaternion(T angle, const Vector3D<T>& axis) {
        T s;
        T c;
        sincosf(angle / 2, &s, &c);
        const Vector3D<T> unit = axis.Normalized();
        w = c;
        x = unit.x * s;
        y = unit.y * s;
        z = unit.z * s;
    }

    // The quaternion of the rotation matrix R, from the largest of w, x, y,
    // z so that no small value is divided by. The branch fixes the sign:
    // w >= 0 for a positive trace, else the chosen component is positive.
    static Quaternion FromMatrix(const Matrix3X3<T>& R) {
        Quaternion q;
        const T trace1 = 1 + R.m00 + R.m11 + R.m22;
        if (trace1 > 1) {
            const T s = HalfRoot(trace1);
            const T g = T(0.25) / s;
            q.w = s;
            q.x = (R.m21 - R.m12) * g;
            q.y = (R.m02 - R.m20) * g;
            q.z = (R.m10 - R.m01) * g;
        } else if (R.m00 > R.m11 && R.m00 > R.m22) {
            const T s = HalfRoot(1 + R.m00 - R.m11 - R.m22);
            const T h = T(0.25) / s;
            q.x = s;
            q.w = (R.m21 - R.m12) * h;
            q.y = (R.m10 + R.m01) * h;
            q.z = (R.m02 + R.m20) * h;
        } else if (R.m00 <= R.m11 && R.m11 > R.m22) {
            const T s = HalfRoot(1 - R.m00 + R.m11 - R.m22);
            const T h = T(0.25) / s;
            q.y = s;
            q.w = (R.m02 - R.m20) * h;
            q.x = (R.m10 + R.m01) * h;
            q.z = (R.m21 + R.m12) * h;
        } else {
            const T s = HalfRoot(1 - R.m00 - R.m11 + R.m22);
            const T h = T(0.25) / s;
            q.z = s;
            q.w = (R.m10 - R.m01) * h;
            q.x = (R.m02 + R.m20) * h;
            q.y = (R.m21 + R.m12) * h;
        }
        return q;
    }

    Matrix3X3<T> ToMatrix() const {
        return Matrix3X3<T>(1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w),
                            2 * (x * y + z * w), 1 - 2 * (z * z + x * x), 2 * (y * z - x * w),
                            2 * (x * z - y * w), 2 * (x * w + y * z), 1 - 2 * (x * x + y * y));
    }

    // The Hamilton product this * q: the rotation q, then this.
    Quaternion operator*(const Quaternion& q) const {
        const Quaternion& p = *this;
        return Quaternion(p.w * q.w - (p.x * q.x + p.y * q.y + p.z * q.z),
                          p.y * q.z - q.y * p.z + (q.w * p.x + p.w * q.x),
                          q.x * p.z - p.x * q.z + (q.w * p.y + p.w * q.y),
                          q.y * p.x - p.y * q.x + (p.z * q.w + q.z * p.w));
    }

    // v turned by this unit quaternion: the vector part of q (0, v) q*.
    Vector3D<T> Rotate(const Vector3D<T>& v) const {
        const Quaternion turned = (*this * Quaternion(0, v.x, v.y, v.z)) * Quaternion(w, -x, -y, -z);
        return Vector3D<T>(turned.x, turned.y, turned.z);
    }

    // Angle in [0, 2 pi] and unit axis; the identity (w^2 >= 1) gives angle 0
    // and the null axis.
    void GetAngleAndAxis(T& angle, Vector3D<T>& axis) const {
        const T ww = w * w;
        if (ww >= 1) {
            angle = 0;
            axis = Vector3D<T>(0, 0, 0);
            return;
        }
        angle = 2 * SafeAcos(w);
        axis = Vector3D<T>(x, y, z) * FloatOneOverSqrt(1 - ww);
    }

    // The shortest-arc rotation taking the unit vector a onto the unit vector
    // b; for opposite vectors a half turn about a vector perpendicular to a.
    static Quaternion RotationBetweenUnitVectors(const Vector3D<T>& a, const Vector3D<T>& b) {
        T c = a.Dot(b);
        if (c > 1) {
            c = 1;
        } else if (c < -1) {
            c = -1;
        }
        const Vector3D<T> n = a.Cross(b);
        const T t = sqrtf(n.MagnitudeSquared());
        if (t != 0) {
            const T u = (c + 1) / 2;
            const Vector3D<T> axis = n * (sqrtf(1 - u) / t);
            return Quaternion(sqrtf(u), axis.x, axis.y, axis.z);
        }
        if (c > 0) {
            return Quaternion();
        }
        return Quaternion(T(3.1415927), a.OrthogonalVector());
    }

private:
    // Half the square root, the root taken in double precision.
    static T HalfRoot(T value) { return static_cast<T>(std::sqrt(static_cast<double>(value)) * 0.5); }
};
