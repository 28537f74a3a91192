#include "QuorLibrary/Math/RigidTransformationSolver2D.h"

#include <cmath>

namespace {

// Total weights below this in magnitude cannot be solved.
constexpr float kMinWeight = 1e-8f;
constexpr float kSvdThreshold = 1e-8f;

}  // namespace

template <typename T>
bool RigidTransformationSolver2D<T>::ComputeRotationUsingSVD(const Matrix2X2<T>& H, Matrix2X2<T>& R) {
    H.ActualSingularValueDecomposition(m_U, m_singularValues, m_V, static_cast<T>(kSvdThreshold));
    Algb_ABt(m_U, m_V, R);
    if (R.Determinant() < 0) {
        m_V.ScaleColumn(1, T(-1));
        Algb_ABt(m_U, m_V, R);
    }
    return true;
}

template <typename T>
bool RigidTransformationSolver2D<T>::SolveRotationOnly(Matrix2X2<T>& R) {
    if (std::abs(m_totalWeight) < static_cast<T>(kMinWeight)) {
        return false;
    }
    return ComputeRotationUsingSVD(m_crossCovariance, R);
}

template <typename T>
bool RigidTransformationSolver2D<T>::Solve(Matrix2X2<T>& R, Vector2D<T>& t) {
    if (std::abs(m_totalWeight) < static_cast<T>(kMinWeight)) {
        return false;
    }
    Matrix2X2<T> H;
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
            H(r, c) = m_crossCovariance(r, c) - m_targetSum[r] * m_sourceSum[c] / m_totalWeight;
        }
    }
    ComputeRotationUsingSVD(H, R);
    t = (m_targetSum - R * m_sourceSum) * (T(1) / m_totalWeight);
    return true;
}

template class RigidTransformationSolver2D<float>;
