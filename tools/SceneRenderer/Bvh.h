#pragma once

// Motion-capture clips in the BVH format, retargeted onto the body: the
// directions of the captured bones drive the body's own bone lengths.
//
// The clip's axes are taken as right-handed with y up, and its rest pose is
// taken to face +z; a clip placed with yaw 0 faces the camera. Joints are
// found by their usual names (Hips, LeftUpLeg/LeftHip, LeftLeg/LeftKnee,
// LeftFoot/LeftAnkle, LeftArm, LeftForeArm/LeftElbow, LeftHand/LeftWrist,
// Head, optionally Neck, and the Right twins), ignoring case, underscores and
// a "prefix:" name space.

#include <string>
#include <vector>

#include "SceneRenderer/BodyModel.h"
#include "SceneRenderer/SceneMath.h"

namespace vela::scene {

class BvhClip {
public:
    bool Load(const std::string& path, std::string& error);
    bool Parse(const std::string& text, std::string& error);

    int FrameCount() const { return m_nFrames; }
    double FrameTime() const { return m_dFrameTime; }
    // Time of the last frame.
    double Duration() const { return m_nFrames > 0 ? (m_nFrames - 1) * m_dFrameTime : 0.0; }

    int JointCount() const { return static_cast<int>(m_joints.size()); }
    const std::string& JointNameAt(int i) const { return m_joints[i].name; }
    // Index of the joint with this exact name, or -1.
    int FindJoint(const std::string& name) const;
    // Global joint positions of a frame in the file's own units and axes.
    void JointPositions(int frame, std::vector<Vec3>& out) const;

    // The body pose at `time` seconds into the clip (between frames the two
    // neighbouring poses are blended; clamped to the clip) and the hip
    // centre's horizontal displacement since the first frame, in body
    // coordinates of yaw 0 and millimetres of the body's scale.
    void Sample(double time, const BodyDimensions& dims, BodyPose& pose, Vec3& rootOffset) const;

private:
    struct JointDef {
        std::string name;
        int parent = -1;
        Vec3 offset;
        int firstChannel = 0;
        std::vector<int> channels;  // 0..2 position x,y,z; 3..5 rotation x,y,z
    };
    enum Key { kHips, kHipL, kKneeL, kAnkleL, kHipR, kKneeR, kAnkleR, kShoulderL, kElbowL, kWristL,
               kShoulderR, kElbowR, kWristR, kHead, kNeck, kKeyCount };

    bool MapJoints(std::string& error);
    void RetargetFrame(int frame, BodyPose& pose, Vec3& hipCentre) const;

    std::vector<JointDef> m_joints;
    int m_nChannels = 0;
    int m_nFrames = 0;
    double m_dFrameTime = 0.0;
    std::vector<double> m_values;  // frames x channels
    int m_keys[kKeyCount] = {};
    double m_dLegLength = 0.0;     // hip to ankle in the rest pose, file units
    Vec3 m_startHipCentre;         // body coordinates, first frame
};

}  // namespace vela::scene
