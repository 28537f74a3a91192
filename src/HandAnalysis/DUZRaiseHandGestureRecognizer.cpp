#include "HandAnalysis/DUZRaiseHandGestureRecognizer.h"

int DUZRaiseHandGestureRecognizer::Initialize(const std::string& iniFile, int verbose) {
    return DUZGestureRecognizerBase::Initialize(iniFile, verbose);
}

GestureStatus DUZRaiseHandGestureRecognizer::Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position,
                                                 int hasForearm, int /*useRobust*/) {
    if (!IsTrackedWithForearm(trajectory, frameId, hasForearm)) {
        return GESTURE_STATUS_NONE;
    }
    position = trajectory.m_positions[CurrentSlot(frameId)];
    return GESTURE_STATUS_COMPLETED;
}
