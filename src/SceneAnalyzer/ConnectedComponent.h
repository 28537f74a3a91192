#pragma once

// The measures of one connected component of a frame as the segmentation
// accumulates them over the component's runs: pixels, area, image and room
// boxes, centres, foreground and tracked area and, per user of the previous
// frame, the area of its pixels that kept both that user and their depth.
// The segmentation copies them into its per-component arrays.

#include <ostream>

#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

struct ConnectedComponent {
    ConnectedComponent();
    // Everything zero and both boxes empty.
    void Clear();

    int pixelCount;
    // The area sums run in 64 bits: a far component covering most of the
    // frame passes 32 bits before they are shifted to square millimetres.
    long long area;
    Box3D<int> bounds;
    // y and z accumulate at 1024 times scale until the sums are turned into
    // means.
    Box3D<int> boundsInRoom;
    int xCenter;
    int yCenter;
    int zCenter;
    Vector2D<int> xzCenter;
    Vector3D<int> centerInRoom;
    long long fgArea;
    long long trackedArea;
    long long userMetric[11];
    unsigned short userId;
    int node;
    bool noDepth;
    bool isFg;
    bool isTrakced;
    bool isForGluing;
    bool isPositive;
};

// One field per line ("pixelCount=", "area=", "bounds=", ...), then
// "userMetric=" and the ten per-user values.
std::ostream& operator<<(std::ostream& out, const ConnectedComponent& cc);
