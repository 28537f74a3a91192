#pragma once

// The articulated body: dimensions from height and girth, the pose of its
// joints, forward kinematics to the 15 joints and the analytic shapes that
// give it volume.
//
// Body coordinates: origin at the hip centre, x toward the person's right
// side, y up, z toward their back (the system's torso-frame convention, with
// z = x cross y). Sides are indexed 0 left, 1 right.

#include <array>
#include <cstdint>
#include <vector>

#include "SceneRenderer/SceneMath.h"

namespace vela::scene {

enum class Joint : int {
    Head, Neck, LeftShoulder, LeftElbow, LeftHand, RightShoulder, RightElbow, RightHand,
    Torso, LeftHip, LeftKnee, LeftFoot, RightHip, RightKnee, RightFoot,
};
constexpr int kJointCount = 15;
// "head", "neck", "left_shoulder", ... as written in the ground truth.
const char* JointName(Joint joint);

// Values of the body-part label map; 0 is no body.
enum BodyPartLabel : uint8_t {
    kPartNone = 0, kPartHead, kPartNeck, kPartTorso,
    kPartLeftUpperArm, kPartRightUpperArm, kPartLeftLowerArm, kPartRightLowerArm,
    kPartLeftHand, kPartRightHand,
    kPartLeftUpperLeg, kPartRightUpperLeg, kPartLeftLowerLeg, kPartRightLowerLeg,
    kPartLeftFoot, kPartRightFoot,
};
constexpr int kPartLabelCount = 16;
const char* PartName(uint8_t part);

constexpr int kLeft = 0;
constexpr int kRight = 1;
// -1 for the left side, +1 for the right.
inline double SideSign(int side) { return side == kRight ? 1.0 : -1.0; }

// Lengths in millimetres. The proportions are the system's anthropometric
// ratios of the body height; girth scales widths and limb radii.
struct BodyDimensions {
    double height = 1750.0;
    double girth = 1.0;

    double shoulderWidth = 0.0;    // shoulder joint to shoulder joint
    double hipWidth = 0.0;         // hip joint to hip joint
    double torsoHeight = 0.0;      // hip line to shoulder line
    double upperArm = 0.0;         // shoulder to elbow
    double forearm = 0.0;          // elbow to wrist
    double lowerArm = 0.0;         // elbow to the hand joint (in the palm)
    double handLength = 0.0;       // wrist to fingertips
    double upperLeg = 0.0;
    double lowerLeg = 0.0;         // knee to ankle (the foot joint)
    double ankleHeight = 0.0;      // ankle above the sole
    double headHeight = 0.0;
    double headOffset = 0.0;       // neck joint to head centre
    double footLength = 0.0;

    static BodyDimensions FromHeight(double height, double girth = 1.0);
};

// One limb: the upper segment's direction, the hinge axis of the middle joint
// (perpendicular to it) and the bend there. The lower segment points along
// cos(bend) upper + sin(bend) (hinge x upper), so cross(upper, lower) is
// along the hinge whenever the limb is bent.
struct Limb {
    Vec3 upper{0.0, -1.0, 0.0};
    Vec3 hinge{1.0, 0.0, 0.0};
    double bend = 0.0;  // radians

    Vec3 Lower() const;
};

// Arm and leg from joint angles in degrees: abduction (out to the side),
// flexion (forward), twist (outward about the upper segment) and bend of the
// elbow or knee.
Limb ArmFromAngles(int side, double abduction, double flexion, double twist, double bend);
Limb LegFromAngles(int side, double abduction, double flexion, double twist, double bend);
// Trunk rotation from degrees: pitch leans forward, roll leans toward the
// right side, yaw turns the right shoulder forward.
Quat TrunkRotation(double pitch, double roll, double yaw);

struct BodyPose {
    Quat pelvis;          // pelvis in the body frame
    Quat spine;           // chest relative to the pelvis, about the hip centre
    Quat neck;            // head relative to the chest, about the neck joint
    Limb arms[2];         // in the chest frame
    Limb legs[2];         // in the pelvis frame

    BodyPose();
};

// Joint-wise interpolation, w = 0 gives a, 1 gives b.
BodyPose BlendPoses(const BodyPose& a, const BodyPose& b, double w);
Limb BlendLimbs(const Limb& a, const Limb& b, double w);

// Forward kinematics in body coordinates.
struct Skeleton {
    std::array<Vec3, kJointCount> joints;
    Mat3 pelvisFrame;
    Mat3 chestFrame;
    Mat3 headFrame;
    Vec3 wrists[2];
    Vec3 armHinges[2];    // hinge axes in body coordinates
    Vec3 legHinges[2];
    double lowestSole = 0.0;  // y of the lower sole

    const Vec3& operator[](Joint j) const { return joints[static_cast<int>(j)]; }
};

Skeleton ComputeSkeleton(const BodyDimensions& dims, const BodyPose& pose);

// What a surface is made of, for the sensor: how readily it loses depth
// (hair and dark fabric reflect little of the projector's light) and
// whether it is loose cloth that folds.
enum SurfaceMaterial : uint8_t {
    kMaterialPlain = 0,  // scenery and the plain body: never loses depth by itself
    kMaterialSkin,
    kMaterialHair,
    kMaterialLightFabric,
    kMaterialDarkFabric,
};

// An analytic solid in some frame: a round cone (the hull of two spheres),
// an ellipsoid or a box, each an affine image of a unit shape.
struct Shape {
    enum class Kind : uint8_t { RoundCone, Ellipsoid, Box };
    Kind kind = Kind::Ellipsoid;
    uint8_t part = kPartNone;
    uint8_t material = kMaterialPlain;
    // Local to frame: p = origin + axes * q. For a round cone the local
    // shape runs from (0, 0, 0) with radius ra to (0, length, 0) with radius
    // rb; an ellipsoid is the unit ball, a box the cube [-1, 1]^3.
    Vec3 origin;
    Mat3 axes;
    double length = 0.0;
    double ra = 0.0;
    double rb = 0.0;
};

// A round cone from a to b (radii ra, rb) whose cross-section is stretched
// by `ratio` along `wide` (made perpendicular to the axis).
Shape MakeRoundCone(const Vec3& a, const Vec3& b, double ra, double rb, const Vec3& wide,
                    double ratio, uint8_t part);

// The plain body's solids in body coordinates: smooth round limbs and torso,
// kept for analytic tests (DressedBody.h builds the realistic one).
void BuildBodyShapes(const BodyDimensions& dims, const Skeleton& skeleton, std::vector<Shape>& shapes);

// The box of a foot or shoe, level, pointing where the knee bends, under the
// ankle; `padding` thickens it on every side (below the floor, unseen).
Shape MakeFoot(const BodyDimensions& dims, const Skeleton& skeleton, int side, double halfWidth, double padding);

// Volume and centroid of a shape (round cones approximately).
double ShapeVolume(const Shape& shape, Vec3& centroid);

}  // namespace vela::scene
