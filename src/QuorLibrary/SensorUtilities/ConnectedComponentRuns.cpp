// The run-based labelling path: link maps, runs per row, joining of runs of
// neighbouring rows through an equivalence table, numbering and painting.
// Its tables are sized from the image (grown, never shrunk), so any width up
// to what 16-bit run columns hold and any number of runs fit.

#include <algorithm>
#include <cstring>

#include "OSLayer/XnOS.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"
#include "QuorLibrary/Utilities/FatalError.h"

namespace {

// Run columns are 16-bit.
constexpr XnInt32 kMaxRunWidth = 32767;
// Region numbers are written into 16-bit labels.
constexpr XnInt32 kMaxRegions = 65535;
// The size the owners' images have, so that their runs never allocate.
constexpr XnInt32 kInitialWidth = 320;
constexpr XnInt32 kInitialHeight = 240;

// Makes the buffer hold at least count elements; the contents are not kept.
template <typename T>
bool Reserve(T*& pBuffer, XnUInt32& capacity, XnUInt64 count) {
    if (count <= capacity) {
        return true;
    }
    if (count > UINT32_MAX / sizeof(T)) {
        return false;
    }
    T* pNew = static_cast<T*>(xnOSMallocAligned(static_cast<XnSizeT>(count * sizeof(T)), 16));
    if (pNew == nullptr) {
        return false;
    }
    xnOSFreeAligned(pBuffer);
    pBuffer = pNew;
    capacity = static_cast<XnUInt32>(count);
    return true;
}

template <typename T>
void Release(T*& pBuffer, XnUInt32& capacity) {
    xnOSFreeAligned(pBuffer);
    pBuffer = nullptr;
    capacity = 0;
}

}  // namespace

bool ConnectedComponentDetector::Create_Objects_Allocate() {
    if (m_bBuffersAllocated) {
        return false;
    }
    m_bBuffersAllocated = true;
    if (!ReserveRunBuffers(kInitialWidth, kInitialHeight,
                           static_cast<XnInt64>(kInitialWidth) * kInitialHeight)) {
        Create_Objects_Free();
        return false;
    }
    return true;
}

void ConnectedComponentDetector::Create_Objects_Free() {
    Release(m_pRuns, m_nRunsCapacity);
    Release(m_pEquivalence, m_nEquivalenceCapacity);
    Release(m_pFinalLabels, m_nFinalLabelsCapacity);
    Release(m_pRowRunCounts, m_nRowRunCountsCapacity);
    xnOSFreeAligned(m_pRightLinks);
    xnOSFreeAligned(m_pDownLinks);
    m_pRightLinks = nullptr;
    m_pDownLinks = nullptr;
    m_nLinksCapacity = 0;
    m_nRunStride = 0;
    m_nRunRows = 0;
    m_bBuffersAllocated = false;
}

// Room for an image of width x height whose labelled area holds at most
// maxRuns pixels, each row's list at most width runs plus its end marker.
bool ConnectedComponentDetector::ReserveRunBuffers(XnInt32 width, XnInt32 height, XnInt64 maxRuns) {
    const XnUInt64 nPixels = static_cast<XnUInt64>(width) * static_cast<XnUInt64>(height);
    if (nPixels > m_nLinksCapacity) {
        XnUInt16* pRight = nullptr;
        XnUInt16* pDown = nullptr;
        XnUInt32 nRight = 0;
        XnUInt32 nDown = 0;
        if (!Reserve(pRight, nRight, nPixels) || !Reserve(pDown, nDown, nPixels)) {
            xnOSFreeAligned(pRight);
            return false;
        }
        xnOSFreeAligned(m_pRightLinks);
        xnOSFreeAligned(m_pDownLinks);
        m_pRightLinks = pRight;
        m_pDownLinks = pDown;
        m_nLinksCapacity = nRight;
    }
    const XnUInt64 nRecords = static_cast<XnUInt64>(height) * (static_cast<XnUInt64>(width) + 1);
    const XnUInt64 nLabels = static_cast<XnUInt64>(maxRuns) + 1;
    return Reserve(m_pRuns, m_nRunsCapacity, nRecords) && Reserve(m_pRowRunCounts, m_nRowRunCountsCapacity, height) &&
           Reserve(m_pEquivalence, m_nEquivalenceCapacity, nLabels) &&
           Reserve(m_pFinalLabels, m_nFinalLabelsCapacity, nLabels + 1);
}

const ConnectedComponentDetector::line* ConnectedComponentDetector::GetRowRuns(XnInt32 y) const {
    if (!m_bBuffersAllocated || y < 0 || y >= m_nRunRows) {
        return nullptr;
    }
    return m_pRuns + static_cast<XnInt64>(y) * m_nRunStride;
}

XnInt32 ConnectedComponentDetector::GetRowRunCount(XnInt32 y) const {
    if (!m_bBuffersAllocated || y < 0 || y >= m_nRunRows) {
        return 0;
    }
    return m_pRowRunCounts[y];
}

XnInt32 ConnectedComponentDetector::Create_Objects(const XnUInt16* image, const XnUInt16* secondImage,
                                                   XnUInt16* labels, XnInt32 width, XnInt32 height,
                                                   XnInt32 threshold, XnInt32 secondThreshold, XnInt32 firstColumn,
                                                   XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow) {
    if (static_cast<XnUInt32>(height) - 1u > 318u) {
        // File and line 464: part of the message's text (see FatalError.h).
        FatalError("Create_Objects", "QuorLibrary/SensorUtilities/ConnectedComponentDetector", 464,
                   "ConnectedComponentDetector doesn't support the required resolution");
    }
    if (!m_bBuffersAllocated || width < 0 || width > kMaxRunWidth || firstColumn < 0 || endColumn > width ||
        firstColumn > endColumn || firstRow < 0 || endRow > height || firstRow > endRow ||
        (width > 0 && (image == nullptr || labels == nullptr))) {
        return -1;
    }
    const XnInt32 nColumns = endColumn - firstColumn;
    if (!ReserveRunBuffers(width, height, static_cast<XnInt64>(nColumns) * (endRow - firstRow))) {
        return -1;
    }
    m_nRunStride = nColumns + 1;
    m_nRunRows = height;

    if (width > 0) {
        if (secondImage != nullptr) {
            Is_Touch_SSE(image, secondImage, width, height, threshold, secondThreshold, m_pRightLinks, m_pDownLinks,
                         firstRow, endRow);
        } else {
            Is_Touch_SSE(image, width, height, threshold, m_pRightLinks, m_pDownLinks, firstRow, endRow);
        }
    }
    const XnInt32 n = Assign_lines(image, m_pRightLinks, width, height, firstColumn, endColumn, firstRow, endRow);
    for (XnInt32 i = 0; i < n; ++i) {
        m_pEquivalence[i] = i;
    }
    JoinRows(firstRow, endRow, m_pDownLinks, width);

    // Roots numbered on first sight in label order: a region's first run
    // never joins upwards, so its label is the region's smallest live one.
    std::memset(m_pFinalLabels, 0, (static_cast<XnSizeT>(n) + 1) * sizeof(XnUInt32));
    XnUInt32 nCounter = 0;
    for (XnInt32 i = 0; i < n; ++i) {
        const XnInt32 r = Root(i);
        m_pEquivalence[i] = r;
        if (r >= 0 && m_pFinalLabels[r] == 0) {
            m_pFinalLabels[r] = nCounter++;
        }
    }
    const XnInt32 nRegions = static_cast<XnInt32>(nCounter) - 1;
    if (nRegions > kMaxRegions) {
        if (width > 0) {
            std::memset(labels, 0, static_cast<XnSizeT>(width) * height * sizeof(XnUInt16));
        }
        return -1;
    }

    for (XnInt32 y = 0; y < height && width > 0; ++y) {
        XnUInt16* row = labels + y * width;
        std::memset(row, 0, static_cast<XnSizeT>(width) * sizeof(XnUInt16));
        const line* runs = m_pRuns + static_cast<XnInt64>(y) * m_nRunStride;
        for (XnInt32 k = 0; k < m_pRowRunCounts[y]; ++k) {
            const XnUInt16 value = static_cast<XnUInt16>(m_pFinalLabels[m_pEquivalence[runs[k].m_nLabel]]);
            std::fill(row + runs[k].m_nFirst, row + runs[k].m_nLast + 1, value);
        }
    }
    return nRegions;
}

XnInt32 ConnectedComponentDetector::Assign_lines(const XnUInt16* image, const XnUInt16* rightLinks, XnInt32 width,
                                                 XnInt32 height, XnInt32 firstColumn, XnInt32 endColumn,
                                                 XnInt32 firstRow, XnInt32 endRow) {
    // Every row of the image gets a count and an end marker, so that a
    // reader of the lists never meets the runs of an earlier image.
    for (XnInt32 y = 0; y < height; ++y) {
        m_pRowRunCounts[y] = 0;
        m_pRuns[static_cast<XnInt64>(y) * m_nRunStride] = line{-1, -1, -1, y};
    }
    XnInt32 nNext = 1;
    for (XnInt32 y = firstRow; y < endRow; ++y) {
        line* runs = m_pRuns + static_cast<XnInt64>(y) * m_nRunStride;
        const XnUInt16* values = image + y * width;
        const XnUInt16* right = rightLinks + y * width;
        XnInt32 nRuns = 0;
        for (XnInt32 x = firstColumn; x < endColumn; ++x) {
            if (values[x] == 0) {
                continue;
            }
            const XnInt32 start = x;
            // The last column never links right, so this stays in the row.
            while (right[x] != 0) {
                ++x;
            }
            runs[nRuns++] = line{static_cast<XnInt16>(start), static_cast<XnInt16>(std::min(x, endColumn - 1)),
                                 nNext++, y};
        }
        m_pRowRunCounts[y] = nRuns;
        runs[nRuns] = line{-1, -1, -1, y};
    }
    return nNext;
}

XnInt32 ConnectedComponentDetector::Root(XnInt32 label) const {
    while (label >= 0 && m_pEquivalence[label] != label) {
        label = m_pEquivalence[label];
    }
    return label;
}

void ConnectedComponentDetector::JoinRows(XnInt32 firstRow, XnInt32 endRow, const XnUInt16* downLinks,
                                          XnInt32 width) {
    for (XnInt32 y = firstRow + 1; y < endRow; ++y) {
        const line* upper = m_pRuns + static_cast<XnInt64>(y - 1) * m_nRunStride;
        line* lower = m_pRuns + static_cast<XnInt64>(y) * m_nRunStride;
        const XnUInt16* down = downLinks + (y - 1) * width;
        XnInt32 j = 0;
        for (XnInt32 k = 0; k < m_pRowRunCounts[y]; ++k) {
            line& d = lower[k];
            // Upper runs that end left of d touch neither it nor any later
            // run of the row; passing them keeps a row without joins linear.
            while (upper[j].m_nLabel != -1 && upper[j].m_nLast < d.m_nFirst) {
                ++j;
            }
            if (upper[j].m_nLabel == -1 || d.m_nLast < upper[j].m_nFirst) {
                continue;
            }
            bool joined = false;
            XnInt32 root = -1;
            XnInt32 u = j;
            for (; upper[u].m_nLabel != -1 && upper[u].m_nFirst <= d.m_nLast; ++u) {
                const XnInt32 from = std::max<XnInt32>(upper[u].m_nFirst, d.m_nFirst);
                const XnInt32 to = std::min<XnInt32>(upper[u].m_nLast, d.m_nLast);
                bool touches = false;
                for (XnInt32 x = from; x <= to && !touches; ++x) {
                    touches = down[x] != 0;
                }
                if (!touches) {
                    continue;
                }
                if (!joined) {
                    m_pEquivalence[d.m_nLabel] = -1;
                    d.m_nLabel = upper[u].m_nLabel;
                    joined = true;
                } else {
                    if (root < 0) {
                        root = Root(d.m_nLabel);
                    }
                    m_pEquivalence[Root(upper[u].m_nLabel)] = root;
                }
            }
            if (joined) {
                j = u - 1;
            }
        }
    }
}
