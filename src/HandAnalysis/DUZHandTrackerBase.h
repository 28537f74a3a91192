#pragma once

// The core of every tracker that follows one hand from depth frame to depth
// frame: the hand's world position, a motion predictor, the search window
// in the image and in depth, and the state (tracking, lost, inactive). Each
// frame the owner calls ComputePredictionAndBounds and then Update, which
// runs the fixed sequence: prepare, step to convergence, validate, update
// the state. What a step does, what is prepared and what is validated
// belong to the derived trackers.
//
// m_state is the state published at the end of the last Update; m_newState
// is decided during the running frame (every frame starts as a tracking
// attempt, also for a lost tracker). A lost tracker searches around its last
// known position in a window that grows with the time since then, and
// turns inactive when that time passes its recovery limit.

#include <cstdint>
#include <memory>
#include <string>

#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NALogger.h"
#include "NACommon/NAMotionPredictor.h"
#include "NACommon/NAResolution.h"
#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array2D.h"

class DUZHandTrackerBase {
public:
    enum State : int32_t { eTracking = 0, eLost = 1, eInactive = 2 };

    // Bins of the depth histogram: 8 mm each, depths 0 to 9999.
    static constexpr int kDepthHistogramBins = 1250;
    // The most steps a frame may take.
    static constexpr int kMaxIterationsLimit = 1000;

    virtual ~DUZHandTrackerBase();
    DUZHandTrackerBase(const DUZHandTrackerBase&) = delete;
    DUZHandTrackerBase& operator=(const DUZHandTrackerBase&) = delete;

    // Reads the settings (ReadParameters with flag 1) and installs a fresh
    // linear predictor; both states inactive. 0, with nothing else changed,
    // when the settings cannot be read.
    int Initialize(const std::string& iniFile, int verbose);

    // MaxIterations, LostTrackingRecoveryTimeLimit, ConvergenceDistanceThreshold
    // and SearchBoundsSizeRW from the section GetINISectionName names; a
    // missing key keeps the current value, and so does, with a line on
    // standard error, more than kMaxIterationsLimit steps or a number that
    // is not finite. 1.
    virtual int ReadParameters(const std::string& iniFile, int verbose, int flag);
    virtual void UpdateResolution(NAResolution resolution, int flag);
    // Tracking from position at the frame's time. 0, with nothing changed,
    // for a tracker that has no predictor (never initialised).
    virtual int StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position);
    // Predicts the position for the frame and bounds the search around it.
    virtual void ComputePredictionAndBounds(const NADepthMapContainer& frame);
    // The frame's sequence; nothing for an inactive tracker.
    virtual void Update(const NADepthMapContainer& frame);
    // Inactive, the predictor restarted at the origin and time 0.
    virtual void Reset();
    virtual unsigned int GetID() const { return m_id; }
    virtual const char* GetINISectionName() const { return "BaseTracker"; }
    // The number of steps run (failed ones included).
    virtual int StepToConvergence(const NADepthMapContainer& frame);
    virtual void PrepareForSteps(const NADepthMapContainer& frame);
    // The search window and depth interval around m_position (flag is for
    // the derived trackers); empty bounds make the tracker lost.
    virtual void UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, int flag);
    // Here the centre is the current position.
    virtual int ComputeWeightedHandCenter(const NADepthMapContainer& frame, Vector3D<float>& center);
    virtual int Step(const NADepthMapContainer& frame);
    virtual void Validate(const NADepthMapContainer& frame);
    virtual void UpdateTrackerState(const NADepthMapContainer& frame);

    // m_depthHistogram of the box's depths inside m_depthBounds.
    void CalculateHistogram(const NADepthMapContainer& frame, const Box2D<int>& box);
    // The same over the pixels where mask is non-zero; range grows to the
    // depths counted.
    void CalculateHistogramUsingMask(const NADepthMapContainer& frame, const Box2D<int>& box, const Array2D<int>& mask,
                                     Box1D<unsigned short>& range);
    // m_shiftHistogram of the box's shifts inside m_depthBounds (turned into
    // m_shiftBounds) where mask is non-zero; range grows to the shifts
    // counted.
    void CalculateShiftHistogramUsingMask(const NADepthMapContainer& frame, const Box2D<int>& box,
                                          const Array2D<int>& mask, Box1D<unsigned short>& range);

    // Takes over another tracker's result: both states, uncertainty, search
    // window, world search box and its size setting, depth interval, the
    // predictor's last sample (this predictor's previous one is kept),
    // position and previous position.
    void CopyState(const DUZHandTrackerBase& other);

    // The search geometry shared with the mean-shift engines. From the
    // position p, its uncertainty u and the predictor's last sample q: the
    // box sizeBox around p, stretched to reach q, widened by u and capped by
    // capBox (searchBox, relative to p), and its projection into the frame
    // (searchBounds, inclusive pixels, and depthBounds, inclusive mm, up to
    // the depth map's z resolution). False when the bounds are empty.
    static bool ComputeSearchBounds(const NADepthMapContainer& frame, const Box3D<float>& sizeBox,
                                    const Box3D<float>& capBox, const Vector3D<float>& position,
                                    const Vector3D<float>& uncertainty, const Vector3D<float>& lastSample,
                                    Box3D<float>& searchBox, Box2D<int>& searchBounds, Box1D<int>& depthBounds);
    // The 8-mm depth histogram (kDepthHistogramBins bins, cleared first) of
    // the box's pixels whose depth lies in depthBounds (and, with a mask,
    // whose mask value is non-zero; range then grows to the depths counted).
    // Depths beyond the last bin are not counted.
    static void DepthHistogramOfWindow(const NADepthMapContainer& frame, const Box2D<int>& box,
                                       const Array2D<int>* mask, const Box1D<int>& depthBounds, int* histogram,
                                       Box1D<unsigned short>* range);
    // The shift histogram (bins entries, cleared first) of the box's pixels
    // whose shift lies in depthBounds turned into shifts (shiftBounds) and
    // whose mask value is non-zero; range grows to the shifts counted.
    static void ShiftHistogramOfWindow(const NADepthMapContainer& frame, const Box2D<int>& box,
                                       const Array2D<int>& mask, const Box1D<int>& depthBounds, int* histogram,
                                       int bins, Box1D<int>& shiftBounds, Box1D<unsigned short>& range);
    // The world box that a pixel window and depth interval cover.
    static Box3D<float> ComputeSearchBoundsRW(const NADepthMapContainer& frame, const Box2D<int>& searchBounds,
                                              const Box1D<int>& depthBounds);

    uint32_t m_id;  // given by the owner
    NALogger* m_logger;
    State m_state;
    State m_newState;
    Vector3D<float> m_position;      // world mm
    Vector3D<float> m_prevPosition;  // at the end of the previous Update
    std::unique_ptr<NAMotionPredictor<float>> m_predictor;
    Vector3D<float> m_uncertainty;   // of the last prediction, mm per axis
    Box3D<float> m_searchBox;        // relative to m_position
    Box2D<int> m_searchBounds;
    Box1D<int> m_depthBounds;
    Box1D<int> m_shiftBounds;
    int m_depthHistogram[kDepthHistogramBins];
    // One bin per shift value 0 to m_maxShift.
    std::unique_ptr<int[]> m_shiftHistogram;
    Box3D<float> m_searchBoundsRW;
    int m_maxIterations;
    float m_convergenceDistanceThreshold;    // mm
    float m_lostTrackingRecoveryTimeLimit;   // s
    Box3D<float> m_searchBoundsSizeRW;
    Box3D<float> m_maxSearchBoundsSizeRW;
    int m_iterations;
    int m_maxShift;

protected:
    // maxShift: the depth stream's largest shift value.
    explicit DUZHandTrackerBase(int maxShift);

    // A "HandTracker" line "Tracker ID <id><text>" when logging is on.
    void LogTrackerMessage(const char* text) const;
    // The predictor's last sample position; the current position without a
    // predictor.
    Vector3D<float> LastSamplePosition() const;
};

// A hand's width and height in mm at position, measured on the depth map
// from the position's pixel along its row and column inside box, over
// neighbours whose depths differ by at most 99 mm. (0, 0) when the position
// does not project onto the map.
Vector2D<float> CalculateHandSize(const NADepthMapContainer& frame, const Vector3D<float>& position,
                                  const Box2D<int>& box);
