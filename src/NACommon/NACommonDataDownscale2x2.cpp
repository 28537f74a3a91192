// Reductions by 2, the most frequent (pyramid levels one step apart): SSSE3
// kernels chosen at run time, and plain twins that give the same results on
// any processor. Only the kernels are compiled for SSSE3, so the rest of the
// build stays SSE2.

#include <tmmintrin.h>

#include <algorithm>

#include "NACommon/NACommonData.h"

namespace {

// Makes `count` target pixels of one target row from the source row `top`
// and the one below it, `bottom`.
using RowKernel = void (*)(const unsigned short* top, const unsigned short* bottom, unsigned short* out, int count);

inline unsigned short SubsamplePixel(const unsigned short* top, const unsigned short*, int i) { return top[2 * i]; }

// ((a + b) + (c + d)) >> 2 in wrapping 16-bit sums; 0 when any is 0.
inline unsigned short AveragePixel(const unsigned short* top, const unsigned short* bottom, int i) {
    const unsigned short a = top[2 * i];
    const unsigned short b = top[2 * i + 1];
    const unsigned short c = bottom[2 * i];
    const unsigned short d = bottom[2 * i + 1];
    if (a == 0 || b == 0 || c == 0 || d == 0) {
        return 0;
    }
    const unsigned short upper = static_cast<unsigned short>(a + b);
    const unsigned short lower = static_cast<unsigned short>(c + d);
    return static_cast<unsigned short>(static_cast<unsigned short>(upper + lower) >> 2);
}

void SubsampleRowPlain(const unsigned short* top, const unsigned short* bottom, unsigned short* out, int count) {
    for (int i = 0; i < count; ++i) {
        out[i] = SubsamplePixel(top, bottom, i);
    }
}

void AverageRowPlain(const unsigned short* top, const unsigned short* bottom, unsigned short* out, int count) {
    for (int i = 0; i < count; ++i) {
        out[i] = AveragePixel(top, bottom, i);
    }
}

// 16 source pixels per step; the last 4 target pixels of a row whose span
// is 8 pixels longer than a multiple of 16 are made one by one.
__attribute__((target("ssse3"))) void SubsampleRowSSSE3(const unsigned short* top, const unsigned short* bottom,
                                                         unsigned short* out, int count) {
    const __m128i evens = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * i + 8));
        const __m128i packed = _mm_unpacklo_epi64(_mm_shuffle_epi8(low, evens), _mm_shuffle_epi8(high, evens));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
    for (; i < count; ++i) {
        out[i] = SubsamplePixel(top, bottom, i);
    }
}

__attribute__((target("ssse3"))) void AverageRowSSSE3(const unsigned short* top, const unsigned short* bottom,
                                                       unsigned short* out, int count) {
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * i));
        const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 2 * i + 8));
        const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 2 * i));
        const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 2 * i + 8));
        // Pair sums, wrapping: a + b of the upper row, c + d of the lower.
        const __m128i sum = _mm_add_epi16(_mm_hadd_epi16(a0, a1), _mm_hadd_epi16(b0, b1));
        const __m128i average = _mm_srli_epi16(sum, 2);
        // A pair holding a zero sums its all-ones flags to a non-zero value.
        const __m128i holes = _mm_or_si128(
            _mm_hadd_epi16(_mm_cmpeq_epi16(a0, zero), _mm_cmpeq_epi16(a1, zero)),
            _mm_hadd_epi16(_mm_cmpeq_epi16(b0, zero), _mm_cmpeq_epi16(b1, zero)));
        const __m128i result = _mm_and_si128(average, _mm_cmpeq_epi16(holes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), result);
    }
    for (; i < count; ++i) {
        out[i] = AveragePixel(top, bottom, i);
    }
}

// Walks the row pairs and column span of a 2x2 reduction and runs the kernel
// on each: without a window the whole map, with one its rows and its
// columns from min x rounded down to a multiple of 8 to the end of max x's
// group of 8, clipped to the map. Only whole 2x2 blocks are made, so the
// target is (width / 2) x (height / 2). A width that is not a multiple of 8
// makes nothing.
void Walk2x2(const unsigned short* source, unsigned short* target, int width, int height, const Box2D<int>* window,
             RowKernel kernel) {
    if (width % 8 != 0 || width <= 0 || height <= 1) {
        return;
    }
    int firstRow = 0;
    int lastRow = height - 1;
    int firstColumn = 0;
    int endColumn = width;
    if (window != nullptr) {
        firstRow = std::max(window->min.y, 0);
        lastRow = std::min(window->max.y, height - 1);
        firstColumn = std::max(window->min.x, 0) & ~7;
        endColumn = std::min((window->max.x | 7) + 1, width);
    }
    if (endColumn <= firstColumn) {
        return;
    }
    const int targetWidth = width / 2;
    for (int y = firstRow; y <= lastRow && y + 1 < height; y += 2) {
        const unsigned short* top = source + static_cast<long>(y) * width + firstColumn;
        kernel(top, top + width, target + static_cast<long>(y / 2) * targetWidth + firstColumn / 2,
               (endColumn - firstColumn) / 2);
    }
}

}  // namespace

void NACommonData::Downscale2x2SSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                   unsigned short height, const Box2D<int>* window) {
    Walk2x2(source, target, width, height, window, &SubsampleRowSSSE3);
}

void NACommonData::Downscale2x2SmoothSSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                         unsigned short height, const Box2D<int>* window) {
    Walk2x2(source, target, width, height, window, &AverageRowSSSE3);
}

void NACommonData::Downscale2x2NoSSE(const unsigned short* source, unsigned short* target, unsigned short width,
                                     unsigned short height, const Box2D<int>* window) {
    Walk2x2(source, target, width, height, window, &SubsampleRowPlain);
}

void NACommonData::Downscale2x2SmoothNoSSE(const unsigned short* source, unsigned short* target,
                                           unsigned short width, unsigned short height, const Box2D<int>* window) {
    Walk2x2(source, target, width, height, window, &AverageRowPlain);
}
