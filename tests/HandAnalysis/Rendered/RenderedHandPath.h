#pragma once

// True hand paths from the scene renderer, as a tracked candidate would
// deliver them: one position per frame of the synthetic camera, with about
// the sensor's noise added.

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "../SyntheticPaths.h"
#include "SceneRenderer/SceneRenderer.h"

namespace rendered_gestures {

using synthetic_paths::kFramePeriodUs;
using synthetic_paths::kNoiseMm;
using synthetic_paths::Path;

// Frames [first, first + count) of the scene's first person's joint, each
// coordinate with Gaussian noise of sigma mm. The joint truth needs no
// image detail, so the renderer draws small.
inline Path HandPath(const std::string& sceneText, vela::scene::Joint joint, int first, int count, double sigma,
                     uint32_t seed) {
    vela::scene::Scene scene;
    std::string error;
    EXPECT_TRUE(vela::scene::ParseScene(sceneText, "", scene, error)) << error;
    vela::scene::SceneRenderer renderer(scene);
    EXPECT_TRUE(renderer.SetResolution(80, 60));
    vela::scene::RenderedFrame frame;
    return synthetic_paths::Sampled(
        [&](double t) {
            renderer.Render(static_cast<int>(std::lround(t * scene.dFps)), frame);
            const vela::scene::Vec3& p = frame.truth.users.at(0).joints[static_cast<int>(joint)].position;
            return Vector3D<double>(p.x, p.y, p.z);
        },
        first, count, sigma, seed);
}

}  // namespace rendered_gestures
