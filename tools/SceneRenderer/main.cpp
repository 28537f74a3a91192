// vela-render: renders a scene file into depth and label images and prints
// the ground truth of every frame as one JSON line.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "SceneRenderer/ImageWriter.h"
#include "SceneRenderer/SceneRenderer.h"

using namespace vela::scene;

namespace {

const char* const kUsage =
    "usage: vela-render [options] SCENE\n"
    "Renders SCENE (a scene file, or 'default' for the built-in scene) and prints\n"
    "the ground truth of each frame as a JSON line.\n"
    "  -o, --out DIR         write images into DIR (created if missing)\n"
    "  --first N             first frame (default 0)\n"
    "  --count N             number of frames (default: the scene's)\n"
    "  --format pgm|png      16-bit depth and label files (default pgm)\n"
    "  --preview             also write PNG views: depth grey ramp, users, parts\n"
    "  --truth FILE          write the JSON lines to FILE instead of standard output\n"
    "  --resolution WxH      override the camera resolution\n"
    "  --mirror on|off       override mirroring\n"
    "  --seed N              override the sensor's random seed\n"
    "  --noise SIGMA         override the per-pixel noise (shift units, 0 = off)\n"
    "  --field SIGMA         override the smooth correlated noise (shift units, 0 = off)\n"
    "  --blocks SIGMA        override the block noise (shift units, 0 = off)\n"
    "  --levels device|table depth levels 1 mm below the table entries, or on them\n"
    "  --dropouts P          override the dropout rate\n"
    "  --shadow on|off, --quantise on|off, --edges on|off, --fragments on|off,\n"
    "  --holes on|off        switch a sensor effect\n"
    "  -h, --help            this text\n";

bool ParseInt(const char* s, long long lo, long long hi, long long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(s, &end, 10);
    return *s && *end == 0 && errno == 0 && out >= lo && out <= hi;
}

bool ParseDouble(const char* s, double& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s, &end);
    return *s && *end == 0 && errno == 0;
}

bool ParseOnOff(const char* s, bool& out) {
    if (std::strcmp(s, "on") == 0) out = true;
    else if (std::strcmp(s, "off") == 0) out = false;
    else return false;
    return true;
}

bool MakeDirectories(const std::string& path) {
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
        }
        if (i < path.size()) partial += path[i];
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "vela-render: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string scenePath, outDir, truthPath, format = "pgm";
    long long first = 0, count = -1;
    bool preview = false;
    struct Override {
        bool set = false;
        std::string value;
    } resolution, mirror, seed, noise, field, blocks, levels, dropouts, shadow, quantise, edges, fragments, holes;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vela-render: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        auto set = [&](Override& o, const char* name) {
            o.set = true;
            o.value = value(name);
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "-o" || arg == "--out") {
            outDir = value("--out");
        } else if (arg == "--first") {
            if (!ParseInt(value("--first"), 0, 100000000, first)) return Fail("bad --first");
        } else if (arg == "--count") {
            if (!ParseInt(value("--count"), 0, 100000000, count)) return Fail("bad --count");
        } else if (arg == "--format") {
            format = value("--format");
            if (format != "pgm" && format != "png") return Fail("--format takes pgm or png");
        } else if (arg == "--preview") {
            preview = true;
        } else if (arg == "--truth") {
            truthPath = value("--truth");
        } else if (arg == "--resolution") {
            set(resolution, "--resolution");
        } else if (arg == "--mirror") {
            set(mirror, "--mirror");
        } else if (arg == "--seed") {
            set(seed, "--seed");
        } else if (arg == "--noise") {
            set(noise, "--noise");
        } else if (arg == "--field") {
            set(field, "--field");
        } else if (arg == "--blocks") {
            set(blocks, "--blocks");
        } else if (arg == "--levels") {
            set(levels, "--levels");
        } else if (arg == "--edges") {
            set(edges, "--edges");
        } else if (arg == "--fragments") {
            set(fragments, "--fragments");
        } else if (arg == "--holes") {
            set(holes, "--holes");
        } else if (arg == "--dropouts") {
            set(dropouts, "--dropouts");
        } else if (arg == "--shadow") {
            set(shadow, "--shadow");
        } else if (arg == "--quantise" || arg == "--quantize") {
            set(quantise, "--quantise");
        } else if (!arg.empty() && arg[0] == '-') {
            std::fputs(kUsage, stderr);
            return Fail("unknown option " + arg);
        } else if (scenePath.empty()) {
            scenePath = arg;
        } else {
            return Fail("more than one scene given");
        }
    }
    if (scenePath.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    Scene scene;
    std::string error;
    if (scenePath == "default") {
        scene = DefaultScene();
    } else if (!LoadSceneFile(scenePath, scene, error)) {
        return Fail(error);
    }
    SceneRenderer renderer(scene);
    RenderSettings settings = renderer.Settings();
    if (resolution.set) {
        long long w = 0, h = 0;
        const size_t x = resolution.value.find('x');
        if (x == std::string::npos || !ParseInt(resolution.value.substr(0, x).c_str(), 1, 4096, w) ||
            !ParseInt(resolution.value.substr(x + 1).c_str(), 1, 4096, h)) {
            return Fail("bad --resolution (expected WxH)");
        }
        settings.nWidth = static_cast<int>(w);
        settings.nHeight = static_cast<int>(h);
    }
    if (mirror.set && !ParseOnOff(mirror.value.c_str(), settings.bMirror)) return Fail("--mirror takes on or off");
    if (shadow.set && !ParseOnOff(shadow.value.c_str(), settings.bShadow)) return Fail("--shadow takes on or off");
    if (quantise.set && !ParseOnOff(quantise.value.c_str(), settings.bQuantise)) return Fail("--quantise takes on or off");
    if (seed.set) {
        long long v = 0;
        if (!ParseInt(seed.value.c_str(), 0, 9007199254740992LL, v)) return Fail("bad --seed");
        settings.nSeed = static_cast<uint64_t>(v);
    }
    for (const auto& [o, target, name] : {std::make_tuple(&noise, &settings.dNoise, "--noise"),
                                          std::make_tuple(&field, &settings.dNoiseField, "--field"),
                                          std::make_tuple(&blocks, &settings.dNoiseBlocks, "--blocks")}) {
        if (o->set && (!ParseDouble(o->value.c_str(), *target) || !(*target >= 0.0 && *target <= 100.0))) {
            return Fail(std::string("bad ") + name);
        }
    }
    for (const auto& [o, target, name] : {std::make_tuple(&edges, &settings.bEdges, "--edges"),
                                          std::make_tuple(&fragments, &settings.bFragments, "--fragments"),
                                          std::make_tuple(&holes, &settings.bHoles, "--holes")}) {
        if (o->set && !ParseOnOff(o->value.c_str(), *target)) return Fail(std::string(name) + " takes on or off");
    }
    if (levels.set) {
        if (levels.value != "device" && levels.value != "table") return Fail("--levels takes device or table");
        settings.bDeviceLevels = levels.value == "device";
    }
    if (dropouts.set && !ParseDouble(dropouts.value.c_str(), settings.dDropouts)) return Fail("bad --dropouts");
    if (!renderer.SetSettings(settings)) return Fail("the settings cannot be rendered");

    if (!outDir.empty() && !MakeDirectories(outDir)) return Fail("cannot create " + outDir);
    FILE* truth = stdout;
    if (!truthPath.empty()) {
        truth = std::fopen(truthPath.c_str(), "w");
        if (!truth) return Fail("cannot write " + truthPath);
    }

    const long long frames = count >= 0 ? count : std::max<long long>(0, renderer.FrameCount() - first);
    const std::string truthName = truthPath.empty() ? std::string("standard output") : truthPath;
    RenderedFrame frame;
    int status = 0;
    for (long long f = first; f < first + frames; ++f) {
        renderer.Render(static_cast<int>(f), frame);
        const std::string line = FrameTruthToJson(frame.truth) + "\n";
        if (std::fwrite(line.data(), 1, line.size(), truth) != line.size()) {
            status = Fail("cannot write the ground truth to " + truthName + ": " + std::strerror(errno));
            break;
        }
        if (outDir.empty()) continue;
        char name[64];
        std::snprintf(name, sizeof(name), "%05lld", f);
        const std::string base = outDir + "/";
        const std::string suffix = std::string(name) + "." + format;
        const int w = frame.nWidth, h = frame.nHeight;
        std::vector<uint16_t> parts(frame.parts.begin(), frame.parts.end());
        bool ok;
        if (format == "png") {
            ok = WritePngGray16(base + "depth_" + suffix, w, h, frame.depth.data(), error) &&
                 WritePngGray16(base + "users_" + suffix, w, h, frame.users.data(), error) &&
                 WritePngGray16(base + "parts_" + suffix, w, h, parts.data(), error);
        } else {
            ok = WritePgm16(base + "depth_" + suffix, w, h, frame.depth.data(), error) &&
                 WritePgm16(base + "users_" + suffix, w, h, frame.users.data(), error) &&
                 WritePgm16(base + "parts_" + suffix, w, h, parts.data(), error);
        }
        if (ok && preview) {
            const std::vector<uint8_t> grey = DepthView(frame.depth, 500, 5000);
            ok = WritePngGray8(base + "depthview_" + std::string(name) + ".png", w, h, grey.data(), error) &&
                 WritePngRgb(base + "usersview_" + std::string(name) + ".png", w, h,
                             LabelView(frame.users, &grey).data(), error) &&
                 WritePngRgb(base + "partsview_" + std::string(name) + ".png", w, h,
                             LabelView(parts, &grey).data(), error);
        }
        if (!ok) {
            status = Fail(error);
            break;
        }
    }
    // Buffered lines fail only here when the disk is full.
    if (std::fflush(truth) != 0 || std::ferror(truth)) {
        if (status == 0) status = Fail("cannot write the ground truth to " + truthName + ": " + std::strerror(errno));
    }
    if (truth != stdout && std::fclose(truth) != 0 && status == 0) {
        status = Fail("cannot write the ground truth to " + truthName + ": " + std::strerror(errno));
    }
    return status;
}
