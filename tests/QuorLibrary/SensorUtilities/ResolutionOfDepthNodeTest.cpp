#include <gtest/gtest.h>

#include "../../XnAdapter/XnNodesTestSupport.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "XnAdapter/XnNodes.h"

namespace {

TEST(ResolutionOfDepthNodeTest, TheStreamsModeNamesTheResolution) {
    struct Case {
        int width;
        int height;
        Resolution resolution;
    };
    const Case cases[] = {{640, 480, VGA}, {1280, 720, WXGA720c}, {160, 120, QQVGA}, {100, 100, INVALID}, {0, 0, INVALID}};
    for (const Case& c : cases) {
        vela_test::FakeOniStreams oni;
        xn::DepthGenerator depth;
        depth.SetStream(oni.NewStream());
        oni.SetProperty(depth.GetStreamHandle(), ONI_STREAM_PROPERTY_VIDEO_MODE,
                        OniVideoMode{ONI_PIXEL_FORMAT_DEPTH_1_MM, c.width, c.height, 30});
        EXPECT_EQ(c.resolution, GetResolution(depth)) << c.width << "x" << c.height;
    }
}

}  // namespace
