// Logging end to end: both built-in writers on, entries from two threads
// through every write form, dumps, close; then the files are read back.

#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "OSLayer/XnDump.h"
#include "OSLayer/XnLog.h"
#include "TempDir.h"
#include "XnLogTestFiles.h"

namespace {

using vela_test::SplitLines;
using vela_test::SplitTabs;

const int kThreads = 2;
const int kRounds = 50;
const XnUInt32 kBinarySize = 20;

std::string ThreadMask(int nThread) { return "Thread" + std::to_string(nThread); }

void HexLines(int nThread, int nRound, std::string* pFirst, std::string* pSecond) {
    char strByte[8];
    *pFirst = "     0: ";
    *pSecond = "    16: ";
    for (XnUInt32 i = 0; i < kBinarySize; ++i) {
        snprintf(strByte, sizeof(strByte), "%02x ", static_cast<unsigned>((nThread * 100 + nRound + i) & 0xFF));
        (i < 16 ? *pFirst : *pSecond) += strByte;
    }
}

void LogFromThread(int nThread, XnLogger* pLogger) {
    const std::string strMask = ThreadMask(nThread);
    for (int nRound = 0; nRound < kRounds; ++nRound) {
        XnUInt8 data[kBinarySize];
        for (XnUInt32 i = 0; i < kBinarySize; ++i) {
            data[i] = static_cast<XnUInt8>(nThread * 100 + nRound + i);
        }
        xnLogWrite(strMask.c_str(), XN_LOG_INFO, "/src/Mod/Writer.cpp", 10, "entry %d", nRound);
        xnLoggerWrite(pLogger, XN_LOG_WARNING, "/src/Mod/Writer.cpp", 11, "logger entry %d", nRound);
        xnLogWriteNoEntry(strMask.c_str(), XN_LOG_INFO, "bare %d %d\n", nThread, nRound);
        xnLoggerWriteNoEntry(pLogger, XN_LOG_INFO, "logger bare %d %d\n", nThread, nRound);
        xnLogWriteBinaryData(strMask.c_str(), XN_LOG_VERBOSE, "/src/Mod/Writer.cpp", 12, data, kBinarySize,
                             "binary %d", nRound);
        xnLoggerWriteBinaryData(pLogger, XN_LOG_VERBOSE, nullptr, 0, data, kBinarySize, "logger binary %d", nRound);
        xnLogWrite("Quiet", XN_LOG_WARNING, "/src/Mod/Writer.cpp", 13, "filtered %d", nRound);
        xnLogWrite("Quiet", XN_LOG_ERROR, "/src/Mod/Writer.cpp", 14, "quiet error %d %d", nThread, nRound);
    }
}

TEST(LogEndToEndTest, ConsoleAndFileFromTwoThreadsWithDumps) {
    vela_test::TempDir dir;
    vela_test::ScopedCwd cwd(dir.Path());
    const std::time_t startTime = std::time(nullptr);

    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    xnLogSetMaskMinSeverity("Quiet", XN_LOG_ERROR);
    testing::internal::CaptureStdout();
    ASSERT_EQ(XN_STATUS_OK, xnLogSetConsoleOutput(TRUE));
    ASSERT_EQ(XN_STATUS_OK, xnLogSetFileOutput(TRUE));

    // The mask table takes no lock: its entries are made before the threads run.
    std::thread threads[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        threads[i] = std::thread(LogFromThread, i + 1, xnLoggerOpen(ThreadMask(i + 1).c_str()));
    }
    for (auto& thread : threads) {
        thread.join();
    }

    xnDumpSetMaskState("DumpOn", TRUE);
    XnDumpFile* pOn = xnDumpFileOpen("DumpOn", "frame_%d.raw", 3);
    ASSERT_NE(nullptr, pOn);
    _xnDumpFileWriteBuffer(pOn, "\x01\x00\x02", 3);
    _xnDumpFileWriteString(pOn, " and %s", "text");
    _xnDumpFileClose(pOn);
    EXPECT_EQ(nullptr, xnDumpFileOpen("DumpOff", "never_%d.raw", 4));

    EXPECT_EQ(XN_STATUS_OK, xnLogClose());
    xnLogWrite("ALL", XN_LOG_ERROR, nullptr, 0, "after close");
    const std::string strConsole = testing::internal::GetCapturedStdout();

    // Files: one log and one dump, sharing the run's stamp and process id.
    const std::string strLogDir = dir.Path() + "/Log";
    const auto files = vela_test::ListDir(strLogDir);
    ASSERT_EQ(2u, files.size());
    std::map<std::string, std::string> byRest;
    std::set<std::string> prefixes;
    for (const std::string& strName : files) {
        vela_test::PerRunName parsed;
        ASSERT_TRUE(vela_test::ParsePerRunName(strName, &parsed)) << strName;
        EXPECT_EQ(std::to_string(getpid()), parsed.strPid);
        prefixes.insert(parsed.strStamp + "_" + parsed.strPid);
        byRest[parsed.strRest] = strLogDir + "/" + strName;

        std::tm stamp = {};
        ASSERT_NE(nullptr, strptime(parsed.strStamp.c_str(), "%Y_%m_%d__%H_%M_%S", &stamp));
        stamp.tm_isdst = -1;
        const double fSeconds = std::difftime(std::mktime(&stamp), startTime);
        EXPECT_GE(fSeconds, -1.0);
        EXPECT_LE(fSeconds, 60.0);
    }
    EXPECT_EQ(1u, prefixes.size());
    ASSERT_EQ(1u, byRest.count("log"));
    ASSERT_EQ(1u, byRest.count("frame_3.raw"));
    EXPECT_EQ(std::string("\x01\x00\x02 and text", 12), vela_test::ReadWholeFile(byRest["frame_3.raw"]));

    // The log: banner, filter line, then whole lines only.
    const std::string strLog = vela_test::ReadWholeFile(byRest["log"]);
    ASSERT_FALSE(strLog.empty());
    EXPECT_EQ('\n', strLog.back());
    EXPECT_EQ(std::string::npos, strLog.find('\0'));
    const auto lines = SplitLines(strLog);
    ASSERT_GE(lines.size(), 2u);
    const auto banner = SplitTabs(lines[0]);
    ASSERT_EQ(6u, banner.size()) << lines[0];
    EXPECT_TRUE(vela_test::IsTimestampColumn(banner[0]));
    EXPECT_EQ("INFO      ", banner[1]);
    EXPECT_EQ("Log", banner[2]);
    EXPECT_EQ("XnLog.cpp", banner[3]);
    EXPECT_TRUE(vela_test::IsDigits(banner[4]));
    const std::string strBannerPrefix = "New log started on ";
    EXPECT_EQ(0u, banner[5].rfind(strBannerPrefix, 0)) << lines[0];
    EXPECT_TRUE(vela_test::MatchesTemplate(banner[5].substr(strBannerPrefix.size()), "####-##-## ##:##:##"))
        << lines[0];
    const auto filter = SplitTabs(lines[1]);
    ASSERT_EQ(6u, filter.size()) << lines[1];
    EXPECT_EQ("Log", filter[2]);
    EXPECT_EQ("--- Filter Info --- Minimum Severity: VERBOSE. Overriding Masks - 'Quiet': ERROR", filter[5]);

    // Every remaining line is an entry (six columns with file and line, four
    // without) or one whole bare text. Count what each thread left.
    std::multiset<std::string> seen;
    for (size_t i = 2; i < lines.size(); ++i) {
        const auto columns = SplitTabs(lines[i]);
        if (columns.size() == 1) {
            seen.insert("bare:" + lines[i]);
            continue;
        }
        ASSERT_TRUE(columns.size() == 6 || columns.size() == 4) << lines[i];
        EXPECT_TRUE(vela_test::IsTimestampColumn(columns[0])) << lines[i];
        EXPECT_EQ(10u, columns[1].size()) << lines[i];
        std::string strKey = columns[1] + "|" + columns[2] + "|";
        if (columns.size() == 6) {
            EXPECT_EQ("Writer.cpp", columns[3]);
            strKey += columns[4] + "|";
        }
        seen.insert(strKey + columns.back());
    }
    for (int nThread = 1; nThread <= kThreads; ++nThread) {
        const std::string strMask = ThreadMask(nThread);
        for (int nRound = 0; nRound < kRounds; ++nRound) {
            SCOPED_TRACE(strMask + " round " + std::to_string(nRound));
            const std::string r = std::to_string(nRound);
            const std::string t = std::to_string(nThread);
            std::string strFirst;
            std::string strSecond;
            HexLines(nThread, nRound, &strFirst, &strSecond);
            EXPECT_EQ(1u, seen.count("INFO      |" + strMask + "|10|entry " + r));
            EXPECT_EQ(1u, seen.count("WARNING   |" + strMask + "|11|logger entry " + r));
            EXPECT_EQ(1u, seen.count("bare:bare " + t + " " + r));
            EXPECT_EQ(1u, seen.count("bare:logger bare " + t + " " + r));
            EXPECT_EQ(1u, seen.count("VERBOSE   |" + strMask + "|12|binary " + r));
            EXPECT_EQ(1u, seen.count("VERBOSE   |" + strMask + "|logger binary " + r));
            EXPECT_EQ(1u, seen.count("VERBOSE   |" + strMask + "|12|" + strFirst));
            EXPECT_EQ(1u, seen.count("VERBOSE   |" + strMask + "|12|" + strSecond));
            EXPECT_EQ(1u, seen.count("VERBOSE   |" + strMask + "|" + strFirst));
            EXPECT_EQ(1u, seen.count("VERBOSE   |" + strMask + "|" + strSecond));
            EXPECT_EQ(1u, seen.count("ERROR     |Quiet|14|quiet error " + t + " " + r));
        }
    }
    // 11 lines per round and thread, nothing else (no filtered entry, no
    // dump warning, nothing after close).
    EXPECT_EQ(static_cast<size_t>(kThreads * kRounds * 11), seen.size());

    // The console got the same entries and texts; it ends every text with a
    // line of its own, so the texts that carry one leave an empty line.
    const auto consoleLines = SplitLines(strConsole);
    const size_t nBareTexts = kThreads * kRounds * 2;
    EXPECT_EQ(lines.size() + nBareTexts, consoleLines.size());
    size_t nEmpty = 0;
    const std::set<std::string> severities = {"VERBOSE   ", "INFO      ", "WARNING   ", "ERROR     "};
    size_t nConsoleEntries = 0;
    for (const std::string& strLine : consoleLines) {
        vela_test::ConsoleLine parsed;
        if (vela_test::ParseConsoleLine(strLine, &parsed)) {
            EXPECT_EQ(1u, severities.count(parsed.strSeverity)) << strLine;
            ++nConsoleEntries;
        } else if (strLine.empty()) {
            ++nEmpty;
        } else {
            EXPECT_TRUE(strLine.rfind("bare ", 0) == 0 || strLine.rfind("logger bare ", 0) == 0) << strLine;
        }
    }
    EXPECT_EQ(2u + kThreads * kRounds * 9, nConsoleEntries);
    EXPECT_EQ(nBareTexts, nEmpty);
}

}  // namespace
