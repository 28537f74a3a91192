#include "SceneRenderer/Bvh.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "SceneRenderer/RegularFile.h"

namespace vela::scene {

namespace {

constexpr int kMaxJoints = 1024;
constexpr int kMaxFrames = 10000000;
// Long published captures stay well below this; a token costs far less
// than the file's bytes, so memory stays bounded too.
constexpr size_t kMaxFileBytes = 32u << 20;
constexpr double kMaxFrameTime = 10.0;  // seconds

// A word of the text by position, so that a large file costs eight bytes a
// word; the line is counted only for an error message.
struct Token {
    uint32_t start;
    uint32_t length;
};

std::vector<Token> Tokenize(const std::string& text) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '{' || c == '}') {
            tokens.push_back({static_cast<uint32_t>(i), 1});
            ++i;
        } else {
            size_t j = i;
            while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])) && text[j] != '{' &&
                   text[j] != '}') {
                ++j;
            }
            tokens.push_back({static_cast<uint32_t>(i), static_cast<uint32_t>(j - i)});
            i = j;
        }
    }
    return tokens;
}

int LineAt(const std::string& text, size_t offset) {
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + std::min(offset, text.size()), '\n'));
}

bool ParseNumber(const std::string& s, double& value) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno == 0 && std::isfinite(value);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Lower case without separators and without a "namespace:" prefix.
std::string NormalizeName(const std::string& name) {
    const size_t colon = name.rfind(':');
    std::string base = colon == std::string::npos ? name : name.substr(colon + 1);
    std::string out;
    for (char c : base) {
        if (c != '_' && c != '-' && c != ' ' && c != '.') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// Local rotation of one rotation channel, degrees.
Mat3 ChannelRotation(int channel, double degrees) {
    const double a = Radians(degrees);
    switch (channel) {
        case 3: return RotX(a);
        case 4: return RotY(a);
        default: return RotZ(a);
    }
}

// File axes (right-handed, y up, rest pose facing +z) to body coordinates of
// a body facing the camera: x toward the person's right, z toward the back.
Vec3 ToBody(const Vec3& p) { return {-p.x, p.y, -p.z}; }

// Rotation taking the rest direction onto `dir`, applied to the rest hinge.
Vec3 RestHinge(const Vec3& restDir, const Vec3& restHinge, const Vec3& dir) {
    Vec3 h = Quat::FromTo(restDir, dir).ToMatrix() * restHinge;
    h -= dir * Dot(h, dir);
    return Normalized(h, Vec3(1, 0, 0));
}

Limb LimbFrom(const Vec3& upper, const Vec3& lower, const Vec3& restHinge) {
    Limb limb;
    limb.upper = Normalized(upper, Vec3(0, -1, 0));
    const Vec3 l = Normalized(lower, limb.upper);
    const Vec3 c = Cross(limb.upper, l);
    const double sine = Length(c);
    if (sine > 1e-3) {
        limb.hinge = c / sine;
        limb.bend = std::atan2(sine, Dot(limb.upper, l));
    } else {
        limb.hinge = RestHinge(Vec3(0, -1, 0), restHinge, limb.upper);
        limb.bend = Dot(limb.upper, l) < 0.0 ? kPi : 0.0;
    }
    return limb;
}

Mat3 FrameFrom(const Vec3& left, const Vec3& right, const Vec3& up) {
    const Vec3 x = Normalized(right - left, Vec3(1, 0, 0));
    const Vec3 z = Normalized(Cross(x, up), Vec3(0, 0, 1));
    const Vec3 y = Cross(z, x);
    return Mat3::FromColumns(x, y, z);
}

}  // namespace

bool BvhClip::Load(const std::string& path, std::string& error) {
    std::string text;
    if (!ReadRegularFile(path, kMaxFileBytes, text, error)) {
        error = "BVH file " + error;
        return false;
    }
    if (!Parse(text, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool BvhClip::Parse(const std::string& text, std::string& error) {
    if (text.size() > kMaxFileBytes) {
        error = "more than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    const std::vector<Token> tokens = Tokenize(text);
    size_t pos = 0;
    auto word = [&text, &tokens](size_t i) { return text.substr(tokens[i].start, tokens[i].length); };
    auto fail = [&](const std::string& what) {
        const size_t at = pos < tokens.size() ? tokens[pos].start : (tokens.empty() ? 0 : tokens.back().start);
        error = "line " + std::to_string(LineAt(text, at)) + ": " + what;
        return false;
    };
    auto expect = [&](const char* expected) {
        if (pos >= tokens.size() || Lower(word(pos)) != Lower(expected)) {
            return false;
        }
        ++pos;
        return true;
    };
    auto number = [&](double& v) {
        if (pos >= tokens.size() || !ParseNumber(word(pos), v)) return false;
        ++pos;
        return true;
    };

    std::vector<JointDef> joints;
    int channelCount = 0;
    if (!expect("HIERARCHY")) return fail("expected HIERARCHY");
    if (!expect("ROOT")) return fail("expected ROOT");
    std::vector<int> stack;
    bool first = true;
    while (true) {
        // At a joint name: "ROOT/JOINT name {" already consumed up to name.
        if (pos >= tokens.size()) return fail("unexpected end of the hierarchy");
        JointDef joint;
        joint.name = word(pos++);
        joint.parent = stack.empty() ? -1 : stack.back();
        if (!first && joint.parent < 0) return fail("joint outside the root");
        first = false;
        if (!expect("{")) return fail("expected '{' after joint " + joint.name);
        if (!expect("OFFSET")) return fail("expected OFFSET in joint " + joint.name);
        if (!number(joint.offset.x) || !number(joint.offset.y) || !number(joint.offset.z)) {
            return fail("bad OFFSET in joint " + joint.name);
        }
        if (!expect("CHANNELS")) return fail("expected CHANNELS in joint " + joint.name);
        double count = 0;
        if (!number(count) || count < 0 || count > 6 || count != std::floor(count)) {
            return fail("bad channel count in joint " + joint.name);
        }
        joint.firstChannel = channelCount;
        for (int c = 0; c < static_cast<int>(count); ++c) {
            if (pos >= tokens.size()) return fail("missing channel names");
            const std::string ch = Lower(word(pos));
            static const char* const kNames[6] = {"xposition", "yposition", "zposition",
                                                  "xrotation", "yrotation", "zrotation"};
            int id = -1;
            for (int k = 0; k < 6; ++k) {
                if (ch == kNames[k]) id = k;
            }
            if (id < 0) return fail("unknown channel " + word(pos));
            joint.channels.push_back(id);
            ++pos;
        }
        channelCount += static_cast<int>(count);
        if (static_cast<int>(joints.size()) >= kMaxJoints) return fail("too many joints");
        joints.push_back(joint);
        stack.push_back(static_cast<int>(joints.size()) - 1);

        // Children, end sites and closing braces until the next joint.
        bool nextJoint = false;
        while (!nextJoint) {
            if (pos >= tokens.size()) return fail("unexpected end of the hierarchy");
            const std::string keyword = Lower(word(pos));
            if (keyword == "joint") {
                ++pos;
                nextJoint = true;
            } else if (keyword == "end") {
                ++pos;
                if (!expect("Site") || !expect("{") || !expect("OFFSET")) return fail("bad End Site");
                double x, y, z;
                if (!number(x) || !number(y) || !number(z) || !expect("}")) return fail("bad End Site");
            } else if (keyword == "}") {
                ++pos;
                stack.pop_back();
                if (stack.empty()) break;
            } else {
                return fail("unexpected '" + word(pos) + "' in the hierarchy");
            }
        }
        if (!nextJoint) break;
    }
    if (!expect("MOTION")) return fail("expected MOTION");
    if (!expect("Frames:")) return fail("expected 'Frames:'");
    double frames = 0;
    if (!number(frames) || frames < 1 || frames > kMaxFrames || frames != std::floor(frames)) {
        return fail("bad frame count");
    }
    if (!expect("Frame") || !expect("Time:")) return fail("expected 'Frame Time:'");
    double frameTime = 0;
    if (!number(frameTime) || !(frameTime > 0.0) || frameTime > kMaxFrameTime) return fail("bad frame time");
    const size_t needed = static_cast<size_t>(frames) * static_cast<size_t>(channelCount);
    if (tokens.size() - pos < needed) return fail("fewer motion values than frames x channels");
    std::vector<double> values(needed);
    for (size_t i = 0; i < needed; ++i) {
        if (!number(values[i])) return fail("bad motion value '" + word(pos) + "'");
    }
    // Values past the declared frames are ignored: some published files
    // carry one frame more than their header says.

    BvhClip parsed;
    parsed.m_joints = std::move(joints);
    parsed.m_nChannels = channelCount;
    parsed.m_nFrames = static_cast<int>(frames);
    parsed.m_dFrameTime = frameTime;
    parsed.m_values = std::move(values);
    if (!parsed.MapJoints(error)) return false;
    *this = std::move(parsed);
    return true;
}

int BvhClip::FindJoint(const std::string& name) const {
    for (size_t i = 0; i < m_joints.size(); ++i) {
        if (m_joints[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

bool BvhClip::MapJoints(std::string& error) {
    static const std::vector<std::vector<std::string>> kAliases = {
        {"hips", "hip", "pelvis", "root"},
        {"leftupleg", "lefthip", "leftthigh", "leftupperleg", "lhip", "lthigh", "lfemur"},
        {"leftleg", "leftknee", "leftshin", "leftlowerleg", "lknee", "lshin", "ltibia"},
        {"leftfoot", "leftankle", "lankle", "lfoot"},
        {"rightupleg", "righthip", "rightthigh", "rightupperleg", "rhip", "rthigh", "rfemur"},
        {"rightleg", "rightknee", "rightshin", "rightlowerleg", "rknee", "rshin", "rtibia"},
        {"rightfoot", "rightankle", "rankle", "rfoot"},
        {"leftarm", "leftuparm", "leftupperarm", "lefthumerus", "lhumerus", "lshoulder", "leftshoulder"},
        {"leftforearm", "leftlowarm", "leftlowerarm", "leftelbow", "lelbow", "leftradius", "lradius"},
        {"lefthand", "leftwrist", "lwrist", "lhand"},
        {"rightarm", "rightuparm", "rightupperarm", "righthumerus", "rhumerus", "rshoulder", "rightshoulder"},
        {"rightforearm", "rightlowarm", "rightlowerarm", "rightelbow", "relbow", "rightradius", "rradius"},
        {"righthand", "rightwrist", "rwrist", "rhand"},
        {"head"},
        {"neck", "neck1", "lowerneck"},
    };
    std::vector<std::string> names;
    for (const JointDef& j : m_joints) names.push_back(NormalizeName(j.name));
    std::string missing;
    for (int key = 0; key < kKeyCount; ++key) {
        m_keys[key] = -1;
        for (const std::string& alias : kAliases[key]) {
            const auto it = std::find(names.begin(), names.end(), alias);
            if (it != names.end()) {
                m_keys[key] = static_cast<int>(it - names.begin());
                break;
            }
        }
        if (m_keys[key] < 0 && key != kNeck) {
            missing += (missing.empty() ? "" : ", ") + kAliases[key][0];
        }
    }
    if (!missing.empty()) {
        error = "the skeleton lacks joints for: " + missing;
        return false;
    }
    // Rest-pose leg length sets the scale to the body.
    auto restLength = [this](int child, int ancestor) {
        double length = 0.0;
        for (int j = child; j != ancestor && j >= 0; j = m_joints[j].parent) length += Length(m_joints[j].offset);
        return length;
    };
    m_dLegLength = 0.5 * (restLength(m_keys[kAnkleL], m_keys[kHipL]) + restLength(m_keys[kAnkleR], m_keys[kHipR]));
    if (!(m_dLegLength > 0.0)) {
        error = "the skeleton's legs have no length";
        return false;
    }
    BodyPose unused;
    RetargetFrame(0, unused, m_startHipCentre);
    return true;
}

void BvhClip::JointPositions(int frame, std::vector<Vec3>& out) const {
    frame = std::clamp(frame, 0, m_nFrames - 1);
    const double* values = m_values.data() + static_cast<size_t>(frame) * m_nChannels;
    std::vector<Mat3> rotations(m_joints.size());
    out.assign(m_joints.size(), Vec3());
    for (size_t i = 0; i < m_joints.size(); ++i) {
        const JointDef& j = m_joints[i];
        Vec3 translation = j.offset;
        Mat3 local;
        for (size_t c = 0; c < j.channels.size(); ++c) {
            const double v = values[j.firstChannel + static_cast<int>(c)];
            const int ch = j.channels[c];
            if (ch < 3) {
                (ch == 0 ? translation.x : ch == 1 ? translation.y : translation.z) += v;
            } else {
                local = local * ChannelRotation(ch, v);
            }
        }
        if (j.parent < 0) {
            rotations[i] = local;
            out[i] = translation;
        } else {
            rotations[i] = rotations[j.parent] * local;
            out[i] = out[j.parent] + rotations[j.parent] * translation;
        }
    }
}

void BvhClip::RetargetFrame(int frame, BodyPose& pose, Vec3& hipCentre) const {
    std::vector<Vec3> raw;
    JointPositions(frame, raw);
    auto at = [&](Key key) { return ToBody(raw[m_keys[key]]); };
    const Vec3 hipL = at(kHipL), hipR = at(kHipR);
    const Vec3 shL = at(kShoulderL), shR = at(kShoulderR);
    hipCentre = (hipL + hipR) * 0.5;
    const Vec3 shoulderCentre = (shL + shR) * 0.5;
    const Vec3 up = Normalized(shoulderCentre - hipCentre, Vec3(0, 1, 0));

    const Mat3 pelvis = FrameFrom(hipL, hipR, up);
    const Mat3 chest = FrameFrom(shL, shR, up);
    const Mat3 pelvisT = pelvis.Transposed();
    const Mat3 chestT = chest.Transposed();
    pose.pelvis = Quat::FromMatrix(pelvis);
    pose.spine = Quat::FromMatrix(pelvisT * chest);
    const Vec3 neckBase = m_keys[kNeck] >= 0 ? at(kNeck) : shoulderCentre;
    const Vec3 headDir = Normalized(chestT * (at(kHead) - neckBase), Vec3(0, 1, 0));
    pose.neck = Quat::FromTo(Vec3(0, 1, 0), headDir);

    static const Key kArm[2][3] = {{kShoulderL, kElbowL, kWristL}, {kShoulderR, kElbowR, kWristR}};
    static const Key kLeg[2][3] = {{kHipL, kKneeL, kAnkleL}, {kHipR, kKneeR, kAnkleR}};
    for (int side = 0; side < 2; ++side) {
        const Vec3 s = at(kArm[side][0]), e = at(kArm[side][1]), w = at(kArm[side][2]);
        pose.arms[side] = LimbFrom(chestT * (e - s), chestT * (w - e), Vec3(1, 0, 0));
        const Vec3 h = at(kLeg[side][0]), k = at(kLeg[side][1]), a = at(kLeg[side][2]);
        pose.legs[side] = LimbFrom(pelvisT * (k - h), pelvisT * (a - k), Vec3(-1, 0, 0));
    }
}

void BvhClip::Sample(double time, const BodyDimensions& dims, BodyPose& pose, Vec3& rootOffset) const {
    if (m_nFrames <= 0) {
        pose = BodyPose();
        rootOffset = Vec3();
        return;
    }
    const double position = std::clamp(time / m_dFrameTime, 0.0, static_cast<double>(m_nFrames - 1));
    const int f0 = static_cast<int>(std::floor(position));
    const int f1 = std::min(f0 + 1, m_nFrames - 1);
    const double w = position - f0;
    BodyPose p0, p1;
    Vec3 c0, c1;
    RetargetFrame(f0, p0, c0);
    RetargetFrame(f1, p1, c1);
    pose = w > 0.0 ? BlendPoses(p0, p1, w) : p0;
    const double scale = (dims.upperLeg + dims.lowerLeg) / m_dLegLength;
    Vec3 offset = (Lerp(c0, c1, w) - m_startHipCentre) * scale;
    offset.y = 0.0;
    rootOffset = offset;
}

}  // namespace vela::scene
