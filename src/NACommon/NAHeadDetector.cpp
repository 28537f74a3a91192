#include "NACommon/NAHeadDetector.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ostream>

#include "NACommon/NAConverterTables.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"
#include "QuorLibrary/Math/FloatOneOverSqrt.h"
#include "QuorLibrary/Math/SaturatingCast.h"

namespace {

const char* const kMask = "HeadDetector";

// Points near the camera or far outside the image give pixel coordinates
// beyond int; they saturate and then fall outside the image.
int Truncate(double value) { return vela_math::SaturatingTruncate(value); }

// Depth steps along a run, in mm: a larger step is a jump.
constexpr int kRunStep = 99;
constexpr int kRefineStep = 49;
// The torso distances tried, from the head down its neck direction, mm.
constexpr int kTorsoDistances[] = {400, 350, 300, 250, 200, 150};
constexpr int kNeckSamples = 37;  // every 5 degrees, 0 to 180
constexpr double kPi = 3.14159265358979323846;

// A null argument keeps what an earlier call bound.
template <typename T>
void BindUnlessNull(const T*& member, const T* value) {
    if (value != nullptr) {
        member = value;
    }
}

struct CircleSample {
    int x;
    int y;
    int depth;   // 0 outside the image
    bool counts;  // in the image and with depth
};

}  // namespace

NAHeadDetector::NAHeadDetector()
    : m_logger(&NALogger::GetInstance()),
      m_depth(nullptr),
      m_converter(nullptr),
      m_labels(nullptr),
      m_mask(nullptr),
      m_useDepthRange(0),
      m_depthRange(INT_MAX, INT_MIN),
      m_pixelBox(INT_MAX, INT_MAX, INT_MIN, INT_MIN),
      m_point(0, 0, 0),
      m_missingNeighbourDepth(0) {}

NAHeadDetector::~NAHeadDetector() = default;

void NAHeadDetector::Initialize(unsigned short maxDepth) { m_missingNeighbourDepth = maxDepth; }

void NAHeadDetector::BindWithMask(const xn::DepthMetaData* depth, const WorldPointConverterBase<float>* converter,
                                  const int* mask) {
    BindUnlessNull(m_depth, depth);
    BindUnlessNull(m_converter, converter);
    BindUnlessNull(m_mask, mask);
    m_labels = nullptr;
}

int NAHeadDetector::Detect(const Vector3D<float>& point, int refine, const xn::DepthMetaData* depth,
                           const WorldPointConverterBase<float>* converter, int* mask) {
    BindWithMask(depth, converter, mask);
    if (!HasFrame()) {
        return 0;
    }
    m_point = point;
    if (refine != 0) {
        Refine();
    }
    const float z = m_point.z;
    if (!(z > 0.0f)) {
        return 0;
    }
    const Vector2D<float> h = Project(m_point);
    const float f = PixelsAtHead(100.0f);
    m_pixelBox = Box2D<int>(std::max(Truncate(h.x - f), 0), std::max(Truncate(h.y - f), 0),
                            std::min(Truncate(h.x + f), m_depth->XRes() - 1),
                            std::min(Truncate(h.y + f), m_depth->YRes() - 1));
    m_depthRange = Box1D<int>(Truncate(z) - 100, Truncate(z) + 100);
    m_useDepthRange = 1;
    return RunDetection(0);
}

int NAHeadDetector::Detect(const Vector3D<float>& point, const Box2D<int>& box, const Box1D<int>& depthRange,
                           const xn::DepthMetaData* depth, const WorldPointConverterBase<float>* converter,
                           int* mask) {
    BindWithMask(depth, converter, mask);
    m_depth = depth;
    m_pixelBox = box;
    m_depthRange = depthRange;
    m_useDepthRange = 1;
    m_point = point;
    return RunDetection(0);
}

int NAHeadDetector::Detect(const Vector3D<float>& point, const Box2D<int>& box, const xn::DepthMetaData* depth,
                           const WorldPointConverterBase<float>* converter, unsigned short* labels, int label) {
    m_depth = depth;
    BindUnlessNull(m_converter, converter);
    BindUnlessNull(m_labels, static_cast<const unsigned short*>(labels));
    m_mask = nullptr;
    m_useDepthRange = 0;
    m_pixelBox = box;
    m_point = point;
    return RunDetection(label);
}

int NAHeadDetector::Detect(const Vector3D<float>& point, const Box2D<int>& box, const xn::DepthMetaData* depth,
                           const WorldPointConverterBase<float>* converter, int* mask) {
    BindWithMask(depth, converter, mask);
    m_useDepthRange = 0;
    m_pixelBox = box;
    m_point = point;
    return RunDetection(1);
}

bool NAHeadDetector::HasFrame() const {
    return m_depth != nullptr && m_depth->Data() != nullptr && m_converter != nullptr && m_depth->XRes() > 0 &&
           m_depth->YRes() > 0;
}

int NAHeadDetector::DepthAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_depth->XRes() || y >= m_depth->YRes()) {
        return 0;
    }
    return m_depth->Data()[y * m_depth->XRes() + x];
}

Vector2D<float> NAHeadDetector::Project(const Vector3D<float>& p) const {
    if (!(p.z > 0.0f)) {
        return Vector2D<float>(0.0f, 0.0f);
    }
    const float kz = m_converter->m_fPixelSizeFactor * p.z;
    return Vector2D<float>(p.x / kz + m_converter->m_fCenterX, m_converter->m_fCenterY - p.y / kz);
}

Vector3D<float> NAHeadDetector::WorldAt(int x, int y, int depth) const {
    const float size = m_converter->PixelSizeAt(depth);
    return Vector3D<float>((static_cast<float>(x) - m_converter->m_fCenterX) * size,
                           (m_converter->m_fCenterY - static_cast<float>(y)) * size, static_cast<float>(depth));
}

float NAHeadDetector::PixelsAtHead(float length) const { return length / (m_converter->m_fPixelSizeFactor * m_point.z); }

void NAHeadDetector::Log(const char* text) const {
    if (m_logger->GetEnabled() != 0 && xnLogIsEnabled(kMask, XN_LOG_VERBOSE)) {
        NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << text;
    }
}

void NAHeadDetector::Refine() {
    // The middle of the row's run through the point's pixel.
    const float z = m_point.z;
    if (!(z > 0.0f)) {
        return;
    }
    const Vector2D<float> h = Project(m_point);
    const int ix = Truncate(h.x);
    const int iy = Truncate(h.y);
    const int width = m_depth->XRes();
    if (ix < 0 || ix >= width || iy < 0 || iy >= m_depth->YRes()) {
        return;
    }
    const XnDepthPixel* row = m_depth->Data() + iy * width;
    if (row[ix] == 0) {
        return;
    }
    auto joins = [&](int a, int b) { return row[a] != 0 && std::abs(row[a] - row[b]) <= kRefineStep; };
    int left = ix;
    while (left > 0 && joins(left - 1, left)) {
        --left;
    }
    int right = ix;
    while (right < width - 1 && joins(right + 1, right)) {
        ++right;
    }
    const float k = m_converter->m_fPixelSizeFactor;
    m_point.x = (static_cast<float>(left + right) * 0.5f - m_converter->m_fCenterX) * k * z;
    m_point.y = (m_converter->m_fCenterY - static_cast<float>(iy)) * k * z;
}

int NAHeadDetector::RunDetection(int label) {
    if (!HasFrame() || !(m_point.z > 0.0f)) {
        return 0;
    }
    const int isolated = CheckDepthIsolation(400, label);
    Log("depth isolation, ");
    if (isolated == 0) {
        return 0;
    }
    Neck neck;
    if (!FindNeck(m_point, neck)) {
        return 0;
    }
    int result = 0;
    Vector2D<int> endMinusX;
    Vector2D<int> endPlusX;
    for (int distance : kTorsoDistances) {
        Vector2D<float> torsoPoint;
        unsigned short torsoDepth = 0;
        const int found = FindTorsoPoint(neck.angle, distance, torsoPoint, torsoDepth);
        Log("torso point, ");
        if (found != 0 && CheckTorsoWidth(torsoPoint, torsoDepth, endMinusX, endPlusX) != 0) {
            const Vector2D<int> torsoPixel(Truncate(torsoPoint.x), Truncate(torsoPoint.y));
            result = CheckForOtherNearbyHead(torsoPixel, torsoDepth, endMinusX, endPlusX) == 0 ? 1 : 0;
            break;
        }
        Log("torso width, ");
    }
    Log("no nearby, ");
    if (result != 0) {
        result = CheckCaseHandInFrontOfBody(endMinusX, endPlusX, neck.jumpMinusX, neck.jumpPlusX,
                                            neck.jumpPointMinusX, neck.jumpPointPlusX);
    }
    Log("not hand, ");
    return result;
}

int NAHeadDetector::CheckDepthIsolation(int jumpThreshold, int label) {
    if (!HasFrame() || !(m_point.z > 0.0f)) {
        return 0;
    }
    const int width = m_depth->XRes();
    const int height = m_depth->YRes();
    const XnDepthPixel* depth = m_depth->Data();
    const int f = Truncate(PixelsAtHead(150.0f));
    // Box pixels outside the image are not there to count.
    const int x0 = std::max(m_pixelBox.min.x, 0);
    const int y0 = std::max(m_pixelBox.min.y, 0);
    const int x1 = std::min(m_pixelBox.max.x, width - 1);
    const int y1 = std::min(m_pixelBox.max.y, height - 1);
    const int missing = m_missingNeighbourDepth;
    int counted = 0;
    int jumps = 0;
    for (int y = y0; y <= y1; ++y) {
        const int up = std::max(0, y - f);
        for (int x = x0; x <= x1; ++x) {
            const int i = y * width + x;
            if (m_labels != nullptr && m_labels[i] != label) {
                continue;
            }
            if (m_mask != nullptr && m_mask[i] == 0) {
                continue;
            }
            const int d = depth[i];
            if (m_useDepthRange != 0 && (d < m_depthRange.min || d > m_depthRange.max)) {
                continue;
            }
            ++counted;
            auto difference = [&](int neighbour) { return neighbour != 0 ? neighbour - d : missing; };
            const int left = difference(depth[y * width + std::max(0, x - f)]);
            const int right = difference(depth[y * width + std::min(width - 1, x + f)]);
            const int above = difference(depth[up * width + x]);
            if (std::max(std::min(left, std::min(right, above)), 0) > jumpThreshold) {
                ++jumps;
            }
        }
    }
    if (m_logger->GetEnabled() != 0 && xnLogIsEnabled(kMask, XN_LOG_VERBOSE)) {
        const float kz = m_converter->m_fPixelSizeFactor * m_point.z;
        NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE)
            << " jump ratio: " << jumps << "/" << counted << ", area of head with depth jump = "
            << kz * kz * static_cast<float>(jumps) << std::endl;
    }
    return counted > 0 && static_cast<float>(jumps) / static_cast<float>(counted) > 0.35f ? 1 : 0;
}

int NAHeadDetector::CheckPixel(int x, int y, unsigned short& lastDepth, int& accepted, int& jumps) const {
    // A pixel without depth neither continues nor breaks the run; a step of
    // more than 99 mm from the run's last depth is a jump.
    const int d = DepthAt(x, y);
    if (d == 0) {
        return 0;
    }
    if (lastDepth == 0 || std::abs(d - static_cast<int>(lastDepth)) <= kRunStep) {
        ++accepted;
        lastDepth = static_cast<unsigned short>(d);
        return 1;
    }
    ++jumps;
    return 0;
}

int NAHeadDetector::CheckNeckCircle(const Vector3D<float>& point, float& neckAngle, int& jumpMinusX, int& jumpPlusX,
                                    Vector2D<float>& jumpPointMinusX, Vector2D<float>& jumpPointPlusX,
                                    NARayData* /*rays*/) const {
    if (!HasFrame() || !(point.z > 0.0f)) {
        return 0;
    }
    const Vector2D<float> h = Project(point);
    const float zp = point.z;
    const float radius = 150.0f / (m_converter->m_fPixelSizeFactor * zp);
    const int maxDepth = m_depth->ZRes();
    // Sample i lies at 5 i degrees; the walk up may start at i = -1.
    auto sample = [&](int i) {
        const double theta = static_cast<double>(i) * 5.0 * kPi / 180.0;
        CircleSample s;
        s.x = Truncate(std::cos(theta) * radius + h.x);
        s.y = Truncate(std::sin(theta) * radius + h.y);
        s.depth = DepthAt(s.x, s.y);
        s.counts = s.depth != 0;
        return s;
    };
    // The nearest sample close to the point's depth.
    int nearest = -1;
    int nearestDepth = maxDepth;
    for (int i = 0; i < kNeckSamples; ++i) {
        const CircleSample s = sample(i);
        if (s.counts && std::fabs(static_cast<float>(s.depth) - zp) < 300.0f && s.depth < nearestDepth) {
            nearest = i;
            nearestDepth = s.depth;
        }
    }
    if (nearest == 0) {
        return 0;
    }
    // From the nearest sample along the circle, each way, while the depth
    // changes by at most 99 mm between counting samples; a jump sets that
    // side's flag and point.
    auto walk = [&](int from, int last, int step, int reference, int& jump, Vector2D<float>& jumpPoint) {
        int reached = from;
        for (int i = from; step < 0 ? i >= last : i <= last; i += step) {
            const CircleSample s = sample(i);
            if (!s.counts) {
                continue;
            }
            if (std::abs(s.depth - reference) > kRunStep) {
                jump = 1;
                jumpPoint = Vector2D<float>(static_cast<float>(s.x), static_cast<float>(s.y));
                break;
            }
            reference = s.depth;
            reached = i;
        }
        return reached;
    };
    const int lo = nearest >= 0 ? walk(nearest, 0, -1, nearestDepth, jumpPlusX, jumpPointPlusX) : -1;
    const int hi = walk(nearest, kNeckSamples - 1, 1, nearest >= 0 ? nearestDepth : maxDepth, jumpMinusX,
                        jumpPointMinusX);
    const float mid = (static_cast<float>(lo) + static_cast<float>(hi - lo) * 0.5f) * 5.0f;
    if (std::fabs(mid - 90.0f) > 60.0f) {
        return 0;
    }
    neckAngle = mid * static_cast<float>(kPi) / 180.0f;
    return 1;
}

bool NAHeadDetector::FindNeck(const Vector3D<float>& point, Neck& neck) const {
    return CheckNeckCircle(point, neck.angle, neck.jumpMinusX, neck.jumpPlusX, neck.jumpPointMinusX,
                           neck.jumpPointPlusX, nullptr) != 0;
}

int NAHeadDetector::FindTorsoPoint(float neckAngle, int distance, Vector2D<float>& torsoPoint,
                                   unsigned short& torsoDepth) const {
    if (!HasFrame() || !(m_point.z > 0.0f)) {
        return 0;
    }
    const int width = m_depth->XRes();
    const int height = m_depth->YRes();
    const Vector2D<float> h = Project(m_point);
    const float length = PixelsAtHead(static_cast<float>(distance));
    const float ex = std::cos(neckAngle) * length + h.x;
    const float ey = std::sin(neckAngle) * length + h.y;
    const int ix = Truncate(ex);
    const int iy = Truncate(ey);
    if (ix < 0 || ix > width - 1 || iy < 0 || iy > height - 1) {
        return 0;
    }
    const bool vertical = std::fabs(h.x - ex) <= 0.01f;
    float slope = 0.0f;
    float intercept = 0.0f;
    if (!vertical) {
        slope = (h.y - ey) / (h.x - ex);
        intercept = (ey * h.x - ex * h.y) / (h.x - ex);
    }
    unsigned short lastDepth = 0;
    int accepted = 0;
    int jumps = 0;
    int farX = 0;
    int farY = 0;
    int farDepth = 0;
    auto visit = [&](int x, int y) {
        CheckPixel(x, y, lastDepth, accepted, jumps);
        const int d = DepthAt(x, y);
        if (d > farDepth) {
            farX = x;
            farY = y;
            farDepth = d;
        }
    };
    // A vertical line has no slope to walk columns with; it is walked by rows.
    if (std::fabs(std::tan(neckAngle)) < 1.0f && !vertical) {
        const int hx = Truncate(h.x);
        const int first = std::max(std::min(hx, ix), 0);
        const int last = std::min(std::max(hx, ix), width - 1);
        for (int x = first; x <= last; ++x) {
            const int y = Truncate(slope * static_cast<float>(x) + intercept);
            if (y < 0 || y > height - 1) {
                break;
            }
            visit(x, y);
        }
    } else {
        const int hy = Truncate(h.y);
        const int first = std::max(std::min(hy, iy), 0);
        const int last = std::min(std::max(hy, iy), height - 1);
        for (int y = first; y <= last; ++y) {
            const int x = vertical ? Truncate(h.x) : Truncate((static_cast<float>(y) - intercept) / slope);
            if (x < 0 || x > width - 1) {
                break;
            }
            visit(x, y);
        }
    }
    torsoPoint = Vector2D<float>(ex, ey);
    torsoDepth = lastDepth;

    // The line must not run up a slope away from the camera: compare the
    // farthest pixel with the end and with the head.
    const Vector3D<float> end = WorldAt(ix, iy, torsoDepth);
    const Vector3D<float> far = WorldAt(farX, farY, farDepth);
    float a = 0.0f;
    float b = 0.0f;
    if ((far - end).Magnitude() > 30.0f) {
        const float dEnd = static_cast<float>(farDepth) - static_cast<float>(torsoDepth);
        const float yEnd = far.y - end.y;
        const float rEnd = FloatOneOverSqrt(yEnd * yEnd + dEnd * dEnd);
        a = IsUsableReciprocalLength(rEnd) ? dEnd * rEnd : 0.0f;
        const float dHead = static_cast<float>(farDepth) - m_point.z;
        const float yHead = far.y - m_point.y;
        const float rHead = FloatOneOverSqrt(yHead * yHead + dHead * dHead);
        b = IsUsableReciprocalLength(rHead) ? dHead * rHead : 0.0f;
    }
    return jumps == 0 && static_cast<float>(accepted) * m_converter->PixelSizeAt(torsoDepth) > 100.0f && a < 0.7f &&
                   b < 0.7f
               ? 1
               : 0;
}

int NAHeadDetector::CheckTorsoWidth(const Vector2D<float>& torsoPoint, unsigned short torsoDepth,
                                    Vector2D<int>& endMinusX, Vector2D<int>& endPlusX) const {
    if (!HasFrame()) {
        return 0;
    }
    const WorldPointConverterBase<float>& c = *m_converter;
    const int width = m_depth->XRes();
    const int x0 = std::min(std::max(Truncate(torsoPoint.x), 0), width - 1);
    const int y0 = std::min(std::max(Truncate(torsoPoint.y), 0), m_depth->YRes() - 1);
    const int limit = Truncate(350.0f * InvPixelSizeAt(c, torsoDepth));
    const float torsoPixel = c.PixelSizeAt(torsoDepth);
    auto world = [&](int x) { return WorldAt(x, y0, DepthAt(x, y0)); };
    const Vector3D<float> reference = world(x0);
    for (int step : {-1, 1}) {
        unsigned short lastDepth = torsoDepth;
        int accepted = 0;
        int jumps = 0;
        int end = x0;
        float distance = 0.0f;
        for (int x = x0; jumps == 0 && accepted < limit; x += step) {
            if (x < 0 || x >= width) {
                ++jumps;
                break;
            }
            if (CheckPixel(x, y0, lastDepth, accepted, jumps) != 0) {
                end = x;
                distance = (world(x) - reference).Magnitude();
                if (distance > 125.0f && static_cast<float>(accepted) * torsoPixel > 100.0f) {
                    break;
                }
            }
        }
        if (jumps != 0 || !(distance > 125.0f) || !(static_cast<float>(accepted) * torsoPixel > 100.0f)) {
            return 0;
        }
        (step < 0 ? endMinusX : endPlusX) = Vector2D<int>(end, y0);
    }
    return 1;
}

void NAHeadDetector::GetExtendedTorsoPoints(const Vector2D<int>& torsoPoint, int torsoDepth,
                                            const Vector2D<int>& endMinusX, const Vector2D<int>& endPlusX,
                                            Vector2D<int>& extMinusX, Vector2D<int>& extPlusX) const {
    extMinusX = endMinusX;
    extPlusX = endPlusX;
    if (!HasFrame()) {
        return;
    }
    const int limit = Truncate(350.0f * InvPixelSizeAt(*m_converter, torsoDepth));
    // Every pixel becomes the reference, so after a pixel without depth the
    // next one with depth stops the walk.
    auto extend = [&](const Vector2D<int>& end, int last, int step, Vector2D<int>& extended) {
        int reference = DepthAt(end.x, end.y);
        for (int x = end.x + step; step < 0 ? x >= last : x <= last; x += step) {
            const int d = DepthAt(x, end.y);
            if (d != 0 && std::abs(d - reference) > kRunStep) {
                break;
            }
            if (d != 0) {
                extended.x = x;
            }
            reference = d;
        }
    };
    const int64_t left = std::max<int64_t>(0, int64_t{torsoPoint.x} - limit);
    const int64_t right = std::min<int64_t>(m_depth->XRes() - 1, int64_t{torsoPoint.x} + limit);
    extend(endMinusX, static_cast<int>(left), -1, extMinusX);
    extend(endPlusX, static_cast<int>(right), 1, extPlusX);
}

int NAHeadDetector::CheckConnectivity(const Vector2D<float>& from, const Vector2D<float>& to) const {
    if (!HasFrame()) {
        return 0;
    }
    int reference = DepthAt(Truncate(from.x), Truncate(from.y));
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    float length = std::sqrt(dx * dx + dy * dy);
    if (std::isinf(length)) {
        // Squares beyond float: the length itself may still be one.
        length = static_cast<float>(std::hypot(static_cast<double>(dx), static_cast<double>(dy)));
    }
    const Vector2D<float> u = length <= 1e-8f ? Vector2D<float>(1.0f, 0.0f) : Vector2D<float>(dx / length, dy / length);
    const int64_t samples = Truncate(length);
    // Only the samples that can fall inside the image are walked (a line of
    // any length): the rest change nothing.
    double first = 0.0;
    double last = static_cast<double>(samples) - 1.0;
    auto clip = [&](double start, double step, int size) {
        // Truncation puts values in (-1, size) into the image; one sample of
        // slack on each side covers float rounding.
        if (step == 0.0) {
            if (!(start > -1.0 && start < size)) {
                last = -1.0;
            }
            return;
        }
        double a = (-1.0 - start) / step;
        double b = (static_cast<double>(size) - start) / step;
        if (a > b) {
            std::swap(a, b);
        }
        first = std::max(first, std::floor(a) - 1.0);
        last = std::min(last, std::ceil(b) + 1.0);
    };
    clip(from.x, u.x, m_depth->XRes());
    clip(from.y, u.y, m_depth->YRes());
    const int64_t firstSample = first <= last ? static_cast<int64_t>(first) : 1;
    const int64_t lastSample = first <= last ? static_cast<int64_t>(last) : 0;
    for (int64_t i = firstSample; i <= lastSample; ++i) {
        const Vector2D<float> s = from + u * static_cast<float>(i);
        const int r = DepthAt(Truncate(s.x), Truncate(s.y));
        if (r == 0) {
            continue;
        }
        if (reference != 0 && std::abs(r - reference) > kRunStep) {
            return 0;
        }
        reference = r;
    }
    if (reference == 0) {
        return 0;
    }
    return std::abs(DepthAt(Truncate(to.x), Truncate(to.y)) - reference) < 100 ? 1 : 0;
}

int NAHeadDetector::CheckSecondaryHead(const Vector3D<float>& candidate, const Vector2D<int>& torsoPoint,
                                       Vector2D<float>* crossing) const {
    if (!HasFrame()) {
        return 0;
    }
    const Vector2D<float> a = Project(candidate);
    Neck neck;
    if (!FindNeck(candidate, neck)) {
        return 0;
    }
    const float angle = neck.angle;
    // Where the candidate's neck line reaches the torso row.
    const float s = std::sin(angle);
    const float rowT = static_cast<float>(torsoPoint.y);
    const Vector2D<float> b(std::fabs(s) <= 1e-8f ? FLT_MAX : a.x + (rowT - a.y) / s * std::cos(angle), rowT);
    if (crossing != nullptr) {
        *crossing = b;
    }
    return CheckConnectivity(a, b) != 0 &&
                   CheckConnectivity(b, Vector2D<float>(static_cast<float>(torsoPoint.x), rowT)) != 0
               ? 1
               : 0;
}

int NAHeadDetector::CheckForOtherNearbyHead(const Vector2D<int>& torsoPoint, int torsoDepth,
                                            const Vector2D<int>& endMinusX, const Vector2D<int>& endPlusX) const {
    if (!HasFrame() || !(m_point.z > 0.0f)) {
        return 0;
    }
    const WorldPointConverterBase<float>& c = *m_converter;
    Vector2D<int> extMinusX;
    Vector2D<int> extPlusX;
    GetExtendedTorsoPoints(torsoPoint, torsoDepth, endMinusX, endPlusX, extMinusX, extPlusX);
    const Vector2D<float> h = Project(m_point);
    const int hx = Truncate(h.x);
    const int hy = Truncate(h.y);
    const int r = Truncate(PixelsAtHead(150.0f));
    // The top of the head: up the head's column while the depth runs on.
    int top = hy;
    while (top > 0 && std::abs(DepthAt(hx, top - 1) - DepthAt(hx, top)) <= kRunStep) {
        --top;
    }
    const float z = m_point.z;
    const int width = m_depth->XRes();
    // Columns beside the head whose depth at the head's top row runs on to
    // the torso row, at about the head's depth: another head on the torso?
    auto candidate = [&](int64_t from, int64_t to, int step, Vector3D<float>& found) {
        int64_t count = 0;
        int64_t sumDepth = 0;
        int64_t sumColumn = 0;
        for (int64_t x = from; step < 0 ? x >= to : x <= to; x += step) {
            const int a = DepthAt(static_cast<int>(x), top);
            const int s = DepthAt(static_cast<int>(x), torsoPoint.y);
            if (a != 0 && s != 0 && std::abs(a - s) <= 299 && static_cast<float>(a) - z < 600.0f) {
                ++count;
                sumDepth += a;
                sumColumn += x;
            }
        }
        if (count == 0) {
            return false;
        }
        const float depth = static_cast<float>(sumDepth) / static_cast<float>(count);
        const float column = static_cast<float>(sumColumn) / static_cast<float>(count);
        found = Vector3D<float>((column - c.m_fCenterX) * c.m_fPixelSizeFactor * depth,
                                (c.m_fCenterY - static_cast<float>(top)) * c.m_fPixelSizeFactor * depth, depth);
        return true;
    };
    // Columns outside the image hold no depth: the walks start inside it.
    Vector3D<float> other;
    if (candidate(std::min<int64_t>(int64_t{hx} - r, width - 1), extMinusX.x, -1, other) &&
        CheckSecondaryHead(other, torsoPoint, nullptr) != 0) {
        return 1;
    }
    if (candidate(std::max<int64_t>(int64_t{hx} + r, 0), extPlusX.x, 1, other)) {
        return CheckSecondaryHead(other, torsoPoint, nullptr);
    }
    return 0;
}

int NAHeadDetector::CheckCaseHandInFrontOfBody(const Vector2D<int>& endMinusX, const Vector2D<int>& endPlusX,
                                               int jumpMinusX, int jumpPlusX,
                                               const Vector2D<float>& jumpPointMinusX,
                                               const Vector2D<float>& jumpPointPlusX) const {
    // A jump beside the neck that the torso connects to is the body behind a
    // hand held in front of it.
    const Vector2D<float> minusEnd(static_cast<float>(endMinusX.x), static_cast<float>(endMinusX.y));
    const Vector2D<float> plusEnd(static_cast<float>(endPlusX.x), static_cast<float>(endPlusX.y));
    if (jumpMinusX != 0 && CheckConnectivity(jumpPointMinusX, minusEnd) != 0) {
        return 0;
    }
    if (jumpPlusX == 0) {
        return 1;
    }
    return CheckConnectivity(jumpPointPlusX, plusEnd) == 0 ? 1 : 0;
}
