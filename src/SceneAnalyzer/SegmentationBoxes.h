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

// The column ranges of a and b meet (bounds inclusive).
inline bool MeetX(const Box3D<int>& a, const Box3D<int>& b) { return a.min.x <= b.max.x && b.min.x <= a.max.x; }
// The row ranges of a and b meet (bounds inclusive).
inline bool MeetY(const Box3D<int>& a, const Box3D<int>& b) { return a.min.y <= b.max.y && b.min.y <= a.max.y; }
// The depth ranges of a and b meet (bounds inclusive).
inline bool MeetZ(const Box3D<int>& a, const Box3D<int>& b) { return a.min.z <= b.max.z && b.min.z <= a.max.z; }
// Length of the overlap of [a0, a1] and [b0, b1] (max - min of the
// intersection; negative when they miss).
inline long long Overlap(int a0, int a1, int b0, int b1) {
    return static_cast<long long>(std::min(a1, b1)) - std::max(a0, b0);
}
// The same, 0 when they miss.
inline long long OverlapOrZero(int a0, int a1, int b0, int b1) { return std::max(0LL, Overlap(a0, a1, b0, b1)); }

}  // namespace scene_analysis
