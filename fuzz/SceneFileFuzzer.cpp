// Scene files of the scene renderer, parsed as vela-render reads them (BVH
// clips named relative to the example scenes' folder) and rendered at a
// small size at their first and last frame.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "SceneRenderer/Scene.h"
#include "SceneRenderer/SceneRenderer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    vela::scene::Scene scene;
    std::string error;
    if (!vela::scene::ParseScene(text, VELA_SCENE_EXAMPLES, scene, error)) {
        return 0;
    }
    vela::scene::SceneRenderer renderer(scene);
    if (!renderer.SetResolution(32, 24)) {
        return 0;
    }
    vela::scene::RenderedFrame frame;
    renderer.Render(0, frame);
    renderer.Render(std::max(0, renderer.FrameCount() - 1), frame);
    return 0;
}
