#include "HandTracker/HandTracker.h"

#include "HandAnalysis/DUZHandAlgorithmsLock.h"

#include "Api/DepthStreamRequirements.h"
#include "Api/VelaLibrary.h"
#include "OSLayer/XnLog.h"

HandTracker::HandTracker() : HandTracker(nullptr) {}

HandTracker::HandTracker(std::unique_ptr<HandTrackerAlgorithms> algorithms)
    : m_algorithms(algorithms != nullptr ? std::move(algorithms) : std::make_unique<HandTrackerAlgorithms>()),
      m_gestureManager(m_algorithms->CreateGestureRecognition()),
      m_handTrackerManager(m_algorithms->CreateHandTracking()),
      m_smoothingEnabled(false),
      m_smoothingFactor(0.1f),
      m_frameRefs(m_frameRefLock, "HandTracker"),
      m_initialized(false),
      m_listening(false) {}

HandTracker::~HandTracker() {
    shutdown();
    clearHands();
    clearGestures();
    clearSmoothingData();
}

int HandTracker::initializeTracker() {
    if (!FormConfigurationPath("HandAlgorithms.ini", m_iniPath)) {
        return VELA_STATUS_ERROR;
    }
    if (CheckTrackerDepthStream(m_depthStream._getHandle(), "HandTracker") != VELA_STATUS_OK) {
        return VELA_STATUS_ERROR;
    }
    // Depth and shift one level below the stream's size.
    m_commonData.Initialize(m_depthGenerator, INVALID, nullptr, nullptr);
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    if (m_gestureManager->Initialize(&m_commonData, m_depthGenerator, m_depthMetaData, m_iniPath, -1, 0) == 0) {
        xnLogError(XN_LOG_MASK_ALL, "HandTracker: Failed to initialize Gesture Recognition module");
        return VELA_STATUS_ERROR;
    }
    // Every gesture stays off until the application starts it.
    m_gestureManager->ActivateGesture(GESTURE_WAVE, 0, nullptr);
    m_gestureManager->ActivateGesture(GESTURE_CLICK, 0, nullptr);
    if (m_handTrackerManager->Initialize(&m_commonData, m_depthGenerator, m_depthMetaData, m_iniPath, -1, 0) == 0) {
        xnLogError(XN_LOG_MASK_ALL, "HandTracker: Failed to initialize Hand Tracking module");
        return VELA_STATUS_ERROR;
    }
    m_gestureManager->SetRunning(1);
    m_gestureManager->GetEventGenerator().AddEventListener(this);
    m_handTrackerManager->GetEventGenerator().AddEventListener(this);
    m_listening = true;
    m_initialized = true;
    return VELA_STATUS_OK;
}

void HandTracker::shutdownTracker() {
    if (m_listening) {
        m_handTrackerManager->GetEventGenerator().RemoveEventListener(this);
        m_gestureManager->GetEventGenerator().RemoveEventListener(this);
        m_listening = false;
    }
    if (m_initialized) {
        // The reset renumbers the trajectories from the process-wide counter.
        std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
        m_gestureManager->Reset(1);
        m_gestureManager->SetRunning(0);
    }
    m_initialized = false;
    // Their depth frames go back while the stream and OpenNI2 are still up.
    m_frameRefs.ReleaseAll(freeFrame);
    m_commonData.SetDepthGenerator(nullptr);
}

int HandTracker::registerHandTrackerCallbacks(VelaHandTrackerCallbacks* callbacks, void* cookie) {
    registerReadyForNextFrame(callbacks != nullptr ? &callbacks->readyForNextFrame : nullptr, cookie);
    return VELA_STATUS_OK;
}

void HandTracker::unregisterHandTrackerCallbacks(VelaHandTrackerCallbacks*) { unregisterReadyForNextFrame(); }
