#include "FullBodySkeleton/FeatureExtractor/MultiUserFeatureExtractor.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstdio>

#include "NACommon/NACommonData.h"
#include "NACommon/NAEvent.h"
#include "QuorLibrary/Utilities/SimpleINI.h"
#include "SceneAnalyzer/SceneAnalyzer.h"

bool MultiUserFeatureExtractor::m_bSSE = true;

MultiUserFeatureExtractor::MultiUserFeatureExtractor()
    : m_lbsEnabled(false),
      m_sceneAnalyzer(nullptr),
      m_commonData(nullptr),
      m_distanceTransformMethod(3),
      m_resolution(QQVGA),
      m_state(),
      m_verbose(false) {
    m_existingLabels.EnsureCapacity(kMaxLabels, false);
    m_activeLabels.EnsureCapacity(kMaxLabels, false);
    for (int i = 0; i < kMaxLabels; ++i) {
        m_existingLabels.Push(false);
        m_activeLabels.Push(false);
    }
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
    if (!m_sharedData.Initialize(configurationDir)) {
        return false;
    }
    return multiResContainer.Initialize(commonData, depth, resolution);
}

void MultiUserFeatureExtractor::ReadParameters() { ReadParameters(m_iniPath, m_verbose); }

void MultiUserFeatureExtractor::ReadParameters(const std::string& iniPath, bool verbose) {
    static const char* const kSection = "FeatureExtractor";
    m_bSSE = true;
    ReadFromINI(iniPath, kSection, "SSE", m_bSSE, verbose);
    if (!m_bSSE) {
        std::printf("Feature Extractor SSE disabled!\n");
    }
    for (auto& entry : m_featureExtractors) {
        entry.second->ReadParameters(iniPath, verbose);
    }
    multiResContainer.dilatedRes = QQVGA;
    VELA_READ_FROM_INI(iniPath, kSection, multiResContainer.dilatedRes, verbose);
    multiResContainer.distanceTransformRes = QQQVGA;
    VELA_READ_FROM_INI(iniPath, kSection, multiResContainer.distanceTransformRes, verbose);
    m_distanceTransformMethod = 3;
    // Both maps need the user masks, which end at the skeleton resolution,
    // and the containers, which start at QQQVGA.
    for (Resolution* level : {&multiResContainer.dilatedRes, &multiResContainer.distanceTransformRes}) {
        *level = std::max(QQQVGA, std::min(*level, m_resolution));
    }
    ReadFromINI(iniPath, kSection, "DistanceTransformMethod", m_distanceTransformMethod, verbose);
}

bool MultiUserFeatureExtractor::InitializeLBS(const xn::DepthGenerator&) { return false; }

void MultiUserFeatureExtractor::Update(const xn::DepthGenerator& depth, const xn::DepthMetaData&,
                                       const xn::SceneMetaData& labels) {
    const int frameId = depth.GetFrameID();
    const SensorTime timestamp(static_cast<int64_t>(depth.GetTimestamp()));
    if (m_commonData != nullptr) {
        m_commonData->Update();
    }
    for (int i = 0; i < kMaxLabels; ++i) {
        m_existingLabels[i] = false;
        m_activeLabels[i] = false;
    }
    for (const auto& entry : m_featureExtractors) {
        if (entry.first >= 0 && entry.first < kMaxLabels) {
            m_existingLabels[entry.first] = true;
            m_activeLabels[entry.first] = entry.second->GetMode() != FeatureExtractor::MODE_STOPPED;
        }
    }
    if (multiResContainer.IsInitialized()) {
        multiResContainer.Update(depth, &labels, &m_activeLabels);
        if (multiResContainer.dilatedRes != INVALID) {
            ComputeDilatedDepthMap();
        }
        ComputeUserLabelInfo();
        CopyUserLabelInfo();
    }
    Plane<float> floor;
    m_sharedData.m_floorKnown = m_sceneAnalyzer != nullptr && m_sceneAnalyzer->GetFloor(floor);
    if (m_sharedData.m_floorKnown) {
        m_sharedData.m_floor = floor;
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
