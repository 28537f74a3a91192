#pragma once

// Where in a depth frame may a hand be, without any tracking history? A hand
// candidate is a connected patch of depth that lies on a narrow protrusion
// of the scene: each of its pixels is near a depth jump on its left and on
// its right and a short way below a jump above it, as a raised hand or arm
// stands out in front of what is behind it. The detector builds that
// edge-distance map, labels it, measures the labels and drops those that
// fail a chain of filters.
//
// One detector serves the process (GetInstance): the hand-tracker manager
// (hand candidates with its foreground mask and the forearm test), the
// gesture manager (hand candidates with its motion image, with or without
// the forearm test) and the extreme-points reporter (head candidates, or the
// unfiltered basic candidates). Several of them ask about one frame, so the
// expensive part of a frame (edge maps, labelling, measuring, the cheap size
// and free-space filters) is kept in a frame cache keyed by frame id,
// resolution and search box, together with the per-label results of the
// costlier head, background and forearm filters: the first call that needs
// such a filter decides for the frame, later calls reuse its decisions
// whatever mask or threshold they pass. Each caller gets its own copy of the
// candidate record with its filters applied.
//
// The candidate record is a ConnectedComponentProperties<float> indexed by
// label: label l, 1 <= l < count, is a candidate while its centre is not
// (0, 0, 0); a rejected label is cleared (ClearCC) but keeps its pixels in
// the label map. Only pixel count, area, image box, world box and centre
// are filled; the count never exceeds the record's 2000 entries.
//
// Frames are 160x120 in every client. A frame whose size is none of the
// five hand resolutions, or wider than 640 columns, gives count 0 with one
// error logged. All calls run on the hand tracker's frame thread.

#include <cstdint>
#include <string>
#include <vector>

#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAHeadDetector.h"
#include "NACommon/NALogger.h"
#include "NACommon/NAResolution.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Statistics3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentProperties.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnSceneMetaData.h"

class DUZHandDetector {
public:
    // Entries of the candidate record and of the per-label results.
    static constexpr int kMaxLabels = ConnectedComponentProperties<float>::kMaxLabels;
    // Values of each row buffer: frames up to 640 columns.
    static constexpr int kRowLength = 640;

    // What the forearm filter measured of one candidate, and the first of
    // its nine tests that rejects (0: the forearm is found).
    struct ForearmMeasures {
        float area = 0.0f;             // mm^2 of the inliers
        int along = 0;                 // pixels counted along the axis
        int notNarrow = 0;             // of them, off the narrow lines
        int depthJump = 0;             // summed depth gaps to the axis, mm
        float palmDepth = 0.0f;        // the candidate's centre z
        float elbowDepth = 0.0f;       // z of the axis end farther from the palm
        float wristDistance = 0.0f;    // mm from the wrist point to the axis
        float length = 0.0f;           // along the axis, mm
        float width = 0.0f;            // largest distance of an inlier to the axis
        int inliers = 0;
        int outliers = 0;
        float axisY = 0.0f;            // y of the unit axis
    };
    static int ForearmRejection(const ForearmMeasures& m);

    // The process-wide detector (SSE switch on), built on first use.
    static DUZHandDetector& GetInstance();

    // sse: the labeller's run-based path. Tests build their own detectors;
    // the clients use GetInstance.
    explicit DUZHandDetector(int sse);
    ~DUZHandDetector();
    DUZHandDetector(const DUZHandDetector&) = delete;
    DUZHandDetector& operator=(const DUZHandDetector&) = delete;

    // The first call sets up (settings, work buffers at the resolution,
    // maximum depth) and returns 1, or 0 when memory fails (the detector then
    // answers count 0 until a later call succeeds); later calls return 1 and
    // change nothing.
    int Initialize(const std::string& iniFile, int verbose, NAResolution resolution, unsigned short maxDepth);
    // Section "HandDetector": "MaxDistanceForCC", and only when that was
    // read, "UseDepthIsolationFilter". The success of the last read tried;
    // a missing key keeps its value.
    int ReadParameters(const std::string& iniFile, int verbose, int flag);

    // The hand candidates of the container's frame inside box. With a mask
    // (the depth map's size; a pixel moves where its value is at least
    // maskThreshold) moving candidates only; with useForearmFilter only
    // candidates with a forearm below them. A mask of another size returns
    // at once and writes nothing. labelsOut, when given, gets a copy of the
    // label map.
    void FindHandCandidates(const NADepthMapContainer* container, Box2D<int>& box, Array2D<unsigned short>* mask,
                            unsigned short maskThreshold, int useForearmFilter, xn::SceneMetaData* labelsOut,
                            ConnectedComponentProperties<float>& candidates, short& count);
    // The candidates that are heads. The cached frame of the container's
    // frame id and resolution serves whatever its box; without one, count 0
    // when allowCompute is 0, else the frame is computed for box.
    // resolution gets the candidates' resolution; the unsigned argument is
    // not used.
    void FindHeadCandidates(const NADepthMapContainer* container, Box2D<int>& box, int allowCompute,
                            ConnectedComponentProperties<float>& candidates, short& count, unsigned int& unused,
                            NAResolution& resolution);
    // The same, without the head, background and forearm filters.
    void FindBasicExtremeCandidates(const NADepthMapContainer* container, Box2D<int>& box, int allowCompute,
                                    ConnectedComponentProperties<float>& candidates, short& count,
                                    unsigned int& unused, NAResolution& resolution);

    // Computes the cached frame: edge maps, labels (into labels, null for
    // the detector's own map), measures and the cheap filters.
    void FindInitialHandCandidates(const NADepthMapContainer* container, const Box2D<int>& box,
                                   xn::SceneMetaData* labels, ConnectedComponentProperties<float>& candidates,
                                   short& count);
    // Pixel count, area, image box, world box and centre of labels 0 to
    // labelCount - 1 (at most 2000).
    void ComputeCCProperties(const NADepthMapContainer* container, ConnectedComponentProperties<float>& candidates,
                             int labelCount, const xn::SceneMetaData& labels);

    // The edge maps, all of the container's depth map's size. Each changes
    // the box it is given (see the .cpp). They need the buffers of
    // Initialize and write nothing without them or for frames wider than
    // 640 columns.
    void ComputeSobel(const NADepthMapContainer* container, short* horizontal, short* vertical, Box2D<int>& box);
    void VerticalDistance(const NADepthMapContainer* container, const short* vertical, unsigned short* output,
                          Box2D<int>& box);
    void DistanceFromEdges(const NADepthMapContainer* container, Box2D<int>& box, const short* horizontal, short jump,
                           short span, const unsigned short* verticalDistance, int verticalSwitch,
                           unsigned short* output);

    // Grows the six work maps to the resolution's size and sizes the label
    // map (nothing for a resolution without a size); false when the label
    // map cannot be allocated.
    bool SetArraySizes(NAResolution resolution);

    // The filters: 1 keeps the label, 0 rejects it (after ClearCC).
    int FilterBySize(ConnectedComponentProperties<float>& candidates, unsigned short label);
    int FilterEmptyBoxAbove(const NADepthMapContainer* container, ConnectedComponentProperties<float>& candidates,
                            short label);
    int FilterByDepthIsolation(const NADepthMapContainer* container, ConnectedComponentProperties<float>& candidates,
                               const xn::SceneMetaData* labels, short label);
    int FilterByBGModel(const NADepthMapContainer* container, ConnectedComponentProperties<float>& candidates,
                        const unsigned short* mask, unsigned short maskThreshold, const xn::SceneMetaData* labels,
                        unsigned short label);
    int FilterByForearm(const NADepthMapContainer* container, ConnectedComponentProperties<float>& candidates,
                        unsigned short* narrowLines, const unsigned short* mask, unsigned short maskThreshold,
                        const xn::SceneMetaData* labels, const xn::SceneMetaData* labels2, short label);

    NALogger* m_logger;
    int m_initialized;
    // One 8-lane mask per resolution 0 to 4: the lanes of the first block of
    // a row that lie inside the left margin are 0.
    const unsigned short* m_laneMasks[kNAResolutionLevels];
    int m_leftMargin;  // of the last computed frame
    unsigned int m_maxDistanceForCC;  // mm, the labeller's join threshold
    unsigned short m_maxDepth;  // depths from here up are never candidates
    xn::SceneMetaData m_labelMap;
    ConnectedComponentDetector m_labeller;
    NAHeadDetector m_headDetector;
    Statistics3D<float> m_forearmStatistics;  // reference point (0, 0, 0)
    unsigned short* m_leftPassRow;
    unsigned short* m_rightPassRow;
    unsigned short* m_upperRow;
    Array2D<unsigned short> m_verticalDistance;
    Array2D<unsigned short> m_edgeDistance;  // the labeller's input
    Array2D<unsigned short> m_narrowLines;   // the forearm filter's
    Array2D<short> m_horizontalDifferences;
    Array2D<short> m_verticalDifferences;
    // 1 fitted, 2 refit outlier, 3 walked; see FilterByForearm.
    Array2D<signed char> m_forearmMarks;
    uint32_t m_lastFrameId;
    NAResolution m_lastResolution;  // NoMatch: nothing cached
    ConnectedComponentProperties<float> m_initialCandidates;
    short m_initialCount;
    int m_backgroundDone;
    int m_headDone;
    int m_forearmDone;
    std::vector<int> m_backgroundResults;  // 1 keep, 0 drop
    std::vector<int> m_headResults;        // non-zero: a head
    std::vector<int> m_forearmFailures;    // 1: no forearm
    int m_useDepthIsolationFilter;
    int m_sse;
    Box2D<int> m_lastBox;  // as the caller gave it

private:
    void FreeBuffers();
    bool HasBuffers() const;
    // The cache holds the container's frame (and, with a box, for that box).
    bool CacheHolds(const NADepthMapContainer& container, const Box2D<int>* box) const;
    void ComputeFrame(const NADepthMapContainer& container, Box2D<int>& box);
    // The head filter over the caller's record: heads are cleared (keepHeads
    // 0) or kept alone (keepHeads 1).
    void ApplyHeadFilter(const NADepthMapContainer& container, ConnectedComponentProperties<float>& candidates,
                         short& count, int keepHeads);
    void FindExtremeCandidates(const NADepthMapContainer* container, Box2D<int>& box, int allowCompute,
                               ConnectedComponentProperties<float>& candidates, short& count,
                               NAResolution& resolution, bool headsOnly);
    bool IsLogging() const;
    void* m_buffers;  // the lane masks and row buffers, one aligned block
};
