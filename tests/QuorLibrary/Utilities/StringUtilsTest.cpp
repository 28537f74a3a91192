#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "QuorLibrary/Utilities/RunningMode.h"
#include "QuorLibrary/Utilities/StringUtils.h"

namespace {

TEST(StringUtils, FormatsAndCutsAt2047Bytes) {
    EXPECT_EQ("COL12", StringSprintf("COL%d", 12));
    const std::string exact(2047, 'a');
    EXPECT_EQ(exact, StringSprintf("%s", exact.c_str()));
    EXPECT_EQ(exact, StringSprintf("%sb", exact.c_str()));
    EXPECT_EQ(exact, StringSprintf("%s%s", exact.c_str(), exact.c_str()));
    EXPECT_EQ("", StringSprintf("%s", ""));
}

TEST(StringUtils, FormattingOnTwoThreadsDoesNotMix) {
    std::string results[2];
    std::thread threads[2];
    for (int t = 0; t < 2; ++t) {
        threads[t] = std::thread([t, &results] {
            const std::string expected(1500, t == 0 ? 'x' : 'y');
            for (int i = 0; i < 2000; ++i) {
                std::string got = StringSprintf("%s", expected.c_str());
                if (got != expected) {
                    results[t] = got;
                    return;
                }
            }
            results[t] = "ok";
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ("ok", results[0]);
    EXPECT_EQ("ok", results[1]);
}

TEST(StringUtils, UppercaseChangesOnlyAsciiLetters) {
    EXPECT_EQ("ABC 123 XYZ", Uppercase("abc 123 xYz"));
    const std::string high = "\xe4\xf6\xfc\xe9 \x80";
    EXPECT_EQ(high, Uppercase(high));
    EXPECT_EQ("", Uppercase(""));
}

TEST(RunningMode, MinusOneMeansForeverOnlyWithAMode) {
    struct Case {
        int32_t mode, count, stored;
    } cases[] = {{0, -1, -1}, {2, -1, 1000000000}, {0, 5, 5}, {2, 5, 5}};
    for (const Case& c : cases) {
        RunningMode mode;
        mode.Set(c.mode, c.count, 42);
        EXPECT_EQ(c.mode, mode.m_mode);
        EXPECT_EQ(42, mode.m_value);
        EXPECT_EQ(c.stored, mode.m_count) << c.mode << " " << c.count;
    }
}

}  // namespace
