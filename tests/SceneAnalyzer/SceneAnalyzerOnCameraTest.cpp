// The scene analyzer on rendered scenes through the synthetic camera, with
// every sensor effect on, as the user tracker runs it (320x240 stream,
// analysis at 160x120): a room's background is learnt and an object that
// is left alone joins it; a panning camera restarts the background; a
// covered lens is an occlusion, left with or without the camera moved;
// shadow bands are filled on the side away from the projector; and a
// recording's point file gives the seeds.

#ifdef VELA_SCENE_ANALYZER_ON_CAMERA

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "AnalyzerCameraFixture.h"
#include "HandCameraSession.h"
#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/SceneAnalyzer.h"
#include "TempDir.h"

namespace {

// A room seen 10 degrees down: floor, back wall and side walls, and
// boxes standing about.
const char* const kRoom =
    "camera resolution=320x240 elevation=1000 tilt=10\n"
    "frames count=400 fps=30\n"
    "wall z=4000\nwall x=-2500\nwall x=2500\n"
    "box center=-800,600,2500 size=400,1200,400\n"
    "box center=900,500,3000 size=500,1000,500\n";

class SceneAnalyzerOnCameraTest : public vela_test::AnalyzerCameraFixture {
protected:
    const Farfield& Model() const { return m_analyzer->GetFarfield(); }
    int Foreground() const {
        const Array2D<unsigned short>& fg = m_analyzer->GetForegroundImage();
        return static_cast<int>(fg.Size() - std::count(fg.Data(), fg.Data() + fg.Size(), 0));
    }
    int Count(const Array2D<unsigned short>& map, unsigned short value) const {
        return static_cast<int>(std::count(map.Data(), map.Data() + map.Size(), value));
    }
};

// The room is learnt within a few frames and has no foreground; a box put
// down away from everyone is foreground, and background after 151 frames
// of being so. The user tracker meanwhile sees nobody, and the floor.
TEST_F(SceneAnalyzerOnCameraTest, AnObjectLeftAloneJoinsTheBackground) {
    Open(std::string(kRoom) + "box center=600,150,2000 size=300,300,300 from=1\n");
    Skip(9);
    for (int frame = 10; frame <= 30; ++frame) {
        ASSERT_TRUE(Next());
        ASSERT_LE(Foreground(), 10) << frame;
    }
    // Known almost everywhere.
    EXPECT_LT(Count(Model().m_background, 0) + Count(Model().m_background, 1), 200);
    // The box appears in frame 31.
    for (int frame = 31; frame <= 181; ++frame) {
        ASSERT_TRUE(Next());
        ASSERT_GE(Foreground(), 250) << frame;
    }
    ASSERT_TRUE(Next());
    EXPECT_LE(Foreground(), 10);
    for (int id = 1; id <= SceneAnalyzer::kMaxUsers; ++id) {
        EXPECT_FALSE(m_analyzer->IsUserAlive(id));
    }
    Plane<float> floor;
    EXPECT_TRUE(m_analyzer->GetFloor(floor));
    const xn::SceneMetaData& labels = m_analyzer->GetLabelMap(QVGA);
    ASSERT_EQ(320, labels.XRes());
    EXPECT_EQ(0, std::count_if(labels.Data(), labels.Data() + 320 * 240, [](XnLabel l) { return l != 0; }));
}

// A steady pan: the first frame that fires makes the motion suspected, the
// next confirms it, the first frame without a firing window asks for the
// restart (the background's update then reports a reset and the
// foreground is empty), and the next frame's shift map becomes the
// background.
TEST_F(SceneAnalyzerOnCameraTest, APanningCameraRestartsTheBackground) {
    Open(std::string(kRoom) + "pan 1..1.5 rate=30\n");
    Skip(30);
    int frame = 30;
    while (Model().m_bMotionSuspected == 0 && frame < 45) {
        ASSERT_TRUE(Next());
        ++frame;
        ASSERT_EQ(0, Model().m_bMotionDetected);
        ASSERT_EQ(0, Model().m_bCameraMotion);
    }
    ASSERT_EQ(1, Model().m_bMotionSuspected) << "nothing suspected by frame " << frame;
    EXPECT_GT(frame, 31);
    ASSERT_TRUE(Next());
    EXPECT_EQ(0, Model().m_bMotionSuspected);
    EXPECT_EQ(1, Model().m_bMotionDetected);
    for (int more = 0; more < 40 && Model().m_bCameraMotion == 0; ++more) {
        ASSERT_EQ(1, Model().m_bMotionDetected);
        ASSERT_EQ(0, Model().IsReset());
        ASSERT_TRUE(Next());
    }
    ASSERT_EQ(1, Model().m_bCameraMotion);
    EXPECT_EQ(0, Model().m_bMotionDetected);
    EXPECT_EQ(1, Model().IsReset());
    EXPECT_EQ(0u, Model().m_nFramesSinceReset);
    EXPECT_EQ(0, Foreground());
    ASSERT_TRUE(Next());
    EXPECT_EQ(1, Model().IsReset());
    EXPECT_EQ(0, Model().m_bCameraMotion);
    const Array2D<unsigned short>& shift = m_session.Hub().ShiftMap(QQVGA, 0);
    EXPECT_TRUE(std::equal(shift.Data(), shift.Data() + shift.Size(), Model().m_background.Data()));
}

// A box nearer than the sensor can see covers the lens twice. The first
// time nothing moves: the background comes back as it was. The second
// time the camera turns meanwhile: leaving reports camera motion after the
// occlusion, for that frame only, and the background starts over.
TEST_F(SceneAnalyzerOnCameraTest, ACoveredLensIsAnOcclusion) {
    Open(std::string(kRoom) +
         "box center=0,1000,150 size=4000,4000,10 from=1 until=1.5\n"
         "box center=0,1000,150 size=4000,4000,10 from=2 until=3\n"
         "pan 2.2..2.6 rate=30\n");
    Skip(30);
    // What leaving unchanged brings back: the larger of background and
    // memory.
    Array2D<unsigned short> expected = Model().m_background;
    for (int i = 0; i < expected.Size(); ++i) {
        const unsigned short memory = Model().m_backgroundMemory.Data()[i];
        if (memory > 1) {
            expected.Data()[i] = std::max(expected.Data()[i], memory);
        }
    }
    ASSERT_TRUE(Next());
    EXPECT_EQ(1, Model().OccludedScene());
    for (int frame = 32; frame <= 45; ++frame) {
        ASSERT_TRUE(Next());
        ASSERT_EQ(1, Model().OccludedScene());
        ASSERT_EQ(1, Model().IsReset());
    }
    ASSERT_TRUE(Next());
    EXPECT_EQ(0, Model().OccludedScene());
    EXPECT_EQ(0, Model().CameraMotionDetectedAfterOcclusion());
    // A few noisy pixels in front of it were taken in by the component
    // stage of the same frame.
    const Array2D<unsigned short>& shift = m_session.Hub().ShiftMap(QQVGA, 0);
    int restored = 0;
    for (int i = 0; i < expected.Size(); ++i) {
        const unsigned short value = Model().m_background.Data()[i];
        ASSERT_TRUE(value == expected.Data()[i] || value == shift.Data()[i]) << i;
        restored += value == expected.Data()[i] ? 1 : 0;
    }
    EXPECT_GT(restored, expected.Size() * 99 / 100);

    Skip(14);
    ASSERT_TRUE(Next());
    EXPECT_EQ(1, Model().OccludedScene());
    Skip(29);
    EXPECT_EQ(1, Model().OccludedScene());
    ASSERT_TRUE(Next());
    EXPECT_EQ(0, Model().OccludedScene());
    EXPECT_EQ(1, Model().CameraMotionDetectedAfterOcclusion());
    EXPECT_EQ(static_cast<int>(Model().m_background.Size()), Count(Model().m_background, 1));
    ASSERT_TRUE(Next());
    EXPECT_EQ(0, Model().CameraMotionDetectedAfterOcclusion());
}

// A box before a wall leaves a band without depth on the side away from
// the projector: on the right in a mirrored stream, on the left otherwise.
// The analyzer fills it, and only it.
TEST_F(SceneAnalyzerOnCameraTest, ShadowsAreFilledAwayFromTheProjector) {
    for (const bool mirrored : {true, false}) {
        SCOPED_TRACE(mirrored ? "mirrored" : "not mirrored");
        m_analyzer.reset();
        hand_test_kit::CameraSession session;
        std::string scene =
            "camera resolution=320x240 elevation=1000 tilt=0\n"
            "frames count=10 fps=30\n"
            "floor off\nwall z=3000\n"
            "box center=0,1000,1200 size=400,400,100\n";
        if (!mirrored) {
            scene += "camera mirror=off\n";
        }
        ASSERT_TRUE(session.OpenScene(scene, 320, 240)) << session.Error();
        SceneAnalyzer analyzer;
        ASSERT_TRUE(analyzer.Initialize(&session.Hub(), session.Node(), SAConfiguration(), nullptr));
        ASSERT_TRUE(session.Next());
        analyzer.Update(nullptr, 1);
        const Array2D<unsigned short>& shadow = analyzer.GetShadowMap();
        const Array2D<unsigned short>& shift = session.Hub().ShiftMap(QQVGA, 0);
        int left = 0;
        int right = 0;
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                const unsigned short value = shadow.Data()[y * 160 + x];
                if (value == 0) {
                    continue;
                }
                ASSERT_EQ(0, shift.Data()[y * 160 + x]);
                // The band's value is the shift of the box's edge.
                int edge = x;
                const int towardsBox = mirrored ? -1 : 1;
                while (shift.Data()[y * 160 + edge] == 0) {
                    edge += towardsBox;
                }
                ASSERT_EQ(shift.Data()[y * 160 + edge], value);
                (x > 80 ? right : left) += 1;
            }
        }
        EXPECT_GT(mirrored ? right : left, 20);
        EXPECT_EQ(0, mirrored ? left : right);
    }
}

// The default scene with profiling on and the bit-exact dump for frames 2
// to 3, in the working directory.
class SceneAnalyzerDevelopmentOutputs : public SceneAnalyzerOnCameraTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_session.OpenUri("synthetic://default?resolution=320x240")) << m_session.Error();
        SAConfiguration configuration;
        configuration.m_profiling = {1, -1, -1};
        configuration.m_bitExact = {1, 2, 3};
        m_analyzer.reset(new SceneAnalyzer);
        ASSERT_TRUE(m_analyzer->Initialize(&m_session.Hub(), m_session.Node(), configuration, nullptr));
    }
    std::string ProfilingText() const { return vela_test::ReadWholeFile(m_dir.File(SceneAnalyzer::kProfilingFile)); }
    int ProfilingLines() const {
        const std::string text = ProfilingText();
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    // Bytes of a file in the folder, 0 when there is none.
    uintmax_t Bytes(const std::string& name) const {
        std::error_code error;
        const uintmax_t bytes = std::filesystem::file_size(m_dir.File(name), error);
        return error ? 0 : bytes;
    }

    // The analyzer closes its files before the folder goes.
    void TearDown() override { m_analyzer.reset(); }

    vela_test::TempDir m_dir;
    vela_test::ScopedCwd m_cwd{m_dir.Path()};
};

// Profiling writes its overall timing file in the working directory, a
// header and one line of six times per frame, and nothing else (no
// component files in a fixed folder); beside it only the bit-exact dump,
// named after the recording, "SENSOR.oni" for a live device.
TEST_F(SceneAnalyzerDevelopmentOutputs, ProfilingAndTheBitExactDump) {
    EXPECT_EQ("SENSOR.oni.bitExact", m_analyzer->GetBitExactFileName());
    Skip(3);
    std::istringstream lines(ProfilingText());
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ("shadow, Farfield, motionDetector, SAPlane, segmentation, total", line);
    int frames = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(5, std::count(line.begin(), line.end(), ',')) << line;
        ++frames;
    }
    EXPECT_EQ(3, frames);
    m_analyzer.reset();
    EXPECT_EQ(2, std::distance(std::filesystem::directory_iterator(m_dir.Path()), std::filesystem::directory_iterator()));
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("SENSOR.oni.bitExact")));
}

// Past the dump's last frame, and past the last profiled frame (the line of
// the first frame beyond it is the last one written), analysis goes on and
// only the development files stop growing. The hub's frame id is moved up
// to the profiling limit instead of running thousands of frames.
TEST_F(SceneAnalyzerDevelopmentOutputs, OutputsStopAfterTheirLastFramesWhileAnalysisGoesOn) {
    const std::string dump = m_analyzer->GetBitExactFileName();
    Skip(3);
    const uintmax_t dumped = Bytes(dump);
    Skip(3);
    EXPECT_EQ(dumped, Bytes(dump));
    EXPECT_EQ(1 + 6, ProfilingLines());

    const int last = SceneAnalyzer::kLastProfiledFrame;
    for (int id = last - 1; id <= last + 4; ++id) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(m_session.Next());
        m_session.Hub().m_nFrameID = id;
        m_analyzer->Update(nullptr, 1);
        EXPECT_EQ(id, Model().m_nFrameId);
        EXPECT_EQ(1 + 6 + std::min(id, last + 1) - (last - 2), ProfilingLines());
    }
    EXPECT_EQ(dumped, Bytes(dump));
    m_analyzer.reset();
    EXPECT_EQ(1 + 6 + 3, ProfilingLines());
}

#ifdef VELA_RECORD_ONI_EXE

// A recording with a point file beside it: every frame's seed comes from
// the file, halved from the file's 320 to the analysis 160 pixels, whether
// the caller gives no points or asks for the file; points the caller gives
// without asking for the file are used instead. A recording without a
// point file records the points the analyzer is given (none here).
TEST_F(SceneAnalyzerOnCameraTest, ARecordingsPointFileGivesTheSeeds) {
    vela_test::TempDir dir;
    const std::string recording = dir.File("room.oni");
    const std::string command = std::string(VELA_RECORD_ONI_EXE) + " --frames 8 default " + recording + " >/dev/null";
    ASSERT_EQ(0, std::system(command.c_str()));
    std::string points = "1\n";
    for (int frame = 1; frame <= 8; ++frame) {
        points += std::to_string(frame) + " " + std::to_string(2 * frame) + " " + std::to_string(4 * frame) + " \n";
    }
    vela_test::WriteWholeFile(recording + ".point", points);

    ASSERT_TRUE(m_session.OpenUri(recording)) << m_session.Error();
    Start();
    EXPECT_EQ(recording + ".point", m_analyzer->GetPointFile().Path());
    EXPECT_FALSE(m_analyzer->GetPointFile().IsRecording());
    const std::vector<Vector2D<int> > given = {Vector2D<int>(7, 9)};
    struct Call {
        const std::vector<Vector2D<int> >* points;
        int flag;
        bool fromFile;
    };
    const Call calls[] = {{nullptr, 1, true}, {&given, 1, true}, {&given, 0, false}, {nullptr, 0, true}};
    int seen = 0;
    for (int read = 0; read < 8 && m_session.Next(); ++read) {
        const int frame = static_cast<int>(m_session.FrameId());
        if (frame > 8) {
            break;
        }
        SCOPED_TRACE(frame);
        const Call& call = calls[read % 4];
        m_analyzer->Update(call.points, call.flag);
        const std::vector<Vector2D<int> >* seeds = m_analyzer->GetSeeds();
        ASSERT_NE(nullptr, seeds);
        ASSERT_EQ(1u, seeds->size());
        if (!call.fromFile) {
            EXPECT_EQ(&given, seeds);
        } else {
            EXPECT_EQ(frame, (*seeds)[0].x);
            EXPECT_EQ(2 * frame, (*seeds)[0].y);
        }
        ++seen;
    }
    EXPECT_GE(seen, 3);

    m_analyzer.reset();
    hand_test_kit::CameraSession other;
    const std::string plain = dir.File("plain.oni");
    ASSERT_EQ(0, std::system((std::string(VELA_RECORD_ONI_EXE) + " --frames 3 default " + plain + " >/dev/null").c_str()));
    ASSERT_TRUE(other.OpenUri(plain)) << other.Error();
    SceneAnalyzer analyzer;
    ASSERT_TRUE(analyzer.Initialize(&other.Hub(), other.Node(), SAConfiguration(), nullptr));
    EXPECT_TRUE(analyzer.GetPointFile().IsRecording());
    ASSERT_TRUE(other.Next());
    analyzer.Update(nullptr, 1);
    EXPECT_TRUE(analyzer.GetSeeds()->empty());
    EXPECT_FALSE(std::ifstream(plain + ".point").good());
}

#endif  // VELA_RECORD_ONI_EXE

}  // namespace

#endif  // VELA_SCENE_ANALYZER_ON_CAMERA
