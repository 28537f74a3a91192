// The per-pixel path: numbering, neighbourhoods, masks, windows, element
// types, and the inputs it must refuse.

#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "ConnectedComponentTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace {

using cc_test::Labels;
using cc_test::Read;

template <typename T>
Labels LabelWhole(ConnectedComponentDetector& detector, const std::vector<T>& image, int width, int height,
                  int threshold, bool expectOk = true) {
    xn::SceneMetaData map;
    EXPECT_EQ(expectOk, detector.Run(image.data(), nullptr, nullptr, width, height, map, threshold));
    return Read(map);
}

TEST(ConnectedComponentDetectorTest, EmptyImageAndSinglePixel) {
    ConnectedComponentDetector detector;
    EXPECT_EQ(Labels(20, 0), LabelWhole(detector, std::vector<uint16_t>(20, 0), 5, 4, 10));
    EXPECT_EQ(1, detector.LabelCount());

    std::vector<uint16_t> image(20, 0);
    image[13] = 700;
    Labels expected(20, 0);
    expected[13] = 1;
    EXPECT_EQ(expected, LabelWhole(detector, image, 5, 4, 10));
    EXPECT_EQ(2, detector.LabelCount());
}

TEST(ConnectedComponentDetectorTest, ADifferenceEqualToTheThresholdJoins) {
    ConnectedComponentDetector detector;
    const std::vector<uint16_t> image = {100, 130};
    EXPECT_EQ((Labels{1, 1}), LabelWhole(detector, image, 2, 1, 30));
    EXPECT_EQ(2, detector.LabelCount());
    EXPECT_EQ((Labels{1, 2}), LabelWhole(detector, image, 2, 1, 29));
    EXPECT_EQ(3, detector.LabelCount());
}

// The arms of the U are two provisional regions until the bottom row; the
// region right of it is numbered without a gap.
TEST(ConnectedComponentDetectorTest, AUShapeGetsTheNumberOfItsFirstArm) {
    const std::vector<uint16_t> image = {
        0, 9, 0, 9, 0, 9,  //
        0, 9, 0, 9, 0, 9,  //
        0, 9, 9, 9, 0, 0,  //
        7, 0, 0, 0, 0, 0,  //
    };
    const Labels expected = {
        0, 1, 0, 1, 0, 2,  //
        0, 1, 0, 1, 0, 2,  //
        0, 1, 1, 1, 0, 0,  //
        3, 0, 0, 0, 0, 0,  //
    };
    for (int mode : {0, 1}) {
        ConnectedComponentDetector detector;
        detector.Mode() = mode;
        EXPECT_EQ(expected, LabelWhole(detector, image, 6, 4, 0)) << mode;
        EXPECT_EQ(4, detector.LabelCount());
    }
}

TEST(ConnectedComponentDetectorTest, DiagonalNeighboursJoinOnlyUnderEightConnectivity) {
    struct Case {
        std::vector<uint16_t> image;
        int width;
        Labels four;
        Labels eight;
    };
    const Case cases[] = {
        // Upper-left and upper-right neighbours.
        {{5, 0, 0, 5}, 2, {1, 0, 0, 2}, {1, 0, 0, 1}},
        {{0, 5, 5, 0}, 2, {0, 1, 2, 0}, {0, 1, 1, 0}},
        // The last pixel of a row joins its left neighbour under both.
        {{0, 5, 5, 0, 0, 0}, 3, {0, 1, 1, 0, 0, 0}, {0, 1, 1, 0, 0, 0}},
        // One column wide: the up-right neighbour does not exist.
        {{5, 0, 5, 5, 0, 5}, 1, {1, 0, 2, 2, 0, 3}, {1, 0, 2, 2, 0, 3}},
    };
    for (const Case& c : cases) {
        const int height = static_cast<int>(c.image.size()) / c.width;
        ConnectedComponentDetector detector;
        EXPECT_EQ(c.four, LabelWhole(detector, c.image, c.width, height, 0));
        detector.Mode() = 1;
        EXPECT_EQ(c.eight, LabelWhole(detector, c.image, c.width, height, 0));
    }
}

TEST(ConnectedComponentDetectorTest, MasksSelectWhichNeighboursMayJoin) {
    const std::vector<uint16_t> image(9, 40);
    bool noLeft[9];
    bool up[9];
    for (int i = 0; i < 9; ++i) {
        noLeft[i] = false;
        up[i] = true;
    }
    ConnectedComponentDetector detector;
    xn::SceneMetaData map;
    ASSERT_TRUE(detector.Run(image.data(), noLeft, up, 3, 3, map, 0));
    EXPECT_EQ((Labels{1, 2, 3, 1, 2, 3, 1, 2, 3}), Read(map));
    EXPECT_EQ(4, detector.LabelCount());

    // With masks the mode is not looked at: diagonals stay apart.
    const std::vector<uint16_t> diagonal = {5, 0, 0, 5};
    bool all[4] = {true, true, true, true};
    detector.Mode() = 1;
    ASSERT_TRUE(detector.Run(diagonal.data(), all, all, 2, 2, map, 0));
    EXPECT_EQ((Labels{1, 0, 0, 2}), Read(map));

    // A single mask is ignored.
    detector.Mode() = 0;
    ASSERT_TRUE(detector.Run(image.data(), noLeft, nullptr, 3, 3, map, 0));
    EXPECT_EQ(Labels(9, 1), Read(map));
}

TEST(ConnectedComponentDetectorTest, WindowsClampToTheImage) {
    std::vector<uint16_t> image(16 * 6, 0);
    for (int x = 0; x < 16; ++x) {
        image[x] = 300;
        image[5 * 16 + x] = static_cast<uint16_t>(900 + x);
    }
    ConnectedComponentDetector detector;
    const Labels whole = LabelWhole(detector, image, 16, 6, 1);
    xn::SceneMetaData map;
    ASSERT_TRUE(detector.Run(image.data(), nullptr, nullptr, 16, 6, Box2D<int>(-5, -5, 40, 40), map, 1));
    EXPECT_EQ(whole, Read(map));
    EXPECT_EQ(3, detector.LabelCount());

    // An inverted window leaves the map as it was, not even resized.
    xn::SceneMetaData other;
    ASSERT_EQ(XN_STATUS_OK, other.AllocateData(3, 2));
    other.WritableData()[4] = 77;
    EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 16, 6, Box2D<int>(13, 0, 2, 5), other, 1));
    EXPECT_EQ(0, detector.LabelCount());
    EXPECT_EQ(3, other.XRes());
    EXPECT_EQ(77, other.Data()[4]);
    // So does a window entirely off the image.
    EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 16, 6, Box2D<int>(0, 6, 15, 9), other, 1));
}

TEST(ConnectedComponentDetectorTest, AWindowLeavesEveryLabelOutsideItAlone) {
    const std::vector<uint16_t> first(8 * 4, 50);
    std::vector<uint16_t> second(8 * 4, 0);
    second[1 * 8 + 3] = 10;
    second[2 * 8 + 4] = 10;
    second[2 * 8 + 3] = 10;
    second[0 * 8 + 3] = 10;  // outside the window
    ConnectedComponentDetector detector;
    xn::SceneMetaData map;
    ASSERT_TRUE(detector.Run(first.data(), nullptr, nullptr, 8, 4, map, 0));
    ASSERT_TRUE(detector.Run(second.data(), nullptr, nullptr, 8, 4, Box2D<int>(2, 1, 5, 2), map, 0));
    Labels expected(32, 1);
    for (int y = 1; y <= 2; ++y) {
        for (int x = 2; x <= 5; ++x) {
            expected[y * 8 + x] = 0;
        }
    }
    expected[1 * 8 + 3] = expected[2 * 8 + 3] = expected[2 * 8 + 4] = 1;
    EXPECT_EQ(expected, Read(map));
    EXPECT_EQ(2, detector.LabelCount());
}

TEST(ConnectedComponentDetectorTest, ValueRangeWindowMakesValuesOutsideTheRangeBackground) {
    const std::vector<uint16_t> image = {600, 1000, 600, 900, 0, 500};
    ConnectedComponentDetector detector;
    xn::SceneMetaData map;
    ASSERT_TRUE(detector.Run(image.data(), nullptr, nullptr, 6, 1,
                             Box3D<int>(Vector3D<int>(0, 0, 500), Vector3D<int>(5, 0, 900)), map, 1000));
    EXPECT_EQ((Labels{1, 0, 2, 2, 0, 3}), Read(map));
    EXPECT_EQ(4, detector.LabelCount());

    // An empty value range is an empty window.
    EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 6, 1,
                              Box3D<int>(Vector3D<int>(0, 0, 900), Vector3D<int>(5, 0, 500)), map, 1000));
    EXPECT_EQ(0, detector.LabelCount());
}

TEST(ConnectedComponentDetectorTest, HybridJoinsWhenEitherImageIsClose) {
    Array2D<unsigned short> first;
    Array2D<unsigned short> second;
    first.SetSize(1, 4, false);
    second.SetSize(1, 4, false);
    const unsigned short a[4] = {1000, 1500, 0, 1500};
    const unsigned short b[4] = {300, 305, 305, 900};
    for (int i = 0; i < 4; ++i) {
        first(0, i) = a[i];
        second(0, i) = b[i];
    }
    ConnectedComponentDetector detector;
    xn::SceneMetaData map;
    // 1000 and 1500 are far apart but their second values are close; the
    // pixel whose first value is 0 stays background.
    ASSERT_TRUE(detector.RunHybrid(first, second, map, 50, 10));
    EXPECT_EQ((Labels{1, 1, 0, 2}), Read(map));
    EXPECT_EQ(3, detector.LabelCount());
    ASSERT_TRUE(detector.RunHybrid(first, second, map, 50, 4));
    EXPECT_EQ((Labels{1, 2, 0, 3}), Read(map));

    // A second image of another size is refused.
    Array2D<unsigned short> small;
    small.SetSize(1, 3, false);
    EXPECT_FALSE(detector.RunHybrid(first, small, map, 50, 10));
    EXPECT_EQ(0, detector.LabelCount());
}

TEST(ConnectedComponentDetectorTest, ElementTypesCompareTheirOwnValues) {
    ConnectedComponentDetector detector;
    EXPECT_EQ((Labels{1, 1, 0, 2}), LabelWhole(detector, std::vector<char>{-5, 5, 0, -100}, 4, 1, 10));
    EXPECT_EQ((Labels{1, 2}), LabelWhole(detector, std::vector<char>{-100, 100}, 2, 1, 10));
    EXPECT_EQ((Labels{1, 1, 2}), LabelWhole(detector, std::vector<unsigned char>{200, 250, 10}, 3, 1, 50));
    EXPECT_EQ((Labels{1, 1, 0, 2}), LabelWhole(detector, std::vector<int>{-70000, -69990, 0, 5}, 4, 1, 10));
    // Values 2^32 - 1 apart must not wrap into neighbours one apart.
    EXPECT_EQ((Labels{1, 2}), LabelWhole(detector, std::vector<int>{INT_MAX, INT_MIN}, 2, 1, 1));
    EXPECT_EQ(3, detector.LabelCount());

    const bool flags[6] = {true, true, false, true, false, true};
    xn::SceneMetaData map;
    ASSERT_TRUE(detector.Run(flags, nullptr, nullptr, 3, 2, map, -5));
    EXPECT_EQ((Labels{1, 1, 0, 1, 0, 2}), Read(map));
    ASSERT_TRUE(detector.Run(flags, nullptr, nullptr, 3, 2, Box2D<int>(1, 0, 2, 1), map, -5));
    EXPECT_EQ(3, detector.LabelCount());
}

// The run-based path reads 16-bit values; other element types stay on the
// per-pixel path, which needs no buffers.
TEST(ConnectedComponentDetectorTest, TheSseFlagLeavesOtherElementTypesOnThePerPixelPath) {
    const std::vector<unsigned char> bytes = {9, 9, 0, 0, 200, 201, 0, 9};
    ConnectedComponentDetector plain;
    ConnectedComponentDetector sse(true);
    const Labels expected = LabelWhole(plain, bytes, 4, 2, 1);
    EXPECT_EQ(expected, LabelWhole(sse, bytes, 4, 2, 1));
    EXPECT_EQ(plain.LabelCount(), sse.LabelCount());
    EXPECT_EQ((Labels{1, 1, 0, 0, 2, 2, 0, 3}), expected);

    const std::vector<int> ints = {1, 0, 1, 1};
    EXPECT_EQ((Labels{1, 0, 2, 2}), LabelWhole(sse, ints, 4, 1, 0));

    const std::vector<uint16_t> values = {700, 800, 0, 750};
    xn::SceneMetaData map;
    ASSERT_TRUE(sse.Run(values.data(), nullptr, nullptr, 4, 1,
                        Box3D<int>(Vector3D<int>(0, 0, 0), Vector3D<int>(3, 0, 760)), map, 5));
    EXPECT_EQ((Labels{1, 0, 0, 2}), Read(map));
}

TEST(ConnectedComponentDetectorTest, MoreProvisionalLabelsThanTheSetHoldsFail) {
    const int width = 640;
    const int height = 480;
    std::vector<uint16_t> board(width * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = (y & 1); x < width; x += 2) {
            board[y * width + x] = 1000;
        }
    }
    ConnectedComponentDetector detector;
    xn::SceneMetaData map;
    EXPECT_FALSE(detector.Run(board.data(), nullptr, nullptr, width, height, map, 10));
    EXPECT_EQ(0, detector.LabelCount());
    EXPECT_EQ(Labels(board.size(), 0), Read(map));

    // Under 8-connectivity the board is one region.
    detector.Mode() = 1;
    EXPECT_TRUE(detector.Run(board.data(), nullptr, nullptr, width, height, map, 10));
    EXPECT_EQ(2, detector.LabelCount());

    // The last label that fits is 40959.
    std::vector<uint16_t> line(2 * 40959, 0);
    for (size_t i = 0; i < line.size(); i += 2) {
        line[i] = 5;
    }
    detector.Mode() = 0;
    EXPECT_TRUE(detector.Run(line.data(), nullptr, nullptr, static_cast<int>(line.size()), 1, map, 0));
    EXPECT_EQ(40960, detector.LabelCount());
    EXPECT_EQ(40959, map.Data()[line.size() - 2]);
    line.push_back(5);
    EXPECT_FALSE(detector.Run(line.data(), nullptr, nullptr, static_cast<int>(line.size()), 1, map, 0));
}

TEST(ConnectedComponentDetectorTest, ALabelMapThatCannotBeSizedFails) {
    ConnectedComponentDetector detector;
    const std::vector<uint16_t> image(4, 9);
    xn::SceneMetaData map;
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(2, 2));

    // 70000 x 70000 labels exceed what the map can describe.
    EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 70000, 70000, map, 0));
    EXPECT_EQ(0, detector.LabelCount());
    EXPECT_EQ(2, map.XRes());
    EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 70000, 70000, Box2D<int>(0, 0, 1, 1), map, 0));

    // A map whose pixels are not 16 bits wide gets too small a buffer.
    xn::SceneMetaData bytes;
    bytes.PixelFormat() = xn::XN_PIXEL_FORMAT_GRAYSCALE_8_BIT;
    EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 2, 2, bytes, 0));

    // A missing image.
    EXPECT_FALSE(detector.Run(static_cast<const uint16_t*>(nullptr), nullptr, nullptr, 2, 2, map, 0));
    EXPECT_EQ(0, detector.LabelCount());
}

TEST(ConnectedComponentDetectorTest, UnknownConnectivityModesAreRefused) {
    const std::vector<uint16_t> image(12, 9);
    Array2D<unsigned short> first;
    first.SetSize(3, 4, false);
    for (int mode : {2, -1}) {
        ConnectedComponentDetector detector;
        detector.Mode() = mode;
        xn::SceneMetaData map;
        EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 4, 3, map, 0));
        EXPECT_EQ(0, detector.LabelCount());
        EXPECT_FALSE(detector.Run(image.data(), nullptr, nullptr, 4, 3, Box2D<int>(0, 0, 3, 2), map, 0));
        EXPECT_FALSE(detector.RunHybrid(first, first, map, 0, 0));
        // Masks fix 4-connectivity, so the mode does not matter there.
        bool all[12];
        std::fill(all, all + 12, true);
        EXPECT_TRUE(detector.Run(image.data(), all, all, 4, 3, map, 0));
        EXPECT_EQ(2, detector.LabelCount());
    }
}

TEST(ConnectedComponentDetectorTest, RemapLabelsAppliesTheLastRenumbering) {
    // Provisional labels 1 ... 4 of which 2 and 3 meet: renumbered 1, 2, 2, 3.
    const std::vector<uint16_t> image = {9, 0, 9, 0, 9, 9, 9, 0, 9};
    ConnectedComponentDetector detector;
    xn::SceneMetaData map;
    ASSERT_TRUE(detector.Run(image.data(), nullptr, nullptr, 3, 3, map, 0));
    EXPECT_EQ((Labels{1, 0, 2, 0, 2, 2, 3, 0, 2}), Read(map));

    // Labels the set does not hold stay as they are.
    const XnUInt16 provisional[9] = {1, 2, 3, 4, 2, 1, 0, 4, 50000};
    std::copy(provisional, provisional + 9, map.WritableData());
    const Box2D<int> window(1, 0, 5, 1);
    detector.RemapLabels(map, &window);
    EXPECT_EQ((Labels{1, 2, 2, 4, 2, 1, 0, 4, 50000}), Read(map));
    detector.RemapLabels(map, nullptr);
    EXPECT_EQ((Labels{1, 2, 2, 3, 2, 1, 0, 3, 50000}), Read(map));

    // A map laid over a caller's labels is remapped there, as ClearLabel
    // writes there too.
    XnUInt16 callers[9] = {1, 2, 3, 4, 0, 3, 0, 0, 1};
    xn::SceneMetaData borrowed;
    ASSERT_EQ(XN_STATUS_OK, borrowed.ReAdjust(3, 3, callers));
    detector.RemapLabels(borrowed, nullptr);
    EXPECT_EQ((Labels{1, 2, 2, 3, 0, 2, 0, 0, 1}), Labels(callers, callers + 9));
}

using ConnectedComponentDetectorDeathTest = ::testing::Test;

TEST_F(ConnectedComponentDetectorDeathTest, WindowsOnThePerPixelPathImplementNeitherMasksNorEightConnectivity) {
    const std::vector<uint16_t> image(16, 9);
    bool all[16];
    std::fill(all, all + 16, true);
    const Box2D<int> window(0, 0, 3, 3);
    const Box3D<int> range(Vector3D<int>(0, 0, 0), Vector3D<int>(3, 3, 100));
    const char* const prefix = "NOT IMPLEMENTED: function 'Run' file 'QuorLibrary/SensorUtilities/"
                               "ConnectedComponentDetector' line ";
    auto run2 = [&](const bool* masks, int mode) {
        ConnectedComponentDetector detector;
        detector.Mode() = mode;
        xn::SceneMetaData map;
        detector.Run(image.data(), masks, masks, 4, 4, window, map, 0);
    };
    auto run3 = [&](const bool* masks, int mode) {
        ConnectedComponentDetector detector;
        detector.Mode() = mode;
        xn::SceneMetaData map;
        detector.Run(image.data(), masks, masks, 4, 4, range, map, 0);
    };
    EXPECT_EXIT(run2(all, 0), ::testing::ExitedWithCode(1), std::string(prefix) + "1279");
    EXPECT_EXIT(run2(nullptr, 1), ::testing::ExitedWithCode(1), std::string(prefix) + "1362");
    EXPECT_EXIT(run3(all, 0), ::testing::ExitedWithCode(1), std::string(prefix) + "1427");
    EXPECT_EXIT(run3(nullptr, 1), ::testing::ExitedWithCode(1), std::string(prefix) + "1510");
}

}  // namespace
