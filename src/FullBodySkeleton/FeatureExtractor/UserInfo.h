#pragma once

// Where one user lies in the current frame: the centre of the user's pixels
// in world millimetres, the pixel box at every resolution, the depth range
// and the world box. The multi-user driver refreshes it before the user's
// feature extractor runs; a new one is empty (centre 0, every box empty), and
// stays so until the driver's first update after the user's creation.

#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"

class UserInfo {
public:
    explicit UserInfo(int id) : userId(id) {}

    int userId;
    Vector3D<float> com;
    // By Resolution 0 to 6.
    Box2D<int> boundsPix[7];
    Box1D<int> depthBounds;
    Box3D<float> boundsRW;
};
