// BVH motion-capture clips: parsed, then sampled onto a body at the start,
// the middle and the end of the clip.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SceneRenderer/Bvh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    vela::scene::BvhClip clip;
    std::string error;
    if (!clip.Parse(text, error)) {
        return 0;
    }
    const vela::scene::BodyDimensions dims;
    for (double time : {0.0, clip.Duration() / 2, clip.Duration()}) {
        vela::scene::BodyPose pose;
        vela::scene::Vec3 offset;
        clip.Sample(time, dims, pose, offset);
    }
    std::vector<vela::scene::Vec3> positions;
    if (clip.FrameCount() > 0) {
        clip.JointPositions(clip.FrameCount() - 1, positions);
    }
    return 0;
}
