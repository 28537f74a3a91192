#pragma once

// The gesture side of the hand tracker: recognizes click, wave, raise-hand,
// swipe and moving-candidate gestures on the moving hand candidates of the
// depth stream and reports them as gesture events (kind 1) to its
// listeners. The hand tracker initialises it with "HandAlgorithms.ini",
// switches gesture types on and off, updates it once per frame before the
// hand-tracker manager and resets it at shutdown.
//
// Each frame the manager keeps the frame at the focus resolution (160x120)
// in a ring of eight, with the current frame's shifts; from the fourth frame
// it updates the focus background model over the newest three; every fifth
// frame it asks the hand detector for moving hand candidates and the
// extreme-points reporter for heads, and gives each candidate that no busy
// object and no head covers to a free tracked object, which tracks it
// backwards over the ring and then forwards; every frame it updates the busy
// objects and runs each active recognizer on each tracked or just-lost one.
// A status new for its type, or an in-progress status, inside the
// recognizer's bounds becomes an event.
//
// The hand detector and the extreme-points reporter are process-wide:
// callers that run two managers on two threads must serialise them
// (DUZHandAlgorithmsLock).
//
// Update (in DUZGestureRecognizerManagerUpdate.cpp) and the gesture
// detection (DUZGestureRecognizerManagerGestures.cpp) are apart from the
// set-up and controls.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "HandAnalysis/DUZFocusBackgroundModel.h"
#include "HandAnalysis/DUZGestureRecognizerBase.h"
#include "HandAnalysis/DUZHandDetector.h"
#include "HandAnalysis/DUZHandTrackerEventData.h"
#include "HandAnalysis/DUZHeadReporter.h"
#include "HandAnalysis/DUZTrackedObject.h"
#include "HandAnalysis/GestureType.h"
#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAEventGenerator.h"
#include "NACommon/NALogger.h"
#include "NACommon/NAResolution.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentProperties.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

class NACommonData;

class DUZGestureRecognizerManager : public NAEventGenerator {
public:
    // One recognizer per GestureType 0 to 5.
    static constexpr int kRecognizers = 6;
    static constexpr int kRingSize = 8;
    static constexpr int kTrackedObjects = 50;
    // m_firstFrameId before any frame.
    static constexpr uint32_t kNoFrame = 0xFFFFFFFFu;
    // The object depth limit that maxDepth -1 selects (mm).
    static constexpr int kDefaultMaxDepth = 4500;
    // Two objects closer than this in depth (mm) with meeting windows follow
    // one hand.
    static constexpr float kSameHandDepth = 100.0f;

    DUZGestureRecognizerManager();
    ~DUZGestureRecognizerManager();
    DUZGestureRecognizerManager(const DUZGestureRecognizerManager&) = delete;
    DUZGestureRecognizerManager& operator=(const DUZGestureRecognizerManager&) = delete;

    // 1 on success, 0 when the depth stream has no "MaxShift" property (with
    // a line on standard error), its shift tables cannot be copied or the
    // hub cannot serve the focus background model.
    // Switches click and wave on, the rest off. maxDepth -1 selects 4500.
    int Initialize(NACommonData* commonData, const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD,
                   const std::string& iniFile, int maxDepth, int verbose);
    // Section "FocusRecognizer": "Resolution", "UseRobust", "EnableLogging";
    // with initial 0 first the hand detector's and the recognizers' own
    // re-reads (0 when one of them fails). The focus resolution stays
    // QQVGA: "QVGA" or "VGA" is refused with a warning.
    int ReadParameters(const std::string& iniFile, int verbose, int initial);
    // One frame; nothing while no gesture is on or the manager is not
    // running.
    void Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD);
    // Switches the recognizer of type (0 to 5) on (non-zero) or off; on,
    // its bounds become the image and depths 0..9999 for a null box, else
    // the world box's projection. Off keeps the bounds.
    void ActivateGesture(GestureType type, int active, Box3D<float>* worldBounds);
    // The union of the active recognizers' bounds and the origin (image
    // column, row, depth).
    Box3D<float> GetActiveBounds() const;
    // Frees every tracked object and forgets the current frame and the
    // first frame id; with a non-zero argument also restarts the
    // background model.
    void Reset(int resetBackground);
    // The event-data record, its int set to 1.
    DUZHandTrackerEventData* GetHandTrackerEvent();

    // The steps of Update, public for tests.
    int UpdateTrackers(NADepthMapContainer& frame, int flag);
    // 1 when a free object took the candidate at position.
    int AssignTracker(NADepthMapContainer& frame, Vector3D<float>& position, int hasForearm);
    // 1 when a busy object other than excludedIndex has a window meeting box
    // and a depth less than 100 mm from z; found (if given) gets the first
    // such object, or null.
    int IsTracked(const Box2D<int>& box, float z, int excludedIndex, DUZTrackedObject** found);
    // 1 when a head candidate's box holds position.
    int IsCloseToTrackedHead(const Vector3D<float>& position);
    void DetectGestures(int frameId);
    // A hand size as events report it: width within 50..150 mm, height
    // within 80..250 mm; a value that is not a number is the upper bound.
    static Vector2D<float> ClampedHandSize(const Vector2D<float>& size);
    void SendGestureEvent(const Vector3D<float>& currentPosition, Vector3D<float>& gesturePosition, GestureType type,
                          GestureStatus status, unsigned int objectId, const Vector2D<float>& handSize);

    // Update does nothing while it is 0; the hand tracker sets it once the
    // manager is initialised and clears it at shutdown.
    int m_running;

    NALogger* m_logger;
    NACommonData* m_commonData;
    std::array<NADepthMapContainer, kRingSize> m_depthRing;
    // Each slot's view of the one shift map all slots share.
    std::array<std::unique_ptr<Array2D<unsigned short>>, kRingSize> m_shiftViews;
    unsigned short* m_depthToShift;
    unsigned short* m_shiftToDepth;
    std::unique_ptr<WorldPointConverterBase<float>> m_converter;
    NAResolution m_resolution;
    DUZHandDetector* m_handDetector;
    int m_forearmRequired;
    DUZFocusBackgroundModel m_focusBackgroundModel;
    ConnectedComponentProperties<float> m_handCandidates;
    short m_numHandCandidates;
    ConnectedComponentProperties<float> m_forearmCandidates;
    short m_numForearmCandidates;
    Array2D<unsigned short> m_focusMask;
    std::array<std::unique_ptr<DUZTrackedObject>, kTrackedObjects> m_trackedObjects;
    NADepthMapContainer* m_currentFrame;
    std::array<std::unique_ptr<DUZGestureRecognizerBase>, kRecognizers> m_recognizers;
    DUZHandTrackerEventData m_handTrackerEvent;
    std::array<Box2D<int>, kTrackedObjects> m_trackedBoxes;
    int m_numTrackedBoxes;
    uint32_t m_firstFrameId;
    DUZExtremePointsReporter* m_extremePointsReporter;
    bool m_useRobust;

private:
    // The ring's storage: one depth map per slot and the shared shift map.
    std::array<xn::DepthMetaData, kRingSize> m_depthMaps;
    xn::DepthMetaData m_sharedShift;
    int m_width;
    int m_height;
    // Initialize succeeded: Update has everything it uses.
    bool m_initialized;
};
