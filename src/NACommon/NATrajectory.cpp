#include "NACommon/NATrajectory.h"

#include <cstdint>

#include "NACommon/NALoggerHelper.h"

NATrajectory::NATrajectory() { NATrajectory::Reset(); }

void NATrajectory::Reset() {
    for (int i = 0; i < kLength; ++i) {
        m_positions[i] = Vector3D<float>(0, 0, 0);
        m_frameIds[i] = 0;
        m_times[i] = SensorTime(0);
        m_velocities[i] = Vector3D<float>(kUnsetVelocity, kUnsetVelocity, kUnsetVelocity);
    }
    m_startPosition = Vector3D<float>(0, 0, 0);
    m_latestFrameId = -1;
    m_startFrameId = -1;
}

void NATrajectory::UpdateNewPosition(const Vector3D<float>& position, unsigned int frameId, SensorTime time) {
    const int slot = Slot(frameId);
    m_positions[slot] = position;
    m_frameIds[slot] = frameId;
    m_times[slot] = time;
    m_latestFrameId = static_cast<int32_t>(frameId);
}

void NATrajectory::UpdateVelocity(unsigned int frameId) {
    const int current = Slot(frameId);
    // Only whether a slot is filled counts, so a slot still holding a frame
    // of an earlier lap is taken as the earlier sample.
    int earlier = -1;
    for (int back = 1; back <= 5; ++back) {
        const int slot = (current + kLength - back) % kLength;
        if (m_frameIds[slot] != 0) {
            earlier = slot;
            break;
        }
    }
    const Vector3D<float> unset(kUnsetVelocity, kUnsetVelocity, kUnsetVelocity);
    if (earlier < 0 || m_times[current] <= m_times[earlier]) {
        m_velocities[current] = unset;
        return;
    }
    const float k = 1.0f / m_times[current].SecondsSince(m_times[earlier]);
    m_velocities[current] = (m_positions[current] - m_positions[earlier]) * k;
    if (m_velocities[earlier].x != kUnsetVelocity) {
        m_velocities[earlier] = (m_velocities[earlier] + m_velocities[current]) * 0.5f;
    }
}

void NATrajectory::LogTrajectory(NALogger& logger, const char* mask) {
    if (logger.GetEnabled() == 0 || !xnLogIsEnabled(mask, XN_LOG_VERBOSE)) {
        return;
    }
    int64_t first = INT64_MAX;
    for (int i = 0; i < kLength; ++i) {
        const int32_t id = static_cast<int32_t>(m_frameIds[i]);
        if (id != 0 && id < first) {
            first = id;
        }
    }
    NALoggerHelper(logger, mask, XN_LOG_VERBOSE) << "Trajectory printout: ";
    for (int64_t i = first; i < m_latestFrameId; ++i) {
        const int slot = Slot(static_cast<unsigned int>(i));
        NALoggerHelper(logger, mask, XN_LOG_VERBOSE)
            << "I: " << slot << " F: " << m_frameIds[slot] << " Pos: " << m_positions[slot]
            << ", Velocity: " << m_velocities[slot] << "\t";
    }
    NALoggerHelper(logger, mask, XN_LOG_VERBOSE) << "\n";
}
