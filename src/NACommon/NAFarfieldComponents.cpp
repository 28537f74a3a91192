// The background model's component stage: foreground that belongs to the
// background (surfaces blending smoothly into their surroundings, objects
// settled away from users) goes back into it, while users and what touches
// them stay foreground.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "NACommon/NAFarfield.h"
#include "NACommon/NAFarfieldSSE.h"

using namespace na_sse;

void NAFarfield::PrepareBorderMap(const Box2D<int>& band, int& left, int& right) {
    left = std::max(band.min.x, m_validBox.min.x);
    right = std::min(band.max.x, m_validBox.max.x);
    if (m_bJustReset == 0) {
        return;
    }
    const int width = m_nXRes;
    const int height = m_nYRes;
    uint16_t* border = m_ccBorder.Data();
    std::fill(border, border + width, uint16_t(0));
    std::fill(border + (height - 1) * width, border + height * width, uint16_t(0));
    // An empty valid box names columns off the image.
    for (int y = 1; y < height - 1; ++y) {
        for (const int column : {left, right}) {
            if (column >= 0 && column < width) {
                border[y * width + column] = 0;
            }
        }
    }
}

void NAFarfield::ClearOutsideColumns(uint16_t* row, int left, int right) const {
    const int width = m_nXRes;
    // An empty valid box has left at the largest int.
    std::fill(row, row + std::min<int64_t>(std::max<int64_t>(int64_t(left) + 1, 0), width), uint16_t(0));
    std::fill(row + std::min(std::max(right, 0), width), row + width, uint16_t(0));
}

void NAFarfield::PerformDerivative(const Box2D<int>& band) {
    int left = 0;
    int right = 0;
    PrepareBorderMap(band, left, right);
    const int width = m_nXRes;
    for (int y = 1; y < m_nYRes - 1; ++y) {
        const XnLabel* labels = m_ccLabels.Data() + y * width;
        uint16_t* out = m_ccBorder.Data() + y * width;
        for (int x = 0; x < width; ++x) {
            out[x] = x > left && x < right && IsBorderPixel(labels, x, width) ? 1 : 0;
        }
    }
}

inline void NAFarfield::MeasurePixel(NAFarfieldCC& cc, int column, int row, bool stable, uint16_t background,
                              uint16_t border, const uint16_t* fg, const uint16_t* shift, int stride) const {
    cc.box.min.x = std::min(cc.box.min.x, column);
    cc.box.max.x = std::max(cc.box.max.x, column);
    cc.box.min.y = std::min(cc.box.min.y, row);
    cc.box.max.y = std::max(cc.box.max.y, row);
    ++cc.area;
    cc.stable += stable ? 1 : 0;
    if (border == 0) {
        ++cc.interior;
        cc.interiorOnBg += background != 0 ? 1 : 0;
        return;
    }
    ++cc.border;
    if (background != 0) {
        cc.borderOnBg = 1;
    }
    // Border pixels lie inside the image's frame, so all four neighbours
    // exist.
    const int s = shift[0];
    const int allowance = EdgeAllowance(s);
    bool outside = false;
    bool soft = true;
    for (const int offset : {-1, 1, -stride, stride}) {
        if (fg[offset] == 0) {
            outside = true;
            soft = soft && std::abs(shift[offset] - s) <= allowance;
        }
    }
    cc.softBorder += outside && soft ? 1 : 0;
}

void NAFarfield::UpdateCCProperties(int left, int right, int top, int bottom, int rowSkip, const uint16_t* labels,
                                    const uint16_t* background, const uint16_t* foreground, const uint16_t* border,
                                    const uint16_t* shift, const uint16_t* shiftPrev, const uint16_t* shiftPrev2,
                                    int maxLabel) {
    const int stride = right - left + 1 + rowSkip;
    for (int y = top; y <= bottom; ++y) {
        const int offset = (y - top) * stride;
        for (int x = left; x <= right; ++x) {
            const int j = offset + x - left;
            const int label = labels[j];
            if (label < 1 || label > maxLabel) {
                continue;
            }
            MeasurePixel(m_ccProperties[label], x, y, IsStable(shift[j], shiftPrev[j], shiftPrev2[j]), background[j],
                         border[j], foreground + j, shift + j, stride);
        }
    }
}

// The eight-pixel twin: only the labeller's runs are visited, and the
// stability of a row is found eight pixels at a time.
void NAFarfield::UpdateCCProperties_SSE(int top, int bottom, const uint16_t* labels, const uint16_t* background,
                                        const uint16_t* foreground, const uint16_t* border, const uint16_t* shift,
                                        const uint16_t* shiftPrev, const uint16_t* shiftPrev2, int maxLabel) {
    const int width = m_nXRes;
    const int width8 = width & ~7;
    uint16_t* stableRow = m_rowScratch.Data();
    const __m128i stableThresh = Splat(m_nStableShiftThresh);
    for (int y = std::max(top, 0); y <= std::min(bottom, m_nYRes - 1); ++y) {
        const int count = m_ccDetector.GetRowRunCount(y);
        const ConnectedComponentDetector::line* runs = m_ccDetector.GetRowRuns(y);
        if (count == 0 || runs == nullptr) {
            continue;
        }
        const int offset = y * width;
        int x = 0;
        for (; x < width8; x += 8) {
            const __m128i s = Load(shift + offset + x);
            const __m128i s1 = Load(shiftPrev + offset + x);
            const __m128i s2 = Load(shiftPrev2 + offset + x);
            const __m128i stable = _mm_and_si128(
                GreaterUnsigned(stableThresh, AbsDiff(s, s1)),
                _mm_and_si128(GreaterUnsigned(stableThresh, AbsDiff(s, s2)), GreaterUnsigned(stableThresh, AbsDiff(s1, s2))));
            Store(stableRow + x, stable);
        }
        for (; x < width; ++x) {
            stableRow[x] = IsStable(shift[offset + x], shiftPrev[offset + x], shiftPrev2[offset + x]) ? 0xFFFF : 0;
        }
        for (int k = 0; k < count; ++k) {
            const int first = std::max<int>(runs[k].m_nFirst, 0);
            const int last = std::min<int>(runs[k].m_nLast, width - 1);
            for (int column = first; column <= last; ++column) {
                const int i = offset + column;
                const int label = labels[i];
                if (label < 1 || label > maxLabel) {
                    continue;
                }
                MeasurePixel(m_ccProperties[label], column, y, stableRow[column] != 0, background[i], border[i],
                             foreground + i, shift + i, width);
            }
        }
    }
}

bool NAFarfield::isCCAdjacentToBg(const NAFarfieldCC& cc) const {
    const int width = m_nXRes;
    const int label = LabelOf(cc);
    const XnLabel* labels = m_ccLabels.Data();
    const uint16_t* border = m_ccBorder.Data();
    const uint16_t* shift = m_pShift->Data();
    const uint16_t* bg = m_background.Data();
    for (int y = std::max(cc.box.min.y, 1); y <= std::min(cc.box.max.y, m_nYRes - 2); ++y) {
        for (int x = std::max(cc.box.min.x, 1); x <= std::min(cc.box.max.x, width - 2); ++x) {
            const int i = y * width + x;
            if (border[i] != 1 || labels[i] != label) {
                continue;
            }
            for (const int n : {i - 1, i + 1, i - width, i + width}) {
                if (std::abs(static_cast<int>(bg[n]) - shift[i]) < m_nBgAdjacencyThresh) {
                    return true;
                }
            }
        }
    }
    return false;
}

void NAFarfield::CopyComponent(int label, bool book) {
    const NAFarfieldCC& cc = m_ccProperties[label];
    const int width = m_nXRes;
    const XnLabel* labels = m_ccLabels.Data();
    const uint16_t* shift = m_pShift->Data();
    uint16_t* bg = m_background.Data();
    int firstShift = -1;
    for (int y = cc.box.min.y; y <= cc.box.max.y; ++y) {
        for (int x = cc.box.min.x; x <= cc.box.max.x; ++x) {
            const int i = y * width + x;
            if (labels[i] == label) {
                bg[i] = shift[i];
                if (firstShift < 0) {
                    firstShift = shift[i];
                }
            }
        }
    }
    if (book && firstShift >= 0) {
        const float area = static_cast<float>(cc.box.max.x - cc.box.min.x) * PixelAreaAtDepth(DepthOfShift(firstShift)) *
                           static_cast<float>(cc.box.max.y - cc.box.min.y);
        m_transientBgArea.GetCurrent() += static_cast<int32_t>(area);
    }
}

void NAFarfield::Feedback(Box2D<int>& band) {
    const int n = std::min(std::max(m_ccDetector.LabelCount() - 1, 0), kMaxComponents - 1);
    for (int i = 1; i <= n; ++i) {
        m_ccProperties[i].Clear();
    }
    const int width = m_nXRes;
    const int top = std::max(band.min.y, 0);
    const int bottom = std::min(band.max.y, m_nYRes - 1);
    const uint16_t* fg = m_fgDepthHistory.GetCurrent().Data();
    if (m_bSSE != 0 && m_ccDetector.Get_SSE_Flag() != 0) {
        UpdateCCProperties_SSE(top, bottom, m_ccLabels.Data(), m_background.Data(), fg, m_ccBorder.Data(),
                               m_pShift->Data(), m_pShiftPrev->Data(), m_pShiftPrev2->Data(), n);
    } else if (top <= bottom) {
        const int offset = top * width;
        UpdateCCProperties(0, width - 1, top, bottom, 0, m_ccLabels.Data() + offset, m_background.Data() + offset,
                           fg + offset, m_ccBorder.Data() + offset, m_pShift->Data() + offset,
                           m_pShiftPrev->Data() + offset, m_pShiftPrev2->Data() + offset, n);
    }

    for (int i = 1; i <= n; ++i) {
        NAFarfieldCC& cc = m_ccProperties[i];
        if (cc.area == 0) {
            continue;
        }
        if (cc.softBorder * 10 > cc.border * 9) {
            CopyComponent(i, false);
            continue;
        }
        const bool noBackgroundBehind = cc.interiorOnBg * 100 < cc.interior ||
                                        (cc.interiorOnBg <= 9 && cc.interiorOnBg * 10 < cc.interior) ||
                                        (cc.interior == 0 && cc.borderOnBg == 0);
        if (!noBackgroundBehind) {
            continue;
        }
        if (isCCCloseToUser(cc)) {
            if (isCCAdjacentToBg(cc) && !isCCAdjacentToUser(cc)) {
                CopyComponent(i, true);
            }
        } else if (cc.stable * 2 >= cc.area || isCCAdjacentToBg(cc)) {
            CopyComponent(i, true);
        }
    }
}
