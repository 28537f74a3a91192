// The forearm test: a hand candidate is kept only when a forearm shows below
// it, a narrow, straight, elongated ridge of depth that starts near the
// wrist at about the hand's depth, runs within about 66 degrees of the
// vertical and ends (at the elbow) no more than 50 mm nearer the camera
// than the palm.

#include <algorithm>
#include <cmath>
#include <ostream>

#include "HandAnalysis/DUZHandDetector.h"
#include "NACommon/NAConverterTables.h"
#include "NACommon/NALoggerHelper.h"
#include "QuorLibrary/Math/SaturatingCast.h"

namespace {

const char* const kLogMask = "HandDetector";

// Marks of the forearm map.
constexpr signed char kFitted = 1;
constexpr signed char kOutlier = 2;
constexpr signed char kWalked = 3;

int Truncate(double value) { return vela_math::SaturatingTruncate(value); }
int Clamp(int value, int low, int high) { return std::min(std::max(value, low), high); }

// A line through a point along a unit axis.
struct Axis {
    Vector3D<float> mean;
    Vector3D<float> direction;

    float At(const Vector3D<float>& q) const { return (q - mean).Dot(direction); }
    float Distance(const Vector3D<float>& q) const {
        return (q - (mean + direction * At(q))).Magnitude();
    }
};

Axis Fit(const Statistics3D<float>& statistics) {
    if (statistics.IsEmpty()) {
        return Axis{Vector3D<float>(0, 0, 0), Vector3D<float>(1, 0, 0)};
    }
    Vector3D<float> values;
    Matrix3X3<float> vectors;
    statistics.GetCovariance().SolveEigenproblem(values, vectors, 1e-8f);
    return Axis{statistics.GetMean(), vectors.GetColumn(0)};
}

const char* const kEntryTexts[] = {
    "HandsFilter4 (forearm detected): label=",
    "HandsFilter4 (fForearmArea): label=",
    "HandsFilter4 (too many pixels without X jump): label=",
    "HandsFilter4 (depth jump): label=",
    "HandsFilter4 (elbow closer than palm): label=",
    "HandsFilter4 (forearm too far from wrist): label=",
    "HandsFilter4 (forearm aspect ratio): label=",
    "HandsFilter4 (forearm too many outliers): label=",
    "HandsFilter4 (forearm area too small): label=",
    "HandsFilter4 (forearm angle with Y too large): label=",
};

}  // namespace

int DUZHandDetector::ForearmRejection(const ForearmMeasures& m) {
    // In this order; each bound itself passes.
    if (m.area == 0.0f) {
        return 1;
    }
    if (m.along > 0 && static_cast<float>(m.notNarrow) / static_cast<float>(m.along) > 0.5f) {
        return 2;
    }
    if (m.along > 0 && static_cast<float>(m.depthJump) / static_cast<float>(m.along) > 50.0f) {
        return 3;
    }
    if (m.palmDepth - m.elbowDepth > 50.0f) {
        return 4;
    }
    if (m.wristDistance > 50.0f) {
        return 5;
    }
    if (m.length / m.width < 2.5f) {
        return 6;
    }
    if (static_cast<float>(m.outliers) / static_cast<float>(m.outliers + m.inliers) > 0.15f) {
        return 7;
    }
    if (m.area < 5000.0f) {
        return 8;
    }
    if (std::fabs(m.axisY) < 0.4f) {
        return 9;
    }
    return 0;
}

int DUZHandDetector::FilterByForearm(const NADepthMapContainer* container,
                                     ConnectedComponentProperties<float>& candidates, unsigned short* narrowLines,
                                     const unsigned short* mask, unsigned short maskThreshold,
                                     const xn::SceneMetaData* /*labels*/, const xn::SceneMetaData* /*labels2*/,
                                     short label) {
    if (label < 0 || label >= kMaxLabels || label >= candidates.m_centerOfMass.Size()) {
        return 1;
    }
    const Vector3D<float> centre = candidates.m_centerOfMass[label];
    if (centre.x == 0.0f && centre.y == 0.0f && centre.z == 0.0f) {
        return 1;
    }
    if (container == nullptr || container->m_depth == nullptr || container->m_depth->Data() == nullptr ||
        container->m_converter == nullptr || narrowLines == nullptr || !HasBuffers()) {
        return 1;
    }
    const xn::DepthMetaData& depthMap = *container->m_depth;
    const WorldPointConverterBase<float>& converter = *container->m_converter;
    const int width = depthMap.XRes();
    const int height = depthMap.YRes();
    if (m_forearmMarks.Columns() != width || m_forearmMarks.Rows() != height) {
        return 1;
    }
    const XnDepthPixel* depth = depthMap.Data();
    signed char* marks = m_forearmMarks.Data();
    const float k = converter.m_fPixelSizeFactor;
    const float cx = converter.m_fCenterX;
    const float cy = converter.m_fCenterY;
    auto world = [&](int x, int y, int d) {
        const float size = converter.PixelSizeAt(d);
        return Vector3D<float>((static_cast<float>(x) - cx) * size, (cy - static_cast<float>(y)) * size,
                               static_cast<float>(d));
    };

    // The window: 400 mm wide around the hand's column, from the wrist row
    // (100 mm below the hand's top) 400 mm down.
    const int zc = Truncate(std::floor(centre.z + 0.5f));
    const int zMin = std::max(zc - 50, 0);
    const int zMax = std::min(static_cast<int>(depthMap.ZRes()), zc + 250);
    const float pixelsPerMm = InvPixelSizeAt(converter, zc);
    const int columnC = Clamp(Truncate(std::floor(centre.x / (centre.z * k) + cx + 0.5f)), 0, width - 1);
    const int rowA = Clamp(candidates.m_imageBounds[label].min.y + Truncate(100.0f * pixelsPerMm + 0.5f), 0,
                           height - 1);
    const int halfWidth = Truncate(std::floor(200.0f * pixelsPerMm + 0.5f));
    const int windowHeight = Truncate(std::floor(400.0f * pixelsPerMm + 0.5f));
    const int margin = Truncate(std::floor(150.0f / (centre.z * k)));
    const int columnL = std::max(columnC - halfWidth, 0);
    const int columnR = std::min(columnC + halfWidth, width - 1);
    const int rowB = std::min(rowA + windowHeight, height - 1);
    Box2D<int> wide(std::max(columnL - margin, 0), std::max(rowA - margin, 0), std::min(columnR + margin, width - 1),
                    std::min(rowB + margin, height - 1));
    DistanceFromEdges(container, wide, m_horizontalDifferences.Data(), 80, 150, nullptr, 0, narrowLines);
    auto forWindow = [&](auto&& visit) {
        for (int y = rowA; y <= rowB; ++y) {
            for (int x = columnL; x <= columnR; ++x) {
                visit(x, y, y * width + x);
            }
        }
    };

    // Fit a line to the window's narrow pixels in the hand's depth band,
    // then again without those farther than 70 mm from it.
    m_forearmStatistics.Reset(Vector3D<float>(0, 0, 0));
    forWindow([&](int x, int y, int i) {
        const int d = depth[i];
        if (d >= zMin && d <= zMax && narrowLines[i] != 0 && (mask == nullptr || mask[i] >= maskThreshold)) {
            m_forearmStatistics.AddPoint(world(x, y, d));
            marks[i] = kFitted;
        }
    });
    Axis axis = Fit(m_forearmStatistics);
    ForearmMeasures measures;
    m_forearmStatistics.Reset(Vector3D<float>(0, 0, 0));
    forWindow([&](int x, int y, int i) {
        if (marks[i] != kFitted) {
            return;
        }
        const Vector3D<float> q = world(x, y, depth[i]);
        if (axis.Distance(q) < 70.0f) {
            m_forearmStatistics.AddPoint(q);
            ++measures.inliers;
        } else {
            marks[i] = kOutlier;
            ++measures.outliers;
        }
    });
    axis = Fit(m_forearmStatistics);
    const float zcf = static_cast<float>(zc);
    const Vector3D<float> wrist((static_cast<float>(columnC) - cx) * k * zcf,
                                (cy - static_cast<float>(rowA)) * k * zcf, zcf);
    measures.wristDistance = axis.Distance(wrist);

    float maxT = 0.0f;
    float minT = 1000.0f;
    forWindow([&](int x, int y, int i) {
        if (marks[i] != kFitted) {
            return;
        }
        const int d = depth[i];
        const Vector3D<float> q = world(x, y, d);
        const float t = axis.At(q);
        maxT = std::max(maxT, t);
        minT = std::min(minT, t);
        measures.area += PixelAreaAt(converter, d);
        measures.width = std::max(measures.width, axis.Distance(q));
    });
    measures.length = maxT - minT;

    const Vector3D<float> endMin = axis.mean + axis.direction * minT;
    const Vector3D<float> endMax = axis.mean + axis.direction * maxT;
    const Vector3D<float> elbow = (endMax - centre).Magnitude() > (endMin - centre).Magnitude() ? endMax : endMin;
    const float tanY = (endMax.x - endMin.x) / (endMax.y - endMin.y);
    auto image = [&](const Vector3D<float>& e) {
        if (!(e.z > 0.0f)) {
            return Vector2D<float>(0.0f, 0.0f);
        }
        return Vector2D<float>(e.x / (k * e.z) + cx, cy - e.y / (k * e.z));
    };
    const Vector2D<float> p1 = image(endMin);
    const Vector2D<float> p2 = image(endMax);
    const bool vertical = !(std::fabs(p1.x - p2.x) > 0.01f);
    float slope = 0.0f;
    float intercept = 0.0f;
    if (!vertical) {
        slope = (p1.y - p2.y) / (p1.x - p2.x);
        intercept = (p1.x * p2.y - p2.x * p1.y) / (p1.x - p2.x);
    }
    const int column1 = Clamp(Truncate(p1.x + 0.5f), 0, width - 1);
    const int row1 = Clamp(Truncate(p1.y + 0.5f), 0, height - 1);
    const int column2 = Clamp(Truncate(p2.x + 0.5f), 0, width - 1);
    const int row2 = Clamp(Truncate(p2.y + 0.5f), 0, height - 1);

    // Along the axis's image from the first fitted pixel on: is it one
    // narrow ridge at the axis's depth?
    bool started = false;
    auto walk = [&](int x, int y) {
        const int i = y * width + x;
        const int d = depth[i];
        if (d == 0 || (!started && marks[i] != kFitted)) {
            return;
        }
        started = true;
        marks[i] = kWalked;
        ++measures.along;
        if (narrowLines[i] == 0) {
            ++measures.notNarrow;
        }
        const float t = axis.At(world(x, y, d));
        measures.depthJump += Truncate(std::fabs(t * axis.direction.z + axis.mean.z - static_cast<float>(d)));
    };
    if (std::fabs(tanY) > 1.0f) {
        // A vertical image line has no slope: its rows are E_min's.
        for (int x = std::min(column1, column2); x < std::max(column1, column2); ++x) {
            const int y = vertical ? row1
                                   : Clamp(Truncate(std::floor(slope * static_cast<float>(x) + intercept + 0.5f)), 0,
                                           height - 1);
            walk(x, y);
        }
    } else {
        for (int y = std::min(row1, row2); y < std::max(row1, row2); ++y) {
            const int x = vertical ? column1
                                   : Clamp(Truncate((static_cast<float>(y) - intercept) / slope + 0.5f), 0, width - 1);
            walk(x, y);
        }
    }

    measures.palmDepth = centre.z;
    measures.elbowDepth = elbow.z;
    measures.axisY = axis.direction.y;
    const int rejection = ForearmRejection(measures);
    if (IsLogging()) {
        const Box3D<float>& box = candidates.m_bbox[label];
        NALoggerHelper entry(*m_logger, kLogMask, XN_LOG_VERBOSE);
        entry << kEntryTexts[rejection] << label << " (" << centre.x << ", " << centre.y << ", " << centre.z
              << "), Area " << candidates.m_area[label] << " Pixel count " << candidates.m_pixelCount[label]
              << " Size X " << std::fabs(box.max.x - box.min.x) << " Size Y " << std::fabs(box.max.y - box.min.y);
        const bool early = rejection >= 1 && rejection <= 4;
        const float length = early ? 0.0f : measures.length;
        const float ratio = early ? 0.0f : measures.length / measures.width;
        auto group = [&]() {
            entry << " Length " << length << " Width " << measures.width << " Aspect Ratio " << ratio
                  << " Dist to wrist " << measures.wristDistance << " Area " << measures.area << " iCount "
                  << measures.inliers << " iCountOutliers " << measures.outliers << " Cos alpha " << axis.direction.y;
        };
        auto jumps = [&]() {
            entry << " iDepthJumpFromPrincipalAxis " << measures.depthJump << " iNumPixelsAlongPrincipalAxis "
                  << measures.along;
        };
        auto ends = [&]() { entry << " vMaxLength " << endMax << " vMinLength " << endMin; };
        switch (rejection) {
            case 0:
                group();
                ends();
                break;
            case 1:
                group();
                entry << " Tan with Y " << tanY;
                break;
            case 2:
                group();
                jumps();
                entry << " iNumPixelsNotOnHorizontalNarrowLine=" << measures.notNarrow;
                ends();
                break;
            case 4:
                group();
                entry << " Elbow " << elbow;
                jumps();
                ends();
                break;
            case 5:
                entry << " Dist to wrist " << measures.wristDistance << " Cos alpha " << axis.direction.y;
                jumps();
                ends();
                break;
            default:
                group();
                jumps();
                ends();
                break;
        }
        entry << std::endl;
    }
    if (rejection != 0) {
        candidates.ClearCC(static_cast<unsigned short>(label));
        return 0;
    }
    return 1;
}
