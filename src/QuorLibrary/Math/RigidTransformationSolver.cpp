#include "QuorLibrary/Math/RigidTransformationSolver.h"

#include <cmath>
#include <iostream>

namespace {

// Total weights below this in magnitude cannot be solved.
constexpr float kMinWeight = 1e-8f;
constexpr float kSvdThreshold = 1e-8f;
// The total weight of the converted integer sums.
constexpr float kNormalisedWeight = 100.0f;

}  // namespace

template <typename T>
bool RigidTransformationSolver<T>::ComputeRotationUsingSVD(const Matrix3X3<T>& H, Matrix3X3<T>& R) {
    H.ActualSingularValueDecomposition(m_U, m_singularValues, m_V, static_cast<T>(kSvdThreshold));
    R = m_U.MultipliedWithTranspose(m_V);
    for (int i = 0; i < 9; ++i) {
        if (std::isnan(R[i])) {
            std::cerr << "ComputeRotationUsingSVD: NaN Detected" << std::endl;
            return false;
        }
    }
    if (R.Determinant() < 0) {
        // Flip the direction of least variance: the best proper rotation.
        m_V.ScaleColumn(2, T(-1));
        R = m_U.MultipliedWithTranspose(m_V);
    }
    return true;
}

template <typename T>
bool RigidTransformationSolver<T>::SolveRotationOnly(Matrix3X3<T>& R) {
    if (std::abs(m_totalWeight) < static_cast<T>(kMinWeight)) {
        return false;
    }
    return ComputeRotationUsingSVD(m_crossCovariance, R);
}

template <typename T>
bool RigidTransformationSolver<T>::Solve(Matrix3X3<T>& R, Vector3D<T>& t) {
    if (std::abs(m_totalWeight) < static_cast<T>(kMinWeight)) {
        return false;
    }
    Matrix3X3<T> H;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            H(r, c) = m_crossCovariance(r, c) - m_targetSum[r] * m_sourceSum[c] / m_totalWeight;
        }
    }
    if (!ComputeRotationUsingSVD(H, R)) {
        return false;
    }
    t = (m_targetSum - R * m_sourceSum) * (T(1) / m_totalWeight);
    return true;
}

void FixedPointToFloatingPoint(const RigidTransformationSolver<int>& in, RigidTransformationSolver<float>& out) {
    if (in.m_totalWeight <= 0) {
        out.Reset();
        return;
    }
    const float scale = kNormalisedWeight / static_cast<float>(in.m_totalWeight);
    out.m_totalWeight = kNormalisedWeight;
    for (int i = 0; i < 3; ++i) {
        out.m_sourceSum[i] = static_cast<float>(in.m_sourceSum[i]) * scale;
        out.m_targetSum[i] = static_cast<float>(in.m_targetSum[i]) * scale;
    }
    for (int i = 0; i < 9; ++i) {
        out.m_crossCovariance[i] = static_cast<float>(in.m_crossCovariance[i]) * scale;
    }
}

template class RigidTransformationSolver<float>;
