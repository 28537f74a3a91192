// The edge image eight pixels at a time. Depths, shifts and shadows are
// unsigned 16-bit values compared through saturating differences, so the
// result is the plain loop's for every input.

#include <emmintrin.h>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/MotionDetectorByEdges.h"

namespace {

inline __m128i Load(const unsigned short* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Lanes where a <= b (unsigned).
inline __m128i NotAbove(__m128i a, __m128i b) { return _mm_cmpeq_epi16(_mm_subs_epu16(a, b), _mm_setzero_si128()); }

}  // namespace

void MotionDetectorByEdges::derivateImage_SSE() {
    m_bMirrored = m_pCommonData->m_pDepthGenerator != nullptr && m_pCommonData->m_pDepthGenerator->IsMirrored();
    const XnDepthPixel* depth = m_pDepthMap->Data();
    unsigned short* filled = m_filledDepth.Data();
    const __m128i zero = _mm_setzero_si128();
    const __m128i noDepth = _mm_set1_epi16(static_cast<short>(m_nNoDepthValue));
    int i = 0;
    for (; i + 8 <= m_nPixels; i += 8) {
        const __m128i d = Load(depth + i);
        const __m128i none = _mm_cmpeq_epi16(d, zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(filled + i),
                         _mm_or_si128(_mm_andnot_si128(none, d), _mm_and_si128(none, noDepth)));
    }
    FillDepth(i);

    const unsigned short* shadow = m_pShadowMap->Data();
    const unsigned short* shift = m_pShiftMap->Data();
    short* der = m_der.Data();
    const __m128i step = _mm_set1_epi16(kEdgeStep);
    const __m128i maxDepth = _mm_set1_epi16(static_cast<short>(m_nMaxDepth));
    const __m128i one = _mm_set1_epi16(1);
    i = 0;
    for (; i + 9 <= m_nPixels; i += 8) {
        const __m128i a = Load(filled + i);
        const __m128i b = Load(filled + i + 1);
        const __m128i rising = _mm_andnot_si128(NotAbove(_mm_subs_epu16(a, b), step), _mm_set1_epi16(-1));
        const __m128i falling = _mm_andnot_si128(NotAbove(_mm_subs_epu16(b, a), step), _mm_set1_epi16(-1));
        __m128i up = _mm_and_si128(rising, NotAbove(b, maxDepth));
        __m128i down = _mm_and_si128(falling, NotAbove(a, maxDepth));
        if (m_bMirrored) {
            const __m128i shadowA = Load(shadow + i);
            const __m128i hidden = _mm_andnot_si128(_mm_cmpeq_epi16(shadowA, zero), NotAbove(shadowA, Load(shift + i + 1)));
            up = _mm_andnot_si128(hidden, up);
        } else {
            const __m128i shadowB = Load(shadow + i + 1);
            const __m128i hidden = _mm_andnot_si128(_mm_cmpeq_epi16(shadowB, zero), NotAbove(shadowB, Load(shift + i)));
            down = _mm_andnot_si128(hidden, down);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(der + i), _mm_or_si128(_mm_and_si128(up, one), down));
    }
    DerivatePixels(i);
    FixBorderColumn();
}
