// The OpenNI2 driver plugin of the synthetic camera. It lists one device,
// the built-in scene (so that opening "any device" works), and opens every
// other URI of its scheme on request (see DeviceUri.h).

#include <Driver/OniDriverAPI.h>

#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "SyntheticCamera/DeviceUri.h"
#include "SyntheticCamera/FrameSource.h"
#include "SyntheticCamera/SyntheticDevice.h"

// ONI_EXPORT_DRIVER expects OpenNI's allocation macros, which Debian's
// headers do not ship.
#define XN_NEW(type, arg) new type(arg)
#define XN_DELETE(p) delete (p)

namespace vela::synthetic {

namespace {

OniDeviceInfo MakeDeviceInfo(const char* uri) {
    OniDeviceInfo info;
    std::memset(&info, 0, sizeof info);
    std::strncpy(info.uri, uri, sizeof info.uri - 1);
    std::strncpy(info.vendor, kDeviceVendor, sizeof info.vendor - 1);
    std::strncpy(info.name, kDeviceName, sizeof info.name - 1);
    return info;
}

}  // namespace

class SyntheticDriver : public oni::driver::DriverBase {
public:
    explicit SyntheticDriver(OniDriverServices* services) : DriverBase(services) {}

    OniStatus initialize(oni::driver::DeviceConnectedCallback connected,
                         oni::driver::DeviceDisconnectedCallback disconnected,
                         oni::driver::DeviceStateChangedCallback stateChanged, void* cookie) override {
        const OniStatus status = DriverBase::initialize(connected, disconnected, stateChanged, cookie);
        if (status != ONI_STATUS_OK) return status;
        const OniDeviceInfo info = MakeDeviceInfo(kDefaultDeviceUri);
        deviceConnected(&info);
        return ONI_STATUS_OK;
    }

    // OpenNI2 asks every driver about a URI it has not listed.
    OniStatus tryDevice(const char* uri) override {
        if (!IsSyntheticUri(uri)) return ONI_STATUS_ERROR;
        std::unique_ptr<FrameSource> source = Open(uri, nullptr);
        if (!source) return ONI_STATUS_ERROR;
        const OniDeviceInfo info = MakeDeviceInfo(uri);
        deviceConnected(&info);
        return ONI_STATUS_OK;
    }

    oni::driver::DeviceBase* deviceOpen(const char* uri, const char* /*mode*/) override {
        DeviceConfig config;
        std::unique_ptr<FrameSource> source = Open(uri, &config);
        if (!source) return nullptr;
        // The application learns of a source that fails later through its
        // device-state callback.
        const OniDeviceInfo info = MakeDeviceInfo(uri);
        auto onFailure = [this, info](const std::string& reason) {
            getServices().errorLoggerAppend("synthetic camera: %s: %s\n", info.uri, reason.c_str());
            deviceStateChanged(&info, ONI_DEVICE_STATE_ERROR);
        };
        auto* device = new SyntheticDevice(config, std::move(source), getServices(), onFailure);
        std::lock_guard<std::mutex> lock(m_lock);
        m_devices.insert(device);
        return device;
    }

    void deviceClose(oni::driver::DeviceBase* device) override {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_devices.erase(device) == 0) return;
        }
        delete device;
    }

    void shutdown() override {
        std::lock_guard<std::mutex> lock(m_lock);
        for (oni::driver::DeviceBase* device : m_devices) delete device;
        m_devices.clear();
    }

private:
    // Parses the URI and reads what it names; on failure the reason goes to
    // OpenNI2's extended error.
    std::unique_ptr<FrameSource> Open(const char* uri, DeviceConfig* configOut) {
        std::string error;
        DeviceConfig config;
        std::unique_ptr<FrameSource> source;
        if (uri == nullptr) {
            error = "no URI";
        } else if (std::strlen(uri) >= ONI_MAX_STR) {
            error = "the URI is longer than " + std::to_string(ONI_MAX_STR - 1) + " characters";
        } else if (ParseDeviceUri(uri, config, error)) {
            source = OpenFrameSource(config, error);
        }
        if (!source) {
            getServices().errorLoggerAppend("synthetic camera: %s: %s\n", uri ? uri : "(null)", error.c_str());
            return nullptr;
        }
        if (config.nWidth > 0 && !source->SupportsSize(config.nWidth, config.nHeight)) {
            getServices().errorLoggerAppend("synthetic camera: %s: the source cannot deliver %dx%d\n", uri,
                                            config.nWidth, config.nHeight);
            return nullptr;
        }
        if (configOut) *configOut = config;
        return source;
    }

    std::mutex m_lock;
    std::set<oni::driver::DeviceBase*> m_devices;
};

}  // namespace vela::synthetic

ONI_EXPORT_DRIVER(vela::synthetic::SyntheticDriver)
