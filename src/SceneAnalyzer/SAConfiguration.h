#pragma once

// The scene analyzer's settings, copied into it by Initialize. The analyzer
// reads no configuration file; the user tracker fills this record.

#include <cstdint>
#include <string>

#include "QuorLibrary/SensorUtilities/Resolution.h"

struct SAConfiguration {
    // A development switch with the frame range it applies to; only the
    // bit-exact dump reads the range.
    struct Switch {
        int32_t on;
        int32_t firstFrame;
        int32_t lastFrame;
    };

    // The vector variants of the per-pixel loops.
    Switch m_SSE = {1, -1, 1000000000};
    // Timing files.
    Switch m_profiling = {0, -1, -1};
    // The "sa" record file.
    Switch m_output = {0, -1, -1};
    // The bit-exact text dump.
    Switch m_bitExact = {0, -1, -1};
    // Resolution of every analysis component.
    Resolution m_resolution = QQVGA;
    // Resolution of the label map in the "sa" record.
    Resolution m_outputResolution = QQVGA;
    // Version name of the "sa" record.
    std::string m_verName;
    // The largest depth in millimetres the components treat as valid.
    uint16_t m_MaxSupportedDepth = 8000;
};
