#pragma once

// Follows up to five hands through the depth stream from start points the
// hand tracker gives it, and reports each hand's start, movement, contact
// with the image border and end as hand events (kind 0) to its listeners.
// The hand tracker initialises it with "HandAlgorithms.ini", updates it once
// per frame after the gesture manager, and starts and stops hands between
// frames.
//
// The per-hand trackers are not part of this build: every start is refused
// and an update reports nothing.

#include <string>

#include "NACommon/NAEventGenerator.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnImageMetaData.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class DUZHandTrackerManager : public NAEventGenerator {
public:
    DUZHandTrackerManager();
    ~DUZHandTrackerManager();
    DUZHandTrackerManager(const DUZHandTrackerManager&) = delete;
    DUZHandTrackerManager& operator=(const DUZHandTrackerManager&) = delete;

    // 1 on success, 0 on failure. maxDepth -1 selects the default.
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                   const std::string& iniFile, int maxDepth, int verbose);
    // One frame of hand tracking.
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth, const xn::ImageMetaData& image);
    // The new hand's id (its added event is raised during the call), or 0
    // when no hand was started.
    unsigned int StartTracking(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                               const Vector3D<float>& point, const Vector2D<float>& handSize);
    // 1 when a hand had the id (its deleted event is raised), else 0.
    int StopTracking(unsigned int id);
    // A deleted event for every hand.
    void StopTrackingAllHands();

private:
    NACommonData* m_commonData;
};
