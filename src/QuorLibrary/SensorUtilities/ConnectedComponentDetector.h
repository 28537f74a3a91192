#pragma once

// Labelling of an image into connected regions with 16-bit labels: 0 is
// background (value 0, or outside the selected value range), the regions are
// numbered 1, 2, 3 ... in the order a row-by-row scan meets their first
// pixel. Two neighbours belong together when both are foreground and their
// values differ by at most a threshold.
//
// Two implementations give the same numbering. The per-pixel path scans once
// with provisional labels merged in a DisjointSet, then renumbers. The
// run-based path (SSE flag set, 16-bit images only) cuts rows into runs of
// linked pixels with SSE2 code and joins runs of neighbouring rows; it always
// joins 4-neighbours, ignores the masks, ends a run on the first pixel that
// has no right link (that pixel may be 0) and accepts 1 to 319 rows.

#include <type_traits>

#include "OSLayer/XnPlatform.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/SensorUtilities/DisjointSet.h"
#include "QuorLibrary/SensorUtilities/LabelMapAccessors.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnSceneMetaData.h"

class ConnectedComponentDetector {
public:
    // One run of a row on the run-based path. After the last run of a row
    // follows a record with label -1.
    struct line {
        XnInt16 m_nFirst;  // first column
        XnInt16 m_nLast;   // last column, inclusive
        XnInt32 m_nLabel;  // run label (1, 2, 3 ... in scan order), -1 ends the list
        XnInt32 m_nRow;
    };

    // Provisional labels the per-pixel path can hold, label 0 included.
    static constexpr XnUInt32 kMaxProvisionalLabels = 40960;

    explicit ConnectedComponentDetector(bool sse = false);
    ~ConnectedComponentDetector();
    ConnectedComponentDetector(const ConnectedComponentDetector&) = delete;
    ConnectedComponentDetector& operator=(const ConnectedComponentDetector&) = delete;

    // 0: left and upper neighbours (4-connectivity); 1: also upper-left and
    // upper-right (8-connectivity). Other values make the per-pixel path fail.
    XnInt32 Mode() const { return m_nMode; }
    XnInt32& Mode() { return m_nMode; }
    // Labels of the last result, label 0 included (regions + 1); 0 after a
    // run that failed or whose window clamped to nothing.
    XnInt32 LabelCount() const { return m_nLabels; }
    const DisjointSet& Set() const { return m_disjointSet; }

    // Non-zero selects the run-based path from the next run on.
    void Set_SSE_Flag(XnInt32 flag) { m_nSSE = flag; }
    XnInt32 Get_SSE_Flag() const { return m_nSSE; }

    // The run-based path's work buffers; an owner that sets the SSE flag
    // allocates them once. They grow when an image needs more and never
    // shrink. Allocate returns false when they exist already or memory fails.
    bool Create_Objects_Allocate();
    void Create_Objects_Free();
    bool BuffersAllocated() const { return m_bBuffersAllocated; }

    // Labels the whole image. The masks, when both are given, restrict the
    // per-pixel path to 4-connectivity with the left neighbour looked at
    // only where joinLeft is set and the upper one only where joinUp is.
    // False (label count 0) when the image is missing, the label map cannot
    // be sized, the connectivity mode is unknown or the per-pixel path needs
    // more provisional labels than it holds (the labelled area is then 0).
    template <typename T>
    bool Run(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width, XnInt32 height,
             xn::SceneMetaData& labels, XnInt32 threshold);
    // Labels the pixels inside the window clamped to the image; on the
    // per-pixel path the labels outside it keep their values. An empty
    // clamped window gives false, label count 0 and an untouched map. Masks
    // and 8-connectivity are not implemented for windows on that path.
    template <typename T>
    bool Run(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width, XnInt32 height,
             const Box2D<int>& window, xn::SceneMetaData& labels, XnInt32 threshold);
    // The same over the pixels whose values lie in the window's z range
    // (16-bit images only; always the per-pixel path).
    template <typename T>
    bool Run(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width, XnInt32 height,
             const Box3D<int>& window, xn::SceneMetaData& labels, XnInt32 threshold);

    // Labels the non-zero pixels of the first image; neighbours are close
    // when close in either image under its own threshold. False when the
    // second image's size differs from the first's.
    bool RunHybrid(const Array2D<unsigned short>& first, const Array2D<unsigned short>& second,
                   xn::SceneMetaData& labels, XnInt32 firstThreshold, XnInt32 secondThreshold);

    // Replaces every label of the map, or of the window, by its union-find
    // parent entry (after a per-pixel run: its final number). Labels the set
    // does not hold are left as they are.
    void RemapLabels(xn::SceneMetaData& labels, const Box2D<int>* window);

    // ---- run-based path ----

    // Labels columns firstColumn ... endColumn - 1 of rows firstRow ...
    // endRow - 1 into labels (width x height, the whole map is rewritten)
    // and returns the number of regions; secondImage may be null. Heights
    // outside 1 ... 319 end the process. -1 when the buffers are missing,
    // memory fails, the area or width (at most 32767) is invalid, or the
    // regions do not fit 16-bit labels (the map is then all 0).
    XnInt32 Create_Objects(const XnUInt16* image, const XnUInt16* secondImage, XnUInt16* labels, XnInt32 width,
                           XnInt32 height, XnInt32 threshold, XnInt32 secondThreshold, XnInt32 firstColumn,
                           XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow);

    // Link maps of rows firstRow ... endRow - 1 (0xFFFF set, 0 clear), in
    // signed 16-bit lanes: the distance of a and b is max - min wrapping,
    // small when below threshold + 1 taken as signed 16-bit. Right link:
    // value > 0 and small distance to the right neighbour (never in the last
    // column); down link: small distance to the pixel below (0 in the last
    // row). The two-image forms link when either image's distance is small,
    // the sign test being on the first image. Images need no alignment and
    // rows any width; Is_Touch is the plain twin of Is_Touch_SSE.
    static void Is_Touch_SSE(const XnUInt16* image, XnInt32 width, XnInt32 height, XnInt32 threshold,
                             XnUInt16* rightLinks, XnUInt16* downLinks, XnInt32 firstRow, XnInt32 endRow);
    static void Is_Touch_SSE(const XnUInt16* image, const XnUInt16* secondImage, XnInt32 width, XnInt32 height,
                             XnInt32 threshold, XnInt32 secondThreshold, XnUInt16* rightLinks, XnUInt16* downLinks,
                             XnInt32 firstRow, XnInt32 endRow);
    static void Is_Touch(const XnUInt16* image, XnInt32 width, XnInt32 height, XnInt32 threshold,
                         XnUInt16* rightLinks, XnUInt16* downLinks, XnInt32 firstRow, XnInt32 endRow);
    static void Is_Touch(const XnUInt16* image, const XnUInt16* secondImage, XnInt32 width, XnInt32 height,
                         XnInt32 threshold, XnInt32 secondThreshold, XnUInt16* rightLinks, XnUInt16* downLinks,
                         XnInt32 firstRow, XnInt32 endRow);

    // After a run-based run: the runs of image row y (ended by a record with
    // label -1, labels as they were when joining ended) and their number;
    // null and 0 for rows outside the last image.
    const line* GetRowRuns(XnInt32 y) const;
    XnInt32 GetRowRunCount(XnInt32 y) const;

private:
    bool Fail();
    bool PrepareLabelMap(xn::SceneMetaData& labels, XnInt32 width, XnInt32 height);
    bool RunRuns(const XnUInt16* image, const XnUInt16* secondImage, xn::SceneMetaData& labels, XnInt32 width,
                 XnInt32 height, XnInt32 threshold, XnInt32 secondThreshold, XnInt32 firstColumn,
                 XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow);
    template <typename Foreground, typename Close>
    bool LabelPixels(const Foreground& foreground, const Close& close, const bool* joinLeft, const bool* joinUp,
                     XnInt32 width, XnInt32 firstColumn, XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow,
                     XnUInt16* labels, bool eightConnected);
    template <typename T>
    bool RunWindow(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width, XnInt32 height,
                   const Box2D<int>& window, xn::SceneMetaData& labels, XnInt32 threshold, bool hasRange,
                   XnInt32 minValue, XnInt32 maxValue, XnUInt32 maskLine, XnUInt32 modeLine);
    bool ReserveRunBuffers(XnInt32 width, XnInt32 height, XnInt64 maxRuns);
    XnInt32 Assign_lines(const XnUInt16* image, const XnUInt16* rightLinks, XnInt32 width, XnInt32 height,
                         XnInt32 firstColumn, XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow);
    void JoinRows(XnInt32 firstRow, XnInt32 endRow, const XnUInt16* downLinks, XnInt32 width);
    XnInt32 Root(XnInt32 label) const;

    XnInt32 m_nMode;
    DisjointSet m_disjointSet;
    XnInt32 m_nLabels;
    bool m_bBuffersAllocated;

    // Run-based work buffers, 16-byte aligned, each with its capacity in elements.
    line* m_pRuns;  // row y's list starts at y * m_nRunStride
    XnUInt32 m_nRunsCapacity;
    XnInt32* m_pEquivalence;
    XnUInt32 m_nEquivalenceCapacity;
    XnUInt32* m_pFinalLabels;
    XnUInt32 m_nFinalLabelsCapacity;
    XnInt32* m_pRowRunCounts;
    XnUInt32 m_nRowRunCountsCapacity;
    XnUInt16* m_pRightLinks;
    XnUInt16* m_pDownLinks;
    XnUInt32 m_nLinksCapacity;
    XnInt32 m_nRunStride;  // records per row list of the last run
    XnInt32 m_nRunRows;    // rows of the last run-based image

    XnInt32 m_nSSE;
};
