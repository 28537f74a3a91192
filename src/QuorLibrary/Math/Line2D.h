#pragma once

// An unbounded 2D line in image or plane coordinates.

#include "QuorLibrary/Math/LineBase.h"
#include "QuorLibrary/Math/Vector2D.h"

template <typename T>
class Line2D : public LineBase<Vector2D<T> > {
public:
    Line2D() = default;
    Line2D(const Vector2D<T>& origin, const Vector2D<T>& direction) : LineBase<Vector2D<T> >(origin, direction) {}
    Line2D(const Line2D&) = default;
    Line2D& operator=(const Line2D&) = default;
};
