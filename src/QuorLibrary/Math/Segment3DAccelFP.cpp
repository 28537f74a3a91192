#include "QuorLibrary/Math/Segment3DAccelFP.h"

#include <cmath>

void Segment3DAccelFP::Initialize(const Segment3DFP& segment) {
    static_cast<Segment3DFP&>(*this) = segment;
    m_accelDirection = m_end - m_start;
    Vector3D<float> direction;
    Vector3DFP2Double(m_accelDirection, direction, m_nPositionShift);
    const float length = sqrtf(direction.MagnitudeSquared());
    m_nIntLength = vela_math::RoundedLength(m_accelDirection);
    const Vector3D<float> unit = direction * (length > 0.0f ? 1.0f / length : 0.0f);
    Vector3DDoubleToVector3DFP(unit, m_accelUnitDirection, m_nUnitShift);
    m_nScaledLength = vela_math::FloatToFixed(length, vela_math::ShiftScale(m_nPositionShift));
}

void Segment3DAccelFP::Initialize(const Segment3DAccel<float>& segment) {
    Set(segment.GetStart().Round(), segment.GetEnd().Round());
    m_accelDirection = m_end - m_start;
    Vector3DDoubleToVector3DFPMult(segment.GetAccelUnitDirection(), m_accelUnitDirection, m_nUnitMultiplier);
    m_nIntLength = vela_math::FloatToFixed(segment.GetAccelLength(), 1.0f);
    m_nScaledLength = m_nIntLength;
}

void Round(const Segment3DAccel<float>& in, Segment3DAccel<int>& out, int scale) {
    out.Set(in.GetStart().Round(), in.GetEnd().Round());
    Vector3D<int> direction;
    Vector3DDoubleToVector3DFPMult(in.GetAccelUnitDirection(), direction, scale);
    out.SetAccelDirectionAndLength(direction, vela_math::FloatToFixed(in.GetAccelLength(), static_cast<float>(scale)));
}
