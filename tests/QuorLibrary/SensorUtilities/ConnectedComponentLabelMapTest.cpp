#include "QuorLibrary/SensorUtilities/LabelMapAccessors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr XnUInt16 kOutside = 500;

// Label x + 10 * y at column x, row y.
void Fill(xn::SceneMetaData& labels, int width, int height) {
    ASSERT_EQ(XN_STATUS_OK, labels.AllocateData(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            labels.WritableLabelMap()(x, y) = static_cast<XnLabel>(x + 10 * y);
        }
    }
}

TEST(ConnectedComponentLabelMapTest, ClampedLabelTruncatesTowardsZero) {
    xn::SceneMetaData labels;
    Fill(labels, 4, 5);
    struct Case {
        float x;
        float y;
        XnUInt16 label;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {-0.5f, 3.2f, 30},     {3.99f, 4.99f, 43},        {-1.0f, 3.0f, kOutside}, {4.0f, 0.0f, kOutside},
        {0.0f, 5.0f, kOutside}, {0.0f, -0.99f, 0},        {nan, 1.0f, kOutside},   {1.0f, nan, kOutside},
        {1e30f, 1.0f, kOutside}, {-1e30f, 1.0f, kOutside},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.label, GetClampedLabel(labels, Vector2D<float>(c.x, c.y), kOutside)) << c.x << "," << c.y;
    }
    EXPECT_EQ(21, GetClampedLabel(labels, Vector2D<int>(1, 2), kOutside));
    EXPECT_EQ(kOutside, GetClampedLabel(xn::SceneMetaData(), Vector2D<float>(0.0f, 0.0f), kOutside));
}

TEST(ConnectedComponentLabelMapTest, UpscaledLabelChoosesByDepthOnCoarserMaps) {
    xn::SceneMetaData labels;
    Fill(labels, 4, 3);
    xn::DepthMetaData depth;
    ASSERT_EQ(XN_STATUS_OK, depth.AllocateData(4, 3));
    std::fill(depth.WritableData(), depth.WritableData() + 12, 1000);
    // Same width: the plain label.
    EXPECT_EQ(12, GetClampedUpscaledLabel(labels, depth, Vector2D<float>(2.7f, 1.2f), kOutside));

    // A coarse map of one label under a depth map twice as wide: labelled
    // within 100 millimetres of the corners' depth.
    ASSERT_EQ(XN_STATUS_OK, labels.AllocateData(2, 2));
    std::fill(labels.WritableData(), labels.WritableData() + 4, 7);
    ASSERT_EQ(XN_STATUS_OK, depth.AllocateData(4, 4));
    std::fill(depth.WritableData(), depth.WritableData() + 16, 1000);
    depth.WritableDepthMap()(1, 1) = 1099;
    EXPECT_EQ(7, GetClampedUpscaledLabel(labels, depth, Vector2D<float>(1.9f, 1.5f), kOutside));
    depth.WritableDepthMap()(1, 1) = 1100;
    EXPECT_EQ(kOutside, GetClampedUpscaledLabel(labels, depth, Vector2D<float>(1.9f, 1.5f), kOutside));
    EXPECT_EQ(kOutside, GetClampedUpscaledLabel(labels, depth, Vector2D<float>(4.0f, 0.0f), kOutside));
    EXPECT_EQ(kOutside, GetClampedUpscaledLabel(labels, depth, Vector2D<float>(NAN, 0.0f), kOutside));
    EXPECT_EQ(7, GetClampedUpscaledLabel(labels, depth, Vector2D<float>(-0.5f, 0.0f), kOutside));
}

}  // namespace
