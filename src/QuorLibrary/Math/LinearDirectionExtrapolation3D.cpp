#include "QuorLibrary/Math/LinearDirectionExtrapolation3D.h"

#include <cmath>

#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"

namespace {

// 2 pi as a single-precision value.
constexpr float kTwoPi = 6.2831854820251465f;

}  // namespace

bool LinearDirectionExtrapolation3D::Calc() {
    if (m_bFitValid) {
        return true;
    }
    const int n = m_positions.Size();
    if (n < 2) {
        return false;
    }

    // The plane through the origin that best fits the directions: moments
    // about the origin, not about the mean.
    float totalWeight = 0.0f;
    SymmetricMatrix3X3<float> moments;
    for (int i = 0; i < n; ++i) {
        const float w = SampleWeight(i);
        totalWeight += w;
        moments.AddWeightedOuterProduct(w, m_positions[i]);
    }
    Vector3D<float> normal;
    if (totalWeight > 0.0f) {
        const SymmetricMatrix3X3<float> m(moments.xx / totalWeight, moments.xy / totalWeight,
                                          moments.xz / totalWeight, moments.yy / totalWeight,
                                          moments.yz / totalWeight, moments.zz / totalWeight);
        Vector3D<float> eigenvalues;
        m.SolveSingleEigenproblem(2, eigenvalues, normal);
    }
    m_circle.Set(Plane<float>(Vector3D<float>(0.0f, 0.0f, 0.0f), normal), 1.0f);

    // Angles from sample 0 in the turning sense from sample 0 to sample 1.
    const Vector3D<float> p0 = m_circle.GetClosestPoint(m_positions[0]);
    m_circle.SetPtOnCircle(p0);
    const Vector3D<float> p1 = m_circle.GetClosestPoint(m_positions[1]);
    const Vector3D<float> turning = p0.Cross(p1);
    float sumT = 0.0f, sumTT = 0.0f, sumA = 0.0f, sumTA = 0.0f;
    for (int i = 0; i < n; ++i) {
        float angle = 0.0f;
        if (i == 1) {
            angle = GetAngle(p0, p1, true, true);
        } else if (i > 1) {
            const Vector3D<float> pi = m_circle.GetClosestPoint(m_positions[i]);
            angle = GetAngle(p0, pi, false, false);
            if (p0.Cross(pi).Dot(turning) < 0.0f) {
                angle = kTwoPi - angle;
            }
        }
        const float t = m_times[i];
        sumT += t;
        sumTT += t * t;
        sumA += angle;
        sumTA += t * angle;
    }
    // GetPoint turns the same way as the angles count.
    if (turning.Dot(m_circle.m_normal) < 0.0f) {
        m_circle.m_normal = -m_circle.m_normal;
    }

    const float k = static_cast<float>(n);
    const float J = sumTT - sumT * sumT / k;
    if (std::fabs(J * k) <= 1e-4) {
        return false;
    }
    m_fSpeed = (sumTA - sumA * sumT / k) / J;
    m_bFitValid = true;
    return true;
}

Vector3D<float> LinearDirectionExtrapolation3D::Extrapolate(float t) const {
    if (!m_bFitValid) {
        return Vector3D<float>(0.0f, 0.0f, 0.0f);
    }
    return m_circle.GetPoint(t * m_fSpeed);
}
