#include <gtest/gtest.h>

#include "QuorLibrary/Utilities/FatalError.h"

namespace {

TEST(FatalErrorDeathTest, PrintsOneLineAndExitsWithOne) {
    EXPECT_EXIT(FatalError("Func", "file.cpp", 12, nullptr), testing::ExitedWithCode(1), "^FATAL ERROR\n$");
    EXPECT_EXIT(FatalError("Func", "file.cpp", 12, "Unknown downscale mode"), testing::ExitedWithCode(1),
                "^FATAL ERROR: Unknown downscale mode\n$");
}

TEST(FatalErrorDeathTest, NotImplementedNamesTheCaller) {
    EXPECT_EXIT(NotImplemented("MyCopyFile", "QuorLibrary/Utilities/FileUtilities", 11), testing::ExitedWithCode(1),
                "^NOT IMPLEMENTED: function 'MyCopyFile' file 'QuorLibrary/Utilities/FileUtilities' line 11\n$");
}

TEST(FatalErrorDeathTest, DebuggableExitKeepsTheStatus) {
    EXPECT_EXIT(DebuggableExit(0), testing::ExitedWithCode(0), "^$");
    EXPECT_EXIT(DebuggableExit(3), testing::ExitedWithCode(3), "^$");
}

}  // namespace
