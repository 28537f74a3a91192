#pragma once

// The fixture of the hand tracker's end-to-end tests: a hand tracker on a
// rendered scene of the synthetic camera, live or recorded, with the
// scene's truth.

#include <memory>
#include <string>

#include "../Api/SceneCamera.h"
#include "HandTrackerTestSupport.h"

namespace vela_test {

class HandTrackerOnSceneTest : public TrackerTest {
protected:
    // The hand tracker on the scene at width x height.
    void Open(const std::string& sceneText, int width = 320, int height = 240) {
        ASSERT_NO_FATAL_FAILURE(m_camera.Open(sceneText, width, height));
        ASSERT_NO_FATAL_FAILURE(CreateTracker());
    }
#ifdef VELA_RECORD_ONI_EXE
    // The hand tracker on a recording of the scene's first frames at its own
    // resolution, lent the device and played one frame per read.
    void OpenRecording(const std::string& sceneText, int frames) {
        ASSERT_NO_FATAL_FAILURE(m_camera.OpenRecording(sceneText, frames));
        ASSERT_NO_FATAL_FAILURE(CreateTracker());
        ASSERT_NO_FATAL_FAILURE(m_camera.PlayOneFramePerRead());
    }
#endif
    void Close() {
        m_tracker.reset();
        m_camera.Close();
    }
    void TearDown() override {
        Close();
        TrackerTest::TearDown();
    }

    SceneCamera m_camera;
    std::unique_ptr<HandTracker> m_tracker;

private:
    void CreateTracker() {
        m_tracker.reset(new HandTracker);
        ASSERT_EQ(VELA_STATUS_OK, m_tracker->initialize(&m_camera.Device())) << LogText();
    }
};

}  // namespace vela_test
