#pragma once

// Fast 1/sqrt(x) for the normalisations in the tracking loops: the
// processor's reciprocal-square-root estimate refined by one Newton step,
// r = 0.5 r (3 - x r r). No division and no square root are taken.

#include <cmath>
#include <xmmintrin.h>

inline float FloatOneOverSqrt(float x) {
    // Set once under the static-initialisation guard, read-only afterwards.
    static const __m128 s_three = _mm_set1_ps(3.0f);
    static const __m128 s_half = _mm_set1_ps(0.5f);
    const __m128 v = _mm_set_ss(x);
    const __m128 r = _mm_rsqrt_ss(v);
    const __m128 xrr = _mm_mul_ss(_mm_mul_ss(v, r), r);
    const __m128 refined = _mm_mul_ss(_mm_mul_ss(s_half, r), _mm_sub_ss(s_three, xrr));
    return _mm_cvtss_f32(refined);
}

// Plain twin: the same Newton step on the exact reciprocal square root. Agrees
// with FloatOneOverSqrt to the accuracy of the refined estimate.
inline float FloatOneOverSqrtPlain(float x) {
    const float r = 1.0f / std::sqrt(x);
    return (0.5f * r) * (3.0f - (x * r) * r);
}

// The degenerate-length test of every float normalisation: a reciprocal
// length of 1e8 or more (or NaN, as for the zero vector) cannot be used.
// The estimate treats a denormal x as 0 and the Newton step then yields
// -inf, which is refused as well: such lengths are far below 1e-8.
inline bool IsUsableReciprocalLength(float r) { return r > 0.0f && r < 1e8f; }
