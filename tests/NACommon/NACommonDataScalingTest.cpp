// The hub's reductions, enlargements, crops and fitting, on small maps.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "NACommon/NACommonData.h"

namespace {

using Pixels = std::vector<unsigned short>;

void Fill(xn::DepthMetaData& md, int width, int height, const Pixels& pixels) {
    ASSERT_EQ(XN_STATUS_OK, md.AllocateData(width, height));
    std::copy(pixels.begin(), pixels.end(), md.WritableData());
}

Pixels MapPixelsOf(const xn::DepthMetaData& md) { return Pixels(md.Data(), md.Data() + md.XRes() * md.YRes()); }

class NACommonDataScalingTest : public ::testing::Test {
protected:
    // Runs the hub's 16-bit reduction of a width x height map in a mode,
    // with the SSSE3 paths allowed or not.
    Pixels Reduce(int mode, bool ssse3, int width, int height, const Pixels& source, int factor) {
        m_hub.m_nDownscaleMode = mode;
        NACommonData::m_bSupplementalSSE3 = ssse3 && m_bHasSSSE3;
        Pixels target(static_cast<size_t>((width / factor) * (height / factor)), 0xBEEF);
        m_hub.Downscale(source.data(), target.data(), width, height, factor);
        NACommonData::m_bSupplementalSSE3 = m_bHasSSSE3;
        return target;
    }

    NACommonData m_hub;
    const bool m_bHasSSSE3 = NACommonData::m_bSupplementalSSE3;
};

TEST_F(NACommonDataScalingTest, ReductionExamplesInEveryModeAndPath) {
    // 4 pixels wide: the plain subsample (SSSE3 needs a multiple of 8).
    EXPECT_EQ(Pixels({1, 3}), Reduce(0, false, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8}, 2));
    struct Case {
        int mode;
        Pixels block;
        unsigned short expected;
    };
    const Case cases[] = {
        {0, {1, 2, 5, 6}, 1},          {1, {0, 0, 0, 0}, 0},          {1, {1200, 0, 1100, 9999}, 1100}, {1, {10000, 12000, 0, 0}, 0},
        {2, {1000, 1002, 1004, 1006}, 1003}, {2, {100, 101, 101, 101}, 100}, {2, {1000, 0, 1000, 1000}, 0},
    };
    for (const Case& c : cases) {
        // The 2x2 block repeated over a 16x2 map, so that the SSE forms run
        // on it too.
        Pixels map(32);
        for (int x = 0; x < 16; ++x) {
            map[x] = c.block[x % 2];
            map[16 + x] = c.block[2 + x % 2];
        }
        for (bool ssse3 : {false, true}) {
            EXPECT_EQ(Pixels(8, c.expected), Reduce(c.mode, ssse3, 16, 2, map, 2)) << c.mode << " " << ssse3;
        }
    }
}

TEST_F(NACommonDataScalingTest, SsseThreeReductionOfAWidthNotAMultipleOfEightWritesNothing) {
    if (!m_bHasSSSE3) {
        GTEST_SKIP() << "no SSSE3";
    }
    const Pixels source(12 * 2, 1000);
    EXPECT_EQ(Pixels(6, 0xBEEF), Reduce(0, true, 12, 2, source, 2));
    // Without SSSE3 the plain subsample makes the map.
    EXPECT_EQ(Pixels(6, 1000), Reduce(0, false, 12, 2, source, 2));
}

TEST_F(NACommonDataScalingTest, OnlyWholeBlocksAreReducedAndAnUnknownModeStops) {
    // A 5x3 map by 2: the target is 2x1, nothing beyond.
    const Pixels source = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int mode : {0, 1, 2}) {
        Pixels target(3, 0xBEEF);
        m_hub.m_nDownscaleMode = mode;
        m_hub.Downscale(source.data(), target.data(), 5, 3, 2);
        EXPECT_EQ(0xBEEF, target[2]) << mode;
    }
    // The 4x4 "SSE" reduction is the plain subsample, not a stop.
    Pixels eight(8 * 4);
    for (int i = 0; i < 32; ++i) eight[i] = static_cast<unsigned short>(i);
    Pixels quarter(2, 0xBEEF);
    NACommonData::Downscale4x4SSE(eight.data(), quarter.data(), 8, 4);
    EXPECT_EQ(Pixels({0, 4}), quarter);
    m_hub.m_nDownscaleMode = 3;
    EXPECT_EXIT(Reduce(3, false, 4, 2, Pixels(8, 1), 2), ::testing::ExitedWithCode(1), "Unknown downscale mode");
}

TEST_F(NACommonDataScalingTest, EnlargementRepeatsEachPixel) {
    Pixels target(8);
    NACommonData::Upscale16bNoSSE(Pixels({1, 2}).data(), target.data(), 2, 1, 2);
    EXPECT_EQ(Pixels({1, 1, 2, 2, 1, 1, 2, 2}), target);
    const unsigned char rgb[] = {1, 2, 3, 4, 5, 6};
    unsigned char out[24];
    NACommonData::Upscale24bNoSSE(rgb, out, 2, 1, 2);
    const unsigned char expected[] = {1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6, 1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6};
    EXPECT_TRUE(std::equal(out, out + 24, expected));

    xn::DepthMetaData source;
    Fill(source, 2, 1, {1, 2});
    xn::DepthMetaData enlarged;
    NACommonData::Upscale(source, enlarged, 2);
    EXPECT_EQ(4, enlarged.XRes());
    EXPECT_EQ(Pixels({1, 1, 2, 2, 1, 1, 2, 2}), MapPixelsOf(enlarged));
}

TEST_F(NACommonDataScalingTest, ATargetOfTheRightSizeOnlyTakesFrameIdAndTimeStamp) {
    xn::DepthMetaData source;
    Fill(source, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
    source.FrameID() = 7;
    source.Timestamp() = 700;
    source.ZRes() = 4000;
    xn::DepthMetaData target;
    Fill(target, 2, 1, {9, 9});
    target.XOffset() = 5;
    const void* buffer = target.Data();
    NACommonData::InitOrUpdateMapMetaData(target, source, 2, 1);
    EXPECT_EQ(7u, target.FrameID());
    EXPECT_EQ(700u, target.Timestamp());
    EXPECT_EQ(4000, target.ZRes());
    EXPECT_EQ(5, target.XOffset());
    EXPECT_EQ(buffer, target.Data());
    EXPECT_EQ(Pixels({9, 9}), MapPixelsOf(target));

    // Another size: the source's description with its own buffer.
    source.XOffset() = 3;
    NACommonData::InitOrUpdateMapMetaData(target, source, 3, 3);
    EXPECT_EQ(3, target.XRes());
    EXPECT_EQ(3, target.FullXRes());
    EXPECT_EQ(0, target.XOffset());
    EXPECT_EQ(target.OwnedBuffer(), target.Data());
    EXPECT_EQ(18u, target.DataSize());
}

TEST_F(NACommonDataScalingTest, RawCopyBoxAndCrop) {
    const unsigned short box[] = {1, 2, 3, 4};
    Pixels target(12, 0xBEEF);
    NACommonData::CopyBox(reinterpret_cast<const char*>(box), reinterpret_cast<char*>(target.data()), 2, 2, 4, 3, 1,
                          1, 2);
    EXPECT_EQ(Pixels({0, 0, 0, 0, 0, 1, 2, 0, 0, 3, 4, 0}), target);

    Pixels map(16);
    for (int i = 0; i < 16; ++i) map[i] = static_cast<unsigned short>(i);
    Pixels centre(4, 0xBEEF);
    NACommonData::Crop(reinterpret_cast<const char*>(map.data()), reinterpret_cast<char*>(centre.data()), 4, 4, 2, 2,
                       1, 1, 2);
    EXPECT_EQ(Pixels({5, 6, 9, 10}), centre);

    // Windows reaching outside the source: the crop writes the part on the
    // source, in its place; the copy-box clips a source that overhangs.
    Pixels window(4, 0xBEEF);
    NACommonData::Crop(reinterpret_cast<const char*>(map.data()), reinterpret_cast<char*>(window.data()), 4, 4, 2, 2,
                       -1, -1, 2);
    EXPECT_EQ(Pixels({0xBEEF, 0xBEEF, 0xBEEF, 0}), window);
    Pixels overhang(4, 0xBEEF);
    NACommonData::CopyBox(reinterpret_cast<const char*>(map.data()), reinterpret_cast<char*>(overhang.data()), 4, 4, 2,
                          2, -1, 1, 2);
    EXPECT_EQ(Pixels({0, 0, 1, 2}), overhang);

    xn::DepthMetaData source;
    Fill(source, 4, 4, map);
    xn::DepthMetaData cut;
    NACommonData::Crop(source, cut, Vector2D<int>(1, 1), Vector2D<int>(3, 3));
    EXPECT_EQ(2, cut.XRes());
    EXPECT_EQ(Pixels({5, 6, 9, 10}), MapPixelsOf(cut));
}

TEST_F(NACommonDataScalingTest, FittingAnUncroppedVgaMap) {
    Pixels pixels(640 * 480);
    for (int i = 0; i < 640 * 480; ++i) pixels[i] = static_cast<unsigned short>(i % 640 + 1);
    xn::DepthMetaData vga;
    Fill(vga, 640, 480, pixels);

    xn::DepthMetaData qvga;
    EXPECT_EQ(XN_STATUS_OK, m_hub.FitOtherRes(vga, qvga, QVGA, QVGA, Vector2D<int>(0, 0)));
    ASSERT_EQ(320, qvga.XRes());
    ASSERT_EQ(240, qvga.YRes());
    EXPECT_EQ(1, qvga(0, 0));
    EXPECT_EQ(3, qvga(1, 5));

    xn::DepthMetaData untouched;
    EXPECT_EQ(static_cast<XnStatus>(0x10001),
              m_hub.FitOtherRes(vga, untouched, WXGA720c, WXGA720c, Vector2D<int>(0, 0)));
    EXPECT_EQ(nullptr, untouched.Data());

    xn::DepthMetaData copy;
    EXPECT_EQ(XN_STATUS_OK, m_hub.FitOtherRes(vga, copy, VGA, VGA, Vector2D<int>(0, 0)));
    EXPECT_NE(vga.Data(), copy.Data());
    EXPECT_EQ(pixels, MapPixelsOf(copy));
}

TEST_F(NACommonDataScalingTest, GreyImagesFromColourLuminanceAndGrey) {
    xn::ImageMetaData rgb;
    ASSERT_EQ(XN_STATUS_OK, rgb.AllocateData(2, 1));
    const unsigned char colours[] = {255, 0, 0, 10, 200, 30};
    std::copy(colours, colours + 6, const_cast<XnUInt8*>(rgb.Data()));
    rgb.FrameID() = 4;
    xn::ImageMetaData gray;
    NACommonData::PrepareGrayImageMD(rgb, gray);
    ASSERT_EQ(xn::XN_PIXEL_FORMAT_GRAYSCALE_8_BIT, gray.PixelFormat());
    ASSERT_EQ(2, gray.XRes());
    EXPECT_EQ(static_cast<unsigned char>(0.2989 * 255), gray.Data()[0]);
    EXPECT_EQ(static_cast<unsigned char>(0.2989 * 10 + 0.587 * 200 + 0.114 * 30), gray.Data()[1]);
    EXPECT_EQ(4u, gray.FrameID());

    // YUV422 pairs (U Y V Y): the luminance of each pixel, row by row.
    xn::ImageMetaData yuv;
    yuv.PixelFormat() = xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT;
    ASSERT_EQ(XN_STATUS_OK, yuv.AllocateData(2, 2));
    const unsigned char pairs[] = {0, 11, 0, 12, 0, 21, 0, 22};
    std::copy(pairs, pairs + 8, const_cast<XnUInt8*>(yuv.Data()));
    yuv.PixelFormat() = xn::XN_PIXEL_FORMAT_YUV422;
    NACommonData::PrepareGrayImageMD(yuv, gray);
    ASSERT_EQ(2, gray.YRes());
    EXPECT_EQ(std::vector<unsigned char>({11, 12, 21, 22}), std::vector<unsigned char>(gray.Data(), gray.Data() + 4));

    xn::ImageMetaData grey8;
    grey8.PixelFormat() = xn::XN_PIXEL_FORMAT_GRAYSCALE_8_BIT;
    ASSERT_EQ(XN_STATUS_OK, grey8.AllocateData(640, 480));
    std::fill(const_cast<XnUInt8*>(grey8.Data()),
              const_cast<XnUInt8*>(grey8.Data()) + 640 * 480, 7);
    NACommonData::PrepareGrayImageMD(grey8, gray);
    ASSERT_EQ(1280, gray.XRes());
    ASSERT_EQ(1024, gray.YRes());
    EXPECT_EQ(7, gray.Data()[32 * 1280]);
    EXPECT_EQ(7, gray.Data()[(32 + 479) * 1280 + 639]);
    EXPECT_EQ(0, gray.Data()[(32 + 1) * 1280 + 640]);
}

// The SSSE3 2x2 reductions against their plain twins, on random maps of
// widths that are multiples of 16 (and of 8 for the last group), with and
// without a window, sums of each block below 65536.
TEST_F(NACommonDataScalingTest, SsseThreeTwoByTwoReductionsAgreeWithTheirPlainTwins) {
    if (!m_bHasSSSE3) {
        GTEST_SKIP() << "no SSSE3";
    }
    std::mt19937 random(16);
    std::uniform_int_distribution<int> value(0, 16383);
    std::uniform_int_distribution<int> hole(0, 9);
    for (int trial = 0; trial < 200; ++trial) {
        const int width = 8 * std::uniform_int_distribution<int>(1, 40)(random);
        const int height = std::uniform_int_distribution<int>(2, 31)(random);
        Pixels source(static_cast<size_t>(width * height));
        for (unsigned short& p : source) {
            p = hole(random) == 0 ? 0 : static_cast<unsigned short>(value(random));
        }
        Box2D<int> window;
        const Box2D<int>* pWindow = nullptr;
        if (trial % 2 == 1) {
            const int x0 = std::uniform_int_distribution<int>(0, width - 1)(random);
            const int y0 = std::uniform_int_distribution<int>(0, height - 1)(random);
            window = Box2D<int>(x0, y0, std::uniform_int_distribution<int>(x0, width - 1)(random),
                                std::uniform_int_distribution<int>(y0, height - 1)(random));
            pWindow = &window;
        }
        const size_t targetSize = static_cast<size_t>((width / 2) * (height / 2));
        Pixels sse(targetSize, 0xBEEF), plain(targetSize, 0xBEEF);
        const unsigned short w = static_cast<unsigned short>(width);
        const unsigned short h = static_cast<unsigned short>(height);
        NACommonData::Downscale2x2SSE(source.data(), sse.data(), w, h, pWindow);
        NACommonData::Downscale2x2NoSSE(source.data(), plain.data(), w, h, pWindow);
        ASSERT_EQ(plain, sse) << "subsample, trial " << trial;
        NACommonData::Downscale2x2SmoothSSE(source.data(), sse.data(), w, h, pWindow);
        NACommonData::Downscale2x2SmoothNoSSE(source.data(), plain.data(), w, h, pWindow);
        ASSERT_EQ(plain, sse) << "average, trial " << trial;
        if (pWindow == nullptr) {
            // Whole maps also agree with the general block operations.
            Pixels general(targetSize);
            NACommonData::Downscale16bNoSSE(source.data(), general.data(), width, height, 2);
            NACommonData::Downscale2x2NoSSE(source.data(), plain.data(), w, h);
            ASSERT_EQ(general, plain) << trial;
            NACommonData::Downscale16bSmoothNoSSE(source.data(), general.data(), width, height, 2);
            NACommonData::Downscale2x2SmoothNoSSE(source.data(), plain.data(), w, h);
            ASSERT_EQ(general, plain) << trial;
        }
    }
}

}  // namespace
