#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

DUZMovingHandCandidateGestureRecognizer::DUZMovingHandCandidateGestureRecognizer()
    : m_minFrameForMotionGesture(15), m_maxFrameForMotionGesture(60), m_stdThresholdMotionGesture(80.0f) {}

int DUZMovingHandCandidateGestureRecognizer::ReadParameters(const std::string& iniFile, int verbose, int initial) {
    if (initial == 0) {
        return 1;
    }
    const std::string section = "FocusRecognizer";
    const bool echo = verbose != 0;
    ReadFromINI(iniFile, section, "MinFrameForMotionGesture", m_minFrameForMotionGesture, echo);
    ReadFromINI(iniFile, section, "MaxFrameForMotionGesture", m_maxFrameForMotionGesture, echo);
    ReadFromINI(iniFile, section, "StdThresholdMotionGesture", m_stdThresholdMotionGesture, echo);
    return 1;
}

GestureStatus DUZMovingHandCandidateGestureRecognizer::Run(NATrajectory& trajectory, int frameId,
                                                           Vector3D<float>& position, int hasForearm,
                                                           int /*useRobust*/) {
    if (!IsTrackedWithForearm(trajectory, frameId, hasForearm)) {
        return GESTURE_STATUS_NONE;
    }
    const int current = CurrentSlot(frameId);
    uint32_t previous = trajectory.m_frameIds[current];
    int n = 0;
    float sx = 0, sy = 0, sz = 0, sxx = 0, sxy = 0, sxz = 0, syy = 0, syz = 0, szz = 0;
    for (int step = 0; step < NATrajectory::kLength; ++step) {
        const int slot = (current - step + NATrajectory::kLength) % NATrajectory::kLength;
        const uint32_t id = trajectory.m_frameIds[slot];
        if (id == 0) {
            continue;
        }
        // A newer frame behind an older one: the ring is out of order.
        if (id > previous) {
            return GESTURE_STATUS_NONE;
        }
        previous = id;
        const Vector3D<float>& p = trajectory.m_positions[slot];
        ++n;
        sx += p.x;
        sy += p.y;
        sz += p.z;
        sxx += p.x * p.x;
        sxy += p.x * p.y;
        sxz += p.x * p.z;
        syy += p.y * p.y;
        syz += p.y * p.z;
        szz += p.z * p.z;
        if (n > m_maxFrameForMotionGesture) {
            break;
        }
    }
    if (n < m_minFrameForMotionGesture || n == 0) {
        return GESTURE_STATUS_NONE;
    }
    const float count = static_cast<float>(n);
    const float mx = sx / count;
    const float my = sy / count;
    const float mz = sz / count;
    const SymmetricMatrix3X3<float> covariance(sxx / count - mx * mx, sxy / count - mx * my, sxz / count - mx * mz,
                                               syy / count - my * my, syz / count - my * mz, szz / count - mz * mz);
    const Vector3D<float> eigenvalues = covariance.GetEigenvalues();
    const float spread = std::sqrt(std::max(eigenvalues.x, 0.0f) + std::max(eigenvalues.y, 0.0f) +
                                   std::max(eigenvalues.z, 0.0f));
    if (spread > m_stdThresholdMotionGesture) {
        position = trajectory.m_positions[current];
        return GESTURE_STATUS_IN_PROGRESS;
    }
    return GESTURE_STATUS_NONE;
}
