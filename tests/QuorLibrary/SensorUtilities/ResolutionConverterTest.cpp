#include "QuorLibrary/SensorUtilities/ResolutionConverter.h"

#include <gtest/gtest.h>

namespace {

using Converter = ResolutionConverterBase;

Converter Make(Resolution src, Resolution dst) {
    Converter c;
    c.Set(src, dst);
    return c;
}

TEST(ResolutionConverterTest, InitDerivesDirectionRatioAndShift) {
    struct Case {
        Resolution srcFull;
        Resolution dstFull;
        bool downscale;
        int ratio;
        Vector2D<int> srcShift;
        Vector2D<int> dstShift;
    };
    const Case cases[] = {
        {QVGA, QVGA, true, 1, {0, 0}, {0, 0}},
        {VGA, QVGA, true, 2, {0, 0}, {0, 0}},
        {QVGA, VGA, false, 2, {0, 0}, {0, 0}},
        {QQQQVGA, VGA, false, 16, {0, 0}, {0, 0}},
        {QVGA, SXGA, false, 4, {0, 0}, {0, 32}},
        {SXGA, VGA, true, 2, {0, 32}, {0, 0}},
        {SXGA, QQQQVGA, true, 32, {0, 32}, {0, 0}},
        {SXGA, SXGA, true, 1, {0, 0}, {0, 0}},
        {WXGA720c, VGA, true, 2, {0, 0}, {0, 0}},
        {VGA, WXGA720c, false, 2, {0, 0}, {0, 0}},
        {WXGA720c, SXGA, true, 1, {0, 0}, {0, 0}},
        {SXGA, WXGA720c, true, 1, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        const Converter conv = Make(c.srcFull, c.dstFull);
        SCOPED_TRACE(ToString(c.srcFull) + " -> " + ToString(c.dstFull));
        EXPECT_EQ(c.downscale, conv.m_bDownscale);
        EXPECT_EQ(c.ratio, conv.m_nRatio);
        EXPECT_EQ(c.srcShift, conv.m_srcShift);
        EXPECT_EQ(c.dstShift, conv.m_dstShift);
        EXPECT_EQ(c.srcFull, conv.m_srcResolution);
        EXPECT_EQ(c.dstFull, conv.m_dstFullResolution);
    }
}

TEST(ResolutionConverterTest, IntegerMappingTable) {
    struct Case {
        Resolution src;
        Resolution dst;
        bool isRow;
        int value;
        Converter::eUpscaleType type;
        int expected;
    };
    const Case cases[] = {
        // Upscaling lands on the first, centre or last sub-pixel.
        {QVGA, SXGA, false, 10, Converter::eUpscaleFirst, 40},
        {QVGA, SXGA, false, 10, Converter::eUpscaleCenter, 42},
        {QVGA, SXGA, false, 10, Converter::eUpscaleLast, 43},
        {QVGA, SXGA, true, 10, Converter::eUpscaleCenter, 74},
        {VGA, SXGA, true, 0, Converter::eUpscaleFirst, 32},
        {VGA, SXGA, false, 0, Converter::eUpscaleFirst, 0},
        {VGA, SXGA, true, 0, Converter::eUpscaleLast, 33},
        {VGA, SXGA, true, 479, Converter::eUpscaleLast, 991},
        // Downscaling truncates toward zero, whatever the type.
        {SXGA, VGA, true, 32, Converter::eUpscaleFirst, 0},
        {SXGA, VGA, true, 31, Converter::eUpscaleLast, 0},
        {SXGA, VGA, true, 991, Converter::eUpscaleCenter, 479},
        {SXGA, VGA, false, 1279, Converter::eUpscaleCenter, 639},
        {VGA, QVGA, false, -1, Converter::eUpscaleCenter, 0},
        {VGA, QVGA, false, -3, Converter::eUpscaleCenter, -1},
        {WXGA720c, VGA, true, 719, Converter::eUpscaleCenter, 359},
        // Equal sizes: identity.
        {QVGA, QVGA, false, 123, Converter::eUpscaleLast, 123},
    };
    for (const Case& c : cases) {
        const Converter conv = Make(c.src, c.dst);
        SCOPED_TRACE(ToString(c.src) + " -> " + ToString(c.dst) + (c.isRow ? " row " : " column ") +
                     std::to_string(c.value) + " type " + std::to_string(c.type));
        EXPECT_EQ(c.expected, c.isRow ? conv.Y(c.value, c.type) : conv.X(c.value, c.type));
    }
}

TEST(ResolutionConverterTest, PointsAndBoxes) {
    const Converter up = Make(QVGA, SXGA);
    EXPECT_EQ(Vector2D<int>(42, 74), up(Vector2D<int>(10, 10)));
    EXPECT_EQ(Box2D<int>(40, 72, 43, 75), up(Box2D<int>(10, 10, 10, 10)));

    const Box3D<int> box3(Vector3D<int>(10, 10, 500), Vector3D<int>(20, 30, 900));
    const Box3D<int> mapped = up(box3);
    EXPECT_EQ(Vector3D<int>(42, 74, 500), mapped.min);
    EXPECT_EQ(Vector3D<int>(82, 154, 900), mapped.max);

    // Fractional coordinates: no truncation, centre sub-pixel added when upscaling.
    EXPECT_EQ(Vector2D<float>(44.0f, 76.0f), up(Vector2D<float>(10.5f, 10.5f)));
    const Converter down = Make(SXGA, VGA);
    EXPECT_FLOAT_EQ(0.5f, down.Y(33.0f));
    EXPECT_FLOAT_EQ(-0.5f, down.Y(31.0f));
    EXPECT_FLOAT_EQ(2.25f, down.X(4.5f));
}

TEST(ResolutionConverterTest, CropOffsetsOnBothSides) {
    Converter conv;
    // A QVGA window at (16, 8) of a VGA image, into a QVGA window at (4, 2) of a QVGA image.
    conv.Set(QVGA, QQVGA, VGA, QVGA, Vector2D<int>(16, 8), Vector2D<int>(4, 2));
    EXPECT_TRUE(conv.m_bDownscale);
    EXPECT_EQ(2, conv.m_nRatio);
    EXPECT_EQ(Vector2D<int>((0 + 16) / 2 - 4, (0 + 8) / 2 - 2), conv(Vector2D<int>(0, 0)));
    EXPECT_EQ(Vector2D<int>((100 + 16) / 2 - 4, (51 + 8) / 2 - 2), conv(Vector2D<int>(100, 51)));
}

// An empty image box (corners at the int limits) must not overflow when it
// is scaled, and stays empty.
TEST(ResolutionConverterTest, EmptyBoxStaysEmpty) {
    const Box2D<int> mapped = Make(QVGA, SXGA)(Box2D<int>::EmptyBox());
    EXPECT_GT(mapped.min.x, mapped.max.x);
    EXPECT_GT(mapped.min.y, mapped.max.y);
}

// A label map's description; the pixels do not matter here.
struct Map : xn::MapMetaData {
    Map(int xRes, int yRes, int fullXRes, int fullYRes, int xOffset, int yOffset)
        : xn::MapMetaData(xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT) {
        XRes() = xRes;
        YRes() = yRes;
        FullXRes() = fullXRes;
        FullYRes() = fullYRes;
        XOffset() = xOffset;
        YOffset() = yOffset;
    }
};

TEST(ResolutionConverterTest, SetFromMapsAndSimilarity) {
    const Map src(320, 240, 640, 480, 16, 8);
    const Map dst(1280, 1024, 1280, 1024, 0, 0);
    Converter conv;
    conv.Set(src, dst);
    EXPECT_EQ(QVGA, conv.m_srcResolution);
    EXPECT_EQ(VGA, conv.m_srcFullResolution);
    EXPECT_EQ(SXGA, conv.m_dstResolution);
    EXPECT_EQ(Vector2D<int>(16, 8), conv.m_srcOffset);
    EXPECT_EQ(2, conv.m_nRatio);
    EXPECT_EQ(Vector2D<int>(0, 32), conv.m_dstShift);

    EXPECT_TRUE(conv.IsSimilarToSrc(src));
    EXPECT_TRUE(conv.IsSimilarToDst(dst));
    EXPECT_FALSE(conv.IsSimilarToSrc(dst));
    EXPECT_FALSE(conv.IsSimilarToSrc(Map(320, 240, 640, 480, 16, 9)));
    EXPECT_FALSE(conv.IsSimilarToSrc(Map(320, 240, 640, 481, 16, 8)));
    EXPECT_FALSE(conv.IsSimilarToSrc(Map(320, 241, 640, 480, 16, 8)));
}

// Odd map sizes give INVALID, which has no entry in the size tables: such a
// side is never similar, and the converter maps with ratio 1.
TEST(ResolutionConverterTest, InvalidResolutionIsNotSimilarAndHasRatioOne) {
    const Map odd(100, 100, 100, 100, 0, 0);
    const Map vga(640, 480, 640, 480, 0, 0);
    Converter conv;
    conv.Set(odd, vga);
    EXPECT_EQ(INVALID, conv.m_srcResolution);
    EXPECT_EQ(INVALID, conv.m_srcFullResolution);
    EXPECT_EQ(1, conv.m_nRatio);
    EXPECT_TRUE(conv.m_bDownscale);
    EXPECT_EQ(Vector2D<int>(0, 0), conv.m_srcShift);
    EXPECT_EQ(Vector2D<int>(0, 0), conv.m_dstShift);
    EXPECT_FALSE(conv.IsSimilarToSrc(odd));
    EXPECT_TRUE(conv.IsSimilarToDst(vga));
    EXPECT_EQ(Vector2D<int>(7, 9), conv(Vector2D<int>(7, 9)));

    conv.Set(vga, odd);
    EXPECT_EQ(1, conv.m_nRatio);
    EXPECT_FALSE(conv.IsSimilarToDst(odd));

    // Out-of-range values behave like INVALID.
    conv.Set(VGA, VGA, static_cast<Resolution>(-3), static_cast<Resolution>(12), Vector2D<int>(0, 0),
             Vector2D<int>(0, 0));
    EXPECT_EQ(1, conv.m_nRatio);
    EXPECT_FALSE(conv.IsSimilarToSrc(vga));
}

using ResolutionConverterDeathTest = ::testing::Test;

TEST(ResolutionConverterDeathTest, InvalidUpscaleTypeEndsTheProcess) {
    const Converter conv = Make(QVGA, VGA);
    EXPECT_EXIT(conv.X(1, static_cast<Converter::eUpscaleType>(3)), ::testing::ExitedWithCode(1), "FATAL ERROR");
    EXPECT_EXIT(conv.Y(1, static_cast<Converter::eUpscaleType>(-1)), ::testing::ExitedWithCode(1), "FATAL ERROR");
    // Even when downscaling, where the type adds nothing.
    const Converter down = Make(VGA, QVGA);
    EXPECT_EXIT(down.X(1, static_cast<Converter::eUpscaleType>(7)), ::testing::ExitedWithCode(1), "FATAL ERROR");
}

}  // namespace
