#pragma once

// One per-hand tracker driven as the hand-tracker manager drives one hand,
// on the frames of a camera session at the 160x120 working level (the
// manager's level for a hand nearer than 2.5 m):
// - start: the background seeded from the frame (as for a first hand), the
//   partition cleared, the tracker started, then the background under the
//   hand forgotten (a hand-only mask over the hand's box: -200..200 mm
//   around the start point, depths up to its z + 200);
// - every frame before the start: the shared history copied, as the
//   manager copies it every frame;
// - per frame: the combined map zeroed inside the tracker's last
//   probability window, ClearFlags, ComputePredictionAndBounds, no head
//   boxes, Update, the shared history copy, and the background learnt
//   outside the same hand-only mask around the tracker's position.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "HandAnalysis/DUZHandFilter.h"
#include "HandAnalysis/DUZHandPartition.h"
#include "HandAnalysis/DUZHandTracker.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandAnalysis/DUZHandTrackerSharedData.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandCameraSession.h"
#include "XnAdapter/XnImageMetaData.h"

namespace hand_tracker_driver {

// The manager's depth limit and the hand mask's reach around a hand, mm.
constexpr unsigned short kMaxDepth = 4500;
constexpr float kMaskReach = 200.0f;

class OneHandDriver {
public:
    explicit OneHandDriver(hand_test_kit::CameraSession& session) : m_session(session) {}

    // The next camera frame at the working level; false when none comes.
    bool Next() {
        if (!m_session.Next()) {
            return false;
        }
        if (!m_ready) {
            if (!m_container.Initialize(m_session.Node(), m_session.Depth())) {
                return false;
            }
            m_container.m_depthToShift = m_session.DepthToShift();
            m_container.m_shiftToDepth = m_session.ShiftToDepth();
            if (!m_container.SetLevel(NAResolution::QQVGA)) {
                return false;
            }
        }
        if (!m_container.Update(&m_session.Hub(), m_session.Node(), m_session.Depth(), m_session.FrameId(),
                                m_session.Time())) {
            return false;
        }
        if (!m_ready) {
            const xn::DepthMetaData& depth = *m_container.m_depth;
            m_background.Initialize(depth, "", 0);
            m_filter.Initialize("", kMaxDepth, 0);
            m_partition.Initialize(depth, "", 0);
            m_tracker.reset(
                new DUZHandTracker(&m_partition, &m_background, &m_filter, false, kMaxDepth, m_session.MaxShift()));
            EXPECT_EQ(1, m_tracker->Initialize(m_session.Node(), depth, "", 0));
            m_tracker->m_id = 1;
            m_mask.SetSize(Height(), Width(), false);
            std::fill(m_mask.Data(), m_mask.Data() + Width() * Height(), 0);
            m_ready = true;
        }
        if (!m_started) {
            m_tracker->m_sharedData->UpdateTrackerInputDataHistory(m_container);
        }
        return true;
    }

    // Starts the hand at position on the current frame; the tracker's
    // result.
    int Start(const Vector3D<float>& position, const Vector2D<float>& handSize) {
        m_background.SetToCurrentShiftMapSSE(m_container, All());
        m_partition.ClearPartition();
        const int started = m_tracker->StartTracking(m_container, position, handSize);
        m_started = true;
        const Box2D<int> box = MarkHand(position);
        m_background.Reset(m_mask, m_maskValue, box);
        return started;
    }

    // One frame of the started hand.
    void Track() {
        DUZHandTracker& tracker = *m_tracker;
        Array2D<int>& combined = tracker.m_sharedData->m_combinedProbability;
        const Box2D<int>& window = tracker.m_probabilityBounds;
        for (int r = std::max(0, window.min.y); r <= std::min(window.max.y, combined.Rows() - 1); ++r) {
            for (int c = std::max(0, window.min.x); c <= std::min(window.max.x, combined.Columns() - 1); ++c) {
                combined.Data()[r * combined.Columns() + c] = 0;
            }
        }
        tracker.ClearFlags();
        tracker.ComputePredictionAndBounds(m_container);
        tracker.SetFilteredLocations(nullptr, 0);
        tracker.Update(m_container, m_image);
        tracker.m_sharedData->UpdateTrackerInputDataHistory(m_container);
        if (tracker.m_state != DUZHandTrackerBase::eInactive) {
            MarkHand(tracker.m_position);
            m_background.Update(m_container, All(), m_mask, m_maskValue);
        }
    }

    DUZHandTracker& Tracker() { return *m_tracker; }
    const NADepthMapContainer& Frame() const { return m_container; }
    DUZHandTrackerBackgroundModel& Background() { return m_background; }
    int Width() const { return static_cast<int>(m_container.m_depth->XRes()); }
    int Height() const { return static_cast<int>(m_container.m_depth->YRes()); }
    Box2D<int> All() const { return Box2D<int>(0, 0, Width() - 1, Height() - 1); }

private:
    // A new hand-only mask over the hand's box; the box examined.
    Box2D<int> MarkHand(const Vector3D<float>& p) {
        ++m_maskValue;
        const WorldPointConverterBase<float>& converter = *m_container.m_converter;
        const float e = p.z * converter.m_fPixelSizeFactor;
        const float u = p.z > 0 ? p.x / e + converter.m_fCenterX : 0.0f;
        const float v = p.z > 0 ? converter.m_fCenterY - p.y / e : 0.0f;
        const Box2D<int> box(std::max(0, static_cast<int>(u - kMaskReach / e)),
                             std::max(0, static_cast<int>(v - kMaskReach / e)),
                             std::min(Width() - 1, static_cast<int>(u + kMaskReach / e)),
                             std::min(Height() - 1, static_cast<int>(v + kMaskReach / e)));
        const int zFar = static_cast<int>(p.z + kMaskReach);
        const xn::DepthMetaData& depth = *m_container.m_depth;
        for (int r = box.min.y; r <= box.max.y; ++r) {
            for (int c = box.min.x; c <= box.max.x; ++c) {
                const int d = depth(c, r);
                if (d > 0 && d <= zFar) {
                    m_mask.Data()[r * Width() + c] = m_maskValue;
                }
            }
        }
        return box;
    }

    hand_test_kit::CameraSession& m_session;
    DUZMultiResDepthMapContainer m_container;
    DUZHandTrackerBackgroundModel m_background;
    DUZHandFilter m_filter;
    DUZHandPartition m_partition;
    std::unique_ptr<DUZHandTracker> m_tracker;
    Array2D<unsigned short> m_mask;
    unsigned short m_maskValue = 0;
    xn::ImageMetaData m_image;
    bool m_ready = false;
    bool m_started = false;
};

}  // namespace hand_tracker_driver
