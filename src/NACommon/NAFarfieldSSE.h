#pragma once

// Eight-lane 16-bit helpers of the background models' SSE2 twins: unsigned
// comparisons and differences that SSE2 only offers signed or saturating.

#include <emmintrin.h>

#include <cstdint>

namespace na_sse {

inline __m128i Load(const uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store(uint16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline void Store(int16_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline __m128i Splat(int value) { return _mm_set1_epi16(static_cast<short>(value)); }
inline __m128i IsZero(__m128i a) { return _mm_cmpeq_epi16(a, _mm_setzero_si128()); }
inline __m128i IsNonZero(__m128i a) { return _mm_xor_si128(IsZero(a), _mm_set1_epi16(-1)); }
// All-ones lanes where a > b, unsigned.
inline __m128i GreaterUnsigned(__m128i a, __m128i b) { return IsNonZero(_mm_subs_epu16(a, b)); }
// |a - b|, unsigned.
inline __m128i AbsDiff(__m128i a, __m128i b) { return _mm_or_si128(_mm_subs_epu16(a, b), _mm_subs_epu16(b, a)); }
// mask ? a : b.
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
// The area weight ((d + 256) >> 9)^2 of eight depths.
inline __m128i AreaWeight(__m128i depth) {
    const __m128i w = _mm_srli_epi16(_mm_add_epi16(depth, Splat(256)), 9);
    return _mm_mullo_epi16(w, w);
}
// The sum of eight signed 16-bit lanes.
inline int64_t SumLanes(__m128i v) {
    alignas(16) int16_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
    int64_t sum = 0;
    for (int16_t lane : lanes) {
        sum += lane;
    }
    return sum;
}

}  // namespace na_sse
