// vela-evaluate: runs Vela's user tracker (or hand tracker) through the
// public interface on scenes of the synthetic camera, or on a recording of
// one, and measures what it reports against the scene renderer's truth.
// Prints one JSON line per scene on standard output and a short summary on
// standard error (README.md).

#include <OpenNI.h>
#include <Vela.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Evaluate/EvaluationOptions.h"
#include "Evaluate/HandEvaluation.h"
#include "Evaluate/JsonWriter.h"
#include "Evaluate/UserEvaluation.h"
#include "SceneRenderer/SceneRenderer.h"
#include "SyntheticCamera/DeviceUri.h"

using namespace vela;
using namespace vela::evaluate;

namespace {

const char kUsage[] =
    "usage: vela-evaluate [options] SCENE|default...\n"
    "Runs the user tracker (or the hand tracker) on each scene of the synthetic\n"
    "camera and prints what it reports against the scene's truth, one JSON line\n"
    "per scene. Run it where \"Vela.ini\" names the data directory (data/).\n"
    "  --hands                the hand tracker, with wave, click and hand raise on\n"
    "  --start-hand F:P:SIDE  start tracking person P's left or right hand at its\n"
    "                         visible centroid after frame F (from 0); repeatable;\n"
    "                         a scene's \"track T hand=SIDE\" lines do the same\n"
    "  --start-at-gestures    start a hand where a wave or click completes\n"
    "  --frames N             frames to read (default: the scene's)\n"
    "  --resolution WxH       320x240 or 640x480 (default: the scene's camera)\n"
    "  --seed N               replace the scene's sensor seed\n"
    "  --recording FILE.oni   play this recording of the one scene instead\n";

scene::Vec3 ToVec3(const VelaPoint3f& p) { return scene::Vec3(p.x, p.y, p.z); }

VelaPoint3f ToPoint(const scene::Vec3& v) {
    return {static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)};
}

// One scene: its truth renderer and the device the tracker reads.
class Source {
public:
    bool Open(const std::string& name, const EvaluationOptions& options, std::string& error) {
        if (name == "default") {
            m_scene = scene::DefaultScene();
        } else if (!scene::LoadSceneFile(name, m_scene, error)) {
            return false;
        }
        if (options.hasSeed) m_scene.sensor.nSeed = options.seed;
        m_renderer = std::make_unique<scene::SceneRenderer>(m_scene);
        m_nFrames = options.frames > 0 ? options.frames : m_scene.nFrames;
        std::string uri = options.recording;
        if (uri.empty()) {
            char absolute[PATH_MAX];
            if (name != "default" && realpath(name.c_str(), absolute) == nullptr) {
                error = name + ": cannot be resolved";
                return false;
            }
            std::vector<std::string> query;
            if (name != "default") query.push_back("file=" + synthetic::EncodeUriValue(absolute));
            if (options.width > 0) {
                query.push_back("resolution=" + std::to_string(options.width) + "x" + std::to_string(options.height));
            }
            if (options.hasSeed) query.push_back("seed=" + std::to_string(options.seed));
            uri = name == "default" ? "synthetic://default" : "synthetic://scene";
            for (size_t i = 0; i < query.size(); ++i) uri += (i == 0 ? "?" : "&") + query[i];
        }
        if (m_device.open(uri.c_str()) != openni::STATUS_OK) {
            error = "cannot open " + uri + ": " + openni::OpenNI::getExtendedError();
            return false;
        }
        if (!options.recording.empty()) {
            // Never read past the end: a recording starts over with new time stamps.
            openni::VideoStream depth;
            if (depth.create(m_device, openni::SENSOR_DEPTH) == openni::STATUS_OK) {
                m_nRecorded = m_device.getPlaybackControl()->getNumberOfFrames(depth);
                if (m_nRecorded > 0 && m_nRecorded < m_nFrames) m_nFrames = m_nRecorded;
                depth.destroy();
            }
        }
        return true;
    }
    // After the tracker is made: one recorded frame per read.
    void PlayFramePerRead() {
        if (m_device.isFile()) m_device.getPlaybackControl()->setSpeed(-1.0f);
    }
    openni::Device* Device() { return &m_device; }
    int Frames() const { return m_nFrames; }
    // The hand starts the scene file names ("track" lines).
    std::vector<HandStart> SceneStarts() const {
        std::vector<HandStart> starts;
        for (size_t i = 0; i < m_scene.people.size(); ++i) {
            for (const scene::TrackStart& t : m_scene.people[i].trackStarts) {
                starts.push_back({static_cast<int>(std::lround(t.time * m_scene.dFps)), static_cast<int>(i + 1), t.side});
            }
        }
        return starts;
    }
    // Whether the frame is a recording's last: playback may skip frames
    // before the speed is set, and a further read would start over.
    bool AtEnd(const OniFrame* depth) const {
        return m_nRecorded > 0 && depth != nullptr && depth->frameIndex >= m_nRecorded;
    }
    double Fps() const { return m_scene.dFps; }
    // The truth behind a depth frame (its index from 1 is the scene's frame
    // from 0, live and recorded alike).
    const scene::RenderedFrame& Truth(const OniFrame* depth, int fallbackIndex) {
        const int index = depth != nullptr ? depth->frameIndex - 1 : fallbackIndex;
        if (depth != nullptr) {
            const scene::RenderSettings& s = m_renderer->Settings();
            if (s.nWidth != depth->width || s.nHeight != depth->height) {
                m_renderer->SetResolution(depth->width, depth->height);
            }
        }
        m_renderer->Render(index < 0 ? 0 : index, m_frame);
        return m_frame;
    }
    ~Source() { m_device.close(); }

private:
    scene::Scene m_scene;
    std::unique_ptr<scene::SceneRenderer> m_renderer;
    scene::RenderedFrame m_frame;
    openni::Device m_device;
    int m_nFrames = 0;
    int m_nRecorded = 0;  // frames of a recording; 0 live
};

bool RunUsers(Source& source, UserEvaluation& evaluation, std::string& error) {
    VelaUserTrackerHandle tracker = nullptr;
    if (velaInitializeUserTrackerByDevice(source.Device(), &tracker) != VELA_STATUS_OK) {
        error = "the user tracker could not start (see the log)";
        return false;
    }
    source.PlayFramePerRead();
    bool ok = true;
    std::vector<ReportedUser> users;
    for (int n = 0; n < source.Frames(); ++n) {
        VelaUserTrackerFrame* frame = nullptr;
        if (velaReadUserTrackerFrame(tracker, &frame) != VELA_STATUS_OK) {
            error = "no frame could be read";
            ok = false;
            break;
        }
        const scene::RenderedFrame& truth = source.Truth(frame->depthFrame, n);
        users.clear();
        for (int i = 0; i < frame->userCount; ++i) {
            const VelaUserData& u = frame->users[i];
            users.push_back({u.id, u.state, ToVec3(u.centerOfMass)});
        }
        const bool sameSize = frame->userMap.pixels != nullptr && frame->userMap.width == truth.nWidth &&
                              frame->userMap.height == truth.nHeight;
        evaluation.AddFrame(truth.truth, truth.users, sameSize ? frame->userMap.pixels : nullptr, users);
        const bool end = source.AtEnd(frame->depthFrame);
        velaUserTrackerFrameRelease(tracker, frame);
        if (end) break;
    }
    velaShutdownUserTracker(tracker);
    return ok;
}

bool RunHands(Source& source, const EvaluationOptions& options, HandEvaluation& evaluation, std::string& error) {
    VelaHandTrackerHandle tracker = nullptr;
    if (velaInitializeHandTrackerByDevice(source.Device(), &tracker) != VELA_STATUS_OK) {
        error = "the hand tracker could not start (see the log)";
        return false;
    }
    source.PlayFramePerRead();
    for (VelaGestureType type : {VELA_GESTURE_WAVE, VELA_GESTURE_CLICK, VELA_GESTURE_HAND_RAISE}) {
        velaStartGestureDetection(tracker, type);
    }
    std::vector<HandStart> starts = options.starts;
    for (const HandStart& start : source.SceneStarts()) starts.push_back(start);
    bool ok = true;
    std::vector<ReportedHand> hands;
    std::vector<ReportedGesture> gestures;
    for (int n = 0; n < source.Frames(); ++n) {
        VelaHandTrackerFrame* frame = nullptr;
        if (velaReadHandTrackerFrame(tracker, &frame) != VELA_STATUS_OK) {
            error = "no frame could be read";
            ok = false;
            break;
        }
        const scene::RenderedFrame& truth = source.Truth(frame->depthFrame, n);
        hands.clear();
        gestures.clear();
        for (int i = 0; i < frame->handCount; ++i) {
            hands.push_back({frame->hands[i].id, frame->hands[i].state, ToVec3(frame->hands[i].position)});
        }
        for (int i = 0; i < frame->gestureCount; ++i) {
            gestures.push_back({frame->gestures[i].type, ToVec3(frame->gestures[i].currentPosition)});
        }
        evaluation.AddFrame(truth.truth, truth.users, truth.parts, truth.nWidth, truth.nHeight, hands, gestures);
        for (const HandStart& start : starts) {
            if (start.frame != truth.truth.nFrame || static_cast<size_t>(start.person) > truth.truth.users.size()) {
                continue;
            }
            const scene::HandTruth& hand = truth.truth.users[static_cast<size_t>(start.person - 1)].hands[start.side];
            if (hand.nVisiblePixels == 0) {
                std::fprintf(stderr, "vela-evaluate: frame %d: person %d's %s hand is not seen, not started\n",
                             start.frame, start.person, start.side == 0 ? "left" : "right");
                continue;
            }
            const VelaPoint3f at = ToPoint(hand.centroid);
            int16_t id = 0;
            if (velaStartHandTracking(tracker, &at, &id) == VELA_STATUS_OK && id > 0) {
                evaluation.NoteStart(start.person, start.side, id);
            }
        }
        if (options.startAtGestures) {
            for (const ReportedGesture& g : gestures) {
                if (g.type != VELA_GESTURE_WAVE && g.type != VELA_GESTURE_CLICK) continue;
                const VelaPoint3f at = ToPoint(g.position);
                int16_t id = 0;
                if (velaStartHandTracking(tracker, &at, &id) == VELA_STATUS_OK && id > 0) {
                    evaluation.NoteStartAt(g.position, id);
                }
            }
        }
        const bool end = source.AtEnd(frame->depthFrame);
        velaHandTrackerFrameRelease(tracker, frame);
        if (end) break;
    }
    velaShutdownHandTracker(tracker);
    return ok;
}

void PrintUserSummary(const std::string& name, const UserEvaluation& evaluation) {
    std::fprintf(stderr, "%s: %d frames, false users %zu (%d frames)\n", name.c_str(), evaluation.Frames(),
                 evaluation.FalseUserIds().size(), evaluation.FalseUserFrames());
    for (const UserEvaluation::Person& p : evaluation.People()) {
        const Summary com = Summarize(p.comErrors);
        double iou = 0.0;
        for (double v : p.iou) iou += v;
        const std::string report = p.firstReportFrame >= 0
                                       ? "reported after " + std::to_string(p.firstReportFrame - p.entryFrame) + " frames"
                                       : std::string("never reported");
        std::fprintf(stderr, "  person %d: visible %d frames, IoU %.3f, %s, %zu ids, %d switches, centre error mean %.0f mm\n",
                     p.id, p.visibleFrames, p.iou.empty() ? 0.0 : iou / static_cast<double>(p.iou.size()),
                     report.c_str(), p.identity.Ids().size(), p.identity.Switches(), com.mean);
    }
}

void PrintHandSummary(const std::string& name, const HandEvaluation& evaluation) {
    std::fprintf(stderr, "%s: %d reports far from every hand\n", name.c_str(), evaluation.FarReports());
    for (const HandEvaluation::Hand& h : evaluation.Hands()) {
        if (h.followedFrom < 0) continue;
        const Summary e = Summarize(h.centroidErrors);
        std::fprintf(stderr, "  person %d %s hand: tracked %d of %d visible frames, error median %.0f mm, p95 %.0f mm\n",
                     h.person, h.side == 0 ? "left" : "right", h.trackedFrames, h.visibleFrames, e.median, e.p95);
    }
    for (const HandEvaluation::GestureResult& g : evaluation.Gestures()) {
        std::fprintf(stderr, "  %s %.2f-%.2f s: %d detections\n", GestureName(g.window.type), g.window.start,
                     g.window.end, g.count);
    }
    const auto& f = evaluation.FalseGestures();
    std::fprintf(stderr, "  false gestures: wave %d, click %d, hand raise %d\n", f[0], f[1], f[2]);
}

// One scene; false with the reason in `error`.
bool Evaluate(const std::string& name, const EvaluationOptions& options, std::string& line, std::string& error) {
    Source source;
    if (!source.Open(name, options, error)) return false;
    JsonWriter json;
    json.BeginObject();
    json.Key("scene").String(name);
    json.Key("source").String(options.recording.empty() ? "camera" : options.recording);
    json.Key("mode").String(options.hands ? "hands" : "users");
    if (options.hands) {
        HandEvaluation evaluation(source.Fps());
        if (!RunHands(source, options, evaluation, error)) return false;
        evaluation.Write(json);
        PrintHandSummary(name, evaluation);
    } else {
        UserEvaluation evaluation;
        if (!RunUsers(source, evaluation, error)) return false;
        evaluation.Write(json);
        PrintUserSummary(name, evaluation);
    }
    json.EndObject();
    line = json.Text();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    EvaluationOptions options;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!ParseEvaluationOptions(args, options, error)) {
        std::fprintf(stderr, "vela-evaluate: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    // Standard output carries the JSON lines alone: the library's console
    // log goes there too, so it is moved to standard error.
    std::fflush(stdout);
    const int jsonFd = dup(STDOUT_FILENO);
    FILE* json = jsonFd >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) >= 0 ? fdopen(jsonFd, "w") : nullptr;
    if (json == nullptr) {
        std::perror("vela-evaluate: standard output");
        return 1;
    }
    if (velaInitialize() != VELA_STATUS_OK) {
        std::fputs("vela-evaluate: Vela could not start (see the log)\n", stderr);
        return 1;
    }
    if (openni::OpenNI::initialize() != openni::STATUS_OK) {
        std::fprintf(stderr, "vela-evaluate: OpenNI2 does not start: %s\n", openni::OpenNI::getExtendedError());
        velaShutdown();
        return 1;
    }
    int rc = 0;
    for (const std::string& name : options.scenes) {
        std::string line;
        if (!Evaluate(name, options, line, error)) {
            std::fprintf(stderr, "vela-evaluate: %s: %s\n", name.c_str(), error.c_str());
            rc = 1;
            continue;
        }
        if (std::fprintf(json, "%s\n", line.c_str()) < 0 || std::fflush(json) != 0) {
            std::perror("vela-evaluate: cannot write the JSON lines");
            rc = 1;
        }
    }
    openni::OpenNI::shutdown();
    velaShutdown();
    return std::fclose(json) == 0 ? rc : 1;
}
