#pragma once

// The per-pixel background of the hand side, in sensor shift units (which
// grow with distance). Each pixel keeps a mean, how many updates in a row
// it matched that mean and how many it had no depth. From these come the
// foreground probability (0 to FG_PROB_SCALE) that the hand trackers
// multiply with the hand filter's, and the 0/1 masks of recently changed
// pixels that the hand and focus detectors search.
//
// The hand-tracker manager owns the model: it seeds it from the current
// frame when the first hand starts, forgets the background under each new
// hand, and updates it every frame outside the tracked hands. Everything
// else only reads it.

#include <cstdint>
#include <string>

#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAResolution.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"

class DUZHandTrackerBackgroundModel {
public:
    // Probability of certain foreground.
    static constexpr int16_t FG_PROB_SCALE = 1000;
    // The mean of a pixel whose background is not known.
    static constexpr int16_t MAX_STATIC_VALUE = 10000;

    // Rows of the radius table.
    enum RadiusRow { eBackgroundErosion = 0, eProbabilityErosion = 1, eProbabilityDilation = 2 };

    DUZHandTrackerBackgroundModel();
    ~DUZHandTrackerBackgroundModel();
    DUZHandTrackerBackgroundModel(const DUZHandTrackerBackgroundModel&) = delete;
    DUZHandTrackerBackgroundModel& operator=(const DUZHandTrackerBackgroundModel&) = delete;

    // Sized for the metadata's resolution (0 x 0 for a size that is none of
    // the levels) and reset. The file name and verbosity are not used; 1.
    int Initialize(const xn::DepthMetaData& depth, const std::string& iniFile, int verbose);
    // Nothing is configurable; 1.
    int ReadParameters(const std::string& iniFile, int verbose, int flag);

    // Resamples the learnt background to the resolution's size; the
    // computed box becomes the whole image.
    void UpdateResolution(NAResolution resolution);
    // Forgets every pixel.
    void Reset();
    // Forgets the pixels of box whose hand-mask entry is handMaskValue.
    void Reset(const Array2D<unsigned short>& handMask, unsigned short handMaskValue, const Box2D<int>& box);

    // Seeds the box from the container's shift map: pixels with depth are
    // trusted background at once. The SSE form covers the whole 8-pixel
    // groups the box touches and leaves the computed box; the plain one
    // covers the box exactly and records it.
    void SetToCurrentShiftMapSSE(const NADepthMapContainer& container, const Box2D<int>& box);
    void SetToCurrentShiftMap(const NADepthMapContainer& container, const Box2D<int>& box);

    // One frame of learning over box, leaving alone the pixels with depth
    // whose hand-mask entry is handMaskValue. Nothing for an empty box.
    void Update(const NADepthMapContainer& container, const Box2D<int>& box, const Array2D<unsigned short>& handMask,
                unsigned short handMaskValue);
    // The vectorised update over the 8-pixel groups the box touches; a pixel
    // forgets its background on the eleventh frame without depth.
    void UpdateSSE(const NADepthMapContainer& container, const Box2D<int>& box,
                   const Array2D<unsigned short>& handMask, unsigned short handMaskValue);
    // The plain update over exactly the box; a pixel forgets on the tenth
    // frame without depth.
    void UpdateNoSSE(const NADepthMapContainer& container, const Box2D<int>& box,
                     const Array2D<unsigned short>& handMask, unsigned short handMaskValue);

    // The foreground probability of each pixel of box (clipped to the
    // computed box, with a line on standard output when that cuts it) into
    // output, sized to the model. Exchanges buffers with output: hold no
    // pointer into it across the call. Outside the box output is undefined.
    void ComputeForegroundProbabilityMap(const NADepthMapContainer& container, const Box2D<int>& box,
                                         Array2D<short>& output) const;

    // 1 inside box (at the container's resolution, no finer than the
    // model's) where the container has depth, the scene changed recently
    // and, with useHandMask, no tracked hand covers the pixel; else 0.
    // False, with a logged error and nothing written, for a model or a
    // resolution without a size or finer than the model's.
    bool ComputeHandDetectorForgroundMask(const NADepthMapContainer& container, const Box2D<int>& box,
                                          int useHandMask, const Array2D<unsigned short>& handMask,
                                          unsigned short handMaskValue, Array2D<unsigned short>& output) const;
    // The same over the whole image at resolution (the container's depth
    // must have that size), without a hand mask.
    bool ComputeFocusForegroundMask(const NADepthMapContainer& container, NAResolution resolution,
                                    Array2D<unsigned short>& output) const;
    // The no-depth counters or the means, decimated to resolution.
    bool GetNoDepthCounterArray(NAResolution resolution, Array2D<unsigned short>& output) const;
    bool GetMeanDepthArray(NAResolution resolution, Array2D<unsigned short>& output) const;

    // Brings array to newWidth x newHeight by pixel replication or by
    // taking the top-left pixel of each block; the ratio comes from the
    // widths. Nothing when the width is unchanged. scratch receives the old
    // contents.
    template <typename T>
    static void Resample(Array2D<T>& array, Array2D<T>& scratch, int newWidth, int newHeight);

    int Width() const { return m_meanDepthArray.Columns(); }
    int Height() const { return m_meanDepthArray.Rows(); }
    // The level of the model's size; NoMatch for 0 x 0.
    NAResolution Resolution() const;

    Box2D<int> m_computedBox;
    Array2D<unsigned short> m_meanDepthArray;        // shift units; MAX_STATIC_VALUE = unset
    Array2D<unsigned short> m_staticCounterArray;    // updates in a row matching the mean
    Array2D<unsigned short> m_noDepthCounterArray;   // updates in a row without depth
    mutable Array2D<short> m_workMap1;
    mutable Array2D<short> m_workMap2;
    Array2D<unsigned short> m_resampleScratch;
    uint16_t m_noDepthFrameLimit;
    // A mean is background once its static counter reaches this.
    uint16_t m_minStaticCount;
    // The masks see a pixel while its static counter is at most this.
    uint16_t m_foregroundStaticLimit;
    int16_t m_matchThreshold;
    int16_t m_rampStart;
    int16_t m_rampEnd;
    // Radii per row (RadiusRow) and NAResolution level; a radius r is a
    // window of 2r + 1 pixels, 0 skips the step.
    int m_radius[3][kNAResolutionLevels];

private:
    // The model's level and the factor from a coarser level's pixels to
    // the model's; false, with an error logged for caller, when the model
    // has no size or the level is unsized or finer.
    bool DecimationFactor(NAResolution resolution, const char* caller, int& factor) const;
    // output[y][x] = pick(x, y, model index of (x factor, y factor)) over
    // the resolution's image, output sized to it.
    template <typename Pick>
    void Decimate(NAResolution resolution, int factor, Array2D<unsigned short>& output, Pick pick) const;
    bool DecimatedCopy(NAResolution resolution, const char* caller, const Array2D<unsigned short>& array,
                       Array2D<unsigned short>& output) const;
    // Whether a map of this size may be read at the model's pixels; logs
    // an error for caller otherwise.
    bool HasModelSize(int width, int height, const char* caller) const;
    // The same for the container's shift map, which must exist.
    bool ShiftMapFits(const NADepthMapContainer& container, const char* caller) const;
    // Minimum or maximum of source over (2 radius + 1)^2 windows clipped to
    // box, into destination (sized like source).
    static void FilterWindow(const Array2D<short>& source, Array2D<short>& destination, const Box2D<int>& box,
                             int radius, bool erode);
};
