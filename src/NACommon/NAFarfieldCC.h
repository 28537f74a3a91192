#pragma once

// The measurements of one foreground component of the background model,
// one record per label: how much of it has background behind it, how much
// of its border blends smoothly into its surroundings and how stable it is.
// From them the model decides whether the component is background after
// all.

#include <cstdint>

#include "QuorLibrary/Math/Box3D.h"

struct NAFarfieldCC {
    // Column and row bounds of the component's pixels; the depth pair is
    // filled only on demand (a derived model's user tests).
    Box3D<int> box;
    int32_t area = 0;
    // Pixels off the component's border, and on it.
    int32_t interior = 0;
    int32_t border = 0;
    // Border pixels whose neighbours outside the foreground all lie within
    // the edge allowance of the pixel's shift.
    int32_t softBorder = 0;
    // Interior pixels with a known background.
    int32_t interiorOnBg = 0;
    // Pixels whose shift held still over the last three frames.
    int32_t stable = 0;
    // 1 when some border pixel has a known background.
    int32_t borderOnBg = 0;

    void Clear() { *this = NAFarfieldCC(); }
};
