// The maps hand candidates are found on: depth differences, the distance
// below the last top edge of each column, and the pixels that lie within a
// span of a depth jump on their left and of one on their right.

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "HandAnalysis/DUZHandDetector.h"
#include "NACommon/NAConverterTables.h"

namespace {

// The depth a pixel without depth takes in the differences.
constexpr short kNoDepth = 10000;
// The vertical distance of a pixel far from (or without) a top edge.
constexpr short kFar = 50;
// A pixel whose upper neighbour is this much farther lies on a top edge.
constexpr short kTopEdgeJump = 150;

// Both edge-map steps work on whole 8-column blocks: the box's left goes
// down to a block start and its right to a block end. Negative lefts round
// down as well.
void RoundToBlocks(Box2D<int>& box) {
    box.min.x &= ~7;
    box.max.x |= 7;
}

// The whole blocks of a box inside the container's depth map, which the
// vectorised steps work on.
struct BlockArea {
    int width, height;
    int x0, y0, x1, y1;
};

// Rounds the box to blocks; false when there is nothing to do: no map, a
// width that is not whole blocks or longer than the row buffers, or no
// part of the box inside the map.
bool BlockAreaOf(const NADepthMapContainer* container, Box2D<int>& box, bool hasBuffers, BlockArea& area) {
    RoundToBlocks(box);
    if (container == nullptr || container->m_depth == nullptr || container->m_depth->Data() == nullptr ||
        container->m_converter == nullptr || !hasBuffers) {
        return false;
    }
    area.width = container->m_depth->XRes();
    area.height = container->m_depth->YRes();
    area.x0 = std::max(box.min.x, 0);
    area.y0 = std::max(box.min.y, 0);
    area.x1 = std::min(box.max.x, area.width - 1);
    area.y1 = std::min(box.max.y, area.height - 1);
    return area.width % 8 == 0 && area.width <= DUZHandDetector::kRowLength && area.x0 <= area.x1 &&
           area.y0 <= area.y1;
}

inline __m128i WithDepth(__m128i depth, __m128i noDepth) {
    const __m128i missing = _mm_cmpeq_epi16(depth, _mm_setzero_si128());
    return _mm_or_si128(_mm_andnot_si128(missing, depth), _mm_and_si128(missing, noDepth));
}

inline __m128i Select(__m128i condition, __m128i ifSet, __m128i ifClear) {
    return _mm_or_si128(_mm_and_si128(condition, ifSet), _mm_andnot_si128(condition, ifClear));
}

// The span in pixels at depth d, rounded; the row buffers hold 16 bits.
inline int SpanPixels(int span, const WorldPointConverterBase<float>& converter, int d) {
    const float pixels = std::floor(static_cast<float>(span) * InvPixelSizeAt(converter, d) + 0.5f);
    return pixels < 65535.0f ? static_cast<int>(pixels) : 65535;
}

// One row of DistanceFromEdges: the counters of the left and right passes
// start at the span in pixels on a jump and decay by one per pixel away
// from it; with the vertical-distance map, a far pixel resets them.
struct RowPass {
    const WorldPointConverterBase<float>& converter;
    int left;
    int right;
    int jump;
    int span;
    int maxDepth;
    unsigned short* leftPass;
    unsigned short* rightPass;

    template <bool kVertical>
    void Run(const XnDepthPixel* row, const short* dx, const unsigned short* far, unsigned short* out) const {
        int counter = 0;
        leftPass[left] = 0;
        for (int x = left + 1; x <= right; ++x) {
            if (kVertical && far[x] > kFar - 1) {
                counter = 0;
            } else if (dx[x] < -jump) {
                counter = SpanPixels(span, converter, row[x]);
            } else {
                counter = counter > 0 ? counter - 1 : 0;
            }
            leftPass[x] = static_cast<unsigned short>(counter);
        }
        counter = 0;
        rightPass[right] = 0;
        for (int x = right - 1; x >= left; --x) {
            if (kVertical && far[x] > kFar - 1) {
                counter = 0;
            } else if (dx[x + 1] > jump) {
                counter = SpanPixels(span, converter, row[x]);
            } else {
                counter = counter > 0 ? counter - 1 : 0;
            }
            rightPass[x] = static_cast<unsigned short>(counter);
            const int d = row[x];
            bool keep = false;
            if (d != 0 && d < maxDepth) {
                keep = kVertical ? leftPass[x] != 0 && counter != 0
                                 : leftPass[x] + counter > SpanPixels(span, converter, d);
            }
            out[x] = keep ? static_cast<unsigned short>(d) : 0;
        }
    }
};

}  // namespace

void DUZHandDetector::ComputeSobel(const NADepthMapContainer* container, short* horizontal, short* vertical,
                                   Box2D<int>& box) {
    BlockArea area;
    if (!BlockAreaOf(container, box, HasBuffers(), area)) {
        return;
    }
    const int width = area.width;
    const int x0 = area.x0, y0 = area.y0, x1 = area.x1, y1 = area.y1;
    const NAResolution resolution = NAResolutionOfSize(width, area.height);
    const __m128i laneMask = IsSizedNAResolution(resolution)
                                 ? _mm_load_si128(reinterpret_cast<const __m128i*>(
                                       m_laneMasks[NAResolutionIndex(resolution)]))
                                 : _mm_set1_epi16(-1);
    const __m128i noDepth = _mm_set1_epi16(kNoDepth);
    const XnDepthPixel* depth = container->m_depth->Data();

    // The first row has no upper neighbours: both differences 0.
    std::copy(depth + y0 * width + x0, depth + y0 * width + x1 + 1, m_upperRow + x0);
    std::fill(horizontal + y0 * width + x0, horizontal + y0 * width + x1 + 1, 0);
    std::fill(vertical + y0 * width + x0, vertical + y0 * width + x1 + 1, 0);
    // The left neighbour of a block's first lane is the last lane of the
    // block before it; a row's first block takes the previous row's last.
    __m128i previous = WithDepth(_mm_loadu_si128(reinterpret_cast<const __m128i*>(depth + y0 * width + x1 - 7)),
                                 noDepth);
    for (int y = y0 + 1; y <= y1; ++y) {
        const XnDepthPixel* row = depth + y * width;
        short* dx = horizontal + y * width;
        short* dy = vertical + y * width;
        for (int x = x0; x <= x1; x += 8) {
            const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            const __m128i current = WithDepth(raw, noDepth);
            const __m128i upper = WithDepth(_mm_load_si128(reinterpret_cast<const __m128i*>(m_upperRow + x)), noDepth);
            const __m128i left = _mm_or_si128(_mm_slli_si128(current, 2), _mm_srli_si128(previous, 14));
            __m128i differenceX = _mm_sub_epi16(current, left);
            __m128i differenceY = _mm_sub_epi16(upper, current);
            if (x == x0) {
                differenceX = _mm_and_si128(differenceX, laneMask);
                differenceY = _mm_and_si128(differenceY, laneMask);
            }
            _mm_store_si128(reinterpret_cast<__m128i*>(dx + x), differenceX);
            _mm_store_si128(reinterpret_cast<__m128i*>(dy + x), differenceY);
            _mm_store_si128(reinterpret_cast<__m128i*>(m_upperRow + x), raw);
            previous = current;
        }
    }
}

void DUZHandDetector::VerticalDistance(const NADepthMapContainer* container, const short* vertical,
                                       unsigned short* output, Box2D<int>& box) {
    BlockArea area;
    if (!BlockAreaOf(container, box, HasBuffers(), area)) {
        return;
    }
    const int width = area.width;
    const int x0 = area.x0, y0 = area.y0, x1 = area.x1, y1 = area.y1;
    // Rows at the edge's depth (in 16-mm units) times the rows counted stay
    // below this while they span less than 150 mm.
    const int threshold = static_cast<int>(150.0f / (container->m_converter->m_fPixelSizeFactor * 16.0f));
    const __m128i vThreshold = _mm_set1_epi16(static_cast<short>(std::min(threshold, 32767)));
    const __m128i vTopEdge = _mm_set1_epi16(kTopEdgeJump);
    const __m128i vFar = _mm_set1_epi16(kFar);
    const __m128i vOne = _mm_set1_epi16(1);
    const XnDepthPixel* depth = container->m_depth->Data();

    // The first row is far from any edge; the upper-row buffer holds each
    // column's edge depth.
    std::fill(output + y0 * width + x0, output + y0 * width + x1 + 1, static_cast<unsigned short>(kFar));
    std::fill(m_upperRow + x0, m_upperRow + x1 + 1, static_cast<unsigned short>(kNoDepth));
    for (int y = y0 + 1; y <= y1; ++y) {
        const XnDepthPixel* row = depth + y * width;
        const short* dy = vertical + y * width;
        unsigned short* out = output + y * width;
        const unsigned short* above = output + (y - 1) * width;
        for (int x = x0; x <= x1; x += 8) {
            const __m128i topEdge =
                _mm_cmpgt_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(dy + x)), vTopEdge);
            const __m128i edgeDepth = _mm_load_si128(reinterpret_cast<const __m128i*>(m_upperRow + x));
            const __m128i rows = _mm_load_si128(reinterpret_cast<const __m128i*>(above + x));
            const __m128i near = _mm_cmplt_epi16(_mm_mullo_epi16(_mm_srli_epi16(edgeDepth, 4), rows), vThreshold);
            const __m128i counted = Select(near, _mm_add_epi16(rows, vOne), vFar);
            _mm_store_si128(reinterpret_cast<__m128i*>(out + x), _mm_andnot_si128(topEdge, counted));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            _mm_store_si128(reinterpret_cast<__m128i*>(m_upperRow + x), Select(topEdge, d, edgeDepth));
        }
    }
}

void DUZHandDetector::DistanceFromEdges(const NADepthMapContainer* container, Box2D<int>& box,
                                        const short* horizontal, short jump, short span,
                                        const unsigned short* verticalDistance, int verticalSwitch,
                                        unsigned short* output) {
    if (container == nullptr || container->m_depth == nullptr || container->m_depth->Data() == nullptr ||
        container->m_converter == nullptr) {
        return;
    }
    const xn::DepthMetaData& depthMap = *container->m_depth;
    const WorldPointConverterBase<float>& converter = *container->m_converter;
    const int width = depthMap.XRes();
    const int height = depthMap.YRes();
    // Columns left of the margin have no usable horizontal differences.
    const int margin = static_cast<int>(width * 8.0 / 640.0);
    box.min.x = std::max(box.min.x, margin);
    box.min.y = std::max(box.min.y, 0);
    box.max.x = std::min(box.max.x, width - 1);
    box.max.y = std::min(box.max.y, height - 1);
    if (!HasBuffers() || width > kRowLength || (verticalSwitch != 0 && verticalDistance == nullptr)) {
        return;
    }
    const int left = box.min.x;
    const int right = box.max.x;
    if (left > right) {
        return;
    }
    const XnDepthPixel* depth = depthMap.Data();
    const RowPass pass{converter, left, right, jump, span, m_maxDepth, m_leftPassRow, m_rightPassRow};
    // The box's last two rows are not processed.
    for (int y = box.min.y; y <= box.max.y - 2; ++y) {
        const XnDepthPixel* row = depth + y * width;
        const short* dx = horizontal + y * width;
        unsigned short* out = output + y * width;
        if (verticalSwitch != 0) {
            pass.Run<true>(row, dx, verticalDistance + y * width, out);
        } else {
            pass.Run<false>(row, dx, nullptr, out);
        }
    }
}
