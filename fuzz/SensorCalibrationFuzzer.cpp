// A depth stream's calibration as a recording carries it: the sensor
// parameters, the maximum value, the field of view and the shift/depth
// tables, read by name through the adapter exactly as from a device, then
// used for the conversions every tracker frame runs. An invalid field of
// view stops on purpose, which counts as a rejected input.
//
// Input: a fixed header (see Header), then the shift-to-depth table (up to
// 2 x (MaxShift + 1) bytes), then the depth-to-shift table (the rest). A
// property asked for with more bytes than the input holds is answered short,
// as OpenNI2's file player does.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

#include "NACommon/NAConversions.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "ReturningStops.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

#pragma pack(push, 1)
struct Header {
    uint64_t zpd;
    double zpps;
    double lddis;
    uint64_t maxShift;
    uint64_t constShift;
    uint64_t paramCoeff;
    uint64_t shiftScale;
    int32_t maxValue;
    float horizontalFov;
    float verticalFov;
};
#pragma pack(pop)

// First-family property ids, as the synthetic camera and the recordings of
// that family carry them.
enum : int {
    kConstShift = 0x10801007,
    kMaxShift = 0x10801009,
    kParamCoeff = 0x1080100A,
    kShiftScale = 0x1080100B,
    kZPD = 0x1080100C,
    kZPPS = 0x1080100D,
    kLDDIS = 0x1080100E,
    kS2D = 0x10801010,
    kD2S = 0x10801011,
};

std::map<int, std::vector<uint8_t>> g_properties;

template <typename V>
void Serve(int id, const V& value) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&value);
    g_properties[id].assign(p, p + sizeof(V));
}

OniStatus GetProperty(OniStreamHandle, int id, void* data, int* pDataSize) {
    const auto it = g_properties.find(id);
    if (it == g_properties.end() || *pDataSize < 0) {
        return ONI_STATUS_NOT_SUPPORTED;
    }
    const size_t answered = std::min(it->second.size(), static_cast<size_t>(*pDataSize));
    if (answered > 0) {
        std::memcpy(data, it->second.data(), answered);
    }
    *pDataSize = static_cast<int>(answered);
    return ONI_STATUS_OK;
}
OniStatus NoWait(OniStreamHandle*, int, int*, int) { return ONI_STATUS_TIME_OUT; }
OniStatus NoFrame(OniStreamHandle, OniFrame**) { return ONI_STATUS_ERROR; }
void NoRef(OniFrame*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Header header;
    if (size < sizeof(header)) {
        return 0;
    }
    std::memcpy(&header, data, sizeof(header));
    data += sizeof(header);
    size -= sizeof(header);

    g_properties.clear();
    Serve(kZPD, header.zpd);
    Serve(kZPPS, header.zpps);
    Serve(kLDDIS, header.lddis);
    Serve(kMaxShift, header.maxShift);
    Serve(kConstShift, header.constShift);
    Serve(kParamCoeff, header.paramCoeff);
    Serve(kShiftScale, header.shiftScale);
    Serve(ONI_STREAM_PROPERTY_MAX_VALUE, header.maxValue);
    Serve(ONI_STREAM_PROPERTY_HORIZONTAL_FOV, header.horizontalFov);
    Serve(ONI_STREAM_PROPERTY_VERTICAL_FOV, header.verticalFov);
    OniVideoMode mode{ONI_PIXEL_FORMAT_DEPTH_1_MM, 320, 240, 30};
    Serve(ONI_STREAM_PROPERTY_VIDEO_MODE, mode);
    const size_t shiftBytes = std::min<size_t>(size, 2 * (std::min<uint64_t>(header.maxShift, 1u << 20) + 1));
    g_properties[kS2D].assign(data, data + shiftBytes);
    g_properties[kD2S].assign(data + shiftBytes, data + size);

    const xn::OniCalls previous = xn::SetOniCalls(xn::OniCalls{&GetProperty, &NoWait, &NoFrame, &NoRef, &NoRef});
    char token = 0;
    try {
        xn::DepthGenerator node;
        node.SetDeviceFamilies("KV4410");
        node.SetStream(reinterpret_cast<OniStreamHandle>(&token));
        NAConversions conversions;
        if (conversions.InitConversions(node, QVGA)) {
            // Map values from the tables' own bytes, so that every entry and
            // the values just beyond the tables are looked up.
            Array2D<unsigned short> input;
            Array2D<unsigned short> output;
            input.SetSize(24, 32, false);
            output.SetSize(24, 32, false);
            for (int i = 0; i < 32 * 24; ++i) {
                uint16_t value = 0;
                if (size >= 2) {
                    std::memcpy(&value, data + (2 * static_cast<size_t>(i)) % (size - 1), 2);
                }
                input.Data()[i] = value;
            }
            conversions.DepthToShift(input, output);
            conversions.ShiftToDepth(input, output);
            for (float value : {1.0f, 500.0f, 4000.0f, 9999.0f, 65535.0f}) {
                conversions.DepthToShift(value);
                conversions.ShiftToDepth(value);
                conversions.DShiftDDepth(value);
                conversions.DDepthDShift(value);
                conversions.ShiftToDepth(QVGA, Vector3D<float>(160.0f, 120.0f, value));
                conversions.DepthToShift(QVGA, Vector3D<float>(160.0f, 120.0f, value));
            }
        }
        node.SetStream(nullptr);
    } catch (const vela_fuzz::Stopped&) {
        // A field of view no camera has ends the process on purpose.
    }
    xn::SetOniCalls(previous);
    return 0;
}
