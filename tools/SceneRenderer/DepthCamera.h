#pragma once

// The depth camera's pinhole model, identical to the system's conversion of
// depth pixels to world points: one pixel at depth z spans k*z millimetres in
// both directions, k = 2 tan(hfov / 2) / width, and pixel (c, r) looks along
// ((c - W/2) k, (H/2 - r) k, 1): no half-pixel offset. k and the centres are
// single precision and computed the way the system computes them, so world
// points agree bit for bit with what the system derives from a frame.

#include "SceneRenderer/SceneMath.h"

namespace vela::scene {

struct Point3f {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

class DepthCamera {
public:
    // Horizontal field of view of the simulated sensor, radians, as the depth
    // stream reports it (a float).
    static constexpr float kDefaultHorizontalFov = 1.0226f;

    DepthCamera(int width, int height, float horizontalFov = kDefaultHorizontalFov);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    float HorizontalFov() const { return m_fHorizontalFov; }
    // 2 atan(0.75 tan(hfov / 2)): the vertical field of view of a 4:3 image
    // with square pixels.
    double VerticalFov() const { return VerticalFovFor(m_fHorizontalFov); }
    static double VerticalFovFor(double horizontalFov);

    // k: millimetres per pixel per millimetre of depth.
    float PixelFactor() const { return m_fPixelFactor; }
    float CenterX() const { return m_fCenterX; }
    float CenterY() const { return m_fCenterY; }

    // The world point the system computes for pixel (column, row) at depth z:
    // ((c - cx) k z, (cy - r) k z, z) in single precision, left to right.
    Point3f PixelToWorld(float column, float row, float z) const;
    // The system's projection: s = 1 / (k z); (s X + cx, cy - s Y, z). False
    // (and nothing written) for z <= 0.
    bool WorldToPixel(const Point3f& world, float& column, float& row) const;

    // Direction of the ray through a pixel with unit depth, in double.
    Vec3 RayDirection(double column, double row) const {
        return {(column - m_fCenterX) * static_cast<double>(m_fPixelFactor),
                (m_fCenterY - row) * static_cast<double>(m_fPixelFactor), 1.0};
    }

private:
    int m_nWidth;
    int m_nHeight;
    float m_fHorizontalFov;
    float m_fPixelFactor;
    float m_fCenterX;
    float m_fCenterY;
};

}  // namespace vela::scene
