#pragma once

// Rendered scenes of the hand-side evidence tests (background, filter,
// partition, forearm, boundary), and the hand container of a camera session
// as the hand-tracker manager keeps it: the input level of each frame.

#include <gtest/gtest.h>

#include <string>

#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandCameraSession.h"

namespace hand_scenes {

// The room of these scenes: a wall at 3.2 m, the camera 1.2 m above the
// floor; every sensor effect on. globals go first (frames ...).
inline std::string Room(const std::string& people, const std::string& globals = "") {
    return globals + "camera elevation=1200\nwall z=3200\n" + people;
}

// The right arm with the hand raised in front of the chest (about 400 mm in
// front of the torso's centre) and the forearm hanging below it, the elbow
// below and behind the hand.
constexpr const char* kRaisedRightArm = "right_arm=0,30,0,105";

// A person of 1.75 m facing the camera, placed by keys ("at" lines), in the
// pose with the given arm angles.
inline std::string Person(const std::string& arms, const std::string& keys = "  at 0 pos=0,1800\n",
                          const std::string& options = "") {
    return "person height=1750" + options + "\n" + keys + "  pose 0 stand " + arms + "\n";
}

// The person at 1.8 m with the right hand raised.
inline std::string RaisedRightHand() { return Room(Person(kRaisedRightArm)); }

// The session's frame in a container at its input level.
class SessionContainer {
public:
    explicit SessionContainer(hand_test_kit::CameraSession& session) : m_session(session) {}

    // Reads the next frame into the container; false when none comes.
    bool Next() {
        if (!m_session.Next()) {
            return false;
        }
        if (!m_initialized) {
            if (!m_container.Initialize(m_session.Node(), m_session.Depth())) {
                return false;
            }
            m_container.m_depthToShift = m_session.DepthToShift();
            m_container.m_shiftToDepth = m_session.ShiftToDepth();
            m_initialized = true;
        }
        return m_container.Update(&m_session.Hub(), m_session.Node(), m_session.Depth(), m_session.FrameId(),
                                  m_session.Time());
    }
    const DUZMultiResDepthMapContainer& Container() const { return m_container; }
    int Width() const { return static_cast<int>(m_session.Depth().XRes()); }
    int Height() const { return static_cast<int>(m_session.Depth().YRes()); }
    Box2D<int> All() const { return Box2D<int>(0, 0, Width() - 1, Height() - 1); }

private:
    hand_test_kit::CameraSession& m_session;
    DUZMultiResDepthMapContainer m_container;
    bool m_initialized = false;
};

}  // namespace hand_scenes
