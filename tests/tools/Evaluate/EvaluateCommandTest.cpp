// vela-evaluate end to end on short scenes of the synthetic camera and on a
// recording of one: one well-formed JSON line per scene with every field,
// whatever the trackers detect today; bad use and unreadable scenes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "JsonValue.h"
#include "TempDir.h"

#if defined(VELA_EVALUATE_EXE) && defined(VELA_RECORD_ONI_EXE)

namespace {

using vela_test::JsonValue;

// A person at 1.8 m before a wall, the right hand waving in front of the
// body; 12 frames. The scene starts the right hand after frame 3.
const char kWaveScene[] =
    "frames count=12\nwall z=3200\nperson height=1750\n  at 0 pos=0,1800\n"
    "  wave 0..2 hand=right period=0.8\n  track 0.1 hand=right\n";

class EvaluateCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(VELA_DATA_DIR "/Vela2", m_dir.File("Vela2"), std::filesystem::copy_options::recursive);
        // The library's console log on: it must not reach the JSON lines.
        vela_test::WriteWholeFile(m_dir.File("Vela.ini"),
                                  "[General]\nDataDir=./Vela2\n[Log]\nVerbosity=0\nLogToConsole=1\nLogToFile=0\n");
        vela_test::WriteWholeFile(m_dir.File("wave.scene"), kWaveScene);
    }

    int Run(const std::string& arguments) {
        const std::string command = "cd '" + m_dir.Path() + "' && " + VELA_EVALUATE_EXE + " " + arguments + " >'" +
                                    m_dir.File("out") + "' 2>'" + m_dir.File("err") + "'";
        const int status = std::system(command.c_str());
        m_out = vela_test::ReadWholeFile(m_dir.File("out"));
        m_err = vela_test::ReadWholeFile(m_dir.File("err"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<JsonValue> Lines() const { return vela_test::ParseJsonLines(m_out); }

    static void ExpectStats(const JsonValue& stats) {
        ASSERT_EQ(JsonValue::OBJECT, stats.type);
        for (const char* key : {"count", "mean", "median", "p95", "max"}) EXPECT_TRUE(stats.Has(key)) << key;
    }

    // The person is in view from the scene's first frame on.
    static void ExpectUserFields(const JsonValue& line) {
        EXPECT_EQ("users", line["mode"].text);
        EXPECT_EQ(JsonValue::ARRAY, line["false_users"].type);
        EXPECT_EQ(JsonValue::NUMBER, line["false_user_frames"].type);
        EXPECT_TRUE(line.Has("iou_mean"));
        ASSERT_EQ(1u, line["people"].items.size());
        const JsonValue& person = line["people"][0];
        EXPECT_EQ(1, person["id"].number);
        EXPECT_EQ(line["frames"].number, person["visible_frames"].number);
        EXPECT_GE(person["entry_frame"].number, 0);
        for (const char* key : {"first_report_frame", "frames_to_report", "iou_mean", "iou_mean_reported",
                                "identity_switches"}) {
            EXPECT_TRUE(person.Has(key)) << key;
        }
        EXPECT_EQ(JsonValue::ARRAY, person["ids"].type);
        ExpectStats(person["com_error_mm"]);
    }

    vela_test::TempDir m_dir;
    std::string m_out, m_err;
};

TEST_F(EvaluateCommandTest, UserModeOnTheCameraAndOnARecordingOfTheScene) {
    ASSERT_EQ(0, Run("--frames 6 wave.scene")) << m_err;
    std::vector<JsonValue> lines = Lines();
    ASSERT_EQ(1u, lines.size()) << m_out;
    EXPECT_EQ("wave.scene", lines[0]["scene"].text);
    EXPECT_EQ("camera", lines[0]["source"].text);
    EXPECT_NE(std::string::npos, m_err.find("New log started")) << m_err;
    EXPECT_EQ(6, lines[0]["frames"].number);
    EXPECT_EQ(0, lines[0]["people"][0]["entry_frame"].number);
    ExpectUserFields(lines[0]);

    const std::string record = std::string(VELA_RECORD_ONI_EXE) + " --frames 8 '" + m_dir.File("wave.scene") +
                               "' '" + m_dir.File("wave.oni") + "' >/dev/null 2>&1";
    ASSERT_EQ(0, std::system(record.c_str()));
    // Asked for more frames than it holds: it stops at the recording's
    // last (real-time playback may skip a few before the tracker's first
    // read, which the truth follows by frame index).
    ASSERT_EQ(0, Run("--recording wave.oni --frames 20 wave.scene")) << m_err;
    lines = Lines();
    ASSERT_EQ(1u, lines.size()) << m_out;
    EXPECT_EQ("wave.oni", lines[0]["source"].text);
    EXPECT_EQ(8, lines[0]["frames"].number + lines[0]["people"][0]["entry_frame"].number);
    ExpectUserFields(lines[0]);
}

TEST_F(EvaluateCommandTest, HandModeStartsTheNamedHandsAndListsHandsAndGestures) {
    // The left hand hangs beside the body: named on the command line.
    ASSERT_EQ(0, Run("--hands --frames 10 --start-hand 5:1:left --start-at-gestures wave.scene")) << m_err;
    const std::vector<JsonValue> lines = Lines();
    ASSERT_EQ(1u, lines.size()) << m_out;
    const JsonValue& line = lines[0];
    EXPECT_EQ("hands", line["mode"].text);
    EXPECT_EQ(10, line["frames"].number);
    EXPECT_EQ(JsonValue::NUMBER, line["far_reports"].type);
    for (const char* type : {"wave", "click", "hand_raise"}) {
        EXPECT_EQ(JsonValue::NUMBER, line["false_gestures"][type].type) << type;
    }
    // The scripted wave is one expected gesture.
    ASSERT_EQ(1u, line["gestures"].items.size());
    const JsonValue& wave = line["gestures"][0];
    EXPECT_EQ("wave", wave["type"].text);
    EXPECT_EQ("right", wave["hand"].text);
    EXPECT_EQ(2, wave["end"].number);
    for (const char* key : {"detected", "count", "frames_from_end", "distance_mm"}) EXPECT_TRUE(wave.Has(key)) << key;
    // Hands are listed by person and side once followed: from the frame
    // after their start, unless a tracker reported them earlier.
    ASSERT_EQ(2u, line["hands"].items.size()) << m_out;
    const struct {
        const char* side;
        int from;
    } expected[] = {{"left", 6}, {"right", 4}};
    for (size_t i = 0; i < 2; ++i) {
        const JsonValue& hand = line["hands"][i];
        EXPECT_EQ(1, hand["person"].number);
        EXPECT_EQ(expected[i].side, hand["hand"].text);
        EXPECT_GE(expected[i].from, hand["followed_from_frame"].number);
        EXPECT_LE(hand["visible_frames"].number, 10 - hand["followed_from_frame"].number);
        EXPECT_LE(hand["tracked_frames"].number, hand["visible_frames"].number);
        ExpectStats(hand["error_centroid_mm"]);
        ExpectStats(hand["error_joint_mm"]);
        EXPECT_EQ(JsonValue::ARRAY, hand["losses"].type);
        EXPECT_EQ(JsonValue::ARRAY, hand["ids"].type);
        for (const char* key : {"both", "reported_only", "truth_only"}) {
            EXPECT_EQ(JsonValue::NUMBER, hand["touching"][key].type) << key;
        }
    }
}

TEST_F(EvaluateCommandTest, BadUseAndScenesThatCannotBeRead) {
    EXPECT_EQ(2, Run(""));
    EXPECT_NE(std::string::npos, m_err.find("usage: vela-evaluate")) << m_err;
    EXPECT_EQ(2, Run("--start-hand 3:1:middle --hands wave.scene"));
    EXPECT_EQ(2, Run("--start-hand 3:1:right wave.scene")) << "hands need the hand mode";
    EXPECT_EQ(2, Run("--resolution 160x120 wave.scene"));
    EXPECT_EQ(2, Run("--recording a.oni wave.scene wave.scene"));
    // A missing scene fails with status 1 and its reason; the next scene
    // is still evaluated.
    EXPECT_EQ(1, Run("--frames 2 missing.scene wave.scene"));
    EXPECT_NE(std::string::npos, m_err.find("missing.scene")) << m_err;
    EXPECT_EQ(1u, Lines().size()) << m_out;
    EXPECT_EQ(1, Run("--frames 2 --recording missing.oni wave.scene"));
    EXPECT_NE(std::string::npos, m_err.find("missing.oni")) << m_err;
}

}  // namespace

#endif
