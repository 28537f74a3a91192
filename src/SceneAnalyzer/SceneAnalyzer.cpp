#include "SceneAnalyzer/SceneAnalyzer.h"

#include <cstdio>
#include <cstring>
#include <iostream>

#include "NACommon/NACommonData.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"

SceneAnalyzer::SceneAnalyzer()
    : m_pCommonData(nullptr),
      m_outputWriter(AlgoOutput::MODE_WRITE),
      m_initialized(false),
      m_reportedUninitialized(false),
      m_pSeeds(nullptr) {}

SceneAnalyzer::~SceneAnalyzer() = default;

bool SceneAnalyzer::Initialize(NACommonData* commonData, const xn::DepthGenerator& depth,
                               const SAConfiguration& configuration, const xn::ImageGenerator* image) {
    m_configuration = configuration;
    m_pCommonData = commonData;
    const Resolution res = m_configuration.m_resolution;
    if (m_pCommonData == nullptr || !IsValidResolution(res)) {
        xnLogError(XN_LOG_MASK_ALL, "SceneAnalyzer: no analysis at resolution %d", static_cast<int>(res));
        return false;
    }
    if (!m_pCommonData->Initialize(depth, res, image, nullptr)) {
        return false;
    }
    const int sse = m_configuration.m_SSE.on;
    const int profiling = m_configuration.m_profiling.on;
    if (profiling != 0) {
        m_profilingFile.open(kProfilingFile, std::ios::out | std::ios::trunc);
        m_profilingFile << "shadow, Farfield, motionDetector, SAPlane, segmentation, total" << std::endl;
    }
    if (m_configuration.m_bitExact.on != 0) {
        const std::string& name = m_pCommonData->m_strRecordingFileName;
        m_bitExactFileName = (name.empty() ? std::string("SENSOR.oni") : name) + ".bitExact";
    }
    m_pointFile.Initialize(m_pCommonData, PointFile::CodeOfWidth(g_nXRes[res]));
    m_shadowMap.SetSize(g_nYRes[res], g_nXRes[res], false);
    const unsigned short maxDepth = m_configuration.m_MaxSupportedDepth;
    m_motionDetector.init(m_pCommonData, res, sse, profiling, maxDepth);
    m_planes.Initialize(m_pCommonData, res, sse, profiling, m_pointFile.GetSAPlanePoints(), maxDepth);
    m_farfield.Initialize(m_pCommonData, res, sse, profiling);
    m_segmentation.init(m_pCommonData, res, sse, profiling, maxDepth);
    m_initialized = true;
    if (m_configuration.m_output.on != 0) {
        InitializeOutput();
    }
    return true;
}

void SceneAnalyzer::ProfileStage(XnUInt64& last) {
    if (!m_profilingFile.is_open()) {
        return;
    }
    XnUInt64 now = 0;
    xnOSGetHighResTimeStamp(&now);
    m_profilingFile << static_cast<double>(now - last) * 1e-6 << ",  ";
    last = now;
}

void SceneAnalyzer::Update(const std::vector<Vector2D<int> >* points, int flag) {
    if (!m_initialized) {
        if (!m_reportedUninitialized) {
            xnLogError(XN_LOG_MASK_ALL, "SceneAnalyzer: not initialised; the scene is not analysed");
            m_reportedUninitialized = true;
        }
        return;
    }
    XnUInt64 start = 0;
    xnOSGetHighResTimeStamp(&start);
    XnUInt64 last = start;
    const Resolution res = m_configuration.m_resolution;
    m_pCommonData->Update();
    m_pCommonData->SetImageBorders(res);
    m_pSeeds = points;
    if (flag != 0 || points == nullptr) {
        m_pointFile.Update(points);
        m_pSeeds = &m_pointFile.GetPoints();
    }
    ShadowAlgo(m_pCommonData, res, m_shadowMap);
    ProfileStage(last);
    FarfieldUpdate();
    ProfileStage(last);
    m_motionDetector.update(m_shadowMap);
    ProfileStage(last);
    m_planes.Update(m_farfield.m_background, m_farfield.IsReset());
    ProfileStage(last);
    m_segmentation.update(m_shadowMap, m_motionDetector, m_planes, m_farfield, m_pSeeds);
    ProfileStage(last);

    const int frame = m_pCommonData->m_nFrameID;
    if (m_profilingFile.is_open()) {
        m_profilingFile << static_cast<double>(last - start) * 1e-6 << std::endl;
        // Development profiling covers a fixed run; later frames go unwritten.
        if (frame > kLastProfiledFrame) {
            m_profilingFile.close();
        }
    }
    if (m_configuration.m_bitExact.on != 0) {
        if (frame > m_configuration.m_bitExact.lastFrame) {
            if (m_bitExactFile.is_open()) {
                m_bitExactFile.close();
            }
        } else if (frame >= m_configuration.m_bitExact.firstFrame) {
            WriteBitExact();
        }
    }
    if (m_configuration.m_output.on != 0) {
        WriteOutputFrame();
    }
}

void SceneAnalyzer::ShadowAlgo(NACommonData* hub, Resolution res, Array2D<unsigned short>& shadowMap) {
    const int width = g_nXRes[res];
    const int height = g_nYRes[res];
    const NAConversions::SensorParameters& params = hub->m_sensorParams;
    const uint16_t step = static_cast<uint16_t>(
        (static_cast<uint32_t>(params.nReferenceImageWidth) * params.nParamCoeff) / static_cast<uint32_t>(width));
    const uint32_t maxDepth = params.nDeviceMaxDepthValue;
    const int deepest = maxDepth < hub->m_nDepthTableCapacity ? hub->m_pDepthToShift[maxDepth] : 0;
    const uint16_t base = static_cast<uint16_t>(deepest + 2 * step);

    shadowMap.SetSize(height, width, false);
    std::memset(shadowMap.Data(), 0, static_cast<size_t>(shadowMap.Size()) * sizeof(unsigned short));
    const Array2D<unsigned short>& shift = hub->ShiftMap(res, 0);
    if (shift.Columns() != width || shift.Rows() != height) {
        return;
    }
    // The band lies on the side away from the projector: to the right of
    // objects in a mirrored stream.
    const bool leftToRight = hub->m_pDepthGenerator != nullptr && hub->m_pDepthGenerator->IsMirrored();
    for (int y = 0; y < height; ++y) {
        ShadowRow(shift.Data() + y * width, shadowMap.Data() + y * width, width, leftToRight, step, base);
    }
}

void SceneAnalyzer::ShadowRow(const unsigned short* shift, unsigned short* shadow, int width, bool leftToRight,
                              int step, int base) {
    const int first = leftToRight ? 0 : width - 1;
    const int direction = leftToRight ? 1 : -1;
    int x = first;
    while (x >= 0 && x < width && shift[x] == 0) {
        x += direction;
    }
    bool afterObject = false;
    int fill = 0;
    int budget = 0;
    for (; x >= 0 && x < width; x += direction) {
        if (shift[x] != 0) {
            afterObject = true;
            continue;
        }
        if (afterObject) {
            fill = shift[x - direction];
            budget = base - fill;
        }
        afterObject = false;
        budget -= step;
        if (budget >= 0) {
            shadow[x] = static_cast<unsigned short>(fill);
        }
    }
}

void SceneAnalyzer::FarfieldUpdate() {
    m_userBoxes.clear();
    m_userOccluding.clear();
    for (int id = 1; id <= kMaxUsers; ++id) {
        const User& user = m_segmentation.GetUser(id);
        if (!user.alive() || user.box().max.x < 0) {
            continue;
        }
        Box3D<int> box = user.box();
        if (user.IsOccluding()) {
            box.min.x = user.leftWithShadow();
            box.max.x = user.rightWithShadow();
        }
        m_userBoxes.push_back(box);
        m_userOccluding.push_back(user.IsOccluding());
    }
    const Resolution res = m_configuration.m_resolution;
    const xn::DepthMetaData* depths[2] = {&m_pCommonData->DepthMap(res, 0), &m_pCommonData->DepthMap(res, 1)};
    const Array2D<unsigned short>* shifts[3] = {&m_pCommonData->ShiftMap(res, 0), &m_pCommonData->ShiftMap(res, 1),
                                                &m_pCommonData->ShiftMap(res, 2)};
    // The label history has not advanced yet: these are the previous
    // frame's users.
    m_farfield.Update(depths, shifts, m_shadowMap.Data(), m_segmentation.CurrentLabelMap(), m_userBoxes,
                      m_userOccluding);
}

const Array2D<unsigned short>& SceneAnalyzer::GetForegroundImage() const { return m_farfield.GetForegroundImage(); }

bool SceneAnalyzer::IsUserAlive(int id) const {
    return m_initialized && id >= 1 && id <= kMaxUsers && m_segmentation.GetUser(id).alive();
}

const xn::SceneMetaData& SceneAnalyzer::GetLabelMap(Resolution resolution) {
    if (m_initialized) {
        return m_segmentation.CurrentLabels()[resolution];
    }
    if (IsValidResolution(resolution) &&
        m_emptyLabels.AllocateData(g_nXRes[resolution], g_nYRes[resolution]) == XN_STATUS_OK) {
        std::memset(m_emptyLabels.WritableData(), 0, m_emptyLabels.DataSize());
    }
    return m_emptyLabels;
}

bool SceneAnalyzer::GetFloor(Plane<float>& floor) const {
    if (!m_initialized) {
        floor = m_noFloor;
        return false;
    }
    floor = m_planes.Floor().m_plane;
    return m_planes.Floor().m_hasSAPlane;
}

void SceneAnalyzer::GetDebugBoxes(std::vector<Box3D<int> >& boxes, std::vector<int>& ids, const std::string& type) {
    boxes.clear();
    ids.clear();
    if (type == "users" || type == "stable boxes" || type == "foreground clusters") {
        m_segmentation.GetDebugBoxes(boxes, ids, type);
    } else if (type == "suspects" || type == "clusters" || type == "blocks") {
        m_motionDetector.GetDebugBoxes(boxes, ids, type);
    } else {
        std::cerr << "SceneAnalyzer::GetDebugBoxes Error - Unknown boxes type" << std::endl;
    }
}

void SceneAnalyzer::SetProfFolder(const char* folder) {
    char path[1024];
    std::snprintf(path, sizeof(path), "%s/farfieldProf.csv", folder);
    m_farfield.SetProfFile(path);
    std::snprintf(path, sizeof(path), "%s/segmentationProf.csv", folder);
    m_segmentation.SetProfFile(path);
    std::snprintf(path, sizeof(path), "%s/motionProf.csv", folder);
    m_motionDetector.SetProfFile(path);
}

int SceneAnalyzer::Compare_Qsort(const void* a, const void* b) {
    const int32_t x = *static_cast<const int32_t*>(a);
    const int32_t y = *static_cast<const int32_t*>(b);
    return x > y ? -1 : (x < y ? 1 : 0);
}
