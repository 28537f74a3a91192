#include "NACommon/NAExtremePointTracker.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <iostream>
#include <ostream>

#include "NACommon/NAConverterTables.h"
#include "NACommon/NADepthMapRayMarching.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

const char* const kMask = "ExtremePointTracker";
const char* const kSection = "HeadTracker";

int Truncate(double value) { return vela_math::SaturatingTruncate(value); }

// The per-depth mm-per-pixel entry with the index kept inside the table.
float PixelSizeInTable(const WorldPointConverterBase<float>& converter, int depth) {
    return converter.PixelSizeAt(std::max(0, std::min(depth, converter.m_nDepthTableSize - 1)));
}

// The horizontal stretch of the fit: heads are taller than wide.
constexpr float kStretch = 1.2f;
// Upper outline points (rays 17 to 31) weigh this much.
constexpr float kUpperWeight = 3.0f;
constexpr int kFirstUpperRay = 17;
constexpr int kMinFitPoints = 5;
// Half the head box's depth, mm.
constexpr float kHeadBoxHalfDepth = 75.0f;

}  // namespace

NAExtremePointTracker::NAExtremePointTracker(int minHeadSize, int maxHeadSize)
    : m_minHeadSize(minHeadSize),
      m_maxHeadSize(maxHeadSize),
      m_nMaxIterations(5),
      m_fDistanceThresholdRW(10.0f),
      m_tracking(0),
      m_headSize(0.0f),
      m_headBox(),
      m_firstStepExtension(0.0f),
      m_headPosition(0, 0, 0),
      m_boundaryFound(),
      m_detectionMode(0),
      m_startFrameId(0),
      m_searchFactor(1.3f),
      m_logger(&NALogger::GetInstance()),
      m_fitSums(),
      m_fitCount(0) {
    const float turn = static_cast<float>(2.0 * M_PI);
    for (int i = 0; i < kRays; ++i) {
        const float angle = static_cast<float>(i) / static_cast<float>(kRays) * turn;
        m_rayDirections[i] = Vector2D<float>(std::cos(angle), std::sin(angle));
        m_boundaryPoints[i] = Vector2D<float>(0.0f, 0.0f);
    }
    ResetEllipse();
}

void NAExtremePointTracker::ResetEllipse() {
    m_headEllipse.m_center = Vector2D<float>(0.0f, 0.0f);
    m_headEllipse.m_axes = Matrix2X2<float>(1.0f, 0.0f, 0.0f, 1.0f);
    m_headEllipse.m_axisLengths = Vector2D<float>(0.0f, 0.0f);
}

bool NAExtremePointTracker::IsLogging() const {
    return m_logger->GetEnabled() != 0 && xnLogIsEnabled(kMask, XN_LOG_VERBOSE);
}

void NAExtremePointTracker::ReadParameters(const std::string& iniFile, int verbose) {
    m_nMaxIterations = 5;
    int iterations = m_nMaxIterations;
    if (ReadFromINI(iniFile, kSection, "M_nMaxIterations", iterations, verbose != 0)) {
        if (iterations <= kMaxIterationsLimit) {
            m_nMaxIterations = iterations;
        } else {
            std::cerr << kSection << ": ignoring M_nMaxIterations = " << iterations << std::endl;
        }
    }
    m_fDistanceThresholdRW = 10.0f;
    float threshold = m_fDistanceThresholdRW;
    if (ReadFromINI(iniFile, kSection, "M_fDistanceThresholdRW", threshold, verbose != 0)) {
        if (!std::isnan(threshold)) {
            m_fDistanceThresholdRW = threshold;
        } else {
            std::cerr << kSection << ": ignoring M_fDistanceThresholdRW = " << threshold << std::endl;
        }
    }
}

void NAExtremePointTracker::SetHeadCandidate(Vector3D<float>& position, const float& headSize,
                                             const NADepthMapContainer& container) {
    m_startFrameId = static_cast<int>(container.m_frameId);
    m_headPosition = position;
    m_firstStepExtension = 0.0f;
    m_headSize = headSize;
    m_tracking = 1;
}

int NAExtremePointTracker::Update(const NADepthMapContainer& container) {
    m_searchFactor = container.GetResolution() == NAResolution::QQVGA ? 1.8f : 1.3f;
    Vector3D<float> previous = m_headPosition;
    const float threshold = m_fDistanceThresholdRW * m_fDistanceThresholdRW;
    for (int i = 0; i < m_nMaxIterations; ++i) {
        if (Step(i == 0 ? 1 : 0, container) == 0) {
            return 0;
        }
        if ((m_headPosition - previous).MagnitudeSquared() <= threshold) {
            break;
        }
        previous = m_headPosition;
    }
    if (container.m_converter == nullptr || container.m_depth == nullptr) {
        return 1;
    }
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const int width = static_cast<int>(container.m_depth->XRes());
    const int height = static_cast<int>(container.m_depth->YRes());
    const float z = m_headPosition.z;
    const int zMin = Truncate(static_cast<double>(z - kHeadBoxHalfDepth));
    const int zMax = Truncate(static_cast<double>(z + kHeadBoxHalfDepth));
    const Vector2D<float>& centre = m_headEllipse.m_center;
    const Vector2D<float>& radii = m_headEllipse.m_axisLengths;
    // Left and top may lie outside the image; right and bottom are clamped.
    const int left = Truncate(static_cast<double>(centre.x - radii.x));
    const int right = std::min(width - 1, Truncate(static_cast<double>(centre.x + radii.x + 1.0f)));
    const int top = Truncate(static_cast<double>(centre.y - radii.y));
    const int bottom = std::min(height - 1, Truncate(static_cast<double>(centre.y + radii.y + 1.0f)));
    // A head nearer than the box's half depth, or that far from the tables'
    // end, reads the nearest entry of the tables.
    const float nearSize = PixelSizeInTable(converter, zMin);
    const float farSize = PixelSizeInTable(converter, zMax);
    const float cx = converter.m_fCenterX;
    const float cy = converter.m_fCenterY;
    m_headBox.min = Vector3D<float>((static_cast<float>(left) - cx) * nearSize,
                                    (cy - static_cast<float>(bottom)) * nearSize, static_cast<float>(zMin));
    m_headBox.max = Vector3D<float>((static_cast<float>(right) - cx) * farSize, (cy - static_cast<float>(top)) * farSize,
                                    static_cast<float>(zMax));
    return 1;
}

int NAExtremePointTracker::Step(int firstStep, const NADepthMapContainer& container) {
    if (m_tracking == 0) {
        return 0;
    }
    m_tracking = FineTuneHead(firstStep, container);
    if (m_tracking == 0) {
        if (IsLogging()) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << "Head no longer found" << std::endl;
        }
        return 0;
    }
    return 1;
}

int NAExtremePointTracker::FineTuneHead(int firstStep, const NADepthMapContainer& container) {
    if (container.m_converter == nullptr || container.m_depth == nullptr) {
        return 0;
    }
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const xn::DepthMetaData& depth = *container.m_depth;
    const float z = m_headPosition.z;
    // A head behind the sensor or beyond the depth range has no pixel.
    if (!(z > 0.0f) || z >= static_cast<float>(converter.m_nDepthTableSize) || z > 65535.0f) {
        return 0;
    }
    const int d0 = static_cast<int>(z);
    const float invSize = InvPixelSizeAt(converter, d0);
    const Vector2D<float> start(m_headPosition.x * invSize + converter.m_fCenterX,
                                converter.m_fCenterY - m_headPosition.y * invSize);
    const float headPixels = m_headSize * invSize;
    int maxSteps = Truncate(static_cast<double>(headPixels * m_searchFactor));
    if (firstStep != 0) {
        if (IsLogging()) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE)
                << "First iter maxSearch added " << m_firstStepExtension << std::endl;
        }
        maxSteps += Truncate(static_cast<double>(m_firstStepExtension));
    }
    const int minSteps = Truncate(static_cast<double>(25.0f / (z * converter.m_fPixelSizeFactor)));
    NADepthMapRayMarching marcher;
    const unsigned short startDepth = static_cast<unsigned short>(d0);
    for (int i = 0; i < kRays; ++i) {
        unsigned short boundaryDepth = 0;
        m_boundaryFound[i] = marcher.FindBoundary(depth, start, startDepth, m_rayDirections[i], minSteps, maxSteps,
                                                  m_boundaryPoints[i], boundaryDepth);
        if (IsLogging()) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << "Bdy " << i << std::endl;
        }
    }
    Vector2D<float> centre;
    if (CalcCenter(centre, converter) == 2) {
        if (IsLogging()) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << "Calc center failed" << std::endl;
        }
        return 0;
    }
    unsigned short newDepth = 0;
    const int depthSteps = Truncate(static_cast<double>(m_headSize * invSize * m_searchFactor));
    if (marcher.CalcNewDepth(depth, start, startDepth, centre, depthSteps, newDepth) == 0) {
        if (IsLogging()) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << "Calc center depth failed" << std::endl;
        }
        return 0;
    }
    const float size = converter.PixelSizeAt(newDepth);
    m_headPosition = Vector3D<float>((static_cast<float>(Truncate(centre.x)) - converter.m_fCenterX) * size,
                                     (converter.m_fCenterY - static_cast<float>(Truncate(centre.y))) * size,
                                     static_cast<float>(newDepth));
    return 1;
}

int NAExtremePointTracker::CalcCenter(Vector2D<float>& center, const WorldPointConverterBase<float>& converter) {
    ResetEllipse();
    std::fill(m_fitSums, m_fitSums + 10, 0.0f);
    m_fitCount = 0;
    float& s = m_fitSums[0];
    float& sx = m_fitSums[1];
    float& sy = m_fitSums[2];
    float& sxx = m_fitSums[3];
    float& syy = m_fitSums[4];
    float& sxy = m_fitSums[5];
    float& sxxx = m_fitSums[6];
    float& sxxy = m_fitSums[7];
    float& sxyy = m_fitSums[8];
    float& syyy = m_fitSums[9];
    for (int i = 0; i < kRays; ++i) {
        if (m_boundaryFound[i] == 0) {
            continue;
        }
        const float w = i >= kFirstUpperRay ? kUpperWeight : 1.0f;
        const float x = m_boundaryPoints[i].x;
        const float y = m_boundaryPoints[i].y;
        s += w;
        sx += w * x;
        sy += w * y;
        sxx += w * x * x;
        syy += w * y * y;
        sxy += w * x * y;
        sxxx += w * x * x * x;
        sxxy += w * x * x * y;
        sxyy += w * x * y * y;
        syyy += w * y * y * y;
        ++m_fitCount;
    }
    if (m_fitCount < kMinFitPoints) {
        return 2;
    }
    const float c = kStretch;
    const float SX = c * sx;
    const float SXX = c * c * sxx;
    const float SXY = c * sxy;
    const float SXXX = c * c * c * sxxx;
    const float SXXY = c * c * sxxy;
    const float SXYY = c * sxyy;
    if (s == 0.0f) {
        return 2;
    }
    const float A = 2.0f * (s * SXX - SX * SX);
    const float B = 2.0f * (s * SXY - SX * sy);
    const float C = 2.0f * (s * syy - sy * sy);
    const float det = A * C - B * B;
    if (det == 0.0f) {
        return 2;
    }
    float a = 0.0f;
    float b = 0.0f;
    if (std::fabs(det) > 1e-8f) {
        const float Rx = s * (SXXX + SXYY) - SX * (SXX + syy);
        const float Ry = s * (SXXY + syyy) - sy * (SXX + syy);
        a = (C * Rx - B * Ry) / det;
        b = (A * Ry - B * Rx) / det;
    }
    const float r = std::sqrt((SXX + syy - 2.0f * a * SX - 2.0f * b * sy) / s + a * a + b * b);
    center = Vector2D<float>(a / c, b);
    m_headEllipse.m_center = center;
    m_headEllipse.m_axisLengths = Vector2D<float>(r / c, r);
    const float z = m_headPosition.z;
    const float larger = std::max(r / c, r);
    m_headSize = larger * converter.PixelSizeAt(Truncate(static_cast<double>(z)));
    const float q = z * converter.m_fPixelSizeFactor;
    // A radius that is not a number (rounding under the root) fits nothing.
    if (!(larger >= static_cast<float>(m_minHeadSize) / q) || larger > static_cast<float>(m_maxHeadSize) / q) {
        return 2;
    }
    return 0;
}

int NAExtremePointTracker::GetHeadCandidate(Vector3D<float>& position, Ellipse2D<float>& ellipse,
                                            float /*unused*/) const {
    if (m_tracking == 0) {
        return 0;
    }
    position = m_headPosition;
    ellipse = m_headEllipse;
    return 1;
}
