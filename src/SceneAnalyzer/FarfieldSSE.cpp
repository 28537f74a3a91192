// The eight-pixel twins of the scene analyzer's background model: the same
// maps as the plain code, which also finishes a width that is not a
// multiple of 8.

#include <algorithm>

#include "NACommon/NAFarfieldSSE.h"
#include "SceneAnalyzer/Farfield.h"

using namespace na_sse;

void Farfield::UpdateFarfieldLineNoDepth_SSE(int16_t row, const uint16_t* shiftRow, uint16_t* counterRow,
                                             uint16_t* backgroundRow) {
    const int width = m_nXRes;
    const int width8 = width & ~7;
    uint16_t* shadowCounter = m_shadowCounter.Data() + row * width;
    const uint16_t* shadow = m_pShadowMap != nullptr ? m_pShadowMap + row * width : nullptr;
    const __m128i one = Splat(1);
    const __m128i beyond = Splat(kShadowBeyondBackground);
    const __m128i lasting = Splat(kLastingShadowFrames);
    for (int x = 0; x < width8; x += 8) {
        const __m128i s = Load(shiftRow + x);
        const __m128i h = shadow != nullptr ? Load(shadow + x) : _mm_setzero_si128();
        const __m128i counter = _mm_add_epi16(Load(counterRow + x), one);
        Store(counterRow + x, _mm_and_si128(IsZero(_mm_or_si128(s, h)), counter));
        const __m128i shadowFrames = _mm_and_si128(IsNonZero(h), _mm_add_epi16(Load(shadowCounter + x), one));
        Store(shadowCounter + x, shadowFrames);
        const __m128i b = Load(backgroundRow + x);
        const __m128i forget = _mm_and_si128(
            IsZero(s), _mm_and_si128(GreaterUnsigned(h, _mm_adds_epu16(b, beyond)), GreaterUnsigned(shadowFrames, lasting)));
        Store(backgroundRow + x, _mm_andnot_si128(forget, b));
    }
    UpdateNoDepthPixels(row, width8, shiftRow, counterRow, backgroundRow);
}

void Farfield::UpdateBg1_SSE(int firstRow, int lastRow) {
    const int width = m_nXRes;
    const int begin = std::max(firstRow, 0) * width;
    const int end = (std::min(lastRow, m_nYRes - 1) + 1) * width;
    const uint16_t* bg = m_background.Data();
    int16_t* out = m_bg1.Data();
    const __m128i unknown = Splat(kUnknownBackground);
    int i = begin;
    for (; i + 8 <= end; i += 8) {
        const __m128i b = Load(bg + i);
        Store(out + i, Select(IsZero(b), unknown, b));
    }
    for (; i < end; ++i) {
        out[i] = bg[i] != 0 ? static_cast<int16_t>(bg[i]) : kUnknownBackground;
    }
}

void Farfield::UpdateFg_SSE(int firstRow, int lastRow) {
    const int width = m_nXRes;
    const int begin = std::max(firstRow, 0) * width;
    const int end = (std::min(lastRow, m_nYRes - 1) + 1) * width;
    const uint16_t* shift = m_pShift->Data();
    const int16_t* bg2 = m_bg2.Data();
    uint16_t* fg = m_foreground.Data();
    const __m128i margin = Splat(kForegroundMargin);
    const __m128i one = Splat(1);
    int i = begin;
    for (; i + 8 <= end; i += 8) {
        const __m128i s = Load(shift + i);
        const __m128i raised = _mm_adds_epu16(s, margin);
        // A raised shift of 32768 or more is never below a signed value.
        const __m128i inRange = IsZero(_mm_srli_epi16(raised, 15));
        const __m128i nearer = _mm_and_si128(inRange, _mm_cmpgt_epi16(Load(bg2 + i), raised));
        Store(fg + i, _mm_and_si128(_mm_andnot_si128(IsZero(s), nearer), one));
    }
    for (; i < end; ++i) {
        fg[i] = shift[i] != 0 && shift[i] + kForegroundMargin < bg2[i] ? 1 : 0;
    }
}
