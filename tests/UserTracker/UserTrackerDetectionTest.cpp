// Users detected by the library's own scene analysis, through the exported
// user-tracker calls on a rendered scene of the synthetic camera, checked
// against the renderer's truth of which pixel shows which person.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "UserTrackerOnSceneTest.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

// What one user-tracker frame showed of one user id.
struct Sighting {
    int state = -1;  // -1: not in the frame
    int pixels = 0;  // user-map pixels carrying the id
    int overlap[3] = {};  // of them, pixels showing person 0, 1 (index + 1), or none (0)
};

// Per frame: the users reported and, per true person, the pixels in view.
struct DetectionFrame {
    std::map<int, Sighting> users;
    int personPixels[2] = {};
};

class UserTrackerDetectionTest : public vela_test::UserTrackerOnSceneTest {
protected:
    // Runs the tracker over the whole scene file (beside this test).
    // The truth is rendered for the first truthFrames frames only.
    void Run(const std::string& sceneFile, int truthFrames) {
        ASSERT_NO_FATAL_FAILURE(m_camera.OpenFile(std::string(VELA_USER_TRACKER_SCENES) + "/" + sceneFile));
        const int count = m_camera.Frames();
        ASSERT_NO_FATAL_FAILURE(CreateTracker(m_camera));
        vela::scene::RenderedFrame nobody;  // the truth past truthFrames
        int last = 0;
        while (last < count) {
            VelaUserTrackerFrame* frame = nullptr;
            ASSERT_EQ(VELA_STATUS_OK, velaReadUserTrackerFrame(m_handle, &frame));
            ASSERT_NE(nullptr, frame);
            last = frame->frameIndex;
            const int pixels = frame->userMap.width * frame->userMap.height;
            if (frame->frameIndex > truthFrames) {
                nobody.depth.assign(static_cast<size_t>(pixels), 0);
                nobody.users.assign(static_cast<size_t>(pixels), 0);
            }
            const vela::scene::RenderedFrame& truth =
                frame->frameIndex <= truthFrames ? m_camera.Truth(frame->frameIndex) : nobody;
            DetectionFrame seen;
            ASSERT_EQ(static_cast<size_t>(pixels), truth.users.size());
            for (int u = 0; u < frame->userCount; ++u) {
                seen.users[frame->users[u].id].state = frame->users[u].state;
            }
            for (int i = 0; i < pixels; ++i) {
                const int person = truth.depth[static_cast<size_t>(i)] != 0 ? truth.users[static_cast<size_t>(i)] : 0;
                if (person >= 1 && person <= 2) {
                    ++seen.personPixels[person - 1];
                }
                const int id = frame->userMap.pixels[i];
                if (id != 0) {
                    Sighting& user = seen.users[id];
                    ++user.pixels;
                    ++user.overlap[person >= 1 && person <= 2 ? person : 0];
                }
            }
            m_frames.resize(static_cast<size_t>(frame->frameIndex) + 1);
            m_frames[static_cast<size_t>(frame->frameIndex)] = seen;
            ASSERT_EQ(VELA_STATUS_OK, velaUserTrackerFrameRelease(m_handle, frame));
        }
    }

    const DetectionFrame& At(int frame) const { return m_frames.at(static_cast<size_t>(frame)); }
    int State(int frame, int id) const {
        auto found = At(frame).users.find(id);
        return found == At(frame).users.end() ? -1 : found->second.state;
    }
    // Intersection over union of user id's map pixels with person p's.
    double IoU(int frame, int id, int p) const {
        const DetectionFrame& f = At(frame);
        auto found = f.users.find(id);
        if (found == f.users.end()) {
            return 0.0;
        }
        const int both = found->second.overlap[p + 1];
        return static_cast<double>(both) / (found->second.pixels + f.personPixels[p] - both);
    }
    // The first frame from `from` on that lists user id; -1 when none.
    int FirstReport(int id, int from) const {
        for (int frame = from; frame < static_cast<int>(m_frames.size()); ++frame) {
            if (State(frame, id) >= 0) {
                return frame;
            }
        }
        return -1;
    }
    // The first frame from which person p shows at least this many pixels.
    int Entry(int p, int from, int pixels) const {
        for (int frame = from; frame < static_cast<int>(m_frames.size()); ++frame) {
            if (At(frame).personPixels[p] >= pixels) {
                return frame;
            }
        }
        return -1;
    }

    std::vector<DetectionFrame> m_frames;  // by frame index
};

// A learnt room, then two people walk in one after the other; the second
// passes behind the first, and both walk out again: the users come with the
// people, keep their ids through the occlusion, are reported lost once and
// their ids are handed out again.
TEST_F(UserTrackerDetectionTest, PeopleWalkInPassEachOtherAndLeave) {
    // Both have left by frame 320.
    ASSERT_NO_FATAL_FAILURE(Run("walk_in_pass_behind.scene", 330));
    const int frames = static_cast<int>(m_frames.size()) - 1;
    ASSERT_GE(frames, 300);
    // The empty room: nobody.
    for (int frame = 1; frame <= 40; ++frame) {
        ASSERT_TRUE(At(frame).users.empty()) << frame;
    }
    // The first person: user 1 within 20 frames of half their body showing,
    // new in its first frame only.
    const int entryA = Entry(0, 41, 2500);
    ASSERT_GT(entryA, 40);
    const int firstA = FirstReport(1, 41);
    ASSERT_GT(firstA, 40);
    EXPECT_LE(firstA, entryA + 20);
    EXPECT_EQ(VELA_USER_STATE_NEW | VELA_USER_STATE_VISIBLE, State(firstA, 1));
    // Standing alone in view, the user map is the person.
    const int entryB = Entry(1, firstA, 1);
    ASSERT_GT(entryB, firstA + 30);
    double worst = 1.0;
    for (int frame = firstA + 20; frame < entryB; ++frame) {
        worst = std::min(worst, IoU(frame, 1, 0));
    }
    EXPECT_GT(worst, 0.8);
    // The second person is user 2.
    const int entryB2 = Entry(1, entryB, 2500);
    const int firstB = FirstReport(2, entryB);
    ASSERT_GT(firstB, 0);
    EXPECT_LE(firstB, entryB2 + 20);
    EXPECT_EQ(VELA_USER_STATE_NEW | VELA_USER_STATE_VISIBLE, State(firstB, 2));
    EXPECT_GT(IoU(firstB + 10, 2, 1), 0.8);
    // Behind the first person the second vanishes for a while and keeps
    // id 2 throughout; nobody else turns up.
    int hiddenFrom = -1;
    int hiddenTo = -1;
    for (int frame = firstB; frame <= frames; ++frame) {
        if (At(frame).personPixels[1] < 200 && At(frame).personPixels[0] > 6000) {
            hiddenFrom = hiddenFrom < 0 ? frame : hiddenFrom;
            hiddenTo = frame;
        }
    }
    ASSERT_GT(hiddenFrom, firstB) << "the second person is never hidden";
    for (int frame = firstA + 1; frame <= hiddenTo + 30; ++frame) {
        SCOPED_TRACE(frame);
        for (const auto& user : At(frame).users) {
            EXPECT_TRUE(user.first == 1 || user.first == 2) << "user " << user.first;
        }
        ASSERT_GE(State(frame, 1), 0);
        EXPECT_EQ(0, State(frame, 1) & (VELA_USER_STATE_NEW | VELA_USER_STATE_LOST));
        if (frame > firstB) {
            ASSERT_GE(State(frame, 2), 0);
            EXPECT_EQ(0, State(frame, 2) & (VELA_USER_STATE_NEW | VELA_USER_STATE_LOST));
        }
    }
    // Reappeared, user 2 has the second person's pixels again.
    double best = 0.0;
    for (int frame = hiddenTo + 10; frame <= hiddenTo + 30; ++frame) {
        best = std::max(best, IoU(frame, 2, 1));
    }
    EXPECT_GT(best, 0.7);
    // Both leave; being gone looks like a long occlusion, so each user is
    // held for 300 frames more, then reported lost exactly once, and its id
    // is free.
    int allLost = 0;
    for (int id = 1; id <= 2; ++id) {
        int lost = 0;
        int lostAt = -1;
        for (int frame = hiddenTo; frame <= frames; ++frame) {
            if (State(frame, id) == VELA_USER_STATE_LOST) {
                ++lost;
                lostAt = frame;
            }
        }
        ASSERT_EQ(1, lost) << "user " << id;
        allLost = std::max(allLost, lostAt);
    }
    // Nobody is left.
    ASSERT_LT(allLost, frames);
    EXPECT_TRUE(At(allLost + 1).users.empty());
    // The third person, walking in late, gets a freed id, not a third one.
    int lateId = 0;
    for (int frame = allLost + 1; frame <= frames && lateId == 0; ++frame) {
        for (const auto& user : At(frame).users) {
            EXPECT_EQ(VELA_USER_STATE_NEW | VELA_USER_STATE_VISIBLE, user.second.state) << frame;
            lateId = user.first;
        }
    }
    EXPECT_TRUE(lateId == 1 || lateId == 2) << lateId;
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
