// Link maps of the run-based labelling path: whether each pixel is linked to
// its right neighbour and to the pixel below. Lanes are signed 16-bit, as the
// SSE2 comparisons are, so values of 32768 and more count as negative.

#include <emmintrin.h>

#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"

namespace {

constexpr XnUInt16 kSet = 0xFFFF;

// threshold + 1 as a signed 16-bit number: "small" means below it.
XnInt16 SmallLimit(XnInt32 threshold) {
    return static_cast<XnInt16>(static_cast<XnUInt16>(static_cast<XnUInt32>(threshold) + 1u));
}

// max - min of the signed values, wrapping, compared signed.
inline bool IsSmall(XnUInt16 a, XnUInt16 b, XnInt16 limit) {
    const XnInt16 sa = static_cast<XnInt16>(a);
    const XnInt16 sb = static_cast<XnInt16>(b);
    const XnUInt16 hi = static_cast<XnUInt16>(sa > sb ? sa : sb);
    const XnUInt16 lo = static_cast<XnUInt16>(sa > sb ? sb : sa);
    return static_cast<XnInt16>(static_cast<XnUInt16>(hi - lo)) < limit;
}

inline bool IsPositive(XnUInt16 a) {
    return static_cast<XnInt16>(a) > 0;
}

inline __m128i SmallLanes(__m128i a, __m128i b, __m128i limit) {
    return _mm_cmplt_epi16(_mm_sub_epi16(_mm_max_epi16(a, b), _mm_min_epi16(a, b)), limit);
}

inline __m128i Load(const XnUInt16* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store(XnUInt16* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Flags of one pixel; the last column has no right link and the last row of
// the stretch no down link.
inline void PixelLinks(const XnUInt16* a, XnInt32 x, XnInt32 width, bool hasBelow, XnInt16 limit,
                       XnUInt16* right, XnUInt16* down) {
    right[x] = (x + 1 < width && IsPositive(a[x]) && IsSmall(a[x], a[x + 1], limit)) ? kSet : 0;
    down[x] = (hasBelow && IsSmall(a[x], a[x + width], limit)) ? kSet : 0;
}

inline void PixelLinks(const XnUInt16* a, const XnUInt16* b, XnInt32 x, XnInt32 width, bool hasBelow,
                       XnInt16 limit, XnInt16 secondLimit, XnUInt16* right, XnUInt16* down) {
    right[x] = (x + 1 < width && IsPositive(a[x]) &&
                (IsSmall(a[x], a[x + 1], limit) || IsSmall(b[x], b[x + 1], secondLimit)))
                   ? kSet
                   : 0;
    down[x] = (hasBelow && (IsSmall(a[x], a[x + width], limit) || IsSmall(b[x], b[x + width], secondLimit)))
                  ? kSet
                  : 0;
}

}  // namespace

void ConnectedComponentDetector::Is_Touch(const XnUInt16* image, XnInt32 width, XnInt32 /*height*/,
                                          XnInt32 threshold, XnUInt16* rightLinks, XnUInt16* downLinks,
                                          XnInt32 firstRow, XnInt32 endRow) {
    const XnInt16 limit = SmallLimit(threshold);
    for (XnInt32 y = firstRow; y < endRow; ++y) {
        const XnInt32 row = y * width;
        const bool hasBelow = y + 1 < endRow;
        for (XnInt32 x = 0; x < width; ++x) {
            PixelLinks(image + row, x, width, hasBelow, limit, rightLinks + row, downLinks + row);
        }
    }
}

void ConnectedComponentDetector::Is_Touch(const XnUInt16* image, const XnUInt16* secondImage, XnInt32 width,
                                          XnInt32 /*height*/, XnInt32 threshold, XnInt32 secondThreshold,
                                          XnUInt16* rightLinks, XnUInt16* downLinks, XnInt32 firstRow,
                                          XnInt32 endRow) {
    const XnInt16 limit = SmallLimit(threshold);
    const XnInt16 secondLimit = SmallLimit(secondThreshold);
    for (XnInt32 y = firstRow; y < endRow; ++y) {
        const XnInt32 row = y * width;
        const bool hasBelow = y + 1 < endRow;
        for (XnInt32 x = 0; x < width; ++x) {
            PixelLinks(image + row, secondImage + row, x, width, hasBelow, limit, secondLimit, rightLinks + row,
                       downLinks + row);
        }
    }
}

void ConnectedComponentDetector::Is_Touch_SSE(const XnUInt16* image, XnInt32 width, XnInt32 /*height*/,
                                              XnInt32 threshold, XnUInt16* rightLinks, XnUInt16* downLinks,
                                              XnInt32 firstRow, XnInt32 endRow) {
    const XnInt16 limit = SmallLimit(threshold);
    const __m128i vLimit = _mm_set1_epi16(limit);
    const __m128i vZero = _mm_setzero_si128();
    for (XnInt32 y = firstRow; y < endRow; ++y) {
        const XnInt32 row = y * width;
        const XnUInt16* a = image + row;
        XnUInt16* right = rightLinks + row;
        XnUInt16* down = downLinks + row;
        const bool hasBelow = y + 1 < endRow;
        XnInt32 x = 0;
        // Blocks whose right neighbours all lie in the row; the rest, the
        // last column among them, is done pixel by pixel.
        for (; x + 8 < width; x += 8) {
            const __m128i va = Load(a + x);
            const __m128i vRight = SmallLanes(va, Load(a + x + 1), vLimit);
            Store(right + x, _mm_and_si128(vRight, _mm_cmpgt_epi16(va, vZero)));
            Store(down + x, hasBelow ? SmallLanes(va, Load(a + x + width), vLimit) : vZero);
        }
        for (; x < width; ++x) {
            PixelLinks(a, x, width, hasBelow, limit, right, down);
        }
    }
}

void ConnectedComponentDetector::Is_Touch_SSE(const XnUInt16* image, const XnUInt16* secondImage, XnInt32 width,
                                              XnInt32 /*height*/, XnInt32 threshold, XnInt32 secondThreshold,
                                              XnUInt16* rightLinks, XnUInt16* downLinks, XnInt32 firstRow,
                                              XnInt32 endRow) {
    const XnInt16 limit = SmallLimit(threshold);
    const XnInt16 secondLimit = SmallLimit(secondThreshold);
    const __m128i vLimit = _mm_set1_epi16(limit);
    const __m128i vSecondLimit = _mm_set1_epi16(secondLimit);
    const __m128i vZero = _mm_setzero_si128();
    for (XnInt32 y = firstRow; y < endRow; ++y) {
        const XnInt32 row = y * width;
        const XnUInt16* a = image + row;
        const XnUInt16* b = secondImage + row;
        XnUInt16* right = rightLinks + row;
        XnUInt16* down = downLinks + row;
        const bool hasBelow = y + 1 < endRow;
        XnInt32 x = 0;
        for (; x + 8 < width; x += 8) {
            const __m128i va = Load(a + x);
            const __m128i vb = Load(b + x);
            const __m128i vRight = _mm_or_si128(SmallLanes(va, Load(a + x + 1), vLimit),
                                                SmallLanes(vb, Load(b + x + 1), vSecondLimit));
            Store(right + x, _mm_and_si128(vRight, _mm_cmpgt_epi16(va, vZero)));
            if (hasBelow) {
                Store(down + x, _mm_or_si128(SmallLanes(va, Load(a + x + width), vLimit),
                                             SmallLanes(vb, Load(b + x + width), vSecondLimit)));
            } else {
                Store(down + x, vZero);
            }
        }
        for (; x < width; ++x) {
            PixelLinks(a, b, x, width, hasBelow, limit, secondLimit, right, down);
        }
    }
}
