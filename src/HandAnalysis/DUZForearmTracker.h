#pragma once

// Follows a hand's forearm direction from frame to frame. Each frame the
// direction is first predicted from the hand's motion, pivoting about an
// elbow assumed 300 mm back along the forearm, and then turned halfway
// toward the detector's measurement, by at most 30 degrees. A measurement
// pointing away from the sensor is flattened into the image plane first.
//
// The direction is a unit world vector along the forearm toward the hand.

#include <string>

#include "HandAnalysis/DUZForearmDirectionDetector.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "NACommon/NADepthMapContainer.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector3D.h"

class DUZForearmTracker {
public:
    DUZForearmTracker();

    // The detector's Initialize and the fixed settings; 1.
    int Initialize(const std::string& iniFile, int verbose);
    // With flag 0 also the detector's; nothing is configurable; 1.
    int ReadParameters(const std::string& iniFile, int verbose, int flag);

    // Starts from the direction toward the sensor and runs the first
    // Update, which takes the measurement as it is. 0 when that Update
    // found a flipped forearm.
    int StartTracking(const NADepthMapContainer& container, const DUZHandPartition* partition,
                      const Vector3D<float>& hand, unsigned int trackerId);
    // One frame: prediction, measurement, turn. On a flipped forearm
    // (flipped 1) the direction is set to the measurement and the tracker
    // continues from flippedHand, where the caller should move the hand.
    void Update(const NADepthMapContainer& container, const DUZHandPartition* partition, const Vector3D<float>& hand,
                unsigned int trackerId, int& flipped, Vector3D<float>& flippedHand);

    // Pivots the direction about the elbow of the last update so that the
    // forearm reaches the hand's new position; nothing before the first
    // update.
    void ComputePrediction(const NADepthMapContainer& container, const Vector3D<float>& hand);
    // Turns the direction toward the unit vector measured: half the angle,
    // at most the step angle.
    void UpdateForearmDirection(const Vector3D<float>& measured);
    void SetForearmDirection(const Vector3D<float>& direction) { m_forearmDirection = direction; }
    const Vector3D<float>& GetForearmDirection() const { return m_forearmDirection; }

    DUZForearmDirectionDetector m_detector;
    Vector3D<float> m_forearmDirection;
    SensorTime m_lastUpdateTime;       // InvalidTime before the first update
    Vector3D<float> m_lastHandPosition;
    float m_updateGain;
    float m_maxStepAngle;   // rad
    float m_forearmLength;  // mm
};
