#pragma once

// The per-frame work of the gesture manager, for tests of the gesture
// candidates on a camera session: a ring of eight 160x120 frames filled
// with the hub's downscale, one shift map shared by all slots holding the
// current frame's shifts, the focus background model updated over the
// newest three frames with the previous frame's focus mask and tracked
// windows, and the tracked objects updated after it, which then give the new
// mask and windows.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "HandAnalysis/DUZFocusBackgroundModel.h"
#include "HandAnalysis/DUZTrackedObject.h"
#include "HandCameraSession.h"
#include "NACommon/NADepthMapContainer.h"

namespace focus_driver {

class Driver {
public:
    static constexpr int kRingSize = 8;
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 120;
    static constexpr unsigned short kMaxDepth = 4500;

    // The session is open; its hub is the one the model binds.
    explicit Driver(hand_test_kit::CameraSession& session) : m_session(session) {
        m_converter.reset(new WorldPointConverterBase<float>(session.Node(), kWidth, kHeight));
        m_shift.AllocateData(kWidth, kHeight);
        for (int i = 0; i < kRingSize; ++i) {
            m_depths[i].AllocateData(kWidth, kHeight);
            m_views[i].Borrow(m_shift.WritableData(), kHeight, kWidth);
            NADepthMapContainer& slot = m_ring[i];
            slot.m_depth = &m_depths[i];
            slot.m_shift = &m_shift;
            slot.m_depthToShift = session.DepthToShift();
            slot.m_shiftToDepth = session.ShiftToDepth();
            slot.m_converter = m_converter.get();
            slot.m_frameId = 0;
        }
        m_mask.SetSize(kHeight, kWidth, false);
        std::fill(m_mask.Data(), m_mask.Data() + m_mask.Size(), 0);
        EXPECT_EQ(1, m_model.Initialize(&session.Hub(), session.Node(), "", 0, 1, 0));
        m_model.m_bResetBackground = 1;
    }

    // A new candidate object, initialised with the default settings; its
    // trajectory keeps the fitted model when useFittedTrajectory is set, as
    // the robust recognizers need it.
    DUZTrackedObject& AddObject(int useFittedTrajectory = 0) {
        m_objects.emplace_back(new DUZTrackedObject(m_ring.data(), kRingSize, &m_model.m_motionImage,
                                                    useFittedTrajectory, kMaxDepth, m_session.MaxShift()));
        EXPECT_EQ(1, m_objects.back()->Initialize(static_cast<unsigned>(m_objects.size()), "", 0));
        return *m_objects.back();
    }
    // Starts an object at position in the current frame (backwards over the
    // ring, then forwards).
    void Start(DUZTrackedObject& object, const Vector3D<float>& position) {
        object.StartTracking(Current(), m_ring.data(), kRingSize, position, 0, 1);
    }

    // Reads the next frame and runs the manager's steps on it (the model
    // only from the fourth frame, the objects' update when updateObjects).
    bool Next(bool updateObjects = true) {
        if (!m_session.Next()) {
            return false;
        }
        const uint32_t f = m_session.FrameId();
        if (m_firstFrameId == UINT32_MAX) {
            m_firstFrameId = f;
        }
        NADepthMapContainer& slot = m_ring[f & 7];
        m_session.Hub().Downscale(m_session.Depth(), m_depths[f & 7], m_session.Depth().XRes() / kWidth);
        slot.m_frameId = f;
        slot.m_time = m_session.Time();
        const unsigned short* depth = m_depths[f & 7].Data();
        unsigned short* shift = m_shift.WritableData();
        for (int i = 0; i < kWidth * kHeight; ++i) {
            shift[i] = m_session.DepthToShift()[depth[i]];
        }
        m_modelUpdated = f - m_firstFrameId > 2;
        if (!m_modelUpdated) {
            return true;
        }
        const xn::DepthMetaData* depths[3] = {&m_depths[f & 7], &m_depths[(f + 7) & 7], &m_depths[(f + 6) & 7]};
        const Array2D<unsigned short>* views[3] = {&m_views[f & 7], &m_views[(f + 7) & 7], &m_views[(f + 6) & 7]};
        m_model.Update(depths, views, f, m_session.Time(), m_maskEnabled ? m_mask.Data() : nullptr, m_boxes.data(),
                       m_numBoxes);
        if (updateObjects) {
            UpdateObjects();
        }
        return true;
    }

    // The manager's tracker update: every busy object, then the mask and
    // windows of those updated.
    void UpdateObjects() {
        std::fill(m_mask.Data(), m_mask.Data() + m_mask.Size(), 0);
        m_numBoxes = 0;
        for (auto& object : m_objects) {
            if (object->m_tracker.m_state == DUZHandTrackerBase::eInactive) {
                continue;
            }
            object->Update(Current(), 0, nullptr, 0);
            const Box2D<int>& box = object->m_tracker.m_searchBounds;
            m_boxes[static_cast<size_t>(m_numBoxes++)] = box;
            for (int y = std::max(box.min.y, 0); y <= std::min(box.max.y, kHeight - 1); ++y) {
                for (int x = std::max(box.min.x, 0); x <= std::min(box.max.x, kWidth - 1); ++x) {
                    m_mask(y, x) = 1;
                }
            }
        }
    }

    NADepthMapContainer& Current() { return m_ring[m_session.FrameId() & 7]; }
    NADepthMapContainer& Slot(uint32_t frameId) { return m_ring[frameId & 7]; }
    const Array2D<unsigned short>& ShiftView() const { return m_views[0]; }
    // Without the mask every candidate's counters last 15 still frames.
    void SetMaskEnabled(bool on) { m_maskEnabled = on; }
    DUZFocusBackgroundModel& Model() { return m_model; }
    const WorldPointConverterBase<float>& Converter() const { return *m_converter; }
    bool ModelUpdated() const { return m_modelUpdated; }

private:
    hand_test_kit::CameraSession& m_session;
    std::unique_ptr<WorldPointConverterBase<float>> m_converter;
    std::array<xn::DepthMetaData, kRingSize> m_depths;
    xn::DepthMetaData m_shift;
    std::array<Array2D<unsigned short>, kRingSize> m_views;
    std::array<NADepthMapContainer, kRingSize> m_ring;
    DUZFocusBackgroundModel m_model;
    Array2D<unsigned short> m_mask;
    std::array<Box2D<int>, 50> m_boxes;
    int m_numBoxes = 0;
    std::vector<std::unique_ptr<DUZTrackedObject>> m_objects;
    uint32_t m_firstFrameId = UINT32_MAX;
    bool m_modelUpdated = false;
    bool m_maskEnabled = true;
};

}  // namespace focus_driver
