#include "NACommon/NADepthBasedUpscalerHelper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

constexpr unsigned short kOutside = 999;

// A coarse label map of rows x columns and a depth map f times as wide.
class NADepthBasedUpscalerHelperTest : public ::testing::Test {
protected:
    void Make(int rows, int columns, int depthWidth, int depthHeight, uint16_t depth) {
        m_labels.SetSize(rows, columns, false);
        std::fill(m_labels.Data(), m_labels.Data() + m_labels.Size(), 0);
        ASSERT_EQ(XN_STATUS_OK, m_depth.AllocateData(depthWidth, depthHeight));
        std::fill(m_depth.WritableData(), m_depth.WritableData() + depthWidth * depthHeight, depth);
    }
    void SetDepth(int x, int y, uint16_t d) { m_depth.WritableDepthMap()(x, y) = d; }
    unsigned short At(int x, int y, int margin = 100) {
        return NADepthBasedUpscalerHelper<unsigned short>::GetClampedUpscaledValue(m_labels, m_depth,
                                                                                 Vector2D<int>(x, y), margin, kOutside);
    }

    Array2D<unsigned short> m_labels;
    xn::DepthMetaData m_depth;
};

TEST_F(NADepthBasedUpscalerHelperTest, PixelsOffTheMapOrWithoutDepthGetTheDefault) {
    Make(2, 2, 8, 8, 1000);
    std::fill(m_labels.Data(), m_labels.Data() + 4, 5);
    EXPECT_EQ(5, At(3, 3));
    for (const auto& p : {Vector2D<int>(-1, 0), Vector2D<int>(8, 0), Vector2D<int>(0, 8), Vector2D<int>(0, -1)}) {
        EXPECT_EQ(kOutside, At(p.x, p.y));
    }
    SetDepth(3, 3, 0);
    EXPECT_EQ(kOutside, At(3, 3));
}

TEST_F(NADepthBasedUpscalerHelperTest, AgreeingCornersLabelStrictlyInsideTheirDepthRangeWidenedByTheMargin) {
    Make(2, 2, 8, 8, 0);
    std::fill(m_labels.Data(), m_labels.Data() + 4, 5);
    SetDepth(0, 0, 1000);
    SetDepth(4, 0, 1200);
    SetDepth(0, 4, 1100);
    SetDepth(4, 4, 1050);
    struct Case {
        uint16_t depth;
        unsigned short label;
    };
    for (const Case& c : {Case{900, kOutside}, Case{901, 5}, Case{1150, 5}, Case{1299, 5}, Case{1300, kOutside}}) {
        SetDepth(1, 2, c.depth);
        EXPECT_EQ(c.label, At(1, 2)) << c.depth;
    }
    // A corner shallower than the margin wraps the lower bound to near
    // 65535: nothing is labelled by this rule.
    SetDepth(4, 0, 50);
    for (uint16_t d : {60, 1000, 1150}) {
        SetDepth(1, 2, d);
        EXPECT_EQ(kOutside, At(1, 2)) << d;
    }
}

TEST_F(NADepthBasedUpscalerHelperTest, DisagreeingCornersGiveTheNearestCornerCloserThanTheMargin) {
    Make(2, 2, 8, 8, 0);
    const unsigned short labels[4] = {1, 2, 3, 4};
    std::copy(labels, labels + 4, m_labels.Data());
    SetDepth(0, 0, 1000);
    SetDepth(4, 0, 1100);
    SetDepth(0, 4, 1200);
    SetDepth(4, 4, 1300);
    struct Case {
        uint16_t depth;
        unsigned short label;
    };
    // 1050 is as far from the top-left as from the top-right corner: the
    // earlier one wins. A corner as far as the margin never wins.
    for (const Case& c : {Case{1050, 1}, Case{1060, 2}, Case{1290, 4}, Case{1250, 3}, Case{1400, kOutside},
                          Case{1399, 4}, Case{900, kOutside}}) {
        SetDepth(2, 1, c.depth);
        EXPECT_EQ(c.label, At(2, 1)) << c.depth;
    }
}

TEST_F(NADepthBasedUpscalerHelperTest, CornersClampToTheLastColumnAndRow) {
    Make(2, 2, 8, 8, 0);
    const unsigned short labels[4] = {1, 2, 3, 4};
    std::copy(labels, labels + 4, m_labels.Data());
    SetDepth(0, 0, 1000);
    SetDepth(4, 0, 2000);
    SetDepth(0, 4, 3000);
    SetDepth(4, 4, 4000);
    // Last cell: its own corner only, z - m < d < z + m.
    SetDepth(6, 6, 4099);
    EXPECT_EQ(4, At(6, 6));
    SetDepth(6, 6, 4100);
    EXPECT_EQ(kOutside, At(6, 6));
    // Last column: top-left and bottom-left corners of that column.
    SetDepth(5, 1, 2010);
    EXPECT_EQ(2, At(5, 1));
    SetDepth(5, 1, 3990);
    EXPECT_EQ(4, At(5, 1));
    // Last row: top-left and top-right corners of that row.
    SetDepth(1, 5, 3050);
    EXPECT_EQ(3, At(1, 5));
    SetDepth(1, 5, 3950);
    EXPECT_EQ(4, At(1, 5));
}

TEST_F(NADepthBasedUpscalerHelperTest, SameWidthUsesThePixelAndItsNeighboursAsCorners) {
    Make(3, 3, 3, 3, 500);
    const unsigned short labels[9] = {1, 1, 2, 1, 1, 2, 3, 3, 3};
    std::copy(labels, labels + 9, m_labels.Data());
    EXPECT_EQ(1, At(0, 0));
    SetDepth(1, 0, 580);
    // Corners 1, 2, 1, 2 at 580, 500, 500, 500: nearest is 580 (label 1).
    EXPECT_EQ(1, At(1, 0));
    EXPECT_EQ(2, At(2, 0));
}

// Label maps whose rows do not match the depth map's never lead to reads
// outside either map.
TEST_F(NADepthBasedUpscalerHelperTest, MismatchedMapsStayInsideBothMaps) {
    Make(10, 2, 8, 8, 700);
    std::fill(m_labels.Data(), m_labels.Data() + m_labels.Size(), 6);
    EXPECT_EQ(6, At(7, 7));
    Make(1, 2, 8, 8, 700);
    std::fill(m_labels.Data(), m_labels.Data() + m_labels.Size(), 6);
    EXPECT_EQ(6, At(0, 3));
    EXPECT_EQ(kOutside, At(0, 4));
    Make(0, 0, 8, 8, 700);
    EXPECT_EQ(kOutside, At(0, 0));
}

TEST(NADepthBasedUpscalerHelperSignedTest, SignedLabelsBehaveTheSame) {
    Array2D<short> labels;
    labels.SetSize(1, 1, false);
    labels(0, 0) = -3;
    xn::DepthMetaData depth;
    ASSERT_EQ(XN_STATUS_OK, depth.AllocateData(2, 2));
    std::fill(depth.WritableData(), depth.WritableData() + 4, 800);
    EXPECT_EQ(-3, NADepthBasedUpscalerHelper<short>::GetClampedUpscaledValue(labels, depth, Vector2D<int>(1, 1), 100,
                                                                             short(7)));
}

}  // namespace
