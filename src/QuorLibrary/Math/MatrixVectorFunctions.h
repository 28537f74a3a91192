#pragma once

// Short forms of the matrix-vector expressions the tracking code writes
// often, and Gram-Schmidt orthonormalisation of a matrix's columns.

#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

// u + A v.
template <typename T>
inline Vector3D<T> Algb_upAv(const Vector3D<T>& u, const Matrix3X3<T>& A, const Vector3D<T>& v) {
    return u + A * v;
}
template <typename T>
inline void Algb_upAv(const Vector3D<T>& u, const Matrix3X3<T>& A, const Vector3D<T>& v, Vector3D<T>& out) {
    out = u + A * v;
}

// out = u - A v.
template <typename T>
inline void Algb_umAv(const Vector3D<T>& u, const Matrix3X3<T>& A, const Vector3D<T>& v, Vector3D<T>& out) {
    out = u - A * v;
}

// The symmetric matrix A S A^T.
template <typename T>
inline SymmetricMatrix3X3<T> Algb_ABAt(const Matrix3X3<T>& A, const SymmetricMatrix3X3<T>& S) {
    const Matrix3X3<T> AS = A * Matrix3X3<T>(S);
    const Vector3D<T> r0 = A.GetRow(0);
    const Vector3D<T> r1 = A.GetRow(1);
    const Vector3D<T> r2 = A.GetRow(2);
    const Vector3D<T> p0 = AS.GetRow(0);
    const Vector3D<T> p1 = AS.GetRow(1);
    const Vector3D<T> p2 = AS.GetRow(2);
    return SymmetricMatrix3X3<T>(p0.Dot(r0), p0.Dot(r1), p0.Dot(r2), p1.Dot(r1), p1.Dot(r2), p2.Dot(r2));
}

// Makes the columns of M orthonormal in column order: each column is
// normalised (a null column becomes (1, 0, 0)), and the next one loses its
// components along the columns before it, one projection after the other.
template <typename T>
void ApplyGramSchmidt(Matrix3X3<T>& M) {
    Vector3D<T> c[3] = {M.GetColumn(0), M.GetColumn(1), M.GetColumn(2)};
    for (int i = 0; i < 3; ++i) {
        c[i].Normalize();
        if (i < 2) {
            for (int j = 0; j <= i; ++j) {
                c[i + 1] -= c[j] * c[i + 1].Dot(c[j]);
            }
        }
    }
    M.Set(c[0], c[1], c[2]);
}
