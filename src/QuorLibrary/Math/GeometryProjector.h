#pragma once

// Image boxes and image lines of world shapes, through the pinhole model of
// a world-point converter: a world point (X, Y, Z) with Z > 0 lies at pixel
// (X/(kZ) + cx, cy - Y/(kZ)). The limb trackers bound their pixel searches
// with these boxes and the hand tracker looks for candidates inside the image
// box of a world box. Bounds come from end points or corners only, never from
// the projected shape. A point at or behind the camera (Z <= 0) counts as
// pixel (0, 0).
//
// The converter lives with the depth processing; include
// "QuorLibrary/SensorUtilities/WorldPointConverter.h" before calling these.

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Frame3D.h"
#include "QuorLibrary/Math/Line2D.h"
#include "QuorLibrary/Math/Line3D.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/Segment3D.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

template <typename T>
class WorldPointConverterBase;

template <typename T>
class GeometryProjector {
    static_assert(std::is_same<T, float>::value, "GeometryProjector is for float geometry");

public:
    // Image box of the segment thickened by a world radius, clamped to the
    // image on the sides where it can leave it (min x and y at 0, max x at
    // W - 1, max y at H - 1).
    static Box2D<int> GetApproximateProjectedBounds(const WorldPointConverterBase<T>& converter,
                                                    const Segment3D<T>& segment, T radius) {
        const Box2D<T> bounds = GetApproximateProjectedBoundsUnclamped(converter, segment, radius);
        return Clamped(converter, Box2D<int>(Truncate(bounds.min.x), Truncate(bounds.min.y), Truncate(bounds.max.x),
                                             Truncate(bounds.max.y)));
    }

    // The same bounds in T, neither truncated nor clamped.
    static Box2D<T> GetApproximateProjectedBoundsUnclamped(const WorldPointConverterBase<T>& converter,
                                                           const Segment3D<T>& segment, T radius) {
        const Box2D<T> a = EndPointBounds(converter, segment.GetStart(), radius);
        const Box2D<T> b = EndPointBounds(converter, segment.GetEnd(), radius);
        return Box2D<T>(std::min(a.min.x, b.min.x), std::min(a.min.y, b.min.y), std::max(a.max.x, b.max.x),
                        std::max(a.max.y, b.max.y));
    }

    // The image line through the projections of the origin and of origin +
    // direction, with a unit direction; (1, 0) when the two coincide.
    static Line2D<T> Project(const WorldPointConverterBase<T>& converter, const Line3D<T>& line) {
        const Vector2D<T> p0 = ProjectOrOrigin(converter, line.m_origin);
        const Vector2D<T> p1 = ProjectOrOrigin(converter, line.m_origin + line.m_direction);
        return Line2D<T>(p0, (p1 - p0).Normalized());
    }

    // Image box of a box given in the coordinates of frame, from its eight
    // corners, clamped like the segment bounds.
    static Box2D<int> GetProjectedBounds(const WorldPointConverterBase<T>& converter, const Frame3D<T>& frame,
                                         const Box3D<T>& box) {
        const Vector3D<T> extent = box.max - box.min;
        const Vector3D<T> first = frame.FrameToWorld(box.min);
        const Vector3D<T> steps[3] = {frame.m_orientation.GetColumn(0) * extent.x,
                                      frame.m_orientation.GetColumn(1) * extent.y,
                                      frame.m_orientation.GetColumn(2) * extent.z};
        Box2D<int> bounds;
        for (int corner = 0; corner < 8; ++corner) {
            Vector3D<T> p = first;
            for (int axis = 0; axis < 3; ++axis) {
                if (corner & (1 << axis)) {
                    p += steps[axis];
                }
            }
            Vector2D<int> pixel(0, 0);
            if (p.z > 0) {
                const T kz = converter.m_fPixelSizeFactor * p.z;
                pixel = Vector2D<int>(Truncate(p.x / kz + converter.m_fCenterX),
                                      Truncate(converter.m_fCenterY - p.y / kz));
            }
            bounds.min.x = std::min(bounds.min.x, pixel.x);
            bounds.min.y = std::min(bounds.min.y, pixel.y);
            bounds.max.x = std::max(bounds.max.x, pixel.x);
            bounds.max.y = std::max(bounds.max.y, pixel.y);
        }
        return Clamped(converter, bounds);
    }

    // Image box of an axis-aligned world box: each side is projected at the
    // depth where it reaches farthest from the image centre (the near face
    // for sides beyond the optical axis, the far face for the others), with
    // depths below 1 taken as 1. Each bound lies on one side of the centre,
    // so one clamp per bound keeps it in the image.
    static Box2D<int> GetProjectedBounds(const WorldPointConverterBase<T>& converter, const Box3D<T>& box) {
        const T k = converter.m_fPixelSizeFactor;
        const T cx = converter.m_fCenterX;
        const T cy = converter.m_fCenterY;
        const int lastX = converter.m_nXRes - 1;
        const int lastY = converter.m_nYRes - 1;
        const T zNear = std::max(box.min.z, T(1));
        const T zFar = std::max(box.max.z, T(1));
        const T inear = T(1) / (k * zNear);
        const T ifar = T(1) / (k * zFar);
        Box2D<int> bounds;
        bounds.min.x = box.min.x < 0 ? std::max(0, Floor(box.min.x * inear + cx))
                                     : std::min(lastX, Floor(box.min.x * ifar + cx));
        bounds.max.x = box.max.x < 0 ? std::max(0, Floor(box.max.x * ifar + cx))
                                     : std::min(lastX, Floor(box.max.x * inear + cx));
        bounds.min.y = box.max.y < 0 ? std::min(lastY, Floor(cy - box.max.y * ifar))
                                     : std::max(0, Floor(cy - box.max.y * inear));
        bounds.max.y = box.min.y < 0 ? std::min(lastY, Floor(cy - box.min.y * inear))
                                     : std::max(0, Floor(cy - box.min.y * ifar));
        return bounds;
    }

private:
    // Float pixel coordinates far off the image (points just in front of the
    // camera) do not fit an int: they saturate instead.
    static int Truncate(T value) { return vela_math::SaturatingTruncate(static_cast<double>(value)); }
    static int Floor(T value) { return vela_math::SaturatingTruncate(std::floor(static_cast<double>(value))); }

    static Box2D<T> EndPointBounds(const WorldPointConverterBase<T>& converter, const Vector3D<T>& p, T radius) {
        if (!(p.z > 0)) {
            return Box2D<T>(0, 0, 0, 0);
        }
        const T c = T(1) / (converter.m_fPixelSizeFactor * p.z);
        const T x = p.x * c + converter.m_fCenterX;
        const T y = converter.m_fCenterY - p.y * c;
        const T r = radius * c;
        return Box2D<T>(x - r, y - r, x + r, y + r);
    }

    static Vector2D<T> ProjectOrOrigin(const WorldPointConverterBase<T>& converter, const Vector3D<T>& p) {
        if (!(p.z > 0)) {
            return Vector2D<T>(0, 0);
        }
        const Vector3D<T> pixel = converter.ProjectivePt(p);
        return Vector2D<T>(pixel.x, pixel.y);
    }

    static Box2D<int> Clamped(const WorldPointConverterBase<T>& converter, Box2D<int> bounds) {
        bounds.min.x = std::max(bounds.min.x, 0);
        bounds.min.y = std::max(bounds.min.y, 0);
        bounds.max.x = std::min(bounds.max.x, converter.m_nXRes - 1);
        bounds.max.y = std::min(bounds.max.y, converter.m_nYRes - 1);
        return bounds;
    }
};
