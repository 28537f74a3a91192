#include "XnAdapter/XnNodes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "XnAdapter/XnNodeRegistry.h"
#include "XnNodesTestSupport.h"

namespace {

class XnNodesTest : public ::testing::Test {
protected:
    vela_test::FakeOniStreams m_oni;
};

TEST_F(XnNodesTest, NewNodeHasNoStreamFrameOrDevice) {
    const xn::DepthGenerator depth;
    EXPECT_EQ(nullptr, depth.GetStreamHandle());
    EXPECT_EQ(nullptr, depth.GetFrame());
    EXPECT_EQ(0u, depth.GetTimestamp());
    EXPECT_EQ(0, depth.GetFrameID());
    EXPECT_EQ(nullptr, depth.GetDeviceHandle());
    EXPECT_FALSE(depth.IsFirstFamily());
    EXPECT_FALSE(depth.IsSecondFamily());
}

TEST_F(XnNodesTest, UpdateFrameHoldsExactlyOneReferenceToTheCurrentFrame) {
    OniFrame* pFirst = m_oni.NewFrame(1000, 7);
    OniFrame* pSecond = m_oni.NewFrame(2000, 8);
    {
        xn::MapGenerator node;
        node.UpdateFrame(pFirst);
        EXPECT_EQ(1, m_oni.RefCount(pFirst));
        EXPECT_EQ(1000u, node.GetTimestamp());
        EXPECT_EQ(7, node.GetFrameID());
        // The same frame again must not drop its only reference first.
        node.UpdateFrame(pFirst);
        EXPECT_EQ(1, m_oni.RefCount(pFirst));
        node.UpdateFrame(pSecond);
        EXPECT_EQ(0, m_oni.RefCount(pFirst));
        EXPECT_EQ(1, m_oni.RefCount(pSecond));
        EXPECT_EQ(8, node.GetFrameID());
        node.UpdateFrame(nullptr);
        EXPECT_EQ(0, m_oni.RefCount(pSecond));
        EXPECT_EQ(0u, node.GetTimestamp());
        node.UpdateFrame(pSecond);
    }
    // Destruction releases the frame held.
    EXPECT_TRUE(m_oni.AllFramesReleased());
}

TEST_F(XnNodesTest, UpdateFrameToAllReachesOnlyLiveNodesOfTheSameStream) {
    const OniStreamHandle depthStream = m_oni.NewStream();
    const OniStreamHandle imageStream = m_oni.NewStream();
    OniFrame* pFrame = m_oni.NewFrame(5000, 1);
    xn::DepthGenerator depth;
    depth.SetStream(depthStream);
    xn::ImageGenerator image;
    image.SetStream(imageStream);
    xn::Device unbound;
    auto pOther = std::make_unique<xn::DepthGenerator>();
    pOther->SetStream(depthStream);
    auto pGone = std::make_unique<xn::DepthGenerator>();
    pGone->SetStream(depthStream);
    pGone.reset();  // must have left the registry

    depth.UpdateFrameToAll(pFrame);
    EXPECT_EQ(pFrame, depth.GetFrame());
    EXPECT_EQ(pFrame, pOther->GetFrame());
    EXPECT_EQ(nullptr, image.GetFrame());
    EXPECT_EQ(nullptr, unbound.GetFrame());
    EXPECT_EQ(2, m_oni.RefCount(pFrame));

    // A node without a stream shares it with nobody, not even other
    // stream-less nodes.
    OniFrame* pLoose = m_oni.NewFrame(6000, 2);
    unbound.UpdateFrameToAll(pLoose);
    EXPECT_EQ(0, m_oni.RefCount(pLoose));
}

TEST_F(XnNodesTest, CopiedDepthNodeSharesStreamAndFrameAndIsRegistered) {
    const OniStreamHandle stream = m_oni.NewStream();
    OniFrame* pFrame = m_oni.NewFrame(100, 3);
    xn::DepthGenerator depth;
    depth.SetStream(stream);
    depth.SetDeviceFamilies("oni File");
    depth.UpdateFrame(pFrame);
    {
        const xn::DepthGenerator copy(depth);
        EXPECT_EQ(stream, copy.GetStreamHandle());
        EXPECT_EQ(pFrame, copy.GetFrame());
        EXPECT_EQ(2, m_oni.RefCount(pFrame));
        // The flags come again from the device, and this node has none.
        EXPECT_FALSE(copy.IsFirstFamily());
        EXPECT_FALSE(copy.IsSecondFamily());

        OniFrame* pNext = m_oni.NewFrame(200, 4);
        depth.UpdateFrameToAll(pNext);
        EXPECT_EQ(pNext, copy.GetFrame());
    }
    EXPECT_EQ(0, m_oni.RefCount(pFrame));
    depth.UpdateFrame(nullptr);
    EXPECT_TRUE(m_oni.AllFramesReleased());
}

TEST_F(XnNodesTest, UpdateUntilHandsOutFramesUntilTheNodesStreamDelivers) {
    const OniStreamHandle depthStream = m_oni.NewStream();
    const OniStreamHandle imageStream = m_oni.NewStream();
    xn::DepthGenerator depth;
    depth.SetStream(depthStream);
    xn::DepthGenerator depthCopy;
    depthCopy.SetStream(depthStream);
    xn::ImageGenerator image;
    image.SetStream(imageStream);
    xn::Device unbound;

    OniFrame* pImage1 = m_oni.NewFrame(10, 1);
    OniFrame* pImage2 = m_oni.NewFrame(20, 2);
    OniFrame* pDepth = m_oni.NewFrame(30, 5);
    OniFrame* pLater = m_oni.NewFrame(40, 6);
    m_oni.QueueFrame(imageStream, pImage1);
    m_oni.QueueFrame(imageStream, pImage2);
    m_oni.QueueFrame(depthStream, pDepth);
    m_oni.QueueFrame(depthStream, pLater);

    EXPECT_EQ(XN_STATUS_OK, xn::UpdateUntil(depth));
    // Stopped at the depth frame; the image node kept the latest image.
    EXPECT_EQ(1u, m_oni.QueuedFrames());
    EXPECT_EQ(pDepth, depth.GetFrame());
    EXPECT_EQ(pDepth, depthCopy.GetFrame());
    EXPECT_EQ(pImage2, image.GetFrame());
    // Only the nodes hold references; the stream-less node is not waited on.
    EXPECT_EQ(2, m_oni.RefCount(pDepth));
    EXPECT_EQ(1, m_oni.RefCount(pImage2));
    EXPECT_EQ(0, m_oni.RefCount(pImage1));
    EXPECT_EQ((std::vector<OniStreamHandle>{depthStream, depthStream, imageStream}), m_oni.LastWaitStreams());
}

TEST_F(XnNodesTest, UpdateUntilReportsUnregisteredStreamsAndFailedWaits) {
    xn::DepthGenerator depth;
    testing::internal::CaptureStdout();
    EXPECT_EQ(1u, xn::UpdateUntil(depth));
    EXPECT_EQ("Waiting on unregistered stream!\n", testing::internal::GetCapturedStdout());

    depth.SetStream(m_oni.NewStream());
    // Nothing queued: the fake's wait times out and its status comes back.
    EXPECT_EQ(static_cast<XnStatus>(ONI_STATUS_TIME_OUT), xn::UpdateUntil(depth));
}

TEST_F(XnNodesTest, DeviceFamiliesFollowTheDeviceName) {
    struct Case {
        const char* name;
        bool first;
        bool second;
    };
    const Case cases[] = {
        {"KV4410", true, false}, {"Kinect", true, false}, {"oni File", true, true},  {"Tarbus", false, true},
        {"kinect", false, false}, {"Kinect2", false, false}, {"", false, false}, {nullptr, false, false},
    };
    xn::Device device;
    for (const Case& c : cases) {
        device.SetDeviceFamilies(c.name);
        EXPECT_EQ(c.first, device.IsFirstFamily()) << (c.name ? c.name : "null");
        EXPECT_EQ(c.second, device.IsSecondFamily()) << (c.name ? c.name : "null");
    }
    device.SetDevice(nullptr);
    EXPECT_FALSE(device.IsFirstFamily());
    EXPECT_FALSE(device.IsSecondFamily());
}

TEST_F(XnNodesTest, TranslationTablesGiveEachFamilysIds) {
    using Node = xn::ProductionNode;
    const int n = Node::m_intProperties;
    EXPECT_EQ(0x1080100C, Node::GetKey(Node::m_intPropertyTranslation, n, "ZPD"));
    EXPECT_EQ(0x12002002, Node::GetKey(Node::m_intPropertyTranslation + n, n, "ZPD"));
    EXPECT_EQ(0x10801009, Node::GetKey(Node::m_intPropertyTranslation, n, "MaxShift"));
    EXPECT_EQ(0x12002005, Node::GetKey(Node::m_intPropertyTranslation + n, n, "ShiftScale"));
    EXPECT_EQ(ONI_STREAM_PROPERTY_MAX_VALUE, Node::GetKey(Node::m_intPropertyTranslation + n, n, "MaxDepthValue"));
    EXPECT_EQ(ONI_STREAM_PROPERTY_MIN_VALUE, Node::GetKey(Node::m_intPropertyTranslation, n, "MinDepthValue"));
    EXPECT_EQ(0x1080100E, Node::GetKey(Node::m_realPropertyTranslation, Node::m_realProperties, "LDDIS"));
    EXPECT_EQ(0x12002006, Node::GetKey(Node::m_realPropertyTranslation + 2, Node::m_realProperties, "ZPPS"));
    EXPECT_EQ(0x1200200A, Node::GetKey(Node::m_generalPropertyTranslation + 2, Node::m_generalProperties, "D2S"));
    // Exact, case-sensitive names; unknown ones give 0.
    EXPECT_EQ(0, Node::GetKey(Node::m_intPropertyTranslation, n, "zpd"));
    EXPECT_EQ(0, Node::GetKey(Node::m_intPropertyTranslation, n, "ZPOPS"));
    EXPECT_EQ(0, Node::GetKey(Node::m_generalPropertyTranslation, Node::m_generalProperties, "ShiftsMap"));
    EXPECT_EQ(0, Node::GetKey(Node::m_intPropertyTranslation, n, nullptr));
}

TEST_F(XnNodesTest, StreamPropertyReadsGoThroughTheInstalledCalls) {
    const OniStreamHandle stream = m_oni.NewStream();
    m_oni.SetProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, 10000);
    int value = 0;
    int size = sizeof(value);
    EXPECT_EQ(ONI_STATUS_OK, xn::StreamGetProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, &value, &size));
    EXPECT_EQ(10000, value);
    // A null stream fails without reaching the calls.
    EXPECT_EQ(ONI_STATUS_ERROR, xn::StreamGetProperty(nullptr, ONI_STREAM_PROPERTY_MAX_VALUE, &value, &size));
    EXPECT_EQ(1u, m_oni.PropertyReads().size());
}

}  // namespace
