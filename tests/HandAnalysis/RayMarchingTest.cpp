// The digital ray iterator: the pixels of a line in both directions, the
// choice of the major axis, a line of length 0, the step count cut by the
// bounds, and seeking.

#include <gtest/gtest.h>

#include <vector>

#include "HandAnalysis/RayMarching.h"

namespace {

std::vector<Vector2D<int>> Pixels(RayMarching walk, int steps) {
    std::vector<Vector2D<int>> pixels;
    for (int i = 0; i <= steps; ++i, ++walk) {
        pixels.push_back(walk.Current());
    }
    return pixels;
}

TEST(RayMarchingIterator, ALineVisitsItsNearestPixelsInBothDirections) {
    const Box2D<int> bounds(0, 0, 100, 100);
    const RayMarching forward(Vector2D<float>(0, 0), Vector2D<float>(10, 4), bounds);
    EXPECT_EQ(0, forward.m_majorAxis);
    EXPECT_FLOAT_EQ(0.4f, forward.m_slope);
    EXPECT_EQ(1, forward.m_step);
    EXPECT_EQ(10, forward.StepCount());
    const std::vector<Vector2D<int>> expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2},
                                                 {6, 2}, {7, 3}, {8, 3}, {9, 4}, {10, 4}};
    EXPECT_EQ(expected, Pixels(forward, 10));

    const RayMarching backward(Vector2D<float>(10, 4), Vector2D<float>(0, 0), bounds);
    EXPECT_EQ(-1, backward.m_step);
    const std::vector<Vector2D<int>> reversed(expected.rbegin(), expected.rend());
    EXPECT_EQ(reversed, Pixels(backward, 10));

    // Postfix steps return the state before; n steps at once land where n
    // single steps do.
    RayMarching walk = forward;
    EXPECT_EQ(Vector2D<int>(0, 0), (walk++).Current());
    walk += 3;
    EXPECT_EQ(Vector2D<int>(4, 2), walk.Current());
    walk -= 2;
    EXPECT_EQ(Vector2D<int>(2, 1), walk.Current());
    EXPECT_EQ(Vector2D<int>(2, 1), (walk--).Current());
    EXPECT_EQ(Vector2D<int>(1, 0), walk.Current());
    walk.Seek(7);
    EXPECT_EQ(Vector2D<int>(7, 3), walk.Current());
    EXPECT_FLOAT_EQ(0.7f, walk.GetCurrentPercentLoc());
    EXPECT_FLOAT_EQ(2.8f, walk.GetCurrentAccurateLoc().y);
}

TEST(RayMarchingIterator, MajorAxisLengthZeroAndBounds) {
    // Equal axes: y is the major axis.
    const RayMarching diagonal(Vector2D<float>(0, 0), Vector2D<float>(5, 5), Box2D<int>(0, 0, 100, 100));
    EXPECT_EQ(1, diagonal.m_majorAxis);
    EXPECT_EQ(5, diagonal.StepCount());
    // Length 0: along +x without slope.
    const RayMarching point(Vector2D<float>(3, 3), Vector2D<float>(3, 3), Box2D<int>(0, 0, 10, 10));
    EXPECT_EQ(0, point.m_majorAxis);
    EXPECT_EQ(0.0f, point.m_slope);
    EXPECT_EQ(0, point.StepCount());
    EXPECT_EQ(Vector2D<int>(4, 3), (++RayMarching(point)).Current());
    // Bounds narrower than the line cut it at the last pixel inside: along
    // the major axis, and where the minor coordinate leaves.
    EXPECT_EQ(6, RayMarching(Vector2D<float>(0, 0), Vector2D<float>(10, 4), Box2D<int>(0, 0, 6, 100)).StepCount());
    EXPECT_EQ(7, RayMarching(Vector2D<float>(0, 0), Vector2D<float>(10, 4), Box2D<int>(0, 0, 100, 3)).StepCount());
    // A start outside: a two-point walk steps in, an open one cannot start.
    const RayMarching entering(Vector2D<float>(-3, 0), Vector2D<float>(10, 0), Box2D<int>(0, 0, 100, 100));
    EXPECT_EQ(Vector2D<int>(0, 0), entering.Current());
    EXPECT_EQ(10, entering.StepCount());
    EXPECT_EQ(-2, RayMarching(Vector2D<float>(-3, 0), Vector2D<float>(1, 0), 13.0f, Box2D<int>(0, 0, 100, 100))
                      .StepCount());
    // Empty bounds: the line's own length, unbounded from a million steps.
    EXPECT_EQ(10, RayMarching(Vector2D<float>(0, 0), Vector2D<float>(10, 4), Box2D<int>()).StepCount());
    EXPECT_EQ(-1, RayMarching(Vector2D<float>(0, 0), Vector2D<float>(1, 0), 2e6f, Box2D<int>()).StepCount());
}

TEST(RayMarchingIterator, SeekFindsTheNearestPositionAlsoOnAnUnboundedWalk) {
    RayMarching bounded(Vector2D<float>(0, 0), Vector2D<float>(10, 4), Box2D<int>(0, 0, 100, 100));
    bounded.Seek(Vector2D<float>(6.2f, 6.0f));
    EXPECT_EQ(Vector2D<int>(7, 3), bounded.Current());
    // Beyond the end: the last position of the walk.
    bounded.Seek(Vector2D<float>(50.0f, 20.0f));
    EXPECT_EQ(Vector2D<int>(10, 4), bounded.Current());

    RayMarching unbounded(Vector2D<float>(0, 0), Vector2D<float>(1, 0), 2e6f, Box2D<int>());
    ASSERT_EQ(-1, unbounded.StepCount());
    unbounded.Seek(Vector2D<float>(12345.4f, 7.0f));
    EXPECT_EQ(Vector2D<int>(12345, 0), unbounded.Current());
    // Behind the start: the start.
    unbounded.Seek(Vector2D<float>(-50.0f, 0.0f));
    EXPECT_EQ(Vector2D<int>(0, 0), unbounded.Current());
}

}  // namespace
