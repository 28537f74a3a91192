#pragma once

// The hand tracker of a gesture candidate. It keeps the base tracker's
// frame sequence and replaces the search bounds, the hand centre and the
// validation. The centre is a weighted mean of the window's depth pixels
// that favours the top rows and the nearest depths and leaves out a head
// that the extreme-point reporter follows in the same place; the far depth
// bound can be pulled in to where the nearest 20000 mm^2 of surface end.
// Validation drops the candidate at once (inactive, not lost) when it is too
// small, when too few of its isolated pixels moved recently, or when a head
// is found there in two validations in a row. A lost candidate is given up
// after 0.1 s unless "FocusTracker" says otherwise.

#include <string>

#include "HandAnalysis/DUZHandTrackerBase.h"
#include "NACommon/NAHeadDetector.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Utilities/Array2D.h"

class DUZFocusHandTracker : public DUZHandTrackerBase {
public:
    static constexpr int kMaxHeadBoxes = 50;
    // The far bound ends behind the depth bin where the surface seen from
    // the near side passes this area (mm^2).
    static constexpr int kHandSurfaceArea = 20000;
    // A pixel is isolated when its neighbours this far away (mm at the
    // hand) all lie more than kIsolationDepth - 1 mm behind it.
    static constexpr float kIsolationDistance = 150.0f;
    static constexpr int kIsolationDepth = 80;
    // Least share of isolated pixels that must have moved.
    static constexpr float kMinMovingShare = 0.3f;

    // ring and ringSize are not used by the tracker; motionImage (not owned,
    // may be null) is the focus background model's; maxDepth bounds the far
    // depth and is the head detector's missing-depth difference.
    DUZFocusHandTracker(const NADepthMapContainer* ring, int ringSize, Array2D<unsigned short>* motionImage,
                        unsigned short maxDepth, int maxShift);
    ~DUZFocusHandTracker() override;

    // The base's Initialize; 1 when it succeeded.
    int Initialize(const std::string& iniFile, int verbose);
    // With a non-zero flag, the base's keys and then MinHandArea,
    // UseHistogramBasedHandCenter, FactorY and FactorZ, all from
    // "FocusTracker". 1.
    int ReadParameters(const std::string& iniFile, int verbose, int flag) override;
    const char* GetINISectionName() const override { return "FocusTracker"; }
    // Tracking from position; the head count restarts.
    int StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position) override;
    // Switching backward tracking on turns the motion test off until the
    // next Update, which sets it from its own flag.
    void SetBackwardsTracking(int on);
    // One frame after the owner's ComputePredictionAndBounds: the motion
    // test on when flag is 0, the heads tracked in this frame (at most
    // kMaxHeadBoxes are kept), then the base's sequence.
    void Update(const NADepthMapContainer& frame, int flag, const Box3D<float>* headBoxes, int numHeadBoxes);
    using DUZHandTrackerBase::Update;

    void UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, int flag) override;
    // Pulls the far bound in to the end of the 8-mm bin at which the
    // window's surface passes kHandSurfaceArea, or else to the smaller of
    // the depth limit and its old value.
    void UpdateDepthBoundsAccordingToHistogram(const NADepthMapContainer& frame);
    int ComputeWeightedHandCenter(const NADepthMapContainer& frame, Vector3D<float>& center) override;
    void Validate(const NADepthMapContainer& frame) override;
    Vector2D<float> CalculateHandXYSize(const NADepthMapContainer& frame);

    int m_backwardsTracking;
    int m_headDetectionCount;
    NAHeadDetector m_headDetector;
    Array2D<unsigned short>* m_motionImage;
    int m_checkMotion;
    int m_minHandArea;  // mm^2
    float m_factorY;
    float m_factorZ;
    int m_useHistogramBasedHandCenter;
    Vector2D<float> m_handXYSize;  // mm
    Box3D<float> m_headBoxes[kMaxHeadBoxes];
    int m_numHeadBoxes;
    unsigned short m_maxDepth;

private:
    // A validation failure line on the "FocusTracker" mask.
    void LogValidation(const NADepthMapContainer& frame, bool withFrame, const char* text, double area,
                       int isolated, int hand, int validated) const;
};
