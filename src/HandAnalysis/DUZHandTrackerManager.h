#pragma once

// Follows up to five hands through the depth stream from start points the
// hand tracker gives it, and reports each hand's start, movement, contact
// with the image border and end as hand events (kind 0) to its listeners.
// The hand tracker initialises it with "HandAlgorithms.ini", updates it once
// per frame after the gesture manager, and starts and stops hands between
// frames.
//
// Every frame it lowers its working resolution while every hand is near,
// predicts each hand, drops duplicates, separates hands that share pixels,
// updates each tracker (a just-lost hand gets a ghost for one frame),
// reports the hands, learns the background outside a mask of the hands and
// their forearms, and every fifth frame looks for further hands near the
// tracked ones.
//
// The hand detector, the extreme-points reporter and the trackers' shared
// maps are process-wide: callers that run two managers on two threads must
// serialise them (DUZHandAlgorithmsLock).

#include <list>
#include <memory>
#include <stack>
#include <string>
#include <utility>
#include <vector>

#include "HandAnalysis/DUZHandDetector.h"
#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandAnalysis/DUZHandTracker.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandAnalysis/DUZHandTrackerSharedData.h"
#include "HandAnalysis/DUZHeadReporter.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandAnalysis/DUZSatelliteTracker.h"
#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAEventGenerator.h"
#include "NACommon/NALogger.h"
#include "NACommon/NAMotionPredictor.h"
#include "NACommon/NAResolution.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentProperties.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnImageMetaData.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class DUZHandTrackerManager : public NAEventGenerator {
public:
    static constexpr int kTrackers = 5;
    static constexpr int kExtremeBoxes = 30;
    // Ids reach the application as 16-bit values: after this one they wrap
    // to 1.
    static constexpr unsigned int kLastId = 32767;

    DUZHandTrackerManager();
    ~DUZHandTrackerManager();
    DUZHandTrackerManager(const DUZHandTrackerManager&) = delete;
    DUZHandTrackerManager& operator=(const DUZHandTrackerManager&) = delete;

    // 1 on success, 0 on failure (also for a depth map of none of the hand
    // resolutions). maxDepth -1 selects 4500 mm.
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                   const std::string& iniFile, int maxDepth, int verbose);
    // One frame of hand tracking.
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth, const xn::ImageMetaData& image);
    // The new hand's id (its added event is raised during the call), or 0
    // when no hand was started (also inside a tracking hand's search box).
    unsigned int StartTracking(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                               const Vector3D<float>& point, const Vector2D<float>& handSize);
    // Starts on the current frame.
    unsigned int StartTracking(const Vector3D<float>& point, const Vector2D<float>& handSize);
    // 1 when a hand had the id (its deleted event is raised), else 0.
    int StopTracking(unsigned int id);
    // A deleted event for every hand.
    void StopTrackingAllHands();

    int ReadParameters(const std::string& iniFile, int verbose, int unused);
    NAResolution GetDesiredResolution(const xn::DepthMetaData& depth) const;
    void UpdateResolution(NAResolution resolution, int initializing);

    DUZHandTracker* NewHandTracker();
    void DeleteHandTracker(DUZHandTracker* tracker);
    DUZHandTracker* GetHandTrackerByID(unsigned int id);
    const DUZHandTracker* GetHandTrackerByID(unsigned int id) const;

    int HasActiveTracker() const;
    int NumActiveTrackers() const;
    float GetClosestHandDistance() const;
    int EnumerateTentativelyActiveTrackers();

    void UpdateTrackedHands(const NADepthMapContainer& container, const xn::ImageMetaData& image);
    void FixOverlappingTrackers(const NADepthMapContainer& container);
    void UpdateHandPartition(const NADepthMapContainer& container);
    void UpdateGhostTracker(const NADepthMapContainer& container, const xn::ImageMetaData& image,
                            DUZHandTracker& tracker, const Vector3D<float>& previousPosition,
                            const NAMotionPredictor<float>& previousPredictor, int wasTracking);

    // Hand mask and additional hands.
    void PrepareToTrackFirstHand(const NADepthMapContainer& container);
    void ClearHandMask(int force);
    void AddToHandMask(const NADepthMapContainer& container, const Vector3D<float>& position,
                       const Vector3D<float>& direction, Box2D<int>& box);
    void UpdateBackgroundModel(const NADepthMapContainer& container);
    void FindAdditionalHands(const NADepthMapContainer& container);
    void FindHandCandidates(const NADepthMapContainer& container, const Box3D<float>& box,
                            std::vector<Vector3D<float>>& candidates);
    // The candidate at least 100 mm from every tracking hand and inside the
    // search bounds of one, nearest to a tracking hand (the first on ties);
    // null when none qualifies.
    const Vector3D<float>* ChooseAdditionalHand(const std::vector<Vector3D<float>>& candidates) const;

    // Hand events.
    void SendHandAddedEvent(const DUZHandTracker& tracker, unsigned int frameId, SensorTime time);
    void SendHandDeletedEvent(unsigned int handId, unsigned int frameId, SensorTime time);
    void SendHandMovedEvent(const DUZHandTracker& tracker, unsigned int frameId, SensorTime time);
    void SendHandTouchingFoVEvent(const DUZHandTracker& tracker, unsigned int frameId, SensorTime time, int side);

    NALogger* m_logger;
    NACommonData* m_commonData;
    DUZHandTrackerSharedData* m_sharedData;
    DUZMultiResDepthMapContainer m_container;
    unsigned short* m_depthToShiftTable;
    unsigned short* m_shiftToDepthTable;
    DUZHandTrackerBackgroundModel m_bgModel;
    DUZHandFilter m_filter;
    Array2D<unsigned short> m_handMask;
    unsigned short m_handMaskValue;
    DUZHandPartition m_partition;
    Array2D<short> m_foregroundProbability;
    Array2D<int> m_foregroundMask;
    std::vector<DUZHandPartition::HandInfo> m_handInfos;
    std::vector<DUZHandPartition::HandGroupInfo> m_handGroups;
    DUZHandPartition::HandPairs m_touchingPairs;
    std::vector<std::unique_ptr<DUZHandTracker>> m_trackers;
    std::stack<DUZHandTracker*> m_freeTrackers;
    std::list<DUZHandTracker*> m_activeTrackers;
    unsigned int m_nextId;
    SensorTime m_lastTime;
    DUZHandDetector* m_handDetector;
    NADepthMapContainer m_detectionContainer;
    Array2D<unsigned short> m_detectorMask;
    short m_candidateCount;
    ConnectedComponentProperties<float> m_candidateProperties;
    std::vector<Vector3D<float>> m_handCandidates;
    DUZExtremePointsReporter* m_extremePointsReporter;
    Box3D<float> m_extremeBoxes[kExtremeBoxes];
    Box3D<float> m_trackedBoxes[kTrackers];
    Box3D<float> m_handMaskBox;
    short m_adaptiveDownscaleClosestVGA;   // mm
    short m_adaptiveDownscaleClosestQVGA;  // mm
    int m_loseTouchingHands;
    NAResolution m_detectionResolution;
    int m_allowMultipleHands;
    Box3D<float> m_additionalHandsSearchBounds;
    float m_minAdditionalHandDistance;  // mm
    int m_additionalHandsSearchPeriod;  // frames
    int m_trackAdditionalHands;
    float m_overlapDistance;  // mm
    int m_useExtremesTracking;
    bool m_useRGBTracking;
    std::list<std::unique_ptr<DUZSatelliteTracker>> m_freeGhosts;
    std::list<std::unique_ptr<DUZSatelliteTracker>> m_usedGhosts;
    int m_maxShift;

private:
    // Stops the tracker at it in the active list with deleted-event time t.
    void StopTracking(std::list<DUZHandTracker*>::iterator it, SensorTime time);
    // Unlinks the tracker's ghost, returning it to the free list.
    void ReleaseGhost(DUZHandTracker& tracker);
    // Every listener gets the event, in registration order.
    void Deliver(const NAEvent& event);
    // The frame id and time of the generator's current frame; 0 without one.
    static void CurrentFrame(const xn::DepthGenerator& generator, uint32_t& frameId, SensorTime& time);
};
