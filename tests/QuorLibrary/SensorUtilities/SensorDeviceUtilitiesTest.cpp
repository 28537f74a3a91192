#include "QuorLibrary/SensorUtilities/SensorDeviceUtilities.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "../../XnAdapter/XnNodesTestSupport.h"

namespace {

class SensorDeviceUtilitiesTest : public ::testing::Test {
protected:
    // A depth node on a fake stream with the given fields of view.
    void SetFieldsOfView(float horizontal, float vertical) {
        m_depth.SetStream(m_stream);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, horizontal);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, vertical);
    }

    vela_test::FakeOniStreams m_oni;
    OniStreamHandle m_stream = m_oni.NewStream();
    xn::DepthGenerator m_depth;
};

TEST_F(SensorDeviceUtilitiesTest, FieldsOfViewFallBackWhenNeitherIsReported) {
    // No stream at all.
    EXPECT_EQ(1.0226, GetDepthFOVX(m_depth));
    EXPECT_EQ(0.796616, GetDepthFOVY(m_depth));
    // Both reads fail.
    m_depth.SetStream(m_stream);
    m_oni.FailProperty(m_stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV);
    m_oni.FailProperty(m_stream, ONI_STREAM_PROPERTY_VERTICAL_FOV);
    EXPECT_EQ(1.0226, GetDepthFOVX(m_depth));
    EXPECT_EQ(0.796616, GetDepthFOVY(m_depth));
    // Both read as 0 (negative zero included).
    SetFieldsOfView(0.0f, -0.0f);
    EXPECT_EQ(1.0226, GetDepthFOVX(m_depth));
    EXPECT_EQ(0.796616, GetDepthFOVY(m_depth));
}

TEST_F(SensorDeviceUtilitiesTest, FieldsOfViewAreTheStreamsWidenedToDouble) {
    SetFieldsOfView(1.0226f, 0.7966f);
    EXPECT_EQ(static_cast<double>(1.0226f), GetDepthFOVX(m_depth));
    EXPECT_EQ(static_cast<double>(0.7966f), GetDepthFOVY(m_depth));
    // Each query reads the vertical value first, then the horizontal one.
    const auto& reads = m_oni.PropertyReads();
    ASSERT_EQ(4u, reads.size());
    EXPECT_EQ(ONI_STREAM_PROPERTY_VERTICAL_FOV, reads[0].id);
    EXPECT_EQ(ONI_STREAM_PROPERTY_HORIZONTAL_FOV, reads[1].id);
    // Only the asked value must be valid.
    SetFieldsOfView(1.0f, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(1.0, GetDepthFOVX(m_depth));
    SetFieldsOfView(0.0f, 0.5f);
    EXPECT_EQ(0.5, GetDepthFOVY(m_depth));
}

using SensorDeviceUtilitiesDeathTest = SensorDeviceUtilitiesTest;

TEST_F(SensorDeviceUtilitiesDeathTest, InvalidHorizontalFieldOfViewEndsTheProcess) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float horizontal;
        const char* shown;
    };
    const Case cases[] = {{0.0f, "0\\.00"}, {-0.5f, "-0\\.50"}, {nan, "-?nan"}, {inf, "inf"}, {-inf, "-inf"}};
    for (const Case& c : cases) {
        SetFieldsOfView(c.horizontal, 0.8f);
        EXPECT_EXIT(GetDepthFOVX(m_depth), ::testing::ExitedWithCode(1),
                    std::string("^FATAL ERROR: Depth generator returned invalid horizontal FOV \\(") + c.shown +
                        "\\)\n$")
            << c.shown;
    }
}

TEST_F(SensorDeviceUtilitiesDeathTest, InvalidVerticalFieldOfViewEndsTheProcess) {
    SetFieldsOfView(1.0f, 0.0f);
    EXPECT_EXIT(GetDepthFOVY(m_depth), ::testing::ExitedWithCode(1),
                "^FATAL ERROR: Depth generator returned invalid vertical FOV \\(0\\.00\\)\n$");
    SetFieldsOfView(1.0f, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EXIT(GetDepthFOVY(m_depth), ::testing::ExitedWithCode(1),
                "^FATAL ERROR: Depth generator returned invalid vertical FOV \\(-?nan\\)\n$");
}

// A 4x3 depth map whose pixel (x, y) holds 100 * y + x + 1.
class DepthMapFixture {
public:
    DepthMapFixture() {
        m_map.AllocateData(4, 3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                m_map.WritableData()[y * 4 + x] = static_cast<XnDepthPixel>(100 * y + x + 1);
            }
        }
    }
    xn::DepthMetaData m_map;
};

TEST(SensorDeviceUtilitiesDepthTest, GetDepthTruncatesTowardZeroAndAnswersZeroOffTheMap) {
    const DepthMapFixture fixture;
    const xn::DepthMetaData& map = fixture.m_map;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float x;
        float y;
        XnUInt16 expected;
    };
    const Case cases[] = {
        {-0.5f, 1.7f, 101},   // truncates to (0, 1)
        {3.99f, 2.99f, 204},  // last pixel
        {-1.0f, 0.0f, 0},     {4.0f, 0.0f, 0},  {0.0f, -1.0f, 0}, {0.0f, 3.0f, 0},
        {-0.99f, -0.99f, 1},  {1e10f, 0.0f, 0}, {-1e10f, 0.0f, 0}, {nan, 0.0f, 0}, {0.0f, nan, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, GetDepth(map, Vector2D<float>(c.x, c.y))) << c.x << ", " << c.y;
    }
    EXPECT_EQ(203, GetDepth(map, Vector2D<int>(2, 2)));
    EXPECT_EQ(0, GetDepth(map, Vector2D<int>(-1, 0)));
    EXPECT_EQ(0, GetDepth(map, Vector2D<int>(4, 0)));
    EXPECT_EQ(0, GetDepth(map, Vector2D<int>(0, 3)));
}

TEST(SensorDeviceUtilitiesDepthTest, MapWrapperBorrowsThePixelsWithoutOwningThem) {
    DepthMapFixture fixture;
    {
        MapMetaDataArray2DWrapper<unsigned short> wrapper(fixture.m_map);
        EXPECT_EQ(fixture.m_map.Data(), wrapper.Data());
        EXPECT_EQ(3, wrapper.Rows());
        EXPECT_EQ(4, wrapper.Columns());
        EXPECT_EQ(12, wrapper.Size());
        EXPECT_EQ(12, wrapper.Capacity());
        EXPECT_FALSE(wrapper.OwnsMemory());
        EXPECT_EQ(203, wrapper(2, 2));
    }
    // The map's buffer survived the wrapper.
    EXPECT_EQ(204, fixture.m_map(3, 2));
}

class SensorDeviceSyncTest : public ::testing::Test {
protected:
    // Gives node a frame with that time stamp and index.
    void SetFrame(xn::MapGenerator& node, uint64_t timestamp, int index) {
        node.UpdateFrame(m_oni.NewFrame(timestamp, index));
    }

    vela_test::FakeOniStreams m_oni;
    xn::DepthGenerator m_a;
    xn::ImageGenerator m_b;
};

TEST_F(SensorDeviceSyncTest, CompareSyncAndInSyncUseAWindowOf4999Microseconds) {
    struct Case {
        uint64_t a;
        uint64_t b;
        int compare;
        bool inSync;
    };
    const Case cases[] = {
        {10000, 5000, 1, false}, {5000, 10000, -1, false}, {5000, 9999, 0, true}, {9999, 5000, 0, true},
        {10001, 5001, 1, false}, {0, 0, 0, true},          {1u << 20, 0, 1, false},
    };
    for (const Case& c : cases) {
        SetFrame(m_a, c.a, 1);
        SetFrame(m_b, c.b, 1);
        EXPECT_EQ(c.compare, CompareSync(m_a, m_b)) << c.a << " " << c.b;
        EXPECT_EQ(c.inSync, InSync(m_a, m_b)) << c.a << " " << c.b;
    }
    // Nodes without frames count as time 0.
    m_a.UpdateFrame(nullptr);
    m_b.UpdateFrame(nullptr);
    EXPECT_EQ(0, CompareSync(m_a, m_b));
    EXPECT_TRUE(InSync(m_a, m_b));
}

TEST_F(SensorDeviceSyncTest, GeneratorStatusShowsFrameTimeAndSkew) {
    SetFrame(m_a, 1500000, 7);
    SetFrame(m_b, 1506000, 8);
    EXPECT_EQ("Name       f=7 t=1.500", GetGeneratorStatus(m_a, nullptr, true));
    EXPECT_EQ("Name       f=8 t=1.506 [SKEW]", GetGeneratorStatus(m_b, &m_a, false));
    EXPECT_EQ("Name       f=8 t=1.506 <pushc red>[SKEW]<popc>", GetGeneratorStatus(m_b, &m_a, true));
    SetFrame(m_b, 1504999, 8);
    EXPECT_EQ("Name       f=8 t=1.505", GetGeneratorStatus(m_b, &m_a, true));

    SetFrame(m_b, 1506000, 8);
    testing::internal::CaptureStdout();
    PrintSyncDebug(m_a, m_b);
    EXPECT_EQ("Name       f=7 t=1.500\nName       f=8 t=1.506 [SKEW]\n", testing::internal::GetCapturedStdout());
}

TEST_F(SensorDeviceSyncTest, ReadSynchronizedReadsTheNodeBehindUntilBothAgree) {
    const OniStreamHandle streamA = m_oni.NewStream();
    const OniStreamHandle streamB = m_oni.NewStream();
    m_a.SetStream(streamA);
    m_b.SetStream(streamB);
    m_oni.QueueFrame(streamA, m_oni.NewFrame(100000, 1));
    m_oni.QueueFrame(streamB, m_oni.NewFrame(60000, 1));   // b is 40 ms behind
    m_oni.QueueFrame(streamB, m_oni.NewFrame(80000, 2));
    m_oni.QueueFrame(streamB, m_oni.NewFrame(133000, 3));  // now a is 33 ms behind
    m_oni.QueueFrame(streamA, m_oni.NewFrame(133300, 2));
    bool wrapped = true;
    EXPECT_TRUE(ReadSynchronized(&m_a, &m_b, true, &wrapped));
    EXPECT_FALSE(wrapped);
    EXPECT_EQ(0u, m_oni.QueuedFrames());
    EXPECT_EQ(133300u, m_a.GetTimestamp());
    EXPECT_EQ(133000u, m_b.GetTimestamp());

    // Without sync one frame each is read, however far apart.
    m_oni.QueueFrame(streamA, m_oni.NewFrame(200000, 3));
    m_oni.QueueFrame(streamB, m_oni.NewFrame(300000, 4));
    EXPECT_TRUE(ReadSynchronized(&m_a, &m_b, false, nullptr));
    EXPECT_EQ(0u, m_oni.QueuedFrames());
}

TEST_F(SensorDeviceSyncTest, ReadSynchronizedReportsARestartedRecording) {
    const OniStreamHandle streamA = m_oni.NewStream();
    m_a.SetStream(streamA);
    SetFrame(m_a, 900000, 90);
    m_oni.QueueFrame(streamA, m_oni.NewFrame(33000, 1));
    bool wrapped = false;
    EXPECT_TRUE(ReadSynchronized(&m_a, nullptr, true, &wrapped));
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(1, m_a.GetFrameID());
}

TEST_F(SensorDeviceSyncTest, ReadSynchronizedFailsWhenNoFrameCanBeRead) {
    EXPECT_FALSE(ReadSynchronized(nullptr, &m_b, true, nullptr));
    // a's stream is not registered: the wait cannot succeed.
    testing::internal::CaptureStdout();
    bool wrapped = true;
    EXPECT_FALSE(ReadSynchronized(&m_a, nullptr, false, &wrapped));
    EXPECT_EQ("Waiting on unregistered stream!\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(wrapped);

    // The synchronising loop stops when the frames run out instead of
    // waiting on forever.
    const OniStreamHandle streamA = m_oni.NewStream();
    const OniStreamHandle streamB = m_oni.NewStream();
    m_a.SetStream(streamA);
    m_b.SetStream(streamB);
    m_oni.QueueFrame(streamA, m_oni.NewFrame(100000, 1));
    m_oni.QueueFrame(streamB, m_oni.NewFrame(50000, 1));
    EXPECT_FALSE(ReadSynchronized(&m_a, &m_b, true, nullptr));
}

class SensorDeviceLookupTest : public ::testing::Test {
protected:
    vela_test::FakeOniStreams m_oni;
    xn::Context m_context;  // no device
};

TEST_F(SensorDeviceLookupTest, NoNodeIsFoundWithoutADeviceAndNoRecordingEver) {
    xn::DepthGenerator depth;
    depth.SetStream(m_oni.NewStream());
    EXPECT_EQ(0x1000Au, GetProductionNode(m_context, depth, XN_NODE_TYPE_DEPTH, 0, nullptr));
    EXPECT_EQ(nullptr, depth.GetStreamHandle());
    xn::Player player;
    for (XnProductionNodeType type : {XN_NODE_TYPE_IMAGE, XN_NODE_TYPE_IR, XN_NODE_TYPE_MAP, XN_NODE_TYPE_PLAYER}) {
        EXPECT_EQ(0x1000Au, GetProductionNode(m_context, player, type, 0, "Bla")) << type;
    }

    std::string name = "unchanged";
    EXPECT_FALSE(IsFileDevice(m_context, &name));
    EXPECT_EQ("unchanged", name);
    EXPECT_FALSE(IsFileDevice(m_context));
    EXPECT_EQ("", GetFileDeviceConnectionString(m_context));
    EXPECT_FALSE(SetFastestPlaybackSpeed(m_context));
    EXPECT_EQ(0, GetNumberOfFrames(m_context));
    EXPECT_EQ(0, GetNumberOfFrames(depth));
}

TEST_F(SensorDeviceLookupTest, InitializeContextCommonDeletesTheNodeItCouldNotBind) {
    xn::DepthGenerator* pDepth = nullptr;
    EXPECT_EQ(0x1000Au, InitializeContextCommon(m_context, pDepth, false, 0, nullptr));
    EXPECT_EQ(nullptr, pDepth);
    xn::IRGenerator* pIR = nullptr;
    EXPECT_EQ(0x1000Au, InitializeContextCommon(m_context, pIR, false, 1, nullptr));
    EXPECT_EQ(nullptr, pIR);
    // Indices from 2 are not looked up at all.
    xn::ImageGenerator image;
    xn::ImageGenerator* pImage = &image;
    EXPECT_EQ(XN_STATUS_OK, InitializeContextCommon(m_context, pImage, true, 2, nullptr));
    EXPECT_EQ(&image, pImage);
}

using SensorDeviceLookupDeathTest = SensorDeviceLookupTest;

TEST_F(SensorDeviceLookupDeathTest, InitializeContextCommonCanEndTheProcessWithStatusOne) {
    // The message goes to standard output; route it where the death test
    // looks.
    xn::DepthGenerator* pDepth = nullptr;
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);
            InitializeContextCommon(m_context, pDepth, true, 0, nullptr);
        },
        ::testing::ExitedWithCode(1), "^Error: Did not find DepthGenerator node\n$");
    xn::MapGenerator* pMap = nullptr;
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);
            InitializeContextCommon(m_context, pMap, true, 0, nullptr);
        },
        ::testing::ExitedWithCode(1), "^Error: Did not find  node\n$");
}

class SensorDeviceRegisterTest : public ::testing::Test {
protected:
    // Register reads of device, with what they print.
    std::string Read(const char* property, XnUInt16 reg, XnUInt16& value) {
        testing::internal::CaptureStdout();
        value = ReadI2CRegister(m_device, property, reg);
        return testing::internal::GetCapturedStdout();
    }

    vela_test::FakeOniStreams m_oni;
    OniStreamHandle m_stream = m_oni.NewStream();
    xn::Device m_device;
};

TEST_F(SensorDeviceRegisterTest, ReadI2CRegisterPassesTheRegisterAndReturnsTheHighHalf) {
    m_device.SetStream(m_stream);
    m_device.SetDeviceFamilies("Kinect");
    m_oni.SetProperty(m_stream, 0x1080100C, 0xABCD0009u);
    XnUInt16 value = 0;
    EXPECT_EQ("", Read("ZPD", 9, value));
    EXPECT_EQ(0xABCD, value);
    ASSERT_EQ(1u, m_oni.PropertyReads().size());
    EXPECT_EQ(9u, m_oni.PropertyReads()[0].input);

    // A recording's device tries the second family when the first fails.
    m_device.SetDeviceFamilies("oni File");
    m_oni.FailProperty(m_stream, 0x1080100C);
    m_oni.SetProperty(m_stream, 0x12002002, 0x12340000u);
    EXPECT_EQ("", Read("ZPD", 47, value));
    EXPECT_EQ(0x1234, value);
    EXPECT_EQ(47u, m_oni.PropertyReads().back().input);
}

TEST_F(SensorDeviceRegisterTest, ReadI2CRegisterReportsNamesAndReadsThatFail) {
    XnUInt16 value = 1;
    // No family: nothing is read.
    m_device.SetStream(m_stream);
    EXPECT_EQ("Failed to read register 9\n", Read("ZPD", 9, value));
    EXPECT_EQ(0, value);
    EXPECT_TRUE(m_oni.PropertyReads().empty());
    // A name neither family knows.
    m_device.SetDeviceFamilies("oni File");
    EXPECT_EQ("Failed to read register 47\n", Read("ImageControl", 47, value));
    // A known name whose read fails, and a device node without a stream.
    m_device.SetDeviceFamilies("Tarbus");
    EXPECT_EQ("Failed to read register 3\n", Read("MaxShift", 3, value));
    m_device.SetStream(nullptr);
    EXPECT_EQ("Failed to read register 3\n", Read("MaxShift", 3, value));
    EXPECT_EQ(0, value);

    testing::internal::CaptureStdout();
    xn::Context context;
    PrintCMOSStatus(context);
    EXPECT_EQ(
        "Failed to read register 9\nDepth Exposure = 0\n"
        "Failed to read register 9\nImage Exposure = 0\n"
        "Failed to read register 47\nImage Gain = 0\n",
        testing::internal::GetCapturedStdout());
}

TEST_F(SensorDeviceRegisterTest, SendDeviceCommandParsesButNeverSends) {
    struct Case {
        const char* command;
        bool verbose;
        const char* printed;
    };
    const Case cases[] = {
        {"I2C WRITE 0 0x1F 12", true,
         "Sending command I2C WRITE 0 0x1F 12 (reg=31, val=12)\nFailed to set property 'I2C WRITE 0 0x1F 12'\n"},
        {"i2c Write 1 0xff 0xAb", false, "Failed to set property 'i2c Write 1 0xff 0xAb'\n"},
        {"I2C WRITE 1 0x10001 70000", true,
         "Sending command I2C WRITE 1 0x10001 70000 (reg=1, val=4464)\n"
         "Failed to set property 'I2C WRITE 1 0x10001 70000'\n"},
        // A bare "0x" and a missing word read as 0.
        {"I2C WRITE 1 0x", true, "Sending command I2C WRITE 1 0x (reg=0, val=0)\nFailed to set property 'I2C WRITE 1 0x'\n"},
        {"I2C WRITE 1 0X1F 5", true, "Parsing error\n"},
        {"I2C WRITE 1 5 12a", true, "Parsing error\n"},
        {"I2C WRITE 1 -5 1", true, "Parsing error\n"},
        {"I2C WRITE 2 1 1", true, "cmos must be 0/1\n"},
        {"I2C WRITE x 1 1", true, "cmos must be 0/1\n"},
        {"I2C WRITE", true, "cmos must be 0/1\n"},
        {"I2C READ 1 1 1", true, ""},
        {"SPI WRITE 1 1 1", true, ""},
        {"", true, ""},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(SendDeviceCommand(m_device, c.command, c.verbose)) << c.command;
        EXPECT_EQ(c.printed, testing::internal::GetCapturedStdout()) << c.command;
    }

    xn::Context context;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SetDepthCMOSExposure(context, 100, true));
    EXPECT_EQ("Sending command I2c write 1 0x9 100 (reg=9, val=100)\nFailed to set property 'I2c write 1 0x9 100'\n",
              testing::internal::GetCapturedStdout());
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SetDepthCMOSExposure(context, -1, true));
    EXPECT_EQ("Parsing error\n", testing::internal::GetCapturedStdout());
}

}  // namespace
