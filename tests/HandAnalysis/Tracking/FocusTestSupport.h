#pragma once

// Fixtures of the gesture candidates' tests: a focus hand tracker set up on
// a painted frame, and a ring of painted frames with frame ids as the
// gesture manager keeps its last eight frames.

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "HandAnalysis/DUZFocusHandTracker.h"
#include "NACommon/NADepthMapContainer.h"

namespace focus_test {

constexpr unsigned short kMaxDepth = 4500;
constexpr int64_t kFramePeriodUs = 33333;

inline SensorTime FrameTime(uint32_t frameId) { return SensorTime(static_cast<int64_t>(frameId) * kFramePeriodUs); }

// The tracker with its default settings ("FocusTracker" read from no file).
inline std::unique_ptr<DUZFocusHandTracker> MakeTracker(const hand_test_kit::FixtureFrame& frame,
                                                        Array2D<unsigned short>* motion) {
    std::unique_ptr<DUZFocusHandTracker> tracker(new DUZFocusHandTracker(nullptr, 0, motion, kMaxDepth,
                                                                         frame.MaxShift()));
    EXPECT_EQ(1, tracker->Initialize("", 0));
    return tracker;
}

// A hand facing the camera, no forearm, before a wall at 3 m.
inline void PaintHandScene(hand_test_kit::FixtureFrame& frame, const Vector3D<float>& center) {
    hand_test_kit::PaintPlane(frame.Depth(), 3000);
    hand_test_kit::HandFixture hand;
    hand.center = center;
    hand_test_kit::PaintHand(frame.Depth(), frame.Converter(), hand);
}

// Eight ring slots sharing the fixture's converter and tables, each with its
// own depth map, frame id and time.
class PaintedRing {
public:
    static constexpr int kSize = 8;

    explicit PaintedRing(hand_test_kit::FixtureFrame& frame) : m_frame(frame) {
        for (int i = 0; i < kSize; ++i) {
            m_slots[i] = frame.Container();
            m_slots[i].m_frameId = 0;
        }
    }

    // Paints the fixture (through paint), then copies it into slot
    // frameId % 8 as frame frameId.
    template <typename Paint>
    NADepthMapContainer& Store(uint32_t frameId, Paint paint) {
        paint(m_frame);
        const int slot = static_cast<int>(frameId % kSize);
        m_depths[slot].InitFrom(m_frame.Depth());
        m_slots[slot].m_depth = &m_depths[slot];
        m_slots[slot].m_frameId = frameId;
        m_slots[slot].m_time = FrameTime(frameId);
        return m_slots[slot];
    }
    NADepthMapContainer& Slot(uint32_t frameId) { return m_slots[frameId % kSize]; }
    const NADepthMapContainer* Slots() const { return m_slots.data(); }

private:
    hand_test_kit::FixtureFrame& m_frame;
    std::array<NADepthMapContainer, kSize> m_slots;
    std::array<xn::DepthMetaData, kSize> m_depths;
};

}  // namespace focus_test
