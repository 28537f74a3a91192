#include "HandAnalysis/DUZHeadReporter.h"

#include <algorithm>
#include <ostream>

#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"

namespace {

constexpr const char* kReporterMask = "HeadReporter";
constexpr float kHeadSize = 150.0f;  // mm
constexpr float kStopReach = 75.0f;  // mm

bool BoxesMeet(const Box3D<float>& a, const Box3D<float>& b) {
    return a.max.x >= b.min.x && b.max.x >= a.min.x && a.max.y >= b.min.y && b.max.y >= a.min.y &&
           a.max.z >= b.min.z && b.max.z >= a.min.z;
}

std::ostream& operator<<(std::ostream& out, const Vector3D<float>& p) {
    return out << p.x << ' ' << p.y << ' ' << p.z;
}

}  // namespace

DUZExtremePointsReporter& DUZExtremePointsReporter::GetInstance() {
    static DUZExtremePointsReporter s_instance;
    return s_instance;
}

DUZExtremePointsReporter::DUZExtremePointsReporter()
    : m_handDetector(&DUZHandDetector::GetInstance()),
      m_container(),
      m_computeFlag(0),
      m_trackers(),
      m_labelModes(),
      m_properties(),
      m_loggerEnabled(NALogger::GetInstance().GetEnabled()),
      m_initialized(0),
      m_candidates(),
      m_candidateCount(0) {}

DUZExtremePointsReporter::~DUZExtremePointsReporter() = default;

bool DUZExtremePointsReporter::Logging(XnLogSeverity severity) const {
    return m_loggerEnabled != 0 && xnLogIsEnabled(kReporterMask, severity);
}

int DUZExtremePointsReporter::Initialize(int computeFlag, const std::string& iniFile, unsigned short maxDepth,
                                         int verbose) {
    if (m_initialized) {
        return 1;
    }
    m_computeFlag = computeFlag;
    const int result = m_handDetector->Initialize(iniFile, verbose, NAResolution::QQVGA, maxDepth);
    m_labelModes.assign(kLabels, BasicExtremes);
    m_trackers.clear();
    for (int i = 0; i < kTrackers; ++i) {
        m_trackers.emplace_back(new NAExtremePointTracker(35, 200));
        m_trackers.back()->ReadParameters(iniFile, verbose);
        m_trackers.back()->Reset();
    }
    m_candidateCount = 0;
    m_initialized = 1;
    return result;
}

int DUZExtremePointsReporter::Update(const NADepthMapContainer& container) {
    m_container = container;
    return UpdateTrackers(m_container, m_candidates, m_candidateCount);
}

int DUZExtremePointsReporter::UpdateTrackers(NADepthMapContainer& container, DUZExtremePointData* candidates,
                                             short& count) {
    count = 0;
    int updated = 0;
    for (int i = 0; i < static_cast<int>(m_trackers.size()); ++i) {
        NAExtremePointTracker& tracker = *m_trackers[i];
        if (!tracker.m_tracking) {
            continue;
        }
        ++updated;
        if (!tracker.Update(container)) {
            continue;
        }
        NAExtremePointTracker* other = nullptr;
        if (IsTracked(tracker.m_headBox, i, &other)) {
            NAExtremePointTracker& reset = other->m_startFrameId < tracker.m_startFrameId ? tracker : *other;
            const NAExtremePointTracker& kept = &reset == &tracker ? *other : tracker;
            if (Logging(XN_LOG_WARNING)) {
                NALoggerHelper(NALogger::GetInstance(), kReporterMask, XN_LOG_WARNING)
                    << "Identified two trackers on same object. Resetting tracker at pos " << reset.m_headPosition
                    << " Start frame " << reset.m_startFrameId << " Leaving tracker at pos " << kept.m_headPosition
                    << " Start frame " << kept.m_startFrameId << std::endl;
            }
            reset.Reset();
            if (&reset == &tracker) {
                // The object's older tracker stays; this pass ends here.
                return updated;
            }
        }
        if (count < kMaxCandidates) {
            DUZExtremePointData& record = candidates[count++];
            record.m_position = tracker.m_headPosition;
            record.m_box = tracker.m_headBox;
            record.m_tracked = 1;
            record.m_mode = tracker.m_detectionMode;
        }
        if (Logging(XN_LOG_INFO)) {
            NALoggerHelper(NALogger::GetInstance(), kReporterMask, XN_LOG_INFO)
                << "Tracker index " << i << " Updated to pos " << tracker.m_headPosition;
        }
    }
    return updated;
}

void DUZExtremePointsReporter::FindNewCandidates(const NADepthMapContainer& container, ExtremeDetectionMode mode,
                                                 int exclusionCount, Box3D<float>* exclusionBoxes,
                                                 Box2D<int>* searchBox) {
    m_container = container;
    if (m_container.m_depth == nullptr) {
        return;
    }
    Box2D<int> box = searchBox != nullptr
                         ? *searchBox
                         : Box2D<int>(0, 0, static_cast<int>(m_container.m_depth->XRes()) - 1,
                                      static_cast<int>(m_container.m_depth->YRes()) - 1);
    short n = 0;
    unsigned int unused = 0;
    NAResolution resolution = NAResolution::NoMatch;
    if (mode == Heads) {
        m_handDetector->FindHeadCandidates(&m_container, box, m_computeFlag, m_properties, n, unused, resolution);
    } else if (mode == BasicExtremes) {
        m_handDetector->FindBasicExtremeCandidates(&m_container, box, m_computeFlag, m_properties, n, unused,
                                                   resolution);
    } else {
        return;
    }
    if (n < 2) {
        return;
    }
    const int labels = std::min<int>(n, kLabels);
    for (int j = 1; j < labels; ++j) {
        m_labelModes[j] = mode;
        const Vector3D<float>& centre = m_properties.m_centerOfMass[j];
        if (centre.x == 0.0f && centre.y == 0.0f && centre.z == 0.0f) {
            continue;
        }
        const Box3D<float>& worldBox = m_properties.m_bbox[j];
        NAExtremePointTracker* tracker = nullptr;
        if (IsTracked(worldBox, -1, &tracker)) {
            if (mode == Heads) {
                tracker->m_detectionMode = Heads;
            }
            continue;
        }
        bool excluded = false;
        for (int e = 0; e < exclusionCount && !excluded; ++e) {
            excluded = BoxesMeet(worldBox, exclusionBoxes[e]);
        }
        if (excluded) {
            continue;
        }
        const unsigned long label = static_cast<unsigned long>(j);
        const unsigned int width = m_container.m_depth->XRes();
        const unsigned int height = m_container.m_depth->YRes();
        SendGestureEvent(m_properties, label, mode, m_container.m_frameId, m_container.m_time, width, height);
        Vector3D<float> position = centre;
        AssignTracker(position, m_container, mode);
        // Announced and tracked when a tracker is free, but no longer listed
        // once the list is full.
        if (m_candidateCount < kMaxCandidates) {
            DUZExtremePointData& record = m_candidates[m_candidateCount++];
            record.m_position = centre;
            record.m_box = worldBox;
            record.m_tracked = 0;
            record.m_mode = mode;
        }
    }
}

int DUZExtremePointsReporter::AssignTracker(Vector3D<float>& position, NADepthMapContainer& container, int mode) {
    for (int i = 0; i < static_cast<int>(m_trackers.size()); ++i) {
        NAExtremePointTracker& tracker = *m_trackers[i];
        if (tracker.m_tracking) {
            continue;
        }
        tracker.SetHeadCandidate(position, kHeadSize, container);
        tracker.m_detectionMode = mode;
        if (Logging(XN_LOG_INFO)) {
            NALoggerHelper(NALogger::GetInstance(), kReporterMask, XN_LOG_INFO)
                << "Assigning tracker index " << i << " at pos " << position << "\n";
        }
        return 1;
    }
    if (Logging(XN_LOG_WARNING)) {
        NALoggerHelper(NALogger::GetInstance(), kReporterMask, XN_LOG_WARNING)
            << "Failed to assign tracker at pos " << position << "\n";
    }
    return 0;
}

int DUZExtremePointsReporter::IsTracked(const Box3D<float>& box, int excludedIndex,
                                        NAExtremePointTracker** tracker) const {
    for (int i = 0; i < static_cast<int>(m_trackers.size()); ++i) {
        if (i == excludedIndex || !m_trackers[i]->m_tracking) {
            continue;
        }
        if (BoxesMeet(m_trackers[i]->m_headBox, box)) {
            if (tracker != nullptr) {
                *tracker = m_trackers[i].get();
            }
            return 1;
        }
    }
    if (tracker != nullptr) {
        *tracker = nullptr;
    }
    return 0;
}

void DUZExtremePointsReporter::StopTracker(const Vector3D<float>& position) {
    const Vector3D<float> reach(kStopReach, kStopReach, kStopReach);
    NAExtremePointTracker* tracker = nullptr;
    if (IsTracked(Box3D<float>(position - reach, position + reach), -1, &tracker)) {
        tracker->Reset();
    }
}

void DUZExtremePointsReporter::GetCandidates(DUZExtremePointData** candidates, short& count) {
    *candidates = m_candidates;
    count = m_candidateCount;
}

void DUZExtremePointsReporter::Reset() {
    for (auto& tracker : m_trackers) {
        tracker->Reset();
    }
    m_candidateCount = 0;
}

void DUZExtremePointsReporter::SendGestureEvent(const ConnectedComponentProperties<float>& properties,
                                                const unsigned long& label, ExtremeDetectionMode mode,
                                                const unsigned int& frameId, const SensorTime& time,
                                                const unsigned int& width, const unsigned int& height) {
    NAEvent event(NAEvent::USER);
    NAExtremePointEvent& body = event.extremePoint;
    body.worldBoxMin = properties.m_bbox[label].min;
    body.worldBoxMax = properties.m_bbox[label].max;
    body.imageBoxMin = properties.m_imageBounds[label].min;
    body.imageBoxMax = properties.m_imageBounds[label].max;
    body.center = properties.m_centerOfMass[label];
    body.frameId = frameId;
    body.timestamp = time;
    body.width = width;
    body.height = height;
    body.mode = mode;
    for (size_t i = 0; i < m_listeners.size(); ++i) {
        m_listeners[i]->ProcessEvent(event);
    }
}
