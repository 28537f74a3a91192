// The tracker base on the synthetic camera and on a recording, through the
// real OpenNI2: a minimal tracker on the default device and on lent devices.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "../OSLayer/XnLogTestWriter.h"
#include "Api/TrackerBase.h"
#include "NACommon/NAEventListener.h"
#include "TempDir.h"
#include "XnAdapter/XnNodeRegistry.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

const int kTimeoutMs = 5000;

// The smallest tracker: its own part only counts, and fails on request.
class MinimalTracker : public TrackerBase, public NAEventListener {
public:
    ~MinimalTracker() override { shutdown(); }

    int initializeTracker() override {
        ++m_nInitialized;
        openni::PlaybackControl* pPlayback = m_device->getPlaybackControl();
        m_fSetUpSpeed = pPlayback != nullptr ? pPlayback->getSpeed() : 0.0f;
        return m_nResult;
    }
    void shutdownTracker() override {}

    void RegisterCallbacks(VelaUserTrackerCallbacks* pCallbacks, void* cookie) {
        registerReadyForNextFrame(pCallbacks != nullptr ? &pCallbacks->readyForNextFrame : nullptr, cookie);
    }
    void UnregisterCallbacks() { unregisterReadyForNextFrame(); }

    xn::DepthGenerator& Node() { return m_depthGenerator; }
    const xn::DepthMetaData& MetaData() const { return m_depthMetaData; }
    openni::VideoStream::NewFrameListener& Listener() { return m_streamListener; }

    int m_nResult = VELA_STATUS_OK;
    int m_nInitialized = 0;
    // The recording's playback speed during initializeTracker(); 0 live.
    float m_fSetUpSpeed = 0.0f;
};

class TrackerBaseTest : public ::testing::Test {
protected:
    // OpenNI2 stays up between the trackers a test makes.
    void SetUp() override {
        ASSERT_EQ(openni::STATUS_OK, openni::OpenNI::initialize()) << oniGetExtendedError();
        ASSERT_EQ(XN_STATUS_OK, m_writer.Register());
        m_writer.Clear();
        xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_ERROR);
    }
    void TearDown() override {
        xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_SEVERITY_NONE);
        m_writer.Unregister();
        openni::OpenNI::shutdown();
    }

    // Reads the tracker's next frame through the adapter and returns its
    // index; the metadata then describes it at the stream's size.
    static int ReadFrame(MinimalTracker& tracker, int width, int height) {
        EXPECT_EQ(XN_STATUS_OK, xn::UpdateUntil(tracker.Node()));
        const OniFrame* pFrame = tracker.Node().GetFrame();
        if (pFrame == nullptr) {
            ADD_FAILURE() << "no frame";
            return -1;
        }
        xn::DepthMetaData md;
        EXPECT_EQ(XN_STATUS_OK, tracker.Node().GetMetaData(md));
        EXPECT_EQ(pFrame->data, md.Data());
        EXPECT_EQ(width, md.XRes());
        EXPECT_EQ(height, md.YRes());
        return pFrame->frameIndex;
    }

    // The index of the first frame a new stream of the device reads.
    static int FirstFrameIndex(openni::Device& device) {
        openni::VideoStream stream;
        EXPECT_EQ(openni::STATUS_OK, stream.create(device, openni::SENSOR_DEPTH));
        EXPECT_EQ(openni::STATUS_OK, stream.start());
        openni::VideoStream* pStream = &stream;
        int ready = -1;
        EXPECT_EQ(openni::STATUS_OK, openni::OpenNI::waitForAnyStream(&pStream, 1, &ready, kTimeoutMs));
        openni::VideoFrameRef frame;
        EXPECT_EQ(openni::STATUS_OK, stream.readFrame(&frame));
        return frame.isValid() ? frame.getFrameIndex() : -1;
    }

    bool Logged(const std::string& message) const {
        for (const vela_test::CapturedEntry& entry : m_writer.m_entries) {
            if (entry.strMessage == message) {
                return true;
            }
        }
        return false;
    }

    vela_test::CapturingLogWriter m_writer;
};

TEST_F(TrackerBaseTest, TheDefaultDeviceIsOpenedStartedAndClosedByTheTracker) {
    {
        MinimalTracker tracker;
        ASSERT_EQ(VELA_STATUS_OK, tracker.initialize());
        EXPECT_EQ(1, tracker.m_nInitialized);
        // The synthetic camera is a first-family device.
        EXPECT_TRUE(tracker.Node().IsFirstFamily());
        EXPECT_FALSE(tracker.Node().IsSecondFamily());
        // Before the first frame the metadata has its own zeroed map.
        EXPECT_EQ(320, tracker.MetaData().XRes());
        EXPECT_EQ(240, tracker.MetaData().YRes());
        EXPECT_EQ(tracker.MetaData().OwnedBuffer(), tracker.MetaData().Data());
        EXPECT_EQ(1, ReadFrame(tracker, 320, 240));
        EXPECT_EQ(2, ReadFrame(tracker, 320, 240));
        tracker.shutdown();
        EXPECT_EQ(nullptr, tracker.Node().GetStreamHandle());
        EXPECT_EQ(nullptr, tracker.Node().GetFrame());
    }
    // A device still open elsewhere would go on counting its frames.
    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open(openni::ANY_DEVICE));
    EXPECT_EQ(1, FirstFrameIndex(device));
}

TEST_F(TrackerBaseTest, ALentDeviceStaysOpenForTheApplication) {
    struct Case {
        const char* uri;
        int width;
        int height;
    };
    const Case cases[] = {{"synthetic://default", 320, 240}, {"synthetic://default?resolution=640x480", 640, 480}};
    for (const Case& c : cases) {
        openni::Device device;
        ASSERT_EQ(openni::STATUS_OK, device.open(c.uri));
        int last = 0;
        {
            MinimalTracker tracker;
            ASSERT_EQ(VELA_STATUS_OK, tracker.initialize(&device)) << c.uri;
            EXPECT_EQ(c.width, tracker.MetaData().XRes());
            ReadFrame(tracker, c.width, c.height);
            last = ReadFrame(tracker, c.width, c.height);
            tracker.shutdown();
            EXPECT_TRUE(device.isValid());
        }
        // Still the same open device after the tracker is gone.
        ASSERT_TRUE(device.isValid());
        EXPECT_EQ(last + 1, FirstFrameIndex(device)) << c.uri;
    }
}

// A device the tracker cannot use fails the initialisation with the reason
// logged, before the tracker's own part runs; the next initialisation starts
// afresh.
TEST_F(TrackerBaseTest, DevicesItCannotUseFailTheInitialisation) {
    const struct {
        const char* uri;
        const char* message;  // the start of the one entry logged
        const char* detail;   // somewhere in it
    } cases[] = {
        {"synthetic://default?resolution=160x120", "Vela requires QVGA (or higher) resolution on this platform.", ""},
        // A stream that does not start would never deliver a frame.
        {"synthetic://default?start=refuse", "Failed to start stream: ", "refuses to start"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uri);
        m_writer.Clear();
        openni::Device device;
        ASSERT_EQ(openni::STATUS_OK, device.open(c.uri));
        MinimalTracker tracker;
        EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize(&device));
        EXPECT_EQ(0, tracker.m_nInitialized);
        ASSERT_EQ(1u, m_writer.m_entries.size());
        const std::string& message = m_writer.m_entries[0].strMessage;
        EXPECT_EQ(0u, message.find(c.message)) << message;
        EXPECT_NE(std::string::npos, message.find(c.detail)) << message;
        EXPECT_TRUE(device.isValid());

        m_writer.Clear();
        ASSERT_EQ(VELA_STATUS_OK, tracker.initialize());
        EXPECT_EQ(1, tracker.m_nInitialized);
        EXPECT_TRUE(m_writer.m_entries.empty());
        ReadFrame(tracker, 320, 240);
    }
}

TEST_F(TrackerBaseTest, OnlyAnOpenDeviceCanBeLent) {
    MinimalTracker tracker;
    openni::Device closed;
    EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize(nullptr));
    EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize(&closed));
    EXPECT_EQ(0, tracker.m_nInitialized);
    EXPECT_TRUE(Logged("Vela: the device given is not open"));
}

TEST_F(TrackerBaseTest, AFailingTrackerPartFailsTheInitialisation) {
    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open(openni::ANY_DEVICE));
    MinimalTracker tracker;
    tracker.m_nResult = VELA_STATUS_ERROR;
    EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize(&device));
    EXPECT_EQ(1, tracker.m_nInitialized);
    // Initialising again takes the first set-up down and builds a new one
    // on the new device, new-frame listener included.
    tracker.m_nResult = VELA_STATUS_OK;
    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize());
    EXPECT_TRUE(m_writer.m_entries.empty());
    ReadFrame(tracker, 320, 240);
}

// OpenNI2 lets a listener join one stream only. A registration that fails
// leaves the application without ready-for-next-frame calls, so the tracker
// must not come up.
TEST_F(TrackerBaseTest, ANewFrameListenerThatCannotRegisterFailsTheInitialisation) {
    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open(openni::ANY_DEVICE));
    openni::VideoStream other;
    ASSERT_EQ(openni::STATUS_OK, other.create(device, openni::SENSOR_DEPTH));
    MinimalTracker tracker;
    ASSERT_EQ(openni::STATUS_OK, other.addNewFrameListener(&tracker.Listener()));
    EXPECT_EQ(VELA_STATUS_ERROR, tracker.initialize(&device));
    EXPECT_EQ(0, tracker.m_nInitialized);
    ASSERT_EQ(1u, m_writer.m_entries.size());
    EXPECT_EQ(0u, m_writer.m_entries[0].strMessage.find("Failed to register for new frames: "));
    other.removeNewFrameListener(&tracker.Listener());
}

TEST_F(TrackerBaseTest, ReadyForNextFrameComesOnOpenNI2sThreadUntilUnregistered) {
    struct Calls {
        std::mutex lock;
        std::condition_variable changed;
        int count = 0;
        bool onTestThread = false;
        std::thread::id testThread = std::this_thread::get_id();
    } calls;
    static std::atomic<void*> s_cookie{nullptr};
    VelaUserTrackerCallbacks record = {[](void* cookie) {
        s_cookie = cookie;
        Calls* pCalls = static_cast<Calls*>(cookie);
        std::lock_guard<std::mutex> lock(pCalls->lock);
        ++pCalls->count;
        pCalls->onTestThread = pCalls->onTestThread || std::this_thread::get_id() == pCalls->testThread;
        pCalls->changed.notify_all();
    }};
    // Listeners never ask for frames: the camera makes them back to back.
    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open("synthetic://default?pacing=free"));
    MinimalTracker tracker;
    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize(&device));
    tracker.RegisterCallbacks(&record, &calls);
    {
        std::unique_lock<std::mutex> lock(calls.lock);
        ASSERT_TRUE(calls.changed.wait_for(lock, std::chrono::milliseconds(kTimeoutMs), [&] { return calls.count >= 3; }));
        EXPECT_FALSE(calls.onTestThread);
        EXPECT_EQ(&calls, s_cookie.load());
    }
    tracker.UnregisterCallbacks();
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(calls.lock);
        count = calls.count;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::lock_guard<std::mutex> lock(calls.lock);
    EXPECT_EQ(count, calls.count);
}

// The recording is held (one frame per read) while the derived tracker sets
// itself up, so that a short recording cannot start over under it, and
// plays at normal speed afterwards, whether the set-up succeeded or not.
TEST_F(TrackerBaseTest, ARecordingPlaysAtNormalSpeed) {
    vela_test::TempDir dir;
    const std::string recording = dir.File("default.oni");
    const std::string command = std::string(VELA_RECORD_ONI_EXE) + " --frames 3 default " + recording + " >/dev/null";
    ASSERT_EQ(0, std::system(command.c_str()));
    openni::Device device;
    ASSERT_EQ(openni::STATUS_OK, device.open(recording.c_str()));
    openni::PlaybackControl* pPlayback = device.getPlaybackControl();
    ASSERT_NE(nullptr, pPlayback);
    {
        MinimalTracker failing;
        failing.m_nResult = VELA_STATUS_ERROR;
        ASSERT_EQ(VELA_STATUS_ERROR, failing.initialize(&device));
        EXPECT_EQ(-1.0f, failing.m_fSetUpSpeed);
        EXPECT_EQ(1.0f, pPlayback->getSpeed());
    }
    ASSERT_EQ(openni::STATUS_OK, pPlayback->setSpeed(2.0f));
    MinimalTracker tracker;
    ASSERT_EQ(VELA_STATUS_OK, tracker.initialize(&device));
    EXPECT_EQ(-1.0f, tracker.m_fSetUpSpeed);
    EXPECT_EQ(1.0f, pPlayback->getSpeed());
    // A recording reads both families' property names.
    EXPECT_TRUE(tracker.Node().IsFirstFamily());
    EXPECT_TRUE(tracker.Node().IsSecondFamily());
    EXPECT_TRUE(m_writer.m_entries.empty());
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
