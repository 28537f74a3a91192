#pragma once

// Recognizes the wave: the hand moving left and right several times at a
// steady rhythm. In plain mode on the candidate's trajectory ring (sign
// changes of the horizontal velocity, a parabola through the path, swings
// of regular period and length mainly along X); in robust mode on the
// candidate's fitted trajectory. The trajectory must be the candidate's
// focus trajectory; its per-type entries at GESTURE_WAVE hold the wave's
// state.

#include <string>

#include "HandAnalysis/DUZGestureRecognizerBase.h"

class DUZFocusGestureTrajectory;

class DUZWaveGestureRecognizer : public DUZGestureRecognizerBase {
public:
    // The flip list's capacity: a tenth flip ends the count.
    static constexpr int kMaxFlips = 10;
    // Slots walked for the mean position and for the flips.
    static constexpr int kMeanSlots = 19;
    static constexpr int kFlipSlots = 59;
    // A flip needs a sample faster than this since the previous one, mm/s.
    static constexpr float kFastSpeed = 350.0f;
    // Largest mean distance from the parabola, mm; largest deviation of a
    // swing's duration from the mean, s; largest share of short swings.
    static constexpr float kMaxParabolaError = 15.0f;
    static constexpr float kMaxPeriodDeviation = 0.07f;
    static constexpr float kMaxShortSwingShare = 0.4f;
    // A started robust wave with nothing new for this long is dropped, s.
    static constexpr double kStartTimeout = 1.0;

    DUZWaveGestureRecognizer();

    int Initialize(const std::string& iniFile, int verbose) override;
    GestureStatus Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position, int hasForearm,
                      int useRobust) override;
    GestureType GetType() const override { return GESTURE_WAVE; }
    // Reads the wave keys on every call, the re-read included.
    int ReadParameters(const std::string& iniFile, int verbose, int initial) override;

    // The mean of the newest 19 slots' samples; 0 (and stored status 0 on a
    // focus trajectory) when an older slot holds a newer frame.
    int CalculateMeanWavePosition(NATrajectory& trajectory, Vector3D<float>& mean);
    // The slots (newest first, up to 10) where the X velocity changed sign
    // after a fast sample, over the newest 59 slots; mean gets the mean of
    // the samples walked. 0 on a frame-order break or a tenth flip.
    int CountVelocityFlips(NATrajectory& trajectory, Vector3D<float>& mean, int& flipCount, int* flipSlots);
    // y = A x^2 + B x + C by least squares over the slots firstSlot forward
    // to lastSlot, empty ones included; all 0 when the system is singular.
    void ParabolaFit(NATrajectory& trajectory, int firstSlot, int lastSlot, Vector3D<float>& coefficients);

    int m_waveMinNumberOfFlips;
    int m_waveMinLength;
    int m_waveMaxDeviationFromMeanCycleLength;

private:
    GestureStatus RunPlain(DUZFocusGestureTrajectory& trajectory, Vector3D<float>& position);
    GestureStatus RunRobust(DUZFocusGestureTrajectory& trajectory, int frameId, Vector3D<float>& position);
    // Stored status 0 when the trajectory is a focus trajectory.
    static void ClearStatus(NATrajectory& trajectory);
};
