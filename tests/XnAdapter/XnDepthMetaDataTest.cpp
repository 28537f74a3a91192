// Copies of depth maps that outlive the frame they were taken from.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "XnAdapter/XnDepthMetaData.h"

namespace {

TEST(XnDepthMetaDataInitFromTest, CopiesDescriptionAndPixelsButNotTheZResolution) {
    std::vector<uint16_t> pixels = {1, 2, 3, 4, 5, 6};
    auto pSource = std::make_unique<xn::DepthMetaData>();
    pSource->SetData(pixels.data());
    pSource->XRes() = 3;
    pSource->YRes() = 2;
    pSource->FullXRes() = 640;
    pSource->FullYRes() = 480;
    pSource->XOffset() = 3;
    pSource->YOffset() = 5;
    pSource->DataSize() = 12;
    pSource->FrameID() = 41;
    pSource->Timestamp() = 1234567;
    pSource->ZRes() = 2048;

    xn::DepthMetaData copy;
    ASSERT_EQ(XN_STATUS_OK, copy.InitFrom(*pSource));
    pixels.assign(6, 0);
    pSource.reset();
    EXPECT_EQ(3, copy.XRes());
    EXPECT_EQ(2, copy.YRes());
    EXPECT_EQ(640, copy.FullXRes());
    EXPECT_EQ(480, copy.FullYRes());
    EXPECT_EQ(3, copy.XOffset());
    EXPECT_EQ(5, copy.YOffset());
    EXPECT_EQ(12u, copy.DataSize());
    EXPECT_EQ(41u, copy.FrameID());
    EXPECT_EQ(1234567u, copy.Timestamp());
    EXPECT_EQ(xn::DepthMetaData::kDefaultZRes, copy.ZRes());
    EXPECT_EQ(6, copy(2, 1));
    EXPECT_EQ(4, copy(0, 1));
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(copy.Data()) % 16);
}

TEST(XnDepthMetaDataInitFromTest, ReusesTheCopyAndNeverReadsPastTheSourcesData) {
    xn::DepthMetaData source;
    ASSERT_EQ(XN_STATUS_OK, source.AllocateData(4, 4));
    source.WritableDepthMap()(3, 3) = 99;
    xn::DepthMetaData copy;
    ASSERT_EQ(XN_STATUS_OK, copy.InitFrom(source));
    const void* firstCopy = copy.Data();
    EXPECT_EQ(99, copy(3, 3));

    // Describing more pixels than its data holds: the copy has zeros there.
    source.WritableDepthMap()(0, 0) = 7;
    source.DataSize() = 4;
    source.YRes() = 2;
    ASSERT_EQ(XN_STATUS_OK, copy.InitFrom(source));
    EXPECT_EQ(firstCopy, copy.Data());
    EXPECT_EQ(7, copy(0, 0));
    EXPECT_EQ(0, copy(2, 0));
    EXPECT_EQ(4u, copy.DataSize());

    // Copying itself changes nothing.
    ASSERT_EQ(XN_STATUS_OK, copy.InitFrom(copy));
    EXPECT_EQ(7, copy(0, 0));
}

}  // namespace
