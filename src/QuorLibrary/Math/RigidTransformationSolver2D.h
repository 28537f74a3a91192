#pragma once

// Least-squares rigid motion between weighted 2D point pairs, target ~ R
// source + t: the planar twin of RigidTransformationSolver, keeping the same
// sums with 2-vectors and a 2x2 cross-covariance. Only the float form
// solves; the int form is an accumulator.

#include "QuorLibrary/Math/Matrix2X2.h"
#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/Vector2D.h"

template <typename T>
class RigidTransformationSolver2D {
public:
    T m_totalWeight;
    Vector2D<T> m_sourceSum;
    Vector2D<T> m_targetSum;
    // Element (r, c) is the sum of w t_r s_c.
    Matrix2X2<T> m_crossCovariance;
    Matrix2X2<T> m_U;
    // The right singular vectors after the reflection correction.
    Matrix2X2<T> m_V;
    Vector2D<T> m_singularValues;

    RigidTransformationSolver2D() : m_totalWeight(0) {}

    void Reset() {
        m_totalWeight = 0;
        m_sourceSum = Vector2D<T>();
        m_targetSum = Vector2D<T>();
        m_crossCovariance.SetZero();
    }
    void Add(const Vector2D<T>& source, const Vector2D<T>& target) { Add(source, target, T(1)); }
    void Add(const Vector2D<T>& source, const Vector2D<T>& target, T weight) {
        m_totalWeight = vela_math::Add(m_totalWeight, weight);
        m_sourceSum += source * weight;
        const Vector2D<T> weightedTarget = target * weight;
        m_targetSum += weightedTarget;
        for (int r = 0; r < 2; ++r) {
            for (int c = 0; c < 2; ++c) {
                m_crossCovariance(r, c) =
                    vela_math::Add(m_crossCovariance(r, c), vela_math::Mul(weightedTarget[r], source[c]));
            }
        }
    }

    // The centroids do not test the weight: with none they are not numbers.
    Vector2D<T> GetSourceCentroid() const { return m_sourceSum * (T(1) / m_totalWeight); }
    Vector2D<T> GetTargetCentroid() const { return m_targetSum * (T(1) / m_totalWeight); }
    Vector2D<T> GetCentroidOffset() const { return (m_targetSum - m_sourceSum) * (T(1) / m_totalWeight); }

    // The 2x2 rotation closest to H (the last right singular vector negated
    // when U V^T would be a reflection); always true.
    bool ComputeRotationUsingSVD(const Matrix2X2<T>& H, Matrix2X2<T>& R);
    // False, with R unchanged, when |total weight| < 1e-8.
    bool SolveRotationOnly(Matrix2X2<T>& R);
    // False, with R and t unchanged, when |total weight| < 1e-8.
    bool Solve(Matrix2X2<T>& R, Vector2D<T>& t);
};

extern template class RigidTransformationSolver2D<float>;
