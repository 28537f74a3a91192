#pragma once

// The background (far-field) model of one depth stream at one resolution.
// Per pixel it keeps the farthest shift seen stable there; each frame it
// updates that background from the current shift map and the two before,
// forgets pixels that had no depth for a while, writes the frame's
// foreground depth image (pixels clearly in front of the background),
// decides from the recent rates of foreground and background change whether
// the camera itself moved (and then restarts from the next frame), tracks
// whether the sensor is occluded, and puts foreground components that belong
// to the background back into it. A derived model answers whether a
// component lies near or touches a tracked user and makes the foreground
// map (ImproveFg); the scene analyzer's Farfield and the gesture side's
// focus model derive from it.
//
// Shifts grow with depth and 0 means no depth. Areas are integer square
// millimetres: the weight ((d + 256) >> 9)^2 of a depth d times the area
// factor (see AreaWeight and m_nAreaFactor).
//
// Every per-pixel stage has an eight-pixel twin chosen by m_bSSE that gives
// the same maps and sums: the background update keeps its row sums in
// signed 16-bit lanes (widths up to 640 with real depths) and every twin
// finishes a width that is not a multiple of 8 with the plain code.
//
// The virtual operations are declared in the order derived models rely on.
// Members are public: the segmentation reads the maps, flags and counters
// directly.

#include <cstdint>
#include <fstream>

#include "NACommon/NAFarfieldCC.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/CyclicBuffer.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

class NACommonData;

class NAFarfield {
public:
    // Component records, label 0 meaning no component.
    static constexpr int kMaxComponents = 2000;
    // Depths of 4-neighbours that join one foreground component (mm).
    static constexpr int kComponentDepthThreshold = 60;
    // A pixel without depth for more frames than this loses its background.
    static constexpr int kMaxNoDepthFrames = 10;
    // The settling counter's sentinel: at this count the background restarts
    // from "unknown since a restart" (Reset sets it, so the next frame does).
    static constexpr uint32_t kRestartCount = 30;
    static constexpr uint32_t kMaxFramesSinceReset = 60;

    NAFarfield();
    virtual ~NAFarfield();
    NAFarfield(const NAFarfield&) = delete;
    NAFarfield& operator=(const NAFarfield&) = delete;

    // Binds the hub (not owned) and sizes every map for res; maps only grow.
    // False when the resolution or the hub's conversions cannot serve the
    // model, or the edge allowance table cannot be allocated.
    virtual bool Initialize(NACommonData* data, Resolution res, int sse, int profiling, int rowBands);
    // One frame: depths[0] and [1] this frame's and the previous frame's
    // depth maps, shifts[0..2] the shift maps of this frame and the two
    // before. Maps whose sizes disagree are ignored; a frame of another size
    // re-initialises the model at the matching resolution first.
    virtual void Update(const xn::DepthMetaData** depths, const Array2D<uint16_t>** shifts, unsigned frameId,
                        SensorTime time, const Box2D<int>& validBox);
    // Restarts: the next frame relearns the background from scratch.
    virtual void Reset();
    virtual const Array2D<uint16_t>& GetForegroundImage() const;
    // Clears any per-pixel counter a derived model keeps beside the no-depth
    // counters; called whenever those are cleared.
    virtual void initializeShadowCounter();
    // Per pixel of a row: the counter becomes 0 where the shift is non-zero,
    // else grows by one. A derived model may also clear background pixels.
    virtual void UpdateFarfieldLineNoDepth(int16_t row, const uint16_t* shiftRow, uint16_t* counterRow,
                                           uint16_t* backgroundRow);
    virtual void UpdateFarfieldLineNoDepth_SSE(int16_t row, const uint16_t* shiftRow, uint16_t* counterRow,
                                               uint16_t* backgroundRow);
    // Whether a component lies near a tracked user (the base knows none and
    // says yes); may fill the component's depth bounds.
    virtual bool isCCCloseToUser(NAFarfieldCC& cc);
    // Whether a component touches a tracked user.
    virtual bool isCCAdjacentToUser(const NAFarfieldCC& cc);
    // Fill the foreground map, the whole image or rows firstRow..lastRow.
    virtual void ImproveFg();
    virtual void ImproveFg_SSE(int firstRow, int lastRow);

    // Initialize has succeeded: the maps and tables serve Update.
    bool IsInitialized() const { return m_pCommonData != nullptr && m_pShiftThresh != nullptr && m_nPixels > 0; }

    int IsReset() const { return m_bReset; }
    int OccludedScene() const { return m_bOccludedScene; }
    int CameraMotionDetectedAfterOcclusion() const { return m_bCameraMotionAfterOcclusion; }

    // Unless the scene is occluded, the memory takes every known background.
    void UpdateFarfieldWithMemory();
    // Inside the box, pixels carrying label take the given shift as
    // background; area is booked as transient background.
    void ImportExternalShift(const Array2D<uint16_t>& shift, const xn::SceneMetaData& labels, int label, int left,
                             int right, int top, int bottom, int area);
    // Opens the profiling file and writes its header line; a file that does
    // not open leaves the stream failed and nothing is written.
    void SetProfFile(const char* path);

    // Steps of one frame, in order.
    void UpdateFrame(const xn::DepthMetaData** depths, const Array2D<uint16_t>** shifts, unsigned frameId,
                     SensorTime time, const Box2D<int>& validBox);
    void RunFarfield(Array2D<uint16_t>& counter, Array2D<uint16_t>& background);
    void CreateFg(const Array2D<uint16_t>& background, const Box2D<int>& box);
    void CreateFg_SSE(const Array2D<uint16_t>& background, int top, int bottom);
    // Camera-motion detection (NAFarfieldCameraMotion.cpp).
    void DetectCameraMotion();
    // The signed area weight sum of pixels entering (fg set, prevFg clear)
    // and leaving the foreground, depth..fgEnd being the current foreground
    // image; entering pixels are marked 1 in newFg.
    int NumFg(const uint16_t* depth, const uint16_t* prevDepth, const uint16_t* prevFg, const uint16_t* fgEnd,
              int32_t* newFg) const;
    int NumFg_SSE(const uint16_t* depth, const uint16_t* prevDepth, const uint16_t* prevFg) const;
    void FeedFgBackIntoBg();
    // Foreground components (NAFarfieldComponents.cpp).
    void PerformDerivative(const Box2D<int>& band);
    void PerformDerivative_SSE(const Box2D<int>& band, int firstRow, int lastRow);
    void Feedback(Box2D<int>& band);
    // Maps point at pixel (left, top); rowSkip pixels lie between a row's
    // last scanned pixel and the next row's first.
    void UpdateCCProperties(int left, int right, int top, int bottom, int rowSkip, const uint16_t* labels,
                            const uint16_t* background, const uint16_t* foreground, const uint16_t* border,
                            const uint16_t* shift, const uint16_t* shiftPrev, const uint16_t* shiftPrev2,
                            int maxLabel);
    // Maps point at row 0; walks the labeller's runs of rows top..bottom.
    void UpdateCCProperties_SSE(int top, int bottom, const uint16_t* labels, const uint16_t* background,
                                const uint16_t* foreground, const uint16_t* border, const uint16_t* shift,
                                const uint16_t* shiftPrev, const uint16_t* shiftPrev2, int maxLabel);
    bool isCCAdjacentToBg(const NAFarfieldCC& cc) const;
    // The slack thresholds and the edge allowance table; false when the
    // table cannot be allocated.
    bool initializeShiftThresh();

    // The area weight of a depth.
    static int AreaWeight(int depth) {
        const int w = (depth + 256) >> 9;
        return w * w;
    }
    // The edge allowance of a shift.
    int EdgeAllowance(int shift) const {
        return shift < m_nFirstCoarseShift && shift < m_nShiftThreshSize ? m_pShiftThresh[shift]
                                                                           : m_nEdgeShiftThresh;
    }
    // The label of a record of m_ccProperties.
    int LabelOf(const NAFarfieldCC& cc) const { return static_cast<int>(&cc - m_ccProperties); }
    // The device's depth of a shift; 0 beyond its table.
    int DepthOfShift(int shift) const {
        return shift >= 0 && shift < m_nShiftTableSize ? m_pShiftToDepth[shift] : 0;
    }
    // The converter's area of one pixel at a depth, also beyond its tables.
    float PixelAreaAtDepth(int depth) const;

    bool m_bVerbose;
    NACommonData* m_pCommonData;
    int32_t m_bSSE;
    Resolution m_resolution;
    int16_t m_nXRes;
    int16_t m_nYRes;
    int32_t m_nPixels;
    int32_t m_nFrameId;
    Box2D<int> m_validBox;
    const xn::DepthMetaData* m_pCurrentDepth;
    const xn::DepthMetaData* m_pPreviousDepth;
    const WorldPointConverter<float>* m_pWorldConverter;
    const Array2D<uint16_t>* m_pShift;
    const Array2D<uint16_t>* m_pShiftPrev;
    const Array2D<uint16_t>* m_pShiftPrev2;
    Array2D<uint16_t> m_noDepthCounter;
    // 0 unknown, 1 unknown since a restart (every real shift is farther),
    // otherwise the shift.
    Array2D<uint16_t> m_background;
    Array2D<uint16_t> m_backgroundMemory;
    Array2D<uint16_t> m_ccBorder;
    Array2D<uint16_t> m_foreground;
    CyclicBuffer<Array2D<uint16_t>, 2> m_fgDepthHistory;
    CyclicBuffer<Array2D<int32_t>, 2> m_newFgHistory;
    int32_t m_nRowBands;
    ConnectedComponentDetector m_ccDetector;
    NAFarfieldCC m_ccProperties[kMaxComponents];
    xn::SceneMetaData m_ccLabels;
    int32_t m_bReset;
    int32_t m_bOccludedScene;
    int32_t m_bCameraMotion;
    int32_t m_bCameraMotionAfterOcclusion;
    uint32_t m_nFramesSinceReset;
    int32_t m_bMotionDetected;
    int32_t m_bMotionSuspected;
    int32_t m_nMotionLevel;
    int32_t m_bJustReset;
    CyclicBuffer<int32_t, 20> m_transientBgArea;
    CyclicBuffer<int32_t, 16> m_bgChangeArea;
    CyclicBuffer<int32_t, 15> m_fgChangeArea;
    CyclicBuffer<int64_t, 16> m_timeStamps;
    int64_t m_timeStamp;
    const uint16_t* m_pShiftToDepth;
    uint16_t* m_pShiftThresh;
    uint16_t m_nEdgeShiftThresh;
    uint16_t m_nEdgeDepthStep;
    uint16_t m_nFirstCoarseShift;
    uint16_t m_nShiftSlack;
    uint16_t m_nStableShiftThresh;
    uint16_t m_nBgAdjacencyThresh;
    int16_t m_nFgShiftMargin;
    int32_t m_bProfiling;
    std::ofstream m_profFile;
    // While set, the first update after a reset keeps a copy of the
    // background as it stood then, and the foreground is built against that
    // copy until the settling counter passes 59: an owner that resets keeps
    // seeing its old foreground while the new background settles. 0 after
    // construction.
    int32_t m_bResetBackground;
    Array2D<uint16_t> m_backgroundAtReset;

    // Beyond the model's own members: the area factor (the integer part of
    // p^2 x 262144, p the converter's pixel size per mm of depth), the
    // entries of m_pShiftThresh and of the device's shift-to-depth table,
    // and one row of scratch for the eight-pixel stages (sized by the
    // width).
    int32_t m_nAreaFactor;
    int32_t m_nShiftThreshSize;
    int32_t m_nShiftTableSize;
    Array<uint16_t> m_rowScratch;

private:
    // Counters of the no-depth and shadow kinds back to 0.
    void ClearCounters();
    // Whether this many pixels without depth, or the valid box, make the
    // frame occluded (entering), or clear enough to leave an occlusion.
    bool IsOccludedFrame(int64_t zeros) const;
    bool IsClearFrame(int64_t zeros) const;
    int64_t ValidBoxArea() const;
    // Leaving an occlusion: the memory comes back unless the camera moved.
    void LeaveOcclusion();
    // Step 4 of the background update, row by row.
    void UpdateBackgroundRows(uint16_t* counter, uint16_t* background, int64_t& zeros, int64_t& receded,
                              int64_t& transient);
    void UpdateBackgroundPixels(int begin, int end, const uint16_t* counter, uint16_t* background, int64_t& zeros,
                                int64_t& receded, int64_t& transient) const;
    void UpdateBackgroundRow_SSE(int row, const uint16_t* counter, uint16_t* background, int64_t& zeros,
                                 int64_t& receded, int64_t& transient);
    // One profiling column (ms since the previous stamp) and the NATiming line.
    void ProfileStage(uint64_t& last, const char* timingText);

    // Shared by the component stage's twins.
    bool IsStable(int s, int s1, int s2) const {
        const int a = s > s1 ? s - s1 : s1 - s;
        const int b = s > s2 ? s - s2 : s2 - s;
        const int c = s1 > s2 ? s1 - s2 : s2 - s1;
        return a < m_nStableShiftThresh && b < m_nStableShiftThresh && c < m_nStableShiftThresh;
    }
    // The border map's columns (strictly between left and right the map is
    // computed) and, on the first frame after a reset, its cleared frame.
    void PrepareBorderMap(const Box2D<int>& band, int& left, int& right);
    static bool IsBorderPixel(const XnLabel* labels, int x, int width) {
        const XnLabel c = labels[x];
        return c != 0 && (c != labels[x - 1] || c != labels[x + 1] || c != labels[x - width] || c != labels[x + width]);
    }
    void ClearOutsideColumns(uint16_t* row, int left, int right) const;
    // One pixel of a component; fg and shift point at the pixel in maps
    // whose rows are stride pixels apart.
    void MeasurePixel(NAFarfieldCC& cc, int column, int row, bool stable, uint16_t background, uint16_t border,
                      const uint16_t* fg, const uint16_t* shift, int stride) const;
    // Copies a component into the background; with booking, its box's area
    // counts as transient background.
    void CopyComponent(int label, bool book);
};
