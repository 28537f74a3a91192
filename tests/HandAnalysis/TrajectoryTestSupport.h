#pragma once

// Builders for fitted-trajectory tests: times from seconds, models from
// their coefficients, and a trajectory whose containers a test may fill.

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/VectorND.h"

namespace trajectory_test {

inline SensorTime Seconds(double s) { return SensorTime(static_cast<int64_t>(std::llround(s * 1e6))); }

// A model valid over [t0, t1] (seconds) whose parabolas, based at tBase,
// have the nine coefficients (ax, bx, cx, ay, by, cy, az, bz, cz).
inline FittedTrajectory::ModelFitType Model(double t0, double t1, double tBase, std::initializer_list<float> params) {
    VectorND<float> p(9);
    int i = 0;
    for (float v : params) {
        p[i++] = v;
    }
    return FittedTrajectory::ModelFitType(Seconds(t0), Seconds(t1), 0, 0, p, Seconds(tBase));
}

inline FittedTrajectory::Extrema3DType Extremum(double t0, double t1, float x, float y = 0.0f, float z = 0.0f,
                                                int type = 0) {
    FittedTrajectory::Extrema3DType e;
    e.T0 = Seconds(t0);
    e.T1 = Seconds(t1);
    e.X = x;
    e.Y = y;
    e.Z = z;
    e.ExtremaType = type;
    return e;
}

// Opens the containers to tests that set up models and extrema directly.
class TestTrajectory : public FittedTrajectory {
public:
    using FittedTrajectory::m_extremaX;
    using FittedTrajectory::m_extremaZ;
    using FittedTrajectory::m_lastFitTime;
    using FittedTrajectory::m_models;
};

}  // namespace trajectory_test
