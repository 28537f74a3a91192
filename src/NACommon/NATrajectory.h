#pragma once

// The last 90 frames of one tracked point: position, frame id, time stamp
// and velocity per frame, in a fixed ring addressed by frame id (frame f in
// slot f mod 90). Storing a frame overwrites whatever its slot held, so a
// reader that wants frame f checks that slot f mod 90 holds f. A slot is
// filled when its frame id is not 0. Readers walk back from the latest
// frame's slot. The gesture side derives its candidate trajectory from it.

#include <cstdint>

#include "NACommon/NALogger.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector3D.h"

class NATrajectory {
public:
    static constexpr int kLength = 90;
    // A velocity of this value on an axis is no velocity.
    static constexpr float kUnsetVelocity = 9999.0f;

    NATrajectory();
    virtual ~NATrajectory() = default;

    // Empties every slot: positions 0, frame ids 0, times 0, velocities
    // unset; start position 0, latest and start frame ids -1.
    virtual void Reset();

    // Stores the frame in its slot and makes it the latest frame; the
    // slot's velocity stays as it was until UpdateVelocity.
    void UpdateNewPosition(const Vector3D<float>& position, unsigned int frameId, SensorTime time);
    // The velocity of frame frameId's slot from the nearest filled slot at
    // most 5 slots back (whatever frame it holds), per second; that slot's
    // own velocity, when set, becomes the mean of its old value and this
    // one. Unset when there is no such slot, or when the slot's time is not
    // later than that slot's (the same instant, or a recording that started
    // over).
    void UpdateVelocity(unsigned int frameId);
    // Writes the ring as text through the algorithm logger (mask, verbose),
    // frame id by frame id from the smallest stored one up to but not
    // including the latest: each line shows whatever that frame's slot
    // holds.
    void LogTrajectory(NALogger& logger, const char* mask);

    // The slot of a frame id.
    static int Slot(unsigned int frameId) { return static_cast<int>(frameId % kLength); }
    static bool IsSetVelocity(const Vector3D<float>& velocity) {
        return velocity.x != kUnsetVelocity && velocity.y != kUnsetVelocity && velocity.z != kUnsetVelocity;
    }

    Vector3D<float> m_positions[kLength];  // world mm
    uint32_t m_frameIds[kLength];          // 0: empty slot
    SensorTime m_times[kLength];           // microseconds
    Vector3D<float> m_velocities[kLength];  // mm/s
    Vector3D<float> m_startPosition;
    // The frame id of the last store (not the largest one stored); owners
    // that store earlier frames after a later one set it themselves.
    int32_t m_latestFrameId;
    int32_t m_startFrameId;
};
