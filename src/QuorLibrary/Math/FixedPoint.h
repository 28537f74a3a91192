#pragma once

// Fixed-point number formats of the integer geometry and the conversions
// between them and float. A value v at shift s stands for v / 2^s:
// positions are whole millimetres (shift 0), rotations shift 12, unit
// directions shift 14, inverse grid cell sizes shift 10. Float to fixed is
// floorf(x * 2^s + 0.5) and right shifts round by adding half first, so
// halves round up everywhere. Later code compares against thresholds in
// these units, so every rounding here must stay exactly as it is.

#include <cassert>
#include <cmath>
#include <cstdint>

#include "QuorLibrary/Math/IntegerRounding.h"
#include "QuorLibrary/Math/Matrix3X3.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Math/SymmetricMatrix3X3.h"
#include "QuorLibrary/Math/Vector3D.h"

namespace vela_math {

constexpr int kRotationShift = 12;
constexpr int kRotationScale = 1 << kRotationShift;
constexpr int kDirectionShift = 14;
constexpr int kDirectionScale = 1 << kDirectionShift;
constexpr int kGridShift = 10;

// 2^shift as a float, negative shifts included.
inline float ShiftScale(int shift) {
    assert(shift > -31 && shift < 31);
    return shift >= 0 ? static_cast<float>(1 << shift) : 1.0f / static_cast<float>(1 << -shift);
}

// floorf(x * scale + 0.5) in float, then truncated: halves round up. Values
// beyond the int range saturate and NaN gives 0 (SaturatingTruncate).
inline int FloatToFixed(float x, float scale) { return SaturatingTruncate(floorf(x * scale + 0.5f)); }

// 2^(shift - 1), or 0 for a shift of 0 or less (no rounding term).
inline int RoundingHalf(int shift) { return shift > 0 ? 1 << (shift - 1) : 0; }

// (x + 2^(shift - 1)) >> shift with an arithmetic shift; a shift of 0 or
// less leaves x as it is. The addition wraps like the 32-bit original.
inline int RoundShift(int x, int shift) {
    if (shift <= 0) {
        return x;
    }
    assert(shift < 32);
    return Add(x, 1 << (shift - 1)) >> shift;
}

inline Vector3D<int> RoundShift(const Vector3D<int>& v, int shift) {
    return Vector3D<int>(RoundShift(v.x, shift), RoundShift(v.y, shift), RoundShift(v.z, shift));
}

}  // namespace vela_math

// Each of the nine elements floorf(scale * in + 0.5).
inline void MatrixToMatrixFP(Matrix3X3<int>& out, const Matrix3X3<float>& in, int scale) {
    const float s = static_cast<float>(scale);
    for (int i = 0; i < 9; ++i) {
        out[i] = vela_math::FloatToFixed(in[i], s);
    }
}

inline void Symmetric3x3DFP2Double(const SymmetricMatrix3X3<int>& in, SymmetricMatrix3X3<float>& out, int shift) {
    const float s = vela_math::ShiftScale(shift);
    out.Set(static_cast<float>(in.xx) / s, static_cast<float>(in.xy) / s, static_cast<float>(in.xz) / s,
            static_cast<float>(in.yy) / s, static_cast<float>(in.yz) / s, static_cast<float>(in.zz) / s);
}

inline void Vector3DFP2Double(const Vector3D<int>& in, Vector3D<float>& out, int shift) {
    const float s = vela_math::ShiftScale(shift);
    out = Vector3D<float>(static_cast<float>(in.x) / s, static_cast<float>(in.y) / s, static_cast<float>(in.z) / s);
}

// With shift 0 this rounds a float point to whole millimetres.
inline void Vector3DDoubleToVector3DFP(const Vector3D<float>& in, Vector3D<int>& out, int shift) {
    const float s = vela_math::ShiftScale(shift);
    out = Vector3D<int>(vela_math::FloatToFixed(in.x, s), vela_math::FloatToFixed(in.y, s),
                        vela_math::FloatToFixed(in.z, s));
}

inline void Vector3DDoubleToVector3DFPMult(const Vector3D<float>& in, Vector3D<int>& out, int multiplier) {
    const float s = static_cast<float>(multiplier);
    out = Vector3D<int>(vela_math::FloatToFixed(in.x, s), vela_math::FloatToFixed(in.y, s),
                        vela_math::FloatToFixed(in.z, s));
}

// Each component divided by d, halves away from zero (RoundedDivide: a zero
// divisor gives zeros).
inline Vector3D<int> rounddiv3D(Vector3D<int> v, int d) { return vela_math::RoundedDivide(v, d); }
