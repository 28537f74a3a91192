#include "SceneRenderer/BodyModel.h"

#include <algorithm>
#include <cmath>

namespace vela::scene {

const char* JointName(Joint joint) {
    static const char* const kNames[kJointCount] = {
        "head", "neck", "left_shoulder", "left_elbow", "left_hand", "right_shoulder", "right_elbow",
        "right_hand", "torso", "left_hip", "left_knee", "left_foot", "right_hip", "right_knee",
        "right_foot"};
    const int i = static_cast<int>(joint);
    return i >= 0 && i < kJointCount ? kNames[i] : "invalid";
}

const char* PartName(uint8_t part) {
    static const char* const kNames[kPartLabelCount] = {
        "none", "head", "neck", "torso", "left_upper_arm", "right_upper_arm", "left_lower_arm",
        "right_lower_arm", "left_hand", "right_hand", "left_upper_leg", "right_upper_leg",
        "left_lower_leg", "right_lower_leg", "left_foot", "right_foot"};
    return part < kPartLabelCount ? kNames[part] : "invalid";
}

BodyDimensions BodyDimensions::FromHeight(double height, double girth) {
    BodyDimensions d;
    d.height = height;
    d.girth = girth;
    d.shoulderWidth = 0.1835 * height;
    d.hipWidth = 0.12 * height;
    d.torsoHeight = 0.26 * height;
    d.upperArm = 0.17 * height;
    d.forearm = 0.14 * height;
    d.lowerArm = 0.17 * height;
    d.handLength = 0.108 * height;
    d.upperLeg = 0.26 * height;
    d.lowerLeg = 0.25 * height;
    const double shoulderLine = 0.818 * height;
    d.ankleHeight = shoulderLine - d.torsoHeight - d.upperLeg - d.lowerLeg;
    double ratio = 0.17 + (0.125 - 0.17) * (height - 1000.0) / 800.0;
    if (height < 1000.0) ratio = 0.17;
    if (height > 1800.0) ratio = 0.125;
    d.headHeight = ratio * height;
    d.headOffset = height - 0.5 * d.headHeight - shoulderLine;
    d.footLength = 0.152 * height;
    return d;
}

Vec3 Limb::Lower() const {
    return upper * std::cos(bend) + Cross(hinge, upper) * std::sin(bend);
}

namespace {

Mat3 LimbRotation(int side, double abduction, double flexion, double twist) {
    const double s = SideSign(side);
    return RotZ(s * Radians(abduction)) * RotX(Radians(flexion)) * RotY(-s * Radians(twist));
}

Vec3 Perpendicular(const Vec3& v) {
    const Vec3 c = std::fabs(v.x) < 0.9 ? Vec3(1, 0, 0) : Vec3(0, 1, 0);
    return Normalized(Cross(v, c));
}

}  // namespace

Limb ArmFromAngles(int side, double abduction, double flexion, double twist, double bend) {
    const Mat3 r = LimbRotation(side, abduction, flexion, twist);
    Limb limb;
    limb.upper = r * Vec3(0, -1, 0);
    limb.hinge = r * Vec3(1, 0, 0);
    limb.bend = Radians(bend);
    return limb;
}

Limb LegFromAngles(int side, double abduction, double flexion, double twist, double bend) {
    const Mat3 r = LimbRotation(side, abduction, flexion, twist);
    Limb limb;
    limb.upper = r * Vec3(0, -1, 0);
    limb.hinge = r * Vec3(-1, 0, 0);
    limb.bend = Radians(bend);
    return limb;
}

Quat TrunkRotation(double pitch, double roll, double yaw) {
    return Quat::FromMatrix(RotY(Radians(yaw)) * RotX(-Radians(pitch)) * RotZ(-Radians(roll)));
}

BodyPose::BodyPose() {
    for (int side = 0; side < 2; ++side) {
        arms[side] = ArmFromAngles(side, 0, 0, 0, 0);
        legs[side] = LegFromAngles(side, 0, 0, 0, 0);
    }
}

Limb BlendLimbs(const Limb& a, const Limb& b, double w) {
    Limb r;
    r.upper = Normalized(Lerp(a.upper, b.upper, w), a.upper);
    Vec3 h = Lerp(a.hinge, b.hinge, w);
    h -= r.upper * Dot(h, r.upper);
    r.hinge = Normalized(h, Perpendicular(r.upper));
    r.bend = a.bend + (b.bend - a.bend) * w;
    return r;
}

BodyPose BlendPoses(const BodyPose& a, const BodyPose& b, double w) {
    BodyPose r;
    r.pelvis = Slerp(a.pelvis, b.pelvis, w);
    r.spine = Slerp(a.spine, b.spine, w);
    r.neck = Slerp(a.neck, b.neck, w);
    for (int side = 0; side < 2; ++side) {
        r.arms[side] = BlendLimbs(a.arms[side], b.arms[side], w);
        r.legs[side] = BlendLimbs(a.legs[side], b.legs[side], w);
    }
    return r;
}

Skeleton ComputeSkeleton(const BodyDimensions& d, const BodyPose& pose) {
    Skeleton s;
    s.pelvisFrame = pose.pelvis.ToMatrix();
    s.chestFrame = s.pelvisFrame * pose.spine.ToMatrix();
    s.headFrame = s.chestFrame * pose.neck.ToMatrix();
    const Mat3& rp = s.pelvisFrame;
    const Mat3& rc = s.chestFrame;

    auto set = [&s](Joint j, const Vec3& p) { s.joints[static_cast<int>(j)] = p; };
    const Vec3 neck = rc * Vec3(0, d.torsoHeight, 0);
    set(Joint::Neck, neck);
    set(Joint::Torso, rc * Vec3(0, 0.5 * d.torsoHeight, 0));
    set(Joint::Head, neck + s.headFrame * Vec3(0, d.headOffset, 0));

    static const Joint kArm[2][3] = {{Joint::LeftShoulder, Joint::LeftElbow, Joint::LeftHand},
                                     {Joint::RightShoulder, Joint::RightElbow, Joint::RightHand}};
    static const Joint kLeg[2][3] = {{Joint::LeftHip, Joint::LeftKnee, Joint::LeftFoot},
                                     {Joint::RightHip, Joint::RightKnee, Joint::RightFoot}};
    double lowestAnkle = 1e300;
    for (int side = 0; side < 2; ++side) {
        const double sign = SideSign(side);
        const Limb& arm = pose.arms[side];
        const Vec3 shoulder = rc * Vec3(sign * 0.5 * d.shoulderWidth, d.torsoHeight, 0);
        const Vec3 upper = rc * arm.upper;
        const Vec3 lower = rc * arm.Lower();
        const Vec3 elbow = shoulder + upper * d.upperArm;
        set(kArm[side][0], shoulder);
        set(kArm[side][1], elbow);
        set(kArm[side][2], elbow + lower * d.lowerArm);
        s.wrists[side] = elbow + lower * d.forearm;
        s.armHinges[side] = rc * arm.hinge;

        const Limb& leg = pose.legs[side];
        const Vec3 hip = rp * Vec3(sign * 0.5 * d.hipWidth, 0, 0);
        const Vec3 knee = hip + (rp * leg.upper) * d.upperLeg;
        const Vec3 ankle = knee + (rp * leg.Lower()) * d.lowerLeg;
        set(kLeg[side][0], hip);
        set(kLeg[side][1], knee);
        set(kLeg[side][2], ankle);
        s.legHinges[side] = rp * leg.hinge;
        lowestAnkle = std::min(lowestAnkle, ankle.y);
    }
    s.lowestSole = lowestAnkle - d.ankleHeight;
    return s;
}

Shape MakeRoundCone(const Vec3& a, const Vec3& b, double ra, double rb, const Vec3& wide,
                    double ratio, uint8_t part) {
    Shape shape;
    shape.kind = Shape::Kind::RoundCone;
    shape.part = part;
    const Vec3 axis = b - a;
    shape.length = Length(axis);
    const Vec3 ey = Normalized(axis, Vec3(0, 1, 0));
    Vec3 ex = wide - ey * Dot(wide, ey);
    ex = Normalized(ex, Perpendicular(ey));
    const Vec3 ez = Cross(ex, ey);
    shape.axes = Mat3::FromColumns(ex * ratio, ey, ez);
    shape.origin = a;
    shape.ra = ra;
    shape.rb = rb;
    return shape;
}

void BuildBodyShapes(const BodyDimensions& d, const Skeleton& s, std::vector<Shape>& shapes) {
    const double h = d.height;
    const double g = d.girth;
    const Mat3& rp = s.pelvisFrame;
    const Mat3& rc = s.chestFrame;
    const double torsoRatio = 1.6;  // torso width over depth

    const double chestTop = 0.055 * h * g;
    const double chestShoulders = 0.06 * h * g;
    shapes.push_back(MakeRoundCone(rc * Vec3(0, 0.42 * d.torsoHeight, 0),
                                   rc * Vec3(0, d.torsoHeight + 0.017 * h - chestShoulders, 0), chestTop,
                                   chestShoulders, rc.Column(0), torsoRatio, kPartTorso));
    shapes.push_back(MakeRoundCone(rp * Vec3(0, -0.03 * h, 0), rp * Vec3(0, 0.42 * d.torsoHeight, 0),
                                   0.062 * h * g, chestTop, rp.Column(0), torsoRatio, kPartTorso));

    const Vec3 neck = s[Joint::Neck];
    const Vec3 headUp = s.headFrame.Column(1);
    shapes.push_back(MakeRoundCone(neck, neck + headUp * (d.headOffset - 0.2 * d.headHeight),
                                   0.029 * h * g, 0.029 * h * g, s.headFrame.Column(0), 1.1, kPartNeck));

    Shape head;
    head.kind = Shape::Kind::Ellipsoid;
    head.part = kPartHead;
    head.origin = s[Joint::Head];
    head.axes = s.headFrame * Mat3::Diagonal(0.35 * d.headHeight, 0.5 * d.headHeight, 0.43 * d.headHeight);
    shapes.push_back(head);

    static const Joint kArm[2][3] = {{Joint::LeftShoulder, Joint::LeftElbow, Joint::LeftHand},
                                     {Joint::RightShoulder, Joint::RightElbow, Joint::RightHand}};
    static const Joint kLeg[2][3] = {{Joint::LeftHip, Joint::LeftKnee, Joint::LeftFoot},
                                     {Joint::RightHip, Joint::RightKnee, Joint::RightFoot}};
    for (int side = 0; side < 2; ++side) {
        const Vec3& shoulder = s[kArm[side][0]];
        const Vec3& elbow = s[kArm[side][1]];
        const Vec3& wrist = s.wrists[side];
        const Vec3 armHinge = s.armHinges[side];
        shapes.push_back(MakeRoundCone(shoulder, elbow, 0.028 * h * g, 0.022 * h * g, armHinge, 1.0,
                                       static_cast<uint8_t>(kPartLeftUpperArm + side)));
        shapes.push_back(MakeRoundCone(elbow, wrist, 0.022 * h * g, 0.016 * h * g, armHinge, 1.0,
                                       static_cast<uint8_t>(kPartLeftLowerArm + side)));
        const Vec3 along = Normalized(wrist - elbow, Vec3(0, -1, 0));
        // A flat hand: thin along the elbow's hinge, so the palm faces the
        // body with the arm hanging and the camera in a wave.
        shapes.push_back(MakeRoundCone(wrist + along * (0.018 * h), wrist + along * (d.handLength - 0.014 * h),
                                       0.024 * h, 0.014 * h, armHinge, 0.55,
                                       static_cast<uint8_t>(kPartLeftHand + side)));

        const Vec3& hip = s[kLeg[side][0]];
        const Vec3& knee = s[kLeg[side][1]];
        const Vec3& ankle = s[kLeg[side][2]];
        const Vec3 legHinge = s.legHinges[side];
        shapes.push_back(MakeRoundCone(hip, knee, 0.048 * h * g, 0.031 * h * g, legHinge, 1.0,
                                       static_cast<uint8_t>(kPartLeftUpperLeg + side)));
        shapes.push_back(MakeRoundCone(knee, ankle, 0.030 * h * g, 0.019 * h * g, legHinge, 1.0,
                                       static_cast<uint8_t>(kPartLeftLowerLeg + side)));

        shapes.push_back(MakeFoot(d, s, side, 0.029 * h * g, 0.0));
    }
}

Shape MakeFoot(const BodyDimensions& d, const Skeleton& s, int side, double halfWidth, double padding) {
    // Feet stay level and point where the knee bends forward.
    const Mat3& rp = s.pelvisFrame;
    static const Joint kAnkle[2] = {Joint::LeftFoot, Joint::RightFoot};
    const Vec3& ankle = s[kAnkle[side]];
    const Vec3 legHinge = s.legHinges[side];
    const Vec3 up(0, 1, 0);
    Vec3 forward = Cross(legHinge, up);
    forward.y = 0.0;
    forward = Normalized(forward, Normalized(Vec3(-rp.m[0][2], 0.0, -rp.m[2][2]), Vec3(0, 0, -1)));
    const Vec3 across = Cross(up, forward);
    Shape foot;
    foot.kind = Shape::Kind::Box;
    foot.part = static_cast<uint8_t>(kPartLeftFoot + side);
    foot.origin = ankle + up * (-0.575 * d.ankleHeight) + forward * (0.3 * d.footLength);
    foot.axes = Mat3::FromColumns(across * (halfWidth + padding), up * (0.425 * d.ankleHeight + padding),
                                  forward * (0.5 * d.footLength + padding));
    return foot;
}

double ShapeVolume(const Shape& shape, Vec3& centroid) {
    const double scale = std::fabs(shape.axes.Determinant());
    switch (shape.kind) {
        case Shape::Kind::Ellipsoid:
            centroid = shape.origin;
            return 4.0 / 3.0 * kPi * scale;
        case Shape::Kind::Box:
            centroid = shape.origin;
            return 8.0 * scale;
        case Shape::Kind::RoundCone:
        default: {
            const double ra = shape.ra, rb = shape.rb, l = shape.length;
            const double sum = ra * ra + ra * rb + rb * rb;
            const double frustum = kPi * l * sum / 3.0;
            const double capA = 2.0 / 3.0 * kPi * ra * ra * ra;
            const double capB = 2.0 / 3.0 * kPi * rb * rb * rb;
            const double frustumY = sum > 0.0 ? l * (ra * ra + 2 * ra * rb + 3 * rb * rb) / (4.0 * sum) : 0.0;
            const double total = frustum + capA + capB;
            const double y = (frustum * frustumY + capA * (-0.375 * ra) + capB * (l + 0.375 * rb)) / total;
            centroid = shape.origin + shape.axes * Vec3(0, y, 0);
            return total * scale;
        }
    }
}

}  // namespace vela::scene
