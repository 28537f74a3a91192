#include "SyntheticCamera/FrameSource.h"

#include <algorithm>
#include <cstring>

#include "SceneRenderer/DepthCamera.h"
#include "SceneRenderer/Scene.h"
#include "SyntheticCamera/DepthImageFile.h"

namespace vela::synthetic {

float FrameSource::VerticalFov() const {
    return static_cast<float>(scene::DepthCamera::VerticalFovFor(HorizontalFov()));
}

std::unique_ptr<FrameSource> OpenFrameSource(const DeviceConfig& config, std::string& error) {
    if (config.kind == SourceKind::Images) {
        return ImageFolderSource::Open(config.path, error);
    }
    scene::Scene scene;
    if (config.kind == SourceKind::Default) {
        scene = scene::DefaultScene();
    } else if (!scene::LoadSceneFile(config.path, scene, error)) {
        return nullptr;
    }
    if (scene.sensor.params.nDeviceMaxDepthValue == 65535) {
        // The system keeps the table size (maximum + 1) in 16 bits.
        error = config.path + ": a maximum depth of 65535 cannot be served";
        return nullptr;
    }
    if (config.bHasSeed) scene.sensor.nSeed = config.nSeed;
    return std::make_unique<SceneSource>(scene);
}

// ---- scenes ----

SceneSource::SceneSource(const scene::Scene& scene)
    : m_renderer(scene),
      m_nNativeWidth(m_renderer.Settings().nWidth),
      m_nNativeHeight(m_renderer.Settings().nHeight),
      m_bDefaultMirror(m_renderer.Settings().bMirror),
      m_fHorizontalFov(m_renderer.Camera().HorizontalFov()) {}

bool SceneSource::SupportsSize(int width, int height) const {
    return width >= 1 && height >= 1 && width <= 4096 && height <= 4096;
}

bool SceneSource::Render(int index, int width, int height, bool mirror, uint16_t* depth, std::string& error) {
    const scene::RenderSettings& s = m_renderer.Settings();
    if ((s.nWidth != width || s.nHeight != height) && !m_renderer.SetResolution(width, height)) {
        error = "the scene cannot be rendered at " + std::to_string(width) + "x" + std::to_string(height);
        std::memset(depth, 0, sizeof(uint16_t) * size_t(width) * size_t(height));
        return false;
    }
    m_renderer.SetMirror(mirror);
    m_renderer.RenderDepth(index, depth, width);
    return true;
}

// ---- image folders ----

std::unique_ptr<ImageFolderSource> ImageFolderSource::Open(const std::string& dir, std::string& error) {
    std::unique_ptr<ImageFolderSource> source(new ImageFolderSource());
    if (!ListDepthImages(dir, source->m_paths, error)) return nullptr;
    for (size_t i = 0; i < source->m_paths.size(); ++i) {
        int width = 0, height = 0;
        if (!CheckDepthImageFile(source->m_paths[i], width, height, error)) return nullptr;
        if (i == 0) {
            source->m_nWidth = width;
            source->m_nHeight = height;
        } else if (width != source->m_nWidth || height != source->m_nHeight) {
            error = source->m_paths[i] + ": " + std::to_string(width) + "x" + std::to_string(height) +
                    " differs from the first image's " + std::to_string(source->m_nWidth) + "x" +
                    std::to_string(source->m_nHeight);
            return nullptr;
        }
    }
    return source;
}

float ImageFolderSource::HorizontalFov() const { return scene::DepthCamera::kDefaultHorizontalFov; }

bool ImageFolderSource::Render(int index, int width, int height, bool mirror, uint16_t* depth, std::string& error) {
    const size_t count = size_t(width) * size_t(height);
    std::memset(depth, 0, sizeof(uint16_t) * count);
    if (!SupportsSize(width, height)) {
        error = "the images are " + std::to_string(m_nWidth) + "x" + std::to_string(m_nHeight);
        return false;
    }
    const size_t file = std::min<size_t>(static_cast<size_t>(std::max(index, 0)), m_paths.size() - 1);
    DepthImage image;
    if (!ReadDepthImage(m_paths[file], image, error)) return false;
    if (image.nWidth != width || image.nHeight != height) {
        error = m_paths[file] + ": the image changed size";
        return false;
    }
    const uint16_t maxDepth = m_sensor.MaxDepth();
    for (int r = 0; r < height; ++r) {
        const uint16_t* in = image.pixels.data() + size_t(r) * width;
        uint16_t* out = depth + size_t(r) * width;
        for (int c = 0; c < width; ++c) {
            const uint16_t z = in[mirror ? width - 1 - c : c];
            out[c] = z <= maxDepth ? z : 0;
        }
    }
    return true;
}

}  // namespace vela::synthetic
