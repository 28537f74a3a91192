// The eight-pixel twins of the background model's per-pixel stages. Each
// gives the plain stage's maps and sums and finishes a row whose width is
// not a multiple of 8 with the plain code.

#include <algorithm>

#include "NACommon/NAFarfield.h"
#include "NACommon/NAFarfieldSSE.h"

using namespace na_sse;

void NAFarfield::UpdateFarfieldLineNoDepth_SSE(int16_t, const uint16_t* shiftRow, uint16_t* counterRow, uint16_t*) {
    const int width = m_nXRes;
    const int width8 = width & ~7;
    const __m128i one = Splat(1);
    int x = 0;
    for (; x < width8; x += 8) {
        const __m128i grown = _mm_add_epi16(Load(counterRow + x), one);
        Store(counterRow + x, _mm_and_si128(IsZero(Load(shiftRow + x)), grown));
    }
    for (; x < width; ++x) {
        counterRow[x] = shiftRow[x] != 0 ? 0 : static_cast<uint16_t>(counterRow[x] + 1);
    }
}

void NAFarfield::UpdateBackgroundRow_SSE(int row, const uint16_t* counter, uint16_t* background, int64_t& zeros,
                                         int64_t& receded, int64_t& transient) {
    const int width = m_nXRes;
    const int width8 = width & ~7;
    const int offset = row * width;
    const uint16_t* shift = m_pShift->Data() + offset;
    const uint16_t* shift1 = m_pShiftPrev->Data() + offset;
    const uint16_t* shift2 = m_pShiftPrev2->Data() + offset;
    const uint16_t* depth = m_pCurrentDepth->Data() + offset;
    const uint16_t* count = counter + offset;
    uint16_t* bg = background + offset;

    const __m128i maxNoDepth = Splat(kMaxNoDepthFrames);
    const __m128i stableThresh = Splat(m_nStableShiftThresh);
    const __m128i one = Splat(1);
    __m128i zeroCount = _mm_setzero_si128();
    __m128i recededSum = _mm_setzero_si128();
    __m128i transientSum = _mm_setzero_si128();
    alignas(16) uint16_t backgroundDepth[8];
    for (int x = 0; x < width8; x += 8) {
        const __m128i keep = IsZero(_mm_subs_epu16(Load(count + x), maxNoDepth));
        const __m128i b = _mm_and_si128(Load(bg + x), keep);
        const __m128i s = Load(shift + x);
        const __m128i noDepth = IsZero(s);
        zeroCount = _mm_sub_epi16(zeroCount, noDepth);
        // Seen farther than a known background.
        const __m128i farther = _mm_andnot_si128(noDepth, _mm_andnot_si128(IsZero(b), GreaterUnsigned(s, b)));
        if (_mm_movemask_epi8(farther) == 0) {
            Store(bg + x, b);
            continue;
        }
        // The background's depths, looked up where they count.
        _mm_store_si128(reinterpret_cast<__m128i*>(backgroundDepth), b);
        for (uint16_t& value : backgroundDepth) {
            value = static_cast<uint16_t>(DepthOfShift(value));
        }
        const __m128i depthOfB = _mm_load_si128(reinterpret_cast<const __m128i*>(backgroundDepth));
        recededSum = _mm_add_epi16(recededSum, _mm_and_si128(farther, na_sse::AreaWeight(depthOfB)));
        const __m128i restarted = _mm_and_si128(farther, _mm_cmpeq_epi16(b, one));
        transientSum = _mm_add_epi16(transientSum, _mm_and_si128(restarted, na_sse::AreaWeight(Load(depth + x))));
        const __m128i s1 = Load(shift1 + x);
        const __m128i s2 = Load(shift2 + x);
        const __m128i stable = _mm_and_si128(
            GreaterUnsigned(stableThresh, AbsDiff(s, s1)),
            _mm_and_si128(GreaterUnsigned(stableThresh, AbsDiff(s, s2)), GreaterUnsigned(stableThresh, AbsDiff(s1, s2))));
        Store(bg + x, Select(_mm_and_si128(farther, stable), s, b));
    }
    zeros += SumLanes(zeroCount);
    receded += SumLanes(recededSum);
    transient += SumLanes(transientSum);
    UpdateBackgroundPixels(offset + width8, offset + width, counter, background, zeros, receded, transient);
}

void NAFarfield::CreateFg_SSE(const Array2D<uint16_t>& background, int top, int bottom) {
    if (m_nFgShiftMargin < 0) {
        CreateFg(background, Box2D<int>(0, top, m_nXRes - 1, bottom));
        return;
    }
    if (m_bJustReset != 0) {
        Array2D<uint16_t>& previous = m_fgDepthHistory.GetCurrent();
        std::fill(previous.Data(), previous.Data() + previous.Size(), uint16_t(0));
    }
    uint16_t* fg = m_fgDepthHistory.Push().Data();
    const int width = m_nXRes;
    const int width8 = width & ~7;
    const __m128i margin = Splat(m_nFgShiftMargin);
    for (int y = std::max(top, 0); y <= std::min(bottom, m_nYRes - 1); ++y) {
        const int offset = y * width;
        const uint16_t* shift = m_pShift->Data() + offset;
        const uint16_t* depth = m_pCurrentDepth->Data() + offset;
        const uint16_t* bg = background.Data() + offset;
        uint16_t* out = fg + offset;
        int x = 0;
        for (; x < width8; x += 8) {
            const __m128i s = Load(shift + x);
            const __m128i b = Load(bg + x);
            const __m128i nearer = _mm_or_si128(IsZero(b), GreaterUnsigned(b, _mm_adds_epu16(s, margin)));
            Store(out + x, _mm_and_si128(_mm_andnot_si128(IsZero(s), nearer), Load(depth + x)));
        }
        for (; x < width; ++x) {
            const int s = shift[x];
            const int b = bg[x];
            out[x] = s != 0 && (b == 0 || s + m_nFgShiftMargin < b) ? depth[x] : 0;
        }
    }
}

int NAFarfield::NumFg_SSE(const uint16_t* depth, const uint16_t* prevDepth, const uint16_t* prevFg) const {
    const int width = m_nXRes;
    const int width8 = width & ~7;
    int64_t sum = 0;
    for (int y = 0; y < m_nYRes; ++y) {
        const int offset = y * width;
        __m128i lanes = _mm_setzero_si128();
        for (int x = 0; x < width8; x += 8) {
            const __m128i c = Load(depth + offset + x);
            const __m128i p = Load(prevFg + offset + x);
            const __m128i previous = Load(prevDepth + offset + x);
            const __m128i entered = _mm_andnot_si128(IsZero(c), _mm_andnot_si128(IsZero(previous), IsZero(p)));
            const __m128i left = _mm_andnot_si128(IsZero(p), IsZero(c));
            lanes = _mm_add_epi16(lanes, _mm_and_si128(entered, na_sse::AreaWeight(c)));
            lanes = _mm_sub_epi16(lanes, _mm_and_si128(left, na_sse::AreaWeight(previous)));
        }
        sum += SumLanes(lanes);
        for (int x = width8; x < width; ++x) {
            const int i = offset + x;
            if (depth[i] != 0 && prevFg[i] == 0) {
                sum += prevDepth[i] != 0 ? AreaWeight(depth[i]) : 0;
            } else if (depth[i] == 0 && prevFg[i] != 0) {
                sum -= AreaWeight(prevDepth[i]);
            }
        }
    }
    return static_cast<int>(sum);
}

void NAFarfield::PerformDerivative_SSE(const Box2D<int>& band, int firstRow, int lastRow) {
    int left = 0;
    int right = 0;
    PrepareBorderMap(band, left, right);
    const int width = m_nXRes;
    const __m128i one = Splat(1);
    for (int y = std::max(firstRow, 1); y <= std::min(lastRow, m_nYRes - 2); ++y) {
        const XnLabel* labels = m_ccLabels.Data() + y * width;
        uint16_t* out = m_ccBorder.Data() + y * width;
        int x = 1;
        for (; x + 8 <= width - 1; x += 8) {
            const __m128i c = Load(labels + x);
            // A labelled pixel is on the border unless all four neighbours
            // carry its label.
            const __m128i allEqual = _mm_and_si128(
                _mm_and_si128(_mm_cmpeq_epi16(c, Load(labels + x - 1)), _mm_cmpeq_epi16(c, Load(labels + x + 1))),
                _mm_and_si128(_mm_cmpeq_epi16(c, Load(labels + x - width)), _mm_cmpeq_epi16(c, Load(labels + x + width))));
            Store(out + x, _mm_and_si128(_mm_andnot_si128(allEqual, IsNonZero(c)), one));
        }
        for (; x < width - 1; ++x) {
            out[x] = IsBorderPixel(labels, x, width) ? 1 : 0;
        }
        ClearOutsideColumns(out, left, right);
    }
}
