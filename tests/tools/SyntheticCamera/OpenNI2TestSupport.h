#pragma once

// Helpers for tests that run the synthetic camera through OpenNI2's C API.
// Every wait has a time-out, so a missing frame fails a test instead of
// hanging it.

#include <OniCAPI.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vela_test {

constexpr int kFrameTimeoutMs = 5000;

// OpenNI2 for one test: initialised in SetUp, shut down (closing whatever
// the test left open) in TearDown.
class OpenNI2Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ONI_STATUS_OK, oniInitialize(ONI_API_VERSION)) << oniGetExtendedError(); }

    void TearDown() override {
        for (OniStreamHandle stream : m_streams) {
            oniStreamStop(stream);
            oniStreamDestroy(stream);
        }
        for (OniDeviceHandle device : m_devices) oniDeviceClose(device);
        oniShutdown();
    }

    // Null (and a test failure) when the device does not open.
    OniDeviceHandle Open(const std::string& uri) {
        OniDeviceHandle device = nullptr;
        const OniStatus status = oniDeviceOpen(uri.empty() ? nullptr : uri.c_str(), &device);
        EXPECT_EQ(ONI_STATUS_OK, status) << uri << ": " << oniGetExtendedError();
        if (status != ONI_STATUS_OK) return nullptr;
        m_devices.push_back(device);
        return device;
    }

    OniStreamHandle CreateDepthStream(OniDeviceHandle device) {
        OniStreamHandle stream = nullptr;
        const OniStatus status = oniDeviceCreateStream(device, ONI_SENSOR_DEPTH, &stream);
        EXPECT_EQ(ONI_STATUS_OK, status) << oniGetExtendedError();
        if (status != ONI_STATUS_OK) return nullptr;
        m_streams.push_back(stream);
        return stream;
    }

    // A started depth stream of a newly opened device; null on failure.
    OniStreamHandle OpenStream(const std::string& uri) {
        OniDeviceHandle device = Open(uri);
        if (device == nullptr) return nullptr;
        OniStreamHandle stream = CreateDepthStream(device);
        if (stream == nullptr) return nullptr;
        EXPECT_EQ(ONI_STATUS_OK, oniStreamStart(stream));
        return stream;
    }

private:
    std::vector<OniDeviceHandle> m_devices;
    std::vector<OniStreamHandle> m_streams;
};

// Waits (with a time-out) and reads the next frame; null on time-out.
inline OniFrame* ReadFrame(OniStreamHandle stream, int timeoutMs = kFrameTimeoutMs) {
    int ready = -1;
    if (oniWaitForAnyStream(&stream, 1, &ready, timeoutMs) != ONI_STATUS_OK) return nullptr;
    OniFrame* frame = nullptr;
    if (oniStreamReadFrame(stream, &frame) != ONI_STATUS_OK) return nullptr;
    return frame;
}

inline std::vector<uint16_t> Pixels(const OniFrame* frame) {
    const uint16_t* data = static_cast<const uint16_t*>(frame->data);
    return std::vector<uint16_t>(data, data + frame->dataSize / 2);
}

template <typename T>
OniStatus GetStreamProperty(OniStreamHandle stream, int id, T& value) {
    int size = sizeof(T);
    const OniStatus status = oniStreamGetProperty(stream, id, &value, &size);
    if (status == ONI_STATUS_OK && size != static_cast<int>(sizeof(T))) return ONI_STATUS_ERROR;
    return status;
}

template <typename T>
OniStatus SetStreamProperty(OniStreamHandle stream, int id, const T& value) {
    return oniStreamSetProperty(stream, id, &value, sizeof(T));
}

}  // namespace vela_test
