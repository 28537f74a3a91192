// Depth above a stream's maximum is no depth from the moment a frame enters
// the adapter.

#include <gtest/gtest.h>

#include <vector>

#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnNodes.h"
#include "XnNodesTestSupport.h"

namespace {

class XnDepthRangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_stream = m_fake.NewStream();
        m_node.SetStream(m_stream);
        m_fake.SetProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, static_cast<int32_t>(10000));
    }
    void TearDown() override { m_node.SetStream(nullptr); }

    OniFrame* Frame(std::vector<uint16_t>& pixels, OniPixelFormat format) {
        OniFrame* pFrame = m_fake.NewFrame(0, 1);
        pFrame->data = pixels.data();
        pFrame->dataSize = static_cast<int>(pixels.size() * 2);
        pFrame->width = static_cast<int>(pixels.size());
        pFrame->height = 1;
        pFrame->stride = pFrame->width * 2;
        pFrame->videoMode.pixelFormat = format;
        return pFrame;
    }

    vela_test::FakeOniStreams m_fake;
    OniStreamHandle m_stream = nullptr;
    xn::DepthGenerator m_node;
};

TEST_F(XnDepthRangeTest, DepthAboveTheMaximumBecomesZeroForEveryReader) {
    std::vector<uint16_t> pixels = {0, 500, 10000, 10001, 65535};
    m_node.UpdateFrameToAll(Frame(pixels, ONI_PIXEL_FORMAT_DEPTH_1_MM));
    EXPECT_EQ(std::vector<uint16_t>({0, 500, 10000, 0, 0}), pixels);
    xn::DepthMetaData md;
    ASSERT_EQ(XN_STATUS_OK, m_node.GetMetaData(md));
    EXPECT_EQ(0, md(3, 0));

    // Frames read by the registry's waits pass the same way.
    std::vector<uint16_t> read = {20000, 1};
    m_fake.QueueFrame(m_stream, Frame(read, ONI_PIXEL_FORMAT_DEPTH_100_UM));
    ASSERT_EQ(XN_STATUS_OK, xn::UpdateUntil(m_node));
    EXPECT_EQ(std::vector<uint16_t>({0, 1}), read);
}

TEST_F(XnDepthRangeTest, FramesWithoutAKnownMaximumOrNotOfDepthStayAsTheyAre) {
    std::vector<uint16_t> image = {20000, 1};
    m_node.UpdateFrameToAll(Frame(image, ONI_PIXEL_FORMAT_GRAY16));
    EXPECT_EQ(std::vector<uint16_t>({20000, 1}), image);
    m_fake.FailProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE);
    std::vector<uint16_t> depth = {20000, 1};
    m_node.UpdateFrameToAll(Frame(depth, ONI_PIXEL_FORMAT_DEPTH_1_MM));
    EXPECT_EQ(std::vector<uint16_t>({20000, 1}), depth);
}

}  // namespace
