#pragma once

// The base of the robust recognizers, which judge a gesture on the turning
// points of a candidate's fitted trajectory instead of on its raw samples.
// Recognizers keep no state and are used as local objects: the base has no
// virtual destructor, and its protected one keeps it from being deleted
// through a base pointer.

#include <cstdint>

#include "HandAnalysis/FittedTrajectory.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector3D.h"

class GestureRecognizer {
public:
    // True when a complete gesture ends at one of the newest extrema; start
    // and end are its times and position where it happened.
    virtual bool Apply(const FittedTrajectory& trajectory, SensorTime& start, SensorTime& end,
                       Vector3D<float>& position) const = 0;
    virtual int MinimumNumberOfExtremaInGesture() const { return 3; }

protected:
    GestureRecognizer() = default;
    GestureRecognizer(const GestureRecognizer&) = default;
    GestureRecognizer& operator=(const GestureRecognizer&) = default;
    ~GestureRecognizer() = default;

    // A range test fails only when the value is below lo or above hi, so a
    // ratio that is not a number (0 over 0) passes it.
    static bool OutOfRange(float value, float lo, float hi) { return value < lo || value > hi; }
    // The middle of an extremum's interval, in whole microseconds.
    static SensorTime Middle(const FittedTrajectory::Extrema3DType& extremum) {
        return SensorTime((static_cast<int64_t>(extremum.T0) + static_cast<int64_t>(extremum.T1)) / 2);
    }
    // The length of an extremum's interval, seconds.
    static float Pause(const FittedTrajectory::Extrema3DType& extremum) {
        return extremum.T1.SecondsSince(extremum.T0);
    }
};
