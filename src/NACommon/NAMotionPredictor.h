#pragma once

// Predicts where a tracked point is at a given time from its samples. This
// base keeps only the last sample and predicts that the point stays there,
// with no uncertainty; NALinearMotionPredictor extrapolates.

#include <string>

#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class NAMotionPredictor {
public:
    NAMotionPredictor();
    // Owners hold the predictor through a pointer to this base and replace
    // it by a derived one, so it is deleted through the base.
    virtual ~NAMotionPredictor() = default;
    NAMotionPredictor(const NAMotionPredictor&) = default;
    NAMotionPredictor& operator=(const NAMotionPredictor&) = default;

    // Starts over from one sample.
    virtual void Reset(const Vector3D<T>& position, SensorTime time);
    // Adds a sample.
    virtual void Update(const Vector3D<T>& position, SensorTime time);
    // Position at time and its uncertainty per axis (mm).
    virtual void GetPrediction(SensorTime time, Vector3D<T>& position, Vector3D<T>& uncertainty) const;
    // Nothing to read; 1.
    virtual int ReadParameters(const std::string& iniFile, int verbose);

    // The last sample; time InvalidTime before the first.
    Vector3D<T> m_position;
    SensorTime m_time;
};

extern template class NAMotionPredictor<float>;
