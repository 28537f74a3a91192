#include "SceneRenderer/DressedBody.h"

#include <cmath>

#include "SceneRenderer/Random.h"

namespace vela::scene {

namespace {

// Adult proportions as ratios of the height H. Breadths and depths are
// full sizes of the bare body (halved below), from published anthropometric
// surveys of adults; girth scales them.
constexpr double kHipBreadth = 0.200, kHipDepth = 0.132;
constexpr double kWaistBreadth = 0.164, kWaistDepth = 0.116;
constexpr double kChestBreadth = 0.184, kChestDepth = 0.138;
constexpr double kUpperChestBreadth = 0.186, kUpperChestDepth = 0.118;
constexpr double kNeckBreadth = 0.064;
// The slope from the neck's base to the shoulder joints.
constexpr double kShoulderSlopeNeck = 0.070, kShoulderSlopeEnd = 0.050;
constexpr double kUpperArmBreadth = 0.052, kElbowBreadth = 0.040;
constexpr double kForearmBreadth = 0.042, kWristBreadth = 0.031;
constexpr double kThighBreadth = 0.098, kKneeBreadth = 0.062;
constexpr double kCalfBreadth = 0.060, kAnkleBreadth = 0.040;
constexpr double kFootBreadth = 0.058;
constexpr double kHandBreadth = 0.050, kHandThickness = 0.018;
constexpr double kFingerBreadth = 0.042;  // across the closed fingers of the mitten
// Heights of the torso's sections above the hip centre.
constexpr double kHipLevel = -0.02, kWaistLevel = 0.09, kChestLevel = 0.175, kUpperChestLevel = 0.215;

// Clothing thickness over the skin, as ratios of H: a loose top over the
// torso, sleeves, trousers and shoes.
constexpr double kTopThickness = 0.011;
constexpr double kSleeveThickness = 0.004, kCuffThickness = 0.003;
constexpr double kTrouserThickness = 0.006;
constexpr double kShoeThickness = 0.008;
// Hair beyond the skull on the sides and top, and how far its volume sits
// back and up from the head's centre (ratios of the head's height).
constexpr double kHairThickness = 0.0065;
constexpr double kHairBack = 0.045, kHairUp = 0.07;

// A torso section: half breadth and half depth, clothed.
struct Section {
    double halfBreadth, halfDepth;
};

Shape TorsoSegment(const Mat3& frame, double y0, const Section& a, double y1, const Section& b, uint8_t material) {
    // A round cone's section is a circle of the depth radius stretched along
    // x; the ratio is the mean of the two ends' breadth over depth.
    const double ratio = 0.5 * (a.halfBreadth / a.halfDepth + b.halfBreadth / b.halfDepth);
    Shape shape = MakeRoundCone(frame * Vec3(0, y0, 0), frame * Vec3(0, y1, 0), a.halfDepth, b.halfDepth,
                                frame.Column(0), ratio, kPartTorso);
    shape.material = material;
    return shape;
}

Shape Tagged(Shape shape, uint8_t material) {
    shape.material = material;
    return shape;
}

}  // namespace

void BuildDressedBodyShapes(const BodyDimensions& d, const Skeleton& s, const BodyStyle& style,
                            std::vector<Shape>& shapes) {
    const double h = d.height;
    const double g = d.girth;
    const double cloth = style.bClothing ? 1.0 : 0.0;
    const uint8_t fabric = !style.bClothing ? kMaterialSkin : style.bDarkFabric ? kMaterialDarkFabric : kMaterialLightFabric;
    auto section = [&](double breadth, double depth) {
        const double t = cloth * kTopThickness * h;
        return Section{0.5 * breadth * h * g + t, 0.5 * depth * h * g + t};
    };
    const Mat3& rp = s.pelvisFrame;
    const Mat3& rc = s.chestFrame;

    const Section hip = section(kHipBreadth, kHipDepth), waist = section(kWaistBreadth, kWaistDepth);
    const Section chest = section(kChestBreadth, kChestDepth), upper = section(kUpperChestBreadth, kUpperChestDepth);
    shapes.push_back(TorsoSegment(rp, kHipLevel * h, hip, kWaistLevel * h, waist, fabric));
    shapes.push_back(TorsoSegment(rc, kWaistLevel * h, waist, kChestLevel * h, chest, fabric));
    shapes.push_back(TorsoSegment(rc, kChestLevel * h, chest, kUpperChestLevel * h, upper, fabric));
    const double top = cloth * kTopThickness * h;
    for (int side = 0; side < 2; ++side) {
        const Vec3 base = rc * Vec3(0, d.torsoHeight - 0.02 * h, 0);
        shapes.push_back(Tagged(MakeRoundCone(base, s[side == kLeft ? Joint::LeftShoulder : Joint::RightShoulder],
                                              0.5 * kShoulderSlopeNeck * h * g + top, 0.5 * kShoulderSlopeEnd * h * g + top,
                                              rc.Column(2), 1.0, kPartTorso),
                                fabric));
    }

    const Vec3 neck = s[Joint::Neck];
    const Vec3 headUp = s.headFrame.Column(1);
    const double neckRadius = 0.5 * kNeckBreadth * h * g;
    shapes.push_back(Tagged(MakeRoundCone(neck, neck + headUp * (d.headOffset - 0.25 * d.headHeight), neckRadius,
                                          neckRadius, s.headFrame.Column(0), 1.0, kPartNeck),
                            kMaterialSkin));

    Shape head;
    head.kind = Shape::Kind::Ellipsoid;
    head.part = kPartHead;
    head.material = kMaterialSkin;
    head.origin = s[Joint::Head];
    head.axes = s.headFrame * Mat3::Diagonal(0.35 * d.headHeight, 0.5 * d.headHeight, 0.43 * d.headHeight);
    shapes.push_back(head);
    if (style.bHair) {
        // Larger than the skull and set back, so that it covers the top, the
        // back and the sides and leaves the face.
        const double t = kHairThickness * h;
        Shape hair = head;
        hair.material = kMaterialHair;
        hair.origin = s[Joint::Head] + s.headFrame * Vec3(0, kHairUp * d.headHeight, kHairBack * d.headHeight);
        hair.axes = s.headFrame * Mat3::Diagonal(0.35 * d.headHeight + t, 0.5 * d.headHeight + 0.5 * t,
                                                 0.43 * d.headHeight + t);
        shapes.push_back(hair);
    }

    static const Joint kArm[2][3] = {{Joint::LeftShoulder, Joint::LeftElbow, Joint::LeftHand},
                                     {Joint::RightShoulder, Joint::RightElbow, Joint::RightHand}};
    static const Joint kLeg[2][3] = {{Joint::LeftHip, Joint::LeftKnee, Joint::LeftFoot},
                                     {Joint::RightHip, Joint::RightKnee, Joint::RightFoot}};
    const double sleeve = cloth * kSleeveThickness * h, cuff = cloth * kCuffThickness * h;
    const double trousers = cloth * kTrouserThickness * h;
    for (int side = 0; side < 2; ++side) {
        const Vec3& shoulder = s[kArm[side][0]];
        const Vec3& elbow = s[kArm[side][1]];
        const Vec3& wrist = s.wrists[side];
        const Vec3 armHinge = s.armHinges[side];
        // A limb segment between two joints: breadths of the bare body at
        // each end, then the clothing over it.
        auto segment = [&](const Vec3& a, const Vec3& b, double breadthA, double breadthB, double clothA,
                           double clothB, const Vec3& hinge, int part) {
            shapes.push_back(Tagged(MakeRoundCone(a, b, 0.5 * breadthA * h * g + clothA, 0.5 * breadthB * h * g + clothB,
                                                  hinge, 1.0, static_cast<uint8_t>(part + side)),
                                    fabric));
        };
        segment(shoulder, elbow, kUpperArmBreadth, kElbowBreadth, sleeve, sleeve, armHinge, kPartLeftUpperArm);
        segment(elbow, wrist, kForearmBreadth, kWristBreadth, sleeve, cuff, armHinge, kPartLeftLowerArm);

        // A mitten: a palm as broad as a hand, thin along the elbow's hinge
        // (the palm faces the body with the arm hanging), the fingers closed
        // to the hand's length, and a thumb on the side the hinge turns
        // forward.
        const uint8_t handPart = static_cast<uint8_t>(kPartLeftHand + side);
        const Vec3 along = Normalized(wrist - elbow, Vec3(0, -1, 0));
        const double palm = 0.5 * kHandBreadth * h, fingers = 0.5 * kFingerBreadth * h;
        const double thin = kHandThickness / kHandBreadth;
        shapes.push_back(Tagged(MakeRoundCone(wrist + along * palm, wrist + along * (d.handLength - fingers), palm,
                                              fingers, armHinge, thin, handPart),
                                kMaterialSkin));
        const Vec3 thumbSide = Normalized(Cross(armHinge, along), Vec3(0, 0, -1));
        shapes.push_back(Tagged(MakeRoundCone(wrist + along * (0.025 * h) + thumbSide * (0.016 * h),
                                              wrist + along * (0.062 * h) + thumbSide * (0.030 * h), 0.0085 * h,
                                              0.007 * h, armHinge, 1.0, handPart),
                                kMaterialSkin));

        const Vec3& hipJoint = s[kLeg[side][0]];
        const Vec3& knee = s[kLeg[side][1]];
        const Vec3& ankle = s[kLeg[side][2]];
        const Vec3 legHinge = s.legHinges[side];
        segment(hipJoint, knee, kThighBreadth, kKneeBreadth, trousers, trousers, legHinge, kPartLeftUpperLeg);
        segment(knee, ankle, kCalfBreadth, kAnkleBreadth, trousers, trousers, legHinge, kPartLeftLowerLeg);
        shapes.push_back(Tagged(MakeFoot(d, s, side, 0.5 * kFootBreadth * h * g, cloth * kShoeThickness * h), fabric));
    }
}

FoldPhases MakeFoldPhases(uint64_t seed, int person) {
    constexpr uint64_t kFoldStream = 11;
    FoldPhases phases;
    for (int k = 0; k < 4; ++k) {
        phases.values[k] = 2.0 * kPi * UniformFromBits(HashKey(seed, kFoldStream, static_cast<uint64_t>(person) * 4 + k));
    }
    return phases;
}

double ClothFoldDepth(const Vec3& p, const FoldPhases& phases) {
    const double* f = phases.values;
    // Creases across the body that wander a little, one diagonal set and a
    // finer one; together about 5 to 20 mm from crest to trough.
    const double across = 4.0 * std::sin(2.0 * kPi * p.y / 105.0 + f[0] + 0.8 * std::sin(2.0 * kPi * p.x / 230.0 + f[1]));
    const double diagonal = 2.5 * std::sin(2.0 * kPi * (0.6 * p.x + 0.8 * p.y) / 150.0 + f[2]);
    const double fine = 1.5 * std::sin(2.0 * kPi * (0.7 * p.y - 0.7 * p.x) / 85.0 + f[3]);
    return across + diagonal + fine;
}

}  // namespace vela::scene
