#pragma once

// The gesture side of the hand tracker: recognizes click, wave, raise-hand,
// swipe and moving-candidate gestures on the moving hand candidates of the
// depth stream and reports them as gesture events (kind 1) to its
// listeners. The hand tracker initialises it with "HandAlgorithms.ini",
// switches gesture types on and off, updates it once per frame before the
// hand-tracker manager and resets it at shutdown.
//
// Candidate tracking and the recognizers are not part of this build: the
// manager keeps which gestures are on, and an update recognizes nothing.

#include <string>

#include "HandAnalysis/GestureType.h"
#include "NACommon/NAEventGenerator.h"
#include "QuorLibrary/Math/Box3D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class DUZGestureRecognizerManager : public NAEventGenerator {
public:
    // One recognizer per GestureType 0 to 5.
    static constexpr int kRecognizers = 6;

    DUZGestureRecognizerManager();
    ~DUZGestureRecognizerManager();
    DUZGestureRecognizerManager(const DUZGestureRecognizerManager&) = delete;
    DUZGestureRecognizerManager& operator=(const DUZGestureRecognizerManager&) = delete;

    // 1 on success, 0 when the depth stream has no "MaxShift" property (with
    // a line on standard error). Switches click and wave on, the rest off.
    // maxDepth -1 selects the default.
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD,
                   const std::string& iniFile, int maxDepth, int verbose);
    // One frame; nothing while no gesture is on or the manager is not
    // running.
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD);
    // Switches the recognizer of type (0 to 5) on (non-zero) or off; a null
    // box means the whole image and depth range.
    void ActivateGesture(GestureType type, int active, Box3D<float>* worldBounds);
    // Forgets the tracked candidates and, with a non-zero argument, the
    // background model.
    void Reset(int resetBackground);

    // Update does nothing while it is 0; the hand tracker sets it once the
    // manager is initialised and clears it at shutdown.
    int m_running;

private:
    NACommonData* m_commonData;
    int m_active[kRecognizers];
};
