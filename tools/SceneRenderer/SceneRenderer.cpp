#include "SceneRenderer/SceneRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "SceneRenderer/Random.h"

namespace vela::scene {

namespace {

constexpr int kMaxSide = 4096;
constexpr uint64_t kNoiseStream = 1;
constexpr uint64_t kDropoutStream = 2;

// Body coordinates (x right, y up, z back) of a body facing `yaw` to room
// coordinates: the columns are the body's right, up and back directions.
Mat3 BodyToRoom(double yaw) {
    const double c = std::cos(yaw), s = std::sin(yaw);
    return Mat3::FromColumns(Vec3(-c, 0, s), Vec3(0, 1, 0), Vec3(s, 0, c));
}

// The system's limb orientation: the segment, the hinge and their cross,
// then the constant per-side change of axes of the output skeleton.
Mat3 LimbOrientation(const Vec3& direction, const Vec3& hinge, const Mat3& axesChange) {
    const Vec3 x = direction;
    const Vec3 y = Normalized(Cross(hinge, x));
    const Vec3 z = Cross(x, y);
    return Mat3::FromColumns(x, y, z) * axesChange;
}

Mat3 Rows(const Vec3& r0, const Vec3& r1, const Vec3& r2) { return Mat3::FromColumns(r0, r1, r2).Transposed(); }

}  // namespace

RenderSettings RenderSettings::FromScene(const Scene& scene) {
    RenderSettings s;
    s.nWidth = scene.camera.nWidth;
    s.nHeight = scene.camera.nHeight;
    s.fHorizontalFov = scene.camera.fHorizontalFov;
    s.bMirror = scene.camera.bMirror;
    s.bQuantise = scene.sensor.bQuantise;
    s.bShadow = scene.sensor.bShadow;
    s.bDeviceLevels = scene.sensor.bDeviceLevels;
    s.dNoise = scene.sensor.dNoise;
    s.dNoiseField = scene.sensor.dNoiseField;
    s.dNoiseBlocks = scene.sensor.dNoiseBlocks;
    s.bEdges = scene.sensor.bEdges;
    s.bFragments = scene.sensor.bFragments;
    s.bHoles = scene.sensor.bHoles;
    s.dDropouts = scene.sensor.dDropouts;
    s.nSeed = scene.sensor.nSeed;
    return s;
}

SceneRenderer::SceneRenderer(const Scene& scene)
    : m_scene(scene), m_settings(RenderSettings::FromScene(scene)),
      m_camera(m_settings.nWidth, m_settings.nHeight, m_settings.fHorizontalFov) {
    if (!m_sensor.Init(scene.sensor.params)) {
        m_sensor = SensorModel();
    }
    for (const PersonDef& person : scene.people) m_people.emplace_back(person);
    if (!SetSettings(m_settings)) {
        // A scene built in code with unusable settings renders at the defaults.
        RenderSettings fallback;
        fallback.nSeed = m_settings.nSeed;
        m_settings = fallback;
        m_camera = DepthCamera(fallback.nWidth, fallback.nHeight, fallback.fHorizontalFov);
    }
}

bool SceneRenderer::SetSettings(const RenderSettings& s) {
    if (s.nWidth < 1 || s.nHeight < 1 || s.nWidth > kMaxSide || s.nHeight > kMaxSide) return false;
    if (!(s.fHorizontalFov > 0.0f && s.fHorizontalFov < 3.0f)) return false;
    for (const double noise : {s.dNoise, s.dNoiseField, s.dNoiseBlocks}) {
        if (!(noise >= 0.0 && noise <= 100.0)) return false;
    }
    if (!(s.dDropouts >= 0.0 && s.dDropouts <= 1.0)) return false;
    m_settings = s;
    m_camera = DepthCamera(s.nWidth, s.nHeight, s.fHorizontalFov);
    return true;
}

bool SceneRenderer::SetResolution(int width, int height) {
    RenderSettings s = m_settings;
    s.nWidth = width;
    s.nHeight = height;
    return SetSettings(s);
}

void SceneRenderer::SetMirror(bool mirror) { m_settings.bMirror = mirror; }

void SceneRenderer::Rasterize(int index) {
    const int width = m_settings.nWidth, height = m_settings.nHeight;
    const double t = index / m_scene.dFps;
    const double k = m_camera.PixelFactor();
    const double cx = m_camera.CenterX(), cy = m_camera.CenterY();

    // Room to world: the camera sits above the room origin, tilted down, and
    // a mirrored stream flips x.
    const double tilt = Radians(m_scene.camera.dTilt);
    const double pan = Radians(m_scene.CameraYaw(t));
    const Mat3 roomToCamera = Rows(Vec3(1, 0, 0), Vec3(0, std::cos(tilt), std::sin(tilt)),
                                   Vec3(0, -std::sin(tilt), std::cos(tilt))) *
                              Rows(Vec3(std::cos(pan), 0, -std::sin(pan)), Vec3(0, 1, 0),
                                   Vec3(std::sin(pan), 0, std::cos(pan)));
    const Mat3 flip = Mat3::Diagonal(m_settings.bMirror ? -1.0 : 1.0, 1.0, 1.0);
    m_roomToWorld = flip * roomToCamera;
    m_roomOffset = m_roomToWorld * Vec3(0, -m_scene.camera.dElevation, 0);

    m_primitives.clear();
    for (const BoxDef& box : m_scene.boxes) {
        if (t < box.from || t >= box.until) continue;
        const double c = std::cos(Radians(box.yaw)), s = std::sin(Radians(box.yaw));
        Shape shape;
        shape.kind = Shape::Kind::Box;
        shape.origin = box.centre;
        shape.axes = Mat3::FromColumns(Vec3(c, 0, -s) * (0.5 * box.size.x), Vec3(0, 0.5 * box.size.y, 0),
                                       Vec3(s, 0, c) * (0.5 * box.size.z));
        m_primitives.emplace_back(TransformShape(shape, m_roomToWorld, m_roomOffset), 0);
    }
    m_personFrames.resize(m_people.size());
    m_foldPhases.resize(m_people.size());
    for (size_t i = 0; i < m_people.size(); ++i) {
        const PersonMotion& motion = m_people[i];
        BodyPose pose;
        Placement placement;
        motion.Evaluate(t, pose, placement);
        PersonFrame& pf = m_personFrames[i];
        m_foldPhases[i] = MakeFoldPhases(m_settings.nSeed, static_cast<int>(i));
        pf.skeleton = ComputeSkeleton(motion.Dimensions(), pose);
        const Vec3 bodyOrigin(placement.x, -pf.skeleton.lowestSole, placement.z);
        pf.linear = m_roomToWorld * BodyToRoom(placement.yaw);
        pf.offset = m_roomToWorld * bodyOrigin + m_roomOffset;
        std::vector<Shape> bodyShapes;
        const PersonDef& person = m_scene.people[i];
        if (person.plainBody) {
            BuildBodyShapes(motion.Dimensions(), pf.skeleton, bodyShapes);
        } else {
            BuildDressedBodyShapes(motion.Dimensions(), pf.skeleton, person.style, bodyShapes);
        }
        pf.shapes.clear();
        for (const Shape& shape : bodyShapes) {
            pf.shapes.push_back(TransformShape(shape, pf.linear, pf.offset));
            m_primitives.emplace_back(pf.shapes.back(), static_cast<uint16_t>(i + 1));
        }
    }

    // Widen the image on the projector's side by the widest shadow the
    // nearest solid can cast.
    const double baseline = m_sensor.BaselineMm();
    const double projectorX = m_settings.bMirror ? -baseline : baseline;
    m_nMargin = 0;
    if (m_settings.bShadow && !m_primitives.empty()) {
        double nearest = std::numeric_limits<double>::infinity();
        for (const RenderPrimitive& p : m_primitives) nearest = std::min(nearest, p.BoundCentre().z - p.BoundRadius());
        nearest = std::max(nearest, 0.5 * m_sensor.MinDepth());
        m_nMargin = std::min(width, static_cast<int>(std::ceil(baseline / (k * nearest))) + 1);
    }
    m_nLeftMargin = projectorX < 0.0 ? m_nMargin : 0;
    m_nWideWidth = width + m_nMargin;
    const int wide = m_nWideWidth;

    m_rayX.resize(wide);
    for (int e = 0; e < wide; ++e) m_rayX[e] = (static_cast<double>(e - m_nLeftMargin) - cx) * k;
    m_rayY.resize(height);
    for (int r = 0; r < height; ++r) m_rayY[r] = (cy - static_cast<double>(r)) * k;

    const size_t pixels = static_cast<size_t>(wide) * height;
    m_zBuffer.assign(pixels, std::numeric_limits<double>::infinity());
    m_userBuffer.assign(pixels, 0);
    m_partBuffer.assign(pixels, 0);
    m_materialBuffer.assign(pixels, kMaterialPlain);

    // Floor and walls: planes n . p = d in the world frame.
    struct PlaneEq {
        Vec3 n;
        double d;
    };
    std::vector<PlaneEq> planes;
    auto addPlane = [&](const Vec3& normal, const Vec3& point) {
        const Vec3 n = m_roomToWorld * normal;
        planes.push_back({n, Dot(n, m_roomToWorld * point + m_roomOffset)});
    };
    if (m_scene.bFloor) addPlane(Vec3(0, 1, 0), Vec3(0, 0, 0));
    for (const WallDef& wall : m_scene.walls) {
        if (wall.axis == 'x') addPlane(Vec3(1, 0, 0), Vec3(wall.value, 0, 0));
        else addPlane(Vec3(0, 0, 1), Vec3(0, 0, wall.value));
    }
    for (const PlaneEq& plane : planes) {
        for (int r = 0; r < height; ++r) {
            const double rowTerm = plane.n.y * m_rayY[r] + plane.n.z;
            double* z = m_zBuffer.data() + static_cast<size_t>(r) * wide;
            for (int e = 0; e < wide; ++e) {
                const double denominator = plane.n.x * m_rayX[e] + rowTerm;
                const double depth = plane.d / denominator;
                if (depth > 0.0 && depth < z[e]) z[e] = depth;
            }
        }
    }

    // Solids, each over the image rectangle its bounding sphere covers.
    for (const RenderPrimitive& p : m_primitives) {
        const Vec3& c = p.BoundCentre();
        const double radius = p.BoundRadius();
        if (c.z + radius <= 1e-3) continue;
        int e0 = 0, e1 = wide - 1, r0 = 0, r1 = height - 1;
        const double nearZ = c.z - radius;
        if (nearZ > 1.0) {
            const double xs[4] = {(c.x - radius) / nearZ, (c.x - radius) / (c.z + radius), (c.x + radius) / nearZ,
                                  (c.x + radius) / (c.z + radius)};
            const double ys[4] = {(c.y - radius) / nearZ, (c.y - radius) / (c.z + radius), (c.y + radius) / nearZ,
                                  (c.y + radius) / (c.z + radius)};
            const double xMin = *std::min_element(xs, xs + 4), xMax = *std::max_element(xs, xs + 4);
            const double yMin = *std::min_element(ys, ys + 4), yMax = *std::max_element(ys, ys + 4);
            const double left = std::floor(xMin / k + cx) + m_nLeftMargin;
            const double right = std::ceil(xMax / k + cx) + m_nLeftMargin;
            const double top = std::floor(cy - yMax / k);
            const double bottom = std::ceil(cy - yMin / k);
            if (right < 0.0 || left > wide - 1 || bottom < 0.0 || top > height - 1) continue;
            e0 = static_cast<int>(std::max(left, 0.0));
            e1 = static_cast<int>(std::min(right, static_cast<double>(wide - 1)));
            r0 = static_cast<int>(std::max(top, 0.0));
            r1 = static_cast<int>(std::min(bottom, static_cast<double>(height - 1)));
        }
        const Mat3& m = p.ToLocal();
        const Vec3 colX = m.Column(0), colY = m.Column(1), colZ = m.Column(2);
        const uint16_t user = p.User();
        const uint8_t part = p.Part();
        const uint8_t material = p.Material();
        for (int r = r0; r <= r1; ++r) {
            const Vec3 rowBase = colY * m_rayY[r] + colZ;
            const size_t rowStart = static_cast<size_t>(r) * wide;
            for (int e = e0; e <= e1; ++e) {
                double& z = m_zBuffer[rowStart + e];
                if (nearZ >= z) continue;
                double depth;
                if (p.Intersect(rowBase + colX * m_rayX[e], depth) && depth < z) {
                    z = depth;
                    m_userBuffer[rowStart + e] = user;
                    m_partBuffer[rowStart + e] = part;
                    m_materialBuffer[rowStart + e] = material;
                }
            }
        }
    }

    // Projector shadow on the true geometry.
    m_shadow.assign(pixels, 0);
    if (m_settings.bShadow) {
        m_rowDepth.resize(wide);
        for (int r = 0; r < height; ++r) {
            const double* z = m_zBuffer.data() + static_cast<size_t>(r) * wide;
            for (int e = 0; e < wide; ++e) m_rowDepth[e] = std::isfinite(z[e]) ? z[e] : 0.0;
            SensorModel::MarkProjectorShadow(m_rowDepth.data(), m_rayX.data(), wide, projectorX,
                                             m_shadow.data() + static_cast<size_t>(r) * wide);
        }
    }
}

void SceneRenderer::Render(int index, RenderedFrame& frame) {
    if (index < 0) index = 0;
    Rasterize(index);
    const int width = m_settings.nWidth, height = m_settings.nHeight;
    const int wide = m_nWideWidth;
    EffectSwitches switches;
    switches.dField = m_settings.dNoiseField;
    switches.dBlocks = m_settings.dNoiseBlocks;
    switches.bEdges = m_settings.bEdges;
    switches.bFragments = m_settings.bFragments;
    switches.bHoles = m_settings.bHoles;
    m_effects.BeginFrame(m_settings.nSeed, index, width, height, switches);
    m_dropped.assign(m_zBuffer.size(), 0);
    SurfaceImage surface;
    surface.nWidth = wide;
    surface.nHeight = height;
    surface.nColumnOffset = m_nLeftMargin;
    surface.pDepth = &m_zBuffer;
    surface.pUser = &m_userBuffer;
    surface.pPart = &m_partBuffer;
    surface.pMaterial = &m_materialBuffer;
    surface.pDropped = &m_dropped;
    surface.pShadow = &m_shadow;
    m_effects.ReshapeEdges(surface);

    frame.nWidth = width;
    frame.nHeight = height;
    const size_t pixels = static_cast<size_t>(width) * height;
    frame.depth.assign(pixels, 0);
    frame.users.assign(pixels, 0);
    frame.parts.assign(pixels, 0);
    // The surface the sensor sees: the true depth with the cloth's folds,
    // NaN where it delivers nothing whatever the noise.
    const double none = std::numeric_limits<double>::quiet_NaN();
    m_surfaceDepth.assign(pixels, none);
    m_surfaceMaterial.assign(pixels, kMaterialPlain);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const size_t in = static_cast<size_t>(r) * wide + c + m_nLeftMargin;
            double z = m_zBuffer[in];
            if (!std::isfinite(z) || m_shadow[in] || m_dropped[in]) continue;
            const uint16_t user = m_userBuffer[in];
            if (user != 0 && IsFolded(m_materialBuffer[in], m_partBuffer[in])) {
                z -= FoldDepth(user - 1, c + m_nLeftMargin, r, z);
            }
            m_surfaceDepth[static_cast<size_t>(r) * width + c] = z;
            m_surfaceMaterial[static_cast<size_t>(r) * width + c] = m_materialBuffer[in];
        }
    }
    m_effects.MarkHoles(m_surfaceMaterial, m_surfaceDepth, m_holes);
    const uint64_t frameKey = static_cast<uint64_t>(index) << 8;
    const bool shiftNoise = m_effects.HasShiftNoise();
    if (shiftNoise) m_effects.PrepareShiftNoise(m_surfaceDepth, m_sensor);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const size_t out = static_cast<size_t>(r) * width + c;
            const size_t in = static_cast<size_t>(r) * wide + c + m_nLeftMargin;
            const double z = m_surfaceDepth[out];
            if (std::isnan(z)) continue;
            double noise = 0.0;
            if (m_settings.dNoise > 0.0) {
                noise = m_settings.dNoise * NormalFromBits(HashKey(m_settings.nSeed, frameKey | kNoiseStream, out));
            }
            // Correlated noise acts on the exact shift of the surface, so
            // that pixels sharing a block's shift share it exactly.
            uint16_t depth = shiftNoise ? m_sensor.MeasureShift(m_sensor.ShiftOfDepth(z) + noise +
                                                                    m_effects.ShiftNoise(c, r),
                                                                m_settings.bQuantise)
                                        : m_sensor.Measure(z, noise, m_settings.bQuantise);
            if (depth == 0) continue;
            if (m_settings.dDropouts > 0.0 &&
                UniformFromBits(HashKey(m_settings.nSeed, frameKey | kDropoutStream, out)) < m_settings.dDropouts) {
                continue;
            }
            if (m_holes[out]) continue;
            // Devices deliver each level 1 mm below the entry of the table
            // they serve.
            if (m_settings.bDeviceLevels && m_settings.bQuantise) --depth;
            frame.depth[out] = depth;
            frame.users[out] = m_userBuffer[in];
            frame.parts[out] = m_partBuffer[in];
        }
    }
    frame.truth.nFrame = index;
    frame.truth.dTime = index / m_scene.dFps;
    ComputeTruth(frame, frame.truth);
}

bool SceneRenderer::IsFolded(uint8_t material, uint8_t part) {
    return (material == kMaterialDarkFabric || material == kMaterialLightFabric) &&
           (part == kPartTorso || part == kPartLeftUpperLeg || part == kPartRightUpperLeg);
}

double SceneRenderer::FoldDepth(int person, int column, int row, double depth) const {
    const PersonFrame& pf = m_personFrames[person];
    const Vec3 world(m_rayX[column] * depth, m_rayY[row] * depth, depth);
    // The body's frame is a rotation, mirrored or not: its inverse is its
    // transpose.
    const Vec3 body = pf.linear.Transposed() * (world - pf.offset);
    return ClothFoldDepth(body, m_foldPhases[person]);
}

void SceneRenderer::RenderDepth(int index, uint16_t* depth, int stride) {
    Render(index, m_scratch);
    const int width = m_settings.nWidth;
    if (stride <= 0) stride = width;
    for (int r = 0; r < m_settings.nHeight; ++r) {
        std::memcpy(depth + static_cast<size_t>(r) * stride, m_scratch.depth.data() + static_cast<size_t>(r) * width,
                    sizeof(uint16_t) * width);
    }
}

void SceneRenderer::ComputeTruth(const RenderedFrame& frame, FrameTruth& truth) const {
    truth.floorPoint = m_roomOffset;
    truth.floorNormal = m_roomToWorld * Vec3(0, 1, 0);
    truth.users.assign(m_people.size(), UserTruth());

    // Visible surface: the system's world points of the delivered pixels,
    // weighted by the area a pixel covers at its depth.
    // Per person the whole body and each hand (its own part label).
    std::vector<double> weight(m_people.size(), 0.0);
    std::vector<Vec3> sum(m_people.size());
    std::vector<std::array<double, 2>> handWeight(m_people.size(), {0.0, 0.0});
    std::vector<std::array<Vec3, 2>> handSum(m_people.size());
    const float k = m_camera.PixelFactor();
    for (int r = 0; r < frame.nHeight; ++r) {
        for (int c = 0; c < frame.nWidth; ++c) {
            const size_t i = static_cast<size_t>(r) * frame.nWidth + c;
            const uint16_t user = frame.users[i];
            if (user == 0 || user > m_people.size()) continue;
            const float z = frame.depth[i];
            const Point3f p = m_camera.PixelToWorld(static_cast<float>(c), static_cast<float>(r), z);
            const double side = static_cast<double>(k * z);
            const double w = side * side;
            sum[user - 1] += Vec3(p.x, p.y, p.z) * w;
            weight[user - 1] += w;
            ++truth.users[user - 1].nVisiblePixels;
            const uint8_t part = frame.parts[i];
            if (part == kPartLeftHand || part == kPartRightHand) {
                const int hand = part - kPartLeftHand;
                handSum[user - 1][hand] += Vec3(p.x, p.y, p.z) * w;
                handWeight[user - 1][hand] += w;
                ++truth.users[user - 1].hands[hand].nVisiblePixels;
            }
        }
    }

    static const Mat3 kArmAxes[2] = {Rows(Vec3(-1, 0, 0), Vec3(0, 0, -1), Vec3(0, -1, 0)),
                                     Rows(Vec3(1, 0, 0), Vec3(0, 0, -1), Vec3(0, 1, 0))};
    static const Mat3 kLegAxes = Rows(Vec3(0, -1, 0), Vec3(0, 0, 1), Vec3(-1, 0, 0));
    static const Joint kArm[2][3] = {{Joint::LeftShoulder, Joint::LeftElbow, Joint::LeftHand},
                                     {Joint::RightShoulder, Joint::RightElbow, Joint::RightHand}};
    static const Joint kLeg[2][3] = {{Joint::LeftHip, Joint::LeftKnee, Joint::LeftFoot},
                                     {Joint::RightHip, Joint::RightKnee, Joint::RightFoot}};
    for (size_t i = 0; i < m_people.size(); ++i) {
        const PersonFrame& pf = m_personFrames[i];
        UserTruth& user = truth.users[i];
        user.nId = static_cast<int>(i + 1);
        m_people[i].RunningMotions(truth.dTime, user.motions);
        if (weight[i] > 0.0) user.centroid = sum[i] / weight[i];
        for (int hand = 0; hand < 2; ++hand) {
            if (handWeight[i][hand] > 0.0) user.hands[hand].centroid = handSum[i][hand] / handWeight[i][hand];
        }

        double volume = 0.0;
        Vec3 moment;
        for (const Shape& shape : pf.shapes) {
            Vec3 centroid;
            const double v = ShapeVolume(shape, centroid);
            volume += v;
            moment += centroid * v;
        }
        user.centre = volume > 0.0 ? moment / volume : Vec3();

        auto world = [&pf](Joint j) { return pf.linear * pf.skeleton[j] + pf.offset; };
        for (int j = 0; j < kJointCount; ++j) user.joints[j].position = world(static_cast<Joint>(j));

        // With mirroring off the body's frame is reflected; det keeps the
        // axes a rotation (z = x cross y) and the hinge what cross(upper,
        // lower) gives.
        const Mat3& a = pf.linear;
        const double det = a.Determinant() < 0.0 ? -1.0 : 1.0;
        const Mat3& chest = pf.skeleton.chestFrame;
        const Vec3 torsoX = a * chest.Column(0), torsoY = a * chest.Column(1);
        const Mat3 torso = Mat3::FromColumns(torsoX, torsoY, Cross(torsoX, torsoY));
        const Vec3 neck = user.joints[static_cast<int>(Joint::Neck)].position;
        const Vec3 headDir = Normalized(user.joints[static_cast<int>(Joint::Head)].position - neck, torsoY);
        const Mat3 head = Quat::FromTo(torsoY, headDir).ToMatrix() * torso;
        user.joints[static_cast<int>(Joint::Head)].orientation = head;
        user.joints[static_cast<int>(Joint::Neck)].orientation = head;
        user.joints[static_cast<int>(Joint::Torso)].orientation = torso;
        for (int side = 0; side < 2; ++side) {
            const Vec3 armHinge = a * pf.skeleton.armHinges[side] * det;
            const Vec3 s = user.joints[static_cast<int>(kArm[side][0])].position;
            const Vec3 e = user.joints[static_cast<int>(kArm[side][1])].position;
            const Vec3 h = user.joints[static_cast<int>(kArm[side][2])].position;
            const Mat3 upperArm = LimbOrientation(Normalized(e - s), armHinge, kArmAxes[side]);
            const Mat3 lowerArm = LimbOrientation(Normalized(h - e), armHinge, kArmAxes[side]);
            user.joints[static_cast<int>(kArm[side][0])].orientation = upperArm;
            user.joints[static_cast<int>(kArm[side][1])].orientation = lowerArm;
            user.joints[static_cast<int>(kArm[side][2])].orientation = lowerArm;

            const Vec3 legHinge = a * pf.skeleton.legHinges[side] * det;
            const Vec3 hip = user.joints[static_cast<int>(kLeg[side][0])].position;
            const Vec3 knee = user.joints[static_cast<int>(kLeg[side][1])].position;
            const Vec3 foot = user.joints[static_cast<int>(kLeg[side][2])].position;
            const Mat3 upperLeg = LimbOrientation(Normalized(knee - hip), legHinge, kLegAxes);
            const Mat3 lowerLeg = LimbOrientation(Normalized(foot - knee), legHinge, kLegAxes);
            user.joints[static_cast<int>(kLeg[side][0])].orientation = upperLeg;
            user.joints[static_cast<int>(kLeg[side][1])].orientation = lowerLeg;
            user.joints[static_cast<int>(kLeg[side][2])].orientation = lowerLeg;
        }
    }
}

namespace {

void AppendVec(std::string& out, const Vec3& v) {
    char buffer[96];
    std::snprintf(buffer, sizeof(buffer), "[%.3f,%.3f,%.3f]", v.x, v.y, v.z);
    out += buffer;
}

}  // namespace

std::string FrameTruthToJson(const FrameTruth& truth) {
    std::string out;
    char buffer[256];
    std::snprintf(buffer, sizeof(buffer), "{\"frame\":%d,\"time\":%.6f,\"floor\":{\"point\":", truth.nFrame, truth.dTime);
    out += buffer;
    AppendVec(out, truth.floorPoint);
    std::snprintf(buffer, sizeof(buffer), ",\"normal\":[%.6f,%.6f,%.6f]},\"users\":[", truth.floorNormal.x,
                  truth.floorNormal.y, truth.floorNormal.z);
    out += buffer;
    for (size_t u = 0; u < truth.users.size(); ++u) {
        const UserTruth& user = truth.users[u];
        std::snprintf(buffer, sizeof(buffer), "%s{\"id\":%d,\"visible_pixels\":%d,\"centroid\":", u ? "," : "",
                      user.nId, user.nVisiblePixels);
        out += buffer;
        if (user.nVisiblePixels > 0) AppendVec(out, user.centroid);
        else out += "null";
        out += ",\"centre\":";
        AppendVec(out, user.centre);
        out += ",\"joints\":{";
        for (int j = 0; j < kJointCount; ++j) {
            const JointTruth& joint = user.joints[j];
            std::snprintf(buffer, sizeof(buffer), "%s\"%s\":{\"position\":", j ? "," : "", JointName(static_cast<Joint>(j)));
            out += buffer;
            AppendVec(out, joint.position);
            const auto& m = joint.orientation.m;
            std::snprintf(buffer, sizeof(buffer),
                          ",\"orientation\":[%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f]}", m[0][0], m[0][1],
                          m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
            out += buffer;
        }
        out += "},\"hands\":{";
        for (int hand = 0; hand < 2; ++hand) {
            const HandTruth& truthOfHand = user.hands[hand];
            std::snprintf(buffer, sizeof(buffer), "%s\"%s\":{\"visible_pixels\":%d,\"centroid\":", hand ? "," : "",
                          hand == kLeft ? "left" : "right", truthOfHand.nVisiblePixels);
            out += buffer;
            if (truthOfHand.nVisiblePixels > 0) AppendVec(out, truthOfHand.centroid);
            else out += "null";
            out += "}";
        }
        out += "},\"motions\":[";
        for (size_t m = 0; m < user.motions.size(); ++m) {
            const MotionTruth& motion = user.motions[m];
            const char* hand = motion.side == kLeft ? "\"left\"" : motion.side == kRight ? "\"right\"" : "null";
            std::snprintf(buffer, sizeof(buffer),
                          "%s{\"name\":\"%s\",\"hand\":%s,\"start\":%.6f,\"end\":%.6f,\"phase\":%.6f,"
                          "\"cycles\":%.6f}",
                          m ? "," : "", MotionName(motion.kind), hand, motion.start, motion.end, motion.phase,
                          motion.cycles);
            out += buffer;
        }
        out += "]}";
    }
    out += "]}";
    return out;
}

}  // namespace vela::scene
