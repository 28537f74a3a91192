#include <gtest/gtest.h>

#include <string>

#include "OSLayer/XnOS.h"
#include "TempDir.h"

namespace {

using vela_test::TempDir;

class XnOSIni : public testing::Test {
protected:
    std::string Write(const std::string& content) {
        const std::string path = m_dir.File("t" + std::to_string(m_nFiles++) + ".ini");
        vela_test::WriteWholeFile(path, content);
        return path;
    }
    XnStatus ReadString(const std::string& path, const char* section, const char* key, std::string* value,
                        XnUInt32 size = 512) {
        std::string buf(size, '\0');
        XnStatus rc = xnOSReadStringFromINI(path.c_str(), section, key, buf.data(), size);
        *value = buf.c_str();
        return rc;
    }

    TempDir m_dir;
    int m_nFiles = 0;
};

TEST_F(XnOSIni, LineEndsAndCaseSensitiveSections) {
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        const std::string path = Write(std::string("[Log]") + eol + "Verbosity=0" + eol + "Other=5" + eol);
        XnInt32 value = -1;
        ASSERT_EQ(XN_STATUS_OK, xnOSReadIntFromINI(path.c_str(), "Log", "Verbosity", &value)) << eol;
        EXPECT_EQ(0, value);
        ASSERT_EQ(XN_STATUS_OK, xnOSReadIntFromINI(path.c_str(), "Log", "Other", &value));
        EXPECT_EQ(5, value);
        EXPECT_EQ(XN_STATUS_OS_INI_READ_FAILED, xnOSReadIntFromINI(path.c_str(), "log", "Verbosity", &value));
    }
}

TEST_F(XnOSIni, KeysAndValuesAreKeptExactly) {
    const std::string path = Write(
        "Before=1\n"
        "[Log]\n"
        "Spaced = 0\n"
        "   Indented=2 ; comment\n"
        "Empty=\n"
        "# Hidden=1\n"
        "; Hidden2=1\n"
        "[Broken\n"
        "After=3\n"
        "Dup=first\n"
        "Dup=second\n"
        "[Next] trailing text\n"
        "Key=4\n"
        "[Log]\n"
        "Later=5\n");
    XnInt32 value = -1;
    std::string text;
    EXPECT_EQ(XN_STATUS_OS_INI_READ_FAILED, xnOSReadIntFromINI(path.c_str(), "Log", "Spaced", &value));
    EXPECT_EQ(XN_STATUS_OK, ReadString(path, "Log", "Spaced ", &text));
    EXPECT_EQ(" 0", text);
    ASSERT_EQ(XN_STATUS_OK, xnOSReadIntFromINI(path.c_str(), "Log", "Indented", &value));
    EXPECT_EQ(2, value);
    EXPECT_EQ(XN_STATUS_OK, ReadString(path, "Log", "Indented", &text));
    EXPECT_EQ("2 ; comment", text);
    EXPECT_EQ(XN_STATUS_OK, ReadString(path, "Log", "Empty", &text));
    EXPECT_EQ("", text);
    EXPECT_EQ(XN_STATUS_OK, xnOSReadIntFromINI(path.c_str(), "Log", "Empty", &value));
    EXPECT_EQ(0, value);  // no digits reads as 0
    EXPECT_EQ(XN_STATUS_OS_INI_READ_FAILED, ReadString(path, "Log", "Hidden", &text));
    EXPECT_EQ(XN_STATUS_OS_INI_READ_FAILED, ReadString(path, "Log", "Before", &text));
    // A "[" line without "]" is no header: the section goes on.
    EXPECT_EQ(XN_STATUS_OK, ReadString(path, "Log", "After", &text));
    EXPECT_EQ("3", text);
    EXPECT_EQ(XN_STATUS_OK, ReadString(path, "Log", "Dup", &text));
    EXPECT_EQ("first", text);
    EXPECT_EQ(XN_STATUS_OK, ReadString(path, "Next", "Key", &text));
    EXPECT_EQ("4", text);
    // Only the first occurrence of a section is searched.
    EXPECT_EQ(XN_STATUS_OS_INI_READ_FAILED, ReadString(path, "Log", "Later", &text));
}

TEST_F(XnOSIni, LengthLimits) {
    const std::string path = Write("[S]\nLong=" + std::string(300, 'v') + "\n" + std::string(257, 'k') + "=1\n" +
                                   std::string(256, 'K') + "=2\n");
    std::string text;
    ASSERT_EQ(XN_STATUS_OK, ReadString(path, "S", "Long", &text, 257));
    EXPECT_EQ(std::string(256, 'v'), text);
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, ReadString(path, "S", "Long", &text, 256));
    EXPECT_EQ(XN_STATUS_OS_INI_READ_FAILED, ReadString(path, "S", std::string(257, 'k').c_str(), &text));
    EXPECT_EQ(XN_STATUS_OK, ReadString(path, "S", std::string(256, 'K').c_str(), &text));
    EXPECT_EQ("2", text);
}

TEST_F(XnOSIni, NumbersAndFailures) {
    const std::string path = Write("[N]\nNeg=-12abc\nReal=2.5e1x\nBig=99999999999\n");
    XnInt32 value = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSReadIntFromINI(path.c_str(), "N", "Neg", &value));
    EXPECT_EQ(-12, value);
    ASSERT_EQ(XN_STATUS_OK, xnOSReadIntFromINI(path.c_str(), "N", "Big", &value));
    EXPECT_EQ(2147483647, value);
    XnDouble d = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSReadDoubleFromINI(path.c_str(), "N", "Real", &d));
    EXPECT_EQ(25.0, d);
    XnFloat f = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSReadFloatFromINI(path.c_str(), "N", "Real", &f));
    EXPECT_EQ(25.0f, f);
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSReadFloatFromINI(path.c_str(), "N", "Real", nullptr));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSReadIntFromINI(path.c_str(), nullptr, "Neg", &value));

    const std::string empty = Write("");
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSReadIntFromINI(empty.c_str(), "N", "Neg", &value));
    EXPECT_EQ(XN_STATUS_OS_INI_FILE_NOT_FOUND,
              xnOSReadIntFromINI(m_dir.File("missing.ini").c_str(), "N", "Neg", &value));
    EXPECT_EQ(XN_STATUS_OS_INI_WRITE_FAILED, xnOSWriteIntToINI(path.c_str(), "N", "Neg", 1));
    EXPECT_EQ(XN_STATUS_OS_INI_WRITE_FAILED, xnOSWriteStringToINI(path.c_str(), "N", "Neg", "1"));
    EXPECT_EQ(XN_STATUS_OS_INI_WRITE_FAILED, xnOSWriteFloatToINI(path.c_str(), "N", "Neg", 1.0f));
    EXPECT_EQ(XN_STATUS_OS_INI_WRITE_FAILED, xnOSWriteDoubleToINI(path.c_str(), "N", "Neg", 1.0));
}

TEST_F(XnOSIni, AZeroByteEndsTheText) {
    const std::string path = Write(std::string("[S]\nA=1\n\0B=2\n", 13));
    XnInt32 value = 0;
    EXPECT_EQ(XN_STATUS_OK, xnOSReadIntFromINI(path.c_str(), "S", "A", &value));
    EXPECT_EQ(XN_STATUS_OS_INI_READ_FAILED, xnOSReadIntFromINI(path.c_str(), "S", "B", &value));
}

}  // namespace
