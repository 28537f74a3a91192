#include "HandAnalysis/ParabolaSpaceTime.h"

#include "QuorLibrary/Math/QuadraticEquation.h"

int ParabolaSpaceTime::FindRoots(SensorTime& first, SensorTime& second, const float& value) const {
    const QuadraticEquation<float> equation(m_parabola.m_a, m_parabola.m_b, m_parabola.m_c - value);
    float u1 = 0.0f;
    float u2 = 0.0f;
    const int count = equation.FindRoots(u1, u2);
    if (count >= 1) {
        first = m_baseTime.PlusSeconds(u1 + m_parabola.m_x0);
    }
    if (count == 2) {
        second = m_baseTime.PlusSeconds(u2 + m_parabola.m_x0);
    }
    return count;
}
