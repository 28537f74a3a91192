#pragma once

// The time stamp of a depth frame: a signed 64-bit count of microseconds,
// passed with frames, poses, trajectories and histories. It converts to and
// from the plain count, so differences and offsets are ordinary integer
// arithmetic. State snapshots store its 8 raw bytes.

#include <cstdint>
#include <type_traits>

class SensorTime {
public:
    SensorTime() : m_nMicroseconds(0) {}
    SensorTime(int64_t microseconds) : m_nMicroseconds(microseconds) {}  // NOLINT(google-explicit-constructor)

    operator int64_t() const { return m_nMicroseconds; }  // NOLINT(google-explicit-constructor)

    // The unset time: the largest signed 64-bit value.
    static const SensorTime& InvalidTime() {
        static const SensorTime s_invalid(INT64_MAX);
        return s_invalid;
    }

private:
    int64_t m_nMicroseconds;
};

static_assert(sizeof(SensorTime) == 8, "a time stamp is stored as 8 bytes");
static_assert(std::is_trivially_copyable<SensorTime>::value, "a time stamp is stored as raw bytes");
