#include "HandAnalysis/DUZFittedTrajectory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ParabolaSpaceTimeTest, RootsAsTimesFromTheBase) {
    const SensorTime base(5000000);
    struct Case {
        float a, b, c, value, offset;
        int count;
        int64_t first, second;  // microseconds from the base
    };
    const Case cases[] = {
        {0, 0, 3, 3, 0, -1, 0, 0},                  // the constant itself: every time
        {0, 0, 3, 4, 0, 0, 0, 0},                   // another constant: none
        {1, 0, 0, 1, 0, 2, -1000000, 1000000},      // c - value = -1
        {1, 0, 0, 1, 0.5f, 2, -500000, 1500000},    // the offset shifts both
        {1, 0, 1, 0, 0, 0, 0, 0},                   // minimum above the value
        {1, -2, 1, 0, 0, 1, 1000000, 0},            // touching at the vertex
        {0, 4, 0, 2, 0, 1, 500000, 0},              // a line
        {-2, 0, 8, 0, 0, 2, -2000000, 2000000},
        {1, 5, 6, 0, 0, 2, -3000000, -2000000},     // b > 0: the other branch of q
    };
    for (const Case& c : cases) {
        ParabolaSpaceTime parabola(base, c.a, c.b, c.c);
        parabola.m_parabola.m_x0 = c.offset;
        SensorTime first(-1);
        SensorTime second(-1);
        const int count = parabola.FindRoots(first, second, c.value);
        EXPECT_EQ(c.count, count) << c.a << " " << c.b << " " << c.c << " " << c.value;
        if (count >= 1) {
            EXPECT_EQ(base + c.first, first);
        }
        if (count == 2) {
            EXPECT_EQ(base + c.second, second);
        } else {
            EXPECT_EQ(SensorTime(-1), second);  // not written
        }
    }
}

TEST(ParabolaSpaceTimeTest, ValueIntegralAndVertex) {
    // z = -300 u^2 + 120 u + 1500 from 2 s: vertex at 0.2 s, 1512 mm.
    const ParabolaSpaceTime parabola(SensorTime(2000000), -300.0f, 120.0f, 1500.0f);
    EXPECT_FLOAT_EQ(1500.0f, parabola.Evaluate(SensorTime(2000000)));
    EXPECT_FLOAT_EQ(-300.0f + 120.0f + 1500.0f, parabola.Evaluate(SensorTime(3000000)));
    EXPECT_TRUE(parabola.HasVertex());
    EXPECT_FLOAT_EQ(0.2f, parabola.VertexSeconds());
    EXPECT_EQ(SensorTime(2200000), parabola.VertexTime());
    EXPECT_FLOAT_EQ(1512.0f, parabola.VertexValue());
    EXPECT_FLOAT_EQ(-100.0f + 60.0f + 1500.0f, parabola.Integrate(SensorTime(2000000), SensorTime(3000000)));
    EXPECT_FALSE(ParabolaSpaceTime(SensorTime(0), 0.0f, 1.0f, 0.0f).HasVertex());
}

}  // namespace
