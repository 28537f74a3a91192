#pragma once

// Recognizes a swipe: a straight movement of the hand along one fixed
// direction that starts from rest and ends at rest, on the candidate's
// trajectory ring. The manager keeps one for +X and one for -X. A detected
// swipe resets the candidate's trajectory, so one movement is reported once.

#include <string>

#include "HandAnalysis/DUZStraightLinesGestureRecognizer.h"

class DUZSwipeGestureRecognizer : public DUZStraightLinesGestureRecognizer {
public:
    // The speed (mm/s) the velocity threshold is a share of for the rest at
    // the end.
    static constexpr float kRestSpeedScale = 800.0f;

    explicit DUZSwipeGestureRecognizer(const Vector3D<float>& direction);

    int Initialize(const std::string& iniFile, int verbose) override;
    // 2 when a swipe ending now is found, else 0; position gets the hand's
    // latest position.
    GestureStatus Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position, int hasForearm,
                      int useRobust) override;
    // By the direction's x alone: +1 and -1 are the two X swipes.
    GestureType GetType() const override;
    int ReadParameters(const std::string& iniFile, int verbose, int initial) override;

    int m_movementLength;
    Vector3D<float> m_swipeDirection;
};
