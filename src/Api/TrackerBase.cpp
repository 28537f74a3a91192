#include "Api/TrackerBase.h"

#include "OSLayer/XnLog.h"
#include "OniCAPI.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

// The OpenNI2 interface version the trackers ask for.
const int kOpenNIApiVersion = 2002;

// The player's speed at which a recording gives a frame only when read.
const float kPlaybackHeld = -1.0f;

void SetPlaybackSpeed(openni::PlaybackControl* pPlayback, float speed) {
    if (pPlayback != nullptr && pPlayback->setSpeed(speed) != openni::STATUS_OK) {
        xnLogWarning(XN_LOG_MASK_ALL, "Failed to set playback speed: %s", oniGetExtendedError());
    }
}

// Holds a recording for its lifetime, then lets it play in real time,
// whether the set-up succeeded or not. Nothing for a live device.
class PlaybackHold {
public:
    explicit PlaybackHold(openni::PlaybackControl* pPlayback) : m_pPlayback(pPlayback) {
        SetPlaybackSpeed(m_pPlayback, kPlaybackHeld);
    }
    ~PlaybackHold() { SetPlaybackSpeed(m_pPlayback, 1.0f); }
    PlaybackHold(const PlaybackHold&) = delete;
    PlaybackHold& operator=(const PlaybackHold&) = delete;

private:
    openni::PlaybackControl* m_pPlayback;
};

}  // namespace

TrackerBase::TrackerBase()
    : m_streamListener(*this),
      m_device(nullptr),
      m_ownsDevice(false),
      m_shutDown(false),
      m_openNIInitialized(false),
      m_listening(false) {
    if (oniInitialize(kOpenNIApiVersion) != ONI_STATUS_OK) {
        xnLogError(XN_LOG_MASK_ALL, "Couldn't initialize OpenNI: \n%s", oniGetExtendedError());
        return;
    }
    m_openNIInitialized = true;
}

TrackerBase::~TrackerBase() {
    // The derived destructor has run shutdown(); this only catches what a
    // half-built tracker left.
    releaseOpenNIObjects();
    // Every tracker balances its own initialisation, successful or not.
    oniShutdown();
}

int TrackerBase::initialize(openni::Device* device) {
    if (!m_openNIInitialized) {
        return VELA_STATUS_ERROR;
    }
    if (device == nullptr || !device->isValid()) {
        xnLogError(XN_LOG_MASK_ALL, "Vela: the device given is not open");
        return VELA_STATUS_ERROR;
    }
    if (!m_shutDown) {
        shutdown();
    }
    m_shutDown = true;
    return initializeOnDevice(device, false);
}

int TrackerBase::initialize() {
    if (!m_openNIInitialized) {
        return VELA_STATUS_ERROR;
    }
    shutdown();
    m_shutDown = true;
    openni::Device* device = new openni::Device;
    if (device->open(openni::ANY_DEVICE) != openni::STATUS_OK) {
        xnLogError(XN_LOG_MASK_ALL, "Failed to open default device: %s", oniGetExtendedError());
        delete device;
        return VELA_STATUS_ERROR;
    }
    return initializeOnDevice(device, true);
}

int TrackerBase::initializeOnDevice(openni::Device* device, bool ownsDevice) {
    m_device = device;
    m_ownsDevice = ownsDevice;
    if (m_depthStream.create(*m_device, openni::SENSOR_DEPTH) != openni::STATUS_OK) {
        xnLogError(XN_LOG_MASK_ALL, "Failed to create stream: %s", oniGetExtendedError());
        return VELA_STATUS_ERROR;
    }
    const OniVideoMode mode = xn::ReadVideoMode(m_depthStream._getHandle());
    if (mode.resolutionX < kMinWidth || mode.resolutionY < kMinHeight) {
        xnLogError(XN_LOG_MASK_ALL, "Vela requires QVGA (or higher) resolution on this platform.");
        return VELA_STATUS_ERROR;
    }
    // A recording plays in real time, but only once the tracker is set up:
    // until then it is held (a recording gives frames only when read), so
    // that a short recording cannot start over, and have the player set the
    // stream's properties anew, while the set-up reads them.
    const PlaybackHold hold(m_device->getPlaybackControl());
    if (m_depthStream.start() != openni::STATUS_OK) {
        xnLogError(XN_LOG_MASK_ALL, "Failed to start stream: %s", oniGetExtendedError());
        return VELA_STATUS_ERROR;
    }
    m_depthGenerator.SetDevice(m_device->_getHandle());
    m_depthGenerator.SetStream(m_depthStream._getHandle());
    if (m_depthGenerator.GetMetaData(m_depthMetaData) != XN_STATUS_OK) {
        xnLogError(XN_LOG_MASK_ALL, "Failed to allocate the depth map of %dx%d", mode.resolutionX, mode.resolutionY);
        return VELA_STATUS_ERROR;
    }
    if (m_depthStream.addNewFrameListener(&m_streamListener) != openni::STATUS_OK) {
        xnLogError(XN_LOG_MASK_ALL, "Failed to register for new frames: %s", oniGetExtendedError());
        return VELA_STATUS_ERROR;
    }
    m_listening = true;
    const int rc = initializeTracker();
    m_shutDown = false;
    return rc;
}

void TrackerBase::shutdown() {
    shutdownTracker();
    releaseOpenNIObjects();
}

void TrackerBase::releaseOpenNIObjects() {
    m_depthGenerator.UpdateFrame(nullptr);
    if (m_depthStream.isValid()) {
        if (m_listening) {
            m_depthStream.removeNewFrameListener(&m_streamListener);
        }
        m_depthStream.stop();
        // Waits for OpenNI2's stream thread: no new-frame call after this.
        m_depthStream.destroy();
    }
    m_listening = false;
    // A later stream may reuse the handle's address: the node must not
    // receive its frames.
    m_depthGenerator.SetStream(nullptr);
    m_depthGenerator.SetDevice(nullptr);
    if (m_ownsDevice && m_device != nullptr) {
        m_device->close();
        delete m_device;
    }
    m_device = nullptr;
    m_ownsDevice = false;
}

void TrackerBase::raiseReadyForNextFrame() { m_readyForNextFrame.Notify(); }

void TrackerBase::registerReadyForNextFrame(const VelaReadyForNextFrameCallback* pCallback, void* cookie) {
    m_readyForNextFrame.Register(pCallback, cookie);
}

void TrackerBase::unregisterReadyForNextFrame() { m_readyForNextFrame.Unregister(); }

void TrackerBase::StreamListener::onNewFrame(openni::VideoStream&) { m_pOwner->raiseReadyForNextFrame(); }
