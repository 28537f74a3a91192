#pragma once

// The statistics of one label of the skeleton-resolution label map that the
// multi-user driver gathers each frame: pixel count, centre of mass, pixel
// boxes at every level, depth range and world box. World x and y are the
// converter's fixed-point projection of each pixel (mm, y up), z the depth.

#include <cstdint>

#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"

class UserLabelInfo {
public:
    int pixelCount = 0;
    // (0, 0, 0) while the label has no pixels.
    Vector3D<float> com;
    // 64-bit: a VGA label map of a user far away passes the int range in
    // the depth sum.
    int64_t sumX = 0;
    int64_t sumY = 0;
    int64_t sumZ = 0;
    // By Resolution 0 to 6; empty on levels the containers do not hold.
    Box2D<int> boundsPix[7];
    Box1D<int> depthBounds;
    // The float copy of boundsInt (an empty one becomes +-2^31).
    Box3D<float> boundsRW;
    Box3D<int> boundsInt;
};
