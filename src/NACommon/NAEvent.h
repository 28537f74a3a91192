#pragma once

// The record in which the algorithm modules report to the trackers: a header
// of kind, frame id and time stamp, then the body of the kind. Producers fill
// one on their stack for the duration of a delivery; listeners copy what they
// keep. A field the producer does not set for its event type is zero.

#include <cstdint>

#include "NACommon/SensorTime.h"
#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"

// Kind 0, raised by the hand-tracker manager.
struct NAHandEvent {
    enum Type : int32_t { ADDED = 0, DELETED = 1, MOVED = 2, TOUCHING_FOV = 3 };
    // The image border a touching hand reaches; NONE in the other types.
    enum Border : int32_t { NONE = -1, LEFT = 0, RIGHT = 1, TOP = 2, BOTTOM = 3 };

    int32_t type;
    int32_t handId;
    // 1 when the manager tracks exactly this one hand as the event is raised.
    int32_t onlyHand;
    // World millimetres; zero in a deleted event.
    Vector3D<float> position;
    int32_t border;
};

// Kind 1, raised by the gesture manager. Types and statuses are the gesture
// side's GestureType (0 click, 1 wave, 2 raise hand, 3..6 the others) and
// GestureStatus (2 completed).
struct NAGestureEvent {
    int32_t gestureType;
    int32_t gestureStatus;
    // The tracked hand candidate now, and where the recognizer saw the
    // gesture; world millimetres.
    Vector3D<float> currentPosition;
    Vector3D<float> gesturePosition;
    // Estimated hand width and height in millimetres.
    Vector2D<float> handSize;
    uint32_t objectId;
};

// Kind 2, raised for the skeleton pipeline through its shared data. Its own
// frame id and time stamp are the pipeline's; the header's are zero.
struct FeatureExtractorEvent {
    enum SpecificEventType : int32_t {
        USER_CREATED = 0,
        USER_REMOVED = 1,
        CALIBRATION_STARTED = 2,
        CALIBRATION_STATUS = 3,
        CALIBRATION_ENDED = 4,
        POSE_DETECTED = 5,
        POSE_STATUS = 6,
        POSE_LOST = 7,
    };

    int32_t userId;
    SpecificEventType eventType;
    uint32_t frameId;
    SensorTime timestamp;
    // Pose events: the pose (always 0, the calibration pose) and its status.
    int32_t poseId;
    int32_t poseStatus;
    // Calibration status and ended events: the calibration status bits.
    int32_t calibrationStatus;
    // Calibration ended events: whether it succeeded.
    bool calibrationSuccess;
};

// Also kind 2, raised by the extreme-point reporter (no tracker listens to
// it): one candidate with its world box, image box and centre.
struct NAExtremePointEvent {
    Vector3D<float> worldBoxMin;
    Vector3D<float> worldBoxMax;
    Vector2D<int> imageBoxMin;
    Vector2D<int> imageBoxMax;
    Vector3D<float> center;
    uint32_t frameId;
    SensorTime timestamp;
    uint32_t width;
    uint32_t height;
    // The reporter's ExtremeDetectionMode: 0 basic extreme points, 1 heads.
    int32_t mode;
};

struct NAEvent {
    enum Kind : int32_t { HAND = 0, GESTURE = 1, USER = 2 };

    // Everything zero: kind HAND, frame 0, time 0, an all-zero body.
    NAEvent();
    explicit NAEvent(Kind eventKind);

    Kind kind;
    // The depth frame of hand and gesture events; 0 in kind 2.
    uint32_t frameId;
    SensorTime timestamp;
    union {
        NAHandEvent hand;
        NAGestureEvent gesture;
        FeatureExtractorEvent user;
        NAExtremePointEvent extremePoint;
    };
};
