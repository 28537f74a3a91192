#pragma once

// Axis-aligned 2D box with inclusive corners, above all image boxes in pixels.

#include <istream>
#include <ostream>

#include "QuorLibrary/Math/BoxBase.h"
#include "QuorLibrary/Math/Vector2D.h"

template <typename T>
class Box2D : public BoxBase<Vector2D<T>, T> {
public:
    Box2D() = default;
    Box2D(const Vector2D<T>& minCorner, const Vector2D<T>& maxCorner) : BoxBase<Vector2D<T>, T>(minCorner, maxCorner) {}
    Box2D(T minX, T minY, T maxX, T maxY) : BoxBase<Vector2D<T>, T>(Vector2D<T>(minX, minY), Vector2D<T>(maxX, maxY)) {}

    bool operator==(const Box2D& o) const { return this->min == o.min && this->max == o.max; }
    bool operator!=(const Box2D& o) const { return !(*this == o); }

    static const Box2D& EmptyBox() {
        static const Box2D s_empty;
        return s_empty;
    }
};

// Text form per axis, minimum then maximum: "min.x max.x min.y max.y".
template <typename T>
std::ostream& operator<<(std::ostream& out, const Box2D<T>& b) {
    return out << b.min.x << ' ' << b.max.x << ' ' << b.min.y << ' ' << b.max.y;
}

template <typename T>
std::istream& operator>>(std::istream& in, Box2D<T>& b) {
    return in >> b.min.x >> b.max.x >> b.min.y >> b.max.y;
}
