// Gestures through the hand tracker's public calls on rendered scenes of the
// synthetic camera, checked against the renderer's ground truth.
//
// What a scene must give the recognizers to see a gesture:
// - at least 90 frames before the first gesture, for the background to
//   settle and the ring of recent frames to fill; sensor noise on;
// - the hand 150 to 300 mm in front of the body, not beside the head at the
//   same depth: a candidate needs depth jumps of more than 150 mm on its
//   left and right and next to nothing in front of or just behind it in the
//   box above it, and the candidate's tracker needs hand pixels whose
//   neighbours 150 mm left, right and up lie at least 80 mm behind;
// - the hand moving when a candidate search comes (every fifth frame) and
//   never still for more than about 0.4 s while a gesture runs, at 0.3 to
//   1.5 m/s.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "HandTrackerTestSupport.h"
#include "SceneRenderer/Scene.h"
#include "SceneRenderer/SceneRenderer.h"
#include "SyntheticCamera/DeviceUri.h"

namespace {

using vela_test::HandFrame;
using vela_test::ReadHandFrame;

constexpr double kFps = 30.0;

int FrameAt(double seconds) { return static_cast<int>(std::lround(seconds * kFps)) + 1; }

// A person at 1.7 m before a wall stands still for 3 s, raises the right
// hand 210 mm in front of the shoulder and waves it +-150 mm along x at a
// 0.8 s period for three cycles (the arm blends in and out over 0.3 s).
std::string WaveScene(double cycles) {
    return "frames count=" + std::to_string(FrameAt(3.0 + 0.8 * cycles + 1.0)) +
           " fps=30\n"
           "camera elevation=1200\n"
           "wall z=3200\n"
           "person height=1750 walk=off\n"
           "  at 0 pos=0,1700\n"
           "  pose 0 stand\n"
           "  wave 3.." +
           std::to_string(3.0 + 0.8 * cycles) + " hand=right amplitude=150 period=0.8\n";
}

// One gesture record with the frame it came in and the true hand there.
struct GestureSeen {
    int frame;
    VelaGestureData gesture;
    vela::scene::Vec3 hand;
};

double DistanceToHand(const VelaPoint3f& a, const vela::scene::Vec3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

class GesturesOnSceneTest : public vela_test::TrackerTest {
protected:
    void Open(const std::string& sceneText, int width = 320, int height = 240) {
        vela::scene::Scene scene;
        std::string error;
        ASSERT_TRUE(vela::scene::ParseScene(sceneText, "", scene, error)) << error;
        m_frames = scene.nFrames;
        m_renderer.reset(new vela::scene::SceneRenderer(scene));
        const std::string path = m_sceneDir.File("gestures.scene");
        vela_test::WriteWholeFile(path, sceneText);
        const std::string uri = "synthetic://scene?file=" + vela::synthetic::EncodeUriValue(path) +
                                "&resolution=" + std::to_string(width) + "x" + std::to_string(height);
        ASSERT_EQ(openni::STATUS_OK, m_device.open(uri.c_str())) << uri;
        m_tracker.reset(new HandTracker);
        ASSERT_EQ(VELA_STATUS_OK, m_tracker->initialize(&m_device)) << LogText();
    }
    void TearDown() override {
        m_tracker.reset();
        m_device.close();
        vela_test::TrackerTest::TearDown();
    }
    void Enable(std::initializer_list<VelaGestureType> types) {
        for (VelaGestureType type : types) {
            ASSERT_EQ(VELA_STATUS_OK, m_tracker->startGestureDetection(type));
        }
    }
    // Reads the scene to its end; every gesture record.
    std::vector<GestureSeen> Run() {
        std::vector<GestureSeen> seen;
        for (int frameIndex = 0; frameIndex < m_frames;) {
            HandFrame frame = ReadHandFrame(*m_tracker);
            if (frame.get() == nullptr) {
                ADD_FAILURE() << "no frame after " << frameIndex;
                break;
            }
            frameIndex = frame->frameIndex;
            for (int g = 0; g < frame->gestureCount; ++g) {
                m_renderer->Render(frameIndex - 1, m_rendered);
                seen.push_back({frameIndex, frame->gestures[g], m_rendered.truth.users.at(0).hands.at(1).centroid});
                std::printf("frame %d type %d at %.0f %.0f %.0f, hand %.0f %.0f %.0f\n", frameIndex,
                            frame->gestures[g].type, frame->gestures[g].currentPosition.x,
                            frame->gestures[g].currentPosition.y, frame->gestures[g].currentPosition.z,
                            seen.back().hand.x, seen.back().hand.y, seen.back().hand.z);
            }
        }
        return seen;
    }
    static int Count(const std::vector<GestureSeen>& seen, VelaGestureType type) {
        int n = 0;
        for (const GestureSeen& s : seen) {
            n += s.gesture.type == type ? 1 : 0;
        }
        return n;
    }

    vela_test::TempDir m_sceneDir;
    openni::Device m_device;
    std::unique_ptr<HandTracker> m_tracker;
    std::unique_ptr<vela::scene::SceneRenderer> m_renderer;
    vela::scene::RenderedFrame m_rendered;
    int m_frames = 0;
};

// Three cycles give one wave, after its third turn and no later than a
// second after it ends, where the hand is.
TEST_F(GesturesOnSceneTest, ThreeCyclesOfAWaveGiveOneWave) {
    ASSERT_NO_FATAL_FAILURE(Open(WaveScene(3)));
    Enable({VELA_GESTURE_WAVE});
    const std::vector<GestureSeen> seen = Run();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ(VELA_GESTURE_WAVE, seen[0].gesture.type);
    EXPECT_EQ(VELA_GESTURE_STATE_COMPLETED, seen[0].gesture.state);
    EXPECT_LE(FrameAt(3.0 + 0.2 + 0.8), seen[0].frame);
    EXPECT_GE(FrameAt(3.0 + 2.4 + 1.0), seen[0].frame);
    EXPECT_GT(100.0, DistanceToHand(seen[0].gesture.currentPosition, seen[0].hand));
}

}  // namespace
