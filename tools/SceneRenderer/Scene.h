#pragma once

// A scene: camera, sensor, room and people with their motions over time, as
// read from a scene file (see README.md) or built in code.

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "SceneRenderer/BodyModel.h"
#include "SceneRenderer/Bvh.h"
#include "SceneRenderer/DepthCamera.h"
#include "SceneRenderer/DressedBody.h"
#include "SceneRenderer/SensorModel.h"

namespace vela::scene {

// Key times past this (seconds) are refused: the walking cycle keeps a table
// over the keys' span, and a longer scene is better cut into several.
constexpr double kMaxSceneTime = 3600.0;

struct CameraSettings {
    int nWidth = 320;
    int nHeight = 240;
    float fHorizontalFov = DepthCamera::kDefaultHorizontalFov;  // radians
    double dElevation = 1000.0;  // optical centre above the floor, mm
    double dTilt = 0.0;          // degrees, positive looks down
    bool bMirror = true;         // the system expects a mirrored stream
};

// The defaults are a real sensor's; each effect can be switched off.
struct SensorSettings {
    SensorParameters params;
    bool bQuantise = true;
    bool bShadow = true;
    // Levels sit 1 mm below the table entries, as devices deliver them
    // (otherwise on the entries).
    bool bDeviceLevels = true;
    double dNoise = 0.03;        // per-pixel noise, standard deviation in shift units; 0 for none
    double dNoiseField = 0.8;    // smooth correlated noise, shift units; 0 for none
    // Small blocks share a shift and this noise (shift units); 0 for neither.
    double dNoiseBlocks = 0.1;
    bool bEdges = true;          // silhouettes gain and lose pixels at depth jumps
    bool bFragments = true;      // small bits detach beside depth jumps
    bool bHoles = true;          // hair, dark fabric and skin lose depth in clusters
    double dDropouts = 0.0;      // probability that a pixel loses its depth
    uint64_t nSeed = 1;
};

// Room coordinates: floor at y = 0, the camera above the origin looking
// along +z, x to the right as seen from behind the camera.
struct WallDef {
    char axis = 'z';     // the wall is the plane x = value or z = value
    double value = 4000.0;
};

struct BoxDef {
    Vec3 centre;
    Vec3 size{400.0, 400.0, 400.0};
    double yaw = 0.0;    // degrees about the vertical
    // The box is in the room from `from` until (not including) `until`,
    // seconds.
    double from = 0.0;
    double until = std::numeric_limits<double>::infinity();
};

// The camera turns about the vertical at `rate` degrees per second from
// `start` to `end` (positive toward room +x); turns add up.
struct CameraPan {
    double start = 0.0, end = 0.0;
    double rate = 30.0;
};

struct PathKey {
    double time = 0.0;
    bool hasPosition = false;
    double x = 0.0, z = 0.0;  // floor position of the hip centre, mm
    bool hasYaw = false;
    double yaw = 0.0;         // degrees; 0 faces the camera, 90 faces room -x
};

struct PoseOverride {
    enum Target { LeftArm, RightArm, LeftLeg, RightLeg, Spine, Neck };
    Target target = Spine;
    double values[4] = {0, 0, 0, 0};  // limbs: abduction, flexion, twist, bend; trunk: pitch, roll, yaw
};

struct PoseKey {
    double time = 0.0;
    std::string name = "stand";
    std::vector<PoseOverride> overrides;
};

enum class ActionKind { Wave, Push, Raise, Swipe, Circle };

struct HandMotion {
    ActionKind kind = ActionKind::Wave;
    double start = 0.0, end = 0.0;  // seconds
    int side = kRight;
    double amplitude = 150.0;       // wave: lateral amplitude, mm
    double period = 0.8;            // wave, circle: seconds per cycle
    double reach = 350.0;           // push: forward travel, mm
    double length = 500.0;          // swipe: travel, mm
    double radius = 150.0;          // circle, mm
    double blend = 0.3;             // seconds to move into and out of the motion
    int direction = 1;              // swipe: +1 toward the person's right; circle: +1 counter-clockwise
};

// Not rendered: where an evaluation starts tracking one of the person's
// hands (tools/Evaluate).
struct TrackStart {
    double time = 0.0;  // seconds
    int side = kRight;
};

struct ClipUse {
    std::string path;   // as the scene file names it
    std::string file;   // the file read: `path` taken from the scene file's folder
    std::shared_ptr<const BvhClip> clip;
    double start = 0.0;
    double end = std::numeric_limits<double>::infinity();
    double speed = 1.0;
    bool loop = false;
};

struct PersonDef {
    double height = 1750.0;
    double girth = 1.0;
    bool plainBody = false;   // the smooth plain body instead of the dressed one
    BodyStyle style;          // the dressed body's clothing, hair and fabric
    bool walk = true;         // legs step while the path moves
    bool faceMotion = false;  // turn toward the direction of travel
    std::vector<PathKey> path;
    std::vector<PoseKey> poses;
    std::vector<HandMotion> actions;
    std::vector<ClipUse> clips;
    std::vector<TrackStart> trackStarts;
};

struct Scene {
    CameraSettings camera;
    SensorSettings sensor;
    int nFrames = 30;
    double dFps = 30.0;
    bool bFloor = true;
    std::vector<WallDef> walls;
    std::vector<BoxDef> boxes;
    std::vector<PersonDef> people;
    std::vector<CameraPan> pans;

    // The camera's turn about the vertical at time t, degrees.
    double CameraYaw(double t) const;
};

// Reads a scene; relative BVH paths are taken from `baseDir`. On failure
// returns false with "line N: reason" in `error`.
bool ParseScene(const std::string& text, const std::string& baseDir, Scene& scene, std::string& error);
bool LoadSceneFile(const std::string& path, Scene& scene, std::string& error);

// The built-in scene: a person walks into an empty room and stands.
const char* DefaultSceneText();
Scene DefaultScene();

}  // namespace vela::scene
