#pragma once

// Pictures of tracker frames: the depth frame in grey (nearer is brighter,
// no depth black), each user's pixels tinted in the user's colour, tracked
// skeletons drawn over it in white, and hands as squares (green tracked,
// yellow touching the edge, red lost).

#include <Vela.h>

#include "PngWriter.h"

RgbImage UserFramePicture(VelaUserTrackerHandle tracker, const VelaUserTrackerFrame& frame);
RgbImage HandFramePicture(VelaHandTrackerHandle tracker, const VelaHandTrackerFrame& frame);
