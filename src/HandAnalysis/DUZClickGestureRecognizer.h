#pragma once

// Recognizes the click: the hand pushed toward a pointing location (the
// sensor by default), held briefly and pulled back. In plain mode on the
// candidate's trajectory ring (a straight pull back, the pause before it, a
// straight push before that, the hand upright along the way); in robust mode
// on the candidate's fitted trajectory, with notifications while the push is
// under way. The trajectory must be the candidate's focus trajectory; its
// per-type entries at GESTURE_CLICK hold the click's state.

#include <string>

#include "HandAnalysis/DUZStraightLinesGestureRecognizer.h"

class DUZFocusGestureTrajectory;

class DUZClickGestureRecognizer : public DUZStraightLinesGestureRecognizer {
public:
    // Height over width of the hand below which a slot counts as lying
    // flat, and how many such slots a push may have.
    static constexpr float kMinHeightToWidth = 0.85f;
    static constexpr int kMaxFlatSlots = 3;
    // A started push with nothing new for this long is dropped, s.
    static constexpr double kStartTimeout = 1.0;

    DUZClickGestureRecognizer();

    int Initialize(const std::string& iniFile, int verbose) override;
    GestureStatus Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position, int hasForearm,
                      int useRobust) override;
    GestureType GetType() const override { return GESTURE_CLICK; }
    int ReadParameters(const std::string& iniFile, int verbose, int initial) override;

    // The hand kept upright over the slots firstSlot to currentSlot (forward
    // around the ring, both included). Needs a focus trajectory; 0 on any
    // other.
    int ValidateMovement(NATrajectory& trajectory, int currentSlot, int firstSlot);

    Vector3D<float> m_gesturePointingLocation;
    int m_movementLength;

private:
    GestureStatus RunPlain(DUZFocusGestureTrajectory& trajectory, Vector3D<float>& position);
    GestureStatus RunRobust(DUZFocusGestureTrajectory& trajectory, int frameId, Vector3D<float>& position);
};
