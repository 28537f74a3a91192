#include <gtest/gtest.h>

#include <dirent.h>

#include <cmath>

#include "RendererTestSupport.h"
#include "TempDir.h"
#include "UnreadableFiles.h"

namespace {

using namespace scene_test;

TEST(SceneParser, ReadsEveryKeyword) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("clip.bvh"), vela_test::ReadWholeFile(std::string(VELA_SCENE_TEST_DATA) + "/simple.bvh"));
    const std::string text =
        "# comment line\n"
        "camera resolution=640x480 hfov=1.0 elevation=1200 tilt=7.5 mirror=off  # trailing comment\n"
        "sensor quantise=off shadow=off noise=0.2 dropouts=0.01 seed=42 max_depth=8000 zpd=120\n"
        "sensor levels=table field=0.5 blocks=0.25 edges=off fragments=off holes=off\n"
        "frames count=12 fps=15\n"
        "floor off\n"
        "wall z=4200\n"
        "wall x=-1800\n"
        "box center=500,250,3000 size=400,500,300 yaw=30\n"
        "person height=1650 girth=1.1 walk=off face=motion clothing=off hair=off fabric=light\n"
        "  at 0 pos=-100,2000 yaw=10\n"
        "  at 2 yaw=20\n"
        "  pose 0 stand\n"
        "  pose 1 psi left_arm=80,10,90,80 spine=5,0,0 neck=0,0,20\n"
        "  wave 1..3 hand=left amplitude=100 period=0.5 blend=0.2\n"
        "  push 3..4 reach=300\n"
        "  raise 4..5\n"
        "  swipe 5..6 direction=left length=400\n"
        "  circle 6..8 radius=120 period=1.2 direction=cw\n"
        "  bvh clip.bvh start=8 end=12 speed=0.5 loop=on\n"
        "  track 2.5 hand=left\n"
        "  track 3\n"
        "person body=plain\n";
    Scene s;
    std::string error;
    ASSERT_TRUE(ParseScene(text, dir.Path(), s, error)) << error;
    EXPECT_EQ(640, s.camera.nWidth);
    EXPECT_EQ(480, s.camera.nHeight);
    EXPECT_EQ(1.0f, s.camera.fHorizontalFov);
    EXPECT_EQ(1200.0, s.camera.dElevation);
    EXPECT_EQ(7.5, s.camera.dTilt);
    EXPECT_FALSE(s.camera.bMirror);
    EXPECT_FALSE(s.sensor.bQuantise);
    EXPECT_FALSE(s.sensor.bShadow);
    EXPECT_EQ(0.2, s.sensor.dNoise);
    EXPECT_EQ(0.01, s.sensor.dDropouts);
    EXPECT_EQ(42u, s.sensor.nSeed);
    EXPECT_FALSE(s.sensor.bDeviceLevels);
    EXPECT_EQ(0.5, s.sensor.dNoiseField);
    EXPECT_EQ(0.25, s.sensor.dNoiseBlocks);
    EXPECT_FALSE(s.sensor.bEdges);
    EXPECT_FALSE(s.sensor.bFragments);
    EXPECT_FALSE(s.sensor.bHoles);
    EXPECT_EQ(8000, s.sensor.params.nDeviceMaxDepthValue);
    EXPECT_EQ(12, s.nFrames);
    EXPECT_EQ(15.0, s.dFps);
    EXPECT_FALSE(s.bFloor);
    ASSERT_EQ(2u, s.walls.size());
    EXPECT_EQ('x', s.walls[1].axis);
    EXPECT_EQ(-1800.0, s.walls[1].value);
    ASSERT_EQ(1u, s.boxes.size());
    EXPECT_EQ(30.0, s.boxes[0].yaw);
    ASSERT_EQ(2u, s.people.size());
    const PersonDef& p = s.people[0];
    EXPECT_EQ(1650.0, p.height);
    EXPECT_EQ(1.1, p.girth);
    EXPECT_FALSE(p.walk);
    EXPECT_TRUE(p.faceMotion);
    EXPECT_FALSE(p.plainBody);
    EXPECT_FALSE(p.style.bClothing);
    EXPECT_FALSE(p.style.bHair);
    EXPECT_FALSE(p.style.bDarkFabric);
    ASSERT_EQ(2u, p.path.size());
    EXPECT_TRUE(p.path[0].hasPosition);
    EXPECT_FALSE(p.path[1].hasPosition);
    EXPECT_EQ(20.0, p.path[1].yaw);
    ASSERT_EQ(2u, p.poses.size());
    ASSERT_EQ(3u, p.poses[1].overrides.size());
    EXPECT_EQ(PoseOverride::LeftArm, p.poses[1].overrides[0].target);
    EXPECT_EQ(80.0, p.poses[1].overrides[0].values[3]);
    ASSERT_EQ(5u, p.actions.size());
    EXPECT_EQ(ActionKind::Wave, p.actions[0].kind);
    EXPECT_EQ(kLeft, p.actions[0].side);
    EXPECT_EQ(0.5, p.actions[0].period);
    EXPECT_EQ(kRight, p.actions[1].side);
    EXPECT_EQ(-1, p.actions[3].direction);
    EXPECT_EQ(-1, p.actions[4].direction);
    ASSERT_EQ(1u, p.clips.size());
    EXPECT_TRUE(p.clips[0].loop);
    EXPECT_EQ(3, p.clips[0].clip->FrameCount());
    ASSERT_EQ(2u, p.trackStarts.size());
    EXPECT_EQ(2.5, p.trackStarts[0].time);
    EXPECT_EQ(kLeft, p.trackStarts[0].side);
    EXPECT_EQ(3.0, p.trackStarts[1].time);
    EXPECT_EQ(kRight, p.trackStarts[1].side);
    EXPECT_TRUE(s.people[1].trackStarts.empty());
    // The second person: the plain body; the dressed body's style keeps its
    // defaults (clothing, hair, dark fabric).
    EXPECT_EQ(1750.0, s.people[1].height);
    EXPECT_TRUE(s.people[1].walk);
    EXPECT_TRUE(s.people[1].plainBody);
    EXPECT_TRUE(s.people[1].style.bClothing && s.people[1].style.bHair && s.people[1].style.bDarkFabric);
    // And it renders.
    SceneRenderer renderer(s);
    RenderedFrame frame;
    for (const int f : {0, 20, 100, 170}) renderer.Render(f, frame);
    EXPECT_EQ(640 * 480u, frame.depth.size());
}

TEST(SceneParser, ErrorsNameTheLineAndTheProblem) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"camera resolution=320x240\nfly high\n", "line 2: unknown keyword 'fly'"},
        {"camera resolution=320\n", "line 1: bad value '320' for resolution"},
        {"camera resolution=0x240\n", "bad value"},
        {"camera zoom=2\n", "unknown key 'zoom' in 'camera'"},
        {"camera mirror=maybe\n", "bad value 'maybe' for mirror"},
        {"sensor levels=round\n", "bad value 'round' for levels"},
        {"sensor field=-0.1\n", "bad value '-0.1' for field"},
        {"sensor holes=sometimes\n", "bad value 'sometimes' for holes"},
        {"person fabric=red\n", "bad value 'red' for fabric"},
        {"person body=robot\n", "bad value 'robot' for body"},
        {"sensor noise=-1\n", "bad value '-1' for noise"},
        {"sensor param_coeff=0\n", "sensor parameters"},
        {"sensor max_depth=200\n", "sensor parameters"},
        {"frames count=0\n", "bad value '0' for count"},
        {"floor maybe\n", "'floor' takes 'on' or 'off'"},
        {"wall y=3\n", "'wall' takes one of x=VALUE or z=VALUE"},
        {"box size=1,2,3\n", "'box' needs center=X,Y,Z"},
        {"box center=1,2\n", "bad value '1,2' for center"},
        {"at 0 pos=0,2000\n", "line 1: 'at' before any 'person'"},
        {"person height=90000\n", "bad value '90000' for height"},
        {"person\nat soon\n", "line 2: 'at' needs a time"},
        {"person\nat 1 pos=1,2,3\n", "bad value '1,2,3' for pos"},
        {"person\npose 0 dance\n", "unknown pose 'dance'"},
        {"person\npose 0 stand right_arm=1,2\n", "bad value '1,2' for right_arm"},
        {"person\nwave 3..1\n", "bad time range '3..1'"},
        {"person\nwave 1\n", "bad time range '1'"},
        {"person\nwave 0..1 hand=middle\n", "bad value 'middle' for hand"},
        {"person\npush 0..1 amplitude=3\n", "unknown key 'amplitude' in 'push'"},
        {"person\nbvh missing.bvh\n", "BVH file /nonexistent/missing.bvh: cannot open"},
        {"person\nbvh\n", "'bvh' needs one file name"},
        {"track 1\n", "line 1: 'track' before any 'person'"},
        {"person\ntrack soon\n", "'track' needs a time"},
        {"person\ntrack 1 hand=both\n", "bad value 'both' for hand"},
        {"person\ntrack 1 speed=2\n", "unknown key 'speed' in 'track'"},
        {"person\ntrack 3601\n", "time '3601' is past the longest scene"},
        // Every number has a range, lists included, and a key comes once.
        {"person\nat 0 pos=1e30,2000\n", "bad value '1e30,2000' for pos"},
        {"box center=0,0,1e30\n", "bad value '0,0,1e30' for center"},
        {"box center=0,0,2000 size=1e30,100,100\n", "bad value '1e30,100,100' for size"},
        {"box center=0,0,2000 size=0.001,100,100\n", "bad value '0.001,100,100' for size"},
        {"wall z=1e30\n", "bad value '1e30' for z"},
        {"person\nat 0 yaw=1e30\n", "bad value '1e30' for yaw"},
        {"person\npose 0 stand left_arm=1e30,0,0,0\n", "bad value '1e30,0,0,0' for left_arm"},
        {"person\npose 0 stand spine=0,400,0\n", "bad value '0,400,0' for spine"},
        {"camera tilt=5 tilt=6\n", "line 1: key 'tilt' given twice in 'camera'"},
        {"person height=1700 height=1800\n", "key 'height' given twice in 'person'"},
        {"person\nat 0 pos=0,2000 pos=0,3000\n", "key 'pos' given twice in 'at'"},
        // Times that would make the walking cycle's table enormous.
        {"person\nat 1e30 pos=0,2000\n", "line 2: time '1e30' is past the longest scene (3600 s)"},
        {"person\nat 0 pos=0,2000\nat 1000000 pos=100,2000\n", "time '1000000' is past the longest scene"},
        {"person\npose 3601 stand\n", "time '3601' is past the longest scene"},
        {"person\nwave 0..1e6\n", "time '0..1e6' is past the longest scene"},
        {"person\nbvh clip.bvh start=1e30\n", "bad value '1e30' for start"},
        // Camera pans and timed boxes.
        {"pan 2..1\n", "bad time range '2..1'"},
        {"pan 0..1 speed=3\n", "unknown key 'speed' in 'pan'"},
        {"pan 0..1 rate=5000\n", "bad value '5000' for rate"},
        {"box center=0,0,2000 from=2 until=1\n", "'box' until must come after from"},
        {"box center=0,0,2000 from=-1\n", "bad value '-1' for from"},
    };
    for (const Case& c : cases) {
        Scene scene;
        scene.nFrames = 77;
        std::string error;
        EXPECT_FALSE(ParseScene(c.text, "/nonexistent", scene, error)) << c.text;
        EXPECT_NE(std::string::npos, error.find(c.expected)) << c.text << " gave: " << error;
        EXPECT_EQ(77, scene.nFrames) << "a failed parse leaves the scene alone";
    }
    Scene scene;
    std::string error;
    EXPECT_FALSE(LoadSceneFile("/nonexistent/none.scene", scene, error));
    EXPECT_NE(std::string::npos, error.find("scene file /nonexistent/none.scene: cannot open"));
    // The longest scene still parses.
    EXPECT_TRUE(ParseScene("person\nat 0 pos=0,2000\nat 3600 pos=100,2000\n", "", scene, error)) << error;
}

TEST(SceneParser, ReadsRegularFilesOnlyAndWithinABound) {
    vela_test::TempDir dir;
    for (const auto& file : vela_test::MakeUnreadableFiles(dir, ".scene", off_t(5) << 20)) {
        Scene scene;
        scene.nFrames = 77;
        std::string error;
        EXPECT_FALSE(LoadSceneFile(file.path, scene, error)) << file.path;
        EXPECT_NE(std::string::npos, error.find("scene file " + file.path + ": " + file.reason)) << error;
        EXPECT_EQ(77, scene.nFrames);
    }
}

// Scenes built in code skip the parser's bounds; far key times still give
// a bounded walking table and a frame.
TEST(SceneParser, CodeBuiltScenesWithFarKeyTimesStillRender) {
    for (const double far : {1e6, 1e30}) {
        Scene scene = StandingScene();
        PathKey key;
        key.time = far;
        key.hasPosition = true;
        key.x = 500.0;
        key.z = 2500.0;
        scene.people[0].path.push_back(key);
        SceneRenderer renderer(scene);
        renderer.SetResolution(32, 24);
        RenderedFrame frame;
        renderer.Render(10, frame);
        EXPECT_EQ(32u * 24u, frame.depth.size());
        EXPECT_NEAR(0.0, JointAt(frame.truth, 0, Joint::Torso).x, 1.0) << far;
    }
}

TEST(SceneParser, ExampleScenesAndTheDefaultSceneLoadAndRender) {
    const std::string folder = VELA_SCENE_EXAMPLES;
    DIR* dir = opendir(folder.c_str());
    ASSERT_NE(nullptr, dir);
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 7 || name.substr(name.size() - 6) != ".scene") continue;
        Scene scene;
        std::string error;
        ASSERT_TRUE(LoadSceneFile(folder + "/" + name, scene, error)) << error;
        EXPECT_FALSE(scene.people.empty()) << name;
        SceneRenderer renderer(scene);
        renderer.SetResolution(160, 120);
        RenderedFrame frame;
        renderer.Render(scene.nFrames / 2, frame);
        EXPECT_GT(frame.truth.users[0].nVisiblePixels, 0) << name;
        ++count;
    }
    closedir(dir);
    EXPECT_GE(count, 6);

    const Scene scene = DefaultScene();
    ASSERT_EQ(1u, scene.people.size());
    EXPECT_EQ(150, scene.nFrames);
    SceneRenderer renderer(scene);
    RenderedFrame frame;
    renderer.Render(0, frame);
    EXPECT_EQ(0, frame.truth.users[0].nVisiblePixels);  // still outside the view
    renderer.Render(149, frame);
    EXPECT_GT(frame.truth.users[0].nVisiblePixels, 3000);
    EXPECT_NEAR(0.0, JointAt(frame.truth, 0, Joint::Torso).x, 1.0);
}

}  // namespace
