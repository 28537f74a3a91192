#pragma once

// The path of one gesture candidate: the 90-frame trajectory ring, plus what
// the recognizers keep per gesture type between frames, the hand sizes
// measured along the way, an optional fitted space-time model of the same
// path for the robust recognizers, and an id that is new every time the
// trajectory starts over (the object id of the candidate's gesture events).
// Ids come from one counter shared by every trajectory of the process.

#include <memory>

#include "HandAnalysis/DUZFittedTrajectory.h"
#include "HandAnalysis/GestureType.h"
#include "NACommon/NATrajectory.h"
#include "QuorLibrary/Math/Vector2D.h"

class DUZFocusGestureTrajectory : public NATrajectory {
public:
    static constexpr int kGestureTypes = 6;
    static constexpr int kHandSizesCapacity = 90;
    // The size estimate is this quantile of the measured sizes' larger sides.
    static constexpr float kHandSizeQuantile = 0.7f;
    static constexpr float kHandWidthToHeight = 0.8f;

    explicit DUZFocusGestureTrajectory(bool useFittedTrajectory);
    ~DUZFocusGestureTrajectory() override;
    DUZFocusGestureTrajectory(const DUZFocusGestureTrajectory&) = delete;
    DUZFocusGestureTrajectory& operator=(const DUZFocusGestureTrajectory&) = delete;

    // The ring's reset, the per-type entries and per-slot sizes cleared, the
    // fitted model emptied and a new id. The hand-size history stays.
    void Reset() override;
    // Stores the frame in the ring and, when the fitted model is used, adds
    // the point to it (in time order, so a backward fill lands before the
    // start frame).
    virtual void UpdateNewPosition(const Vector3D<float>& position, unsigned int frameId, SensorTime time);

    // Records the hand size measured in a frame: in the frame's slot and in
    // the history.
    void SetHandXYSize(unsigned int frameId, const Vector2D<float>& size);
    // (0.8 v, v), v the 0.7 quantile of the larger sides of the stored sizes
    // (at most the newest 90); (0, 0) when none is stored.
    Vector2D<float> EstimateHandSize() const;

    static int m_siNextId;

    int m_gestureStatus[kGestureTypes];  // a GestureStatus per type
    SensorTime m_gestureTime[kGestureTypes];
    Vector2D<float> m_handSizeAtSlot[kLength];
    int m_gestureValue[kGestureTypes];
    int m_gestureFlag[kGestureTypes];
    FittedTrajectory m_fittedTrajectory;
    int m_useFittedTrajectory;
    // The tracker turned inactive in the current frame's update.
    int m_justLost;
    std::unique_ptr<Vector2D<float>[]> m_handSizes;
    int m_numHandSizes;
    int m_handSizesCapacity;
    int m_handSizesIndex;
    int m_trajectoryId;

private:
    void ClearGestureState();
};
