#include "HandAnalysis/DUZHandDetector.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#include "NACommon/NAConverterTables.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

const char* const kSection = "HandDetector";
const char* const kLogMask = "HandDetector";
const char* const kTimingMask = "DUZTiming";

// Bytes of one lane mask and of one row buffer.
constexpr XnSizeT kLaneMaskBytes = 16;
constexpr XnSizeT kRowBytes = DUZHandDetector::kRowLength * sizeof(unsigned short);
constexpr XnSizeT kBufferBytes = kNAResolutionLevels * kLaneMaskBytes + 3 * kRowBytes;

// The labeller's run-based path takes images of up to this many rows.
constexpr int kRunPathMaxRows = 319;
// Join thresholds from here up make the run-based path join nothing, where
// the per-pixel path joins every pair of depths; below it both agree.
constexpr unsigned int kMaxJoinThreshold = 32766;

bool IsZero(const Vector3D<float>& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// Timing lines of the cached frame's steps: milliseconds since the previous
// step, written only when timing is logged.
class StepTimer {
public:
    explicit StepTimer(NALogger& logger)
        : m_logger(logger), m_bOn(logger.GetEnabled() != 0 && xnLogIsEnabled(kTimingMask, XN_LOG_INFO)), m_nLast(0) {
        if (m_bOn) {
            xnOSGetHighResTimeStamp(&m_nLast);
        }
    }
    void Step(const char* label) {
        if (!m_bOn) {
            return;
        }
        XnUInt64 now = 0;
        xnOSGetHighResTimeStamp(&now);
        NALoggerHelper(m_logger, kTimingMask, XN_LOG_INFO)
            << "HandDetector" << label << static_cast<double>(now - m_nLast) * 1e-6 * 1000.0 << std::endl;
        m_nLast = now;
    }

private:
    NALogger& m_logger;
    bool m_bOn;
    XnUInt64 m_nLast;
};

}  // namespace

DUZHandDetector& DUZHandDetector::GetInstance() {
    static DUZHandDetector handDetector(1);
    return handDetector;
}

DUZHandDetector::DUZHandDetector(int sse)
    : m_logger(&NALogger::GetInstance()),
      m_initialized(0),
      m_laneMasks(),
      m_leftMargin(0),
      m_maxDistanceForCC(50),
      m_maxDepth(0),
      m_labeller(sse != 0),
      m_leftPassRow(nullptr),
      m_rightPassRow(nullptr),
      m_upperRow(nullptr),
      m_lastFrameId(0),
      m_lastResolution(NAResolution::NoMatch),
      m_initialCount(0),
      m_backgroundDone(0),
      m_headDone(0),
      m_forearmDone(0),
      m_useDepthIsolationFilter(0),
      m_sse(sse),
      m_buffers(nullptr) {}

DUZHandDetector::~DUZHandDetector() {
    FreeBuffers();
    m_initialized = 0;
}

void DUZHandDetector::FreeBuffers() {
    xnOSFreeAligned(m_buffers);
    m_buffers = nullptr;
    for (const unsigned short*& mask : m_laneMasks) {
        mask = nullptr;
    }
    m_leftPassRow = m_rightPassRow = m_upperRow = nullptr;
}

bool DUZHandDetector::HasBuffers() const { return m_buffers != nullptr; }

bool DUZHandDetector::IsLogging() const {
    return m_logger->GetEnabled() != 0 && xnLogIsEnabled(kLogMask, XN_LOG_VERBOSE);
}

int DUZHandDetector::Initialize(const std::string& iniFile, int verbose, NAResolution resolution,
                                unsigned short maxDepth) {
    if (m_initialized != 0) {
        return 1;
    }
    m_maxDepth = maxDepth;
    ReadParameters(iniFile, verbose, 1);

    // The lane masks and the row buffers in one aligned block.
    m_buffers = xnOSMallocAligned(kBufferBytes, 16);
    if (m_buffers == nullptr) {
        return 0;
    }
    unsigned char* block = static_cast<unsigned char*>(m_buffers);
    for (int r = 0; r < kNAResolutionLevels; ++r) {
        unsigned short* mask = reinterpret_cast<unsigned short*>(block + r * kLaneMaskBytes);
        // The first margin + 1 lanes of a row hold no usable difference.
        const int margin = static_cast<int>(g_ResolutionImageSizeX[r] * 8.0 / 640.0);
        const int cleared = margin >= 1 && margin <= 6 ? margin + 1 : 0;
        for (int lane = 0; lane < 8; ++lane) {
            mask[lane] = lane < cleared ? 0 : 0xFFFF;
        }
        m_laneMasks[r] = mask;
    }
    unsigned char* rows = block + kNAResolutionLevels * kLaneMaskBytes;
    m_leftPassRow = reinterpret_cast<unsigned short*>(rows);
    m_rightPassRow = reinterpret_cast<unsigned short*>(rows + kRowBytes);
    m_upperRow = reinterpret_cast<unsigned short*>(rows + 2 * kRowBytes);
    std::memset(rows, 0, 3 * kRowBytes);

    if (!SetArraySizes(resolution)) {
        FreeBuffers();
        return 0;
    }
    std::fill(m_edgeDistance.Data(), m_edgeDistance.Data() + m_edgeDistance.Size(), 0);
    std::fill(m_narrowLines.Data(), m_narrowLines.Data() + m_narrowLines.Size(), 0);
    m_backgroundResults.resize(kMaxLabels, 0);
    m_headResults.resize(kMaxLabels, 0);
    m_forearmFailures.resize(kMaxLabels, 0);
    m_labeller.Set_SSE_Flag(m_sse);
    m_labeller.Create_Objects_Allocate();
    m_initialized = 1;
    m_headDetector.Initialize(m_maxDepth);
    return 1;
}

int DUZHandDetector::ReadParameters(const std::string& iniFile, int verbose, int /*flag*/) {
    const bool echo = verbose != 0;
    if (!ReadFromINI(iniFile, kSection, "MaxDistanceForCC", m_maxDistanceForCC, echo)) {
        return 0;
    }
    return ReadFromINI(iniFile, kSection, "UseDepthIsolationFilter", m_useDepthIsolationFilter, echo) ? 1 : 0;
}

bool DUZHandDetector::SetArraySizes(NAResolution resolution) {
    if (!IsSizedNAResolution(resolution)) {
        return true;
    }
    const int width = NAResolutionWidth(resolution);
    const int height = NAResolutionHeight(resolution);
    // New storage comes zero-filled; storage that is large enough keeps
    // what earlier frames left in it.
    m_verticalDistance.SetSize(height, width, false);
    m_edgeDistance.SetSize(height, width, false);
    m_narrowLines.SetSize(height, width, false);
    m_horizontalDifferences.SetSize(height, width, false);
    m_verticalDifferences.SetSize(height, width, false);
    m_forearmMarks.SetSize(height, width, false);
    return m_labelMap.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height)) == XN_STATUS_OK;
}

bool DUZHandDetector::CacheHolds(const NADepthMapContainer& container, const Box2D<int>* box) const {
    const xn::DepthMetaData& depth = *container.m_depth;
    return container.m_frameId == m_lastFrameId &&
           NAResolutionOfSize(depth.XRes(), depth.YRes()) == m_lastResolution && (box == nullptr || *box == m_lastBox);
}

void DUZHandDetector::ComputeFrame(const NADepthMapContainer& container, Box2D<int>& box) {
    FindInitialHandCandidates(&container, box, &m_labelMap, m_initialCandidates, m_initialCount);
    m_backgroundDone = 0;
    m_headDone = 0;
    m_forearmDone = 0;
}

void DUZHandDetector::FindInitialHandCandidates(const NADepthMapContainer* container, const Box2D<int>& box,
                                                xn::SceneMetaData* labels, ConnectedComponentProperties<float>& candidates,
                                                short& count) {
    m_lastBox = box;
    StepTimer timer(*m_logger);
    count = 0;
    if (container == nullptr || container->m_depth == nullptr || container->m_depth->Data() == nullptr ||
        container->m_converter == nullptr) {
        return;
    }
    if (labels == nullptr) {
        labels = &m_labelMap;
    }
    const xn::DepthMetaData& depth = *container->m_depth;
    m_lastFrameId = container->m_frameId;
    const int width = depth.XRes();
    const int height = depth.YRes();
    const NAResolution resolution = NAResolutionOfSize(width, height);
    m_lastResolution = resolution;
    m_leftMargin = static_cast<int>(width * 8.0 / 640.0);
    if (resolution == NAResolution::NoMatch || width > kRowLength) {
        // No lane mask, margin or row buffers for such a frame; the clients
        // work at 160x120.
        xnLogError(kLogMask, "HandDetector: frames of %dx%d are not supported", width, height);
        return;
    }
    if (!HasBuffers() || !SetArraySizes(resolution) ||
        labels->AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height)) != XN_STATUS_OK) {
        return;
    }
    std::memset(labels->WritableData(), 0, static_cast<size_t>(width) * height * sizeof(XnLabel));

    Box2D<int> working(std::max(box.min.x, 0), std::max(box.min.y, 0), std::min(box.max.x, width - 1),
                       std::min(box.max.y, height - 1));
    timer.Step(" - Initializations time: ");
    ComputeSobel(container, m_horizontalDifferences.Data(), m_verticalDifferences.Data(), working);
    timer.Step(" - Sobel time: ");
    VerticalDistance(container, m_verticalDifferences.Data(), m_verticalDistance.Data(), working);
    timer.Step(" - Vertical distance time: ");
    DistanceFromEdges(container, working, m_horizontalDifferences.Data(), 150, 150, m_verticalDistance.Data(), 1,
                      m_edgeDistance.Data());
    timer.Step(" - Distance from edges time: ");

    m_labeller.Set_SSE_Flag(height <= kRunPathMaxRows ? m_sse : 0);
    m_labeller.Run<unsigned short>(m_edgeDistance.Data(), nullptr, nullptr, width, height, working, *labels,
                                   static_cast<XnInt32>(std::min(m_maxDistanceForCC, kMaxJoinThreshold)));
    // Labels from 2000 up have no entry in the record: no loop of this
    // detector or of its clients may reach them.
    const int labelCount = std::min(std::max(m_labeller.LabelCount(), 0), static_cast<int>(kMaxLabels));
    timer.Step(" - CC time: ");
    ComputeCCProperties(container, candidates, labelCount, *labels);
    timer.Step(" - CC Properties time: ");

    count = static_cast<short>(labelCount);
    for (short l = 1; l < count; ++l) {
        FilterBySize(candidates, static_cast<unsigned short>(l));
    }
    for (short l = 1; l < count; ++l) {
        FilterEmptyBoxAbove(container, candidates, l);
    }
    if (m_useDepthIsolationFilter != 0) {
        for (short l = 1; l < count; ++l) {
            FilterByDepthIsolation(container, candidates, labels, l);
        }
    }
    timer.Step(" - Filters (size+empty box+depth isolation) time: ");
}

void DUZHandDetector::ComputeCCProperties(const NADepthMapContainer* container,
                                          ConnectedComponentProperties<float>& candidates, int labelCount,
                                          const xn::SceneMetaData& labels) {
    const int n = std::min(labelCount, static_cast<int>(kMaxLabels));
    const Box3D<float> emptyWorld = ConnectedComponentProperties<float>::EmptyWorldBox();
    for (int l = 0; l < n; ++l) {
        candidates.m_pixelCount[l] = 0;
        candidates.m_area[l] = 0.0f;
        candidates.m_bbox[l] = emptyWorld;
        candidates.m_centerOfMass[l] = Vector3D<float>(0, 0, 0);
        candidates.m_imageBounds[l] = Box2D<int>();
    }
    if (container == nullptr || container->m_depth == nullptr || container->m_converter == nullptr ||
        labels.Data() == nullptr) {
        return;
    }
    const xn::DepthMetaData& depth = *container->m_depth;
    const WorldPointConverterBase<float>& converter = *container->m_converter;
    const int width = std::min(depth.XRes(), labels.XRes());
    const int height = std::min(depth.YRes(), labels.YRes());
    for (int y = 0; y < height; ++y) {
        const XnLabel* labelRow = labels.Data() + y * labels.XRes();
        const XnDepthPixel* depthRow = depth.Data() + y * depth.XRes();
        const float rowOffset = converter.m_fCenterY - static_cast<float>(y);
        for (int x = 0; x < width; ++x) {
            // Most of a frame has no label: skip four at a time.
            uint64_t four = 0;
            if ((x & 3) == 0 && x + 4 <= width) {
                std::memcpy(&four, labelRow + x, sizeof(four));
                if (four == 0) {
                    x += 3;
                    continue;
                }
            }
            const int l = labelRow[x];
            if (l == 0 || l >= kMaxLabels) {
                continue;
            }
            const int d = depthRow[x];
            ++candidates.m_pixelCount[l];
            candidates.m_area[l] += PixelAreaAt(converter, d);
            Box2D<int>& image = candidates.m_imageBounds[l];
            image.min.x = std::min(image.min.x, x);
            image.min.y = std::min(image.min.y, y);
            image.max.x = std::max(image.max.x, x);
            image.max.y = std::max(image.max.y, y);
            const float size = converter.PixelSizeAt(d);
            const Vector3D<float> p((static_cast<float>(x) - converter.m_fCenterX) * size, rowOffset * size,
                                    static_cast<float>(d));
            Box3D<float>& world = candidates.m_bbox[l];
            world.min.x = std::min(world.min.x, p.x);
            world.min.y = std::min(world.min.y, p.y);
            world.min.z = std::min(world.min.z, p.z);
            world.max.x = std::max(world.max.x, p.x);
            world.max.y = std::max(world.max.y, p.y);
            world.max.z = std::max(world.max.z, p.z);
            candidates.m_centerOfMass[l] += p;
        }
    }
    for (int l = 0; l < n; ++l) {
        if (candidates.m_pixelCount[l] != 0) {
            candidates.m_centerOfMass[l] *= 1.0f / static_cast<float>(candidates.m_pixelCount[l]);
        }
    }
}

void DUZHandDetector::ApplyHeadFilter(const NADepthMapContainer& container,
                                      ConnectedComponentProperties<float>& candidates, short& count, int keepHeads) {
    const bool logging = keepHeads == 0 && IsLogging();
    for (short l = 1; l < count; ++l) {
        const Vector3D<float> centre = candidates.m_centerOfMass[l];
        if (IsZero(centre)) {
            continue;
        }
        if (m_headDone == 0) {
            m_headResults[l] = m_headDetector.Detect(centre, candidates.m_imageBounds[l], container.m_depth,
                                                     container.m_converter, m_labelMap.WritableData(), l);
        }
        const bool head = m_headResults[l] != 0;
        if (head && logging) {
            NALoggerHelper(*m_logger, kLogMask, XN_LOG_VERBOSE) << "Head filter: " << centre << std::endl;
        }
        if (head != (keepHeads != 0)) {
            candidates.ClearCC(static_cast<unsigned short>(l));
        }
    }
    m_headDone = 1;
}

void DUZHandDetector::FindHandCandidates(const NADepthMapContainer* container, Box2D<int>& box,
                                         Array2D<unsigned short>* mask, unsigned short maskThreshold,
                                         int useForearmFilter, xn::SceneMetaData* labelsOut,
                                         ConnectedComponentProperties<float>& candidates, short& count) {
    if (container == nullptr || container->m_depth == nullptr || container->m_depth->Data() == nullptr ||
        container->m_converter == nullptr) {
        count = 0;
        return;
    }
    const xn::DepthMetaData& depth = *container->m_depth;
    if (mask != nullptr && (mask->Columns() != depth.XRes() || mask->Rows() != depth.YRes())) {
        return;
    }
    if (m_initialized == 0) {
        count = 0;
        return;
    }
    if (!CacheHolds(*container, &box)) {
        ComputeFrame(*container, box);
    }
    candidates = m_initialCandidates;
    count = m_initialCount;

    ApplyHeadFilter(*container, candidates, count, 0);
    if (mask != nullptr) {
        for (short l = 1; l < count; ++l) {
            if (m_backgroundDone == 0) {
                m_backgroundResults[l] = FilterByBGModel(container, candidates, mask->Data(), maskThreshold,
                                                         &m_labelMap, static_cast<unsigned short>(l));
            }
            if (m_backgroundResults[l] == 0) {
                candidates.ClearCC(static_cast<unsigned short>(l));
            }
        }
        m_backgroundDone = 1;
    }
    if (useForearmFilter != 0) {
        std::memset(m_forearmMarks.Data(), 0, static_cast<size_t>(m_forearmMarks.Size()));
        for (short l = 1; l < count; ++l) {
            if (m_forearmDone == 0) {
                m_forearmFailures[l] =
                    FilterByForearm(container, candidates, m_narrowLines.Data(),
                                    mask != nullptr ? mask->Data() : nullptr, maskThreshold, &m_labelMap,
                                    &m_labelMap, l) == 0
                        ? 1
                        : 0;
            }
            if (m_forearmFailures[l] == 1) {
                candidates.ClearCC(static_cast<unsigned short>(l));
            }
        }
        m_forearmDone = 1;
    }
    if (labelsOut != nullptr && m_labelMap.Data() != nullptr &&
        labelsOut->AllocateData(static_cast<XnUInt32>(m_labelMap.XRes()), static_cast<XnUInt32>(m_labelMap.YRes())) ==
            XN_STATUS_OK) {
        labelsOut->FrameID() = m_labelMap.FrameID();
        labelsOut->Timestamp() = m_labelMap.Timestamp();
        std::memcpy(labelsOut->WritableData(), m_labelMap.Data(),
                    static_cast<size_t>(m_labelMap.XRes()) * m_labelMap.YRes() * sizeof(XnLabel));
    }
}

void DUZHandDetector::FindExtremeCandidates(const NADepthMapContainer* container, Box2D<int>& box, int allowCompute,
                                            ConnectedComponentProperties<float>& candidates, short& count,
                                            NAResolution& resolution, bool headsOnly) {
    if (container == nullptr || container->m_depth == nullptr || container->m_depth->Data() == nullptr ||
        container->m_converter == nullptr || m_initialized == 0) {
        count = 0;
        return;
    }
    if (!CacheHolds(*container, nullptr)) {
        if (allowCompute == 0) {
            count = 0;
            return;
        }
        ComputeFrame(*container, box);
    }
    candidates = m_initialCandidates;
    count = m_initialCount;
    resolution = m_lastResolution;
    if (headsOnly) {
        ApplyHeadFilter(*container, candidates, count, 1);
    }
}

void DUZHandDetector::FindHeadCandidates(const NADepthMapContainer* container, Box2D<int>& box, int allowCompute,
                                         ConnectedComponentProperties<float>& candidates, short& count,
                                         unsigned int& /*unused*/, NAResolution& resolution) {
    FindExtremeCandidates(container, box, allowCompute, candidates, count, resolution, true);
}

void DUZHandDetector::FindBasicExtremeCandidates(const NADepthMapContainer* container, Box2D<int>& box,
                                                 int allowCompute, ConnectedComponentProperties<float>& candidates,
                                                 short& count, unsigned int& /*unused*/, NAResolution& resolution) {
    FindExtremeCandidates(container, box, allowCompute, candidates, count, resolution, false);
}
