#pragma once

// The integer twin of Frame3D<float>: origin in whole millimetres, rotation
// at shift 12 (4096 = 1.0), world = origin + R p. Per-pixel loops convert
// their frame once and then map points without floating point.

#include "QuorLibrary/Math/FixedPoint.h"
#include "QuorLibrary/Math/Frame3D.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

class Frame3DFP {
public:
    Vector3D<int> m_origin;
    Matrix3X3<int> m_orientation;

    // The identity frame, like Frame3D's default.
    Frame3DFP() : Frame3DFP(Vector3D<int>(), Matrix3X3<int>::Identity()) {}
    // R holds whole numbers (the library passes the identity); each element
    // is scaled by 4096.
    Frame3DFP(const Vector3D<int>& origin, const Matrix3X3<int>& R) : m_origin(origin), m_orientation(R) {
        m_orientation *= vela_math::kRotationScale;
    }

    // Rotation rounded to shift 12, origin to whole millimetres.
    void FromDouble(const Frame3D<float>& frame) {
        MatrixToMatrixFP(m_orientation, frame.m_orientation, vela_math::kRotationScale);
        Vector3DDoubleToVector3DFP(frame.m_origin, m_origin, 0);
    }

    // R^T (p - origin) at millimetre scale, halves rounded up.
    Vector3D<int> WorldToFrame(const Vector3D<int>& p) const {
        return m_orientation.TransposeTimes(p - m_origin, 1 << (vela_math::kRotationShift - 1),
                                            vela_math::kRotationShift);
    }
};
