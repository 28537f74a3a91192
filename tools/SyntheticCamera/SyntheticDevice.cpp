#include "SyntheticCamera/SyntheticDevice.h"

#include "SyntheticCamera/SyntheticStream.h"

namespace vela::synthetic {

namespace {

constexpr int kFps = 30;

void AddMode(std::vector<OniVideoMode>& modes, const OniVideoMode& mode) {
    for (const OniVideoMode& m : modes) {
        if (m.pixelFormat == mode.pixelFormat && m.resolutionX == mode.resolutionX &&
            m.resolutionY == mode.resolutionY && m.fps == mode.fps) {
            return;
        }
    }
    modes.push_back(mode);
}

}  // namespace

SyntheticDevice::SyntheticDevice(const DeviceConfig& config, std::unique_ptr<FrameSource> source,
                                 oni::driver::DriverServices& services,
                                 std::function<void(const std::string&)> onFailure)
    : m_config(config), m_source(std::move(source)), m_services(services), m_onFailure(std::move(onFailure)) {
    if (config.kind == SourceKind::Images) {
        AddMode(m_modes, {ONI_PIXEL_FORMAT_DEPTH_1_MM, m_source->NativeWidth(), m_source->NativeHeight(), kFps});
    } else {
        AddMode(m_modes, {ONI_PIXEL_FORMAT_DEPTH_1_MM, 320, 240, kFps});
        AddMode(m_modes, {ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480, kFps});
    }
    const int width = config.nWidth > 0 ? config.nWidth : m_source->NativeWidth();
    const int height = config.nHeight > 0 ? config.nHeight : m_source->NativeHeight();
    m_initialMode = {static_cast<OniPixelFormat>(config.nPixelFormat), width, height, kFps};
    AddMode(m_modes, m_initialMode);

    m_sensorInfo.sensorType = ONI_SENSOR_DEPTH;
    m_sensorInfo.numSupportedVideoModes = static_cast<int>(m_modes.size());
    m_sensorInfo.pSupportedVideoModes = m_modes.data();
}

SyntheticDevice::~SyntheticDevice() {
    std::lock_guard<std::mutex> lock(m_streamLock);
    delete m_pStream;
    m_pStream = nullptr;
}

OniStatus SyntheticDevice::getSensorInfoList(OniSensorInfo** pSensorInfos, int* numSensors) {
    *pSensorInfos = &m_sensorInfo;
    *numSensors = 1;
    return ONI_STATUS_OK;
}

oni::driver::StreamBase* SyntheticDevice::createStream(OniSensorType sensorType) {
    if (sensorType != ONI_SENSOR_DEPTH) {
        m_services.errorLoggerAppend("synthetic camera: only a depth sensor");
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_streamLock);
    if (m_pStream != nullptr) {
        // OpenNI2 shares one driver stream among all streams of a sensor.
        m_services.errorLoggerAppend("synthetic camera: the depth stream exists already");
        return nullptr;
    }
    const bool mirror = m_config.nMirror >= 0 ? m_config.nMirror != 0 : m_source->DefaultMirror();
    m_pStream = new SyntheticStream(*m_source, m_sourceLock, m_frameCounter, m_modes, m_initialMode,
                                    m_config.bCropping, mirror, m_config.pacing, m_config.bRefuseStart, m_services,
                                    m_onFailure);
    return m_pStream;
}

void SyntheticDevice::destroyStream(oni::driver::StreamBase* pStream) {
    std::lock_guard<std::mutex> lock(m_streamLock);
    if (pStream != nullptr && pStream == m_pStream) {
        delete m_pStream;
        m_pStream = nullptr;
    }
}

OniStatus SyntheticDevice::tryManualTrigger() {
    std::lock_guard<std::mutex> lock(m_streamLock);
    if (m_pStream != nullptr) m_pStream->OnTriggerRequest();
    return ONI_STATUS_OK;
}

}  // namespace vela::synthetic
