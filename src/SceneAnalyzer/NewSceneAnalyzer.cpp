#include "SceneAnalyzer/NewSceneAnalyzer.h"

#include <cstring>

#include "NACommon/NACommonData.h"

namespace {

// Weights of the motion background: 29/30 of the old value.
constexpr float kBackgroundKeep = 0.96666664f;
constexpr float kBackgroundTake = 0.03333336f;
// A pixel moves when its shift lies this far in front of the background.
constexpr float kMotionMargin = 3.0f;
// Region counts that steer the hybrid threshold.
constexpr int kManyRegions = 70;
constexpr int kFewRegions = 50;
constexpr int kThresholdStep = 10;

SAConfiguration DefaultConfiguration() {
    SAConfiguration c;
    c.m_SSE = {1, -1, 1000000000};
    c.m_profiling = {0, -1, -1};
    c.m_output = {0, -1, -1};
    c.m_bitExact = {0, -1, -1};
    c.m_resolution = QQVGA;
    c.m_outputResolution = QQVGA;
    c.m_verName.clear();
    c.m_MaxSupportedDepth = 8000;
    return c;
}

}  // namespace

NewSceneAnalyzer::NewSceneAnalyzer() : NewSceneAnalyzer(nullptr) {}

NewSceneAnalyzer::NewSceneAnalyzer(NACommonData* hub)
    : m_pCommonData(hub),
      m_nFrameId(0),
      m_firstMotionDetection(true),
      m_hybridThreshold(kInitialHybridThreshold),
      m_configuration(DefaultConfiguration()),
      m_depthSums() {
    m_planes.m_pCommonData = hub;
    m_freeObjectIds.reserve(kMaxObjectIds);
    ResetCCs();
}

NewSceneAnalyzer::~NewSceneAnalyzer() {
    if (m_profilingFile.is_open()) {
        m_profilingFile.close();
    }
}

bool NewSceneAnalyzer::Initialize(NACommonData* hub, const xn::DepthGenerator& depth,
                                  const SAConfiguration& configuration, const xn::ImageGenerator* image) {
    m_pCommonData = hub;
    m_configuration = configuration;
    const Resolution res = m_configuration.m_resolution;
    if (m_pCommonData == nullptr || !IsValidResolution(res) ||
        !m_pCommonData->Initialize(depth, res, image, nullptr)) {
        return false;
    }
    const int profiling = m_configuration.m_profiling.on;
    if (profiling != 0) {
        m_profilingFile.open("SAoverallProf.csv", std::ios::out | std::ios::trunc);
        m_profilingFile << "shadow, Farfield, motionDetector, SAPlane, segmentation, total" << std::endl;
    }
    if (m_configuration.m_bitExact.on != 0) {
        const std::string& name = m_pCommonData->m_strRecordingFileName;
        m_bitExactFileName = (name.empty() ? std::string("SENSOR.oni") : name) + ".bitExact";
    }
    const int sse = m_configuration.m_SSE.on;
    m_planes.Initialize(m_pCommonData, res, sse, profiling, std::vector<Vector2D<int> >(),
                        m_configuration.m_MaxSupportedDepth);
    m_ccDetector.Set_SSE_Flag(sse);
    if (sse != 0 && !m_ccDetector.BuffersAllocated()) {
        m_ccDetector.Create_Objects_Allocate();
    }
    const int width = g_nXRes[res];
    const int height = g_nYRes[res];
    m_motionBackground.SetSize(height, width, false);
    m_motionMask.SetSize(height, width, false);
    m_segmentationInput.SetSize(height, width, false);
    m_labelMaps.Clear();
    m_objectMaps.Clear();
    ResetCCs();
    m_freeObjectIds.clear();
    for (int id = kMaxObjectIds; id >= 1; --id) {
        m_freeObjectIds.push_back(static_cast<uint16_t>(id));
    }
    m_firstMotionDetection = true;
    m_hybridThreshold = kInitialHybridThreshold;
    return true;
}

void NewSceneAnalyzer::Update() {
    const Resolution res = m_configuration.m_resolution;
    m_pCommonData->Update();
    m_pCommonData->SetImageBorders(res);
    m_nFrameId = m_pCommonData->m_nFrameID;
    m_planes.Update(m_pCommonData->ShiftMap(res, 0), 0);
    ImageSegmentation();
    TrackCcs();
    UpdateObjectLabel();
    MotionDetection();
}

void NewSceneAnalyzer::ImageSegmentation() {
    const Resolution res = m_configuration.m_resolution;
    const int width = g_nXRes[res];
    const int height = g_nYRes[res];
    const Array2D<unsigned short>& hybrid = m_pCommonData->m_hybridPyramid[res];
    const XnLabel* planeIds = m_planes.m_planeIdMap.Data();
    const bool hasPlaneIds = planeIds != nullptr &&
                             static_cast<int>(m_planes.m_planeIdMap.XRes()) == width &&
                             static_cast<int>(m_planes.m_planeIdMap.YRes()) == height;
    const unsigned short noDepth = m_pCommonData->m_nMaxHybridValue;
    m_segmentationInput.SetSize(height, width, false);
    const unsigned short* in = hybrid.Data();
    unsigned short* out = m_segmentationInput.Data();
    const int pixels = width * height;
    for (int i = 0; i < pixels; ++i) {
        const bool onPlane = hasPlaneIds && planeIds[i] >= 1 && planeIds[i] <= 5;
        out[i] = (onPlane || in[i] == noDepth) ? 0 : in[i];
    }
    xn::SceneMetaData& labels = m_labelMaps.Push();
    labels.AllocateData(width, height);
    m_ccDetector.Run(m_segmentationInput.Data(), static_cast<const bool*>(nullptr),
                     static_cast<const bool*>(nullptr), width, height, labels, m_hybridThreshold);
    ComputeCCProperties();

    const int regions = m_ccs.GetCurrent().Size();
    if (regions > kManyRegions) {
        m_hybridThreshold += kThresholdStep;
    } else if (regions < kFewRegions) {
        m_hybridThreshold -= kThresholdStep;
        if (m_hybridThreshold < kInitialHybridThreshold) {
            m_hybridThreshold = kInitialHybridThreshold;
        }
    }
}

void NewSceneAnalyzer::UpdateObjectLabel() {
    const xn::SceneMetaData& labels = m_labelMaps.GetCurrent();
    const int width = labels.XRes();
    const int height = labels.YRes();
    xn::SceneMetaData& objects = m_objectMaps.Push();
    objects.AllocateData(width, height);
    const Array<NewConnectedComponent>& ccs = m_ccs.GetCurrent();
    const int regions = ccs.Size();
    const XnLabel* in = labels.Data();
    XnLabel* out = objects.WritableData();
    const int pixels = width * height;
    // Pixels of regions beyond the array get no object, rather than what
    // the slot held three frames ago.
    for (int i = 0; i < pixels; ++i) {
        out[i] = in[i] < regions ? ccs[in[i]].m_objectId : 0;
    }
}

void NewSceneAnalyzer::MotionDetection() {
    const Resolution res = m_configuration.m_resolution;
    const Array2D<unsigned short>& shift = m_pCommonData->ShiftMap(res, 0);
    const int pixels = static_cast<int>(shift.Size());
    const unsigned short* s = shift.Data();
    float* background = m_motionBackground.Data();
    if (m_firstMotionDetection) {
        for (int i = 0; i < pixels; ++i) {
            background[i] = s[i];
        }
        m_firstMotionDetection = false;
        return;
    }
    for (int i = 0; i < pixels; ++i) {
        if (s[i] != 0) {
            background[i] = background[i] * kBackgroundKeep + static_cast<float>(s[i]) * kBackgroundTake;
        }
    }
    bool* mask = m_motionMask.Data();
    for (int i = 0; i < pixels; ++i) {
        mask[i] = s[i] == 0 || background[i] > static_cast<float>(s[i]) + kMotionMargin;
    }
}
