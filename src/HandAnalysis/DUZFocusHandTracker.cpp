#include "HandAnalysis/DUZFocusHandTracker.h"

#include <algorithm>
#include <cmath>

#include "NACommon/NAConverterTables.h"
#include "NACommon/NALoggerHelper.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

const char* const kFocusMask = "FocusTracker";

// The region of the window that a head box covers: columns, rows and depths,
// inclusive and fractional.
struct Exclusion {
    bool active = false;
    float minColumn = 0, maxColumn = 0, minRow = 0, maxRow = 0, minDepth = 0, maxDepth = 0;

    bool Contains(int x, int y, int d) const {
        const float fx = static_cast<float>(x);
        const float fy = static_cast<float>(y);
        const float fd = static_cast<float>(d);
        return active && fx >= minColumn && fx <= maxColumn && fy >= minRow && fy <= maxRow && fd >= minDepth &&
               fd <= maxDepth;
    }
};

bool Overlaps(const Box3D<float>& a, const Box3D<float>& b) {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
           a.min.z <= b.max.z && b.min.z <= a.max.z;
}

}  // namespace

DUZFocusHandTracker::DUZFocusHandTracker(const NADepthMapContainer* /*ring*/, int /*ringSize*/,
                                         Array2D<unsigned short>* motionImage, unsigned short maxDepth, int maxShift)
    : DUZHandTrackerBase(maxShift),
      m_backwardsTracking(0),
      m_headDetectionCount(0),
      m_motionImage(motionImage),
      m_checkMotion(1),
      m_minHandArea(1500),
      m_factorY(1.0f),
      m_factorZ(0.5f),
      m_useHistogramBasedHandCenter(1),
      m_handXYSize(0, 0),
      m_numHeadBoxes(0),
      m_maxDepth(maxDepth) {
    m_lostTrackingRecoveryTimeLimit = 0.1f;
    m_headDetector.Initialize(maxDepth);
}

DUZFocusHandTracker::~DUZFocusHandTracker() = default;

int DUZFocusHandTracker::Initialize(const std::string& iniFile, int verbose) {
    return DUZHandTrackerBase::Initialize(iniFile, verbose) != 0 ? 1 : 0;
}

int DUZFocusHandTracker::ReadParameters(const std::string& iniFile, int verbose, int flag) {
    if (flag == 0) {
        return 1;
    }
    DUZHandTrackerBase::ReadParameters(iniFile, verbose, 0);
    const std::string section = GetINISectionName();
    const bool echo = verbose != 0;
    ReadFromINI(iniFile, section, "MinHandArea", m_minHandArea, echo);
    ReadFromINI(iniFile, section, "UseHistogramBasedHandCenter", m_useHistogramBasedHandCenter, echo);
    ReadFromINI(iniFile, section, "FactorY", m_factorY, echo);
    ReadFromINI(iniFile, section, "FactorZ", m_factorZ, echo);
    return 1;
}

int DUZFocusHandTracker::StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position) {
    const int started = DUZHandTrackerBase::StartTracking(frame, position);
    m_headDetectionCount = 0;
    return started;
}

void DUZFocusHandTracker::SetBackwardsTracking(int on) {
    m_checkMotion = m_backwardsTracking == 0 && on == 1 ? 0 : 1;
    m_backwardsTracking = on;
}

void DUZFocusHandTracker::Update(const NADepthMapContainer& frame, int flag, const Box3D<float>* headBoxes,
                                 int numHeadBoxes) {
    m_checkMotion = flag == 0 ? 1 : 0;
    m_numHeadBoxes = headBoxes != nullptr ? std::min(std::max(numHeadBoxes, 0), kMaxHeadBoxes) : 0;
    std::copy(headBoxes, headBoxes + m_numHeadBoxes, m_headBoxes);
    DUZHandTrackerBase::Update(frame);
}

void DUZFocusHandTracker::UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, int flag) {
    DUZHandTrackerBase::UpdateSearchAndDepthBounds(frame, flag);
    if (m_useHistogramBasedHandCenter != 0 && m_depthBounds.min <= m_depthBounds.max) {
        UpdateDepthBoundsAccordingToHistogram(frame);
    }
}

void DUZFocusHandTracker::UpdateDepthBoundsAccordingToHistogram(const NADepthMapContainer& frame) {
    const int limit = std::min(static_cast<int>(m_maxDepth), m_depthBounds.max);
    if (frame.m_converter == nullptr) {
        m_depthBounds.max = limit;
        return;
    }
    CalculateHistogram(frame, m_searchBounds);
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    // The walk ends with the converter's area table: a stream of a smaller
    // maximum depth has no entries for the farther bins.
    int sum = 0;
    for (int i = 0; i < kDepthHistogramBins && 8 * i < converter.m_nDepthTableSize; ++i) {
        sum += static_cast<int>(converter.m_pPixelAreaAtDepth[8 * i]) * m_depthHistogram[i];
        if (sum > kHandSurfaceArea) {
            m_depthBounds.max = 8 * i + 8;
            return;
        }
    }
    m_depthBounds.max = limit;
}

int DUZFocusHandTracker::ComputeWeightedHandCenter(const NADepthMapContainer& frame, Vector3D<float>& center) {
    if (frame.m_converter == nullptr || frame.m_depth == nullptr || frame.m_depth->Data() == nullptr) {
        return 0;
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const int width = frame.m_depth->XRes();
    const int height = frame.m_depth->YRes();
    const float cx = converter.m_fCenterX;
    const float cy = converter.m_fCenterY;
    const int x0 = std::max(m_searchBounds.min.x, 0);
    const int x1 = std::min(m_searchBounds.max.x, width - 1);
    const int y0 = std::max(m_searchBounds.min.y, 0);
    const int y1 = std::min(m_searchBounds.max.y, height - 1);
    const int d0 = m_depthBounds.min;
    const int d1 = m_depthBounds.max;

    Exclusion head;
    if (m_numHeadBoxes > 0 && d0 <= d1) {
        const float nearSize = converter.PixelSizeAt(d0);
        const float farSize = converter.PixelSizeAt(d1);
        Box3D<float> volume;
        volume.min = Vector3D<float>((static_cast<float>(m_searchBounds.min.x) - cx) * nearSize,
                                     (cy - static_cast<float>(m_searchBounds.max.y)) * nearSize,
                                     static_cast<float>(d0));
        volume.max = Vector3D<float>((static_cast<float>(m_searchBounds.max.x) - cx) * farSize,
                                     (cy - static_cast<float>(m_searchBounds.min.y)) * farSize,
                                     static_cast<float>(d1));
        for (int i = 0; i < m_numHeadBoxes; ++i) {
            const Box3D<float>& box = m_headBoxes[i];
            if (!Overlaps(box, volume)) {
                continue;
            }
            const float zn = std::max(box.min.z, volume.min.z);
            const float zf = std::min(box.max.z, volume.max.z);
            const float n = InvPixelSizeAt(converter, static_cast<int>(zn));
            const float f = InvPixelSizeAt(converter, static_cast<int>(zf));
            head.active = true;
            head.minColumn = std::max(0.0f, std::max(box.min.x, volume.min.x) * n + cx);
            head.maxColumn = std::min(static_cast<float>(width - 1), std::min(box.max.x, volume.max.x) * f + cx);
            head.minRow = std::max(0.0f, cy - std::min(box.max.y, volume.max.y) * f);
            head.maxRow = std::min(static_cast<float>(height - 1), cy - std::max(box.min.y, volume.min.y) * n);
            head.minDepth = zn;
            head.maxDepth = zf;
            break;
        }
    }
    if (y1 < y0) {
        return 0;
    }
    // A single row or a single depth weighs as the top row or the nearest
    // depth, instead of dividing by zero.
    const float rows = y1 > y0 ? static_cast<float>(y1 - y0) : 0.0f;
    const float depths = d1 > d0 ? static_cast<float>(d1 - d0) : 0.0f;
    const XnDepthPixel* depth = frame.m_depth->Data();
    float sumW = 0, sumX = 0, sumY = 0, sumD = 0;
    for (int y = y0; y <= y1; ++y) {
        const float a = rows > 0 ? static_cast<float>(y1 - y) / rows : 1.0f;
        const float rowTerm = m_factorY * (2 * a + 1) * (2 * a + 1);
        for (int x = x0; x <= x1; ++x) {
            const int d = depth[y * width + x];
            if (d < d0 || d > d1 || head.Contains(x, y, d)) {
                continue;
            }
            const float b = depths > 0 ? static_cast<float>(d1 - d) / depths : 1.0f;
            const float w = rowTerm + m_factorZ * (2 * b + 1) * (2 * b + 1);
            sumW += w;
            sumX += w * static_cast<float>(x);
            sumY += w * static_cast<float>(y);
            sumD += w * static_cast<float>(d);
        }
    }
    if (sumW == 0.0f) {
        return 0;
    }
    const float u = sumX / sumW;
    const float v = sumY / sumW;
    const float z = sumD / sumW;
    // Weights beyond the float range (settings far off) give no centre
    // rather than one that is not a number.
    if (!std::isfinite(u) || !std::isfinite(v) || !std::isfinite(z)) {
        return 0;
    }
    const float k = converter.m_fPixelSizeFactor;
    center = Vector3D<float>((u - cx) * k * z, (cy - v) * k * z, z);
    return 1;
}

void DUZFocusHandTracker::Validate(const NADepthMapContainer& frame) {
    if (frame.m_converter == nullptr || frame.m_depth == nullptr || frame.m_depth->Data() == nullptr) {
        return;
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const int width = frame.m_depth->XRes();
    const int height = frame.m_depth->YRes();
    const XnDepthPixel* depth = frame.m_depth->Data();
    const float s = converter.m_fPixelSizeFactor * m_position.z;
    const int g = s > 0 ? std::max(vela_math::SaturatingTruncate(static_cast<double>(kIsolationDistance / s)), 0) : 0;
    const bool checkMotion = m_checkMotion != 0 && m_motionImage != nullptr;
    const int x0 = std::max(m_searchBounds.min.x, 0);
    const int x1 = std::min(m_searchBounds.max.x, width - 1);
    const int y0 = std::max(m_searchBounds.min.y, 0);
    const int y1 = std::min(m_searchBounds.max.y, height - 1);

    int hand = 0;
    int isolated = 0;
    int validated = 0;
    // A neighbour without depth counts as kIsolationDepth behind.
    auto behind = [&](int x, int y, int d) {
        const int n = depth[y * width + x];
        return n == 0 ? kIsolationDepth : n - d;
    };
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const int d = depth[y * width + x];
            if (d < m_depthBounds.min || d > m_depthBounds.max) {
                continue;
            }
            ++hand;
            const int left = behind(std::max(0, x - g), y, d);
            const int right = behind(std::min(width - 1, x + g), y, d);
            const int up = behind(x, std::max(0, y - g), d);
            if (std::min(std::min(left, right), up) <= kIsolationDepth - 1) {
                continue;
            }
            ++isolated;
            if (!checkMotion) {
                ++validated;
            } else if (x < m_motionImage->Columns() && y < m_motionImage->Rows() &&
                       m_motionImage->Data()[y * m_motionImage->Columns() + x] != 0) {
                ++validated;
            }
        }
    }
    const float area = s * s * static_cast<float>(isolated);
    if (static_cast<float>(m_minHandArea) > area) {
        m_newState = eInactive;
        LogValidation(frame, true, "Validation failed (too small area), area= ", area, isolated, hand, validated);
    }
    if (isolated > 0 && static_cast<float>(validated) / static_cast<float>(isolated) < kMinMovingShare) {
        m_newState = eInactive;
        LogValidation(frame, true, "Validation failed (too few pixels passed validation), area= ", area, isolated,
                      hand, validated);
    }
    if (m_headDetector.Detect(m_position, m_searchBounds, m_depthBounds, frame.m_depth, frame.m_converter,
                              nullptr) != 0) {
        ++m_headDetectionCount;
        if (m_headDetectionCount > 1) {
            m_newState = eInactive;
            LogValidation(frame, false, "Validation failed (head detected), area= ", area, isolated, hand,
                          validated);
        }
    } else {
        m_headDetectionCount = 0;
    }
    CalculateHandXYSize(frame);
}

Vector2D<float> DUZFocusHandTracker::CalculateHandXYSize(const NADepthMapContainer& frame) {
    m_handXYSize = CalculateHandSize(frame, m_position, m_searchBounds);
    return m_handXYSize;
}

void DUZFocusHandTracker::LogValidation(const NADepthMapContainer& frame, bool withFrame, const char* text,
                                        double area, int isolated, int hand, int validated) const {
    if (m_logger->GetEnabled() == 0 || !xnLogIsEnabled(kFocusMask, XN_LOG_VERBOSE)) {
        return;
    }
    NALoggerHelper line(*m_logger, kFocusMask, XN_LOG_VERBOSE);
    if (withFrame) {
        line << "Frame ID " << frame.m_frameId << ", ";
    }
    line << "Tracker ID " << m_id << text << area << " Num pixels passing filter=" << isolated
         << " Total pixels in hand=" << hand << " Num validated pixels= " << validated << " Pos " << m_position.x
         << " " << m_position.y << " " << m_position.z << std::endl;
}
