#pragma once

// 2x2 matrices (float): the general Matrix2X2, row-major and multiplying
// column vectors (two vectors that build one are its columns), and the
// SymmetricMatrix2X2 (xx, xy, yy) with its one-Jacobi-rotation eigenproblem.
// An eigen solution is the eigenvalues in descending order and the unit
// eigenvectors as the columns of a rotation.

#include <cmath>
#include <utility>

#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/Vector2D.h"

template <typename T>
class Matrix2X2;

template <typename T>
class SymmetricMatrix2X2 {
public:
    T xx, xy, yy;

    SymmetricMatrix2X2() : xx(0), xy(0), yy(0) {}
    SymmetricMatrix2X2(T a, T b, T c) : xx(a), xy(b), yy(c) {}
    void Set(T a, T b, T c) { *this = SymmetricMatrix2X2(a, b, c); }

    static SymmetricMatrix2X2 Identity() { return SymmetricMatrix2X2(1, 0, 1); }
    static SymmetricMatrix2X2 Diagonal(T s) { return SymmetricMatrix2X2(s, 0, s); }
    static SymmetricMatrix2X2 Diagonal(const Vector2D<T>& v) { return SymmetricMatrix2X2(v.x, 0, v.y); }

    SymmetricMatrix2X2 operator-() const { return SymmetricMatrix2X2(-xx, -xy, -yy); }
    SymmetricMatrix2X2 operator+(const SymmetricMatrix2X2& b) const {
        return SymmetricMatrix2X2(xx + b.xx, xy + b.xy, yy + b.yy);
    }
    SymmetricMatrix2X2 operator-(const SymmetricMatrix2X2& b) const {
        return SymmetricMatrix2X2(xx - b.xx, xy - b.xy, yy - b.yy);
    }
    SymmetricMatrix2X2& operator+=(const SymmetricMatrix2X2& b) { return *this = *this + b; }
    SymmetricMatrix2X2& operator-=(const SymmetricMatrix2X2& b) { return *this = *this - b; }
    // M - s I: only the diagonal changes.
    SymmetricMatrix2X2 operator-(T s) const { return SymmetricMatrix2X2(xx - s, xy, yy - s); }
    SymmetricMatrix2X2& operator*=(T s) {
        xx *= s;
        xy *= s;
        yy *= s;
        return *this;
    }
    Vector2D<T> operator*(const Vector2D<T>& v) const { return Vector2D<T>(xx * v.x + xy * v.y, xy * v.x + yy * v.y); }

    T Trace() const { return xx + yy; }
    T Determinant() const { return xx * yy - xy * xy; }
    SymmetricMatrix2X2 CofactorMatrix() const { return SymmetricMatrix2X2(yy, -xy, xx); }
    // v^T M v.
    T MatrixInnerProduct(const Vector2D<T>& v) const {
        return v.x * v.x * xx + v.y * v.y * yy + T(2) * v.x * v.y * xy;
    }

    // The three inverse forms differ on a singular matrix (threshold >=
    // |determinant|): GetInverse leaves out untouched and returns false,
    // Inverse returns the zero matrix, Invert zeroes the matrix.
    bool GetInverse(SymmetricMatrix2X2& out, T threshold) const {
        const T det = Determinant();
        if (threshold >= std::abs(det)) {
            return false;
        }
        out = SymmetricMatrix2X2(yy / det, -xy / det, xx / det);
        return true;
    }
    SymmetricMatrix2X2 Inverse(T threshold) const {
        SymmetricMatrix2X2 inverse;
        GetInverse(inverse, threshold);
        return inverse;
    }
    void Invert(T threshold) { *this = Inverse(threshold); }

    // Eigenvalues in descending order and the eigenvectors as the columns of
    // a rotation; t is not used.
    void SolveEigenproblem(Vector2D<T>& values, Matrix2X2<T>& vectors, T t = T(1e-8)) const;
};

template <typename T>
class Matrix2X2 {
public:
    T m00, m01;
    T m10, m11;

    // The zero matrix.
    Matrix2X2() : m00(0), m01(0), m10(0), m11(0) {}
    Matrix2X2(T a, T b, T c, T d) : m00(a), m01(b), m10(c), m11(d) {}
    Matrix2X2(const Vector2D<T>& c0, const Vector2D<T>& c1) : m00(c0.x), m01(c1.x), m10(c0.y), m11(c1.y) {}
    Matrix2X2(const SymmetricMatrix2X2<T>& s)  // NOLINT(google-explicit-constructor)
        : m00(s.xx), m01(s.xy), m10(s.xy), m11(s.yy) {}

    void Set(T a, T b, T c, T d) { *this = Matrix2X2(a, b, c, d); }
    void Set(T s) { Set(s, s, s, s); }
    void SetZero() { Set(T(0)); }
    void SetIdentity() { SetToDiagonal(T(1)); }
    void SetToDiagonal(T s) { SetToDiagonal(s, s); }
    void SetToDiagonal(T a, T b) { Set(a, 0, 0, b); }
    void SetToDiagonal(const Vector2D<T>& v) { SetToDiagonal(v.x, v.y); }
    void SetToRotation(T angle) {
        const T c = std::cos(angle);
        const T s = std::sin(angle);
        Set(c, -s, s, c);
    }
    static Matrix2X2 Identity() { return Diagonal(T(1)); }
    static Matrix2X2 Diagonal(T s) { return Diagonal(s, s); }
    static Matrix2X2 Diagonal(T a, T b) { return Matrix2X2(a, 0, 0, b); }
    static Matrix2X2 Diagonal(const Vector2D<T>& v) { return Diagonal(v.x, v.y); }
    static Matrix2X2 Rotation(T angle) {
        Matrix2X2 r;
        r.SetToRotation(angle);
        return r;
    }

    T& operator()(int r, int c) { return (*this)[2 * r + c]; }
    const T& operator()(int r, int c) const { return (*this)[2 * r + c]; }
    // Flat element i (0..3), not a row.
    T& operator[](int i) { return this->*ElementPointer(i); }
    const T& operator[](int i) const { return this->*ElementPointer(i); }

    Vector2D<T> GetColumn(int i) const { return Vector2D<T>((*this)(0, i), (*this)(1, i)); }
    void SetColumn(int i, const Vector2D<T>& v) {
        (*this)(0, i) = v.x;
        (*this)(1, i) = v.y;
    }
    void ScaleColumn(int i, T s) {
        (*this)(0, i) *= s;
        (*this)(1, i) *= s;
    }
    void SwapColumns() {
        std::swap(m00, m01);
        std::swap(m10, m11);
    }
    // Left-multiplication by the quarter turn with rows (0, -1), (1, 0).
    void Rotate90() { Set(-m10, -m11, m00, m01); }
    // this += w M.
    void AddWeighted(T w, const Matrix2X2& b) {
        m00 += w * b.m00;
        m01 += w * b.m01;
        m10 += w * b.m10;
        m11 += w * b.m11;
    }

    Matrix2X2 operator-() const { return Matrix2X2(-m00, -m01, -m10, -m11); }
    Matrix2X2 operator+(const Matrix2X2& b) const {
        using vela_math::Add;
        return Matrix2X2(Add(m00, b.m00), Add(m01, b.m01), Add(m10, b.m10), Add(m11, b.m11));
    }
    Matrix2X2 operator-(const Matrix2X2& b) const {
        using vela_math::Sub;
        return Matrix2X2(Sub(m00, b.m00), Sub(m01, b.m01), Sub(m10, b.m10), Sub(m11, b.m11));
    }
    Matrix2X2& operator+=(const Matrix2X2& b) { return *this = *this + b; }
    Matrix2X2& operator-=(const Matrix2X2& b) { return *this = *this - b; }
    Matrix2X2 operator*(const Matrix2X2& b) const {
        return Matrix2X2(m00 * b.m00 + m01 * b.m10, m00 * b.m01 + m01 * b.m11, m10 * b.m00 + m11 * b.m10,
                         m10 * b.m01 + m11 * b.m11);
    }
    // Reads both factors before writing, so M *= M gives M^2.
    Matrix2X2& operator*=(const Matrix2X2& b) { return *this = *this * b; }
    Vector2D<T> operator*(const Vector2D<T>& v) const { return Vector2D<T>(m00 * v.x + m01 * v.y, m10 * v.x + m11 * v.y); }
    Vector2D<T> TransposeTimes(const Vector2D<T>& v) const {
        return Vector2D<T>(m00 * v.x + m10 * v.y, m01 * v.x + m11 * v.y);
    }
    Matrix2X2& operator*=(T s) {
        m00 *= s;
        m01 *= s;
        m10 *= s;
        m11 *= s;
        return *this;
    }
    Matrix2X2& operator/=(T s) {
        m00 /= s;
        m01 /= s;
        m10 /= s;
        m11 /= s;
        return *this;
    }
    void Transpose() { std::swap(m01, m10); }
    // Over all four elements.
    T MaxAbs() const {
        T best = std::abs(m00);
        for (int i = 1; i < 4; ++i) {
            if (std::abs((*this)[i]) > best) {
                best = std::abs((*this)[i]);
            }
        }
        return best;
    }
    T Determinant() const { return m00 * m11 - m01 * m10; }
    T Trace() const { return m00 + m11; }
    // False, with out unchanged, when threshold >= |determinant|.
    bool GetInverse(Matrix2X2& out, T threshold) const {
        const T det = Determinant();
        if (threshold >= std::abs(det)) {
            return false;
        }
        out = Matrix2X2(m11 / det, -m01 / det, -m10 / det, m00 / det);
        return true;
    }

    // A = R S with R the rotation of non-negative cosine that makes R^T A
    // symmetric; S may have negative eigenvalues (a turn beyond a quarter
    // gives S = -I). R may be this matrix.
    void IndefinitePolarDecomposition(Matrix2X2& R, SymmetricMatrix2X2<T>& S) const;
    // Eigenvalues (larger, smaller) of the symmetric matrix with diagonal
    // m00, m11 and off-diagonal m01; m10 is not read.
    Vector2D<T> SymmetricMatrixEigenvalues() const;
    void SymmetricMatrixSolveEigenproblem(Vector2D<T>& values, Matrix2X2& vectors, T t = T(1e-8)) const {
        SymmetricMatrix2X2<T>(m00, m01, m11).SolveEigenproblem(values, vectors, t);
    }
    // A^T A.
    void NormalEquationsMatrix(SymmetricMatrix2X2<T>& S) const {
        S = SymmetricMatrix2X2<T>(m00 * m00 + m10 * m10, m00 * m01 + m10 * m11, m01 * m01 + m11 * m11);
    }
    // A = U diag(sigma) V^T with sigma descending and non-negative and V a
    // rotation, from the eigenproblem of A^T A; eigenvalues not above
    // threshold times the larger magnitude are dropped. U is a reflection
    // when both are kept and det(A) < 0.
    void ActualSingularValueDecomposition(Matrix2X2& U, Vector2D<T>& sigma, Matrix2X2& V, T threshold) const;
    // The same through copies, so that an output may be this matrix.
    void SingularValueDecomposition(Matrix2X2& U, Vector2D<T>& sigma, Matrix2X2& V, T threshold) const;
    // V diag(1/sigma) U^T over the singular values above threshold.
    void GetPseudoInverse(Matrix2X2& P, T threshold) const;
    // For index 0 the rotation-like frame with columns v and its quarter turn
    // (-v.y, v.x); for any other index the columns (-v.y, v.x) and v, a
    // reflection with determinant -|v|^2.
    static Matrix2X2 OrthonormalMatrixFromOneAxis(const Vector2D<T>& v, int i) {
        if (i == 0) {
            return Matrix2X2(v.x, -v.y, v.y, v.x);
        }
        return Matrix2X2(-v.y, v.x, v.x, v.y);
    }

private:
    static T Matrix2X2::*ElementPointer(int i) {
        static constexpr T Matrix2X2::*kElements[4] = {&Matrix2X2::m00, &Matrix2X2::m01, &Matrix2X2::m10,
                                                        &Matrix2X2::m11};
        return kElements[i];
    }
};

// out = A B^T; out may be A or B.
template <typename T>
void Algb_ABt(const Matrix2X2<T>& A, const Matrix2X2<T>& B, Matrix2X2<T>& out) {
    out = Matrix2X2<T>(A.m00 * B.m00 + A.m01 * B.m01, A.m00 * B.m10 + A.m01 * B.m11, A.m10 * B.m00 + A.m11 * B.m01,
                       A.m10 * B.m10 + A.m11 * B.m11);
}

extern template class SymmetricMatrix2X2<float>;
extern template class Matrix2X2<float>;
