#pragma once

// The synthetic camera's depth stream inside OpenNI2. Frames are made on
// OpenNI2's request (on demand), or by a thread of the stream's own at 30 fps
// or back to back. Frame n (from 1; 0 means "no frame" to OpenNI2) shows
// frame n - 1 of the source and has time stamp (n - 1) x 33,333 us.
//
// Besides the generic stream properties the stream serves the sensor
// parameters and the shift/depth tables under the first device family's
// property ids (PS1080.h), in that family's sizes.

#include <Driver/OniDriverAPI.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SyntheticCamera/DeviceUri.h"
#include "SyntheticCamera/FrameSource.h"

namespace vela::synthetic {

constexpr uint64_t kFramePeriodUs = 33333;

class SyntheticStream : public oni::driver::StreamBase {
public:
    // `modes` lists the supported video modes; `initialMode` is one of them.
    // `frameCounter` is the device's, shared by its streams and kept across
    // restarts, so time stamps never go back while the device is open.
    // `onFailure` is called once, with the reason, when the source cannot
    // produce a frame: the stream then ends, raising no more frames.
    // `refuseStart` fails every start.
    SyntheticStream(FrameSource& source, std::mutex& sourceLock, std::atomic<int>& frameCounter,
                    const std::vector<OniVideoMode>& modes, const OniVideoMode& initialMode, bool cropping,
                    bool mirror, Pacing pacing, bool refuseStart, oni::driver::DriverServices& services,
                    std::function<void(const std::string&)> onFailure);
    ~SyntheticStream() override;

    OniStatus start() override;
    void stop() override;

    OniStatus getProperty(int propertyId, void* data, int* pDataSize) override;
    OniStatus setProperty(int propertyId, const void* data, int dataSize) override;
    OniBool isPropertySupported(int propertyId) override;
    void notifyAllProperties() override;
    void setPropertyChangedCallback(oni::driver::PropertyChangedCallback handler, void* pCookie) override;

    int getRequiredFrameSize() override;

    // OpenNI2 asks for a frame: it found none for a read or a wait.
    void OnTriggerRequest();

private:
    struct State {
        OniVideoMode mode;
        OniCropping cropping;
        bool bMirror;
    };

    void ProduceFrame();
    void RunPacing();
    void RaiseChanged(int propertyId, const void* data, int dataSize);
    OniStatus SetVideoMode(const OniVideoMode& mode);
    OniStatus SetCropping(const OniCropping& cropping);
    static OniCropping CentreCropping(const OniVideoMode& mode);

    FrameSource& m_source;
    std::mutex& m_sourceLock;
    std::atomic<int>& m_frameCounter;
    oni::driver::DriverServices& m_services;
    const std::vector<OniVideoMode> m_modes;
    const Pacing m_pacing;
    const bool m_bRefuseStart;
    const std::function<void(const std::string&)> m_onFailure;
    std::atomic<bool> m_bEnded{false};

    std::mutex m_stateLock;  // guards m_state
    State m_state;
    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bHasPropertyCallback{false};
    std::vector<uint16_t> m_scratch;  // used under m_sourceLock

    std::thread m_pacingThread;
    std::mutex m_pacingLock;
    std::condition_variable m_pacingWake;
    bool m_bStopPacing = false;
};

}  // namespace vela::synthetic
