#pragma once

// Coordinate conversion on a tracker's depth stream, exactly as OpenNI2
// converts: no lock, no tracker state. Each returns VELA_STATUS_OK, or
// VELA_STATUS_ERROR when OpenNI2 reports an error (or an output is null);
// the outputs hold whatever OpenNI2 wrote. The converted depth or world z is
// not returned.

#include <cstdint>

#include "Api/TrackerBase.h"

VelaStatus ConvertWorldToDepth(const TrackerBase& tracker, float x, float y, float z, float* outX, float* outY);
VelaStatus ConvertDepthToWorld(const TrackerBase& tracker, int32_t x, int32_t y, uint16_t depth, float* outX,
                               float* outY);
