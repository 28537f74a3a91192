// Waiting for frames of any registered stream.

#include <gtest/gtest.h>

#include "XnAdapter/XnNodeRegistry.h"
#include "XnAdapter/XnNodes.h"
#include "XnNodesTestSupport.h"

namespace {

class XnNodeRegistryTest : public ::testing::Test {
protected:
    vela_test::FakeOniStreams m_oni;
};

TEST_F(XnNodeRegistryTest, UpdateUntilAnyHandsOutOneFrameOfWhicheverStreamIsReady) {
    const OniStreamHandle depthStream = m_oni.NewStream();
    const OniStreamHandle imageStream = m_oni.NewStream();
    xn::DepthGenerator depth;
    depth.SetStream(depthStream);
    xn::ImageGenerator image;
    image.SetStream(imageStream);
    xn::DepthGenerator depthCopy(depth);
    xn::Device unbound;

    OniFrame* pImage = m_oni.NewFrame(10, 1);
    OniFrame* pDepth = m_oni.NewFrame(20, 2);
    m_oni.QueueFrame(imageStream, pImage);
    m_oni.QueueFrame(depthStream, pDepth);

    EXPECT_EQ(XN_STATUS_OK, xn::UpdateUntilAny());
    EXPECT_EQ(pImage, image.GetFrame());
    EXPECT_EQ(nullptr, depth.GetFrame());
    EXPECT_EQ(1u, m_oni.QueuedFrames());
    EXPECT_EQ(XN_STATUS_OK, xn::UpdateUntilAny());
    EXPECT_EQ(pDepth, depth.GetFrame());
    EXPECT_EQ(pDepth, depthCopy.GetFrame());
    EXPECT_EQ(2, m_oni.RefCount(pDepth));
    // The stream-less node is not waited on.
    EXPECT_EQ(3u, m_oni.LastWaitStreams().size());

    // Nothing queued: the wait's failure comes back and nothing changes.
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_TIME_OUT), xn::UpdateUntilAny());
    EXPECT_EQ(pDepth, depth.GetFrame());
}

TEST_F(XnNodeRegistryTest, UpdateAllWaitsForTheFirstRegisteredNode) {
    const OniStreamHandle depthStream = m_oni.NewStream();
    const OniStreamHandle imageStream = m_oni.NewStream();
    xn::DepthGenerator first;
    first.SetStream(depthStream);
    xn::ImageGenerator image;
    image.SetStream(imageStream);
    ASSERT_EQ(2u, xn::g_nodeList.Size()) << "no other node may be registered";
    OniFrame* pImage = m_oni.NewFrame(10, 1);
    OniFrame* pDepth = m_oni.NewFrame(20, 2);
    m_oni.QueueFrame(imageStream, pImage);
    m_oni.QueueFrame(depthStream, pDepth);
    EXPECT_EQ(XN_STATUS_OK, xn::UpdateAll());
    EXPECT_EQ(pDepth, first.GetFrame());
    EXPECT_EQ(pImage, image.GetFrame());
    EXPECT_EQ(0u, m_oni.QueuedFrames());
}

TEST(XnNodeRegistryEmptyTest, NothingToWaitOn) {
    ASSERT_TRUE(xn::g_nodeList.IsEmpty()) << "no other node may be registered";
    EXPECT_EQ(1u, xn::UpdateAll());
    EXPECT_EQ(1u, xn::UpdateUntilAny());
    xn::Device unbound;
    EXPECT_EQ(1u, xn::UpdateUntilAny());
}

}  // namespace
