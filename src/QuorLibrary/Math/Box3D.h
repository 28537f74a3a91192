#pragma once

// Axis-aligned 3D box with inclusive corners: world millimetres in float,
// pixels and millimetres in int.

#include <istream>
#include <ostream>

#include "QuorLibrary/Math/BoxBase.h"
#include "QuorLibrary/Math/Geometry3D.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class Box3D : public Geometry3D<T>, public BoxBase<Vector3D<T>, T> {
public:
    Box3D() = default;
    Box3D(const Vector3D<T>& minCorner, const Vector3D<T>& maxCorner) : BoxBase<Vector3D<T>, T>(minCorner, maxCorner) {}

    // Both ends inclusive; a NaN component is outside.
    bool Intersects(const Vector3D<T>& p) const override {
        return this->min.x <= p.x && p.x <= this->max.x && this->min.y <= p.y && p.y <= this->max.y &&
               this->min.z <= p.z && p.z <= this->max.z;
    }

    // The empty (inverted) box, made once.
    static const Box3D& EmptyBox() {
        static const Box3D s_empty;
        return s_empty;
    }
};

// Text form per axis, minimum then maximum: "min.x max.x min.y max.y min.z max.z".
template <typename T>
std::ostream& operator<<(std::ostream& out, const Box3D<T>& b) {
    return out << b.min.x << ' ' << b.max.x << ' ' << b.min.y << ' ' << b.max.y << ' ' << b.min.z << ' '
               << b.max.z;
}

// Reads the six numbers in the written order; a component that fails leaves
// the ones after it unchanged.
template <typename T>
std::istream& operator>>(std::istream& in, Box3D<T>& b) {
    return in >> b.min.x >> b.max.x >> b.min.y >> b.max.y >> b.min.z >> b.max.z;
}
