#pragma once

// One horizontal run of one image row between a rising and the next
// falling depth step: the part of an upright object that the row crosses.

#include <cstdint>

struct Couple {
    int32_t row;
    // First and last column of the run (the pixels inside the steps).
    int32_t startCol;
    int32_t endCol;
    // Depths (mm) at startCol and endCol.
    uint16_t startDepth;
    uint16_t endDepth;
};
