#pragma once

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "SceneRenderer/SceneRenderer.h"

namespace scene_test {

using namespace vela::scene;

// The clean mode of the analytic tests: the plain body and none of the
// sensor effects beyond quantisation to table entries, white noise, the
// projector shadow and dropouts.
inline void SwitchEffectsOff(RenderSettings& s) {
    s.bDeviceLevels = false;
    s.dNoiseField = 0.0;
    s.dNoiseBlocks = 0.0;
    s.bEdges = s.bFragments = s.bHoles = false;
}

inline void SwitchEffectsOff(Scene& scene) {
    SensorSettings& s = scene.sensor;
    s.bDeviceLevels = false;
    s.dNoiseField = 0.0;
    s.dNoiseBlocks = 0.0;
    s.bEdges = s.bFragments = s.bHoles = false;
    for (PersonDef& person : scene.people) person.plainBody = true;
}

// The same as scene lines: a sensor line and a key of each person line.
constexpr const char* kCleanSensorLine = "sensor levels=table field=0 blocks=0 edges=off fragments=off holes=off\n";
constexpr const char* kPlainBodyKey = " body=plain";

// One person facing the camera at 2.5 m in front of a wall at 4 m, in the
// clean mode (the old renderer's white noise of 0.35 shift units).
inline Scene StandingScene(const std::string& pose = "stand") {
    Scene scene;
    scene.sensor.dNoise = 0.35;
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
    SwitchEffectsOff(scene);
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
    SwitchEffectsOff(s);
    return s;
}

}  // namespace scene_test
