#include "DepthPainting.h"

#include <algorithm>
#include <cmath>

namespace hand_test_kit {

namespace {

// Keeps the nearer surface.
void PaintNearer(xn::DepthMetaData& depth, int column, int row, float z) {
    if (!(z >= 1.0f) || z > 65535.0f) {
        return;
    }
    XnDepthPixel& pixel = depth.WritableData()[row * depth.XRes() + column];
    const XnDepthPixel value = static_cast<XnDepthPixel>(std::lround(z));
    if (pixel == 0 || value < pixel) {
        pixel = value;
    }
}

// The world x and y of a pixel at depth z.
void WorldXY(const WorldPointConverterBase<float>& converter, int column, int row, float z, float& x, float& y) {
    const float size = converter.m_fPixelSizeFactor * z;
    x = (static_cast<float>(column) - converter.m_fCenterX) * size;
    y = (converter.m_fCenterY - static_cast<float>(row)) * size;
}

}  // namespace

void PaintPlane(xn::DepthMetaData& depth, unsigned short value) {
    std::fill(depth.WritableData(), depth.WritableData() + depth.XRes() * depth.YRes(), value);
}

void PaintRect(xn::DepthMetaData& depth, const Box2D<int>& pixels, unsigned short value) {
    for (int r = std::max(pixels.min.y, 0); r <= std::min(pixels.max.y, depth.YRes() - 1); ++r) {
        for (int c = std::max(pixels.min.x, 0); c <= std::min(pixels.max.x, depth.XRes() - 1); ++c) {
            depth.WritableData()[r * depth.XRes() + c] = value;
        }
    }
}

void PaintBox(xn::DepthMetaData& depth, const WorldPointConverterBase<float>& converter, const Box3D<float>& box) {
    for (int r = 0; r < depth.YRes(); ++r) {
        for (int c = 0; c < depth.XRes(); ++c) {
            float x = 0.0f;
            float y = 0.0f;
            WorldXY(converter, c, r, box.min.z, x, y);
            if (x >= box.min.x && x <= box.max.x && y >= box.min.y && y <= box.max.y) {
                PaintNearer(depth, c, r, box.min.z);
            }
        }
    }
}

void PaintHand(xn::DepthMetaData& depth, const WorldPointConverterBase<float>& converter, const HandFixture& hand) {
    const Vector3D<float>& p = hand.center;
    const float across = std::hypot(hand.forearm.x, hand.forearm.y);
    for (int r = 0; r < depth.YRes(); ++r) {
        for (int c = 0; c < depth.XRes(); ++c) {
            float x = 0.0f;
            float y = 0.0f;
            WorldXY(converter, c, r, p.z, x, y);
            const float dx = x - p.x;
            const float dy = y - p.y;
            const float rho2 = dx * dx + dy * dy;
            if (rho2 <= hand.radius * hand.radius) {
                PaintNearer(depth, c, r, p.z - hand.thickness * std::sqrt(1.0f - rho2 / (hand.radius * hand.radius)));
            }
            // The forearm runs from the hand away from the fingers; one
            // pointing at the camera hides behind the hand.
            if (across < 1e-3f) {
                continue;
            }
            const float ux = hand.forearm.x / across;
            const float uy = hand.forearm.y / across;
            const float back = -(dx * ux + dy * uy);  // image-plane distance toward the elbow
            const float side = dx * uy - dy * ux;
            const float length = hand.forearmLength * across;
            if (back >= 0.0f && back <= length && std::fabs(side) <= 0.5f * hand.forearmWidth) {
                const float t = back / across;  // distance along the forearm
                PaintNearer(depth, c, r, p.z - hand.forearm.z * t + 0.5f * hand.thickness);
            }
        }
    }
}

void PaintStrip(xn::DepthMetaData& depth, const WorldPointConverterBase<float>& converter, const Vector3D<float>& from,
                const Vector3D<float>& to, float width) {
    const float ax = to.x - from.x;
    const float ay = to.y - from.y;
    const float length2 = ax * ax + ay * ay;
    if (!(length2 > 0.0f)) {
        return;
    }
    for (int r = 0; r < depth.YRes(); ++r) {
        for (int c = 0; c < depth.XRes(); ++c) {
            float x = 0.0f;
            float y = 0.0f;
            WorldXY(converter, c, r, from.z, x, y);
            const float t = ((x - from.x) * ax + (y - from.y) * ay) / length2;
            const float side = std::fabs((x - from.x) * ay - (y - from.y) * ax) / std::sqrt(length2);
            if (t >= 0.0f && t <= 1.0f && side <= 0.5f * width) {
                PaintNearer(depth, c, r, from.z + t * (to.z - from.z));
            }
        }
    }
}

}  // namespace hand_test_kit
