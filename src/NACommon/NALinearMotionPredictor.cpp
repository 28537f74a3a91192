#include "NACommon/NALinearMotionPredictor.h"

#include <algorithm>

template <typename T>
NALinearMotionPredictor<T>::NALinearMotionPredictor()
    : m_prevPosition(0, 0, 0), m_prevTime(SensorTime::InvalidTime()), m_maxSpeed(1000) {}

template <typename T>
void NALinearMotionPredictor<T>::Reset(const Vector3D<T>& position, SensorTime time) {
    this->m_position = position;
    this->m_time = time;
    m_prevPosition = position;
    m_prevTime = time;
}

template <typename T>
void NALinearMotionPredictor<T>::Update(const Vector3D<T>& position, SensorTime time) {
    m_prevPosition = this->m_position;
    m_prevTime = this->m_time;
    this->m_position = position;
    this->m_time = time;
}

template <typename T>
void NALinearMotionPredictor<T>::GetPrediction(SensorTime time, Vector3D<T>& position,
                                               Vector3D<T>& uncertainty) const {
    if (this->m_time == m_prevTime) {
        position = this->m_position;
    } else {
        // Spans as seconds in single precision, as every span is taken; an
        // unset previous time makes both spans the same huge number, so the
        // ratio is 1.
        const T f = time.SecondsSince(m_prevTime) / this->m_time.SecondsSince(m_prevTime);
        position = m_prevPosition + (this->m_position - m_prevPosition) * f;
    }
    const T dt = time.SecondsSince(this->m_time);
    const T step = std::max(dt, static_cast<T>(1.0f / 30.0f)) * m_maxSpeed;
    uncertainty = Vector3D<T>(step, step, step);
}

template class NALinearMotionPredictor<float>;
