// The depth-bounds adjustment of the probability engine: in a window that
// holds a hand in front of something else (a torso), the far end of the
// depth interval moves in between the two surfaces' histogram peaks.

#include <algorithm>
#include <ostream>

#include "HandAnalysis/DUZDepthMeanShift.h"
#include "HandAnalysis/DUZDepthMeanShiftCommon.h"
#include "NACommon/NALoggerHelper.h"

using namespace duz_mean_shift;

namespace {

// The end of the first peak scanned from `from` towards `to` (step +1 or
// -1): the second bin at most a quarter of the running maximum while that
// is above 5 (a new maximum restarts the count; with consecutive, any other
// bin does too). -1 when the scan ends first; peak gets the maximum's bin.
int PeakEnd(const int* histogram, int from, int to, int step, bool consecutive, int& peak) {
    int maximum = 0;
    int low = 0;
    peak = from;
    for (int b = from; step > 0 ? b <= to : b >= to; b += step) {
        const int count = histogram[b];
        if (count > maximum) {
            maximum = count;
            peak = b;
            low = 0;
        } else if (maximum > 5 && static_cast<float>(count) <= 0.25f * static_cast<float>(maximum)) {
            if (++low == 2) {
                return b;
            }
        } else if (consecutive) {
            low = 0;
        }
    }
    return maximum > 5 ? -2 : -1;
}

}  // namespace

void DUZDepthProbMeanShift::AdjustDepthBoundsByHistogram(const NADepthMapContainer& frame, const Array2D<int>& map,
                                                         const Box2D<int>& searchBounds, Box1D<int>& depthBounds) {
    if (frame.m_converter == nullptr || frame.m_shiftToDepth == nullptr || frame.m_depthToShift == nullptr) {
        return;
    }
    // The option may have been switched on after construction.
    const int bins = m_maxShift + 1;
    if (m_shiftHistogram == nullptr) {
        m_ownedShiftHistogram.assign(static_cast<size_t>(bins), 0);
        m_shiftHistogram = m_ownedShiftHistogram.data();
    }
    // Sums below the histogram's first shift are read through the 100 mm
    // window of the near bound: they are 0, not what an earlier frame left.
    m_cumulativeArea.assign(static_cast<size_t>(bins), 0);
    int* histogram = m_shiftHistogram;
    int* area = m_cumulativeArea.data();

    Box2D<int> box = searchBounds;
    Box1D<int> shiftBounds;
    Box1D<unsigned short> range(65535, 0);
    CalculateShiftHistogramUsingMask(histogram, box, shiftBounds, range, frame, map, depthBounds, bins);
    if (shiftBounds.min > shiftBounds.max) {
        return;
    }
    shiftBounds.min = std::min(std::max(shiftBounds.min, 0), bins - 1);
    shiftBounds.max = std::min(std::max(shiftBounds.max, 0), bins - 1);
    const unsigned short* toShift = frame.m_depthToShift;
    const unsigned short* toDepth = frame.m_shiftToDepth;
    const WorldPointConverterBase<float>& converter = *frame.m_converter;

    // Each bin weighs the pixel area at its shift's depth.
    if (range.min == 0) {
        range.min = 1;
        area[0] = 0;
    }
    for (int s = range.min; s <= shiftBounds.max; ++s) {
        area[s] = area[s - 1] + Truncate(static_cast<float>(histogram[s]) * AreaAt(converter, toDepth[s]));
    }

    // Near bound: nearer while the 100 mm in front hold more than 999 mm^2.
    auto areaAt = [&](int s) { return s < 0 ? 0 : area[std::min(s, bins - 1)]; };
    auto depthOf = [&](int s) { return static_cast<int>(toDepth[s]); };
    auto shiftOf = [&](int depth) { return static_cast<int>(toShift[std::max(depth, 0)]); };
    int j = shiftBounds.min;
    if (!(depthOf(j) <= 100 || area[j] - areaAt(shiftOf(depthOf(j) - 100)) <= 999)) {
        while (j > 0) {
            --j;
            if (depthOf(j) <= 100 || area[j] - areaAt(shiftOf(depthOf(j + 1) - 100) - 1) <= 999) {
                break;
            }
        }
        shiftBounds.min = j;
    }

    int firstPeak = j;
    int firstPeakEnd = PeakEnd(histogram, j, shiftBounds.max, +1, false, firstPeak);
    if (firstPeakEnd < 0) {
        firstPeakEnd = firstPeakEnd == -2 ? shiftBounds.max : 0;
    }
    int lastPeak = shiftBounds.max;
    int lastPeakEnd = PeakEnd(histogram, shiftBounds.max, j, -1, true, lastPeak);
    if (lastPeakEnd < 0) {
        lastPeakEnd = 0;
    }
    const int far = lastPeakEnd - firstPeakEnd > 1 ? (firstPeakEnd + lastPeakEnd) / 2 : shiftBounds.max;
    depthBounds = Box1D<int>(depthOf(shiftBounds.min), depthOf(far));

    if (m_logger->GetEnabled() != 0 && xnLogIsEnabled("HandTracker", XN_LOG_VERBOSE)) {
        NALoggerHelper(*m_logger, "HandTracker", XN_LOG_VERBOSE) << "HandTracker" << " - histogram printout: ";
        for (int s = shiftBounds.min; s <= far; ++s) {
            NALoggerHelper(*m_logger, "HandTracker", XN_LOG_VERBOSE)
                << "Depth: " << s << " Value: " << histogram[s] << "\t";
        }
        NALoggerHelper(*m_logger, "HandTracker", XN_LOG_VERBOSE) << "\n";
        NALoggerHelper(*m_logger, "HandTracker", XN_LOG_VERBOSE)
            << "HandTracker" << " - nFirstPeak=" << firstPeak << ", nFirstPeakEnd=" << firstPeakEnd
            << ", nLastPeak=" << lastPeak << ", nLastPeakEnd=" << lastPeakEnd;
    }
}
