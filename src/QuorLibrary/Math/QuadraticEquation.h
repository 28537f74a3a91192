#pragma once

// Real roots of a*t^2 + b*t + c: in float, and in 32-bit integers with the
// roots returned as integer multiples of a direction.

#include <cmath>
#include <cstdint>

#include "QuorLibrary/Math/IntegerRounding.h"
#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/Vector3D.h"


template <typename T>
class QuadraticEquation {
public:
    T m_a;
    T m_b;
    T m_c;
    int32_t m_nA;
    int32_t m_nB;
    int32_t m_nC;

    QuadraticEquation() : m_a(0), m_b(0), m_c(0), m_nA(0), m_nB(0), m_nC(0) {}
    QuadraticEquation(T a, T b, T c) : m_a(a), m_b(b), m_c(c), m_nA(0), m_nB(0), m_nC(0) {}
    void SetIntCoefficients(int32_t a, int32_t b, int32_t c) {
        m_nA = a;
        m_nB = b;
        m_nC = c;
    }

    // Number of real roots of m_a t^2 + m_b t + m_c: 2 (t1 <= t2), 1 (t1),
    // 0, or -1 when every t solves it. A NaN m_a counts as non-zero.
    int FindRoots(T& t1, T& t2) const {
        if (m_a != 0) {
            const T discriminant = m_b * m_b - 4 * m_a * m_c;
            if (discriminant < 0) {
                return 0;
            }
            if (discriminant == 0) {
                t1 = -m_b / (2 * m_a);
                return 1;
            }
            // The root whose computation adds magnitudes, then Vieta for the
            // other: no cancellation.
            const double s = std::sqrt(static_cast<double>(discriminant));
            const T q = static_cast<T>(m_b > 0 ? -static_cast<double>(m_b) - s : -static_cast<double>(m_b) + s);
            t1 = q / (2 * m_a);
            t2 = 2 * m_c / q;
            if (t2 < t1) {
                const T swap = t1;
                t1 = t2;
                t2 = swap;
            }
            return 2;
        }
        if (m_b != 0) {
            t1 = -m_c / m_b;
            return 1;
        }
        return m_c == 0 ? -1 : 0;
    }

    // FindRoots on m_nA, m_nB, m_nC in 32-bit arithmetic with every division
    // rounded half away from zero; each root t comes back as t * direction,
    // the smaller t first.
    int FindRoots_Int(Vector3D<int32_t>& r1, Vector3D<int32_t>& r2, const Vector3D<int32_t>& direction) const {
        using namespace vela_math;
        if (m_nA != 0) {
            const int32_t twoA = Mul(2, m_nA);
            const int32_t discriminant = Sub(Mul(m_nB, m_nB), Mul(Mul(4, m_nA), m_nC));
            if (discriminant < 0) {
                return 0;
            }
            if (discriminant == 0) {
                r1 = RoundedDivide(direction * Neg(m_nB), twoA);
                return 1;
            }
            const int32_t s = RoundedSqrt(static_cast<uint32_t>(discriminant));
            const int32_t q = m_nB > 0 ? Sub(Neg(m_nB), s) : Sub(s, m_nB);
            const int32_t twoC = Mul(2, m_nC);
            const Vector3D<int32_t> rootQ = RoundedDivide(direction * q, twoA);
            const Vector3D<int32_t> rootC = RoundedDivide(direction * twoC, q);
            if (RoundedDivide(Mul(q, 1024), twoA) < RoundedDivide(Mul(m_nC, 2048), q)) {
                r1 = rootQ;
                r2 = rootC;
            } else {
                r1 = rootC;
                r2 = rootQ;
            }
            return 2;
        }
        if (m_nB != 0) {
            r1 = RoundedDivide(direction * Neg(m_nC), m_nB);
            return 1;
        }
        return m_nC == 0 ? -1 : 0;
    }
};
