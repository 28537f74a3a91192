#pragma once

// A first-family depth node on a fake stream whose calibration parameters and
// shift/depth tables the test chooses. The tables are small linear ones, so
// that transitions and sizes can be worked out by hand:
// D2S[d] = d / 5 and S2D[s] = 5 s up to the maximum depth.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "../XnAdapter/XnNodesTestSupport.h"
#include "XnAdapter/XnNodes.h"

namespace vela_test {

class FakeSensor {
public:
    static constexpr int kMaxShift = 2047;
    static constexpr int kMaxDepth = 10000;
    using ShiftTable = std::array<uint16_t, kMaxShift + 1>;
    using DepthTable = std::array<uint16_t, kMaxDepth + 1>;

    // Property ids of the first family.
    enum : int {
        kZPD = 0x1080100C,
        kZPPS = 0x1080100D,
        kLDDIS = 0x1080100E,
        kMaxShiftId = 0x10801009,
        kConstShift = 0x10801007,
        kParamCoeff = 0x1080100A,
        kShiftScale = 0x1080100B,
        kS2D = 0x10801010,
        kD2S = 0x10801011,
    };

    FakeSensor() : m_stream(m_fake.NewStream()) {
        m_node.SetDeviceFamilies("KV4410");
        m_node.SetStream(m_stream);
        SetInt(kZPD, 120);
        SetReal(kZPPS, 0.1042);
        SetReal(kLDDIS, 7.5);
        SetInt(kMaxShiftId, kMaxShift);
        SetInt(kConstShift, 200);
        SetInt(kParamCoeff, 4);
        SetInt(kShiftScale, 10);
        m_fake.SetProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, static_cast<int32_t>(kMaxDepth));
        for (int s = 0; s <= kMaxShift; ++s) {
            m_shiftToDepth[s] = static_cast<uint16_t>(5 * s <= kMaxDepth ? 5 * s : 0);
        }
        for (int d = 0; d <= kMaxDepth; ++d) {
            m_depthToShift[d] = static_cast<uint16_t>(d / 5);
        }
        SetTables();
    }
    ~FakeSensor() { m_node.SetStream(nullptr); }

    void SetInt(int id, uint64_t value) { m_fake.SetProperty(m_stream, id, value); }
    void SetReal(int id, double value) { m_fake.SetProperty(m_stream, id, value); }
    // Serves the tables as they are now.
    void SetTables() {
        m_fake.SetProperty(m_stream, kS2D, m_shiftToDepth);
        m_fake.SetProperty(m_stream, kD2S, m_depthToShift);
    }
    // Shifts slow down beyond 5000 mm: one step per 20 mm. The transition
    // (20 mm changing the shift by less than 2) is then at 5015 mm, shift
    // 1000, and the shift at 9999 mm is 1249.
    void UseTransitionAt5000() {
        for (int d = 5000; d <= kMaxDepth; ++d) {
            m_depthToShift[d] = static_cast<uint16_t>(1000 + (d - 5000) / 20);
        }
        for (int s = 1000; s <= kMaxShift; ++s) {
            const int depth = 5000 + 20 * (s - 1000);
            m_shiftToDepth[s] = static_cast<uint16_t>(depth <= kMaxDepth ? depth : 0);
        }
        SetTables();
    }

    FakeOniStreams m_fake;
    OniStreamHandle m_stream;
    xn::DepthGenerator m_node;
    ShiftTable m_shiftToDepth;
    DepthTable m_depthToShift;
};

}  // namespace vela_test
