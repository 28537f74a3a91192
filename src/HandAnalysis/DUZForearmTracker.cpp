#include "HandAnalysis/DUZForearmTracker.h"

#include <algorithm>
#include <cmath>

#include "QuorLibrary/Math/Quaternion.h"

namespace {

// A unit vector perpendicular to v.
Vector3D<float> Perpendicular(const Vector3D<float>& v) {
    const float ax = std::fabs(v.x);
    const float ay = std::fabs(v.y);
    const float az = std::fabs(v.z);
    Vector3D<float> p;
    if (ay > ax) {
        p = ax < az ? Vector3D<float>(0.0f, v.z, -v.y) : Vector3D<float>(v.y, -v.x, 0.0f);
    } else {
        p = ay < az ? Vector3D<float>(-v.z, 0.0f, v.x) : Vector3D<float>(v.y, -v.x, 0.0f);
    }
    return p.Normalized();
}

}  // namespace

DUZForearmTracker::DUZForearmTracker()
    : m_forearmDirection(0.0f, 0.0f, 0.0f),
      m_lastUpdateTime(SensorTime::InvalidTime()),
      m_lastHandPosition(0.0f, 0.0f, 0.0f),
      m_updateGain(0.5f),
      m_maxStepAngle(0.5235988f),
      m_forearmLength(300.0f) {}

int DUZForearmTracker::Initialize(const std::string& iniFile, int verbose) {
    m_detector.Initialize(iniFile, verbose);
    m_updateGain = 0.5f;
    m_maxStepAngle = 0.5235988f;
    m_forearmLength = 300.0f;
    return 1;
}

int DUZForearmTracker::ReadParameters(const std::string& iniFile, int verbose, int flag) {
    if (flag == 0) {
        m_detector.ReadParameters(iniFile, verbose, flag);
    }
    return 1;
}

int DUZForearmTracker::StartTracking(const NADepthMapContainer& container, const DUZHandPartition* partition,
                                     const Vector3D<float>& hand, unsigned int trackerId) {
    m_forearmDirection = Vector3D<float>(0.0f, 0.0f, -1.0f);
    m_lastHandPosition = hand;
    m_lastUpdateTime = SensorTime::InvalidTime();
    int flipped = 0;
    Vector3D<float> flippedHand;
    Update(container, partition, hand, trackerId, flipped, flippedHand);
    return flipped == 0 ? 1 : 0;
}

void DUZForearmTracker::Update(const NADepthMapContainer& container, const DUZHandPartition* partition,
                               const Vector3D<float>& hand, unsigned int trackerId, int& flipped,
                               Vector3D<float>& flippedHand) {
    flipped = 0;
    ComputePrediction(container, hand);
    Vector3D<float> measured = m_forearmDirection;
    if (m_detector.Run(container, partition, hand, trackerId, measured, flipped, flippedHand) != 0) {
        // A hand farther from the sensor than its forearm is not believed.
        if (measured.z > 0.0f) {
            measured.z = 0.0f;
            measured.Normalize();
        }
        if (flipped != 0 || m_lastUpdateTime == SensorTime::InvalidTime()) {
            m_forearmDirection = measured;
        } else {
            UpdateForearmDirection(measured);
        }
    }
    m_lastUpdateTime = container.m_time;
    m_lastHandPosition = flipped != 0 ? flippedHand : hand;
}

void DUZForearmTracker::ComputePrediction(const NADepthMapContainer& /*container*/, const Vector3D<float>& hand) {
    if (m_lastUpdateTime == SensorTime::InvalidTime()) {
        return;
    }
    const Vector3D<float> elbow = m_lastHandPosition - m_forearmDirection * m_forearmLength;
    UpdateForearmDirection((hand - elbow).Normalized());
}

void DUZForearmTracker::UpdateForearmDirection(const Vector3D<float>& measured) {
    const Vector3D<float>& v = m_forearmDirection;
    const float angle = std::acos(std::max(-1.0f, std::min(1.0f, v.Dot(measured))));
    const Vector3D<float> cross = v.Cross(measured);
    const Vector3D<float> axis = std::sqrt(cross.MagnitudeSquared()) < 1e-8f ? Perpendicular(v) : cross.Normalized();
    const float turn = std::min(angle * m_updateGain, m_maxStepAngle);
    const float s = std::sin(turn * 0.5f);
    const Quaternion<float> rotation(std::cos(turn * 0.5f), axis.x * s, axis.y * s, axis.z * s);
    m_forearmDirection = rotation.Rotate(v);
}
