#pragma once

// A scene analyzer on a rendered scene through the synthetic camera, as the
// user tracker runs it (320x240 stream, the default configuration).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "HandCameraSession.h"
#include "SceneAnalyzer/SceneAnalyzer.h"

namespace vela_test {

class AnalyzerCameraFixture : public ::testing::Test {
protected:
    void Open(const std::string& scene) {
        ASSERT_TRUE(m_session.OpenScene(scene, 320, 240)) << m_session.Error();
        Start();
    }
    void Start() {
        m_analyzer.reset(new SceneAnalyzer);
        ASSERT_TRUE(m_analyzer->Initialize(&m_session.Hub(), m_session.Node(), SAConfiguration(), nullptr));
    }
    // The next frame, analysed; false when none comes.
    bool Next() {
        if (!m_session.Next()) {
            return false;
        }
        m_analyzer->Update(nullptr, 1);
        return true;
    }
    void Skip(int frames) {
        for (int i = 0; i < frames; ++i) {
            ASSERT_TRUE(Next());
        }
    }

    // Declared first: the analyzer that uses its hub goes before it.
    hand_test_kit::CameraSession m_session;
    std::unique_ptr<SceneAnalyzer> m_analyzer;
};

}  // namespace vela_test
