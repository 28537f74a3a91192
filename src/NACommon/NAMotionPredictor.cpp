#include "NACommon/NAMotionPredictor.h"

template <typename T>
NAMotionPredictor<T>::NAMotionPredictor() : m_position(0, 0, 0), m_time(SensorTime::InvalidTime()) {}

template <typename T>
void NAMotionPredictor<T>::Reset(const Vector3D<T>& position, SensorTime time) {
    m_position = position;
    m_time = time;
}

template <typename T>
void NAMotionPredictor<T>::Update(const Vector3D<T>& position, SensorTime time) {
    m_position = position;
    m_time = time;
}

template <typename T>
void NAMotionPredictor<T>::GetPrediction(SensorTime /*time*/, Vector3D<T>& position, Vector3D<T>& uncertainty) const {
    position = m_position;
    uncertainty = Vector3D<T>(0, 0, 0);
}

template <typename T>
int NAMotionPredictor<T>::ReadParameters(const std::string& /*iniFile*/, int /*verbose*/) {
    return 1;
}

template class NAMotionPredictor<float>;
