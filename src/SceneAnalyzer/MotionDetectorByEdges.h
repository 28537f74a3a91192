#pragma once

// Motion detection from horizontal depth steps: upright objects between a
// rising and a falling step of more than 100 mm, followed over time, so
// that the segmentation can start a user where something person-sized
// moves. Per frame: the edge image, couples (runs between the steps) stacked
// into blocks, blocks measured in world coordinates and joined into clusters
// where they overlap in the floor plane, and the suspects followed by their
// nearest large cluster.
//
// Blocks come from a fixed pool and hold a fixed number of couples; a frame
// with more of either drops the excess and counts it.

#include <cstdint>
#include <fstream>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/SensorUtilities/DisjointSet.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "SceneAnalyzer/Block.h"
#include "SceneAnalyzer/Cluster.h"
#include "SceneAnalyzer/MotionCandidate.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

class MotionDetectorByEdges {
public:
    static constexpr int kMaxBlocks = 2000;
    // Each sorting array holds a block's start and end values together.
    static constexpr int kSortEntries = 2 * Block::kMaxCouples;
    // A step between neighbours deeper than this (mm) is an edge.
    static constexpr int kEdgeStep = 100;
    // Smallest frontal area (mm^2) of a cluster.
    static constexpr int32_t kMinClusterArea = 100000;

    MotionDetectorByEdges();
    ~MotionDetectorByEdges();
    MotionDetectorByEdges(const MotionDetectorByEdges&) = delete;
    MotionDetectorByEdges& operator=(const MotionDetectorByEdges&) = delete;

    // maxSupportedDepth: only edges whose nearer side lies at or before it
    // count.
    void init(NACommonData* hub, Resolution res, int sse, int profiling, unsigned short maxSupportedDepth);
    // One frame, after the background model, on the analyzer's shadow map
    // (the filled shift of a shadow pixel, 0 elsewhere).
    void update(const Array2D<unsigned short>& shadowMap);
    // Empties both lists; "suspects", "clusters" and "blocks" add their
    // boxes, any other type is reported on standard error.
    void GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids, const std::string& type) const;
    void SetProfFile(const char* path);
    // Writes block k (from 1) over its couples' runs into the block map.
    void debugBlocks();

    // The frame's maps that the steps read; false (nothing kept) when a map
    // is not of the analysis size.
    bool SetMaps(const xn::DepthMetaData& depth, const Array2D<unsigned short>& shift,
                 const Array2D<unsigned short>& shadowMap);
    // Every step on the maps set.
    void Detect();
    // The steps of update.
    void derivateImage();
    void derivateImage_SSE();
    void createBlocks();
    void updateBlockParams();
    void mergeBlocksIntoClusters();
    void updateClusterParams();
    void updateSuspectsByClusters();
    void eraseSuspects();
    void createNewSuspects();

    // Merges the ascending list second..secondEnd into the ascending list
    // first..*firstEnd (room for both), from the back; moves *firstEnd to
    // the new end and returns the total count.
    template <typename T>
    static int Merge2SortedListsIntoFirst(T* first, T** firstEnd, const T* second, const T* secondEnd);
    static int power(int base, int exponent);

    const std::list<Cluster>& clusters() const { return m_clusters; }
    const std::list<Suspect>& suspects() const { return m_suspects; }
    const xn::DepthMetaData* DepthMap() const { return m_pDepthMap; }
    const Array2D<unsigned short>* ShiftMap() const { return m_pShiftMap; }
    const Array2D<unsigned short>* shadowMap() const { return m_pShadowMap; }
    const xn::SceneMetaData& blockMap() const { return m_blockMap; }
    const Array2D<short>& der() const { return m_der; }
    const Array2D<unsigned short>& filledDepth() const { return m_filledDepth; }
    // This frame's blocks after filtering.
    Block* const* blocks() const { return m_blocks; }
    int blockCount() const { return m_nBlocks; }
    // What this frame could not keep: couples of full blocks, and couples
    // that found the block pool empty.
    int droppedCouples() const { return m_nDroppedCouples; }
    int droppedBlocks() const { return m_nDroppedBlocks; }
    // Whether the edge image follows a mirrored layout.
    bool mirrored() const { return m_bMirrored; }

private:
    // The edge code of pixels a (at i) and b (its right neighbour).
    static short EdgeCode(int a, int b, int shadowA, int shadowB, int shiftA, int shiftB, bool mirrored,
                          int maxDepth);
    // Filled depth and edge codes of the pixels from first on.
    void FillDepth(int first);
    void DerivatePixels(int first);
    void FixBorderColumn();
    void AddCouple(const Couple& couple);

    Block* m_blocks[kMaxBlocks];
    int m_nBlocks;
    NACommonData* m_pCommonData;
    Resolution m_resolution;
    int32_t m_nXRes;
    int32_t m_nYRes;
    int32_t m_nPixels;
    const xn::DepthMetaData* m_pDepthMap;
    const Array2D<unsigned short>* m_pShiftMap;
    const Array2D<unsigned short>* m_pShadowMap;
    xn::SceneMetaData m_blockMap;
    float m_fPixelSize;
    Array2D<short> m_der;
    Array2D<unsigned short> m_filledDepth;
    std::unique_ptr<Block[]> m_blockPool;
    int m_nNextFreeBlock;
    Block* m_closedBlocks[kMaxBlocks];
    int m_nClosedBlocks;
    Block* m_openBlocks[kMaxBlocks];
    int m_nOpenBlocks;
    DisjointSet m_blockSets;
    uint16_t m_startDepths[kSortEntries];
    uint16_t m_endDepths[kSortEntries];
    int32_t m_startX[kSortEntries];
    int32_t m_endX[kSortEntries];
    std::list<Cluster> m_clusters;
    std::list<Suspect> m_suspects;
    int32_t m_nNextSuspectId;
    int32_t m_bProfiling;
    std::ofstream m_profFile;
    int32_t m_bSSE;
    uint16_t m_nMaxDepth;
    uint16_t m_nNoDepthValue;
    bool m_bMirrored;
    int m_nDroppedCouples;
    int m_nDroppedBlocks;
};
