#pragma once

// The scene analysis as the user tracker runs it: one scene analyzer per
// build (the tracker rebuilds it when a recording starts over), updated
// under the tracker lock once per frame, then read for the users that are
// alive, the label map and the floor. The library's own implementation is
// LibrarySceneAnalysis over SceneAnalyzer; tests give scripted ones through
// UserTrackerAlgorithms.

#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "SceneAnalyzer/SAConfiguration.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;
class SceneAnalyzer;

class SceneAnalysis {
public:
    virtual ~SceneAnalysis() = default;

    // SceneAnalyzer::Initialize without an image node; false when the
    // analyzer cannot work (the tracker only logs it).
    virtual bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                            const SAConfiguration& configuration) = 0;
    // One frame, with the seeds of the recording's point file.
    virtual void Update() = 0;
    // Whether user id 1 to 10 is alive this frame.
    virtual bool IsUserAlive(int id) const = 0;
    // This frame's user label map at a resolution.
    virtual const xn::SceneMetaData& GetLabelMap(Resolution resolution) = 0;
    // The floor as last found, written in any case; true while it is known.
    virtual bool GetFloor(Plane<float>& floor) const = 0;
    // The analyzer the skeleton pipeline reads; null when there is none.
    virtual const SceneAnalyzer* GetSceneAnalyzer() const = 0;
};
