// The older depth-only mean-shift engine: pixels weigh more the higher they
// sit in the window and the nearer they are, so the position climbs to the
// top of the nearest blob (a raised hand).

#include <algorithm>

#include "HandAnalysis/DUZDepthMeanShift.h"
#include "HandAnalysis/DUZDepthMeanShiftCommon.h"
#include "QuorLibrary/Math/GeometryProjector.h"

using namespace duz_mean_shift;

namespace {

// A sum of pixel areas beyond which the far bound is set.
constexpr int kFarBoundArea = 20000;

bool Overlap(const Box3D<float>& a, const Box3D<float>& b) {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
           a.min.z <= b.max.z && b.min.z <= a.max.z;
}

// (last - value) / (last - first); 0 when the range holds one value.
float Fraction(int last, int value, int first) {
    return last != first ? static_cast<float>(last - value) / static_cast<float>(last - first) : 0.0f;
}

}  // namespace

DUZDepthMeanShift::DUZDepthMeanShift(const PredictorHolder& predictor, bool adjustDepthBoundsByHistogram,
                                     const Box3D<float>& searchBoundsSizeRW, const Box3D<float>& maxSearchBoundsSizeRW,
                                     int maxIterations, const float& convergenceDistanceThreshold,
                                     const float& rowWeight, const float& depthWeight, unsigned short maxDepth)
    : m_adjustDepthBoundsByHistogram(adjustDepthBoundsByHistogram),
      m_predictor(predictor),
      m_histogram(DUZHandTrackerBase::kDepthHistogramBins),
      m_searchBoundsSizeRW(searchBoundsSizeRW),
      m_maxSearchBoundsSizeRW(maxSearchBoundsSizeRW),
      m_maxIterations(maxIterations),
      m_convergenceDistanceThreshold(convergenceDistanceThreshold),
      m_rowWeight(rowWeight),
      m_depthWeight(depthWeight),
      m_scale(1.0f),
      m_logger(&NALogger::GetInstance()),
      m_maxDepth(maxDepth) {}

void DUZDepthMeanShift::Rescale(const float& factor) {
    const float f = factor;
    ScaleBox(m_searchBoundsSizeRW, f);
    ScaleBox(m_maxSearchBoundsSizeRW, f);
    m_scale *= f;
}

void DUZDepthMeanShift::CalculateHistogram(const NADepthMapContainer& frame, const Box2D<int>& box,
                                           const Box1D<int>& depthBounds, VectorND<int>& histogram) const {
    histogram.SetSize(DUZHandTrackerBase::kDepthHistogramBins);
    DUZHandTrackerBase::DepthHistogramOfWindow(frame, box, nullptr, depthBounds, histogram.Data(), nullptr);
}

void DUZDepthMeanShift::CalculateShiftHistogramUsingMask(const NADepthMapContainer& frame, const Box2D<int>& box,
                                                         const Box1D<int>& depthBounds, const Array2D<int>& mask,
                                                         Box1D<unsigned short>& range, Box1D<int>& shiftBounds,
                                                         VectorND<int>& histogram) const {
    DUZHandTrackerBase::ShiftHistogramOfWindow(frame, box, mask, depthBounds, histogram.Data(), histogram.Size(),
                                               shiftBounds, range);
}

void DUZDepthMeanShift::UpdateDepthBoundsAccordingToHistogram(const NADepthMapContainer& frame,
                                                              const Box2D<int>& box, Box1D<int>& depthBounds,
                                                              VectorND<int>& histogram) const {
    CalculateHistogram(frame, box, depthBounds, histogram);
    if (frame.m_converter != nullptr) {
        const WorldPointConverterBase<float>& converter = *frame.m_converter;
        int64_t area = 0;
        // The area table ends at the stream's maximum depth + 1.
        for (int i = 0; i < histogram.Size() && 8 * i < converter.m_nDepthTableSize; ++i) {
            area += static_cast<int64_t>(Truncate(converter.m_pPixelAreaAtDepth[8 * i])) * histogram.Data()[i];
            if (area > kFarBoundArea) {
                depthBounds.max = 8 * (i + 1);
                return;
            }
        }
    }
    depthBounds.max = std::min(depthBounds.max, static_cast<int>(m_maxDepth));
}

int DUZDepthMeanShift::UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, const Vector3D<float>& position,
                                                  Box2D<int>& searchBounds, Box1D<int>& depthBounds, State& state,
                                                  const Vector3D<float>& uncertainty) {
    Box3D<float> searchBox;
    if (!DUZHandTrackerBase::ComputeSearchBounds(frame, m_searchBoundsSizeRW, m_maxSearchBoundsSizeRW, position,
                                                 uncertainty, LastSample(m_predictor, position), searchBox,
                                                 searchBounds, depthBounds)) {
        state = DUZHandTrackerBase::eLost;
        return 0;
    }
    if (m_adjustDepthBoundsByHistogram) {
        UpdateDepthBoundsAccordingToHistogram(frame, searchBounds, depthBounds, m_histogram);
    }
    return 1;
}

int DUZDepthMeanShift::ComputeWeightedHandCenter(const NADepthMapContainer& frame, Vector3D<float>& position,
                                                 const Box2D<int>& searchBounds, const Box1D<int>& depthBounds,
                                                 const Box3D<float>* excludedBoxes, int excludedCount) const {
    if (frame.m_converter == nullptr || frame.m_depth == nullptr || frame.m_depth->Data() == nullptr) {
        return 0;
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    // The first excluded box that meets the window's world box, as a pixel
    // rectangle and a depth interval.
    bool exclude = false;
    Box2D<int> excludedPixels;
    Box1D<float> excludedDepths;
    const Box3D<float> windowRW = DUZHandTrackerBase::ComputeSearchBoundsRW(frame, searchBounds, depthBounds);
    for (int i = 0; excludedBoxes != nullptr && i < excludedCount; ++i) {
        if (Overlap(excludedBoxes[i], windowRW)) {
            exclude = true;
            excludedPixels = GeometryProjector<float>::GetProjectedBounds(converter, excludedBoxes[i]);
            excludedDepths = Box1D<float>(excludedBoxes[i].min.z, excludedBoxes[i].max.z);
            break;
        }
    }
    const int width = frame.m_depth->XRes();
    const Box2D<int> window =
        ClippedToMaps(searchBounds, width, frame.m_depth->YRes(), width, frame.m_depth->YRes());
    const XnDepthPixel* depth = frame.m_depth->Data();
    WeightedPixelMean mean;
    for (int r = window.min.y; r <= window.max.y; ++r) {
        const float a = Fraction(window.max.y, r, window.min.y);
        for (int c = window.min.x; c <= window.max.x; ++c) {
            const int d = depth[r * width + c];
            if (d == 0 || d < depthBounds.min || d > depthBounds.max) {
                continue;
            }
            if (exclude && c >= excludedPixels.min.x && c <= excludedPixels.max.x && r >= excludedPixels.min.y &&
                r <= excludedPixels.max.y && static_cast<float>(d) >= excludedDepths.min &&
                static_cast<float>(d) <= excludedDepths.max) {
                continue;
            }
            const float b = Fraction(depthBounds.max, d, depthBounds.min);
            const float w = m_rowWeight * (2.0f * a + 1.0f) * (2.0f * a + 1.0f) +
                            m_depthWeight * (2.0f * b + 1.0f) * (2.0f * b + 1.0f);
            mean.Add(w, c, r, d);
        }
    }
    if (mean.IsEmpty()) {
        return 0;
    }
    position = mean.WorldPoint(converter);
    return 1;
}

int DUZDepthMeanShift::Step(const NADepthMapContainer& frame, Vector3D<float>& position, Box2D<int>& searchBounds,
                            Box1D<int>& depthBounds, State& state, const Vector3D<float>& uncertainty,
                            const Box3D<float>* excludedBoxes, int excludedCount) {
    if (UpdateSearchAndDepthBounds(frame, position, searchBounds, depthBounds, state, uncertainty) == 0 ||
        state != DUZHandTrackerBase::eTracking) {
        return 0;
    }
    if (ComputeWeightedHandCenter(frame, position, searchBounds, depthBounds, excludedBoxes, excludedCount) != 0) {
        return 1;
    }
    state = DUZHandTrackerBase::eLost;
    return 0;
}

int DUZDepthMeanShift::StepToConvergence(const NADepthMapContainer& frame, Vector3D<float>& position,
                                         Box3D<float>& searchBoundsRW, Box2D<int>& searchBounds,
                                         Box1D<int>& depthBounds, State& state, const Vector3D<float>& uncertainty,
                                         const Box3D<float>* excludedBoxes, int excludedCount) {
    const float threshold = m_convergenceDistanceThreshold * m_convergenceDistanceThreshold;
    int steps = 0;
    for (int i = 0; i < m_maxIterations; ++i) {
        const Vector3D<float> previous = position;
        const int result =
            Step(frame, position, searchBounds, depthBounds, state, uncertainty, excludedBoxes, excludedCount);
        ++steps;
        if (result == 0 || (position - previous).MagnitudeSquared() <= threshold) {
            break;
        }
    }
    searchBoundsRW = DUZHandTrackerBase::ComputeSearchBoundsRW(frame, searchBounds, depthBounds);
    return steps;
}
