#pragma once

// Named body poses and the two-bone arm solver the hand motions use.

#include <string>
#include <vector>

#include "SceneRenderer/BodyModel.h"

namespace vela::scene {

// "stand", "psi" (the calibration pose: upper arms out to the sides, forearms
// vertical; also "calibration"), "tpose", "arms_crossed", "crossed_legs".
// False for an unknown name.
bool NamedPose(const std::string& name, const BodyDimensions& dims, BodyPose& pose);
const std::vector<std::string>& NamedPoseNames();

// Shoulder position in the chest frame.
Vec3 ShoulderInChest(const BodyDimensions& dims, int side);

// The arm that puts the hand joint at `target` (chest frame; pulled in when
// out of reach), with the elbow bent toward `pole`.
Limb ArmTowards(const BodyDimensions& dims, int side, const Vec3& target, const Vec3& pole);

}  // namespace vela::scene
