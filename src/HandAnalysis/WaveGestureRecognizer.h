#pragma once

// Recognises a wave, the hand moving left and right along X with a regular
// rhythm and amplitude, on the X extrema of a fitted trajectory. It holds no
// state: each call reads the extrema and the fitted motion and answers one
// question; the caller keeps the gesture's stages.

#include "HandAnalysis/FittedTrajectory.h"
#include "HandAnalysis/GestureRecognizer.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Statistics3D.h"
#include "QuorLibrary/Math/Vector3D.h"

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
