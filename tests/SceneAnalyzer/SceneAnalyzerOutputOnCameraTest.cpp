// The scene analyzer's development outputs on rendered scenes through the
// synthetic camera: the "sa" record holds every analysed frame as the
// analyzer had it, the bit-exact dump its maps, and both are named after
// the recording.

#ifdef VELA_SCENE_ANALYZER_ON_CAMERA

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "AnalyzerCameraFixture.h"
#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/SAOutput.h"
#include "SceneAnalyzer/SceneAnalyzer.h"
#include "TempDir.h"

namespace {

// A person walks into a room; after 90 frames a user is started around them.
const char* const kWalkIntoRoom =
    "camera resolution=320x240 elevation=1000 tilt=0\n"
    "frames count=200 fps=30\n"
    "wall z=4500\nwall x=-3000\nwall x=3000\n"
    "person height=1750\n"
    "  at 0 pos=-2600,2300 yaw=0\n"
    "  at 1.2 pos=-2600,2300\n"
    "  at 3 pos=-300,2200\n";

// One analysed frame as the analyzer had it.
struct AnalysedFrame {
    int id;
    std::vector<XnLabel> labels;
    Vector3D<double> floor;
    Box3D<int> usersBox;
};

class SceneAnalyzerOutputOnCameraTest : public vela_test::AnalyzerCameraFixture {
protected:
    void TearDown() override { m_analyzer.reset(); }

    void StartWith(const SAConfiguration& configuration) {
        m_analyzer.reset(new SceneAnalyzer);
        ASSERT_TRUE(m_analyzer->Initialize(&m_session.Hub(), m_session.Node(), configuration, nullptr));
    }
    AnalysedFrame Analysed() {
        AnalysedFrame frame;
        frame.id = m_session.Hub().m_nFrameID;
        const xn::SceneMetaData& labels = m_analyzer->GetLabelMap(QQVGA);
        frame.labels.assign(labels.Data(), labels.Data() + labels.XRes() * labels.YRes());
        const SAPlane& floor = m_analyzer->GetPlanes().Floor();
        frame.floor = floor.m_hasSAPlane ? Vector3D<double>(floor.m_sol[0], floor.m_sol[1], floor.m_sol[2])
                                         : Vector3D<double>(0.0, 0.0, 0.0);
        frame.usersBox = m_analyzer->GetSegmentation().m_usersBox;
        return frame;
    }
    // The walk into the room analysed for frames, a user started around the
    // person at frame 91; each frame as the analyzer had it.
    void PlayWalkIn(const SAConfiguration& configuration, int frames, std::vector<AnalysedFrame>& played) {
        ASSERT_TRUE(m_session.OpenScene(kWalkIntoRoom, 320, 240)) << m_session.Error();
        StartWith(configuration);
        for (int frame = 1; frame <= frames; ++frame) {
            ASSERT_TRUE(m_session.Next());
            if (frame == 91) {
                // Everything in front of the back wall.
                m_analyzer->GetSegmentation().InjectUser(
                    Box3D<int>(Vector3D<int>(0, 0, 1000), Vector3D<int>(159, 119, 3500)));
            }
            m_analyzer->Update(nullptr, 1);
            played.push_back(Analysed());
        }
    }
    static std::vector<XnLabel> LabelsRead(const SAOutput& record) {
        return std::vector<XnLabel>(record.m_labels.Data(),
                                    record.m_labels.Data() + record.m_labels.XRes() * record.m_labels.YRes());
    }

    vela_test::TempDir m_dir;
    vela_test::ScopedCwd m_cwd{m_dir.Path()};
};

// With the output switch on, a live device's record goes to the working
// directory as "SENSOR.oni.<version name>.sa" and holds every frame played,
// each as the analyzer had it: the label map at the output resolution, the
// floor's coefficients once the floor is found and the box of the users.
TEST_F(SceneAnalyzerOutputOnCameraTest, TheRecordHoldsEveryFramePlayed) {
    SAConfiguration configuration;
    configuration.m_output = {1, -1, -1};
    configuration.m_verName = "t";
    std::vector<AnalysedFrame> played;
    PlayWalkIn(configuration, 100, played);
    m_analyzer.reset();

    SAOutput record(AlgoOutput::MODE_READ);
    ASSERT_TRUE(record.InitializeReading(m_dir.File("SENSOR.oni.t.sa")));
    ASSERT_TRUE(record.HeaderValid());
    EXPECT_EQ(160, record.Width());
    EXPECT_EQ(120, record.Height());
    int frames = 0;
    int withFloor = 0;
    int withUsers = 0;
    for (int id = played.front().id; id >= 0; id = record.GetNextFrame()) {
        SCOPED_TRACE(id);
        ASSERT_LT(frames, static_cast<int>(played.size()));
        const AnalysedFrame& expected = played[static_cast<size_t>(frames)];
        ASSERT_EQ(expected.id, id);
        ASSERT_TRUE(record.Read(id));
        ASSERT_EQ(expected.labels, LabelsRead(record));
        ASSERT_EQ(expected.floor, record.m_floor);
        ASSERT_EQ(expected.usersBox.min, record.m_usersBox.min);
        ASSERT_EQ(expected.usersBox.max, record.m_usersBox.max);
        withFloor += record.m_floor.z != 0.0 ? 1 : 0;
        withUsers += std::count_if(expected.labels.begin(), expected.labels.end(), [](XnLabel l) { return l != 0; }) > 0;
        ++frames;
    }
    EXPECT_EQ(100, frames);
    EXPECT_GT(withFloor, 50);
    EXPECT_GT(withUsers, 0);
}

// The dump holds, per frame from its first to its last, the frame id, the
// label map and the background at the analysis resolution, the floor with
// its plane ids once found, and the alive users.
TEST_F(SceneAnalyzerOutputOnCameraTest, TheBitExactDumpHoldsTheFramesAsked) {
    SAConfiguration configuration;
    configuration.m_bitExact = {1, 92, 93};
    std::vector<AnalysedFrame> played;
    PlayWalkIn(configuration, 95, played);
    EXPECT_EQ("SENSOR.oni.bitExact", m_analyzer->GetBitExactFileName());
    std::vector<AnalysedFrame> dumped;
    std::copy_if(played.begin(), played.end(), std::back_inserter(dumped),
                 [](const AnalysedFrame& f) { return f.id >= 92 && f.id <= 93; });
    ASSERT_EQ(2u, dumped.size());
    const bool userAlive = m_analyzer->IsUserAlive(1);
    m_analyzer.reset();

    std::ifstream in(m_dir.File("SENSOR.oni.bitExact"));
    ASSERT_TRUE(in.good());
    std::string line;
    for (const AnalysedFrame& frame : dumped) {
        SCOPED_TRACE(frame.id);
        // Up to the frame's first line.
        while (std::getline(in, line) && line != "Frame " + std::to_string(frame.id)) {
        }
        ASSERT_TRUE(in.good());
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ("Labels:", line);
        std::vector<XnLabel> labels;
        for (int row = 0; row < 120; ++row) {
            ASSERT_TRUE(std::getline(in, line));
            ASSERT_EQ(' ', line.back());
            std::istringstream values(line);
            unsigned value = 0;
            while (values >> value) {
                labels.push_back(static_cast<XnLabel>(value));
            }
        }
        EXPECT_EQ(frame.labels, labels);
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ("Bg:", line);
        for (int row = 0; row < 120; ++row) {
            ASSERT_TRUE(std::getline(in, line));
        }
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ(0u, line.find("SAPlane Normal:"));
        EXPECT_NE(std::string::npos, line.find(" SAPlane Height:"));
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ("SAPlane pixels:", line);
    }
    std::stringstream rest;
    rest << in.rdbuf();
    EXPECT_EQ(std::string::npos, rest.str().find("Frame 94"));
    EXPECT_EQ(std::string::npos, vela_test::ReadWholeFile(m_dir.File("SENSOR.oni.bitExact")).find("Frame 91"));
    EXPECT_NE(std::string::npos, rest.str().find("CC #1\npixelCount="));
    EXPECT_EQ(userAlive, rest.str().find("User 1:\nalive=1\n") != std::string::npos);
}

// A record that cannot be opened (a folder is in its place) is left
// unwritten: the analysis goes on and the dump is still written.
TEST_F(SceneAnalyzerOutputOnCameraTest, AnUnwritableRecordIsSkipped) {
    ASSERT_TRUE(std::filesystem::create_directory(m_dir.File("SENSOR.oni.t.sa")));
    ASSERT_TRUE(m_session.OpenUri("synthetic://default?resolution=320x240")) << m_session.Error();
    SAConfiguration configuration;
    configuration.m_output = {1, -1, -1};
    configuration.m_bitExact = {1, 1, 3};
    configuration.m_verName = "t";
    StartWith(configuration);
    Skip(3);
    m_analyzer.reset();
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("SENSOR.oni.t.sa")));
    EXPECT_NE(std::string::npos, vela_test::ReadWholeFile(m_dir.File("SENSOR.oni.bitExact")).find("Frame 3\n"));
}

#ifdef VELA_RECORD_ONI_EXE

// On a recording the record goes beside the recording, named after it, and
// the dump to the working directory, named after the recording's file.
TEST_F(SceneAnalyzerOutputOnCameraTest, OutputsAreNamedAfterTheRecording) {
    vela_test::TempDir recordings;
    const std::string recording = recordings.File("room.oni");
    const std::string command = std::string(VELA_RECORD_ONI_EXE) + " --frames 6 default " + recording + " >/dev/null";
    ASSERT_EQ(0, std::system(command.c_str()));
    ASSERT_TRUE(m_session.OpenUri(recording)) << m_session.Error();
    SAConfiguration configuration;
    configuration.m_output = {1, -1, -1};
    configuration.m_bitExact = {1, 1, 1000};
    configuration.m_verName = "v2";
    StartWith(configuration);
    EXPECT_EQ("room.oni.bitExact", m_analyzer->GetBitExactFileName());
    int played = 0;
    int firstId = -1;
    while (played < 4 && m_session.Next()) {
        m_analyzer->Update(nullptr, 1);
        firstId = played == 0 ? m_session.Hub().m_nFrameID : firstId;
        ++played;
    }
    m_analyzer.reset();
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("room.oni.bitExact")));
    EXPECT_FALSE(std::filesystem::exists(recordings.File("room.oni.bitExact")));

    // The player runs in real time and starts over: the ids need not rise,
    // and only the first frame is sure to be found.
    SAOutput record(AlgoOutput::MODE_READ);
    ASSERT_TRUE(record.InitializeReading(recordings.File("room.oni.v2.sa")));
    EXPECT_TRUE(record.HeaderValid());
    EXPECT_EQ(160, record.Width());
    EXPECT_TRUE(record.Read(firstId));
}

#endif  // VELA_RECORD_ONI_EXE

}  // namespace

#endif  // VELA_SCENE_ANALYZER_ON_CAMERA
