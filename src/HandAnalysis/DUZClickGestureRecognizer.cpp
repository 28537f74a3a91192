#include "HandAnalysis/DUZClickGestureRecognizer.h"

#include <algorithm>
#include <climits>

#include "HandAnalysis/DUZFocusGestureTrajectory.h"
#include "HandAnalysis/DUZGestureLog.h"
#include "HandAnalysis/DUZGestureRecognizer.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

using duz_gesture_log::Forward;
using duz_gesture_log::LogRing;
using duz_gesture_log::SlotOf;

DUZClickGestureRecognizer::DUZClickGestureRecognizer()
    : m_gesturePointingLocation(0, 0, 0), m_movementLength(160) {}

int DUZClickGestureRecognizer::Initialize(const std::string& iniFile, int verbose) {
    return ReadParameters(iniFile, verbose, 1);
}

int DUZClickGestureRecognizer::ReadParameters(const std::string& iniFile, int verbose, int initial) {
    if (initial == 0) {
        return 1;
    }
    DUZStraightLinesGestureRecognizer::ReadParameters(iniFile, verbose, initial);
    const std::string section = "FocusRecognizer";
    const bool echo = verbose != 0;
    ReadFromINI(iniFile, section, "GesturePointingLocation", m_gesturePointingLocation, echo);
    ReadFromINI(iniFile, section, "MovementLength", m_movementLength, echo);
    return 1;
}

GestureStatus DUZClickGestureRecognizer::Run(NATrajectory& trajectory, int frameId, Vector3D<float>& position,
                                             int /*hasForearm*/, int useRobust) {
    DUZ_GESTURE_LOG(*m_logger) << "DUZClickGestureRecognizer::Run, Frame ID " << frameId << "\n";
    DUZFocusGestureTrajectory* focus = dynamic_cast<DUZFocusGestureTrajectory*>(&trajectory);
    if (focus == nullptr) {
        return GESTURE_STATUS_NONE;
    }
    return useRobust != 0 ? RunRobust(*focus, frameId, position) : RunPlain(*focus, position);
}

namespace {

// The pull back's length: the configured one negated. The lowest int, which
// a settings file can hold, has no negation; the highest int stands in.
int Negated(int length) { return length == INT_MIN ? INT_MAX : -length; }

}  // namespace

GestureStatus DUZClickGestureRecognizer::RunPlain(DUZFocusGestureTrajectory& trajectory, Vector3D<float>& position) {
    int& status = trajectory.m_gestureStatus[GESTURE_CLICK];
    const int c = SlotOf(trajectory.m_latestFrameId);
    const Vector3D<float> none(0, 0, 0);
    position = trajectory.m_positions[c];
    int slot = 0;
    Line3D<float> line;
    if (AnalyzeStraightLineMovement(trajectory, c, 1, m_gesturePointingLocation, 0, none, Negated(m_movementLength),
                                    slot, line) != 0) {
        int pauseStart = 0;
        int pauseEnd = 0;
        if (IdentifyDirectionChange(trajectory, c, line, 1, -line.m_direction, pauseStart, pauseEnd) == 0) {
            return GESTURE_STATUS_NONE;
        }
        int pushSlot = 0;
        if (AnalyzeStraightLineMovement(trajectory, pauseStart, 1, m_gesturePointingLocation, 0, none,
                                        m_movementLength, pushSlot, line) == 0) {
            status = GESTURE_STATUS_NONE;
            return GESTURE_STATUS_NONE;
        }
        if (ValidateMovement(trajectory, c, pushSlot) == 0) {
            return GESTURE_STATUS_NONE;
        }
        LogRing(*m_logger, trajectory);
        DUZ_GESTURE_LOG(*m_logger) << "Reseting candidate\n";
        trajectory.Reset();
        status = GESTURE_STATUS_COMPLETED;
        return GESTURE_STATUS_COMPLETED;
    }
    if (trajectory.m_frameIds[c] == 0) {
        return GESTURE_STATUS_NONE;
    }
    if (AnalyzeStraightLineMovement(trajectory, c, 1, m_gesturePointingLocation, 0, none, m_movementLength, slot,
                                    line) == 0) {
        status = GESTURE_STATUS_NONE;
        return GESTURE_STATUS_NONE;
    }
    // In progress is reported once per push.
    if (status == GESTURE_STATUS_IN_PROGRESS) {
        return GESTURE_STATUS_NONE;
    }
    status = GESTURE_STATUS_IN_PROGRESS;
    return GESTURE_STATUS_IN_PROGRESS;
}

int DUZClickGestureRecognizer::ValidateMovement(NATrajectory& trajectory, int currentSlot, int firstSlot) {
    const DUZFocusGestureTrajectory* focus = dynamic_cast<const DUZFocusGestureTrajectory*>(&trajectory);
    if (focus == nullptr) {
        return 0;
    }
    const int last = SlotOf(currentSlot);
    int flat = 0;
    float fastest = 0.0f;
    for (int j = SlotOf(firstSlot);; j = Forward(j)) {
        const Vector2D<float>& size = focus->m_handSizeAtSlot[j];
        if (size.y / size.x < kMinHeightToWidth) {
            ++flat;
        }
        if (NATrajectory::IsSetVelocity(trajectory.m_velocities[j])) {
            fastest = std::max(fastest, trajectory.m_velocities[j].Magnitude());
        }
        if (j == last) {
            break;
        }
    }
    if (flat > kMaxFlatSlots) {
        DUZ_GESTURE_LOG(*m_logger) << "Bad orientation during: " << flat << " frames.";
        LogRing(*m_logger, trajectory);
        return 0;
    }
    DUZ_GESTURE_LOG(*m_logger) << "Gesture detected, fMaxVelocity = " << fastest;
    return 1;
}

GestureStatus DUZClickGestureRecognizer::RunRobust(DUZFocusGestureTrajectory& trajectory, int frameId,
                                                   Vector3D<float>& position) {
    int& status = trajectory.m_gestureStatus[GESTURE_CLICK];
    SensorTime& time = trajectory.m_gestureTime[GESTURE_CLICK];
    int& value = trajectory.m_gestureValue[GESTURE_CLICK];
    int& flag = trajectory.m_gestureFlag[GESTURE_CLICK];
    FittedTrajectory& fitted = trajectory.m_fittedTrajectory;
    const PushGestureRecognizer push;
    const int entry = status;
    GestureStatus result = static_cast<GestureStatus>(entry);

    int reached = 0;
    const float reference = static_cast<float>(value);
    if (push.CheckDistance(fitted, status != GESTURE_STATUS_STARTED ? 1 : 0, reference, reached) == 1) {
        value = static_cast<int>(fitted.GetLatestPosition().z);
        status = GESTURE_STATUS_IN_PROGRESS;
        time = fitted.GetLatestTime();
        position = fitted.GetLatestPosition();
        result = GESTURE_STATUS_IN_PROGRESS;
    }
    if (reached != 0 && flag == 0 && entry == GESTURE_STATUS_IN_PROGRESS) {
        status = GESTURE_STATUS_FURTHER_STAGE;
        time = fitted.GetLatestTime();
        flag = 1;
        position = fitted.GetLatestPosition();
        result = GESTURE_STATUS_FURTHER_STAGE;
    }
    if (status == GESTURE_STATUS_STARTED) {
        // The call still returns what it entered with.
        if (fitted.GetLatestTime().SecondsSince(time) > kStartTimeout) {
            status = GESTURE_STATUS_NONE;
            time = SensorTime(0);
        }
    } else {
        Vector3D<float> tip;
        if (push.ApplyStart(fitted, tip)) {
            position = tip;
            status = GESTURE_STATUS_STARTED;
            time = fitted.GetLatestTime();
            value = static_cast<int>(tip.z);
            result = GESTURE_STATUS_STARTED;
            flag = 0;
        }
    }
    if (trajectory.m_justLost != 0) {
        fitted.ForcedUpdate();
    }
    const FittedTrajectory::ExtremaList& extrema = fitted.GetExtremaAlongAxis(FittedTrajectory::eZAxis);
    const int n = static_cast<int>(extrema.size());
    if (n <= 2) {
        return result;
    }
    for (int k = n - 1; k >= 2; --k) {
        SensorTime start;
        SensorTime end;
        if (push.DetectAtInterval(fitted, extrema, 0, k, start, end)) {
            position = fitted.FittedPosAtTime(end);
            DUZ_GESTURE_LOG(*m_logger) << "DUZClickGestureRecognizer::Run, Frame ID " << frameId
                                       << " GestureDetected: " << "Position: " << position;
            trajectory.Reset();
            status = GESTURE_STATUS_COMPLETED;
            time = fitted.GetLatestTime();
            return GESTURE_STATUS_COMPLETED;
        }
    }
    return result;
}
