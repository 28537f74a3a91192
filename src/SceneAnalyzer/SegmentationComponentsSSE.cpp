// Eight-pixel twins of the component steps (SSE2). They assume a frame
// width that is a multiple of 8; a frame whose size is not a multiple of 8
// has its last pixels done one by one.

#include <emmintrin.h>

#include <algorithm>

#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/Segmentation.h"

void Segmentation::updateDepthForCC_SSE() {
    const XnDepthPixel* depth = m_depth->Data();
    const XnDepthPixel* prevDepth = m_prevDepth->Data();
    const unsigned short* shift = m_shiftMap->Data();
    const unsigned short* fg = m_farfield->GetForegroundImage().Data();
    const XnLabel* prevLabels = PreviousLabels().Data();
    const XnLabel* planes = m_planes->m_planeIdMap.Data();
    const bool extreme = m_planes->m_foundExtremePlane && planes != nullptr;
    unsigned short* d = m_ccDepth.Data();
    unsigned short* s = m_ccDepth2.Data();

    const __m128i zero = _mm_setzero_si128();
    const __m128i maxDepth = _mm_set1_epi16(static_cast<short>(m_maxSupportedDepth - 1));
    const __m128i farDepth = _mm_set1_epi16(m_farDepth);
    const __m128i farDepth2 = _mm_set1_epi16(m_farDepth2);
    const __m128i farShift = _mm_set1_epi16(m_farShift);
    const __m128i farShift2 = _mm_set1_epi16(m_farShift2);
    const __m128i planeLow = _mm_set1_epi16(0);
    const __m128i planeHigh = _mm_set1_epi16(6);
    const int groups = m_pixelCount / 8;
    for (int g = 0; g < groups; ++g) {
        const int i = g * 8;
        const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth + i));
        const __m128i zp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prevDepth + i));
        const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shift + i));
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fg + i));
        const __m128i lp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prevLabels + i));
        __m128i invalid = _mm_cmpgt_epi16(z, maxDepth);
        if (extreme) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(planes + i));
            invalid = _mm_or_si128(invalid, _mm_and_si128(_mm_cmpgt_epi16(p, planeLow), _mm_cmplt_epi16(p, planeHigh)));
        }
        // Background of no previous user that had depth last frame.
        const __m128i pushed = _mm_andnot_si128(_mm_cmpeq_epi16(zp, zero),
                                                _mm_and_si128(_mm_cmpeq_epi16(f, zero), _mm_cmpeq_epi16(lp, zero)));
        const __m128i noDepth = _mm_cmpeq_epi16(z, zero);
        const __m128i noShift = _mm_cmpeq_epi16(h, zero);
        __m128i dv = _mm_adds_epu16(z, _mm_and_si128(pushed, farDepth));
        dv = _mm_or_si128(_mm_andnot_si128(noDepth, dv), _mm_and_si128(noDepth, farDepth2));
        __m128i sv = _mm_adds_epu16(h, _mm_and_si128(pushed, farShift));
        sv = _mm_or_si128(_mm_andnot_si128(noShift, sv), _mm_and_si128(noShift, farShift2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_andnot_si128(invalid, dv));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s + i), _mm_andnot_si128(invalid, sv));
    }
    for (int i = groups * 8; i < m_pixelCount; ++i) {
        DepthForCCPixel(i, extreme);
    }
    // Outside the image box only the depth side matters: the labeller
    // labels no pixel whose depth side is 0.
    for (int y = 0; y < m_height; ++y) {
        unsigned short* row = d + y * m_width;
        if (y < m_imageBox.min.y || y > m_imageBox.max.y) {
            std::fill(row, row + m_width, 0);
            continue;
        }
        std::fill(row, row + std::min(std::max(m_imageBox.min.x, 0), m_width), 0);
        std::fill(row + std::min(std::max(m_imageBox.max.x + 1, 0), m_width), row + m_width, 0);
    }
}

void Segmentation::derivateLabels_SSE() {
    const XnLabel* labels = Labels().Data();
    unsigned char* der = m_labelDer.Data();
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    for (int y = 1; y < m_height - 1; ++y) {
        int x = 0;
        for (; x + 8 <= m_width; x += 8) {
            const int i = y * m_width + x;
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(labels + i));
            const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(labels + i - 1));
            const __m128i right = _mm_loadu_si128(reinterpret_cast<const __m128i*>(labels + i + 1));
            const __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(labels + i - m_width));
            const __m128i down = _mm_loadu_si128(reinterpret_cast<const __m128i*>(labels + i + m_width));
            const __m128i same = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi16(c, left), _mm_cmpeq_epi16(c, right)),
                                               _mm_and_si128(_mm_cmpeq_epi16(c, up), _mm_cmpeq_epi16(c, down)));
            const __m128i border = _mm_andnot_si128(_mm_or_si128(same, _mm_cmpeq_epi16(c, zero)), one);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(der + i), _mm_packus_epi16(border, zero));
        }
        for (; x < m_width; ++x) {
            der[y * m_width + x] = LabelBorder(labels, y * m_width + x);
        }
    }
    for (int y = 0; y < m_height - 1; ++y) {
        der[y * m_width] = 0;
        der[y * m_width + m_width - 1] = 0;
    }
}

void Segmentation::getCCsDataFromPixels_SSE() {
    const XnLabel* labels = Labels().Data();
    for (int y = 0; y < m_height; ++y) {
        const ConnectedComponentDetector::line* runs = m_ccDetector.GetRowRuns(y);
        const int count = m_ccDetector.GetRowRunCount(y);
        for (int r = 0; r < count; ++r) {
            const int x0 = runs[r].m_nFirst;
            AddRun(labels[y * m_width + x0], y, x0, runs[r].m_nLast);
        }
    }
}
