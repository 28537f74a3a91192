#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"

#include <cfloat>
#include <climits>

#include "NACommon/NACommonData.h"
#include "NACommon/NAEvent.h"

MultiUserFeatureExtractor::MultiUserFeatureExtractor()
    : m_lbsEnabled(false),
      m_sceneAnalyzer(nullptr),
      m_commonData(nullptr),
      m_resolution(QQVGA),
      m_state(),
      m_verbose(false) {
    ResetState();
}

MultiUserFeatureExtractor::~MultiUserFeatureExtractor() {
    for (auto& entry : m_featureExtractors) {
        delete entry.second;
    }
}

bool MultiUserFeatureExtractor::Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                                           const xn::DepthMetaData& depthMD, Resolution resolution,
                                           const SceneAnalyzer* sceneAnalyzer, const std::string& iniPath,
                                           const std::string& configurationDir) {
    m_sceneAnalyzer = sceneAnalyzer;
    m_iniPath = iniPath;
    m_configurationDir = configurationDir;
    m_commonData = commonData;
    m_resolution = resolution;
    // The hub works one level below the stream's size, at least at QQVGA;
    // at SXGA for a size outside the tables.
    Resolution level = SXGA;
    for (int i = 0; i <= SXGA; ++i) {
        if (g_nXRes[i] == static_cast<int>(depthMD.XRes()) && g_nYRes[i] == static_cast<int>(depthMD.YRes())) {
            level = i - 1 >= QVGA ? static_cast<Resolution>(i - 1) : QQVGA;
            break;
        }
    }
    NACommonData::Configuration configuration;
    configuration.pDepthGenerator = &depth;
    configuration.depthResolution = level;
    configuration.shiftResolution = level;
    configuration.hybridResolution = INVALID;
    commonData->Initialize(configuration);
    return m_sharedData.Initialize(configurationDir);
}

void MultiUserFeatureExtractor::ReadParameters() { ReadParameters(m_iniPath, m_verbose); }

void MultiUserFeatureExtractor::ReadParameters(const std::string& iniPath, bool verbose) {
    for (auto& entry : m_featureExtractors) {
        entry.second->ReadParameters(iniPath, verbose);
    }
}

bool MultiUserFeatureExtractor::InitializeLBS(const xn::DepthGenerator&) { return false; }

void MultiUserFeatureExtractor::Update(const xn::DepthGenerator& depth, const xn::DepthMetaData&,
                                       const xn::SceneMetaData&) {
    const int frameId = depth.GetFrameID();
    const SensorTime timestamp(static_cast<int64_t>(depth.GetTimestamp()));
    if (m_commonData != nullptr) {
        m_commonData->Update();
    }
    int index = 0;
    for (auto& entry : m_featureExtractors) {
        entry.second->Update(frameId, timestamp, index++);
    }
    m_state.frameId = frameId;
    m_state.timestamp = timestamp;
}

FeatureExtractor* MultiUserFeatureExtractor::GetFeatureExtractor(int id) {
    const auto found = m_featureExtractors.find(id);
    return found == m_featureExtractors.end() ? nullptr : found->second;
}

const FeatureExtractor* MultiUserFeatureExtractor::GetFeatureExtractor(int id) const {
    const auto found = m_featureExtractors.find(id);
    return found == m_featureExtractors.end() ? nullptr : found->second;
}

FeatureExtractor* MultiUserFeatureExtractor::CreateFeatureExtractor(int id) {
    DeleteFeatureExtractor(id);
    FeatureExtractor* extractor =
        new FeatureExtractor(m_commonData, m_sceneAnalyzer, m_sharedData, id, m_configurationDir, m_iniPath);
    extractor->ReadParameters(m_iniPath, false);
    m_featureExtractors[id] = extractor;
    RaiseUserEvent(id, FeatureExtractorEvent::USER_CREATED);
    return extractor;
}

bool MultiUserFeatureExtractor::DeleteFeatureExtractor(int id) {
    const auto found = m_featureExtractors.find(id);
    if (found == m_featureExtractors.end()) {
        return false;
    }
    RaiseUserEvent(id, FeatureExtractorEvent::USER_REMOVED);
    // A listener may have changed the map while the event ran.
    const auto current = m_featureExtractors.find(id);
    if (current != m_featureExtractors.end()) {
        delete current->second;
        m_featureExtractors.erase(current);
    }
    return true;
}

void MultiUserFeatureExtractor::Reset() {
    while (!m_featureExtractors.empty()) {
        DeleteFeatureExtractor(m_featureExtractors.begin()->first);
    }
    ResetState();
}

void MultiUserFeatureExtractor::SetSceneAnalyzer(const SceneAnalyzer* sceneAnalyzer) {
    m_sceneAnalyzer = sceneAnalyzer;
}

void MultiUserFeatureExtractor::SetSmoothingEnabled(bool enabled) { FeatureExtractor::usePoseSmoother = enabled; }

bool MultiUserFeatureExtractor::GetSmoothingEnabled() const { return FeatureExtractor::usePoseSmoother; }

void MultiUserFeatureExtractor::SetSmoothingFactor(float factor) {
    // A factor that is not a number is stored as 0, like a negative one.
    if (!(factor >= 0)) {
        factor = 0;
    }
    if (factor > 1) {
        factor = 1;
    }
    FeatureExtractor::smoothingFactor = factor;
}

float MultiUserFeatureExtractor::GetSmoothingFactor() const { return FeatureExtractor::smoothingFactor; }

void MultiUserFeatureExtractor::ResetState() {
    m_state.timestamp = SensorTime::InvalidTime();
    m_state.frameId = INT_MIN + 1;
    m_state.lowestHeight = FLT_MAX;
}

void MultiUserFeatureExtractor::RaiseUserEvent(int id, FeatureExtractorEvent::SpecificEventType type) {
    NAEvent event(NAEvent::USER);
    event.user.userId = id;
    event.user.eventType = type;
    event.user.frameId = static_cast<uint32_t>(m_state.frameId);
    event.user.timestamp = m_state.timestamp;
    m_sharedData.GenerateEvent(event);
}
