// Depth-guided upscaling of whole label maps: the upscaler's boxes and the
// label pyramid's enlargement.

#include "NACommon/NADepthBasedUpscaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "NACommon/Pyramid.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// A coarse label map of columns x rows and a depth map f times its size,
// every depth `depth`.
class NADepthBasedUpscalerTest : public ::testing::Test {
protected:
    void Make(int columns, int rows, int f, uint16_t depth) {
        m_labels.SetSize(rows, columns, false);
        std::fill(m_labels.Data(), m_labels.Data() + m_labels.Size(), static_cast<short>(0));
        ASSERT_EQ(XN_STATUS_OK, m_depth.AllocateData(columns * f, rows * f));
        std::fill(m_depth.WritableData(), m_depth.WritableData() + columns * f * rows * f, depth);
    }
    void SetDepth(int x, int y, uint16_t d) { m_depth.WritableDepthMap()(x, y) = d; }
    Box2D<int> Run(const Box2D<int>& box, bool clear, short fill) {
        Box2D<int> fine;
        NADepthBasedUpscaler(100).Run<short>(m_labels, m_depth, box, clear, fill, m_out, fine);
        return fine;
    }

    Array2D<short> m_labels;
    xn::DepthMetaData m_depth;
    Array2D<short> m_out;
};

TEST_F(NADepthBasedUpscalerTest, FactorOneCopiesTheWholeLabelMap) {
    Make(3, 2, 1, 1000);
    for (int i = 0; i < 6; ++i) m_labels.Data()[i] = static_cast<short>(i + 1);
    EXPECT_EQ(Box2D<int>(1, 0, 1, 0), Run(Box2D<int>(1, 0, 1, 0), false, 0));
    ASSERT_EQ(2, m_out.Rows());
    ASSERT_EQ(3, m_out.Columns());
    EXPECT_TRUE(std::equal(m_labels.Data(), m_labels.Data() + 6, m_out.Data()));
}

TEST_F(NADepthBasedUpscalerTest, InvalidSizesLeaveTheOutputAlone) {
    Make(4, 2, 1, 1000);
    ASSERT_EQ(XN_STATUS_OK, m_depth.AllocateData(2, 2));  // narrower than the labels
    m_out.SetSize(1, 1, false);
    m_out(0, 0) = 9;
    CaptureStderr();
    EXPECT_EQ(Box2D<int>(0, 0, -1, -1), Run(Box2D<int>(0, 0, 1, 1), true, 0));
    EXPECT_EQ("NADepthBasedUpscaler: Invalid data\n", GetCapturedStderr());
    EXPECT_EQ(9, m_out(0, 0));

    // Without clear the output must already have the depth map's size.
    Make(2, 2, 4, 1000);
    CaptureStderr();
    Run(Box2D<int>(0, 0, 1, 1), false, 0);
    EXPECT_EQ("NADepthBasedUpscaler: Invalid data\n", GetCapturedStderr());
    EXPECT_EQ(9, m_out(0, 0));
}

TEST_F(NADepthBasedUpscalerTest, InteriorCellsFollowTheRuleAndGiveTheirOriginTheirOwnLabel) {
    // 3x3 cells of 4x4 pixels; the box covers cells (0, 0)-(1, 1), so only
    // cell (0, 0) is interior.
    Make(3, 3, 4, 0);
    m_labels(0, 0) = 1;
    m_labels(0, 1) = 2;
    m_labels(1, 0) = 1;
    m_labels(1, 1) = 1;
    SetDepth(0, 0, 0);  // the origin has no depth and still takes label 1
    SetDepth(4, 0, 1100);
    SetDepth(0, 4, 1200);
    SetDepth(4, 4, 1300);
    SetDepth(1, 1, 1150);  // as far from 1100 as from 1200: top-right first
    SetDepth(2, 1, 1260);  // nearest 1300, bottom-right
    SetDepth(3, 1, 1400);  // 100 from the nearest: no label
    EXPECT_EQ(Box2D<int>(0, 0, 7, 7), Run(Box2D<int>(0, 0, 1, 1), true, -1));
    ASSERT_EQ(12, m_out.Rows());
    EXPECT_EQ(1, m_out(0, 0));
    EXPECT_EQ(2, m_out(1, 1));
    EXPECT_EQ(1, m_out(1, 2));
    EXPECT_EQ(-1, m_out(1, 3));
    EXPECT_EQ(-1, m_out(0, 1));  // depth 0
    // Outside the fine box nothing is written but the size.
    m_out(8, 8) = 42;
    Run(Box2D<int>(0, 0, 1, 1), true, -1);
    EXPECT_EQ(42, m_out(8, 8));
}

TEST_F(NADepthBasedUpscalerTest, TheBoxsLastColumnRowAndCellUseOnlyTheCornersInsideIt) {
    Make(2, 2, 4, 0);
    m_labels(0, 0) = 1;
    m_labels(0, 1) = 2;
    m_labels(1, 0) = 3;
    m_labels(1, 1) = 2;
    SetDepth(0, 0, 1000);
    SetDepth(4, 0, 2000);
    SetDepth(0, 4, 3000);
    SetDepth(4, 4, 2050);
    // Last column, cell (1, 0): corners (1, 0) and (1, 1), both label 2,
    // depths 2000 and 2050: range 1900 < d < 2150, its origin included.
    SetDepth(5, 1, 2149);
    SetDepth(6, 1, 2150);
    // Last row, cell (0, 1): corners (0, 1) label 3 at 3000 and (1, 1)
    // label 2 at 2050.
    SetDepth(1, 5, 2990);
    SetDepth(2, 5, 2060);
    // Last cell (1, 1): its own corner, 1950 < d < 2150.
    SetDepth(5, 5, 1951);
    SetDepth(6, 5, 1950);
    m_out.SetSize(8, 8, false);
    std::fill(m_out.Data(), m_out.Data() + 64, static_cast<short>(-1));
    Run(Box2D<int>(0, 0, 1, 1), false, 0);
    EXPECT_EQ(2, m_out(0, 4));
    EXPECT_EQ(2, m_out(1, 5));
    EXPECT_EQ(-1, m_out(1, 6));
    EXPECT_EQ(3, m_out(5, 1));
    EXPECT_EQ(2, m_out(5, 2));
    EXPECT_EQ(2, m_out(5, 5));
    EXPECT_EQ(-1, m_out(5, 6));
    EXPECT_EQ(2, m_out(4, 4));  // the last cell's origin follows the rule: 2050
}

// The label pyramid's enlargement: one 4x4 block of a 2x2 coarse map.
class UpscaleLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(XN_STATUS_OK, m_coarse.AllocateData(2, 2));
        ASSERT_EQ(XN_STATUS_OK, m_depth.AllocateData(8, 8));
        ASSERT_EQ(XN_STATUS_OK, m_fine.AllocateData(8, 8));
        std::fill(m_depth.WritableData(), m_depth.WritableData() + 64, static_cast<XnDepthPixel>(0));
    }
    void Corners(const XnLabel labels[4], const XnDepthPixel depths[4]) {
        std::copy(labels, labels + 4, m_coarse.WritableData());
        m_depth.WritableDepthMap()(0, 0) = depths[0];
        m_depth.WritableDepthMap()(4, 0) = depths[1];
        m_depth.WritableDepthMap()(0, 4) = depths[2];
        m_depth.WritableDepthMap()(4, 4) = depths[3];
    }
    XnLabel Label(int x, int y) const { return m_fine(x, y); }

    xn::SceneMetaData m_coarse;
    xn::DepthMetaData m_depth;
    xn::SceneMetaData m_fine;
};

TEST_F(UpscaleLabelTest, AgreeingCornersLabelStrictlyInsideTheirRangeWidenedBy100) {
    const XnLabel labels[4] = {3, 3, 3, 3};
    const XnDepthPixel depths[4] = {2000, 2010, 2050, 1990};
    Corners(labels, depths);
    const XnDepthPixel tried[] = {1890, 1891, 2149, 2150, 0};
    for (int i = 0; i < 5; ++i) m_depth.WritableDepthMap()(1 + i % 3, 1 + i / 3) = tried[i];
    LabelPyramid::upscaleLabel(m_depth, m_coarse, m_fine);
    EXPECT_EQ(3, Label(0, 0));
    EXPECT_EQ(0, Label(1, 1));
    EXPECT_EQ(3, Label(2, 1));
    EXPECT_EQ(3, Label(3, 1));
    EXPECT_EQ(0, Label(1, 2));
    EXPECT_EQ(0, Label(2, 2));
}

TEST_F(UpscaleLabelTest, DisagreeingCornersGiveTheNearestWithinTheMarginZeroIncluded) {
    const XnLabel labels[4] = {3, 0, 5, 5};
    const XnDepthPixel depths[4] = {2000, 2040, 1500, 1510};
    Corners(labels, depths);
    m_depth.WritableDepthMap()(1, 1) = 2030;
    m_depth.WritableDepthMap()(2, 1) = 1560;
    m_depth.WritableDepthMap()(3, 1) = 1800;
    m_depth.WritableDepthMap()(1, 2) = 1990;
    LabelPyramid::upscaleLabel(m_depth, m_coarse, m_fine);
    EXPECT_EQ(0, Label(1, 1));
    EXPECT_EQ(5, Label(2, 1));
    EXPECT_EQ(0, Label(3, 1));
    EXPECT_EQ(3, Label(1, 2));
}

TEST(UpscaleLabelSizesTest, InconsistentSizesAreReportedAndLeaveTheLabels) {
    struct Case {
        int fineWidth, fineHeight, depthWidth, depthHeight;
    };
    // Coarse 2x2: a fine map 4 times wider but only 2 times higher, a fine
    // map of another size than the depth map, a fine map narrower than the
    // coarse one.
    for (const Case& c : {Case{8, 4, 8, 4}, Case{8, 8, 4, 4}, Case{1, 1, 1, 1}}) {
        xn::SceneMetaData coarse;
        xn::SceneMetaData fine;
        xn::DepthMetaData depth;
        ASSERT_EQ(XN_STATUS_OK, coarse.AllocateData(2, 2));
        ASSERT_EQ(XN_STATUS_OK, fine.AllocateData(c.fineWidth, c.fineHeight));
        ASSERT_EQ(XN_STATUS_OK, depth.AllocateData(c.depthWidth, c.depthHeight));
        std::fill(fine.WritableData(), fine.WritableData() + c.fineWidth * c.fineHeight, static_cast<XnLabel>(7));
        CaptureStderr();
        LabelPyramid::upscaleLabel(depth, coarse, fine);
        EXPECT_EQ("invalid data in upscaleLabel\n", GetCapturedStderr()) << c.fineWidth << "x" << c.fineHeight;
        EXPECT_EQ(7, fine(0, 0));
    }
}

}  // namespace
