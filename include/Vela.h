#pragma once

// Vela: body and hand tracking on an OpenNI2 depth stream.
//
// The application opens a depth camera through OpenNI2 and lends it to a
// tracker, or lets the tracker open the first device OpenNI2 finds. Call
// velaInitialize first. Each read-frame call returns a reference-counted
// frame that stays valid until every reference taken on it is released
// through the tracker that made it. Functions return VELA_STATUS_OK (0),
// VELA_STATUS_ERROR (1, the reason is logged) or VELA_STATUS_BAD_USER_ID (2).
//
// This is a C++ header (OpenNI2's C types compile only as C++); the functions
// have C linkage. All records use natural alignment on 64-bit Linux.

#include <OniCTypes.h>

#include <cstddef>
#include <cstdint>

namespace openni {
class Device;
}

enum VelaStatus : int32_t {
    VELA_STATUS_OK = 0,
    VELA_STATUS_ERROR = 1,
    // The user id has no skeleton record (no such user).
    VELA_STATUS_BAD_USER_ID = 2,
};

// Entry i of VelaSkeleton::joints holds joint type i. Left and right are the
// person's own.
enum VelaJointType : int32_t {
    VELA_JOINT_HEAD = 0,
    VELA_JOINT_NECK = 1,
    VELA_JOINT_LEFT_SHOULDER = 2,
    VELA_JOINT_RIGHT_SHOULDER = 3,
    VELA_JOINT_LEFT_ELBOW = 4,
    VELA_JOINT_RIGHT_ELBOW = 5,
    VELA_JOINT_LEFT_HAND = 6,
    VELA_JOINT_RIGHT_HAND = 7,
    VELA_JOINT_TORSO = 8,
    VELA_JOINT_LEFT_HIP = 9,
    VELA_JOINT_RIGHT_HIP = 10,
    VELA_JOINT_LEFT_KNEE = 11,
    VELA_JOINT_RIGHT_KNEE = 12,
    VELA_JOINT_LEFT_FOOT = 13,
    VELA_JOINT_RIGHT_FOOT = 14,
};

enum { VELA_JOINT_COUNT = 15 };

// Bits of VelaUserData::state.
enum VelaUserState : int32_t {
    // In the scene. A user that is not new loses it in a frame where its box
    // is degenerate.
    VELA_USER_STATE_VISIBLE = 1,
    // First frame in which the user is reported.
    VELA_USER_STATE_NEW = 2,
    // Left the scene: reported in exactly one frame, after which the id is free.
    VELA_USER_STATE_LOST = 4,
};

enum VelaSkeletonState : int32_t {
    VELA_SKELETON_NONE = 0,
    VELA_SKELETON_CALIBRATING = 1,
    // The joints are valid.
    VELA_SKELETON_TRACKED = 2,
    VELA_SKELETON_CALIBRATION_ERROR_NOT_IN_POSE = 3,
    VELA_SKELETON_CALIBRATION_ERROR_HANDS = 4,
    VELA_SKELETON_CALIBRATION_ERROR_HEAD = 5,
    // Never produced.
    VELA_SKELETON_NOT_PRODUCED = 6,
    VELA_SKELETON_CALIBRATION_ERROR_TORSO = 7,
};

enum VelaPoseType : int32_t {
    // The calibration pose, detected by the skeleton.
    VELA_POSE_PSI = 0,
    // Forearms crossed, detected from the skeleton's joints.
    VELA_POSE_CROSSED_HANDS = 1,
};

// Bits of VelaPoseData::state; the values that occur are 0 (not detecting),
// 1 (detecting), 3 (in pose), 7 (just entered) and 9 (just left).
enum VelaPoseState : int32_t {
    VELA_POSE_STATE_DETECTING = 1,
    VELA_POSE_STATE_IN_POSE = 2,
    VELA_POSE_STATE_ENTERED = 4,
    VELA_POSE_STATE_EXITED = 8,
};

// Bits of VelaHandData::state; 0 means the hand was lost. A new hand is
// reported as 3 (new and tracked).
enum VelaHandState : int32_t {
    VELA_HAND_STATE_LOST = 0,
    VELA_HAND_STATE_NEW = 1,
    VELA_HAND_STATE_TRACKED = 2,
    VELA_HAND_STATE_TOUCHING_FOV = 4,
};

enum VelaGestureType : int32_t {
    VELA_GESTURE_WAVE = 0,
    VELA_GESTURE_CLICK = 1,
    VELA_GESTURE_HAND_RAISE = 2,
};

enum VelaGestureState : int32_t {
    VELA_GESTURE_STATE_COMPLETED = 4,
};

// World coordinates are millimetres as OpenNI2 defines them for the depth
// stream: x to the right, y up, z away from the sensor.
struct VelaPoint3f {
    float x;
    float y;
    float z;
};

struct VelaQuaternion {
    float x;
    float y;
    float z;
    float w;
};

struct VelaBoundingBox {
    VelaPoint3f min;
    VelaPoint3f max;
};

struct VelaPlane {
    // A point on the plane, world millimetres.
    VelaPoint3f point;
    VelaPoint3f normal;
};

struct VelaSkeletonJoint {
    VelaJointType jointType;
    // World millimetres.
    VelaPoint3f position;
    // 0 to 1.
    float positionConfidence;
    // Of the joint's body segment, x, y, z, w; zero for hands and feet.
    VelaQuaternion orientation;
    float orientationConfidence;
};

struct VelaSkeleton {
    VelaSkeletonJoint joints[VELA_JOINT_COUNT];
    VelaSkeletonState state;
};

struct VelaPoseData {
    VelaPoseType type;
    // VelaPoseState bits.
    int32_t state;
};

struct VelaUserData {
    // 1 to 10.
    int16_t id;
    // Depth-image pixels: min = (left column, top row, 0), max = (right
    // column, bottom row, 0).
    VelaBoundingBox boundingBox;
    // World millimetres.
    VelaPoint3f centerOfMass;
    // VelaUserState bits.
    int32_t state;
    VelaSkeleton skeleton;
    // Entry 0 the psi pose, entry 1 crossed hands.
    VelaPoseData poses[2];
};

// One user id per pixel, row by row, 0 for no user.
struct VelaUserMap {
    // Null when the depth frame carried no data.
    int16_t* pixels;
    int32_t width;
    int32_t height;
    // Bytes per row: always 2 x width.
    int32_t stride;
};

struct VelaUserTrackerFrame {
    int32_t userCount;
    // userCount records; null when there are none.
    VelaUserData* users;
    // At the depth frame's size.
    VelaUserMap userMap;
    // The depth frame this frame was computed from; the frame holds one
    // OpenNI2 reference to it.
    OniFrame* depthFrame;
    uint64_t timestamp;
    int32_t frameIndex;
    // 1.0 when the floor has been found, else 0.0.
    float floorConfidence;
    // The floor as last computed; meaningful when floorConfidence is 1.0.
    VelaPlane floor;
};

struct VelaHandData {
    int16_t id;
    // World millimetres; smoothed while hand smoothing is on.
    VelaPoint3f position;
    // VelaHandState bits.
    int32_t state;
};

struct VelaGestureData {
    VelaGestureType type;
    // Where the hand that made the gesture is now, world millimetres.
    VelaPoint3f currentPosition;
    // VelaGestureState: always completed.
    int32_t state;
};

struct VelaHandTrackerFrame {
    int32_t handCount;
    // handCount records; null when there are none.
    VelaHandData* hands;
    int32_t gestureCount;
    // gestureCount records; null when there are none.
    VelaGestureData* gestures;
    OniFrame* depthFrame;
    uint64_t timestamp;
    int32_t frameIndex;
};

struct VelaVersion {
    int32_t major;
    int32_t minor;
    int32_t maintenance;
    int32_t build;
};

// Called on OpenNI2's thread when the tracker's depth stream has a new frame,
// with the cookie given at registration. Read the frame on your own thread.
typedef void (*VelaReadyForNextFrameCallback)(void* cookie);

// Records of callbacks owned by the application: the tracker keeps a pointer
// to the record, which must stay valid, its first entry non-null, while it is
// registered.
struct VelaUserTrackerCallbacks {
    VelaReadyForNextFrameCallback readyForNextFrame;
};

struct VelaHandTrackerCallbacks {
    VelaReadyForNextFrameCallback readyForNextFrame;
};

// Opaque handles, valid from a successful creation call to the shut-down call.
typedef struct VelaUserTracker* VelaUserTrackerHandle;
typedef struct VelaHandTracker* VelaHandTrackerHandle;

extern "C" {

// Library.

// Reads "Vela.ini" in the working directory (section "General": "DataDir",
// default "./Vela2"; section "Log": "Verbosity", "LogToConsole",
// "LogToFile"). Fails when the running OpenNI2 is older than 2.2. Does not
// initialise OpenNI2.
VelaStatus velaInitialize();
void velaShutdown();
VelaVersion velaGetVersion();

// User tracker.

VelaStatus velaInitializeUserTracker(VelaUserTrackerHandle* handle);
// device stays the application's and must stay open until shut-down.
VelaStatus velaInitializeUserTrackerByDevice(openni::Device* device, VelaUserTrackerHandle* handle);
// Accepts a null handle.
VelaStatus velaShutdownUserTracker(VelaUserTrackerHandle handle);
VelaStatus velaStartSkeletonTracking(VelaUserTrackerHandle handle, int16_t userId);
void velaStopSkeletonTracking(VelaUserTrackerHandle handle, int16_t userId);
bool velaIsSkeletonTracking(VelaUserTrackerHandle handle, int16_t userId);
VelaStatus velaSetSkeletonSmoothing(VelaUserTrackerHandle handle, float factor);
VelaStatus velaGetSkeletonSmoothing(VelaUserTrackerHandle handle, float* factor);
VelaStatus velaStartPoseDetection(VelaUserTrackerHandle handle, int16_t userId, VelaPoseType pose);
void velaStopPoseDetection(VelaUserTrackerHandle handle, int16_t userId, VelaPoseType pose);
void velaStopAllPoseDetection(VelaUserTrackerHandle handle, int16_t userId);
VelaStatus velaRegisterUserTrackerCallbacks(VelaUserTrackerHandle handle, VelaUserTrackerCallbacks* callbacks,
                                            void* cookie);
void velaUnregisterUserTrackerCallbacks(VelaUserTrackerHandle handle, VelaUserTrackerCallbacks* callbacks);
VelaStatus velaReadUserTrackerFrame(VelaUserTrackerHandle handle, VelaUserTrackerFrame** frame);
VelaStatus velaUserTrackerFrameAddRef(VelaUserTrackerHandle handle, VelaUserTrackerFrame* frame);
VelaStatus velaUserTrackerFrameRelease(VelaUserTrackerHandle handle, VelaUserTrackerFrame* frame);
VelaStatus velaConvertJointCoordinatesToDepth(VelaUserTrackerHandle handle, float x, float y, float z, float* outX,
                                              float* outY);
VelaStatus velaConvertDepthCoordinatesToJoint(VelaUserTrackerHandle handle, int32_t x, int32_t y, uint16_t depth,
                                              float* outX, float* outY);

// Hand tracker.

VelaStatus velaInitializeHandTracker(VelaHandTrackerHandle* handle);
VelaStatus velaInitializeHandTrackerByDevice(openni::Device* device, VelaHandTrackerHandle* handle);
VelaStatus velaShutdownHandTracker(VelaHandTrackerHandle handle);
VelaStatus velaStartHandTracking(VelaHandTrackerHandle handle, const VelaPoint3f* position, int16_t* handId);
void velaStopHandTracking(VelaHandTrackerHandle handle, int16_t handId);
void velaStopAllHandTracking(VelaHandTrackerHandle handle);
VelaStatus velaSetHandSmoothingFactor(VelaHandTrackerHandle handle, float factor);
VelaStatus velaGetHandSmoothingFactor(VelaHandTrackerHandle handle, float* factor);
VelaStatus velaRegisterHandTrackerCallbacks(VelaHandTrackerHandle handle, VelaHandTrackerCallbacks* callbacks,
                                            void* cookie);
void velaUnregisterHandTrackerCallbacks(VelaHandTrackerHandle handle, VelaHandTrackerCallbacks* callbacks);
VelaStatus velaReadHandTrackerFrame(VelaHandTrackerHandle handle, VelaHandTrackerFrame** frame);
VelaStatus velaHandTrackerFrameAddRef(VelaHandTrackerHandle handle, VelaHandTrackerFrame* frame);
VelaStatus velaHandTrackerFrameRelease(VelaHandTrackerHandle handle, VelaHandTrackerFrame* frame);
VelaStatus velaStartGestureDetection(VelaHandTrackerHandle handle, VelaGestureType type);
void velaStopGestureDetection(VelaHandTrackerHandle handle, VelaGestureType type);
void velaStopAllGestureDetection(VelaHandTrackerHandle handle);
VelaStatus velaConvertHandCoordinatesToDepth(VelaHandTrackerHandle handle, float x, float y, float z, float* outX,
                                             float* outY);
VelaStatus velaConvertDepthCoordinatesToHand(VelaHandTrackerHandle handle, int32_t x, int32_t y, uint16_t depth,
                                             float* outX, float* outY);

}  // extern "C"

// The layouts applications compile against.
static_assert(sizeof(VelaPoint3f) == 12 && sizeof(VelaQuaternion) == 16, "point and quaternion");
static_assert(sizeof(VelaBoundingBox) == 24 && sizeof(VelaPlane) == 24, "box and plane");
static_assert(sizeof(VelaSkeletonJoint) == 40 && offsetof(VelaSkeletonJoint, position) == 4 &&
                  offsetof(VelaSkeletonJoint, positionConfidence) == 16 &&
                  offsetof(VelaSkeletonJoint, orientation) == 20 &&
                  offsetof(VelaSkeletonJoint, orientationConfidence) == 36,
              "skeleton joint");
static_assert(sizeof(VelaSkeleton) == 604 && offsetof(VelaSkeleton, state) == 600, "skeleton");
static_assert(sizeof(VelaPoseData) == 8, "pose data");
static_assert(sizeof(VelaUserData) == 664 && offsetof(VelaUserData, boundingBox) == 4 &&
                  offsetof(VelaUserData, centerOfMass) == 28 && offsetof(VelaUserData, state) == 40 &&
                  offsetof(VelaUserData, skeleton) == 44 && offsetof(VelaUserData, poses) == 648,
              "user data");
static_assert(sizeof(VelaUserMap) == 24 && offsetof(VelaUserMap, width) == 8 && offsetof(VelaUserMap, stride) == 16,
              "user map");
static_assert(sizeof(VelaUserTrackerFrame) == 88 && offsetof(VelaUserTrackerFrame, users) == 8 &&
                  offsetof(VelaUserTrackerFrame, userMap) == 16 && offsetof(VelaUserTrackerFrame, depthFrame) == 40 &&
                  offsetof(VelaUserTrackerFrame, timestamp) == 48 && offsetof(VelaUserTrackerFrame, frameIndex) == 56 &&
                  offsetof(VelaUserTrackerFrame, floorConfidence) == 60 && offsetof(VelaUserTrackerFrame, floor) == 64,
              "user tracker frame");
static_assert(sizeof(VelaHandData) == 20 && offsetof(VelaHandData, position) == 4 &&
                  offsetof(VelaHandData, state) == 16,
              "hand data");
static_assert(sizeof(VelaGestureData) == 20 && offsetof(VelaGestureData, currentPosition) == 4 &&
                  offsetof(VelaGestureData, state) == 16,
              "gesture data");
static_assert(sizeof(VelaHandTrackerFrame) == 56 && offsetof(VelaHandTrackerFrame, hands) == 8 &&
                  offsetof(VelaHandTrackerFrame, gestureCount) == 16 &&
                  offsetof(VelaHandTrackerFrame, gestures) == 24 &&
                  offsetof(VelaHandTrackerFrame, depthFrame) == 32 &&
                  offsetof(VelaHandTrackerFrame, timestamp) == 40 && offsetof(VelaHandTrackerFrame, frameIndex) == 48,
              "hand tracker frame");
static_assert(sizeof(VelaVersion) == 16, "version");
static_assert(sizeof(VelaStatus) == 4 && sizeof(VelaJointType) == 4 && sizeof(VelaGestureType) == 4, "enums");
static_assert(sizeof(VelaUserTrackerCallbacks) == sizeof(void*) && sizeof(VelaHandTrackerCallbacks) == sizeof(void*),
              "callback records");
