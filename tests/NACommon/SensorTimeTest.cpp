#include "NACommon/SensorTime.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(SensorTimeTest, SpansInSecondsAndTimesFromSeconds) {
    EXPECT_FLOAT_EQ(1.5f, SensorTime(2500000).SecondsSince(SensorTime(1000000)));
    EXPECT_FLOAT_EQ(-0.033333f, SensorTime(0).SecondsSince(SensorTime(33333)));
    // Seconds x 1e6 in single precision, truncated toward zero: 0.15 s
    // accumulated from 0.03 steps is 149999 us, 0.033 s is 33000 us.
    float u = 0.0f;
    for (int i = 0; i < 5; ++i) {
        u += 0.03f;
    }
    EXPECT_EQ(SensorTime(1149999), SensorTime(1000000).PlusSeconds(u));
    EXPECT_EQ(SensorTime(33000), SensorTime(0).PlusSeconds(0.033f));
    EXPECT_EQ(SensorTime(-1000000), SensorTime(0).PlusSeconds(-1.0f));
    // Beyond the 64-bit range: saturated, not wrapped; not a number adds nothing.
    EXPECT_EQ(SensorTime::InvalidTime(), SensorTime(5).PlusSeconds(1e30f));
    EXPECT_EQ(SensorTime(INT64_MIN), SensorTime(-5).PlusSeconds(-1e30f));
    EXPECT_EQ(SensorTime::InvalidTime(), SensorTime(INT64_MAX - 10).PlusSeconds(1.0f));
    EXPECT_EQ(SensorTime(7), SensorTime(7).PlusSeconds(0.0f / 0.0f));
    EXPECT_GT(SensorTime::InvalidTime().SecondsSince(SensorTime(-1000)), 9e12f);
}

}  // namespace
