#pragma once

// The multi-user skeleton driver (MultiUserFeatureExtractor) as the user
// tracker runs it: initialised once, updated under the tracker lock once per
// frame after the scene analysis, asked to create and delete per-user
// pipelines, and the source of the user and skeleton events. The library's
// own implementation is LibrarySkeletonDriver; tests give scripted ones
// through UserTrackerAlgorithms.

#include <string>

#include "NACommon/NAEventGenerator.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "UserTracker/SkeletonUser.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;
class SceneAnalyzer;

class SkeletonDriver {
public:
    virtual ~SkeletonDriver() = default;

    virtual bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                            const xn::DepthMetaData& depthMD, Resolution resolution, const SceneAnalyzer* sceneAnalyzer,
                            const std::string& iniPath, const std::string& configurationDir) = 0;
    virtual void ReadParameters() = 0;
    // Where the user tracker listens for the user and skeleton events.
    virtual NAEventGenerator& GetEventGenerator() = 0;
    virtual bool InitializeLBS(const xn::DepthGenerator& depth) = 0;
    // Whether InitializeLBS created the learned estimator.
    virtual bool IsLBSEnabled() const = 0;

    // One frame with the label map at the skeleton resolution; calibration
    // and pose events are raised during it.
    virtual void Update(const xn::DepthGenerator& depth, const xn::DepthMetaData& depthMD,
                        const xn::SceneMetaData& labels) = 0;
    // Null when the id has none. A pointer stays valid until the id's
    // pipeline is created again or deleted, or the driver is reset.
    virtual SkeletonUser* GetFeatureExtractor(int id) = 0;
    // With the user-created event (an existing one of the id is deleted
    // first).
    virtual SkeletonUser* CreateFeatureExtractor(int id) = 0;
    // With the user-removed event; false when the id has none.
    virtual bool DeleteFeatureExtractor(int id) = 0;
    // Deletes every pipeline, each with its user-removed event.
    virtual void Reset() = 0;
    virtual void SetSceneAnalyzer(const SceneAnalyzer* sceneAnalyzer) = 0;

    // Process-wide skeleton smoothing; the factor is stored clamped to 0..1.
    virtual void SetSmoothingEnabled(bool enabled) = 0;
    virtual bool GetSmoothingEnabled() const = 0;
    virtual void SetSmoothingFactor(float factor) = 0;
    virtual float GetSmoothingFactor() const = 0;
};
