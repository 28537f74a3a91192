#include "NACommon/NADepthMapRayMarching.h"

#include <cmath>
#include <cstdlib>
#include <ostream>

#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"
#include "QuorLibrary/Math/SaturatingCast.h"

namespace {

const char* const kMask = "RayMarching";

// Depth of the sample at p; 0 outside the map. Positions far outside the
// map (or not numbers) saturate and so read as outside.
unsigned short SampleAt(const xn::DepthMetaData& depthMap, const Vector2D<float>& p) {
    const int x = vela_math::SaturatingTruncate(static_cast<double>(p.x));
    const int y = vela_math::SaturatingTruncate(static_cast<double>(p.y));
    if (x < 0 || y < 0 || x >= static_cast<int>(depthMap.XRes()) || y >= static_cast<int>(depthMap.YRes()) ||
        depthMap.Data() == nullptr) {
        return 0;
    }
    return depthMap.Data()[y * static_cast<int>(depthMap.XRes()) + x];
}

bool IsOffSurface(int state) {
    return state == NADepthMapRayMarching::eLeftSurface || state == NADepthMapRayMarching::eNoDepthOffSurface;
}

// A walk's start: on the surface at the reference, or started without depth
// when the start pixel has none (or lies outside the map).
NADepthMapRayMarching::Iterator StartAt(const xn::DepthMetaData& depthMap, const Vector2D<float>& start,
                                         unsigned short referenceDepth) {
    NADepthMapRayMarching::Iterator it;
    it.m_lastDepth = SampleAt(depthMap, start);
    it.m_referenceDepth = referenceDepth;
    it.m_referencePosition = start;
    it.m_state = it.m_lastDepth == 0 ? NADepthMapRayMarching::eStartedWithoutDepth : NADepthMapRayMarching::eOnSurface;
    return it;
}

}  // namespace

NADepthMapRayMarching::NADepthMapRayMarching()
    : m_jumpThreshold(80), m_returnThreshold(80), m_noDepthValue(0), m_logger(&NALogger::GetInstance()) {}

bool NADepthMapRayMarching::IsLogging() const {
    return m_logger->GetEnabled() != 0 && xnLogIsEnabled(kMask, XN_LOG_VERBOSE);
}

void NADepthMapRayMarching::Step(Iterator& it, unsigned short depth, const Vector2D<float>& position) {
    const int d = depth;
    const int reference = it.m_referenceDepth;
    const int last = it.m_lastDepth;
    const int J = m_jumpThreshold;
    const int R = m_returnThreshold;
    const bool noDepth = depth == m_noDepthValue;
    auto rejoin = [&]() {
        it.m_state = eOnSurface;
        it.m_referenceDepth = depth;
        it.m_referencePosition = position;
    };
    switch (it.m_state) {
        case eStartedWithoutDepth:
            if (noDepth) {
                break;
            }
            if (std::abs(d - reference) < R) {
                rejoin();
            } else if (d < reference - R) {
                it.m_state = eBehindOccluder;
            }
            break;
        case eOnSurface:
            if (noDepth || d > reference + J) {
                it.m_state = eLeftSurface;
            } else if (d >= reference - J) {
                it.m_referenceDepth = depth;
                it.m_referencePosition = position;
            } else {
                it.m_state = eBehindOccluder;
            }
            break;
        default:
            if (noDepth) {
                it.m_state = eNoDepthOffSurface;
            } else if (d > last + J && std::abs(d - reference) < R) {
                rejoin();
            }
            break;
    }
    it.m_lastDepth = depth;
    if (IsLogging()) {
        NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << it.m_state << "[" << it.m_lastDepth << "] ";
    }
}

int NADepthMapRayMarching::FindBoundary(const xn::DepthMetaData& depthMap, const Vector2D<float>& start,
                                        const unsigned short& referenceDepth, const Vector2D<float>& direction,
                                        int minSteps, int maxSteps, Vector2D<float>& boundary,
                                        unsigned short& boundaryDepth) {
    m_noDepthValue = 0;
    Iterator it = StartAt(depthMap, start, referenceDepth);
    if (IsLogging()) {
        NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE)
            << "[" << referenceDepth << "/" << it.m_lastDepth << "] " << it.m_state << " ";
    }
    bool reached = false;
    for (int i = 0; i < maxSteps; ++i) {
        const Vector2D<float> p = start + direction * static_cast<float>(i);
        Step(it, SampleAt(depthMap, p), p);
        if (it.m_state == eOnSurface && i >= minSteps) {
            reached = true;
        }
        if (IsOffSurface(it.m_state)) {
            break;
        }
    }
    boundary = it.m_referencePosition;
    boundaryDepth = it.m_referenceDepth;
    return it.m_state == eLeftSurface && reached ? 1 : 0;
}

int NADepthMapRayMarching::CalcNewDepth(const xn::DepthMetaData& depthMap, const Vector2D<float>& oldCenter,
                                        unsigned short oldDepth, const Vector2D<float>& newCenter, int steps,
                                        unsigned short& newDepth) {
    m_noDepthValue = 0;
    // Equal centres walk along +x.
    const Vector2D<float> u = (newCenter - oldCenter).Normalized();
    Iterator it = StartAt(depthMap, oldCenter, oldDepth);
    const bool logging = IsLogging();
    if (it.m_state == eStartedWithoutDepth) {
        if (logging) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << " CalcCenterDepth: old center has no depth "
                                                              << std::endl;
        }
        return 0;
    }
    if (logging) {
        NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << " CalcCenterDepth: " << it.m_state << " ";
    }
    // The last surface samples up to the new centre and past it, by their
    // signed distance past it along the walk.
    float beforeT = 0.0f;
    unsigned short beforeDepth = oldDepth;
    float beyondT = -10.0f;
    unsigned short beyondDepth = oldDepth;
    for (int i = 0; i < steps; ++i) {
        const Vector2D<float> p = oldCenter + u * static_cast<float>(i);
        const unsigned short d = SampleAt(depthMap, p);
        Step(it, d, p);
        if (it.m_state == eOnSurface) {
            const float t = (p - newCenter).Dot(u);
            if (t <= 0.0f) {
                beforeT = t;
                beforeDepth = d;
            }
            if (t >= 0.0f) {
                beyondT = t;
                beyondDepth = d;
            }
        }
        if (IsOffSurface(it.m_state)) {
            break;
        }
    }
    if (it.m_state == eLeftSurface && (it.m_referencePosition - newCenter).Dot(u) < 0.0f) {
        if (logging) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << "\nwhere<0 -- using old depth" << std::endl;
        }
        return 0;
    }
    if (beyondT == beforeT || beyondT == -10.0f) {
        newDepth = beforeDepth;
        if (logging) {
            NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE) << "\nusing old depth: " << newDepth << std::endl;
        }
        return 1;
    }
    newDepth = static_cast<unsigned short>(static_cast<int>(
        (static_cast<float>(beforeDepth) * beyondT - static_cast<float>(beyondDepth) * beforeT) / (beyondT - beforeT)));
    if (logging) {
        NALoggerHelper(*m_logger, kMask, XN_LOG_VERBOSE)
            << "\ninterpolated depth (" << beforeT << "," << beyondT << "): " << newDepth << std::endl;
    }
    return 1;
}

int NADepthMapRayMarching::IsContinuouslyConnected(const xn::DepthMetaData& depthMap, const Vector2D<float>& from,
                                                   const Vector2D<float>& to) {
    m_noDepthValue = 0;
    const unsigned short start = SampleAt(depthMap, from);
    if (start == 0) {
        return 0;
    }
    Iterator it = StartAt(depthMap, from, start);
    const Vector2D<float> delta = to - from;
    const float length = delta.Magnitude();
    const Vector2D<float> u = length > 1e-8f ? delta / length : Vector2D<float>(1.0f, 0.0f);
    for (int t = 0; static_cast<float>(t) <= length; ++t) {
        const Vector2D<float> p = from + u * static_cast<float>(t);
        Step(it, SampleAt(depthMap, p), p);
        if (IsOffSurface(it.m_state)) {
            return 0;
        }
    }
    return it.m_state == eOnSurface ? 1 : 0;
}
