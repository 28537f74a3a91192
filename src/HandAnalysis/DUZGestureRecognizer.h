#pragma once

// The base of the robust recognizers, which judge a gesture on the turning
// points of a candidate's fitted trajectory instead of on its raw samples.
// Recognizers keep no state and are used as local objects: the base has no
// virtual destructor, and its protected one keeps it from being deleted
// through a base pointer.

#include <cstdint>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Statistics3D.h"
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

// Recognises a wave, the hand moving left and right along X with a regular
// rhythm and amplitude, on the X extrema of a fitted trajectory. It holds no
// state: each call reads the extrema and the fitted motion and answers one
// question; the caller keeps the gesture's stages.


class WaveGestureRecognizer : public GestureRecognizer {
public:
    static constexpr FittedTrajectory::eAxisType eXAxis = FittedTrajectory::eXAxis;
    // Swing between consecutive extrema, mm.
    static constexpr float MINIMAL_WAVE_AMPLITUDE_X = 45.0f;
    static constexpr float MAXIMAL_WAVE_AMPLITUDE_X = 650.0f;
    // Swing speed, mm/s.
    static constexpr float MINIMAL_VELOCITY = 100.0f;
    static constexpr float MAXIMAL_VELOCITY = 2000.0f;
    // Pause at a turning point (the extremum's interval), s.
    static constexpr float MINIMUM_PAUSE_TIME = 0.035f;
    static constexpr float MAXIMUM_PAUSE_TIME = 0.5f;
    // Shortest first to fourth half period, s.
    static constexpr float MINIMAL_PERIOD[4] = {0.07f, 0.1f, 0.1f, 0.07f};
    // Largest spreads relative to their means.
    static constexpr float MAXIMAL_PERIOD_DEVIATION_RATIO = 0.2f;
    static constexpr float MAXIMAL_AMPLITUDE_DEVIATION_RATIO_X = 0.25f;
    static constexpr float MAXIMAL_VELOCITY_DEVIATION_RATIO = 0.25f;
    static constexpr float MAXIMAL_PAUSE_DEVIATION_RATIO = 0.5f;
    // Shape of the motion: its principal direction and spreads.
    static constexpr float DIRECTION_X_COS_THRESHOLD = 0.6f;
    static constexpr float MINIMUM_MAJOR_TO_MID_DIRECTION_RATIO = 1.75f;
    static constexpr float MINIMUM_MAJOR_TO_MINOR_DIRECTION_RATIO = 5.0f;
    static constexpr float MAXIMAL_OUTLIER_RATIO = 0.4f;

    // A complete wave ending at the newest or the second-newest X extremum
    // (more than five extrema needed); outputs untouched on failure.
    bool Apply(const FittedTrajectory& trajectory, SensorTime& start, SensorTime& end,
               Vector3D<float>& position) const override;
    // The newest four X extrema start a wave; position is the newest one's.
    virtual bool ApplyStart(const FittedTrajectory& trajectory, Vector3D<float>& position) const;
    // The complete-wave test on the five extrema ending at index `last`
    // (`first` is not used): start is the first extremum's T1, end the last
    // one's T0, position the mean fitted position from the middle of the
    // second extremum to the end.
    virtual bool DetectAtInterval(const FittedTrajectory& trajectory, const FittedTrajectory::ExtremaList& extrema,
                                  int first, int last, SensorTime& start, SensorTime& end,
                                  Vector3D<float>& position) const;
    // The timing tests of the complete wave on the five extrema ending at
    // index `last`, in the order DetectAtInterval makes them before the
    // shape and outlier tests; the first that fails is reported.
    enum TimingResult {
        eRegularTiming = 0,
        eNoFiveExtrema,       // last is below 4 or past the list
        eSwingOutOfRange,     // a swing outside the amplitude range
        ePausesOutOfRange,    // more than one pause outside the pause range
        eHalfPeriodTooShort,  // a half period below its minimum
        eSpeedOutOfRange,     // a swing speed outside the speed range
        eIrregularRhythm,     // neither the half periods nor the swings regular
        eIrregularSpeed,      // the swing speeds spread too much
        eIrregularPauses,     // the pauses spread too much
    };
    static TimingResult CheckTiming(const FittedTrajectory::ExtremaList& extrema, int last);
    // The newest swing still looks like part of a wave.
    bool ValidateRecentWave(const FittedTrajectory& trajectory) const;
    // The hand has moved far enough from the second-newest extremum.
    bool IsReadyForNextStage(const FittedTrajectory& trajectory) const;

private:
    // The fitted motion over [from, to] runs mainly along X and along one
    // direction; stats gets its sampled statistics about the origin.
    static bool HasWaveShape(const FittedTrajectory& trajectory, const SensorTime& from, const SensorTime& to,
                             Statistics3D<float>& stats);
};

// Judges a push toward the sensor on the Z extrema of a fitted trajectory:
// where the hand stood still or turned in depth, and the times, depth
// changes, direction, straightness, outliers and monotonicity of the motion
// between them. It keeps no state; the click recognizer builds one per call.


class PushGestureRecognizer : public GestureRecognizer {
public:
    static constexpr FittedTrajectory::eAxisType eZAxis = FittedTrajectory::eZAxis;
    // Push plus pull back, s.
    static constexpr float MINIMAL_PUSH_TIME = 0.3f;
    static constexpr float MAXIMAL_PUSH_TIME = 3.0f;
    // Pause at the tip, s.
    static constexpr float MINIMAL_PAUSE_TIME = 0.03f;
    static constexpr float MAXIMUM_PAUSE_TIME = 1.0f;
    // Depth travelled toward the sensor and back, mm.
    static constexpr float MINIMAL_FORWARD_PUSH_DISTANCE = 140.0f;
    static constexpr float MAXIMAL_FORWARD_PUSH_DISTANCE = 600.0f;
    static constexpr float MINIMAL_BACKWARD_PUSH_DISTANCE = 90.0f;
    static constexpr float MAXIMAL_BACKWARD_PUSH_DISTANCE = 600.0f;
    // Largest ratios of the pull-back and push speeds.
    static constexpr float BACK2FORWARD_VELOCITY_RATIO = 1.4f;
    static constexpr float FORWARD2BACK_VELOCITY_RATIO = 3.0f;
    // Smallest cosine between the motion and the ray from the sensor.
    static constexpr float DIRECTION_Z_COS_THRESHOLD_START = 0.9f;
    static constexpr float DIRECTION_Z_COS_THRESHOLD = 0.8f;
    // Near range (tip depth, mm) and the largest distance from the sensor at
    // which the push line may cross z = 0 there, mm.
    static constexpr float CLOSE_DISTANCE = 2000.0f;
    static constexpr float PUSH_RAY_INTERSECTION_MAX_DISTANCE = 1200.0f;
    // Straightness: the spreads of the motion.
    static constexpr float MAXIMUM_DEVIATION_FROM_LINE = 200.0f;
    static constexpr float MINIMUM_MAJOR_TO_MID_DIRECTION_RATIO = 2.0f;
    static constexpr float MINIMUM_MAJOR_TO_MINOR_DIRECTION_RATIO = 7.0f;
    static constexpr float MAXIMAL_OUTLIER_RATIO_FORWARD = 0.4f;
    static constexpr float MAXIMAL_OUTLIER_RATIO_BACKWARD = 0.25f;
    static constexpr float MINIMAL_VALID_POINTS_NUM = 16.0f;
    static constexpr float MINIMAL_MONOTONCITY = 0.85f;
    // Depth change between progress notifications, mm.
    static constexpr float DISTANCE_FOR_NOTIFICATION_ALONG_PUSH = 100.0f;

    // The newest complete push (push, pause, pull back) over the Z extrema;
    // position is the fitted position at its end.
    bool Apply(const FittedTrajectory& trajectory, SensorTime& start, SensorTime& end,
               Vector3D<float>& position) const override;
    // A push has just ended at its tip, the newest Z extremum; position is
    // the tip's.
    virtual bool ApplyStart(const FittedTrajectory& trajectory, Vector3D<float>& position) const;
    // The complete-push test on the three extrema ending at index `last`
    // (`first` is not used). start and end are written once the direction
    // and shape tests pass, also when a later test fails.
    virtual bool DetectAtInterval(const FittedTrajectory& trajectory, const FittedTrajectory::ExtremaList& extrema,
                                  int first, int last, SensorTime& start, SensorTime& end) const;
    // Progress of a push under way: with notStarted set, true (1) when the
    // hand came at least 100 mm nearer on a straight monotonic push, and
    // reached = 1 past 140 mm; otherwise 1 when the hand went at least 100 mm
    // back after the push. referenceDepth, when not 0, must be passed by as
    // much.
    int CheckDistance(const FittedTrajectory& trajectory, int notStarted, const float& referenceDepth,
                      int& reached) const;

private:
    // |v . u| with v the principal axis of the statistics and u the unit
    // vector from the sensor to their mean; axis and mean get v and the mean.
    static float DirectionCosine(const Statistics3D<float>& stats, Vector3D<float>& axis, Vector3D<float>& mean);
    // Close to a line: small second spread, first spread dominating.
    static bool HasLineShape(const Statistics3D<float>& stats);
};
