#pragma once

// Least-squares rigid motion between weighted 3D point pairs: target ~ R
// source + t. An accumulator: only the total weight, the weighted sums of
// both point sets and the weighted cross-covariance sum C = sum w t s^T are
// kept, so any number of pairs costs fixed memory. The int instantiation is
// the fixed-point accumulator; convert it with FixedPointToFloatingPoint and
// solve in float.

#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class RigidTransformationSolver {
public:
    // The accumulated sums, read directly by the fitting code.
    T m_totalWeight;
    Vector3D<T> m_sourceSum;
    Vector3D<T> m_targetSum;
    // Element (r, c) is the sum of w t_r s_c.
    Matrix3X3<T> m_crossCovariance;
    // Results of the last solve (the rotation starts as the zero matrix).
    Matrix3X3<T> m_rotation;
    Vector3D<T> m_translation;
    Matrix3X3<T> m_U;
    // The right singular vectors after the reflection correction.
    Matrix3X3<T> m_V;
    Vector3D<T> m_singularValues;

    RigidTransformationSolver() : m_totalWeight(0) {}

    // Clears the sums; the results of the last solve are kept.
    void Reset() {
        m_totalWeight = 0;
        m_sourceSum = Vector3D<T>();
        m_targetSum = Vector3D<T>();
        m_crossCovariance.SetZero();
    }
    void Add(const Vector3D<T>& source, const Vector3D<T>& target, T weight) {
        m_totalWeight = vela_math::Add(m_totalWeight, weight);
        m_sourceSum += source * weight;
        const Vector3D<T> weightedTarget = target * weight;
        m_targetSum += weightedTarget;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                m_crossCovariance(r, c) =
                    vela_math::Add(m_crossCovariance(r, c), vela_math::Mul(weightedTarget[r], source[c]));
            }
        }
    }

    // The centroids do not test the weight: with none they are not numbers.
    Vector3D<T> GetSourceCentroid() const { return m_sourceSum * (T(1) / m_totalWeight); }
    Vector3D<T> GetTargetCentroid() const { return m_targetSum * (T(1) / m_totalWeight); }
    Vector3D<T> GetCentroidOffset() const { return (m_targetSum - m_sourceSum) * (T(1) / m_totalWeight); }
    Matrix3X3<T> GetRotationMatrix() const { return m_rotation; }

    // The rotation closest to H: R = U V^T from its singular-value
    // decomposition, with the last right singular vector negated when that
    // would be a reflection. False, after a message on standard error, when
    // R is not a number. Overwrites U, V and the singular values.
    bool ComputeRotationUsingSVD(const Matrix3X3<T>& H, Matrix3X3<T>& R);
    // The rotation about the coordinate origin from the uncentred sums;
    // false, with R unchanged, when |total weight| < 1e-8.
    bool SolveRotationOnly(Matrix3X3<T>& R);
    // The full rigid motion; false, with R and t unchanged, when |total
    // weight| < 1e-8; false, with t unchanged, when the rotation fails.
    bool Solve(Matrix3X3<T>& R, Vector3D<T>& t);
    // Solve into the stored rotation and translation.
    bool Solve() { return Solve(m_rotation, m_translation); }
};

// Copies the integer sums renormalised to a total weight of 100 (all zero
// when the integer weight is not positive); the float solver's results are
// not touched.
void FixedPointToFloatingPoint(const RigidTransformationSolver<int>& in, RigidTransformationSolver<float>& out);

extern template class RigidTransformationSolver<float>;
