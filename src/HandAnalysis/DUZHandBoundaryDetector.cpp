#include "HandAnalysis/DUZHandBoundaryDetector.h"

#include <algorithm>

#include "HandAnalysis/DUZHandImageHelpers.h"

DUZHandBoundaryDetector::DUZHandBoundaryDetector()
    : m_rayCount(32),
      m_rayLength(200.0f),
      m_farMargin(100),
      m_startSteps(3),
      m_continuityThreshold(50),
      m_minClosedArc(300.0f) {}

DUZHandBoundaryDetector::~DUZHandBoundaryDetector() = default;

int DUZHandBoundaryDetector::Initialize(const std::string& /*iniFile*/, int /*verbose*/) {
    m_rayCount = 32;
    m_rayLength = 200.0f;
    m_farMargin = 100;
    m_startSteps = 3;
    m_continuityThreshold = 50;
    m_minClosedArc = 300.0f;
    InitializeDirs();
    m_boundaryInfos.assign(static_cast<size_t>(m_rayCount), BoundaryInfo());
    return 1;
}

void DUZHandBoundaryDetector::InitializeDirs() { duz_image::FillRayFan(m_rayCount, m_rayAngles, m_rayDirections); }

int DUZHandBoundaryDetector::ReadParameters(const std::string& /*iniFile*/, int /*verbose*/, int /*flag*/) {
    return 1;
}

void DUZHandBoundaryDetector::Run(const NADepthMapContainer& container, const DUZHandPartition& partition,
                                  const Vector3D<float>& hand, unsigned int trackerId) {
    using duz_image::Truncate;
    m_boundaryInfos.resize(m_rayDirections.size());
    if (container.m_converter == nullptr || container.m_depth == nullptr) {
        return;
    }
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const xn::DepthMetaData& depth = *container.m_depth;
    const Vector2D<float> start = duz_image::HandPixel(converter, hand);
    // Behind the sensor the ray length has no scale: no ray is walked.
    const int samples = hand.z > 0.0f ? Truncate(m_rayLength / duz_image::PixelSizeAtHand(converter, hand)) : 0;
    const int far = std::min(std::max(Truncate(hand.z + static_cast<float>(m_farMargin)), 0), 65535);
    const int handDepth = std::min(std::max(Truncate(hand.z), 0), 65535);

    for (size_t r = 0; r < m_rayDirections.size(); ++r) {
        BoundaryInfo& info = m_boundaryInfos[r];
        const Vector2D<float>& direction = m_rayDirections[r];
        info.m_validity = 0;
        info.m_position = start + direction * static_cast<float>(std::max(samples, 0));
        if (samples <= 0) {
            info.m_position = start;
            continue;
        }
        int previous = handDepth;
        bool started = false;
        for (int i = 0; i < samples; ++i) {
            const Vector2D<float> p = start + direction * static_cast<float>(i);
            const int x = Truncate(p.x);
            const int y = Truncate(p.y);
            const int v = duz_image::DepthAt(depth, x, y);
            if (!started) {
                if (v != 0 && v <= far) {
                    started = true;
                } else if (i >= m_startSteps) {
                    // The walk never found the hand: open.
                    info.m_position = p;
                    break;
                } else {
                    continue;
                }
            }
            const bool edge = v > far || v == 0 || partition.IsOtherHandPixel(x, y, trackerId) ||
                              v - previous > m_continuityThreshold;
            if (edge) {
                info.m_validity = 1;
                info.m_position = p;
                break;
            }
            previous = v;
        }
    }
}

int DUZHandBoundaryDetector::LooksLikeHand() {
    const int n = static_cast<int>(m_boundaryInfos.size());
    if (n == 0) {
        return 1;
    }
    auto closed = [&](int i) { return m_boundaryInfos[static_cast<size_t>((i + n) % n)].m_validity != 0; };
    int firstOpen = -1;
    for (int i = 0; i < n; ++i) {
        // A single open ray between two closed ones counts as closed.
        const bool filled = closed(i) || (closed(i - 1) && closed(i + 1));
        m_boundaryInfos[static_cast<size_t>(i)].m_filled = filled ? 1 : 0;
        if (!filled && firstOpen < 0) {
            firstOpen = i;
        }
    }
    if (firstOpen < 0) {
        return 1;
    }
    int longest = 0;
    int run = 0;
    for (int k = 1; k <= n; ++k) {
        if (m_boundaryInfos[static_cast<size_t>((firstOpen + k) % n)].m_filled != 0) {
            longest = std::max(longest, ++run);
        } else {
            run = 0;
        }
    }
    const float arc = static_cast<float>(longest) * 360.0f / static_cast<float>(m_rayCount);
    return arc >= m_minClosedArc ? 1 : 0;
}

std::ostream& operator<<(std::ostream& out, const DUZHandBoundaryDetector::BoundaryInfo& info) {
    return out << "Validity: " << info.m_validity << " " << info.m_filled << " Position:" << info.m_position;
}

std::ostream& operator<<(std::ostream& out, const DUZHandBoundaryDetector& detector) {
    out << "Number of rays " << detector.m_boundaryInfos.size() << std::endl;
    for (size_t i = 0; i < detector.m_boundaryInfos.size(); ++i) {
        out << i << " Angle: " << static_cast<double>(detector.m_rayAngles[i])
            << " Direction: " << detector.m_rayDirections[i] << " Boundary: " << detector.m_boundaryInfos[i]
            << std::endl;
    }
    return out;
}
