// The user tracker's users, floor, user map, rebuilds and frame references,
// with a scripted scene and skeleton driver on the synthetic camera.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ScriptedUserAlgorithms.h"
#include "UserTrackerTestSupport.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

using vela_test::ReadUserFrame;
using vela_test::Script;
using vela_test::ScriptedSkeletonUser;
using vela_test::ScriptedUserAlgorithms;
using vela_test::TestUserTracker;
using vela_test::UserFrame;

class UserTrackerUsersTest : public vela_test::TrackerTest {
protected:
    // A tracker with the scripted algorithms on a lent device.
    void Start(const char* uri = "synthetic://default") {
        ASSERT_EQ(openni::STATUS_OK, m_device.open(uri));
        auto algorithms = std::make_unique<ScriptedUserAlgorithms>(m_script);
        m_algorithms = algorithms.get();
        m_tracker = std::make_unique<TestUserTracker>(std::move(algorithms));
        ASSERT_EQ(VELA_STATUS_OK, m_tracker->initialize(&m_device)) << LogText();
    }
    void TearDown() override {
        m_tracker.reset();
        // The lent device closes while OpenNI2 is still up, as in the other
        // fixtures: a file player left open is torn down inside OpenNI2's
        // shutdown instead, its reading thread joined under that call.
        m_device.close();
        TrackerTest::TearDown();
    }

    ScriptedSkeletonUser* User(int id) { return m_algorithms->Driver()->User(id); }
    // The user's pixel box at the 320x240 user map.
    void SetBox(int id, int left, int top, int right, int bottom) {
        User(id)->info.boundsPix[QVGA] = Box2D<int>(Vector2D<int>(left, top), Vector2D<int>(right, bottom));
    }

    Script m_script;
    openni::Device m_device;
    ScriptedUserAlgorithms* m_algorithms = nullptr;
    std::unique_ptr<TestUserTracker> m_tracker;
};

TEST_F(UserTrackerUsersTest, UsersAreNewThenVisibleThenLostOnceThenGone) {
    Start();
    m_script.alive = {1};
    UserFrame frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(1, frame->userCount);
    const VelaUserData& first = frame->users[0];
    EXPECT_EQ(1, first.id);
    EXPECT_EQ(VELA_USER_STATE_NEW | VELA_USER_STATE_VISIBLE, first.state);
    EXPECT_EQ(VELA_SKELETON_NONE, first.skeleton.state);
    // The new pipeline has not been refreshed yet: the empty box and centre.
    EXPECT_EQ(2147483648.0f, first.boundingBox.min.x);
    EXPECT_EQ(2147483648.0f, first.boundingBox.min.y);
    EXPECT_EQ(-2147483648.0f, first.boundingBox.max.x);
    EXPECT_EQ(-2147483648.0f, first.boundingBox.max.y);
    EXPECT_EQ(0.0f, first.centerOfMass.z);
    ASSERT_NE(nullptr, User(1));
    EXPECT_EQ(FeatureExtractor::MODE_STOPPED, User(1)->mode);

    SetBox(1, 10, 20, 50, 100);
    User(1)->info.com = Vector3D<float>(1, 2, 3);
    frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(1, frame->userCount);
    EXPECT_EQ(VELA_USER_STATE_VISIBLE, frame->users[0].state);
    EXPECT_EQ(10.0f, frame->users[0].boundingBox.min.x);
    EXPECT_EQ(20.0f, frame->users[0].boundingBox.min.y);
    EXPECT_EQ(0.0f, frame->users[0].boundingBox.min.z);
    EXPECT_EQ(50.0f, frame->users[0].boundingBox.max.x);
    EXPECT_EQ(100.0f, frame->users[0].boundingBox.max.y);
    EXPECT_EQ(3.0f, frame->users[0].centerOfMass.z);

    // A degenerate box hides a user that is not new; a new one stays visible.
    SetBox(1, 10, 20, 50, 20);
    m_script.alive = {1, 2};
    frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(2, frame->userCount);
    EXPECT_EQ(0, frame->users[0].state);
    EXPECT_EQ(2, frame->users[1].id);
    EXPECT_EQ(VELA_USER_STATE_NEW | VELA_USER_STATE_VISIBLE, frame->users[1].state);

    // Lost: once, after the present users, with nothing but id and state.
    SetBox(2, 0, 0, 1, 1);
    m_script.alive = {2};
    frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(2, frame->userCount);
    EXPECT_EQ(2, frame->users[0].id);
    EXPECT_EQ(0, frame->users[0].state) << "height 1 x width 1 is degenerate";
    const VelaUserData& lost = frame->users[1];
    EXPECT_EQ(1, lost.id);
    EXPECT_EQ(VELA_USER_STATE_LOST, lost.state);
    VelaUserData expected = {};
    expected.id = 1;
    expected.state = VELA_USER_STATE_LOST;
    EXPECT_EQ(0, std::memcmp(&expected, &lost, sizeof(expected)));
    EXPECT_EQ(nullptr, User(1));

    SetBox(2, 0, 0, 2, 1);
    frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(1, frame->userCount);
    EXPECT_EQ(VELA_USER_STATE_VISIBLE, frame->users[0].state);

    m_script.alive = {};
    frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(1, frame->userCount);
    EXPECT_EQ(VELA_USER_STATE_LOST, frame->users[0].state);
    frame = ReadUserFrame(*m_tracker);
    EXPECT_EQ(0, frame->userCount);
    EXPECT_EQ(nullptr, frame->users);
    EXPECT_EQ((std::vector<int>{1, 2}), m_script.created);
    EXPECT_EQ((std::vector<int>{1, 2}), m_script.deleted);
}

TEST_F(UserTrackerUsersTest, TheUserMapIsTheSceneLabelMapAtTheDepthSize) {
    Start("synthetic://default?resolution=640x480");
    m_script.labelFill = 4;
    UserFrame frame = ReadUserFrame(*m_tracker);
    ASSERT_EQ(640, frame->userMap.width);
    ASSERT_EQ(480, frame->userMap.height);
    EXPECT_EQ(1280, frame->userMap.stride);
    for (int i : {0, 1, 2, 640 * 480 - 1}) {
        EXPECT_EQ(4 + i % 3, frame->userMap.pixels[i]) << i;
    }
    // The depth size, then the skeleton resolution (QQVGA by default).
    EXPECT_EQ((std::vector<Resolution>{VGA, QQVGA}), m_script.labelMapsAsked);
}

TEST_F(UserTrackerUsersTest, TheFloorIsCopiedWhetherOrNotItIsKnown) {
    Start();
    m_script.floor = Plane<float>(Vector3D<float>(10, -900, 2000), Vector3D<float>(0, 1, 0));
    for (bool known : {false, true}) {
        m_script.floorKnown = known;
        UserFrame frame = ReadUserFrame(*m_tracker);
        EXPECT_EQ(known ? 1.0f : 0.0f, frame->floorConfidence);
        EXPECT_EQ(10.0f, frame->floor.point.x);
        EXPECT_EQ(-900.0f, frame->floor.point.y);
        EXPECT_EQ(2000.0f, frame->floor.point.z);
        EXPECT_EQ(1.0f, frame->floor.normal.y);
    }
}

// A recording that starts over (its time stamps go back) rebuilds the scene
// analysis and drops every skeleton pipeline; a user the rebuilt scene still
// reports gets a new one.
TEST_F(UserTrackerUsersTest, ARecordingThatStartsOverRebuildsTheScene) {
    const std::string recording = m_dir.File("three.oni");
    vela_test::RecordOni("default", recording, 3);
    Start(recording.c_str());
    m_device.getPlaybackControl()->setSpeed(-1.0f);
    EXPECT_EQ(1, m_script.scenesCreated);
    m_script.alive = {1};
    // Playback runs at normal speed until the speed is set, so the lap in
    // which the first read falls is not known.
    int previous = 0;
    bool wrapped = false;
    for (int i = 0; i < 8 && !wrapped; ++i) {
        const int scenes = m_script.scenesCreated;
        const int resets = m_script.driverResets;
        UserFrame frame = ReadUserFrame(*m_tracker);
        wrapped = frame->frameIndex < previous;
        previous = frame->frameIndex;
        EXPECT_EQ(scenes + (wrapped ? 1 : 0), m_script.scenesCreated);
        EXPECT_EQ(resets + (wrapped ? 1 : 0), m_script.driverResets);
        ASSERT_EQ(1, frame->userCount);
        EXPECT_EQ(1, frame->users[0].id);
    }
    EXPECT_TRUE(wrapped);
    EXPECT_EQ((std::vector<int>{1, 1}), m_script.created);
    EXPECT_NE(nullptr, User(1));
}

// Equal time stamps rebuild nothing; an earlier one does. A user still
// present after the rebuild gets a new pipeline instead of reaching a
// deleted one.
TEST_F(UserTrackerUsersTest, OnlyAnEarlierTimeStampRebuilds) {
    Start();
    OniFrame* earlier = m_tracker->ReadDepth();
    OniFrame* later = m_tracker->ReadDepth();
    ASSERT_NE(nullptr, earlier);
    ASSERT_NE(nullptr, later);
    ASSERT_LT(earlier->timestamp, later->timestamp);
    m_script.alive = {1};
    for (OniFrame* depth : {later, later, earlier}) {
        m_tracker->userTrackerFrameRelease(m_tracker->processFrame(depth));
    }
    EXPECT_EQ(2, m_script.scenesCreated);
    EXPECT_EQ((std::vector<int>{1, 1}), m_script.created);
    ASSERT_NE(nullptr, User(1));
    xn::GetOniCalls().frameRelease(earlier);
    xn::GetOniCalls().frameRelease(later);
}

TEST_F(UserTrackerUsersTest, AFrameIsFreedByItsLastRelease) {
    vela_test::CountingFrameCalls calls;
    Start();
    ExpectAFrameIsFreedByItsLastRelease<vela_test::UserFrames>(*m_tracker, calls, "UserTracker");
}

TEST_F(UserTrackerUsersTest, ThePreferenceChoosesTheResolutions) {
    struct Case {
        const char* preference;  // null: no such key
        Resolution scene;
        Resolution skeleton;
        const char* logged;  // null: nothing
    };
    const Case cases[] = {
        {"Speed", QQQVGA, QQQVGA, "Using resolutions: SA - QQQVGA, FE - QQQVGA\n"},
        {"Quality", QQVGA, QQVGA, "Using resolutions: SA - QQVGA, FE - QQVGA\n"},
        {"Mixed", QQVGA, QQQVGA, "Using resolutions: SA - QQVGA, FE - QQQVGA\n"},
        {"dexiM", QQQVGA, QQVGA, "Using resolutions: SA - QQQVGA, FE - QQVGA\n"},
        {"Fast", QQVGA, QQVGA, "Using resolutions: SA - QQVGA, FE - QQVGA\n"},
        {nullptr, QQVGA, QQVGA, nullptr},
    };
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_VERBOSE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preference != nullptr ? c.preference : "no key");
        WriteDataFile("FeatureExtraction.ini",
                      std::string("[Generator]\n") + (c.preference != nullptr ? "Preference=" : "Other=") +
                          (c.preference != nullptr ? c.preference : "1") + "\n");
        m_writer.Clear();
        Script script;
        openni::Device device;
        ASSERT_EQ(openni::STATUS_OK, device.open("synthetic://default"));
        UserTracker tracker(std::make_unique<ScriptedUserAlgorithms>(script));
        ASSERT_EQ(VELA_STATUS_OK, tracker.initialize(&device));
        EXPECT_EQ(c.scene, script.lastConfiguration.m_resolution);
        EXPECT_EQ(c.skeleton, script.driverResolution);
        EXPECT_EQ("./Vela2/FeatureExtraction.ini", script.iniPath);
        EXPECT_EQ("./Vela2", script.configurationDir);
        int resolutionLines = 0;
        for (const vela_test::CapturedEntry& entry : m_writer.m_entries) {
            resolutionLines += entry.strMessage.find("Using resolutions") == 0 ? 1 : 0;
        }
        EXPECT_EQ(c.logged != nullptr ? 1 : 0, resolutionLines);
        if (c.logged != nullptr) {
            EXPECT_TRUE(Logged(c.logged)) << LogText();
        }
    }
}

TEST_F(UserTrackerUsersTest, TheSceneConfigurationAndItsFailure) {
    m_script.sceneInitializes = false;
    Start();
    const SAConfiguration& configuration = m_script.lastConfiguration;
    EXPECT_EQ(1, configuration.m_SSE.on);
    EXPECT_EQ(1000000000, configuration.m_SSE.lastFrame);
    EXPECT_EQ(0, configuration.m_output.on);
    EXPECT_EQ(QQVGA, configuration.m_outputResolution);
    EXPECT_EQ(8000, configuration.m_MaxSupportedDepth);
    // Only reported: the tracker runs on.
    EXPECT_TRUE(Logged("UserTracker: Couldn't initialize Scene Analyzer")) << LogText();
    EXPECT_NE(nullptr, ReadUserFrame(*m_tracker));
}

TEST_F(UserTrackerUsersTest, TheSkeletonDriverCanFailTheCreation) {
    struct Case {
        bool driverInitializes;
        bool lbsEnabled;
        bool lbsInitializes;
        const char* message;  // null: created
    };
    const Case cases[] = {
        {false, false, false, "UserTracker: Couldn't initialize FeatureExtractor"},
        {true, true, false, "UserTracker: Couldn't initialize LBS"},
        {true, true, true, nullptr},
        {true, false, false, nullptr},
    };
    for (const Case& c : cases) {
        m_writer.Clear();
        Script script;
        script.driverInitializes = c.driverInitializes;
        script.lbsEnabled = c.lbsEnabled;
        script.lbsInitializes = c.lbsInitializes;
        UserTracker tracker(std::make_unique<ScriptedUserAlgorithms>(script));
        EXPECT_EQ(c.message != nullptr ? VELA_STATUS_ERROR : VELA_STATUS_OK, tracker.initialize());
        if (c.message != nullptr) {
            EXPECT_TRUE(Logged(c.message)) << LogText();
        }
    }
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
