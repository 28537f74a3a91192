#include "SceneRenderer/Poses.h"

#include <algorithm>
#include <cmath>

namespace vela::scene {

Vec3 ShoulderInChest(const BodyDimensions& dims, int side) {
    return {SideSign(side) * 0.5 * dims.shoulderWidth, dims.torsoHeight, 0.0};
}

Limb ArmTowards(const BodyDimensions& dims, int side, const Vec3& target, const Vec3& pole) {
    const double a = dims.upperArm, b = dims.lowerArm;
    const Vec3 shoulder = ShoulderInChest(dims, side);
    const Vec3 toTarget = target - shoulder;
    const Vec3 n = Normalized(toTarget, Vec3(0, -1, 0));
    const double d = std::clamp(Length(toTarget), std::fabs(a - b) + 0.05 * std::min(a, b), (a + b) * 0.999999);
    const double along = (a * a - b * b + d * d) / (2.0 * d);
    const double out = std::sqrt(std::max(a * a - along * along, 0.0));
    Vec3 q = pole - n * Dot(pole, n);
    q = Normalized(q, Normalized(Cross(n, Vec3(0, 0, 1)), Vec3(1, 0, 0)));
    const Vec3 elbow = shoulder + n * along + q * out;
    const Vec3 hand = shoulder + n * d;

    Limb limb;
    limb.upper = Normalized(elbow - shoulder);
    const Vec3 lower = Normalized(hand - elbow);
    const Vec3 c = Cross(limb.upper, lower);
    const double sine = Length(c);
    if (sine > 1e-9) {
        limb.hinge = c / sine;
        limb.bend = std::atan2(sine, Dot(limb.upper, lower));
    } else {
        limb.hinge = Normalized(Cross(q, limb.upper));
        limb.bend = 0.0;
    }
    return limb;
}

namespace {

BodyPose Stand() {
    BodyPose pose;
    for (int side = 0; side < 2; ++side) {
        pose.arms[side] = ArmFromAngles(side, 6, 0, 0, 8);
        pose.legs[side] = LegFromAngles(side, 2, 0, 0, 2);
    }
    return pose;
}

}  // namespace

const std::vector<std::string>& NamedPoseNames() {
    static const std::vector<std::string> kNames = {"stand", "psi", "calibration", "tpose", "arms_crossed",
                                                    "crossed_legs"};
    return kNames;
}

bool NamedPose(const std::string& name, const BodyDimensions& dims, BodyPose& pose) {
    pose = Stand();
    const double h = dims.height;
    if (name == "stand") {
        return true;
    }
    if (name == "psi" || name == "calibration") {
        for (int side = 0; side < 2; ++side) pose.arms[side] = ArmFromAngles(side, 90, 0, 90, 90);
        return true;
    }
    if (name == "tpose") {
        for (int side = 0; side < 2; ++side) pose.arms[side] = ArmFromAngles(side, 90, 0, 0, 0);
        return true;
    }
    if (name == "arms_crossed") {
        // Forearms across the chest, each hand at the other upper arm; the
        // left forearm lies in front of the right one.
        const Vec3 rightHand(-0.075 * h, dims.torsoHeight - 0.105 * h, -0.085 * h);
        const Vec3 leftHand(0.075 * h, dims.torsoHeight - 0.09 * h, -0.11 * h);
        pose.arms[kRight] = ArmTowards(dims, kRight, rightHand, Vec3(0.6, -1.0, 0.1));
        pose.arms[kLeft] = ArmTowards(dims, kLeft, leftHand, Vec3(-0.6, -1.0, 0.1));
        return true;
    }
    if (name == "crossed_legs") {
        pose.legs[kRight] = LegFromAngles(kRight, -9, 5, 0, 3);
        pose.legs[kLeft] = LegFromAngles(kLeft, -9, -3, 0, 3);
        return true;
    }
    return false;
}

}  // namespace vela::scene
