#pragma once

// Recordings of rendered scenes for the benchmarks: the scene file and its
// recording made once, through OpenNI2's recorder, in a temporary folder
// removed at exit, so that the benchmarks play frames back one per read and
// measure the tracker, not the renderer.

#include <OpenNI.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "SyntheticCamera/DeviceUri.h"

namespace vela_bench {

// A folder of its own under /tmp, removed with it; Dir() is empty when none
// could be made.
class BenchDir {
public:
    explicit BenchDir(const std::string& prefix) {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            m_dir = pattern;
        }
    }
    ~BenchDir() {
        if (!m_dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_dir, ignored);
        }
    }
    BenchDir(const BenchDir&) = delete;
    BenchDir& operator=(const BenchDir&) = delete;

    const std::string& Dir() const { return m_dir; }

private:
    std::string m_dir;
};

// Writes sceneText to base + ".scene" and records the first `frames` depth
// frames of the synthetic camera rendering it at width x height into
// base + ".oni"; the recording's path, or empty when it cannot be made.
inline std::string RecordScene(const std::string& base, const std::string& sceneText, int width, int height,
                               int frames) {
    const std::string scenePath = base + ".scene";
    const std::string recording = base + ".oni";
    {
        std::ofstream file(scenePath);
        if (!(file << sceneText) || !(file.close(), file)) {
            return "";
        }
    }
    const std::string uri = "synthetic://scene?file=" + vela::synthetic::EncodeUriValue(scenePath) +
                            "&resolution=" + std::to_string(width) + "x" + std::to_string(height);
    openni::Device device;
    openni::VideoStream depth;
    openni::Recorder recorder;
    bool ok = device.open(uri.c_str()) == openni::STATUS_OK &&
              depth.create(device, openni::SENSOR_DEPTH) == openni::STATUS_OK &&
              recorder.create(recording.c_str()) == openni::STATUS_OK &&
              recorder.attach(depth, false) == openni::STATUS_OK && recorder.start() == openni::STATUS_OK &&
              depth.start() == openni::STATUS_OK;
    for (int i = 0; ok && i < frames; ++i) {
        openni::VideoFrameRef frame;
        ok = depth.readFrame(&frame) == openni::STATUS_OK;
    }
    recorder.stop();
    recorder.destroy();
    depth.stop();
    depth.destroy();
    device.close();
    return ok ? recording : "";
}

}  // namespace vela_bench
