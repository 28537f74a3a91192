#pragma once

// Judges a push toward the sensor on the Z extrema of a fitted trajectory:
// where the hand stood still or turned in depth, and the times, depth
// changes, direction, straightness, outliers and monotonicity of the motion
// between them. It keeps no state; the click recognizer builds one per call.

#include "HandAnalysis/FittedTrajectory.h"
#include "HandAnalysis/GestureRecognizer.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Statistics3D.h"
#include "QuorLibrary/Math/Vector3D.h"

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
