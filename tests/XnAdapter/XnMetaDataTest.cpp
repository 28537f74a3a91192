#include "XnAdapter/XnMetaData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

TEST(XnMetaDataTest, BytesPerPixelByFormat) {
    const XnUInt32 expected[] = {0, 3, 0, 1, 2, 2, 0, 0};
    for (int format = 0; format < 8; ++format) {
        EXPECT_EQ(expected[format], xn::BytesPerPixel(format)) << format;
    }
    EXPECT_EQ(0u, xn::BytesPerPixel(-1));
}

TEST(XnMetaDataTest, NewMapIsEmpty) {
    const xn::MapMetaData map;
    EXPECT_EQ(0, map.PixelFormat());
    EXPECT_EQ(0, map.XRes());
    EXPECT_EQ(0u, map.DataSize());
    EXPECT_EQ(nullptr, map.Data());
    EXPECT_EQ(nullptr, map.OwnedBuffer());
}

TEST(XnMetaDataTest, AllocateDataSizesTheMapInItsOwnAlignedZeroedBuffer) {
    xn::MapMetaData map(xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT);
    map.XOffset() = 3;
    map.YOffset() = 5;
    map.FullXRes() = 640;
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(320, 240));
    EXPECT_EQ(320u * 240u * 2u, map.DataSize());
    EXPECT_EQ(320u * 240u * 2u, map.OwnedBufferSize());
    EXPECT_EQ(map.OwnedBuffer(), map.Data());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(map.Data()) % 16);
    EXPECT_EQ(320, map.XRes());
    EXPECT_EQ(240, map.YRes());
    EXPECT_EQ(320, map.FullXRes());
    EXPECT_EQ(240, map.FullYRes());
    EXPECT_EQ(0, map.XOffset());
    EXPECT_EQ(0, map.YOffset());
    const std::vector<uint8_t> zeros(map.DataSize(), 0);
    EXPECT_EQ(0, std::memcmp(zeros.data(), map.Data(), zeros.size()));
}

TEST(XnMetaDataTest, SmallerSizeReusesBufferAndContentLargerReplacesIt) {
    xn::MapMetaData map(xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT);
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(4, 4));
    void* first = map.OwnedBuffer();
    static_cast<uint16_t*>(first)[0] = 1234;

    // Pointed at a caller's buffer, AllocateData points it back at its own.
    uint16_t caller[16] = {};
    map.SetData(caller);
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(2, 3));
    EXPECT_EQ(first, map.Data());
    EXPECT_EQ(12u, map.DataSize());
    EXPECT_EQ(32u, map.OwnedBufferSize());
    EXPECT_EQ(1234, static_cast<const uint16_t*>(map.Data())[0]);

    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(8, 8));
    EXPECT_EQ(128u, map.OwnedBufferSize());
    EXPECT_EQ(0, static_cast<const uint16_t*>(map.Data())[0]);
}

TEST(XnMetaDataTest, FormatsWithoutPixelSizeAllocateNothing) {
    for (XnInt32 format : {2, 7}) {
        xn::MapMetaData map(format);
        ASSERT_EQ(XN_STATUS_OK, map.AllocateData(640, 480));
        EXPECT_EQ(0u, map.DataSize());
        EXPECT_EQ(nullptr, map.OwnedBuffer());
        EXPECT_EQ(640, map.XRes());
        EXPECT_EQ(480, map.FullYRes());
    }
}

// A byte count beyond 32 bits would wrap to a small buffer that the caller
// then overruns; it fails like an allocation and changes nothing.
TEST(XnMetaDataTest, SizesBeyondThirtyTwoBitsFailWithoutChange) {
    xn::MapMetaData map(xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT);
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(4, 4));
    const void* buffer = map.Data();
    EXPECT_EQ(XN_STATUS_ALLOC_FAILED, map.AllocateData(70000, 70000));
    EXPECT_EQ(XN_STATUS_ALLOC_FAILED, map.AllocateData(0x80000000u, 1));
    xn::MapMetaData grey(xn::XN_PIXEL_FORMAT_YUV422);
    EXPECT_EQ(XN_STATUS_ALLOC_FAILED, grey.AllocateData(0x80000000u, 1));
    EXPECT_EQ(buffer, map.Data());
    EXPECT_EQ(4, map.XRes());
    EXPECT_EQ(32u, map.DataSize());
}

}  // namespace

namespace {

TEST(XnMetaDataTest, AllocateDataSizesEveryPixelFormat) {
    struct Case {
        XnInt32 format;
        XnUInt32 bytes;
    };
    // 5 x 3 pixels of RGB888, YUV422, 8-bit grey, 16-bit grey, JPEG, and no format.
    const Case cases[] = {{1, 45}, {2, 0}, {3, 15}, {4, 30}, {5, 30}, {0, 0}, {6, 0}, {-1, 0}};
    for (const Case& c : cases) {
        xn::MapMetaData map(c.format);
        ASSERT_EQ(XN_STATUS_OK, map.AllocateData(5, 3)) << c.format;
        EXPECT_EQ(c.bytes, map.DataSize()) << c.format;
        EXPECT_EQ(c.bytes, map.OwnedBufferSize()) << c.format;
        EXPECT_EQ(c.bytes == 0, map.OwnedBuffer() == nullptr) << c.format;
        EXPECT_EQ(5, map.XRes()) << c.format;
        EXPECT_EQ(3, map.YRes()) << c.format;
    }
}

}  // namespace
