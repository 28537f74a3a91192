#include "NACommon/AlgoOutput.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "RecordFileTestRecorder.h"
#include "ByteBuilder.h"
#include "TempDir.h"

namespace {

using vela_test::Append;
using vela_test::AppendString;

using record_file_test::Frames;
using record_file_test::TestRecorder;
using vela_test::ReadWholeFile;
using vela_test::TempDir;
using vela_test::WriteWholeFile;

// Frames 3, 4 and 6.
class RecordFileReadTest : public testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.File("clip.oni.x.sk");
        TestRecorder writer(AlgoOutput::MODE_WRITE);
        ASSERT_TRUE(writer.WriteFile(m_path, {{3, {30}}, {4, {40, 41}}, {6, {}}}));
        ASSERT_TRUE(m_reader.InitializeReading(m_path));
    }

    TempDir m_dir;
    std::string m_path;
    TestRecorder m_reader{AlgoOutput::MODE_READ};
};

TEST_F(RecordFileReadTest, HeaderIsReadAndChecked) {
    EXPECT_EQ(m_reader.m_nInitializeDataCalls, 1);
    EXPECT_EQ(m_reader.m_nWidth, 640);
    EXPECT_EQ(m_reader.SourcePath(), "rec/clip.oni");
    EXPECT_EQ(m_reader.RecordingBaseName(), "clip.oni");
    EXPECT_EQ(m_reader.LegacyMarker(), 0);
    EXPECT_EQ(m_reader.CurrentFrameId(), 3);
}

TEST_F(RecordFileReadTest, SeekingAcrossFrames) {
    EXPECT_FALSE(m_reader.Seek(5));
    EXPECT_EQ(m_reader.CurrentFrameId(), 6);
    EXPECT_TRUE(m_reader.Seek(3));
    EXPECT_FALSE(m_reader.Seek(2));  // below the first frame
    EXPECT_TRUE(m_reader.Seek(6));

    // A search past the last frame leaves the stream failed; later searches
    // must still work, forward and backward.
    EXPECT_FALSE(m_reader.Seek(7));
    EXPECT_EQ(m_reader.CurrentFrameId(), 6);
    EXPECT_TRUE(m_reader.Seek(6));
    EXPECT_FALSE(m_reader.Seek(100));
    ASSERT_TRUE(m_reader.Read(4));
    EXPECT_EQ(m_reader.m_values, (std::vector<int32_t>{40, 41}));
    ASSERT_TRUE(m_reader.Read(3));
    EXPECT_EQ(m_reader.m_values, (std::vector<int32_t>{30}));
}

TEST_F(RecordFileReadTest, ReadingFrames) {
    ASSERT_TRUE(m_reader.Read(6));
    EXPECT_TRUE(m_reader.m_values.empty());
    m_reader.m_values = {1};
    EXPECT_FALSE(m_reader.Read(5));
    EXPECT_TRUE(m_reader.m_values.empty());
    EXPECT_EQ(m_reader.m_nClearCalls, 1);
}

TEST_F(RecordFileReadTest, NextFrame) {
    ASSERT_TRUE(m_reader.Seek(3));
    EXPECT_EQ(m_reader.GetNextFrame(), 4);
    EXPECT_EQ(m_reader.GetNextFrame(), 4);  // the current frame stays
    ASSERT_TRUE(m_reader.Seek(4));
    EXPECT_EQ(m_reader.GetNextFrame(), 6);
    ASSERT_TRUE(m_reader.Seek(6));
    EXPECT_EQ(m_reader.GetNextFrame(), -1);
    ASSERT_TRUE(m_reader.Read(6));
    ASSERT_TRUE(m_reader.Read(4));
}

TEST_F(RecordFileReadTest, ComparingStateToAMissingFrame) {
    std::string message;
    EXPECT_FALSE(m_reader.CompareStateToFile(9, &message));
    EXPECT_EQ(message, "Unable to get to frame 9");
    EXPECT_EQ(m_reader.m_nClearCalls, 1);
    EXPECT_FALSE(m_reader.CompareStateToFile(5, nullptr));
}

TEST_F(RecordFileReadTest, CorruptFramesStopTheSearch) {
    std::string bytes = ReadWholeFile(m_path);
    const size_t firstFrame = static_cast<size_t>(m_reader.FirstFramePosition());

    // Frame 4's payload length turned negative: searches beyond it fail
    // instead of stepping backwards for ever.
    std::string negative = bytes;
    const int32_t minusTwelve = -12;
    negative.replace(firstFrame + 8 + 8 + 4, 4, reinterpret_cast<const char*>(&minusTwelve), 4);
    WriteWholeFile(m_path, negative);
    TestRecorder reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(m_path));
    EXPECT_FALSE(reader.Seek(6));
    EXPECT_TRUE(reader.Seek(4));
    EXPECT_FALSE(reader.Read(4));
    ASSERT_TRUE(reader.Read(3));
    EXPECT_EQ(reader.m_values, (std::vector<int32_t>{30}));

    // A file cut inside frame 4.
    for (size_t cut : {firstFrame + 18, firstFrame + 22, firstFrame + 30}) {
        SCOPED_TRACE(cut);
        WriteWholeFile(m_path, bytes.substr(0, cut));
        TestRecorder truncated(AlgoOutput::MODE_READ);
        ASSERT_TRUE(truncated.InitializeReading(m_path));
        EXPECT_FALSE(truncated.Seek(6));
        EXPECT_FALSE(truncated.Read(4));
        EXPECT_TRUE(truncated.Read(3));
    }
}

TEST_F(RecordFileReadTest, FileWithoutFrames) {
    TestRecorder writer(AlgoOutput::MODE_WRITE);
    ASSERT_TRUE(writer.WriteFile(m_path, {}));
    TestRecorder reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(m_path));
    EXPECT_EQ(reader.m_nWidth, 640);
    EXPECT_FALSE(reader.Seek(1));
    EXPECT_EQ(reader.GetNextFrame(), -1);
    EXPECT_FALSE(reader.Read(0));
}

TEST(RecordFileCompareTest, ComparesFrameByFrame) {
    TempDir dir;
    const Frames frames = {{1, {1}}, {2, {2, 2}}, {3, {3, 3, 3}}};
    struct Case {
        const char* name;
        Frames other;
        bool equal;
        int stoppedAt;
    };
    const Case cases[] = {
        {"same frames", frames, true, 4},
        {"frame 3 missing", {{1, {1}}, {2, {2, 2}}}, false, 3},
        {"frame 2 differs", {{1, {1}}, {2, {2, 7}}, {3, {3, 3, 3}}}, false, 2},
        {"frame 2 longer", {{1, {1}}, {2, {2, 2, 2}}, {3, {3, 3, 3}}}, false, 2},
        {"extra frame 4", {{1, {1}}, {2, {2, 2}}, {3, {3, 3, 3}}, {4, {}}}, false, 4},
    };
    TestRecorder writer(AlgoOutput::MODE_WRITE);
    ASSERT_TRUE(writer.WriteFile(dir.File("a.sk"), frames));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestRecorder otherWriter(AlgoOutput::MODE_WRITE);
        ASSERT_TRUE(otherWriter.WriteFile(dir.File("b.sk"), c.other));
        TestRecorder a(AlgoOutput::MODE_READ);
        TestRecorder b(AlgoOutput::MODE_READ);
        ASSERT_TRUE(a.InitializeReading(dir.File("a.sk")));
        ASSERT_TRUE(b.InitializeReading(dir.File("b.sk")));
        int frameId = -1;
        EXPECT_EQ(a.Compare(b, frameId), c.equal);
        EXPECT_EQ(frameId, c.stoppedAt);
    }
}

TEST(RecordFileLegacyTest, OlderLayoutOpensWithFirstFrameAtTwelve) {
    TempDir dir;
    std::string bytes;
    Append(bytes, int32_t(120910));
    Append(bytes, int32_t(320));  // 8-byte header payload
    Append(bytes, int32_t(240));
    Append(bytes, int32_t(1));  // frame 1
    Append(bytes, int32_t(8));
    Append(bytes, int32_t(1));
    Append(bytes, int32_t(99));
    const std::string path = dir.File("old.sk");
    WriteWholeFile(path, bytes);

    TestRecorder reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(path));
    EXPECT_EQ(reader.LegacyMarker(), 120910);
    EXPECT_EQ(reader.FirstFramePosition(), 12);
    EXPECT_EQ(reader.m_nWidth, 320);
    ASSERT_TRUE(reader.Read(1));
    EXPECT_EQ(reader.m_values, (std::vector<int32_t>{99}));
}

TEST(RecordFileDeathTest, UnreadableHeadersEndTheProcess) {
    static TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    };
    std::vector<Case> cases;
    cases.push_back({"not a record file", "hello, this is text", "not a record file"});
    {
        std::string bytes;
        Append(bytes, int32_t(120911));
        cases.push_back({"wrong legacy marker", bytes, "not a record file"});
    }
    {
        std::string bytes;
        AppendString(bytes, "070211");
        AppendString(bytes, "999999");
        AppendString(bytes, "src");
        Append(bytes, int32_t(0));
        cases.push_back({"other data version", bytes, "data version"});
    }
    {
        std::string bytes;
        AppendString(bytes, "070211");
        AppendString(bytes, "010203");
        Append(bytes, int32_t(0x7FFFFFF0));  // source path far longer than the file
        bytes += "src";
        cases.push_back({"huge source path length", bytes, "corrupt header"});
    }
    {
        std::string bytes;
        AppendString(bytes, "070211");
        AppendString(bytes, "010203");
        AppendString(bytes, "src");
        Append(bytes, int32_t(-4));
        cases.push_back({"negative header length", bytes, "corrupt header"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("bad.sk");
        WriteWholeFile(path, c.bytes);
        EXPECT_EXIT(
            {
                TestRecorder reader(AlgoOutput::MODE_READ);
                reader.InitializeReading(path);
            },
            testing::ExitedWithCode(1), c.message);
    }
}

// The child process of a death test ends inside the statement; a static
// directory is still removed when it exits.
TEST(RecordFileDeathTest, PayloadOfAnotherLengthEndsTheProcess) {
    static TempDir dir;
    const std::string path = dir.File("clip.oni.x.sk");
    TestRecorder writer(AlgoOutput::MODE_WRITE);
    ASSERT_TRUE(writer.WriteFile(path, {{4, {40, 41}}, {6, {}}}));
    TestRecorder reader(AlgoOutput::MODE_READ);
    ASSERT_TRUE(reader.InitializeReading(path));
    reader.m_bReadCountOnly = true;
    EXPECT_TRUE(reader.Read(6));  // an empty list: everything consumed
    EXPECT_EXIT(reader.Read(4), testing::ExitedWithCode(1), "FATAL ERROR: AlgoOutput::Read: frame 4");
    EXPECT_EXIT(reader.CompareStateToFile(4, nullptr), testing::ExitedWithCode(1),
                "NOT IMPLEMENTED: function 'CompareData' file 'NACommon/AlgoOutput' line [0-9]+");
}

}  // namespace
