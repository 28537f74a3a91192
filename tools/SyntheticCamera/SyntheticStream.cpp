#include "SyntheticCamera/SyntheticStream.h"

#include <PS1080.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace vela::synthetic {

namespace {

// Integers as 8-byte unsigned (the first family's width) or 4 bytes.
OniStatus PutInteger(uint64_t value, void* data, int* pDataSize) {
    if (*pDataSize == static_cast<int>(sizeof(uint64_t))) {
        std::memcpy(data, &value, sizeof value);
    } else if (*pDataSize == static_cast<int>(sizeof(uint32_t))) {
        const uint32_t narrow = static_cast<uint32_t>(value);
        std::memcpy(data, &narrow, sizeof narrow);
    } else {
        return ONI_STATUS_BAD_PARAMETER;
    }
    return ONI_STATUS_OK;
}

// Reals as 8-byte doubles, or rounded to a 4-byte float.
OniStatus PutReal(double value, void* data, int* pDataSize) {
    if (*pDataSize == static_cast<int>(sizeof(double))) {
        std::memcpy(data, &value, sizeof value);
    } else if (*pDataSize == static_cast<int>(sizeof(float))) {
        const float narrow = static_cast<float>(value);
        std::memcpy(data, &narrow, sizeof narrow);
    } else {
        return ONI_STATUS_BAD_PARAMETER;
    }
    return ONI_STATUS_OK;
}

template <typename T>
OniStatus PutExact(const T& value, void* data, int* pDataSize) {
    if (*pDataSize != static_cast<int>(sizeof(T))) return ONI_STATUS_BAD_PARAMETER;
    std::memcpy(data, &value, sizeof value);
    return ONI_STATUS_OK;
}

// A larger buffer gets the table and its size, as OpenNI2's file player
// answers; a smaller one nothing.
OniStatus PutTable(const std::vector<uint16_t>& table, void* data, int* pDataSize) {
    const int bytes = static_cast<int>(table.size() * sizeof(uint16_t));
    if (*pDataSize < bytes) return ONI_STATUS_BAD_PARAMETER;
    std::memcpy(data, table.data(), bytes);
    *pDataSize = bytes;
    return ONI_STATUS_OK;
}

bool SameMode(const OniVideoMode& a, const OniVideoMode& b) {
    return a.pixelFormat == b.pixelFormat && a.resolutionX == b.resolutionX && a.resolutionY == b.resolutionY &&
           a.fps == b.fps;
}

int StrideOf(const OniVideoMode& mode, const OniCropping& cropping) {
    return (cropping.enabled ? cropping.width : mode.resolutionX) * static_cast<int>(sizeof(uint16_t));
}

const int kSupportedProperties[] = {
    ONI_STREAM_PROPERTY_CROPPING,
    ONI_STREAM_PROPERTY_HORIZONTAL_FOV,
    ONI_STREAM_PROPERTY_VERTICAL_FOV,
    ONI_STREAM_PROPERTY_VIDEO_MODE,
    ONI_STREAM_PROPERTY_MAX_VALUE,
    ONI_STREAM_PROPERTY_MIN_VALUE,
    ONI_STREAM_PROPERTY_STRIDE,
    ONI_STREAM_PROPERTY_MIRRORING,
    XN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE,
    XN_STREAM_PROPERTY_ZERO_PLANE_PIXEL_SIZE,
    XN_STREAM_PROPERTY_EMITTER_DCMOS_DISTANCE,
    XN_STREAM_PROPERTY_MAX_SHIFT,
    XN_STREAM_PROPERTY_CONST_SHIFT,
    XN_STREAM_PROPERTY_PARAM_COEFF,
    XN_STREAM_PROPERTY_SHIFT_SCALE,
    XN_STREAM_PROPERTY_S2D_TABLE,
    XN_STREAM_PROPERTY_D2S_TABLE,
};

}  // namespace

SyntheticStream::SyntheticStream(FrameSource& source, std::mutex& sourceLock, std::atomic<int>& frameCounter,
                                 const std::vector<OniVideoMode>& modes, const OniVideoMode& initialMode,
                                 bool cropping, bool mirror, Pacing pacing, bool refuseStart,
                                 oni::driver::DriverServices& services,
                                 std::function<void(const std::string&)> onFailure)
    : m_source(source),
      m_sourceLock(sourceLock),
      m_frameCounter(frameCounter),
      m_services(services),
      m_modes(modes),
      m_pacing(pacing),
      m_bRefuseStart(refuseStart),
      m_onFailure(std::move(onFailure)) {
    m_state.mode = initialMode;
    m_state.cropping = cropping ? CentreCropping(initialMode) : OniCropping{0, 0, 0, 0, 0};
    m_state.bMirror = mirror;
}

SyntheticStream::~SyntheticStream() { stop(); }

OniCropping SyntheticStream::CentreCropping(const OniVideoMode& mode) {
    return OniCropping{1, mode.resolutionX / 4, mode.resolutionY / 4, mode.resolutionX / 2, mode.resolutionY / 2};
}

OniStatus SyntheticStream::start() {
    if (m_bRefuseStart) {
        m_services.errorLoggerAppend("synthetic camera: the depth stream refuses to start (start=refuse)");
        return ONI_STATUS_ERROR;
    }
    if (m_bStarted.exchange(true)) return ONI_STATUS_OK;
    if (m_pacing != Pacing::OnDemand) {
        {
            std::lock_guard<std::mutex> lock(m_pacingLock);
            m_bStopPacing = false;
        }
        m_pacingThread = std::thread(&SyntheticStream::RunPacing, this);
    }
    return ONI_STATUS_OK;
}

void SyntheticStream::stop() {
    if (m_pacingThread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_pacingLock);
            m_bStopPacing = true;
        }
        m_pacingWake.notify_all();
        m_pacingThread.join();
    }
    m_bStarted = false;
}

void SyntheticStream::OnTriggerRequest() {
    if (m_bStarted && m_pacing == Pacing::OnDemand && !m_bEnded) ProduceFrame();
}

void SyntheticStream::RunPacing() {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(kFramePeriodUs);
    auto next = Clock::now();
    std::unique_lock<std::mutex> lock(m_pacingLock);
    while (!m_bStopPacing && !m_bEnded) {
        lock.unlock();
        ProduceFrame();
        lock.lock();
        if (m_pacing == Pacing::RealTime) {
            next += period;
            const auto now = Clock::now();
            if (next + period < now) next = now;  // fell behind: no burst of late frames
            m_pacingWake.wait_until(lock, next, [this] { return m_bStopPacing; });
        }
    }
}

void SyntheticStream::ProduceFrame() {
    State state;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        state = m_state;
    }
    OniFrame* frame = getServices().acquireFrame();
    if (frame == nullptr) return;

    const int index = m_frameCounter.fetch_add(1) + 1;
    const int width = state.mode.resolutionX, height = state.mode.resolutionY;
    const bool cropped = state.cropping.enabled != 0;
    const int x0 = cropped ? state.cropping.originX : 0, y0 = cropped ? state.cropping.originY : 0;
    const int outWidth = cropped ? state.cropping.width : width;
    const int outHeight = cropped ? state.cropping.height : height;
    const bool tenths = state.mode.pixelFormat == ONI_PIXEL_FORMAT_DEPTH_100_UM;
    std::string error;
    bool rendered = false;
    {
        std::lock_guard<std::mutex> lock(m_sourceLock);
        m_scratch.resize(size_t(width) * size_t(height));
        rendered = m_source.Render(index - 1, width, height, state.bMirror, m_scratch.data(), error);
        uint16_t* out = static_cast<uint16_t*>(frame->data);
        for (int r = 0; r < outHeight; ++r) {
            const uint16_t* in = m_scratch.data() + size_t(y0 + r) * width + x0;
            uint16_t* row = out + size_t(r) * outWidth;
            for (int c = 0; c < outWidth; ++c) {
                const uint32_t z = in[c];
                // 100 um units hold depths up to 6553 mm; farther is no depth.
                row[c] = static_cast<uint16_t>(!tenths ? z : (z * 10u <= 65535u ? z * 10u : 0u));
            }
        }
    }
    if (!rendered) {
        // A frame without its depth would pass for an empty scene: end the
        // stream instead and tell the application.
        getServices().releaseFrame(frame);
        if (!m_bEnded.exchange(true)) {
            const std::string reason = "frame " + std::to_string(index) + ": " + error;
            m_services.log(3, __FILE__, __LINE__, "SyntheticCamera", reason.c_str());
            if (m_onFailure) m_onFailure(reason);
        }
        return;
    }

    frame->dataSize = outWidth * outHeight * static_cast<int>(sizeof(uint16_t));
    frame->sensorType = ONI_SENSOR_DEPTH;
    frame->timestamp = static_cast<uint64_t>(index - 1) * kFramePeriodUs;
    frame->frameIndex = index;
    frame->width = outWidth;
    frame->height = outHeight;
    frame->videoMode = state.mode;
    frame->croppingEnabled = cropped ? TRUE : FALSE;
    frame->cropOriginX = x0;
    frame->cropOriginY = y0;
    frame->stride = outWidth * static_cast<int>(sizeof(uint16_t));
    raiseNewFrame(frame);
    getServices().releaseFrame(frame);
}

int SyntheticStream::getRequiredFrameSize() {
    int largest = 0;
    for (const OniVideoMode& mode : m_modes) {
        largest = std::max(largest, mode.resolutionX * mode.resolutionY * static_cast<int>(sizeof(uint16_t)));
    }
    return largest;
}

OniBool SyntheticStream::isPropertySupported(int propertyId) {
    for (const int id : kSupportedProperties) {
        if (id == propertyId) return TRUE;
    }
    return FALSE;
}

OniStatus SyntheticStream::getProperty(int propertyId, void* data, int* pDataSize) {
    if (data == nullptr || pDataSize == nullptr) return ONI_STATUS_BAD_PARAMETER;
    State state;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        state = m_state;
    }
    // The source's sensor and field of view never change after opening.
    const scene::SensorParameters& p = m_source.Sensor().Parameters();
    switch (propertyId) {
        case ONI_STREAM_PROPERTY_CROPPING: return PutExact(state.cropping, data, pDataSize);
        case ONI_STREAM_PROPERTY_HORIZONTAL_FOV: return PutExact(m_source.HorizontalFov(), data, pDataSize);
        case ONI_STREAM_PROPERTY_VERTICAL_FOV: return PutExact(m_source.VerticalFov(), data, pDataSize);
        case ONI_STREAM_PROPERTY_VIDEO_MODE: return PutExact(state.mode, data, pDataSize);
        case ONI_STREAM_PROPERTY_MAX_VALUE: return PutInteger(p.nDeviceMaxDepthValue, data, pDataSize);
        case ONI_STREAM_PROPERTY_MIN_VALUE: return PutInteger(0, data, pDataSize);
        case ONI_STREAM_PROPERTY_STRIDE: return PutInteger(StrideOf(state.mode, state.cropping), data, pDataSize);
        case ONI_STREAM_PROPERTY_MIRRORING: return PutExact<OniBool>(state.bMirror ? TRUE : FALSE, data, pDataSize);
        case XN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE: return PutInteger(p.nZeroPlaneDistance, data, pDataSize);
        case XN_STREAM_PROPERTY_ZERO_PLANE_PIXEL_SIZE: return PutReal(p.dZeroPlanePixelSize, data, pDataSize);
        case XN_STREAM_PROPERTY_EMITTER_DCMOS_DISTANCE: return PutReal(p.dEmitterDCmosDistance, data, pDataSize);
        case XN_STREAM_PROPERTY_MAX_SHIFT: return PutInteger(p.nDeviceMaxShiftValue, data, pDataSize);
        case XN_STREAM_PROPERTY_CONST_SHIFT: return PutInteger(p.nConstShift, data, pDataSize);
        case XN_STREAM_PROPERTY_PARAM_COEFF: return PutInteger(p.nParamCoeff, data, pDataSize);
        case XN_STREAM_PROPERTY_SHIFT_SCALE: return PutInteger(p.nShiftScale, data, pDataSize);
        case XN_STREAM_PROPERTY_S2D_TABLE: return PutTable(m_source.Sensor().ShiftToDepthTable(), data, pDataSize);
        case XN_STREAM_PROPERTY_D2S_TABLE: return PutTable(m_source.Sensor().DepthToShiftTable(), data, pDataSize);
        default: return ONI_STATUS_NOT_SUPPORTED;
    }
}

OniStatus SyntheticStream::setProperty(int propertyId, const void* data, int dataSize) {
    if (data == nullptr) return ONI_STATUS_BAD_PARAMETER;
    switch (propertyId) {
        case ONI_STREAM_PROPERTY_VIDEO_MODE: {
            if (dataSize != static_cast<int>(sizeof(OniVideoMode))) return ONI_STATUS_BAD_PARAMETER;
            OniVideoMode mode;
            std::memcpy(&mode, data, sizeof mode);
            return SetVideoMode(mode);
        }
        case ONI_STREAM_PROPERTY_CROPPING: {
            if (dataSize != static_cast<int>(sizeof(OniCropping))) return ONI_STATUS_BAD_PARAMETER;
            OniCropping cropping;
            std::memcpy(&cropping, data, sizeof cropping);
            return SetCropping(cropping);
        }
        case ONI_STREAM_PROPERTY_MIRRORING: {
            if (dataSize != static_cast<int>(sizeof(OniBool))) return ONI_STATUS_BAD_PARAMETER;
            OniBool mirror;
            std::memcpy(&mirror, data, sizeof mirror);
            mirror = mirror ? TRUE : FALSE;
            {
                std::lock_guard<std::mutex> lock(m_stateLock);
                m_state.bMirror = mirror != 0;
            }
            RaiseChanged(ONI_STREAM_PROPERTY_MIRRORING, &mirror, sizeof mirror);
            return ONI_STATUS_OK;
        }
        default:
            return ONI_STATUS_NOT_SUPPORTED;
    }
}

OniStatus SyntheticStream::SetVideoMode(const OniVideoMode& mode) {
    bool known = false;
    for (const OniVideoMode& m : m_modes) known = known || SameMode(m, mode);
    if (!known) {
        m_services.errorLoggerAppend("synthetic camera: video mode %dx%d, format %d, %d fps is not supported",
                                     mode.resolutionX, mode.resolutionY, static_cast<int>(mode.pixelFormat),
                                     mode.fps);
        return ONI_STATUS_NOT_SUPPORTED;
    }
    OniCropping cropping;
    int stride = 0;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_state.mode = mode;
        // A window of the old size may not fit the new one.
        m_state.cropping = OniCropping{0, 0, 0, 0, 0};
        cropping = m_state.cropping;
        stride = StrideOf(mode, cropping);
    }
    RaiseChanged(ONI_STREAM_PROPERTY_VIDEO_MODE, &mode, sizeof mode);
    RaiseChanged(ONI_STREAM_PROPERTY_CROPPING, &cropping, sizeof cropping);
    RaiseChanged(ONI_STREAM_PROPERTY_STRIDE, &stride, sizeof stride);
    return ONI_STATUS_OK;
}

OniStatus SyntheticStream::SetCropping(const OniCropping& requested) {
    OniCropping cropping = requested;
    int stride = 0;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        const OniVideoMode& mode = m_state.mode;
        if (cropping.enabled) {
            cropping.enabled = TRUE;
            if (cropping.originX < 0 || cropping.originY < 0 || cropping.width < 1 || cropping.height < 1 ||
                cropping.width > mode.resolutionX - cropping.originX ||
                cropping.height > mode.resolutionY - cropping.originY) {
                m_services.errorLoggerAppend("synthetic camera: cropping window does not fit %dx%d",
                                             mode.resolutionX, mode.resolutionY);
                return ONI_STATUS_BAD_PARAMETER;
            }
        } else {
            cropping = OniCropping{0, 0, 0, 0, 0};
        }
        m_state.cropping = cropping;
        stride = StrideOf(mode, cropping);
    }
    RaiseChanged(ONI_STREAM_PROPERTY_CROPPING, &cropping, sizeof cropping);
    RaiseChanged(ONI_STREAM_PROPERTY_STRIDE, &stride, sizeof stride);
    return ONI_STATUS_OK;
}

void SyntheticStream::setPropertyChangedCallback(oni::driver::PropertyChangedCallback handler, void* pCookie) {
    StreamBase::setPropertyChangedCallback(handler, pCookie);
    m_bHasPropertyCallback = handler != nullptr;
}

void SyntheticStream::RaiseChanged(int propertyId, const void* data, int dataSize) {
    if (m_bHasPropertyCallback) raisePropertyChanged(propertyId, data, dataSize);
}

// OpenNI2's recorder stores what is raised here, so a recording carries the
// sensor parameters and tables in the same ids and sizes.
void SyntheticStream::notifyAllProperties() {
    State state;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        state = m_state;
    }
    const scene::SensorModel& sensor = m_source.Sensor();
    const scene::SensorParameters& p = sensor.Parameters();
    const float hfov = m_source.HorizontalFov(), vfov = m_source.VerticalFov();
    const int maxValue = p.nDeviceMaxDepthValue, minValue = 0;
    const int stride = StrideOf(state.mode, state.cropping);
    const OniBool mirror = state.bMirror ? TRUE : FALSE;
    RaiseChanged(ONI_STREAM_PROPERTY_VIDEO_MODE, &state.mode, sizeof state.mode);
    RaiseChanged(ONI_STREAM_PROPERTY_CROPPING, &state.cropping, sizeof state.cropping);
    RaiseChanged(ONI_STREAM_PROPERTY_HORIZONTAL_FOV, &hfov, sizeof hfov);
    RaiseChanged(ONI_STREAM_PROPERTY_VERTICAL_FOV, &vfov, sizeof vfov);
    RaiseChanged(ONI_STREAM_PROPERTY_MAX_VALUE, &maxValue, sizeof maxValue);
    RaiseChanged(ONI_STREAM_PROPERTY_MIN_VALUE, &minValue, sizeof minValue);
    RaiseChanged(ONI_STREAM_PROPERTY_STRIDE, &stride, sizeof stride);
    RaiseChanged(ONI_STREAM_PROPERTY_MIRRORING, &mirror, sizeof mirror);

    const uint64_t integers[][2] = {
        {XN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE, p.nZeroPlaneDistance},
        {XN_STREAM_PROPERTY_MAX_SHIFT, p.nDeviceMaxShiftValue},
        {XN_STREAM_PROPERTY_CONST_SHIFT, p.nConstShift},
        {XN_STREAM_PROPERTY_PARAM_COEFF, p.nParamCoeff},
        {XN_STREAM_PROPERTY_SHIFT_SCALE, p.nShiftScale},
    };
    for (const auto& entry : integers) {
        RaiseChanged(static_cast<int>(entry[0]), &entry[1], sizeof entry[1]);
    }
    RaiseChanged(XN_STREAM_PROPERTY_ZERO_PLANE_PIXEL_SIZE, &p.dZeroPlanePixelSize, sizeof(double));
    RaiseChanged(XN_STREAM_PROPERTY_EMITTER_DCMOS_DISTANCE, &p.dEmitterDCmosDistance, sizeof(double));
    const std::vector<uint16_t>& s2d = sensor.ShiftToDepthTable();
    const std::vector<uint16_t>& d2s = sensor.DepthToShiftTable();
    RaiseChanged(XN_STREAM_PROPERTY_S2D_TABLE, s2d.data(), static_cast<int>(s2d.size() * sizeof(uint16_t)));
    RaiseChanged(XN_STREAM_PROPERTY_D2S_TABLE, d2s.data(), static_cast<int>(d2s.size() * sizeof(uint16_t)));
}

}  // namespace vela::synthetic
