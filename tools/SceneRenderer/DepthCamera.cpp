#include "SceneRenderer/DepthCamera.h"

#include <cmath>

namespace vela::scene {

DepthCamera::DepthCamera(int width, int height, float horizontalFov)
    : m_nWidth(width), m_nHeight(height), m_fHorizontalFov(horizontalFov) {
    // The tangent of the single-precision half angle in double, doubled in
    // double and rounded to float; then the division in float.
    const float twoTan = static_cast<float>(2.0 * std::tan(static_cast<double>(horizontalFov * 0.5f)));
    m_fPixelFactor = twoTan / static_cast<float>(width);
    m_fCenterX = 0.5f * static_cast<float>(width);
    m_fCenterY = 0.5f * static_cast<float>(height);
}

double DepthCamera::VerticalFovFor(double horizontalFov) {
    return 2.0 * std::atan(0.75 * std::tan(horizontalFov / 2.0));
}

Point3f DepthCamera::PixelToWorld(float column, float row, float z) const {
    Point3f p;
    p.x = (column - m_fCenterX) * m_fPixelFactor * z;
    p.y = (m_fCenterY - row) * m_fPixelFactor * z;
    p.z = z;
    return p;
}

bool DepthCamera::WorldToPixel(const Point3f& world, float& column, float& row) const {
    if (!(world.z > 0.0f)) {
        return false;
    }
    const float s = 1.0f / (m_fPixelFactor * world.z);
    column = s * world.x + m_fCenterX;
    row = m_fCenterY - s * world.y;
    return true;
}

}  // namespace vela::scene
