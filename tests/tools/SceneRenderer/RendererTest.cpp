#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "RendererTestSupport.h"

namespace {

using namespace scene_test;

// The body parts a joint may show through: the part it belongs to, or the
// part that covers it at a junction.
std::set<uint8_t> AllowedParts(Joint joint) {
    switch (joint) {
        case Joint::Head: return {kPartHead};
        case Joint::Neck: return {kPartNeck, kPartTorso};
        case Joint::Torso: return {kPartTorso};
        case Joint::LeftShoulder: return {kPartLeftUpperArm, kPartTorso};
        case Joint::RightShoulder: return {kPartRightUpperArm, kPartTorso};
        case Joint::LeftElbow: return {kPartLeftUpperArm, kPartLeftLowerArm};
        case Joint::RightElbow: return {kPartRightUpperArm, kPartRightLowerArm};
        case Joint::LeftHand: return {kPartLeftHand};
        case Joint::RightHand: return {kPartRightHand};
        case Joint::LeftHip: return {kPartTorso, kPartLeftUpperLeg};
        case Joint::RightHip: return {kPartTorso, kPartRightUpperLeg};
        case Joint::LeftKnee: return {kPartLeftUpperLeg, kPartLeftLowerLeg};
        case Joint::RightKnee: return {kPartRightUpperLeg, kPartRightLowerLeg};
        case Joint::LeftFoot: return {kPartLeftLowerLeg, kPartLeftFoot};
        case Joint::RightFoot: return {kPartRightLowerLeg, kPartRightFoot};
    }
    return {};
}

TEST(SceneRenderer, EveryJointProjectsIntoItsOwnBodyPart) {
    for (const char* pose : {"stand", "psi"}) {
        for (const int variant : {0, 1, 2, 3}) {
            // Mirrored or not, the plain body or the dressed one.
            const bool mirror = variant % 2 == 0, dressed = variant >= 2;
            Scene scene = StandingScene(pose);
            scene.people[0].plainBody = !dressed;
            SceneRenderer renderer(scene);
            ASSERT_TRUE(renderer.SetSettings(Settings(320, 240, mirror, true, true, 0.35)));
            RenderedFrame frame;
            renderer.Render(0, frame);
            ASSERT_EQ(1u, frame.truth.users.size());
            for (int j = 0; j < kJointCount; ++j) {
                const Vec3& p = frame.truth.users[0].joints[j].position;
                float c = 0, r = 0;
                ASSERT_TRUE(renderer.Camera().WorldToPixel(Point3f{float(p.x), float(p.y), float(p.z)}, c, r));
                const int column = static_cast<int>(std::lround(c)), row = static_cast<int>(std::lround(r));
                ASSERT_TRUE(column >= 0 && column < 320 && row >= 0 && row < 240);
                const size_t i = static_cast<size_t>(row) * 320 + column;
                EXPECT_EQ(1, frame.users[i]) << pose << " " << JointName(static_cast<Joint>(j));
                EXPECT_TRUE(AllowedParts(static_cast<Joint>(j)).count(frame.parts[i]))
                    << pose << (mirror ? " mirrored " : " ") << JointName(static_cast<Joint>(j)) << " shows "
                    << PartName(frame.parts[i]);
                // The joint lies behind the visible surface, inside the body.
                EXPECT_LT(frame.depth[i], p.z + 20.0) << JointName(static_cast<Joint>(j));
                EXPECT_GT(frame.depth[i], p.z - 200.0) << JointName(static_cast<Joint>(j));
            }
        }
    }
}

TEST(SceneRenderer, LabelsAgreeWithDepth) {
    Scene scene = StandingScene();
    scene.boxes.push_back(BoxDef{Vec3(700, 300, 2000), Vec3(300, 600, 300), 20});
    SceneRenderer renderer(scene);
    ASSERT_TRUE(renderer.SetSettings(Settings(320, 240, true, true, true, 0.5, 0.01, 3)));
    RenderedFrame frame;
    renderer.Render(0, frame);
    int body = 0;
    for (size_t i = 0; i < frame.depth.size(); ++i) {
        if (frame.users[i] != 0) {
            ++body;
            ASSERT_NE(0, frame.depth[i]);
            ASSERT_EQ(1, frame.users[i]);
            ASSERT_GE(frame.parts[i], kPartHead);
            ASSERT_LT(frame.parts[i], kPartLabelCount);
            // Body surface lies around the person's distance, not the wall's.
            ASSERT_LT(std::abs(frame.depth[i] - 2500), 400) << i;
        } else {
            ASSERT_EQ(kPartNone, frame.parts[i]);
        }
    }
    EXPECT_GT(body, 3000);
    EXPECT_EQ(body, frame.truth.users[0].nVisiblePixels);
}

TEST(SceneRenderer, MirroringPutsTheRightSideAtPositiveX) {
    Scene scene = StandingScene("tpose");
    SceneRenderer mirrored(scene), plain(scene);
    ASSERT_TRUE(mirrored.SetSettings(Settings(320, 240, true, true, false, 0.0)));
    ASSERT_TRUE(plain.SetSettings(Settings(320, 240, false, true, false, 0.0)));
    RenderedFrame a, b;
    mirrored.Render(0, a);
    plain.Render(0, b);
    EXPECT_GT(JointAt(a.truth, 0, Joint::RightHand).x, 500.0);
    EXPECT_LT(JointAt(a.truth, 0, Joint::LeftHand).x, -500.0);
    EXPECT_LT(JointAt(b.truth, 0, Joint::RightHand).x, -500.0);
    for (int j = 0; j < kJointCount; ++j) {
        const Vec3& p = a.truth.users[0].joints[j].position;
        const Vec3& q = b.truth.users[0].joints[j].position;
        EXPECT_NEAR(p.x, -q.x, 1e-9);
        EXPECT_NEAR(p.y, q.y, 1e-9);
        EXPECT_NEAR(p.z, q.z, 1e-9);
    }
    // Without a half-pixel offset, column c of the mirrored image looks
    // where column W - c of the plain one does.
    int differ = 0, compared = 0;
    for (int r = 0; r < 240; ++r) {
        for (int c = 1; c < 320; ++c) {
            const size_t i = r * 320 + c, k = r * 320 + (320 - c);
            ++compared;
            if (a.depth[i] != b.depth[k] || a.parts[i] != b.parts[k]) ++differ;
        }
    }
    EXPECT_LT(differ, compared / 1000);
    // The right hand's pixels are on the right of a mirrored image.
    double rightColumns = 0, leftColumns = 0;
    int rightCount = 0, leftCount = 0;
    for (int r = 0; r < 240; ++r) {
        for (int c = 0; c < 320; ++c) {
            if (a.parts[r * 320 + c] == kPartRightHand) rightColumns += c, ++rightCount;
            if (a.parts[r * 320 + c] == kPartLeftHand) leftColumns += c, ++leftCount;
        }
    }
    ASSERT_GT(rightCount, 0);
    ASSERT_GT(leftCount, 0);
    EXPECT_GT(rightColumns / rightCount, 160.0);
    EXPECT_LT(leftColumns / leftCount, 160.0);
}

TEST(SceneRenderer, DeterministicForAFixedSeed) {
    const Scene scene = ParsedScene(
        "sensor noise=0.5 dropouts=0.01 seed=9\n"
        "person height=1700\nat 0 pos=-800,2600 yaw=-90\nat 1 pos=300,2400\n"
        "person height=1600 girth=1.2\nat 0 pos=600,3200\nwave 0..2 hand=left\n");
    SceneRenderer first(scene), second(scene);
    RenderedFrame a, b;
    for (const int index : {0, 7, 13}) {
        first.Render(index, a);
        second.Render(index, b);
        EXPECT_EQ(a.depth, b.depth);
        EXPECT_EQ(a.users, b.users);
        EXPECT_EQ(a.parts, b.parts);
        EXPECT_EQ(FrameTruthToJson(a.truth), FrameTruthToJson(b.truth));
    }
    // Frames render the same in any order.
    second.Render(7, b);
    first.Render(13, a);
    first.Render(7, a);
    EXPECT_EQ(a.depth, b.depth);
    // Another seed changes the noise, not the scene.
    RenderSettings other = second.Settings();
    other.nSeed = 10;
    other.dDropouts = 0.0;
    RenderSettings same = first.Settings();
    same.dDropouts = 0.0;
    ASSERT_TRUE(first.SetSettings(same));
    ASSERT_TRUE(second.SetSettings(other));
    first.Render(7, a);
    second.Render(7, b);
    EXPECT_NE(a.depth, b.depth);
    EXPECT_EQ(FrameTruthToJson(a.truth).substr(0, 60), FrameTruthToJson(b.truth).substr(0, 60));
}

TEST(SceneRenderer, NoiseChangesOnlyDepthAndByAFewShiftSteps) {
    SceneRenderer clean(StandingScene()), noisy(StandingScene());
    ASSERT_TRUE(clean.SetSettings(Settings(320, 240, true, true, true, 0.0)));
    ASSERT_TRUE(noisy.SetSettings(Settings(320, 240, true, true, true, 0.5)));
    RenderedFrame a, b, c;
    clean.Render(0, a);
    noisy.Render(0, b);
    const auto& d2s = clean.Sensor().DepthToShiftTable();
    int changed = 0;
    for (size_t i = 0; i < a.depth.size(); ++i) {
        if (a.depth[i] == 0 || b.depth[i] == 0) {
            EXPECT_EQ(a.depth[i] == 0, b.depth[i] == 0) << i;  // in range on both sides
            continue;
        }
        EXPECT_EQ(a.users[i], b.users[i]);
        EXPECT_EQ(a.parts[i], b.parts[i]);
        const int steps = std::abs(int(d2s[a.depth[i]]) - int(d2s[b.depth[i]]));
        EXPECT_LE(steps, 3) << i;
        changed += a.depth[i] != b.depth[i];
    }
    EXPECT_GT(changed, 1000);
    // A perfectly still scene still flickers from frame to frame, and only
    // with noise on.
    noisy.Render(1, c);
    EXPECT_NE(b.depth, c.depth);
    RenderedFrame d;
    clean.Render(1, d);
    EXPECT_EQ(a.depth, d.depth);
}

TEST(SceneRenderer, ShadowRemovesDepthBesideTheSilhouetteOnly) {
    for (const bool mirror : {true, false}) {
        SceneRenderer lit(StandingScene()), shaded(StandingScene());
        ASSERT_TRUE(lit.SetSettings(Settings(320, 240, mirror, false, false, 0.0)));
        ASSERT_TRUE(shaded.SetSettings(Settings(320, 240, mirror, false, true, 0.0)));
        RenderedFrame a, b;
        lit.Render(0, a);
        shaded.Render(0, b);
        int removed = 0, wrongSide = 0;
        for (int r = 0; r < 240; ++r) {
            int first = -1, last = -1;
            for (int c = 0; c < 320; ++c) {
                if (a.users[r * 320 + c]) {
                    if (first < 0) first = c;
                    last = c;
                }
            }
            for (int c = 0; c < 320; ++c) {
                const size_t i = r * 320 + c;
                if (a.depth[i] == b.depth[i]) continue;
                ASSERT_EQ(0, b.depth[i]) << "shadow only removes depth";
                ASSERT_EQ(0, b.users[i]);
                ++removed;
                if (first < 0 || (mirror ? c < first : c > last)) ++wrongSide;
            }
        }
        EXPECT_GT(removed, 100);
        EXPECT_EQ(0, wrongSide);
        // The band at the waist: the body at about 2.4 m against the wall at
        // 4 m spans 75 mm / k x (1/2.4 m - 1/4 m) pixels.
        const int row = 120;
        int edge = -1, band = 0;
        for (int c = 0; c < 320; ++c) {
            if (a.users[row * 320 + c]) edge = mirror ? c : (edge < 0 ? c : edge);
        }
        ASSERT_GE(edge, 0);
        const int direction = mirror ? 1 : -1;
        for (int c = edge + direction; c >= 0 && c < 320 && b.depth[row * 320 + c] == 0 && a.depth[row * 320 + c] != 0;
             c += direction) {
            ++band;
        }
        const double bodyDepth = a.depth[row * 320 + edge];
        const double expected = 75.0 / shaded.Camera().PixelFactor() * (1.0 / bodyDepth - 1.0 / 4000.0);
        EXPECT_NEAR(expected, band, 1.5) << (mirror ? "mirrored" : "plain");
    }
}

TEST(SceneRenderer, DropoutsRemoveAboutTheRequestedShare) {
    Scene scene = StandingScene();
    SceneRenderer full(scene), holes(scene);
    ASSERT_TRUE(full.SetSettings(Settings(320, 240, true, true, true, 0.0)));
    ASSERT_TRUE(holes.SetSettings(Settings(320, 240, true, true, true, 0.0, 0.05)));
    RenderedFrame a, b;
    full.Render(0, a);
    holes.Render(0, b);
    int valid = 0, dropped = 0;
    for (size_t i = 0; i < a.depth.size(); ++i) {
        if (a.depth[i] == 0) continue;
        ++valid;
        if (b.depth[i] == 0) ++dropped;
        else EXPECT_EQ(a.depth[i], b.depth[i]);
    }
    EXPECT_NEAR(0.05, double(dropped) / valid, 0.01);
}

TEST(SceneRenderer, VisibleCentroidAndBodyCentre) {
    SceneRenderer renderer(StandingScene());
    ASSERT_TRUE(renderer.SetSettings(Settings(320, 240, true, false, false, 0.0)));
    RenderedFrame frame;
    renderer.Render(0, frame);
    const UserTruth& user = frame.truth.users[0];
    // The system's area-weighted mean of the user's pixels.
    double w = 0, x = 0, y = 0, z = 0;
    int count = 0;
    const DepthCamera& camera = renderer.Camera();
    for (int r = 0; r < 240; ++r) {
        for (int c = 0; c < 320; ++c) {
            const size_t i = r * 320 + c;
            if (frame.users[i] != 1) continue;
            const Point3f p = camera.PixelToWorld(float(c), float(r), frame.depth[i]);
            const double a = std::pow(double(camera.PixelFactor() * frame.depth[i]), 2);
            w += a, x += a * p.x, y += a * p.y, z += a * p.z, ++count;
        }
    }
    EXPECT_EQ(count, user.nVisiblePixels);
    EXPECT_NEAR(x / w, user.centroid.x, 1e-6);
    EXPECT_NEAR(y / w, user.centroid.y, 1e-6);
    EXPECT_NEAR(z / w, user.centroid.z, 1e-6);
    // The visible surface is the front of a body centred at 2.5 m.
    EXPECT_NEAR(0.0, user.centroid.x, 20.0);
    EXPECT_LT(user.centroid.z, 2500.0);
    EXPECT_GT(user.centroid.z, 2350.0);
    EXPECT_NEAR(0.0, user.centre.x, 5.0);
    EXPECT_NEAR(2500.0, user.centre.z, 30.0);
    // About the centre of mass: a little above the hips.
    const double floorY = -1000.0;
    EXPECT_NEAR(0.55 * 1750.0, user.centre.y - floorY, 0.06 * 1750.0);
}

TEST(SceneRenderer, FloorTruthFitsTheFloorPixels) {
    Scene scene = StandingScene();
    scene.camera.dTilt = 12.0;
    scene.camera.dElevation = 1400.0;
    SceneRenderer renderer(scene);
    ASSERT_TRUE(renderer.SetSettings(Settings(320, 240, true, false, false, 0.0)));
    RenderedFrame frame;
    renderer.Render(0, frame);
    const Vec3 n = frame.truth.floorNormal;
    EXPECT_NEAR(1.0, Length(n), 1e-12);
    EXPECT_NEAR(std::cos(Radians(12.0)), n.y, 1e-12);
    EXPECT_NEAR(-1400.0 * std::cos(Radians(12.0)), frame.truth.floorPoint.y, 1e-9);
    int floorPixels = 0;
    for (int r = 200; r < 240; ++r) {
        for (int c = 0; c < 320; c += 3) {
            const size_t i = r * 320 + c;
            if (frame.users[i] || frame.depth[i] == 0) continue;
            const Point3f p = renderer.Camera().PixelToWorld(float(c), float(r), frame.depth[i]);
            const double distance = Dot(Vec3(p.x, p.y, p.z) - frame.truth.floorPoint, n);
            EXPECT_NEAR(0.0, distance, 2.0);
            ++floorPixels;
        }
    }
    EXPECT_GT(floorPixels, 500);
    // The feet stand on it.
    const Vec3 foot = JointAt(frame.truth, 0, Joint::LeftFoot);
    EXPECT_NEAR(0.048 * 1750.0, Dot(foot - frame.truth.floorPoint, n), 1.0);
}

TEST(SceneRenderer, ResolutionsShareOneWorld) {
    const Scene scene = StandingScene("psi");
    SceneRenderer renderer(scene);
    RenderedFrame frames[3];
    const int widths[3] = {160, 320, 640};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(renderer.SetSettings(Settings(widths[i], widths[i] * 3 / 4, true, true, true, 0.35)));
        renderer.Render(0, frames[i]);
        EXPECT_EQ(size_t(widths[i] * widths[i] * 3 / 4), frames[i].depth.size());
    }
    for (int j = 0; j < kJointCount; ++j) {
        for (int i = 1; i < 3; ++i) {
            const Vec3 d = frames[i].truth.users[0].joints[j].position - frames[0].truth.users[0].joints[j].position;
            EXPECT_LT(Length(d), 1e-9);
        }
    }
    const double small = frames[0].truth.users[0].nVisiblePixels;
    EXPECT_NEAR(4.0, frames[1].truth.users[0].nVisiblePixels / small, 0.4);
    EXPECT_NEAR(16.0, frames[2].truth.users[0].nVisiblePixels / small, 1.6);
    // Bad settings are refused and leave the renderer as it was.
    EXPECT_FALSE(renderer.SetResolution(0, 120));
    EXPECT_FALSE(renderer.SetResolution(5000, 120));
    EXPECT_EQ(640, renderer.Settings().nWidth);
    RenderSettings bad = renderer.Settings();
    bad.dDropouts = 2.0;
    EXPECT_FALSE(renderer.SetSettings(bad));
}

TEST(SceneRenderer, RenderDepthFillsACallersStridedBuffer) {
    SceneRenderer renderer(StandingScene());
    ASSERT_TRUE(renderer.SetResolution(160, 120));
    RenderedFrame frame;
    renderer.Render(3, frame);
    std::vector<uint16_t> buffer(200 * 120, 0xBEEF);
    renderer.RenderDepth(3, buffer.data(), 200);
    for (int r = 0; r < 120; ++r) {
        for (int c = 0; c < 200; ++c) {
            if (c < 160) ASSERT_EQ(frame.depth[r * 160 + c], buffer[r * 200 + c]);
            else ASSERT_EQ(0xBEEF, buffer[r * 200 + c]);
        }
    }
}

TEST(SceneRenderer, OrientationsAreRotationsWithTheSystemsConventions) {
    for (const bool mirror : {true, false}) {
        SceneRenderer renderer(StandingScene("psi"));
        renderer.SetMirror(mirror);
        RenderedFrame frame;
        renderer.Render(0, frame);
        const UserTruth& user = frame.truth.users[0];
        for (int j = 0; j < kJointCount; ++j) {
            const Mat3& m = user.joints[j].orientation;
            EXPECT_NEAR(1.0, m.Determinant(), 1e-9) << JointName(static_cast<Joint>(j));
            const Mat3 identity = m * m.Transposed();
            for (int a = 0; a < 3; ++a) {
                for (int b = 0; b < 3; ++b) EXPECT_NEAR(a == b ? 1.0 : 0.0, identity.m[a][b], 1e-9);
            }
        }
        // Facing the camera: torso x toward the person's right, y up.
        const Mat3& torso = user.joints[static_cast<int>(Joint::Torso)].orientation;
        const Vec3 toRight = JointAt(frame.truth, 0, Joint::RightShoulder) - JointAt(frame.truth, 0, Joint::LeftShoulder);
        EXPECT_GT(Dot(torso.Column(0), toRight), 0.99 * Length(toRight));
        EXPECT_NEAR(1.0, torso.m[1][1], 1e-9);
        if (mirror) {
            EXPECT_NEAR(1.0, torso.m[0][0], 1e-9);  // z points away from the camera
            EXPECT_NEAR(1.0, torso.m[2][2], 1e-9);
        }
        // Right arm: public x along the upper arm.
        const Mat3& upper = user.joints[static_cast<int>(Joint::RightShoulder)].orientation;
        const Vec3 arm = Normalized(JointAt(frame.truth, 0, Joint::RightElbow) - JointAt(frame.truth, 0, Joint::RightShoulder));
        EXPECT_NEAR(1.0, Dot(upper.Column(0), arm), 1e-9);
        // Legs: public y from foot toward hip.
        const Mat3& shin = user.joints[static_cast<int>(Joint::LeftKnee)].orientation;
        const Vec3 leg = Normalized(JointAt(frame.truth, 0, Joint::LeftKnee) - JointAt(frame.truth, 0, Joint::LeftFoot));
        EXPECT_NEAR(1.0, Dot(shin.Column(1), leg), 1e-9);
    }
}

// A box shows only from its "from" time until before its "until" time; a
// pan turns the camera about the vertical at its rate, pans adding up.
TEST(SceneRenderer, TimedBoxesAndCameraPans) {
    Scene scene;
    std::string error;
    ASSERT_TRUE(ParseScene("camera tilt=0\nframes fps=10\nfloor off\nwall z=4000\n"
                           "sensor levels=table noise=0 field=0 blocks=0 edges=off fragments=off holes=off\n"
                           "box center=0,1000,2000 size=400,400,100 from=0.5 until=1\n"
                           "pan 2..3 rate=20\npan 2.5..3 rate=20\n",
                           "", scene, error))
        << error;
    EXPECT_EQ(0.0, scene.CameraYaw(1.0));
    EXPECT_NEAR(15.0 + 5.0, scene.CameraYaw(2.75), 1e-9);
    EXPECT_NEAR(30.0, scene.CameraYaw(10.0), 1e-9);
    SceneRenderer renderer(scene);
    RenderedFrame frame;
    const auto centre = [&frame]() { return static_cast<int>(frame.depth[120 * 320 + 160]); };
    for (const int index : {4, 10}) {
        renderer.Render(index, frame);
        EXPECT_NEAR(4000, centre(), 20) << index;
    }
    renderer.Render(5, frame);
    EXPECT_NEAR(1950, centre(), 20);
    // Turned by 30 degrees, the wall straight ahead lies 4000 / cos 30 away.
    renderer.Render(35, frame);
    EXPECT_NEAR(4000.0 / std::cos(30.0 * M_PI / 180.0), centre(), 40);
}

}  // namespace
