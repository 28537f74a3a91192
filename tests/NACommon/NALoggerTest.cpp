// The algorithms' diagnostic lines: the process-wide switch and the entry
// builder.

#include <gtest/gtest.h>

#include "../OSLayer/XnLogTestWriter.h"
#include "NACommon/NALogger.h"
#include "NACommon/NALoggerHelper.h"

namespace {

class NALoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(XN_STATUS_OK, m_writer.Register());
        m_writer.Clear();
    }
    void TearDown() override {
        m_writer.Unregister();
        xnLogSetMaskMinSeverity("HandTrackerManager", XN_LOG_SEVERITY_NONE);
        NALogger::GetInstance().SetEnabled(0);
    }

    vela_test::CapturingLogWriter m_writer;
};

TEST_F(NALoggerTest, OneProcessWideLoggerOffUntilASettingEnablesIt) {
    NALogger& logger = NALogger::GetInstance();
    EXPECT_EQ(&logger, &NALogger::GetInstance());
    EXPECT_EQ(0, logger.GetEnabled());
    EXPECT_TRUE(logger.Initialize("", ""));

    xnLogSetMaskMinSeverity("HandTrackerManager", XN_LOG_VERBOSE);
    // Enabled masks alone compose nothing.
    EXPECT_FALSE(NALogger::IsLogging("HandTrackerManager", XN_LOG_VERBOSE));
    logger.ApplyEnableLogging(0);
    EXPECT_EQ(0, logger.GetEnabled());
    logger.ApplyEnableLogging(2);
    EXPECT_EQ(2, logger.GetEnabled());
    EXPECT_TRUE(NALogger::IsLogging("HandTrackerManager", XN_LOG_VERBOSE));
    EXPECT_FALSE(NALogger::IsLogging("GestureRecognizer", XN_LOG_VERBOSE));
    // A later 0 leaves the level as it is.
    logger.ApplyEnableLogging(0);
    EXPECT_EQ(2, logger.GetEnabled());
}

TEST_F(NALoggerTest, EntriesArePrefixedWithMaskAndSeverityAndHaveNoHeader) {
    xnLogSetMaskMinSeverity("HandTrackerManager", XN_LOG_VERBOSE);
    NALogger& logger = NALogger::GetInstance();
    { NALoggerHelper(logger, "HandTrackerManager", XN_LOG_VERBOSE) << "Hand ID (added): " << 3 << ", Pos: " << 1.5f; }
    // Without text the entry holds the prefix alone; with prefix 0 the text alone.
    { NALoggerHelper helper(logger, "HandTrackerManager", XN_LOG_WARNING); }
    { NALoggerHelper(logger, "HandTrackerManager", XN_LOG_ERROR, 0) << "100% done"; }
    ASSERT_EQ(3u, m_writer.m_texts.size());
    EXPECT_EQ("HandTrackerManager (0): Hand ID (added): 3, Pos: 1.5", m_writer.m_texts[0]);
    EXPECT_EQ("HandTrackerManager (2): ", m_writer.m_texts[1]);
    EXPECT_EQ("100% done", m_writer.m_texts[2]);
    EXPECT_TRUE(m_writer.m_entries.empty());

    // The foundation's mask severity still decides.
    { NALoggerHelper(logger, "Farfield", XN_LOG_INFO) << "camera moved"; }
    EXPECT_EQ(3u, m_writer.m_texts.size());
}

}  // namespace
