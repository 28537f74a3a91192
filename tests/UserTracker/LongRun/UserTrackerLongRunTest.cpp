// Thousands of user-tracker frames from a recording in which people walk in
// and out again and again, played one frame per read and starting over at
// its end (which rebuilds the scene analysis): no leak (LeakSanitizer, when
// built with it) and no growth of the heap in use once the first passes
// have settled the sizes. Runs only with VELA_LONG_RUN=1 (see README.md);
// VELA_LONG_RUN_FRAMES sets another frame count.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "../UserTrackerOnSceneTest.h"
#include "HeapInUse.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

// An empty room learnt first; one person walks in from the image's left,
// stands and walks out again; a second comes from the right while the
// first leaves and goes back; once both users are released (each is held
// for 300 frames after walking out), the first comes in once more and is
// still in view when the recording starts over.
const char* const kComingAndGoing =
    "camera resolution=320x240 elevation=1100 tilt=5\n"
    "frames count=720 fps=30\n"
    "wall z=5000\n"
    "person height=1750\n"
    "  at 0 pos=-2600,2500 yaw=0\n"
    "  at 1.4 pos=-2600,2500\n"
    "  at 3.2 pos=-300,2500\n"
    "  at 5.0 pos=-300,2500\n"
    "  at 6.3 pos=-2900,2500\n"
    "  at 17.0 pos=-2900,2500\n"
    "  at 18.8 pos=-200,2600\n"
    "  at 24.0 pos=-200,2600\n"
    "person height=1700 face=motion\n"
    "  at 0 pos=2900,3200\n"
    "  at 5.5 pos=2900,3200\n"
    "  at 7.0 pos=600,3200\n"
    "  at 8.5 pos=600,3200\n"
    "  at 10.0 pos=2900,3200\n";

constexpr int kRecordedFrames = 720;
constexpr int kFrames = 4000;
// The heap is measured from the third pass of the recording on, after two
// rebuilds of the scene analysis.
constexpr int kSettledFrame = 2 * kRecordedFrames + 10;
constexpr long kAllowedGrowth = 1 << 20;

using vela_test::HeapInUse;
using vela_test::ResidentKb;

int FrameCount() {
    const char* count = std::getenv("VELA_LONG_RUN_FRAMES");
    return count != nullptr ? std::max(1, std::atoi(count)) : kFrames;
}

class UserTrackerLongRun : public vela_test::UserTrackerOnSceneTest {};

TEST_F(UserTrackerLongRun, PeopleComingAndGoingOverARecordingThatStartsOverNeitherLeakNorGrow) {
    const char* enabled = std::getenv("VELA_LONG_RUN");
    if (enabled == nullptr || std::string(enabled) != "1") {
        GTEST_SKIP() << "set VELA_LONG_RUN=1 to run";
    }
    const int frames = FrameCount();
    ASSERT_NO_FATAL_FAILURE(m_camera.OpenRecording(kComingAndGoing, kRecordedFrames));
    ASSERT_NO_FATAL_FAILURE(CreateTracker(m_camera));
    ASSERT_NO_FATAL_FAILURE(m_camera.PlayOneFramePerRead());

    const long residentAtStart = ResidentKb();
    long settled = 0;
    long largest = 0;
    long residentSettled = 0;
    int restarts = 0;
    int newUsers = 0;
    int lostUsers = 0;
    int skeletonStarts = 0;
    int lastIndex = 0;
    std::set<int> idsSeen;
    for (int i = 0; i < frames; ++i) {
        VelaUserTrackerFrame* frame = nullptr;
        ASSERT_EQ(VELA_STATUS_OK, velaReadUserTrackerFrame(m_handle, &frame)) << "frame " << i;
        ASSERT_NE(nullptr, frame) << "frame " << i;
        restarts += frame->frameIndex < lastIndex ? 1 : 0;
        lastIndex = frame->frameIndex;
        ASSERT_LE(frame->userCount, 2 * 10) << "frame " << i;
        for (int u = 0; u < frame->userCount; ++u) {
            const VelaUserData& user = frame->users[u];
            idsSeen.insert(user.id);
            if ((user.state & VELA_USER_STATE_NEW) != 0) {
                ++newUsers;
                // The skeleton driver's per-user state comes and goes
                // with the users.
                skeletonStarts += velaStartSkeletonTracking(m_handle, user.id) == VELA_STATUS_OK ? 1 : 0;
            }
            lostUsers += (user.state & VELA_USER_STATE_LOST) != 0 ? 1 : 0;
        }
        ASSERT_EQ(VELA_STATUS_OK, velaUserTrackerFrameRelease(m_handle, frame));
        if (i == kSettledFrame) {
            settled = HeapInUse();
            residentSettled = ResidentKb();
        } else if (i > kSettledFrame) {
            largest = std::max(largest, HeapInUse());
        }
    }
    const long residentAtEnd = ResidentKb();
    std::printf("%d frames, %d restarts of the recording; %d new users (ids", frames, restarts, newUsers);
    for (int id : idsSeen) {
        std::printf(" %d", id);
    }
    std::printf("), %d lost, %d skeleton starts\n", lostUsers, skeletonStarts);
    std::printf("resident %ld kB at the start, %ld kB at frame %d, %ld kB at the end\n", residentAtStart,
                residentSettled, kSettledFrame, residentAtEnd);
    if (frames > kSettledFrame) {
        std::printf("heap in use at frame %d: %ld bytes, at most %ld after it\n", kSettledFrame, settled, largest);
        EXPECT_LT(largest - settled, kAllowedGrowth);
    }
    // Users came and went in every pass.
    const int passes = frames / kRecordedFrames;
    EXPECT_EQ((frames - 1) / kRecordedFrames, restarts);
    EXPECT_GE(newUsers, 3 * passes);
    EXPECT_GE(lostUsers, 2 * passes);
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
