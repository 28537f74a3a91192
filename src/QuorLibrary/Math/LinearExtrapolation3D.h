#pragma once

// Straight-line motion at constant speed fitted to a short history of timed
// 3D positions, to predict the position at another time. The path is the
// principal axis of the (optionally weighted) positions; the motion along it
// is the weighted least-squares line of position along the axis against
// time. The movement predictor gives missing positions the weight 0.
// Times are in whatever unit the caller uses; the speed is per that unit.

#include "QuorLibrary/Math/Line3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Pool.h"

class LinearExtrapolation3D {
public:
    // Room for capacity samples, allocated once; later samples are dropped.
    explicit LinearExtrapolation3D(int capacity);
    LinearExtrapolation3D(const LinearExtrapolation3D&) = delete;
    LinearExtrapolation3D& operator=(const LinearExtrapolation3D&) = delete;
    virtual ~LinearExtrapolation3D() = default;

    // Appends a sample when there is room and invalidates the fit either
    // way; a weight other than 1 (or not a number) makes the fit weighted.
    void Add(const Vector3D<float>& position, float time, float weight);
    void Clear();

    // Fits the line and the speed once per change of the samples. False for
    // fewer than two samples, a total weight below 1e-4, or times without
    // spread.
    virtual bool Calc();
    // The fitted position at time t; (0, 0, 0) without a current fit. Does
    // not fit by itself.
    virtual Vector3D<float> Extrapolate(float t) const;

    int GetSampleCount() const { return m_positions.Size(); }
    bool IsFitValid() const { return m_bFitValid; }
    bool IsWeighted() const { return m_bWeighted; }
    float GetSpeed() const { return m_fSpeed; }
    // Origin: the fitted position at time 0; direction: unit length.
    const Line3D<float>& GetLine() const { return m_line; }

protected:
    float SampleWeight(int i) const { return m_bWeighted ? m_weights[i] : 1.0f; }

    Pool<Vector3D<float> > m_positions;
    Pool<float> m_times;
    Pool<float> m_weights;
    bool m_bFitValid;
    float m_fSpeed;
    bool m_bWeighted;
    Line3D<float> m_line;
};
