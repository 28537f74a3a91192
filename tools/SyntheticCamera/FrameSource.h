#pragma once

// What a synthetic device shows: a scene drawn by the scene renderer, or a
// folder of recorded depth images played in name order. Both deliver depth
// in millimetres that never exceeds the sensor's maximum, and both serve the
// sensor model's parameters and tables. Render() must be serialised; the
// other accessors return what was fixed at opening and may be called from
// any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SceneRenderer/SceneRenderer.h"
#include "SceneRenderer/SensorModel.h"
#include "SyntheticCamera/DeviceUri.h"

namespace vela::synthetic {

class FrameSource {
public:
    virtual ~FrameSource() = default;

    // The size frames have when the URI names none.
    virtual int NativeWidth() const = 0;
    virtual int NativeHeight() const = 0;
    virtual bool SupportsSize(int width, int height) const = 0;
    virtual bool DefaultMirror() const = 0;
    virtual float HorizontalFov() const = 0;
    float VerticalFov() const;  // 2 atan(0.75 tan(hfov / 2)), rounded to float
    virtual const scene::SensorModel& Sensor() const = 0;

    // Camera frame `index` (0 is the first) at a supported size, mirrored or
    // not, into `depth` (width x height, row-major). False with the reason
    // in `error` when it cannot be produced (an image that went bad after
    // opening); the stream then ends.
    virtual bool Render(int index, int width, int height, bool mirror, uint16_t* depth, std::string& error) = 0;
};

// The scene of the built-in default device, of a scene file, or the image
// folder that `config` names; the seed of the URI replaces the scene's.
// Null with the reason in `error` when it cannot be read.
std::unique_ptr<FrameSource> OpenFrameSource(const DeviceConfig& config, std::string& error);

class SceneSource : public FrameSource {
public:
    explicit SceneSource(const scene::Scene& scene);

    int NativeWidth() const override { return m_nNativeWidth; }
    int NativeHeight() const override { return m_nNativeHeight; }
    bool SupportsSize(int width, int height) const override;
    bool DefaultMirror() const override { return m_bDefaultMirror; }
    float HorizontalFov() const override { return m_fHorizontalFov; }
    const scene::SensorModel& Sensor() const override { return m_renderer.Sensor(); }
    bool Render(int index, int width, int height, bool mirror, uint16_t* depth, std::string& error) override;

private:
    scene::SceneRenderer m_renderer;
    // Kept apart from the renderer, which may be rendering on another thread.
    int m_nNativeWidth;
    int m_nNativeHeight;
    bool m_bDefaultMirror;
    float m_fHorizontalFov;
};

// The images are taken as the sensor saw them, unmirrored: with mirroring on
// (the default, as for scenes) each is flipped left to right. Past the last
// image the last one stays. Depths above the maximum become "no depth".
class ImageFolderSource : public FrameSource {
public:
    // Checks that every file is a complete 16-bit PGM or PNG (header, size,
    // chunks) and that all have one size.
    static std::unique_ptr<ImageFolderSource> Open(const std::string& dir, std::string& error);

    int NativeWidth() const override { return m_nWidth; }
    int NativeHeight() const override { return m_nHeight; }
    bool SupportsSize(int width, int height) const override { return width == m_nWidth && height == m_nHeight; }
    bool DefaultMirror() const override { return true; }
    float HorizontalFov() const override;
    const scene::SensorModel& Sensor() const override { return m_sensor; }
    bool Render(int index, int width, int height, bool mirror, uint16_t* depth, std::string& error) override;

    size_t ImageCount() const { return m_paths.size(); }

private:
    ImageFolderSource() = default;

    std::vector<std::string> m_paths;
    int m_nWidth = 0;
    int m_nHeight = 0;
    scene::SensorModel m_sensor;
};

}  // namespace vela::synthetic
