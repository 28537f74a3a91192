// vela-record-oni: records frames of a synthetic device through OpenNI2's own
// recorder into an .oni file. It runs against the build tree's OpenNI2
// harness, so it finds the synthetic camera's driver.

#include <OniCAPI.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SceneRenderer/Scene.h"
#include "SyntheticCamera/DepthImageFile.h"
#include "SyntheticCamera/DeviceUri.h"

namespace {

using vela::synthetic::EncodeUriValue;
using vela::synthetic::IsSyntheticUri;

constexpr int kWaitTimeoutMs = 10000;
constexpr int kWaitStepMs = 50;

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: vela-record-oni [options] SOURCE OUTPUT.oni\n"
                 "  SOURCE       a device URI (synthetic://...), a scene file, or 'default'\n"
                 "  --frames N   frames to record (30)\n"
                 "  --overwrite  replace OUTPUT if it exists (never one of the inputs)\n"
                 "  --resolution WxH, --seed N, --mirror on|off\n"
                 "               device options added to the URI\n");
}

// The files a device reads: a scene file and its motion clips, or the
// images of a folder. Unreadable sources give none; opening reports them.
std::vector<std::string> SourceFiles(const std::string& uri) {
    std::vector<std::string> files;
    vela::synthetic::DeviceConfig config;
    std::string error;
    if (!vela::synthetic::ParseDeviceUri(uri, config, error)) return files;
    if (config.kind == vela::synthetic::SourceKind::Images) {
        vela::synthetic::ListDepthImages(config.path, files, error);
    } else if (config.kind == vela::synthetic::SourceKind::Scene) {
        files.push_back(config.path);
        vela::scene::Scene scene;
        if (vela::scene::LoadSceneFile(config.path, scene, error)) {
            for (const vela::scene::PersonDef& person : scene.people) {
                for (const vela::scene::ClipUse& clip : person.clips) files.push_back(clip.file);
            }
        }
    }
    return files;
}

// An existing output is replaced only when asked, and never when it is one
// of the files being recorded.
bool CheckOutput(const std::string& output, const std::string& uri, bool overwrite) {
    struct stat target;
    if (stat(output.c_str(), &target) != 0) return true;
    for (const std::string& input : SourceFiles(uri)) {
        struct stat info;
        if (stat(input.c_str(), &info) == 0 && info.st_dev == target.st_dev && info.st_ino == target.st_ino) {
            std::fprintf(stderr, "vela-record-oni: %s is one of the recording's inputs (%s)\n", output.c_str(),
                         input.c_str());
            return false;
        }
    }
    if (!overwrite) {
        std::fprintf(stderr, "vela-record-oni: %s exists (--overwrite replaces it)\n", output.c_str());
        return false;
    }
    return true;
}

std::atomic<bool> g_deviceFailed{false};

void OnDeviceState(const OniDeviceInfo*, OniDeviceState state, void*) {
    if (state == ONI_DEVICE_STATE_ERROR) g_deviceFailed = true;
}

struct Session {
    OniDeviceHandle device = nullptr;
    OniStreamHandle stream = nullptr;
    OniRecorderHandle recorder = nullptr;
    OniCallbackHandle callbacks = nullptr;
    bool initialized = false;

    ~Session() {
        if (recorder) oniRecorderDestroy(&recorder);
        if (callbacks) oniUnregisterDeviceCallbacks(callbacks);
        if (stream) {
            oniStreamStop(stream);
            oniStreamDestroy(stream);
        }
        if (device) oniDeviceClose(device);
        if (initialized) oniShutdown();
    }
};

int Fail(const char* what) {
    std::fprintf(stderr, "vela-record-oni: %s: %s\n", what, oniGetExtendedError());
    return 1;
}

// Waits for the stream's next frame; false when the device reports an error
// or none comes in time.
bool WaitForFrame(OniStreamHandle stream) {
    for (int waited = 0; waited < kWaitTimeoutMs && !g_deviceFailed; waited += kWaitStepMs) {
        int ready = -1;
        const OniStatus status = oniWaitForAnyStream(&stream, 1, &ready, kWaitStepMs);
        if (status == ONI_STATUS_OK) return !g_deviceFailed;
        if (status != ONI_STATUS_TIME_OUT) return false;
    }
    return false;
}

int Record(const std::string& uri, int frames, const std::string& output, bool overwrite) {
    if (!CheckOutput(output, uri, overwrite)) return 1;
    Session s;
    if (oniInitialize(ONI_API_VERSION) != ONI_STATUS_OK) return Fail("cannot initialise OpenNI2");
    s.initialized = true;
    OniDeviceCallbacks callbacks{nullptr, nullptr, &OnDeviceState};
    if (oniRegisterDeviceCallbacks(&callbacks, nullptr, &s.callbacks) != ONI_STATUS_OK) {
        s.callbacks = nullptr;
        return Fail("cannot watch the device");
    }
    if (oniDeviceOpen(uri.c_str(), &s.device) != ONI_STATUS_OK) {
        s.device = nullptr;
        return Fail(("cannot open " + uri).c_str());
    }
    if (oniDeviceCreateStream(s.device, ONI_SENSOR_DEPTH, &s.stream) != ONI_STATUS_OK) {
        s.stream = nullptr;
        return Fail("cannot create the depth stream");
    }
    // OpenNI2's recorder crashes on a file it cannot create, so try first.
    FILE* probe = std::fopen(output.c_str(), "wb");
    if (probe == nullptr) {
        std::fprintf(stderr, "vela-record-oni: cannot create %s: %s\n", output.c_str(), std::strerror(errno));
        return 1;
    }
    std::fclose(probe);
    if (oniCreateRecorder(output.c_str(), &s.recorder) != ONI_STATUS_OK) {
        s.recorder = nullptr;
        return Fail(("cannot create " + output).c_str());
    }
    // Lossless, so that playback gives the very depth that was rendered.
    if (oniRecorderAttachStream(s.recorder, s.stream, FALSE) != ONI_STATUS_OK ||
        oniRecorderStart(s.recorder) != ONI_STATUS_OK) {
        return Fail("cannot start recording");
    }
    if (oniStreamStart(s.stream) != ONI_STATUS_OK) return Fail("cannot start the depth stream");
    for (int i = 0; i < frames; ++i) {
        if (!WaitForFrame(s.stream)) {
            std::fprintf(stderr, "vela-record-oni: no frame %d%s %s; %s is incomplete\n", i + 1,
                         g_deviceFailed ? ": the device reported an error:" : ":", oniGetExtendedError(),
                         output.c_str());
            return 1;
        }
        OniFrame* frame = nullptr;
        if (oniStreamReadFrame(s.stream, &frame) != ONI_STATUS_OK) return Fail("cannot read a frame");
        oniFrameRelease(frame);
    }
    // Destroying the recorder writes out what it still holds.
    oniRecorderStop(s.recorder);
    if (oniRecorderDestroy(&s.recorder) != ONI_STATUS_OK) return Fail(("cannot finish " + output).c_str());
    s.recorder = nullptr;
    std::printf("recorded %d frames of %s to %s\n", frames, uri.c_str(), output.c_str());
    return 0;
}

bool ParseCount(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 1 || parsed > 1000000) return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 30;
    bool overwrite = false;
    std::string options;
    std::string positional[2];
    int positionalCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            PrintUsage(stdout);
            return 0;
        } else if (arg == "--overwrite") {
            overwrite = true;
        } else if (arg == "--frames" && hasValue) {
            if (!ParseCount(argv[++i], frames)) {
                std::fprintf(stderr, "vela-record-oni: --frames needs a positive count\n");
                return 2;
            }
        } else if ((arg == "--resolution" || arg == "--seed" || arg == "--mirror") && hasValue) {
            options += "&" + arg.substr(2) + "=" + EncodeUriValue(argv[++i]);
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "vela-record-oni: unknown option or missing value: %s\n", arg.c_str());
            PrintUsage(stderr);
            return 2;
        } else if (positionalCount < 2) {
            positional[positionalCount++] = arg;
        } else {
            PrintUsage(stderr);
            return 2;
        }
    }
    if (positionalCount != 2) {
        PrintUsage(stderr);
        return 2;
    }

    std::string uri;
    const std::string& source = positional[0];
    if (IsSyntheticUri(source.c_str())) {
        uri = source;
    } else if (source == "default") {
        uri = vela::synthetic::kDefaultDeviceUri;
    } else {
        uri = std::string(vela::synthetic::kUriScheme) + "scene?file=" + EncodeUriValue(source);
    }
    if (!options.empty()) {
        options[0] = uri.find('?') == std::string::npos ? '?' : '&';
        uri += options;
    }
    return Record(uri, frames, positional[1], overwrite);
}
