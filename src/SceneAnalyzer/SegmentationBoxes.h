#pragma once

// Growing and testing the integer boxes of the segmentation (inclusive
// corners; the default box is empty and grows from any first value).

#include <algorithm>

#include "QuorLibrary/Math/Box3D.h"

namespace scene_analysis {

inline void GrowX(Box3D<int>& box, int x) {
    box.min.x = std::min(box.min.x, x);
    box.max.x = std::max(box.max.x, x);
}
inline void GrowY(Box3D<int>& box, int y) {
    box.min.y = std::min(box.min.y, y);
    box.max.y = std::max(box.max.y, y);
}
inline void GrowZ(Box3D<int>& box, int z) {
    box.min.z = std::min(box.min.z, z);
    box.max.z = std::max(box.max.z, z);
}
// The union of box and other.
inline void Grow(Box3D<int>& box, const Box3D<int>& other) {
    box.min.x = std::min(box.min.x, other.min.x);
    box.min.y = std::min(box.min.y, other.min.y);
    box.min.z = std::min(box.min.z, other.min.z);
    box.max.x = std::max(box.max.x, other.max.x);
    box.max.y = std::max(box.max.y, other.max.y);
    box.max.z = std::max(box.max.z, other.max.z);
}

}  // namespace scene_analysis
