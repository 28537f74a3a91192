// The depth hub without a camera: its life cycle on a fake stream and the
// stops that guard its readers. The hub on real frames is tested in
// NACommonDataOnCameraTest.cpp.

#include "NACommon/NACommonData.h"

#include <gtest/gtest.h>

#include <vector>

#include "../XnAdapter/XnNodesTestSupport.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// A depth node on a fake VGA stream of no device family: the hub's copy of
// it cannot read sensor parameters.
class NACommonDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_stream = m_fake.NewStream();
        const OniVideoMode mode = {ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480, 30};
        m_fake.SetProperty(m_stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode);
        m_node.SetStream(m_stream);
        m_pFrame = m_fake.NewFrame(0, 5);
        m_node.UpdateFrame(m_pFrame);
    }
    void TearDown() override {
        m_hub.SetDepthGenerator(nullptr);
        m_node.UpdateFrame(nullptr);
        m_node.SetStream(nullptr);
    }

    vela_test::FakeOniStreams m_fake;
    OniStreamHandle m_stream = nullptr;
    OniFrame* m_pFrame = nullptr;
    xn::DepthGenerator m_node;
    NACommonData m_hub;
};

TEST_F(NACommonDataTest, ANodeWhoseConversionsCannotBeBuiltFailsEveryInitialisation) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        CaptureStderr();
        EXPECT_FALSE(m_hub.Initialize(m_node, INVALID, nullptr, nullptr)) << attempt;
        EXPECT_EQ("Couldn't getXN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE\n", GetCapturedStderr());
        // The copy stays, but no map is prepared that tables would fill.
        EXPECT_NE(nullptr, m_hub.m_pDepthGenerator);
        EXPECT_EQ(INVALID, m_hub.m_depthResolution);
        EXPECT_EQ(INVALID, m_hub.m_hybridResolution);
    }
    // Updates then only take the frame in.
    m_hub.Update();
    EXPECT_EQ(5, m_hub.m_nFrameID);
}

TEST_F(NACommonDataTest, TheCopyOfTheNodeHoldsAFrameUntilTheLastReferenceGoes) {
    EXPECT_EQ(9223372036854775807ull, m_hub.m_nTimestamp);
    m_hub.SetDepthGenerator(&m_node);
    EXPECT_EQ(2, m_fake.RefCount(m_pFrame));
    EXPECT_FALSE(m_hub.m_bHasShiftsMap);
    m_hub.incRef();
    m_hub.incRef();
    m_hub.decRef();
    EXPECT_NE(nullptr, m_hub.m_pDepthGenerator);
    m_hub.decRef();
    EXPECT_EQ(nullptr, m_hub.m_pDepthGenerator);
    EXPECT_EQ(1, m_fake.RefCount(m_pFrame));
    // A hub without a depth node has nothing to update.
    m_hub.Update();
    EXPECT_EQ(0, m_hub.m_nFrameID);
}

TEST_F(NACommonDataTest, ReadersStopOnResolutionsTheHubDoesNotOffer) {
    m_hub.m_nativeDepthResolution = QVGA;
    EXPECT_EXIT(m_hub.ImageBox(VGA), ::testing::ExitedWithCode(1), "Unsupported resolution requested");
    EXPECT_EXIT(m_hub.ImageBox(INVALID), ::testing::ExitedWithCode(1), "Unsupported resolution requested");
    EXPECT_EXIT(m_hub.DepthMap(QQVGA, 0), ::testing::ExitedWithCode(1), "Pyramid is not up to date.");
    m_hub.m_mainGenerator = 3;
    EXPECT_EXIT(m_hub.Update(), ::testing::ExitedWithCode(1), "FATAL ERROR");
}

TEST(UpdateHybridMapLineTest, DepthsBeyondTheTableAreNoDepth) {
    std::vector<unsigned short> table(10000);
    for (int d = 0; d < 10000; ++d) table[d] = static_cast<unsigned short>(d == 0 ? 4321 : d + 1);
    const unsigned short depths[] = {0, 1, 9999, 10000, 65535};
    short hybrid[5];
    UpdateHybridMapLine(depths, hybrid, 5, table.data());
    const short expected[] = {4321, 2, 10000, 4321, 4321};
    EXPECT_TRUE(std::equal(hybrid, hybrid + 5, expected));
}

}  // namespace
