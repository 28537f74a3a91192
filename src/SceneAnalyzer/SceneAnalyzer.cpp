#include "SceneAnalyzer/SceneAnalyzer.h"

#include <cstring>

#include "NACommon/NACommonData.h"

SceneAnalyzer::SceneAnalyzer() : m_pCommonData(nullptr), m_initialized(false), m_floorKnown(false) {}

SceneAnalyzer::~SceneAnalyzer() = default;

bool SceneAnalyzer::Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                               const SAConfiguration& configuration, const xn::ImageGenerator* image) {
    m_configuration = configuration;
    m_pCommonData = commonData;
    if (!m_pCommonData->Initialize(depth, m_configuration.m_resolution, image, nullptr)) {
        return false;
    }
    m_labels.m_pOwner = m_pCommonData;
    m_labels.m_inputResolution = m_configuration.m_resolution;
    m_initialized = true;
    return true;
}

void SceneAnalyzer::Update(const std::vector<Vector2D<int> >*, int) {
    if (!m_initialized) {
        return;
    }
    m_pCommonData->Update();
    m_pCommonData->SetImageBorders(m_configuration.m_resolution);
    // Nobody in the scene: the label map is empty.
    m_labels.ResetMapExist();
    m_labels.InitializeInputLevel();
    m_labels.m_bFilled[m_configuration.m_resolution] = true;
}

bool SceneAnalyzer::IsUserAlive(int) const { return false; }

const xn::SceneMetaData& SceneAnalyzer::GetLabelMap(Resolution resolution) {
    if (m_initialized && m_labels.m_bFilled[m_configuration.m_resolution]) {
        return m_labels[resolution];
    }
    if (IsValidResolution(resolution) &&
        m_emptyLabels.AllocateData(g_nXRes[resolution], g_nYRes[resolution]) == XN_STATUS_OK) {
        std::memset(m_emptyLabels.WritableData(), 0, m_emptyLabels.DataSize());
    }
    return m_emptyLabels;
}

bool SceneAnalyzer::GetFloor(Plane<float>& floor) const {
    floor = m_floor;
    return m_floorKnown;
}
