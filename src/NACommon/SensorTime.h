#pragma once

// The time stamp of a depth frame: a signed 64-bit count of microseconds,
// passed with frames, poses, trajectories and histories. It converts to and
// from the plain count, so differences and offsets are ordinary integer
// arithmetic. State snapshots store its 8 raw bytes.

#include <cmath>
#include <cstdint>
#include <type_traits>

class SensorTime {
public:
    SensorTime() : m_nMicroseconds(0) {}
    SensorTime(int64_t microseconds) : m_nMicroseconds(microseconds) {}  // NOLINT(google-explicit-constructor)

    operator int64_t() const { return m_nMicroseconds; }  // NOLINT(google-explicit-constructor)

    // The span from `earlier` to this time in seconds, in single precision:
    // float(difference) x 1e-6, as every formula on spans takes it. A
    // difference beyond the 64-bit range saturates.
    float SecondsSince(const SensorTime& earlier) const {
        int64_t difference = 0;
        if (__builtin_sub_overflow(m_nMicroseconds, earlier.m_nMicroseconds, &difference)) {
            difference = m_nMicroseconds < 0 ? INT64_MIN : INT64_MAX;
        }
        return static_cast<float>(difference) * 1e-6f;
    }

    // This time plus a span in seconds: the span x 1e6 in single precision,
    // truncated toward zero. Results beyond the 64-bit range saturate; a span
    // that is not a number adds nothing.
    SensorTime PlusSeconds(float seconds) const {
        const float microseconds = seconds * 1e6f;
        const float limit = 9.2233720368547758e18f;  // 2^63
        int64_t offset = 0;
        if (microseconds >= limit) {
            offset = INT64_MAX;
        } else if (microseconds <= -limit) {
            offset = INT64_MIN;
        } else if (!std::isnan(microseconds)) {
            offset = static_cast<int64_t>(microseconds);
        }
        int64_t sum = 0;
        if (__builtin_add_overflow(m_nMicroseconds, offset, &sum)) {
            sum = offset < 0 ? INT64_MIN : INT64_MAX;
        }
        return SensorTime(sum);
    }

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
