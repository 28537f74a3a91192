#include "HandCameraSession.h"

#include "NACommon/NAUtilities.h"
#include "OSLayer/XnOS.h"
#include "SyntheticCamera/DeviceUri.h"
#include "TempDir.h"
#include "XnAdapter/XnNodeRegistry.h"

namespace hand_test_kit {

CameraSession::CameraSession()
    : m_bInitialized(false),
      m_device(nullptr),
      m_stream(nullptr),
      m_depthToShift(nullptr),
      m_shiftToDepth(nullptr),
      m_nMaxShift(0) {}

CameraSession::~CameraSession() { Close(); }

bool CameraSession::Fail(const std::string& error) {
    m_error = error;
    Close();
    return false;
}

void CameraSession::Close() {
    // Every frame reference goes back before OpenNI2 shuts down: the hub's
    // node copy first, then the session's node.
    m_hub.reset();
    m_node.UpdateFrame(nullptr);
    m_node.SetStream(nullptr);
    if (m_stream != nullptr) {
        oniStreamStop(m_stream);
        oniStreamDestroy(m_stream);
        m_stream = nullptr;
    }
    if (m_device != nullptr) {
        oniDeviceClose(m_device);
        m_device = nullptr;
    }
    if (m_bInitialized) {
        oniShutdown();
        m_bInitialized = false;
    }
    xnOSFreeAligned(m_depthToShift);
    xnOSFreeAligned(m_shiftToDepth);
    m_depthToShift = nullptr;
    m_shiftToDepth = nullptr;
}

bool CameraSession::OpenScene(const std::string& sceneText, int width, int height) {
    vela::scene::Scene scene;
    std::string error;
    if (!vela::scene::ParseScene(sceneText, "", scene, error)) {
        return Fail("scene: " + error);
    }
    m_dir.reset(new vela_test::TempDir);
    const std::string path = m_dir->File("hand.scene");
    vela_test::WriteWholeFile(path, sceneText);
    m_renderer.reset(new vela::scene::SceneRenderer(scene));
    if (!m_renderer->SetResolution(width, height)) {
        return Fail("the renderer refuses the size");
    }
    return OpenUri("synthetic://scene?file=" + vela::synthetic::EncodeUriValue(path) +
                   "&resolution=" + std::to_string(width) + "x" + std::to_string(height));
}

bool CameraSession::OpenUri(const std::string& uri) {
    if (oniInitialize(ONI_API_VERSION) != ONI_STATUS_OK) {
        return Fail(std::string("OpenNI2: ") + oniGetExtendedError());
    }
    m_bInitialized = true;
    if (oniDeviceOpen(uri.c_str(), &m_device) != ONI_STATUS_OK) {
        m_device = nullptr;
        return Fail(uri + ": " + oniGetExtendedError());
    }
    if (oniDeviceCreateStream(m_device, ONI_SENSOR_DEPTH, &m_stream) != ONI_STATUS_OK) {
        m_stream = nullptr;
        return Fail(std::string("depth stream: ") + oniGetExtendedError());
    }
    if (oniStreamStart(m_stream) != ONI_STATUS_OK) {
        return Fail(std::string("start: ") + oniGetExtendedError());
    }
    m_node.SetDevice(m_device);
    m_node.SetStream(m_stream);
    // As the hand tracker: the hub chooses its working resolution.
    m_hub.reset(new NACommonData);
    if (!m_hub->Initialize(m_node, INVALID, nullptr, nullptr)) {
        return Fail("the hub does not initialise");
    }
    XnUInt64 maxShift = 0;
    if (m_node.GetIntProperty("MaxShift", maxShift) != XN_STATUS_OK) {
        return Fail("no MaxShift");
    }
    m_nMaxShift = static_cast<int>(maxShift);
    if (!CopyShiftLookupTables(m_node, m_depthToShift, m_shiftToDepth)) {
        return Fail("no shift tables");
    }
    m_node.GetMetaData(m_depth);
    return true;
}

bool CameraSession::Next() {
    if (m_stream == nullptr || xn::UpdateUntil(m_node) != XN_STATUS_OK) {
        m_error = "no frame";
        return false;
    }
    m_node.GetMetaData(m_depth);
    m_hub->Update();
    if (m_renderer) {
        // Frame n of the camera shows the scene's frame n - 1.
        m_renderer->Render(static_cast<int>(FrameId()) - 1, m_rendered);
    }
    return true;
}

uint32_t CameraSession::FrameId() const { return static_cast<uint32_t>(m_node.GetFrameID()); }

SensorTime CameraSession::Time() const { return SensorTime(static_cast<int64_t>(m_node.GetTimestamp())); }

void HandLabelMap(const vela::scene::RenderedFrame& frame, int person, int side, int factor, int value,
                  Array2D<int>& map) {
    const int width = frame.nWidth / factor;
    const int height = frame.nHeight / factor;
    map.SetSize(height, width, false);
    const uint8_t part = static_cast<uint8_t>(vela::scene::kPartLeftHand + side);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const size_t i = static_cast<size_t>(r) * factor * frame.nWidth + static_cast<size_t>(c) * factor;
            const bool hand = frame.users[i] == person + 1 && frame.parts[i] == part;
            map(r, c) = hand ? value : 0;
        }
    }
}

Vector3D<float> ToVector(const vela::scene::Vec3& v) {
    return Vector3D<float>(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

}  // namespace hand_test_kit
