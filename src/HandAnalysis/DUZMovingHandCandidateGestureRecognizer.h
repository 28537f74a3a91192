#pragma once

// Reports a gesture in progress while a candidate with a forearm moves
// enough: the total standard deviation of its recent positions (at least
// m_minFrameForMotionGesture and at most m_maxFrameForMotionGesture + 1
// samples, walking back from the current frame) exceeds
// m_stdThresholdMotionGesture.

#include "HandAnalysis/DUZRaiseHandGestureRecognizer.h"

class DUZMovingHandCandidateGestureRecognizer : public DUZRaiseHandGestureRecognizer {
public:
    DUZMovingHandCandidateGestureRecognizer();

    GestureStatus Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position, int hasForearm,
                      int useRobust) override;
    GestureType GetType() const override { return GESTURE_MOVING_HAND_CANDIDATE; }
    // With initial set, MinFrameForMotionGesture, MaxFrameForMotionGesture
    // and StdThresholdMotionGesture from "FocusRecognizer"; a re-read
    // changes nothing. 1.
    int ReadParameters(const std::string& iniFile, int verbose, int initial) override;

    int m_minFrameForMotionGesture;
    int m_maxFrameForMotionGesture;
    float m_stdThresholdMotionGesture;  // mm
};
