// The closed-form 2x2 decompositions: one Jacobi rotation for the symmetric
// eigenproblem, the singular-value decomposition built on it, the
// pseudo-inverse and the indefinite polar decomposition.

#include "QuorLibrary/Math/Matrix2X2.h"

#include <algorithm>
#include <cmath>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"

namespace {

// The handed-on threshold of the eigen solver, which ignores it.
constexpr float kEigenThreshold = 1e-8f;

// Tangent of the Jacobi angle that zeroes xy; 0 when xy already is (a NaN xy
// goes through the formula).
float JacobiTangent(float xx, float xy, float yy) {
    if (xy == 0) {
        return 0.0f;
    }
    const float theta = (yy - xx) * 0.5f / xy;
    const float denominator = std::abs(theta) + std::sqrt(theta * theta + 1.0f);
    float t = static_cast<float>(1.0 / denominator);
    if (theta < 0) {
        t = -t;
    }
    return t;
}

}  // namespace

template <typename T>
void SymmetricMatrix2X2<T>::SolveEigenproblem(Vector2D<T>& values, Matrix2X2<T>& vectors, T /*t*/) const {
    T cs = 1;
    T sn = 0;
    const T t = JacobiTangent(xx, xy, yy);
    if (xy != 0) {
        cs = FloatOneOverSqrt(t * t + 1);
        sn = t * cs;
    }
    const T la = xx - t * xy;
    const T lb = yy + t * xy;
    if (la >= lb) {
        values = Vector2D<T>(la, lb);
        vectors = Matrix2X2<T>(cs, sn, -sn, cs);
    } else {
        values = Vector2D<T>(lb, la);
        vectors = Matrix2X2<T>(sn, -cs, cs, sn);
    }
}

template <typename T>
Vector2D<T> Matrix2X2<T>::SymmetricMatrixEigenvalues() const {
    const T t = JacobiTangent(m00, m01, m11);
    const T la = m00 - t * m01;
    const T lb = m11 + t * m01;
    if (lb > la) {
        return Vector2D<T>(lb, la);
    }
    return Vector2D<T>(la, lb);
}

template <typename T>
void Matrix2X2<T>::ActualSingularValueDecomposition(Matrix2X2& U, Vector2D<T>& sigma, Matrix2X2& V,
                                                    T threshold) const {
    // Read the matrix before U and V are written: either may be this matrix.
    const Matrix2X2 a(*this);
    SymmetricMatrix2X2<T> n;
    a.NormalEquationsMatrix(n);
    Vector2D<T> lambda;
    n.SolveEigenproblem(lambda, V, kEigenThreshold);
    const T e = threshold * std::max(std::abs(lambda.x), std::abs(lambda.y));
    if (lambda.y > e) {
        sigma = Vector2D<T>(std::sqrt(lambda.x), std::sqrt(lambda.y));
        const Vector2D<T> u0 = (a * V.GetColumn(0)) * (T(1) / sigma.x);
        // The second column follows from the first, never from v1.
        if (a.Determinant() >= 0) {
            U = Matrix2X2(u0.x, -u0.y, u0.y, u0.x);
        } else {
            U = Matrix2X2(u0.x, u0.y, u0.y, -u0.x);
        }
    } else if (lambda.x > e) {
        sigma = Vector2D<T>(std::sqrt(lambda.x), 0);
        const Vector2D<T> u0 = (a * V.GetColumn(0)) * (T(1) / sigma.x);
        U = Matrix2X2(u0.x, -u0.y, u0.y, u0.x);
    } else {
        sigma = Vector2D<T>(0, 0);
        U.SetIdentity();
    }
}

template <typename T>
void Matrix2X2<T>::SingularValueDecomposition(Matrix2X2& U, Vector2D<T>& sigma, Matrix2X2& V, T threshold) const {
    const Matrix2X2 copy(*this);
    Matrix2X2 u;
    Matrix2X2 v;
    Vector2D<T> s;
    copy.ActualSingularValueDecomposition(u, s, v, threshold);
    U = u;
    sigma = s;
    V = v;
}

template <typename T>
void Matrix2X2<T>::GetPseudoInverse(Matrix2X2& P, T threshold) const {
    Matrix2X2 U;
    Matrix2X2 V;
    Vector2D<T> sigma;
    SingularValueDecomposition(U, sigma, V, threshold);
    P.SetZero();
    for (int k = 0; k < 2; ++k) {
        if (sigma[k] > threshold) {
            for (int r = 0; r < 2; ++r) {
                for (int c = 0; c < 2; ++c) {
                    P(r, c) += V(r, k) * U(c, k) / sigma[k];
                }
            }
        }
    }
}

template <typename T>
void Matrix2X2<T>::IndefinitePolarDecomposition(Matrix2X2& R, SymmetricMatrix2X2<T>& S) const {
    const Matrix2X2 a(*this);
    const T tr = a.m00 + a.m11;
    T cs = 0;
    T sn = 1;
    if (tr != 0) {
        const T t = (a.m10 - a.m01) / tr;
        cs = FloatOneOverSqrt(1 + t * t);
        sn = t * cs;
    }
    R = Matrix2X2(cs, -sn, sn, cs);
    S = SymmetricMatrix2X2<T>(cs * a.m00 + sn * a.m10, cs * a.m01 + sn * a.m11, cs * a.m11 - sn * a.m01);
}

template class SymmetricMatrix2X2<float>;
template class Matrix2X2<float>;
