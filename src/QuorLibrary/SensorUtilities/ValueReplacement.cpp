#include "QuorLibrary/SensorUtilities/ValueReplacement.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstddef>

namespace {

// Rows and columns a replacement covers, inclusive; columns are widened to
// whole blocks by the block-based forms.
struct ReplacementArea {
    ptrdiff_t nFirstRow;
    ptrdiff_t nLastRow;
    ptrdiff_t nFirstColumn;
    ptrdiff_t nLastColumn;
};

// False when the area is empty. A window reaching beyond the image would be
// read and written outside it, so it is clipped to the image.
bool AreaOf(uint32_t width, uint32_t height, const Box2D<int>* pWindow, ReplacementArea& area) {
    if (width == 0 || height == 0) {
        return false;
    }
    area.nFirstRow = 0;
    area.nLastRow = static_cast<ptrdiff_t>(height) - 1;
    area.nFirstColumn = 0;
    area.nLastColumn = static_cast<ptrdiff_t>(width) - 1;
    if (pWindow != nullptr) {
        area.nFirstRow = std::max<ptrdiff_t>(area.nFirstRow, pWindow->min.y);
        area.nLastRow = std::min<ptrdiff_t>(area.nLastRow, pWindow->max.y);
        area.nFirstColumn = std::max<ptrdiff_t>(area.nFirstColumn, pWindow->min.x);
        area.nLastColumn = std::min<ptrdiff_t>(area.nLastColumn, pWindow->max.x);
    }
    return area.nFirstRow <= area.nLastRow && area.nFirstColumn <= area.nLastColumn;
}

bool BlockAreaOf(uint32_t width, uint32_t height, const Box2D<int>* pWindow, ReplacementArea& area) {
    if (width % 8 != 0 || !AreaOf(width, height, pWindow, area)) {
        return false;
    }
    area.nFirstColumn &= ~static_cast<ptrdiff_t>(7);
    area.nLastColumn |= 7;
    return true;
}

// Storing every block, changed or not, serves both the in-place and the
// copying use.
void ReplaceBlocksSSE(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short match,
                      short replacement, const Box2D<int>* pWindow) {
    ReplacementArea a;
    if (pSource == nullptr || pDestination == nullptr || !BlockAreaOf(width, height, pWindow, a)) {
        return;
    }
    const __m128i vMatch = _mm_set1_epi16(match);
    const __m128i vReplacement = _mm_set1_epi16(replacement);
    for (ptrdiff_t y = a.nFirstRow; y <= a.nLastRow; ++y) {
        const ptrdiff_t row = y * static_cast<ptrdiff_t>(width);
        for (ptrdiff_t x = a.nFirstColumn; x <= a.nLastColumn; x += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSource + row + x));
            const __m128i hit = _mm_cmpeq_epi16(v, vMatch);
            const __m128i out = _mm_or_si128(_mm_andnot_si128(hit, v), _mm_and_si128(hit, vReplacement));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pDestination + row + x), out);
        }
    }
}

void ReplaceBlocksPlain(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short match,
                        short replacement, const Box2D<int>* pWindow) {
    ReplacementArea a;
    if (pSource == nullptr || pDestination == nullptr || !BlockAreaOf(width, height, pWindow, a)) {
        return;
    }
    for (ptrdiff_t y = a.nFirstRow; y <= a.nLastRow; ++y) {
        const ptrdiff_t row = y * static_cast<ptrdiff_t>(width);
        for (ptrdiff_t x = a.nFirstColumn; x <= a.nLastColumn; ++x) {
            const short v = pSource[row + x];
            pDestination[row + x] = v == match ? replacement : v;
        }
    }
}

}  // namespace

void ReplaceZeroWithValueSSE(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short value,
                             const Box2D<int>* pWindow) {
    ReplaceBlocksSSE(pSource, pDestination, width, height, 0, value, pWindow);
}

void ReplaceZeroWithValuePlain(const short* pSource, short* pDestination, uint32_t width, uint32_t height,
                               short value, const Box2D<int>* pWindow) {
    ReplaceBlocksPlain(pSource, pDestination, width, height, 0, value, pWindow);
}

void ReplaceValueWithZeroSSE(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short value,
                             const Box2D<int>* pWindow) {
    ReplaceBlocksSSE(pSource, pDestination, width, height, value, 0, pWindow);
}

void ReplaceValueWithZeroPlain(const short* pSource, short* pDestination, uint32_t width, uint32_t height,
                               short value, const Box2D<int>* pWindow) {
    ReplaceBlocksPlain(pSource, pDestination, width, height, value, 0, pWindow);
}

void ReplaceValueWithZero(const short* pSource, short* pDestination, uint32_t width, uint32_t height, short value,
                          const Box2D<int>* pWindow) {
    ReplacementArea a;
    if (pSource == nullptr || pDestination == nullptr || !AreaOf(width, height, pWindow, a)) {
        return;
    }
    for (ptrdiff_t y = a.nFirstRow; y <= a.nLastRow; ++y) {
        const ptrdiff_t row = y * static_cast<ptrdiff_t>(width);
        for (ptrdiff_t x = a.nFirstColumn; x <= a.nLastColumn; ++x) {
            if (pSource[row + x] == value) {
                pDestination[row + x] = 0;
            }
        }
    }
}
