// 10,000 hand-tracker frames from a recording with hands started and stopped
// again and again: no leak (LeakSanitizer, when built with it) and no growth
// of the heap in use once the first thousand frames have settled the sizes.
// Runs only with VELA_LONG_RUN=1 (see README.md).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "../HandTrackerTestSupport.h"
#include "SceneRenderer/Scene.h"
#include "SceneRenderer/SceneRenderer.h"
#include "HeapInUse.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

// Both hands raised in front of the chest, the right one circling.
const char* const kTwoRaisedHandsCircling =
    "frames count=300 fps=30\n"
    "camera elevation=1200\n"
    "wall z=3200\n"
    "person height=1750 walk=off\n"
    "  at 0 pos=0,1800\n"
    "  pose 0 stand right_arm=0,30,0,105 left_arm=0,30,0,105\n"
    "  circle 1..9 hand=right radius=100 period=2\n";

constexpr int kRecordedFrames = 300;
constexpr int kFrames = 10000;
constexpr int kSettledFrame = 1000;
constexpr long kAllowedGrowth = 1 << 20;

using vela_test::HeapInUse;

class HandTrackerLongRun : public vela_test::TrackerTest {};

TEST_F(HandTrackerLongRun, TenThousandFramesWithHandsStartedAndStoppedNeitherLeakNorGrow) {
    const char* enabled = std::getenv("VELA_LONG_RUN");
    if (enabled == nullptr || std::string(enabled) != "1") {
        GTEST_SKIP() << "set VELA_LONG_RUN=1 to run";
    }
    vela::scene::Scene scene;
    std::string error;
    ASSERT_TRUE(vela::scene::ParseScene(kTwoRaisedHandsCircling, "", scene, error)) << error;
    vela::scene::SceneRenderer renderer(scene);
    vela::scene::RenderedFrame rendered;
    const std::string scenePath = m_dir.File("hands.scene");
    vela_test::WriteWholeFile(scenePath, kTwoRaisedHandsCircling);
    const std::string recording = m_dir.File("hands.oni");
    ASSERT_NO_FATAL_FAILURE(vela_test::RecordOni(scenePath, recording, kRecordedFrames));

    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open(recording.c_str()));
    {
        HandTracker tracker;
        ASSERT_EQ(VELA_STATUS_OK, tracker.initialize(&device)) << LogText();
        ASSERT_EQ(openni::STATUS_OK, device.getPlaybackControl()->setSpeed(-1.0f));
        for (VelaGestureType type : {VELA_GESTURE_WAVE, VELA_GESTURE_CLICK, VELA_GESTURE_HAND_RAISE}) {
            ASSERT_EQ(VELA_STATUS_OK, tracker.startGestureDetection(type));
        }
        long settled = 0;
        long largest = 0;
        int starts = 0;
        int trackedRecords = 0;
        short ids[2] = {0, 0};
        for (int i = 0; i < kFrames; ++i) {
            vela_test::HandFrame frame = vela_test::ReadHandFrame(tracker);
            ASSERT_NE(nullptr, frame.get()) << "frame " << i;
            for (int h = 0; h < frame->handCount; ++h) {
                trackedRecords += (frame->hands[h].state & VELA_HAND_STATE_TRACKED) != 0 ? 1 : 0;
            }
            // Every 40 frames both hands start at their true places; 25
            // frames later one is stopped, 10 frames after that all are.
            const int phase = i % 40;
            if (phase == 0) {
                renderer.Render(frame->frameIndex - 1, rendered);
                for (int side = 0; side < 2; ++side) {
                    const vela::scene::Vec3& c = rendered.truth.users.at(0).hands.at(static_cast<size_t>(side)).centroid;
                    if (tracker.startHandTracking(VelaPoint3f{static_cast<float>(c.x), static_cast<float>(c.y),
                                                              static_cast<float>(c.z)},
                                                  &ids[side]) == VELA_STATUS_OK) {
                        ++starts;
                    }
                }
            } else if (phase == 25) {
                tracker.stopHandTracking(ids[1]);
            } else if (phase == 35) {
                tracker.stopHandTracking();
            }
            if (i == kSettledFrame) {
                settled = HeapInUse();
            } else if (i > kSettledFrame) {
                largest = std::max(largest, HeapInUse());
            }
        }
        const long growth = largest - settled;
        std::printf("heap in use at frame %d: %ld bytes, at most %ld after it; %d starts, %d tracked records\n",
                    kSettledFrame, settled, largest, starts, trackedRecords);
        EXPECT_LT(growth, kAllowedGrowth);
        EXPECT_LT(kFrames / 40, starts) << "hands were started";
        EXPECT_LT(kFrames / 4, trackedRecords) << "hands were tracked";
    }
    device.close();
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
