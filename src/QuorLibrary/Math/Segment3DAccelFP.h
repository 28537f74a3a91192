#pragma once

// Integer limb segments prepared for the per-sample distances of pose
// scoring and the motion models: the unit direction (shift U) and the
// length at the position scale are kept with the rounding halves, so that a
// query costs one dot product, a few shifts and one squared difference or
// one rounded cross product, with no division and no square root.
//
// End points and the direction are at the position scale 2^P (P = 0:
// millimetres); a query point is at that scale too. H = P / 2 is the shift
// applied to the offset from the start before it meets the unit direction.

#include <cassert>

#include "QuorLibrary/Math/FixedPoint.h"
#include "QuorLibrary/Math/FixedPointVector.h"
#include "QuorLibrary/Math/Segment3DAccel.h"
#include "QuorLibrary/Math/Segment3DFP.h"
#include "QuorLibrary/Math/Vector3D.h"

class Segment3DAccelFP : public Segment3DFP {
public:
    // Every member 0 except the unit shift 14 and its multiplier 16384.
    Segment3DAccelFP()
        : m_accelDirection(), m_accelUnitDirection(), m_nIntLength(0), m_nScaledLength(0), m_nPositionShift(0),
          m_nHalfShift(0), m_nPositionHalf(0), m_nHalfShiftHalf(0), m_nUnitShift(vela_math::kDirectionShift),
          m_nUnitMultiplier(vela_math::kDirectionScale) {}
    // The segment from start to end, both at position shift P.
    Segment3DAccelFP(const Vector3D<int>& start, const Vector3D<int>& end, int positionShift) : Segment3DAccelFP() {
        assert(positionShift >= 0 && positionShift < 31);
        m_nPositionShift = positionShift;
        m_nHalfShift = positionShift / 2;
        m_nPositionHalf = vela_math::RoundingHalf(m_nPositionShift);
        m_nHalfShiftHalf = vela_math::RoundingHalf(m_nHalfShift);
        Initialize(Segment3DFP(start, end));
    }

    // Takes the segment's end points, flags and caches and fills the
    // accelerated members at this object's shifts.
    void Initialize(const Segment3DFP& segment);
    // Fills the object from a float accelerated segment in millimetres (the
    // library uses it with position shift 0).
    void Initialize(const Segment3DAccel<float>& segment);

    // Squared distance in mm^2 from p, given at the position scale.
    int GetDistanceSquared(const Vector3D<int>& p) const {
        const Vector3D<int> offset = p - m_start;
        const Vector3D<int> e(Down(offset.x, m_nHalfShiftHalf, m_nHalfShift),
                              Down(offset.y, m_nHalfShiftHalf, m_nHalfShift),
                              Down(offset.z, m_nHalfShiftHalf, m_nHalfShift));
        const int t = vela_math::RoundShift(e.Dot(m_accelUnitDirection), m_nUnitShift - m_nHalfShift);
        if (t <= 0) {
            return SqrNormDiffFP(ToMillimetres(p), ToMillimetres(m_start), 0);
        }
        if (t < m_nScaledLength) {
            int squared = 0;
            CrossProductMagnitudeSquaredFP(e, m_accelUnitDirection, squared, m_nUnitShift, m_nPositionShift);
            return squared;
        }
        return SqrNormDiffFP(ToMillimetres(p), ToMillimetres(m_end), 0);
    }

    const Vector3D<int>& GetAccelDirection() const { return m_accelDirection; }
    const Vector3D<int>& GetAccelUnitDirection() const { return m_accelUnitDirection; }
    int GetIntLength() const { return m_nIntLength; }
    int GetScaledLength() const { return m_nScaledLength; }
    int GetPositionShift() const { return m_nPositionShift; }
    int GetHalfShift() const { return m_nHalfShift; }
    int GetUnitShift() const { return m_nUnitShift; }
    int GetUnitMultiplier() const { return m_nUnitMultiplier; }

private:
    // (x + half) >> shift without a branch: half is 0 for shift 0.
    static int Down(int x, int half, int shift) { return vela_math::Add(x, half) >> shift; }
    Vector3D<int> ToMillimetres(const Vector3D<int>& p) const {
        return Vector3D<int>(Down(p.x, m_nPositionHalf, m_nPositionShift), Down(p.y, m_nPositionHalf, m_nPositionShift),
                             Down(p.z, m_nPositionHalf, m_nPositionShift));
    }

    Vector3D<int> m_accelDirection;      // end - start, position scale
    Vector3D<int> m_accelUnitDirection;  // at shift m_nUnitShift
    int m_nIntLength;                    // |direction| rounded
    int m_nScaledLength;                 // length at the position scale
    int m_nPositionShift;                // P
    int m_nHalfShift;                    // H = P / 2
    int m_nPositionHalf;                 // 2^(P - 1), 0 when P <= 0
    int m_nHalfShiftHalf;                // 2^(H - 1), 0 when H <= 0
    int m_nUnitShift;                    // U
    int m_nUnitMultiplier;               // 2^U
};

// The integer twin of a float accelerated segment at a chosen scale: end
// points rounded to millimetres (flags cleared), direction and length
// rounded at scale. The squared and inverse lengths of out are not used by
// its distance and stay as they are.
void Round(const Segment3DAccel<float>& in, Segment3DAccel<int>& out, int scale);
