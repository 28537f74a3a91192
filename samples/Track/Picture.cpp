#include "Picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

struct Colour {
    uint8_t r, g, b;
};

// By user id modulo 10.
const Colour kUserColours[10] = {{230, 80, 80},  {80, 160, 240}, {90, 200, 90},  {240, 190, 60}, {190, 100, 230},
                                 {60, 210, 210}, {240, 130, 40}, {150, 220, 90}, {240, 110, 180}, {140, 140, 240}};
const Colour kWhite = {255, 255, 255};

const VelaJointType kBones[][2] = {
    {VELA_JOINT_HEAD, VELA_JOINT_NECK},
    {VELA_JOINT_NECK, VELA_JOINT_LEFT_SHOULDER},
    {VELA_JOINT_NECK, VELA_JOINT_RIGHT_SHOULDER},
    {VELA_JOINT_LEFT_SHOULDER, VELA_JOINT_LEFT_ELBOW},
    {VELA_JOINT_LEFT_ELBOW, VELA_JOINT_LEFT_HAND},
    {VELA_JOINT_RIGHT_SHOULDER, VELA_JOINT_RIGHT_ELBOW},
    {VELA_JOINT_RIGHT_ELBOW, VELA_JOINT_RIGHT_HAND},
    {VELA_JOINT_LEFT_SHOULDER, VELA_JOINT_TORSO},
    {VELA_JOINT_RIGHT_SHOULDER, VELA_JOINT_TORSO},
    {VELA_JOINT_TORSO, VELA_JOINT_LEFT_HIP},
    {VELA_JOINT_TORSO, VELA_JOINT_RIGHT_HIP},
    {VELA_JOINT_LEFT_HIP, VELA_JOINT_RIGHT_HIP},
    {VELA_JOINT_LEFT_HIP, VELA_JOINT_LEFT_KNEE},
    {VELA_JOINT_LEFT_KNEE, VELA_JOINT_LEFT_FOOT},
    {VELA_JOINT_RIGHT_HIP, VELA_JOINT_RIGHT_KNEE},
    {VELA_JOINT_RIGHT_KNEE, VELA_JOINT_RIGHT_FOOT},
};

// Joints below this confidence are not drawn.
const float kMinConfidence = 0.5f;

void Plot(RgbImage& image, int x, int y, Colour c) {
    if (x >= 0 && y >= 0 && x < image.width && y < image.height) {
        uint8_t* p = image.At(x, y);
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
}

void Square(RgbImage& image, int cx, int cy, int half, Colour c) {
    for (int y = cy - half; y <= cy + half; ++y) {
        for (int x = cx - half; x <= cx + half; ++x) {
            Plot(image, x, y, c);
        }
    }
}

void Line(RgbImage& image, int x0, int y0, int x1, int y1, Colour c) {
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
        const double t = steps == 0 ? 0.0 : static_cast<double>(i) / steps;
        Plot(image, static_cast<int>(std::lround(x0 + t * (x1 - x0))), static_cast<int>(std::lround(y0 + t * (y1 - y0))),
             c);
    }
}

// The depth in grey, nearer brighter, scaled to the frame's own range.
RgbImage DepthPicture(const OniFrame* depth) {
    RgbImage image(depth->width, depth->height);
    const uint16_t* pixels = static_cast<const uint16_t*>(depth->data);
    const int stride = depth->stride / 2;
    uint16_t nearest = 0xFFFF;
    uint16_t farthest = 0;
    for (int y = 0; y < depth->height; ++y) {
        for (int x = 0; x < depth->width; ++x) {
            const uint16_t d = pixels[y * stride + x];
            if (d != 0) {
                nearest = std::min(nearest, d);
                farthest = std::max(farthest, d);
            }
        }
    }
    const double range = std::max(1, farthest - nearest);
    for (int y = 0; y < depth->height; ++y) {
        for (int x = 0; x < depth->width; ++x) {
            const uint16_t d = pixels[y * stride + x];
            const uint8_t grey = d == 0 ? 0 : static_cast<uint8_t>(255 - 200 * (d - nearest) / range);
            Plot(image, x, y, Colour{grey, grey, grey});
        }
    }
    return image;
}

// The depth-image pixel of a world point.
template <class Convert>
bool Project(Convert convert, const VelaPoint3f& p, int& x, int& y) {
    float px = 0;
    float py = 0;
    if (convert(p, &px, &py) != VELA_STATUS_OK || !std::isfinite(px) || !std::isfinite(py)) {
        return false;
    }
    x = static_cast<int>(std::lround(px));
    y = static_cast<int>(std::lround(py));
    return true;
}

}  // namespace

RgbImage UserFramePicture(VelaUserTrackerHandle tracker, const VelaUserTrackerFrame& frame) {
    RgbImage image = DepthPicture(frame.depthFrame);
    const VelaUserMap& map = frame.userMap;
    if (map.pixels != nullptr && map.width == image.width && map.height == image.height) {
        for (int y = 0; y < map.height; ++y) {
            for (int x = 0; x < map.width; ++x) {
                const int16_t id = map.pixels[y * (map.stride / 2) + x];
                if (id > 0) {
                    const Colour c = kUserColours[id % 10];
                    uint8_t* p = image.At(x, y);
                    // Tinted, keeping the depth's shading.
                    p[0] = static_cast<uint8_t>(p[0] * c.r / 255);
                    p[1] = static_cast<uint8_t>(p[1] * c.g / 255);
                    p[2] = static_cast<uint8_t>(p[2] * c.b / 255);
                }
            }
        }
    }
    auto convert = [tracker](const VelaPoint3f& p, float* x, float* y) {
        return velaConvertJointCoordinatesToDepth(tracker, p.x, p.y, p.z, x, y);
    };
    for (int i = 0; i < frame.userCount; ++i) {
        const VelaSkeleton& skeleton = frame.users[i].skeleton;
        if (skeleton.state != VELA_SKELETON_TRACKED) {
            continue;
        }
        for (const auto& bone : kBones) {
            const VelaSkeletonJoint& a = skeleton.joints[bone[0]];
            const VelaSkeletonJoint& b = skeleton.joints[bone[1]];
            int ax, ay, bx, by;
            if (a.positionConfidence >= kMinConfidence && b.positionConfidence >= kMinConfidence &&
                Project(convert, a.position, ax, ay) && Project(convert, b.position, bx, by)) {
                Line(image, ax, ay, bx, by, kWhite);
            }
        }
        for (const VelaSkeletonJoint& joint : skeleton.joints) {
            int x, y;
            if (joint.positionConfidence >= kMinConfidence && Project(convert, joint.position, x, y)) {
                Square(image, x, y, 2, kUserColours[frame.users[i].id % 10]);
            }
        }
    }
    return image;
}

RgbImage HandFramePicture(VelaHandTrackerHandle tracker, const VelaHandTrackerFrame& frame) {
    RgbImage image = DepthPicture(frame.depthFrame);
    auto convert = [tracker](const VelaPoint3f& p, float* x, float* y) {
        return velaConvertHandCoordinatesToDepth(tracker, p.x, p.y, p.z, x, y);
    };
    for (int i = 0; i < frame.handCount; ++i) {
        const VelaHandData& hand = frame.hands[i];
        int x, y;
        if (Project(convert, hand.position, x, y)) {
            const Colour c = hand.state == VELA_HAND_STATE_LOST                      ? Colour{230, 60, 60}
                             : (hand.state & VELA_HAND_STATE_TOUCHING_FOV) != 0 ? Colour{240, 220, 60}
                                                                                 : Colour{60, 220, 60};
            Square(image, x, y, 4, c);
        }
    }
    return image;
}
