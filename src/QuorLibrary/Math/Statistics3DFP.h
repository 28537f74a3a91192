#pragma once

// Integer twin of Statistics3D for per-pixel loops: points are added in
// fixed point and converted to a float Statistics3D only when a fit is
// asked for. Points are given relative to the float mirror's reference
// point, at the position shift S; each coordinate product is brought down by
// 2a and then b bits with rounding, so the moments carry 2(S - a) - b
// fraction bits. Sums wrap modulo 2^32 like the rest of the integer geometry.

#include <cassert>
#include <cstdint>

#include "QuorLibrary/Math/FixedPoint.h"
#include "QuorLibrary/Math/ScalarOps.h"
#include "QuorLibrary/Math/Statistics3D.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

class Statistics3DFP {
public:
    int m_nCount;
    // Sum of the integer weights.
    int m_nWeight;
    // Whether m_floatStatistics reflects the integer sums.
    mutable bool m_bFloatCurrent;
    // Sum of w p at the position shift.
    Vector3D<int> m_sum;
    // Sum of w times the scaled outer products.
    SymmetricMatrix3X3<int> m_moments;
    // Scaled outer product of the last point added.
    SymmetricMatrix3X3<int> m_outerProduct;
    int m_nPositionShift;
    int m_nProductShiftA;
    int m_nProductShiftB;
    mutable Statistics3D<float> m_floatStatistics;

    explicit Statistics3DFP(int positionShift = 0, int productShiftA = 0, int productShiftB = 0)
        : m_nCount(0),
          m_nWeight(0),
          m_bFloatCurrent(false),
          m_nPositionShift(positionShift),
          m_nProductShiftA(productShiftA),
          m_nProductShiftB(productShiftB) {
        assert(productShiftA >= 0 && productShiftA < 31 && productShiftB >= 0 && productShiftB < 62);
    }

    // Drops every point; the shifts and the mirror's reference point stay.
    void Clear() {
        m_nCount = 0;
        m_nWeight = 0;
        m_bFloatCurrent = false;
        m_sum = Vector3D<int>();
        m_moments.SetZero();
        m_outerProduct.SetZero();
    }

    // Fraction bits of the moments.
    int MomentShift() const { return 2 * (m_nPositionShift - m_nProductShiftA) - m_nProductShiftB; }

    // p relative to the reference point, at the position shift.
    void AddPoint(const Vector3D<int>& p, int weight = 1) {
        using vela_math::Add;
        using vela_math::Mul;
        m_outerProduct.Set(ScaledProduct(p.x, p.x), ScaledProduct(p.x, p.y), ScaledProduct(p.x, p.z),
                           ScaledProduct(p.y, p.y), ScaledProduct(p.y, p.z), ScaledProduct(p.z, p.z));
        ++m_nCount;
        m_nWeight = Add(m_nWeight, weight);
        m_sum += p * weight;
        SymmetricMatrix3X3<int> weighted = m_outerProduct;
        weighted *= weight;
        m_moments += weighted;
        m_bFloatCurrent = false;
    }

    // Refreshes the float mirror from the integer sums (its reference point
    // is left alone). Callers check m_bFloatCurrent first.
    void UpdateFloat() const {
        m_floatStatistics.m_nCount = m_nCount;
        m_floatStatistics.m_fWeight = static_cast<float>(m_nWeight);
        Vector3DFP2Double(m_sum, m_floatStatistics.m_sum, m_nPositionShift);
        Symmetric3x3DFP2Double(m_moments, m_floatStatistics.m_moments, MomentShift());
        m_bFloatCurrent = true;
    }

private:
    // (x + 2^(s-1)) >> s for s > 0, x otherwise.
    static int64_t RoundShift64(int64_t x, int shift) {
        return shift > 0 ? (x + (int64_t{1} << (shift - 1))) >> shift : x;
    }

    // The product in 64 bits, so it cannot overflow before it is scaled
    // down; the scaled value is kept modulo 2^32 like the sums.
    int ScaledProduct(int u, int v) const {
        const int64_t product = static_cast<int64_t>(u) * v;
        const int64_t scaled = RoundShift64(RoundShift64(product, 2 * m_nProductShiftA), m_nProductShiftB);
        return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(scaled)));
    }
};
