#include "NACommon/NAUtilities.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NAConversionsTestSupport.h"
#include "OSLayer/XnOS.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using vela_test::FakeSensor;

TEST(NAFindImageBordersTest, BoxOfTheNonZeroPixels) {
    struct Case {
        std::vector<std::pair<int, int>> pixels;
        Box2D<int> box;
    };
    const Case cases[] = {
        {{{159, 0}}, Box2D<int>(159, 0, 159, 0)},
        {{}, Box2D<int>(0, 0, 0, 0)},
        {{{0, 119}}, Box2D<int>(0, 119, 0, 119)},
        {{{3, 5}, {100, 77}, {50, 40}}, Box2D<int>(3, 5, 100, 77)},
        {{{0, 0}, {159, 119}}, Box2D<int>(0, 0, 159, 119)},
    };
    for (const Case& c : cases) {
        std::vector<unsigned short> image(160 * 120, 0);
        for (const auto& p : c.pixels) image[p.second * 160 + p.first] = 1200;
        Box2D<int> box(-5, -5, -5, -5);
        NAFindImageBorders(160, 120, image.data(), box);
        EXPECT_EQ(c.box, box) << c.pixels.size();
    }
}

TEST(CopyShiftLookupTablesTest, AllocatesPaddedTablesAndFillsThemFromTheDevice) {
    FakeSensor sensor;
    sensor.m_depthToShift[300] = 2048;  // beyond MaxShift
    sensor.SetTables();
    unsigned short* depthToShift = nullptr;
    unsigned short* shiftToDepth = nullptr;
    ASSERT_TRUE(CopyShiftLookupTables(sensor.m_node, depthToShift, shiftToDepth));
    EXPECT_EQ(200, depthToShift[1000]);
    EXPECT_EQ(0, depthToShift[300]);
    EXPECT_EQ(0, depthToShift[10099]);
    EXPECT_EQ(1000, shiftToDepth[200]);
    xnOSFreeAligned(depthToShift);
    xnOSFreeAligned(shiftToDepth);
}

TEST(CopyShiftLookupTablesTest, AnUnreadableMaximumGivesADepthTableOfOneEntry) {
    FakeSensor sensor;
    sensor.m_fake.FailProperty(sensor.m_stream, ONI_STREAM_PROPERTY_MAX_VALUE);
    sensor.m_fake.SetShortAnsweringProperty(sensor.m_stream, FakeSensor::kD2S, static_cast<uint16_t>(9));
    unsigned short* depthToShift = nullptr;
    unsigned short* shiftToDepth = nullptr;
    ASSERT_TRUE(CopyShiftLookupTables(sensor.m_node, depthToShift, shiftToDepth));
    int asked = 0;
    for (const auto& read : sensor.m_fake.PropertyReads()) {
        asked = read.id == FakeSensor::kD2S ? read.size : asked;
    }
    EXPECT_EQ(2, asked);
    EXPECT_EQ(9, depthToShift[0]);
    xnOSFreeAligned(depthToShift);
    xnOSFreeAligned(shiftToDepth);
}

TEST(CopyShiftLookupTablesTest, FailuresAreReportedOnStandardError) {
    struct Case {
        const char* family;
        int failing;
        uint64_t maxShift;
        const char* message;
    };
    const Case cases[] = {
        {"Nothing", 0, 2047, "Couldn't get max shift value\n"},
        {"KV4410", FakeSensor::kD2S, 2047, "Unknown Zelto Status!Couldn't load depthToShift buffer.\n"},
        {"KV4410", FakeSensor::kS2D, 2047, "Couldn't load shiftToDepth buffer.\n"},
        {"KV4410", 0, 70000, "Invalid max shift value 70000\n"},
    };
    for (const Case& c : cases) {
        FakeSensor sensor;
        sensor.m_node.SetDeviceFamilies(c.family);
        sensor.SetInt(FakeSensor::kMaxShiftId, c.maxShift);
        if (c.failing != 0) sensor.m_fake.FailProperty(sensor.m_stream, c.failing);
        unsigned short* depthToShift = nullptr;
        unsigned short* shiftToDepth = nullptr;
        CaptureStderr();
        EXPECT_FALSE(CopyShiftLookupTables(sensor.m_node, depthToShift, shiftToDepth));
        EXPECT_EQ(c.message, GetCapturedStderr());
        // Tables made before the failure belong to the caller.
        xnOSFreeAligned(depthToShift);
        xnOSFreeAligned(shiftToDepth);
    }
}

}  // namespace
