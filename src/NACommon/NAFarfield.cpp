#include "NACommon/NAFarfield.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "NACommon/NACommonData.h"
#include "NACommon/NALogger.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnOS.h"

namespace {

template <typename T>
void Fill(Array2D<T>& map, T value) {
    std::fill(map.Data(), map.Data() + map.Size(), value);
}

// Sizes a map to width x height (its storage only grows) and zeroes it.
template <typename T>
void Prepare(Array2D<T>& map, int width, int height) {
    map.SetSize(height, width, false);
    Fill(map, T(0));
}

// The resolution whose tables have this size; INVALID when none has.
Resolution ResolutionOfSize(int width, int height) {
    for (int r = QQQQVGA; r <= SXGA; ++r) {
        if (g_nXRes[r] == width && g_nYRes[r] == height) {
            return static_cast<Resolution>(r);
        }
    }
    return INVALID;
}

}  // namespace

NAFarfield::NAFarfield()
    : m_bVerbose(false),
      m_pCommonData(nullptr),
      m_bSSE(0),
      m_resolution(INVALID),
      m_nXRes(0),
      m_nYRes(0),
      m_nPixels(0),
      m_nFrameId(0),
      m_pCurrentDepth(nullptr),
      m_pPreviousDepth(nullptr),
      m_pWorldConverter(nullptr),
      m_pShift(nullptr),
      m_pShiftPrev(nullptr),
      m_pShiftPrev2(nullptr),
      m_nRowBands(0),
      m_ccDetector(false),
      m_bReset(0),
      m_bOccludedScene(0),
      m_bCameraMotion(0),
      m_bCameraMotionAfterOcclusion(0),
      m_nFramesSinceReset(0),
      m_bMotionDetected(0),
      m_bMotionSuspected(0),
      m_nMotionLevel(0),
      m_bJustReset(0),
      m_timeStamp(INT64_MAX),
      m_pShiftToDepth(nullptr),
      m_pShiftThresh(nullptr),
      m_nEdgeShiftThresh(0),
      m_nEdgeDepthStep(30),
      m_nFirstCoarseShift(0),
      m_nShiftSlack(0),
      m_nStableShiftThresh(0),
      m_nBgAdjacencyThresh(0),
      m_nFgShiftMargin(0),
      m_bProfiling(0),
      m_bResetBackground(0),
      m_nAreaFactor(0),
      m_nShiftThreshSize(0),
      m_nShiftTableSize(0) {
    for (int i = 0; i < m_timeStamps.Capacity(); ++i) {
        m_timeStamps.GetPrevious(i) = INT64_MAX;
    }
}

NAFarfield::~NAFarfield() {
    delete[] m_pShiftThresh;
    m_ccDetector.Create_Objects_Free();
}

bool NAFarfield::Initialize(NACommonData* data, Resolution res, int sse, int profiling, int rowBands) {
    if (data == nullptr || !IsValidResolution(res) || res > SXGA || data->m_pShiftToDepth == nullptr ||
        data->m_pDepthToShift == nullptr || data->m_pWorldPointConverters[res] == nullptr ||
        data->m_pAreaAtShiftInt[res] == nullptr) {
        return false;
    }
    m_pCommonData = data;
    m_resolution = res;
    m_bSSE = sse;
    m_bProfiling = profiling;
    m_ccDetector.Set_SSE_Flag(sse);
    if (sse != 0 && !m_ccDetector.BuffersAllocated()) {
        m_ccDetector.Create_Objects_Allocate();
    }
    m_nRowBands = rowBands;
    m_nXRes = static_cast<int16_t>(g_nXRes[res]);
    m_nYRes = static_cast<int16_t>(g_nYRes[res]);
    m_nPixels = m_nXRes * m_nYRes;
    const int width = m_nXRes;
    const int height = m_nYRes;
    Prepare(m_noDepthCounter, width, height);
    Prepare(m_background, width, height);
    Prepare(m_backgroundMemory, width, height);
    Prepare(m_ccBorder, width, height);
    Prepare(m_foreground, width, height);
    if (m_ccLabels.AllocateData(width, height) == XN_STATUS_OK) {
        std::memset(m_ccLabels.WritableData(), 0, m_ccLabels.DataSize());
    }
    for (int i = 0; i < 2; ++i) {
        Prepare(m_fgDepthHistory.GetPrevious(i), width, height);
        Prepare(m_newFgHistory.GetPrevious(i), width, height);
    }
    m_rowScratch.EnsureCapacity(width, false);
    Reset();
    m_pShiftToDepth = data->m_pShiftToDepth;
    m_nShiftTableSize = static_cast<int32_t>(std::min<uint64_t>(data->m_nShiftTableSize, INT32_MAX));
    m_nFgShiftMargin = static_cast<int16_t>((data->m_sensorParams.nParamCoeff >> 2) * 3);
    m_pWorldConverter = data->m_pWorldPointConverters[res];
    const float p = m_pWorldConverter->m_fPixelSizeFactor;
    m_nAreaFactor = static_cast<int32_t>(p * p * 262144.0f);
    return initializeShiftThresh();
}

bool NAFarfield::initializeShiftThresh() {
    const uint32_t coefficient = m_pCommonData->m_sensorParams.nParamCoeff;
    m_nEdgeDepthStep = 30;
    m_nShiftSlack = static_cast<uint16_t>((coefficient >> 2) * 3);
    m_nEdgeShiftThresh = static_cast<uint16_t>(2 * m_nShiftSlack / 3);
    m_nStableShiftThresh = static_cast<uint16_t>((coefficient >> 2) * 6);
    m_nBgAdjacencyThresh = static_cast<uint16_t>(4 * m_nShiftSlack / 3);

    delete[] m_pShiftThresh;
    m_nShiftThreshSize = 0;
    const uint32_t maxDepth = m_pCommonData->m_sensorParams.nDeviceMaxDepthValue;
    const int maxShift = maxDepth < m_pCommonData->m_nDepthTableCapacity ? m_pCommonData->m_pDepthToShift[maxDepth] : 0;
    const int end = std::max(std::min(maxShift, m_nShiftTableSize - 1), 0);
    m_pShiftThresh = new (std::nothrow) uint16_t[end + 1]();
    if (m_pShiftThresh == nullptr) {
        std::fprintf(stderr, "Couldn't allocate m_pShiftThresh buffer.\n");
        return false;
    }
    m_nShiftThreshSize = end + 1;
    // Past the table: no shift reaches the coarse allowance unless one
    // meets the rule below.
    m_nFirstCoarseShift = static_cast<uint16_t>(std::min(end + 1, 65535));
    for (int i = 1; i <= end; ++i) {
        const int a = m_pShiftToDepth[i];
        int result = 0;
        bool lowPassed = false;
        bool highPassed = false;
        bool skipped = false;
        for (int k = 1; k <= std::max(i, end - i); ++k) {
            const int low = i - k;
            if (low < 1) {
                lowPassed = true;
            } else if (std::abs(m_pShiftToDepth[low] - a) >= m_nEdgeDepthStep) {
                result = k;
                break;
            }
            const int high = i + k;
            if (high > end) {
                highPassed = true;
            } else if (std::abs(m_pShiftToDepth[high] - a) >= m_nEdgeDepthStep) {
                result = k;
                break;
            }
            if (lowPassed && highPassed) {
                skipped = true;
                break;
            }
        }
        if (skipped) {
            continue;
        }
        m_pShiftThresh[i] = static_cast<uint16_t>(result);
        if (result <= m_nEdgeShiftThresh) {
            m_nFirstCoarseShift = static_cast<uint16_t>(i);
            break;
        }
    }
    return true;
}

void NAFarfield::Reset() {
    m_bJustReset = 1;
    m_bOccludedScene = 0;
    m_bCameraMotion = 0;
    m_bCameraMotionAfterOcclusion = 0;
    m_bMotionDetected = 0;
    m_bMotionSuspected = 0;
    m_nFramesSinceReset = kRestartCount;
}

const Array2D<uint16_t>& NAFarfield::GetForegroundImage() const { return m_foreground; }

void NAFarfield::initializeShadowCounter() {}

void NAFarfield::UpdateFarfieldLineNoDepth(int16_t, const uint16_t* shiftRow, uint16_t* counterRow, uint16_t*) {
    for (int x = 0; x < m_nXRes; ++x) {
        counterRow[x] = shiftRow[x] != 0 ? 0 : static_cast<uint16_t>(counterRow[x] + 1);
    }
}

bool NAFarfield::isCCCloseToUser(NAFarfieldCC&) { return true; }

bool NAFarfield::isCCAdjacentToUser(const NAFarfieldCC&) { return false; }

void NAFarfield::ImproveFg() {}

void NAFarfield::ImproveFg_SSE(int, int) {}

float NAFarfield::PixelAreaAtDepth(int depth) const {
    const WorldPointConverter<float>& c = *m_pWorldConverter;
    if (depth >= 0 && depth < c.m_nDepthTableSize) {
        return c.m_pPixelAreaAtDepth[depth];
    }
    const float z = static_cast<float>(std::max(depth, 0));
    return c.m_fPixelSizeFactor * c.m_fPixelSizeFactor * z * z;
}

void NAFarfield::UpdateFrame(const xn::DepthMetaData** depths, const Array2D<uint16_t>** shifts, unsigned frameId,
                             SensorTime time, const Box2D<int>& validBox) {
    m_nFrameId = static_cast<int32_t>(frameId);
    m_timeStamp = time;
    m_pShift = shifts[0];
    m_pShiftPrev = shifts[1];
    m_pShiftPrev2 = shifts[2];
    m_pCurrentDepth = depths[0];
    m_pPreviousDepth = depths[1];
    m_validBox = validBox;
}

void NAFarfield::ProfileStage(uint64_t& last, const char* timingText) {
    const bool timing = NALogger::IsLogging("NATiming", XN_LOG_VERBOSE);
    if (m_bProfiling == 0 && !timing) {
        return;
    }
    XnUInt64 now = 0;
    xnOSGetHighResTimeStamp(&now);
    const double milliseconds = static_cast<double>(now - last) * 1e-3;
    last = now;
    if (m_bProfiling != 0 && m_profFile.is_open()) {
        m_profFile << milliseconds << ",  ";
    }
    if (timing && timingText != nullptr) {
        NALoggerHelper(NALogger::GetInstance(), "NATiming", XN_LOG_VERBOSE) << timingText << milliseconds << std::endl;
    }
}

void NAFarfield::Update(const xn::DepthMetaData** depths, const Array2D<uint16_t>** shifts, unsigned frameId,
                        SensorTime time, const Box2D<int>& validBox) {
    if (!IsInitialized()) {
        return;
    }
    const int width = depths[0]->XRes();
    const int height = depths[0]->YRes();
    if (width != shifts[0]->Columns() || height != shifts[0]->Rows()) {
        return;
    }
    if (width != m_nXRes || height != m_nYRes) {
        Initialize(m_pCommonData, ResolutionOfSize(width, height), 1, 0, 1);
        // No resolution of that size: the maps cannot hold the frame.
        if (width != m_nXRes || height != m_nYRes) {
            return;
        }
    }
    XnUInt64 start = 0;
    if (m_bProfiling != 0 || NALogger::IsLogging("NATiming", XN_LOG_VERBOSE)) {
        xnOSGetHighResTimeStamp(&start);
    }
    uint64_t last = start;
    UpdateFrame(depths, shifts, frameId, time, validBox);
    if (m_bResetBackground != 0 && m_bJustReset != 0) {
        m_backgroundAtReset.SetSize(m_nYRes, m_nXRes, false);
        std::copy(m_background.Data(), m_background.Data() + m_nPixels, m_backgroundAtReset.Data());
    }
    ProfileStage(last, nullptr);

    const Box2D<int> imageBox(0, 0, m_nXRes - 1, m_nYRes - 1);
    Box2D<int> band = imageBox;
    if (m_nRowBands > 1) {
        const float rows = static_cast<float>(m_nYRes) / static_cast<float>(m_nRowBands);
        band.min.y = static_cast<int>(static_cast<float>(m_nFrameId % m_nRowBands) * rows);
        band.max.y = static_cast<int>(static_cast<float>(band.min.y) + rows) - 1;
    }
    ProfileStage(last, nullptr);

    RunFarfield(m_noDepthCounter, m_background);
    ProfileStage(last, " - NAFarfield::RunFarfieldSSE time: ");
    const bool settling = m_bResetBackground != 0 && m_nFramesSinceReset <= kMaxFramesSinceReset - 1 &&
                          m_backgroundAtReset.Size() == m_nPixels;
    const Array2D<uint16_t>& against = settling ? m_backgroundAtReset : m_background;
    if (m_bSSE != 0) {
        CreateFg_SSE(against, imageBox.min.y, imageBox.max.y);
    } else {
        CreateFg(against, imageBox);
    }
    ProfileStage(last, " - NAFarfield::CreateFg time: ");
    DetectCameraMotion();
    ProfileStage(last, " - NAFarfield::DetectCameraMotion time: ");

    if (m_bCameraMotion != 0) {
        Fill(m_foreground, uint16_t(0));
        m_bReset = 1;
        if (m_bProfiling != 0 && m_profFile.is_open()) {
            m_profFile << "0,  0,  0,  0,  ";
        }
    } else {
        m_ccDetector.Run<unsigned short>(m_fgDepthHistory.GetCurrent().Data(), nullptr, nullptr, m_nXRes, m_nYRes,
                                         band, m_ccLabels, kComponentDepthThreshold);
        ProfileStage(last, " - NAFarfield::m_ccDetector time: ");
        if (m_bSSE != 0) {
            PerformDerivative_SSE(band, band.min.y, band.max.y);
        } else {
            PerformDerivative(band);
        }
        ProfileStage(last, " - DUZFocusBackgroundModel::PerformDerivativeSSE time: ");
        Feedback(band);
        ProfileStage(last, " - DUZFocusBackgroundModel::feedback time: ");
        if (m_bSSE != 0) {
            ImproveFg_SSE(0, m_nYRes - 1);
        } else {
            ImproveFg();
        }
        ProfileStage(last, " - NAFarfield::ImproveFg time: ");
    }
    m_bJustReset = 0;
    ProfileStage(last, nullptr);
    if (m_bProfiling != 0 && m_profFile.is_open()) {
        XnUInt64 end = 0;
        xnOSGetHighResTimeStamp(&end);
        m_profFile << static_cast<double>(end - start) * 1e-3 << std::endl;
    }
}

void NAFarfield::ClearCounters() {
    Fill(m_noDepthCounter, uint16_t(0));
    initializeShadowCounter();
}

int64_t NAFarfield::ValidBoxArea() const {
    const int64_t width = std::max<int64_t>(static_cast<int64_t>(m_validBox.max.x) - m_validBox.min.x, 0);
    const int64_t height = std::max<int64_t>(static_cast<int64_t>(m_validBox.max.y) - m_validBox.min.y, 0);
    return width * height;
}

bool NAFarfield::IsOccludedFrame(int64_t zeros) const {
    return zeros * 100 > 90 * static_cast<int64_t>(m_nPixels) || ValidBoxArea() * 2 < m_nPixels;
}

bool NAFarfield::IsClearFrame(int64_t zeros) const {
    return zeros * 100 < 60 * static_cast<int64_t>(m_nPixels) && ValidBoxArea() * 3 > 2 * static_cast<int64_t>(m_nPixels);
}

void NAFarfield::RunFarfield(Array2D<uint16_t>& counter, Array2D<uint16_t>& background) {
    m_bReset = 0;
    m_bCameraMotionAfterOcclusion = 0;
    const uint16_t* shift = m_pShift->Data();
    const uint16_t* depth = m_pCurrentDepth->Data();
    uint16_t* bg = background.Data();

    if (m_bCameraMotion != 0) {
        // The camera moved: this frame is the new background.
        m_bReset = 1;
        ClearCounters();
        int64_t zeros = 0;
        int64_t sum = 0;
        for (int i = 0; i < m_nPixels; ++i) {
            bg[i] = shift[i];
            zeros += shift[i] == 0 ? 1 : 0;
            sum += AreaWeight(depth[i]);
        }
        m_bgChangeArea.Push(0);
        m_transientBgArea.Push(static_cast<int32_t>(sum * m_nAreaFactor));
        m_nFramesSinceReset = 0;
        if (IsOccludedFrame(zeros)) {
            m_bOccludedScene = 1;
        }
        m_bCameraMotion = 0;
        return;
    }
    if (m_bOccludedScene != 0 || m_nFramesSinceReset == kRestartCount) {
        m_bReset = 1;
        ClearCounters();
        if (m_nFramesSinceReset == kRestartCount) {
            Fill(background, uint16_t(1));
        }
    }

    int64_t zeros = 0;
    int64_t receded = 0;
    int64_t transient = 0;
    UpdateBackgroundRows(counter.Data(), bg, zeros, receded, transient);
    m_bgChangeArea.Push(static_cast<int32_t>(receded * m_nAreaFactor));
    m_transientBgArea.Push(static_cast<int32_t>(transient * m_nAreaFactor));
    if (m_nFramesSinceReset < kMaxFramesSinceReset) {
        ++m_nFramesSinceReset;
    }

    if (m_bOccludedScene != 0 && IsClearFrame(zeros)) {
        LeaveOcclusion();
        return;
    }
    if (IsOccludedFrame(zeros)) {
        if (m_bVerbose && m_bOccludedScene == 0) {
            std::printf("%d: Got into occlusion\n", m_nFrameId);
        }
        m_bOccludedScene = 1;
    }
}

void NAFarfield::LeaveOcclusion() {
    m_bOccludedScene = 0;
    m_transientBgArea.Clear();
    m_bgChangeArea.Clear();
    m_fgChangeArea.Clear();
    m_timeStamps.Clear();
    m_bgChangeArea.Push(0);
    m_transientBgArea.Push(0);
    m_timeStamps.Push(m_timeStamp);

    const uint16_t* shift = m_pShift->Data();
    const uint16_t* memory = m_backgroundMemory.Data();
    uint16_t* bg = m_background.Data();
    uint32_t seen = 0;
    uint32_t jumped = 0;
    uint32_t agreeing = 0;
    for (int i = 0; i < m_nPixels; ++i) {
        if (shift[i] == 0 || memory[i] <= 1) {
            continue;
        }
        const int difference = std::abs(static_cast<int>(shift[i]) - memory[i]);
        ++seen;
        jumped += difference > 100 ? 1 : 0;
        agreeing += difference <= m_nShiftSlack ? 1 : 0;
    }
    if (m_bVerbose) {
        std::printf("%d: Got out of occlusion\n", m_nFrameId);
    }
    if (agreeing * 100u < (seen - jumped) * 75u || seen * 80u < jumped * 100u) {
        if (m_bVerbose) {
            std::printf("%d: camera motion detected - reseting\n", m_nFrameId);
        }
        m_bCameraMotionAfterOcclusion = 1;
        Fill(m_background, uint16_t(1));
        return;
    }
    if (m_bVerbose) {
        std::printf("%d: no camera motion detected\n", m_nFrameId);
    }
    for (int i = 0; i < m_nPixels; ++i) {
        if (memory[i] > 1) {
            bg[i] = std::max(bg[i], memory[i]);
        }
    }
}

void NAFarfield::UpdateBackgroundRows(uint16_t* counter, uint16_t* background, int64_t& zeros, int64_t& receded,
                                      int64_t& transient) {
    const int width = m_nXRes;
    const uint16_t* shift = m_pShift->Data();
    for (int y = 0; y < m_nYRes; ++y) {
        const int offset = y * width;
        if (m_bSSE != 0) {
            UpdateFarfieldLineNoDepth_SSE(static_cast<int16_t>(y), shift + offset, counter + offset,
                                          background + offset);
            UpdateBackgroundRow_SSE(y, counter, background, zeros, receded, transient);
        } else {
            UpdateFarfieldLineNoDepth(static_cast<int16_t>(y), shift + offset, counter + offset, background + offset);
            UpdateBackgroundPixels(offset, offset + width, counter, background, zeros, receded, transient);
        }
    }
}

void NAFarfield::UpdateBackgroundPixels(int begin, int end, const uint16_t* counter, uint16_t* background,
                                        int64_t& zeros, int64_t& receded, int64_t& transient) const {
    const uint16_t* shift = m_pShift->Data();
    const uint16_t* shift1 = m_pShiftPrev->Data();
    const uint16_t* shift2 = m_pShiftPrev2->Data();
    const uint16_t* depth = m_pCurrentDepth->Data();
    for (int i = begin; i < end; ++i) {
        if (counter[i] > kMaxNoDepthFrames) {
            background[i] = 0;
        }
        const int s = shift[i];
        const int b = background[i];
        if (s == 0) {
            ++zeros;
        } else if (b != 0 && b < s) {
            receded += AreaWeight(DepthOfShift(b));
            if (b == 1) {
                transient += AreaWeight(depth[i]);
            }
            const int s1 = shift1[i];
            const int s2 = shift2[i];
            const int change = std::max(std::max(std::abs(s - s1), std::abs(s - s2)), std::abs(s1 - s2));
            if (change < m_nStableShiftThresh) {
                background[i] = static_cast<uint16_t>(s);
            }
        }
    }
}

void NAFarfield::CreateFg(const Array2D<uint16_t>& background, const Box2D<int>& box) {
    if (m_bJustReset != 0) {
        Fill(m_fgDepthHistory.GetCurrent(), uint16_t(0));
    }
    uint16_t* fg = m_fgDepthHistory.Push().Data();
    const uint16_t* shift = m_pShift->Data();
    const uint16_t* depth = m_pCurrentDepth->Data();
    const uint16_t* bg = background.Data();
    const int top = std::max(box.min.y, 0);
    const int bottom = std::min(box.max.y, m_nYRes - 1);
    const int left = std::max(box.min.x, 0);
    const int right = std::min(box.max.x, m_nXRes - 1);
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const int i = y * m_nXRes + x;
            const int s = shift[i];
            const int b = bg[i];
            fg[i] = s != 0 && (b == 0 || s + m_nFgShiftMargin < b) ? depth[i] : 0;
        }
    }
}

void NAFarfield::UpdateFarfieldWithMemory() {
    if (m_bOccludedScene != 0) {
        return;
    }
    const uint16_t* bg = m_background.Data();
    uint16_t* memory = m_backgroundMemory.Data();
    for (int i = 0; i < m_nPixels; ++i) {
        memory[i] = bg[i] != 0 ? bg[i] : memory[i];
    }
}

void NAFarfield::ImportExternalShift(const Array2D<uint16_t>& shift, const xn::SceneMetaData& labels, int label,
                                     int left, int right, int top, int bottom, int area) {
    const int width = m_nXRes;
    if (shift.Columns() != width || shift.Rows() != m_nYRes || labels.XRes() != width || labels.YRes() != m_nYRes) {
        return;
    }
    const uint16_t* s = shift.Data();
    const XnLabel* l = labels.Data();
    uint16_t* bg = m_background.Data();
    for (int y = std::max(top, 0); y <= std::min(bottom, m_nYRes - 1); ++y) {
        for (int x = std::max(left, 0); x <= std::min(right, width - 1); ++x) {
            const int i = y * width + x;
            if (l[i] == label) {
                bg[i] = s[i];
            }
        }
    }
    m_transientBgArea.GetCurrent() += area;
}

void NAFarfield::SetProfFile(const char* path) {
    if (m_profFile.is_open()) {
        m_profFile.close();
    }
    m_profFile.clear();
    m_profFile.open(path, std::ios::out | std::ios::trunc);
    if (m_profFile.is_open()) {
        m_profFile << "UpdateFrame(FF),  Temp,  RunFF,  CreateFG,  DetectCamMotion1,  Detector.Run,  "
                      "PerformDerivative,  Feedback(FF),  ImproveFG,  ---,  Total"
                   << std::endl;
    }
}
