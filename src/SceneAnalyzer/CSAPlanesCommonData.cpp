#include "SceneAnalyzer/CSAPlanesCommonData.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "NACommon/NACommonData.h"

CSAPlanesCommonData::CSAPlanesCommonData()
    : m_pCommonData(nullptr),
      m_resolution(INVALID),
      m_nXRes(0),
      m_nYRes(0),
      m_nPixels(0),
      m_nXRes8(0),
      m_nCenterX(0),
      m_nCenterY(0),
      m_halfResolution(INVALID),
      m_nHalfXRes(0),
      m_nHalfYRes(0),
      m_nHalfPixels(0),
      m_nFactor(2),
      m_nStep(4),
      m_nBins(100),
      m_bSSE(0),
      m_nMaxShift(0),
      m_nMarkRangeLimit(0),
      m_nMaxValue(1),
      m_nPointsPerThread(1),
      m_pCoeff11(nullptr),
      m_pCoeff31(nullptr),
      m_pCoeff33(nullptr),
      m_nCoeffCount(0),
      m_bUsePolygon(false),
      m_bValid(false) {}

CSAPlanesCommonData::~CSAPlanesCommonData() { FreeCoefficients(); }

void CSAPlanesCommonData::FreeCoefficients() {
    delete[] m_pCoeff11;
    delete[] m_pCoeff31;
    delete[] m_pCoeff33;
    m_pCoeff11 = m_pCoeff31 = m_pCoeff33 = nullptr;
    m_nCoeffCount = 0;
}

unsigned short CSAPlanesCommonData::ShiftOfDepth(uint32_t depth) const {
    const NACommonData* hub = m_pCommonData;
    if (hub == nullptr || hub->m_pDepthToShift == nullptr || hub->m_nDepthTableCapacity == 0) {
        return 0;
    }
    return hub->m_pDepthToShift[std::min<uint32_t>(depth, hub->m_nDepthTableCapacity - 1)];
}

int32_t CSAPlanesCommonData::AreaAtShift(unsigned int shift) const {
    if (!IsValidResolution(m_halfResolution) || m_pCommonData->m_pAreaAtShiftInt[m_halfResolution] == nullptr ||
        shift >= m_pCommonData->m_nShiftTableSize) {
        return 0;
    }
    return m_pCommonData->m_pAreaAtShiftInt[m_halfResolution][shift];
}

void CSAPlanesCommonData::Init(NACommonData* hub, int bins, int useSSE, Resolution resolution, int factor, int step,
                               const std::vector<Vector2D<int> >* floorPoints, unsigned short maxSupportedDepth) {
    m_bValid = false;
    m_pCommonData = hub;
    m_resolution = resolution;
    // Without the conversions of the resolution there is nothing to search.
    if (hub == nullptr || !IsValidResolution(resolution) || factor <= 0 || bins < 3 ||
        hub->m_pWorldPointConverters[resolution] == nullptr || hub->m_pDepthToShift == nullptr) {
        return;
    }
    m_nXRes = g_nXRes[resolution];
    m_nYRes = g_nYRes[resolution];
    m_nPixels = m_nXRes * m_nYRes;
    m_nXRes8 = m_nXRes / 8;
    m_nCenterX = m_nXRes / 2;
    m_nCenterY = m_nYRes / 2;
    m_nFactor = factor;
    m_nStep = step;
    m_nHalfXRes = m_nXRes / factor;
    m_nHalfYRes = m_nYRes / factor;
    m_nHalfPixels = m_nHalfXRes * m_nHalfYRes;
    m_halfResolution = GetResolution(m_nHalfXRes, m_nHalfYRes);
    m_nBins = bins;
    m_bSSE = useSSE;

    m_halfBackground.SetSize(m_nHalfYRes, m_nHalfXRes, false);
    m_distanceMap.SetSize(m_nHalfYRes, m_nHalfXRes, false);
    m_tempMap.SetSize(m_nHalfYRes, m_nHalfXRes, false);
    std::memset(m_distanceMap.Data(), 0, sizeof(short) * static_cast<size_t>(m_nHalfPixels));
    std::memset(m_tempMap.Data(), 0, sizeof(short) * static_cast<size_t>(m_nHalfPixels));
    m_candidates.EnsureCapacity(m_nHalfPixels, false);
    m_candidateDistances.EnsureCapacity(m_nHalfPixels, false);
    m_candidateSelected.EnsureCapacity(m_nHalfPixels, false);
    m_residuals.EnsureCapacity(m_nHalfPixels, false);
    m_histogram.EnsureCapacity(bins, false);
    m_histogram.Clear();
    for (int b = 0; b < bins; ++b) {
        m_histogram.push_back_fast(0);
    }
    m_polygonMask.SetSize(m_nYRes, m_nXRes, false);
    std::memset(m_polygonMask.Data(), 0, static_cast<size_t>(m_nPixels));
    // A resized mask no longer holds the stored polygon.
    m_polygonPoints.clear();
    handleExternalPoints(floorPoints);

    // The background holds any shift of the device, so the tables cover the
    // whole shift range.
    FreeCoefficients();
    const int count = static_cast<int>(std::max<uint64_t>(1, std::min<uint64_t>(hub->m_nShiftTableSize, 65536)));
    InitializeShiftToDepthVectors(count, resolution, &m_pCoeff11, &m_pCoeff31, &m_pCoeff33);
    m_nCoeffCount = count;

    for (Array2D<unsigned short>& marks : m_marks) {
        marks.SetSize(m_nYRes, m_nXRes, false);
    }
    m_nMaxShift = ShiftOfDepth(maxSupportedDepth);
    m_nMarkRangeLimit = std::min<int>(ShiftOfDepth(kMarkingRangeDepth), 32767);

    const uint32_t largest = static_cast<uint32_t>(std::max(m_nXRes, m_nYRes));
    const uint32_t deepest = ShiftOfDepth(hub->m_sensorParams.nDeviceMaxDepthValue);
    m_nMaxValue = std::max<uint32_t>(1, largest * std::max(largest, deepest));
    m_nPointsPerThread = std::max<uint32_t>(1, 4294967295u / m_nMaxValue);
    m_bValid = true;
}

void CSAPlanesCommonData::InitializeShiftToDepthVectors(int count, Resolution resolution, int** coeff11,
                                                        int** coeff31, int** coeff33) const {
    *coeff11 = new int[count];
    *coeff31 = new int[count];
    *coeff33 = new int[count];
    const auto fixed = [](float k) {
        const double v = std::floor(static_cast<double>(k) * 16384.0 + 0.5);
        // Past the sensor's pole the coefficients are meaningless; no pixel
        // with such a shift reaches the tables.
        return std::isfinite(v) && std::fabs(v) < 2147483647.0 ? static_cast<int>(v) : 0;
    };
    for (int s = 0; s < count; ++s) {
        const float shift = static_cast<float>(s);
        (*coeff11)[s] = fixed(m_pCommonData->S2DNormCoeff11(shift, resolution));
        (*coeff31)[s] = fixed(m_pCommonData->S2DNormCoeff31(shift));
        (*coeff33)[s] = fixed(m_pCommonData->S2DNormCoeff33(shift));
    }
}

void CSAPlanesCommonData::handleExternalPoints(const std::vector<Vector2D<int> >* points) {
    if (points == nullptr || points->size() < 3) {
        m_bUsePolygon = false;
        return;
    }
    m_bUsePolygon = true;
    m_bSSE = 0;
    if (*points == m_polygonPoints) {
        return;
    }
    std::memset(m_polygonMask.Data(), 0, static_cast<size_t>(m_polygonMask.Size()));
    m_polygonPoints = *points;
    int minX = points->front().x;
    int maxX = minX;
    int minY = points->front().y;
    int maxY = minY;
    for (const Vector2D<int>& p : *points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    minX = std::max(minX, 0);
    minY = std::max(minY, 0);
    maxX = std::min(maxX, m_nXRes - 1);
    maxY = std::min(maxY, m_nYRes - 1);
    for (int y = minY; y <= maxY; ++y) {
        for (int x = minX; x <= maxX; ++x) {
            m_polygonMask(y, x) = IsInsidePolygon(*points, x, y) ? 1 : 0;
        }
    }
}

bool CSAPlanesCommonData::IsInsidePolygon(const std::vector<Vector2D<int> >& points, int x, int y) {
    const float pi = 3.1415927f;
    // Adds the turn from one angle to the next, brought into [-pi, pi];
    // false when it is exactly half a turn (the pixel lies on that edge).
    float sum = 0.0f;
    const auto turn = [pi, &sum](float from, float to) {
        float d = to - from;
        if (d > pi) {
            d -= 2.0f * pi;
        } else if (d < -pi) {
            d += 2.0f * pi;
        }
        sum += d;
        return d != pi && d != -pi;
    };
    float first = 0.0f;
    float previous = 0.0f;
    for (size_t i = 0; i < points.size(); ++i) {
        const int dx = points[i].x - x;
        const int dy = points[i].y - y;
        if (dx == 0 && dy == 0) {
            return true;
        }
        const float angle = std::atan2(static_cast<float>(dy), static_cast<float>(dx));
        if (i == 0) {
            first = angle;
        } else if (!turn(previous, angle)) {
            return true;
        }
        previous = angle;
    }
    if (!turn(previous, first)) {
        return true;
    }
    return std::fabs(sum) >= pi;
}
