#pragma once

// Integer limb segments in whole millimetres, for the leg tracker and the
// crossed-legs and overlapping-limbs tests.

#include <cstdint>

#include "QuorLibrary/Math/FixedPointVector.h"
#include "QuorLibrary/Math/Segment3D.h"
#include "QuorLibrary/Math/Vector3D.h"

class Segment3DFP : public Segment3D<int> {
public:
    Segment3DFP() = default;
    Segment3DFP(const Vector3D<int>& start, const Vector3D<int>& end) : Segment3D<int>(start, end) {}

    // Squared distance in mm^2 from p. Past either end it is exact; beside
    // the segment the shifted cross product is divided by the squared length
    // before scaling back up, which keeps limb-sized products inside 32 bits
    // but truncates to steps of 4096 mm^2: any distance below 64 mm from the
    // interior reads 0. Thresholds downstream are tuned to these steps.
    int GetDistanceSquared(const Vector3D<int>& p) const {
        const Vector3D<int> along = m_end - m_start;
        const int squaredLength = SqrNormDiffFP2(m_end, m_start, 0, 0);
        const Vector3D<int> d = p - m_start;
        const int t = d.Dot(along);
        if (t <= 0) {
            return d.MagnitudeSquared();
        }
        if (t >= squaredLength) {
            return (p - m_end).MagnitudeSquared();
        }
        int crossSquared = 0;
        CrossProductMagnitudeSquaredFP(d, along, crossSquared, 6, 0);
        // A sum of squares: read as unsigned it divides correctly past 2^31.
        const uint32_t steps = static_cast<uint32_t>(crossSquared) / static_cast<uint32_t>(squaredLength);
        return vela_math::Mul(static_cast<int>(steps), 4096);
    }
};

// The distance in whole millimetres between two integer segments, with
// directions normalised at shift 12. Parallel segments give the gap of s1's
// start beyond s2 along s2's axis plus its distance from s2's line (not the
// Euclidean combination; only s1's start is placed along s2).
int ShortestDistanceInt(const Segment3DFP& s1, const Segment3DFP& s2);
