#pragma once

// Shared by the tests of both trackers: OpenNI2 frame calls that count every
// frame reference the adapter and the trackers take and give back (or fail
// the reads on request), frames that release themselves, and a fixture that
// keeps OpenNI2 up, runs in a fresh working directory after velaInitialize,
// captures the log and holds the checks both trackers pass alike.

#include <OpenNI.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "../OSLayer/XnLogTestWriter.h"
#include "Api/VelaLibrary.h"
#include "TempDir.h"
#include "Vela.h"
#include "XnAdapter/XnOniCalls.h"

namespace vela_test {

// Counts, per frame, the references OpenNI2 handed out through reads and
// those added and released through the adapter's calls while it lives; can
// make every read fail.
class CountingFrameCalls {
public:
    CountingFrameCalls() {
        s_pInstance = this;
        m_previous = xn::GetOniCalls();
        xn::SetOniCalls(
            xn::OniCalls{m_previous.streamGetProperty, m_previous.waitForAnyStream, &Read, &AddRef, &Release});
    }
    ~CountingFrameCalls() {
        xn::SetOniCalls(m_previous);
        s_pInstance = nullptr;
    }
    CountingFrameCalls(const CountingFrameCalls&) = delete;
    CountingFrameCalls& operator=(const CountingFrameCalls&) = delete;

    // References held now to the frame, counting only what passed here.
    int Held(const OniFrame* frame) {
        std::lock_guard<std::mutex> lock(m_lock);
        auto found = m_held.find(frame);
        return found == m_held.end() ? 0 : found->second;
    }
    // Frames with references still held.
    int FramesHeld() {
        std::lock_guard<std::mutex> lock(m_lock);
        int frames = 0;
        for (const auto& entry : m_held) {
            frames += entry.second != 0 ? 1 : 0;
        }
        return frames;
    }
    void FailReads(bool fail) { m_failReads = fail; }

private:
    static OniStatus Read(OniStreamHandle stream, OniFrame** frame) {
        if (s_pInstance->m_failReads) {
            return ONI_STATUS_ERROR;
        }
        const OniStatus rc = s_pInstance->m_previous.streamReadFrame(stream, frame);
        if (rc == ONI_STATUS_OK) {
            s_pInstance->Count(*frame, 1);
        }
        return rc;
    }
    static void AddRef(OniFrame* frame) {
        s_pInstance->Count(frame, 1);
        s_pInstance->m_previous.frameAddRef(frame);
    }
    static void Release(OniFrame* frame) {
        s_pInstance->Count(frame, -1);
        s_pInstance->m_previous.frameRelease(frame);
    }
    void Count(const OniFrame* frame, int change) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_held[frame] += change;
    }

    static inline CountingFrameCalls* s_pInstance = nullptr;
    xn::OniCalls m_previous;
    std::mutex m_lock;
    std::map<const OniFrame*, int> m_held;
    bool m_failReads = false;
};

// Frames of one tracker that release themselves through it.
template <class TrackerType, class FrameType, int (TrackerType::*ReadFn)(FrameType**),
          int (TrackerType::*AddRefFn)(FrameType*), int (TrackerType::*ReleaseFn)(FrameType*)>
struct TrackerFrames {
    typedef TrackerType Tracker;
    typedef FrameType Frame;
    struct Release {
        Tracker* tracker;
        void operator()(Frame* frame) const { (tracker->*ReleaseFn)(frame); }
    };
    typedef std::unique_ptr<Frame, Release> Ptr;

    static Ptr Read(Tracker& tracker) {
        Frame* frame = nullptr;
        EXPECT_EQ(VELA_STATUS_OK, (tracker.*ReadFn)(&frame));
        return Ptr(frame, Release{&tracker});
    }
    static int ReadRaw(Tracker& tracker, Frame** frame) { return (tracker.*ReadFn)(frame); }
    static int AddRef(Tracker& tracker, Frame* frame) { return (tracker.*AddRefFn)(frame); }
    static int ReleaseRaw(Tracker& tracker, Frame* frame) { return (tracker.*ReleaseFn)(frame); }
};

#ifdef VELA_RECORD_ONI_EXE
// Records `frames` frames of the scene source (a URI, a scene file or
// "default") into path.
inline void RecordOni(const std::string& source, const std::string& path, int frames) {
    const std::string command = std::string(VELA_RECORD_ONI_EXE) + " --frames " + std::to_string(frames) + " " +
                                source + " " + path + " >/dev/null";
    ASSERT_EQ(0, std::system(command.c_str())) << command;
}
#endif

class TrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(openni::STATUS_OK, openni::OpenNI::initialize()) << openni::OpenNI::getExtendedError();
        m_cwd = std::make_unique<ScopedCwd>(m_dir.Path());
        ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
        ASSERT_EQ(XN_STATUS_OK, m_writer.Register());
        m_writer.Clear();
        xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_WARNING);
    }
    void TearDown() override {
        xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_SEVERITY_NONE);
        m_writer.Unregister();
        velaShutdown();
        m_cwd.reset();
        openni::OpenNI::shutdown();
    }

    bool Logged(const std::string& message) const {
        for (const CapturedEntry& entry : m_writer.m_entries) {
            if (entry.strMessage == message) {
                return true;
            }
        }
        return false;
    }
    // Every message logged, one a line, for failure output.
    std::string LogText() const {
        std::string text;
        for (const CapturedEntry& entry : m_writer.m_entries) {
            text += entry.strSeverity + ": " + entry.strMessage + "\n";
        }
        return text;
    }

    // Writes a data-directory file ("Vela2/<name>" of the working directory).
    void WriteDataFile(const std::string& name, const std::string& content) {
        std::filesystem::create_directories(m_dir.File("Vela2"));
        WriteWholeFile(m_dir.File("Vela2/" + name), content);
    }

#ifdef VELA_RECORD_ONI_EXE
    // A tracker on the default device, on a lent 320x240 and 640x480 camera
    // and on a recording reads four frames, each checked with
    // check(frame, width, height) and made from its own depth frame; every
    // frame reference goes back with the tracker and nothing is logged.
    template <class Frames, class Check>
    void ExpectRunsOnEverySource(Check check) {
        const std::string recording = m_dir.File("default.oni");
        RecordOni("default", recording, 3);
        struct Case {
            const char* uri;  // null: the default device
            int width;
            int height;
        };
        const Case cases[] = {
            {nullptr, 320, 240},
            {"synthetic://default", 320, 240},
            {"synthetic://default?resolution=640x480", 640, 480},
            {recording.c_str(), 320, 240},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.uri != nullptr ? c.uri : "default device");
            CountingFrameCalls calls;
            openni::Device device;
            {
                typename Frames::Tracker tracker;
                if (c.uri == nullptr) {
                    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize()) << LogText();
                } else {
                    ASSERT_EQ(openni::STATUS_OK, device.open(c.uri));
                    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize(&device)) << LogText();
                }
                int lastIndex = 0;
                for (int i = 0; i < 4; ++i) {
                    typename Frames::Ptr frame = Frames::Read(tracker);
                    ASSERT_NE(nullptr, frame);
                    ASSERT_NE(nullptr, frame->depthFrame);
                    EXPECT_EQ(c.width, frame->depthFrame->width);
                    EXPECT_EQ(c.height, frame->depthFrame->height);
                    EXPECT_EQ(frame->depthFrame->timestamp, frame->timestamp);
                    EXPECT_EQ(frame->depthFrame->frameIndex, frame->frameIndex);
                    EXPECT_NE(lastIndex, frame->frameIndex);
                    lastIndex = frame->frameIndex;
                    check(*frame, c.width, c.height);
                }
            }
            EXPECT_EQ(0, calls.FramesHeld());
            EXPECT_TRUE(m_writer.m_entries.empty()) << LogText();
        }
    }

    // 1 mm pixels, no cropping and 160x120, 320x240 or 640x480 only, each
    // refusal logged with the tracker's name.
    template <class Tracker>
    void ExpectRefusesStreamsItCannotTrack(const std::string& name) {
        struct Case {
            const char* uri;
            std::string message;
        };
        const Case cases[] = {
            {"synthetic://default?format=100um", name + ": requires depth to be in 1mm format"},
            {"synthetic://default?resolution=640x480&crop=on", name + ": requires uncropped depth"},
            {"synthetic://default?resolution=1280x1024",
             name +
                 ": requires depth to be either QQVGA (160x120), QVGA (320x240) or VGA (640x480). Got 1280x1024"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.uri);
            m_writer.Clear();
            openni::Device device;
            ASSERT_EQ(openni::STATUS_OK, device.open(c.uri));
            Tracker tracker;
            EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize(&device));
            EXPECT_TRUE(Logged(c.message)) << LogText();
        }
    }

    // A data directory that fits its buffer but leaves no room for the path
    // of the tracker's INI file fails the tracker with a logged error, never
    // with a cut path; the same tracker comes up once the directory is short.
    template <class Tracker>
    void ExpectAConfigurationPathTooLongFailsTheTracker(const std::string& iniName) {
        // One character more than a path may hold, separator included.
        const std::string dataDir(kConfigurationPathSize - 1 - iniName.size(), 'd');
        WriteWholeFile(m_dir.File("Vela.ini"), "[General]\nDataDir=" + dataDir + "\n");
        ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
        ASSERT_EQ(dataDir, g_configurationDir);
        Tracker tracker;
        EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize());
        EXPECT_TRUE(Logged("Vela: the path of " + iniName + " in the data directory '" + dataDir +
                           "' is longer than " + std::to_string(kConfigurationPathSize - 1) + " characters"))
            << LogText();

        std::filesystem::remove(m_dir.File("Vela.ini"));
        ASSERT_EQ(VELA_STATUS_OK, velaInitialize());
        m_writer.Clear();
        EXPECT_EQ(VELA_STATUS_OK, tracker.initialize()) << LogText();
    }

    // A read that OpenNI2 fails gives an error and no frame and hands the
    // nodes nothing; the next read that succeeds goes on as usual.
    template <class Frames>
    void ExpectAFailedReadGivesNoFrame(const std::string& name) {
        CountingFrameCalls calls;
        {
            typename Frames::Tracker tracker;
            ASSERT_EQ(VELA_STATUS_OK, tracker.initialize());
            calls.FailReads(true);
            typename Frames::Frame* frame = reinterpret_cast<typename Frames::Frame*>(&tracker);
            EXPECT_EQ(VELA_STATUS_ERROR, Frames::ReadRaw(tracker, &frame));
            EXPECT_EQ(nullptr, frame);
            ASSERT_EQ(1u, m_writer.m_entries.size()) << LogText();
            EXPECT_EQ(0u, m_writer.m_entries[0].strMessage.find(name + ": Couldn't read a depth frame: "));
            EXPECT_EQ(0, calls.FramesHeld());
            calls.FailReads(false);
            typename Frames::Ptr next = Frames::Read(tracker);
            ASSERT_NE(nullptr, next);
            EXPECT_EQ(1, next->frameIndex);
        }
        EXPECT_EQ(0, calls.FramesHeld());
    }

    // Frames the application never released go back, with their depth
    // frames, before the tracker shuts OpenNI2 down.
    template <class Frames>
    void ExpectFramesStillHeldAtShutdownAreReleased() {
        CountingFrameCalls calls;
        {
            typename Frames::Tracker tracker;
            ASSERT_EQ(VELA_STATUS_OK, tracker.initialize());
            for (int i = 0; i < 3; ++i) {
                typename Frames::Frame* frame = nullptr;
                ASSERT_EQ(VELA_STATUS_OK, Frames::ReadRaw(tracker, &frame));
                ASSERT_NE(nullptr, frame);
            }
            EXPECT_EQ(3, calls.FramesHeld());
        }
        EXPECT_EQ(0, calls.FramesHeld());
    }

    // Add-ref and two releases free the frame on the second release. Any
    // other pointer, the freed frame among them, is ignored with a warning
    // and nothing is freed.
    template <class Frames>
    void ExpectAFrameIsFreedByItsLastRelease(typename Frames::Tracker& tracker, CountingFrameCalls& calls,
                                            const std::string& name) {
        typename Frames::Frame* frame = nullptr;
        ASSERT_EQ(VELA_STATUS_OK, Frames::ReadRaw(tracker, &frame));
        const OniFrame* depth = frame->depthFrame;
        // The nodes move on to the next depth frame; only the frame holds this one.
        typename Frames::Ptr next = Frames::Read(tracker);
        EXPECT_EQ(1, calls.Held(depth));
        EXPECT_EQ(VELA_STATUS_OK, Frames::AddRef(tracker, frame));
        EXPECT_EQ(VELA_STATUS_OK, Frames::ReleaseRaw(tracker, frame));
        EXPECT_EQ(1, calls.Held(depth));
        EXPECT_EQ(frame->depthFrame, depth) << "still readable";
        EXPECT_TRUE(m_writer.m_entries.empty()) << LogText();
        EXPECT_EQ(VELA_STATUS_OK, Frames::ReleaseRaw(tracker, frame));
        EXPECT_EQ(0, calls.Held(depth));

        typename Frames::Frame foreign = {};
        EXPECT_EQ(VELA_STATUS_OK, Frames::ReleaseRaw(tracker, frame));
        EXPECT_EQ(VELA_STATUS_OK, Frames::AddRef(tracker, &foreign));
        EXPECT_EQ(VELA_STATUS_OK, Frames::ReleaseRaw(tracker, &foreign));
        EXPECT_EQ(3u, m_writer.m_entries.size()) << LogText();
        EXPECT_TRUE(Logged(name + ": ignored the release of a frame it does not hold"));
        EXPECT_TRUE(Logged(name + ": ignored a reference to a frame it does not hold"));
        const OniFrame* nextDepth = next->depthFrame;
        next.reset();
        EXPECT_EQ(2, calls.Held(nextDepth)) << "the nodes' references";
    }
#endif

    TempDir m_dir;
    std::unique_ptr<ScopedCwd> m_cwd;
    CapturingLogWriter m_writer;
};

}  // namespace vela_test
