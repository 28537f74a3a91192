#include "NACommon/NAConversions.h"

#include "QuorLibrary/Math/SaturatingCast.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "NACommon/NAUtilities.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"
#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Utilities/FatalError.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

template <typename T>
void FreeTable(T*& pTable) {
    if (pTable != nullptr) {
        xnOSFreeAligned(pTable);
        pTable = nullptr;
    }
}

// A zero-filled aligned table; false after "Couldn't allocate <name> buffer.".
template <typename T>
bool AllocateTable(T*& pTable, uint64_t count, const char* name) {
    FreeTable(pTable);
    pTable = count <= UINT32_MAX ? static_cast<T*>(xnOSCallocAligned(static_cast<XnUInt32>(count), sizeof(T), 16))
                                 : nullptr;
    if (pTable == nullptr) {
        std::fprintf(stderr, "Couldn't allocate %s buffer.\n", name);
        return false;
    }
    return true;
}

// Rounds half away from zero; NaN and values beyond int give a value that
// no table accepts (-1).
int RoundToIndex(float value) {
    const double r = std::round(static_cast<double>(value));
    return (r >= 0.0 && r <= 2147483647.0) ? static_cast<int>(r) : -1;
}

}  // namespace

void NAConversions::ReportInitFailure(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    std::fprintf(stderr, "%s\n", text);
    xnLogError(XN_LOG_MASK_ALL, "%s", text);
}

NAConversions::NAConversions()
    : m_pAreaAtShiftInt(),
      m_pLengthAtShiftInt(),
      m_sensorParams(),
      m_pShiftToDepth(nullptr),
      m_pDepthToShift(nullptr),
      m_nDepthTableSize(0),
      m_nShiftTableSize(0),
      m_nDepthTableCapacity(0),
      m_pShiftToHybrid(nullptr),
      m_depthToHybrid(),
      m_pHybridToShift(nullptr),
      m_pHybridToDepth(nullptr),
      m_nHybridTransitionDepth(65535),
      m_nHybridTransitionShift(65535),
      m_nHybridDepthWindow(20),
      m_nHybridShiftThreshold(2),
      m_nHybridLUTSize(4000),
      m_dF(0.0),
      m_dG(0.0),
      m_dK(0.0),
      m_dB(0.0),
      m_dPs(0.0),
      m_dE(0.0),
      m_dD(0.0),
      m_fK(0.0f),
      m_fB(0.0f),
      m_fPs(0.0f),
      m_fE(0.0f),
      m_fCurveK(0.0f),
      m_fCurvePL(0.0f),
      m_fCurveG(0.0f),
      m_fCurvePs(0.0f),
      m_pWorldPointConverters(),
      m_nMaxHybridValue(0) {}

NAConversions::~NAConversions() { FreeAllocatedData(); }

bool NAConversions::InitConversions(const xn::DepthGenerator& depth, Resolution resolution) {
    // Per-resolution arrays have slots 0..6 only.
    if (!IsValidResolution(resolution)) {
        ReportInitFailure("Depth stream of unsupported size (resolution %d)", static_cast<int>(resolution));
        FreeAllocatedData();
        return false;
    }
    bool ok = GetSensorParameters(depth, resolution) && InitShiftDepthVectorsFromSensor(depth);
    if (ok) {
        UpdateConstants();
        ok = InitializeConvertersAndLookupTables(depth, resolution) && InitHybridTables();
    }
    if (!ok) {
        FreeAllocatedData();
    }
    return ok;
}

bool NAConversions::GetSensorParameters(const xn::DepthGenerator& depth, Resolution resolution) {
    SensorParameters& p = m_sensorParams;
    XnUInt64 value = 0;
    const auto readInt = [&](const char* name, const char* constant) {
        if (depth.GetIntProperty(name, value) != XN_STATUS_OK) {
            std::fprintf(stderr, "Couldn't get%s\n", constant);
            return false;
        }
        return true;
    };
    const auto readReal = [&](const char* name, const char* constant, double& target) {
        if (depth.GetRealProperty(name, target) != XN_STATUS_OK) {
            std::fprintf(stderr, "Couldn't get%s\n", constant);
            return false;
        }
        return true;
    };
    if (!readInt("ZPD", "XN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE")) {
        return false;
    }
    p.nZeroPlaneDistance = static_cast<uint16_t>(value);
    if (!readReal("ZPPS", "XN_STREAM_PROPERTY_ZERO_PLANE_PIXEL_SIZE", p.dZeroPlanePixelSize) ||
        !readReal("LDDIS", "XN_STREAM_PROPERTY_EMITTER_DCMOS_DISTANCE", p.dEmitterDCmosDistance) ||
        !readInt("MaxShift", "XN_STREAM_PROPERTY_MAX_SHIFT")) {
        return false;
    }
    // Kept whole for the check: a value beyond 32 bits must not pass as its
    // low part.
    const XnUInt64 maxShift = value;
    p.nDeviceMaxShiftValue = static_cast<uint32_t>(value);
    if (!readInt("ConstShift", "XN_STREAM_PROPERTY_CONST_SHIFT")) {
        return false;
    }
    p.nConstShift = static_cast<uint32_t>(value);
    p.nPixelSizeFactor = 1;
    if (!readInt("ParamCoeff", "XN_STREAM_PROPERTY_PARAM_COEFF")) {
        return false;
    }
    p.nParamCoeff = static_cast<uint32_t>(value);
    if (!readInt("ShiftScale", "XN_STREAM_PROPERTY_SHIFT_SCALE")) {
        return false;
    }
    p.nShiftScale = static_cast<uint32_t>(value);

    const double width = static_cast<double>(g_nXRes[resolution]);
    if (depth.GetRealProperty("ZPOPS", p.dZPOutputPS) != XN_STATUS_OK) {
        p.dZPOutputPS = p.dZeroPlanePixelSize / width * 1280.0;
    }
    const int maxDepth = vela_shift_tables::StreamMaxDepth(depth);
    p.nDeviceMaxDepthValue = static_cast<uint16_t>(maxDepth < 0 ? 0 : maxDepth);
    // Formed before the parameters are checked, so a broken ZPPS or ZPOPS
    // must not make the conversion undefined.
    p.nReferenceImageWidth = vela_math::SaturatingTruncate(std::round(width * p.dZPOutputPS / p.dZeroPlanePixelSize));

    if (maxShift > 0xFFFF) {
        ReportInitFailure("Invalid sensor parameter MaxShift (%llu): shifts are 16-bit",
                             static_cast<unsigned long long>(maxShift));
        return false;
    }
    return CheckSensorParameters();
}

bool NAConversions::CheckSensorParameters() const {
    const SensorParameters& p = m_sensorParams;
    if (p.nZeroPlaneDistance == 0) {
        ReportInitFailure("Invalid sensor parameter ZPD (0)");
        return false;
    }
    if (!(p.dZeroPlanePixelSize > 0.0) || !std::isfinite(p.dZeroPlanePixelSize)) {
        ReportInitFailure("Invalid sensor parameter ZPPS (%g)", p.dZeroPlanePixelSize);
        return false;
    }
    if (!std::isfinite(p.dEmitterDCmosDistance)) {
        ReportInitFailure("Invalid sensor parameter LDDIS (%g)", p.dEmitterDCmosDistance);
        return false;
    }
    if (p.nDeviceMaxShiftValue == 0) {
        ReportInitFailure("Invalid sensor parameter MaxShift (0)");
        return false;
    }
    if (p.nParamCoeff == 0) {
        ReportInitFailure("Invalid sensor parameter ParamCoeff (0)");
        return false;
    }
    if (p.nShiftScale == 0) {
        ReportInitFailure("Invalid sensor parameter ShiftScale (0)");
        return false;
    }
    // The depth table's size, maximum + 1, is a 16-bit value.
    if (p.nDeviceMaxDepthValue == 0xFFFF) {
        ReportInitFailure("Invalid maximum depth (65535): the depth table would exceed 16 bits");
        return false;
    }
    // The closed forms divide by K and by ps: both must leave finite
    // constants (LDDIS 0, or a 32-bit product ShiftScale x ParamCoeff x ZPD
    // that wraps to 0, makes K vanish).
    const double pl = static_cast<double>(p.nParamCoeff) * p.dEmitterDCmosDistance;
    const double k = static_cast<double>(p.nShiftScale * p.nParamCoeff * static_cast<uint32_t>(p.nZeroPlaneDistance)) *
                     p.dEmitterDCmosDistance;
    const double ps = static_cast<double>(p.nPixelSizeFactor) * p.dZeroPlanePixelSize;
    if (!std::isfinite(k) || k == 0.0 || !std::isfinite(ps / k) || !std::isfinite(k / ps) || !std::isfinite(pl / ps)) {
        ReportInitFailure("Invalid sensor parameters: LDDIS %g, ZPD %u, ParamCoeff %u and ShiftScale %u give no depth",
                             p.dEmitterDCmosDistance, static_cast<unsigned>(p.nZeroPlaneDistance), p.nParamCoeff,
                             p.nShiftScale);
        return false;
    }
    return true;
}

bool NAConversions::InitShiftDepthVectorsFromSensor(const xn::DepthGenerator& depth) {
    m_nShiftTableSize = static_cast<uint64_t>(m_sensorParams.nDeviceMaxShiftValue) + 1u;
    const int depthEntries = static_cast<int>(m_sensorParams.nDeviceMaxDepthValue) + 1;
    m_nDepthTableSize = static_cast<uint16_t>(depthEntries);
    m_nDepthTableCapacity = static_cast<uint32_t>(vela_shift_tables::DepthTableCapacity(depthEntries));
    if (!AllocateTable(m_pShiftToDepth, m_nShiftTableSize, "m_pShiftToDepth") ||
        !AllocateTable(m_pDepthToShift, m_nDepthTableCapacity, "m_pDepthToShift") ||
        !AllocateTable(m_pShiftToHybrid, m_nShiftTableSize, "m_pShiftToHybrid")) {
        return false;
    }
    if (depth.GetGeneralProperty("S2D", static_cast<XnUInt32>(2u * m_nShiftTableSize), m_pShiftToDepth) !=
        XN_STATUS_OK) {
        std::fputs("Couldn't get shift2Depth table.\n", stderr);
        return false;
    }
    // Exactly the device's table is read; the entries beyond stay 0.
    if (depth.GetGeneralProperty("D2S", static_cast<XnUInt32>(2 * depthEntries), m_pDepthToShift) != XN_STATUS_OK) {
        std::fputs("Couldn't get depth2Depth table.\n", stderr);
        return false;
    }
    vela_shift_tables::ClearShiftsAboveMaximum(m_pDepthToShift, depthEntries, m_sensorParams.nDeviceMaxShiftValue);
    return true;
}

void NAConversions::UpdateConstants() {
    const SensorParameters& p = m_sensorParams;
    const float pf = static_cast<float>(p.nParamCoeff);
    const float g = (static_cast<float>(p.nConstShift) + 0.5f - 1.0f / (2.0f * pf)) * pf;
    const double pl = static_cast<double>(p.nParamCoeff) * p.dEmitterDCmosDistance;
    m_dK = static_cast<double>(p.nShiftScale * p.nParamCoeff * static_cast<uint32_t>(p.nZeroPlaneDistance)) *
           p.dEmitterDCmosDistance;
    m_dPs = static_cast<double>(p.nPixelSizeFactor) * p.dZeroPlanePixelSize;
    m_dB = m_dPs * static_cast<double>(g) + pl;
    m_dE = m_dK / m_dPs;
    m_dD = pl / m_dPs + static_cast<double>(g);
    m_dF = m_dPs / m_dK;
    m_dG = pl / m_dPs + static_cast<double>(g);
    m_fK = static_cast<float>(m_dK);
    m_fB = static_cast<float>(m_dB);
    m_fPs = static_cast<float>(m_dPs);
    m_fE = static_cast<float>(m_dE);
    m_fCurveK = static_cast<float>(m_dK);
    m_fCurvePL = static_cast<float>(pl);
    m_fCurveG = g;
    m_fCurvePs = static_cast<float>(m_dPs);
}

bool NAConversions::InitializeConvertersAndLookupTables(const xn::DepthGenerator& depth, Resolution resolution) {
    if (static_cast<int>(resolution) < 0) {
        return true;
    }
    const int last = resolution < SXGA ? static_cast<int>(resolution) : static_cast<int>(SXGA);
    for (int r = 0; r <= last; ++r) {
        delete m_pWorldPointConverters[r];
        m_pWorldPointConverters[r] = new WorldPointConverter<float>(depth, g_nXRes[r], g_nYRes[r]);
        const WorldPointConverter<float>& converter = *m_pWorldPointConverters[r];
        if (!AllocateTable(m_pAreaAtShiftInt[r], m_nShiftTableSize, "m_pAreaAtShiftInt[resolution]") ||
            !AllocateTable(m_pLengthAtShiftInt[r], m_nShiftTableSize, "m_pLengthAtShiftInt[resolution]")) {
            return false;
        }
        for (uint64_t s = 0; s < m_nShiftTableSize; ++s) {
            // A device depth beyond the converter's tables is no depth.
            const int z = m_pShiftToDepth[s];
            if (z < converter.m_nDepthTableSize) {
                m_pAreaAtShiftInt[r][s] = converter.m_pAreaAtDepthInt[z];
                m_pLengthAtShiftInt[r][s] = converter.m_pLengthAtDepthInt[z];
            }
        }
    }
    return true;
}

void NAConversions::FreeAllocatedData() {
    FreeTable(m_pShiftToDepth);
    FreeTable(m_pDepthToShift);
    FreeTable(m_pShiftToHybrid);
    FreeTable(m_pHybridToShift);
    FreeTable(m_pHybridToDepth);
    for (int r = 0; r < 7; ++r) {
        delete m_pWorldPointConverters[r];
        m_pWorldPointConverters[r] = nullptr;
        FreeTable(m_pAreaAtShiftInt[r]);
        FreeTable(m_pLengthAtShiftInt[r]);
    }
}

const WorldPointConverter<float>& NAConversions::Converter(Resolution resolution) const {
    if (!IsValidResolution(resolution) || m_pWorldPointConverters[resolution] == nullptr) {
        VELA_FATAL_ERROR("Unsupported resolution requested");
    }
    return *m_pWorldPointConverters[resolution];
}

float NAConversions::ShiftToDepth(float shift) const {
    if (!(shift > 0.0f)) {
        return 0.0f;
    }
    // At and beyond the pole the formula gives no positive depth.
    const double denominator = m_dB - static_cast<double>(shift) * m_dPs;
    if (!(denominator > 0.0)) {
        return 0.0f;
    }
    const double r = m_dK / denominator;
    return r < 0.0 ? 0.0f : static_cast<float>(r);
}

float NAConversions::DepthToShift(float depth) const {
    if (!(depth > 0.0f)) {
        return 0.0f;
    }
    const double r = m_dD - m_dE / static_cast<double>(depth);
    return r < 0.0 ? 0.0f : static_cast<float>(r);
}

float NAConversions::DDepthDShift(float shift) const {
    if (!(shift > 0.0f)) {
        return 0.0f;
    }
    const float a = m_fB - shift * m_fPs;
    return m_fK * m_fPs / (a * a);
}

float NAConversions::DShiftDDepth(float depth) const {
    if (!(depth > 0.0f)) {
        return 0.0f;
    }
    return m_fE / (depth * depth);
}

bool NAConversions::IsDepthToShiftRight(float depth, float shift) const {
    const int i = RoundToIndex(depth);
    if (i <= 0 || i >= m_nDepthTableSize || m_pDepthToShift[i] == 0) {
        return true;
    }
    const float bound = std::max(1.0f, DShiftDDepth(depth));
    return std::fabs(shift - static_cast<float>(m_pDepthToShift[i])) < bound;
}

bool NAConversions::IsShiftToDepthRight(float depth, float shift) const {
    const int i = RoundToIndex(shift);
    if (i <= 0 || static_cast<uint64_t>(i) >= m_nShiftTableSize || m_pShiftToDepth[i] == 0) {
        return true;
    }
    const float bound = std::max(1.0f, DDepthDShift(shift));
    return std::fabs(depth - static_cast<float>(m_pShiftToDepth[i])) < bound;
}

void NAConversions::DepthToShiftTranslator(const Array2D<unsigned short>& input, Array2D<unsigned short>& output,
                                           bool toShift) const {
    if (input.Rows() != output.Rows() || input.Columns() != output.Columns()) {
        return;
    }
    const uint16_t* table = toShift ? m_pDepthToShift : m_pShiftToDepth;
    const uint64_t size = toShift ? m_nDepthTableSize : m_nShiftTableSize;
    const unsigned short* in = input.Data();
    unsigned short* out = output.Data();
    const int n = std::min(input.Size(), output.Size());
    for (int i = 0; i < n; ++i) {
        out[i] = in[i] < size ? table[in[i]] : 0;
    }
}

void NAConversions::DepthToShift(const Array2D<unsigned short>& depth, Array2D<unsigned short>& shift) const {
    DepthToShiftTranslator(depth, shift, true);
}

void NAConversions::ShiftToDepth(const Array2D<unsigned short>& shift, Array2D<unsigned short>& depth) const {
    DepthToShiftTranslator(shift, depth, false);
}

void NAConversions::ShiftToDepth(const Array2D<float>& shift, Array2D<unsigned short>& depth) const {
    const float* in = shift.Data();
    unsigned short* out = depth.Data();
    const int n = std::min(shift.Size(), depth.Size());
    for (int i = 0; i < n; ++i) {
        const float z = ShiftToDepth(in[i]);
        const float rounded = std::floor(z + 0.5f);
        out[i] = rounded < 65536.0f ? static_cast<unsigned short>(rounded) : 0;
    }
}

Vector3D<float> NAConversions::ShiftToDepth(Resolution resolution, const Vector3D<float>& point) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    const float z = ShiftToDepth(point.z);
    return Vector3D<float>((point.x - c.m_fCenterX) * c.m_fPixelSizeFactor * z,
                           (c.m_fCenterY - point.y) * c.m_fPixelSizeFactor * z, z);
}

Vector3D<float> NAConversions::DepthToShift(Resolution resolution, const Vector3D<float>& point) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    if (!(point.z > 0.0f)) {
        return Vector3D<float>(0.0f, 0.0f, 0.0f);
    }
    const float q = 1.0f / (c.m_fPixelSizeFactor * point.z);
    return Vector3D<float>(q * point.x + c.m_fCenterX, c.m_fCenterY - q * point.y, DepthToShift(point.z));
}

Vector3D<int> NAConversions::ShiftToDepth(Resolution resolution, const Vector3D<int>& point) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    const float z = point.z > 0 ? std::floor(ShiftToDepth(static_cast<float>(point.z)) + 0.5f) : 0.0f;
    const int depth = z < 2147483647.0f ? static_cast<int>(z) : 0;
    return Vector3D<int>(c.LengthAtDepthInt(depth, point.x - c.m_nCenterX),
                         c.LengthAtDepthInt(depth, c.m_nCenterY - point.y), depth);
}

Vector3D<int> NAConversions::DepthToShift(Resolution resolution, const Vector3D<int>& point) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    const int shift = point.z > 0 ? static_cast<int>(DepthToShift(static_cast<float>(point.z))) : 0;
    return Vector3D<int>(c.m_nCenterX + c.PixelsAtDepthInt(point.z, point.x),
                         c.m_nCenterY - c.PixelsAtDepthInt(point.z, point.y), shift);
}

namespace {

// The image of a line under a point conversion: the images of its origin
// and of origin + direction; the direction stays (1, 0, 0) when they meet.
template <typename Convert>
Line3D<float> ConvertLine(const Line3D<float>& line, Convert convert) {
    Line3D<float> result;
    result.m_origin = convert(line.m_origin);
    const Vector3D<float> second = convert(line.m_origin + line.m_direction);
    const Vector3D<float> d = second - result.m_origin;
    const float r = FloatOneOverSqrt(d.MagnitudeSquared());
    if (IsUsableReciprocalLength(r)) {
        result.m_direction = d * r;
    }
    return result;
}

}  // namespace

Line3D<float> NAConversions::DepthToShift(Resolution resolution, const Line3D<float>& line) const {
    return ConvertLine(line, [&](const Vector3D<float>& p) { return DepthToShift(resolution, p); });
}

Line3D<float> NAConversions::ShiftToDepth(Resolution resolution, const Line3D<float>& line) const {
    return ConvertLine(line, [&](const Vector3D<float>& p) { return ShiftToDepth(resolution, p); });
}
