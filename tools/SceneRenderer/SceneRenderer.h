#pragma once

// Renders a scene into what a depth camera would deliver, with exact ground
// truth. Everything is expressed in the world frame the system derives from
// the delivered image (x = (c - W/2) k z, y = (H/2 - r) k z, z = depth): with
// mirroring on (the default), a person facing the camera has their right
// side at +x. A frame is a pure function of the scene, the settings and the
// frame index.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SceneRenderer/BodyModel.h"
#include "SceneRenderer/DepthCamera.h"
#include "SceneRenderer/Motion.h"
#include "SceneRenderer/Primitives.h"
#include "SceneRenderer/Scene.h"
#include "SceneRenderer/SensorEffects.h"
#include "SceneRenderer/SensorModel.h"

namespace vela::scene {

// The sensor effects as in SensorSettings (the defaults are the same).
struct RenderSettings {
    int nWidth = 320;
    int nHeight = 240;
    float fHorizontalFov = DepthCamera::kDefaultHorizontalFov;
    bool bMirror = true;
    bool bQuantise = true;
    bool bShadow = true;
    bool bDeviceLevels = SensorSettings().bDeviceLevels;
    double dNoise = SensorSettings().dNoise;              // shift units
    double dNoiseField = SensorSettings().dNoiseField;    // shift units
    double dNoiseBlocks = SensorSettings().dNoiseBlocks;  // shift units
    bool bEdges = SensorSettings().bEdges;
    bool bFragments = SensorSettings().bFragments;
    bool bHoles = SensorSettings().bHoles;
    double dDropouts = 0.0;  // probability per pixel
    uint64_t nSeed = 1;

    static RenderSettings FromScene(const Scene& scene);
};

struct JointTruth {
    Vec3 position;     // world mm
    // Rows of a rotation whose columns are the joint's axes in world
    // coordinates, with the system's conventions: the torso frame (x toward
    // the person's right, y up the spine, z = x cross y), the head tilted
    // from it, limbs along their segments. Hands and feet carry the
    // orientation of the forearm and the lower leg.
    Mat3 orientation;
};

// The visible surface of one hand: what a hand tracker converges on, up to
// half a hand away from the hand joint (which sits in the palm).
struct HandTruth {
    int nVisiblePixels = 0;  // pixels of the user labelled as this hand
    // Area-weighted mean of their world points, as for the whole person;
    // zero when none is visible.
    Vec3 centroid;
};

struct UserTruth {
    int nId = 0;                                  // the value in the user label map
    std::array<JointTruth, kJointCount> joints;   // indexed by Joint
    int nVisiblePixels = 0;                       // labelled pixels with depth
    // Area-weighted mean of the world points of those pixels (the system's
    // conversion of the delivered depth); zero when none is visible.
    Vec3 centroid;
    Vec3 centre;                                  // volume-weighted centre of the body
    std::array<HandTruth, 2> hands;               // indexed by side: kLeft, kRight
    // The scripted motions running in this frame (walking, wave, push, ...).
    std::vector<MotionTruth> motions;
};

struct FrameTruth {
    int nFrame = 0;
    double dTime = 0.0;                           // seconds
    Vec3 floorPoint;                              // the floor below the camera
    Vec3 floorNormal;                             // unit, pointing up
    std::vector<UserTruth> users;
};

// One JSON object on one line (no line end).
std::string FrameTruthToJson(const FrameTruth& truth);

struct RenderedFrame {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint16_t> depth;   // mm, 0 = no depth; row-major
    std::vector<uint16_t> users;   // 0 background, 1.. person in scene order
    std::vector<uint8_t> parts;    // BodyPartLabel
    FrameTruth truth;
};

class SceneRenderer {
public:
    explicit SceneRenderer(const Scene& scene);

    const Scene& GetScene() const { return m_scene; }
    int FrameCount() const { return m_scene.nFrames; }
    double Fps() const { return m_scene.dFps; }

    const RenderSettings& Settings() const { return m_settings; }
    // False, with the settings unchanged, when they cannot be rendered: a
    // side outside 1..4096, a field of view outside (0, 3) rad, noise below
    // 0 or above 100, or a dropout rate outside 0..1.
    bool SetSettings(const RenderSettings& settings);
    bool SetResolution(int width, int height);
    void SetMirror(bool mirror);

    const DepthCamera& Camera() const { return m_camera; }
    const SensorModel& Sensor() const { return m_sensor; }

    // Renders frame `index` (time index / fps; any index >= 0, the motion
    // holds its last state past the scene's end).
    void Render(int index, RenderedFrame& frame);
    // Only the depth, into a caller's buffer of Settings().nWidth x nHeight
    // pixels with rows `stride` pixels apart (0: the width).
    void RenderDepth(int index, uint16_t* depth, int stride = 0);

private:
    struct PersonFrame {
        Skeleton skeleton;
        Mat3 linear;     // body to world
        Vec3 offset;
        std::vector<Shape> shapes;  // world frame
    };

    void Rasterize(int index);
    void ComputeTruth(const RenderedFrame& frame, FrameTruth& truth) const;
    // Cloth that folds: fabric over the torso and the thighs.
    static bool IsFolded(uint8_t material, uint8_t part);
    // How far the cloth's folds bring a pixel of a person nearer (mm).
    double FoldDepth(int person, int column, int row, double depth) const;

    Scene m_scene;
    RenderSettings m_settings;
    DepthCamera m_camera;
    SensorModel m_sensor;
    std::vector<PersonMotion> m_people;

    // Per-frame state; the image is widened on the projector's side by
    // m_nMargin columns so that bodies just outside the view still cast
    // their shadow into it.
    Mat3 m_roomToWorld;
    Vec3 m_roomOffset;
    std::vector<PersonFrame> m_personFrames;
    std::vector<FoldPhases> m_foldPhases;
    std::vector<RenderPrimitive> m_primitives;
    int m_nMargin = 0;
    int m_nLeftMargin = 0;
    int m_nWideWidth = 0;
    std::vector<double> m_rayX, m_rayY;
    std::vector<double> m_zBuffer;
    std::vector<uint16_t> m_userBuffer;
    std::vector<uint8_t> m_partBuffer;
    std::vector<uint8_t> m_materialBuffer;
    std::vector<uint8_t> m_dropped;
    std::vector<double> m_surfaceDepth;  // output image
    std::vector<uint8_t> m_surfaceMaterial;
    std::vector<uint8_t> m_holes;
    std::vector<uint8_t> m_shadow;
    SensorEffects m_effects;
    std::vector<double> m_rowDepth;
    RenderedFrame m_scratch;
};

}  // namespace vela::scene
