#pragma once

// A rendered hand scene recorded once through OpenNI2's recorder and played
// back one frame per read, so that the benchmarks measure the hand tracker
// and not the renderer. The recording lives in a temporary folder removed at
// exit; the scene's renderer answers where the hands truly are.

#include <OpenNI.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "../Api/SceneRecording.h"
#include "SceneRenderer/Scene.h"
#include "SceneRenderer/SceneRenderer.h"
#include "Vela.h"

namespace vela_bench {

// A person at 1.8 m before a wall at 3.2 m, both hands raised in front of the
// chest (forearms hanging below), the right one circling slowly.
constexpr const char* kTwoRaisedHands =
    "frames count=200 fps=30\n"
    "camera elevation=1200\n"
    "wall z=3200\n"
    "person height=1750 walk=off\n"
    "  at 0 pos=0,1800\n"
    "  pose 0 stand right_arm=0,30,0,105 left_arm=0,30,0,105\n"
    "  circle 1..6 hand=right radius=100 period=2\n";

// The same person waving the right hand beside the head, the left hand down.
constexpr const char* kWaving =
    "frames count=200 fps=30\n"
    "camera elevation=1200\n"
    "wall z=3200\n"
    "person height=1750 walk=off\n"
    "  at 0 pos=0,1800\n"
    "  pose 0 stand\n"
    "  wave 1..6 hand=right\n";

// Frames recorded; the benchmarks read fewer (past the end the player starts
// over with earlier time stamps, which loses every hand).
constexpr int kRecordedFrames = 100;

class HandSceneRecordings {
public:
    static HandSceneRecordings& Get() {
        static HandSceneRecordings s_recordings;
        return s_recordings;
    }

    // The recording of sceneText at width x height (made on first use); empty
    // when it could not be made.
    const std::string& Recording(const std::string& sceneText, int width, int height) {
        const auto key = std::make_pair(sceneText, width);
        auto found = m_recordings.find(key);
        if (found == m_recordings.end()) {
            found = m_recordings.emplace(key, Record(sceneText, width, height)).first;
        }
        return found->second;
    }

private:
    HandSceneRecordings() : m_dir("vela-hand-bench") {}

    std::string Record(const std::string& sceneText, int width, int height) {
        if (m_dir.Dir().empty()) {
            return "";
        }
        return RecordScene(m_dir.Dir() + "/scene" + std::to_string(m_recordings.size()), sceneText, width, height,
                           kRecordedFrames);
    }

    BenchDir m_dir;
    std::map<std::pair<std::string, int>, std::string> m_recordings;
};

// Where the scene's hands truly are: the visible centroid of a hand (side 0
// left, 1 right) of the person in recorded frame frameIndex (from 1).
class HandSceneTruth {
public:
    explicit HandSceneTruth(const std::string& sceneText) {
        std::string error;
        if (vela::scene::ParseScene(sceneText, "", m_scene, error)) {
            m_renderer.reset(new vela::scene::SceneRenderer(m_scene));
        }
    }
    bool Valid() const { return m_renderer != nullptr; }
    VelaPoint3f Hand(int frameIndex, int side) {
        m_renderer->Render(frameIndex - 1, m_rendered);
        const vela::scene::Vec3& c = m_rendered.truth.users.at(0).hands.at(static_cast<size_t>(side)).centroid;
        return VelaPoint3f{static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z)};
    }

private:
    vela::scene::Scene m_scene;
    std::unique_ptr<vela::scene::SceneRenderer> m_renderer;
    vela::scene::RenderedFrame m_rendered;
};

}  // namespace vela_bench
