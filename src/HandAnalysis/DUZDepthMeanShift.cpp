// The probability mean-shift engine of the per-hand tracker.

#include "HandAnalysis/DUZDepthMeanShift.h"

#include <algorithm>
#include <ostream>

#include "HandAnalysis/DUZDepthMeanShiftCommon.h"
#include "NACommon/NALoggerHelper.h"

using namespace duz_mean_shift;

DUZDepthProbMeanShift::DUZDepthProbMeanShift(const PredictorHolder& predictor, const Box3D<float>& searchBoundsSizeRW,
                                             const Box3D<float>& maxSearchBoundsSizeRW, int maxShift,
                                             int maxIterations, const float& convergenceDistanceThreshold,
                                             const float& probabilityBoundsMargin, int computeCenter,
                                             int adjustDepthBoundsByHistogram, int* auxiliaryBuffer,
                                             int* shiftHistogram)
    : m_maxIterations(maxIterations),
      m_convergenceDistanceThreshold(convergenceDistanceThreshold),
      m_probabilityBoundsMargin(probabilityBoundsMargin),
      m_searchBoundsSizeRW(searchBoundsSizeRW),
      m_maxSearchBoundsSizeRW(maxSearchBoundsSizeRW),
      m_predictor(predictor),
      m_computeCenter(computeCenter),
      m_adjustDepthBoundsByHistogram(adjustDepthBoundsByHistogram),
      m_auxiliaryBuffer(auxiliaryBuffer),
      m_shiftHistogram(shiftHistogram),
      m_scale(1.0f),
      m_logger(&NALogger::GetInstance()),
      m_maxShift(std::max(maxShift, 0)) {
    // The adjustment's storage is only needed when it is on.
    if (m_adjustDepthBoundsByHistogram != 0) {
        m_cumulativeArea.assign(static_cast<size_t>(m_maxShift) + 1, 0);
        if (m_shiftHistogram == nullptr) {
            m_ownedShiftHistogram.assign(static_cast<size_t>(m_maxShift) + 1, 0);
            m_shiftHistogram = m_ownedShiftHistogram.data();
        }
    }
}

void DUZDepthProbMeanShift::Rescale(const float& factor) {
    const float f = factor;
    ScaleBox(m_searchBoundsSizeRW, f);
    ScaleBox(m_maxSearchBoundsSizeRW, f);
    m_scale *= f;
}

void DUZDepthProbMeanShift::UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, Box1D<int>& depthBounds,
                                                       Box2D<int>& searchBounds, Box3D<float>& searchBox,
                                                       State& state, const Vector3D<float>& uncertainty,
                                                       const Vector3D<float>& position) {
    if (!DUZHandTrackerBase::ComputeSearchBounds(frame, m_searchBoundsSizeRW, m_maxSearchBoundsSizeRW, position,
                                                 uncertainty, LastSample(m_predictor, position), searchBox,
                                                 searchBounds, depthBounds)) {
        state = DUZHandTrackerBase::eLost;
    }
}

void DUZDepthProbMeanShift::UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, const Array2D<int>& map,
                                                       Box1D<int>& depthBounds, Box2D<int>& searchBounds,
                                                       Box2D<int>& probabilityBounds, Box3D<float>& searchBox,
                                                       State& state, int setProbabilityBounds,
                                                       const Vector3D<float>& uncertainty,
                                                       const Vector3D<float>& position) {
    searchBounds = Box2D<int>(0, 0, 0, 0);
    UpdateSearchAndDepthBounds(frame, depthBounds, searchBounds, searchBox, state, uncertainty, position);
    if (setProbabilityBounds != 0) {
        if (frame.m_converter == nullptr || frame.m_depth == nullptr) {
            return;
        }
        const int margin =
            Truncate(m_probabilityBoundsMargin / (position.z * frame.m_converter->m_fPixelSizeFactor));
        probabilityBounds = Widened(searchBounds, margin, frame.m_depth->XRes(), frame.m_depth->YRes());
        return;
    }
    searchBounds.min.x = std::max(searchBounds.min.x, probabilityBounds.min.x);
    searchBounds.min.y = std::max(searchBounds.min.y, probabilityBounds.min.y);
    searchBounds.max.x = std::min(searchBounds.max.x, probabilityBounds.max.x);
    searchBounds.max.y = std::min(searchBounds.max.y, probabilityBounds.max.y);
    if (m_adjustDepthBoundsByHistogram != 0 && depthBounds.min <= depthBounds.max) {
        AdjustDepthBoundsByHistogram(frame, map, searchBounds, depthBounds);
    }
}

int DUZDepthProbMeanShift::ComputeWeightedHandCenter(const NADepthMapContainer& frame, const Array2D<int>& map,
                                                     Vector3D<float>& position, const Box2D<int>& searchBounds,
                                                     const Box2D<int>& probabilityBounds,
                                                     const Vector3D<float>& direction, const Box1D<int>& depthBounds,
                                                     int computeCenter) const {
    if (computeCenter == 0 || frame.m_converter == nullptr || frame.m_depth == nullptr ||
        frame.m_depth->Data() == nullptr) {
        return 0;
    }
    Box2D<int> window(std::max(searchBounds.min.x, probabilityBounds.min.x),
                      std::max(searchBounds.min.y, probabilityBounds.min.y),
                      std::min(searchBounds.max.x, probabilityBounds.max.x),
                      std::min(searchBounds.max.y, probabilityBounds.max.y));
    if (window.min.y > window.max.y) {
        return 0;
    }
    const int width = frame.m_depth->XRes();
    window = ClippedToMaps(window, frame.m_depth->XRes(), frame.m_depth->YRes(), map.Columns(), map.Rows());
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const float cx = converter.m_fCenterX;
    const float cy = converter.m_fCenterY;
    const XnDepthPixel* depth = frame.m_depth->Data();
    const int* probability = map.Data();
    const int mapWidth = map.Columns();
    const Vector3D<float>& p = position;
    const Vector3D<float>& u = direction;
    // The ramp is 300 mm wide.
    const float inverseRamp = 1.0f / 300.0f;
    WeightedPixelMean mean;
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            const int d = depth[r * width + c];
            if (d == 0 || d < depthBounds.min || d > depthBounds.max) {
                continue;
            }
            const int value = probability[r * mapWidth + c];
            if (value == 0) {
                continue;
            }
            const float size = converter.PixelSizeAt(d);
            const float x = (static_cast<float>(c) - cx) * size;
            const float y = (cy - static_cast<float>(r)) * size;
            const float z = static_cast<float>(d);
            const float fz = std::min(std::max(0.5f + u.z * (z - p.z) * inverseRamp, 0.0f), 1.0f);
            const float v = 0.5f + (u.x * (x - p.x) + u.y * (y - p.y)) * inverseRamp;
            const float fxy = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v * v);
            const float w = fz * fxy * static_cast<float>(value);
            mean.Add(w, c, r, d);
        }
    }
    if (mean.IsEmpty()) {
        return 0;
    }
    position = mean.WorldPoint(converter);
    return 1;
}

int DUZDepthProbMeanShift::Step(const NADepthMapContainer& frame, const Array2D<int>& map, Vector3D<float>& position,
                                Box1D<int>& depthBounds, Box2D<int>& probabilityBounds, Box3D<float>& searchBox,
                                State& state, const Vector3D<float>& uncertainty, const Vector3D<float>& direction) {
    Box2D<int> window;
    UpdateSearchAndDepthBounds(frame, map, depthBounds, window, probabilityBounds, searchBox, state, 0, uncertainty,
                               position);
    if (state != DUZHandTrackerBase::eTracking) {
        return 0;
    }
    if (ComputeWeightedHandCenter(frame, map, position, window, probabilityBounds, direction, depthBounds,
                                  m_computeCenter) != 0) {
        return 1;
    }
    state = DUZHandTrackerBase::eLost;
    return 0;
}

int DUZDepthProbMeanShift::StepToConvergence(const NADepthMapContainer& frame, const Array2D<int>& map, State& state,
                                             Vector3D<float>& position, Box3D<float>& searchBoundsRW,
                                             Box1D<int>& depthBounds, Box2D<int>& searchBounds,
                                             Box2D<int>& probabilityBounds, Box3D<float>& searchBox,
                                             const Vector3D<float>& uncertainty, const Vector3D<float>& direction) {
    const Vector3D<float> scaled = uncertainty * m_scale;
    const float threshold = m_convergenceDistanceThreshold * m_convergenceDistanceThreshold;
    int steps = 0;
    for (int i = 0; i < m_maxIterations; ++i) {
        const Vector3D<float> previous = position;
        if (Step(frame, map, position, depthBounds, probabilityBounds, searchBox, state, scaled, direction) == 0) {
            return -1;
        }
        ++steps;
        if ((position - previous).MagnitudeSquared() <= threshold) {
            break;
        }
    }
    searchBoundsRW = DUZHandTrackerBase::ComputeSearchBoundsRW(frame, searchBounds, depthBounds);
    return steps;
}

void DUZDepthProbMeanShift::CalculateShiftHistogramUsingMask(int* histogram, Box2D<int>& box, Box1D<int>& shiftBounds,
                                                             Box1D<unsigned short>& range,
                                                             const NADepthMapContainer& frame,
                                                             const Array2D<int>& mask, const Box1D<int>& depthBounds,
                                                             int size) {
    DUZHandTrackerBase::ShiftHistogramOfWindow(frame, box, mask, depthBounds, histogram, size, shiftBounds, range);
}
