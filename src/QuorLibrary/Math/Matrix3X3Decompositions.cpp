// Singular values, pseudo-inverse, polar decomposition and the closed-form
// eigenvalues of a general 3x3 matrix.

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

namespace {

// The epsilon handed to the symmetric solver; it has no effect there.
constexpr double kEigenEpsilon = 1e-8;
// The polar decompositions drop singular values relative to this.
constexpr double kPolarThreshold = 1e-8;

// The pieces of the cubic formula whose precision differs between the
// instantiations.
struct CardanoFloat {
    // x^(1/3) with pow in double and the exponent 1/3 rounded to float.
    static float CubeRoot(float x) {
        const double third = static_cast<double>(1.0f / 3.0f);
        if (x > 0) {
            return static_cast<float>(std::pow(static_cast<double>(x), third));
        }
        return static_cast<float>(-std::pow(-static_cast<double>(x), third));
    }
    static float AcosArgument(float r, float negQ3) { return r * FloatOneOverSqrt(negQ3); }
    static float Acos(float x) { return std::acos(x); }
    // r cos(angle) + shift, the cosine and the sum taken in double.
    static float Root(float r, float angle, float shift) {
        return static_cast<float>(static_cast<double>(r) * std::cos(static_cast<double>(angle)) +
                                  static_cast<double>(shift));
    }
};

struct CardanoDouble {
    static double CubeRoot(double x) {
        if (x > 0) {
            return std::pow(x, 1.0 / 3.0);
        }
        return -std::pow(-x, 1.0 / 3.0);
    }
    static double AcosArgument(double r, double negQ3) { return r / std::sqrt(negQ3); }
    static double Acos(double x) { return std::acos(x); }
    static double Root(double r, double angle, double shift) { return r * std::cos(angle) + shift; }
};

template <typename T>
struct Cardano;
template <>
struct Cardano<float> : CardanoFloat {};
template <>
struct Cardano<double> : CardanoDouble {};

// Real roots of the characteristic polynomial with trace tr, principal-minor
// sum c2 and determinant det, in descending order; returns their count.
template <typename T>
int CubicEigenvalues(T tr, T c2, T det, T roots[3]) {
    using C = Cardano<T>;
    const T a1 = -tr;
    const T a1Cubed = a1 * a1 * a1;
    const T q = (T(3) * c2 - a1 * a1) / T(9);
    const T r = (T(9) * a1 * c2 + T(27) * det - T(2) * a1Cubed) / T(54);
    const T qCubed = q * q * q;
    const T d = qCubed + r * r;
    const T shift = tr / T(3);
    if (d >= 0) {
        const T sqrtD = std::sqrt(d);
        const T s = C::CubeRoot(r + sqrtD);
        const T w = C::CubeRoot(r - sqrtD);
        roots[0] = s + w + shift;
        return 1;
    }
    T cosine = C::AcosArgument(r, -qCubed);
    cosine = std::min(std::max(cosine, T(-1)), T(1));
    const T theta = C::Acos(cosine);
    const T radius = T(2) * std::sqrt(-q);
    // Single-precision 2pi/3 and 4pi/3 in both instantiations.
    const T third = theta / T(3);
    const T offset1 = static_cast<T>(2.09439510239319549f);
    const T offset2 = static_cast<T>(4.18879020478639098f);
    roots[0] = C::Root(radius, third, shift);
    roots[1] = C::Root(radius, third + offset1, shift);
    roots[2] = C::Root(radius, third + offset2, shift);
    if (roots[1] > roots[0]) {
        std::swap(roots[0], roots[1]);
    }
    if (roots[2] > roots[1]) {
        std::swap(roots[1], roots[2]);
        if (roots[1] > roots[0]) {
            std::swap(roots[0], roots[1]);
        }
    }
    return 3;
}

template <typename T>
void Coefficients(const Matrix3X3<T>& m, T& tr, T& c2, T& det) {
    tr = m.m00 + m.m11 + m.m22;
    c2 = m.m00 * m.m11 + m.m00 * m.m22 + m.m11 * m.m22 - m.m01 * m.m10 - m.m02 * m.m20 - m.m12 * m.m21;
    det = m.Determinant();
}

template <typename T>
bool FiniteRoots(const T roots[3], int count) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(roots[i])) {
            return false;
        }
    }
    return true;
}

// The eigenvalues of m from its copy in double scaled by 1000 / the largest
// absolute element of all nine (as far as double allows; not at all for the
// zero matrix), rounded to T; returns their count.
template <typename T>
int WholeMatrixEigenvalues(const Matrix3X3<T>& m, T& e0, T& e1, T& e2) {
    Matrix3X3<double> wide;
    double largest = 0;
    for (int i = 0; i < 9; ++i) {
        wide[i] = static_cast<double>(m[i]);
        largest = std::max(largest, std::abs(wide[i]));
    }
    double s = largest > 0 ? 1000.0 / largest : 1.0;
    if (std::isinf(s)) {
        s = std::numeric_limits<double>::max();
    }
    wide *= s;
    double tr, c2, det;
    Coefficients(wide, tr, c2, det);
    double roots[3];
    const int count = CubicEigenvalues(tr, c2, det, roots);
    const double inverse = 1.0 / s;
    e0 = static_cast<T>(roots[0] * inverse);
    if (count == 3) {
        e1 = static_cast<T>(roots[1] * inverse);
        e2 = static_cast<T>(roots[2] * inverse);
    }
    return count;
}

}  // namespace

template <typename T>
void Matrix3X3<T>::ActualSingularValueDecomposition(Matrix3X3& U, Vector3D<T>& sigma, Matrix3X3& V,
                                                    T threshold) const {
    // Read the matrix before U and V are written: either may be this matrix.
    const Matrix3X3 a(*this);
    const T detA = a.Determinant();
    Vector3D<T> lambda;
    a.NormalEquationsMatrix().SolveEigenproblem(lambda, V, static_cast<T>(kEigenEpsilon));
    const T e = threshold * std::max(std::abs(lambda.x), std::abs(lambda.z));
    if (lambda.z > e) {
        sigma = Vector3D<T>(std::sqrt(lambda.x), std::sqrt(lambda.y), std::sqrt(lambda.z));
        const Vector3D<T> u0 = (a * V.GetColumn(0)) / sigma.x;
        const Vector3D<T> u1 = (a * V.GetColumn(1)) / sigma.y;
        // The third column is completed, never computed as A v2 / sigma2.
        U.Set(u0, u1, detA >= 0 ? u0.Cross(u1) : u1.Cross(u0));
    } else if (lambda.y > e) {
        sigma = Vector3D<T>(std::sqrt(lambda.x), std::sqrt(lambda.y), T(0));
        const Vector3D<T> u0 = (a * V.GetColumn(0)) / sigma.x;
        const Vector3D<T> u1 = (a * V.GetColumn(1)) / sigma.y;
        U.Set(u0, u1, u0.Cross(u1));
    } else if (lambda.x > e) {
        sigma = Vector3D<T>(std::sqrt(lambda.x), T(0), T(0));
        const Vector3D<T> u0 = (a * V.GetColumn(0)) / sigma.x;
        const Vector3D<T> u1 = vela_math::UnitPerpendicular(u0);
        U.Set(u0, u1, u0.Cross(u1));
    } else {
        sigma = Vector3D<T>(0, 0, 0);
        U.SetIdentity();
    }
}

template <typename T>
Matrix3X3<T> Matrix3X3<T>::PseudoInverse(T threshold) const {
    Matrix3X3 U;
    Matrix3X3 V;
    Vector3D<T> sigma;
    ActualSingularValueDecomposition(U, sigma, V, threshold);
    Matrix3X3 p;
    for (int k = 0; k < 3; ++k) {
        if (sigma[k] > threshold) {
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) {
                    p(r, c) += V(r, k) * U(c, k) / sigma[k];
                }
            }
        }
    }
    return p;
}

template <typename T>
void Matrix3X3<T>::PolarDecompositionRotationAndScale(Matrix3X3& R, Vector3D<T>& sigma, Matrix3X3& V) const {
    Matrix3X3 U;
    ActualSingularValueDecomposition(U, sigma, V, static_cast<T>(kPolarThreshold));
    R = U.MultipliedWithTranspose(V);
}

template <typename T>
Matrix3X3<T> Matrix3X3<T>::PolarDecompositionRotationPart() const {
    Matrix3X3 R;
    Matrix3X3 V;
    Vector3D<T> sigma;
    PolarDecompositionRotationAndScale(R, sigma, V);
    return R;
}

template <typename T>
int Matrix3X3<T>::GetEigenvaluesNoScaling(T& e0, T& e1, T& e2) const {
    T tr, c2, det;
    Coefficients(*this, tr, c2, det);
    T roots[3];
    const int count = CubicEigenvalues(tr, c2, det, roots);
    e0 = roots[0];
    if (count == 3) {
        e1 = roots[1];
        e2 = roots[2];
    }
    return count;
}

template <typename T>
int Matrix3X3<T>::GetEigenvaluesWithScaling(T& e0, T& e1, T& e2) const {
    const T maxAbs = MaxAbs();
    T s = maxAbs > 0 ? T(1000) / maxAbs : T(1);
    T tr, c2, det;
    Coefficients(*this, tr, c2, det);
    // The scaled coefficients are formed one factor at a time: tr·s, (c2·s)·s
    // and ((det·s)·s)·s, so that s^3 alone cannot overflow or underflow.
    T roots[3];
    int count = CubicEigenvalues(tr * s, c2 * s * s, det * s * s * s, roots);
    if (!FiniteRoots(roots, count)) {
        // The scale leaves m00 out, so a matrix whose m00 dwarfs the rest
        // (a covariance stretched along x) overflows the scaled float cubic,
        // and a tiny one makes s infinite. Then the matrix is scaled by all
        // nine elements, as the symmetric solver scales, and solved in
        // double precision, whose range and precision resolve such spreads.
        return WholeMatrixEigenvalues(*this, e0, e1, e2);
    }
    const T inverse = T(1) / s;
    e0 = roots[0] * inverse;
    if (count == 3) {
        e1 = roots[1] * inverse;
        e2 = roots[2] * inverse;
    }
    return count;
}

template <typename T>
Vector3D<T> Matrix3X3<T>::GetEigenvector(T lambda) const {
    return (*this - lambda).AdjugateMatrix().LargestColumnNormalized();
}

template <typename T>
Vector3D<T> Matrix3X3<T>::LargestColumnNormalized() const {
    const Vector3D<T> c0 = GetColumn(0);
    const Vector3D<T> c1 = GetColumn(1);
    const Vector3D<T> c2 = GetColumn(2);
    const T q0 = c0.MagnitudeSquared();
    const T q1 = c1.MagnitudeSquared();
    const T q2 = c2.MagnitudeSquared();
    Vector3D<T> c = c2;
    T q = q2;
    if (q0 > q1 && q0 > q2) {
        c = c0;
        q = q0;
    } else if (q1 >= q0 && q1 > q2) {
        c = c1;
        q = q1;
    }
    if (!(q > 0)) {
        return Vector3D<T>(1, 0, 0);
    }
    return vela_math::DivideByLength(c, q);
}

template class Matrix3X3<float>;
template class Matrix3X3<double>;
