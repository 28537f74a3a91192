#pragma once

// A parabola y = a X^2 + b X + c over X = x - x0. The fit works on
// abscissae centred on their mean and multiplied by the scale, so that the
// normal equations stay well conditioned for time stamps far from 0.

#include <cmath>

#include "QuorLibrary/Math/VectorND.h"

template <typename T>
class Parabola {
public:
    T m_a;
    T m_b;
    T m_c;
    T m_x0;     // abscissa origin
    T m_scale;  // abscissa scale while fitting

    Parabola() : m_a(0), m_b(0), m_c(0), m_x0(0), m_scale(1) {}
    Parabola(T x0, T scale) : m_a(0), m_b(0), m_c(0), m_x0(x0), m_scale(scale) {}

    // The least-squares parabola through the pairs (xs[i], ys[i]). False,
    // with the parabola unchanged, for fewer than three pairs, lists of
    // different lengths, or a (nearly) singular system: fewer than three
    // distinct abscissae.
    bool ConstructByLsqrFit(const VectorND<T>& xs, const VectorND<T>& ys) {
        const int count = xs.Size();
        if (count < 3 || ys.Size() != count) {
            return false;
        }
        const T n = static_cast<T>(count);
        T h = 0;
        T yMean = 0;
        for (int i = 0; i < count; ++i) {
            h += xs[i] - m_x0;
            yMean += ys[i];
        }
        h /= n;
        yMean /= n;
        T s1 = 0, s2 = 0, s3 = 0, s4 = 0, r0 = 0, r1 = 0, r2 = 0;
        for (int i = 0; i < count; ++i) {
            const T v = (xs[i] - m_x0 - h) * m_scale;
            const T dy = ys[i] - yMean;
            const T v2 = v * v;
            s1 += v;
            s2 += v2;
            s3 += v2 * v;
            s4 += v2 * v2;
            r0 += dy;
            r1 += v * dy;
            r2 += v2 * dy;
        }
        const T m00 = n * s2 - s1 * s1;
        const T m01 = s1 * s2 - n * s3;
        const T m02 = s1 * s3 - s2 * s2;
        const T det = m00 * s4 + s3 * m01 + s2 * m02;
        if (std::fabs(det) <= 1e-8) {
            return false;
        }
        const T m11 = n * s4 - s2 * s2;
        const T m12 = s2 * s3 - s1 * s4;
        const T m22 = s2 * s4 - s3 * s3;
        const T A = (m00 * r2 + m01 * r1 + m02 * r0) / det;
        const T B = (m01 * r2 + m11 * r1 + m12 * r0) / det;
        const T C = (m02 * r2 + m12 * r1 + m22 * r0) / det;
        m_a = m_scale * m_scale * A;
        m_b = m_scale * B - T(2) * m_a * h;
        m_c = m_a * h * h - m_scale * B * h + C + yMean;
        return true;
    }
};
