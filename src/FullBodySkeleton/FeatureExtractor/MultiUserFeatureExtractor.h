#pragma once

// The skeleton side's entry point for the user tracker: one feature
// extractor per user id, created and deleted at the tracker's request, all
// run once per frame in ascending id after the scene analysis. It raises the
// user-created and user-removed events itself; the extractors' calibration
// and pose events go through the same shared event generator.
//
// Calling order: Initialize, ReadParameters, the tracker joins
// GetSharedData()'s listeners, InitializeLBS; per frame Update, then
// CreateFeatureExtractor for new users and DeleteFeatureExtractor for lost
// ones; SetSceneAnalyzer and Reset when the scene analysis is rebuilt.
//
// Of the per-frame preparation, Update builds: the hub's update, the label
// masks, the depth-map containers, the dilated depth map, the label
// statistics with their copy into each extractor's UserInfo (so the user
// tracker's users carry real centres and boxes), the floor, and the run of
// the extractors in id order. Not built yet: the exterior-distance map and
// the shared edge distances (DistanceTransformRes is read but nothing is made
// there), the joint limits, the learned estimator, the record writer and the
// state stream.

#include <map>
#include <string>

#include "FullBodySkeleton/FeatureExtractor/FeatureExtractor.h"
#include "FullBodySkeleton/FeatureExtractor/FeatureExtractorSharedData.h"
#include "FullBodySkeleton/FeatureExtractor/MultiResDepthMapContainer.h"
#include "FullBodySkeleton/FeatureExtractor/UserLabelInfo.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;
class SceneAnalyzer;

class MultiUserFeatureExtractor {
public:
    // Labels and user ids below this have label statistics and masks.
    static constexpr int kMaxLabels = 100;
    // Process-wide: the SSE forms of the per-pixel loops (true until the
    // configuration's "SSE" says otherwise).
    static bool m_bSSE;

    MultiUserFeatureExtractor();
    // Deletes every feature extractor without events.
    ~MultiUserFeatureExtractor();
    MultiUserFeatureExtractor(const MultiUserFeatureExtractor&) = delete;
    MultiUserFeatureExtractor& operator=(const MultiUserFeatureExtractor&) = delete;

    // Keeps the links and paths, initialises the hub for the depth node,
    // loads the shared data from the data directory and sets the containers
    // up; false when either fails.
    bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth, const xn::DepthMetaData& depthMD,
                    Resolution resolution, const SceneAnalyzer* sceneAnalyzer, const std::string& iniPath,
                    const std::string& configurationDir);
    // Reads the driver's and the extractors' parameters from the INI path
    // given to Initialize.
    void ReadParameters();
    void ReadParameters(const std::string& iniPath, bool verbose);
    // Creates the learned estimator when the configuration asks for it and
    // names its files; true only then and with a stream above QQVGA. The
    // estimator is not part of this build: always false, and none is used.
    bool InitializeLBS(const xn::DepthGenerator& depth);
    // Whether InitializeLBS created the learned estimator.
    bool IsLBSEnabled() const { return m_lbsEnabled; }

    // One frame, with the label map at the skeleton resolution.
    void Update(const xn::DepthGenerator& depth, const xn::DepthMetaData& depthMD, const xn::SceneMetaData& labels);

    // Null when the id has none.
    FeatureExtractor* GetFeatureExtractor(int id);
    const FeatureExtractor* GetFeatureExtractor(int id) const;
    // Replaces an existing one of the id (user-removed event first), then
    // raises the user-created event.
    FeatureExtractor* CreateFeatureExtractor(int id);
    // Raises the user-removed event and deletes; false when the id has none.
    bool DeleteFeatureExtractor(int id);
    // Deletes every extractor in id order, each with its user-removed event,
    // and forgets the last frame.
    void Reset();
    void SetSceneAnalyzer(const SceneAnalyzer* sceneAnalyzer);
    int GetActiveFeatureExtractorsNum() const { return static_cast<int>(m_featureExtractors.size()); }

    // Process-wide: every user of every user tracker.
    void SetSmoothingEnabled(bool enabled);
    bool GetSmoothingEnabled() const;
    // Stored clamped to 0..1.
    void SetSmoothingFactor(float factor);
    float GetSmoothingFactor() const;

    // The event generator of the user and skeleton events.
    FeatureExtractorSharedData& GetSharedData() { return m_sharedData; }
    const MultiResDepthMapContainer& GetContainers() const { return multiResContainer; }
    // This frame's statistics of a label below kMaxLabels (only labels with
    // a feature extractor are kept current).
    const UserLabelInfo& GetUserLabelInfo(int label) const { return m_labelInfo[label]; }
    // The lowest world y (mm) of any user since the last reset.
    float GetLowestHeight() const { return m_state.lowestHeight; }

private:
    // The last processed frame.
    struct State {
        SensorTime timestamp;
        int frameId;
        float lowestHeight;
    };

    void ResetState();
    void RaiseUserEvent(int id, FeatureExtractorEvent::SpecificEventType type);
    // The statistics of every label that has an extractor, at the label
    // level, and the boxes of the other levels derived from them.
    void ComputeUserLabelInfo();
    void CopyUserLabelInfo();
    void ComputeDilatedDepthMap();

    std::map<int, FeatureExtractor*> m_featureExtractors;
    bool m_lbsEnabled;
    MultiResDepthMapContainer multiResContainer;
    const SceneAnalyzer* m_sceneAnalyzer;
    NACommonData* m_commonData;
    FeatureExtractorSharedData m_sharedData;
    // Indexed by label: an extractor exists; it exists and is not stopped.
    Array<bool> m_existingLabels;
    Array<bool> m_activeLabels;
    UserLabelInfo m_labelInfo[kMaxLabels];
    // The dilation's input (16-byte aligned, only grown) and result.
    Array2D<short> m_dilationWork;
    xn::DepthMetaData m_dilatedDepth;
    int m_distanceTransformMethod;
    Resolution m_resolution;
    State m_state;
    bool m_verbose;
    std::string m_iniPath;
    std::string m_configurationDir;
};
