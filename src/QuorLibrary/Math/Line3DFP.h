#pragma once

// A line with its origin in millimetres and a unit direction at a shift of
// its own (14 for lines built from two points; the arm tracker uses 12), so
// that arm-pixel fits and distances run in 32-bit integers.

#include <cassert>

#include "QuorLibrary/Math/FixedPoint.h"
#include "QuorLibrary/Math/FixedPointVector.h"
#include "QuorLibrary/Math/Line3D.h"
#include "QuorLibrary/Math/Vector3D.h"

class Line3DFP : public Line3D<int> {
public:
    // Origin 0 and the unit x direction at shift 14.
    Line3DFP() : m_nShift(0), m_nScale(0), m_nHalf(0) {
        SetShift(vela_math::kDirectionShift);
        m_direction = Vector3D<int>(m_nScale, 0, 0);
    }
    // Origin a, direction b - a at unit length and shift 14; (0, 0, 0) for a = b.
    Line3DFP(const Vector3D<int>& a, const Vector3D<int>& b) : m_nShift(0), m_nScale(0), m_nHalf(0) {
        SetShift(vela_math::kDirectionShift);
        m_origin = a;
        m_direction = b - a;
        NormalizeIntFPVec3D(m_direction, m_nShift);
    }
    Line3DFP(const Line3DFP&) = default;
    Line3DFP& operator=(const Line3DFP&) = default;

    // Sets the fraction bits of the direction (scale 2^shift, half
    // 2^(shift - 1)); the direction itself is not rescaled.
    void SetShift(int shift) {
        assert(shift >= 0 && shift < 31);
        m_nShift = shift;
        m_nScale = 1 << shift;
        m_nHalf = vela_math::RoundingHalf(shift);
    }
    int GetShift() const { return m_nShift; }
    int GetScale() const { return m_nScale; }
    int GetHalf() const { return m_nHalf; }

    // Origin rounded to whole millimetres, direction to the line's shift.
    void FromDouble(const Line3D<float>& line) {
        Vector3DDoubleToVector3DFP(line.m_origin, m_origin, 0);
        Vector3DDoubleToVector3DFP(line.m_direction, m_direction, m_nShift);
    }

    // The direction times t, back at t's scale: (t d_i + half) >> shift.
    Vector3D<int> DirTimes(int t) const override {
        return vela_math::RoundShift(m_direction * t, m_nShift);
    }
    // (v . d + half) >> shift.
    int DirTimes(const Vector3D<int>& v) const override { return vela_math::RoundShift(m_direction.Dot(v), m_nShift); }

    using Line3D<int>::ClosestPointParameter;
    // The parameter of p's foot in millimetres at the point scale; p - origin
    // is first brought down by pointShift with rounding.
    int ClosestPointParameter(const Vector3D<int>& p, const int& pointShift) const {
        return DirTimes(vela_math::RoundShift(p - m_origin, pointShift));
    }

    // Distance of p from the line in whole millimetres. The cross components
    // are taken to 2^(shift - 11) units per millimetre, so their squares come
    // back to mm^2 by shift k = 2 shift - 22 (each square separately).
    int GetDistance(const Vector3D<int>& p) const override {
        const Vector3D<int> c = vela_math::RoundShift((p - m_origin).Cross(m_direction), 11);
        const uint32_t squares[3] = {static_cast<uint32_t>(c.x) * static_cast<uint32_t>(c.x),
                                     static_cast<uint32_t>(c.y) * static_cast<uint32_t>(c.y),
                                     static_cast<uint32_t>(c.z) * static_cast<uint32_t>(c.z)};
        const int k = 2 * m_nShift - 22;
        uint32_t sum = 0;
        for (uint32_t square : squares) {
            // Squares are non-negative: shifted as unsigned so that one past
            // 2^31 does not turn negative.
            sum += k > 0 ? (square + (1u << (k - 1))) >> k : square;
        }
        return vela_math::RoundedSqrt(sum);
    }

protected:
    int m_nShift;
    int m_nScale;
    int m_nHalf;
};
