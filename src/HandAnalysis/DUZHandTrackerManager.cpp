#include "HandAnalysis/DUZHandTrackerManager.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "HandAnalysis/DUZStageTimer.h"
#include "NACommon/NAUtilities.h"
#include "OSLayer/XnOS.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

constexpr const char* kManagerSection = "HandTrackerManager";
constexpr float kPartitionMargin = 150.0f;  // mm around each hand's window

Box3D<float> Symmetric(float x, float y, float z) { return Box3D<float>(Vector3D<float>(-x, -y, -z), Vector3D<float>(x, y, z)); }

float SquaredDistance(const Vector3D<float>& a, const Vector3D<float>& b) {
    const Vector3D<float> d = a - b;
    return d.x * d.x + d.y * d.y + d.z * d.z;
}

}  // namespace

DUZHandTrackerManager::DUZHandTrackerManager()
    : m_logger(&NALogger::GetInstance()),
      m_commonData(nullptr),
      m_sharedData(DUZHandTrackerSharedData::New()),
      m_depthToShiftTable(nullptr),
      m_shiftToDepthTable(nullptr),
      m_handMaskValue(0),
      m_nextId(1),
      m_lastTime(SensorTime::InvalidTime()),
      m_handDetector(&DUZHandDetector::GetInstance()),
      m_candidateCount(0),
      m_extremePointsReporter(&DUZExtremePointsReporter::GetInstance()),
      m_adaptiveDownscaleClosestVGA(0),
      m_adaptiveDownscaleClosestQVGA(0),
      m_loseTouchingHands(0),
      m_detectionResolution(NAResolution::QQVGA),
      m_allowMultipleHands(0),
      m_minAdditionalHandDistance(0),
      m_additionalHandsSearchPeriod(0),
      m_trackAdditionalHands(0),
      m_overlapDistance(0),
      m_useExtremesTracking(0),
      m_useRGBTracking(false),
      m_maxShift(0) {}

DUZHandTrackerManager::~DUZHandTrackerManager() {
    // A tracker may point at a ghost: unlink before either goes.
    for (auto& tracker : m_trackers) {
        tracker->m_ghostTracker = nullptr;
    }
    xnOSFreeAligned(m_depthToShiftTable);
    xnOSFreeAligned(m_shiftToDepthTable);
}

void DUZHandTrackerManager::CurrentFrame(const xn::DepthGenerator& generator, uint32_t& frameId, SensorTime& time) {
    frameId = static_cast<uint32_t>(generator.GetFrameID());
    time = static_cast<SensorTime>(generator.GetTimestamp());
}

int DUZHandTrackerManager::Initialize(NACommonData* commonData, const xn::DepthGenerator& generator,
                                      const xn::DepthMetaData& depth, const std::string& iniFile, int maxDepth,
                                      int verbose) {
    m_commonData = commonData;
    XnUInt64 maxShift = 0;
    if (generator.GetIntProperty("MaxShift", maxShift) != XN_STATUS_OK) {
        std::fprintf(stderr, "Couldn't get XN_STREAM_PROPERTY_MAX_SHIFT\n");
        return 0;
    }
    m_maxShift = static_cast<int>(maxShift);
    if (!CopyShiftLookupTables(generator, m_depthToShiftTable, m_shiftToDepthTable)) {
        return 0;
    }
    // The level tables hold the five hand resolutions only.
    const NAResolution input = NAResolutionOfSize(static_cast<int>(depth.XRes()), static_cast<int>(depth.YRes()));
    if (!IsSizedNAResolution(input)) {
        return 0;
    }
    if (!m_bgModel.Initialize(depth, iniFile, verbose)) {
        return 0;
    }
    if (maxDepth == -1) {
        maxDepth = 4500;
    }
    if (!m_filter.Initialize(iniFile, maxDepth, verbose)) {
        return 0;
    }
    if (!m_partition.Initialize(depth, iniFile, verbose)) {
        return 0;
    }
    if (!m_handDetector->Initialize(iniFile, verbose, NAResolution::QQVGA, static_cast<unsigned short>(maxDepth))) {
        return 0;
    }
    m_detectionResolution = NAResolution::QQVGA;
    UpdateResolution(input, 1);
    ClearHandMask(1);
    if (!m_container.Initialize(generator, depth)) {
        return 0;
    }
    m_detectionContainer.m_shift = nullptr;
    m_detectionContainer.m_depthToShift = nullptr;
    m_detectionContainer.m_shiftToDepth = nullptr;
    m_container.m_depthToShift = m_depthToShiftTable;
    m_container.m_shiftToDepth = m_shiftToDepthTable;

    m_useExtremesTracking = 1;
    m_handMaskBox = Symmetric(200, 200, 200);
    m_adaptiveDownscaleClosestVGA = 4000;
    m_adaptiveDownscaleClosestQVGA = 2500;
    m_loseTouchingHands = 1;
    m_detectionResolution = NAResolution::QQVGA;
    m_allowMultipleHands = 1;
    m_additionalHandsSearchBounds = Symmetric(400, 100, 200);
    m_minAdditionalHandDistance = 100;
    m_additionalHandsSearchPeriod = 5;
    m_trackAdditionalHands = 0;
    m_overlapDistance = 25;
    if (!ReadParameters(iniFile, verbose, 1)) {
        return 0;
    }

    const unsigned short depthLimit = static_cast<unsigned short>(maxDepth);
    m_trackers.clear();
    for (int i = 0; i < kTrackers; ++i) {
        m_trackers.emplace_back(
            new DUZHandTracker(&m_partition, &m_bgModel, &m_filter, m_useRGBTracking, depthLimit, m_maxShift));
        m_trackers.back()->Initialize(generator, depth, iniFile, verbose);
        m_freeTrackers.push(m_trackers.back().get());
    }
    for (int i = 0; i < kTrackers; ++i) {
        m_freeGhosts.emplace_back(new DUZSatelliteTracker(&m_partition, &m_bgModel, &m_filter, depthLimit, m_maxShift));
        m_freeGhosts.back()->Initialize(generator, depth, iniFile, verbose);
    }
    m_extremePointsReporter->Initialize(0, iniFile, depthLimit, verbose);
    return 1;
}

int DUZHandTrackerManager::ReadParameters(const std::string& iniFile, int verbose, int) {
    const bool echo = verbose != 0;
    ReadFromINI(iniFile, kManagerSection, "AllowMultipleHands", m_allowMultipleHands, echo);
    ReadFromINI(iniFile, kManagerSection, "TrackAdditionalHands", m_trackAdditionalHands, echo);
    ReadFromINI(iniFile, kManagerSection, "AdaptiveDownscaleClosestVGA", m_adaptiveDownscaleClosestVGA, echo);
    ReadFromINI(iniFile, kManagerSection, "AdaptiveDownscaleClosestQVGA", m_adaptiveDownscaleClosestQVGA, echo);
    ReadFromINI(iniFile, kManagerSection, "UseExtremesTracking", m_useExtremesTracking, echo);
    ReadFromINI(iniFile, kManagerSection, "UseRGBTracking", m_useRGBTracking, echo);
    int enableLogging = 0;
    ReadFromINI(iniFile, kManagerSection, "EnableLogging", enableLogging, echo);
    m_logger->ApplyEnableLogging(enableLogging);
    float bound = 0;
    if (ReadFromINI(iniFile, kManagerSection, "AdditionalHandsSearchBoundsX", bound, echo)) {
        m_additionalHandsSearchBounds.min.x = -bound;
        m_additionalHandsSearchBounds.max.x = bound;
    }
    if (ReadFromINI(iniFile, kManagerSection, "AdditionalHandsSearchBoundsY", bound, echo)) {
        m_additionalHandsSearchBounds.min.y = -bound;
        m_additionalHandsSearchBounds.max.y = bound;
    }
    if (ReadFromINI(iniFile, kManagerSection, "AdditionalHandsSearchBoundsZ", bound, echo)) {
        m_additionalHandsSearchBounds.min.z = -bound;
        m_additionalHandsSearchBounds.max.z = bound;
    }
    return 1;
}

NAResolution DUZHandTrackerManager::GetDesiredResolution(const xn::DepthMetaData& depth) const {
    const float closest = GetClosestHandDistance();
    NAResolution desired = NAResolution::VGA;
    if (static_cast<float>(m_adaptiveDownscaleClosestQVGA) > closest) {
        desired = NAResolution::QQVGA;
    } else if (static_cast<float>(m_adaptiveDownscaleClosestVGA) > closest) {
        desired = NAResolution::QVGA;
    }
    const NAResolution input = NAResolutionOfSize(static_cast<int>(depth.XRes()), static_cast<int>(depth.YRes()));
    return NAResolutionIndex(input) < NAResolutionIndex(desired) ? input : desired;
}

void DUZHandTrackerManager::UpdateResolution(NAResolution resolution, int initializing) {
    const int width = NAResolutionWidth(resolution);
    const int height = NAResolutionHeight(resolution);
    m_handMask.SetSize(height, width, false);
    m_foregroundProbability.SetSize(height, width, false);
    m_foregroundMask.SetSize(height, width, false);
    m_partition.UpdateResolution(resolution);
    m_detectorMask.SetSize(NAResolutionHeight(m_detectionResolution), NAResolutionWidth(m_detectionResolution), false);
    if (!initializing) {
        m_bgModel.UpdateResolution(resolution);
        for (auto& tracker : m_trackers) {
            tracker->UpdateResolution(resolution, 0);
        }
    }
}

void DUZHandTrackerManager::Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                                   const xn::ImageMetaData& image) {
    uint32_t frameId = 0;
    SensorTime time = 0;
    CurrentFrame(generator, frameId, time);
    DUZStageTimer total(*m_logger, " - ");
    DUZStageTimer step(*m_logger, " - ");

    const NAResolution desired = GetDesiredResolution(depth);
    if (desired != m_container.GetResolution() && IsSizedNAResolution(desired) && m_container.SetLevel(desired)) {
        UpdateResolution(desired, 0);
    }
    step.Line(XN_LOG_INFO, [frameId](std::ostream& out) { out << "Frame " << frameId << ", UpdateResolution"; });
    if (!m_container.Update(m_commonData, generator, depth, frameId, time)) {
        return;
    }
    step.Line(XN_LOG_INFO, [](std::ostream& out) { out << "container update"; });
    if (m_useExtremesTracking) {
        m_extremePointsReporter->Update(m_container);
    }
    step.Line(XN_LOG_INFO, [](std::ostream& out) { out << "Tracking extreme points"; });
    UpdateTrackedHands(m_container, image);
    m_sharedData->UpdateTrackerInputDataHistory(m_container);
    step.Line(XN_LOG_INFO, [this, frameId](std::ostream& out) {
        out << "frameID " << frameId << ", UpdateTrackedHands (" << m_activeTrackers.size() << " hands)";
    });
    UpdateBackgroundModel(m_container);
    step.Line(XN_LOG_INFO, [](std::ostream& out) { out << "UpdateBackgroundModel"; });
    FindAdditionalHands(m_container);
    step.Line(XN_LOG_INFO, [](std::ostream& out) { out << "FindAdditionalHands"; });
    total.Line(XN_LOG_WARNING, [](std::ostream& out) { out << "Update"; });
    m_lastTime = time;
}

void DUZHandTrackerManager::UpdateTrackedHands(const NADepthMapContainer& container, const xn::ImageMetaData& image) {
    DUZStageTimer step(*m_logger, " - ");
    int boxes = 0;
    if (m_useExtremesTracking) {
        DUZExtremePointData* candidates = nullptr;
        short count = 0;
        m_extremePointsReporter->GetCandidates(&candidates, count);
        boxes = std::min<int>(count, kExtremeBoxes);
        for (int i = 0; i < boxes; ++i) {
            m_extremeBoxes[i] = candidates[i].m_box;
        }
    }
    Array2D<int>& combined = m_sharedData->m_combinedProbability;
    for (DUZHandTracker* tracker : m_activeTrackers) {
        const Box2D<int>& window = tracker->m_probabilityBounds;
        for (int r = std::max(0, window.min.y); r <= std::min(window.max.y, combined.Rows() - 1); ++r) {
            for (int c = std::max(0, window.min.x); c <= std::min(window.max.x, combined.Columns() - 1); ++c) {
                combined.Data()[r * combined.Columns() + c] = 0;
            }
        }
    }
    for (DUZHandTracker* tracker : m_activeTrackers) {
        tracker->ClearFlags();
        tracker->ComputePredictionAndBounds(container);
        tracker->SetFilteredLocations(m_extremeBoxes, boxes);
    }
    step.Line("UpdateTrackedHands::ComputePredictionAndBounds");
    FixOverlappingTrackers(container);
    step.Line("UpdateTrackedHands::FixOverlappingTrackers");
    UpdateHandPartition(container);
    step.Line("UpdateTrackedHands::UpdateHandPartition");
    if (m_loseTouchingHands) {
        for (const auto& pair : m_touchingPairs) {
            for (unsigned int id : {pair.first, pair.second}) {
                DUZHandTracker* tracker = GetHandTrackerByID(id);
                if (tracker != nullptr && tracker->m_newState == DUZHandTrackerBase::eTracking) {
                    tracker->m_newState = DUZHandTrackerBase::eLost;
                }
            }
        }
    }
    step.Line("UpdateTrackedHands - update trackers state");
    for (DUZHandTracker* tracker : m_activeTrackers) {
        const int wasTracking = tracker->m_state == DUZHandTrackerBase::eTracking;
        const Vector3D<float> previous = tracker->m_position;
        NAMotionPredictor<float> previousPredictor;
        if (tracker->m_predictor) {
            previousPredictor.m_position = tracker->m_predictor->m_position;
            previousPredictor.m_time = tracker->m_predictor->m_time;
        }
        tracker->Update(container, image);
        UpdateGhostTracker(container, image, *tracker, previous, previousPredictor, wasTracking);
    }
    step.Line("UpdateTrackedHands::Update");
    Box2D<int> all(0, 0, static_cast<int>(container.m_depth->XRes()) - 1,
                   static_cast<int>(container.m_depth->YRes()) - 1);
    for (auto it = m_activeTrackers.begin(); it != m_activeTrackers.end();) {
        const auto next = std::next(it);
        DUZHandTracker& tracker = **it;
        if (tracker.m_state == DUZHandTrackerBase::eInactive) {
            StopTracking(it, container.m_time);
            it = next;
            continue;
        }
        if (tracker.m_state == DUZHandTrackerBase::eTracking) {
            SendHandMovedEvent(tracker, container.m_frameId, container.m_time);
        }
        int side = -1;
        if (tracker.IsTouchingFoV(all, side)) {
            SendHandTouchingFoVEvent(tracker, container.m_frameId, container.m_time, side);
        }
        it = next;
    }
    step.Line("UpdateTrackedHands - send event & stop tracking");
}

void DUZHandTrackerManager::FixOverlappingTrackers(const NADepthMapContainer&) {
    const float limit = m_overlapDistance * m_overlapDistance;
    for (auto a = m_activeTrackers.begin(); a != m_activeTrackers.end(); ++a) {
        if ((*a)->m_newState == DUZHandTrackerBase::eInactive) {
            continue;
        }
        for (auto b = std::next(a); b != m_activeTrackers.end(); ++b) {
            DUZHandTracker& later = **b;
            if (later.m_newState == DUZHandTrackerBase::eInactive) {
                continue;
            }
            if (SquaredDistance((*a)->m_predictor->m_position, later.m_predictor->m_position) < limit &&
                SquaredDistance((*a)->m_position, later.m_position) < limit) {
                later.m_state = DUZHandTrackerBase::eInactive;
                later.m_newState = DUZHandTrackerBase::eInactive;
            }
        }
    }
}

int DUZHandTrackerManager::EnumerateTentativelyActiveTrackers() {
    int index = 0;
    for (DUZHandTracker* tracker : m_activeTrackers) {
        tracker->m_activeIndex = tracker->m_newState == DUZHandTrackerBase::eInactive ? -1 : index++;
    }
    return index;
}

void DUZHandTrackerManager::UpdateHandPartition(const NADepthMapContainer& container) {
    const int width = static_cast<int>(container.m_depth->XRes());
    const int height = static_cast<int>(container.m_depth->YRes());
    const float k = container.m_converter->m_fPixelSizeFactor;
    m_handInfos.resize(static_cast<size_t>(EnumerateTentativelyActiveTrackers()));
    for (DUZHandTracker* tracker : m_activeTrackers) {
        if (tracker->m_activeIndex < 0) {
            continue;
        }
        DUZHandPartition::HandInfo& info = m_handInfos[static_cast<size_t>(tracker->m_activeIndex)];
        info.m_id = static_cast<int>(tracker->GetID());
        const int margin = static_cast<int>(kPartitionMargin / (tracker->m_position.z * k));
        const Box2D<int>& window = tracker->m_probabilityBounds;
        info.m_box = Box2D<int>(std::max(0, window.min.x - margin), std::max(0, window.min.y - margin),
                                std::min(width - 1, window.max.x + margin), std::min(height - 1, window.max.y + margin));
        info.m_position = tracker->m_position;
        info.m_forearmDirection = tracker->m_forearmTracker.GetForearmDirection();
    }
    DUZHandPartition::ComputeGroupsToPartition(container, m_handInfos, m_handGroups);
    if (!m_handGroups.empty()) {
        Box2D<int> all = m_handGroups.front().m_box;
        for (const auto& group : m_handGroups) {
            all.min.x = std::min(all.min.x, group.m_box.min.x);
            all.min.y = std::min(all.min.y, group.m_box.min.y);
            all.max.x = std::max(all.max.x, group.m_box.max.x);
            all.max.y = std::max(all.max.y, group.m_box.max.y);
        }
        if (all.min.x <= all.max.x && all.min.y <= all.max.y) {
            m_bgModel.ComputeForegroundProbabilityMap(container, all, m_foregroundProbability);
            const int columns = m_foregroundMask.Columns();
            for (int r = all.min.y; r <= all.max.y; ++r) {
                for (int c = all.min.x; c <= all.max.x; ++c) {
                    m_foregroundMask.Data()[r * columns + c] =
                        m_foregroundProbability.Data()[r * m_foregroundProbability.Columns() + c] > 0 ? 1 : 0;
                }
            }
            for (DUZHandTracker* tracker : m_activeTrackers) {
                const Box2D<int>& window = tracker->m_probabilityBounds;
                if (tracker->m_newState == DUZHandTrackerBase::eTracking && window.min.x >= all.min.x &&
                    window.min.y >= all.min.y && window.max.x <= all.max.x && window.max.y <= all.max.y) {
                    tracker->CopyForegroundProbability(m_foregroundProbability, all);
                }
            }
        }
    }
    m_touchingPairs.clear();
    m_partition.ComputePartition(container, m_handGroups, m_foregroundMask, m_touchingPairs);
}

void DUZHandTrackerManager::ReleaseGhost(DUZHandTracker& tracker) {
    DUZSatelliteTracker* ghost = tracker.m_ghostTracker;
    tracker.SetGhostTracker(nullptr);
    tracker.m_ghostTracker = nullptr;
    for (auto it = m_usedGhosts.begin(); it != m_usedGhosts.end(); ++it) {
        if (it->get() == ghost) {
            m_freeGhosts.splice(m_freeGhosts.end(), m_usedGhosts, it);
            return;
        }
    }
}

void DUZHandTrackerManager::UpdateGhostTracker(const NADepthMapContainer& container, const xn::ImageMetaData& image,
                                               DUZHandTracker& tracker, const Vector3D<float>& previousPosition,
                                               const NAMotionPredictor<float>& previousPredictor, int wasTracking) {
    if (tracker.m_state != DUZHandTrackerBase::eLost && tracker.m_ghostTracker == nullptr) {
        return;
    }
    if (tracker.m_ghostTracker != nullptr) {
        DUZSatelliteTracker& ghost = *tracker.m_ghostTracker;
        ghost.ClearFlags();
        ghost.ComputePredictionAndBounds(container);
        ghost.Update(container, image);
        if (ghost.m_state == DUZHandTrackerBase::eTracking && ghost.IsValidated(container)) {
            tracker.CopyState(ghost);
        }
        ReleaseGhost(tracker);
        return;
    }
    if (!wasTracking || m_freeGhosts.empty()) {
        return;
    }
    m_usedGhosts.splice(m_usedGhosts.end(), m_freeGhosts, m_freeGhosts.begin());
    DUZSatelliteTracker& ghost = *m_usedGhosts.back();
    ghost.StartTracking(container, previousPosition, previousPredictor, tracker.m_handSize);
    if (!tracker.SetGhostTracker(&ghost)) {
        m_freeGhosts.splice(m_freeGhosts.end(), m_usedGhosts, std::prev(m_usedGhosts.end()));
        return;
    }
    ghost.ClearFlags();
    ghost.ComputePredictionAndBounds(container);
    ghost.Update(container, image);
    if (ghost.m_state != DUZHandTrackerBase::eTracking) {
        ReleaseGhost(tracker);
    }
}

DUZHandTracker* DUZHandTrackerManager::NewHandTracker() {
    if (m_freeTrackers.empty()) {
        return nullptr;
    }
    DUZHandTracker* tracker = m_freeTrackers.top();
    m_freeTrackers.pop();
    // The application holds ids as 16-bit values: wrap before they turn
    // negative, never to an id a hand still holds.
    while (GetHandTrackerByID(m_nextId) != nullptr) {
        m_nextId = m_nextId >= kLastId ? 1 : m_nextId + 1;
    }
    tracker->m_id = m_nextId;
    m_nextId = m_nextId >= kLastId ? 1 : m_nextId + 1;
    return tracker;
}

void DUZHandTrackerManager::DeleteHandTracker(DUZHandTracker* tracker) { m_freeTrackers.push(tracker); }

DUZHandTracker* DUZHandTrackerManager::GetHandTrackerByID(unsigned int id) {
    for (DUZHandTracker* tracker : m_activeTrackers) {
        if (tracker->GetID() == id) {
            return tracker;
        }
    }
    return nullptr;
}

const DUZHandTracker* DUZHandTrackerManager::GetHandTrackerByID(unsigned int id) const {
    return const_cast<DUZHandTrackerManager*>(this)->GetHandTrackerByID(id);
}

int DUZHandTrackerManager::HasActiveTracker() const { return NumActiveTrackers() > 0 ? 1 : 0; }

int DUZHandTrackerManager::NumActiveTrackers() const {
    int count = 0;
    for (const DUZHandTracker* tracker : m_activeTrackers) {
        count += tracker->m_state != DUZHandTrackerBase::eInactive ? 1 : 0;
    }
    return count;
}

float DUZHandTrackerManager::GetClosestHandDistance() const {
    float closest = std::numeric_limits<float>::max();
    for (const DUZHandTracker* tracker : m_activeTrackers) {
        closest = std::min(closest, tracker->m_position.z);
    }
    return closest;
}

unsigned int DUZHandTrackerManager::StartTracking(const xn::DepthGenerator& generator, const xn::DepthMetaData& depth,
                                                  const Vector3D<float>& point, const Vector2D<float>& handSize) {
    for (const DUZHandTracker* tracker : m_activeTrackers) {
        if (tracker->m_state == DUZHandTrackerBase::eTracking && tracker->m_searchBoundsRW.Intersects(point)) {
            return 0;
        }
    }
    uint32_t frameId = 0;
    SensorTime time = 0;
    CurrentFrame(generator, frameId, time);
    if (!m_container.Update(m_commonData, generator, depth, frameId, time)) {
        return 0;
    }
    return StartTracking(point, handSize);
}

unsigned int DUZHandTrackerManager::StartTracking(const Vector3D<float>& point, const Vector2D<float>& handSize) {
    DUZStageTimer total(*m_logger, " - DUZHandTrackerManager::");
    DUZStageTimer step(*m_logger, " - DUZHandTrackerManager::");
    DUZHandTracker* tracker = NewHandTracker();
    if (tracker == nullptr) {
        return 0;
    }
    if (m_activeTrackers.empty()) {
        PrepareToTrackFirstHand(m_container);
    }
    step.Line("PrepareToTrackFirstHand");
    m_partition.ClearPartition();
    if (!tracker->StartTracking(m_container, point, handSize)) {
        DeleteHandTracker(tracker);
        return 0;
    }
    step.Line("newTracker->StartTracking");
    // A pooled tracker keeps its previous hand's search box until its first
    // update; a start elsewhere must not be refused for a hand that is gone.
    tracker->m_searchBoundsRW = Box3D<float>::EmptyBox();
    ClearHandMask(0);
    Box2D<int> box;
    AddToHandMask(m_container, point, tracker->m_forearmTracker.GetForearmDirection(), box);
    m_bgModel.Reset(m_handMask, m_handMaskValue, box);
    step.Line("ClearHandMask, AddToHandMask, m_bgModel.Reset (1)");
    m_activeTrackers.push_back(tracker);
    SendHandAddedEvent(*tracker, m_container.m_frameId, m_container.m_time);
    step.Line("SendHandAddedEvent");
    total.Line(XN_LOG_INFO, [](std::ostream& out) { out << "StartTracking total"; });
    return tracker->GetID();
}

void DUZHandTrackerManager::StopTracking(std::list<DUZHandTracker*>::iterator it, SensorTime time) {
    DUZHandTracker* tracker = *it;
    // No listener of this system asks for a depth level of its own, so the
    // only-hand refresh of requested levels has nothing to do.
    SendHandDeletedEvent(tracker->GetID(), m_container.m_frameId, time);
    DeleteHandTracker(tracker);
    m_activeTrackers.erase(it);
}

int DUZHandTrackerManager::StopTracking(unsigned int id) {
    for (auto it = m_activeTrackers.begin(); it != m_activeTrackers.end(); ++it) {
        if ((*it)->GetID() == id) {
            // A ghost left linked would hand its old state to the tracker's
            // next hand.
            if ((*it)->m_ghostTracker != nullptr) {
                ReleaseGhost(**it);
            }
            StopTracking(it, m_lastTime);
            return 1;
        }
    }
    return 0;
}

void DUZHandTrackerManager::StopTrackingAllHands() {
    while (!m_activeTrackers.empty()) {
        StopTracking(m_activeTrackers.front()->GetID());
    }
}
