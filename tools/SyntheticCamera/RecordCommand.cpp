// vela-record-oni: records frames of a synthetic device through OpenNI2's own
// recorder into an .oni file. It runs against the build tree's OpenNI2
// harness, so it finds the synthetic camera's driver.

#include <OniCAPI.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SyntheticCamera/DeviceUri.h"

namespace {

using vela::synthetic::EncodeUriValue;
using vela::synthetic::IsSyntheticUri;

constexpr int kWaitTimeoutMs = 10000;

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: vela-record-oni [options] SOURCE OUTPUT.oni\n"
                 "  SOURCE       a device URI (synthetic://...), a scene file, or 'default'\n"
                 "  --frames N   frames to record (30)\n"
                 "  --resolution WxH, --seed N, --mirror on|off\n"
                 "               device options added to the URI\n");
}

struct Session {
    OniDeviceHandle device = nullptr;
    OniStreamHandle stream = nullptr;
    OniRecorderHandle recorder = nullptr;
    bool initialized = false;

    ~Session() {
        if (recorder) oniRecorderDestroy(&recorder);
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

int Record(const std::string& uri, int frames, const std::string& output) {
    Session s;
    if (oniInitialize(ONI_API_VERSION) != ONI_STATUS_OK) return Fail("cannot initialise OpenNI2");
    s.initialized = true;
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
        int ready = -1;
        const OniStatus status = oniWaitForAnyStream(&s.stream, 1, &ready, kWaitTimeoutMs);
        if (status != ONI_STATUS_OK) return Fail(("no frame " + std::to_string(i + 1)).c_str());
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
    std::string options;
    std::string positional[2];
    int positionalCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            PrintUsage(stdout);
            return 0;
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
    return Record(uri, frames, positional[1]);
}
