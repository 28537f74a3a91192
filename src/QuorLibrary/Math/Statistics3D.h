#pragma once

// Weighted first and second moments of 3D points, kept about a reference
// point near the data so that float sums do not lose the spread to the
// magnitude of the coordinates. The limb trackers fit their lines from it
// and the gesture code reads directional variances and deviations.
// A total weight of 0 or less counts as no data.

#include <cmath>

#include "QuorLibrary/Math/Line3D.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Statistics3D {
public:
    // Points added.
    int m_nCount;
    // Total weight W.
    T m_fWeight;
    // Sum of w (p - r).
    Vector3D<T> m_sum;
    // Sum of w (p - r)(p - r)^T.
    SymmetricMatrix3X3<T> m_moments;
    // The reference point r.
    Vector3D<T> m_referencePoint;

    Statistics3D() : m_nCount(0), m_fWeight(0) {}
    explicit Statistics3D(const Vector3D<T>& referencePoint) : Statistics3D() { m_referencePoint = referencePoint; }

    // Drops every point and moves the reference point.
    void Reset(const Vector3D<T>& referencePoint) {
        *this = Statistics3D(referencePoint);
    }

    void AddPoint(const Vector3D<T>& p, T weight = T(1)) {
        const Vector3D<T> d = p - m_referencePoint;
        ++m_nCount;
        m_fWeight += weight;
        m_sum += d * weight;
        m_moments.AddWeightedOuterProduct(weight, d);
    }

    bool IsEmpty() const { return m_fWeight <= 0; }

    // The weighted mean in world coordinates; the reference point when empty.
    Vector3D<T> GetMean() const { return IsEmpty() ? m_referencePoint : m_sum / m_fWeight + m_referencePoint; }

    // moments/W - m m^T with m = sums/W; the zero matrix when empty.
    SymmetricMatrix3X3<T> GetCovariance() const {
        if (IsEmpty()) {
            return SymmetricMatrix3X3<T>();
        }
        const T t = T(1) / m_fWeight;
        const Vector3D<T> m = m_sum * t;
        const SymmetricMatrix3X3<T>& s = m_moments;
        return SymmetricMatrix3X3<T>(s.xx * t - m.x * m.x, s.xy * t - m.x * m.y, s.xz * t - m.x * m.z,
                                     s.yy * t - m.y * m.y, s.yz * t - m.y * m.z, s.zz * t - m.z * m.z);
    }

    // The line through the mean along the principal axis; eigenvalues gets
    // the covariance's eigenvalues, largest first, each at least 0. Empty
    // statistics give a zero line and zero eigenvalues.
    Line3D<T> GetBestFitLine(Vector3D<T>& eigenvalues) const {
        if (IsEmpty()) {
            eigenvalues = Vector3D<T>();
            return Line3D<T>(Vector3D<T>(), Vector3D<T>());
        }
        Vector3D<T> direction;
        GetCovariance().SolveSingleEigenproblem(0, eigenvalues, direction, T(1e-8));
        eigenvalues = ClampedNonNegative(eigenvalues);
        return Line3D<T>(m_sum / m_fWeight + m_referencePoint, direction);
    }

    // E[(p - q)(p - q)^T]: moments/W - m d^T - d m^T + d d^T with m = sums/W
    // and d = q - r; the zero matrix when empty.
    SymmetricMatrix3X3<T> GetCovarianceRelativeToPoint(const Vector3D<T>& q) const {
        if (IsEmpty()) {
            return SymmetricMatrix3X3<T>();
        }
        const Vector3D<T> m = m_sum / m_fWeight;
        const Vector3D<T> d = q - m_referencePoint;
        const SymmetricMatrix3X3<T>& s = m_moments;
        const T w = m_fWeight;
        return SymmetricMatrix3X3<T>(
            s.xx / w - m.x * d.x - d.x * m.x + d.x * d.x, s.xy / w - m.x * d.y - d.x * m.y + d.x * d.y,
            s.xz / w - m.x * d.z - d.x * m.z + d.x * d.z, s.yy / w - m.y * d.y - d.y * m.y + d.y * d.y,
            s.yz / w - m.y * d.z - d.y * m.z + d.y * d.z, s.zz / w - m.z * d.z - d.z * m.z + d.z * d.z);
    }

    // The line through q along the principal axis of the second moments about
    // q; largest, when given, gets that axis's eigenvalue (at least 0). Empty
    // statistics give direction (0, 0, 0) and 0.
    Line3D<T> GetBestFitLineThroughPoint(const Vector3D<T>& q, T* largest) const {
        Vector3D<T> direction;
        T value = T(0);
        if (!IsEmpty()) {
            Vector3D<T> values;
            GetCovarianceRelativeToPoint(q).SolveSingleEigenproblem(0, values, direction, T(1e-8));
            value = values.x > T(0) ? values.x : T(0);
        }
        if (largest != nullptr) {
            *largest = value;
        }
        return Line3D<T>(q, direction);
    }

    // along = d^T C d for the unit direction d, rest = trace(C) - along.
    void GetDirectionalVariance(const Vector3D<T>& d, T& along, T& rest) const {
        const SymmetricMatrix3X3<T> c = GetCovariance();
        along = c.MatrixInnerProduct(d);
        rest = c.Trace() - along;
    }

    // Square roots of the covariance's eigenvalues, largest first, each
    // clamped to 0 first; (0, 0, 0) when empty.
    Vector3D<T> GetStandardDeviation() const {
        if (IsEmpty()) {
            return Vector3D<T>();
        }
        const Vector3D<T> values = ClampedNonNegative(GetCovariance().GetEigenvalues());
        return Vector3D<T>(std::sqrt(values.x), std::sqrt(values.y), std::sqrt(values.z));
    }

private:
    static Vector3D<T> ClampedNonNegative(const Vector3D<T>& v) {
        return Vector3D<T>(v.x > T(0) ? v.x : T(0), v.y > T(0) ? v.y : T(0), v.z > T(0) ? v.z : T(0));
    }
};
