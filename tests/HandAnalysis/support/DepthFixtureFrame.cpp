#include "DepthFixtureFrame.h"

#include <algorithm>
#include <cmath>

#include "../../XnAdapter/XnNodesTestSupport.h"
#include "SceneRenderer/DepthCamera.h"
#include "SceneRenderer/SensorModel.h"

namespace hand_test_kit {

namespace {

// Entries the trackers' copy of the depth-to-shift table has at least.
constexpr size_t kDepthTableEntries = 10100;

}  // namespace

FixtureFrame::FixtureFrame(int width, int height, int maxDepth)
    : m_fake(new vela_test::FakeOniStreams), m_nMaxDepth(maxDepth) {
    const OniStreamHandle stream = m_fake->NewStream();
    m_node.SetDeviceFamilies("KV4410");
    m_node.SetStream(stream);
    const float verticalFov = static_cast<float>(vela::scene::DepthCamera::VerticalFovFor(kHorizontalFov));
    m_fake->SetProperty(stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, kHorizontalFov);
    m_fake->SetProperty(stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, verticalFov);
    m_fake->SetProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, static_cast<int32_t>(maxDepth));
    OniVideoMode mode{};
    mode.pixelFormat = ONI_PIXEL_FORMAT_DEPTH_1_MM;
    mode.resolutionX = width;
    mode.resolutionY = height;
    mode.fps = 30;
    m_fake->SetProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode);

    vela::scene::SensorParameters parameters;
    parameters.nDeviceMaxDepthValue = static_cast<uint16_t>(maxDepth);
    vela::scene::SensorModel sensor;
    sensor.Init(parameters);
    m_depthToShift.assign(std::max(kDepthTableEntries, sensor.DepthToShiftTable().size()), 0);
    std::copy(sensor.DepthToShiftTable().begin(), sensor.DepthToShiftTable().end(), m_depthToShift.begin());
    m_shiftToDepth.assign(sensor.ShiftToDepthTable().begin(), sensor.ShiftToDepthTable().end());
    // The device's shift properties (first family), as the managers read them.
    m_fake->SetShortAnsweringProperty(stream, 0x10801009, static_cast<int32_t>(m_shiftToDepth.size() - 1));
    m_fake->SetBytes(stream, 0x10801011, m_depthToShift.data(), (static_cast<size_t>(maxDepth) + 1) * 2);
    m_fake->SetBytes(stream, 0x10801010, m_shiftToDepth.data(), m_shiftToDepth.size() * 2);

    m_depth.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height));
    m_shift.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height));
    m_converter.reset(new WorldPointConverterBase<float>(m_node, width, height));
    m_container.m_depth = &m_depth;
    m_container.m_shift = &m_shift;
    m_container.m_depthToShift = m_depthToShift.data();
    m_container.m_shiftToDepth = m_shiftToDepth.data();
    m_container.m_converter = m_converter.get();
    SetFrame(1, SensorTime(0));
}

FixtureFrame::~FixtureFrame() {
    m_converter.reset();
    m_node.UpdateFrame(nullptr);
    m_node.SetStream(nullptr);
}

void FixtureFrame::Deliver(std::vector<uint16_t>& pixels, uint32_t frameId, SensorTime time,
                           xn::DepthMetaData& metaData) {
    OniFrame* frame = m_fake->NewFrame(static_cast<uint64_t>(static_cast<int64_t>(time)), static_cast<int>(frameId));
    frame->data = pixels.data();
    frame->dataSize = static_cast<int>(pixels.size() * sizeof(uint16_t));
    frame->width = m_depth.XRes();
    frame->height = m_depth.YRes();
    frame->stride = frame->width * static_cast<int>(sizeof(uint16_t));
    frame->videoMode.pixelFormat = ONI_PIXEL_FORMAT_DEPTH_1_MM;
    frame->videoMode.resolutionX = frame->width;
    frame->videoMode.resolutionY = frame->height;
    frame->videoMode.fps = 30;
    m_node.UpdateFrameToAll(frame);
    m_node.GetMetaData(metaData);
}

void FixtureFrame::UpdateShift() {
    const int count = m_depth.XRes() * m_depth.YRes();
    const XnDepthPixel* depth = m_depth.Data();
    XnDepthPixel* shift = m_shift.WritableData();
    for (int i = 0; i < count; ++i) {
        shift[i] = depth[i] < m_depthToShift.size() ? m_depthToShift[depth[i]] : 0;
    }
}

void FixtureFrame::SetFrame(uint32_t frameId, SensorTime time) {
    m_container.m_frameId = frameId;
    m_container.m_time = time;
    m_depth.FrameID() = m_shift.FrameID() = frameId;
    m_depth.Timestamp() = m_shift.Timestamp() = static_cast<XnUInt64>(static_cast<int64_t>(time));
}

Vector3D<float> FixtureFrame::WorldAt(int column, int row, float z) const {
    return m_converter->WorldPt(Vector3D<float>(static_cast<float>(column), static_cast<float>(row), z));
}

void FixtureFrame::PixelOf(const Vector3D<float>& world, int& column, int& row) const {
    const float s = m_converter->m_fPixelSizeFactor * world.z;
    column = static_cast<int>(world.x / s + m_converter->m_fCenterX);
    row = static_cast<int>(m_converter->m_fCenterY - world.y / s);
}

}  // namespace hand_test_kit
