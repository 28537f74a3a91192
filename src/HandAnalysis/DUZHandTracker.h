#pragma once

// Follows one hand of the hand tracker. Before its steps it builds the
// frame's combined probability map around its search window: the
// background model's foreground probability times the hand filter's
// hand-likeness, without the pixels the partition gives to another hand or
// to nobody and without what lies inside the head boxes the manager hands
// over, smoothed by a box filter. The steps are probability-weighted
// mean-shift iterations biased along the forearm. While tracking it checks
// the result by tracking the hand at three box sizes forwards on this frame
// and back on the previous one; the box size whose round trip comes back
// closest is used, or the hand is lost. Validation throws it out when it
// sits on a (large) head or when the spot does not look like a hand, and
// the forearm tracker may correct the hand position.
//
// All trackers of the process share one set of scratch maps
// (DUZHandTrackerSharedData); each preparation rewrites them only inside its
// own probability window, and its box filter exchanges the storage of the
// whole combined map with the swap map, so outside a tracker's window the
// combined map holds what earlier preparations left there.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "HandAnalysis/DUZDepthMeanShift.h"
#include "HandAnalysis/DUZForearmTracker.h"
#include "HandAnalysis/DUZHandBoundaryDetector.h"
#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandAnalysis/DUZHandTrackerBase.h"
#include "HandAnalysis/DUZHandTrackerSharedData.h"
#include "NACommon/NAExtremePointTracker.h"
#include "NACommon/NAHeadDetector.h"
#include "NACommon/NAResolution.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnImageMetaData.h"
#include "XnAdapter/XnNodes.h"

class DUZSatelliteTracker;

class DUZHandTracker : public DUZHandTrackerBase {
public:
    // The head boxes a frame can exclude.
    static constexpr int kMaxFilteredLocations = 50;
    // The search-box scales of the backwards tracking, largest first.
    static constexpr int kScales = 3;

    // Results of the last hand-boundary checks (1 = failed), newest at
    // m_position.
    struct BoundaryCheckHistory {
        static constexpr int kCapacity = 10;
        BoundaryCheckHistory() : m_values(), m_count(0), m_capacity(kCapacity), m_position(0) {}
        void Push(int value);
        // The failed share of the held results; 0 when none is held.
        float FailedFraction() const;
        int m_values[kCapacity];
        int m_count;
        int m_capacity;
        int m_position;
    };

    // The partition, background model and hand filter are the manager's
    // and must outlive the tracker. maxDepth: the sensor's maximum depth;
    // maxShift: its maximum shift.
    DUZHandTracker(const DUZHandPartition* partition, const DUZHandTrackerBackgroundModel* backgroundModel,
                   const DUZHandFilter* handFilter, bool useRGBTracking, unsigned short maxDepth, int maxShift);
    ~DUZHandTracker() override;

    using DUZHandTrackerBase::Initialize;
    using DUZHandTrackerBase::StartTracking;
    using DUZHandTrackerBase::Update;

    // The settings (base, forearm tracker, boundary detector), the maps
    // sized for the depth map's resolution and a fresh engine. 0 when a
    // part's settings cannot be read.
    int Initialize(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth, const std::string& iniFile,
                   int verbose);

    // Section "HandTracker": the base's keys, CheckHandBoundary,
    // CheckHeadDetector, AdjustDepthBoundsByHistogram and
    // "MuitipleTracking"; then the head tracker's. With flag 0 first the
    // forearm tracker's and the boundary detector's. 1.
    int ReadParameters(const std::string& iniFile, int verbose, int flag) override;
    // Sizes the shared maps for the resolution (grow-only).
    void UpdateResolution(NAResolution resolution, int flag) override;
    const char* GetINISectionName() const override { return "HandTracker"; }
    // The engine's steps on the combined map; -1 after a failed step.
    int StepToConvergence(const NADepthMapContainer& frame) override;
    // The combined map of this frame and the backwards tracking.
    void PrepareForSteps(const NADepthMapContainer& frame) override;
    // The engine's bounds; with flag also the probability window.
    void UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, int flag) override;
    // Head check, then hand-boundary check.
    void Validate(const NADepthMapContainer& frame) override;
    // The base's, the head counter's restart and the forearm's correction.
    void UpdateTrackerState(const NADepthMapContainer& frame) override;

    // Starts at position (world mm) with the hand's size (width, height) in
    // mm; (0, 0) measures it on the frame. 0, the tracker unchanged, for a
    // point that is not finite, not in front of the sensor, beyond the
    // maximum depth or outside the image; 0 also when the forearm tracker
    // refuses it (the tracker is then left tracking for its owner to
    // release).
    virtual int StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position,
                              const Vector2D<float>& handSize);
    // The frame's sequence, then any search-box scaling undone.
    virtual void Update(const NADepthMapContainer& frame, const xn::ImageMetaData& image);
    virtual const Array2D<int>& GetCombinedProb() const { return m_sharedData->m_combinedProbability; }

    // The manager's start of each frame: no foreground supplied, no head
    // check run.
    void ClearFlags();
    // The world boxes (head boxes) whose contents leave this frame's
    // combined map; at most kMaxFilteredLocations are kept.
    void SetFilteredLocations(const Box3D<float>* boxes, int count);
    // Takes the foreground probability of this frame's window from map
    // (the manager's, computed for several trackers at once).
    void CopyForegroundProbability(const Array2D<short>& map, const Box2D<int>& box);
    int GetCombinedProbabilityFactor() const { return m_sharedData->m_combinedProbabilityFactor; }
    Vector3D<float> GetRGBHandPosition() const { return m_position; }
    // 1 when the first hand pixel of the search window (rows top down,
    // columns left to right) lies within 2 pixels of a side of box; side is
    // then 0 left, 1 right, 2 top, 3 bottom (tested in that order).
    int IsTouchingFoV(Box2D<int>& box, int& side) const;
    // Links a ghost tracker (null unlinks). 0, nothing linked, when more
    // than 3 boundary checks are held and more than 0.4 of them failed.
    int SetGhostTracker(DUZSatelliteTracker* ghost);

    // Steps of the preparation.
    void FilterOutSmallRegionsFromCombinedProbabilityMap(const NADepthMapContainer& frame);
    void CheckProbabilityArea(const NADepthMapContainer& frame);
    void UpdateProbabilityBounds(const NADepthMapContainer& frame);
    // The backwards tracking against the shared history when it is of this
    // resolution and at most 34 ms old.
    void RescaleUsingBackwardsTracking(const NADepthMapContainer& frame);
    void RescaleUsingBackwardsTracking(const NADepthMapContainer& frame, const Array2D<int>& map,
                                       const NADepthMapContainer& previousFrame, const Array2D<int>& previousMap,
                                       float& scale, State& state);
    // The decision of the backwards tracking from each scale's round-trip
    // error (mm, infinite for a failed run) and forward move.
    static void ChooseBackwardsTrackingScale(const float backError[kScales], const float moveError[kScales],
                                             float& scale, State& state);
    void RescaleSearchBounds(float factor);
    // Each window pixel of target becomes the sum of source over the size x
    // size square around it (clipped to the window); scratch holds the
    // running sums. The three maps share one row length and hold the
    // window.
    static void BoxSums(const Array2D<int>& source, Array2D<int>& scratch, Array2D<int>& target,
                        const Box2D<int>& window, int size);

    // The scales tried: 1, 0.8, 0.64.
    static const float* BackwardsTrackingScales();

    int m_activeIndex;
    DUZForearmTracker m_forearmTracker;
    DUZHandBoundaryDetector m_boundaryDetector;
    const DUZHandPartition* m_partition;
    const DUZHandTrackerBackgroundModel* m_backgroundModel;
    const DUZHandFilter* m_handFilter;
    DUZSatelliteTracker* m_ghostTracker;
    NAHeadDetector m_headDetector;
    int m_headDetectorRan;
    int m_headDetected;
    int m_headDetectionCounter;
    ConnectedComponentDetector m_regionDetector;
    std::vector<float> m_regionAreas;
    std::vector<int> m_regionKeep;
    Box3D<float> m_filteredLocations[kMaxFilteredLocations];
    int m_filteredLocationCount;
    int m_foregroundProbabilityCopied;
    float m_probabilityBoundsMargin;  // mm
    int m_boxFilterSize;              // pixels
    int m_computeCenter;
    float m_minProbabilityArea;  // mm^2
    float m_minRegionArea;       // mm^2
    int m_regionDepthStep;       // mm
    int m_checkHandBoundary;
    int m_checkHeadDetector;
    int m_headDetectorRefine;
    int m_maxHeadDetections;
    int m_adjustDepthBoundsByHistogram;
    uint32_t m_lastFrameId;
    float m_searchScale;  // product of this frame's scalings
    Vector2D<float> m_handSize;  // width, height, mm
    NAExtremePointTracker m_extremePointTracker;
    BoundaryCheckHistory m_boundaryCheckHistory;
    NAResolution m_resolution;
    bool m_useRGBTracking;  // kept for the owner only
    Box2D<int> m_probabilityBounds;
    std::unique_ptr<DUZDepthProbMeanShift> m_meanShift;
    int m_multipleTracking;
    DUZHandTrackerSharedData* m_sharedData;

protected:
    // A mean-shift engine with this tracker's settings.
    std::unique_ptr<DUZDepthProbMeanShift> NewEngine() const;
    // The backwards tracking's engine, made once and reset for every use.
    std::unique_ptr<DUZDepthProbMeanShift> m_backwardsEngine;

private:
    // The window of the maps: the probability window inside the frame and
    // every shared map.
    Box2D<int> MapWindow(const NADepthMapContainer& frame) const;
    // Whether the partition takes pixel (c, r) from this tracker.
    bool IsExcludedByPartition(int c, int r) const;
    void CombineProbabilities(const NADepthMapContainer& frame, const Box2D<int>& window);
    void RemoveFilteredLocations(const NADepthMapContainer& frame, const Box2D<int>& window);
    void BoxFilter(const Box2D<int>& window);
    void ApplyPartition(const Box2D<int>& window);
};
