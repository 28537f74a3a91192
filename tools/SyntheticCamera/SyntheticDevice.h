#pragma once

// A synthetic depth camera: one depth sensor, named like a first-family
// device ("KV4410") so that the system reads its sensor parameters, and
// without playback properties or the seek command, so that it does not look
// like a recording.

#include <Driver/OniDriverAPI.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "SyntheticCamera/DeviceUri.h"
#include "SyntheticCamera/FrameSource.h"

namespace vela::synthetic {

class SyntheticStream;

constexpr const char* kDeviceName = "KV4410";
constexpr const char* kDeviceVendor = "Vela";

class SyntheticDevice : public oni::driver::DeviceBase {
public:
    // `onFailure` is called, with the reason, when the source cannot produce
    // a frame; the stream has ended then.
    SyntheticDevice(const DeviceConfig& config, std::unique_ptr<FrameSource> source,
                    oni::driver::DriverServices& services, std::function<void(const std::string&)> onFailure);
    ~SyntheticDevice() override;

    OniStatus getSensorInfoList(OniSensorInfo** pSensorInfos, int* numSensors) override;
    oni::driver::StreamBase* createStream(OniSensorType sensorType) override;
    void destroyStream(oni::driver::StreamBase* pStream) override;
    OniStatus tryManualTrigger() override;

    // The depth modes offered: 320x240 and 640x480 for scenes (the images'
    // own size for a folder), plus the mode the URI asked for.
    const std::vector<OniVideoMode>& Modes() const { return m_modes; }

private:
    DeviceConfig m_config;
    std::unique_ptr<FrameSource> m_source;
    oni::driver::DriverServices& m_services;
    std::function<void(const std::string&)> m_onFailure;
    std::vector<OniVideoMode> m_modes;
    OniVideoMode m_initialMode;
    OniSensorInfo m_sensorInfo;

    std::mutex m_sourceLock;
    std::atomic<int> m_frameCounter{0};
    std::mutex m_streamLock;  // guards m_pStream against trigger calls
    SyntheticStream* m_pStream = nullptr;
};

}  // namespace vela::synthetic
