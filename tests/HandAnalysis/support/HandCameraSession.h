#pragma once

// The hand side's real front-end path on a rendered scene: the synthetic
// camera opened through OpenNI2 at 320x240 or 640x480, the adapter's depth
// node and its metadata, the depth hub initialised as the hand tracker
// initialises it, and the device's shift tables copied as the hand-tracker
// manager copies them. Each Next reads one frame as the hand tracker reads
// it and renders the same frame of the same scene and seed in the test
// process, so every frame comes with its ground truth (label maps, joints,
// per-hand visible centroids).
//
// The session initialises OpenNI2 itself and shuts it down when it goes:
// use one at a time, and no FixtureFrame while it is open.

#include <cstdint>
#include <memory>
#include <string>

#include "NACommon/NACommonData.h"
#include "NACommon/SensorTime.h"
#include "OniCAPI.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "SceneRenderer/SceneRenderer.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"

namespace vela_test {
class TempDir;
}

namespace hand_test_kit {

class CameraSession {
public:
    CameraSession();
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    // The scene (scene-file text; see tools/SceneRenderer/README.md) at
    // width x height, written to a temporary folder and opened as
    // "synthetic://scene?file=...". False, with the reason in Error(), when
    // it does not open.
    bool OpenScene(const std::string& sceneText, int width, int height);
    // Any URI of the synthetic camera (an image folder, the default scene);
    // frames then come without ground truth.
    bool OpenUri(const std::string& uri);

    // The next frame: read from the stream, handed to every node of the
    // adapter (the frame-entry rules apply), the depth metadata refreshed
    // and the hub updated; for a scene also rendered here. False when no
    // frame comes.
    bool Next();

    const xn::DepthGenerator& Node() const { return m_node; }
    const xn::DepthMetaData& Depth() const { return m_depth; }
    NACommonData& Hub() { return *m_hub; }
    // The node's current frame.
    uint32_t FrameId() const;
    SensorTime Time() const;

    // The device's tables (the depth-to-shift table has at least 10100
    // entries) and its MaxShift.
    const unsigned short* DepthToShift() const { return m_depthToShift; }
    const unsigned short* ShiftToDepth() const { return m_shiftToDepth; }
    int MaxShift() const { return m_nMaxShift; }

    // Ground truth of the current frame (scenes only).
    bool HasTruth() const { return m_renderer != nullptr; }
    const vela::scene::RenderedFrame& Rendered() const { return m_rendered; }
    const vela::scene::FrameTruth& Truth() const { return m_rendered.truth; }
    const vela::scene::HandTruth& Hand(int person, int side) const {
        return m_rendered.truth.users.at(static_cast<size_t>(person)).hands.at(static_cast<size_t>(side));
    }
    const vela::scene::Vec3& Joint(int person, vela::scene::Joint joint) const {
        return m_rendered.truth.users.at(static_cast<size_t>(person)).joints[static_cast<int>(joint)].position;
    }

    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& error);
    void Close();

    std::unique_ptr<vela_test::TempDir> m_dir;
    bool m_bInitialized;
    OniDeviceHandle m_device;
    OniStreamHandle m_stream;
    xn::DepthGenerator m_node;
    xn::DepthMetaData m_depth;
    std::unique_ptr<NACommonData> m_hub;
    unsigned short* m_depthToShift;
    unsigned short* m_shiftToDepth;
    int m_nMaxShift;
    std::unique_ptr<vela::scene::SceneRenderer> m_renderer;
    vela::scene::RenderedFrame m_rendered;
    std::string m_error;
};

// map (width / factor x height / factor) holds value where the subsampled
// pixel (every factor-th column and row, as the hub's reduction takes them)
// shows the person's hand (kLeft or kRight), else 0.
void HandLabelMap(const vela::scene::RenderedFrame& frame, int person, int side, int factor, int value,
                  Array2D<int>& map);

// vela::scene points as the system's vectors.
Vector3D<float> ToVector(const vela::scene::Vec3& v);

}  // namespace hand_test_kit
