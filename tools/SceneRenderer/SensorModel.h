#pragma once

// The structured-light sensor that the synthetic scenes and the synthetic
// camera share: its calibration parameters, the shift/depth tables a device
// of the first family serves, quantisation of depth through those tables,
// shift-space noise and the projector shadow.
//
// Shift s and depth z (mm) are related by z(s) = K / (B - ps s) and
// s(z) = D - E / z, with the constants the system derives from the same
// parameters; the depth-to-shift table rounds down, so a quantised depth
// never exceeds the true one nor the maximum, and depths too near for the
// tables (shift below 1) have no depth.

#include <cstdint>
#include <string>
#include <vector>

namespace vela::scene {

// Names and types follow the system's sensor-parameter record; the values are
// the device's own units (ZPD and ZPPS in mm, LDDIS in cm).
struct SensorParameters {
    uint16_t nZeroPlaneDistance = 120;      // "ZPD"
    double dZeroPlanePixelSize = 0.1042;    // "ZPPS"
    double dEmitterDCmosDistance = 7.5;     // "LDDIS"
    uint32_t nDeviceMaxShiftValue = 2047;   // "MaxShift"
    uint32_t nConstShift = 200;             // "ConstShift"
    uint32_t nParamCoeff = 4;               // "ParamCoeff"
    uint32_t nShiftScale = 10;              // "ShiftScale"
    uint16_t nDeviceMaxDepthValue = 10000;  // the stream's maximum value, mm
};

class SensorModel {
public:
    // The default parameters; always valid.
    SensorModel();

    // Rebuilds the tables from `params`. On failure returns false, leaves the
    // model unchanged and, when `error` is given, says why.
    bool Init(const SensorParameters& params, std::string* error = nullptr);

    const SensorParameters& Parameters() const { return m_params; }

    // "S2D": depth in mm of each shift 0..MaxShift (MaxShift + 1 entries); 0
    // for shift 0 and for shifts whose depth is beyond the maximum.
    const std::vector<uint16_t>& ShiftToDepthTable() const { return m_shiftToDepth; }
    // "D2S": shift of each depth 0..maximum (maximum + 1 entries), rounded
    // down; 0 for depth 0 and for depths too near for the tables.
    const std::vector<uint16_t>& DepthToShiftTable() const { return m_depthToShift; }

    // Closed forms in double; ShiftOfDepth may be negative for very near
    // depths, DepthOfShift is 0 at and beyond the pole.
    double ShiftOfDepth(double depth) const { return m_dD - m_dE / depth; }
    double DepthOfShift(double shift) const;

    uint16_t MaxDepth() const { return m_params.nDeviceMaxDepthValue; }
    // The nearest depth (mm) that has a quantised depth.
    uint16_t MinDepth() const { return m_nMinDepth; }
    // Emitter-to-camera baseline in mm, ShiftScale x LDDIS (75 mm by default).
    double BaselineMm() const { return m_dBaseline; }

    // What the sensor reports for a surface at depth z (mm, <= 0 for none),
    // with `noise` shift units added before the shift is rounded down (0 for
    // none). Through the tables when `quantise` is set, otherwise the depth
    // rounded to whole millimetres; 0 out of range either way.
    uint16_t Measure(double depth, double noise, bool quantise) const;
    // The same for a surface whose (noisy) shift is known.
    uint16_t MeasureShift(double shift, bool quantise) const;

    // Marks the pixels of one image row that the projector cannot light.
    // `depth` holds each pixel's depth (<= 0: no surface) and `rayX` its ray's
    // x per unit depth; `projectorX` is the projector's x in the camera frame
    // (+baseline when the image is not mirrored, -baseline when it is). Sets
    // shadow[i] to 1 for shadowed pixels and leaves the others alone.
    static void MarkProjectorShadow(const double* depth, const double* rayX, int count,
                                    double projectorX, uint8_t* shadow);

private:
    SensorParameters m_params;
    double m_dK = 0.0, m_dB = 0.0, m_dPs = 0.0, m_dE = 0.0, m_dD = 0.0;
    double m_dBaseline = 0.0;
    uint16_t m_nMinDepth = 0;
    std::vector<uint16_t> m_shiftToDepth;
    std::vector<uint16_t> m_depthToShift;
};

}  // namespace vela::scene
