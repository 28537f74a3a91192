#include "UserTracker/UserTracker.h"

#include <cstring>

#include "Api/DepthStreamRequirements.h"
#include "Api/VelaLibrary.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"

namespace {

// The "Preference" value is read into a buffer of this size.
const unsigned kPreferenceSize = 10;

struct Preference {
    const char* name;
    Resolution sceneAnalysis;
    Resolution skeleton;
};

const Preference kPreferences[] = {
    {"Speed", QQQVGA, QQQVGA},
    {"Quality", QQVGA, QQVGA},
    {"Mixed", QQVGA, QQQVGA},
    {"dexiM", QQQVGA, QQVGA},
};

}  // namespace

UserTracker::UserTracker() : UserTracker(nullptr) {}

UserTracker::UserTracker(std::unique_ptr<UserTrackerAlgorithms> algorithms)
    : m_algorithms(algorithms != nullptr ? std::move(algorithms) : std::make_unique<UserTrackerAlgorithms>()),
      m_saResolution(QQVGA),
      m_feResolution(QQVGA),
      m_featureExtractor(m_algorithms->CreateSkeletonDriver()),
      m_listening(false),
      m_frameRefs(m_frameRefLock, "UserTracker"),
      m_lastTimestamp(0),
      m_confidenceFactor(1.0f) {}

UserTracker::~UserTracker() { shutdown(); }

int UserTracker::initializeTracker() {
    if (g_configurationDir == nullptr) {
        xnLogWarning(XN_LOG_MASK_ALL, "UserTracker: No configuration directory set");
        // The skeleton reads its configuration and data files from there.
        xnLogError(XN_LOG_MASK_ALL, "UserTracker: needs the data directory: call velaInitialize first");
        return VELA_STATUS_ERROR;
    }
    if (!FormConfigurationPath("FeatureExtraction.ini", m_iniPath)) {
        return VELA_STATUS_ERROR;
    }
    XnBool exists = FALSE;
    xnOSDoesFileExist(m_iniPath.c_str(), &exists);
    if (!exists) {
        xnLogInfo(XN_LOG_MASK_ALL, "UserTracker: Couldn't find configuration file '%s'", m_iniPath.c_str());
    } else {
        char preference[kPreferenceSize] = {};
        if (xnOSReadStringFromINI(m_iniPath.c_str(), "Generator", "Preference", preference, sizeof(preference)) ==
            XN_STATUS_OK) {
            for (const Preference& entry : kPreferences) {
                if (std::strcmp(preference, entry.name) == 0) {
                    m_saResolution = entry.sceneAnalysis;
                    m_feResolution = entry.skeleton;
                }
            }
            xnLogVerbose(XN_LOG_MASK_ALL, "Using resolutions: SA - %s, FE - %s\n", ToString(m_saResolution).c_str(),
                         ToString(m_feResolution).c_str());
        }
    }
    if (CheckTrackerDepthStream(m_depthStream._getHandle(), "UserTracker") != VELA_STATUS_OK) {
        return VELA_STATUS_ERROR;
    }
    initScene();
    if (!m_featureExtractor->Initialize(&m_commonData, m_depthGenerator, m_depthMetaData, m_feResolution,
                                        m_sceneAnalyzer->GetSceneAnalyzer(), m_iniPath, g_configurationDir)) {
        xnLogError(XN_LOG_MASK_ALL, "UserTracker: Couldn't initialize FeatureExtractor");
        return VELA_STATUS_ERROR;
    }
    m_featureExtractor->ReadParameters();
    m_featureExtractor->GetEventGenerator().AddEventListener(this);
    m_listening = true;
    if (!m_featureExtractor->InitializeLBS(m_depthGenerator) && m_featureExtractor->IsLBSEnabled()) {
        xnLogError(XN_LOG_MASK_ALL, "UserTracker: Couldn't initialize LBS");
        return VELA_STATUS_ERROR;
    }
    return VELA_STATUS_OK;
}

void UserTracker::initScene() {
    m_sceneAnalyzer.reset();
    SAConfiguration configuration;
    configuration.m_SSE = {1, -1, 1000000000};
    configuration.m_profiling = {0, -1, -1};
    configuration.m_output = {0, -1, -1};
    configuration.m_bitExact = {0, -1, -1};
    configuration.m_resolution = m_saResolution;
    configuration.m_outputResolution = QQVGA;
    configuration.m_verName = "";
    configuration.m_MaxSupportedDepth = 8000;
    // Depth and shift one level below the stream's size.
    m_commonData.Initialize(m_depthGenerator, INVALID, nullptr, nullptr);
    m_sceneAnalyzer = m_algorithms->CreateSceneAnalysis();
    if (!m_sceneAnalyzer->Initialize(&m_commonData, m_depthGenerator, configuration)) {
        xnLogError(XN_LOG_MASK_ALL, "UserTracker: Couldn't initialize Scene Analyzer");
    }
    m_featureExtractor->Reset();
    m_featureExtractor->SetSceneAnalyzer(m_sceneAnalyzer->GetSceneAnalyzer());
}

void UserTracker::shutdownTracker() {
    if (m_listening) {
        m_featureExtractor->GetEventGenerator().RemoveEventListener(this);
        m_listening = false;
    }
    m_sceneAnalyzer.reset();
    // Their depth frames go back while the stream and OpenNI2 are still up.
    m_frameRefs.ReleaseAll(freeFrame);
    m_commonData.SetDepthGenerator(nullptr);
}

int UserTracker::registerUserTrackerCallbacks(VelaUserTrackerCallbacks* callbacks, void* cookie) {
    registerReadyForNextFrame(callbacks != nullptr ? &callbacks->readyForNextFrame : nullptr, cookie);
    return VELA_STATUS_OK;
}

void UserTracker::unregisterUserTrackerCallbacks(VelaUserTrackerCallbacks*) { unregisterReadyForNextFrame(); }
