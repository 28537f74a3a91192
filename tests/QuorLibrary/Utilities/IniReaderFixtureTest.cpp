// The cached reader on one settings file, written with each kind of line end.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuorLibrary/Utilities/SimpleINI.h"
#include "TempDir.h"

namespace {

using vela_test::TempDir;
using vela_test::WriteWholeFile;

const std::string kKey2048(2048, 'K');
const std::string kKey2049(2049, 'L');
const std::string kSection2048(2048, 'S');
const std::string kSection2049(2049, 'T');
const std::string kValue3000 = std::string(2048, 'v') + std::string(952, 'w');

std::string FixtureText(const std::string& eol) {
    const std::vector<std::string> lines = {
        "Orphan=1",
        "; a comment",
        "   # an indented comment",
        "  [General]",
        "IntValue=42",
        "",
        "",
        "IntTrailing=17 apples",
        "IntNone=apples",
        "Unsigned=-1",
        "ShortBig=70000",
        "\tFloatValue=2.5e1",
        "DoubleValue=  -0.125",
        "BoolOne=1",
        "BoolZero=0",
        "BoolTwo=2",
        "BoolWord=true",
        "Text=  hello ; not a comment  \t",
        "Hash=#5",
        "Vector=1 2 3",
        "VectorFloat=1.5 -2.5 3.25",
        "VectorTwo=7 8",
        "Box=-1 1 -2 2 -3 3",
        "ResLower=vga",
        "ResUpper=WXGA720C",
        "ResMixed=qQqQvGa",
        "ResNumber=4",
        "ResInvalid=INVALID",
        "IcpLower=free_bend",
        "IcpUpper=TWIST_ONLY",
        "IcpInvalid=INVALID",
        "IcpTwoWords=bend_only full_rotation",
        "SSE=1",
        "DilatedRes=QQVGA",
        "Spaced =5",
        "Blanks=   ",
        "Empty=",
        kKey2048 + "=at limit",
        kKey2049 + "=past limit",
        "LongValue=" + kValue3000,
        "[Unclosed",
        "AfterUnclosed=3",
        "[Other] AfterHeader=4",
        "AfterHeader=5",
        "[General]",
        "OnlyInSecond=6",
        "IntValue=99",
        "[" + kSection2048 + "]",
        "Inside=7",
        "[Limits]",
        "Before=8",
        "[" + kSection2049 + "]",
        "After=9",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line + eol;
    }
    return text;
}

class IniFixtureTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_file = m_temp.File("Feature Extraction.ini");
        WriteWholeFile(m_file, FixtureText(GetParam()));
    }

    template <typename T>
    bool Read(const std::string& key, T& target, const std::string& section = "General") {
        return ReadFromINI(m_file, section, key, target, false);
    }

    TempDir m_temp;
    std::string m_file;
};

TEST_P(IniFixtureTest, Numbers) {
    struct Case {
        const char* key;
        bool found;
        int expected;
    };
    const Case cases[] = {
        {"IntValue", true, 42},      // the first block's value, not the repeat's 99
        {"IntTrailing", true, 17},   // text after the number is ignored
        {"IntNone", true, 0},        // no number reads 0
        {"Blanks", true, -3},        // only blanks: unchanged
        {"Empty", false, -3},        // empty: unchanged
        {"Missing", false, -3},      // compiled default survives
        {"Spaced", false, -3},       // the key is "Spaced "
        {"intvalue", false, -3},     // keys match in case
        {"Orphan", false, -3},       // before the first section
        {"OnlyInSecond", false, -3}, // second block never searched
        {"AfterUnclosed", true, 3},  // "[" without "]" does not end the section
        {"AfterHeader", false, -3},  // text after "]" is not an entry
    };
    for (const Case& c : cases) {
        int value = -3;
        EXPECT_EQ(Read(c.key, value), c.found) << c.key;
        EXPECT_EQ(value, c.expected) << c.key;
    }
    int value = -3;
    EXPECT_FALSE(Read("IntValue", value, "general"));
    EXPECT_TRUE(Read("AfterHeader", value, "Other"));
    EXPECT_EQ(value, 5);

    unsigned int wrapped = 0;
    EXPECT_TRUE(Read("Unsigned", wrapped));
    EXPECT_EQ(wrapped, 4294967295u);
    short saturated = 0;
    EXPECT_TRUE(Read("ShortBig", saturated));
    EXPECT_EQ(saturated, 32767);
    float f = 0;
    EXPECT_TRUE(Read("FloatValue", f));
    EXPECT_EQ(f, 25.0f);
    double d = 0;
    EXPECT_TRUE(Read("DoubleValue", d));  // leading blanks belong to the value
    EXPECT_EQ(d, -0.125);
    double blanks = 1.5;
    EXPECT_TRUE(Read("Blanks", blanks));
    EXPECT_EQ(blanks, 1.5);
    int hash = -3;
    EXPECT_TRUE(Read("Hash", hash));  // "#" after "=" is the value, not a comment
    EXPECT_EQ(hash, 0);
}

TEST_P(IniFixtureTest, Bools) {
    struct Case {
        const char* key;
        bool expected;
    };
    const Case cases[] = {{"BoolOne", true}, {"BoolZero", false}, {"BoolTwo", true}, {"BoolWord", false}};
    for (const Case& c : cases) {
        bool value = !c.expected;
        EXPECT_TRUE(Read(c.key, value)) << c.key;
        EXPECT_EQ(value, c.expected) << c.key;
    }
}

TEST_P(IniFixtureTest, Texts) {
    std::string text = "default";
    EXPECT_TRUE(Read("Text", text));
    EXPECT_EQ(text, "  hello ; not a comment");
    EXPECT_TRUE(Read("Blanks", text));
    EXPECT_EQ(text, "   ");
    EXPECT_FALSE(Read("Empty", text));
    EXPECT_EQ(text, "");
    text = "default";
    EXPECT_FALSE(Read("Missing", text));
    EXPECT_EQ(text, "default");

    EXPECT_TRUE(Read(kKey2048, text));
    EXPECT_EQ(text, "at limit");
    EXPECT_FALSE(Read(kKey2049, text));
    EXPECT_TRUE(Read("LongValue", text));
    EXPECT_EQ(text, kValue3000.substr(0, 2048));

    int inside = 0;
    EXPECT_TRUE(Read("Inside", inside, kSection2048));
    EXPECT_EQ(inside, 7);
    // The over-long header is ignored: it neither opens nor ends a section.
    EXPECT_FALSE(Read("After", inside, kSection2049));
    EXPECT_TRUE(Read("After", inside, "Limits"));
    EXPECT_EQ(inside, 9);
}

TEST_P(IniFixtureTest, VectorsAndBoxes) {
    Vector3D<int> vi;
    EXPECT_TRUE(Read("Vector", vi));
    EXPECT_EQ(vi, Vector3D<int>(1, 2, 3));
    Vector3D<double> vd;
    EXPECT_TRUE(Read("Vector", vd));
    EXPECT_EQ(vd, Vector3D<double>(1, 2, 3));
    Vector3D<float> vf(0, 0, 9);
    EXPECT_TRUE(Read("VectorFloat", vf));
    EXPECT_EQ(vf, Vector3D<float>(1.5f, -2.5f, 3.25f));
    vf = Vector3D<float>(0, 0, 9);
    EXPECT_TRUE(Read("VectorTwo", vf));
    EXPECT_EQ(vf, Vector3D<float>(7, 8, 9));

    Box3D<float> box;
    EXPECT_TRUE(Read("Box", box));
    EXPECT_EQ(box.min, Vector3D<float>(-1, -2, -3));
    EXPECT_EQ(box.max, Vector3D<float>(1, 2, 3));
}

TEST_P(IniFixtureTest, NamedEnumerations) {
    struct ResolutionCase {
        const char* key;
        Resolution expected;
    };
    const ResolutionCase resolutions[] = {
        {"ResLower", VGA}, {"ResUpper", WXGA720c}, {"ResMixed", QQQQVGA},
        {"ResNumber", QVGA}, {"ResInvalid", QVGA},  // no match: unchanged
    };
    for (const ResolutionCase& c : resolutions) {
        Resolution value = QVGA;
        EXPECT_TRUE(Read(c.key, value)) << c.key;
        EXPECT_EQ(value, c.expected) << c.key;
    }
    struct IcpCase {
        const char* key;
        ICPType expected;
    };
    const IcpCase types[] = {
        {"IcpLower", ICPType::FREE_BEND},
        {"IcpUpper", ICPType::TWIST_ONLY},
        {"IcpInvalid", ICPType::FULL_TRANSFORMATION},
        {"IcpTwoWords", ICPType::BEND_ONLY},  // only the first word counts
    };
    for (const IcpCase& c : types) {
        ICPType value = ICPType::FULL_TRANSFORMATION;
        EXPECT_TRUE(Read(c.key, value)) << c.key;
        EXPECT_EQ(value, c.expected) << c.key;
    }
}

TEST_P(IniFixtureTest, MemberNamesGiveKeys) {
    struct Container {
        Resolution dilatedRes = VGA;
    } multiResContainer;
    bool m_SSE = false;
    EXPECT_TRUE(VELA_READ_FROM_INI(m_file, "General", m_SSE, false));
    EXPECT_TRUE(m_SSE);
    EXPECT_TRUE(VELA_READ_FROM_INI(m_file, "General", multiResContainer.dilatedRes, false));
    EXPECT_EQ(multiResContainer.dilatedRes, QQVGA);
}

TEST_P(IniFixtureTest, CachedTextOutlivesFileChanges) {
    int value = 0;
    ASSERT_TRUE(Read("IntValue", value));
    WriteWholeFile(m_file, "[General]\nIntValue=1\nNewKey=2\n");
    EXPECT_TRUE(Read("IntValue", value));
    EXPECT_EQ(value, 42);
    EXPECT_FALSE(Read("NewKey", value));

    INIFileCache::GetInstance().ClearCache();
    EXPECT_TRUE(Read("IntValue", value));
    EXPECT_EQ(value, 1);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, IniFixtureTest, ::testing::Values("\n", "\r\n", "\r"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param) == "\n" ? "LF"
                                    : std::string(info.param) == "\r" ? "CR"
                                                                       : "CRLF";
                         });

}  // namespace
