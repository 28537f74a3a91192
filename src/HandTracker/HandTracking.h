#pragma once

// The hand-tracker manager (DUZHandTrackerManager) as the hand tracker runs
// it: initialised once, updated once per frame after the gesture
// recognition, hands started and stopped between frames, and the source of
// the hand events. The library's own implementation is LibraryHandTracking;
// tests give scripted ones through HandTrackerAlgorithms.

#include <string>

#include "NACommon/NAEventGenerator.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnImageMetaData.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class HandTracking {
public:
    virtual ~HandTracking() = default;

    // 1 on success, 0 on failure.
    virtual int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator,
                           const xn::DepthMetaData& depth, const std::string& iniFile, int maxDepth, int verbose) = 0;
    virtual void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                        const xn::ImageMetaData& image) = 0;
    // The new hand's id (its added event is raised during the call), or 0.
    virtual unsigned int StartTracking(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                                       const Vector3D<float>& point, const Vector2D<float>& handSize) = 0;
    // Non-zero when a hand had the id (its deleted event is raised).
    virtual int StopTracking(unsigned int id) = 0;
    virtual void StopTrackingAllHands() = 0;
    // Where the hand tracker listens for the hand events.
    virtual NAEventGenerator& GetEventGenerator() = 0;
};
