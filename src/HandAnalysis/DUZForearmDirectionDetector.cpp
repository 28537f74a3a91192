#include "HandAnalysis/DUZForearmDirectionDetector.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "HandAnalysis/DUZHandImageHelpers.h"

namespace {

using duz_image::DepthAt;
using duz_image::Truncate;

// The depth recorded for a ray end without depth.
constexpr unsigned short kNoDepth = 10000;

unsigned short DepthAtPoint(const xn::DepthMetaData& depth, const Vector2D<float>& p) {
    return DepthAt(depth, Truncate(p.x), Truncate(p.y));
}

// Walks sample faster at the finest resolution.
float WalkStep(const NADepthMapContainer& container) {
    return container.GetResolution() == NAResolution::VGA ? 2.0f : 1.0f;
}

}  // namespace

DUZForearmDirectionDetector::DUZForearmDirectionDetector()
    : m_handPixel(0.0f, 0.0f),
      m_flipAxis(0.0f, 0.0f),
      m_flipCandidatePixel(0.0f, 0.0f),
      m_flipCandidateDepth(0),
      m_rayCount(32),
      m_rayLength(150.0f),
      m_depthBand(300),
      m_behindThreshold(150),
      m_sideWidth(200.0f),
      m_sideDepthThreshold(50),
      m_walkJumpThreshold(150),
      m_smoothThreshold(50),
      m_spreadDepthMargin(100),
      m_detectFlippedForearm(1),
      m_flipAngle(0.34906584f) {}

DUZForearmDirectionDetector::~DUZForearmDirectionDetector() = default;

int DUZForearmDirectionDetector::Initialize(const std::string& /*iniFile*/, int /*verbose*/) {
    m_rayCount = 32;
    m_rayLength = 150.0f;
    m_depthBand = 300;
    m_behindThreshold = 150;
    m_sideWidth = 200.0f;
    m_sideDepthThreshold = 50;
    m_walkJumpThreshold = 150;
    m_smoothThreshold = 50;
    m_spreadDepthMargin = 100;
    m_detectFlippedForearm = 1;
    m_flipAngle = 0.34906584f;
    InitializeDirs();
    m_boundaryInfos.assign(static_cast<size_t>(m_rayCount), BoundaryInfo());
    return 1;
}

void DUZForearmDirectionDetector::InitializeDirs() { duz_image::FillRayFan(m_rayCount, m_rayAngles, m_rayDirections); }

int DUZForearmDirectionDetector::ReadParameters(const std::string& /*iniFile*/, int /*verbose*/, int /*flag*/) {
    return 1;
}

int DUZForearmDirectionDetector::NearestValidRay() const {
    int nearest = -1;
    for (int i = 0; i < static_cast<int>(m_boundaryInfos.size()); ++i) {
        const BoundaryInfo& info = m_boundaryInfos[static_cast<size_t>(i)];
        if (info.m_valid != 0 && (nearest < 0 || info.m_depth < m_boundaryInfos[static_cast<size_t>(nearest)].m_depth)) {
            nearest = i;
        }
    }
    return nearest;
}

void DUZForearmDirectionDetector::WalkRay(const xn::DepthMetaData& depth, int ray, float rayPixels, float step) {
    BoundaryInfo& info = m_boundaryInfos[static_cast<size_t>(ray)];
    const Vector2D<float>& direction = m_rayDirections[static_cast<size_t>(ray)];
    int previous = DepthAtPoint(depth, m_handPixel);
    int smooth = 1;
    for (int j = 0; static_cast<float>(j) * step <= rayPixels; ++j) {
        const float t = static_cast<float>(j) * step;
        const int c = DepthAtPoint(depth, m_handPixel + direction * t);
        if (c == 0) {
            smooth = 0;
            previous = 0;
            continue;
        }
        if (c - previous > m_walkJumpThreshold) {
            info.m_valid = 0;
            return;
        }
        if (std::abs(c - previous) > m_smoothThreshold) {
            smooth = 0;
        }
        previous = c;
    }
    info.m_smooth = smooth;
}

bool DUZForearmDirectionDetector::RunAroundHasSmoothRay(int ray) const {
    const int n = static_cast<int>(m_boundaryInfos.size());
    for (int k = 0; k < n; ++k) {
        const BoundaryInfo& info = m_boundaryInfos[static_cast<size_t>((ray - k + n) % n)];
        if (info.m_valid == 0) {
            break;
        }
        if (info.m_smooth != 0) {
            return true;
        }
    }
    for (int k = 1; k < n; ++k) {
        const BoundaryInfo& info = m_boundaryInfos[static_cast<size_t>((ray + k) % n)];
        if (info.m_valid == 0) {
            break;
        }
        if (info.m_smooth != 0) {
            return true;
        }
    }
    return false;
}

bool DUZForearmDirectionDetector::SpreadsTooWide(int ray) const {
    const double pi = M_PI;
    const double reference = m_rayAngles[static_cast<size_t>(ray)];
    const int nearDepth = m_boundaryInfos[static_cast<size_t>(ray)].m_depth + m_spreadDepthMargin;
    double lowest = std::numeric_limits<double>::max();
    double highest = std::numeric_limits<double>::lowest();
    for (size_t i = 0; i < m_boundaryInfos.size(); ++i) {
        const BoundaryInfo& info = m_boundaryInfos[i];
        if (info.m_valid == 0 || info.m_depth >= nearDepth) {
            continue;
        }
        const double turn = std::fmod(std::fmod(m_rayAngles[i] - reference + pi, 2.0 * pi) + 2.0 * pi, 2.0 * pi) - pi;
        lowest = std::min(lowest, turn);
        highest = std::max(highest, turn);
    }
    return highest - lowest > pi / 2.0;
}

int DUZForearmDirectionDetector::Run(const NADepthMapContainer& container, const DUZHandPartition* partition,
                                     const Vector3D<float>& hand, unsigned int trackerId, Vector3D<float>& direction,
                                     int& flipped, Vector3D<float>& flippedHand) {
    flipped = 0;
    m_boundaryInfos.assign(m_rayDirections.size(), BoundaryInfo());
    if (container.m_converter == nullptr || container.m_depth == nullptr) {
        return 0;
    }
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const xn::DepthMetaData& depth = *container.m_depth;
    m_handPixel = duz_image::HandPixel(converter, hand);
    // Without depth in front of the sensor the ray length has no scale.
    if (hand.z <= 0.0f || m_rayDirections.empty()) {
        return 0;
    }
    const float pixelSize = duz_image::PixelSizeAtHand(converter, hand);
    const float rayPixels = m_rayLength / pixelSize;
    const float side = m_sideWidth * 0.5f / pixelSize;
    const int handDepth = Truncate(hand.z);
    const bool usePartition = partition != nullptr && partition->m_valid != 0;

    // A side is closed when the surface reaches on across it at 100 and at
    // 50 mm: the ray end then lies on something wider than a forearm.
    auto joined = [&](const Vector2D<float>& p, int endDepth) {
        const unsigned short v = DepthAtPoint(depth, p);
        return v != 0 && v <= endDepth + m_sideDepthThreshold;
    };
    for (size_t i = 0; i < m_rayDirections.size(); ++i) {
        BoundaryInfo& info = m_boundaryInfos[i];
        const Vector2D<float>& d = m_rayDirections[i];
        info.m_end = m_handPixel + d * rayPixels;
        const unsigned short endDepth = DepthAtPoint(depth, info.m_end);
        info.m_depth = endDepth != 0 ? endDepth : kNoDepth;
        bool valid = info.m_depth >= handDepth - m_depthBand && info.m_depth <= handDepth + m_depthBand;
        if (valid && usePartition &&
            partition->IsOtherHandPixel(Truncate(info.m_end.x), Truncate(info.m_end.y), trackerId)) {
            valid = false;
        }
        const Vector2D<float> sides[2] = {Vector2D<float>(-d.y, d.x), Vector2D<float>(d.y, -d.x)};
        for (const Vector2D<float>& across : sides) {
            if (valid && joined(info.m_end + across * side, info.m_depth) &&
                joined(info.m_end + across * (side * 0.5f), info.m_depth)) {
                valid = false;
            }
        }
        info.m_valid = valid ? 1 : 0;
    }
    int nearest = NearestValidRay();
    if (nearest < 0) {
        return 0;
    }

    // The way to a candidate must not jump back; a smooth one goes on
    // without steps.
    const float step = WalkStep(container);
    bool anySmooth = false;
    bool anyDropped = false;
    for (size_t i = 0; i < m_boundaryInfos.size(); ++i) {
        if (m_boundaryInfos[i].m_valid == 0) {
            continue;
        }
        WalkRay(depth, static_cast<int>(i), rayPixels, step);
        anyDropped = anyDropped || m_boundaryInfos[i].m_valid == 0;
        anySmooth = anySmooth || m_boundaryInfos[i].m_smooth != 0;
    }
    if (anyDropped) {
        nearest = NearestValidRay();
        if (nearest < 0) {
            return 0;
        }
    }
    if ((anySmooth && !RunAroundHasSmoothRay(nearest)) || SpreadsTooWide(nearest)) {
        return 0;
    }

    const BoundaryInfo& chosen = m_boundaryInfos[static_cast<size_t>(nearest)];
    if (static_cast<float>(chosen.m_depth) > hand.z + static_cast<float>(m_behindThreshold)) {
        // The forearm lies behind the hand along the line of sight.
        direction = -hand.Normalized();
        return 1;
    }
    const float endDepth = static_cast<float>(chosen.m_depth);
    const float f = converter.m_fPixelSizeFactor;
    const Vector3D<float> end((chosen.m_end.x - converter.m_fCenterX) * f * endDepth,
                              (converter.m_fCenterY - chosen.m_end.y) * f * endDepth, endDepth);
    direction = (hand - end).Normalized();

    if (m_detectFlippedForearm != 0 && chosen.m_smooth != 0 && direction.z >= 0.0f &&
        direction.y < -std::sin(m_flipAngle) && DetectFlippedForearm(container, hand, nearest, flippedHand) != 0) {
        flipped = 1;
        direction = (flippedHand - hand).Normalized();
    }
    return 1;
}

int DUZForearmDirectionDetector::DetectFlippedForearm(const NADepthMapContainer& container,
                                                      const Vector3D<float>& hand, int rayIndex,
                                                      Vector3D<float>& flippedHand) {
    if (rayIndex < 0 || rayIndex >= static_cast<int>(m_boundaryInfos.size()) || hand.z <= 0.0f) {
        return 0;
    }
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const xn::DepthMetaData& depth = *container.m_depth;
    const float f = converter.m_fPixelSizeFactor;
    const float pixelSize = duz_image::PixelSizeAtHand(converter, hand);
    const int n = Truncate(100.0f / pixelSize) + 1;
    if (n <= 0) {
        return 0;
    }
    const BoundaryInfo& ray = m_boundaryInfos[static_cast<size_t>(rayIndex)];
    const Vector2D<float>& d = m_rayDirections[static_cast<size_t>(rayIndex)];
    const int endDepth = ray.m_depth;

    // The forearm's edges across the ray end; a surface that goes on for
    // 100 mm is too wide to be a forearm.
    Vector2D<float> edges[2];
    const Vector2D<float> sides[2] = {Vector2D<float>(-d.y, d.x), Vector2D<float>(d.y, -d.x)};
    for (int s = 0; s < 2; ++s) {
        for (int i = 0;; ++i) {
            const Vector2D<float> p = ray.m_end + sides[s] * static_cast<float>(i);
            const unsigned short v = DepthAtPoint(depth, p);
            if (v == 0 || v > endDepth + m_sideDepthThreshold) {
                edges[s] = p;
                break;
            }
            if (i + 1 >= n) {
                return 0;
            }
        }
    }
    m_flipAxis = ((edges[0] + edges[1]) * 0.5f - m_handPixel).Normalized();

    // Along the forearm to its far end.
    const float step = WalkStep(container);
    const float longForearm = 500.0f / pixelSize;
    int previous = DepthAtPoint(depth, m_handPixel);
    Vector2D<float> stop = m_handPixel;
    for (int j = 0;; ++j) {
        const float t = static_cast<float>(j) * step;
        if (t > longForearm) {
            m_flipCandidatePixel = m_handPixel + m_flipAxis * longForearm;
            m_flipCandidateDepth = DepthAtPoint(depth, m_flipCandidatePixel);
            return 0;
        }
        stop = m_handPixel + m_flipAxis * t;
        const int v = DepthAtPoint(depth, stop);
        if (v == 0 || v > previous + m_walkJumpThreshold) {
            break;
        }
        previous = v;
    }
    m_flipCandidatePixel = stop - m_flipAxis * (100.0f / pixelSize);
    m_flipCandidateDepth = DepthAtPoint(depth, m_flipCandidatePixel);
    if (m_flipCandidateDepth == 0) {
        return 0;
    }

    // A free tip has edges within 200 mm on its far side.
    const int count = static_cast<int>(m_rayDirections.size());
    const float candidateDepth = static_cast<float>(m_flipCandidateDepth);
    const float reach = 200.0f / (candidateDepth * f);
    for (int k = 24; k <= 40; ++k) {
        const Vector2D<float>& outward = m_rayDirections[static_cast<size_t>((rayIndex + k) % count)];
        int last = m_flipCandidateDepth;
        for (int j = 0;; ++j) {
            const float t = static_cast<float>(j) * step;
            if (t > reach) {
                return 0;
            }
            const int v = DepthAtPoint(depth, m_flipCandidatePixel + outward * t);
            if (v == 0 || v > last + m_walkJumpThreshold) {
                break;
            }
            last = v;
        }
    }
    flippedHand = Vector3D<float>((m_flipCandidatePixel.x - converter.m_fCenterX) * f * candidateDepth,
                                  (converter.m_fCenterY - m_flipCandidatePixel.y) * f * candidateDepth,
                                  candidateDepth);
    return 1;
}
