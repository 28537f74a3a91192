#include "SceneAnalyzer/Segmentation.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iostream>

#include "NACommon/NACommonData.h"
#include "OSLayer/XnOS.h"
#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Farfield.h"
#include "SceneAnalyzer/MotionDetectorByEdges.h"
#include "SceneAnalyzer/SAPlanes.h"
#include "SceneAnalyzer/SegmentationBoxes.h"

using scene_analysis::Grow;

Segmentation::Segmentation()
    : m_verbose(false),
      m_commonData(nullptr),
      m_frameId(0),
      m_depth(nullptr),
      m_prevDepth(nullptr),
      m_shiftMap(nullptr),
      m_shadowMap(nullptr),
      m_resolution(INVALID),
      m_width(0),
      m_height(0),
      m_pixelCount(0),
      m_width8(0),
      m_farfield(nullptr),
      m_planes(nullptr),
      m_floorRotation{1024, 0, 0, 1024},
      m_floorRotationShift(10),
      m_ccDetector(false),
      m_ccPixCount{},
      m_ccArea{},
      m_ccCenterX{},
      m_ccCenterY{},
      m_ccCenterZ{},
      m_ccFgArea{},
      m_ccTrackedArea{},
      m_ccUserMetric{},
      m_ccGlueMetric{},
      m_ccUserId{},
      m_ccToBackground{},
      m_ccRedetected{},
      m_ccCutInDepth{},
      m_ccNoDepth{},
      m_ccIsFg{},
      m_ccIsTracked{},
      m_ccIsForGluing{},
      m_ccIsPositive{},
      m_ccNode{},
      m_ccListed{},
      m_ccGlueUser{},
      m_fgCCs{},
      m_numFgCCs(0),
      m_clusterStatus{},
      m_clusterArea{},
      m_numClusters(0),
      m_numCCs(0),
      m_firstFrame(false),
      m_converter(nullptr),
      m_pShiftToDepth(nullptr),
      m_pDepthToShift(nullptr),
      m_shiftPerPixel(0),
      m_touchTable{},
      m_glueAfterDetection(false),
      m_glueAfterRedetection(false),
      m_redetectFlags{},
      m_profiling(0),
      m_SSE(0),
      m_minAreaToHeightSqr(0.0667f),
      m_maxClusterArea(42687),
      m_maxSupportedDepth(0),
      m_farDepth(0),
      m_farDepth2(0),
      m_farShift(0),
      m_farShift2(0),
      m_histAreaByX{},
      m_histLengthByX{},
      m_histAreaByShift{},
      m_mirrored(false),
      m_sums() {
    for (int id = 0; id <= kMaxUsers; ++id) {
        m_users[id].m_id = static_cast<unsigned short>(id);
    }
}

Segmentation::~Segmentation() {
    if (m_profFile.is_open()) {
        m_profFile.close();
    }
}

void Segmentation::init(NACommonData* hub, Resolution res, int sse, int profiling, unsigned short maxSupportedDepth) {
    m_maxSupportedDepth = maxSupportedDepth;
    m_resolution = res;
    m_commonData = hub;
    m_ccDetector.Set_SSE_Flag(sse);
    if (sse != 0 && !m_ccDetector.BuffersAllocated()) {
        m_ccDetector.Create_Objects_Allocate();
    }
    m_SSE = sse;
    m_profiling = profiling;
    m_labelHistory.Clear();
    // Without a resolution the hub serves, nothing is analysed: update then
    // does nothing.
    if (hub == nullptr || !IsValidResolution(res) || hub->m_pWorldPointConverters[res] == nullptr) {
        return;
    }
    // The hub's maps at res have the resolution's size (streams are never
    // cropped).
    m_width = g_nXRes[res];
    m_height = g_nYRes[res];
    m_width8 = m_width / 8;
    m_pixelCount = m_width * m_height;
    const NAConversions::SensorParameters& params = hub->m_sensorParams;
    m_shiftPerPixel = static_cast<unsigned short>(
        (static_cast<unsigned>(params.nReferenceImageWidth) * params.nParamCoeff) / static_cast<unsigned>(m_width));

    m_floorDepth.SetSize(m_height, m_width, false);
    m_ccDepth.SetSize(m_height, m_width, false);
    m_ccDepth2.SetSize(m_height, m_width, false);
    m_sameDepth.SetSize(m_height, m_width, false);
    m_nearDepth.SetSize(m_height, m_width, false);
    for (Array2D<unsigned short>* map : {&m_floorDepth, &m_ccDepth, &m_ccDepth2}) {
        std::fill(map->Data(), map->Data() + map->Size(), 0);
    }
    for (Array2D<unsigned char>* map : {&m_sameDepth, &m_nearDepth}) {
        std::fill(map->Data(), map->Data() + map->Size(), 0);
    }

    while (m_labelHistory.Count() < m_labelHistory.Capacity()) {
        LabelPyramid& pyramid = m_labelHistory.Push();
        pyramid.m_pOwner = hub;
        pyramid.m_inputResolution = res;
        pyramid.ResetMapExist();
        pyramid.InitializeInputLevel();
        pyramid.m_bFilled[res] = true;
    }

    if (m_labelDebug.AllocateData(static_cast<XnUInt32>(m_width), static_cast<XnUInt32>(m_height)) == XN_STATUS_OK) {
        std::memset(m_labelDebug.WritableData(), 0, m_labelDebug.DataSize());
    }
    m_labelDer.SetSize(m_height, m_width, false);
    std::fill(m_labelDer.Data(), m_labelDer.Data() + m_labelDer.Size(), 0);
    initLabelDer();

    m_converter = hub->m_pWorldPointConverters[res];
    m_pShiftToDepth = hub->m_pShiftToDepth;
    m_pDepthToShift = hub->m_pDepthToShift;
    m_farDepth = static_cast<short>(m_maxSupportedDepth * 1.1);
    m_farDepth2 = static_cast<short>(2 * m_farDepth);
    const unsigned maxDepth = params.nDeviceMaxDepthValue;
    const int deepest = maxDepth < hub->m_nDepthTableCapacity ? m_pDepthToShift[maxDepth] : 0;
    m_farShift = static_cast<short>(deepest * 1.1);
    m_farShift2 = static_cast<short>(2 * m_farShift);
    m_disjointSet.SetCapacity(kMaxCCs);
    m_firstFrame = true;
    for (int id = kMaxUsers; id >= 1; --id) {
        m_freeIds.push_back(static_cast<unsigned short>(id));
    }
    m_touchings.reserve(kMaxUsers * kMaxUsers);
    m_injections.reserve(kMaxUsers);
}

unsigned short Segmentation::TakeFreeId() {
    if (m_freeIds.empty()) {
        return 0;
    }
    const unsigned short id = m_freeIds.back();
    m_freeIds.pop_back();
    return id;
}

void Segmentation::ProfileStep(unsigned long long& last) {
    if (m_profiling == 0) {
        return;
    }
    XnUInt64 now = 0;
    xnOSGetHighResTimeStamp(&now);
    m_profFile << static_cast<double>(now - last) * 1e-6 << ",  ";
    last = now;
}

void Segmentation::update(const Array2D<unsigned short>& shadowMap, const MotionDetectorByEdges& motion,
                          const SAPlanes& planes, Farfield& farfield, const std::vector<Vector2D<int>>* points) {
    if (m_labelHistory.Count() == 0) {
        return;
    }
    XnUInt64 start = 0;
    xnOSGetHighResTimeStamp(&start);
    unsigned long long last = start;
    m_farfield = &farfield;
    m_planes = &planes;

    updateFrame(shadowMap);
    if (farfield.IsReset() != 0) {
        for (int k = 1; k <= kMaxUsers; ++k) {
            m_users[k].turnOffFgState();
        }
    }
    m_firstFrame = false;
    ProfileStep(last);
    if (m_SSE != 0) {
        updateDepthForCC_SSE();
    } else {
        updateDepthForCC();
    }
    ProfileStep(last);
    labelComponents();
    ProfileStep(last);
    if (m_SSE != 0) {
        derivateLabels_SSE();
    } else {
        derivateLabels();
    }
    ProfileStep(last);
    computeImageDiff();
    ProfileStep(last);
    computeCCProperties();
    copyCCStructs2Properties();
    ProfileStep(last);
    findTouching();
    ProfileStep(last);
    firstTreatmentForTouching();
    ProfileStep(last);
    handleReset();
    ProfileStep(last);
    excludeBgCCs();
    ProfileStep(last);
    ReassignWeaklyRelatedUserParts();
    ProfileStep(last);
    labelPartitioning2();
    ProfileStep(last);
    mergeResetCCsIntoBG();
    ProfileStep(last);

    const bool settled =
        farfield.m_bMotionDetected == 0 && farfield.m_bMotionSuspected == 0 && farfield.m_nFramesSinceReset > 29;
    if (settled) {
        labelGluing();
        ProfileStep(last);
        m_glueAfterRedetection = false;
        std::fill(m_redetectFlags, m_redetectFlags + kMaxUsers + 1, 0);
        redetectOccludedUsersByFG();
        ProfileStep(last);
        redetectOccludedUsersInSamePlace();
        ProfileStep(last);
        if (m_glueAfterRedetection) {
            labelGluing();
        }
        ProfileStep(last);
        m_glueAfterDetection = false;
        detectionBySuspects(motion);
        ProfileStep(last);
        detectionByFg();
        ProfileStep(last);
        detectionByPoint(points);
        ProfileStep(last);
        if (m_glueAfterDetection) {
            labelGluing();
        }
        ProfileStep(last);
    } else if (m_profiling != 0) {
        m_profFile << "0,  0,  0,  0,  0,  0,  0,  ";
    }
    injectUsers();

    fillHoles();
    ProfileStep(last);
    updateUsers();
    ProfileStep(last);
    remapLabels();
    ProfileStep(last);
    ComputeRobustCenters();
    ProfileStep(last);
    updateUserFgState();
    ProfileStep(last);
    remapTouching();
    ProfileStep(last);
    farfield.Feedback(Labels());
    farfield.UpdateFarfieldWithMemory();
    ProfileStep(last);
    if (m_profiling != 0) {
        m_profFile << static_cast<double>(last - start) * 1e-6 << std::endl;
    }
}

void Segmentation::Trace(int id, const char* text) const {
    if (m_verbose) {
        std::cout << m_frameId << ": user " << id << text << std::endl;
    }
}

void Segmentation::handleReset() {
    const Farfield& farfield = *m_farfield;
    if (farfield.CameraMotionDetectedAfterOcclusion() != 0) {
        for (int k = 1; k <= kMaxUsers; ++k) {
            if (m_users[k].alive()) {
                Trace(k, " killed due to occlusion Kill command");
                killUser(static_cast<unsigned short>(k));
            }
        }
        return;
    }
    if (farfield.m_bMotionDetected == 0 && farfield.m_bMotionSuspected == 0) {
        return;
    }
    for (int k = 1; k <= kMaxUsers; ++k) {
        User& user = m_users[k];
        if (!user.alive() || user.partiallyOrFullyOccluded()) {
            continue;
        }
        if (static_cast<long long>(user.age()) < farfield.m_nMotionLevel) {
            Trace(k,
                  " killed due to user too young relative to the detected camera "
                  "motion");
            killUser(static_cast<unsigned short>(k));
            continue;
        }
        if (user.m_isSwallowed) {
            continue;
        }
        const int p = user.m_swallowedId;
        long long area = 0;
        long long kept = 0;
        for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
            area += m_ccArea[*c];
            kept += m_ccUserMetric[*c][k] + (p != 0 ? m_ccUserMetric[*c][p] : 0);
        }
        long long lastArea = user.area();
        if (p != 0) {
            const User& other = m_users[p];
            for (const int* c = other.ccBegin(); c != other.ccEnd(); ++c) {
                area += m_ccArea[*c];
                kept += m_ccUserMetric[*c][k] + m_ccUserMetric[*c][p];
            }
            lastArea += other.area();
        }
        if (3 * area < 2 * lastArea || 10 * kept < 8 * area) {
            Trace(k, " killed due to too small area");
            killUser(static_cast<unsigned short>(k));
            if (p != 0) {
                killUser(static_cast<unsigned short>(p));
            }
        }
    }
    for (int k = 1; k <= kMaxUsers; ++k) {
        User& user = m_users[k];
        if (!user.alive() || !user.occluded()) {
            continue;
        }
        for (int j = 1; j <= kMaxUsers; ++j) {
            if (user.occludedBy(j)) {
                if (!m_users[j].alive()) {
                    if (m_verbose) {
                        std::cout << m_frameId << ": user " << k << " killed due to the death of the occluding user ("
                                  << j << ")" << std::endl;
                    }
                    killUser(static_cast<unsigned short>(k));
                }
                break;
            }
        }
    }
}

void Segmentation::injectUsers() {
    for (const Box3D<int>& box : m_injections) {
        const unsigned short id = TakeFreeId();
        if (id == 0) {
            break;
        }
        User& user = m_users[id];
        user.init(m_commonData, box, id, m_resolution);
        for (int c = 1; c <= m_numCCs; ++c) {
            if (m_ccUserId[c] == 0 && m_ccIsPositive[c] && !m_ccNoDepth[c] && isCCInBox(c, box) && user.addCC(c)) {
                m_ccUserId[c] = id;
            }
        }
    }
    m_injections.clear();
}

void Segmentation::updateUsers() {
    m_usersBox = Box3D<int>();
    UserSums& s = m_sums;
    for (int k = 0; k <= kMaxUsers; ++k) {
        s.area[k] = 0;
        s.fgArea[k] = 0;
        s.sumX[k] = 0;
        s.sumY[k] = 0;
        s.sumZ[k] = 0;
        s.box[k] = Box3D<int>();
        s.roomBox[k] = Box3D<int>();
    }
    for (int k = 1; k <= kMaxUsers; ++k) {
        const User& user = m_users[k];
        if (!user.alive()) {
            continue;
        }
        for (const int* p = user.ccBegin(); p != user.ccEnd(); ++p) {
            const int c = *p;
            if (m_ccUserId[c] != k) {
                continue;
            }
            Grow(s.box[k], m_ccBox[c]);
            Grow(s.roomBox[k], m_ccBoxInRoom[c]);
            const long long a = m_ccArea[c];
            s.area[k] += m_ccArea[c];
            s.fgArea[k] += m_ccFgArea[c];
            s.sumX[k] += a * m_ccCenterX[c];
            s.sumY[k] += a * m_ccCenterY[c];
            s.sumZ[k] += a * m_ccCenterZ[c];
        }
    }
    checkTouchings(s.area, s.sumX, s.sumZ, s.box, s.roomBox);
    for (int k = 1; k <= kMaxUsers; ++k) {
        m_users[k].m_isSwallowed = false;
        m_users[k].m_swallowedId = 0;
    }
    for (const TouchingEvent& event : m_touchings) {
        m_users[event.m_secondId].m_isSwallowed = true;
        m_users[event.m_firstId].m_swallowedId = event.m_secondId;
    }
    const int cx = m_converter->m_nCenterX;
    const int cy = m_converter->m_nCenterY;
    for (int k = 1; k <= kMaxUsers; ++k) {
        User& user = m_users[k];
        if (!user.alive()) {
            continue;
        }
        const long long area = s.area[k];
        Vector3D<int> centre;
        int occludedRows = 0;
        if (area == 0) {
            if (user.isNew()) {
                killUser(static_cast<unsigned short>(k));
                continue;
            }
        } else {
            const int z = static_cast<int>(s.sumZ[k] / area);
            centre.x = m_converter->LengthAtDepthInt(z, static_cast<int>(s.sumX[k] / area) - cx);
            centre.y = m_converter->LengthAtDepthInt(z, cy - static_cast<int>(s.sumY[k] / area));
            centre.z = z;
            occludedRows = countOccludedPix(k, s.box[k]);
        }
        if ((area > 1500000 && user.m_swallowedId == 0) || (area > 2000000 && user.m_swallowedId != 0)) {
            Trace(k, " killed due to size too big");
            killUser(static_cast<unsigned short>(k));
            continue;
        }
        user.update(centre, s.box[k], s.roomBox[k], s.area[k], s.fgArea[k], occludedRows);
        Grow(m_usersBox, s.box[k]);
        if (user.m_occlusionTime > 300) {
            Trace(k, " killed due to long occlusion time");
            killUser(static_cast<unsigned short>(k));
        }
    }
    for (int j = 1; j <= kMaxUsers; ++j) {
        if (!m_users[j].alive()) {
            for (int k = 1; k <= kMaxUsers; ++k) {
                m_users[k].setOccludedBy(j, false);
            }
        }
    }
    checkOcclusions();
}

void Segmentation::killUser(unsigned short id) {
    User& user = m_users[id];
    // A second kill of a dead slot would hand its id out twice.
    if (!user.alive()) {
        return;
    }
    user.kill();
    m_freeIds.push_back(id);
    for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
        m_ccUserId[*c] = 0;
    }
    user.resetCCs();
}

void Segmentation::updateUserFgState() {
    const XnLabel* labels = Labels().Data();
    for (int k = 1; k <= kMaxUsers; ++k) {
        User& user = m_users[k];
        if (!user.alive() || user.isFg() || user.partiallyOrFullyOccluded() || 2LL * user.fgArea() <= user.area() ||
            user.m_isSwallowed || user.m_swallowedId != 0) {
            continue;
        }
        const Box3D<int>& b = user.box();
        const Box3D<int>& f = user.firstBox();
        const long long xOverlap = static_cast<long long>(std::min(b.max.x, f.max.x)) - std::max(b.min.x, f.min.x);
        const long long yOverlap = static_cast<long long>(std::min(b.max.y, f.max.y)) - std::max(b.min.y, f.min.y);
        const long long firstWidth = static_cast<long long>(f.max.x) - f.min.x;
        const long long firstHeight = static_cast<long long>(f.max.y) - f.min.y;
        bool moved = b.min.z > f.max.z || xOverlap <= 0 || 2 * xOverlap * yOverlap < firstWidth * firstHeight;
        if (!moved) {
            // The span of the user's pixels inside the first box.
            const int x0 = std::max(std::max(b.min.x, f.min.x), 0);
            const int x1 = std::min(std::min(b.max.x, f.max.x), m_width - 1);
            const int y0 = std::max(std::max(b.min.y, f.min.y), 0);
            const int y1 = std::min(std::min(b.max.y, f.max.y), m_height - 1);
            int first = INT_MAX;
            int lastColumn = INT_MIN;
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    if (labels[y * m_width + x] == k) {
                        first = std::min(first, x);
                        lastColumn = std::max(lastColumn, x);
                    }
                }
            }
            moved = first > lastColumn || firstWidth > 2LL * (lastColumn - first);
        }
        if (moved) {
            user.turnOnFgState();
        }
    }
}

void Segmentation::remapLabels() {
    for (int k = 1; k <= kMaxUsers; ++k) {
        const User& user = m_users[k];
        if (!user.alive()) {
            for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
                m_ccUserId[*c] = 0;
            }
        }
    }
    XnLabel* labels = Labels().WritableData();
    XnLabel* debug = m_labelDebug.WritableData();
    if (labels == nullptr || debug == nullptr) {
        return;
    }
    for (int i = 0; i < m_pixelCount; ++i) {
        const XnLabel label = labels[i];
        debug[i] = label;
        // Labels beyond the component slots belong to no component.
        labels[i] = label <= m_numCCs ? m_ccUserId[label] : 0;
    }
}

void Segmentation::GetDebugBoxes(std::vector<Box3D<int>>& boxes, std::vector<int>& ids, const std::string& type) {
    boxes.clear();
    ids.clear();
    if (type == "users" || type == "stable boxes") {
        const bool stable = type == "stable boxes";
        for (int k = 1; k <= kMaxUsers; ++k) {
            if (m_users[k].alive()) {
                boxes.push_back(stable ? m_users[k].stableBox() : m_users[k].box());
                ids.push_back(k);
            }
        }
    } else if (type == "foreground clusters") {
        const int clusters = clusterFgCCs(false, true);
        for (int i = 0; i < clusters; ++i) {
            if (m_clusterStatus[i] != 0) {
                boxes.push_back(m_clusterBox[i]);
            }
        }
        clusterFgCCs(false, false);
    } else {
        std::cerr << "Segmentation::GetDebugBoxes Error - Unknown boxes type" << std::endl;
    }
}

bool Segmentation::CcsSanityCheck() const {
    for (int c = 1; c <= m_numCCs; ++c) {
        if (m_ccUserId[c] != 0 && (m_ccArea[c] <= 0 || m_ccBox[c].max.z < 0 || m_ccPixCount[c] <= 0)) {
            return false;
        }
    }
    return true;
}

void Segmentation::SetProfFile(const char* path) {
    if (m_profFile.is_open()) {
        m_profFile.close();
    }
    m_profFile.clear();
    m_profFile.open(path, std::ios::out | std::ios::trunc);
    m_profFile << "UpdateFrame(Seg),  DepthForCC,  Detector.Run(Seg),  "
                  "DerivateLabels,  ComputeImageDiff\t\t\t\t\t\t   "
                  ",  ComputeCC,  FindTouching,  FirstTreatment,  HandleReset,  "
                  "ExcludeBgCC,  LabelPartition1,  "
                  "LabelPartition2\t\t\t\t\t\t   ,  MergeResetCC,  "
                  "LabelGluing(1),  RedetectByBG,  RedetectSamePlace,  "
                  "LabelGluing(2)\t\t\t\t\t\t   ,  DetectionBysuspects,  "
                  "DetectionByBg,  LabelGluing(3),  FillHoles,  "
                  "UpdateUsers,  RemapLabels,  UpdateUsersFG\t\t\t\t\t\t   ,  "
                  "remapTouching,  Feedback(Seg),  Total"
               << std::endl;
}
