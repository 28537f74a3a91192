#pragma once

// The OpenNI1-era point record: three floats, world millimetres or a depth
// pixel's column, row and depth.

#include "OSLayer/XnPlatform.h"

struct XnPoint3D {
    XnFloat X;
    XnFloat Y;
    XnFloat Z;
};

namespace xn {

inline XnPoint3D xnCreatePoint3D(XnFloat x, XnFloat y, XnFloat z) { return XnPoint3D{x, y, z}; }

}  // namespace xn
