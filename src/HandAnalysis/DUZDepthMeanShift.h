#pragma once

// The mean-shift engines of the hand trackers. Both move a hand position to
// a weighted centre of the pixels around it, recomputing the search window
// and depth interval before every step, until the move is small or an
// iteration limit is reached.
//
// DUZDepthProbMeanShift, the engine of the per-hand tracker, weights pixels
// by the frame's combined probability map, biased along the forearm. It
// keeps the tracker's search-box sizes in a scaled form, so that the tracker
// can try the same tracking at several box sizes; its owner undoes every
// Rescale before the frame ends. DUZDepthMeanShift is the older depth-only
// engine, which weights pixels by height and nearness instead.

#include <memory>
#include <vector>

#include "HandAnalysis/DUZHandTrackerBase.h"
#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NALogger.h"
#include "NACommon/NAMotionPredictor.h"
#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Math/VectorND.h"
#include "QuorLibrary/Utilities/Array2D.h"

class DUZDepthProbMeanShift {
public:
    using State = DUZHandTrackerBase::State;
    using PredictorHolder = std::unique_ptr<NAMotionPredictor<float>>;

    // predictor is the owner's predictor pointer, read at every bounds
    // update, so a predictor the owner replaces is seen. A non-null
    // shiftHistogram must hold maxShift + 1 ints; with null, and the depth
    // adjustment on, the engine keeps storage of its own. auxiliaryBuffer is
    // kept and not used.
    DUZDepthProbMeanShift(const PredictorHolder& predictor, const Box3D<float>& searchBoundsSizeRW,
                          const Box3D<float>& maxSearchBoundsSizeRW, int maxShift, int maxIterations,
                          const float& convergenceDistanceThreshold, const float& probabilityBoundsMargin,
                          int computeCenter, int adjustDepthBoundsByHistogram, int* auxiliaryBuffer,
                          int* shiftHistogram);
    DUZDepthProbMeanShift(const DUZDepthProbMeanShift&) = delete;
    DUZDepthProbMeanShift& operator=(const DUZDepthProbMeanShift&) = delete;

    // Scales both search boxes and the scale.
    void Rescale(const float& factor);

    // The tracker's bounds computation without the probability map: the
    // window, depth interval and relative box around position from this
    // engine's boxes; empty bounds make the state lost (silently).
    void UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, Box1D<int>& depthBounds,
                                    Box2D<int>& searchBounds, Box3D<float>& searchBox, State& state,
                                    const Vector3D<float>& uncertainty, const Vector3D<float>& position);
    // The bounds of a tracker frame: with setProbabilityBounds, also the
    // probability window (the search window widened by the margin at the
    // hand's depth, inside the image); without, the search window clipped
    // to the probability window, and the depth interval narrowed by the
    // histogram when that is switched on.
    void UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, const Array2D<int>& map,
                                    Box1D<int>& depthBounds, Box2D<int>& searchBounds, Box2D<int>& probabilityBounds,
                                    Box3D<float>& searchBox, State& state, int setProbabilityBounds,
                                    const Vector3D<float>& uncertainty, const Vector3D<float>& position);
    // The probability-weighted centre of the window (search and probability
    // windows intersected) over depths in depthBounds, each pixel weighted
    // along direction on a 300 mm ramp centred on position (a zero direction
    // weighs all alike). 0, position unchanged, when computeCenter is 0 or
    // nothing weighs.
    int ComputeWeightedHandCenter(const NADepthMapContainer& frame, const Array2D<int>& map,
                                  Vector3D<float>& position, const Box2D<int>& searchBounds,
                                  const Box2D<int>& probabilityBounds, const Vector3D<float>& direction,
                                  const Box1D<int>& depthBounds, int computeCenter) const;
    // Bounds from the current position, then the centre; 0, state lost, on
    // failure.
    int Step(const NADepthMapContainer& frame, const Array2D<int>& map, Vector3D<float>& position,
             Box1D<int>& depthBounds, Box2D<int>& probabilityBounds, Box3D<float>& searchBox, State& state,
             const Vector3D<float>& uncertainty, const Vector3D<float>& direction);
    // Steps until a move of at most the convergence distance, then the world
    // box of searchBounds and depthBounds. The number of steps, or -1 at
    // once when a step fails (searchBoundsRW untouched).
    int StepToConvergence(const NADepthMapContainer& frame, const Array2D<int>& map, State& state,
                          Vector3D<float>& position, Box3D<float>& searchBoundsRW, Box1D<int>& depthBounds,
                          Box2D<int>& searchBounds, Box2D<int>& probabilityBounds, Box3D<float>& searchBox,
                          const Vector3D<float>& uncertainty, const Vector3D<float>& direction);
    // The shift histogram (size bins) of the box inside depthBounds where
    // mask is non-zero.
    void CalculateShiftHistogramUsingMask(int* histogram, Box2D<int>& box, Box1D<int>& shiftBounds,
                                          Box1D<unsigned short>& range, const NADepthMapContainer& frame,
                                          const Array2D<int>& mask, const Box1D<int>& depthBounds, int size);

    int m_maxIterations;
    float m_convergenceDistanceThreshold;  // mm
    float m_probabilityBoundsMargin;       // mm
    Box3D<float> m_searchBoundsSizeRW;
    Box3D<float> m_maxSearchBoundsSizeRW;
    const PredictorHolder& m_predictor;
    int m_computeCenter;
    int m_adjustDepthBoundsByHistogram;
    int* m_auxiliaryBuffer;
    // maxShift + 1 bins of the depth adjustment.
    int* m_shiftHistogram;
    float m_scale;  // product of the Rescale factors
    // Running area sums of the depth adjustment by shift (maxShift + 1).
    std::vector<int> m_cumulativeArea;
    NALogger* m_logger;
    int m_maxShift;

private:
    // Moves the far end of depthBounds in between the first and the last
    // peak of the window's shift histogram, and the near end nearer while
    // the area within 100 mm in front is large.
    void AdjustDepthBoundsByHistogram(const NADepthMapContainer& frame, const Array2D<int>& map,
                                      const Box2D<int>& searchBounds, Box1D<int>& depthBounds);

    std::vector<int> m_ownedShiftHistogram;
};

class DUZDepthMeanShift {
public:
    using State = DUZHandTrackerBase::State;
    using PredictorHolder = std::unique_ptr<NAMotionPredictor<float>>;

    DUZDepthMeanShift(const PredictorHolder& predictor, bool adjustDepthBoundsByHistogram,
                      const Box3D<float>& searchBoundsSizeRW, const Box3D<float>& maxSearchBoundsSizeRW,
                      int maxIterations, const float& convergenceDistanceThreshold, const float& rowWeight,
                      const float& depthWeight, unsigned short maxDepth);
    virtual ~DUZDepthMeanShift() = default;
    DUZDepthMeanShift(const DUZDepthMeanShift&) = delete;
    DUZDepthMeanShift& operator=(const DUZDepthMeanShift&) = delete;

    void Rescale(const float& factor);

    // 8-mm bins of the box's depths inside depthBounds.
    void CalculateHistogram(const NADepthMapContainer& frame, const Box2D<int>& box, const Box1D<int>& depthBounds,
                            VectorND<int>& histogram) const;
    // Bins of the box's shifts inside depthBounds where mask is non-zero
    // (shifts beyond the histogram's bins are not counted).
    void CalculateShiftHistogramUsingMask(const NADepthMapContainer& frame, const Box2D<int>& box,
                                          const Box1D<int>& depthBounds, const Array2D<int>& mask,
                                          Box1D<unsigned short>& range, Box1D<int>& shiftBounds,
                                          VectorND<int>& histogram) const;
    // The far end of depthBounds at the first 8-mm bin where the area seen
    // from the near side passes 20000 mm^2; else at most m_maxDepth.
    void UpdateDepthBoundsAccordingToHistogram(const NADepthMapContainer& frame, const Box2D<int>& box,
                                               Box1D<int>& depthBounds, VectorND<int>& histogram) const;
    // The window and depth interval around position; 0, state lost, when
    // empty.
    int UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, const Vector3D<float>& position,
                                   Box2D<int>& searchBounds, Box1D<int>& depthBounds, State& state,
                                   const Vector3D<float>& uncertainty);
    // The centre of the window's pixels in depthBounds, upper rows and
    // nearer depths weighing more; pixels inside the first excluded world
    // box that meets the window do not count. 0 when nothing weighs.
    int ComputeWeightedHandCenter(const NADepthMapContainer& frame, Vector3D<float>& position,
                                  const Box2D<int>& searchBounds, const Box1D<int>& depthBounds,
                                  const Box3D<float>* excludedBoxes, int excludedCount) const;
    int Step(const NADepthMapContainer& frame, Vector3D<float>& position, Box2D<int>& searchBounds,
             Box1D<int>& depthBounds, State& state, const Vector3D<float>& uncertainty,
             const Box3D<float>* excludedBoxes, int excludedCount);
    // The number of steps run (a failed one included).
    virtual int StepToConvergence(const NADepthMapContainer& frame, Vector3D<float>& position,
                                  Box3D<float>& searchBoundsRW, Box2D<int>& searchBounds, Box1D<int>& depthBounds,
                                  State& state, const Vector3D<float>& uncertainty, const Box3D<float>* excludedBoxes,
                                  int excludedCount);

    bool m_adjustDepthBoundsByHistogram;
    const PredictorHolder& m_predictor;
    VectorND<int> m_histogram;  // 1250 bins of 8 mm
    Box3D<float> m_searchBoundsSizeRW;
    Box3D<float> m_maxSearchBoundsSizeRW;
    int m_maxIterations;
    float m_convergenceDistanceThreshold;
    float m_rowWeight;
    float m_depthWeight;
    float m_scale;
    NALogger* m_logger;
    unsigned short m_maxDepth;
};
