#pragma once

// Follows one head (an extreme point of a body) from frame to frame on the
// depth map. From the current centre it casts 32 rays to the head's
// outline, fits a circle to the outline points (stretched vertically into an
// ellipse, the upper outline weighing three times the lower), re-estimates
// the depth at the fitted centre, and repeats until the centre stops moving.
// A head is lost when too few rays find the outline, the fit is singular,
// the fitted radius is outside the size limits or the depth cannot be
// re-estimated.
//
// The extreme-points reporter keeps heads tracked between detections with
// these; a hand tracker measures the size of a blob the head detector
// flagged with one.

#include <string>

#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NALogger.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Ellipse2D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

class NAExtremePointTracker {
public:
    static constexpr int kRays = 32;
    // The most refinement steps an Update may take.
    static constexpr int kMaxIterationsLimit = 1000;

    // The accepted fitted head radius, mm.
    NAExtremePointTracker(int minHeadSize, int maxHeadSize);

    // "M_nMaxIterations" (5) and "M_fDistanceThresholdRW" (10 mm) of section
    // "HeadTracker"; verbose echoes them. A step count above
    // kMaxIterationsLimit or a threshold that is not a number keeps the
    // default, with a line on standard error.
    void ReadParameters(const std::string& iniFile, int verbose);

    // Starts tracking the head at position (world mm) of radius headSize mm.
    void SetHeadCandidate(Vector3D<float>& position, const float& headSize, const NADepthMapContainer& container);
    // Refines the head on this frame and refreshes the head box. 1 while
    // tracking continues, 0 when the head was lost or is not tracked.
    int Update(const NADepthMapContainer& container);
    // One refinement; 0 (tracking ends) when the head is not found.
    int Step(int firstStep, const NADepthMapContainer& container);
    int FineTuneHead(int firstStep, const NADepthMapContainer& container);
    // The weighted circle fit of the boundary points found: centre (pixels),
    // the ellipse and the head size. 0 success, 2 failure.
    int CalcCenter(Vector2D<float>& center, const WorldPointConverterBase<float>& converter);
    void Reset() { m_tracking = 0; }

    Vector3D<float> GetHeadPositionRW() const { return m_headPosition; }
    float GetHeadSizeRW() const { return m_headSize; }
    // 0 when not tracking; else the head position and ellipse, 1.
    int GetHeadCandidate(Vector3D<float>& position, Ellipse2D<float>& ellipse, float unused) const;

    int m_minHeadSize;  // mm
    int m_maxHeadSize;  // mm
    int m_nMaxIterations;
    float m_fDistanceThresholdRW;  // mm
    int m_tracking;
    float m_headSize;  // fitted radius, mm
    Box3D<float> m_headBox;
    float m_firstStepExtension;  // pixels added to the first step's search
    Vector3D<float> m_headPosition;
    Vector2D<float> m_rayDirections[kRays];
    Vector2D<float> m_boundaryPoints[kRays];
    int m_boundaryFound[kRays];
    int m_detectionMode;  // the reporter's
    Ellipse2D<float> m_headEllipse;  // pixels, image axes
    int m_startFrameId;
    float m_searchFactor;  // search length in head sizes
    NALogger* m_logger;
    // Weighted sums of the last fit: weight, x, y, xx, yy, xy, xxx, xxy,
    // xyy, yyy.
    float m_fitSums[10];
    int m_fitCount;

private:
    void ResetEllipse();
    bool IsLogging() const;
};
