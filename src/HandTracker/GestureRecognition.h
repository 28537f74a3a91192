#pragma once

// The gesture manager (DUZGestureRecognizerManager) as the hand tracker runs
// it: initialised once, gestures switched on and off, updated once per frame
// before the hand tracking, reset at shutdown, and the source of the gesture
// events. The library's own implementation is LibraryGestureRecognition;
// tests give scripted ones through HandTrackerAlgorithms.

#include <string>

#include "HandAnalysis/GestureType.h"
#include "NACommon/NAEventGenerator.h"
#include "QuorLibrary/Math/Box3D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class GestureRecognition {
public:
    virtual ~GestureRecognition() = default;

    // 1 on success, 0 on failure.
    virtual int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator,
                           const xn::DepthMetaData& depthMD, const std::string& iniFile, int maxDepth,
                           int verbose) = 0;
    // The running switch: Update does nothing while it is 0.
    virtual void SetRunning(int running) = 0;
    virtual void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD) = 0;
    // A null box means the whole image and depth range.
    virtual void ActivateGesture(GestureType type, int active, Box3D<float>* worldBounds) = 0;
    virtual void Reset(int resetBackground) = 0;
    // Where the hand tracker listens for the gesture events.
    virtual NAEventGenerator& GetEventGenerator() = 0;
};
