// The eight-pixel variants of a plane slot's marking and refit. They have
// no polygon mask and work in signed 16-bit lanes: they agree with the plain
// loops for shifts and plane values inside that range.

#include <emmintrin.h>

#include "SceneAnalyzer/SAPlane.h"

namespace {

int LanesSet(__m128i mask) { return __builtin_popcount(static_cast<unsigned>(_mm_movemask_epi8(mask))) / 2; }

// Adds the four signed 32-bit lanes of v, sign-extended, into two 64-bit
// lanes of sum.
__m128i AddWidened(__m128i sum, __m128i v) {
    const __m128i sign = _mm_srai_epi32(v, 31);
    sum = _mm_add_epi64(sum, _mm_unpacklo_epi32(v, sign));
    return _mm_add_epi64(sum, _mm_unpackhi_epi32(v, sign));
}

int64_t Total64(__m128i v) {
    alignas(16) int64_t lanes[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), v);
    return lanes[0] + lanes[1];
}

}  // namespace

void SAPlane::Mark_SSE(SAPlaneData* data, int32_t A, int32_t B, int32_t C) const {
    const CSAPlanesCommonData& shared = *m_pShared;
    const int W = shared.m_nXRes;
    const SAPlaneData::Bounds& r = data->m_bounds;
    const __m128i width = _mm_set1_epi16(static_cast<short>(m_planeWidth));
    const __m128i maxShift = _mm_set1_epi16(static_cast<short>(shared.m_nMaxShift));
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(MARK_ON);
    const __m128i two = _mm_set1_epi16(MARK_BEHIND);
    // Lane offsets 0..7 times A, and the step of one block, in wrapping
    // 32-bit arithmetic.
    const uint32_t a = static_cast<uint32_t>(A);
    const __m128i offsetsLow = _mm_setr_epi32(0, static_cast<int32_t>(a), static_cast<int32_t>(2u * a),
                                              static_cast<int32_t>(3u * a));
    const __m128i offsetsHigh = _mm_add_epi32(offsetsLow, _mm_set1_epi32(static_cast<int32_t>(4u * a)));
    const __m128i blockStep = _mm_set1_epi32(static_cast<int32_t>(8u * a));
    uint32_t in = 0;
    uint32_t below = 0;
    for (int y = r.minY; y < r.maxY; ++y) {
        const unsigned short* background = m_pBackground->Data() + y * W;
        unsigned short* marks = data->m_pMarks->Data() + y * W;
        const int firstBlock = r.minX / 8;
        const uint32_t start =
            a * static_cast<uint32_t>(firstBlock * 8) + static_cast<uint32_t>(B) * static_cast<uint32_t>(y) +
            static_cast<uint32_t>(C);
        __m128i low = _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(start)), offsetsLow);
        __m128i high = _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(start)), offsetsHigh);
        for (int block = firstBlock; block < r.maxX / 8; ++block) {
            // The plane's shift, truncated to 16 bits.
            const __m128i pLow = _mm_srai_epi32(_mm_slli_epi32(_mm_srai_epi32(low, 10), 16), 16);
            const __m128i pHigh = _mm_srai_epi32(_mm_slli_epi32(_mm_srai_epi32(high, 10), 16), 16);
            const __m128i p = _mm_packs_epi32(pLow, pHigh);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(background + block * 8));
            const __m128i valid = _mm_andnot_si128(_mm_cmpeq_epi16(v, zero), _mm_set1_epi16(-1));
            const __m128i isBelow = _mm_and_si128(valid, _mm_cmplt_epi16(p, _mm_sub_epi16(v, width)));
            const __m128i near = _mm_andnot_si128(_mm_cmpgt_epi16(p, _mm_add_epi16(v, width)), _mm_set1_epi16(-1));
            const __m128i isOn =
                _mm_andnot_si128(isBelow, _mm_and_si128(valid, _mm_and_si128(_mm_cmplt_epi16(v, maxShift), near)));
            const __m128i mark = _mm_or_si128(_mm_and_si128(isBelow, two), _mm_and_si128(isOn, one));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(marks + block * 8), mark);
            below += static_cast<uint32_t>(LanesSet(isBelow));
            in += static_cast<uint32_t>(LanesSet(isOn));
            low = _mm_add_epi32(low, blockStep);
            high = _mm_add_epi32(high, blockStep);
        }
    }
    data->m_count_in = in;
    data->m_count_below = below;
}

void SAPlane::calc_floor_SSE(SAPlaneData* from, SAPlaneData* to) const {
    to->m_sol[0] = to->m_sol[1] = to->m_sol[2] = 0.0f;
    const CSAPlanesCommonData& shared = *m_pShared;
    const int W = shared.m_nXRes;
    const int blocks = W / 8;
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i eight = _mm_set1_epi16(8);
    SAPlaneSums sums;
    for (int y = 0; y < shared.m_nYRes; ++y) {
        const unsigned short* background = m_pBackground->Data() + y * W;
        const unsigned short* marks = from->m_pMarks->Data() + y * W;
        __m128i columns = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
        __m128i sumX = zero;
        __m128i sumS = zero;
        __m128i sumXX = zero;
        __m128i sumXS = zero;
        int64_t n = 0;
        for (int block = 0; block < blocks; ++block) {
            const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(marks + block * 8));
            const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(background + block * 8));
            const __m128i use = _mm_and_si128(_mm_cmpgt_epi16(m, zero), _mm_cmpgt_epi16(s, zero));
            const __m128i mx = _mm_and_si128(columns, use);
            const __m128i ms = _mm_and_si128(s, use);
            n += LanesSet(use);
            sumX = _mm_add_epi32(sumX, _mm_madd_epi16(mx, ones));
            sumS = _mm_add_epi32(sumS, _mm_madd_epi16(ms, ones));
            sumXX = AddWidened(sumXX, _mm_madd_epi16(mx, mx));
            sumXS = AddWidened(sumXS, _mm_madd_epi16(mx, ms));
            columns = _mm_add_epi16(columns, eight);
        }
        SAPlaneRowSums row;
        alignas(16) int32_t lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sumX);
        row.x = int64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sumS);
        row.s = int64_t{lanes[0]} + lanes[1] + lanes[2] + lanes[3];
        row.n = n;
        row.xx = Total64(sumXX);
        row.xs = Total64(sumXS);
        // Columns past the last whole block.
        for (int x = blocks * 8; x < W; ++x) {
            row.Add(x, marks[x], background[x]);
        }
        sums.AddRow(y, row);
    }
    FinishRefit(sums, to);
}
