// The hand side's multi-resolution frame on the synthetic camera: levels,
// converters, the reduced current level and its shift map, and frames whose
// depths pass the stream's maximum.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "DepthFixtureFrame.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandCameraSession.h"
#include "SceneRenderer/ImageWriter.h"
#include "SyntheticCamera/DeviceUri.h"
#include "TempDir.h"

namespace {

using hand_test_kit::CameraSession;

const char* const kScene =
    "wall z=4000\n"
    "person height=1750\n"
    "  at 0 pos=0,2200\n"
    "  wave 0..2 hand=right\n";

// k = 2 tan(FOVX / 2) / W of the synthetic camera's field of view.
float PixelFactor(int width) {
    return static_cast<float>(2.0 * std::tan(0.5 * hand_test_kit::FixtureFrame::kHorizontalFov)) / width;
}

std::vector<unsigned short> Pixels(const xn::DepthMetaData& map) {
    return std::vector<unsigned short>(map.Data(), map.Data() + map.XRes() * map.YRes());
}

// Every pixel of the rows x columns corner of shift is the table's shift of
// depth's pixel.
void ExpectShiftsOfDepths(const xn::DepthMetaData& depth, const xn::DepthMetaData& shift, const unsigned short* table,
                          int rows, int columns) {
    int nonZero = 0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            ASSERT_EQ(table[depth(c, r)], shift(c, r)) << c << "," << r;
            nonZero += shift(c, r) != 0;
        }
    }
    EXPECT_GT(nonZero, rows * columns / 2);
}

TEST(MultiResDepthMapContainer, AQvgaInputGivesThreeLevels) {
    CameraSession session;
    ASSERT_TRUE(session.OpenScene(kScene, 320, 240)) << session.Error();
    ASSERT_TRUE(session.Next());
    DUZMultiResDepthMapContainer container;
    EXPECT_EQ(NAResolution::NoMatch, container.GetResolution());
    EXPECT_EQ(SensorTime::InvalidTime(), container.m_time);
    ASSERT_TRUE(container.Initialize(session.Node(), session.Depth()));
    container.m_depthToShift = session.DepthToShift();
    container.m_shiftToDepth = session.ShiftToDepth();

    EXPECT_EQ(NAResolution::QVGA, container.m_inputResolution);
    EXPECT_EQ(NAResolution::QVGA, container.GetResolution());
    EXPECT_EQ(&session.Depth(), container.m_levelDepth[2]);
    EXPECT_EQ(&session.Depth(), container.m_depth);
    EXPECT_EQ(&container.m_levelShift[2], container.m_shift);
    EXPECT_EQ(container.m_levelConverter[2].get(), container.m_converter);
    for (int level = 0; level < kNAResolutionLevels; ++level) {
        SCOPED_TRACE(level);
        if (level > 2) {
            EXPECT_EQ(nullptr, container.m_levelDepth[level]);
            EXPECT_EQ(nullptr, container.m_levelConverter[level]);
            continue;
        }
        const int width = g_ResolutionImageSizeX[level];
        const int height = g_ResolutionImageSizeY[level];
        ASSERT_NE(nullptr, container.m_levelDepth[level]);
        EXPECT_EQ(width, container.m_levelDepth[level]->XRes());
        EXPECT_EQ(height, container.m_levelDepth[level]->YRes());
        EXPECT_EQ(width, container.m_levelShift[level].XRes());
        EXPECT_EQ(height, container.m_levelShift[level].YRes());
        ASSERT_NE(nullptr, container.m_levelConverter[level]);
        EXPECT_EQ(width, container.m_levelConverter[level]->m_nXRes);
        EXPECT_EQ(height, container.m_levelConverter[level]->m_nYRes);
        EXPECT_FLOAT_EQ(PixelFactor(width), container.m_levelConverter[level]->m_fPixelSizeFactor);
    }
    // The lower levels are the container's own records.
    EXPECT_NE(&session.Depth(), container.m_levelDepth[0]);
    EXPECT_NE(container.m_levelDepth[0], container.m_levelDepth[1]);

    // A frame at the input level: the input itself, and its shifts.
    ASSERT_TRUE(session.Next());
    ASSERT_TRUE(container.Update(&session.Hub(), session.Node(), session.Depth(), session.FrameId(), session.Time()));
    EXPECT_EQ(session.FrameId(), container.m_frameId);
    EXPECT_EQ(session.Time(), container.m_time);
    EXPECT_EQ(&session.Depth(), container.m_depth);
    ExpectShiftsOfDepths(session.Depth(), *container.m_shift, session.DepthToShift(), 240, 320);
}

TEST(MultiResDepthMapContainer, ALowerLevelIsTheHubsReductionWithItsShifts) {
    CameraSession session;
    ASSERT_TRUE(session.OpenScene(kScene, 640, 480)) << session.Error();
    ASSERT_TRUE(session.Next());
    DUZMultiResDepthMapContainer container;
    ASSERT_TRUE(container.Initialize(session.Node(), session.Depth()));
    container.m_depthToShift = session.DepthToShift();
    EXPECT_EQ(NAResolution::VGA, container.m_inputResolution);
    EXPECT_FALSE(container.SetLevel(NAResolution::SXGA));
    EXPECT_FALSE(container.SetLevel(NAResolution::NoMatch));
    ASSERT_TRUE(container.SetLevel(NAResolution::QQVGA));
    EXPECT_EQ(NAResolution::QQVGA, container.GetResolution());
    EXPECT_EQ(container.m_levelConverter[1].get(), container.m_converter);

    ASSERT_TRUE(session.Next());
    ASSERT_TRUE(container.Update(&session.Hub(), session.Node(), session.Depth(), session.FrameId(), session.Time()));
    // f = 640 / 160 = 4.
    ASSERT_EQ(container.m_levelDepth[1], container.m_depth);
    ASSERT_EQ(160, container.m_depth->XRes());
    ASSERT_EQ(120, container.m_depth->YRes());
    EXPECT_EQ(session.FrameId(), container.m_depth->FrameID());
    xn::DepthMetaData reduced;
    session.Hub().Downscale(session.Depth(), reduced, 4);
    EXPECT_EQ(Pixels(reduced), Pixels(*container.m_depth));
    ASSERT_EQ(&container.m_levelShift[1], container.m_shift);
    ExpectShiftsOfDepths(*container.m_depth, *container.m_shift, session.DepthToShift(), 120, 160);

    // Back at the input level nothing is reduced: the level-1 map keeps the
    // previous frame.
    const std::vector<unsigned short> previous = Pixels(*container.m_levelDepth[1]);
    const uint32_t previousId = container.m_levelDepth[1]->FrameID();
    ASSERT_TRUE(container.SetLevel(NAResolution::VGA));
    ASSERT_TRUE(session.Next());
    ASSERT_TRUE(container.Update(&session.Hub(), session.Node(), session.Depth(), session.FrameId(), session.Time()));
    EXPECT_EQ(&session.Depth(), container.m_depth);
    EXPECT_EQ(previousId, container.m_levelDepth[1]->FrameID());
    EXPECT_EQ(previous, Pixels(*container.m_levelDepth[1]));
    ExpectShiftsOfDepths(session.Depth(), *container.m_shift, session.DepthToShift(), 480, 640);

    // A map of another size than the one initialised is refused.
    xn::DepthMetaData other;
    other.AllocateData(320, 240);
    EXPECT_FALSE(container.Update(&session.Hub(), session.Node(), other, 99, SensorTime(5)));
    EXPECT_EQ(&session.Depth(), container.m_depth);
    EXPECT_EQ(session.FrameId(), container.m_frameId);
}

TEST(MultiResDepthMapContainer, ASizeOfNoLevel) {
    hand_test_kit::FixtureFrame frame(8, 6);
    xn::DepthMetaData wide;
    wide.AllocateData(1280, 720);
    NADepthMapContainer plain;
    EXPECT_EQ(NAResolution::NoMatch, plain.GetResolution());
    plain.m_depth = &wide;
    EXPECT_EQ(NAResolution::NoMatch, plain.GetResolution());
    plain.m_depth = &frame.Depth();
    EXPECT_EQ(NAResolution::NoMatch, plain.GetResolution());

    // The multi-resolution container refuses such an input and stays empty.
    DUZMultiResDepthMapContainer container;
    EXPECT_FALSE(container.Initialize(frame.Node(), wide));
    EXPECT_EQ(NAResolution::NoMatch, container.m_inputResolution);
    EXPECT_EQ(nullptr, container.m_depth);
    EXPECT_EQ(nullptr, container.m_levelConverter[0]);
    EXPECT_FALSE(container.Update(nullptr, frame.Node(), wide, 1, SensorTime(0)));
    EXPECT_FALSE(container.SetLevel(NAResolution::QQQVGA));
}

TEST(MultiResDepthMapContainer, DepthsAboveTheMaximumArriveAsNoDepth) {
    // An image folder of real data may hold any 16-bit value.
    vela_test::TempDir dir;
    std::vector<uint16_t> image(320 * 240, 2000);
    for (int i = 0; i < 320; ++i) {
        image[100 * 320 + i] = static_cast<uint16_t>(10001 + 37 * i);
        image[101 * 320 + i] = 65535;
    }
    image[5] = 10000;
    std::string error;
    ASSERT_TRUE(vela::scene::WritePgm16(dir.File("frame_0.pgm"), 320, 240, image.data(), error)) << error;
    CameraSession session;
    ASSERT_TRUE(session.OpenUri("synthetic://images?dir=" + vela::synthetic::EncodeUriValue(dir.Path()) +
                                "&mirror=off"))
        << session.Error();
    ASSERT_TRUE(session.Next());
    DUZMultiResDepthMapContainer container;
    ASSERT_TRUE(container.Initialize(session.Node(), session.Depth()));
    container.m_depthToShift = session.DepthToShift();
    for (NAResolution level : {NAResolution::QVGA, NAResolution::QQQVGA}) {
        ASSERT_TRUE(container.SetLevel(level));
        ASSERT_TRUE(session.Next());
        ASSERT_TRUE(
            container.Update(&session.Hub(), session.Node(), session.Depth(), session.FrameId(), session.Time()));
    }
    const xn::DepthMetaData& depth = session.Depth();
    for (int c = 0; c < 320; ++c) {
        ASSERT_EQ(0, depth(c, 100)) << c;
        ASSERT_EQ(0, depth(c, 101)) << c;
    }
    EXPECT_EQ(10000, depth(5, 0));
    EXPECT_EQ(2000, depth(6, 0));
    ExpectShiftsOfDepths(*container.m_depth, *container.m_shift, session.DepthToShift(), 60, 80);
    ASSERT_TRUE(container.SetLevel(NAResolution::QVGA));
    ASSERT_TRUE(container.Update(&session.Hub(), session.Node(), session.Depth(), session.FrameId(), session.Time()));
    EXPECT_EQ(0, (*container.m_shift)(17, 100));
    EXPECT_NE(0, (*container.m_shift)(17, 99));
}

TEST(MultiResDepthMapContainer, AStreamDeliveringDepthsAboveItsMaximum) {
    // Not the synthetic camera, which keeps to its maximum: a stream of
    // another device (or a recording of one) delivering any 16-bit value
    // into the node's metadata, which the shift map then looks up.
    hand_test_kit::FixtureFrame fixture(320, 240, 10000);
    std::vector<uint16_t> pixels(320 * 240, 1500);
    for (int i = 0; i < 320; ++i) pixels[7 * 320 + i] = static_cast<uint16_t>(65535 - i);
    xn::DepthMetaData depth;
    fixture.Deliver(pixels, 1, SensorTime(0), depth);
    DUZMultiResDepthMapContainer container;
    ASSERT_TRUE(container.Initialize(fixture.Node(), depth));
    container.m_depthToShift = fixture.DepthToShift();
    ASSERT_TRUE(container.Update(nullptr, fixture.Node(), depth, 1, SensorTime(0)));
    for (int c = 0; c < 320; ++c) {
        ASSERT_EQ(0, depth(c, 7)) << c;
        ASSERT_EQ(0, (*container.m_shift)(c, 7)) << c;
    }
    ExpectShiftsOfDepths(depth, *container.m_shift, fixture.DepthToShift(), 240, 320);
}

}  // namespace
