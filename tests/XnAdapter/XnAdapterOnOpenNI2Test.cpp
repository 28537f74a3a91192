// The adapter on real OpenNI2 streams: the synthetic camera (a first-family
// device) and a recording of it played by OpenNI2's file player (both
// families).

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "../tools/SyntheticCamera/OpenNI2TestSupport.h"
#include "TempDir.h"
#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnNodes.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

class XnAdapterOnOpenNI2Test : public vela_test::OpenNI2Test {
protected:
    // A depth node on a started stream of the device.
    void Bind(OniDeviceHandle device) {
        ASSERT_NE(nullptr, device);
        OniStreamHandle stream = CreateDepthStream(device);
        ASSERT_NE(nullptr, stream);
        ASSERT_EQ(ONI_STATUS_OK, oniStreamStart(stream));
        m_node.SetDevice(device);
        m_node.SetStream(stream);
    }

    // What every device of the sensor model reports, read by name.
    void ExpectSensorParameters() {
        XnUInt64 integer = 0;
        EXPECT_EQ(XN_STATUS_OK, m_node.GetIntProperty("ZPD", integer));
        EXPECT_EQ(120u, integer);
        EXPECT_EQ(XN_STATUS_OK, m_node.GetIntProperty("MaxShift", integer));
        EXPECT_EQ(2047u, integer);
        EXPECT_EQ(XN_STATUS_OK, m_node.GetIntProperty("MaxDepthValue", integer));
        EXPECT_EQ(10000u, integer);
        XnDouble real = 0.0;
        EXPECT_EQ(XN_STATUS_OK, m_node.GetRealProperty("ZPPS", real));
        EXPECT_DOUBLE_EQ(0.1042, real);
        EXPECT_EQ(XN_STATUS_OK, m_node.GetRealProperty("LDDIS", real));
        EXPECT_DOUBLE_EQ(7.5, real);
        m_shiftToDepth.assign(2048, 0xFFFF);
        EXPECT_EQ(XN_STATUS_OK, m_node.GetGeneralProperty("S2D", 2 * 2048, m_shiftToDepth.data()));
    }

    // Reads the next frame through the registry and checks that the map
    // describes it in place, every depth a level of the sensor: a table
    // entry, or 1 mm below one as a real device reports its levels.
    void ExpectFrameInPlace(int width, int height) {
        ASSERT_EQ(XN_STATUS_OK, xn::UpdateUntil(m_node));
        const OniFrame* pFrame = m_node.GetFrame();
        ASSERT_NE(nullptr, pFrame);
        xn::DepthMetaData md;
        ASSERT_EQ(XN_STATUS_OK, m_node.GetMetaData(md));
        EXPECT_EQ(pFrame->data, md.Data());
        EXPECT_EQ(width, md.XRes());
        EXPECT_EQ(height, md.YRes());
        EXPECT_EQ(static_cast<XnUInt32>(pFrame->frameIndex), md.FrameID());
        const std::set<uint16_t> depths(m_shiftToDepth.begin(), m_shiftToDepth.end());
        int withDepth = 0;
        for (int i = 0; i < width * height; ++i) {
            const uint16_t depth = md.Data()[i];
            withDepth += depth != 0 ? 1 : 0;
            ASSERT_TRUE(depth == 0 || depths.count(depth) == 1 || depths.count(depth + 1) == 1)
                << i << ": " << depth;
        }
        EXPECT_GT(withDepth, width * height / 2);
    }

    xn::DepthGenerator m_node;
    std::vector<uint16_t> m_shiftToDepth;
};

TEST_F(XnAdapterOnOpenNI2Test, LiveSyntheticCamera) {
    Bind(Open("synthetic://default"));
    EXPECT_TRUE(m_node.IsFirstFamily());
    EXPECT_FALSE(m_node.IsSecondFamily());
    EXPECT_TRUE(m_node.IsMirrored());
    ExpectSensorParameters();
    ExpectFrameInPlace(320, 240);
    EXPECT_EQ(1, m_node.GetFrameID());
}

TEST_F(XnAdapterOnOpenNI2Test, RecordingPlayedByOpenNI2) {
    vela_test::TempDir dir;
    const std::string recording = dir.File("default.oni");
    const std::string command =
        std::string(VELA_RECORD_ONI_EXE) + " --frames 3 default " + recording + " >/dev/null";
    ASSERT_EQ(0, std::system(command.c_str()));
    OniDeviceHandle device = Open(recording);
    Bind(device);
    const float oneFramePerRead = -1.0f;
    ASSERT_EQ(ONI_STATUS_OK, oniDeviceSetProperty(device, ONI_DEVICE_PROPERTY_PLAYBACK_SPEED, &oneFramePerRead,
                                                  sizeof(oneFramePerRead)));
    EXPECT_TRUE(m_node.IsFirstFamily());
    EXPECT_TRUE(m_node.IsSecondFamily());
    // The player keeps the generic maximum in 4 bytes and answers wider
    // reads with those alone.
    ExpectSensorParameters();
    ExpectFrameInPlace(320, 240);
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
