#include "QuorLibrary/SensorUtilities/Morphology.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

struct MaxOp {
    static constexpr short kNeutral = 0;
    static __m128i Combine(__m128i a, __m128i b) { return _mm_max_epi16(a, b); }
    static short Combine(short a, short b) { return a > b ? a : b; }
};

struct MinOp {
    static constexpr short kNeutral = 32767;
    static __m128i Combine(__m128i a, __m128i b) { return _mm_min_epi16(a, b); }
    static short Combine(short a, short b) { return a < b ? a : b; }
};

// What a filter call writes, after validation and clipping.
struct FilterArea {
    ptrdiff_t nStride;
    int nFirstColumn;
    int nLastColumn;
    int nFirstRow;
    int nLastRow;
    int nFirstBlock;
    int nLastBlock;
    int nLeft;   // columns the kernel reaches to the left
    int nRight;  // and to the right
    int nReach;  // rows above and below
};

bool KernelReach(int kernelWidth, int kernelHeight, int& left, int& right, int& reach) {
    const bool supported = (kernelHeight == 3 && (kernelWidth == 3 || kernelWidth == 4)) ||
                           (kernelHeight == 5 && kernelWidth >= 3 && kernelWidth <= 6);
    if (!supported) {
        return false;
    }
    left = kernelWidth / 2;
    right = (kernelWidth - 1) / 2;
    reach = kernelHeight / 2;
    return true;
}

bool RowsOverlap(const short* pA, const short* pB, ptrdiff_t first, ptrdiff_t last) {
    const uintptr_t a0 = reinterpret_cast<uintptr_t>(pA + first);
    const uintptr_t a1 = reinterpret_cast<uintptr_t>(pA + last);
    const uintptr_t b0 = reinterpret_cast<uintptr_t>(pB + first);
    const uintptr_t b1 = reinterpret_cast<uintptr_t>(pB + last);
    return a0 < b1 && b0 < a1;
}

// False when nothing is to be written. A window reaching beyond the image
// would read and write outside it, so it is clipped to the image first.
bool PrepareFilter(const short* pSource, const short* pDestination, int width, int height, int firstColumn,
                   int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight, FilterArea& area) {
    if (width <= 0 || width % 8 != 0 || height <= 0 || lastColumn < 0 || pSource == nullptr ||
        pDestination == nullptr || !KernelReach(kernelWidth, kernelHeight, area.nLeft, area.nRight, area.nReach)) {
        return false;
    }
    area.nFirstRow = std::max(firstRow, 0);
    area.nLastRow = std::min(lastRow, height - 1);
    area.nFirstColumn = std::max(firstColumn, 0);
    area.nLastColumn = std::min(lastColumn, width - 1);
    area.nFirstBlock = area.nFirstColumn / 8;
    area.nLastBlock = area.nLastColumn / 8;
    if (area.nFirstRow > area.nLastRow || area.nFirstBlock > area.nLastBlock) {
        return false;
    }
    area.nStride = width;
    // Filtering in place would read pixels already written.
    return !RowsOverlap(pSource, pDestination, area.nFirstRow * area.nStride, (area.nLastRow + 1) * area.nStride);
}

// Lane i of the result is lane i + n of the pair (cur, next).
template <int n>
__m128i FromHigherLanes(__m128i cur, __m128i next) {
    return _mm_or_si128(_mm_srli_si128(cur, 2 * n), _mm_slli_si128(next, 16 - 2 * n));
}

// Lane i of the result is lane i - n of the pair (prev, cur).
template <int n>
__m128i FromLowerLanes(__m128i prev, __m128i cur) {
    return _mm_or_si128(_mm_slli_si128(cur, 2 * n), _mm_srli_si128(prev, 16 - 2 * n));
}

template <class Op, int kLeft, int kRight>
__m128i CombineColumns(__m128i prev, __m128i cur, __m128i next) {
    __m128i result = Op::Combine(cur, FromLowerLanes<1>(prev, cur));
    if constexpr (kLeft >= 2) {
        result = Op::Combine(result, FromLowerLanes<2>(prev, cur));
    }
    if constexpr (kLeft >= 3) {
        result = Op::Combine(result, FromLowerLanes<3>(prev, cur));
    }
    result = Op::Combine(result, FromHigherLanes<1>(cur, next));
    if constexpr (kRight >= 2) {
        result = Op::Combine(result, FromHigherLanes<2>(cur, next));
    }
    return result;
}

template <class Op>
__m128i CombineRows(const short* pTop, int nRows, ptrdiff_t stride) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pTop));
    for (int i = 1; i < nRows; ++i) {
        v = Op::Combine(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(pTop + i * stride)));
    }
    return v;
}

inline __m128i Select(__m128i keep, __m128i value, __m128i otherwise) {
    return _mm_or_si128(_mm_and_si128(keep, value), _mm_andnot_si128(keep, otherwise));
}

// Per output row: the kernel rows are combined lane by lane for each block,
// columns outside the window take the neutral value, and each output block is
// formed from its own combined block and its two neighbours once the right
// neighbour is known. Blocks beyond the widened window are all neutral.
template <class Op, int kLeft, int kRight>
void FilterSSE(const short* pSource, short* pDestination, const FilterArea& a) {
    const __m128i neutral = _mm_set1_epi16(Op::kNeutral);
    const __m128i lanes = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    const __m128i keepFrom = _mm_cmpgt_epi16(lanes, _mm_set1_epi16(static_cast<short>((a.nFirstColumn & 7) - 1)));
    const __m128i keepTo = _mm_cmplt_epi16(lanes, _mm_set1_epi16(static_cast<short>((a.nLastColumn & 7) + 1)));
    const bool oneBlock = a.nFirstBlock == a.nLastBlock;
    const __m128i keepFirst = oneBlock ? _mm_and_si128(keepFrom, keepTo) : keepFrom;
    const __m128i keepLast = oneBlock ? keepFirst : keepTo;
    const ptrdiff_t stride = a.nStride;

    for (int y = a.nFirstRow; y <= a.nLastRow; ++y) {
        const int top = std::max(a.nFirstRow, y - a.nReach);
        const int bottom = std::min(a.nLastRow, y + a.nReach);
        const int nRows = bottom - top + 1;
        const short* pTop = pSource + top * stride;
        short* pOut = pDestination + y * stride;

        __m128i prev = neutral;
        __m128i cur = Select(keepFirst, CombineRows<Op>(pTop + 8 * a.nFirstBlock, nRows, stride), neutral);
        for (int b = a.nFirstBlock; b <= a.nLastBlock; ++b) {
            __m128i next = neutral;
            if (b + 1 < a.nLastBlock) {
                next = CombineRows<Op>(pTop + 8 * (b + 1), nRows, stride);
            } else if (b + 1 == a.nLastBlock) {
                next = Select(keepLast, CombineRows<Op>(pTop + 8 * (b + 1), nRows, stride), neutral);
            }
            __m128i out = CombineColumns<Op, kLeft, kRight>(prev, cur, next);
            if (b == a.nFirstBlock) {
                out = _mm_and_si128(out, keepFirst);
            } else if (b == a.nLastBlock) {
                out = _mm_and_si128(out, keepLast);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 8 * b), out);
            prev = cur;
            cur = next;
        }
    }
}

template <class Op>
void DispatchSSE(const short* pSource, short* pDestination, const FilterArea& a) {
    if (a.nLeft == 1 && a.nRight == 1) {
        FilterSSE<Op, 1, 1>(pSource, pDestination, a);
    } else if (a.nLeft == 2 && a.nRight == 1) {
        FilterSSE<Op, 2, 1>(pSource, pDestination, a);
    } else if (a.nLeft == 2 && a.nRight == 2) {
        FilterSSE<Op, 2, 2>(pSource, pDestination, a);
    } else {
        FilterSSE<Op, 3, 2>(pSource, pDestination, a);
    }
}

// A pixel whose kernel reaches past a side of the window starts from the
// neutral value; the rest of its neighbourhood is clipped to the window.
template <class Op>
void FilterPlain(const short* pSource, short* pDestination, const FilterArea& a) {
    const ptrdiff_t stride = a.nStride;
    const int firstWritten = a.nFirstBlock * 8;
    const int lastWritten = a.nLastBlock * 8 + 7;
    for (int y = a.nFirstRow; y <= a.nLastRow; ++y) {
        const int top = std::max(a.nFirstRow, y - a.nReach);
        const int bottom = std::min(a.nLastRow, y + a.nReach);
        short* pOut = pDestination + y * stride;
        for (int x = firstWritten; x <= lastWritten; ++x) {
            if (x < a.nFirstColumn || x > a.nLastColumn) {
                pOut[x] = 0;
                continue;
            }
            const int left = x - a.nLeft;
            const int right = x + a.nRight;
            short value = pSource[top * stride + x];
            if (left < a.nFirstColumn || right > a.nLastColumn) {
                value = Op::kNeutral;
            }
            for (int r = top; r <= bottom; ++r) {
                const short* pRow = pSource + r * stride;
                for (int c = std::max(left, a.nFirstColumn); c <= std::min(right, a.nLastColumn); ++c) {
                    value = Op::Combine(value, pRow[c]);
                }
            }
            pOut[x] = value;
        }
    }
}

}  // namespace

void Morphology::DilateSSE(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                           int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight) {
    FilterArea area;
    if (PrepareFilter(pSource, pDestination, width, height, firstColumn, lastColumn, firstRow, lastRow, kernelWidth,
                      kernelHeight, area)) {
        DispatchSSE<MaxOp>(pSource, pDestination, area);
    }
}

void Morphology::ErodeSSE(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                          int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight) {
    FilterArea area;
    if (PrepareFilter(pSource, pDestination, width, height, firstColumn, lastColumn, firstRow, lastRow, kernelWidth,
                      kernelHeight, area)) {
        DispatchSSE<MinOp>(pSource, pDestination, area);
    }
}

void Morphology::DilatePlain(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                             int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight) {
    FilterArea area;
    if (PrepareFilter(pSource, pDestination, width, height, firstColumn, lastColumn, firstRow, lastRow, kernelWidth,
                      kernelHeight, area)) {
        FilterPlain<MaxOp>(pSource, pDestination, area);
    }
}

void Morphology::ErodePlain(const short* pSource, short* pDestination, int width, int height, int firstColumn,
                            int lastColumn, int firstRow, int lastRow, int kernelWidth, int kernelHeight) {
    FilterArea area;
    if (PrepareFilter(pSource, pDestination, width, height, firstColumn, lastColumn, firstRow, lastRow, kernelWidth,
                      kernelHeight, area)) {
        FilterPlain<MinOp>(pSource, pDestination, area);
    }
}

void Morphology::PrepareVectorMask(__m128i* pMask, int n, bool towardsHigherLanes) {
    if (pMask == nullptr) {
        return;
    }
    __m128i& v = *pMask;
    if (towardsHigherLanes) {
        switch (n) {
            case 1: v = _mm_slli_si128(v, 2); break;
            case 2: v = _mm_slli_si128(v, 4); break;
            case 3: v = _mm_slli_si128(v, 6); break;
            case 4: v = _mm_slli_si128(v, 8); break;
            case 5: v = _mm_slli_si128(v, 10); break;
            case 6: v = _mm_slli_si128(v, 12); break;
            case 7: v = _mm_slli_si128(v, 14); break;
            default: break;
        }
    } else {
        switch (n) {
            case 1: v = _mm_srli_si128(v, 2); break;
            case 2: v = _mm_srli_si128(v, 4); break;
            case 3: v = _mm_srli_si128(v, 6); break;
            case 4: v = _mm_srli_si128(v, 8); break;
            case 5: v = _mm_srli_si128(v, 10); break;
            case 6: v = _mm_srli_si128(v, 12); break;
            case 7: v = _mm_srli_si128(v, 14); break;
            default: break;
        }
    }
}

template <typename T>
void Morphology::MinFilter(const Box2D<int>& kernel, const Array2D<T>& source, const Box2D<int>& window,
                           Array2D<T>& destination) {
    const int rows = source.Rows();
    const int columns = source.Columns();
    destination.SetSize(rows, columns, false);

    // A destination sharing the source's pixels would feed written minima
    // back into later neighbourhoods.
    const T* pSource = source.Data();
    Array2D<T> copy;
    const uintptr_t s0 = reinterpret_cast<uintptr_t>(source.Data());
    const uintptr_t s1 = reinterpret_cast<uintptr_t>(source.Data() + source.Size());
    const uintptr_t d0 = reinterpret_cast<uintptr_t>(destination.Data());
    const uintptr_t d1 = reinterpret_cast<uintptr_t>(destination.Data() + destination.Size());
    if (s0 < d1 && d0 < s1) {
        copy = source;
        pSource = copy.Data();
    }

    // Windows beyond the image would be read and written outside it.
    const int64_t firstRow = std::max<int64_t>(window.min.x, 0);
    const int64_t lastRow = std::min<int64_t>(window.max.x, rows - 1);
    const int64_t firstColumn = std::max<int64_t>(window.min.y, 0);
    const int64_t lastColumn = std::min<int64_t>(window.max.y, columns - 1);
    for (int64_t r = firstRow; r <= lastRow; ++r) {
        const int64_t top = std::max<int64_t>(firstRow, r + kernel.min.x);
        const int64_t bottom = std::min<int64_t>(lastRow, r + kernel.max.x);
        for (int64_t c = firstColumn; c <= lastColumn; ++c) {
            const int64_t left = std::max<int64_t>(firstColumn, c + kernel.min.y);
            const int64_t right = std::min<int64_t>(lastColumn, c + kernel.max.y);
            T value = std::numeric_limits<T>::max();
            for (int64_t i = top; i <= bottom; ++i) {
                const T* pRow = pSource + i * columns;
                for (int64_t j = left; j <= right; ++j) {
                    value = std::min(value, pRow[j]);
                }
            }
            destination.Data()[r * columns + c] = value;
        }
    }
}

template void Morphology::MinFilter<unsigned short>(const Box2D<int>&, const Array2D<unsigned short>&,
                                                    const Box2D<int>&, Array2D<unsigned short>&);
