#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "SceneRenderer/Poses.h"
#include "SceneRenderer/RegularFile.h"
#include "SceneRenderer/Scene.h"

namespace vela::scene {

namespace {

constexpr int kMaxPeople = 16;
constexpr int kMaxImageSide = 4096;
constexpr size_t kMaxSceneFileBytes = 4u << 20;
// Room coordinates and sizes beyond this (mm) put things out of any view
// and lose precision, so they are refused like any other bad value.
constexpr double kMaxDistance = 100000.0;
constexpr double kMaxYaw = 36000.0;    // degrees: a hundred turns
constexpr double kMaxJointAngle = 360.0;

bool ToNumber(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno == 0 && std::isfinite(v);
}

// `count` comma-separated numbers, each inside [lo, hi].
bool ToList(const std::string& s, double* out, size_t count, double lo, double hi) {
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        const size_t comma = s.find(',', start);
        const bool last = i + 1 == count;
        if (last != (comma == std::string::npos)) return false;
        if (!ToNumber(s.substr(start, last ? std::string::npos : comma - start), out[i])) return false;
        if (out[i] < lo || out[i] > hi) return false;
        start = comma + 1;
    }
    return true;
}

bool ToSwitch(const std::string& s, bool& v) {
    if (s == "on" || s == "true" || s == "yes" || s == "1") {
        v = true;
        return true;
    }
    if (s == "off" || s == "false" || s == "no" || s == "0") {
        v = false;
        return true;
    }
    return false;
}

// One line: the keyword, its bare words and its key=value pairs in order.
struct Line {
    int number = 0;
    std::string keyword;
    std::vector<std::string> words;
    std::vector<std::pair<std::string, std::string>> pairs;
};

class Parser {
public:
    Parser(const std::string& baseDir, Scene& scene) : m_baseDir(baseDir), m_scene(scene) {}

    bool Run(const std::string& text, std::string& error) {
        std::istringstream in(text);
        std::string raw;
        int number = 0;
        while (std::getline(in, raw)) {
            ++number;
            const size_t hash = raw.find('#');
            if (hash != std::string::npos) raw.erase(hash);
            std::istringstream tokens(raw);
            Line line;
            line.number = number;
            std::string token;
            while (tokens >> token) {
                if (line.keyword.empty()) {
                    line.keyword = token;
                    continue;
                }
                const size_t eq = token.find('=');
                if (eq == std::string::npos) {
                    line.words.push_back(token);
                } else {
                    line.pairs.emplace_back(token.substr(0, eq), token.substr(eq + 1));
                }
            }
            if (line.keyword.empty()) continue;
            m_error.clear();
            if (!CheckDuplicateKeys(line) || !Handle(line)) {
                error = "line " + std::to_string(number) + ": " + m_error;
                return false;
            }
        }
        return true;
    }

private:
    bool Fail(const std::string& why) {
        m_error = why;
        return false;
    }
    bool BadValue(const Line& line, const std::string& key, const std::string& value) {
        return Fail("bad value '" + value + "' for " + key + " in '" + line.keyword + "'");
    }
    bool Number(const Line& line, const std::string& key, const std::string& value, double& out, double lo,
                double hi) {
        if (!ToNumber(value, out) || out < lo || out > hi) return BadValue(line, key, value);
        return true;
    }
    bool List(const Line& line, const std::string& key, const std::string& value, double* out, size_t count,
              double lo, double hi) {
        return ToList(value, out, count, lo, hi) ? true : BadValue(line, key, value);
    }
    bool CheckDuplicateKeys(const Line& line) {
        std::set<std::string> seen;
        for (const auto& pair : line.pairs) {
            if (!seen.insert(pair.first).second) {
                return Fail("key '" + pair.first + "' given twice in '" + line.keyword + "'");
            }
        }
        return true;
    }
    bool Switch(const Line& line, const std::string& key, const std::string& value, bool& out) {
        return ToSwitch(value, out) ? true : BadValue(line, key, value);
    }
    bool NoWords(const Line& line, size_t allowed) {
        if (line.words.size() > allowed) return Fail("unexpected '" + line.words[allowed] + "' in '" + line.keyword + "'");
        return true;
    }
    bool UnknownKey(const Line& line, const std::string& key) {
        return Fail("unknown key '" + key + "' in '" + line.keyword + "'");
    }
    PersonDef* Person(const Line& line) {
        if (m_scene.people.empty()) {
            Fail("'" + line.keyword + "' before any 'person'");
            return nullptr;
        }
        return &m_scene.people.back();
    }
    bool Interval(const Line& line, double& start, double& end) {
        if (line.words.empty()) return Fail("'" + line.keyword + "' needs a time range START..END");
        const std::string& w = line.words[0];
        const size_t dots = w.find("..");
        if (dots == std::string::npos || !ToNumber(w.substr(0, dots), start) || !ToNumber(w.substr(dots + 2), end) ||
            start < 0.0 || end <= start) {
            return Fail("bad time range '" + w + "' (expected START..END with START < END)");
        }
        if (end > kMaxSceneTime) return TimeOutOfRange(w);
        return true;
    }
    bool Time(const Line& line, double& t) {
        if (line.words.empty() || !ToNumber(line.words[0], t) || t < 0.0) {
            return Fail("'" + line.keyword + "' needs a time in seconds");
        }
        if (t > kMaxSceneTime) return TimeOutOfRange(line.words[0]);
        return true;
    }
    bool TimeOutOfRange(const std::string& word) {
        return Fail("time '" + word + "' is past the longest scene (" + std::to_string(int(kMaxSceneTime)) + " s)");
    }
    bool Side(const Line& line, const std::string& value, int& side) {
        if (value == "left") side = kLeft;
        else if (value == "right") side = kRight;
        else return BadValue(line, "hand", value);
        return true;
    }

    bool Handle(const Line& line) {
        const std::string& k = line.keyword;
        if (k == "camera") return HandleCamera(line);
        if (k == "sensor") return HandleSensor(line);
        if (k == "frames") return HandleFrames(line);
        if (k == "floor") return HandleFloor(line);
        if (k == "wall") return HandleWall(line);
        if (k == "box") return HandleBox(line);
        if (k == "pan") return HandlePan(line);
        if (k == "person") return HandlePerson(line);
        if (k == "at") return HandleAt(line);
        if (k == "pose") return HandlePose(line);
        if (k == "wave" || k == "push" || k == "raise" || k == "swipe" || k == "circle") return HandleAction(line);
        if (k == "bvh") return HandleBvh(line);
        if (k == "track") return HandleTrack(line);
        return Fail("unknown keyword '" + k + "'");
    }

    bool HandleCamera(const Line& line) {
        if (!NoWords(line, 0)) return false;
        CameraSettings& c = m_scene.camera;
        for (const auto& [key, value] : line.pairs) {
            double v = 0.0;
            if (key == "resolution") {
                const size_t x = value.find('x');
                double w, h;
                if (x == std::string::npos || !ToNumber(value.substr(0, x), w) || !ToNumber(value.substr(x + 1), h) ||
                    w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide || w != std::floor(w) || h != std::floor(h)) {
                    return BadValue(line, key, value);
                }
                c.nWidth = static_cast<int>(w);
                c.nHeight = static_cast<int>(h);
            } else if (key == "hfov") {
                if (!Number(line, key, value, v, 0.01, 3.0)) return false;
                c.fHorizontalFov = static_cast<float>(v);
            } else if (key == "elevation") {
                if (!Number(line, key, value, c.dElevation, -100000.0, 100000.0)) return false;
            } else if (key == "tilt") {
                if (!Number(line, key, value, c.dTilt, -89.0, 89.0)) return false;
            } else if (key == "mirror") {
                if (!Switch(line, key, value, c.bMirror)) return false;
            } else {
                return UnknownKey(line, key);
            }
        }
        return true;
    }

    bool HandleSensor(const Line& line) {
        if (!NoWords(line, 0)) return false;
        SensorSettings& s = m_scene.sensor;
        SensorParameters p = s.params;
        for (const auto& [key, value] : line.pairs) {
            double v = 0.0;
            if (key == "quantise" || key == "quantize") {
                if (!Switch(line, key, value, s.bQuantise)) return false;
            } else if (key == "shadow") {
                if (!Switch(line, key, value, s.bShadow)) return false;
            } else if (key == "noise") {
                if (!Number(line, key, value, s.dNoise, 0.0, 100.0)) return false;
            } else if (key == "field") {
                if (!Number(line, key, value, s.dNoiseField, 0.0, 100.0)) return false;
            } else if (key == "blocks") {
                if (!Number(line, key, value, s.dNoiseBlocks, 0.0, 100.0)) return false;
            } else if (key == "levels") {
                if (value == "device") s.bDeviceLevels = true;
                else if (value == "table") s.bDeviceLevels = false;
                else return BadValue(line, key, value);
            } else if (key == "edges") {
                if (!Switch(line, key, value, s.bEdges)) return false;
            } else if (key == "fragments") {
                if (!Switch(line, key, value, s.bFragments)) return false;
            } else if (key == "holes") {
                if (!Switch(line, key, value, s.bHoles)) return false;
            } else if (key == "dropouts") {
                if (!Number(line, key, value, s.dDropouts, 0.0, 1.0)) return false;
            } else if (key == "seed") {
                if (!Number(line, key, value, v, 0.0, 9007199254740992.0) || v != std::floor(v)) return BadValue(line, key, value);
                s.nSeed = static_cast<uint64_t>(v);
            } else if (key == "zpd") {
                if (!Number(line, key, value, v, 1.0, 65535.0)) return false;
                p.nZeroPlaneDistance = static_cast<uint16_t>(v);
            } else if (key == "zpps") {
                if (!Number(line, key, value, p.dZeroPlanePixelSize, 1e-6, 1e6)) return false;
            } else if (key == "lddis") {
                if (!Number(line, key, value, p.dEmitterDCmosDistance, 1e-6, 1e6)) return false;
            } else if (key == "max_shift" || key == "const_shift" || key == "param_coeff" || key == "shift_scale") {
                if (!Number(line, key, value, v, 0.0, 4294967295.0) || v != std::floor(v)) return BadValue(line, key, value);
                uint32_t& field = key == "max_shift" ? p.nDeviceMaxShiftValue
                                  : key == "const_shift" ? p.nConstShift
                                  : key == "param_coeff" ? p.nParamCoeff : p.nShiftScale;
                field = static_cast<uint32_t>(v);
            } else if (key == "max_depth") {
                if (!Number(line, key, value, v, 1.0, 65534.0) || v != std::floor(v)) return BadValue(line, key, value);
                p.nDeviceMaxDepthValue = static_cast<uint16_t>(v);
            } else {
                return UnknownKey(line, key);
            }
        }
        SensorModel check;
        std::string why;
        if (!check.Init(p, &why)) return Fail("sensor parameters: " + why);
        s.params = p;
        return true;
    }

    bool HandleFrames(const Line& line) {
        if (!NoWords(line, 0)) return false;
        for (const auto& [key, value] : line.pairs) {
            double v = 0.0;
            if (key == "count") {
                if (!Number(line, key, value, v, 1.0, 10000000.0) || v != std::floor(v)) return BadValue(line, key, value);
                m_scene.nFrames = static_cast<int>(v);
            } else if (key == "fps") {
                if (!Number(line, key, value, m_scene.dFps, 0.1, 1000.0)) return false;
            } else {
                return UnknownKey(line, key);
            }
        }
        return true;
    }

    bool HandleFloor(const Line& line) {
        if (line.words.size() != 1 || !line.pairs.empty() || !ToSwitch(line.words[0], m_scene.bFloor)) {
            return Fail("'floor' takes 'on' or 'off'");
        }
        return true;
    }

    bool HandleWall(const Line& line) {
        if (!NoWords(line, 0)) return false;
        if (line.pairs.size() != 1 || (line.pairs[0].first != "x" && line.pairs[0].first != "z")) {
            return Fail("'wall' takes one of x=VALUE or z=VALUE");
        }
        WallDef wall;
        wall.axis = line.pairs[0].first[0];
        if (!Number(line, line.pairs[0].first, line.pairs[0].second, wall.value, -kMaxDistance, kMaxDistance)) {
            return false;
        }
        m_scene.walls.push_back(wall);
        return true;
    }

    bool HandleBox(const Line& line) {
        if (!NoWords(line, 0)) return false;
        BoxDef box;
        bool hasCentre = false;
        for (const auto& [key, value] : line.pairs) {
            double v[3];
            if (key == "center" || key == "centre") {
                if (!List(line, key, value, v, 3, -kMaxDistance, kMaxDistance)) return false;
                box.centre = Vec3(v[0], v[1], v[2]);
                hasCentre = true;
            } else if (key == "size") {
                if (!List(line, key, value, v, 3, 1.0, kMaxDistance)) return false;
                box.size = Vec3(v[0], v[1], v[2]);
            } else if (key == "yaw") {
                if (!Number(line, key, value, box.yaw, -kMaxYaw, kMaxYaw)) return false;
            } else if (key == "from") {
                if (!Number(line, key, value, box.from, 0.0, kMaxSceneTime)) return false;
            } else if (key == "until") {
                if (!Number(line, key, value, box.until, 0.0, kMaxSceneTime)) return false;
            } else {
                return UnknownKey(line, key);
            }
        }
        if (!hasCentre) return Fail("'box' needs center=X,Y,Z");
        if (box.until <= box.from) return Fail("'box' until must come after from");
        m_scene.boxes.push_back(box);
        return true;
    }

    bool HandlePan(const Line& line) {
        CameraPan pan;
        if (!Interval(line, pan.start, pan.end) || !NoWords(line, 1)) return false;
        for (const auto& [key, value] : line.pairs) {
            if (key == "rate") {
                if (!Number(line, key, value, pan.rate, -3600.0, 3600.0)) return false;
            } else {
                return UnknownKey(line, key);
            }
        }
        m_scene.pans.push_back(pan);
        return true;
    }

    bool HandlePerson(const Line& line) {
        if (!NoWords(line, 0)) return false;
        if (static_cast<int>(m_scene.people.size()) >= kMaxPeople) {
            return Fail("at most " + std::to_string(kMaxPeople) + " people");
        }
        PersonDef person;
        for (const auto& [key, value] : line.pairs) {
            if (key == "height") {
                if (!Number(line, key, value, person.height, 500.0, 2500.0)) return false;
            } else if (key == "girth") {
                if (!Number(line, key, value, person.girth, 0.5, 2.0)) return false;
            } else if (key == "walk") {
                if (!Switch(line, key, value, person.walk)) return false;
            } else if (key == "body") {
                if (value == "plain") person.plainBody = true;
                else if (value == "dressed") person.plainBody = false;
                else return BadValue(line, key, value);
            } else if (key == "clothing") {
                if (!Switch(line, key, value, person.style.bClothing)) return false;
            } else if (key == "hair") {
                if (!Switch(line, key, value, person.style.bHair)) return false;
            } else if (key == "fabric") {
                if (value == "dark") person.style.bDarkFabric = true;
                else if (value == "light") person.style.bDarkFabric = false;
                else return BadValue(line, key, value);
            } else if (key == "face") {
                if (value == "motion") person.faceMotion = true;
                else if (value == "keys") person.faceMotion = false;
                else return BadValue(line, key, value);
            } else {
                return UnknownKey(line, key);
            }
        }
        m_scene.people.push_back(person);
        return true;
    }

    bool HandleAt(const Line& line) {
        PersonDef* person = Person(line);
        PathKey key;
        if (!person || !Time(line, key.time) || !NoWords(line, 1)) return false;
        for (const auto& [k, value] : line.pairs) {
            double v[2];
            if (k == "pos") {
                if (!List(line, k, value, v, 2, -kMaxDistance, kMaxDistance)) return false;
                key.hasPosition = true;
                key.x = v[0];
                key.z = v[1];
            } else if (k == "yaw") {
                if (!Number(line, k, value, key.yaw, -kMaxYaw, kMaxYaw)) return false;
                key.hasYaw = true;
            } else {
                return UnknownKey(line, k);
            }
        }
        person->path.push_back(key);
        return true;
    }

    bool HandlePose(const Line& line) {
        PersonDef* person = Person(line);
        PoseKey key;
        if (!person || !Time(line, key.time)) return false;
        if (line.words.size() < 2) return Fail("'pose' needs a time and a pose name");
        if (!NoWords(line, 2)) return false;
        key.name = line.words[1];
        BodyPose unused;
        if (!NamedPose(key.name, BodyDimensions::FromHeight(person->height, person->girth), unused)) {
            std::string names;
            for (const std::string& n : NamedPoseNames()) names += (names.empty() ? "" : ", ") + n;
            return Fail("unknown pose '" + key.name + "' (known: " + names + ")");
        }
        static const std::map<std::string, std::pair<PoseOverride::Target, size_t>> kTargets = {
            {"left_arm", {PoseOverride::LeftArm, 4}}, {"right_arm", {PoseOverride::RightArm, 4}},
            {"left_leg", {PoseOverride::LeftLeg, 4}}, {"right_leg", {PoseOverride::RightLeg, 4}},
            {"spine", {PoseOverride::Spine, 3}},      {"neck", {PoseOverride::Neck, 3}}};
        for (const auto& [k, value] : line.pairs) {
            const auto it = kTargets.find(k);
            if (it == kTargets.end()) return UnknownKey(line, k);
            PoseOverride o;
            o.target = it->second.first;
            if (!List(line, k, value, o.values, it->second.second, -kMaxJointAngle, kMaxJointAngle)) return false;
            key.overrides.push_back(o);
        }
        person->poses.push_back(key);
        return true;
    }

    bool HandleTrack(const Line& line) {
        PersonDef* person = Person(line);
        TrackStart start;
        if (!person || !Time(line, start.time) || !NoWords(line, 1)) return false;
        for (const auto& [key, value] : line.pairs) {
            if (key != "hand") return UnknownKey(line, key);
            if (!Side(line, value, start.side)) return false;
        }
        person->trackStarts.push_back(start);
        return true;
    }

    bool HandleAction(const Line& line) {
        PersonDef* person = Person(line);
        HandMotion a;
        if (!person || !Interval(line, a.start, a.end) || !NoWords(line, 1)) return false;
        const std::string& k = line.keyword;
        a.kind = k == "wave" ? ActionKind::Wave : k == "push" ? ActionKind::Push : k == "raise" ? ActionKind::Raise
                 : k == "swipe" ? ActionKind::Swipe : ActionKind::Circle;
        for (const auto& [key, value] : line.pairs) {
            const bool periodic = a.kind == ActionKind::Wave || a.kind == ActionKind::Circle;
            if (key == "hand") {
                if (!Side(line, value, a.side)) return false;
            } else if (key == "blend") {
                if (!Number(line, key, value, a.blend, 0.0, 60.0)) return false;
            } else if (key == "amplitude" && a.kind == ActionKind::Wave) {
                if (!Number(line, key, value, a.amplitude, 0.0, 1000.0)) return false;
            } else if (key == "period" && periodic) {
                if (!Number(line, key, value, a.period, 0.05, 60.0)) return false;
            } else if (key == "reach" && a.kind == ActionKind::Push) {
                if (!Number(line, key, value, a.reach, 0.0, 1000.0)) return false;
            } else if (key == "length" && a.kind == ActionKind::Swipe) {
                if (!Number(line, key, value, a.length, 0.0, 2000.0)) return false;
            } else if (key == "radius" && a.kind == ActionKind::Circle) {
                if (!Number(line, key, value, a.radius, 0.0, 1000.0)) return false;
            } else if (key == "direction" && a.kind == ActionKind::Swipe) {
                if (value == "right") a.direction = 1;
                else if (value == "left") a.direction = -1;
                else return BadValue(line, key, value);
            } else if (key == "direction" && a.kind == ActionKind::Circle) {
                if (value == "ccw") a.direction = 1;
                else if (value == "cw") a.direction = -1;
                else return BadValue(line, key, value);
            } else {
                return UnknownKey(line, key);
            }
        }
        person->actions.push_back(a);
        return true;
    }

    bool HandleBvh(const Line& line) {
        PersonDef* person = Person(line);
        if (!person) return false;
        if (line.words.size() != 1) return Fail("'bvh' needs one file name");
        ClipUse use;
        use.path = line.words[0];
        for (const auto& [key, value] : line.pairs) {
            if (key == "start") {
                if (!Number(line, key, value, use.start, 0.0, kMaxSceneTime)) return false;
            } else if (key == "end") {
                if (!Number(line, key, value, use.end, 0.0, kMaxSceneTime)) return false;
            } else if (key == "speed") {
                if (!Number(line, key, value, use.speed, 0.01, 100.0)) return false;
            } else if (key == "loop") {
                if (!Switch(line, key, value, use.loop)) return false;
            } else {
                return UnknownKey(line, key);
            }
        }
        if (use.end <= use.start) return Fail("'bvh' end must come after start");
        use.file = use.path[0] == '/' || m_baseDir.empty() ? use.path : m_baseDir + "/" + use.path;
        auto clip = std::make_shared<BvhClip>();
        std::string why;
        if (!clip->Load(use.file, why)) return Fail(why);
        use.clip = clip;
        person->clips.push_back(use);
        return true;
    }

    std::string m_baseDir;
    Scene& m_scene;
    std::string m_error;
};

}  // namespace

double Scene::CameraYaw(double t) const {
    double yaw = 0.0;
    for (const CameraPan& pan : pans) {
        yaw += pan.rate * (std::min(std::max(t, pan.start), pan.end) - pan.start);
    }
    return yaw;
}

bool ParseScene(const std::string& text, const std::string& baseDir, Scene& scene, std::string& error) {
    Scene parsed;
    Parser parser(baseDir, parsed);
    if (!parser.Run(text, error)) return false;
    scene = std::move(parsed);
    return true;
}

bool LoadSceneFile(const std::string& path, Scene& scene, std::string& error) {
    std::string text;
    if (!ReadRegularFile(path, kMaxSceneFileBytes, text, error)) {
        error = "scene file " + error;
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string baseDir = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    if (!ParseScene(text, baseDir, scene, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

const char* DefaultSceneText() {
    return "# A person walks into a room from the side and stands facing the camera.\n"
           "camera resolution=320x240 elevation=1000 tilt=0 mirror=on\n"
           "sensor seed=1\n"
           "frames count=150 fps=30\n"
           "wall z=4500\n"
           "person height=1750\n"
           "at 0 pos=-2800,2600 yaw=-90\n"
           "at 3 pos=0,2500\n"
           "at 4 yaw=0\n";
}

Scene DefaultScene() {
    Scene scene;
    std::string error;
    ParseScene(DefaultSceneText(), "", scene, error);
    return scene;
}

}  // namespace vela::scene
