#pragma once

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "SceneRenderer/SceneRenderer.h"

namespace scene_test {

using namespace vela::scene;

// One person facing the camera at 2.5 m in front of a wall at 4 m.
inline Scene StandingScene(const std::string& pose = "stand") {
    Scene scene;
    scene.walls.push_back(WallDef{'z', 4000.0});
    PersonDef person;
    person.height = 1750.0;
    PathKey at;
    at.hasPosition = true;
    at.x = 0.0;
    at.z = 2500.0;
    person.path.push_back(at);
    PoseKey key;
    key.name = pose;
    person.poses.push_back(key);
    scene.people.push_back(person);
    return scene;
}

inline Scene ParsedScene(const std::string& text) {
    Scene scene;
    std::string error;
    EXPECT_TRUE(ParseScene(text, "", scene, error)) << error;
    return scene;
}

inline const Vec3& JointAt(const FrameTruth& truth, int user, Joint joint) {
    return truth.users[user].joints[static_cast<int>(joint)].position;
}

inline RenderSettings Settings(int width, int height, bool mirror, bool quantise, bool shadow, double noise,
                               double dropouts = 0.0, uint64_t seed = 1) {
    RenderSettings s;
    s.nWidth = width;
    s.nHeight = height;
    s.bMirror = mirror;
    s.bQuantise = quantise;
    s.bShadow = shadow;
    s.dNoise = noise;
    s.dDropouts = dropouts;
    s.nSeed = seed;
    return s;
}

}  // namespace scene_test
