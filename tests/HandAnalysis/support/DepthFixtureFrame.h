#pragma once

// A depth frame of the hand side without a camera, for table tests: a depth
// node on a fake OpenNI2 stream (the synthetic camera's field of view, the
// chosen maximum depth, the video mode of the frame's size, the shift
// properties the managers read), zero-filled depth and shift records, the
// renderer's sensor tables and a world-point converter built from the node,
// all described by one NADepthMapContainer.
// Paint the depth record (DepthPainting.h), then UpdateShift.
//
// The fake stream replaces the adapter's OpenNI2 calls for the frame's
// lifetime: keep one FixtureFrame at a time, and none while a CameraSession
// is open.

#include <cstdint>
#include <memory>
#include <vector>

#include "NACommon/NADepthMapContainer.h"
#include "NACommon/SensorTime.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

namespace vela_test {
class FakeOniStreams;
}

namespace hand_test_kit {

class FixtureFrame {
public:
    // The horizontal field of view the synthetic camera reports.
    static constexpr float kHorizontalFov = 1.0226f;

    // width x height, with a stream whose maximum depth is maxDepth; the
    // converter's tables then end at maxDepth + 1.
    FixtureFrame(int width, int height, int maxDepth = 10000);
    ~FixtureFrame();
    FixtureFrame(const FixtureFrame&) = delete;
    FixtureFrame& operator=(const FixtureFrame&) = delete;

    xn::DepthMetaData& Depth() { return m_depth; }
    const xn::DepthMetaData& Depth() const { return m_depth; }
    const xn::DepthMetaData& Shift() const { return m_shift; }
    // The shift map from the depth map through the depth-to-shift table.
    void UpdateShift();
    // Frame id and time of the container and both records.
    void SetFrame(uint32_t frameId, SensorTime time);

    const NADepthMapContainer& Container() const { return m_container; }
    const WorldPointConverterBase<float>& Converter() const { return *m_converter; }
    const xn::DepthGenerator& Node() const { return m_node; }
    // The depth-to-shift table has at least 10100 entries (as the device's
    // copy the trackers keep), the shift-to-depth table MaxShift + 1.
    const unsigned short* DepthToShift() const { return m_depthToShift.data(); }
    const unsigned short* ShiftToDepth() const { return m_shiftToDepth.data(); }
    int MaxShift() const { return static_cast<int>(m_shiftToDepth.size()) - 1; }
    int MaxDepth() const { return m_nMaxDepth; }

    // Hands pixels (the frame's size, row-major) to the node as a frame of
    // the stream, through the adapter's frame entry (so depth above the
    // stream's maximum becomes 0, in pixels too), and describes the node's
    // frame in metaData as a tracker does. pixels must outlive the frame's
    // use: the node keeps the frame until the next delivery.
    void Deliver(std::vector<uint16_t>& pixels, uint32_t frameId, SensorTime time, xn::DepthMetaData& metaData);

    // The world point of pixel (column, row) at depth z, and the pixel of a
    // world point (truncated as the trackers project).
    Vector3D<float> WorldAt(int column, int row, float z) const;
    void PixelOf(const Vector3D<float>& world, int& column, int& row) const;

private:
    std::unique_ptr<vela_test::FakeOniStreams> m_fake;
    xn::DepthGenerator m_node;
    int m_nMaxDepth;
    std::vector<unsigned short> m_depthToShift;
    std::vector<unsigned short> m_shiftToDepth;
    xn::DepthMetaData m_depth;
    xn::DepthMetaData m_shift;
    std::unique_ptr<WorldPointConverterBase<float>> m_converter;
    NADepthMapContainer m_container;
};

}  // namespace hand_test_kit
