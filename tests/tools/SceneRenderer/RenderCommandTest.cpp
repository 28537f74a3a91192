#include <gtest/gtest.h>

#include "CommandTestSupport.h"
#include "SceneRenderer/ImageWriter.h"
#include "TempDir.h"

namespace {

using vela_test::Lines;

// `shellPrefix` runs before the command in the same shell, e.g. to limit
// the size of the files it may write.
int RunRender(const std::string& arguments, const vela_test::TempDir& dir, const std::string& shellPrefix = "") {
    return vela_test::RunCommand(shellPrefix + std::string(VELA_RENDER_EXE) + " " + arguments, dir);
}

TEST(RenderCommand, WritesImagesAndOneTruthLinePerFrame) {
    vela_test::TempDir dir;
    const std::string scene = std::string(VELA_SCENE_EXAMPLES) + "/standing.scene";
    ASSERT_EQ(0, RunRender("--resolution 160x120 --first 3 --count 2 --preview -o " + dir.File("out/frames") + " " + scene, dir));
    const std::vector<std::string> lines = Lines(vela_test::ReadWholeFile(dir.File("stdout.txt")));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(0u, lines[0].find("{\"frame\":3,"));
    EXPECT_EQ(0u, lines[1].find("{\"frame\":4,"));
    EXPECT_NE(std::string::npos, lines[0].find("\"right_hand\":{\"position\":["));
    int w = 0, h = 0;
    std::vector<uint16_t> depth, users;
    std::string error;
    ASSERT_TRUE(vela::scene::ReadPgm(dir.File("out/frames/depth_00004.pgm"), w, h, depth, error)) << error;
    EXPECT_EQ(160, w);
    EXPECT_EQ(120, h);
    ASSERT_TRUE(vela::scene::ReadPgm(dir.File("out/frames/users_00004.pgm"), w, h, users, error)) << error;
    int labelled = 0;
    for (size_t i = 0; i < users.size(); ++i) {
        labelled += users[i] != 0;
        if (users[i]) {
            EXPECT_NE(0, depth[i]);
        }
    }
    EXPECT_GT(labelled, 500);
    for (const char* name : {"parts_00003.pgm", "depthview_00003.png", "usersview_00004.png", "partsview_00004.png"}) {
        EXPECT_FALSE(vela_test::ReadWholeFile(dir.File(std::string("out/frames/") + name)).empty()) << name;
    }
    // Same output again: rendering is deterministic.
    ASSERT_EQ(0, RunRender("--resolution 160x120 --first 4 --count 1 --truth " + dir.File("t.jsonl") + " " + scene, dir));
    EXPECT_EQ(lines[1] + "\n", vela_test::ReadWholeFile(dir.File("t.jsonl")));
}

TEST(RenderCommand, FailsClearlyOnBadInput) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("bad.scene"), "person\npose 0 dance\n");
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {dir.File("missing.scene"), 1, "missing.scene: cannot open"},
        {dir.Path(), 1, "scene file " + dir.Path() + ": not a regular file"},
        {dir.File("bad.scene"), 1, "line 2: unknown pose 'dance'"},
        {"--resolution 12 default", 1, "bad --resolution"},
        {"--mirror sideways default", 1, "--mirror takes on or off"},
        {"--bogus default", 1, "unknown option --bogus"},
        {"", 2, "usage"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.status, RunRender(c.arguments, dir)) << c.arguments;
        EXPECT_NE(std::string::npos, vela_test::ReadWholeFile(dir.File("stderr.txt")).find(c.message)) << c.arguments;
    }
    EXPECT_EQ(0, RunRender("--help", dir));
}

// A full disk, simulated by a limit on the size of written files (with the
// signal for it ignored, a write past the limit fails as on a full disk).
TEST(RenderCommand, FailedWritesGiveAnErrorAndAnExitStatus) {
    vela_test::TempDir dir;
    const std::string limit = "trap '' XFSZ; ulimit -f 1; ";  // 512 bytes: the message fits, a frame does not
    EXPECT_EQ(1, RunRender("--resolution 32x24 --count 3 default", dir, limit));
    EXPECT_NE(std::string::npos,
              vela_test::ReadWholeFile(dir.File("stderr.txt")).find("cannot write the ground truth to standard output"));
    EXPECT_EQ(1, RunRender("--resolution 32x24 --count 3 --truth " + dir.File("t.jsonl") + " default", dir, limit));
    EXPECT_NE(std::string::npos,
              vela_test::ReadWholeFile(dir.File("stderr.txt")).find("cannot write the ground truth to " + dir.File("t.jsonl")));
    EXPECT_EQ(1, RunRender("--resolution 160x120 --count 1 --truth " + dir.File("t.jsonl") + " -o " + dir.File("out") +
                           " default", dir, limit));
    EXPECT_NE(std::string::npos,
              vela_test::ReadWholeFile(dir.File("stderr.txt")).find("cannot write " + dir.File("out/depth_00000.pgm")));
}

}  // namespace
