#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "OSLayer/XnDump.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"
#include "TempDir.h"
#include "XnLogTestFiles.h"
#include "XnLogTestWriter.h"

namespace {

using vela_test::CapturingLogWriter;

// Every test starts and ends with the state xnLogClose leaves: all minimums
// NONE, no writer, dump masks off.
class LogCoreTest : public ::testing::Test {
protected:
    void SetUp() override { xnLogClose(); }
    void TearDown() override {
        m_writer.Unregister();
        xnLogClose();
    }
    CapturingLogWriter m_writer;
};

struct MaskCase {
    const char* strName;
    std::function<void()> configure;
    const char* strMask;
    XnLogSeverity nSeverity;
    bool bEnabled;
};

TEST_F(LogCoreTest, MaskMinimumRules) {
    const auto allVerboseHandError = [] {
        xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
        xnLogSetMaskMinSeverity("HandTracker", XN_LOG_ERROR);
    };
    const MaskCase cases[] = {
        {"nothing configured", [] {}, "HandTracker", XN_LOG_ERROR, false},
        {"ALL verbose", [] { xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE); }, "Anything", XN_LOG_VERBOSE, true},
        {"own minimum, below", allVerboseHandError, "HandTracker", XN_LOG_WARNING, false},
        {"own minimum, reached", allVerboseHandError, "HandTracker", XN_LOG_ERROR, true},
        {"others keep ALL", allVerboseHandError, "GestureRecognizer", XN_LOG_VERBOSE, true},
        {"later ALL overrides own", [] {
             xnLogSetMaskMinSeverity("HandTracker", XN_LOG_ERROR);
             xnLogSetMaskMinSeverity("ALL", XN_LOG_INFO);
         }, "HandTracker", XN_LOG_INFO, true},
        {"lower-case all is a mask", [] { xnLogSetMaskMinSeverity("all", XN_LOG_VERBOSE); }, "all",
         XN_LOG_VERBOSE, true},
        {"lower-case all leaves the default", [] { xnLogSetMaskMinSeverity("all", XN_LOG_VERBOSE); }, "Other",
         XN_LOG_ERROR, false},
        {"severity 7 passes a WARNING minimum", [] { xnLogSetMaskMinSeverity("ALL", XN_LOG_WARNING); }, "M",
         static_cast<XnLogSeverity>(7), true},
        {"NONE passes a NONE minimum", [] {}, "M", XN_LOG_SEVERITY_NONE, true},
    };
    for (const MaskCase& c : cases) {
        SCOPED_TRACE(c.strName);
        xnLogClose();
        c.configure();
        EXPECT_EQ(c.bEnabled, xnLogIsEnabled(c.strMask, c.nSeverity) != FALSE);
    }
}

TEST_F(LogCoreTest, AllSetsTheDefaultWhichNewMasksTake) {
    EXPECT_EQ(XN_STATUS_OK, xnLogSetMaskMinSeverity("ALL", XN_LOG_WARNING));
    EXPECT_EQ(XN_LOG_WARNING, xnLogGetMaskMinSeverity("ALL"));
    EXPECT_EQ(XN_LOG_WARNING, xnLogGetMaskMinSeverity("NeverNamed"));
    XnLogger* pLogger = xnLoggerOpen("OpenedLater");
    ASSERT_NE(nullptr, pLogger);
    EXPECT_EQ(XN_LOG_WARNING, pLogger->nMinSeverity);
    EXPECT_STREQ("OpenedLater", pLogger->strMask);

    xnLogSetMaskMinSeverity("all", XN_LOG_VERBOSE);
    EXPECT_EQ(XN_LOG_WARNING, xnLogGetMaskMinSeverity("ALL"));
    EXPECT_EQ(XN_LOG_VERBOSE, xnLogGetMaskMinSeverity("all"));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnLogSetMaskMinSeverity(nullptr, XN_LOG_INFO));
}

TEST_F(LogCoreTest, RetValChecksLoggerIsOpenedAtLoad) {
    ASSERT_NE(nullptr, XN_LOGGER_RETVAL_CHECKS);
    EXPECT_STREQ("RetValChecks", XN_LOGGER_RETVAL_CHECKS->strMask);
    EXPECT_EQ(XN_LOGGER_RETVAL_CHECKS, xnLoggerOpen("RetValChecks"));
}

TEST_F(LogCoreTest, LoggerHandles) {
    XnLogger* pLogger = xnLoggerOpen("Handle");
    EXPECT_EQ(pLogger, xnLoggerOpen("Handle"));
    EXPECT_FALSE(xnLoggerIsEnabled(pLogger, XN_LOG_ERROR));
    xnLogSetMaskMinSeverity("Handle", XN_LOG_INFO);
    EXPECT_TRUE(xnLoggerIsEnabled(pLogger, XN_LOG_INFO));
    EXPECT_FALSE(xnLoggerIsEnabled(pLogger, XN_LOG_VERBOSE));
    EXPECT_FALSE(xnLoggerIsEnabled(nullptr, XN_LOG_ERROR));

    // Closing removes the entry: the mask falls back to the default.
    _xnLoggerClose(pLogger);
    EXPECT_EQ(XN_LOG_SEVERITY_NONE, xnLogGetMaskMinSeverity("Handle"));
    _xnLoggerClose(nullptr);
}

TEST_F(LogCoreTest, MaskStateOffSwitchKeepsTheMinimum) {
    xnLogSetMaskMinSeverity("HandTracker", XN_LOG_WARNING);
    EXPECT_EQ(XN_STATUS_OK, xnLogBCSetMaskState("HandTracker", FALSE));
    for (XnLogSeverity s : {XN_LOG_VERBOSE, XN_LOG_WARNING, XN_LOG_ERROR, XN_LOG_SEVERITY_NONE}) {
        EXPECT_FALSE(xnLogIsEnabled("HandTracker", s)) << s;
    }
    EXPECT_EQ(XN_STATUS_OK, xnLogSetMaskState("HandTracker", TRUE));
    EXPECT_EQ(XN_LOG_WARNING, xnLogGetMaskMinSeverity("HandTracker"));
    EXPECT_TRUE(xnLogIsEnabled("HandTracker", XN_LOG_WARNING));
    EXPECT_FALSE(xnLogIsEnabled("HandTracker", XN_LOG_INFO));

    // "ALL" switches the default and every mask to the default's state.
    xnLogSetMaskMinSeverity("ALL", XN_LOG_INFO);
    xnLogBCSetMaskState("ALL", FALSE);
    EXPECT_FALSE(xnLogIsEnabled("HandTracker", XN_LOG_ERROR));
    EXPECT_FALSE(xnLogIsEnabled("NewMask", XN_LOG_ERROR));
    // The filter keeps the default's off switch.
    xnLogSetSeverityFilter(XN_LOG_VERBOSE);
    EXPECT_FALSE(xnLogIsEnabled("HandTracker", XN_LOG_ERROR));
    xnLogBCSetMaskState("ALL", TRUE);
    EXPECT_TRUE(xnLogIsEnabled("HandTracker", XN_LOG_VERBOSE));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnLogBCSetMaskState(nullptr, TRUE));
}

TEST_F(LogCoreTest, RegisteringWritesBannerAndFilterMessage) {
    ASSERT_EQ(XN_STATUS_OK, m_writer.Register());
    ASSERT_EQ(2u, m_writer.m_entries.size());
    for (const auto& entry : m_writer.m_entries) {
        EXPECT_EQ("Log", entry.strMask);
        EXPECT_EQ(XN_LOG_INFO, entry.nSeverity);
        EXPECT_EQ("INFO", entry.strSeverity);
        EXPECT_TRUE(entry.bHasFile);
    }
    const std::string& strBanner = m_writer.m_entries[0].strMessage;
    const std::string strPrefix = "New log started on ";
    EXPECT_EQ(0u, strBanner.rfind(strPrefix, 0)) << strBanner;
    EXPECT_TRUE(vela_test::MatchesTemplate(strBanner.substr(strPrefix.size()), "####-##-## ##:##:##")) << strBanner;
    EXPECT_EQ("--- Filter Info --- Minimum Severity: NONE", m_writer.m_entries[1].strMessage);
}

TEST_F(LogCoreTest, FilterMessageListsOverridingMasksInTableOrder) {
    xnLogSetMaskMinSeverity("ALL", XN_LOG_INFO);
    xnLogSetMaskMinSeverity("Log", XN_LOG_VERBOSE);
    m_writer.Register();
    ASSERT_EQ(2u, m_writer.m_entries.size());
    EXPECT_EQ("--- Filter Info --- Minimum Severity: INFO. Overriding Masks - 'Log': VERBOSE",
              m_writer.m_entries[1].strMessage);

    // A second override: masks come in bucket order (CRC-32 low byte), and an
    // off switch prints as UNKNOWN.
    xnLogBCSetMaskState("Zeta", FALSE);
    XnUInt32 nLogCrc = 0;
    XnUInt32 nZetaCrc = 0;
    xnOSStrCRC32("Log", &nLogCrc);
    xnOSStrCRC32("Zeta", &nZetaCrc);
    const std::string strLog = "'Log': VERBOSE";
    const std::string strZeta = "'Zeta': UNKNOWN";
    const std::string strExpected =
        "--- Filter Info --- Minimum Severity: INFO. Overriding Masks - " +
        ((nLogCrc & 0xFF) < (nZetaCrc & 0xFF) ? strLog + ", " + strZeta : strZeta + ", " + strLog);
    CapturingLogWriter second;
    second.Register();
    ASSERT_EQ(2u, second.m_entries.size());
    EXPECT_EQ(strExpected, second.m_entries[1].strMessage);
    second.Unregister();
}

TEST_F(LogCoreTest, SeverityFilterIsAnnouncedToEveryWriter) {
    m_writer.Register();
    CapturingLogWriter second;
    second.Register();
    m_writer.Clear();
    second.Clear();

    xnLogSetMaskMinSeverity("Own", XN_LOG_ERROR);
    EXPECT_EQ(XN_STATUS_OK, xnLogSetSeverityFilter(XN_LOG_WARNING));
    for (CapturingLogWriter* pWriter : {&m_writer, &second}) {
        ASSERT_EQ(1u, pWriter->m_entries.size());
        EXPECT_EQ("--- Filter Info --- Minimum Severity: WARNING", pWriter->m_entries[0].strMessage);
        EXPECT_EQ(1, pWriter->m_nConfigurationChanged);
    }
    EXPECT_EQ(XN_LOG_WARNING, xnLogGetMaskMinSeverity("Own"));
    second.Unregister();
}

TEST_F(LogCoreTest, WriteFormsReachWritersOnlyWhenEnabled) {
    m_writer.Register();
    m_writer.Clear();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_INFO);
    xnLogSetMaskMinSeverity("Quiet", XN_LOG_ERROR);
    XnLogger* pLogger = xnLoggerOpen("ByHandle");

    EXPECT_EQ(XN_STATUS_OK, xnLogWrite("Mask", XN_LOG_WARNING, "/some/dir/File.cpp", 17, "value %d", 5));
    xnLogWrite("Mask", XN_LOG_VERBOSE, __FILE__, __LINE__, "filtered");
    xnLogWrite("Quiet", XN_LOG_WARNING, __FILE__, __LINE__, "filtered");
    xnLogWrite("Mask", static_cast<XnLogSeverity>(7), nullptr, 0, "odd severity");
    xnLoggerWrite(pLogger, XN_LOG_INFO, "f.cpp", 3, "by %s", "handle");
    xnLoggerWrite(pLogger, XN_LOG_VERBOSE, "f.cpp", 3, "filtered");
    xnLoggerWrite(nullptr, XN_LOG_ERROR, "f.cpp", 3, "no logger");
    EXPECT_EQ(XN_STATUS_OK, xnLogWriteNoEntry("Mask", XN_LOG_INFO, "bare %s\n", "text"));
    xnLogWriteNoEntry("Quiet", XN_LOG_INFO, "filtered");
    xnLoggerWriteNoEntry(pLogger, XN_LOG_ERROR, "bare by handle");

    ASSERT_EQ(3u, m_writer.m_entries.size());
    const auto& first = m_writer.m_entries[0];
    EXPECT_EQ("Mask", first.strMask);
    EXPECT_EQ("WARNING", first.strSeverity);
    EXPECT_EQ("value 5", first.strMessage);
    EXPECT_EQ("/some/dir/File.cpp", first.strFile);
    EXPECT_EQ(17u, first.nLine);
    EXPECT_EQ("UNKNOWN", m_writer.m_entries[1].strSeverity);
    EXPECT_FALSE(m_writer.m_entries[1].bHasFile);
    EXPECT_EQ("ByHandle", m_writer.m_entries[2].strMask);
    EXPECT_EQ("by handle", m_writer.m_entries[2].strMessage);
    EXPECT_LE(first.nTimestamp, m_writer.m_entries[2].nTimestamp);
    EXPECT_EQ((std::vector<std::string>{"bare text\n", "bare by handle"}), m_writer.m_texts);
}

TEST_F(LogCoreTest, LongMessagesAreCut) {
    m_writer.Register();
    m_writer.Clear();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    const std::string strLong(3000, 'x');
    xnLogWrite("M", XN_LOG_INFO, nullptr, 0, "%s", strLong.c_str());
    xnLogWriteNoEntry("M", XN_LOG_INFO, "%s", strLong.c_str());
    ASSERT_EQ(1u, m_writer.m_entries.size());
    EXPECT_EQ(strLong.substr(0, 2047), m_writer.m_entries[0].strMessage);
    ASSERT_EQ(1u, m_writer.m_texts.size());
    EXPECT_EQ(strLong.substr(0, 1023), m_writer.m_texts[0]);
}

TEST_F(LogCoreTest, BinaryDataIsWrittenSixteenBytesToALine) {
    m_writer.Register();
    m_writer.Clear();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    XnUInt8 data[20];
    for (int i = 0; i < 20; ++i) {
        data[i] = static_cast<XnUInt8>(i * 13);
    }
    xnLogWriteBinaryData("Bin", XN_LOG_INFO, "b.cpp", 9, data, 20, "packet %d", 1);
    ASSERT_EQ(3u, m_writer.m_entries.size());
    EXPECT_EQ("packet 1", m_writer.m_entries[0].strMessage);
    EXPECT_EQ("     0: 00 0d 1a 27 34 41 4e 5b 68 75 82 8f 9c a9 b6 c3 ", m_writer.m_entries[1].strMessage);
    EXPECT_EQ("    16: d0 dd ea f7 ", m_writer.m_entries[2].strMessage);
    for (const auto& entry : m_writer.m_entries) {
        EXPECT_EQ("Bin", entry.strMask);
        EXPECT_EQ(9u, entry.nLine);
    }

    // Exactly 16 bytes make one line; size 0 the message alone; a disabled
    // severity nothing at all.
    struct {
        XnUInt32 nSize;
        XnLogSeverity nSeverity;
        size_t nEntries;
    } const cases[] = {{16, XN_LOG_INFO, 2}, {17, XN_LOG_INFO, 3}, {0, XN_LOG_INFO, 1}, {20, XN_LOG_VERBOSE, 0}};
    xnLogSetMaskMinSeverity("Bin", XN_LOG_INFO);
    XnLogger* pLogger = xnLoggerOpen("Bin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nSize);
        m_writer.Clear();
        xnLogWriteBinaryData("Bin", c.nSeverity, nullptr, 0, data, c.nSize, "m");
        EXPECT_EQ(c.nEntries, m_writer.m_entries.size());
        m_writer.Clear();
        xnLoggerWriteBinaryData(pLogger, c.nSeverity, nullptr, 0, data, c.nSize, "m");
        EXPECT_EQ(c.nEntries, m_writer.m_entries.size());
    }
}

TEST_F(LogCoreTest, CloseNotifiesWritersAndResetsEverything) {
    m_writer.Register();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    xnLogSetMaskMinSeverity("Own", XN_LOG_ERROR);
    xnDumpSetMaskState("DumpMask", TRUE);

    EXPECT_EQ(XN_STATUS_OK, xnLogClose());
    EXPECT_EQ(1, m_writer.m_nClosing);
    EXPECT_EQ(XN_LOG_SEVERITY_NONE, xnLogGetMaskMinSeverity("ALL"));
    EXPECT_EQ(XN_LOG_SEVERITY_NONE, xnLogGetMaskMinSeverity("Own"));
    EXPECT_FALSE(xnLogIsDumpMaskEnabled("DumpMask"));

    // The writer left the list from its OnClosing: nothing reaches it now.
    m_writer.Clear();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    xnLogWrite("M", XN_LOG_ERROR, nullptr, 0, "after close");
    EXPECT_TRUE(m_writer.m_entries.empty());
}

TEST_F(LogCoreTest, UnregisteredWriterReceivesNothing) {
    m_writer.Register();
    m_writer.Unregister();
    m_writer.Clear();
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    xnLogWrite("M", XN_LOG_ERROR, nullptr, 0, "x");
    xnLogWriteNoEntry("M", XN_LOG_ERROR, "x");
    EXPECT_TRUE(m_writer.m_entries.empty());
    EXPECT_TRUE(m_writer.m_texts.empty());
}

class LogIniTest : public LogCoreTest {
protected:
    std::string WriteIni(const std::string& strContent) {
        std::string strPath = m_dir.File("log.ini");
        vela_test::WriteWholeFile(strPath, strContent);
        return strPath;
    }
    vela_test::TempDir m_dir;
};

TEST_F(LogIniTest, ReadMasksSwitchesAllOffThenTheNamedOnesOn) {
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    xnLogSetMaskMinSeverity("Other", XN_LOG_VERBOSE);
    xnDumpSetMaskState("OldDump", TRUE);
    const std::string strIni = WriteIni("[Log]\nLogMasks=HandTracker;;Gestures\nDumpMasks=;FrameDump;\n");

    EXPECT_EQ(XN_STATUS_OK, xnLogReadMasksFromINI(strIni.c_str(), "Log", "LogMasks", xnLogBCSetMaskState));
    EXPECT_TRUE(xnLogIsEnabled("HandTracker", XN_LOG_VERBOSE));
    EXPECT_TRUE(xnLogIsEnabled("Gestures", XN_LOG_VERBOSE));
    EXPECT_FALSE(xnLogIsEnabled("Other", XN_LOG_ERROR));
    EXPECT_FALSE(xnLogIsEnabled("NeverNamed", XN_LOG_ERROR));
    EXPECT_FALSE(xnLogIsEnabled("", XN_LOG_ERROR));

    EXPECT_EQ(XN_STATUS_OK, xnLogReadMasksFromINI(strIni.c_str(), "Log", "DumpMasks", xnDumpSetMaskState));
    EXPECT_TRUE(xnLogIsDumpMaskEnabled("FrameDump"));
    EXPECT_FALSE(xnLogIsDumpMaskEnabled("OldDump"));
}

TEST_F(LogIniTest, UnreadableMaskValueChangesNothing) {
    xnLogSetMaskMinSeverity("ALL", XN_LOG_VERBOSE);
    const std::string strIni = WriteIni("[Log]\nLogMasks=" + std::string(256, 'a') + "\n");
    for (const char* strKey : {"LogMasks", "Missing"}) {
        SCOPED_TRACE(strKey);
        EXPECT_EQ(XN_STATUS_OK, xnLogReadMasksFromINI(strIni.c_str(), "Log", strKey, xnLogBCSetMaskState));
        EXPECT_TRUE(xnLogIsEnabled("Any", XN_LOG_VERBOSE));
    }
    EXPECT_EQ(XN_STATUS_OK, xnLogReadMasksFromINI(m_dir.File("none.ini").c_str(), "Log", "LogMasks",
                                                  xnLogBCSetMaskState));
    EXPECT_TRUE(xnLogIsEnabled("Any", XN_LOG_VERBOSE));
}

TEST_F(LogIniTest, InitFromIniAppliesLevelAndLineInfo) {
    // The levels are reset after the masks are read, so LogLevel decides for
    // every mask.
    const std::string strIni =
        WriteIni("[Log]\nLogMasks=A\nLogLevel=2\nLogWriteToConsole=0\nLogWriteToFile=0\nLogWriteLineInfo=1\n");
    xnLogSetMaskMinSeverity("B", XN_LOG_VERBOSE);
    EXPECT_EQ(XN_STATUS_OK, xnLogInitFromINIFile(strIni.c_str(), "Log"));
    for (const char* strMask : {"A", "B", "C"}) {
        SCOPED_TRACE(strMask);
        EXPECT_TRUE(xnLogIsEnabled(strMask, XN_LOG_WARNING));
        EXPECT_FALSE(xnLogIsEnabled(strMask, XN_LOG_INFO));
    }

    // A missing file still resets the levels.
    EXPECT_EQ(XN_STATUS_OK, xnLogInitFromINIFile(m_dir.File("none.ini").c_str(), "Log"));
    EXPECT_EQ(XN_LOG_SEVERITY_NONE, xnLogGetMaskMinSeverity("A"));
}

}  // namespace
