// Eigen decomposition of symmetric 3x3 matrices: Householder tridiagonal
// reduction and implicit-shift QL (EISPACK tred2/tql2) for n = 3 in
// the element type, plus the scaling wrappers and the eigenvector helpers.

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

namespace {

// QL convergence bound, relative to the largest |d| + |e| met so far; the
// same in both instantiations.
constexpr double kQLEpsilon = 9.313225746154785e-10;  // 2^-30
// Sweeps allowed per eigenvalue. Inputs that converge need far fewer;
// beyond this the current values are kept.
constexpr int kMaxQLSweeps = 30;
constexpr double kScaledMaxAbs = 1000.0;

// sqrt(a^2 + b^2). Where the squares overflow or underflow (a tiny coupling
// against a large diagonal gap, or elements near the limits of T) the plain
// formula would give an infinite or zero length and the iteration would end
// in values that are not numbers; only then is the scaled form used, so that
// every other input keeps the plain formula's bits.
template <typename T>
T Hypotenuse(T a, T b) {
    const T sum = a * a + b * b;
    if (std::isnormal(sum)) {
        return std::sqrt(sum);
    }
    return std::hypot(a, b);
}

template <typename T>
void Tridiagonalize(T V[3][3], T d[3], T e[3]) {
    for (int j = 0; j < 3; ++j) {
        d[j] = V[2][j];
    }
    for (int i = 2; i > 0; --i) {
        T scale = 0;
        T h = 0;
        for (int k = 0; k < i; ++k) {
            scale = scale + std::abs(d[k]);
        }
        if (scale == 0) {
            e[i] = d[i - 1];
            for (int j = 0; j < i; ++j) {
                d[j] = V[i - 1][j];
                V[i][j] = 0;
                V[j][i] = 0;
            }
        } else {
            // A subnormal scale has no finite reciprocal; divide then.
            const T inverseScale = T(1) / scale;
            const bool multiply = std::isfinite(inverseScale);
            for (int k = 0; k < i; ++k) {
                d[k] = multiply ? d[k] * inverseScale : d[k] / scale;
                h += d[k] * d[k];
            }
            T f = d[i - 1];
            T g = std::sqrt(h);
            if (f > 0) {
                g = -g;
            }
            e[i] = scale * g;
            h = h - f * g;
            d[i - 1] = f - g;
            for (int j = 0; j < i; ++j) {
                e[j] = 0;
            }
            for (int j = 0; j < i; ++j) {
                f = d[j];
                V[j][i] = f;
                g = e[j] + V[j][j] * f;
                for (int k = j + 1; k <= i - 1; ++k) {
                    g += V[k][j] * d[k];
                    e[k] += V[k][j] * f;
                }
                e[j] = g;
            }
            f = 0;
            const T inverseH = T(1) / h;
            for (int j = 0; j < i; ++j) {
                e[j] *= inverseH;
                f += e[j] * d[j];
            }
            const T hh = f / (h + h);
            for (int j = 0; j < i; ++j) {
                e[j] -= hh * d[j];
            }
            for (int j = 0; j < i; ++j) {
                f = d[j];
                g = e[j];
                for (int k = j; k <= i - 1; ++k) {
                    V[k][j] -= (f * e[k] + g * d[k]);
                }
                d[j] = V[i - 1][j];
                V[i][j] = 0;
            }
        }
        d[i] = h;
    }

    // Accumulate the transformations.
    for (int i = 0; i < 2; ++i) {
        V[2][i] = V[i][i];
        V[i][i] = 1;
        const T h = d[i + 1];
        if (h != 0) {
            const T inverseH = T(1) / h;
            for (int k = 0; k <= i; ++k) {
                d[k] = V[k][i + 1] * inverseH;
            }
            for (int j = 0; j <= i; ++j) {
                T g = 0;
                for (int k = 0; k <= i; ++k) {
                    g += V[k][i + 1] * V[k][j];
                }
                for (int k = 0; k <= i; ++k) {
                    V[k][j] -= g * d[k];
                }
            }
        }
        for (int k = 0; k <= i; ++k) {
            V[k][i + 1] = 0;
        }
    }
    for (int j = 0; j < 3; ++j) {
        d[j] = V[2][j];
        V[2][j] = 0;
    }
    V[2][2] = 1;
    e[0] = 0;
}

template <typename T>
void DiagonalizeQL(T V[3][3], T d[3], T e[3]) {
    e[0] = e[1];
    e[1] = e[2];
    e[2] = 0;
    T f = 0;
    T tst1 = 0;
    const T eps = static_cast<T>(kQLEpsilon);
    for (int l = 0; l < 3; ++l) {
        tst1 = std::max(tst1, std::abs(d[l]) + std::abs(e[l]));
        // e[2] is 0, so the search ends at 2 at the latest; the explicit
        // bound keeps it there when a not-a-number fails every test.
        int m = l;
        while (m < 2 && !(std::abs(e[m]) <= eps * tst1)) {
            ++m;
        }
        if (m > l) {
            int sweeps = 0;
            do {
                T g = d[l];
                T p = (d[l + 1] - g) / (e[l] + e[l]);
                if (std::isinf(p)) {
                    // e[l] is below 1/max(T) of the gap beside it: negligible
                    // whatever tst1 says, and the shift would overflow.
                    break;
                }
                T r = Hypotenuse(p, T(1));
                if (p < 0) {
                    r = -r;
                }
                d[l] = e[l] / (p + r);
                d[l + 1] = e[l] * (p + r);
                const T dl1 = d[l + 1];
                T h = g - d[l];
                for (int i = l + 2; i < 3; ++i) {
                    d[i] -= h;
                }
                f = f + h;

                p = d[m];
                T c = 1;
                T c2 = c;
                T c3 = c;
                const T el1 = e[l + 1];
                T s = 0;
                T s2 = 0;
                for (int i = m - 1; i >= l; --i) {
                    c3 = c2;
                    c2 = c;
                    s2 = s;
                    g = c * e[i];
                    h = c * p;
                    r = Hypotenuse(p, e[i]);
                    e[i + 1] = s * r;
                    s = e[i] / r;
                    c = p / r;
                    p = c * d[i] - s * g;
                    d[i + 1] = h + s * (c * g + s * d[i]);
                    for (int k = 0; k < 3; ++k) {
                        h = V[k][i + 1];
                        V[k][i + 1] = s * V[k][i] + c * h;
                        V[k][i] = c * V[k][i] - s * h;
                    }
                }
                p = -s * s2 * c3 * el1 * e[l] / dl1;
                e[l] = s * p;
                d[l] = c * p;
            } while (++sweeps < kMaxQLSweeps && std::abs(e[l]) > eps * tst1);
        }
        d[l] = d[l] + f;
        e[l] = 0;
    }
}

template <typename T>
void SortDescending(T V[3][3], T d[3]) {
    for (int i = 0; i < 2; ++i) {
        int k = i;
        T p = d[i];
        for (int j = i + 1; j < 3; ++j) {
            if (d[j] > p) {
                k = j;
                p = d[j];
            }
        }
        if (k != i) {
            std::swap(d[i], d[k]);
            for (int j = 0; j < 3; ++j) {
                std::swap(V[j][i], V[j][k]);
            }
        }
    }
}

}  // namespace

template <typename T>
void EigenDecomposition(const SymmetricMatrix3X3<T>& S, Matrix3X3<T>& vectors, Vector3D<T>& values) {
    T V[3][3] = {{S.xx, S.xy, S.xz}, {S.xy, S.yy, S.yz}, {S.xz, S.yz, S.zz}};
    T d[3];
    T e[3];
    Tridiagonalize(V, d, e);
    DiagonalizeQL(V, d, e);
    SortDescending(V, d);
    vectors.Set(V[0][0], V[0][1], V[0][2], V[1][0], V[1][1], V[1][2], V[2][0], V[2][1], V[2][2]);
    if (vectors.Determinant() < 0) {
        vectors.ScaleColumn(2, T(-1));
    }
    values = Vector3D<T>(d[0], d[1], d[2]);
}

template <typename T>
void SymmetricMatrix3X3<T>::SolveEigenproblemNoScaling(Vector3D<T>& values, Matrix3X3<T>& vectors,
                                                       T /*epsilon*/) const {
    EigenDecomposition(*this, vectors, values);
}

template <typename T>
Vector3D<T> SymmetricMatrix3X3<T>::GetEigenvaluesNoScaling() const {
    Matrix3X3<T> vectors;
    Vector3D<T> values;
    EigenDecomposition(*this, vectors, values);
    return values;
}

template <typename T>
void SymmetricMatrix3X3<T>::SolveEigenproblemWithScaling(Vector3D<T>& values, Matrix3X3<T>& vectors,
                                                         T /*epsilon*/) const {
    const T maxAbs = MaxAbs();
    T s = maxAbs > 0 ? static_cast<T>(kScaledMaxAbs) / maxAbs : T(1);
    if (std::isinf(s)) {
        // A largest element below 1000 / max(T): scale as far as T allows.
        s = std::numeric_limits<T>::max();
    }
    SymmetricMatrix3X3 scaled(*this);
    scaled *= s;
    EigenDecomposition(scaled, vectors, values);
    values *= T(1) / s;
}

template <typename T>
Vector3D<T> SymmetricMatrix3X3<T>::GetEigenvaluesWithScaling() const {
    Matrix3X3<T> vectors;
    Vector3D<T> values;
    SolveEigenproblemWithScaling(values, vectors);
    return values;
}

template <typename T>
void SymmetricMatrix3X3<T>::SolveSingleEigenproblem(int i, Vector3D<T>& values, Vector3D<T>& vector,
                                                    T epsilon) const {
    Matrix3X3<T> vectors;
    SolveEigenproblem(values, vectors, epsilon);
    vector = vectors.GetColumn(i);
}

template <typename T>
void SymmetricMatrix3X3<T>::GetEigenvector(T lambda, Vector3D<T>& v) const {
    const SymmetricMatrix3X3 a = *this - lambda;
    // The rows of the adjugate of A.
    const Vector3D<T> r0(a.yy * a.zz - a.yz * a.yz, a.xz * a.yz - a.xy * a.zz, a.xy * a.yz - a.yy * a.xz);
    const Vector3D<T> r1(a.xz * a.yz - a.xy * a.zz, a.xx * a.zz - a.xz * a.xz, a.xy * a.xz - a.xx * a.yz);
    const Vector3D<T> r2(a.xy * a.yz - a.yy * a.xz, a.xy * a.xz - a.xx * a.yz, a.xx * a.yy - a.xy * a.xy);
    T q;
    const Vector3D<T> r = vela_math::LongestOfThree(r0, r1, r2, q);
    v = vela_math::TimesReciprocalLength(r, q);
}

template <typename T>
void SymmetricMatrix3X3<T>::GetEigenvectors(const Vector3D<T>& values, Matrix3X3<T>& vectors, T epsilon) const {
    const T t = epsilon * std::max(std::abs(values.x), std::abs(values.z));
    const bool largestTwoCoincide = t >= values.x - values.y;
    const bool smallestTwoCoincide = t >= values.y - values.z;
    if (largestTwoCoincide && smallestTwoCoincide) {
        vectors.SetIdentity();
    } else if (largestTwoCoincide) {
        Vector3D<T> w;
        GetEigenvector(values.z, w);
        const Vector3D<T> p = vela_math::UnitPerpendicular(w);
        vectors.Set(p.Cross(w), p, w);
    } else if (smallestTwoCoincide) {
        Vector3D<T> w;
        GetEigenvector(values.x, w);
        const Vector3D<T> p = vela_math::UnitPerpendicular(w);
        vectors.Set(w, p, w.Cross(p));
    } else {
        Vector3D<T> v0;
        Vector3D<T> v2;
        GetEigenvector(values.x, v0);
        GetEigenvector(values.z, v2);
        vectors.Set(v0, v2.Cross(v0), v2);
    }
}

template class SymmetricMatrix3X3<float>;
template class SymmetricMatrix3X3<double>;
template void EigenDecomposition<float>(const SymmetricMatrix3X3<float>&, Matrix3X3<float>&, Vector3D<float>&);
template void EigenDecomposition<double>(const SymmetricMatrix3X3<double>&, Matrix3X3<double>&, Vector3D<double>&);
