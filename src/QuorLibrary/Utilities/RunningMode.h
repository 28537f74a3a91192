#pragma once

#include <cstdint>

// A running mode: a mode, a value and a count of runs.
struct RunningMode {
    int32_t m_mode = 0;
    int32_t m_value = 0;
    int32_t m_count = 0;

    // A count of -1 with a non-zero mode means "run for ever" (10^9).
    void Set(int32_t mode, int32_t count, int32_t value);
};
