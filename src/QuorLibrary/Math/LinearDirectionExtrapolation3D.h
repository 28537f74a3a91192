#pragma once

// Extrapolation of a direction rather than a position: the samples are
// directions, a great circle of the unit sphere is fitted to them, and the
// direction moves along it at a constant angular speed (radians per unit of
// time), from the direction of sample 0 at time 0 and turning towards
// sample 1 for a positive speed. Weights act on the plane fit only; the
// angular regression weighs every sample the same.

#include "QuorLibrary/Math/Circle3D.h"
#include "QuorLibrary/Math/LinearExtrapolation3D.h"
#include "QuorLibrary/Math/Vector3D.h"

class LinearDirectionExtrapolation3D : public LinearExtrapolation3D {
public:
    explicit LinearDirectionExtrapolation3D(int capacity) : LinearExtrapolation3D(capacity), m_circle() {}

    // False for fewer than two samples or times without spread.
    bool Calc() override;
    // The unit direction at time t; (0, 0, 0) without a current fit.
    Vector3D<float> Extrapolate(float t) const override;

    const Circle3D& GetCircle() const { return m_circle; }

private:
    Circle3D m_circle;
};
