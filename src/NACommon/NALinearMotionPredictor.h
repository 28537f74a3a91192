#pragma once

// Straight-line prediction through the last two samples, with an
// uncertainty that grows with the time since the last sample at the
// largest speed a hand is expected to move (at least one frame's worth).

#include "NACommon/NAMotionPredictor.h"

template <typename T>
class NALinearMotionPredictor : public NAMotionPredictor<T> {
public:
    NALinearMotionPredictor();

    // Both samples become (position, time).
    void Reset(const Vector3D<T>& position, SensorTime time) override;
    // The last sample becomes the previous one.
    void Update(const Vector3D<T>& position, SensorTime time) override;
    // The line through the two samples at time (the last position when
    // both share one time); every axis of the uncertainty is
    // max(time since the last sample, 1/30 s) x m_maxSpeed.
    void GetPrediction(SensorTime time, Vector3D<T>& position, Vector3D<T>& uncertainty) const override;

    // The sample before the last; time InvalidTime before the first.
    Vector3D<T> m_prevPosition;
    SensorTime m_prevTime;
    // mm/s.
    T m_maxSpeed;
};

extern template class NALinearMotionPredictor<float>;
