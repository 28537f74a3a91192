#include "QuorLibrary/Math/LinearExtrapolation3D.h"

#include <cmath>

#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

LinearExtrapolation3D::LinearExtrapolation3D(int capacity)
    : m_positions(capacity), m_times(capacity), m_weights(capacity), m_bFitValid(false), m_fSpeed(0.0f),
      m_bWeighted(false), m_line(Vector3D<float>(0.0f, 0.0f, 0.0f), Vector3D<float>(1.0f, 0.0f, 0.0f)) {}

void LinearExtrapolation3D::Add(const Vector3D<float>& position, float time, float weight) {
    m_bFitValid = false;
    m_positions.Push(position);
    m_times.Push(time);
    m_weights.Push(weight);
    if (!(weight == 1.0f)) {
        m_bWeighted = true;
    }
}

void LinearExtrapolation3D::Clear() {
    m_positions.Clear();
    m_times.Clear();
    m_weights.Clear();
    m_bFitValid = false;
    m_bWeighted = false;
}

bool LinearExtrapolation3D::Calc() {
    if (m_bFitValid) {
        return true;
    }
    const int n = m_positions.Size();
    if (n < 2) {
        return false;
    }

    float totalWeight = 0.0f;
    Vector3D<float> sum;
    SymmetricMatrix3X3<float> second;
    for (int i = 0; i < n; ++i) {
        const float w = SampleWeight(i);
        const Vector3D<float>& p = m_positions[i];
        totalWeight += w;
        sum += p * w;
        second.AddWeightedOuterProduct(w, p);
    }
    Vector3D<float> mean;
    Vector3D<float> direction;
    if (totalWeight > 0.0f) {
        mean = sum / totalWeight;
        SymmetricMatrix3X3<float> covariance(
            second.xx / totalWeight - mean.x * mean.x, second.xy / totalWeight - mean.x * mean.y,
            second.xz / totalWeight - mean.x * mean.z, second.yy / totalWeight - mean.y * mean.y,
            second.yz / totalWeight - mean.y * mean.z, second.zz / totalWeight - mean.z * mean.z);
        Vector3D<float> eigenvalues;
        covariance.SolveSingleEigenproblem(0, eigenvalues, direction);
    }
    m_line.m_origin = mean;
    m_line.m_direction = direction;

    // Weighted least squares of the position along the line against time.
    float I = 0.0f, H = 0.0f, G = 0.0f, D = 0.0f, E = 0.0f;
    for (int i = 0; i < n; ++i) {
        const float w = SampleWeight(i);
        const float s = m_line.DirTimes(m_positions[i] - mean);
        const float t = m_times[i];
        I += w;
        H += w * t;
        G += w * s;
        D += w * t * t;
        E += w * t * s;
    }
    if (I < 1e-4) {
        return false;
    }
    const float J = D - H * H / I;
    if (std::fabs(J * I) <= 1e-4) {
        return false;
    }
    m_fSpeed = (E - H * G / I) / J;
    const float intercept = G / I - (H / I) * m_fSpeed;
    m_line.m_origin += m_line.DirTimes(intercept);
    m_bFitValid = true;
    return true;
}

Vector3D<float> LinearExtrapolation3D::Extrapolate(float t) const {
    if (!m_bFitValid) {
        return Vector3D<float>(0.0f, 0.0f, 0.0f);
    }
    return m_line.m_origin + m_line.DirTimes(t * m_fSpeed);
}
