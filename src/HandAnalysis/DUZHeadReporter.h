#pragma once

// The process-wide keeper of the scene's heads and other body extremes,
// shared by the hand-tracker manager and the gesture manager so that both
// can ignore them. New candidates come from the hand detector's cache of
// the frame; each is announced to the listeners (kind 2), gets one of the
// twenty extreme-point trackers when one is free, and is listed. Every
// frame the trackers follow their objects and the list is rebuilt from
// them. Not thread-safe on its own: the hand trackers serialise their use.

#include <memory>
#include <string>
#include <vector>

#include "HandAnalysis/DUZHandDetector.h"
#include "NACommon/NADepthMapContainer.h"
#include "NACommon/NAEventGenerator.h"
#include "NACommon/NAExtremePointTracker.h"
#include "NACommon/NALogger.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentProperties.h"

struct DUZExtremePointData {
    Vector3D<float> m_position;  // world mm
    Box3D<float> m_box;          // world mm
    // 1: from a tracker's update this frame; 0: found this frame.
    int m_tracked;
    int m_mode;  // DUZExtremePointsReporter::ExtremeDetectionMode
};

class DUZExtremePointsReporter : public NAEventGenerator {
public:
    enum ExtremeDetectionMode { BasicExtremes = 0, Heads = 1 };

    static constexpr int kTrackers = 20;
    static constexpr int kMaxCandidates = 30;
    static constexpr int kLabels = 2000;

    static DUZExtremePointsReporter& GetInstance();

    // Public for tests; the clients use GetInstance.
    DUZExtremePointsReporter();
    ~DUZExtremePointsReporter();
    DUZExtremePointsReporter(const DUZExtremePointsReporter&) = delete;
    DUZExtremePointsReporter& operator=(const DUZExtremePointsReporter&) = delete;

    // Acts once: the detector's initialisation (its result is returned),
    // the trackers and the label modes. A later call returns 1.
    int Initialize(int computeFlag, const std::string& iniFile, unsigned short maxDepth, int verbose);
    // The trackers on a copy of container; the number updated.
    int Update(const NADepthMapContainer& container);
    int UpdateTrackers(NADepthMapContainer& container, DUZExtremePointData* candidates, short& count);
    // Lists (and announces) the detector's components of the frame that no
    // tracker follows and no exclusion box covers; searchBox null: all.
    void FindNewCandidates(const NADepthMapContainer& container, ExtremeDetectionMode mode, int exclusionCount,
                           Box3D<float>* exclusionBoxes, Box2D<int>* searchBox);
    int AssignTracker(Vector3D<float>& position, NADepthMapContainer& container, int mode);
    // 1 when a tracking tracker other than excludedIndex has a head box
    // meeting box (the first one through tracker, when given).
    int IsTracked(const Box3D<float>& box, int excludedIndex, NAExtremePointTracker** tracker) const;
    // Stops the first tracker whose head box meets the 150 mm cube around
    // position.
    void StopTracker(const Vector3D<float>& position);
    void GetCandidates(DUZExtremePointData** candidates, short& count);
    void Reset();
    void SendGestureEvent(const ConnectedComponentProperties<float>& properties, const unsigned long& label,
                          ExtremeDetectionMode mode, const unsigned int& frameId, const SensorTime& time,
                          const unsigned int& width, const unsigned int& height);

    DUZHandDetector* m_handDetector;
    NADepthMapContainer m_container;
    int m_computeFlag;
    std::vector<std::unique_ptr<NAExtremePointTracker>> m_trackers;
    std::vector<ExtremeDetectionMode> m_labelModes;
    ConnectedComponentProperties<float> m_properties;
    // The process-wide logger's enabled level when the reporter was built:
    // the reporter's lines follow that, not later changes.
    int m_loggerEnabled;
    int m_initialized;
    DUZExtremePointData m_candidates[kMaxCandidates];
    short m_candidateCount;

private:
    bool Logging(XnLogSeverity severity) const;
};
