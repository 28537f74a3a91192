// The motion update eight pixels at a time; the same images as the plain
// CalculateDiffFgImage.

#include <emmintrin.h>

#include "HandAnalysis/DUZFocusBackgroundModel.h"
#include "NACommon/NAFarfieldSSE.h"

using namespace na_sse;

void DUZFocusBackgroundModel::CalculateDiffFgImageSSE(int width, const unsigned short* current,
                                                      const Array2D<unsigned short>& foreground,
                                                      Array2D<unsigned short>& accumulated,
                                                      Array2D<unsigned short>& motion, const unsigned short* mask,
                                                      const Box2D<int>& box) {
    Box2D<int> window;
    if (!MotionWindow(width, foreground, accumulated, motion, box, window)) {
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = Splat(1);
    const __m128i threshold = Splat(kMotionThreshold);
    const __m128i frames = Splat(kMotionFrames);
    for (int y = window.min.y; y <= window.max.y; ++y) {
        for (int x = window.min.x; x <= window.max.x; x += 8) {
            const int i = y * width + x;
            uint16_t* accumulatedAt = accumulated.Data() + i;
            uint16_t* motionAt = motion.Data() + i;
            const __m128i d = Load(current + i);
            const __m128i a = Load(accumulatedAt);
            const __m128i c = Load(motionAt);
            const __m128i k = mask != nullptr ? Load(mask + i) : zero;
            const __m128i inForeground = _mm_cmpgt_epi16(Load(foreground.Data() + i), zero);
            const __m128i moved = GreaterUnsigned(AbsDiff(d, a), threshold);
            const __m128i stopped = IsZero(c);
            // Moving: the counter starts at 1 unless it runs already.
            const __m128i started = _mm_or_si128(c, _mm_and_si128(stopped, one));
            // Still: a running counter grows and ends past its limit.
            const __m128i grown = _mm_add_epi16(c, one);
            const __m128i limit = _mm_mullo_epi16(_mm_add_epi16(k, one), frames);
            const __m128i counted = _mm_andnot_si128(_mm_or_si128(stopped, _mm_cmpgt_epi16(grown, limit)), grown);
            const __m128i newA = Select(moved, d, _mm_avg_epu16(d, a));
            const __m128i newC = Select(moved, started, counted);
            Store(accumulatedAt, _mm_and_si128(inForeground, newA));
            Store(motionAt, _mm_and_si128(inForeground, newC));
        }
    }
}
