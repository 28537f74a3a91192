#pragma once

// A person at 1.8 m drawing circles of 100 mm with the right hand once a
// second, rendered at 320x240 and reduced by the hub's 2x2 reduction to the
// 160x120 working level; the 30 frames of one circle repeat seamlessly.
// Start() is the hand's visible centroid on the first of them.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "SceneRenderer/SceneRenderer.h"

namespace hand_bench {

constexpr int kLoopFrames = 30;
constexpr int kFirstFrame = 30;  // one second in: the circle runs

class CircleFrames {
public:
    CircleFrames() {
        vela::scene::Scene scene;
        std::string error;
        if (!vela::scene::ParseScene("camera elevation=1200\nframes count=90\nwall z=3200\n"
                                     "person height=1750\n  at 0 pos=0,1800\n  pose 0 stand\n"
                                     "  circle 0..3 radius=100 period=1 blend=0.3\n",
                                     "", scene, error)) {
            std::abort();
        }
        vela::scene::SceneRenderer renderer(scene);
        renderer.SetResolution(320, 240);
        std::vector<uint16_t> full(320 * 240);
        NACommonData hub;
        for (int i = 0; i < kLoopFrames; ++i) {
            renderer.RenderDepth(kFirstFrame + i, full.data());
            std::vector<uint16_t> reduced(160 * 120);
            hub.Downscale(full.data(), reduced.data(), 320, 240, 2);
            m_frames.push_back(reduced);
        }
        vela::scene::RenderedFrame truth;
        renderer.Render(kFirstFrame, truth);
        const vela::scene::Vec3& c = truth.truth.users.at(0).hands[vela::scene::kRight].centroid;
        m_start = Vector3D<float>(static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z));
    }
    const std::vector<uint16_t>& Frame(int i) const { return m_frames[static_cast<size_t>(i % kLoopFrames)]; }
    const Vector3D<float>& Start() const { return m_start; }

private:
    std::vector<std::vector<uint16_t>> m_frames;
    Vector3D<float> m_start;
};

}  // namespace hand_bench
