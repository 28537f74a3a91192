#include "NACommon/AlgoOutput.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/Utilities/FileUtilities.h"
#include "RecordFileTestRecorder.h"
#include "ByteBuilder.h"
#include "TempDir.h"

namespace {

using vela_test::Append;
using vela_test::AppendString;

using record_file_test::TestRecorder;
using vela_test::ReadWholeFile;
using vela_test::TempDir;

int32_t IntAt(const std::string& bytes, size_t offset) {
    int32_t value = 0;
    bytes.copy(reinterpret_cast<char*>(&value), sizeof(value), offset);
    return value;
}

TEST(RecordFileTest, HeaderAndEmptyFrameBytes) {
    TempDir dir;
    TestRecorder recorder(AlgoOutput::MODE_WRITE);
    ASSERT_TRUE(recorder.InitializeWriting(dir.Path() + "/", "rec/clip.oni", "x"));
    EXPECT_EQ(recorder.FilePath(), dir.Path() + "/clip.oni.x.sk");
    EXPECT_EQ(recorder.RecordingBaseName(), "clip.oni");
    recorder.FinalizeHeader();
    recorder.StartFrame(7);
    recorder.FinalizeFrame();
    recorder.CloseFile();

    std::string expected;
    AppendString(expected, "070211");
    AppendString(expected, "010203");
    AppendString(expected, "rec/clip.oni");
    Append(expected, int32_t(0));  // header payload length
    Append(expected, int32_t(7));  // frame id
    Append(expected, int32_t(0));  // empty frame payload
    EXPECT_EQ(ReadWholeFile(recorder.FilePath()), expected);
}

TEST(RecordFileTest, NestedBlocksCarryTheirPayloadLengths) {
    TempDir dir;
    TestRecorder recorder(AlgoOutput::MODE_WRITE);
    ASSERT_TRUE(recorder.InitializeWriting(dir.Path() + "/", "clip.oni", "x"));
    recorder.WriteInt(320);
    recorder.WriteInt(240);
    recorder.FinalizeHeader();

    // Frame 1: one block of 12 payload bytes.
    recorder.StartFrame(1);
    recorder.StartBlock();
    recorder.WriteValues({5, 6});
    recorder.FinalizeBlock();
    recorder.FinalizeFrame();

    // Frame 2: a block holding a value and a nested block of 4 bytes.
    recorder.StartFrame(2);
    recorder.StartBlock();
    recorder.WriteInt(9);
    recorder.StartBlock();
    recorder.WriteInt(10);
    recorder.FinalizeBlock();
    recorder.FinalizeBlock();
    recorder.FinalizeFrame();
    recorder.CloseFile();

    const std::string bytes = ReadWholeFile(recorder.FilePath());
    const size_t header = 4 + 6 + 4 + 6 + 4 + 8;
    EXPECT_EQ(IntAt(bytes, header), 8);  // header payload length
    size_t at = header + 4 + 8;
    EXPECT_EQ(IntAt(bytes, at), 1);
    EXPECT_EQ(IntAt(bytes, at + 4), 16);  // 4 for the inner length, 12 for its payload
    EXPECT_EQ(IntAt(bytes, at + 8), 12);
    at += 8 + 16;
    EXPECT_EQ(IntAt(bytes, at), 2);
    EXPECT_EQ(IntAt(bytes, at + 4), 16);  // outer block: 4 + (4 + 4 + 4)
    EXPECT_EQ(IntAt(bytes, at + 8), 12);
    EXPECT_EQ(IntAt(bytes, at + 12), 9);
    EXPECT_EQ(IntAt(bytes, at + 16), 4);
    EXPECT_EQ(IntAt(bytes, at + 20), 10);
    EXPECT_EQ(bytes.size(), at + 24);
}

TEST(RecordFileTest, FileNames) {
    TestRecorder recorder(AlgoOutput::MODE_WRITE);
    struct Case {
        std::string source;
        bool inSubfolder;
        std::string expected;
    };
    const Case cases[] = {
        {"rec/clip.oni", false, "rec/clip.oni.x.sk"},
        {"clip.oni", false, "clip.oni.x.sk"},
        {"rec/clip.oni", true, "rec/x.sk\\clip.oni.x.sk"},
        {"rec\\clip.oni", false, "rec\\clip.oni.x.sk"},
        {"", true, "x.sk\\.x.sk"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(recorder.CreateFileName(c.source, "x", c.inSubfolder), c.expected) << c.source;
    }
    EXPECT_EQ(recorder.CreateFileName("out/", "clip.oni", "x"), "out/clip.oni.x.sk");
    EXPECT_EQ(recorder.CreateFileName(std::string("out/"), std::string("clip.oni"), std::string("x")),
              "out/clip.oni.x.sk");
}

TEST(RecordFileTest, InitializeFromTheHubsRecording) {
    TempDir dir;
    NACommonData hub;
    hub.m_bIsRecording = true;
    hub.m_strRecordingPath = dir.Path() + "/clip.oni";

    {
        TestRecorder writer(AlgoOutput::MODE_WRITE);
        ASSERT_TRUE(writer.Initialize(&hub, "x"));
        // The subfolder is joined with a backslash, so the folder made is
        // "x.sk\" and the file lands beside it under that prefix.
        EXPECT_EQ(writer.FilePath(), dir.Path() + "/x.sk\\clip.oni.x.sk");
        EXPECT_TRUE(IsDirectory(dir.Path() + "/x.sk\\"));
        writer.WriteFrame(1, {11, 12});  // the header is already finalised
    }
    EXPECT_TRUE(IsRegularFile(dir.Path() + "/x.sk\\clip.oni.x.sk"));

    TestRecorder reader(AlgoOutput::MODE_READ);
    EXPECT_TRUE(reader.Initialize(&hub, "x"));
    EXPECT_EQ(reader.SourcePath(), hub.m_strRecordingPath);
    EXPECT_EQ(reader.m_nInitializeDataCalls, 1);
    ASSERT_TRUE(reader.Read(1));
    EXPECT_EQ(reader.m_values, (std::vector<int32_t>{11, 12}));
}

TEST(RecordFileTest, UnopenableFilesAreReported) {
    TempDir dir;
    // A directory where the file should go cannot be opened as a file.
    ASSERT_TRUE(CreateDirectoryIfNecessary(dir.Path() + "/clip.oni.x.sk", false));
    TestRecorder writer(AlgoOutput::MODE_WRITE);
    EXPECT_FALSE(writer.InitializeWriting(dir.Path() + "/", "clip.oni", "x"));

    TestRecorder reader(AlgoOutput::MODE_READ);
    EXPECT_FALSE(reader.InitializeReading(dir.File("missing.sk")));
    EXPECT_EQ(reader.m_nInitializeDataCalls, 0);
}

// The writing sequence is checked; a broken one ends the process with
// status 1. No file is opened: the checks come before any write.
TEST(RecordFileDeathTest, MisuseOfTheWritingSequenceEndsTheProcess) {
    struct Case {
        const char* name;
        std::function<void(TestRecorder&)> misuse;
    };
    const Case cases[] = {
        {"frame before the header is finalised",
         [](TestRecorder& r) {
             r.WriteHeader();
             r.StartFrame(1);
         }},
        {"second frame without finalising the first",
         [](TestRecorder& r) {
             r.WriteHeader();
             r.FinalizeHeader();
             r.StartFrame(1);
             r.StartFrame(2);
         }},
        {"block finalised with none open", [](TestRecorder& r) { r.FinalizeBlock(); }},
        {"frame finalised with none open",
         [](TestRecorder& r) {
             r.WriteHeader();
             r.FinalizeHeader();
             r.FinalizeFrame();
         }},
        {"header finalised twice",
         [](TestRecorder& r) {
             r.WriteHeader();
             r.FinalizeHeader();
             r.FinalizeHeader();
         }},
        {"header written twice",
         [](TestRecorder& r) {
             r.WriteHeader();
             r.WriteHeader();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                TestRecorder recorder(AlgoOutput::MODE_WRITE);
                c.misuse(recorder);
            },
            testing::ExitedWithCode(1), "FATAL ERROR: AlgoOutput::");
    }
}

}  // namespace
