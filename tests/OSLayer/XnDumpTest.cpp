#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "OSLayer/XnDump.h"
#include "OSLayer/XnDumpWriters.h"
#include "OSLayer/XnLog.h"
#include "TempDir.h"
#include "XnLogTestFiles.h"
#include "XnLogTestWriter.h"

namespace {

using vela_test::ListDir;
using vela_test::ReadWholeFile;

class DumpTest : public ::testing::Test {
protected:
    void SetUp() override { xnLogClose(); }
    void TearDown() override {
        xnDumpSetFilesOutput(TRUE);
        xnLogClose();
    }

    std::string LogDir() const { return m_dir.Path() + "/Log"; }
    // The only file in the log folder, after checking its per-run name.
    std::string OnlyDumpFile(const std::string& strName) const {
        const auto files = ListDir(LogDir());
        EXPECT_EQ(1u, files.size());
        if (files.size() != 1) {
            return "";
        }
        vela_test::PerRunName parsed;
        EXPECT_TRUE(vela_test::ParsePerRunName(files[0], &parsed)) << files[0];
        EXPECT_EQ(std::to_string(getpid()), parsed.strPid);
        EXPECT_EQ(strName, parsed.strRest);
        return LogDir() + "/" + files[0];
    }

    vela_test::TempDir m_dir;
    vela_test::ScopedCwd m_cwd{m_dir.Path()};
};

TEST_F(DumpTest, MaskOffOpensNothingUnlessForced) {
    EXPECT_EQ(nullptr, xnDumpFileOpen("Frames", "frame_%d.raw", 1));
    EXPECT_FALSE(std::filesystem::exists(LogDir()));

    XnDumpFile* pFile = xnDumpFileOpenEx("Frames", TRUE, TRUE, "forced_%d.raw", 2);
    ASSERT_NE(nullptr, pFile);
    _xnDumpFileWriteBuffer(pFile, "abc", 3);
    _xnDumpFileClose(pFile);
    EXPECT_EQ("abc", ReadWholeFile(OnlyDumpFile("forced_2.raw")));
}

TEST_F(DumpTest, MaskOnCreatesPerRunFileInDefaultFolder) {
    EXPECT_EQ(XN_STATUS_OK, xnDumpSetMaskState("Frames", TRUE));
    EXPECT_TRUE(xnLogIsDumpMaskEnabled("Frames"));
    XnDumpFile* pFile = xnDumpFileOpen("Frames", "frame_%03d.txt", 7);
    ASSERT_NE(nullptr, pFile);
    _xnDumpFileWriteString(pFile, "x=%d;", 5);
    _xnDumpFileWriteBuffer(pFile, "\0\1", 2);
    _xnDumpFileClose(pFile);
    EXPECT_EQ(std::string("x=5;\0\1", 6), ReadWholeFile(OnlyDumpFile("frame_007.txt")));

    // Null files and null texts are ignored.
    _xnDumpFileWriteBuffer(nullptr, "a", 1);
    _xnDumpFileWriteString(nullptr, "a");
    _xnDumpFileClose(nullptr);
    EXPECT_EQ(nullptr, xnDumpFileOpen(nullptr, "x"));
    EXPECT_EQ(nullptr, xnDumpFileOpen("Frames", nullptr));
    EXPECT_EQ(nullptr, xnDumpFileOpenEx("Frames", TRUE, TRUE, nullptr));
}

TEST_F(DumpTest, MaskStates) {
    struct {
        const char* strName;
        const char* strMask;
        bool bEnabled;
    } const cases[] = {
        {"null mask", nullptr, false},
        {"never set", "Unknown", false},
        {"set before ALL", "Early", true},
        {"named after ALL", "Late", false},
        {"ALL is no mask of its own", "ALL", false},
        {"names are case-sensitive", "early", false},
    };
    xnDumpSetMaskState("Early", FALSE);
    EXPECT_EQ(XN_STATUS_OK, xnDumpSetMaskState("ALL", TRUE));
    xnLogIsDumpMaskEnabled("Late");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strName);
        EXPECT_EQ(c.bEnabled, xnLogIsDumpMaskEnabled(c.strMask) != FALSE);
    }
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnDumpSetMaskState(nullptr, TRUE));
}

TEST_F(DumpTest, FilesOutputOffMakesEveryOpenNull) {
    xnDumpSetMaskState("Frames", TRUE);
    EXPECT_EQ(XN_STATUS_OK, xnDumpSetFilesOutput(FALSE));
    EXPECT_EQ(nullptr, xnDumpFileOpen("Frames", "a.raw"));
    EXPECT_EQ(nullptr, xnDumpFileOpenEx("Frames", TRUE, TRUE, "b.raw"));
    EXPECT_FALSE(std::filesystem::exists(LogDir()));

    EXPECT_EQ(XN_STATUS_OK, xnDumpSetFilesOutput(TRUE));
    EXPECT_EQ(XN_STATUS_OK, xnDumpSetFilesOutput(TRUE));
    XnDumpFile* pFile = xnDumpFileOpen("Frames", "c.raw");
    ASSERT_NE(nullptr, pFile);
    _xnDumpFileClose(pFile);
    OnlyDumpFile("c.raw");
}

// A writer that records what it is asked; it may decline to open.
class RecordingDumpWriter : public XnDumpWriterBase {
public:
    explicit RecordingDumpWriter(bool bOpens) : m_bOpens(bOpens) {}
    XnDumpWriterFileHandle OpenFile(const XnChar* strDumpName, XnBool bSessionDump,
                                    const XnChar* strFileName) override {
        m_opened.push_back(std::string(strDumpName) + (bSessionDump ? "|run|" : "|plain|") + strFileName);
        return m_bOpens ? &m_data : nullptr;
    }
    void Write(XnDumpWriterFileHandle hFile, const void* pBuffer, XnUInt32 nBufferSize) override {
        EXPECT_EQ(&m_data, hFile);
        m_data.append(static_cast<const char*>(pBuffer), nBufferSize);
    }
    void CloseFile(XnDumpWriterFileHandle hFile) override {
        EXPECT_EQ(&m_data, hFile);
        ++m_nClosed;
    }

    bool m_bOpens;
    std::vector<std::string> m_opened;
    std::string m_data;
    int m_nClosed = 0;
};

TEST_F(DumpTest, EveryRegisteredWriterGetsTheFile) {
    xnDumpSetFilesOutput(FALSE);
    // More writers than the dump file's first capacity (8).
    std::vector<std::unique_ptr<RecordingDumpWriter>> writers;
    for (int i = 0; i < 11; ++i) {
        writers.push_back(std::make_unique<RecordingDumpWriter>(i != 3));
        ASSERT_EQ(XN_STATUS_OK, writers.back()->Register());
    }
    xnDumpSetMaskState("M", TRUE);
    XnDumpFile* pFile = xnDumpFileOpenEx("M", FALSE, FALSE, "n%d", 1);
    ASSERT_NE(nullptr, pFile);
    _xnDumpFileWriteString(pFile, "%s", "text");
    _xnDumpFileClose(pFile);
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(std::vector<std::string>{"M|plain|n1"}, writers[i]->m_opened);
        EXPECT_EQ(i == 3 ? "" : "text", writers[i]->m_data);
        EXPECT_EQ(i == 3 ? 0 : 1, writers[i]->m_nClosed);
    }

    // No writer opening anything gives no file.
    for (int i = 0; i < 11; ++i) {
        writers[i]->m_bOpens = false;
    }
    EXPECT_EQ(nullptr, xnDumpFileOpen("M", "again"));
    // Destruction unregisters.
    writers.clear();
    EXPECT_EQ(nullptr, xnDumpFileOpenEx("M", TRUE, TRUE, "none"));
}

TEST_F(DumpTest, OverlongTextWritesNothing) {
    RecordingDumpWriter writer(true);
    xnDumpSetFilesOutput(FALSE);
    writer.Register();
    XnDumpFile* pFile = xnDumpFileOpenEx("M", TRUE, TRUE, "n");
    ASSERT_NE(nullptr, pFile);
    _xnDumpFileWriteString(pFile, "%s", std::string(8191, 'a').c_str());
    EXPECT_EQ(8191u, writer.m_data.size());
    _xnDumpFileWriteString(pFile, "%s", std::string(8192, 'b').c_str());
    EXPECT_EQ(8191u, writer.m_data.size());
    _xnDumpFileClose(pFile);
}

TEST_F(DumpTest, UncreatableDumpFileIsLogged) {
    vela_test::CapturingLogWriter log;
    log.Register();
    log.Clear();
    xnLogSetMaskMinSeverity("Log", XN_LOG_WARNING);
    EXPECT_EQ(nullptr, xnDumpFileOpenEx("M", TRUE, FALSE, "no_dir/x.raw"));
    XnDump dump = XN_DUMP_CLOSED;
    xnDumpForceInit(&dump, nullptr, "no_dir/y.raw");
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, dump.hFile);
    ASSERT_EQ(2u, log.m_entries.size());
    EXPECT_EQ("Couldn't create dump file no_dir/x.raw! Dump will not be written", log.m_entries[0].strMessage);
    EXPECT_EQ("Couldn't create dump file no_dir/y.raw! Dump will not be written", log.m_entries[1].strMessage);
    EXPECT_EQ("Log", log.m_entries[0].strMask);
    EXPECT_EQ("WARNING", log.m_entries[0].strSeverity);
    log.Unregister();
}

TEST_F(DumpTest, HandleBasedDump) {
    XnDump dump = XN_DUMP_CLOSED;
    xnDumpInit(&dump, "Off", "header\n", "off.csv");
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, dump.hFile);
    // Writing to a closed dump is ignored.
    xnDumpWriteBufferImpl(&dump, "x", 1);
    xnDumpWriteStringImpl(&dump, "x");
    xnDumpFlush(&dump);
    xnDumpClose(&dump);
    EXPECT_FALSE(std::filesystem::exists(LogDir()));

    xnDumpSetMaskState("On", TRUE);
    xnDumpInit(&dump, "On", "a,b\n", "table_%d.csv", 1);
    ASSERT_NE(XN_INVALID_FILE_HANDLE, dump.hFile);
    const XN_FILE_HANDLE hOpen = dump.hFile;
    // Already open: nothing happens, forced or not.
    xnDumpInit(&dump, "On", "other\n", "second.csv");
    xnDumpForceInit(&dump, "other\n", "third.csv");
    EXPECT_EQ(hOpen, dump.hFile);
    xnDumpWriteStringImpl(&dump, "%d,%d\n", 1, 2);
    xnDumpWriteBufferImpl(&dump, "3,4\n", 4);
    xnDumpWriteStringImpl(&dump, "%s", std::string(1024, 'z').c_str());  // too long: nothing
    xnDumpFlush(&dump);
    xnDumpClose(&dump);
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, dump.hFile);
    xnDumpClose(&dump);
    EXPECT_EQ("a,b\n1,2\n3,4\n", ReadWholeFile(OnlyDumpFile("table_1.csv")));

    // Forced, without a header.
    XnDump forced = XN_DUMP_CLOSED;
    xnDumpForceInit(&forced, nullptr, "forced.bin");
    ASSERT_NE(XN_INVALID_FILE_HANDLE, forced.hFile);
    xnDumpWriteBufferImpl(&forced, "q", 1);
    xnDumpClose(&forced);
    EXPECT_EQ(2u, ListDir(LogDir()).size());
}

}  // namespace
