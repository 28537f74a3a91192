#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "OSLayer/XnDump.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"
#include "TempDir.h"
#include "XnLogTestFiles.h"
#include "XnLogTestWriter.h"

namespace {

using vela_test::ListDir;
using vela_test::ReadWholeFile;
using vela_test::SplitLines;
using vela_test::SplitTabs;

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override { xnLogClose(); }
    void TearDown() override { xnLogClose(); }

    std::string LogDir() const { return std::filesystem::canonical(m_dir.Path()).string() + "/Log"; }
    // The full name of the current log file.
    std::string CurrentLogFile() const {
        XnChar strName[XN_FILE_MAX_PATH] = "";
        EXPECT_EQ(XN_STATUS_OK, xnLogGetFileName(strName, sizeof(strName)));
        return strName;
    }

    vela_test::TempDir m_dir;
    vela_test::ScopedCwd m_cwd{m_dir.Path()};
};

TEST_F(LogFileTest, EntryLinesHaveTabbedColumns) {
    const std::string strLongPath = "/" + std::string(300, 'd') + "/Long.cpp";
    struct {
        const char* strName;
        XnBool bLineInfo;
        const char* strFile;
        std::string strExpectedTail;
    } const cases[] = {
        {"line info", TRUE, "/x/y/Source.cpp", "WARNING   \tMask\tSource.cpp\t42\tmessage 7"},
        {"no source file", TRUE, nullptr, "WARNING   \tMask\tmessage 7"},
        {"line info off", FALSE, "/x/y/Source.cpp", "WARNING   \tMask\tmessage 7"},
        {"source path too long for a base name", TRUE, strLongPath.c_str(), "WARNING   \tMask\tmessage 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strName);
        xnLogClose();
        xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
        xnLogSetLineInfo(c.bLineInfo);
        ASSERT_EQ(XN_STATUS_OK, xnLogSetFileOutput(TRUE));
        xnLogWrite("Mask", XN_LOG_WARNING, c.strFile, 42, "message %d", 7);
        const std::string strFile = CurrentLogFile();
        xnLogClose();

        const std::string strText = ReadWholeFile(strFile);
        ASSERT_FALSE(strText.empty());
        EXPECT_EQ('\n', strText.back());
        const std::string strLast = SplitLines(strText).back();
        const size_t nFirstTab = strLast.find('\t');
        ASSERT_NE(std::string::npos, nFirstTab);
        EXPECT_TRUE(vela_test::IsTimestampColumn(strLast.substr(0, nFirstTab))) << strLast;
        EXPECT_EQ(c.strExpectedTail, strLast.substr(nFirstTab + 1));
    }
}

// The unformatted text goes to the file as it is: no terminating NUL byte
// and no line end of its own.
TEST_F(LogFileTest, UnformattedTextIsWrittenWithoutTerminator) {
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    xnLogSetFileOutput(TRUE);
    xnLogWriteNoEntry("Algo", XN_LOG_INFO, "first part, ");
    xnLogWriteNoEntry("Algo", XN_LOG_INFO, "value %d\n", 12);
    xnLogWriteNoEntry("Algo", XN_LOG_INFO, "%s", "");
    xnLogWriteNoEntry("Algo", XN_LOG_INFO, "next line\n");
    const std::string strText = ReadWholeFile(CurrentLogFile());
    EXPECT_EQ(std::string::npos, strText.find('\0'));
    const auto lines = SplitLines(strText);
    ASSERT_EQ(4u, lines.size());  // banner, filter, two texts
    EXPECT_EQ("first part, value 12", lines[2]);
    EXPECT_EQ("next line", lines[3]);
}

// A message that fills the entry buffer is cut to fit the file line instead
// of being dropped with its line end.
TEST_F(LogFileTest, LongestMessageKeepsItsLineEnd) {
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    xnLogSetFileOutput(TRUE);
    const std::string strLong(2047, 'x');
    xnLogWrite("Mask", XN_LOG_INFO, "/a/File.cpp", 1, "%s", strLong.c_str());
    xnLogWrite("Mask", XN_LOG_INFO, "/a/File.cpp", 2, "after");
    const auto lines = SplitLines(ReadWholeFile(CurrentLogFile()));
    ASSERT_EQ(4u, lines.size());
    const auto longColumns = SplitTabs(lines[2]);
    ASSERT_EQ(6u, longColumns.size());
    EXPECT_LE(lines[2].size() + 1, 2047u);
    EXPECT_EQ(strLong.substr(0, longColumns[5].size()), longColumns[5]);
    EXPECT_GT(longColumns[5].size(), 1900u);
    const auto nextColumns = SplitTabs(lines[3]);
    ASSERT_EQ(6u, nextColumns.size());
    EXPECT_EQ("after", nextColumns[5]);
}

TEST_F(LogFileTest, FileOutputTwiceMakesOneFileAndOneBanner) {
    EXPECT_EQ(XN_STATUS_OK, xnLogSetFileOutput(TRUE));
    EXPECT_EQ(XN_STATUS_OK, xnLogSetFileOutput(TRUE));
    const auto files = ListDir(LogDir());
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(LogDir() + "/" + files[0], CurrentLogFile());
    const auto lines = SplitLines(ReadWholeFile(CurrentLogFile()));
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("\tINFO      \tLog\t"));
    EXPECT_NE(std::string::npos, lines[0].find("\tNew log started on "));
    EXPECT_EQ("--- Filter Info --- Minimum Severity: NONE", SplitTabs(lines[1]).back());
}

TEST_F(LogFileTest, FileFunctionsNeedFileOutput) {
    XnChar strName[XN_FILE_MAX_PATH];
    EXPECT_EQ(XN_STATUS_LOG_FILE_NOT_ACTIVE, xnLogStartNewFile());
    EXPECT_EQ(XN_STATUS_LOG_FILE_NOT_ACTIVE, xnLogGetFileName(strName, sizeof(strName)));
    EXPECT_TRUE(ListDir(LogDir()).empty());

    xnLogSetFileOutput(TRUE);
    XnChar strSmall[10];
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnLogGetFileName(strSmall, sizeof(strSmall)));
    const std::string strFirst = CurrentLogFile();
    EXPECT_EQ(XN_STATUS_OK, xnLogStartNewFile());
    const std::string strFile = CurrentLogFile();
    EXPECT_EQ(0u, strFile.rfind(LogDir() + "/", 0)) << strFile;
    // A new file beside the first, which keeps what it holds.
    EXPECT_NE(strFirst, strFile);
    EXPECT_EQ(2u, ListDir(LogDir()).size());
    EXPECT_EQ(2u, SplitLines(ReadWholeFile(strFirst)).size());
    EXPECT_EQ(2u, SplitLines(ReadWholeFile(strFile)).size());

    xnLogSetFileOutput(FALSE);
    EXPECT_EQ(XN_STATUS_LOG_FILE_NOT_ACTIVE, xnLogStartNewFile());
}

TEST_F(LogFileTest, OutputFolderIsCreatedResolvedAndMovesTheLog) {
    EXPECT_EQ(XN_STATUS_OS_FAILED_TO_CREATE_DIR, xnLogSetOutputFolder("missing/parent"));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnLogSetOutputFolder(nullptr));

    ASSERT_EQ(XN_STATUS_OK, xnLogSetOutputFolder("first"));
    xnLogSetFileOutput(TRUE);
    const std::string strRoot = std::filesystem::canonical(m_dir.Path()).string();
    EXPECT_EQ(0u, CurrentLogFile().rfind(strRoot + "/first/", 0)) << CurrentLogFile();

    // With file output on, a new folder starts a new file there.
    ASSERT_EQ(XN_STATUS_OK, xnLogSetOutputFolder("./second/"));
    const std::string strSecond = CurrentLogFile();
    EXPECT_EQ(0u, strSecond.rfind(strRoot + "/second/", 0)) << strSecond;
    EXPECT_EQ(2u, SplitLines(ReadWholeFile(strSecond)).size());
    EXPECT_EQ(1u, ListDir(strRoot + "/first").size());
    EXPECT_FALSE(std::filesystem::exists(LogDir()));
}

TEST_F(LogFileTest, PerRunFilesShareStampAndProcessId) {
    xnLogSetFileOutput(TRUE);
    XN_FILE_HANDLE hFile = XN_INVALID_FILE_HANDLE;
    ASSERT_EQ(XN_STATUS_OK, xnLogCreateFile("direct.txt", &hFile));
    xnOSCloseFile(&hFile);
    ASSERT_EQ(XN_STATUS_OK, xnLogCreateFileEx("plain.txt", FALSE, &hFile));
    xnOSCloseFile(&hFile);
    XnDumpFile* pDump = xnDumpFileOpenEx("AnyMask", TRUE, TRUE, "dump_%d.bin", 4);
    ASSERT_NE(nullptr, pDump);
    _xnDumpFileClose(pDump);

    const auto files = ListDir(LogDir());
    ASSERT_EQ(4u, files.size());
    std::string strPrefix;
    std::vector<std::string> rests;
    for (const std::string& strName : files) {
        if (strName == "plain.txt") {
            continue;
        }
        vela_test::PerRunName parsed;
        ASSERT_TRUE(vela_test::ParsePerRunName(strName, &parsed)) << strName;
        EXPECT_EQ(std::to_string(getpid()), parsed.strPid);
        const std::string strThisPrefix = parsed.strStamp + "_" + parsed.strPid;
        EXPECT_TRUE(strPrefix.empty() || strPrefix == strThisPrefix) << strName;
        strPrefix = strThisPrefix;
        rests.push_back(parsed.strRest);
    }
    std::sort(rests.begin(), rests.end());
    EXPECT_EQ((std::vector<std::string>{"direct.txt", "dump_4.bin", "log"}), rests);
}

// A file written earlier in the run is never truncated by a later one of the
// same name (a restart in the same second, a dump opened again): the later
// one gets a numbered name. A file of an earlier run is still replaced.
TEST_F(LogFileTest, RepeatedNamesInOneRunLoseNothing) {
    const std::string strLogDir = LogDir();
    std::filesystem::create_directories(strLogDir);
    vela_test::WriteWholeFile(strLogDir + "/plain.txt", "from an earlier run");
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);

    const std::function<void()> restarts[] = {
        [] { xnLogStartNewFile(); },
        [] {
            xnLogClose();
            xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
            xnLogSetFileOutput(TRUE);
        },
        [] { xnLogSetOutputFolder("Log"); },
    };
    ASSERT_EQ(XN_STATUS_OK, xnLogSetFileOutput(TRUE));
    std::vector<std::string> files;
    for (size_t i = 0; i < 3; ++i) {
        files.push_back(CurrentLogFile());
        xnLogWrite("Mask", XN_LOG_INFO, nullptr, 0, "entry %d", static_cast<int>(i));
        restarts[i]();
    }
    files.push_back(CurrentLogFile());
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(files[i]);
        const std::string strText = ReadWholeFile(files[i]);
        EXPECT_NE(std::string::npos, strText.find("entry " + std::to_string(i))) << strText;
        for (size_t j = i + 1; j < files.size(); ++j) {
            EXPECT_NE(files[i], files[j]);
        }
    }

    for (const char* strContent : {"first", "second", "third"}) {
        XnDumpFile* pDump = xnDumpFileOpenEx("Mask", TRUE, FALSE, "same.bin");
        ASSERT_NE(nullptr, pDump);
        _xnDumpFileWriteString(pDump, "%s", strContent);
        _xnDumpFileClose(pDump);
    }
    EXPECT_EQ("first", ReadWholeFile(strLogDir + "/same.bin"));
    EXPECT_EQ("second", ReadWholeFile(strLogDir + "/same_1.bin"));
    EXPECT_EQ("third", ReadWholeFile(strLogDir + "/same_2.bin"));

    XN_FILE_HANDLE hFile = XN_INVALID_FILE_HANDLE;
    ASSERT_EQ(XN_STATUS_OK, xnLogCreateFileEx("plain.txt", FALSE, &hFile));
    xnOSCloseFile(&hFile);
    EXPECT_EQ("", ReadWholeFile(strLogDir + "/plain.txt"));
    ASSERT_EQ(XN_STATUS_OK, xnLogCreateFileEx("plain.txt", FALSE, &hFile));
    xnOSCloseFile(&hFile);
    EXPECT_TRUE(std::filesystem::exists(strLogDir + "/plain_1.txt"));
}

TEST_F(LogFileTest, CreateNewFileErrors) {
    XN_FILE_HANDLE hFile = XN_INVALID_FILE_HANDLE;
    XnChar strPath[XN_FILE_MAX_PATH];
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnLogCreateNewFile(nullptr, TRUE, strPath, sizeof(strPath), &hFile));
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnLogCreateNewFile("a", TRUE, strPath, sizeof(strPath), nullptr));
    // The folder alone does not fit.
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnLogCreateNewFile("a", TRUE, strPath, 4, &hFile));
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, hFile);
    EXPECT_EQ(XN_STATUS_OS_FILE_NOT_FOUND, xnLogCreateNewFile("no/such/dir", FALSE, strPath, sizeof(strPath), &hFile));
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, hFile);
}

TEST_F(LogFileTest, ConsoleLines) {
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    testing::internal::CaptureStdout();
    EXPECT_EQ(XN_STATUS_OK, xnLogSetConsoleOutput(TRUE));
    xnLogWrite("Mask", static_cast<XnLogSeverity>(7), "/a/b.cpp", 3, "odd %s", "severity");
    xnLogWrite("Mask", XN_LOG_ERROR, "/a/b.cpp", 3, "bad");
    xnLogWriteNoEntry("Mask", XN_LOG_INFO, "bare text");
    xnLogSetConsoleOutput(FALSE);
    xnLogWrite("Mask", XN_LOG_ERROR, "/a/b.cpp", 3, "not shown");
    const auto lines = SplitLines(testing::internal::GetCapturedStdout());

    ASSERT_EQ(5u, lines.size());
    const std::pair<std::string, std::string> expected[] = {
        {"INFO      ", ""},  // the banner's time varies
        {"INFO      ", "--- Filter Info --- Minimum Severity: VERBOSE"},
        {"UNKNOWN   ", "odd severity"},
        {"ERROR     ", "bad"},
    };
    for (size_t i = 0; i < 4; ++i) {
        vela_test::ConsoleLine parsed;
        ASSERT_TRUE(vela_test::ParseConsoleLine(lines[i], &parsed)) << lines[i];
        EXPECT_EQ(expected[i].first, parsed.strSeverity);
        if (!expected[i].second.empty()) {
            EXPECT_EQ(expected[i].second, parsed.strMessage);
        }
    }
    EXPECT_EQ("bare text", lines[4]);
}

TEST_F(LogFileTest, UncreatableLogFileIsReportedAndNothingIsWritten) {
    vela_test::WriteWholeFile("Log", "a file where the folder should be");
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    testing::internal::CaptureStdout();
    EXPECT_EQ(XN_STATUS_OK, xnLogSetFileOutput(TRUE));
    xnLogWrite("Mask", XN_LOG_ERROR, nullptr, 0, "lost");
    xnLogWriteNoEntry("Mask", XN_LOG_ERROR, "lost");
    EXPECT_EQ("Couldn't create log file! Logs will not be written (error: Unknown Zelto Status!)\n",
              testing::internal::GetCapturedStdout());
    // Registered all the same.
    EXPECT_NE(XN_STATUS_LOG_FILE_NOT_ACTIVE, xnLogStartNewFile());
}

TEST_F(LogFileTest, CloseThenNewFileChoosesTheDefaultFolderAgain) {
    ASSERT_EQ(XN_STATUS_OK, xnLogSetOutputFolder("chosen"));
    xnLogSetFileOutput(TRUE);
    const std::string strFirst = CurrentLogFile();
    xnLogClose();
    EXPECT_EQ(XN_STATUS_LOG_FILE_NOT_ACTIVE, xnLogStartNewFile());

    vela_test::TempDir other;
    vela_test::ScopedCwd cwd(other.Path());
    ASSERT_EQ(XN_STATUS_OK, xnLogSetFileOutput(TRUE));
    const std::string strSecond = CurrentLogFile();
    const std::string strOtherLog = std::filesystem::canonical(other.Path()).string() + "/Log/";
    EXPECT_EQ(0u, strSecond.rfind(strOtherLog, 0)) << strSecond;
    vela_test::PerRunName parsed;
    EXPECT_TRUE(vela_test::ParsePerRunName(strSecond.substr(strOtherLog.size()), &parsed));
    EXPECT_EQ("log", parsed.strRest);
    EXPECT_TRUE(std::filesystem::exists(strFirst));
    xnLogClose();
}

// At exit the log state goes first: its file is closed complete, and the
// built-in dump writer, destroyed later, must not touch the dump state.
TEST_F(LogFileTest, ProcessExitWithOpenLogAndDumpIsClean) {
    // Forked in place, so the child writes into this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            vela_test::CapturingLogWriter writer;
            writer.Register();
            xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
            xnLogSetFileOutput(TRUE);
            xnDumpSetMaskState("Exit", TRUE);
            // Left open on purpose; static, so it is no leak.
            static XnDumpFile* s_pDump = xnDumpFileOpen("Exit", "open_at_exit.bin");
            _xnDumpFileWriteString(s_pDump, "dumped");
            xnLogWrite("Mask", XN_LOG_INFO, nullptr, 0, "last words");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    std::string strLog;
    std::string strDump;
    for (const std::string& strName : ListDir(LogDir())) {
        vela_test::PerRunName parsed;
        ASSERT_TRUE(vela_test::ParsePerRunName(strName, &parsed)) << strName;
        (parsed.strRest == "log" ? strLog : strDump) = ReadWholeFile(LogDir() + "/" + strName);
    }
    const auto lines = SplitLines(strLog);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("last words\n", strLog.substr(strLog.size() - 11));
    EXPECT_EQ("dumped", strDump);
}

}  // namespace
