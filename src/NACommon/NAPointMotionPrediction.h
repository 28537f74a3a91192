#pragma once

// A tracked point's motion state as a plain value: position, velocity and
// acceleration, the spread of the prediction, the times of the last two
// samples and of the prediction, and whether it holds a prediction. It has
// no operations; it starts all zero with every time unset.

#include <cstdint>

#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector3D.h"

class NAPointMotionPrediction {
public:
    NAPointMotionPrediction()
        : m_position(0, 0, 0),
          m_velocity(0, 0, 0),
          m_acceleration(0, 0, 0),
          m_uncertainty(0.0f),
          m_confidence(0.0f),
          m_lastTime(SensorTime::InvalidTime()),
          m_previousTime(SensorTime::InvalidTime()),
          m_predictionTime(SensorTime::InvalidTime()),
          m_valid(0) {}
    ~NAPointMotionPrediction() {}

    Vector3D<float> m_position;      // mm
    Vector3D<float> m_velocity;      // mm/s
    Vector3D<float> m_acceleration;  // mm/s^2
    float m_uncertainty;             // mm
    float m_confidence;
    SensorTime m_lastTime;
    SensorTime m_previousTime;
    SensorTime m_predictionTime;
    uint16_t m_valid;
};
