#pragma once

// The current frame for the skeleton at every resolution level from the
// depth stream's own size down to QQQVGA, refreshed once per frame before
// any feature extractor runs. The multi-user driver owns one and hands it to
// every feature extractor; components address a level by Resolution.
//
// The label level (the skeleton resolution) uses the scene analyzer's label
// map as it is; each coarser level has its own label map, downscaled from
// the next finer one, and every level from the label level down has a user
// mask. Every buffer is allocated by Initialize: Update allocates nothing.
//
// Only 4:3 streams from 80x60 up are served (the user tracker accepts
// 320x240 and 640x480): for another size, or a label level that is not a
// level of the stream, Initialize fails and the levels stay empty.

#include "FullBodySkeleton/FeatureExtractor/DepthMapContainer.h"
#include "QuorLibrary/Utilities/Array.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class MultiResDepthMapContainer {
public:
    static constexpr int kLevels = 7;

    MultiResDepthMapContainer();
    MultiResDepthMapContainer(const MultiResDepthMapContainer&) = delete;
    MultiResDepthMapContainer& operator=(const MultiResDepthMapContainer&) = delete;

    // Sets the levels up for the depth node's stream with labels at
    // labelLevel and runs a first Update without labels. The hub must have
    // been initialised for the node and hold a frame.
    bool Initialize(NACommonData* commonData, const xn::DepthGenerator& depth, Resolution labelLevel);
    // Per frame, after the hub's update: every level's depth and converter,
    // the label level's map (null: none this frame) and the user masks, in
    // which a pixel is set when activeLabels has a true entry for its label
    // (labels beyond the table are not active). A label map that is not of
    // the label level's size counts as none.
    void Update(const xn::DepthGenerator& depth, const xn::SceneMetaData* labels, const Array<bool>* activeLabels);
    // Image boxes, and the coarser label maps and masks from the label
    // level's.
    void UpdateDownscaledMaps();

    bool IsInitialized() const { return nativeLevel != INVALID; }
    DepthMapContainer& operator[](Resolution level) { return levels[level]; }
    const DepthMapContainer& operator[](Resolution level) const { return levels[level]; }

    // Indexed by Resolution; level 0 is never filled.
    DepthMapContainer levels[kLevels];
    // INVALID until initialised.
    Resolution nativeLevel;
    Resolution lowestLevel;
    Resolution labelLevel;
    // Where the driver makes the dilated depth map and the exterior-distance
    // map; INVALID: nowhere.
    Resolution dilatedRes;
    Resolution distanceTransformRes;

private:
    NACommonData* m_commonData;
    // The user masks of the label level and below, the label maps below it.
    Array2D<uint8_t> m_userMasks[kLevels];
    xn::SceneMetaData m_labelMaps[kLevels];
};
