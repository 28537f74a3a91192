#pragma once

// Reports a completed hand raise, at the hand, for every candidate that is
// tracked in the current frame with a forearm below its hand. It stores no
// status, so the manager reports it again in every such frame.

#include "HandAnalysis/DUZGestureRecognizerBase.h"

class DUZRaiseHandGestureRecognizer : public DUZGestureRecognizerBase {
public:
    int Initialize(const std::string& iniFile, int verbose) override;
    GestureStatus Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position, int hasForearm,
                      int useRobust) override;
    GestureType GetType() const override { return GESTURE_RAISE_HAND; }
    int RequiresForearm() const override { return 1; }

protected:
    // Whether the candidate has a forearm and was tracked in this frame.
    static bool IsTrackedWithForearm(const NATrajectory& trajectory, int frameId, int hasForearm) {
        return hasForearm != 0 && frameId == trajectory.m_latestFrameId;
    }
    // The ring slot of the current frame.
    static int CurrentSlot(int frameId) { return NATrajectory::Slot(static_cast<unsigned int>(frameId)); }
};
