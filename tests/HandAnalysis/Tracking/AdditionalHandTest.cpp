// The hand-tracker manager on a camera session: with "TrackAdditionalHands"
// on, a second hand moving beside the tracked one is started on a search
// frame; with the default, none is.

#include <gtest/gtest.h>

#include <string>

#include "HandAnalysis/DUZHandTrackerManager.h"
#include "HandCameraSession.h"
#include "HandScenes.h"
#include "TempDir.h"
#include "XnAdapter/XnImageMetaData.h"

namespace {

class AddedHands : public NAEventListener {
public:
    void ProcessEvent(const NAEvent& event) override {
        if (event.kind == NAEvent::HAND && event.hand.type == NAHandEvent::ADDED) {
            ids.push_back(event.hand.handId);
            frames.push_back(event.frameId);
        }
    }
    std::vector<int> ids;
    std::vector<uint32_t> frames;
};

// The right hand raised and still, the left one raised beside it and
// drawing circles.
std::string TwoRaisedHands() {
    return hand_scenes::Room(hand_scenes::Person("right_arm=0,30,0,105 left_arm=0,30,0,105",
                                                 "  at 0 pos=0,1800\n  circle 0.5..4 hand=left radius=100 period=1\n"),
                             "frames count=120 fps=30\n");
}

void RunWithSetting(const std::string& ini, AddedHands& added) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(TwoRaisedHands(), 320, 240)) << session.Error();
    DUZHandTrackerManager manager;
    manager.AddEventListener(&added);
    const xn::ImageMetaData image;
    for (int i = 0; i < 90; ++i) {
        ASSERT_TRUE(session.Next());
        if (i == 0) {
            ASSERT_EQ(1, manager.Initialize(&session.Hub(), session.Node(), session.Depth(), ini, -1, 0));
        }
        if (i == 45) {
            ASSERT_EQ(1u, manager.StartTracking(session.Node(), session.Depth(),
                                                hand_test_kit::ToVector(session.Hand(0, 1).centroid),
                                                Vector2D<float>(0, 0)));
        }
        manager.Update(session.Node(), session.Depth(), image);
    }
}

TEST(AdditionalHandTest, AMovingHandBesideTheTrackedOneIsStartedOnlyWhenAsked) {
    vela_test::TempDir dir;
    const std::string ini = dir.File("HandAlgorithms.ini");
    vela_test::WriteWholeFile(ini, "[HandTrackerManager]\nTrackAdditionalHands=1\n");
    AddedHands on;
    ASSERT_NO_FATAL_FAILURE(RunWithSetting(ini, on));
    ASSERT_LE(2u, on.ids.size());
    // A search start the tracker refuses spends an id, as any failed start.
    EXPECT_LE(2, on.ids[1]);
    EXPECT_EQ(0u, on.frames[1] % 5);
    AddedHands off;
    ASSERT_NO_FATAL_FAILURE(RunWithSetting("", off));
    EXPECT_EQ(1u, off.ids.size());
}

}  // namespace
