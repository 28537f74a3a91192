// The hand side's resolution levels: sizes, names, the lookup by size, and a
// type of their own.

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "NACommon/NAResolution.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"

namespace {

static_assert(!std::is_convertible<Resolution, NAResolution>::value, "a Resolution cannot pass for an NAResolution");
static_assert(!std::is_convertible<NAResolution, Resolution>::value, "nor the other way round");
static_assert(!std::is_convertible<NAResolution, int>::value, "levels are not plain numbers");

TEST(NAResolution, LevelsSizesAndNames) {
    struct Case {
        NAResolution level;
        int value, width, height;
        const char* name;
    };
    for (const Case& c : {Case{NAResolution::QQQVGA, 0, 80, 60, "QQQVGA"}, Case{NAResolution::QQVGA, 1, 160, 120, "QQVGA"},
                          Case{NAResolution::QVGA, 2, 320, 240, "QVGA"}, Case{NAResolution::VGA, 3, 640, 480, "VGA"},
                          Case{NAResolution::SXGA, 4, 1280, 1024, "SXGA"}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value, NAResolutionIndex(c.level));
        EXPECT_EQ(c.level, NAResolutionOfIndex(c.value));
        EXPECT_EQ(c.width, NAResolutionWidth(c.level));
        EXPECT_EQ(c.height, NAResolutionHeight(c.level));
        EXPECT_EQ(std::string(c.name), NAResolutionName(c.level));
        EXPECT_EQ(c.level, NAResolutionOfSize(c.width, c.height));
        EXPECT_TRUE(IsSizedNAResolution(c.level));
    }
    EXPECT_EQ(6, NAResolutionIndex(NAResolution::NoMatch));
    EXPECT_FALSE(IsSizedNAResolution(NAResolution::NoMatch));
    EXPECT_EQ(NAResolution::NoMatch, NAResolutionOfIndex(5));
    EXPECT_EQ(NAResolution::NoMatch, NAResolutionOfIndex(-1));
}

TEST(NAResolution, ASizeOfNoLevelMatchesNothing) {
    // Both sides must match; sizes of the system's other resolutions are no level.
    for (const auto& size : {std::make_pair(1280, 720), std::make_pair(40, 30), std::make_pair(320, 480),
                             std::make_pair(640, 240), std::make_pair(0, 0)}) {
        EXPECT_EQ(NAResolution::NoMatch, NAResolutionOfSize(size.first, size.second)) << size.first << "x" << size.second;
    }
}

TEST(NAResolutionDeathTest, NoMatchHasNoSize) {
    EXPECT_EXIT(NAResolutionWidth(NAResolution::NoMatch), testing::ExitedWithCode(1), "FATAL ERROR");
    EXPECT_EXIT(NAResolutionName(static_cast<NAResolution>(5)), testing::ExitedWithCode(1), "FATAL ERROR");
}

}  // namespace
