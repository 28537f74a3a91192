#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnSceneMetaData.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(XnDepthMetaDataTest, NewDepthMapHasSixteenBitPixelsAndTheDefaultZRes) {
    const xn::DepthMetaData depth;
    EXPECT_EQ(xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT, depth.PixelFormat());
    EXPECT_EQ(10001, depth.ZRes());
    EXPECT_EQ(0, depth.XRes());
    EXPECT_EQ(nullptr, depth.Data());
}

TEST(XnDepthMetaDataTest, WritableViewWritesWhatTheReadViewReads) {
    xn::DepthMetaData depth;
    ASSERT_EQ(XN_STATUS_OK, depth.AllocateData(5, 3));
    EXPECT_EQ(30u, depth.DataSize());
    depth.WritableDepthMap()(4, 2) = 1234;
    depth.WritableData()[1] = 77;
    EXPECT_EQ(1234, depth(4, 2));
    EXPECT_EQ(1234, depth.DepthMap()(4, 2));
    EXPECT_EQ(1234, depth.Data()[14]);
    EXPECT_EQ(77, depth.DepthMap()[1]);
    EXPECT_EQ(5, depth.DepthMap().XRes());
    EXPECT_EQ(3, depth.DepthMap().YRes());
}

TEST(XnSceneMetaDataTest, ReAdjustWithoutBufferAllocates) {
    xn::SceneMetaData labels;
    EXPECT_EQ(xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT, labels.PixelFormat());
    labels.XOffset() = 2;
    ASSERT_EQ(XN_STATUS_OK, labels.ReAdjust(4, 3, nullptr));
    EXPECT_EQ(labels.OwnedBuffer(), labels.Data());
    EXPECT_EQ(24u, labels.DataSize());
    EXPECT_EQ(4, labels.FullXRes());
    EXPECT_EQ(0, labels.XOffset());
    labels.WritableLabelMap()(3, 2) = 9;
    EXPECT_EQ(9, labels(3, 2));
    EXPECT_EQ(9, labels.LabelMap()(3, 2));
}

TEST(XnSceneMetaDataTest, ReAdjustWithBufferDescribesTheCallersLabels) {
    xn::SceneMetaData labels;
    ASSERT_EQ(XN_STATUS_OK, labels.AllocateData(8, 8));
    void* owned = labels.OwnedBuffer();
    labels.XOffset() = 3;
    labels.YOffset() = 5;
    const XnLabel mine[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(XN_STATUS_OK, labels.ReAdjust(3, 2, mine));
    EXPECT_EQ(mine, labels.Data());
    EXPECT_EQ(3, labels.XRes());
    EXPECT_EQ(2, labels.YRes());
    EXPECT_EQ(3, labels.FullXRes());
    EXPECT_EQ(2, labels.FullYRes());
    EXPECT_EQ(0, labels.XOffset());
    EXPECT_EQ(0, labels.YOffset());
    EXPECT_EQ(12u, labels.DataSize());
    EXPECT_EQ(6, labels(2, 1));
    // The map's own buffer stays for later use.
    EXPECT_EQ(owned, labels.OwnedBuffer());
    ASSERT_EQ(XN_STATUS_OK, labels.AllocateData(2, 2));
    EXPECT_EQ(owned, labels.Data());

    // Formats without a pixel size describe no bytes.
    xn::SceneMetaData yuv;
    yuv.PixelFormat() = xn::XN_PIXEL_FORMAT_YUV422;
    ASSERT_EQ(XN_STATUS_OK, yuv.ReAdjust(3, 2, mine));
    EXPECT_EQ(0u, yuv.DataSize());
    EXPECT_EQ(mine, yuv.Data());
}

TEST(XnSceneMetaDataTest, ReAdjustBeyondThe32BitFieldsChangesNothing) {
    xn::SceneMetaData labels;
    const XnLabel mine[4] = {};
    ASSERT_EQ(XN_STATUS_OK, labels.ReAdjust(2, 2, mine));
    EXPECT_EQ(XN_STATUS_ALLOC_FAILED, labels.ReAdjust(70000, 70000, mine));
    EXPECT_EQ(XN_STATUS_ALLOC_FAILED, labels.ReAdjust(0x80000000u, 1, mine));
    EXPECT_EQ(2, labels.XRes());
    EXPECT_EQ(8u, labels.DataSize());
}

}  // namespace
