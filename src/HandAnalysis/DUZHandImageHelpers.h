#pragma once

// Small pieces the hand-side image analyses share: inclusive pixel boxes,
// depth reads that treat the image's outside as missing depth, the hand's
// pixel, and the fan of rays cast around it.

#include <algorithm>
#include <cmath>
#include <vector>

#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnDepthMetaData.h"

namespace duz_image {

inline int Truncate(float value) { return vela_math::SaturatingTruncate(static_cast<double>(value)); }

inline bool IsEmpty(const Box2D<int>& box) { return box.min.x > box.max.x || box.min.y > box.max.y; }

inline Box2D<int> Intersection(const Box2D<int>& a, const Box2D<int>& b) {
    return Box2D<int>(std::max(a.min.x, b.min.x), std::max(a.min.y, b.min.y), std::min(a.max.x, b.max.x),
                      std::min(a.max.y, b.max.y));
}

// The smallest box holding both; the empty box (Box2D's default) adds
// nothing.
inline Box2D<int> Union(const Box2D<int>& a, const Box2D<int>& b) {
    return Box2D<int>(std::min(a.min.x, b.min.x), std::min(a.min.y, b.min.y), std::max(a.max.x, b.max.x),
                      std::max(a.max.y, b.max.y));
}

// The box inside a width x height image.
inline Box2D<int> ClippedToImage(const Box2D<int>& box, int width, int height) {
    return Intersection(box, Box2D<int>(0, 0, width - 1, height - 1));
}

inline bool Contains(const Box2D<int>& box, int x, int y) {
    return x >= box.min.x && x <= box.max.x && y >= box.min.y && y <= box.max.y;
}

inline bool IsInImage(const xn::DepthMetaData& depth, int x, int y) {
    return x >= 0 && y >= 0 && x < static_cast<int>(depth.XRes()) && y < static_cast<int>(depth.YRes());
}

// Depth at (x, y); 0 outside the image.
inline unsigned short DepthAt(const xn::DepthMetaData& depth, int x, int y) {
    return IsInImage(depth, x, y) ? depth(x, y) : static_cast<unsigned short>(0);
}

// Millimetres per pixel at the hand's depth (z times the converter's factor).
inline float PixelSizeAtHand(const WorldPointConverterBase<float>& converter, const Vector3D<float>& hand) {
    return hand.z * converter.m_fPixelSizeFactor;
}

// The hand's pixel, (0, 0) when it is not in front of the sensor.
inline Vector2D<float> HandPixel(const WorldPointConverterBase<float>& converter, const Vector3D<float>& hand) {
    if (hand.z <= 0.0f) {
        return Vector2D<float>(0.0f, 0.0f);
    }
    const float size = PixelSizeAtHand(converter, hand);
    return Vector2D<float>(hand.x / size + converter.m_fCenterX, converter.m_fCenterY - hand.y / size);
}

// count rays around a point, ray i at angle i / count x 2 pi (0 along +x of
// the image, growing toward +y, down), with its direction (cos, sin). Only
// rebuilt when the count changed.
inline void FillRayFan(int count, std::vector<float>& angles, std::vector<Vector2D<float>>& directions) {
    if (static_cast<int>(directions.size()) == count) {
        return;
    }
    const size_t n = static_cast<size_t>(std::max(count, 0));
    angles.resize(n);
    directions.resize(n);
    const float turn = static_cast<float>(2.0 * M_PI);
    for (size_t i = 0; i < n; ++i) {
        angles[i] = static_cast<float>(i) / static_cast<float>(count) * turn;
        directions[i] = Vector2D<float>(std::cos(angles[i]), std::sin(angles[i]));
    }
}

}  // namespace duz_image
