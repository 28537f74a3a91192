// The per-hand tracker's preparation: the combined probability map of its
// window and the multi-scale backwards tracking.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>

#include "HandAnalysis/DUZHandImageHelpers.h"
#include "HandAnalysis/DUZHandTracker.h"
#include "HandAnalysis/DUZStageTimer.h"
#include "NACommon/NAConverterTables.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"
#include "QuorLibrary/Math/SaturatingCast.h"

namespace {

int Truncate(double value) { return vela_math::SaturatingTruncate(value); }

// The history may stand in for the previous frame up to this age, s.
constexpr float kMaxHistoryAge = 0.034f;
// Round trips closer than this count as exact, mm.
constexpr float kExactReturn = 5.0f;
constexpr float kGoodReturn = 50.0f;
constexpr float kMaxForwardMove = 100.0f;
// A lost tracker keeps only pixels of at least this share of the factor.
constexpr double kStrongShare = 0.49;

}  // namespace

const float* DUZHandTracker::BackwardsTrackingScales() {
    static const float s_scales[kScales] = {1.0f, 0.8f, 0.8f * 0.8f};
    return s_scales;
}

Box2D<int> DUZHandTracker::MapWindow(const NADepthMapContainer& frame) const {
    const DUZHandTrackerSharedData& shared = *m_sharedData;
    Box2D<int> window = m_probabilityBounds;
    if (frame.m_depth == nullptr) {
        return Box2D<int>();
    }
    window = duz_image::ClippedToImage(window, static_cast<int>(frame.m_depth->XRes()),
                                      static_cast<int>(frame.m_depth->YRes()));
    // Every map is indexed with the combined map's row length.
    const int width = shared.m_combinedProbability.Columns();
    const int height = shared.m_combinedProbability.Rows();
    if (shared.m_combinedProbabilitySwap.Columns() != width || shared.m_combinedProbabilityScratch.Columns() != width ||
        shared.m_maskedDepth.Columns() != width || static_cast<int>(frame.m_depth->XRes()) != width) {
        return Box2D<int>();
    }
    const int rows = std::min({height, shared.m_combinedProbabilitySwap.Rows(),
                               shared.m_combinedProbabilityScratch.Rows(), shared.m_maskedDepth.Rows()});
    return duz_image::ClippedToImage(window, width, rows);
}

bool DUZHandTracker::IsExcludedByPartition(int c, int r) const {
    if (m_partition == nullptr || m_partition->m_valid == 0 ||
        !duz_image::Contains(m_partition->m_partitionBox, c, r)) {
        return false;
    }
    const Array2D<int>& map = m_partition->m_partitionMap;
    if (c >= map.Columns() || r >= map.Rows() || c < 0 || r < 0) {
        return false;
    }
    const int owner = map.Data()[r * map.Columns() + c];
    return owner >= 0 && owner != static_cast<int>(m_id);
}

void DUZHandTracker::PrepareForSteps(const NADepthMapContainer& frame) {
    if (frame.m_frameId == m_lastFrameId) {
        return;
    }
    const uint32_t previousFrameId = m_lastFrameId;
    m_lastFrameId = frame.m_frameId;
    DUZStageTimer timer(*m_logger, " - DUZHandTracker::");
    DUZHandTrackerSharedData& shared = *m_sharedData;
    if (m_foregroundProbabilityCopied == 0 && m_backgroundModel != nullptr) {
        m_backgroundModel->ComputeForegroundProbabilityMap(frame, m_probabilityBounds, shared.m_foregroundProbability);
    }
    timer.Line("ComputeForegroundProbabilityMap");
    if (m_handFilter != nullptr && m_backgroundModel != nullptr) {
        m_handFilter->ComputeProbabilityMap(frame, *m_backgroundModel, m_probabilityBounds, shared.m_filterProbability);
    }
    timer.Line("ComputeProbabilityMap");

    shared.m_combinedProbabilityFactor = m_boxFilterSize * m_boxFilterSize * 1000 * 1000;
    const Box2D<int> window = MapWindow(frame);
    CombineProbabilities(frame, window);
    RemoveFilteredLocations(frame, window);
    timer.Line("m_combinedProb");
    if (m_boxFilterSize > 1) {
        BoxFilter(window);
    }
    timer.Line("BoxFilter");
    // Smoothing spreads values into the excluded pixels.
    ApplyPartition(window);
    if (m_state == eLost) {
        FilterOutSmallRegionsFromCombinedProbabilityMap(frame);
    }
    timer.Line("FilterOutSmallRegionsFromCombinedProbabilityMap");
    CheckProbabilityArea(frame);
    timer.Line("PrepareForSteps");
    // The round trip needs the previous frame's map as this tracker
    // prepared it: a hand started since has no evidence there.
    if (m_multipleTracking != 0 && m_state == eTracking &&
        m_sharedData->m_history[0].m_container.m_frameId == previousFrameId) {
        RescaleUsingBackwardsTracking(frame);
    }
}

void DUZHandTracker::CombineProbabilities(const NADepthMapContainer& /*frame*/, const Box2D<int>& window) {
    DUZHandTrackerSharedData& shared = *m_sharedData;
    const Array2D<short>& foreground = shared.m_foregroundProbability;
    const Array2D<unsigned short>& filter = shared.m_filterProbability;
    Array2D<int>& combined = shared.m_combinedProbability;
    // Maps too small for the window contribute nothing.
    const bool haveInputs = window.max.x < foreground.Columns() && window.max.y < foreground.Rows() &&
                            window.max.x < filter.Columns() && window.max.y < filter.Rows();
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            int value = 0;
            if (haveInputs && !IsExcludedByPartition(c, r)) {
                value = static_cast<int>(filter.Data()[r * filter.Columns() + c]) *
                        static_cast<int>(foreground.Data()[r * foreground.Columns() + c]);
            }
            combined.Data()[r * combined.Columns() + c] = value;
        }
    }
}

void DUZHandTracker::RemoveFilteredLocations(const NADepthMapContainer& frame, const Box2D<int>& window) {
    if (m_filteredLocationCount == 0 || duz_image::IsEmpty(window) || frame.m_converter == nullptr ||
        m_depthBounds.min > m_depthBounds.max) {
        return;
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const float cx = converter.m_fCenterX;
    const float cy = converter.m_fCenterY;
    const int width = static_cast<int>(frame.m_depth->XRes());
    const int height = static_cast<int>(frame.m_depth->YRes());
    const float d0 = static_cast<float>(m_depthBounds.min);
    const float d1 = static_cast<float>(m_depthBounds.max);
    const float nearSize = converter.PixelSizeAt(m_depthBounds.min);
    const float farSize = converter.PixelSizeAt(m_depthBounds.max);
    const float windowMinX = (static_cast<float>(window.min.x) - cx) * nearSize;
    const float windowMaxX = (static_cast<float>(window.max.x) - cx) * farSize;
    const float windowMinY = (cy - static_cast<float>(window.max.y)) * nearSize;
    const float windowMaxY = (cy - static_cast<float>(window.min.y)) * farSize;
    const XnDepthPixel* depth = frame.m_depth->Data();
    Array2D<int>& combined = m_sharedData->m_combinedProbability;
    for (int i = 0; i < m_filteredLocationCount; ++i) {
        const Box3D<float>& box = m_filteredLocations[i];
        const bool overlaps = box.min.x <= windowMaxX && box.max.x >= windowMinX && box.min.y <= windowMaxY &&
                              box.max.y >= windowMinY && box.min.z <= d1 && box.max.z >= d0;
        if (!overlaps) {
            continue;
        }
        const float zNear = std::max(box.min.z, d0);
        const float zFar = std::min(box.max.z, d1);
        const float xLo = std::max(box.min.x, windowMinX);
        const float xHi = std::min(box.max.x, windowMaxX);
        const float yLo = std::max(box.min.y, windowMinY);
        const float yHi = std::min(box.max.y, windowMaxY);
        const float nearInv = InvPixelSizeAt(converter, Truncate(zNear));
        const float farInv = InvPixelSizeAt(converter, Truncate(zFar));
        const int left = Truncate(std::max(0.0f, xLo * nearInv + cx));
        const int right = Truncate(std::min(static_cast<float>(width - 1), xHi * farInv + cx));
        const float topRow = cy - yHi * farInv;
        const int top = topRow > 0.0f ? Truncate(topRow) : 0;
        const int bottom = Truncate(std::min(static_cast<float>(height - 1), cy - yLo * nearInv));
        // The rectangle is rewritten only inside this tracker's window.
        const Box2D<int> rect = duz_image::Intersection(Box2D<int>(left, top, right, bottom), window);
        for (int r = rect.min.y; r <= rect.max.y; ++r) {
            for (int c = rect.min.x; c <= rect.max.x; ++c) {
                if (static_cast<float>(depth[r * width + c]) >= zNear) {
                    combined.Data()[r * combined.Columns() + c] = 0;
                }
            }
        }
    }
}

void DUZHandTracker::BoxFilter(const Box2D<int>& window) {
    DUZHandTrackerSharedData& shared = *m_sharedData;
    Array2D<int>& combined = shared.m_combinedProbability;
    Array2D<int>& unfiltered = shared.m_combinedProbabilitySwap;
    combined.Swap(unfiltered);
    combined.SetSize(unfiltered.Rows(), unfiltered.Columns(), false);
    BoxSums(unfiltered, shared.m_combinedProbabilityScratch, combined, window, m_boxFilterSize);
}

void DUZHandTracker::BoxSums(const Array2D<int>& source, Array2D<int>& scratch, Array2D<int>& target,
                             const Box2D<int>& window, int size) {
    if (duz_image::IsEmpty(window)) {
        return;
    }
    const int width = source.Columns();
    // Running sums over the window, kept modulo 2^32: the box sums taken
    // from them are exact because each is below 2^31.
    uint32_t* sums = reinterpret_cast<uint32_t*>(scratch.Data());
    const int* values = source.Data();
    for (int r = window.min.y; r <= window.max.y; ++r) {
        uint32_t rowSum = 0;
        for (int c = window.min.x; c <= window.max.x; ++c) {
            rowSum += static_cast<uint32_t>(values[r * width + c]);
            const uint32_t above = r > window.min.y ? sums[(r - 1) * width + c] : 0u;
            sums[r * width + c] = rowSum + above;
        }
    }
    auto sumAt = [&](int r, int c) -> uint32_t {
        return r < window.min.y || c < window.min.x ? 0u : sums[r * width + c];
    };
    const int before = (size - 1) / 2;
    const int after = size / 2;
    int* out = target.Data();
    for (int r = window.min.y; r <= window.max.y; ++r) {
        const int r0 = std::max(window.min.y, r - before) - 1;
        const int r1 = std::min(window.max.y, r + after);
        for (int c = window.min.x; c <= window.max.x; ++c) {
            const int c0 = std::max(window.min.x, c - before) - 1;
            const int c1 = std::min(window.max.x, c + after);
            const uint32_t sum = sumAt(r1, c1) - sumAt(r0, c1) - sumAt(r1, c0) + sumAt(r0, c0);
            out[r * width + c] = static_cast<int>(sum);
        }
    }
}

void DUZHandTracker::ApplyPartition(const Box2D<int>& window) {
    if (m_partition == nullptr || m_partition->m_valid == 0) {
        return;
    }
    Array2D<int>& combined = m_sharedData->m_combinedProbability;
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            if (IsExcludedByPartition(c, r)) {
                combined.Data()[r * combined.Columns() + c] = 0;
            }
        }
    }
}

void DUZHandTracker::FilterOutSmallRegionsFromCombinedProbabilityMap(const NADepthMapContainer& frame) {
    DUZHandTrackerSharedData& shared = *m_sharedData;
    const Box2D<int> window = MapWindow(frame);
    if (duz_image::IsEmpty(window) || frame.m_converter == nullptr) {
        return;
    }
    const int threshold = Truncate(static_cast<double>(shared.m_combinedProbabilityFactor) * kStrongShare);
    Array2D<int>& combined = shared.m_combinedProbability;
    Array2D<unsigned short>& masked = shared.m_maskedDepth;
    const int width = combined.Columns();
    const XnDepthPixel* depth = frame.m_depth->Data();
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            const int i = r * width + c;
            masked.Data()[i] = combined.Data()[i] >= threshold ? depth[i] : 0;
        }
    }
    const bool labelled = m_regionDetector.Run<unsigned short>(masked.Data(), nullptr, nullptr, width, masked.Rows(),
                                                               window, shared.m_regionLabels, m_regionDepthStep);
    const int n = labelled ? std::max(m_regionDetector.LabelCount(), 0) : 0;
    m_regionAreas.assign(static_cast<size_t>(n) + 1, 0.0f);
    const XnLabel* labels = shared.m_regionLabels.Data();
    const bool haveLabels = labelled && labels != nullptr && static_cast<int>(shared.m_regionLabels.XRes()) == width;
    if (haveLabels) {
        for (int r = window.min.y; r <= window.max.y; ++r) {
            for (int c = window.min.x; c <= window.max.x; ++c) {
                const int label = labels[r * width + c];
                if (label <= n) {
                    m_regionAreas[static_cast<size_t>(label)] += 1.0f;
                }
            }
        }
    }
    const float pixelArea = PixelAreaAt(*frame.m_converter, Truncate(static_cast<double>(m_position.z)));
    const int minPixels = Truncate(static_cast<double>(m_minRegionArea / pixelArea));
    m_regionKeep.assign(static_cast<size_t>(n) + 1, 0);
    for (int label = 1; label < n; ++label) {
        m_regionKeep[static_cast<size_t>(label)] =
            m_regionAreas[static_cast<size_t>(label)] >= static_cast<float>(minPixels) ? 1 : 0;
    }
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            const int label = haveLabels ? labels[r * width + c] : 0;
            if (label > n || m_regionKeep[static_cast<size_t>(label)] == 0) {
                combined.Data()[r * width + c] = 0;
            }
        }
    }
}

void DUZHandTracker::CheckProbabilityArea(const NADepthMapContainer& frame) {
    if (m_minProbabilityArea == 0.0f) {
        return;
    }
    const DUZHandTrackerSharedData& shared = *m_sharedData;
    const Box2D<int> window = MapWindow(frame);
    float sum = 0.0f;
    const float factor = static_cast<float>(shared.m_combinedProbabilityFactor);
    if (!duz_image::IsEmpty(window) && factor > 0.0f) {
        const int width = shared.m_combinedProbability.Columns();
        const XnDepthPixel* depth = frame.m_depth->Data();
        const int* combined = shared.m_combinedProbability.Data();
        for (int r = window.min.y; r <= window.max.y; ++r) {
            for (int c = window.min.x; c <= window.max.x; ++c) {
                const int d = depth[r * width + c];
                if (d >= m_depthBounds.min && d <= m_depthBounds.max) {
                    sum += static_cast<float>(combined[r * width + c]) / factor;
                }
            }
        }
    }
    const float size = frame.m_converter != nullptr ? m_position.z * frame.m_converter->m_fPixelSizeFactor : 0.0f;
    const float area = size * size * sum;
    if (m_minProbabilityArea > area) {
        LogTrackerMessage(" low probability area");
        m_newState = eLost;
    }
}

void DUZHandTracker::UpdateProbabilityBounds(const NADepthMapContainer& frame) {
    if (frame.m_converter == nullptr || frame.m_depth == nullptr) {
        return;
    }
    const int margin = Truncate(static_cast<double>(
        m_probabilityBoundsMargin / (m_position.z * frame.m_converter->m_fPixelSizeFactor)));
    const Box2D<int> widened(m_searchBounds.min.x - margin, m_searchBounds.min.y - margin,
                             m_searchBounds.max.x + margin, m_searchBounds.max.y + margin);
    m_probabilityBounds = duz_image::ClippedToImage(widened, static_cast<int>(frame.m_depth->XRes()),
                                                    static_cast<int>(frame.m_depth->YRes()));
}

void DUZHandTracker::RescaleSearchBounds(float factor) {
    m_meanShift->Rescale(factor);
    m_searchScale *= factor;
}

void DUZHandTracker::RescaleUsingBackwardsTracking(const NADepthMapContainer& frame) {
    DUZHandTrackerSharedData::TrackerInputData& history = m_sharedData->m_history[0];
    if (history.m_resolution != m_resolution || frame.m_time.SecondsSince(history.m_container.m_time) > kMaxHistoryAge) {
        return;
    }
    float scale = 1.0f;
    State state = m_newState;
    RescaleUsingBackwardsTracking(frame, m_sharedData->m_combinedProbability, history.m_container,
                                  history.m_combinedProbability, scale, state);
    if (scale != 1.0f) {
        RescaleSearchBounds(scale);
    }
    m_state = state;
    m_newState = state;
}

void DUZHandTracker::RescaleUsingBackwardsTracking(const NADepthMapContainer& frame, const Array2D<int>& map,
                                                   const NADepthMapContainer& previousFrame,
                                                   const Array2D<int>& previousMap, float& scale, State& state) {
    XnUInt64 started = 0;
    const bool timing = m_logger->GetEnabled() != 0 && xnLogIsEnabled(DUZStageTimer::kMask, XN_LOG_VERBOSE);
    if (timing) {
        xnOSGetHighResTimeStamp(&started);
    }
    // The engine as freshly made from this tracker's settings.
    DUZDepthProbMeanShift& engine = *m_backwardsEngine;
    engine.m_searchBoundsSizeRW = m_searchBoundsSizeRW;
    engine.m_maxSearchBoundsSizeRW = m_maxSearchBoundsSizeRW;
    engine.m_maxIterations = m_maxIterations;
    engine.m_convergenceDistanceThreshold = m_convergenceDistanceThreshold;
    engine.m_scale = 1.0f;
    const Vector3D<float> direction = m_forearmTracker.GetForearmDirection();
    const Vector3D<float> u = m_uncertainty;
    const Vector3D<float> p0 = m_position;
    const Vector3D<float> q0 = m_prevPosition;
    const float* scales = BackwardsTrackingScales();
    float backError[kScales];
    float moveError[kScales];
    for (int j = 0; j < kScales; ++j) {
        Box3D<float> searchBoundsRW = m_searchBoundsRW;
        Box1D<int> depthBounds = m_depthBounds;
        Box2D<int> searchBounds = m_searchBounds;
        Box2D<int> probabilityBounds = m_probabilityBounds;
        Box3D<float> searchBox = m_searchBox;
        State runState = m_newState;
        engine.Rescale(scales[j]);
        Vector3D<float> forward = p0;
        const int forwardSteps = engine.StepToConvergence(frame, map, runState, forward, searchBoundsRW, depthBounds,
                                                          searchBounds, probabilityBounds, searchBox, u, direction);
        Vector3D<float> backward = forward;
        const int backwardSteps =
            engine.StepToConvergence(previousFrame, previousMap, runState, backward, searchBoundsRW, depthBounds,
                                     searchBounds, probabilityBounds, searchBox, u, direction);
        engine.Rescale(1.0f / scales[j]);
        if (forwardSteps <= 0 || backwardSteps <= 0) {
            backError[j] = std::numeric_limits<float>::infinity();
            moveError[j] = std::numeric_limits<float>::infinity();
        } else {
            backError[j] = (q0 - backward).Magnitude() / scales[j];
            moveError[j] = (forward - p0).Magnitude();
        }
    }
    ChooseBackwardsTrackingScale(backError, moveError, scale, state);
    if (timing) {
        XnUInt64 now = 0;
        xnOSGetHighResTimeStamp(&now);
        NALoggerHelper(*m_logger, DUZStageTimer::kMask, XN_LOG_VERBOSE)
            << "HandTrackerManager" << " MultipleTracking: " << static_cast<double>(now - started) * 1e-3
            << std::endl;
    }
}

void DUZHandTracker::ChooseBackwardsTrackingScale(const float backError[kScales], const float moveError[kScales],
                                                  float& scale, State& state) {
    const float* scales = BackwardsTrackingScales();
    int exact = 0;
    int lastExact = 0;
    int best = 0;
    for (int j = 0; j < kScales; ++j) {
        if (backError[j] < kExactReturn) {
            ++exact;
            lastExact = j;
        }
        if (backError[j] < backError[best]) {
            best = j;
        }
    }
    const float e = backError[best];
    if (exact >= 2) {
        state = eTracking;
        scale = scales[lastExact];
    } else if (e <= kGoodReturn) {
        state = eTracking;
        scale = scales[best];
    } else if (std::isinf(e)) {
        state = eLost;
        scale = 1.0f;
    } else {
        scale = scales[best];
        state = moveError[best] > kMaxForwardMove ? eLost : eTracking;
    }
}
