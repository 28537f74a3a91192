#include "HandAnalysis/RayMarching.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "QuorLibrary/Math/SaturatingCast.h"

namespace {

// To the nearest integer, halves away from zero (saturating).
int RoundAway(float value) { return vela_math::SaturatingTruncate(std::round(static_cast<double>(value))); }

bool IsEmptyBox(const Box2D<int>& box) { return box.min.x > box.max.x || box.min.y > box.max.y; }

}  // namespace

void RayMarching::Clear() {
    m_start = Vector2D<float>(0.0f, 0.0f);
    m_delta = Vector2D<float>(0.0f, 0.0f);
    m_length = 0.0f;
    m_direction = Vector2D<float>(1.0f, 0.0f);
    m_openFlag = 0;
    m_bounds = Box2D<int>();
    m_majorAxis = 0;
    m_slope = 0.0f;
    m_stepLength = 1.0f;
    m_step = 1;
    m_firstMajor = 0;
    m_stepCount = 0;
    m_pathLength = 0.0f;
    m_current = Vector2D<int>(0, 0);
    m_initialised = false;
}

void RayMarching::SetAxes() {
    m_majorAxis = std::fabs(m_direction.x) > std::fabs(m_direction.y) ? 0 : 1;
    const float major = m_direction[m_majorAxis];
    // A zero direction walks along its major axis without slope.
    m_slope = major != 0.0f ? m_direction[1 - m_majorAxis] / major : 0.0f;
    m_stepLength = std::sqrt(m_slope * m_slope + 1.0f);
    m_step = major > 0.0f ? 1 : -1;
}

RayMarching::RayMarching(const Segment2D<float>& segment, const Box2D<int>& bounds) {
    Clear();
    Initialize(segment.GetStart(), segment.GetEnd(), bounds);
}

RayMarching::RayMarching(const Vector2D<float>& start, const Vector2D<float>& end, const Box2D<int>& bounds) {
    Clear();
    Initialize(start, end, bounds);
}

RayMarching::RayMarching(const Vector2D<float>& start, const Vector2D<float>& direction, float length,
                         const Box2D<int>& bounds) {
    Clear();
    m_start = start;
    m_length = length;
    m_delta = direction * length;
    m_direction = direction;
    m_bounds = bounds;
    SetAxes();
    m_current = Vector2D<int>(0, 0);
    m_openFlag = 1;
    Initialize();
}

RayMarching::RayMarching(NACommonData* data, const Vector3D<float>& origin, const Vector3D<float>& direction,
                         float length, Resolution resolution) {
    Clear();
    const bool valid = IsValidResolution(resolution);
    const WorldPointConverter<float>* converter =
        data != nullptr && valid ? data->m_pWorldPointConverters[resolution] : nullptr;
    auto project = [&](const Vector3D<float>& p) {
        if (converter == nullptr || !(p.z > 0.0f)) {
            return Vector2D<float>(0.0f, 0.0f);
        }
        const float s = converter->m_fPixelSizeFactor * p.z;
        return Vector2D<float>(p.x / s + converter->m_fCenterX, converter->m_fCenterY - p.y / s);
    };
    m_start = project(origin);
    const Vector2D<float> end = project(origin + direction * length);
    m_delta = end - m_start;
    m_length = m_delta.Magnitude();
    m_direction = m_length > 0.0f ? m_delta / m_length : Vector2D<float>(1.0f, 0.0f);
    m_bounds = valid ? Box2D<int>(0, 0, g_nXRes[resolution] - 1, g_nYRes[resolution] - 1) : Box2D<int>();
    m_openFlag = 1;
    SetAxes();
    Initialize();
}

void RayMarching::Initialize(const Vector2D<float>& start, const Vector2D<float>& end, const Box2D<int>& bounds) {
    m_start = start;
    m_delta = end - start;
    m_length = m_delta.Magnitude();
    m_direction = m_length > 0.0f ? m_delta / m_length : Vector2D<float>(1.0f, 0.0f);
    m_bounds = bounds;
    SetAxes();
    m_openFlag = 0;
    Initialize();
}

void RayMarching::Initialize() {
    Reset();
    const int maximal = IsEmptyBox(m_bounds) ? kUnbounded : FindMaximalLengthFromBounds();
    const Vector2D<float> endPoint = m_start + m_direction * m_length;
    const Vector2D<int> end(RoundAway(endPoint.x), RoundAway(endPoint.y));
    const int toEnd = std::abs(static_cast<int>(std::min<int64_t>(
        std::llabs(static_cast<int64_t>(end[m_majorAxis]) - CurrentMajor()), kUnbounded)));
    const int steps = std::min(toEnd, maximal);
    if (steps == kUnbounded) {
        m_stepCount = -1;
        m_pathLength = 0.0f;
    } else {
        m_stepCount = steps;
        m_pathLength = static_cast<float>(steps) * m_stepLength;
    }
    m_firstMajor = CurrentMajor();
    m_initialised = true;
}

void RayMarching::Reset() {
    CurrentMajor() = RoundAway(StartMajor());
    SynchronizeSecondaryVal();
}

void RayMarching::SynchronizeSecondaryVal() { SynchronizeSecondaryVal(m_current); }

void RayMarching::SynchronizeSecondaryVal(Vector2D<int>& p) const {
    const float major = static_cast<float>(p[m_majorAxis]);
    p[1 - m_majorAxis] = vela_math::SaturatingTruncate(
        std::floor(static_cast<double>((major - StartMajor()) * m_slope + StartMinor() + 0.5f)));
}

float RayMarching::CalcSecondaryVal(float major) const { return (major - StartMajor()) * m_slope + StartMinor(); }

Vector2D<float> RayMarching::GetCurrentAccurateLoc() const {
    const float major = static_cast<float>(CurrentMajor());
    Vector2D<float> p;
    p[m_majorAxis] = major;
    p[1 - m_majorAxis] = CalcSecondaryVal(major);
    return p;
}

float RayMarching::GetCurrentPercentLoc() const {
    return (static_cast<float>(CurrentMajor()) - StartMajor()) / m_delta[m_majorAxis];
}

RayMarching& RayMarching::operator++() { return *this += 1; }

RayMarching RayMarching::operator++(int) {
    RayMarching before(*this);
    ++*this;
    return before;
}

RayMarching& RayMarching::operator--() { return *this -= 1; }

RayMarching RayMarching::operator--(int) {
    RayMarching before(*this);
    --*this;
    return before;
}

RayMarching& RayMarching::operator+=(int n) {
    for (int i = 0; i < n; ++i) {
        CurrentMajor() += m_step;
        SynchronizeSecondaryVal();
    }
    for (int i = 0; i > n; --i) {
        CurrentMajor() -= m_step;
        SynchronizeSecondaryVal();
    }
    return *this;
}

RayMarching& RayMarching::operator-=(int n) {
    for (int i = 0; i < n; ++i) {
        CurrentMajor() -= m_step;
        SynchronizeSecondaryVal();
    }
    for (int i = 0; i > n; --i) {
        CurrentMajor() += m_step;
        SynchronizeSecondaryVal();
    }
    return *this;
}

void RayMarching::Seek(int n) {
    Reset();
    CurrentMajor() += n * m_step;
    SynchronizeSecondaryVal();
}

float RayMarching::DistanceSquaredAt(int a, const Vector2D<float>& point) const {
    Vector2D<float> p;
    p[m_majorAxis] = static_cast<float>(a);
    p[1 - m_majorAxis] = CalcSecondaryVal(static_cast<float>(a));
    return (p - point).MagnitudeSquared();
}

void RayMarching::Seek(const Vector2D<float>& point) {
    Reset();
    float best = 1e9f;
    int bestMajor = 0;
    auto consider = [&](int a) {
        const float d = DistanceSquaredAt(a, point);
        if (d < best) {
            best = d;
            bestMajor = a;
        }
    };
    if (m_stepCount >= 0) {
        for (int i = 0; i <= m_stepCount; ++i) {
            consider(m_firstMajor + i * m_step);
        }
    } else {
        // The distance is a parabola in the major coordinate: its integer
        // minimum on the ray lies next to the projection of the point.
        const float along = (point[m_majorAxis] - StartMajor()) + (point[1 - m_majorAxis] - StartMinor()) * m_slope;
        const float projected = StartMajor() + along / (1.0f + m_slope * m_slope);
        const int base = vela_math::SaturatingTruncate(std::floor(static_cast<double>(projected)));
        for (int a : {base, base + 1}) {
            // Not behind the start.
            if ((a - m_firstMajor) * m_step >= 0) {
                consider(a);
            }
        }
        consider(m_firstMajor);
    }
    CurrentMajor() = bestMajor;
    SynchronizeSecondaryVal();
}

int RayMarching::FindMaximalLengthFromBounds() {
    auto inside = [&]() {
        return m_current.x >= m_bounds.min.x && m_current.x <= m_bounds.max.x && m_current.y >= m_bounds.min.y &&
               m_current.y <= m_bounds.max.y;
    };
    if (!inside()) {
        if (m_openFlag != 0) {
            return -2;
        }
        const int tries = std::abs(vela_math::SaturatingTruncate(std::floor(0.5 + m_delta[m_majorAxis])));
        for (int i = 0; i < tries && !inside(); ++i) {
            CurrentMajor() += m_step;
            SynchronizeSecondaryVal();
        }
        if (!inside()) {
            return -2;
        }
    }
    const int roomY = m_direction.y > 0.0f ? m_bounds.max.y - m_current.y : m_current.y - m_bounds.min.y;
    const int roomX = m_direction.x > 0.0f ? m_bounds.max.x - m_current.x : m_current.x - m_bounds.min.x;
    const int maximal = m_majorAxis == 0 ? roomX : roomY;
    if (std::fabs(m_slope) <= 1e-4f) {
        return maximal;
    }
    const int minor = 1 - m_majorAxis;
    const float c1 = (static_cast<float>(m_bounds.min[minor]) - StartMinor()) / m_slope + StartMajor();
    const float c2 = (static_cast<float>(m_bounds.max[minor]) - StartMinor()) / m_slope + StartMajor();
    const float lo = std::min(c1, c2);
    const float hi = std::max(c1, c2);
    int limit = m_step > 0 ? vela_math::SaturatingTruncate(hi) - CurrentMajor()
                           : CurrentMajor() - vela_math::SaturatingTruncate(lo) - 1;
    limit = std::max(limit, 0);
    return std::min(maximal, limit);
}
