#pragma once

// The scratch maps that every hand tracker of the process shares, so that
// memory does not grow with the number of hands, and the tracker input of
// the previous frame. Trackers size the maps on a resolution change and
// rewrite them inside their own windows each frame; nothing here locks, so
// the trackers of a process must run their frames one after another.

#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAResolution.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

class DUZHandTrackerSharedData {
public:
    // What the trackers were given in one frame.
    struct TrackerInputData {
        TrackerInputData();
        TrackerInputData(const TrackerInputData&) = delete;
        TrackerInputData& operator=(const TrackerInputData&) = delete;

        Array2D<int> m_combinedProbability;
        int m_combinedProbabilityFactor;
        // The level of the copied map's size; NoMatch until the first copy.
        NAResolution m_resolution;
        // The frame; its depth and shift point at the two records below,
        // its time is InvalidTime until the first copy.
        NADepthMapContainer m_container;
        xn::DepthMetaData m_depth;
        xn::DepthMetaData m_shift;
    };

    // The instance of the process, made on first use.
    static DUZHandTrackerSharedData* New();

    // A separate set (the system uses the one New gives).
    DUZHandTrackerSharedData();
    DUZHandTrackerSharedData(const DUZHandTrackerSharedData&) = delete;
    DUZHandTrackerSharedData& operator=(const DUZHandTrackerSharedData&) = delete;

    // Keeps a copy of this frame's tracker input: the combined map and its
    // factor, and the container with deep copies of its depth and shift
    // maps. Called once per frame after all trackers ran.
    void UpdateTrackerInputDataHistory(const NADepthMapContainer& container);

    Array2D<unsigned short> m_filterProbability;    // hand filter, 0..1000
    Array2D<short> m_foregroundProbability;         // background model, 0..1000
    // Their product per pixel; non-zero pixels are hand pixels.
    Array2D<int> m_combinedProbability;
    int m_combinedProbabilityFactor;                // the combined map's scale
    // Depth where the combined map is at least 0.49 of the factor, else 0.
    Array2D<unsigned short> m_maskedDepth;
    xn::SceneMetaData m_regionLabels;               // regions of m_maskedDepth
    Array2D<int> m_combinedProbabilitySwap;         // exchanged with the combined map while filtering it
    Array2D<int> m_combinedProbabilityScratch;
    TrackerInputData m_history[1];                  // the previous frame
};
