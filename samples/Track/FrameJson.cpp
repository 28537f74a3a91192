#include "FrameJson.h"

#include <cmath>
#include <cstdio>

namespace {

void Number(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", value);
    out += text;
}

void Integer(std::string& out, long long value) { out += std::to_string(value); }

void Point(std::string& out, const VelaPoint3f& p) {
    out += '[';
    Number(out, p.x);
    out += ',';
    Number(out, p.y);
    out += ',';
    Number(out, p.z);
    out += ']';
}

// "key": with the comma that separates it from an earlier member.
void Key(std::string& out, const char* key, bool first = false) {
    if (!first) {
        out += ',';
    }
    out += '"';
    out += key;
    out += "\":";
}

void FrameHeader(std::string& out, int32_t frameIndex, uint64_t timestamp) {
    out += '{';
    Key(out, "frame", true);
    Integer(out, frameIndex);
    Key(out, "timestamp");
    Integer(out, static_cast<long long>(timestamp));
}

void Joint(std::string& out, const VelaSkeletonJoint& joint) {
    out += '{';
    Key(out, "type", true);
    Integer(out, joint.jointType);
    Key(out, "position");
    Point(out, joint.position);
    Key(out, "positionConfidence");
    Number(out, joint.positionConfidence);
    Key(out, "orientation");
    out += '[';
    const float q[4] = {joint.orientation.x, joint.orientation.y, joint.orientation.z, joint.orientation.w};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            out += ',';
        }
        Number(out, q[i]);
    }
    out += ']';
    Key(out, "orientationConfidence");
    Number(out, joint.orientationConfidence);
    out += '}';
}

void User(std::string& out, const VelaUserData& user) {
    out += '{';
    Key(out, "id", true);
    Integer(out, user.id);
    Key(out, "state");
    Integer(out, user.state);
    Key(out, "box");
    out += "{\"min\":[";
    Number(out, user.boundingBox.min.x);
    out += ',';
    Number(out, user.boundingBox.min.y);
    out += "],\"max\":[";
    Number(out, user.boundingBox.max.x);
    out += ',';
    Number(out, user.boundingBox.max.y);
    out += "]}";
    Key(out, "centerOfMass");
    Point(out, user.centerOfMass);
    Key(out, "skeleton");
    out += '{';
    Key(out, "state", true);
    Integer(out, user.skeleton.state);
    Key(out, "joints");
    out += '[';
    if (user.skeleton.state == VELA_SKELETON_TRACKED) {
        for (int j = 0; j < VELA_JOINT_COUNT; ++j) {
            if (j > 0) {
                out += ',';
            }
            Joint(out, user.skeleton.joints[j]);
        }
    }
    out += "]}";
    Key(out, "poses");
    out += '[';
    for (int p = 0; p < 2; ++p) {
        if (p > 0) {
            out += ',';
        }
        out += "{\"type\":";
        Integer(out, user.poses[p].type);
        out += ",\"state\":";
        Integer(out, user.poses[p].state);
        out += '}';
    }
    out += "]}";
}

// A hand or a gesture: id or type, state and position.
void Item(std::string& out, const char* label, int value, int32_t state, const VelaPoint3f& position) {
    out += '{';
    Key(out, label, true);
    Integer(out, value);
    Key(out, "state");
    Integer(out, state);
    Key(out, "position");
    Point(out, position);
    out += '}';
}

}  // namespace

std::string UserFrameJson(const VelaUserTrackerFrame& frame) {
    std::string out;
    FrameHeader(out, frame.frameIndex, frame.timestamp);
    Key(out, "floor");
    out += '{';
    Key(out, "confidence", true);
    Number(out, frame.floorConfidence);
    Key(out, "point");
    Point(out, frame.floor.point);
    Key(out, "normal");
    Point(out, frame.floor.normal);
    out += '}';
    Key(out, "users");
    out += '[';
    for (int i = 0; i < frame.userCount; ++i) {
        if (i > 0) {
            out += ',';
        }
        User(out, frame.users[i]);
    }
    out += "]}";
    return out;
}

std::string HandFrameJson(const VelaHandTrackerFrame& frame) {
    std::string out;
    FrameHeader(out, frame.frameIndex, frame.timestamp);
    Key(out, "hands");
    out += '[';
    for (int i = 0; i < frame.handCount; ++i) {
        if (i > 0) {
            out += ',';
        }
        Item(out, "id", frame.hands[i].id, frame.hands[i].state, frame.hands[i].position);
    }
    out += ']';
    Key(out, "gestures");
    out += '[';
    for (int i = 0; i < frame.gestureCount; ++i) {
        if (i > 0) {
            out += ',';
        }
        Item(out, "type", frame.gestures[i].type, frame.gestures[i].state, frame.gestures[i].currentPosition);
    }
    out += "]}";
    return out;
}
