#pragma once

// A 3x3 matrix stored row-major that multiplies column vectors: rotation
// parts of frames, limb and torso orientations, covariance and scatter
// matrices. Three vectors that build a matrix are its columns. float serves
// the tracking code, double the double-precision solvers; the int
// instantiation holds fixed-point rotations, for which the sums and products
// wrap modulo 2^32.

#include <cmath>
#include <cstdlib>
#include <utility>

#include "QuorLibrary/Math/MatrixPrecision.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Matrix3X3 {
public:
    T m00, m01, m02;
    T m10, m11, m12;
    T m20, m21, m22;

    // The zero matrix, not the identity.
    Matrix3X3() : m00(0), m01(0), m02(0), m10(0), m11(0), m12(0), m20(0), m21(0), m22(0) {}
    Matrix3X3(T a00, T a01, T a02, T a10, T a11, T a12, T a20, T a21, T a22)
        : m00(a00), m01(a01), m02(a02), m10(a10), m11(a11), m12(a12), m20(a20), m21(a21), m22(a22) {}
    Matrix3X3(const Vector3D<T>& c0, const Vector3D<T>& c1, const Vector3D<T>& c2) { Set(c0, c1, c2); }
    // The full matrix of a symmetric one.
    Matrix3X3(const SymmetricMatrix3X3<T>& s)  // NOLINT(google-explicit-constructor)
        : m00(s.xx), m01(s.xy), m02(s.xz), m10(s.xy), m11(s.yy), m12(s.yz), m20(s.xz), m21(s.yz), m22(s.zz) {}

    void Set(T a00, T a01, T a02, T a10, T a11, T a12, T a20, T a21, T a22) {
        *this = Matrix3X3(a00, a01, a02, a10, a11, a12, a20, a21, a22);
    }
    void Set(const Vector3D<T>& c0, const Vector3D<T>& c1, const Vector3D<T>& c2) {
        m00 = c0.x; m01 = c1.x; m02 = c2.x;
        m10 = c0.y; m11 = c1.y; m12 = c2.y;
        m20 = c0.z; m21 = c1.z; m22 = c2.z;
    }
    void Set(T s) { Set(s, s, s, s, s, s, s, s, s); }
    void SetZero() { Set(T(0)); }
    void SetIdentity() { Set(T(1), T(0), T(0), T(0), T(1), T(0), T(0), T(0), T(1)); }
    // Element by element, without rescaling.
    void FromIntFP(const Matrix3X3<int>& m) {
        for (int i = 0; i < 9; ++i) {
            (*this)[i] = static_cast<T>(m[i]);
        }
    }

    T& operator()(int r, int c) { return (*this)[3 * r + c]; }
    const T& operator()(int r, int c) const { return (*this)[3 * r + c]; }
    // Flat element i (0..8), not a row.
    T& operator[](int i) { return this->*ElementPointer(i); }
    const T& operator[](int i) const { return this->*ElementPointer(i); }

    Vector3D<T> GetRow(int i) const { return Vector3D<T>((*this)(i, 0), (*this)(i, 1), (*this)(i, 2)); }
    Vector3D<T> GetColumn(int i) const { return Vector3D<T>((*this)(0, i), (*this)(1, i), (*this)(2, i)); }
    void SetColumn(int i, const Vector3D<T>& v) {
        (*this)(0, i) = v.x;
        (*this)(1, i) = v.y;
        (*this)(2, i) = v.z;
    }
    void ScaleColumn(int i, T s) {
        (*this)(0, i) *= s;
        (*this)(1, i) *= s;
        (*this)(2, i) *= s;
    }
    Vector3D<T> GetDiagonal() const { return Vector3D<T>(m00, m11, m22); }
    void SetDiagonal(const Vector3D<T>& v) {
        m00 = v.x;
        m11 = v.y;
        m22 = v.z;
    }

    static Matrix3X3 Identity() { return Diagonal(T(1)); }
    static Matrix3X3 Diagonal(T s) { return Diagonal(s, s, s); }
    static Matrix3X3 Diagonal(T a, T b, T c) { return Matrix3X3(a, 0, 0, 0, b, 0, 0, 0, c); }
    static Matrix3X3 Diagonal(const Vector3D<T>& v) { return Diagonal(v.x, v.y, v.z); }
    // The skew matrix whose product with w is v x w.
    static Matrix3X3 CrossProductMatrix(const Vector3D<T>& v) {
        return Matrix3X3(0, -v.z, v.y, v.z, 0, -v.x, -v.y, v.x, 0);
    }
    static Matrix3X3 OuterProduct(const Vector3D<T>& v) {
        using vela_math::Mul;
        return Matrix3X3(Mul(v.x, v.x), Mul(v.x, v.y), Mul(v.x, v.z), Mul(v.y, v.x), Mul(v.y, v.y), Mul(v.y, v.z),
                         Mul(v.z, v.x), Mul(v.z, v.y), Mul(v.z, v.z));
    }

    // Arithmetic ------------------------------------------------------------

    Matrix3X3 operator-() const {
        Matrix3X3 r;
        for (int i = 0; i < 9; ++i) {
            r[i] = vela_math::Neg((*this)[i]);
        }
        return r;
    }
    Matrix3X3 operator+(const Matrix3X3& b) const {
        Matrix3X3 r;
        for (int i = 0; i < 9; ++i) {
            r[i] = vela_math::Add((*this)[i], b[i]);
        }
        return r;
    }
    Matrix3X3 operator-(const Matrix3X3& b) const {
        Matrix3X3 r;
        for (int i = 0; i < 9; ++i) {
            r[i] = vela_math::Sub((*this)[i], b[i]);
        }
        return r;
    }
    Matrix3X3& operator+=(const Matrix3X3& b) { return *this = *this + b; }
    Matrix3X3& operator-=(const Matrix3X3& b) { return *this = *this - b; }
    // M + s I and M - s I: the off-diagonal elements are copied unchanged.
    Matrix3X3 operator+(T s) const {
        Matrix3X3 r(*this);
        r.m00 += s;
        r.m11 += s;
        r.m22 += s;
        return r;
    }
    Matrix3X3 operator-(T s) const {
        Matrix3X3 r(*this);
        r.m00 -= s;
        r.m11 -= s;
        r.m22 -= s;
        return r;
    }
    // A true division per element, not a multiplication by 1/s.
    Matrix3X3 operator/(T s) const {
        Matrix3X3 r;
        for (int i = 0; i < 9; ++i) {
            r[i] = (*this)[i] / s;
        }
        return r;
    }
    Matrix3X3& operator*=(T s) {
        for (int i = 0; i < 9; ++i) {
            (*this)[i] = vela_math::Mul((*this)[i], s);
        }
        return *this;
    }

    Matrix3X3 operator*(const Matrix3X3& b) const {
        return Matrix3X3(Dot(m00, b.m00, m01, b.m10, m02, b.m20), Dot(m00, b.m01, m01, b.m11, m02, b.m21),
                         Dot(m00, b.m02, m01, b.m12, m02, b.m22), Dot(m10, b.m00, m11, b.m10, m12, b.m20),
                         Dot(m10, b.m01, m11, b.m11, m12, b.m21), Dot(m10, b.m02, m11, b.m12, m12, b.m22),
                         Dot(m20, b.m00, m21, b.m10, m22, b.m20), Dot(m20, b.m01, m21, b.m11, m22, b.m21),
                         Dot(m20, b.m02, m21, b.m12, m22, b.m22));
    }
    // Reads both factors before writing, so M *= M gives M^2.
    Matrix3X3& operator*=(const Matrix3X3& b) { return *this = *this * b; }
    // this * b^T.
    Matrix3X3 MultipliedWithTranspose(const Matrix3X3& b) const {
        return Matrix3X3(Dot(m00, b.m00, m01, b.m01, m02, b.m02), Dot(m00, b.m10, m01, b.m11, m02, b.m12),
                         Dot(m00, b.m20, m01, b.m21, m02, b.m22), Dot(m10, b.m00, m11, b.m01, m12, b.m02),
                         Dot(m10, b.m10, m11, b.m11, m12, b.m12), Dot(m10, b.m20, m11, b.m21, m12, b.m22),
                         Dot(m20, b.m00, m21, b.m01, m22, b.m02), Dot(m20, b.m10, m21, b.m11, m22, b.m12),
                         Dot(m20, b.m20, m21, b.m21, m22, b.m22));
    }
    // this = this * b^T; M.MultiplyWithTranspose(M) gives M M^T.
    void MultiplyWithTranspose(const Matrix3X3& b) { *this = MultipliedWithTranspose(b); }

    Vector3D<T> operator*(const Vector3D<T>& v) const {
        return Vector3D<T>(Dot(m00, v.x, m01, v.y, m02, v.z), Dot(m10, v.x, m11, v.y, m12, v.z),
                           Dot(m20, v.x, m21, v.y, m22, v.z));
    }
    // M^T v.
    Vector3D<T> TransposeTimes(const Vector3D<T>& v) const {
        return Vector3D<T>(Dot(m00, v.x, m10, v.y, m20, v.z), Dot(m01, v.x, m11, v.y, m21, v.z),
                           Dot(m02, v.x, m12, v.y, m22, v.z));
    }
    // M^T v for an integer vector, rounded the fixed-point way: each sum is
    // formed in T, add is added, the result truncated to an integer (saturated
    // at the int range, NaN giving 0) and shifted right arithmetically by
    // shift.
    Vector3D<int> TransposeTimes(const Vector3D<int>& v, int add, int shift) const {
        const Vector3D<T> w(static_cast<T>(v.x), static_cast<T>(v.y), static_cast<T>(v.z));
        const Vector3D<T> p = TransposeTimes(w);
        const auto shifted = [add, shift](T sum) {
            const T total = vela_math::Add(sum, static_cast<T>(add));
            return vela_math::SaturatingTruncate(static_cast<double>(total)) >> shift;
        };
        return Vector3D<int>(shifted(p.x), shifted(p.y), shifted(p.z));
    }

    // Determinant, inverse and tests ---------------------------------------

    T Determinant() const {
        return m00 * (m11 * m22 - m12 * m21) + m01 * (m12 * m20 - m10 * m22) + m02 * (m10 * m21 - m11 * m20);
    }
    // Element (r, c) is (-1)^(r+c) times the minor of (r, c).
    Matrix3X3 CofactorMatrix() const {
        return Matrix3X3(m11 * m22 - m12 * m21, m12 * m20 - m10 * m22, m10 * m21 - m11 * m20,
                         m02 * m21 - m01 * m22, m00 * m22 - m02 * m20, m01 * m20 - m00 * m21,
                         m01 * m12 - m02 * m11, m02 * m10 - m00 * m12, m00 * m11 - m01 * m10);
    }
    Matrix3X3 AdjugateMatrix() const { return CofactorMatrix().Transposed(); }
    // False, with the matrix unchanged, when threshold >= |determinant|.
    bool Invert(T threshold) {
        const T det = Determinant();
        if (threshold >= std::abs(det)) {
            return false;
        }
        const T inverse = T(1) / det;
        *this = AdjugateMatrix();
        *this *= inverse;
        return true;
    }
    // A singular matrix (threshold >= |determinant|) comes back unchanged.
    Matrix3X3 Inverse(T threshold) const {
        Matrix3X3 r(*this);
        r.Invert(threshold);
        return r;
    }
    T Trace() const { return m00 + m11 + m22; }
    // Over the eight elements other than m00; the eigenvalue scaling of the
    // decompositions depends on m00 being left out.
    T MaxAbs() const {
        T best = std::abs(m01);
        for (int i = 2; i < 9; ++i) {
            const T a = std::abs((*this)[i]);
            if (a > best) {
                best = a;
            }
        }
        return best;
    }
    T MinAbs() const {
        T best = std::abs(m01);
        for (int i = 2; i < 9; ++i) {
            const T a = std::abs((*this)[i]);
            if (a < best) {
                best = a;
            }
        }
        return best;
    }
    void Transpose() {
        std::swap(m01, m10);
        std::swap(m02, m20);
        std::swap(m12, m21);
    }
    Matrix3X3 Transposed() const { return Matrix3X3(m00, m10, m20, m01, m11, m21, m02, m12, m22); }
    bool IsSymmetric() const { return m01 == m10 && m02 == m20 && m12 == m21; }
    bool operator==(const Matrix3X3& b) const {
        for (int i = 0; i < 9; ++i) {
            if (!((*this)[i] == b[i])) {
                return false;
            }
        }
        return true;
    }
    bool operator!=(const Matrix3X3& b) const { return !(*this == b); }
    // Columns pairwise perpendicular within 0.001.
    bool IsOrthogonal() const {
        const Vector3D<T> c0 = GetColumn(0);
        const Vector3D<T> c1 = GetColumn(1);
        const Vector3D<T> c2 = GetColumn(2);
        const T bound = static_cast<T>(0.001);
        return std::abs(c0.Dot(c1)) <= bound && std::abs(c0.Dot(c2)) <= bound && std::abs(c1.Dot(c2)) <= bound;
    }
    bool IsOrthonormal() const {
        if (!IsOrthogonal()) {
            return false;
        }
        const T bound = static_cast<T>(0.001);
        for (int i = 0; i < 3; ++i) {
            if (!(std::abs(GetColumn(i).MagnitudeSquared() - T(1)) <= bound)) {
                return false;
            }
        }
        return true;
    }

    // Rotations (radians) ----------------------------------------------------

    static Matrix3X3 XRotation(T a) {
        const T c = std::cos(a);
        const T s = std::sin(a);
        return Matrix3X3(1, 0, 0, 0, c, -s, 0, s, c);
    }
    static Matrix3X3 YRotation(T a) {
        const T c = std::cos(a);
        const T s = std::sin(a);
        return Matrix3X3(c, 0, s, 0, 1, 0, -s, 0, c);
    }
    static Matrix3X3 ZRotation(T a) {
        const T c = std::cos(a);
        const T s = std::sin(a);
        return Matrix3X3(c, -s, 0, s, c, 0, 0, 0, 1);
    }
    static Matrix3X3 XRotationDerivative(T a) {
        const T c = std::cos(a);
        const T s = std::sin(a);
        return Matrix3X3(0, 0, 0, 0, -s, -c, 0, c, -s);
    }
    static Matrix3X3 YRotationDerivative(T a) {
        const T c = std::cos(a);
        const T s = std::sin(a);
        return Matrix3X3(-s, 0, c, 0, 0, 0, -c, 0, -s);
    }
    static Matrix3X3 ZRotationDerivative(T a) {
        const T c = std::cos(a);
        const T s = std::sin(a);
        return Matrix3X3(-s, -c, 0, c, -s, 0, 0, 0, 0);
    }

    // Rz(c) Ry(b) Rx(a): turns about the fixed X, then Y, then Z axis.
    static Matrix3X3 FixedXYZRotation(T a, T b, T c) {
        const T cx = std::cos(a), sx = std::sin(a);
        const T cy = std::cos(b), sy = std::sin(b);
        const T cz = std::cos(c), sz = std::sin(c);
        return Matrix3X3(cz * cy, cz * sy * sx - sz * cx, cz * sy * cx + sz * sx,
                         sz * cy, sz * sy * sx + cz * cx, sz * sy * cx - cz * sx,
                         -sy, cy * sx, cy * cx);
    }
    static Matrix3X3 FixedXYZRotation(const Vector3D<T>& v) { return FixedXYZRotation(v.x, v.y, v.z); }
    static Matrix3X3 MovingZYXRotation(T a, T b, T c) { return FixedXYZRotation(a, b, c); }
    static Matrix3X3 MovingZYXRotation(const Vector3D<T>& v) { return FixedXYZRotation(v.x, v.y, v.z); }
    // Rx(a) Ry(b) Rz(c): turns about X, then the moved Y, then the twice-moved Z.
    static Matrix3X3 MovingXYZRotation(T a, T b, T c) {
        const T cx = std::cos(a), sx = std::sin(a);
        const T cy = std::cos(b), sy = std::sin(b);
        const T cz = std::cos(c), sz = std::sin(c);
        return Matrix3X3(cy * cz, -cy * sz, sy,
                         sx * sy * cz + cx * sz, cx * cz - sx * sy * sz, -sx * cy,
                         sx * sz - cx * sy * cz, cx * sy * sz + sx * cz, cx * cy);
    }
    static Matrix3X3 MovingXYZRotation(const Vector3D<T>& v) { return MovingXYZRotation(v.x, v.y, v.z); }
    static Matrix3X3 FixedZYXRotation(T a, T b, T c) { return MovingXYZRotation(a, b, c); }
    static Matrix3X3 FixedZYXRotation(const Vector3D<T>& v) { return MovingXYZRotation(v.x, v.y, v.z); }

    // Jacobian of FixedXYZRotation(angles) p: column k is dR/d(angle k) p.
    static Matrix3X3 FixedXYZRotationDerivative(const Vector3D<T>& angles, const Vector3D<T>& p) {
        const T cx = std::cos(angles.x), sx = std::sin(angles.x);
        const T cy = std::cos(angles.y), sy = std::sin(angles.y);
        const T cz = std::cos(angles.z), sz = std::sin(angles.z);
        Matrix3X3 j;
        // Column 0 of R does not depend on x.
        j.m00 = (cz * sy * cx + sz * sx) * p.y + (sz * cx - cz * sy * sx) * p.z;
        j.m10 = (sz * sy * cx - cz * sx) * p.y + (-sz * sy * sx - cz * cx) * p.z;
        j.m20 = cy * cx * p.y - cy * sx * p.z;
        j.m01 = -cz * sy * p.x + cz * cy * sx * p.y + cz * cy * cx * p.z;
        j.m11 = -sz * sy * p.x + sz * cy * sx * p.y + sz * cy * cx * p.z;
        j.m21 = -cy * p.x - sy * sx * p.y - sy * cx * p.z;
        j.m02 = -sz * cy * p.x + (-sz * sy * sx - cz * cx) * p.y + (-sz * sy * cx + cz * sx) * p.z;
        j.m12 = cz * cy * p.x + (cz * sy * sx - sz * cx) * p.y + (cz * sy * cx + sz * sx) * p.z;
        // Row 2 of R does not depend on z.
        j.m22 = 0;
        return j;
    }
    static Matrix3X3 MovingZYXRotationDerivative(const Vector3D<T>& angles, const Vector3D<T>& p) {
        return FixedXYZRotationDerivative(angles, p);
    }

    // The angles that FixedXYZRotation turns into this matrix: x and z in
    // [-pi, pi], y in [-pi/2, pi/2]. At gimbal lock z is 0 and x takes the
    // whole turn about the degenerate axis.
    void GetFixedXYZRotationAngles(T& x, T& y, T& z) const {
        const T cy = std::sqrt(m00 * m00 + m10 * m10);
        if (cy < GimbalLockThreshold()) {
            z = 0;
            if (m20 > 0) {
                x = -vela_math::Atan2(m01, m11);
                y = -HalfPi();
            } else {
                x = vela_math::Atan2(m01, m11);
                y = HalfPi();
            }
        } else {
            x = vela_math::Atan2(m21, m22);
            y = vela_math::Atan2(-m20, cy);
            z = vela_math::Atan2(m10, m00);
        }
    }
    void GetFixedXYZRotationAngles(Vector3D<T>& angles) const { GetFixedXYZRotationAngles(angles.x, angles.y, angles.z); }
    void GetMovingZYXRotationAngles(T& x, T& y, T& z) const { GetFixedXYZRotationAngles(x, y, z); }
    void GetMovingZYXRotationAngles(Vector3D<T>& angles) const { GetFixedXYZRotationAngles(angles); }
    // The angles that MovingXYZRotation turns into this matrix; at gimbal
    // lock z is -0 and x takes the whole turn.
    void GetMovingXYZRotationAngles(T& x, T& y, T& z) const {
        const T e = std::sqrt(m00 * m00 + m01 * m01);
        if (e < GimbalLockThreshold()) {
            z = -T(0);
            if (m02 > 0) {
                y = HalfPi();
                x = vela_math::Atan2(m10, m11);
            } else {
                y = -HalfPi();
                x = -vela_math::Atan2(m10, m11);
            }
        } else {
            x = -vela_math::Atan2(m12, m22);
            y = vela_math::Atan2(m02, e);
            z = -vela_math::Atan2(m01, m00);
        }
    }
    void GetMovingXYZRotationAngles(Vector3D<T>& angles) const {
        GetMovingXYZRotationAngles(angles.x, angles.y, angles.z);
    }

    // Rotation by angle about a unit axis (right-hand rule); the axis is used
    // as given.
    static Matrix3X3 AxialRotation(const Vector3D<T>& axis, T angle) {
        const T c = std::cos(angle);
        const T s = std::sin(angle);
        const T t = T(1) - c;
        const T x = axis.x, y = axis.y, z = axis.z;
        return Matrix3X3(c + x * x * t, x * y * t - z * s, x * z * t + y * s,
                         x * y * t + z * s, c + y * y * t, y * z * t - x * s,
                         x * z * t - y * s, y * z * t + x * s, c + z * z * t);
    }
    // (trace - 1) / 2, not clamped.
    T GetRotationCosineAngle() const { return (Trace() - T(1)) / T(2); }
    // The rotation angle in [0, pi]; rounding beyond the cosine's range is
    // clamped.
    T GetRotationAngle() const {
        T c = GetRotationCosineAngle();
        if (c > T(1)) {
            c = T(1);
        } else if (c < T(-1)) {
            c = T(-1);
        }
        return std::acos(c);
    }
    // Rx(pitch) Rz(roll).
    static Matrix3X3 PitchRollMatrix(T pitch, T roll) {
        const T cp = std::cos(pitch), sp = std::sin(pitch);
        const T cr = std::cos(roll), sr = std::sin(roll);
        return Matrix3X3(cr, -sr, 0, cp * sr, cp * cr, -sp, sp * sr, sp * cr, cp);
    }
    // Right-multiplication by a half turn about the axis.
    void Rotate180AroundX() { NegateColumns(1, 2); }
    void Rotate180AroundY() { NegateColumns(0, 2); }
    void Rotate180AroundZ() { NegateColumns(0, 1); }
    // Column i = column (i+1) mod 3 x column (i+2) mod 3.
    void FillColumnUsingCrossProduct(int i) {
        SetColumn(i, GetColumn((i + 1) % 3).Cross(GetColumn((i + 2) % 3)));
    }

    // A right-handed frame with v in column i: with P the unit perpendicular
    // of v and W = v x P, the columns are [v, P, W] for i = 0 (and any i other
    // than 1 or 2), [W, v, P] for 1, [P, W, v] for 2. Orthonormal only for a
    // unit v.
    static Matrix3X3 OrthonormalMatrixFromOneAxis(const Vector3D<T>& v, int i) {
        const Vector3D<T> p = vela_math::UnitPerpendicular(v);
        const Vector3D<T> w = v.Cross(p);
        if (i == 1) {
            return Matrix3X3(w, v, p);
        }
        if (i == 2) {
            return Matrix3X3(p, w, v);
        }
        return Matrix3X3(v, p, w);
    }
    // The frame [d1, n x d1, n] with n the unit normal of d1 and d2; false,
    // with out unchanged, when |d1 x d2|^2 is below threshold (near-parallel
    // directions). d1 is normalised unless already within 0.001 of unit
    // length in its square.
    static bool OrthonormalMatrixFromTwoDirections(const Vector3D<T>& d1, const Vector3D<T>& d2, Matrix3X3& out,
                                                   T threshold) {
        Vector3D<T> axis = d1;
        if (std::abs(axis.MagnitudeSquared() - T(1)) > static_cast<T>(0.001)) {
            axis = vela_math::NormalizedOrUnitX(axis);
        }
        Vector3D<T> n = axis.Cross(d2);
        if (threshold > n.MagnitudeSquared()) {
            return false;
        }
        n = vela_math::NormalizedOrUnitX(n);
        out.Set(axis, n.Cross(axis), n);
        return true;
    }

    // Decompositions (float and double) -------------------------------------

    // The upper triangle; the lower one is not read.
    SymmetricMatrix3X3<T> ToSymmetricMatrix() const { return SymmetricMatrix3X3<T>(m00, m01, m02, m11, m12, m22); }
    // A^T A: element (j, k) is column j . column k.
    SymmetricMatrix3X3<T> NormalEquationsMatrix() const {
        const Vector3D<T> c0 = GetColumn(0);
        const Vector3D<T> c1 = GetColumn(1);
        const Vector3D<T> c2 = GetColumn(2);
        return SymmetricMatrix3X3<T>(c0.Dot(c0), c0.Dot(c1), c0.Dot(c2), c1.Dot(c1), c1.Dot(c2), c2.Dot(c2));
    }
    // A = U diag(sigma) V^T with sigma descending and non-negative, V a
    // rotation, from the eigen decomposition of A^T A. Eigenvalues of A^T A
    // not above threshold times its largest eigenvalue magnitude are dropped
    // (their singular values are 0 and U is completed by cross products). U
    // is a rotation except when all three are kept and det(A) < 0. U and V
    // may be this matrix itself.
    void ActualSingularValueDecomposition(Matrix3X3& U, Vector3D<T>& sigma, Matrix3X3& V, T threshold) const;
    void SingularValueDecomposition(Matrix3X3& U, Vector3D<T>& sigma, Matrix3X3& V, T threshold) const {
        ActualSingularValueDecomposition(U, sigma, V, threshold);
    }
    // V diag(1/sigma) U^T over the singular values above threshold.
    Matrix3X3 PseudoInverse(T threshold) const;
    // R = U V^T with A ~ R (V diag(sigma) V^T); R is a reflection when A has
    // full rank and a negative determinant.
    void PolarDecompositionRotationAndScale(Matrix3X3& R, Vector3D<T>& sigma, Matrix3X3& V) const;
    Matrix3X3 PolarDecompositionRotationPart() const;

    // Real eigenvalues of a general matrix by the cubic formula; returns how
    // many were written (1 or 3, in descending order); the outputs beyond
    // the count are left unchanged.
    int GetEigenvaluesNoScaling(T& e0, T& e1, T& e2) const;
    // The same on a copy scaled so that MaxAbs() becomes 1000.
    int GetEigenvaluesWithScaling(T& e0, T& e1, T& e2) const;
    int GetEigenvalues(T& e0, T& e1, T& e2) const { return GetEigenvaluesWithScaling(e0, e1, e2); }
    int GetEigenvalues(Vector3D<T>& e) const { return GetEigenvaluesWithScaling(e.x, e.y, e.z); }
    int GetEigenvalues(T* e) const { return GetEigenvaluesWithScaling(e[0], e[1], e[2]); }
    // Unit eigenvector of a simple eigenvalue: the largest column of the
    // adjugate of M - lambda I; (1, 0, 0) when that adjugate is zero.
    Vector3D<T> GetEigenvector(T lambda) const;
    // The column of largest squared length (ties to the later column),
    // normalised; (1, 0, 0) when all columns are zero.
    Vector3D<T> LargestColumnNormalized() const;

private:
    static T Dot(T a0, T b0, T a1, T b1, T a2, T b2) {
        using vela_math::Add;
        using vela_math::Mul;
        return Add(Add(Mul(a0, b0), Mul(a1, b1)), Mul(a2, b2));
    }
    static T Matrix3X3::*ElementPointer(int i) {
        static constexpr T Matrix3X3::*kElements[9] = {&Matrix3X3::m00, &Matrix3X3::m01, &Matrix3X3::m02,
                                                        &Matrix3X3::m10, &Matrix3X3::m11, &Matrix3X3::m12,
                                                        &Matrix3X3::m20, &Matrix3X3::m21, &Matrix3X3::m22};
        return kElements[i];
    }
    // Both single-precision constants, in either instantiation.
    static T GimbalLockThreshold() { return static_cast<T>(1e-14f); }
    static T HalfPi() { return static_cast<T>(1.57079632679489661923f); }
    void NegateColumns(int a, int b) {
        SetColumn(a, -GetColumn(a));
        SetColumn(b, -GetColumn(b));
    }
};

extern template class Matrix3X3<float>;
extern template class Matrix3X3<double>;
