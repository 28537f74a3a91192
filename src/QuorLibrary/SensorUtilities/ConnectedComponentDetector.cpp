#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "QuorLibrary/SensorUtilities/LabelMapAccessors.h"
#include "QuorLibrary/Utilities/FatalError.h"

namespace {

// With the fixed line numbers passed below (1279, 1362, 1427, 1510): part of
// the stop messages' text (see FatalError.h).
const char* const kDetectorFile = "QuorLibrary/SensorUtilities/ConnectedComponentDetector";

// Differences of 32-bit elements are taken in 64 bits: two values more than
// 2^31 apart must not wrap into "close".
template <typename T>
using Difference = typename std::conditional<(sizeof(T) >= 4), XnInt64, XnInt32>::type;

template <typename T>
struct NonZero {
    const T* image;
    bool operator()(XnInt32 p) const { return image[p] != 0; }
};

template <typename T>
struct NonZeroInRange {
    const T* image;
    XnInt32 minValue;
    XnInt32 maxValue;
    bool operator()(XnInt32 p) const {
        const XnInt32 v = image[p];
        return v != 0 && minValue <= v && v <= maxValue;
    }
};

template <typename T>
struct WithinThreshold {
    const T* image;
    XnInt32 threshold;
    bool operator()(XnInt32 p, XnInt32 q) const {
        const Difference<T> d = static_cast<Difference<T>>(image[p]) - static_cast<Difference<T>>(image[q]);
        return (d < 0 ? -d : d) <= threshold;
    }
};

// Two labelled neighbours of a boolean image are both set.
template <>
struct WithinThreshold<bool> {
    const bool* image;
    XnInt32 threshold;
    bool operator()(XnInt32, XnInt32) const { return true; }
};

struct WithinEitherThreshold {
    const XnUInt16* first;
    const XnUInt16* second;
    XnInt32 firstThreshold;
    XnInt32 secondThreshold;
    bool operator()(XnInt32 p, XnInt32 q) const {
        const XnInt32 d1 = static_cast<XnInt32>(first[p]) - first[q];
        if ((d1 < 0 ? -d1 : d1) <= firstThreshold) {
            return true;
        }
        const XnInt32 d2 = static_cast<XnInt32>(second[p]) - second[q];
        return (d2 < 0 ? -d2 : d2) <= secondThreshold;
    }
};

void ClearArea(XnUInt16* labels, XnInt32 width, XnInt32 firstColumn, XnInt32 endColumn, XnInt32 firstRow,
               XnInt32 endRow) {
    for (XnInt32 y = firstRow; y < endRow; ++y) {
        std::fill(labels + y * width + firstColumn, labels + y * width + endColumn, XnUInt16(0));
    }
}

void RemapArea(XnUInt16* labels, const XnUInt16* parent, XnUInt32 capacity, XnInt32 width, XnInt32 firstColumn,
               XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow) {
    for (XnInt32 y = firstRow; y < endRow; ++y) {
        XnUInt16* row = labels + y * width;
        for (XnInt32 x = firstColumn; x < endColumn; ++x) {
            if (row[x] < capacity) {
                row[x] = parent[row[x]];
            }
        }
    }
}

}  // namespace

ConnectedComponentDetector::ConnectedComponentDetector(bool sse)
    : m_nMode(0),
      m_nLabels(0),
      m_bBuffersAllocated(false),
      m_pRuns(nullptr),
      m_nRunsCapacity(0),
      m_pEquivalence(nullptr),
      m_nEquivalenceCapacity(0),
      m_pFinalLabels(nullptr),
      m_nFinalLabelsCapacity(0),
      m_pRowRunCounts(nullptr),
      m_nRowRunCountsCapacity(0),
      m_pRightLinks(nullptr),
      m_pDownLinks(nullptr),
      m_nLinksCapacity(0),
      m_nRunStride(0),
      m_nRunRows(0),
      m_nSSE(sse ? 1 : 0) {}

ConnectedComponentDetector::~ConnectedComponentDetector() {
    if (m_bBuffersAllocated) {
        Create_Objects_Free();
    }
}

bool ConnectedComponentDetector::Fail() {
    m_nLabels = 0;
    return false;
}

bool ConnectedComponentDetector::PrepareLabelMap(xn::SceneMetaData& labels, XnInt32 width, XnInt32 height) {
    if (width < 0 || height < 0) {
        return false;
    }
    if (labels.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height)) != XN_STATUS_OK) {
        return false;
    }
    // A map whose pixel format is not 16 bits wide got too small a buffer.
    const XnUInt64 nBytes = static_cast<XnUInt64>(width) * static_cast<XnUInt64>(height) * sizeof(XnUInt16);
    return labels.BytesPerPixel() == sizeof(XnUInt16) && labels.DataSize() >= nBytes &&
           (nBytes == 0 || labels.WritableData() != nullptr);
}

template <typename Foreground, typename Close>
bool ConnectedComponentDetector::LabelPixels(const Foreground& foreground, const Close& close, const bool* joinLeft,
                                             const bool* joinUp, XnInt32 width, XnInt32 firstColumn,
                                             XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow, XnUInt16* labels,
                                             bool eightConnected) {
    if (!m_disjointSet.SetCapacity(kMaxProvisionalLabels)) {
        return Fail();
    }
    DisjointSet& set = m_disjointSet;
    XnUInt16* parent = set.Parent();
    parent[0] = 0;
    XnUInt32 nUsed = 1;
    const bool masked = joinLeft != nullptr && joinUp != nullptr;

    for (XnInt32 y = firstRow; y < endRow; ++y) {
        const XnInt32 row = y * width;
        for (XnInt32 x = firstColumn; x < endColumn; ++x) {
            const XnInt32 p = row + x;
            if (!foreground(p)) {
                labels[p] = 0;
                continue;
            }
            XnUInt16 label = 0;
            auto visit = [&](XnInt32 q) {
                const XnUInt16 neighbour = labels[q];
                if (neighbour != 0 && close(p, q)) {
                    if (label == 0) {
                        label = neighbour;
                    } else if (neighbour != label) {
                        set.Union(label, neighbour);
                    }
                }
            };
            if (x > firstColumn && (!masked || joinLeft[p])) {
                visit(p - 1);
            }
            if (y > firstRow) {
                if (eightConnected) {
                    if (x > firstColumn) {
                        visit(p - width - 1);
                    }
                    visit(p - width);
                    if (x + 1 < endColumn) {
                        visit(p - width + 1);
                    }
                } else if (!masked || joinUp[p]) {
                    visit(p - width);
                }
            }
            if (label == 0) {
                if (nUsed >= kMaxProvisionalLabels) {
                    // 16-bit labels cannot number more; leave no provisional
                    // labels behind that could pass for a result.
                    ClearArea(labels, width, firstColumn, endColumn, firstRow, endRow);
                    return Fail();
                }
                label = static_cast<XnUInt16>(nUsed);
                parent[nUsed] = label;
                ++nUsed;
            }
            labels[p] = label;
        }
    }
    set.Count() = nUsed;
    m_nLabels = set.Compact(static_cast<XnUInt16>(nUsed), false);
    RemapArea(labels, parent, set.Capacity(), width, firstColumn, endColumn, firstRow, endRow);
    return true;
}

template <typename T>
bool ConnectedComponentDetector::Run(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width,
                                     XnInt32 height, xn::SceneMetaData& labels, XnInt32 threshold) {
    if (image == nullptr && width > 0 && height > 0) {
        return Fail();
    }
    if (!PrepareLabelMap(labels, width, height)) {
        return Fail();
    }
    if constexpr (std::is_same<T, unsigned short>::value) {
        if (m_nSSE != 0) {
            return RunRuns(image, nullptr, labels, width, height, threshold, 0, 0, width, 0, height);
        }
    }
    const bool masked = joinLeft != nullptr && joinUp != nullptr;
    if (!masked && m_nMode != 0 && m_nMode != 1) {
        return Fail();
    }
    return LabelPixels(NonZero<T>{image}, WithinThreshold<T>{image, threshold}, masked ? joinLeft : nullptr,
                       masked ? joinUp : nullptr, width, 0, width, 0, height, labels.WritableData(),
                       !masked && m_nMode == 1);
}

template <typename T>
bool ConnectedComponentDetector::RunWindow(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width,
                                           XnInt32 height, const Box2D<int>& window, xn::SceneMetaData& labels,
                                           XnInt32 threshold, bool hasRange, XnInt32 minValue, XnInt32 maxValue,
                                           XnUInt32 maskLine, XnUInt32 modeLine) {
    const XnInt32 x0 = std::max(window.min.x, 0);
    const XnInt32 y0 = std::max(window.min.y, 0);
    const XnInt32 x1 = std::min(window.max.x, width - 1);
    const XnInt32 y1 = std::min(window.max.y, height - 1);
    if (x1 < x0 || y1 < y0 || (hasRange && maxValue < minValue)) {
        m_nLabels = 0;
        return false;
    }
    if (image == nullptr || !PrepareLabelMap(labels, width, height)) {
        return Fail();
    }
    if constexpr (std::is_same<T, unsigned short>::value) {
        if (m_nSSE != 0 && !hasRange) {
            return RunRuns(image, nullptr, labels, width, height, threshold, 0, x0, x1 + 1, y0, y1 + 1);
        }
    }
    if (joinLeft != nullptr && joinUp != nullptr) {
        NotImplemented("Run", kDetectorFile, maskLine);
    }
    if (m_nMode == 1) {
        NotImplemented("Run", kDetectorFile, modeLine);
    }
    if (m_nMode != 0) {
        return Fail();
    }
    XnUInt16* pLabels = labels.WritableData();
    if (hasRange) {
        return LabelPixels(NonZeroInRange<T>{image, minValue, maxValue}, WithinThreshold<T>{image, threshold},
                           nullptr, nullptr, width, x0, x1 + 1, y0, y1 + 1, pLabels, false);
    }
    return LabelPixels(NonZero<T>{image}, WithinThreshold<T>{image, threshold}, nullptr, nullptr, width, x0, x1 + 1,
                       y0, y1 + 1, pLabels, false);
}

template <typename T>
bool ConnectedComponentDetector::Run(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width,
                                     XnInt32 height, const Box2D<int>& window, xn::SceneMetaData& labels,
                                     XnInt32 threshold) {
    return RunWindow(image, joinLeft, joinUp, width, height, window, labels, threshold, false, 0, 0, 1279, 1362);
}

template <typename T>
bool ConnectedComponentDetector::Run(const T* image, const bool* joinLeft, const bool* joinUp, XnInt32 width,
                                     XnInt32 height, const Box3D<int>& window, xn::SceneMetaData& labels,
                                     XnInt32 threshold) {
    static_assert(std::is_same<T, unsigned short>::value, "value-range windows label 16-bit images");
    const Box2D<int> area(window.min.x, window.min.y, window.max.x, window.max.y);
    return RunWindow(image, joinLeft, joinUp, width, height, area, labels, threshold, true, window.min.z,
                     window.max.z, 1427, 1510);
}

bool ConnectedComponentDetector::RunHybrid(const Array2D<unsigned short>& first,
                                           const Array2D<unsigned short>& second, xn::SceneMetaData& labels,
                                           XnInt32 firstThreshold, XnInt32 secondThreshold) {
    const XnInt32 width = first.Columns();
    const XnInt32 height = first.Rows();
    if (second.Columns() != width || second.Rows() != height) {
        return Fail();
    }
    if (!PrepareLabelMap(labels, width, height)) {
        return Fail();
    }
    if (m_nSSE != 0) {
        return RunRuns(first.Data(), second.Data(), labels, width, height, firstThreshold, secondThreshold, 0, width,
                       0, height);
    }
    if (m_nMode != 0 && m_nMode != 1) {
        return Fail();
    }
    return LabelPixels(NonZero<XnUInt16>{first.Data()},
                       WithinEitherThreshold{first.Data(), second.Data(), firstThreshold, secondThreshold}, nullptr,
                       nullptr, width, 0, width, 0, height, labels.WritableData(), m_nMode == 1);
}

void ConnectedComponentDetector::RemapLabels(xn::SceneMetaData& labels, const Box2D<int>* window) {
    const XnInt32 width = labels.XRes();
    const XnInt32 height = labels.YRes();
    // The labels are written where the map has them (WritableLabels), and
    // only as far as the pixels it describes reach.
    XnLabel* pLabels = WritableLabels(labels);
    if (m_disjointSet.Capacity() == 0 || width <= 0 || height <= 0 || pLabels == nullptr ||
        labels.DataSize() < static_cast<XnUInt64>(width) * static_cast<XnUInt64>(height) * sizeof(XnUInt16)) {
        return;
    }
    XnInt32 x0 = 0;
    XnInt32 y0 = 0;
    XnInt32 x1 = width - 1;
    XnInt32 y1 = height - 1;
    if (window != nullptr) {
        x0 = std::max(window->min.x, 0);
        y0 = std::max(window->min.y, 0);
        x1 = std::min(window->max.x, width - 1);
        y1 = std::min(window->max.y, height - 1);
    }
    if (x1 < x0 || y1 < y0) {
        return;
    }
    RemapArea(pLabels, m_disjointSet.Parent(), m_disjointSet.Capacity(), width, x0, x1 + 1, y0, y1 + 1);
}

bool ConnectedComponentDetector::RunRuns(const XnUInt16* image, const XnUInt16* secondImage,
                                         xn::SceneMetaData& labels, XnInt32 width, XnInt32 height,
                                         XnInt32 threshold, XnInt32 secondThreshold, XnInt32 firstColumn,
                                         XnInt32 endColumn, XnInt32 firstRow, XnInt32 endRow) {
    const XnInt32 nRegions = Create_Objects(image, secondImage, labels.WritableData(), width, height, threshold,
                                            secondThreshold, firstColumn, endColumn, firstRow, endRow);
    if (nRegions < 0) {
        return Fail();
    }
    m_nLabels = nRegions + 1;
    return true;
}

#define VELA_CC_RUN_FORMS(T)                                                                                      \
    template bool ConnectedComponentDetector::Run<T>(const T*, const bool*, const bool*, XnInt32, XnInt32,       \
                                                     xn::SceneMetaData&, XnInt32);                                \
    template bool ConnectedComponentDetector::Run<T>(const T*, const bool*, const bool*, XnInt32, XnInt32,       \
                                                     const Box2D<int>&, xn::SceneMetaData&, XnInt32);

VELA_CC_RUN_FORMS(unsigned short)
VELA_CC_RUN_FORMS(bool)
VELA_CC_RUN_FORMS(int)
VELA_CC_RUN_FORMS(char)
VELA_CC_RUN_FORMS(unsigned char)
#undef VELA_CC_RUN_FORMS

template bool ConnectedComponentDetector::Run<unsigned short>(const unsigned short*, const bool*, const bool*, XnInt32,
                                                              XnInt32, const Box3D<int>&, xn::SceneMetaData&, XnInt32);
