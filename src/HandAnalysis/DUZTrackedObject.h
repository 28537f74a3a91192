#pragma once

// One gesture candidate of the gesture manager: a focus hand tracker that
// finds the hand in every frame and the trajectory that records where it
// was. A candidate is started on the frame where it was found and at once
// tracked backwards over the manager's ring of recent frames, so that its
// trajectory already covers the frames before when the recognizers first
// read it. The object is free while its tracker is inactive.

#include <string>

#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZFocusHandTracker.h"
#include "NACommon/NADepthMapContainer.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array2D.h"

class DUZTrackedObject {
public:
    DUZTrackedObject(const NADepthMapContainer* ring, int ringSize, Array2D<unsigned short>* motionImage,
                     int useFittedTrajectory, unsigned short maxDepth, int maxShift);
    DUZTrackedObject(const DUZTrackedObject&) = delete;
    DUZTrackedObject& operator=(const DUZTrackedObject&) = delete;

    // An empty trajectory, the fitted model's seed and the tracker's
    // settings; the tracker's result.
    int Initialize(unsigned int seed, const std::string& iniFile, int verbose);
    // Starts at position in frame, tracks backwards over the ring's unbroken
    // run of the frames just before it (as long as the hand stays tracked),
    // and continues from position in frame whatever the backward run found.
    void StartTracking(const NADepthMapContainer& frame, const NADepthMapContainer* ring, int ringSize,
                       const Vector3D<float>& position, int index, int hasForearm);
    // One frame: a tracked hand extends the trajectory with its position,
    // velocity and size; a tracker that turns inactive raises m_justLost.
    void Update(const NADepthMapContainer& frame, int flag, Box3D<float>* headBoxes, int numHeadBoxes);
    // Free again, with a trajectory under a new id.
    void Reset();

    DUZFocusHandTracker m_tracker;
    DUZFocusGestureTrajectory m_trajectory;
    // The hand detector's forearm test accepted the candidate.
    int m_hasForearm;
};
