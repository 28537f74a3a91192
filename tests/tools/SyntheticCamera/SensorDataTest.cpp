// What the system derives from the served sensor data must agree with the
// frames: depth within the maximum, tables that invert each other, and the
// field of view of the renderer's camera.

#include <PS1080.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "OpenNI2TestSupport.h"
#include "SceneRenderer/SceneRenderer.h"
#include "TempDir.h"

namespace {

using vela_test::GetStreamProperty;
using vela_test::Pixels;
using vela_test::ReadFrame;
using vela_test::SetStreamProperty;

using SyntheticSensorData = vela_test::OpenNI2Test;

std::vector<uint16_t> ReadTable(OniStreamHandle stream, int id, size_t entries) {
    std::vector<uint16_t> table(entries);
    int size = static_cast<int>(entries * 2);
    EXPECT_EQ(ONI_STATUS_OK, oniStreamGetProperty(stream, id, table.data(), &size));
    EXPECT_EQ(static_cast<int>(entries * 2), size);
    return table;
}

// The floor seen from a level camera runs to the horizon, so the frames hold
// every depth up to and past the maximum, with noise. Levels sit 1 mm below
// the table's entries, as devices deliver them, or on them.
TEST_F(SyntheticSensorData, EveryDepthIsATableDepthWithinTheMaximum) {
    for (const int below : {1, 0}) {
        SCOPED_TRACE(below ? "device levels" : "table levels");
        vela_test::TempDir dir;
        vela_test::WriteWholeFile(dir.File("floor.scene"), std::string("camera elevation=1200 tilt=0\n") +
                                                               (below ? "sensor seed=4\n" : "sensor levels=table noise=0.6 seed=4\n") +
                                                               "person height=1800\n"
                                                               "  at 0 pos=0,9300\n");
        OniStreamHandle stream = OpenStream("synthetic://scene?file=" + dir.File("floor.scene"));
        ASSERT_NE(nullptr, stream);
        int maxValue = 0;
        ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, maxValue));
        ASSERT_EQ(10000, maxValue);
        uint64_t maxShift = 0;
        ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, XN_STREAM_PROPERTY_MAX_SHIFT, maxShift));
        const std::vector<uint16_t> s2d = ReadTable(stream, XN_STREAM_PROPERTY_S2D_TABLE, maxShift + 1);
        std::vector<bool> tableDepth(65536, false);
        for (const uint16_t z : s2d) tableDepth[z] = true;
        // Surfaces from here to the maximum and a little beyond (9898-10041 mm
        // with rounding to nearest) must come out at this depth.
        const uint16_t deepest = *std::max_element(s2d.begin(), s2d.end());
        ASSERT_LE(deepest, maxValue);

        int nearMaximum = 0;
        for (const int width : {320, 640}) {
            const OniVideoMode mode{ONI_PIXEL_FORMAT_DEPTH_1_MM, width, width * 3 / 4, 30};
            ASSERT_EQ(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode));
            for (int i = 0; i < 3; ++i) {
                OniFrame* frame = ReadFrame(stream);
                ASSERT_NE(nullptr, frame);
                for (const uint16_t z : Pixels(frame)) {
                    if (z == 0) continue;
                    ASSERT_LE(z, maxValue);
                    ASSERT_TRUE(tableDepth[z + below]) << "depth " << z << " is not where the shift-to-depth table puts a level";
                    nearMaximum += z + below == deepest;
                }
                oniFrameRelease(frame);
            }
        }
        EXPECT_GT(nearMaximum, 0) << "the frames never reached the deepest table depth, " << deepest;
    }
}

TEST_F(SyntheticSensorData, DepthToShiftToDepthStaysWithinOneShiftStep) {
    OniStreamHandle stream = OpenStream("synthetic://default");
    ASSERT_NE(nullptr, stream);
    const std::vector<uint16_t> s2d = ReadTable(stream, XN_STREAM_PROPERTY_S2D_TABLE, 2048);
    const std::vector<uint16_t> d2s = ReadTable(stream, XN_STREAM_PROPERTY_D2S_TABLE, 10001);
    for (int z = 400; z <= 9999; ++z) {
        const uint16_t s = d2s[z];
        ASSERT_GT(s, 0) << z;
        ASSERT_LT(s, 2047) << z;
        // z lies between the depths of the shift and the next one (whose
        // depth may lie past the maximum).
        ASSERT_LE(s2d[s], z) << z;
        ASSERT_GT(s2d[s], 0) << z;
        ASSERT_TRUE(s2d[s + 1] >= z || s2d[s + 1] == 0) << z;
    }
    for (int z = 401; z <= 10000; ++z) ASSERT_GE(d2s[z], d2s[z - 1]) << z;
    for (int s = d2s[400] + 1; s <= d2s[10000]; ++s) ASSERT_GE(s2d[s], s2d[s - 1]) << s;
    for (const uint16_t z : s2d) ASSERT_LE(z, 10000);
}

TEST_F(SyntheticSensorData, FieldOfViewPairIsTheRenderersCamera) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("wide.scene"), "camera hfov=1.2 resolution=640x480\n");
    for (const std::string& uri : {std::string("synthetic://default"), "synthetic://scene?file=" + dir.File("wide.scene")}) {
        SCOPED_TRACE(uri);
        OniStreamHandle stream = OpenStream(uri);
        ASSERT_NE(nullptr, stream);
        vela::scene::Scene scene;
        if (uri == "synthetic://default") {
            scene = vela::scene::DefaultScene();
        } else {
            std::string error;
            ASSERT_TRUE(vela::scene::LoadSceneFile(dir.File("wide.scene"), scene, error)) << error;
        }
        const vela::scene::SceneRenderer renderer(scene);
        float hfov = 0, vfov = 0;
        ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, hfov));
        ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, vfov));
        EXPECT_EQ(renderer.Camera().HorizontalFov(), hfov);
        EXPECT_EQ(static_cast<float>(renderer.Camera().VerticalFov()), vfov);
    }
}

}  // namespace
