// The gesture manager's frame: the ring, the background model, the
// candidate search and the tracked objects.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "HandAnalysis/DUZStageTimer.h"
#include "NACommon/NACommonData.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"

namespace {

constexpr const char* kMask = "GestureRecognizerManager";

bool Logging(NALogger& logger, XnLogSeverity severity) {
    return logger.GetEnabled() != 0 && xnLogIsEnabled(kMask, severity);
}

bool IsZero(const Vector3D<float>& p) { return p.x == 0.0f && p.y == 0.0f && p.z == 0.0f; }

}  // namespace

void DUZGestureRecognizerManager::Update(const xn::DepthGenerator& generator, const xn::DepthMetaData& depthMD) {
    if (m_running == 0 || !m_initialized) {
        return;
    }
    bool anyActive = false;
    for (const auto& recognizer : m_recognizers) {
        anyActive = anyActive || recognizer->m_active != 0;
    }
    if (!anyActive) {
        return;
    }
    // A frame that does not shrink by a whole factor to the focus size
    // cannot fill a slot.
    const int inputWidth = static_cast<int>(depthMD.XRes());
    const int inputHeight = static_cast<int>(depthMD.YRes());
    const int factor = inputWidth / m_width;
    if (depthMD.Data() == nullptr || factor < 1 || inputWidth != factor * m_width ||
        inputHeight != factor * m_height) {
        return;
    }

    DUZStageTimer total(*m_logger, "", kMask);
    DUZStageTimer timer(*m_logger, "", kMask);
    const uint32_t f = static_cast<uint32_t>(generator.GetFrameID());
    const SensorTime t = static_cast<SensorTime>(generator.GetTimestamp());
    if (m_firstFrameId == kNoFrame) {
        m_firstFrameId = f;
    }
    if (Logging(*m_logger, XN_LOG_VERBOSE)) {
        NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << "Frame " << f;
    }

    const size_t slotIndex = f & 7u;
    m_currentFrame = &m_depthRing[slotIndex];
    const Box3D<float> active = GetActiveBounds();
    Box2D<int> searchBox(static_cast<int>(active.min.x), static_cast<int>(active.min.y),
                         static_cast<int>(active.max.x), static_cast<int>(active.max.y));

    xn::DepthMetaData& slotDepth = m_depthMaps[slotIndex];
    if (factor > 1) {
        m_commonData->Downscale(depthMD, slotDepth, factor);
    } else {
        std::memcpy(slotDepth.WritableData(), depthMD.Data(),
                    static_cast<size_t>(inputWidth) * static_cast<size_t>(inputHeight) * sizeof(XnDepthPixel));
    }
    timer.Line(XN_LOG_INFO, [&](std::ostream& out) { out << "Frame " << f << (factor > 1 ? " - Downscale" : " - Copy"); });

    m_currentFrame->m_frameId = f;
    m_currentFrame->m_time = t;
    const XnDepthPixel* depth = slotDepth.Data();
    XnDepthPixel* shift = m_sharedShift.WritableData();
    for (int i = 0, n = m_width * m_height; i < n; ++i) {
        shift[i] = m_depthToShift[depth[i]];
    }
    timer.Line(XN_LOG_INFO, [](std::ostream& out) { out << " - Depth2Shift"; });

    if (f - m_firstFrameId <= 2u) {
        return;
    }

    const size_t previous = (f + 7u) & 7u;
    const size_t beforePrevious = (f + 6u) & 7u;
    const xn::DepthMetaData* depths[3] = {m_depthRing[slotIndex].m_depth, m_depthRing[previous].m_depth,
                                          m_depthRing[beforePrevious].m_depth};
    const Array2D<unsigned short>* views[3] = {m_shiftViews[slotIndex].get(), m_shiftViews[previous].get(),
                                               m_shiftViews[beforePrevious].get()};
    m_focusBackgroundModel.Update(depths, views, f, t, m_focusMask.Data(), m_trackedBoxes.data(),
                                  m_numTrackedBoxes);
    timer.Line(XN_LOG_INFO, [](std::ostream& out) { out << " - BG Model update"; });

    if (f % 5u == 0) {
        m_handDetector->FindHandCandidates(m_currentFrame, searchBox, &m_focusBackgroundModel.m_motionImage, 1, 0,
                                           nullptr, m_handCandidates, m_numHandCandidates);
        timer.Line(XN_LOG_INFO, [](std::ostream& out) { out << " - FindHandCandidates (no forearms)"; });
        if (m_forearmRequired != 0) {
            m_handDetector->FindHandCandidates(m_currentFrame, searchBox, &m_focusBackgroundModel.m_motionImage, 1,
                                               1, nullptr, m_forearmCandidates, m_numForearmCandidates);
            timer.Line(XN_LOG_INFO, [](std::ostream& out) { out << " - FindHandCandidates (with forearms)"; });
        }
        m_extremePointsReporter->FindNewCandidates(*m_currentFrame, DUZExtremePointsReporter::Heads, 0, nullptr,
                                                   &searchBox);
        int assigned = 0;
        for (int i = 1; i < m_numHandCandidates; ++i) {
            const Vector3D<float> c = m_handCandidates.m_centerOfMass[static_cast<size_t>(i)];
            if (IsZero(c)) {
                continue;
            }
            const int hasForearm =
                m_forearmRequired != 0 && !IsZero(m_forearmCandidates.m_centerOfMass[static_cast<size_t>(i)]) ? 1
                                                                                                                : 0;
            DUZTrackedObject* found = nullptr;
            if (IsTracked(m_handCandidates.m_imageBounds[static_cast<size_t>(i)], c.z, -1, &found) != 0) {
                if (m_forearmRequired != 0) {
                    found->m_hasForearm = hasForearm;
                }
            } else if (IsCloseToTrackedHead(c) == 0) {
                Vector3D<float> position = c;
                assigned += AssignTracker(*m_currentFrame, position, hasForearm);
            }
        }
        timer.Line(XN_LOG_INFO, [](std::ostream& out) { out << " - Assign trackers"; });
        if (Logging(*m_logger, XN_LOG_INFO)) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_INFO) << "Assigned " << assigned << " new trackers";
        }
    }

    m_extremePointsReporter->Update(*m_currentFrame);
    const int updated = UpdateTrackers(*m_currentFrame, 0);
    timer.Line(
        XN_LOG_INFO, [](std::ostream& out) { out << " - Update trackers"; },
        [updated](std::ostream& out) { out << " (num updated trackers = " << updated << ")"; });
    DetectGestures(static_cast<int>(m_currentFrame->m_frameId));
    timer.Line(XN_LOG_INFO, [](std::ostream& out) { out << " - Detect gestures"; });
    total.Line(XN_LOG_WARNING, [](std::ostream& out) { out << " - Update total"; });
}

int DUZGestureRecognizerManager::AssignTracker(NADepthMapContainer& frame, Vector3D<float>& position,
                                               int hasForearm) {
    for (int index = 0; index < kTrackedObjects; ++index) {
        DUZTrackedObject& object = *m_trackedObjects[static_cast<size_t>(index)];
        if (object.m_tracker.m_state != DUZHandTrackerBase::eInactive) {
            continue;
        }
        if (Logging(*m_logger, XN_LOG_INFO)) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_INFO)
                << "Assigning tracker index " << index << " at pos " << position << "\n";
        }
        object.StartTracking(frame, m_depthRing.data(), kRingSize, position, index, hasForearm);
        object.m_trajectory.LogTrajectory(*m_logger, kMask);
        if (Logging(*m_logger, XN_LOG_INFO)) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_INFO) << "Assigned tracker index " << index
                                                          << " at pos (after backwards tracking) "
                                                          << object.m_tracker.m_position << std::endl;
        }
        return 1;
    }
    if (Logging(*m_logger, XN_LOG_WARNING)) {
        NALoggerHelper(*m_logger, kMask, XN_LOG_WARNING) << "Failed to assign tracker at pos " << position << "\n";
    }
    return 0;
}

int DUZGestureRecognizerManager::IsTracked(const Box2D<int>& box, float z, int excludedIndex,
                                           DUZTrackedObject** found) {
    DUZTrackedObject* result = nullptr;
    for (int index = 0; index < kTrackedObjects && result == nullptr; ++index) {
        DUZTrackedObject& object = *m_trackedObjects[static_cast<size_t>(index)];
        if (index == excludedIndex || object.m_tracker.m_state == DUZHandTrackerBase::eInactive) {
            continue;
        }
        const Box2D<int>& window = object.m_tracker.m_searchBounds;
        const bool overlaps = window.min.x <= box.max.x && window.max.x >= box.min.x && window.min.y <= box.max.y &&
                              window.max.y >= box.min.y;
        if (overlaps && std::fabs(object.m_tracker.m_position.z - z) < kSameHandDepth) {
            result = &object;
        }
    }
    if (found != nullptr) {
        *found = result;
    }
    return result != nullptr ? 1 : 0;
}

int DUZGestureRecognizerManager::IsCloseToTrackedHead(const Vector3D<float>& position) {
    DUZExtremePointData* candidates = nullptr;
    short count = 0;
    m_extremePointsReporter->GetCandidates(&candidates, count);
    for (int i = 0; i < count; ++i) {
        if (candidates[i].m_mode == DUZExtremePointsReporter::Heads && candidates[i].m_box.Intersects(position)) {
            return 1;
        }
    }
    return 0;
}

int DUZGestureRecognizerManager::UpdateTrackers(NADepthMapContainer& frame, int flag) {
    std::fill(m_focusMask.Data(), m_focusMask.Data() + m_focusMask.Size(), 0);
    m_numTrackedBoxes = 0;

    Box3D<float> headBoxes[DUZExtremePointsReporter::kMaxCandidates];
    int numHeadBoxes = 0;
    DUZExtremePointData* candidates = nullptr;
    short count = 0;
    m_extremePointsReporter->GetCandidates(&candidates, count);
    for (int i = 0; i < count && numHeadBoxes < DUZExtremePointsReporter::kMaxCandidates; ++i) {
        if (candidates[i].m_mode == DUZExtremePointsReporter::Heads) {
            headBoxes[numHeadBoxes++] = candidates[i].m_box;
        }
    }

    int updated = 0;
    for (int i = 0; i < kTrackedObjects; ++i) {
        DUZTrackedObject& object = *m_trackedObjects[static_cast<size_t>(i)];
        if (object.m_tracker.m_state == DUZHandTrackerBase::eInactive) {
            continue;
        }
        ++updated;
        object.Update(frame, flag, headBoxes, numHeadBoxes);
        if (object.m_tracker.m_state == DUZHandTrackerBase::eTracking) {
            DUZTrackedObject* other = nullptr;
            if (IsTracked(object.m_tracker.m_searchBounds, object.m_tracker.m_position.z, i, &other) != 0) {
                // The later-started one goes; on a tie the other one.
                const bool resetThis = object.m_trajectory.m_startFrameId > other->m_trajectory.m_startFrameId;
                DUZTrackedObject& reset = resetThis ? object : *other;
                DUZTrackedObject& kept = resetThis ? *other : object;
                if (Logging(*m_logger, XN_LOG_WARNING)) {
                    NALoggerHelper(*m_logger, kMask, XN_LOG_WARNING)
                        << "Identified two trackers on same object. Resetting tracker at pos "
                        << reset.m_tracker.m_position << " Start frame " << reset.m_trajectory.m_startFrameId
                        << " Leaving tracker at pos " << kept.m_tracker.m_position << " Start frame "
                        << kept.m_trajectory.m_startFrameId << std::endl;
                }
                reset.Reset();
            }
            if (Logging(*m_logger, XN_LOG_INFO)) {
                NALoggerHelper(*m_logger, kMask, XN_LOG_INFO)
                    << "Tracker index " << i << " Updated to pos " << object.m_tracker.m_position;
            }
        }
        const Box2D<int> box = object.m_tracker.m_searchBounds;
        m_trackedBoxes[static_cast<size_t>(m_numTrackedBoxes++)] = box;
        const int top = std::max(box.min.y, 0);
        const int bottom = std::min(box.max.y, m_focusMask.Rows() - 1);
        const int left = std::max(box.min.x, 0);
        const int right = std::min(box.max.x, m_focusMask.Columns() - 1);
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                m_focusMask(y, x) = 1;
            }
        }
    }
    return updated;
}
