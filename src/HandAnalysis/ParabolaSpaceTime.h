#pragma once

// One coordinate of a fitted motion as a parabola over time: the value at
// time t is a u^2 + b u + c with u the seconds from the base time, less the
// parabola's offset. Spans are taken in single precision and times computed
// from seconds are truncated to whole microseconds, as everywhere on the
// gesture side.

#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Parabola.h"

class ParabolaSpaceTime {
public:
    // Scale of the abscissa in the least-squares construction: it only
    // conditions the normal equations.
    static constexpr float kFitScale = 30.0f;

    SensorTime m_baseTime;
    Parabola<float> m_parabola;

    ParabolaSpaceTime() : m_baseTime(0), m_parabola(0.0f, kFitScale) {}
    ParabolaSpaceTime(const SensorTime& baseTime, float a, float b, float c)
        : m_baseTime(baseTime), m_parabola(0.0f, kFitScale) {
        m_parabola.m_a = a;
        m_parabola.m_b = b;
        m_parabola.m_c = c;
    }

    // Seconds from the base time, less the offset.
    float Abscissa(const SensorTime& t) const { return t.SecondsSince(m_baseTime) - m_parabola.m_x0; }

    float Evaluate(const SensorTime& t) const {
        const float u = Abscissa(t);
        return m_parabola.m_a * u * u + u * m_parabola.m_b + m_parabola.m_c;
    }

    // The integral over [from, to] in closed form, value x seconds.
    float Integrate(const SensorTime& from, const SensorTime& to) const {
        const float us = Abscissa(from);
        const float ue = Abscissa(to);
        return m_parabola.m_a * 0.33333334f * (ue * ue * ue - us * us * us) +
               m_parabola.m_b * 0.5f * (ue * ue - us * us) + m_parabola.m_c * (ue - us);
    }

    bool HasVertex() const { return m_parabola.m_a != 0.0f; }
    // The vertex in seconds from the base time (offset included); only
    // meaningful when HasVertex().
    float VertexSeconds() const { return -m_parabola.m_b / (2.0f * m_parabola.m_a) + m_parabola.m_x0; }
    SensorTime VertexTime() const { return m_baseTime.PlusSeconds(VertexSeconds()); }
    // A vertex lies in [t0, t1], compared in seconds from the base time.
    bool HasVertexWithin(const SensorTime& t0, const SensorTime& t1) const {
        if (!HasVertex()) {
            return false;
        }
        const float vertex = VertexSeconds();
        return vertex >= t0.SecondsSince(m_baseTime) && vertex <= t1.SecondsSince(m_baseTime);
    }
    float VertexValue() const {
        return m_parabola.m_c - m_parabola.m_b * m_parabola.m_b / (4.0f * m_parabola.m_a);
    }

    // The times at which the parabola takes `value`, earlier first. Returns
    // the number of roots (0, 1 or 2), or -1 when the parabola is that
    // constant; only the outputs of roots found are written.
    int FindRoots(SensorTime& first, SensorTime& second, const float& value) const;
};
