#include "QuorLibrary/SensorUtilities/Resolution.h"

#include <gtest/gtest.h>

namespace {

TEST(ResolutionTest, SizeTablesAndSizeLookup) {
    const int widths[] = {40, 80, 160, 320, 640, 1280, 1280};
    const int heights[] = {30, 60, 120, 240, 480, 720, 1024};
    for (int r = QQQQVGA; r <= SXGA; ++r) {
        EXPECT_EQ(widths[r], g_nXRes[r]);
        EXPECT_EQ(heights[r], g_nYRes[r]);
        EXPECT_EQ(static_cast<Resolution>(r), GetResolution(widths[r], heights[r]));
    }
    EXPECT_EQ(INVALID, GetResolution(100, 100));
    EXPECT_EQ(INVALID, GetResolution(320, 241));
    EXPECT_EQ(INVALID, GetResolution(240, 320));
    EXPECT_EQ(INVALID, GetResolution(0, 0));
}

TEST(ResolutionTest, Names) {
    const char* const names[] = {"QQQQVGA", "QQQVGA", "QQVGA", "QVGA", "VGA", "WXGA720c", "SXGA", "INVALID"};
    for (int r = 0; r <= 7; ++r) {
        EXPECT_EQ(names[r], ToString(static_cast<Resolution>(r)));
    }
    EXPECT_EQ("INVALID_ENUM", ToString(static_cast<Resolution>(8)));
    EXPECT_EQ("INVALID_ENUM", ToString(static_cast<Resolution>(-1)));
}

TEST(ResolutionTest, OnlyTheSizedValuesAreValid) {
    EXPECT_TRUE(IsValidResolution(QQQQVGA));
    EXPECT_TRUE(IsValidResolution(SXGA));
    EXPECT_FALSE(IsValidResolution(INVALID));
    EXPECT_FALSE(IsValidResolution(static_cast<Resolution>(-1)));
}

}  // namespace
