// Library entry: "Vela.ini", the data directory, the log settings and the
// OpenNI2 version check.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>

#include "../OSLayer/XnLogTestWriter.h"
#include "Api/VelaLibrary.h"
#include "OniCAPI.h"
#include "TempDir.h"

namespace {

// The next this many nothrow array allocations of the program fail.
std::atomic<int> g_failingNothrowArrays{0};

}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    int failing = g_failingNothrowArrays.load();
    while (failing > 0) {
        if (g_failingNothrowArrays.compare_exchange_weak(failing, failing - 1)) {
            return nullptr;
        }
    }
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

class VelaLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(XN_STATUS_OK, m_writer.Register());
        m_writer.Clear();
    }
    void TearDown() override {
        velaShutdown();
        m_writer.Unregister();
        xnLogSetConsoleOutput(FALSE);
        xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_SEVERITY_NONE);
    }

    void WriteIni(const std::string& text) { vela_test::WriteWholeFile(m_dir.File("Vela.ini"), text); }

    // velaInitialize's result, with what it wrote to standard output.
    VelaStatus InitializeCapturingStdout(std::string& out) {
        testing::internal::CaptureStdout();
        const VelaStatus status = velaInitialize();
        std::fflush(stdout);
        out = testing::internal::GetCapturedStdout();
        return status;
    }

    std::string VersionLine() const {
        const OniVersion running = oniGetVersion();
        char line[128];
        std::snprintf(line, sizeof(line), "Vela: Compiled with OpenNI (2.2.0.32), Running with (%d.%d.%d.%d)",
                      running.major, running.minor, running.maintenance, running.build);
        return line;
    }

    vela_test::TempDir m_dir;
    vela_test::ScopedCwd m_cwd{m_dir.Path()};
    vela_test::CapturingLogWriter m_writer;
};

TEST_F(VelaLibraryTest, WithoutIniTheDataDirectoryIsVela2InTheWorkingDirectory) {
    EXPECT_EQ(nullptr, g_configurationDir);
    ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
    EXPECT_STREQ("./Vela2", g_configurationDir);
    std::string path;
    EXPECT_TRUE(FormConfigurationPath("FeatureExtraction.ini", path));
    EXPECT_EQ("./Vela2/FeatureExtraction.ini", path);
    const OniVersion running = oniGetVersion();
    EXPECT_EQ(running.build, g_OpenNIRunningVersion.build);
    EXPECT_EQ(2, g_OpenNICompiledVersion.minor);
    EXPECT_EQ(32, g_OpenNICompiledVersion.build);
    // Nothing is logged until a minimum severity is set.
    EXPECT_TRUE(m_writer.m_entries.empty());

    velaShutdown();
    EXPECT_EQ(nullptr, g_configurationDir);
    EXPECT_TRUE(FormConfigurationPath("HandAlgorithms.ini", path));
    EXPECT_EQ("", path);
}

TEST_F(VelaLibraryTest, IniSetsTheDataDirectoryAndTheConsoleShowsTheVersionLine) {
    struct Case {
        const char* consoleKey;
        bool consoleBefore;
        bool shown;
    };
    // Console output on for exactly 1, off for any other value; a missing key
    // leaves it as it was.
    const Case cases[] = {{"LogToConsole=1\n", false, true},
                          {"LogToConsole=2\n", true, false},
                          {"", false, false},
                          {"", true, true}};
    for (const Case& c : cases) {
        WriteIni(std::string("[General]\nDataDir=/opt/vela data\n[Log]\nVerbosity=0\n") + c.consoleKey);
        xnLogSetConsoleOutput(c.consoleBefore);
        std::string out;
        ASSERT_EQ(VELA_STATUS_OK, InitializeCapturingStdout(out));
        xnLogSetConsoleOutput(FALSE);
        EXPECT_STREQ("/opt/vela data", g_configurationDir);
        EXPECT_EQ(c.shown, out.find(VersionLine()) != std::string::npos) << c.consoleKey << c.consoleBefore << out;
        ASSERT_FALSE(m_writer.m_entries.empty());
        EXPECT_EQ(VersionLine(), m_writer.m_entries.back().strMessage);
        EXPECT_EQ(XN_LOG_VERBOSE, m_writer.m_entries.back().nSeverity);
        m_writer.Clear();
    }
}

TEST_F(VelaLibraryTest, ADataDirectoryTooLongForItsBufferFallsBackWithAWarning) {
    const std::string fits(255, 'd');
    WriteIni("[General]\nDataDir=" + fits + "\n[Log]\nVerbosity=2\n");
    ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
    EXPECT_EQ(fits, g_configurationDir);
    EXPECT_TRUE(m_writer.m_entries.empty());
    // Later calls read the file again into the same buffer.
    char* const first = g_configurationDir;

    for (size_t length : {256u, 300u}) {
        WriteIni("[General]\nDataDir=" + std::string(length, 'd') + "\n[Log]\nVerbosity=2\n");
        ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
        EXPECT_EQ(first, g_configurationDir);
        EXPECT_STREQ("./Vela2", g_configurationDir);
        ASSERT_EQ(1u, m_writer.m_entries.size()) << length;
        EXPECT_EQ(XN_LOG_WARNING, m_writer.m_entries[0].nSeverity);
        EXPECT_NE(std::string::npos, m_writer.m_entries[0].strMessage.find("longer than 255 characters"));
        m_writer.Clear();
    }
}

// An application that calls in through C must get a status, not an exception.
TEST_F(VelaLibraryTest, AFailedAllocationIsReportedAsAnError) {
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_ERROR);
    g_failingNothrowArrays = 1;
    EXPECT_EQ(VELA_STATUS_ERROR, velaInitialize());
    g_failingNothrowArrays = 0;
    EXPECT_EQ(nullptr, g_configurationDir);
    ASSERT_EQ(1u, m_writer.m_entries.size());
    EXPECT_EQ("Vela: out of memory", m_writer.m_entries[0].strMessage);
    ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
    EXPECT_STREQ("./Vela2", g_configurationDir);
}

TEST_F(VelaLibraryTest, ConfigurationPathsThatDoNotFitFailWithAnError) {
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_ERROR);
    // 234 characters, a separator and 21: one too many for 255.
    WriteIni("[General]\nDataDir=" + std::string(234, 'd') + "\n");
    ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
    std::string path = "stale";
    EXPECT_FALSE(FormConfigurationPath("FeatureExtraction.ini", path));
    EXPECT_EQ("", path);
    ASSERT_EQ(1u, m_writer.m_entries.size());
    EXPECT_NE(std::string::npos, m_writer.m_entries[0].strMessage.find("FeatureExtraction.ini"));
    // One character less fits exactly.
    WriteIni("[General]\nDataDir=" + std::string(233, 'd') + "\n");
    ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
    EXPECT_TRUE(FormConfigurationPath("FeatureExtraction.ini", path));
    EXPECT_EQ(255u, path.size());
}

TEST(VelaVersionTest, OpenNIFromTwoPointTwoOnIsSupported) {
    struct Case {
        OniVersion running;
        bool supported;
    };
    const Case cases[] = {{{2, 1, 9, 99}, false}, {{1, 9, 0, 0}, false}, {{2, 2, 0, 0}, true},
                          {{2, 2, 0, 33}, true},  {{2, 2, 7, 1}, true},  {{3, 0, 0, 0}, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.supported, IsSupportedOpenNIVersion(c.running)) << c.running.major << "." << c.running.minor;
    }
}

TEST(VelaVersionTest, AnOlderOpenNIIsReportedRunningVersionFirst) {
    vela_test::CapturingLogWriter writer;
    ASSERT_EQ(XN_STATUS_OK, writer.Register());
    writer.Clear();
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_VERBOSE);
    EXPECT_EQ(VELA_STATUS_ERROR, CheckOpenNIVersion(OniVersion{2, 2, 0, 32}, OniVersion{2, 1, 0, 4}));
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_SEVERITY_NONE);
    ASSERT_EQ(2u, writer.m_entries.size());
    EXPECT_EQ("Vela: Compiled with OpenNI (2.2.0.32), Running with (2.1.0.4)", writer.m_entries[0].strMessage);
    EXPECT_EQ("Running with an OpenNI (2.1) older than the one with which Vela was compiled (2.2)",
              writer.m_entries[1].strMessage);
    EXPECT_EQ(XN_LOG_ERROR, writer.m_entries[1].nSeverity);
    EXPECT_EQ("ALL", writer.m_entries[1].strMask);
}

TEST(VelaVersionTest, GetVersionNeedsNoInitialisation) {
    const VelaVersion version = velaGetVersion();
    EXPECT_EQ(2, version.major);
    EXPECT_EQ(2, version.minor);
    EXPECT_EQ(0, version.maintenance);
    EXPECT_EQ(11, version.build);
}

}  // namespace
