#include "HandAnalysis/DUZSwipeGestureRecognizer.h"

#include "HandAnalysis/DUZGestureLog.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

DUZSwipeGestureRecognizer::DUZSwipeGestureRecognizer(const Vector3D<float>& direction)
    : m_movementLength(200), m_swipeDirection(direction) {
    m_lookBackFrames = 60;
}

int DUZSwipeGestureRecognizer::Initialize(const std::string& iniFile, int verbose) {
    return ReadParameters(iniFile, verbose, 1);
}

int DUZSwipeGestureRecognizer::ReadParameters(const std::string& iniFile, int verbose, int initial) {
    if (initial == 0) {
        return 1;
    }
    DUZStraightLinesGestureRecognizer::ReadParameters(iniFile, verbose, initial);
    ReadFromINI(iniFile, "FocusRecognizer", "MovementLength", m_movementLength, verbose != 0);
    return 1;
}

GestureType DUZSwipeGestureRecognizer::GetType() const {
    if (m_swipeDirection.x == 1.0f) {
        return GESTURE_SWIPE_PLUS_X;
    }
    if (m_swipeDirection.x == -1.0f) {
        return GESTURE_SWIPE_MINUS_X;
    }
    return GESTURE_SWIPE_OTHER;
}

GestureStatus DUZSwipeGestureRecognizer::Run(NATrajectory& trajectory, int /*frameId*/, Vector3D<float>& position,
                                             int /*hasForearm*/, int /*useRobust*/) {
    const int c = duz_gesture_log::SlotOf(trajectory.m_latestFrameId);
    const Vector3D<float> none(0, 0, 0);
    position = trajectory.m_positions[c];
    int pauseStart = 0;
    int pauseEnd = 0;
    if (IdentifyPause(trajectory, c, kRestSpeedScale, 0, none, 1, m_swipeDirection, pauseStart, pauseEnd) == 0) {
        return GESTURE_STATUS_NONE;
    }
    int segmentSlot = 0;
    Line3D<float> line(none, Vector3D<float>(1, 0, 0));
    if (AnalyzeStraightLineMovement(trajectory, pauseStart, 0, none, 1, m_swipeDirection, m_movementLength,
                                    segmentSlot, line) == 0) {
        return GESTURE_STATUS_NONE;
    }
    int start = 0;
    int end = 0;
    if (IdentifyDirectionChange(trajectory, pauseStart, line, 0, none, start, end) == 0) {
        return GESTURE_STATUS_NONE;
    }
    duz_gesture_log::LogRing(*m_logger, trajectory);
    DUZ_GESTURE_LOG(*m_logger) << "Detected swipe, direction " << m_swipeDirection.x << " " << m_swipeDirection.y
                               << " " << m_swipeDirection.z << ". Reseting candidate\n";
    trajectory.Reset();
    return GESTURE_STATUS_COMPLETED;
}
