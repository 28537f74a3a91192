#include <gtest/gtest.h>

#include "SyntheticCamera/DeviceUri.h"

namespace {

using vela::synthetic::DeviceConfig;
using vela::synthetic::EncodeUriValue;
using vela::synthetic::Pacing;
using vela::synthetic::ParseDeviceUri;
using vela::synthetic::SourceKind;

TEST(SyntheticUri, ReadsEveryOption) {
    DeviceConfig c;
    std::string error;
    ASSERT_TRUE(ParseDeviceUri("synthetic://default", c, error)) << error;
    EXPECT_EQ(SourceKind::Default, c.kind);
    EXPECT_EQ(0, c.nWidth);
    EXPECT_EQ(100, c.nPixelFormat);
    EXPECT_FALSE(c.bCropping);
    EXPECT_EQ(-1, c.nMirror);
    EXPECT_FALSE(c.bHasSeed);
    EXPECT_EQ(Pacing::OnDemand, c.pacing);
    EXPECT_FALSE(c.bRefuseStart);

    ASSERT_TRUE(ParseDeviceUri("synthetic://scene?file=/a%20b/c%26d.scene&resolution=1280x1024&format=100um"
                               "&crop=on&mirror=off&seed=18446744073709551615&pacing=realtime&start=refuse",
                               c, error))
        << error;
    EXPECT_EQ(SourceKind::Scene, c.kind);
    EXPECT_EQ("/a b/c&d.scene", c.path);
    EXPECT_EQ(1280, c.nWidth);
    EXPECT_EQ(1024, c.nHeight);
    EXPECT_EQ(101, c.nPixelFormat);
    EXPECT_TRUE(c.bCropping);
    EXPECT_EQ(0, c.nMirror);
    EXPECT_TRUE(c.bHasSeed);
    EXPECT_EQ(18446744073709551615ull, c.nSeed);
    EXPECT_EQ(Pacing::RealTime, c.pacing);
    EXPECT_TRUE(c.bRefuseStart);

    ASSERT_TRUE(ParseDeviceUri("synthetic://images?dir=rel/dir&pacing=free&resolution=160x120&start=ok", c, error))
        << error;
    EXPECT_EQ(SourceKind::Images, c.kind);
    EXPECT_EQ("rel/dir", c.path);
    EXPECT_EQ(Pacing::FreeRunning, c.pacing);
    EXPECT_EQ(160, c.nWidth);
    EXPECT_FALSE(c.bRefuseStart);
}

TEST(SyntheticUri, EncodedValuesComeBackUnchanged) {
    const std::string path = "/tmp/odd dir/50%&?#\xc3\xa9.scene";
    DeviceConfig c;
    std::string error;
    ASSERT_TRUE(ParseDeviceUri("synthetic://scene?file=" + EncodeUriValue(path), c, error)) << error;
    EXPECT_EQ(path, c.path);
}

TEST(SyntheticUri, RefusesBadUrisWithTheReason) {
    const struct {
        const char* uri;
        const char* reason;
    } cases[] = {
        {"file:///x.oni", "does not start with synthetic://"},
        {"synthetic://", "unknown device ''"},
        {"synthetic://camera", "unknown device 'camera'"},
        {"synthetic://scene", "needs file=PATH"},
        {"synthetic://images?resolution=320x240", "needs dir=PATH"},
        {"synthetic://default?file=a.scene", "unknown option 'file'"},
        {"synthetic://images?dir=d&seed=3", "unknown option 'seed'"},
        {"synthetic://default?fps=60", "unknown option 'fps'"},
        {"synthetic://default?resolution=100x100", "resolution must be"},
        {"synthetic://default?resolution=320x", "resolution must be"},
        {"synthetic://default?format=shift", "format must be"},
        {"synthetic://default?mirror=yes", "mirror must be on or off"},
        {"synthetic://default?crop=1", "crop must be on or off"},
        {"synthetic://default?seed=-1", "seed must be"},
        {"synthetic://default?seed=99999999999999999999", "seed must be"},
        {"synthetic://default?seed=", "seed must be"},
        {"synthetic://default?pacing=fast", "pacing must be"},
        {"synthetic://default?start=fail", "start must be ok or refuse"},
        {"synthetic://default?mirror", "has no value"},
        {"synthetic://default?mirror=on&mirror=off", "given twice"},
        {"synthetic://scene?file=a%2", "bad percent escape"},
        {"synthetic://scene?file=a%zz", "bad percent escape"},
    };
    for (const auto& c : cases) {
        DeviceConfig config;
        std::string error;
        EXPECT_FALSE(ParseDeviceUri(c.uri, config, error)) << c.uri;
        EXPECT_NE(std::string::npos, error.find(c.reason)) << c.uri << ": " << error;
    }
}

}  // namespace
