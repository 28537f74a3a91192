#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../SceneRenderer/CommandTestSupport.h"
#include "TempDir.h"

namespace {

using vela_test::Lines;
using vela_test::RunCommand;

std::string Measures(const std::string& summary) { return summary.substr(summary.find("\"frames\":")); }

// Frames written by the renderer and read back from the folder (depth with
// its label images beside it) measure exactly as rendered.
TEST(DepthStatsCommand, AFolderOfRenderedFramesMeasuresAsTheScene) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("person.scene"),
                              "camera resolution=320x240 elevation=1400\n"
                              "wall z=4000\n"
                              "person height=1750\n"
                              "  at 0 pos=0,1800\n");
    const std::string stats = VELA_DEPTH_STATS_EXE;
    ASSERT_EQ(0, RunCommand(std::string(VELA_RENDER_EXE) + " --count 3 --format png -o " + dir.File("frames") + " " +
                         dir.File("person.scene"),
                     dir));
    ASSERT_EQ(0, RunCommand(stats + " --count 3 --per-frame " + dir.File("person.scene"), dir))
        << vela_test::ReadWholeFile(dir.File("stderr.txt"));
    const std::vector<std::string> rendered = Lines(vela_test::ReadWholeFile(dir.File("stdout.txt")));
    ASSERT_EQ(4u, rendered.size());
    EXPECT_EQ(0u, rendered[0].find("{\"frame\":0,\"person_pixels\":"));
    EXPECT_NE(std::string::npos, rendered[3].find("\"torso_width_mm\":{\"min\":"));
    ASSERT_EQ(0, RunCommand(stats + " --images " + dir.File("frames"), dir)) << vela_test::ReadWholeFile(dir.File("stderr.txt"));
    const std::vector<std::string> read = Lines(vela_test::ReadWholeFile(dir.File("stdout.txt")));
    ASSERT_EQ(1u, read.size());
    EXPECT_EQ(Measures(rendered[3]), Measures(read[0]));
}

TEST(DepthStatsCommand, FailsClearly) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("notes.txt"), "no images");
    const std::string stats = VELA_DEPTH_STATS_EXE;
    const struct {
        std::string arguments;
        int status;
        std::string message;
    } cases[] = {
        {"--images " + dir.File("none"), 1, "cannot read the folder"},
        {"--images " + dir.Path(), 1, "no .pgm or .png files"},
        {dir.Path(), 1, "not a regular file"},
        {"--bogus default", 1, "unknown option --bogus"},
        {"--user 0 default", 1, "bad --user"},
        {"--user 2 default", 1, "the scene has no person 2"},
        {"--count 0 default", 1, "no frames to measure"},
        {"", 2, "usage"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.status, RunCommand(stats + " " + c.arguments, dir)) << c.arguments;
        EXPECT_NE(std::string::npos, vela_test::ReadWholeFile(dir.File("stderr.txt")).find(c.message)) << c.arguments;
    }
}

}  // namespace
