#pragma once

// A second, simpler scene analyzer on the same settings and depth hub as
// SceneAnalyzer. Each frame it removes the floor and the other first-order
// planes, cuts the rest of the hybrid depth map into connected regions of
// similar depth, measures them, follows them from frame to frame under
// object ids 1 to 100 (kept along chains of mutual best matches) and paints
// an object-id map. It also keeps a slowly adapting shift background with a
// per-pixel motion mask.
//
// Nothing in the library creates it; it serves development tools.

#include <cstdint>
#include <fstream>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/CyclicBuffer.h"
#include "SceneAnalyzer/NewConnectedComponent.h"
#include "SceneAnalyzer/SAConfiguration.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

class NewSceneAnalyzer {
public:
    // Regions per frame, the background (label 0) included.
    static constexpr int kMaxRegions = 100;
    // Object ids run from 1 to this.
    static constexpr int kMaxObjectIds = 100;
    static constexpr int kHistory = 3;
    static constexpr int kInitialHybridThreshold = 30;

    NewSceneAnalyzer();
    explicit NewSceneAnalyzer(NACommonData* hub);
    ~NewSceneAnalyzer();
    NewSceneAnalyzer(const NewSceneAnalyzer&) = delete;
    NewSceneAnalyzer& operator=(const NewSceneAnalyzer&) = delete;

    // Initialises the hub at the configuration's resolution and every
    // component; false when the hub cannot be initialised.
    bool Initialize(NACommonData* hub, const xn::DepthGenerator& depth, const SAConfiguration& configuration,
                    const xn::ImageGenerator* image);
    // One frame.
    void Update();

    void ImageSegmentation();
    void MotionDetection();
    void UpdateObjectLabel();

    void ComputeCCProperties();
    void InitializeCCs();
    void GetCCsDataFromPixels();
    void GetCCsDataFromPixels_SSE();
    void UpdateCCsInfo();
    void TrackCcs();

    // The current frame's region around a world point (mm): at least 200 mm
    // square in pixels at its depth, its bounds holding the point's pixel
    // and depth, with the nearest centre. Null when none, or when the
    // point's depth lies outside the converter's tables.
    const NewConnectedComponent* GetCCByPoint(const Vector3D<float>& point) const;
    // The current frame's first region with that object id; null when none.
    const NewConnectedComponent* GetCCByObjectId(int id) const;
    void ResetCCs();
    // Restores the region links from the stored labels (after a snapshot).
    void ResetCCsPointers();

    // The current frame's regions; empty before the first frame.
    const Array<NewConnectedComponent>& CurrentCCs() const { return m_ccs.GetCurrent(); }
    const xn::SceneMetaData& CurrentLabelMap() const { return m_labelMaps.GetCurrent(); }
    const xn::SceneMetaData& CurrentObjectMap() const { return m_objectMaps.GetCurrent(); }
    int FreeObjectIdCount() const { return static_cast<int>(m_freeObjectIds.size()); }

    NACommonData* m_pCommonData;
    int32_t m_nFrameId;
    bool m_firstMotionDetection;
    SAPlanes m_planes;
    Array2D<float> m_motionBackground;
    Array2D<bool> m_motionMask;
    Array2D<unsigned short> m_segmentationInput;
    int32_t m_hybridThreshold;
    CyclicBuffer<xn::SceneMetaData, kHistory> m_labelMaps;
    CyclicBuffer<xn::SceneMetaData, kHistory> m_objectMaps;
    ConnectedComponentDetector m_ccDetector;
    CyclicBuffer<Array<NewConnectedComponent>, kHistory> m_ccs;
    CyclicBuffer<std::map<uint16_t, NewConnectedComponent*>, kHistory> m_ccMaps;
    // Top at the back.
    std::vector<uint16_t> m_freeObjectIds;
    SAConfiguration m_configuration;
    std::string m_bitExactFileName;
    std::ofstream m_profilingFile;

private:
    // A free id, or 0 (no object) when every id is taken.
    uint16_t PopObjectId();
    // Sums and bounds of the regions, from the labeller's run lists or by
    // scanning the label map for runs of one label.
    void MeasureRegions(bool fromRuns);
    // Links each region of from (size > 9 pixels) to its nearest region of
    // similar size in to.
    static void MatchForward(Array<NewConnectedComponent>& from, Array<NewConnectedComponent>& to, bool forward);

    // Depth sums per region while measuring: a frame's sum can pass the
    // 32-bit range at the finer resolutions.
    int64_t m_depthSums[kMaxRegions];
};

// Snapshots: the settings, motion flag, threshold, free ids, planes and
// the stored frames' regions. Reading refuses (false) a short snapshot or
// one with more than 100 ids or regions per frame, or more than 3 frames;
// the analyzer's regions are then reset.
void WriteBinary(std::ostream& out, const NewSceneAnalyzer& analyzer);
bool ReadBinary(std::istream& in, NewSceneAnalyzer& analyzer);
bool CheckSimilarity(const NewSceneAnalyzer& a, const NewSceneAnalyzer& b, std::string* message);
bool CheckSimilarity(const CyclicBuffer<Array<NewConnectedComponent>, NewSceneAnalyzer::kHistory>& a,
                     const CyclicBuffer<Array<NewConnectedComponent>, NewSceneAnalyzer::kHistory>& b,
                     std::string* message);
// A count and that many ids, the last one read on top; false (stack empty)
// when short or the count exceeds maxCount.
bool ReadBinary(std::istream& in, std::vector<uint16_t>& stack, int maxCount);
