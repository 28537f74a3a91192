#pragma once

// The ghost of a hand tracker that has just lost its hand: started at the
// hand's last known position, it searches for the hand on its own, running
// the per-hand tracker's steps on the combined map that the lost tracker
// prepared in the same frame. It prepares no map of its own (only the
// backwards tracking runs) and its own update validates nothing; the
// manager asks IsValidated before the lost tracker takes its state over.

#include "HandAnalysis/DUZHandTracker.h"
#include "NACommon/NAMotionPredictor.h"

class DUZSatelliteTracker : public DUZHandTracker {
public:
    DUZSatelliteTracker(const DUZHandPartition* partition, const DUZHandTrackerBackgroundModel* backgroundModel,
                        const DUZHandFilter* handFilter, unsigned short maxDepth, int maxShift);
    ~DUZSatelliteTracker() override;

    using DUZHandTracker::StartTracking;

    // Starts as the per-hand tracker does, then continues from the given
    // predictor's last sample with a fresh linear predictor: the position
    // becomes that sample's, the uncertainty grows with its age. The
    // result is the per-hand start's (position and predictor are set
    // whatever it is).
    int StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position,
                      const NAMotionPredictor<float>& predictor, const Vector2D<float>& handSize);

    // Only the backwards tracking.
    void PrepareForSteps(const NADepthMapContainer& frame) override;
    // Nothing: the ghost's own update never rejects it.
    void Validate(const NADepthMapContainer& frame) override;

    // The per-hand tracker's validation on request: 1 when it would keep
    // tracking. m_newState is put back afterwards; the validation's other
    // effects (head flags and counter, boundary history, an inactive
    // m_state at the head limit) stay.
    int IsValidated(const NADepthMapContainer& frame);
};
