#include <gtest/gtest.h>

// Death tests run while other threads (loggers, test threads) may exist, so
// the child re-executes the test binary instead of forking a copy of them.
int main(int argc, char** argv) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
