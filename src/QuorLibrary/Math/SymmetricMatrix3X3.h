#pragma once

// A symmetric 3x3 matrix by its six distinct elements (xx, xy, xz, yy, yz,
// zz): scatter, covariance and normal-equation matrices. Its eigen
// decomposition gives the principal axes of the library: eigenvalues
// largest first, eigenvectors the columns of a right-handed orthonormal
// matrix. The int instantiation is a wrapping accumulator only.

#include <cmath>
#include <cstdlib>

#include "QuorLibrary/Math/MatrixPrecision.h"
#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Matrix3X3;

namespace vela_math {

// The longest of three vectors and its squared length in q; ties go to the
// later vector.
template <typename T>
Vector3D<T> LongestOfThree(const Vector3D<T>& v0, const Vector3D<T>& v1, const Vector3D<T>& v2, T& q) {
    const T q0 = v0.MagnitudeSquared();
    const T q1 = v1.MagnitudeSquared();
    const T q2 = v2.MagnitudeSquared();
    if (q0 > q1) {
        if (q0 > q2) {
            q = q0;
            return v0;
        }
    } else if (q1 > q2) {
        q = q1;
        return v1;
    }
    q = q2;
    return v2;
}

}  // namespace vela_math

template <typename T>
class SymmetricMatrix3X3 {
public:
    T xx, xy, xz, yy, yz, zz;

    // The zero matrix, not the identity.
    SymmetricMatrix3X3() : xx(0), xy(0), xz(0), yy(0), yz(0), zz(0) {}
    SymmetricMatrix3X3(T axx, T axy, T axz, T ayy, T ayz, T azz)
        : xx(axx), xy(axy), xz(axz), yy(ayy), yz(ayz), zz(azz) {}
    void Set(T axx, T axy, T axz, T ayy, T ayz, T azz) { *this = SymmetricMatrix3X3(axx, axy, axz, ayy, ayz, azz); }
    void SetZero() { *this = SymmetricMatrix3X3(); }

    static SymmetricMatrix3X3 Identity() { return Diagonal(T(1)); }
    static SymmetricMatrix3X3 Diagonal(T s) { return SymmetricMatrix3X3(s, 0, 0, s, 0, s); }
    static SymmetricMatrix3X3 Diagonal(const Vector3D<T>& v) { return SymmetricMatrix3X3(v.x, 0, 0, v.y, 0, v.z); }

    SymmetricMatrix3X3 operator+(const SymmetricMatrix3X3& b) const {
        using vela_math::Add;
        return SymmetricMatrix3X3(Add(xx, b.xx), Add(xy, b.xy), Add(xz, b.xz), Add(yy, b.yy), Add(yz, b.yz),
                                  Add(zz, b.zz));
    }
    SymmetricMatrix3X3 operator-(const SymmetricMatrix3X3& b) const {
        using vela_math::Sub;
        return SymmetricMatrix3X3(Sub(xx, b.xx), Sub(xy, b.xy), Sub(xz, b.xz), Sub(yy, b.yy), Sub(yz, b.yz),
                                  Sub(zz, b.zz));
    }
    SymmetricMatrix3X3& operator+=(const SymmetricMatrix3X3& b) { return *this = *this + b; }
    SymmetricMatrix3X3& operator-=(const SymmetricMatrix3X3& b) { return *this = *this - b; }
    // M - s I: only the diagonal changes.
    SymmetricMatrix3X3 operator-(T s) const { return SymmetricMatrix3X3(xx - s, xy, xz, yy - s, yz, zz - s); }
    SymmetricMatrix3X3& operator*=(T s) {
        using vela_math::Mul;
        *this = SymmetricMatrix3X3(Mul(xx, s), Mul(xy, s), Mul(xz, s), Mul(yy, s), Mul(yz, s), Mul(zz, s));
        return *this;
    }
    Vector3D<T> operator*(const Vector3D<T>& v) const {
        return Vector3D<T>(xx * v.x + xy * v.y + xz * v.z, xy * v.x + yy * v.y + yz * v.z,
                           xz * v.x + yz * v.y + zz * v.z);
    }

    // M += v v^T.
    void AddOuterProduct(const Vector3D<T>& v) { AddProducts(v, v); }
    // M += w v v^T.
    void AddWeightedOuterProduct(T w, const Vector3D<T>& v) { AddProducts(v * w, v); }
    // M -= v v^T.
    void SubtractOuterProduct(const Vector3D<T>& v) { AddProducts(-v, v); }
    // M = D M D with D = diag(d).
    void PreAndPostMultiplyWithDiagonalMatrix(const Vector3D<T>& d) {
        xx *= d.x * d.x;
        xy *= d.x * d.y;
        xz *= d.x * d.z;
        yy *= d.y * d.y;
        yz *= d.y * d.z;
        zz *= d.z * d.z;
    }

    T Trace() const { return xx + yy + zz; }
    // Over all six stored elements.
    T MaxAbs() const {
        const T values[5] = {xy, xz, yy, yz, zz};
        T best = std::abs(xx);
        for (T value : values) {
            if (std::abs(value) > best) {
                best = std::abs(value);
            }
        }
        return best;
    }
    // The column of the full matrix with the largest squared length (ties to
    // the later column), divided by its length; (1, 0, 0) for the zero matrix.
    Vector3D<T> LargestColumnNormalized() const {
        const Vector3D<T> c0(xx, xy, xz);
        const Vector3D<T> c1(xy, yy, yz);
        const Vector3D<T> c2(xz, yz, zz);
        T q;
        const Vector3D<T> c = vela_math::LongestOfThree(c0, c1, c2, q);
        if (q == T(0)) {
            return Vector3D<T>(1, 0, 0);
        }
        return vela_math::DivideByLength(c, q);
    }
    // The cofactor matrix, which for a symmetric matrix is also its adjugate.
    SymmetricMatrix3X3 CofactorMatrix() const {
        return SymmetricMatrix3X3(yy * zz - yz * yz, xz * yz - xy * zz, xy * yz - yy * xz, xx * zz - xz * xz,
                                  xy * xz - xx * yz, xx * yy - xy * xy);
    }
    T Determinant() const {
        return xx * (yy * zz - yz * yz) + xy * (yz * xz - zz * xy) + xz * (yz * xy - yy * xz);
    }
    // False, with out unchanged, when threshold >= |determinant|.
    bool GetInverse(SymmetricMatrix3X3& out, T threshold) const {
        const T det = Determinant();
        if (threshold >= std::abs(det)) {
            return false;
        }
        SymmetricMatrix3X3 inverse = CofactorMatrix();
        inverse *= T(1) / det;
        out = inverse;
        return true;
    }
    // The zero matrix when threshold >= |determinant|.
    SymmetricMatrix3X3 Inverse(T threshold) const {
        SymmetricMatrix3X3 inverse;
        GetInverse(inverse, threshold);
        return inverse;
    }
    void Invert(T threshold) { *this = Inverse(threshold); }
    // v^T M v.
    T MatrixInnerProduct(const Vector3D<T>& v) const {
        return xx * (v.x * v.x) + yy * (v.y * v.y) + zz * (v.z * v.z) + T(2) * xy * v.x * v.y +
               T(2) * xz * v.x * v.z + T(2) * yz * v.y * v.z;
    }
    bool operator==(const SymmetricMatrix3X3& b) const {
        return xx == b.xx && xy == b.xy && xz == b.xz && yy == b.yy && yz == b.yz && zz == b.zz;
    }
    bool operator!=(const SymmetricMatrix3X3& b) const { return !(*this == b); }

    // Eigen decomposition (float and double). The epsilon of the Solve
    // forms has no effect; callers pass 1e-8.

    void SolveEigenproblemNoScaling(Vector3D<T>& values, Matrix3X3<T>& vectors, T epsilon = T(1e-8)) const;
    Vector3D<T> GetEigenvaluesNoScaling() const;
    // Decomposes a copy scaled so that its largest absolute element is 1000
    // and scales the eigenvalues back.
    void SolveEigenproblemWithScaling(Vector3D<T>& values, Matrix3X3<T>& vectors, T epsilon = T(1e-8)) const;
    Vector3D<T> GetEigenvaluesWithScaling() const;
    void SolveEigenproblem(Vector3D<T>& values, Matrix3X3<T>& vectors, T epsilon = T(1e-8)) const {
        SolveEigenproblemWithScaling(values, vectors, epsilon);
    }
    Vector3D<T> GetEigenvalues() const { return GetEigenvaluesWithScaling(); }
    // All three eigenvalues, and the eigenvector of index i (0 the largest).
    void SolveSingleEigenproblem(int i, Vector3D<T>& values, Vector3D<T>& vector, T epsilon = T(1e-8)) const;
    // Unit eigenvector of a simple eigenvalue from the adjugate of M - lambda
    // I; a repeated eigenvalue gives components that are not numbers.
    void GetEigenvector(T lambda, Vector3D<T>& v) const;
    // A right-handed eigenvector matrix for eigenvalues given in descending
    // order; eigenvalues closer than epsilon times the largest magnitude are
    // treated as one.
    void GetEigenvectors(const Vector3D<T>& values, Matrix3X3<T>& vectors, T epsilon) const;

private:
    // M += a b^T for a b^T symmetric (a parallel to b).
    void AddProducts(const Vector3D<T>& a, const Vector3D<T>& b) {
        using vela_math::Add;
        using vela_math::Mul;
        xx = Add(xx, Mul(a.x, b.x));
        xy = Add(xy, Mul(a.x, b.y));
        xz = Add(xz, Mul(a.x, b.z));
        yy = Add(yy, Mul(a.y, b.y));
        yz = Add(yz, Mul(a.y, b.z));
        zz = Add(zz, Mul(a.z, b.z));
    }
};

// Householder reduction to tridiagonal form and the implicit QL algorithm
// (EISPACK tred2 and tql2) on S: eigenvalues in descending order, the
// eigenvectors as the columns of a matrix with determinant +1.
template <typename T>
void EigenDecomposition(const SymmetricMatrix3X3<T>& S, Matrix3X3<T>& vectors, Vector3D<T>& values);

extern template class SymmetricMatrix3X3<float>;
extern template class SymmetricMatrix3X3<double>;
extern template void EigenDecomposition<float>(const SymmetricMatrix3X3<float>&, Matrix3X3<float>&,
                                               Vector3D<float>&);
extern template void EigenDecomposition<double>(const SymmetricMatrix3X3<double>&, Matrix3X3<double>&,
                                                Vector3D<double>&);

// The eigenvectors come back in a Matrix3X3; make it complete for users of
// this header alone.
#include "QuorLibrary/Math/Matrix3X3.h"
