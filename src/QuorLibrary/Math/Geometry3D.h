#pragma once

// An abstract 3D shape that can tell whether it holds a point.

#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Geometry3D {
public:
    virtual bool Intersects(const Vector3D<T>& point) const = 0;

protected:
    // Shapes are never deleted through this base.
    Geometry3D() = default;
    Geometry3D(const Geometry3D&) = default;
    Geometry3D& operator=(const Geometry3D&) = default;
    ~Geometry3D() = default;
};
