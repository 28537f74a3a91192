// vela-track: tracks the default depth camera, a device URI or an .oni
// recording with Vela's user tracker (or, with --hands, its hand tracker)
// and writes what it sees, one JSON line per frame (FrameJson.h).
//
// Standard output carries the JSON lines alone: the library prints lines of
// its own there ("Starting pose detection", console logging), so when the
// JSON goes to standard output those are moved to standard error.
//
// The user tracker starts skeleton tracking and both pose detections for
// every new user. The hand tracker detects wave and click gestures and
// starts tracking a hand where one completes. New and lost users, gestures
// and the hands they start are also told on standard error as they happen.

#include <OpenNI.h>
#include <Vela.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "FrameJson.h"
#include "Picture.h"

namespace {

const char kUsage[] =
    "usage: vela-track [--hands] [--frames N] [--device URI|FILE.oni] [--output FILE]\n"
    "                  [--picture FILE.png [--picture-frame N]]\n"
    "  --hands          run the hand tracker (default: the user tracker)\n"
    "  --frames N       frames to read (default 150: the default scene's walk in)\n"
    "  --device SOURCE  a device URI or a recording (default: the first device)\n"
    "  --output FILE    the JSON lines go to FILE (default: standard output)\n"
    "  --picture FILE   a PNG of one frame: depth, users and skeletons, or hands\n"
    "  --picture-frame N  the frame pictured, counted from 1 (default: the last)\n"
    "Run it where \"Vela.ini\" names the data directory, or next to \"Vela2\".\n";

struct Options {
    bool hands = false;
    int frames = 150;
    std::string device;
    std::string output;
    std::string picture;
    int pictureFrame = 0;
};

bool ParseCount(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 1 || parsed > 1000000000) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--hands") {
            options.hands = true;
        } else if (arg == "--frames" && hasValue) {
            if (!ParseCount(argv[++i], options.frames)) {
                return false;
            }
        } else if (arg == "--device" && hasValue) {
            options.device = argv[++i];
        } else if (arg == "--output" && hasValue) {
            options.output = argv[++i];
        } else if (arg == "--picture" && hasValue) {
            options.picture = argv[++i];
        } else if (arg == "--picture-frame" && hasValue) {
            if (!ParseCount(argv[++i], options.pictureFrame)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return options.pictureFrame == 0 || !options.picture.empty();
}

// Where the JSON lines go: the file asked for, or standard output, whose
// other writers then write to standard error.
FILE* OpenJson(const std::string& output) {
    if (!output.empty()) {
        return std::fopen(output.c_str(), "w");
    }
    std::fflush(stdout);
    const int json = dup(STDOUT_FILENO);
    if (json < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        return nullptr;
    }
    return fdopen(json, "w");
}

const char* GestureName(VelaGestureType type) {
    switch (type) {
        case VELA_GESTURE_WAVE: return "wave";
        case VELA_GESTURE_CLICK: return "click";
        case VELA_GESTURE_HAND_RAISE: return "hand raise";
    }
    return "gesture";
}

bool WriteLine(FILE* json, const std::string& line) {
    return std::fputs(line.c_str(), json) >= 0 && std::fputc('\n', json) != EOF && std::fflush(json) == 0;
}

bool SavePicture(const std::string& path, const RgbImage& image) {
    std::string error;
    if (!WritePng(path, image, error)) {
        std::fprintf(stderr, "vela-track: cannot write the picture %s\n", error.c_str());
        return false;
    }
    return true;
}

// Whether frame n (from 1) of `frames` is the one pictured.
bool Pictured(const Options& options, int n) {
    return !options.picture.empty() && n == (options.pictureFrame != 0 ? options.pictureFrame : options.frames);
}

int RunUserTracker(const Options& options, openni::Device* device, FILE* json) {
    VelaUserTrackerHandle tracker = nullptr;
    if ((device != nullptr ? velaInitializeUserTrackerByDevice(device, &tracker)
                           : velaInitializeUserTracker(&tracker)) != VELA_STATUS_OK) {
        std::fputs("vela-track: the user tracker could not start (see the log)\n", stderr);
        return 1;
    }
    int rc = 0;
    int users = 0;
    // A new user's centre of mass is measured from its second frame on.
    std::set<int> centreToTell;
    for (int n = 1; n <= options.frames && rc == 0; ++n) {
        VelaUserTrackerFrame* frame = nullptr;
        if (velaReadUserTrackerFrame(tracker, &frame) != VELA_STATUS_OK) {
            std::fputs("vela-track: no frame could be read\n", stderr);
            rc = 1;
            break;
        }
        for (int i = 0; i < frame->userCount; ++i) {
            const VelaUserData& user = frame->users[i];
            if ((user.state & VELA_USER_STATE_LOST) != 0) {
                std::fprintf(stderr, "vela-track: frame %d: user %d lost\n", n, user.id);
                centreToTell.erase(user.id);
            } else if ((user.state & VELA_USER_STATE_NEW) == 0 && (user.state & VELA_USER_STATE_VISIBLE) != 0 &&
                       centreToTell.erase(user.id) != 0) {
                std::fprintf(stderr, "vela-track: frame %d: user %d, centre of mass (%.0f, %.0f, %.0f) mm\n", n,
                             user.id, user.centerOfMass.x, user.centerOfMass.y, user.centerOfMass.z);
            }
            if ((user.state & VELA_USER_STATE_NEW) != 0) {
                std::fprintf(stderr, "vela-track: frame %d: user %d new\n", n, user.id);
                centreToTell.insert(user.id);
                ++users;
                velaStartSkeletonTracking(tracker, user.id);
                velaStartPoseDetection(tracker, user.id, VELA_POSE_PSI);
                velaStartPoseDetection(tracker, user.id, VELA_POSE_CROSSED_HANDS);
            }
        }
        if (!WriteLine(json, UserFrameJson(*frame))) {
            std::fputs("vela-track: cannot write the JSON lines\n", stderr);
            rc = 1;
        }
        if (Pictured(options, n) && !SavePicture(options.picture, UserFramePicture(tracker, *frame))) {
            rc = 1;
        }
        velaUserTrackerFrameRelease(tracker, frame);
    }
    std::fprintf(stderr, "vela-track: %d frames, %d users\n", options.frames, users);
    velaShutdownUserTracker(tracker);
    return rc;
}

int RunHandTracker(const Options& options, openni::Device* device, FILE* json) {
    VelaHandTrackerHandle tracker = nullptr;
    if ((device != nullptr ? velaInitializeHandTrackerByDevice(device, &tracker)
                           : velaInitializeHandTracker(&tracker)) != VELA_STATUS_OK) {
        std::fputs("vela-track: the hand tracker could not start (see the log)\n", stderr);
        return 1;
    }
    velaStartGestureDetection(tracker, VELA_GESTURE_WAVE);
    velaStartGestureDetection(tracker, VELA_GESTURE_CLICK);
    int rc = 0;
    int gestures = 0;
    for (int n = 1; n <= options.frames && rc == 0; ++n) {
        VelaHandTrackerFrame* frame = nullptr;
        if (velaReadHandTrackerFrame(tracker, &frame) != VELA_STATUS_OK) {
            std::fputs("vela-track: no frame could be read\n", stderr);
            rc = 1;
            break;
        }
        // A hand is followed from where a wave or a click completes; a hand
        // already followed there refuses the start.
        for (int i = 0; i < frame->gestureCount; ++i) {
            const VelaGestureData& gesture = frame->gestures[i];
            ++gestures;
            const VelaPoint3f& at = gesture.currentPosition;
            std::fprintf(stderr, "vela-track: frame %d: %s at (%.0f, %.0f, %.0f) mm\n", n, GestureName(gesture.type),
                         at.x, at.y, at.z);
            if (gesture.type == VELA_GESTURE_WAVE || gesture.type == VELA_GESTURE_CLICK) {
                int16_t id = 0;
                if (velaStartHandTracking(tracker, &at, &id) == VELA_STATUS_OK && id > 0) {
                    std::fprintf(stderr, "vela-track: frame %d: hand %d started there\n", n, id);
                }
            }
        }
        for (int i = 0; i < frame->handCount; ++i) {
            const VelaHandData& hand = frame->hands[i];
            if (hand.state == VELA_HAND_STATE_LOST) {
                std::fprintf(stderr, "vela-track: frame %d: hand %d lost\n", n, hand.id);
            }
        }
        if (!WriteLine(json, HandFrameJson(*frame))) {
            std::fputs("vela-track: cannot write the JSON lines\n", stderr);
            rc = 1;
        }
        if (Pictured(options, n) && !SavePicture(options.picture, HandFramePicture(tracker, *frame))) {
            rc = 1;
        }
        velaHandTrackerFrameRelease(tracker, frame);
    }
    std::fprintf(stderr, "vela-track: %d frames, %d gestures\n", options.frames, gestures);
    velaShutdownHandTracker(tracker);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    FILE* json = OpenJson(options.output);
    if (json == nullptr) {
        std::fprintf(stderr, "vela-track: cannot write %s: %s\n",
                     options.output.empty() ? "to standard output" : options.output.c_str(), std::strerror(errno));
        return 1;
    }
    if (velaInitialize() != VELA_STATUS_OK) {
        std::fputs("vela-track: Vela could not start (see the log)\n", stderr);
        return 1;
    }
    // A device or recording of our own, lent to the tracker.
    openni::Device device;
    const bool lend = !options.device.empty();
    if (lend && (openni::OpenNI::initialize() != openni::STATUS_OK ||
                 device.open(options.device.c_str()) != openni::STATUS_OK)) {
        std::fprintf(stderr, "vela-track: cannot open %s: %s\n", options.device.c_str(),
                     openni::OpenNI::getExtendedError());
        velaShutdown();
        return 1;
    }
    const int rc = options.hands ? RunHandTracker(options, lend ? &device : nullptr, json)
                                 : RunUserTracker(options, lend ? &device : nullptr, json);
    if (lend) {
        device.close();
        openni::OpenNI::shutdown();
    }
    velaShutdown();
    const bool closed = std::fclose(json) == 0;
    return rc != 0 ? rc : (closed ? 0 : 1);
}
