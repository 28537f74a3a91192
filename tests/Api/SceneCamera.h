#pragma once

// A rendered scene served by the synthetic camera, with the renderer of its
// truth, for the trackers' end-to-end tests: the scene text is written to a
// temporary file and the device opened on it live, or on a recording of its
// first frames. Targets that include this link the scene renderer and the
// synthetic camera's core.

#include <OpenNI.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "SceneRenderer/Scene.h"
#include "SceneRenderer/SceneRenderer.h"
#include "SyntheticCamera/DeviceUri.h"
#include "TempDir.h"
#include "TrackerTestSupport.h"

namespace vela_test {

class SceneCamera {
public:
    // The scene live at width x height (0 x 0: the scene's own resolution).
    void Open(const std::string& sceneText, int width = 0, int height = 0) {
        ASSERT_NO_FATAL_FAILURE(Write(sceneText));
        ASSERT_NO_FATAL_FAILURE(OpenFile(m_sceneFile, width, height));
    }
    // A scene file as it stands, live.
    void OpenFile(const std::string& path, int width = 0, int height = 0) {
        vela::scene::Scene scene;
        std::string error;
        ASSERT_TRUE(vela::scene::LoadSceneFile(path, scene, error)) << error;
        ASSERT_NO_FATAL_FAILURE(Load(scene, width, height));
        m_sceneFile = path;
        std::string uri = "synthetic://scene?file=" + vela::synthetic::EncodeUriValue(path);
        if (width != 0) {
            uri += "&resolution=" + std::to_string(width) + "x" + std::to_string(height);
        }
        ASSERT_EQ(openni::STATUS_OK, m_device.open(uri.c_str())) << uri;
    }
#ifdef VELA_RECORD_ONI_EXE
    // A recording of the scene's first `frames` frames at its own
    // resolution. Once the tracker is set up, PlayOneFramePerRead.
    void OpenRecording(const std::string& sceneText, int frames) {
        ASSERT_NO_FATAL_FAILURE(Write(sceneText));
        vela::scene::Scene scene;
        std::string error;
        ASSERT_TRUE(vela::scene::LoadSceneFile(m_sceneFile, scene, error)) << error;
        ASSERT_NO_FATAL_FAILURE(Load(scene, 0, 0));
        const std::string recording = m_dir.File("scene.oni");
        ASSERT_NO_FATAL_FAILURE(RecordOni(m_sceneFile, recording, frames));
        ASSERT_EQ(openni::STATUS_OK, m_device.open(recording.c_str())) << recording;
    }
#endif
    // A tracker set up on a recording asks for real time; from here the
    // player gives one frame per read.
    void PlayOneFramePerRead() {
        ASSERT_NE(nullptr, m_device.getPlaybackControl());
        ASSERT_EQ(openni::STATUS_OK, m_device.getPlaybackControl()->setSpeed(-1.0f));
    }
    void Close() { m_device.close(); }

    openni::Device& Device() { return m_device; }
    const std::string& SceneFile() const { return m_sceneFile; }
    int Frames() const { return m_frames; }
    vela::scene::SceneRenderer& Renderer() { return *m_renderer; }
    // The truth of the frame with this index (indices count from 1).
    const vela::scene::RenderedFrame& Truth(int frameIndex) {
        m_renderer->Render(frameIndex - 1, m_rendered);
        return m_rendered;
    }

private:
    void Write(const std::string& sceneText) {
        m_sceneFile = m_dir.File("rendered.scene");
        WriteWholeFile(m_sceneFile, sceneText);
    }
    void Load(const vela::scene::Scene& scene, int width, int height) {
        m_frames = scene.nFrames;
        m_renderer = std::make_unique<vela::scene::SceneRenderer>(scene);
        if (width != 0) {
            ASSERT_TRUE(m_renderer->SetResolution(width, height));
        }
    }

    TempDir m_dir;
    openni::Device m_device;
    std::string m_sceneFile;
    int m_frames = 0;
    std::unique_ptr<vela::scene::SceneRenderer> m_renderer;
    vela::scene::RenderedFrame m_rendered;
};

}  // namespace vela_test
