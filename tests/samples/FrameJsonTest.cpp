// The sample's JSON lines: every record field, in valid JSON.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "FrameJson.h"
#include "JsonValue.h"

namespace {

using vela_test::JsonParser;
using vela_test::JsonValue;

JsonValue Parsed(const std::string& line) {
    JsonValue value;
    std::string error;
    EXPECT_TRUE(JsonParser::Parse(line, value, error)) << error << "\n" << line;
    EXPECT_EQ(std::string::npos, line.find('\n'));
    return value;
}

TEST(FrameJsonTest, AUserFrameWithATrackedAndALostUser) {
    VelaUserData users[2] = {};
    users[0].id = 3;
    users[0].state = VELA_USER_STATE_VISIBLE;
    users[0].boundingBox = {{10, 20, 0}, {2147483648.0f, 100, 0}};
    users[0].centerOfMass = {1.5f, -2, 2000};
    users[0].skeleton.state = VELA_SKELETON_TRACKED;
    for (int j = 0; j < VELA_JOINT_COUNT; ++j) {
        users[0].skeleton.joints[j].jointType = static_cast<VelaJointType>(j);
        users[0].skeleton.joints[j].position = {static_cast<float>(j), 0, 1000};
        users[0].skeleton.joints[j].positionConfidence = 0.75f;
        users[0].skeleton.joints[j].orientation = {0, 0, 0, 1};
    }
    users[0].skeleton.joints[4].position.x = std::numeric_limits<float>::quiet_NaN();
    users[0].poses[0] = {VELA_POSE_PSI, 7};
    users[0].poses[1] = {VELA_POSE_CROSSED_HANDS, 1};
    users[1].id = 4;
    users[1].state = VELA_USER_STATE_LOST;
    VelaUserTrackerFrame frame = {};
    frame.userCount = 2;
    frame.users = users;
    frame.frameIndex = 12;
    frame.timestamp = 366663;
    frame.floorConfidence = 1;
    frame.floor = {{0, -900, 2500}, {0, 1, 0}};

    const JsonValue json = Parsed(UserFrameJson(frame));
    EXPECT_EQ(12, json["frame"].number);
    EXPECT_EQ(366663, json["timestamp"].number);
    EXPECT_EQ(1, json["floor"]["confidence"].number);
    EXPECT_EQ(-900, json["floor"]["point"][1].number);
    EXPECT_EQ(1, json["floor"]["normal"][1].number);
    ASSERT_EQ(2u, json["users"].items.size());
    const JsonValue& user = json["users"][0];
    EXPECT_EQ(3, user["id"].number);
    EXPECT_EQ(1, user["state"].number);
    EXPECT_EQ(20, user["box"]["min"][1].number);
    // Nine digits give the float back exactly.
    EXPECT_EQ(2147483648.0f, static_cast<float>(user["box"]["max"][0].number));
    EXPECT_EQ(1.5, user["centerOfMass"][0].number);
    EXPECT_EQ(2, user["skeleton"]["state"].number);
    ASSERT_EQ(15u, user["skeleton"]["joints"].items.size());
    EXPECT_EQ(14, user["skeleton"]["joints"][14]["type"].number);
    EXPECT_EQ(14, user["skeleton"]["joints"][14]["position"][0].number);
    EXPECT_EQ(0.75, user["skeleton"]["joints"][14]["positionConfidence"].number);
    EXPECT_EQ(1, user["skeleton"]["joints"][14]["orientation"][3].number);
    EXPECT_EQ(JsonValue::NUL, user["skeleton"]["joints"][4]["position"][0].type);
    EXPECT_EQ(7, user["poses"][0]["state"].number);
    EXPECT_EQ(1, user["poses"][1]["type"].number);
    // No joints unless tracked.
    EXPECT_EQ(4, json["users"][1]["state"].number);
    EXPECT_TRUE(json["users"][1]["skeleton"]["joints"].items.empty());
}

TEST(FrameJsonTest, AHandFrame) {
    VelaHandData hands[1] = {{2, {10, 20, 1500}, VELA_HAND_STATE_TRACKED | VELA_HAND_STATE_TOUCHING_FOV}};
    VelaGestureData gestures[1] = {{VELA_GESTURE_CLICK, {1, 2, std::numeric_limits<float>::infinity()}, 4}};
    VelaHandTrackerFrame frame = {};
    frame.handCount = 1;
    frame.hands = hands;
    frame.gestureCount = 1;
    frame.gestures = gestures;
    frame.frameIndex = 5;
    const JsonValue json = Parsed(HandFrameJson(frame));
    EXPECT_EQ(5, json["frame"].number);
    EXPECT_EQ(2, json["hands"][0]["id"].number);
    EXPECT_EQ(6, json["hands"][0]["state"].number);
    EXPECT_EQ(1500, json["hands"][0]["position"][2].number);
    EXPECT_EQ(1, json["gestures"][0]["type"].number);
    EXPECT_EQ(4, json["gestures"][0]["state"].number);
    EXPECT_EQ(JsonValue::NUL, json["gestures"][0]["position"][2].type);
    frame.handCount = 0;
    frame.gestureCount = 0;
    const JsonValue empty = Parsed(HandFrameJson(frame));
    EXPECT_TRUE(empty["hands"].items.empty());
    EXPECT_EQ(JsonValue::ARRAY, empty["gestures"].type);
}

}  // namespace
