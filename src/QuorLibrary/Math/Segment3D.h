#pragma once

// A 3D segment in world millimetres with cached length and direction.

#include "QuorLibrary/Math/SegmentBase.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Segment3D : public SegmentBase<Vector3D<T> > {
public:
    Segment3D() = default;
    Segment3D(const Vector3D<T>& start, const Vector3D<T>& end) : SegmentBase<Vector3D<T> >(start, end) {}
};
