#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "HandAnalysis/DUZHandImageHelpers.h"
#include "OSLayer/XnLog.h"
#include "QuorLibrary/SensorUtilities/Morphology.h"

namespace {

const char* const kLogMask = "HandTrackerManager";

using duz_image::ClippedToImage;
using duz_image::IsEmpty;

__m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
void Store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
// a where mask is set, else b.
__m128i Select(__m128i mask, __m128i a, __m128i b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }

// visit(i) for the first pixel i of each whole 8-pixel group that box
// touches in a row of width pixels.
template <typename Visit>
void ForEachGroup(const Box2D<int>& box, int width, Visit visit) {
    for (int y = box.min.y; y <= box.max.y; ++y) {
        for (int x = box.min.x & ~7; x <= (box.max.x | 7); x += 8) {
            visit(y * width + x);
        }
    }
}

bool IsMultipleOf8(int width) { return width % 8 == 0; }

}  // namespace

DUZHandTrackerBackgroundModel::DUZHandTrackerBackgroundModel()
    : m_computedBox(),
      m_noDepthFrameLimit(10),
      m_minStaticCount(3),
      m_foregroundStaticLimit(15),
      m_matchThreshold(3),
      m_rampStart(2),
      m_rampEnd(4),
      m_radius() {}

DUZHandTrackerBackgroundModel::~DUZHandTrackerBackgroundModel() = default;

int DUZHandTrackerBackgroundModel::Initialize(const xn::DepthMetaData& depth, const std::string& /*iniFile*/,
                                              int /*verbose*/) {
    UpdateResolution(NAResolutionOfSize(static_cast<int>(depth.XRes()), static_cast<int>(depth.YRes())));
    m_noDepthFrameLimit = 10;
    m_minStaticCount = 3;
    m_foregroundStaticLimit = 15;
    m_matchThreshold = 3;
    m_rampStart = 2;
    m_rampEnd = 4;
    // Columns 80x60, 160x120, 320x240, 640x480, 1280x1024. The manager
    // works at the middle three only; the others filter nothing.
    static const int kRadius[3][kNAResolutionLevels] = {{0, 1, 2, 2, 0}, {0, 0, 1, 2, 0}, {0, 0, 1, 2, 0}};
    std::copy(&kRadius[0][0], &kRadius[0][0] + 3 * kNAResolutionLevels, &m_radius[0][0]);
    Reset();
    return 1;
}

int DUZHandTrackerBackgroundModel::ReadParameters(const std::string& /*iniFile*/, int /*verbose*/, int /*flag*/) {
    return 1;
}

NAResolution DUZHandTrackerBackgroundModel::Resolution() const { return NAResolutionOfSize(Width(), Height()); }

template <typename T>
void DUZHandTrackerBackgroundModel::Resample(Array2D<T>& array, Array2D<T>& scratch, int newWidth, int newHeight) {
    if (array.Columns() == newWidth) {
        return;
    }
    scratch.SetSize(array.Rows(), array.Columns(), false);
    array.Swap(scratch);
    array.SetSize(newHeight, newWidth, false);
    const int oldWidth = scratch.Columns();
    const int oldHeight = scratch.Rows();
    if (newWidth == 0 || oldWidth == 0 || oldHeight == 0) {
        return;
    }
    // The heights of 1280x1024 do not scale with the widths: rows beyond
    // the old image repeat its last row.
    if (oldWidth < newWidth) {
        const int f = newWidth / oldWidth;
        for (int i = 0; i < newHeight; ++i) {
            const int row = std::min(i / f, oldHeight - 1);
            for (int j = 0; j < newWidth; ++j) {
                array(i, j) = scratch(row, std::min(j / f, oldWidth - 1));
            }
        }
    } else {
        const int f = oldWidth / newWidth;
        for (int i = 0; i < newHeight; ++i) {
            const int row = std::min(i * f, oldHeight - 1);
            for (int j = 0; j < newWidth; ++j) {
                array(i, j) = scratch(row, std::min(j * f, oldWidth - 1));
            }
        }
    }
}

template void DUZHandTrackerBackgroundModel::Resample<unsigned short>(Array2D<unsigned short>&,
                                                                      Array2D<unsigned short>&, int, int);

void DUZHandTrackerBackgroundModel::UpdateResolution(NAResolution resolution) {
    const bool sized = IsSizedNAResolution(resolution);
    const int width = sized ? NAResolutionWidth(resolution) : 0;
    const int height = sized ? NAResolutionHeight(resolution) : 0;
    const bool hadNothing = Width() == 0 || Height() == 0;
    Resample(m_meanDepthArray, m_resampleScratch, width, height);
    Resample(m_staticCounterArray, m_resampleScratch, width, height);
    Resample(m_noDepthCounterArray, m_resampleScratch, width, height);
    m_workMap1.SetSize(height, width, false);
    m_workMap2.SetSize(height, width, false);
    m_computedBox = Box2D<int>(0, 0, width - 1, height - 1);
    // A model that had no size has nothing to resample: its new pixels
    // would hold whatever the storage held.
    if (hadNothing && width > 0) {
        Reset();
    }
}

void DUZHandTrackerBackgroundModel::Reset() {
    std::fill(m_meanDepthArray.Data(), m_meanDepthArray.Data() + m_meanDepthArray.Size(), MAX_STATIC_VALUE);
    std::fill(m_staticCounterArray.Data(), m_staticCounterArray.Data() + m_staticCounterArray.Size(), 0);
    std::fill(m_noDepthCounterArray.Data(), m_noDepthCounterArray.Data() + m_noDepthCounterArray.Size(), 0);
}

bool DUZHandTrackerBackgroundModel::HasModelSize(int width, int height, const char* caller) const {
    if (width == Width() && height == Height()) {
        return true;
    }
    xnLogError(kLogMask, "%s: a %dx%d map does not fit the %dx%d background model", caller, width, height, Width(),
               Height());
    return false;
}

bool DUZHandTrackerBackgroundModel::ShiftMapFits(const NADepthMapContainer& container, const char* caller) const {
    if (container.m_shift == nullptr) {
        xnLogError(kLogMask, "%s: the container has no shift map", caller);
        return false;
    }
    return HasModelSize(static_cast<int>(container.m_shift->XRes()), static_cast<int>(container.m_shift->YRes()),
                        caller);
}

void DUZHandTrackerBackgroundModel::Reset(const Array2D<unsigned short>& handMask, unsigned short handMaskValue,
                                          const Box2D<int>& box) {
    if (!HasModelSize(handMask.Columns(), handMask.Rows(), "DUZHandTrackerBackgroundModel::Reset")) {
        return;
    }
    const Box2D<int> b = ClippedToImage(box, Width(), Height());
    const int stride = handMask.Columns();
    for (int y = b.min.y; y <= b.max.y; ++y) {
        for (int x = b.min.x; x <= b.max.x; ++x) {
            const int i = y * stride + x;
            if (handMask.Data()[i] == handMaskValue) {
                m_meanDepthArray[i] = MAX_STATIC_VALUE;
                m_staticCounterArray[i] = 0;
                m_noDepthCounterArray[i] = 0;
            }
        }
    }
}

void DUZHandTrackerBackgroundModel::SetToCurrentShiftMapSSE(const NADepthMapContainer& container,
                                                            const Box2D<int>& box) {
    if (!ShiftMapFits(container, "DUZHandTrackerBackgroundModel::SetToCurrentShiftMapSSE") || !IsMultipleOf8(Width())) {
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    const __m128i unset = _mm_set1_epi16(MAX_STATIC_VALUE);
    const __m128i trusted = _mm_set1_epi16(static_cast<short>(m_minStaticCount));
    const unsigned short* shift = container.m_shift->Data();
    ForEachGroup(ClippedToImage(box, Width(), Height()), Width(), [&](int i) {
        const __m128i c = Load(shift + i);
        const __m128i hasDepth = _mm_cmpgt_epi16(c, zero);
        Store(&m_noDepthCounterArray[i], _mm_andnot_si128(hasDepth, one));
        Store(&m_meanDepthArray[i], Select(hasDepth, c, unset));
        Store(&m_staticCounterArray[i], _mm_and_si128(hasDepth, trusted));
    });
}

void DUZHandTrackerBackgroundModel::SetToCurrentShiftMap(const NADepthMapContainer& container,
                                                         const Box2D<int>& box) {
    if (!ShiftMapFits(container, "DUZHandTrackerBackgroundModel::SetToCurrentShiftMap")) {
        return;
    }
    const Box2D<int> b = ClippedToImage(box, Width(), Height());
    const unsigned short* shift = container.m_shift->Data();
    for (int y = b.min.y; y <= b.max.y; ++y) {
        for (int x = b.min.x; x <= b.max.x; ++x) {
            const int i = y * Width() + x;
            const unsigned short c = shift[i];
            m_noDepthCounterArray[i] = c != 0 ? 0 : 1;
            m_meanDepthArray[i] = c != 0 ? c : MAX_STATIC_VALUE;
            m_staticCounterArray[i] = c != 0 ? m_minStaticCount : 0;
        }
    }
    m_computedBox = b;
}

void DUZHandTrackerBackgroundModel::Update(const NADepthMapContainer& container, const Box2D<int>& box,
                                          const Array2D<unsigned short>& handMask, unsigned short handMaskValue) {
    if (!IsEmpty(box)) {
        UpdateSSE(container, box, handMask, handMaskValue);
    }
}

void DUZHandTrackerBackgroundModel::UpdateSSE(const NADepthMapContainer& container, const Box2D<int>& box,
                                             const Array2D<unsigned short>& handMask,
                                             unsigned short handMaskValue) {
    const Box2D<int> b = ClippedToImage(box, Width(), Height());
    m_computedBox = b;
    const char* const caller = "DUZHandTrackerBackgroundModel::UpdateSSE";
    if (!ShiftMapFits(container, caller) || !HasModelSize(handMask.Columns(), handMask.Rows(), caller) ||
        !IsMultipleOf8(Width())) {
        return;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    const __m128i unset = _mm_set1_epi16(MAX_STATIC_VALUE);
    const __m128i noDepthLimit = _mm_set1_epi16(static_cast<short>(m_noDepthFrameLimit));
    const __m128i threshold = _mm_set1_epi16(m_matchThreshold);
    const __m128i maskValue = _mm_set1_epi16(static_cast<short>(handMaskValue));
    const unsigned short* shift = container.m_shift->Data();
    ForEachGroup(b, Width(), [&](int i) {
        const __m128i c = Load(shift + i);
        const __m128i m = Load(&m_meanDepthArray[i]);
        const __m128i s = Load(&m_staticCounterArray[i]);
        const __m128i n = Load(&m_noDepthCounterArray[i]);
        const __m128i noDepth = _mm_cmpeq_epi16(c, zero);
        const __m128i covered = _mm_cmpeq_epi16(Load(handMask.Data() + i), maskValue);
        const __m128i learns = _mm_andnot_si128(_mm_or_si128(noDepth, covered), _mm_cmpeq_epi16(zero, zero));

        // No depth counts on; a learning pixel restarts; a covered one keeps its count.
        const __m128i nextN = Select(noDepth, _mm_add_epi16(n, one), _mm_andnot_si128(learns, n));
        const __m128i forgets = _mm_and_si128(noDepth, _mm_cmpgt_epi16(nextN, noDepthLimit));

        const __m128i difference = _mm_or_si128(_mm_subs_epu16(c, m), _mm_subs_epu16(m, c));
        const __m128i matches = _mm_cmpeq_epi16(_mm_subs_epu16(difference, threshold), zero);
        const __m128i learntM = Select(matches, _mm_avg_epu16(m, c), c);
        const __m128i learntS = _mm_and_si128(matches, _mm_add_epi16(s, one));

        const __m128i nextM = Select(forgets, unset, Select(learns, learntM, m));
        const __m128i nextS = _mm_andnot_si128(forgets, Select(learns, learntS, s));
        Store(&m_meanDepthArray[i], nextM);
        Store(&m_staticCounterArray[i], nextS);
        Store(&m_noDepthCounterArray[i], nextN);
    });
}

void DUZHandTrackerBackgroundModel::UpdateNoSSE(const NADepthMapContainer& container, const Box2D<int>& box,
                                               const Array2D<unsigned short>& handMask,
                                               unsigned short handMaskValue) {
    const Box2D<int> b = ClippedToImage(box, Width(), Height());
    m_computedBox = b;
    const char* const caller = "DUZHandTrackerBackgroundModel::UpdateNoSSE";
    if (!ShiftMapFits(container, caller) || !HasModelSize(handMask.Columns(), handMask.Rows(), caller)) {
        return;
    }
    const unsigned short* shift = container.m_shift->Data();
    for (int y = b.min.y; y <= b.max.y; ++y) {
        for (int x = b.min.x; x <= b.max.x; ++x) {
            const int i = y * Width() + x;
            const unsigned short c = shift[i];
            unsigned short& m = m_meanDepthArray[i];
            unsigned short& s = m_staticCounterArray[i];
            unsigned short& n = m_noDepthCounterArray[i];
            if (c == 0) {
                ++n;
                if (n >= m_noDepthFrameLimit) {
                    m = MAX_STATIC_VALUE;
                    s = 0;
                }
            } else if (handMask.Data()[i] != handMaskValue) {
                n = 0;
                if (std::abs(static_cast<int>(c) - static_cast<int>(m)) <= m_matchThreshold) {
                    ++s;
                    m = static_cast<unsigned short>(static_cast<float>(m + c) * 0.5f + 0.5f);
                } else {
                    s = 0;
                    m = c;
                }
            }
        }
    }
}

void DUZHandTrackerBackgroundModel::FilterWindow(const Array2D<short>& source, Array2D<short>& destination,
                                                 const Box2D<int>& box, int radius, bool erode) {
    const int width = source.Columns();
    const int height = source.Rows();
    const int window = 2 * radius + 1;
    if (window == 3 || window == 5) {
        (erode ? Morphology::ErodeSSE : Morphology::DilateSSE)(source.Data(), destination.Data(), width, height,
                                                                box.min.x, box.max.x, box.min.y, box.max.y, window,
                                                                window);
        return;
    }
    destination.SetSize(height, width, false);
    for (int y = box.min.y; y <= box.max.y; ++y) {
        const int top = std::max(box.min.y, y - radius);
        const int bottom = std::min(box.max.y, y + radius);
        for (int x = box.min.x; x <= box.max.x; ++x) {
            const int left = std::max(box.min.x, x - radius);
            const int right = std::min(box.max.x, x + radius);
            short value = erode ? 32767 : -32768;
            for (int v = top; v <= bottom; ++v) {
                for (int u = left; u <= right; ++u) {
                    value = erode ? std::min(value, source(v, u)) : std::max(value, source(v, u));
                }
            }
            destination(y, x) = value;
        }
    }
}

void DUZHandTrackerBackgroundModel::ComputeForegroundProbabilityMap(const NADepthMapContainer& container,
                                                                   const Box2D<int>& box,
                                                                   Array2D<short>& output) const {
    if (!ShiftMapFits(container, "DUZHandTrackerBackgroundModel::ComputeForegroundProbabilityMap")) {
        return;
    }
    const int width = Width();
    if (output.Columns() != width || output.Rows() != Height()) {
        output.SetSize(Height(), width, false);
    }
    const Box2D<int> b = duz_image::Intersection(box, m_computedBox);
    if (b != box) {
        std::cout << "ComputeForegroundProbabilityMap: called with larger bounds than background model computed"
                  << std::endl;
    }
    if (IsEmpty(b)) {
        return;
    }
    const NAResolution level = container.GetResolution();
    const int index = IsSizedNAResolution(level) ? NAResolutionIndex(level) : -1;
    auto radius = [&](RadiusRow row) { return index >= 0 ? m_radius[row][index] : 0; };

    for (int y = b.min.y; y <= b.max.y; ++y) {
        for (int x = b.min.x; x <= b.max.x; ++x) {
            const int i = y * width + x;
            m_workMap1[i] = m_staticCounterArray[i] >= m_minStaticCount ? static_cast<short>(m_meanDepthArray[i])
                                                                        : MAX_STATIC_VALUE;
        }
    }
    // Each pixel's background becomes the nearest one around it.
    if (radius(eBackgroundErosion) > 0) {
        m_workMap1.Swap(m_workMap2);
        FilterWindow(m_workMap2, m_workMap1, b, radius(eBackgroundErosion), true);
    }

    const unsigned short* shift = container.m_shift->Data();
    const float ramp = 1000.0f / static_cast<float>(m_rampEnd - m_rampStart);
    for (int y = b.min.y; y <= b.max.y; ++y) {
        for (int x = b.min.x; x <= b.max.x; ++x) {
            const int i = y * width + x;
            const short c = static_cast<short>(shift[i]);
            const short background = m_workMap1[i];
            short probability = 0;
            if (c == 0) {
                probability = 0;
            } else if (background == MAX_STATIC_VALUE) {
                probability = m_noDepthCounterArray[i] < m_noDepthFrameLimit ? FG_PROB_SCALE / 2 : FG_PROB_SCALE;
            } else {
                const short nearer = static_cast<short>(background - c);
                if (nearer < m_rampStart) {
                    probability = 0;
                } else if (nearer > m_rampEnd) {
                    probability = FG_PROB_SCALE;
                } else {
                    probability = static_cast<short>(static_cast<float>(nearer - m_rampStart) * ramp);
                }
            }
            output[i] = probability;
        }
    }

    // An opening: specks smaller than the window go, larger regions keep
    // their extent.
    if (radius(eProbabilityErosion) > 0) {
        output.Swap(m_workMap2);
        FilterWindow(m_workMap2, output, b, radius(eProbabilityErosion), true);
    }
    if (radius(eProbabilityDilation) > 0) {
        output.Swap(m_workMap2);
        FilterWindow(m_workMap2, output, b, radius(eProbabilityDilation), false);
    }
}

bool DUZHandTrackerBackgroundModel::DecimationFactor(NAResolution resolution, const char* caller,
                                                     int& factor) const {
    const NAResolution model = Resolution();
    if (!IsSizedNAResolution(model) || !IsSizedNAResolution(resolution) ||
        NAResolutionWidth(resolution) > NAResolutionWidth(model)) {
        xnLogError(kLogMask, "%s: cannot decimate the %dx%d background model to resolution %d", caller, Width(),
                   Height(), NAResolutionIndex(resolution));
        return false;
    }
    factor = NAResolutionWidth(model) / NAResolutionWidth(resolution);
    return true;
}

bool DUZHandTrackerBackgroundModel::ComputeHandDetectorForgroundMask(const NADepthMapContainer& container,
                                                                     const Box2D<int>& box, int useHandMask,
                                                                     const Array2D<unsigned short>& handMask,
                                                                     unsigned short handMaskValue,
                                                                     Array2D<unsigned short>& output) const {
    const char* const caller = "DUZHandTrackerBackgroundModel::ComputeHandDetectorForgroundMask";
    int f = 0;
    if (container.m_depth == nullptr || !DecimationFactor(container.GetResolution(), caller, f) ||
        (useHandMask != 0 && !HasModelSize(handMask.Columns(), handMask.Rows(), caller))) {
        return false;
    }
    const xn::DepthMetaData& depth = *container.m_depth;
    const int width = static_cast<int>(depth.XRes());
    const int height = static_cast<int>(depth.YRes());
    if (output.Columns() != width || output.Rows() != height) {
        output.SetSize(height, width, false);
    }
    const Box2D<int> b = ClippedToImage(box, width, height);
    for (int y = b.min.y; y <= b.max.y; ++y) {
        for (int x = b.min.x; x <= b.max.x; ++x) {
            const int i = y * f * Width() + x * f;
            const bool changed = depth(x, y) != 0 && m_staticCounterArray[i] <= m_foregroundStaticLimit &&
                                 (useHandMask == 0 || handMask.Data()[i] != handMaskValue);
            output(y, x) = changed ? 1 : 0;
        }
    }
    return true;
}

bool DUZHandTrackerBackgroundModel::ComputeFocusForegroundMask(const NADepthMapContainer& container,
                                                               NAResolution resolution,
                                                               Array2D<unsigned short>& output) const {
    const char* const caller = "DUZHandTrackerBackgroundModel::ComputeFocusForegroundMask";
    int f = 0;
    if (!DecimationFactor(resolution, caller, f)) {
        return false;
    }
    if (container.m_depth == nullptr || container.GetResolution() != resolution) {
        xnLogError(kLogMask, "%s: the depth map does not have the requested resolution", caller);
        return false;
    }
    const xn::DepthMetaData& depth = *container.m_depth;
    Decimate(resolution, f, output, [&](int x, int y, int i) -> unsigned short {
        return depth(x, y) != 0 && m_staticCounterArray[i] <= m_foregroundStaticLimit ? 1 : 0;
    });
    return true;
}

template <typename Pick>
void DUZHandTrackerBackgroundModel::Decimate(NAResolution resolution, int factor, Array2D<unsigned short>& output,
                                             Pick pick) const {
    const int width = NAResolutionWidth(resolution);
    const int height = NAResolutionHeight(resolution);
    if (output.Columns() != width || output.Rows() != height) {
        output.SetSize(height, width, false);
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            output(y, x) = pick(x, y, y * factor * Width() + x * factor);
        }
    }
}

bool DUZHandTrackerBackgroundModel::DecimatedCopy(NAResolution resolution, const char* caller,
                                                  const Array2D<unsigned short>& array,
                                                  Array2D<unsigned short>& output) const {
    int f = 0;
    if (!DecimationFactor(resolution, caller, f)) {
        return false;
    }
    Decimate(resolution, f, output, [&](int, int, int i) { return array[i]; });
    return true;
}

bool DUZHandTrackerBackgroundModel::GetNoDepthCounterArray(NAResolution resolution,
                                                           Array2D<unsigned short>& output) const {
    return DecimatedCopy(resolution, "DUZHandTrackerBackgroundModel::GetNoDepthCounterArray", m_noDepthCounterArray,
                         output);
}

bool DUZHandTrackerBackgroundModel::GetMeanDepthArray(NAResolution resolution,
                                                      Array2D<unsigned short>& output) const {
    return DecimatedCopy(resolution, "DUZHandTrackerBackgroundModel::GetMeanDepthArray", m_meanDepthArray, output);
}
