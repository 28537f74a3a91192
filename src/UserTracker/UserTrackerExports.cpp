// The user-tracker family of the exported functions: each forwards to one
// operation of the tracker its handle holds.

#include "Api/CoordinateConversion.h"
#include "Api/TrackerHandle.h"
#include "UserTracker/UserTracker.h"

struct VelaUserTracker {
    UserTracker* pTracker;
};

using vela_api::TrackerOf;

extern "C" {

VelaStatus velaInitializeUserTracker(VelaUserTrackerHandle* handle) {
    return vela_api::CreateTrackerHandle<UserTracker>(nullptr, false, handle);
}

VelaStatus velaInitializeUserTrackerByDevice(openni::Device* device, VelaUserTrackerHandle* handle) {
    return vela_api::CreateTrackerHandle<UserTracker>(device, true, handle);
}

VelaStatus velaShutdownUserTracker(VelaUserTrackerHandle handle) { return vela_api::DestroyTrackerHandle(handle); }

VelaStatus velaStartSkeletonTracking(VelaUserTrackerHandle handle, int16_t userId) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->startTracking(userId)) : VELA_STATUS_ERROR;
}

void velaStopSkeletonTracking(VelaUserTrackerHandle handle, int16_t userId) {
    if (UserTracker* tracker = TrackerOf(handle)) {
        tracker->stopTracking(userId);
    }
}

bool velaIsSkeletonTracking(VelaUserTrackerHandle handle, int16_t userId) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr && tracker->isTracking(userId);
}

VelaStatus velaSetSkeletonSmoothing(VelaUserTrackerHandle handle, float factor) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->setSmoothing(factor)) : VELA_STATUS_ERROR;
}

VelaStatus velaGetSkeletonSmoothing(VelaUserTrackerHandle handle, float* factor) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->getSmoothing(factor)) : VELA_STATUS_ERROR;
}

VelaStatus velaStartPoseDetection(VelaUserTrackerHandle handle, int16_t userId, VelaPoseType pose) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->startPoseDetection(userId, pose)) : VELA_STATUS_ERROR;
}

void velaStopPoseDetection(VelaUserTrackerHandle handle, int16_t userId, VelaPoseType pose) {
    if (UserTracker* tracker = TrackerOf(handle)) {
        tracker->stopPoseDetection(userId, pose);
    }
}

void velaStopAllPoseDetection(VelaUserTrackerHandle handle, int16_t userId) {
    if (UserTracker* tracker = TrackerOf(handle)) {
        tracker->stopPoseDetection(userId);
    }
}

VelaStatus velaRegisterUserTrackerCallbacks(VelaUserTrackerHandle handle, VelaUserTrackerCallbacks* callbacks,
                                            void* cookie) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->registerUserTrackerCallbacks(callbacks, cookie))
                              : VELA_STATUS_ERROR;
}

void velaUnregisterUserTrackerCallbacks(VelaUserTrackerHandle handle, VelaUserTrackerCallbacks* callbacks) {
    if (UserTracker* tracker = TrackerOf(handle)) {
        tracker->unregisterUserTrackerCallbacks(callbacks);
    }
}

VelaStatus velaReadUserTrackerFrame(VelaUserTrackerHandle handle, VelaUserTrackerFrame** frame) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->getNextFrame(frame)) : VELA_STATUS_ERROR;
}

VelaStatus velaUserTrackerFrameAddRef(VelaUserTrackerHandle handle, VelaUserTrackerFrame* frame) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->userTrackerFrameAddRef(frame)) : VELA_STATUS_ERROR;
}

VelaStatus velaUserTrackerFrameRelease(VelaUserTrackerHandle handle, VelaUserTrackerFrame* frame) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? static_cast<VelaStatus>(tracker->userTrackerFrameRelease(frame)) : VELA_STATUS_ERROR;
}

VelaStatus velaConvertJointCoordinatesToDepth(VelaUserTrackerHandle handle, float x, float y, float z, float* outX,
                                              float* outY) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? ConvertWorldToDepth(*tracker, x, y, z, outX, outY) : VELA_STATUS_ERROR;
}

VelaStatus velaConvertDepthCoordinatesToJoint(VelaUserTrackerHandle handle, int32_t x, int32_t y, uint16_t depth,
                                              float* outX, float* outY) {
    UserTracker* tracker = TrackerOf(handle);
    return tracker != nullptr ? ConvertDepthToWorld(*tracker, x, y, depth, outX, outY) : VELA_STATUS_ERROR;
}

}  // extern "C"
