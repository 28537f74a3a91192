// A scene played back from its recording, one frame per read, gives the
// same users as the scene live: ids, states, user maps and floor, frame by
// frame, through the exported user-tracker calls.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "UserTrackerOnSceneTest.h"

#ifdef VELA_RECORD_ONI_EXE


namespace {

// What one user-tracker frame reported.
struct ReportedFrame {
    uint64_t timestamp = 0;
    std::map<int, int> states;  // by user id
    std::map<int, int> pixels;  // user-map pixels by user id
    uint64_t mapHash = 0;       // of the whole user map
    float floorConfidence = 0.0f;
    VelaPlane floor = {};
};

// FNV-1a over the user map's rows.
uint64_t HashUserMap(const VelaUserMap& map) {
    uint64_t hash = 14695981039346656037ull;
    for (int y = 0; y < map.height; ++y) {
        const auto* row = reinterpret_cast<const uint8_t*>(map.pixels) + static_cast<size_t>(y) * map.stride;
        for (size_t i = 0; i < static_cast<size_t>(map.width) * sizeof(int16_t); ++i) {
            hash = (hash ^ row[i]) * 1099511628211ull;
        }
    }
    return hash;
}

// The live scene plays on m_camera.
class UserTrackerRecordingTest : public vela_test::UserTrackerOnSceneTest {
protected:
    void TearDown() override {
        ShutdownTracker();
        m_played.Close();
        vela_test::UserTrackerOnSceneTest::TearDown();
    }

    // Reads frames until the one with index `last`, keyed by frame index.
    void Run(vela_test::SceneCamera& camera, int last, bool oneFramePerRead, std::map<int, ReportedFrame>& frames) {
        ASSERT_NO_FATAL_FAILURE(CreateTracker(camera));
        if (oneFramePerRead) {
            ASSERT_NO_FATAL_FAILURE(camera.PlayOneFramePerRead());
            ASSERT_EQ(openni::STATUS_OK, camera.Device().getPlaybackControl()->setRepeatEnabled(false));
        }
        int index = 0;
        while (index < last) {
            VelaUserTrackerFrame* frame = nullptr;
            ASSERT_EQ(VELA_STATUS_OK, velaReadUserTrackerFrame(m_handle, &frame));
            ASSERT_NE(nullptr, frame);
            ASSERT_GT(frame->frameIndex, index) << "frames go back";
            index = frame->frameIndex;
            ReportedFrame& seen = frames[index];
            seen.timestamp = frame->timestamp;
            for (int u = 0; u < frame->userCount; ++u) {
                seen.states[frame->users[u].id] = frame->users[u].state;
            }
            for (int i = 0; i < frame->userMap.width * frame->userMap.height; ++i) {
                if (frame->userMap.pixels[i] != 0) {
                    ++seen.pixels[frame->userMap.pixels[i]];
                }
            }
            seen.mapHash = HashUserMap(frame->userMap);
            seen.floorConfidence = frame->floorConfidence;
            seen.floor = frame->floor;
            ASSERT_EQ(VELA_STATUS_OK, velaUserTrackerFrameRelease(m_handle, frame));
        }
        ShutdownTracker();
    }

    vela_test::SceneCamera m_played;
};

// The first person of the scene walks in after the empty room and is
// detected; the recording of those frames gives the same frames.
TEST_F(UserTrackerRecordingTest, ARecordingGivesTheUsersOfTheLiveScene) {
    const int frames = 110;
    std::ifstream file(std::string(VELA_USER_TRACKER_SCENES) + "/walk_in_pass_behind.scene");
    std::stringstream sceneText;
    sceneText << file.rdbuf();
    ASSERT_FALSE(sceneText.str().empty());

    std::map<int, ReportedFrame> live;
    ASSERT_NO_FATAL_FAILURE(m_camera.Open(sceneText.str()));
    ASSERT_NO_FATAL_FAILURE(Run(m_camera, frames, false, live));
    m_camera.Close();
    std::map<int, ReportedFrame> played;
    ASSERT_NO_FATAL_FAILURE(m_played.OpenRecording(sceneText.str(), frames));
    ASSERT_NO_FATAL_FAILURE(Run(m_played, frames, true, played));

    // The live run saw every frame and found the person.
    ASSERT_EQ(static_cast<size_t>(frames), live.size());
    int userFrames = 0;
    for (const auto& entry : live) {
        userFrames += entry.second.states.empty() ? 0 : 1;
    }
    ASSERT_GT(userFrames, 20);

    // The recording is held while the tracker sets itself up and from then
    // on gives one frame per read: the tracker sees every frame from the
    // first, as live.
    ASSERT_EQ(1, played.begin()->first) << "the recording played before the first read";
    ASSERT_EQ(live.size(), played.size()) << "frames were skipped";
    for (const auto& entry : played) {
        const int index = entry.first;
        SCOPED_TRACE("frame " + std::to_string(index));
        const ReportedFrame& expected = live.at(index);
        const ReportedFrame& seen = entry.second;
        EXPECT_EQ(expected.timestamp, seen.timestamp);
        ASSERT_EQ(expected.states, seen.states);
        ASSERT_EQ(expected.pixels, seen.pixels);
        ASSERT_EQ(expected.mapHash, seen.mapHash);
        ASSERT_EQ(expected.floorConfidence, seen.floorConfidence);
        ASSERT_EQ(0, std::memcmp(&expected.floor, &seen.floor, sizeof(VelaPlane)));
    }
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
