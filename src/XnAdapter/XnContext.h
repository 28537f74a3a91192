#pragma once

// The adapter's context: the OpenNI2 device the nodes are looked up on, the
// sensor descriptions found on it so far, and the device of a recording's
// playback control (none for a live camera). The context owns none of them.

#include "OniCAPI.h"

namespace xn {

class Context {
public:
    static const int kSensorInfoSlots = 10;

    Context() : m_hDevice(nullptr), m_pSensorInfo(), m_hPlaybackDevice(nullptr) {}

    OniDeviceHandle GetDevice() const { return m_hDevice; }
    void SetDevice(OniDeviceHandle hDevice) { m_hDevice = hDevice; }

    // Slot i (0 to kSensorInfoSlots - 1) of the sensor descriptions: empty
    // (null) or one that OpenNI2 gave for the device, with its video modes.
    const OniSensorInfo*& SensorInfo(int i) { return m_pSensorInfo[i]; }
    const OniSensorInfo* SensorInfo(int i) const { return m_pSensorInfo[i]; }

    // The device whose playback speed a recording's nodes set; null for a
    // live camera.
    OniDeviceHandle GetPlaybackDevice() const { return m_hPlaybackDevice; }
    void SetPlaybackDevice(OniDeviceHandle hDevice) { m_hPlaybackDevice = hDevice; }

private:
    OniDeviceHandle m_hDevice;
    const OniSensorInfo* m_pSensorInfo[kSensorInfoSlots];
    OniDeviceHandle m_hPlaybackDevice;
};

}  // namespace xn
