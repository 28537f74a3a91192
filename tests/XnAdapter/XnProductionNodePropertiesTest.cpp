// Driver properties read by their OpenNI1-era names through the device
// families' translation tables.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "XnAdapter/XnNodes.h"
#include "XnNodesTestSupport.h"

namespace {

const int kMaxShiftFirst = 0x10801009;
const int kMaxShiftSecond = 0x12002001;
const int kZppsFirst = 0x1080100D;
const int kZppsSecond = 0x12002006;
const int kD2SFirst = 0x10801011;

class XnProductionNodePropertiesTest : public ::testing::Test {
protected:
    // A depth node on a stream of the fake, of the families a device of that
    // name belongs to.
    void Bind(const char* deviceName) {
        m_node.SetStream(m_stream);
        m_node.SetDeviceFamilies(deviceName);
    }

    vela_test::FakeOniStreams m_oni;
    const OniStreamHandle m_stream = m_oni.NewStream();
    xn::DepthGenerator m_node;
};

TEST_F(XnProductionNodePropertiesTest, IntegersByFamily) {
    struct Case {
        const char* device;
        bool firstAnswers;
        bool secondAnswers;
        XnStatus status;
        XnUInt64 value;
    };
    // The first family answers 64-bit 3000000000, the second 32-bit -5.
    const Case cases[] = {
        {"KV4410", true, true, XN_STATUS_OK, 3000000000ull},
        {"Tarbus", true, true, XN_STATUS_OK, 0xFFFFFFFFFFFFFFFBull},
        {"oni File", true, true, XN_STATUS_OK, 3000000000ull},
        // A recording whose first-family read fails falls back to the second.
        {"oni File", false, true, XN_STATUS_OK, 0xFFFFFFFFFFFFFFFBull},
        // The status of the last attempt comes back, the value stays 0.
        {"oni File", false, false, ONI_STATUS_NOT_SUPPORTED, 0},
        {"KV4410", false, true, ONI_STATUS_NOT_SUPPORTED, 0},
        // A device of no family reads nothing.
        {"PrimeSense", true, true, ONI_STATUS_NOT_IMPLEMENTED, 0},
    };
    for (const Case& c : cases) {
        vela_test::FakeOniStreams oni;
        const OniStreamHandle stream = oni.NewStream();
        xn::DepthGenerator node;
        node.SetStream(stream);
        node.SetDeviceFamilies(c.device);
        if (c.firstAnswers) {
            oni.SetProperty(stream, kMaxShiftFirst, static_cast<uint64_t>(3000000000ull));
        }
        if (c.secondAnswers) {
            oni.SetProperty(stream, kMaxShiftSecond, static_cast<int32_t>(-5));
        }
        XnUInt64 value = 77;
        EXPECT_EQ(c.status, node.GetIntProperty("MaxShift", value)) << c.device << c.firstAnswers;
        EXPECT_EQ(c.value, value) << c.device << c.firstAnswers;
    }
}

TEST_F(XnProductionNodePropertiesTest, GenericDepthLimitsAreThirtyTwoBitsInEveryFamily) {
    for (const char* device : {"KV4410", "Tarbus"}) {
        vela_test::FakeOniStreams oni;
        const OniStreamHandle stream = oni.NewStream();
        xn::DepthGenerator node;
        node.SetStream(stream);
        node.SetDeviceFamilies(device);
        oni.SetProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, static_cast<int32_t>(10000));
        oni.SetProperty(stream, ONI_STREAM_PROPERTY_MIN_VALUE, static_cast<int32_t>(-1));
        XnUInt64 value = 0;
        EXPECT_EQ(XN_STATUS_OK, node.GetIntProperty("MaxDepthValue", value)) << device;
        EXPECT_EQ(10000u, value) << device;
        EXPECT_EQ(XN_STATUS_OK, node.GetIntProperty("MinDepthValue", value)) << device;
        EXPECT_EQ(0xFFFFFFFFFFFFFFFFull, value) << device;
        EXPECT_EQ(4, oni.PropertyReads().back().size) << device;
    }
}

// OpenNI2's file player answers a wider read with the bytes it stored and
// success; whatever the caller's variable held before must not show through.
TEST_F(XnProductionNodePropertiesTest, ShortAnswersAreTakenAtTheirSize) {
    Bind("KV4410");
    m_oni.SetShortAnsweringProperty(m_stream, kMaxShiftFirst, static_cast<uint32_t>(2047));
    XnUInt64 integer = 0xDEADBEEFDEADBEEFull;
    EXPECT_EQ(XN_STATUS_OK, m_node.GetIntProperty("MaxShift", integer));
    EXPECT_EQ(2047u, integer);
    // The variable was cleared before the driver saw it.
    EXPECT_EQ(0u, m_oni.PropertyReads().back().input);

    // A real stored as 4 bytes is a float.
    m_oni.SetShortAnsweringProperty(m_stream, kZppsFirst, 0.1042f);
    XnDouble real = 123.0;
    EXPECT_EQ(XN_STATUS_OK, m_node.GetRealProperty("ZPPS", real));
    EXPECT_EQ(static_cast<double>(0.1042f), real);

    // A table stored shorter than asked leaves the rest of the buffer zero.
    const uint16_t stored[3] = {7, 8, 9};
    m_oni.SetShortAnsweringProperty(m_stream, kD2SFirst, stored);
    std::vector<uint16_t> table(8, 0xAAAA);
    EXPECT_EQ(XN_STATUS_OK, m_node.GetGeneralProperty("D2S", 16, table.data()));
    EXPECT_EQ((std::vector<uint16_t>{7, 8, 9, 0, 0, 0, 0, 0}), table);
}

TEST_F(XnProductionNodePropertiesTest, RealsAreDoublesThatFallBackToTheSecondFamily) {
    Bind("oni File");
    m_oni.FailProperty(m_stream, kZppsFirst);
    m_oni.SetProperty(m_stream, kZppsSecond, 0.1042);
    XnDouble value = 0.0;
    EXPECT_EQ(XN_STATUS_OK, m_node.GetRealProperty("ZPPS", value));
    EXPECT_EQ(0.1042, value);

    // An answer neither a double nor a float is no number.
    const uint16_t odd = 5;
    m_oni.SetShortAnsweringProperty(m_stream, kZppsSecond, odd);
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_ERROR), m_node.GetRealProperty("ZPPS", value));
    EXPECT_EQ(0.0, value);
}

TEST_F(XnProductionNodePropertiesTest, UnknownNamesMissingStreamsAndBadBuffers) {
    Bind("oni File");
    XnUInt64 integer = 5;
    XnDouble real = 5.0;
    uint8_t buffer[4] = {1, 2, 3, 4};
    // Names no table holds, or that only another table holds.
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_NOT_IMPLEMENTED), m_node.GetIntProperty("ZPOPS", integer));
    EXPECT_EQ(0u, integer);
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_NOT_IMPLEMENTED), m_node.GetRealProperty("ZPD", real));
    EXPECT_EQ(0.0, real);
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_NOT_IMPLEMENTED),
              m_node.GetGeneralProperty("ShiftsMap", sizeof(buffer), buffer));
    EXPECT_EQ(0, buffer[0]);
    EXPECT_TRUE(m_oni.PropertyReads().empty());

    // A known name on a node without a stream.
    m_node.SetStream(nullptr);
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_ERROR), m_node.GetIntProperty("ZPD", integer));
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_BAD_PARAMETER), m_node.GetGeneralProperty("S2D", 4, nullptr));
}

}  // namespace
