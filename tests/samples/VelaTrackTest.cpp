// The sample program end to end on the synthetic camera's default scene:
// standard output holds only JSON lines, one a frame, whatever else the
// library prints; the picture option writes a PNG of the frame.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "JsonValue.h"
#include "TempDir.h"

#ifdef VELA_TRACK_EXE

namespace {

using vela_test::JsonValue;

class VelaTrackTest : public ::testing::Test {
protected:
    // A working directory like data/: "Vela.ini" with the library's console
    // log on, and the data directory.
    void SetUp() override {
        std::filesystem::copy(VELA_DATA_DIR "/Vela2", m_dir.File("Vela2"), std::filesystem::copy_options::recursive);
        vela_test::WriteWholeFile(m_dir.File("Vela.ini"),
                                  "[General]\nDataDir=./Vela2\n[Log]\nVerbosity=0\nLogToConsole=1\nLogToFile=0\n");
    }

    // vela-track's exit status with arguments; its standard output and error
    // in m_out and m_err.
    int Run(const std::string& arguments) {
        const std::string command = "cd '" + m_dir.Path() + "' && " + VELA_TRACK_EXE + " " + arguments +
                                    " >'" + m_dir.File("out") + "' 2>'" + m_dir.File("err") + "'";
        const int status = std::system(command.c_str());
        m_out = vela_test::ReadWholeFile(m_dir.File("out"));
        m_err = vela_test::ReadWholeFile(m_dir.File("err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Each line of text as JSON.
    static std::vector<JsonValue> Lines(const std::string& text) { return vela_test::ParseJsonLines(text); }

    vela_test::TempDir m_dir;
    std::string m_out;
    std::string m_err;
};

TEST_F(VelaTrackTest, TheUserTrackerWritesOneJsonLinePerFrame) {
    ASSERT_EQ(0, Run("--frames 4 --picture frame.png")) << m_err;
    const std::vector<JsonValue> lines = Lines(m_out);
    ASSERT_EQ(4u, lines.size()) << m_out;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(static_cast<double>(i + 1), lines[i]["frame"].number);
        EXPECT_EQ(33333.0 * static_cast<double>(i), lines[i]["timestamp"].number);
        EXPECT_EQ(JsonValue::ARRAY, lines[i]["users"].type);
        EXPECT_EQ(0, lines[i]["floor"]["confidence"].number);
    }
    // The library's console log went to standard error.
    EXPECT_NE(std::string::npos, m_err.find("New log started")) << m_err;
    EXPECT_NE(std::string::npos, m_err.find("vela-track: 4 frames, 0 users")) << m_err;
    const std::string png = vela_test::ReadWholeFile(m_dir.File("frame.png"));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(0, png.compare(0, 8, "\x89PNG\r\n\x1a\n"));
    EXPECT_EQ(0, png.compare(12, 4, "IHDR"));
    EXPECT_EQ(std::string("\0\0\x01\x40\0\0\0\xf0", 8), png.substr(16, 8)) << "320 x 240";
}

TEST_F(VelaTrackTest, TheHandTrackerOnARecordingToAFile) {
    // A second of frames: OpenNI2's player sets the stream's properties
    // again when a recording starts over, and a read of them meanwhile can
    // fail, so the recording must outlast the tracker's start.
    const std::string record = std::string(VELA_RECORD_ONI_EXE) + " --frames 30 default '" + m_dir.File("d.oni") +
                               "' >/dev/null";
    ASSERT_EQ(0, std::system(record.c_str()));
    ASSERT_EQ(0, Run("--hands --frames 2 --device d.oni --output hands.json")) << m_err;
    const std::vector<JsonValue> lines = Lines(vela_test::ReadWholeFile(m_dir.File("hands.json")));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(JsonValue::ARRAY, lines[0]["hands"].type);
    EXPECT_EQ(JsonValue::ARRAY, lines[1]["gestures"].type);
}

TEST_F(VelaTrackTest, BadUseAndAMissingDevice) {
    EXPECT_EQ(2, Run("--frames 0"));
    EXPECT_NE(std::string::npos, m_err.find("usage: vela-track"));
    EXPECT_EQ(2, Run("--picture-frame 3"));
    EXPECT_EQ(1, Run("--device synthetic://nothing"));
    EXPECT_NE(std::string::npos, m_err.find("vela-track: cannot open synthetic://nothing")) << m_err;
    EXPECT_TRUE(m_out.empty());
}

}  // namespace

#endif  // VELA_TRACK_EXE
