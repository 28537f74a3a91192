// The depth node's metadata refresh and mirroring query.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "XnAdapter/XnNodes.h"
#include "XnNodesTestSupport.h"

namespace {

class XnDepthGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_node.SetStream(m_stream);
        SetMode(8, 6);
    }

    void SetMode(int width, int height) {
        const OniVideoMode mode = {ONI_PIXEL_FORMAT_DEPTH_1_MM, width, height, 30};
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode);
    }

    // A frame of width x height pixels numbered 0, 1, 2 ... row by row.
    OniFrame* Frame(int width, int height, uint64_t timestamp, int index) {
        m_pixels.emplace_back(static_cast<size_t>(width * height));
        std::vector<uint16_t>& pixels = m_pixels.back();
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<uint16_t>(i);
        }
        OniFrame* pFrame = m_oni.NewFrame(timestamp, index);
        pFrame->data = pixels.data();
        pFrame->dataSize = width * height * 2;
        pFrame->width = width;
        pFrame->height = height;
        pFrame->stride = width * 2;
        return pFrame;
    }

    vela_test::FakeOniStreams m_oni;
    const OniStreamHandle m_stream = m_oni.NewStream();
    xn::DepthGenerator m_node;
    std::vector<std::vector<uint16_t>> m_pixels;
};

TEST_F(XnDepthGeneratorTest, MetaDataPointsIntoTheCurrentFrame) {
    OniFrame* pFrame = Frame(8, 6, 66666, 3);
    m_node.UpdateFrame(pFrame);
    xn::DepthMetaData md;
    md.XOffset() = 9;
    ASSERT_EQ(XN_STATUS_OK, m_node.GetMetaData(md));
    EXPECT_EQ(pFrame->data, md.Data());
    EXPECT_EQ(66666u, md.Timestamp());
    EXPECT_EQ(3u, md.FrameID());
    EXPECT_EQ(8, md.XRes());
    EXPECT_EQ(6, md.YRes());
    EXPECT_EQ(8, md.FullXRes());
    EXPECT_EQ(6, md.FullYRes());
    EXPECT_EQ(0, md.XOffset());
    EXPECT_EQ(96u, md.DataSize());
    EXPECT_EQ(xn::XN_PIXEL_FORMAT_GRAYSCALE_16_BIT, md.PixelFormat());
    EXPECT_EQ(nullptr, md.OwnedBuffer());
    EXPECT_EQ(13, md(5, 1));
    // The frame tells all: the stream's properties are not read.
    EXPECT_TRUE(m_oni.PropertyReads().empty());
}

TEST_F(XnDepthGeneratorTest, WithoutFrameDataTheMapIsItsOwnZeroedBufferOfTheModesSize) {
    xn::DepthMetaData md;
    ASSERT_EQ(XN_STATUS_OK, m_node.GetMetaData(md));
    EXPECT_EQ(md.OwnedBuffer(), md.Data());
    EXPECT_EQ(8, md.XRes());
    EXPECT_EQ(6, md.FullYRes());
    EXPECT_EQ(96u, md.DataSize());
    EXPECT_EQ(0, md(7, 5));

    // A frame without pixels gives its time but no data.
    m_node.UpdateFrame(m_oni.NewFrame(100, 9));
    ASSERT_EQ(XN_STATUS_OK, m_node.GetMetaData(md));
    EXPECT_EQ(9u, md.FrameID());
    EXPECT_EQ(md.OwnedBuffer(), md.Data());

    // Without a stream the mode reads as zeros.
    xn::DepthGenerator unbound;
    xn::DepthMetaData empty;
    ASSERT_EQ(XN_STATUS_OK, unbound.GetMetaData(empty));
    EXPECT_EQ(0, empty.XRes());
    EXPECT_EQ(0u, empty.DataSize());
}

// On a lent device the application's stream shares the driver stream and may
// crop it: the frame then holds fewer pixels than the mode, and the map must
// describe the frame, not read past it.
TEST_F(XnDepthGeneratorTest, CroppedFramesAreDescribedByTheirOwnSize) {
    SetMode(16, 12);
    OniFrame* pFrame = Frame(8, 6, 1, 1);
    pFrame->croppingEnabled = TRUE;
    pFrame->cropOriginX = 3;
    pFrame->cropOriginY = 5;
    m_node.UpdateFrame(pFrame);
    xn::DepthMetaData md;
    ASSERT_EQ(XN_STATUS_OK, m_node.GetMetaData(md));
    EXPECT_EQ(pFrame->data, md.Data());
    EXPECT_EQ(8, md.XRes());
    EXPECT_EQ(6, md.YRes());
    EXPECT_EQ(16, md.FullXRes());
    EXPECT_EQ(12, md.FullYRes());
    EXPECT_EQ(3, md.XOffset());
    EXPECT_EQ(5, md.YOffset());
    EXPECT_EQ(96u, md.DataSize());
}

TEST_F(XnDepthGeneratorTest, FramesWhoseBufferDoesNotHoldTheirRowsAreNotPointedAt) {
    OniFrame* pShort = Frame(8, 6, 1, 1);
    pShort->dataSize = 40;
    OniFrame* pPadded = Frame(8, 6, 2, 2);
    pPadded->stride = 20;
    for (OniFrame* pFrame : {pShort, pPadded}) {
        m_node.UpdateFrame(pFrame);
        xn::DepthMetaData md;
        ASSERT_EQ(XN_STATUS_OK, m_node.GetMetaData(md));
        EXPECT_EQ(md.OwnedBuffer(), md.Data());
        EXPECT_EQ(96u, md.DataSize());
    }
}

TEST_F(XnDepthGeneratorTest, IsMirroredOnlyWhenTheStreamSaysSo) {
    EXPECT_FALSE(m_node.IsMirrored());  // not readable
    m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MIRRORING, static_cast<OniBool>(TRUE));
    EXPECT_TRUE(m_node.IsMirrored());
    m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MIRRORING, static_cast<OniBool>(FALSE));
    EXPECT_FALSE(m_node.IsMirrored());
    m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MIRRORING, static_cast<OniBool>(2));
    EXPECT_FALSE(m_node.IsMirrored());
    xn::DepthGenerator unbound;
    EXPECT_FALSE(unbound.IsMirrored());
}

}  // namespace
