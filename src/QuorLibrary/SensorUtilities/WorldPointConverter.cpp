#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <type_traits>

#include "QuorLibrary/Math/FixedPoint.h"
#include "QuorLibrary/SensorUtilities/SensorDeviceUtilities.h"
#include "QuorLibrary/Utilities/FatalError.h"
#include "QuorLibrary/Utilities/StringUtils.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

// Depths are 16-bit: tables never need more entries than that.
const int kMaxDepthTableSize = 65536;

// Depths 0 to the stream's maximum + 1; 2 entries when the maximum cannot be
// read (or is negative), with readable false.
int DepthTableSize(const xn::DepthGenerator& depth, bool& readable) {
    int maxDepth = 0;
    int size = static_cast<int>(sizeof(maxDepth));
    readable = xn::StreamGetProperty(depth.GetStreamHandle(), ONI_STREAM_PROPERTY_MAX_VALUE, &maxDepth, &size) ==
                   ONI_STATUS_OK &&
               maxDepth >= 0;
    if (!readable) {
        return 2;
    }
    return maxDepth >= kMaxDepthTableSize - 2 ? kMaxDepthTableSize : maxDepth + 2;
}

// 2*tan(FOVX/2): the half angle in single precision, its tangent and the
// doubling in double, rounded to float.
template <typename T>
T FieldOfViewTangent(double fovx) {
    if (std::is_same<T, float>::value) {
        const float halfAngle = static_cast<float>(fovx) * 0.5f;
        return static_cast<T>(static_cast<float>(2.0 * std::tan(static_cast<double>(halfAngle))));
    }
    return static_cast<T>(2.0 * std::tan(fovx * 0.5));
}

// 2*tan(15 degrees), the stand-in for a vanishing field of view.
template <typename T>
T FallbackTangent() {
    return std::is_same<T, float>::value ? static_cast<T>(0.5358984f) : static_cast<T>(0.535898400478821);
}

// floor(x) (x in T), clamped to +-2^40 so that callers can scale it by 2^14
// and still saturate the product at the int range.
template <typename T>
int64_t ClampedFloor(T x) {
    const double limit = 1099511627776.0;
    const double v = std::floor(static_cast<double>(x));
    if (v != v) {
        return 0;
    }
    if (v >= limit) {
        return static_cast<int64_t>(limit);
    }
    if (v <= -limit) {
        return -static_cast<int64_t>(limit);
    }
    return static_cast<int64_t>(std::floor(x));
}

}  // namespace

template <typename T>
WorldPointConverterBase<T>::WorldPointConverterBase(const xn::DepthGenerator& depth, int xRes, int yRes)
    : m_nXRes(xRes),
      m_nYRes(yRes),
      m_nDepthTableSize(2),
      m_pInvPixelSizeAtDepth(nullptr),
      m_pPixelAreaAtDepth(nullptr),
      m_fInvPixelSizeFactor(0),
      m_fPixelSizeFactor(0),
      m_nPixelSizeFactorQ13(0),
      m_nPixelAreaFactorQ26(0),
      m_nLengthFactor(0),
      m_pPixelSizeAtDepth(nullptr),
      m_pAreaAtDepthInt(nullptr),
      m_pLengthAtDepthInt(nullptr),
      m_pPixelsAtDepthInt(nullptr),
      m_nMaxLengthMultiplier(0),
      m_nMaxPixelsRatio(0),
      m_nAreaShift(kAreaShift),
      m_nLengthShift(kLengthShift),
      m_nPixelsShift(kPixelsShift),
      m_nLengthScaleSubPixel(1 << (kLengthShift + 8)),
      m_nSubPixelScale(256),
      m_nProjectiveShift(kProjectiveShift),
      m_nLengthScale(kLengthScale),
      m_nInvPixelSizeFactorFP(0),
      m_nProjectiveBiasShift(kProjectiveBiasShift),
      m_nProjectiveBias(kProjectiveBias),
      m_nProjectiveBiasPixels(kProjectiveBiasPixels),
      m_fCenterX(0),
      m_fCenterY(0),
      m_nCenterX(0),
      m_nCenterY(0),
      m_nCenterXFP(0),
      m_nCenterYFP(0) {
    if (xRes <= 0 || yRes <= 0) {
        FatalError("WorldPointConverterBase", __FILE__, __LINE__,
                   StringSprintf("WorldPointConverterBase got an invalid image size %dx%d", xRes, yRes).c_str());
    }
    bool maxDepthReadable = false;
    m_nDepthTableSize = DepthTableSize(depth, maxDepthReadable);

    const double fovx = GetDepthFOVX(depth);
    T tangent;
    if (fovx < 1e-10) {
        std::fputs("WorldPointConverterBase got FOVX<1e-10.  Overriding with FOVX = 30 degrees.\n", stderr);
        std::fflush(stderr);
        tangent = FallbackTangent<T>();
    } else {
        tangent = FieldOfViewTangent<T>(fovx);
    }

    const T k = tangent / static_cast<T>(xRes);
    m_fPixelSizeFactor = k;
    m_fCenterX = static_cast<T>(0.5) * static_cast<T>(xRes);
    m_fCenterY = static_cast<T>(0.5) * static_cast<T>(yRes);
    m_nCenterX = xRes / 2;
    m_nCenterY = yRes / 2;
    m_nCenterXFP = vela_math::SaturateToInt(static_cast<int64_t>(m_nCenterX) << kProjectiveShift);
    m_nCenterYFP = vela_math::SaturateToInt(static_cast<int64_t>(m_nCenterY) << kProjectiveShift);

    const float kSingle = static_cast<float>(k);
    const float kSquaredSingle = static_cast<float>(k * k);
    m_nPixelSizeFactorQ13 = vela_math::FloatToFixed(kSingle, 8192.0f);
    m_nPixelAreaFactorQ26 = vela_math::FloatToFixed(kSquaredSingle, 67108864.0f);
    m_fInvPixelSizeFactor = static_cast<T>(1) / k;
    m_nInvPixelSizeFactorFP = vela_math::SaturateToInt(ClampedFloor(m_fInvPixelSizeFactor + static_cast<T>(0.5)) *
                                                       (int64_t{1} << kProjectiveShift));

    m_pixelToRay = Matrix3X3<T>(k, 0, -k * m_fCenterX, 0, -k, k * m_fCenterY, 0, 0, 1);

    const int n = m_nDepthTableSize;
    m_pInvPixelSizeAtDepth = new T[n];
    m_pPixelAreaAtDepth = new T[n];
    m_pPixelSizeAtDepth = new T[n];
    m_pAreaAtDepthInt = new int[n];
    m_pLengthAtDepthInt = new int[n];
    m_pPixelsAtDepthInt = new int[n];
    const T kSquared = k * k;
    for (int z = 0; z < n; ++z) {
        m_pPixelSizeAtDepth[z] = PixelSizeEntry(z);
        m_pLengthAtDepthInt[z] = LengthEntry(z);
        m_pInvPixelSizeAtDepth[z] = InvPixelSizeEntry(z);
        m_pPixelsAtDepthInt[z] = PixelsEntry(z);
        const T zT = static_cast<T>(z);
        m_pPixelAreaAtDepth[z] = kSquared * zT * zT;
        m_pAreaAtDepthInt[z] =
            SaturatingTruncate(m_pPixelAreaAtDepth[z] * static_cast<T>(1 << kAreaShift) + static_cast<T>(0.5));
    }
    // Callers size their products by these two: without a readable maximum
    // any 16-bit depth may arrive, and the operations serve it beyond the
    // tables, so the limits cover them all.
    const int coveredDepths = maxDepthReadable ? n : kMaxDepthTableSize;
    int maxLength = 0;
    int minPixelsRatio = INT_MAX;
    for (int z = 0; z < coveredDepths; ++z) {
        maxLength = std::max(maxLength, LengthAt(z));
        // A zero entry (a pixel wider than 2^14 mm) limits no product.
        const int pixels = PixelsAt(z);
        if (z > 0 && pixels > 0) {
            minPixelsRatio = std::min(minPixelsRatio, (INT_MAX / pixels) / z);
        }
    }
    // Entries of 0 (a vanishing pixel size) limit no multiplier.
    m_nMaxLengthMultiplier = maxLength > 0 ? INT_MAX / maxLength : INT_MAX;
    m_nMaxPixelsRatio = minPixelsRatio;
    m_nLengthFactor = vela_math::SaturateToInt(ClampedFloor(static_cast<T>(kLengthScale) * k + static_cast<T>(0.5)));
}

template <typename T>
WorldPointConverterBase<T>::~WorldPointConverterBase() {
    delete[] m_pInvPixelSizeAtDepth;
    delete[] m_pPixelAreaAtDepth;
    delete[] m_pPixelSizeAtDepth;
    delete[] m_pAreaAtDepthInt;
    delete[] m_pLengthAtDepthInt;
    delete[] m_pPixelsAtDepthInt;
}

template <typename T>
WorldPointConverter<T>::WorldPointConverter(const xn::DepthGenerator& depth, int xRes, int yRes)
    : WorldPointConverterBase<T>(depth, xRes, yRes), m_nWorldMapFrameId(-1) {}

template <typename T>
WorldPointConverter<T>::~WorldPointConverter() {
    m_worldMap.Deallocate();
}

template <typename T>
void WorldPointConverter<T>::UpdateWorldPoints(const xn::DepthMetaData& depthMap) {
    const int width = depthMap.XRes();
    const int height = depthMap.YRes();
    const int frameId = static_cast<int>(depthMap.FrameID());
    // The size check keeps a map of another size from being read with this
    // one's indices when two maps share a frame id.
    if (m_worldMap.Size() != 0 && frameId == m_nWorldMapFrameId && m_worldMap.Rows() == height &&
        m_worldMap.Columns() == width) {
        return;
    }
    m_worldMap.SetSize(height, width, false);
    const XnDepthPixel* pDepth = depthMap.Data();
    Vector3D<T>* pWorld = m_worldMap.Data();
    for (int i = 0; i < height; ++i) {
        const T dy = this->m_fCenterY - static_cast<T>(i);
        for (int j = 0; j < width; ++j) {
            const int z = pDepth[j];
            const T size = this->PixelSizeAt(z);
            pWorld[j] = Vector3D<T>((static_cast<T>(j) - this->m_fCenterX) * size, dy * size, static_cast<T>(z));
        }
        pDepth += width;
        pWorld += width;
    }
    m_nWorldMapFrameId = frameId;
}

template class WorldPointConverterBase<float>;
template class WorldPointConverterBase<double>;
template class WorldPointConverter<float>;
template class WorldPointConverter<double>;
