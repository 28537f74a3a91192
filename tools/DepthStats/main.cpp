// vela-depth-stats: measures a person in depth frames, rendered from a scene
// or read from a folder of 16-bit depth images, and prints the measures as
// JSON, so that rendered and recorded depth can be compared.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DepthStats/MeasureSummary.h"
#include "DepthStats/RenderedPerson.h"
#include "SceneRenderer/DepthCamera.h"
#include "SceneRenderer/SceneRenderer.h"
#include "SyntheticCamera/DepthImageFile.h"

using namespace vela;

namespace {

const char* const kUsage =
    "usage: vela-depth-stats [options] SCENE|default\n"
    "       vela-depth-stats [options] --images DIR\n"
    "Measures the person in each frame and prints one JSON object with the\n"
    "least, median and largest value of each measure over the frames.\n"
    "  --images DIR        16-bit PGM/PNG depth images in mm, in name order; the\n"
    "                      person is where a label image users_X beside depth_X is\n"
    "                      non-zero (or equals --user), else where depth is non-zero\n"
    "  --user N            the person's label (scenes: 1; images: any label)\n"
    "  --first N           first frame (0)\n"
    "  --count N           number of frames (scenes: the scene's; images: all)\n"
    "  --resolution WxH    render at this size (scenes)\n"
    "  --seed N            replace the scene's sensor seed\n"
    "  --hfov RADIANS      horizontal field of view of the images (1.0226)\n"
    "  --per-frame         also print each frame's measures, one JSON line each\n"
    "  -h, --help          this text\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "vela-depth-stats: %s\n", message.c_str());
    return 1;
}

bool ParseInt(const char* s, long long lo, long long hi, long long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(s, &end, 10);
    return *s && *end == 0 && errno == 0 && out >= lo && out <= hi;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

struct Output {
    bool perFrame = false;
    depthstats::MeasureSummary summary;
    bool failed = false;

    void Put(const std::string& line) {
        if (std::fputs(line.c_str(), stdout) < 0 || std::fputc('\n', stdout) < 0) failed = true;
    }
    void Add(int frame, const depthstats::FrameMeasures& measures) {
        summary.Add(measures);
        if (perFrame) Put(depthstats::FrameMeasuresToJson(frame, measures));
    }
};

int MeasureScene(const std::string& name, long long first, long long count, const std::string& resolution,
                 long long seed, long long user, Output& output) {
    scene::Scene sceneDef;
    std::string error;
    if (name == "default") {
        sceneDef = scene::DefaultScene();
    } else if (!scene::LoadSceneFile(name, sceneDef, error)) {
        return Fail(error);
    }
    if (seed >= 0) sceneDef.sensor.nSeed = static_cast<uint64_t>(seed);
    scene::SceneRenderer renderer(sceneDef);
    if (!resolution.empty()) {
        long long w = 0, h = 0;
        const size_t x = resolution.find('x');
        if (x == std::string::npos || !ParseInt(resolution.substr(0, x).c_str(), 1, 4096, w) ||
            !ParseInt(resolution.substr(x + 1).c_str(), 1, 4096, h) ||
            !renderer.SetResolution(static_cast<int>(w), static_cast<int>(h))) {
            return Fail("bad --resolution (expected WxH)");
        }
    }
    if (user > static_cast<long long>(sceneDef.people.size())) return Fail("the scene has no person " + std::to_string(user));
    const long long frames = count >= 0 ? count : std::max<long long>(0, renderer.FrameCount() - first);
    scene::RenderedFrame frame;
    for (long long f = first; f < first + frames; ++f) {
        renderer.Render(static_cast<int>(f), frame);
        depthstats::FrameMeasures measures;
        if (!depthstats::MeasureRenderedPerson(frame, static_cast<int>(user), renderer, measures, error)) return Fail(error);
        output.Add(static_cast<int>(f), measures);
    }
    return 0;
}

int MeasureImages(const std::string& dir, long long first, long long count, double hfov, long long user,
                  Output& output) {
    std::vector<std::string> paths;
    std::string error;
    if (!synthetic::ListDepthImages(dir, paths, error)) return Fail(error);
    std::vector<std::string> depthPaths;
    for (const std::string& path : paths) {
        const std::string base = BaseName(path);
        // Label images and the renderer's previews are not depth.
        if (StartsWith(base, "users_") || StartsWith(base, "parts_") || base.find("view_") != std::string::npos) continue;
        depthPaths.push_back(path);
    }
    if (depthPaths.empty()) return Fail(dir + ": no depth images");
    const scene::SensorModel sensor;
    const long long last = count >= 0 ? std::min<long long>(first + count, depthPaths.size()) : depthPaths.size();
    std::vector<uint8_t> mask;
    for (long long f = first; f < last; ++f) {
        const std::string& path = depthPaths[f];
        synthetic::DepthImage depth, labels;
        if (!synthetic::ReadDepthImage(path, depth, error)) return Fail(error);
        const std::string base = BaseName(path);
        bool labelled = false;
        if (StartsWith(base, "depth_")) {
            const std::string labelPath = path.substr(0, path.size() - base.size()) + "users_" + base.substr(6);
            std::string labelError;
            if (synthetic::ReadDepthImage(labelPath, labels, labelError)) {
                if (labels.nWidth != depth.nWidth || labels.nHeight != depth.nHeight) {
                    return Fail(labelPath + ": not the size of " + path);
                }
                labelled = true;
            }
        }
        mask.resize(depth.pixels.size());
        for (size_t i = 0; i < mask.size(); ++i) {
            mask[i] = labelled ? (user > 0 ? labels.pixels[i] == user : labels.pixels[i] != 0) : depth.pixels[i] != 0;
        }
        const scene::DepthCamera camera(depth.nWidth, depth.nHeight, static_cast<float>(hfov));
        depthstats::FrameInput input;
        input.nWidth = depth.nWidth;
        input.nHeight = depth.nHeight;
        input.pDepth = depth.pixels.data();
        input.pMask = mask.data();
        input.dPixelFactor = camera.PixelFactor();
        input.pShiftToDepth = &sensor.ShiftToDepthTable();
        depthstats::FrameMeasures measures;
        if (!depthstats::MeasureFrame(input, measures, error)) return Fail(error);
        output.Add(static_cast<int>(f), measures);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string source, images, resolution;
    long long first = 0, count = -1, seed = -1, user = -1;
    double hfov = scene::DepthCamera::kDefaultHorizontalFov;
    Output output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vela-depth-stats: %s needs a value\n", name);
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--images") {
            images = value("--images");
        } else if (arg == "--user") {
            if (!ParseInt(value("--user"), 1, 65535, user)) return Fail("bad --user");
        } else if (arg == "--first") {
            if (!ParseInt(value("--first"), 0, 100000000, first)) return Fail("bad --first");
        } else if (arg == "--count") {
            if (!ParseInt(value("--count"), 0, 100000000, count)) return Fail("bad --count");
        } else if (arg == "--resolution") {
            resolution = value("--resolution");
        } else if (arg == "--seed") {
            if (!ParseInt(value("--seed"), 0, 9007199254740992LL, seed)) return Fail("bad --seed");
        } else if (arg == "--hfov") {
            char* end = nullptr;
            const char* text = value("--hfov");
            hfov = std::strtod(text, &end);
            if (!*text || *end || !(hfov > 0.01 && hfov < 3.0)) return Fail("bad --hfov");
        } else if (arg == "--per-frame") {
            output.perFrame = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fputs(kUsage, stderr);
            return Fail("unknown option " + arg);
        } else if (source.empty()) {
            source = arg;
        } else {
            return Fail("more than one source given");
        }
    }
    if (source.empty() == images.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const int status = images.empty() ? MeasureScene(source, first, count, resolution, seed, user < 0 ? 1 : user, output)
                                      : MeasureImages(images, first, count, hfov, user, output);
    if (status != 0) return status;
    if (output.summary.FrameCount() == 0) return Fail("no frames to measure");
    output.Put(output.summary.ToJson(images.empty() ? source : images));
    if (output.failed || std::fflush(stdout) != 0) return Fail(std::string("cannot write the output: ") + std::strerror(errno));
    return 0;
}
