#pragma once

// The fixture of the user tracker's end-to-end tests through the exported
// calls: a scene camera and the tracker made on it, both shut down whether
// the test ran through or not.

#include "../Api/SceneCamera.h"
#include "UserTrackerTestSupport.h"

namespace vela_test {

class UserTrackerOnSceneTest : public TrackerTest {
protected:
    // The exported user tracker on the camera's device.
    void CreateTracker(SceneCamera& camera) {
        ASSERT_EQ(VELA_STATUS_OK, velaInitializeUserTrackerByDevice(&camera.Device(), &m_handle)) << LogText();
    }
    void ShutdownTracker() {
        if (m_handle != nullptr) {
            velaShutdownUserTracker(m_handle);
            m_handle = nullptr;
        }
    }
    void TearDown() override {
        ShutdownTracker();
        m_camera.Close();
        TrackerTest::TearDown();
    }

    SceneCamera m_camera;
    VelaUserTrackerHandle m_handle = nullptr;
};

}  // namespace vela_test
