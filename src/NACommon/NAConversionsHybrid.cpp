// The hybrid code and the geometry of shift space.

#include <algorithm>
#include <cstdio>

#include "NACommon/NAConversions.h"
#include "OSLayer/XnOS.h"

namespace {

const int kMaxHybridValue = 0xFFFF;

}  // namespace

bool NAConversions::InitHybridTables() {
    const uint16_t* d2s = m_pDepthToShift;
    const uint16_t* s2d = m_pShiftToDepth;
    const int window = m_nHybridDepthWindow;
    const int threshold = m_nHybridShiftThreshold;
    m_nHybridTransitionDepth = 65535;
    m_nHybridTransitionShift = 65535;
    if (window <= 0 || threshold <= 0) {
        ReportInitFailure("Invalid hybrid depth window (%d) or shift threshold (%d)", window, threshold);
        return false;
    }
    // The search stays inside the device's table: the zeros that pad it
    // would pass the criterion and put the transition past the maximum depth.
    for (int i = 0; i < kDepthToHybridSize && i + window < static_cast<int>(m_nDepthTableSize); ++i) {
        if (d2s[i] != 0 && static_cast<int>(d2s[i + window]) - static_cast<int>(d2s[i]) < threshold) {
            m_nHybridTransitionDepth = static_cast<uint16_t>(i + window);
            m_nHybridTransitionShift = d2s[i + window];
            break;
        }
    }
    const bool found = m_nHybridTransitionDepth != 65535;
    const int s0 = m_nHybridTransitionShift;
    const int step = static_cast<uint16_t>(window / threshold);
    const int base = found ? s2d[s0] : 0;
    const int sMax = d2s[kDepthToHybridSize - 1];
    const auto hybridOf = [&](int shift) { return shift <= s0 ? static_cast<int>(s2d[shift]) : base + step * (shift - s0); };

    const int maxHybrid = s0 < sMax ? hybridOf(sMax) : 9999;
    if (maxHybrid > kMaxHybridValue) {
        ReportInitFailure("Hybrid values of this device exceed 16 bits (%d)", maxHybrid);
        return false;
    }
    // A device whose depths are not ordered by shift can give hybrid values
    // above the largest one; the tables take every value given.
    int largest = maxHybrid;
    for (int j = 1; j <= sMax; ++j) {
        largest = std::max(largest, hybridOf(j));
    }
    m_nMaxHybridValue = static_cast<uint16_t>(maxHybrid);
    if ((m_pHybridToShift == nullptr || m_pHybridToDepth == nullptr || m_nHybridLUTSize <= largest) &&
        !AllocateHybridLUTs(largest)) {
        return false;
    }
    m_pShiftToHybrid[0] = m_nMaxHybridValue;
    for (int j = 1; j <= sMax; ++j) {
        const int h = hybridOf(j);
        m_pShiftToHybrid[j] = static_cast<uint16_t>(h);
        m_pHybridToShift[h] = static_cast<uint16_t>(j);
    }
    for (int h = 1; h <= m_pShiftToHybrid[sMax]; ++h) {
        m_pHybridToDepth[h] = s2d[m_pHybridToShift[h]];
    }
    for (int d = 0; d < kDepthToHybridSize; ++d) {
        m_depthToHybrid[d] = m_pShiftToHybrid[d2s[d]];
    }
    return true;
}

bool NAConversions::AllocateHybridLUTs(int maxValue) {
    if (m_pHybridToShift != nullptr && m_pHybridToDepth != nullptr && m_nHybridLUTSize > maxValue) {
        return true;
    }
    if (maxValue < 0 || maxValue > kMaxHybridValue) {
        ReportInitFailure("Invalid hybrid value range (%d)", maxValue);
        return false;
    }
    m_nHybridLUTSize = maxValue + 1;
    const XnUInt32 count = static_cast<XnUInt32>(m_nHybridLUTSize);
    for (uint16_t** pTable : {&m_pHybridToDepth, &m_pHybridToShift}) {
        if (*pTable != nullptr) {
            xnOSFreeAligned(*pTable);
        }
        *pTable = static_cast<uint16_t*>(xnOSCallocAligned(count, sizeof(uint16_t), 16));
        if (*pTable == nullptr) {
            std::fprintf(stderr, "Couldn't allocate %s buffer.\n",
                         pTable == &m_pHybridToDepth ? "m_pHybridToDepth" : "m_pHybridToShift");
            return false;
        }
    }
    return true;
}

unsigned short NAConversions::ShiftDepthCombo(unsigned short depth, unsigned short shift,
                                              unsigned short transitionShift, unsigned short step,
                                              unsigned short base) {
    if (shift > transitionShift) {
        return static_cast<unsigned short>(base + step * (shift - transitionShift));
    }
    return depth;
}

float NAConversions::S2DNormCoeff11(float shift, Resolution resolution) const {
    const float inverseK = 1.0f / Converter(resolution).m_fPixelSizeFactor;
    return static_cast<float>(static_cast<double>(inverseK) * m_dF * (m_dG - static_cast<double>(shift)));
}

float NAConversions::S2DNormCoeff31(float shift) const {
    return static_cast<float>(-m_dF * (m_dG - static_cast<double>(shift)));
}

float NAConversions::S2DNormCoeff33(float shift) const {
    const double a = m_dG - static_cast<double>(shift);
    return static_cast<float>(m_dF * a * a);
}

Vector3D<float> NAConversions::ConvertPlaneNormalS2D(const Vector3D<float>& normal, const Vector3D<float>& point,
                                                     Resolution resolution) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    const float c11 = S2DNormCoeff11(point.z, resolution);
    const float c31 = S2DNormCoeff31(point.z);
    const float c33 = S2DNormCoeff33(point.z);
    Vector3D<float> n(c11 * normal.x, -c11 * normal.y,
                      c31 * ((point.x - c.m_fCenterX) * normal.x + (point.y - c.m_fCenterY) * normal.y) +
                          c33 * normal.z);
    n.Normalize();
    return n;
}

Vector3D<float> NAConversions::ConvertVectorS2D(const Vector3D<float>& direction, const Vector3D<float>& point,
                                                Resolution resolution) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    const float k = c.m_fPixelSizeFactor;
    const float z = ShiftToDepth(point.z);
    const double r = m_dPs / (m_dB - static_cast<double>(point.z) * m_dPs);
    const double ds = static_cast<double>(direction.z);
    Vector3D<float> v(
        static_cast<float>(static_cast<double>(k * z * direction.x) +
                           static_cast<double>((point.x - c.m_fCenterX) * k * z) * r * ds),
        static_cast<float>(static_cast<double>(-k * z * direction.y) +
                           static_cast<double>((c.m_fCenterY - point.y) * k * z) * r * ds),
        static_cast<float>(static_cast<double>(z) * r * ds));
    v.Normalize();
    return v;
}

void NAConversions::xysCurve2XYZDerivs(float a0, float a1, float a2, float b0, float b1, float b2, float c0, float c1,
                                       float c2, int t, float& dX, float& dY, float& dZ, float& ddX, float& ddY,
                                       float& ddZ, Resolution resolution) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    const float k = c.m_fPixelSizeFactor;
    const float tt = static_cast<float>(t * t);
    const float t2 = static_cast<float>(2 * t);
    const float ft = static_cast<float>(t);
    const float s = c2 * tt + c1 * ft + c0;
    const float a = m_fCurvePL - (s - m_fCurveG) * m_fCurvePs;
    const float z = m_fCurveK / a;
    const float zs = z * m_fCurvePs / a;
    const float xd = t2 * a2 + a1;
    const float yd = t2 * b2 + b1;
    const float sd = t2 * c2 + c1;
    const float xk = (a0 + a1 * ft + a2 * tt - c.m_fCenterX) * k;
    const float yk = (c.m_fCenterY - (b0 + b1 * ft + b2 * tt)) * k;
    const float zt = zs * sd;
    dX = k * z * xd + xk * zs * sd;
    dY = -k * z * yd + yk * zs * sd;
    dZ = zt;
    const float ztt = zt * (2.0f * sd * m_fCurvePs / a + 2.0f * c2 / 3.0f);
    ddX = 2.0f * a2 * k * z + 2.0f * k * xd * zt + xk * ztt;
    ddY = -2.0f * b2 * k * z - 2.0f * k * yd * zt + yk * ztt;
    ddZ = ztt;
}

void NAConversions::xysCurve2XYZDerivs(float x, float x1, float x2, float y, float y1, float y2, float s, float s1,
                                       float s2, float& dX, float& dY, float& dZ, float& ddX, float& ddY, float& ddZ,
                                       Resolution resolution) const {
    const WorldPointConverter<float>& c = Converter(resolution);
    const float k = c.m_fPixelSizeFactor;
    const float a = m_fCurvePL - (s - m_fCurveG) * m_fCurvePs;
    const float z = m_fCurveK / a;
    const float zs = z * m_fCurvePs / a;
    const float zt = zs * s1;
    dX = k * (x1 * z + (x - c.m_fCenterX) * zt);
    dY = k * ((c.m_fCenterY - y) * zt - y1 * z);
    dZ = zt;
    const float ztt = zt * (2.0f * s1 * m_fCurvePs / a + 2.0f * s2 / 3.0f);
    ddX = k * (2.0f * x2 * z + 2.0f * x1 * zt + (x - c.m_fCenterX) * ztt);
    ddY = k * ((c.m_fCenterY - y) * ztt - 2.0f * y2 * z - 2.0f * y1 * zt);
    ddZ = ztt;
}
