// Details of the scanner, the typed readers, the readers without the
// template and the key rule.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "OSLayer/XnOS.h"
#include "QuorLibrary/Utilities/SimpleINI.h"
#include "TempDir.h"

namespace {

using vela_test::TempDir;
using vela_test::WriteWholeFile;

TEST(IniScannerTest, StatusAndUntouchedValueWhenNotFound) {
    const char* text = "[S]\nkey=value\n";
    char value[INI_CACHE_MAX_LEN + 1];
    std::strcpy(value, "untouched");
    EXPECT_EQ(FindEntry(text, "S", "other", value), XN_STATUS_OS_INI_READ_FAILED);
    EXPECT_STREQ(value, "untouched");
    EXPECT_EQ(FindEntry(text, "S", "key", value), XN_STATUS_OK);
    EXPECT_STREQ(value, "value");
    EXPECT_EQ(FindEntry("", "S", "key", value), XN_STATUS_OS_INI_READ_FAILED);
    // The text ends at its first NUL.
    EXPECT_EQ(FindEntry("[S]\0\nkey=1\n", "S", "key", value), XN_STATUS_OS_INI_READ_FAILED);
    // A byte-order mark makes the first header an ordinary line.
    EXPECT_EQ(FindEntry("\xEF\xBB\xBF[S]\nkey=1\n", "S", "key", value), XN_STATUS_OS_INI_READ_FAILED);
    EXPECT_EQ(FindEntry(nullptr, "S", "key", value), XN_STATUS_NULL_INPUT_PTR);
    EXPECT_EQ(FindEntry(text, "S", "key", nullptr), XN_STATUS_NULL_OUTPUT_PTR);
}

TEST(IniTrimTest, TrailingBlanksGoUnlessTheValueIsOnlyBlanks) {
    TempDir temp;
    const std::string file = temp.File("trim.ini");
    WriteWholeFile(file, "[S]\nA=12 \t \nB= \t \nC=  x  y  \nD=\n");
    struct Case {
        const char* key;
        bool found;
        const char* text;
    };
    const Case cases[] = {{"A", true, "12"}, {"B", true, " \t "}, {"C", true, "  x  y"}, {"D", true, ""}};
    for (const Case& c : cases) {
        std::string value = "before";
        EXPECT_EQ(ReadStringFromINIInternal(file, "S", c.key, value), c.found) << c.key;
        EXPECT_EQ(value, c.text) << c.key;
    }

    // Only blanks: the number readers keep their target and report success.
    int i = 5;
    float f = 1.5f;
    Vector3D<int> v(1, 2, 3);
    EXPECT_TRUE(ReadFromINI(file, "S", "B", i, false));
    EXPECT_TRUE(ReadFromINI(file, "S", "B", f, false));
    EXPECT_TRUE(ReadFromINI(file, "S", "B", v, false));
    EXPECT_EQ(i, 5);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(v, Vector3D<int>(1, 2, 3));

    // Empty: every typed reader returns false; only the text reader stores it.
    EXPECT_FALSE(ReadFromINI(file, "S", "D", i, false));
    EXPECT_EQ(i, 5);
    std::string text = "default";
    EXPECT_FALSE(ReadFromINI(file, "S", "D", text, false));
    EXPECT_EQ(text, "");
}

TEST(IniCacheTest, EmptyOrMissingFilesAreTriedAgainAtEveryRead) {
    TempDir temp;
    const std::string file = temp.File("later.ini");
    int value = 7;
    EXPECT_FALSE(ReadFromINI(file, "S", "A", value, false));
    WriteWholeFile(file, "");
    EXPECT_FALSE(ReadFromINI(file, "S", "A", value, false));
    EXPECT_EQ(value, 7);
    WriteWholeFile(file, "[S]\nA=3\n");
    EXPECT_TRUE(ReadFromINI(file, "S", "A", value, false));
    EXPECT_EQ(value, 3);
}

TEST(IniCacheTest, VerboseCacheAnnouncesEachLoadOnce) {
    TempDir temp;
    const std::string file = temp.File("loud.ini");
    WriteWholeFile(file, "[S]\nA=1\n");
    INIFileCache::GetInstance().m_verbose = true;
    int value = 0;
    testing::internal::CaptureStdout();
    ReadFromINI(file, "S", "A", value, false);
    ReadFromINI(file, "S", "A", value, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "INIFileCache: Loading " + file + "\n");
    INIFileCache::GetInstance().m_verbose = false;
}

TEST(IniLimitsTest, CachedReaderHasLongerLimitsThanTheOsReader) {
    TempDir temp;
    const std::string file = temp.File("limits.ini");
    const std::string key300(300, 'k');
    const std::string value300(300, 'v');
    WriteWholeFile(file, "[S]\n" + key300 + "=1\nLong=" + value300 + "\n");

    std::string value;
    EXPECT_TRUE(ReadStringFromINIInternal(file, "S", key300, value));
    EXPECT_EQ(value, "1");
    EXPECT_TRUE(ReadStringFromINIInternal(file, "S", "Long", value));
    EXPECT_EQ(value, value300);

    char osValue[INI_CACHE_MAX_LEN + 1] = {};
    EXPECT_EQ(xnOSReadStringFromINI(file.c_str(), "S", key300.c_str(), osValue, sizeof(osValue)),
              XN_STATUS_OS_INI_READ_FAILED);
    EXPECT_EQ(xnOSReadStringFromINI(file.c_str(), "S", "Long", osValue, sizeof(osValue)), XN_STATUS_OK);
    EXPECT_EQ(std::string(osValue), value300.substr(0, 256));
}

TEST(IniEchoTest, VerboseReadsEchoTheStoredValue) {
    TempDir temp;
    const std::string file = temp.File("echo.ini");
    WriteWholeFile(file,
                   "[S]\nInt=12abc\nFloat=0.1\nDouble=123456789\nBool=2\nText= some text\nVector=1 2.5 3\n"
                   "Box=0 1 2 3 4 5\nRes=sxga\nIcp=free_twist\n");
    int i = 0;
    float f = 0;
    double d = 0;
    bool b = false;
    std::string text;
    Vector3D<float> v;
    Box3D<float> box;
    Resolution res = INVALID;
    ICPType icp = ICPType::INVALID;
    testing::internal::CaptureStdout();
    ReadFromINI(file, "S", "Int", i, true);
    ReadFromINI(file, "S", "Float", f, true);
    ReadFromINI(file, "S", "Double", d, true);
    ReadFromINI(file, "S", "Bool", b, true);
    ReadFromINI(file, "S", "Text", text, true);
    ReadFromINI(file, "S", "Vector", v, true);
    ReadFromINI(file, "S", "Box", box, true);
    ReadFromINI(file, "S", "Res", res, true);
    ReadFromINI(file, "S", "Icp", icp, true);
    ReadFromINI(file, "S", "Missing", i, true);
    ReadFromINI(file, "S", "Int", i, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Read 'Int'(obj) = 12\n"
              "Read 'Float'(obj) = 0.1\n"
              "Read 'Double'(obj) = 1.23457e+08\n"
              "Read 'Bool'(obj) = 1\n"
              "Read 'Text'(obj) =  some text\n"
              "Read 'Vector'(obj) = 1 2.5 3\n"
              "Read 'Box'(obj) = 0 1 2 3 4 5\n"
              "Read 'Res'(obj) = 6\n"
              "Read 'Icp'(obj) = 4\n");
}

TEST(IniPlainReadersTest, StringIntDoubleBool) {
    TempDir temp;
    const std::string file = temp.File("plain.ini");
    WriteWholeFile(file,
                   "[S]\nText=abc\nEmpty=\nInt= -17x\nNoInt=abc\nBig=99999999999\nDouble=2.5e-1z\n"
                   "True=tRuE\nFalse=false\nOne=1\nZero=0\nTwo=2\nWord=yes\n");

    std::string text = "default";
    EXPECT_TRUE(ReadStringFromINI(file, "S", "Empty", text, false));
    EXPECT_EQ(text, "");
    text = "default";
    EXPECT_FALSE(ReadStringFromINI(file, "S", "Missing", text, false));
    EXPECT_EQ(text, "default");

    struct IntCase {
        const char* key;
        bool found;
        int expected;
    };
    const IntCase ints[] = {{"Int", true, -17},       {"NoInt", true, 0},      {"Big", true, 2147483647},
                            {"Empty", false, 55},     {"Missing", false, 55}};
    for (const IntCase& c : ints) {
        int value = 55;
        EXPECT_EQ(ReadIntFromINI(file, "S", c.key, value, false), c.found) << c.key;
        EXPECT_EQ(value, c.expected) << c.key;
    }
    double d = 0;
    EXPECT_TRUE(ReadDoubleFromINI(file, "S", "Double", d, false));
    EXPECT_EQ(d, 0.25);
    d = 3;
    EXPECT_FALSE(ReadDoubleFromINI(file, "S", "Empty", d, false));
    EXPECT_EQ(d, 3);

    struct BoolCase {
        const char* key;
        bool found;
        bool expected;
    };
    const BoolCase bools[] = {{"True", true, true}, {"False", true, false}, {"One", true, true},
                              {"Zero", true, false}, {"Word", true, false}};
    for (const BoolCase& c : bools) {
        bool value = !c.expected;
        EXPECT_EQ(ReadBoolFromINI(file, "S", c.key, value, false), c.found) << c.key;
        EXPECT_EQ(value, c.expected) << c.key;
    }
    bool untouched = true;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadBoolFromINI(file, "S", "Two", untouched, false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "INI parameter 'Two' expected boolean type, got '2'\n");
    EXPECT_TRUE(untouched);

    testing::internal::CaptureStdout();
    int i = 0;
    bool b = false;
    ReadStringFromINI(file, "S", "Text", text, true);
    ReadIntFromINI(file, "S", "Int", i, true);
    ReadDoubleFromINI(file, "S", "Double", d, true);
    ReadBoolFromINI(file, "S", "True", b, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Read 'Text'(str) = abc\nRead 'Int'(int) = -17\nRead 'Double'(double) = 0.25\n"
              "Read 'True'(bool) = 1\n");
}

TEST(IniKeyRuleTest, MemberNamesToKeys) {
    struct Case {
        const char* name;
        const char* stripped;
        const char* key;
    };
    const Case cases[] = {
        {"elbowStateHysteresisDeg", "elbowStateHysteresisDeg", "ElbowStateHysteresisDeg"},
        {"multiResContainer.dilatedRes", "dilatedRes", "DilatedRes"},
        {"m_SSE", "SSE", "SSE"},
        {"s_fScale", "fScale", "FScale"},
        {"TorsoFitting::m_nMax", "nMax", "NMax"},
        {"a::b.c::d.m_e", "e", "E"},
        {"M_x", "M_x", "M_x"},
        {"x_y", "x_y", "X_y"},
        {"m_", "", ""},
        {"q", "q", "Q"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StrippedScope(c.name), c.stripped) << c.name;
        EXPECT_EQ(UppercaseFirstLetter(StrippedScope(c.name)), c.key) << c.name;
    }
    // A class that applies only the upper-casing keeps the prefix.
    EXPECT_EQ(UppercaseFirstLetter("m_nMaxIterations"), "M_nMaxIterations");
}

}  // namespace
