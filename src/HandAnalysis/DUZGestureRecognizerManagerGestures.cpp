// The gesture manager's recognizer runs and its gesture events.

#include <cmath>

#include "HandAnalysis/DUZGestureRecognizerManager.h"
#include "NACommon/NAConverterTables.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"

namespace {

constexpr const char* kMask = "GestureRecognizerManager";
constexpr const char* kEventMask = "HandTrackerManager";

// Hand sizes reported (mm): widths and heights are held to these ranges, and
// a value that is not a number becomes the upper bound.
constexpr float kMinHandWidth = 50.0f;
constexpr float kMaxHandWidth = 150.0f;
constexpr float kMinHandHeight = 80.0f;
constexpr float kMaxHandHeight = 250.0f;

float Clamp(float value, float low, float high) {
    value = value < high ? value : high;
    return value > low ? value : low;
}

bool Logging(NALogger& logger, const char* mask, XnLogSeverity severity) {
    return logger.GetEnabled() != 0 && xnLogIsEnabled(mask, severity);
}

}  // namespace

void DUZGestureRecognizerManager::DetectGestures(int frameId) {
    const WorldPointConverterBase<float>& converter = *m_converter;
    for (auto& objectPointer : m_trackedObjects) {
        DUZTrackedObject& object = *objectPointer;
        DUZFocusGestureTrajectory& trajectory = object.m_trajectory;
        if (object.m_tracker.m_state != DUZHandTrackerBase::eTracking && trajectory.m_justLost == 0) {
            continue;
        }
        for (int j = 0; j < kRecognizers; ++j) {
            DUZGestureRecognizerBase& recognizer = *m_recognizers[static_cast<size_t>(j)];
            if (recognizer.m_active == 0) {
                continue;
            }
            const int previous = trajectory.m_gestureStatus[j];
            const unsigned int id = static_cast<unsigned int>(trajectory.m_trajectoryId);
            Vector3D<float> position(0, 0, 0);
            const GestureStatus status =
                recognizer.Run(trajectory, frameId, position, object.m_hasForearm, m_useRobust ? 1 : 0);
            if (status != GESTURE_STATUS_IN_PROGRESS && status == previous) {
                continue;
            }
            // A depth the tables cannot be read at projects nowhere.
            const float z = position.z;
            if (!std::isfinite(z) || z <= -2147483648.0f || z >= 2147483648.0f) {
                continue;
            }
            const float p = InvPixelSizeAt(converter, static_cast<int>(z));
            const Vector3D<float> projected(position.x * p + converter.m_fCenterX,
                                            converter.m_fCenterY - position.y * p, z);
            if (!recognizer.m_bounds.Intersects(projected)) {
                continue;
            }
            if (Logging(*m_logger, kMask, XN_LOG_WARNING)) {
                NALoggerHelper(*m_logger, kMask, XN_LOG_WARNING)
                    << "Frame: " << frameId << "Status " << status << ", Currently at pos "
                    << object.m_tracker.m_position << " reported pos " << position << "\n";
            }
            if (status == GESTURE_STATUS_COMPLETED) {
                DUZExtremePointData* candidates = nullptr;
                short count = 0;
                m_extremePointsReporter->GetCandidates(&candidates, count);
                for (int i = 0; i < count; ++i) {
                    if (candidates[i].m_mode != DUZExtremePointsReporter::Heads &&
                        candidates[i].m_box.Intersects(object.m_tracker.m_position)) {
                        m_extremePointsReporter->StopTracker(candidates[i].m_position);
                        break;
                    }
                }
            }
            SendGestureEvent(object.m_tracker.m_position, position, recognizer.GetType(), status, id,
                             ClampedHandSize(trajectory.EstimateHandSize()));
        }
        if (trajectory.m_justLost != 0) {
            object.Reset();
        }
    }
}

Vector2D<float> DUZGestureRecognizerManager::ClampedHandSize(const Vector2D<float>& size) {
    return Vector2D<float>(Clamp(size.x, kMinHandWidth, kMaxHandWidth), Clamp(size.y, kMinHandHeight, kMaxHandHeight));
}

void DUZGestureRecognizerManager::SendGestureEvent(const Vector3D<float>& currentPosition,
                                                   Vector3D<float>& gesturePosition, GestureType type,
                                                   GestureStatus status, unsigned int objectId,
                                                   const Vector2D<float>& handSize) {
    NAEvent event(NAEvent::GESTURE);
    event.frameId = m_currentFrame != nullptr ? m_currentFrame->m_frameId : 0;
    event.timestamp = m_currentFrame != nullptr ? m_currentFrame->m_time : SensorTime(0);
    event.gesture.gestureType = type;
    event.gesture.gestureStatus = status;
    event.gesture.currentPosition = currentPosition;
    event.gesture.gesturePosition = gesturePosition;
    event.gesture.handSize = handSize;
    event.gesture.objectId = objectId;
    for (size_t i = 0; i < m_listeners.size(); ++i) {
        m_listeners[i]->ProcessEvent(event);
    }
    if (Logging(*m_logger, kEventMask, XN_LOG_VERBOSE)) {
        NALoggerHelper(*m_logger, kEventMask, XN_LOG_VERBOSE)
            << "sendgestureevent: " << "type: " << type << "status " << status << "current pos " << currentPosition
            << "gesture pos " << gesturePosition << "time " << static_cast<int64_t>(event.timestamp) << "ID "
            << objectId << std::endl;
    }
}
