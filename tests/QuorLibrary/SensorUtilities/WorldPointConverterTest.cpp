#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>

#include "../../XnAdapter/XnNodesTestSupport.h"

namespace {

// A depth node on a fake stream with a field of view and a maximum depth.
class WorldPointConverterTest : public ::testing::Test {
protected:
    static constexpr float kFovX = 1.0226f;

    void SetUp() override { SetStream(kFovX, 10000); }

    void SetStream(float fovX, int maxDepth) {
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, fovX);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, 0.7966f);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, maxDepth);
        m_depth.SetStream(m_stream);
    }

    vela_test::FakeOniStreams m_oni;
    OniStreamHandle m_stream = m_oni.NewStream();
    xn::DepthGenerator m_depth;
};

// A depth map of the given size and frame id; pixel (x, y) gets depth(x, y).
template <typename DepthFunction>
void FillDepthMap(xn::DepthMetaData& map, int width, int height, XnUInt32 frameId, DepthFunction depth) {
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(width, height));
    map.FrameID() = frameId;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            map.WritableData()[y * width + x] = static_cast<XnDepthPixel>(depth(x, y));
        }
    }
}

TEST_F(WorldPointConverterTest, WorkedExampleAtVga) {
    const WorldPointConverter<float> converter(m_depth, 640, 480);
    EXPECT_EQ(0.0017533336f, converter.m_fPixelSizeFactor);
    EXPECT_EQ(10002, converter.m_nDepthTableSize);
    EXPECT_EQ(320.0f, converter.m_fCenterX);
    EXPECT_EQ(240.0f, converter.m_fCenterY);
    EXPECT_EQ(320, converter.m_nCenterX);
    EXPECT_EQ(240, converter.m_nCenterY);
    EXPECT_EQ(320 << 14, converter.m_nCenterXFP);
    EXPECT_EQ(240 << 14, converter.m_nCenterYFP);
    EXPECT_EQ(3591, converter.m_pLengthAtDepthInt[1000]);
    EXPECT_EQ(9344, converter.m_pPixelsAtDepthInt[1000]);
    EXPECT_EQ(0.0017533336f * 1000.0f, converter.m_pPixelSizeAtDepth[1000]);
    EXPECT_EQ(14, converter.m_nPixelSizeFactorQ13);
    EXPECT_EQ(206, converter.m_nPixelAreaFactorQ26);
    EXPECT_EQ(4, converter.m_nLengthFactor);
    EXPECT_EQ(570 << 14, converter.m_nInvPixelSizeFactorFP);
    EXPECT_EQ(INT_MAX / 35912, converter.m_nMaxLengthMultiplier);
    EXPECT_EQ(1.0f / 0.0017533336f, converter.m_fInvPixelSizeFactor);

    EXPECT_EQ(Vector3D<int>(-386, 333, 1000), converter.WorldPtInt(100, 50, 1000));
    EXPECT_EQ(Vector3D<int>(100, 50, 1000), converter.ProjectivePtUnboundedInt(Vector3D<int>(-386, 333, 1000)));
    EXPECT_EQ(57, converter.PixelsAtDepthInt(1000, 100));

    xn::DepthMetaData map;
    FillDepthMap(map, 640, 480, 1, [](int, int) { return 1000; });
    const Vector3D<float> expected(-385.7334f, 333.13339f, 1000.0f);
    EXPECT_EQ(expected, converter.WorldPt(map, Vector2D<int>(100, 50)));
    // Fractional coordinates are truncated before they enter X and Y.
    EXPECT_EQ(expected, converter.WorldPt(map, Vector2D<float>(100.9f, 50.7f)));
    const Vector3D<float> back = converter.ProjectivePt(expected);
    EXPECT_NEAR(100.0f, back.x, 1e-3f);
    EXPECT_NEAR(50.0f, back.y, 1e-3f);

    // The ray matrix maps (x, y, 1) to (X/Z, Y/Z, 1).
    const Vector3D<float> ray = converter.m_pixelToRay * Vector3D<float>(100.0f, 50.0f, 1.0f);
    EXPECT_NEAR(expected.x / 1000.0f, ray.x, 1e-6f);
    EXPECT_NEAR(expected.y / 1000.0f, ray.y, 1e-6f);
    EXPECT_EQ(1.0f, ray.z);
}

TEST_F(WorldPointConverterTest, DoubleFormComputesTheSameInDoublePrecision) {
    const WorldPointConverter<double> converter(m_depth, 640, 480);
    const double k = 2.0 * std::tan(static_cast<double>(kFovX) * 0.5) / 640.0;
    EXPECT_EQ(k, converter.m_fPixelSizeFactor);
    EXPECT_EQ(3591, converter.m_pLengthAtDepthInt[1000]);
    EXPECT_EQ(9344, converter.m_pPixelsAtDepthInt[1000]);
    EXPECT_EQ(14, converter.m_nPixelSizeFactorQ13);
    EXPECT_EQ(206, converter.m_nPixelAreaFactorQ26);
    EXPECT_EQ(Vector3D<int>(-386, 333, 1000), converter.WorldPtInt(100, 50, 1000));
    const Vector3D<double> world = converter.WorldPt(Vector3D<double>(100.0, 50.0, 1000.0));
    EXPECT_NEAR(-385.7334, world.x, 1e-3);
    EXPECT_NEAR(333.13339, world.y, 1e-3);
}

TEST_F(WorldPointConverterTest, RandomPixelsRoundTripInFloatAndFixedPoint) {
    std::mt19937 rng(7);
    const int sizes[][2] = {{160, 120}, {320, 240}, {640, 480}};
    for (const auto& size : sizes) {
        const int width = size[0];
        const int height = size[1];
        const WorldPointConverter<float> converter(m_depth, width, height);
        std::uniform_int_distribution<int> column(0, width - 1);
        std::uniform_int_distribution<int> row(0, height - 1);
        std::uniform_int_distribution<int> depth(400, 10000);
        for (int i = 0; i < 2000; ++i) {
            const int x = column(rng);
            const int y = row(rng);
            const int z = depth(rng);
            const Vector3D<float> world =
                converter.WorldPt(Vector3D<float>(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)));
            const Vector3D<float> pixel = converter.ProjectivePt(world);
            ASSERT_NEAR(x, pixel.x, 1e-2) << width << " " << x << " " << y << " " << z;
            ASSERT_NEAR(y, pixel.y, 1e-2) << width << " " << x << " " << y << " " << z;
            ASSERT_EQ(static_cast<float>(z), pixel.z);

            const Vector3D<int> worldInt = converter.WorldPtInt(x, y, z);
            ASSERT_NEAR(world.x, worldInt.x, 1.0f);
            ASSERT_NEAR(world.y, worldInt.y, 1.0f);
            const Vector3D<int> pixelInt = converter.ProjectivePtUnboundedInt(worldInt);
            ASSERT_LE(std::abs(pixelInt.x - x), 1) << width << " " << x << " " << y << " " << z;
            ASSERT_LE(std::abs(pixelInt.y - y), 1) << width << " " << x << " " << y << " " << z;
            ASSERT_EQ(z, pixelInt.z);
            ASSERT_LE(std::abs(converter.ProjectivePtXInt(worldInt.x, z) - x), 1) << width << " " << x << " " << z;
        }
    }
}

TEST_F(WorldPointConverterTest, DepthZeroAndTheOpticalAxis) {
    const WorldPointConverter<float> converter(m_depth, 320, 240);
    xn::DepthMetaData map;
    FillDepthMap(map, 320, 240, 1, [](int, int) { return 0; });
    EXPECT_EQ(Vector3D<float>(0.0f, 0.0f, 0.0f), converter.WorldPt(map, Vector2D<int>(3, 200)));
    EXPECT_EQ(0, converter.PixelsAtDepthInt(0, 500));
    EXPECT_EQ(Vector3D<int>(0, 0, 0), converter.ProjectivePtUnboundedInt(Vector3D<int>(100, 100, 0)));
    EXPECT_EQ(Vector3D<int>(0, 0, 0), converter.ProjectivePtUnboundedInt(Vector3D<int>(100, 100, -5)));
    EXPECT_EQ(Vector2D<int>(0, 0), converter.ProjectivePtUnbounded2DInt(Vector3D<int>(100, 100, 0)));

    for (int z = 1; z < converter.m_nDepthTableSize; ++z) {
        ASSERT_EQ(Vector3D<int>(160, 120, z), converter.ProjectivePtUnboundedInt(Vector3D<int>(0, 0, z))) << z;
        const Vector3D<float> p = converter.ProjectivePt(Vector3D<float>(0.0f, 0.0f, static_cast<float>(z)));
        ASSERT_EQ(160.0f, p.x);
        ASSERT_EQ(120.0f, p.y);
    }
}

TEST_F(WorldPointConverterTest, ProjectionsAreNotClampedToTheImage) {
    const WorldPointConverter<float> converter(m_depth, 320, 240);
    const Vector2D<int> left = converter.ProjectivePtUnbounded2DInt(Vector3D<int>(-2000, 0, 1000));
    const Vector2D<int> right = converter.ProjectivePtUnbounded2DIntFP(Vector3D<int>(2000, -1500, 1000));
    EXPECT_LT(left.x, 0);
    EXPECT_EQ(120, left.y);
    EXPECT_GT(right.x, 319);
    EXPECT_GT(right.y, 239);
    const Vector3D<float> leftFloat = converter.ProjectivePt(Vector3D<float>(-2000.0f, 0.0f, 1000.0f));
    EXPECT_NEAR(leftFloat.x, left.x, 1.0f);
}

TEST_F(WorldPointConverterTest, ShiftedAndDifferenceForms) {
    const WorldPointConverter<float> converter(m_depth, 640, 480);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> column(0, 639);
    std::uniform_int_distribution<int> row(0, 479);
    std::uniform_int_distribution<int> depth(1, 10000);
    for (int i = 0; i < 1000; ++i) {
        const int x = column(rng);
        const int y = row(rng);
        const int z = depth(rng);
        // Truncating division against rounding shift: at most one apart.
        const Vector3D<int> plain = converter.WorldPtInt(x, y, z);
        const Vector3D<int> divided = converter.WorldPtIntFP(x, y, z, 0, 0);
        ASSERT_LE(std::abs(plain.x - divided.x), 1);
        ASSERT_LE(std::abs(plain.y - divided.y), 1);
        ASSERT_EQ(z, divided.z);
        ASSERT_EQ(plain, converter.WorldPtIntFP(x, y, z));

        // Sub-pixel coordinates with 8 bits, depth with 3 bits: world X and
        // Y come back with 8 fractional bits, the depth unchanged.
        const int xs = (x << 8) + 128;
        const int ys = (y << 8) + 64;
        const Vector3D<int> fine = converter.WorldPtIntFP(xs, ys, z << 3, 8, 3);
        const Vector3D<float> world =
            converter.WorldPt(Vector3D<float>(x + 0.5f, y + 0.25f, static_cast<float>(z)));
        // The length entry is rounded to 1/2048 mm per pixel.
        ASSERT_NEAR(world.x, fine.x / 256.0f, 0.01f + std::abs(x + 0.5f - 320.0f) * 0.5f / 2048.0f);
        ASSERT_NEAR(world.y, fine.y / 256.0f, 0.01f + std::abs(y + 0.25f - 240.0f) * 0.5f / 2048.0f);
        ASSERT_EQ(z << 3, fine.z);

        // On a surface of constant depth the steps are along the axes.
        const int d = 2;
        const int length = converter.m_pLengthAtDepthInt[z];
        Vector3D<int> step;
        converter.WorldPtDiffXIntFP(x, y, z, z, d, step);
        ASSERT_EQ(Vector3D<int>(2 * d * length, 0, 0), step);
        converter.WorldPtDiffYIntFP(x, y, z, z, d, step);
        ASSERT_EQ(Vector3D<int>(0, -2 * d * length, 0), step);
    }
    // A slanted surface: the x step spans the two pixels' world points.
    Vector3D<int> step;
    converter.WorldPtDiffXIntFP(400, 100, 1000, 1100, 2, step);
    const Vector3D<float> from = converter.WorldPt(Vector3D<float>(398.0f, 100.0f, 1000.0f));
    const Vector3D<float> to = converter.WorldPt(Vector3D<float>(402.0f, 100.0f, 1100.0f));
    EXPECT_NEAR((to.x - from.x) * 2048.0f, step.x, 2048.0f);
    EXPECT_NEAR((to.y - from.y) * 2048.0f, step.y, 2048.0f);
    EXPECT_EQ(100 << 11, step.z);
    converter.WorldPtDiffYIntFP(400, 100, 1000, 1100, 2, step);
    const Vector3D<float> above = converter.WorldPt(Vector3D<float>(400.0f, 98.0f, 1000.0f));
    const Vector3D<float> below = converter.WorldPt(Vector3D<float>(400.0f, 102.0f, 1100.0f));
    EXPECT_NEAR((below.x - above.x) * 2048.0f, step.x, 2048.0f);
    EXPECT_NEAR((below.y - above.y) * 2048.0f, step.y, 2048.0f);
}

TEST_F(WorldPointConverterTest, NearPointsDoNotOverflow32Bits) {
    const WorldPointConverter<float> converter(m_depth, 640, 480);
    // At 1 mm a pixel is 1/570 mm wide: a metre off-axis lies some 570000
    // pixels out, and q * X leaves 32 bits.
    const Vector3D<int> projected = converter.ProjectivePtUnboundedInt(Vector3D<int>(1000, -1000, 1));
    const int64_t q = converter.m_nInvPixelSizeFactorFP;
    const int64_t expectedX = ((int64_t{320} << 14) + q * 1000 + 8192) >> 14;
    const int64_t expectedY = ((int64_t{240} << 14) + q * 1000 + 8192) >> 14;
    EXPECT_EQ(expectedX, projected.x);
    EXPECT_EQ(expectedY, projected.y);
    // The integer inverse pixel size (570 for 570.3) differs by 0.06%.
    const Vector3D<float> projectedFloat = converter.ProjectivePt(Vector3D<float>(1000.0f, -1000.0f, 1.0f));
    EXPECT_NEAR(projectedFloat.x, projected.x, 0.001f * projectedFloat.x);

    // pixels[1] is about 9.3 million.
    const int pixels = converter.PixelsAtDepthInt(1, 1000);
    EXPECT_EQ((int64_t{1000} * converter.m_pPixelsAtDepthInt[1] + 8192) >> 14, pixels);
    EXPECT_NEAR(1000.0 / converter.m_fPixelSizeFactor, pixels, 2.0);
    EXPECT_EQ(pixels + 320, converter.ProjectivePtXInt(1000, 1));
    EXPECT_EQ(-pixels + 320, converter.ProjectivePtXInt(-1000, 1));

    // Results beyond the int range saturate instead of wrapping sign.
    EXPECT_EQ(INT_MAX, converter.LengthAtDepthInt(10000, INT_MAX));
    EXPECT_EQ(INT_MIN, converter.LengthAtDepthInt(10000, INT_MIN));
    EXPECT_EQ(INT_MAX, converter.PixelsAtDepthInt(1, INT_MAX));
    EXPECT_GT(converter.ProjectivePtUnboundedInt(Vector3D<int>(INT_MAX, 0, 1)).x, 0);
    EXPECT_LT(converter.ProjectivePtUnboundedInt(Vector3D<int>(INT_MIN, 0, 1)).x, 0);
}

// Every operation of c, at depth z, as integers and floats to compare.
template <typename T>
void ExpectSameAtDepth(const WorldPointConverter<T>& expected, const WorldPointConverter<T>& actual, int z) {
    ASSERT_EQ(expected.LengthAtDepthInt(z, 57), actual.LengthAtDepthInt(z, 57)) << z;
    ASSERT_EQ(expected.PixelsAtDepthInt(z, 1234), actual.PixelsAtDepthInt(z, 1234)) << z;
    ASSERT_EQ(expected.WorldPtInt(17, 301, z), actual.WorldPtInt(17, 301, z)) << z;
    ASSERT_EQ(expected.WorldPtIntFP(17 << 4, 301 << 4, z << 2, 4, 2), actual.WorldPtIntFP(17 << 4, 301 << 4, z << 2, 4, 2))
        << z;
    ASSERT_EQ(expected.ProjectivePtXInt(-800, z), actual.ProjectivePtXInt(-800, z)) << z;
    Vector3D<int> a;
    Vector3D<int> b;
    expected.WorldPtDiffXIntFP(200, 100, z, z + 3, 2, a);
    actual.WorldPtDiffXIntFP(200, 100, z, z + 3, 2, b);
    ASSERT_EQ(a, b) << z;
    expected.WorldPtDiffYIntFP(200, 100, z + 5, z, 2, a);
    actual.WorldPtDiffYIntFP(200, 100, z + 5, z, 2, b);
    ASSERT_EQ(a, b) << z;
}

TEST_F(WorldPointConverterTest, DepthsBeyondShortTablesConvertAsWithFullTables) {
    const WorldPointConverter<float> full(m_depth, 320, 240);
    // A stream whose maximum cannot be read gives 2-entry tables.
    m_oni.FailProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE);
    WorldPointConverter<float> shortTables(m_depth, 320, 240);
    ASSERT_EQ(2, shortTables.m_nDepthTableSize);
    EXPECT_EQ(full.m_pLengthAtDepthInt[1], shortTables.m_pLengthAtDepthInt[1]);
    // The product limits callers read cover every depth that may arrive: all
    // 16-bit depths, as tables of the whole range give them.
    m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, 65535);
    const WorldPointConverterBase<float> whole(m_depth, 320, 240);
    ASSERT_EQ(65536, whole.m_nDepthTableSize);
    EXPECT_EQ(whole.m_nMaxLengthMultiplier, shortTables.m_nMaxLengthMultiplier);
    EXPECT_EQ(whole.m_nMaxPixelsRatio, shortTables.m_nMaxPixelsRatio);
    EXPECT_EQ(INT_MAX / whole.m_pLengthAtDepthInt[65535], shortTables.m_nMaxLengthMultiplier);
    for (int z = 0; z < full.m_nDepthTableSize - 5; z += 7) {
        ExpectSameAtDepth(full, shortTables, z);
    }
    // Beyond both tables, up to the largest 16-bit depth.
    for (int z : {10001, 10002, 30000, 65535, 70000}) {
        ExpectSameAtDepth(full, shortTables, z);
    }
    EXPECT_EQ(full.LengthAtDepthInt(-5, 10), 0);

    xn::DepthMetaData map;
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> depth(0, 65535);
    FillDepthMap(map, 320, 240, 9, [&](int, int) { return depth(rng); });
    for (int i = 0; i < 200; ++i) {
        const Vector2D<int> p(i % 320, (i * 7) % 240);
        ASSERT_EQ(full.WorldPt(map, p), shortTables.WorldPt(map, p));
    }
    shortTables.UpdateWorldPoints(map);
    ASSERT_EQ(240, shortTables.m_worldMap.Rows());
    EXPECT_EQ(full.WorldPt(map, Vector2D<int>(319, 239)), shortTables.m_worldMap(239, 319));
}

TEST_F(WorldPointConverterTest, TableSizeFollowsTheStreamsMaximumDepth) {
    struct Case {
        int maxDepth;
        int tableSize;
    };
    const Case cases[] = {{0, 2}, {4000, 4002}, {65533, 65535}, {65534, 65536}, {65535, 65536}, {INT_MAX, 65536}, {-1, 2}};
    for (const Case& c : cases) {
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, c.maxDepth);
        const WorldPointConverterBase<float> converter(m_depth, 160, 120);
        EXPECT_EQ(c.tableSize, converter.m_nDepthTableSize) << c.maxDepth;
    }
    // A node without a stream reads nothing: 2 entries and the default field
    // of view.
    const xn::DepthGenerator unbound;
    const WorldPointConverterBase<float> converter(unbound, 640, 480);
    EXPECT_EQ(2, converter.m_nDepthTableSize);
    EXPECT_EQ(0.0017533336f, converter.m_fPixelSizeFactor);
}

TEST_F(WorldPointConverterTest, TinyFieldOfViewIsReplacedByThirtyDegrees) {
    SetStream(1e-11f, 10000);
    testing::internal::CaptureStderr();
    const WorldPointConverterBase<float> converter(m_depth, 640, 480);
    EXPECT_EQ("WorldPointConverterBase got FOVX<1e-10.  Overriding with FOVX = 30 degrees.\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(0.5358984f / 640.0f, converter.m_fPixelSizeFactor);

    testing::internal::CaptureStderr();
    const WorldPointConverterBase<double> converterDouble(m_depth, 640, 480);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(0.535898400478821 / 640.0, converterDouble.m_fPixelSizeFactor);
}

TEST_F(WorldPointConverterTest, ExtremeFieldsOfViewKeepEveryEntryInRange) {
    // Just above the cut-off, pixels are a few femtometres wide; close to
    // pi they are kilometres wide. Neither may divide by zero or convert
    // an out-of-range float.
    for (float fov : {2e-10f, 1e-6f, 3.14159f}) {
        SetStream(fov, 65535);
        const WorldPointConverter<float> converter(m_depth, 40, 30);
        EXPECT_GT(converter.m_nMaxLengthMultiplier, 0) << fov;
        EXPECT_GE(converter.m_nMaxPixelsRatio, 0) << fov;
        EXPECT_GE(converter.m_pAreaAtDepthInt[65535], 0) << fov;
        EXPECT_GE(converter.m_nInvPixelSizeFactorFP, 0) << fov;
        EXPECT_EQ(Vector3D<int>(20, 15, 1000), converter.ProjectivePtUnboundedInt(Vector3D<int>(0, 0, 1000))) << fov;
    }
}

using WorldPointConverterDeathTest = WorldPointConverterTest;

TEST_F(WorldPointConverterDeathTest, InvalidFieldsOfViewAndSizesEndTheProcess) {
    SetStream(std::numeric_limits<float>::quiet_NaN(), 10000);
    EXPECT_EXIT(WorldPointConverter<float>(m_depth, 640, 480), ::testing::ExitedWithCode(1),
                "^FATAL ERROR: Depth generator returned invalid horizontal FOV \\(-?nan\\)\n$");
    SetStream(0.0f, 10000);
    EXPECT_EXIT(WorldPointConverter<double>(m_depth, 640, 480), ::testing::ExitedWithCode(1),
                "^FATAL ERROR: Depth generator returned invalid horizontal FOV \\(0\\.00\\)\n$");
    SetStream(kFovX, 10000);
    EXPECT_EXIT(WorldPointConverter<float>(m_depth, 0, 480), ::testing::ExitedWithCode(1),
                "invalid image size 0x480");
}

TEST_F(WorldPointConverterTest, WorldMapIsComputedOncePerFrame) {
    WorldPointConverter<float> converter(m_depth, 160, 120);
    EXPECT_EQ(-1, converter.m_nWorldMapFrameId);
    EXPECT_EQ(0, converter.m_worldMap.Size());

    xn::DepthMetaData map;
    // Frame id 0xFFFFFFFF reads as -1 but the empty map still forces work.
    FillDepthMap(map, 160, 120, 0xFFFFFFFFu, [](int x, int y) { return 500 + 10 * x + y; });
    converter.UpdateWorldPoints(map);
    ASSERT_EQ(120, converter.m_worldMap.Rows());
    ASSERT_EQ(160, converter.m_worldMap.Columns());
    for (int i = 0; i < 120; ++i) {
        for (int j = 0; j < 160; ++j) {
            const int z = 500 + 10 * j + i;
            const float size = converter.m_pPixelSizeAtDepth[z];
            const Vector3D<float> expected((static_cast<float>(j) - 80.0f) * size, (60.0f - static_cast<float>(i)) * size,
                                           static_cast<float>(z));
            ASSERT_EQ(expected, converter.m_worldMap(i, j)) << i << " " << j;
            ASSERT_EQ(expected, converter.WorldPt(map, Vector2D<int>(j, i)));
        }
    }

    // Same frame id: the map is kept even though the pixels changed.
    map.FrameID() = 4;
    converter.UpdateWorldPoints(map);
    map.WritableData()[0] = 3000;
    converter.UpdateWorldPoints(map);
    EXPECT_EQ(500.0f, converter.m_worldMap(0, 0).z);
    EXPECT_EQ(4, converter.m_nWorldMapFrameId);
    // A new frame id recomputes.
    map.FrameID() = 5;
    converter.UpdateWorldPoints(map);
    EXPECT_EQ(3000.0f, converter.m_worldMap(0, 0).z);

    // A map of another size under the same frame id is not mistaken for the
    // one held.
    xn::DepthMetaData smaller;
    FillDepthMap(smaller, 80, 60, 5, [](int, int) { return 700; });
    converter.UpdateWorldPoints(smaller);
    EXPECT_EQ(60, converter.m_worldMap.Rows());
    EXPECT_EQ(80, converter.m_worldMap.Columns());
    EXPECT_EQ(700.0f, converter.m_worldMap(59, 79).z);
}

}  // namespace
