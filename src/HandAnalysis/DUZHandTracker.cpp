#include "HandAnalysis/DUZHandTracker.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "HandAnalysis/DUZHandImageHelpers.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

const char* const kTrackerMask = "HandTracker";

// Where the start point lands: its pixel and depth. False for a point that
// is not finite, not in front of the sensor (a whole millimetre at least),
// beyond the converter's maximum depth or outside the image; the checks are
// made on the floats, before any conversion to int.
bool StartPixel(const NADepthMapContainer& frame, const Vector3D<float>& position) {
    if (frame.m_converter == nullptr || frame.m_depth == nullptr) {
        return false;
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z)) {
        return false;
    }
    const float maxDepth = static_cast<float>(converter.m_nDepthTableSize - 2);
    if (!(position.z >= 1.0f) || position.z > maxDepth) {
        return false;
    }
    const float s = converter.m_fPixelSizeFactor * position.z;
    const float column = position.x / s + converter.m_fCenterX;
    const float row = converter.m_fCenterY - position.y / s;
    // Truncation toward zero: anything above -1 and below the size lands
    // on a pixel.
    const float width = static_cast<float>(frame.m_depth->XRes());
    const float height = static_cast<float>(frame.m_depth->YRes());
    return column > -1.0f && column < width && row > -1.0f && row < height;
}

}  // namespace

void DUZHandTracker::BoundaryCheckHistory::Push(int value) {
    m_position = m_position + 1 >= m_capacity ? 0 : m_position + 1;
    if (m_count != m_capacity) {
        ++m_count;
    }
    m_values[m_position] = value;
}

float DUZHandTracker::BoundaryCheckHistory::FailedFraction() const {
    if (m_count == 0) {
        return 0.0f;
    }
    int failed = 0;
    int index = m_position;
    for (int i = 0; i < m_count; ++i) {
        failed += m_values[index] != 0 ? 1 : 0;
        index = index == 0 ? m_capacity - 1 : index - 1;
    }
    return static_cast<float>(failed) / static_cast<float>(m_count);
}

DUZHandTracker::DUZHandTracker(const DUZHandPartition* partition,
                               const DUZHandTrackerBackgroundModel* backgroundModel, const DUZHandFilter* handFilter,
                               bool useRGBTracking, unsigned short maxDepth, int maxShift)
    : DUZHandTrackerBase(maxShift),
      m_activeIndex(-1),
      m_partition(partition),
      m_backgroundModel(backgroundModel),
      m_handFilter(handFilter),
      m_ghostTracker(nullptr),
      m_headDetectorRan(0),
      m_headDetected(0),
      m_headDetectionCounter(0),
      m_regionDetector(false),
      m_filteredLocationCount(0),
      m_foregroundProbabilityCopied(0),
      m_probabilityBoundsMargin(100.0f),
      m_boxFilterSize(5),
      m_computeCenter(1),
      m_minProbabilityArea(1000.0f),
      m_minRegionArea(2000.0f),
      m_regionDepthStep(50),
      m_checkHandBoundary(1),
      m_checkHeadDetector(1),
      m_headDetectorRefine(1),
      m_maxHeadDetections(5),
      m_adjustDepthBoundsByHistogram(0),
      m_lastFrameId(UINT32_MAX),
      m_searchScale(1.0f),
      m_handSize(0.0f, 0.0f),
      m_extremePointTracker(50, 200),
      m_resolution(NAResolution::NoMatch),
      m_useRGBTracking(useRGBTracking),
      m_multipleTracking(1),
      m_sharedData(DUZHandTrackerSharedData::New()) {
    m_searchBoundsSizeRW = Box3D<float>(Vector3D<float>(-45, -45, -45), Vector3D<float>(45, 45, 45));
    m_maxSearchBoundsSizeRW = Box3D<float>(Vector3D<float>(-120, -120, -120), Vector3D<float>(120, 120, 120));
    m_headDetector.Initialize(maxDepth);
    m_meanShift = NewEngine();
    m_backwardsEngine = NewEngine();
}

DUZHandTracker::~DUZHandTracker() = default;

std::unique_ptr<DUZDepthProbMeanShift> DUZHandTracker::NewEngine() const {
    return std::unique_ptr<DUZDepthProbMeanShift>(new DUZDepthProbMeanShift(
        m_predictor, m_searchBoundsSizeRW, m_maxSearchBoundsSizeRW, m_maxShift, m_maxIterations,
        m_convergenceDistanceThreshold, m_probabilityBoundsMargin, m_computeCenter, m_adjustDepthBoundsByHistogram,
        nullptr, nullptr));
}

int DUZHandTracker::Initialize(const xn::DepthGenerator& /*generator*/, const xn::DepthMetaData& depth,
                               const std::string& iniFile, int verbose) {
    if (DUZHandTrackerBase::Initialize(iniFile, verbose) == 0 || m_forearmTracker.Initialize(iniFile, verbose) == 0 ||
        m_boundaryDetector.Initialize(iniFile, verbose) == 0) {
        return 0;
    }
    UpdateResolution(NAResolutionOfSize(static_cast<int>(depth.XRes()), static_cast<int>(depth.YRes())), 1);
    m_foregroundProbabilityCopied = 0;
    m_headDetectorRan = 0;
    m_headDetected = 0;
    m_meanShift = NewEngine();
    m_backwardsEngine = NewEngine();
    return 1;
}

int DUZHandTracker::ReadParameters(const std::string& iniFile, int verbose, int flag) {
    if (flag == 0 && (m_forearmTracker.ReadParameters(iniFile, verbose, 0) == 0 ||
                      m_boundaryDetector.ReadParameters(iniFile, verbose, 0) == 0)) {
        return 0;
    }
    DUZHandTrackerBase::ReadParameters(iniFile, verbose, flag);
    const std::string section = GetINISectionName();
    const bool echo = verbose != 0;
    ReadFromINI(iniFile, section, "CheckHandBoundary", m_checkHandBoundary, echo);
    ReadFromINI(iniFile, section, "CheckHeadDetector", m_checkHeadDetector, echo);
    ReadFromINI(iniFile, section, "AdjustDepthBoundsByHistogram", m_adjustDepthBoundsByHistogram, echo);
    ReadFromINI(iniFile, section, "MuitipleTracking", m_multipleTracking, echo);
    m_extremePointTracker.ReadParameters(iniFile, verbose);
    return 1;
}

void DUZHandTracker::UpdateResolution(NAResolution resolution, int /*flag*/) {
    m_resolution = resolution;
    const int width = IsSizedNAResolution(resolution) ? NAResolutionWidth(resolution) : 0;
    const int height = IsSizedNAResolution(resolution) ? NAResolutionHeight(resolution) : 0;
    DUZHandTrackerSharedData& shared = *m_sharedData;
    shared.m_filterProbability.SetSize(height, width, false);
    shared.m_foregroundProbability.SetSize(height, width, false);
    shared.m_combinedProbability.SetSize(height, width, false);
    shared.m_combinedProbabilitySwap.SetSize(height, width, false);
    shared.m_combinedProbabilityScratch.SetSize(height, width, false);
    shared.m_maskedDepth.SetSize(height, width, false);
}

int DUZHandTracker::StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position,
                                  const Vector2D<float>& handSize) {
    if (!StartPixel(frame, position)) {
        return 0;
    }
    if (DUZHandTrackerBase::StartTracking(frame, position) == 0) {
        return 0;
    }
    if (m_forearmTracker.StartTracking(frame, nullptr, m_position, m_id) == 0) {
        return 0;
    }
    m_foregroundProbabilityCopied = 0;
    m_headDetectorRan = 0;
    m_headDetected = 0;
    m_headDetectionCounter = 0;
    // No map of this hand has been prepared yet.
    m_lastFrameId = UINT32_MAX;
    if (handSize.x == 0.0f && handSize.y == 0.0f) {
        ComputePredictionAndBounds(frame);
        m_handSize = CalculateHandSize(frame, m_position, m_searchBounds);
    } else {
        m_handSize = handSize;
    }
    return 1;
}

void DUZHandTracker::Update(const NADepthMapContainer& frame, const xn::ImageMetaData& /*image*/) {
    DUZHandTrackerBase::Update(frame);
    RescaleSearchBounds(1.0f / m_searchScale);
}

void DUZHandTracker::UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, int flag) {
    m_meanShift->UpdateSearchAndDepthBounds(frame, m_sharedData->m_combinedProbability, m_depthBounds, m_searchBounds,
                                            m_probabilityBounds, m_searchBox, m_newState, flag, m_uncertainty,
                                            m_position);
}

int DUZHandTracker::StepToConvergence(const NADepthMapContainer& frame) {
    const Vector3D<float> direction = m_forearmTracker.GetForearmDirection();
    return m_meanShift->StepToConvergence(frame, m_sharedData->m_combinedProbability, m_newState, m_position,
                                          m_searchBoundsRW, m_depthBounds, m_searchBounds, m_probabilityBounds,
                                          m_searchBox, m_uncertainty, direction);
}

void DUZHandTracker::Validate(const NADepthMapContainer& frame) {
    if (m_checkHeadDetector != 0) {
        m_headDetectorRan = 1;
        m_headDetected = m_headDetector.Detect(m_position, m_headDetectorRefine, frame.m_depth, frame.m_converter,
                                               nullptr);
        if (m_headDetected != 0) {
            m_extremePointTracker.SetHeadCandidate(m_position, 150.0f, frame);
            m_extremePointTracker.Update(frame);
            const float headSize = m_extremePointTracker.GetHeadSizeRW();
            const bool large = headSize > 0.5f * m_handSize.y * 1.3f;
            if (large && m_state == eTracking) {
                ++m_headDetectionCounter;
                if (m_logger->GetEnabled() != 0 && xnLogIsEnabled(kTrackerMask, XN_LOG_VERBOSE)) {
                    NALoggerHelper(*m_logger, kTrackerMask, XN_LOG_VERBOSE)
                        << "Tracker ID " << m_id << " head detected: counter=" << m_headDetectionCounter << "/"
                        << m_maxHeadDetections << std::endl;
                }
                if (m_headDetectionCounter >= m_maxHeadDetections) {
                    m_state = eInactive;
                    m_newState = eInactive;
                    return;
                }
            }
            if (m_state == eLost) {
                LogTrackerMessage(" head detected in lost state");
                m_newState = eLost;
                return;
            }
        }
    }
    if (m_checkHandBoundary != 0 && m_partition != nullptr) {
        m_boundaryDetector.Run(frame, *m_partition, m_position, m_id);
        if (m_boundaryDetector.LooksLikeHand() != 0) {
            m_boundaryCheckHistory.Push(0);
        } else {
            LogTrackerMessage(" failed boundary check");
            m_boundaryCheckHistory.Push(1);
            m_newState = eLost;
        }
    }
}

void DUZHandTracker::UpdateTrackerState(const NADepthMapContainer& frame) {
    DUZHandTrackerBase::UpdateTrackerState(frame);
    if (m_headDetectorRan == 0 || m_headDetected == 0) {
        m_headDetectionCounter = 0;
    }
    if (m_newState != eTracking) {
        return;
    }
    int flipped = 0;
    Vector3D<float> flippedHand;
    m_forearmTracker.Update(frame, m_partition, m_position, m_id, flipped, flippedHand);
    if (flipped != 0) {
        m_position = flippedHand;
        if (m_predictor) {
            m_predictor->Reset(m_position, frame.m_time);
        }
    }
}

void DUZHandTracker::ClearFlags() {
    m_foregroundProbabilityCopied = 0;
    m_headDetectorRan = 0;
    m_headDetected = 0;
}

void DUZHandTracker::SetFilteredLocations(const Box3D<float>* boxes, int count) {
    const int n = boxes == nullptr ? 0 : std::max(0, std::min(count, kMaxFilteredLocations));
    for (int i = 0; i < n; ++i) {
        m_filteredLocations[i].min = boxes[i].min;
        m_filteredLocations[i].max = boxes[i].max;
    }
    m_filteredLocationCount = n;
}

void DUZHandTracker::CopyForegroundProbability(const Array2D<short>& map, const Box2D<int>& /*box*/) {
    Array2D<short>& target = m_sharedData->m_foregroundProbability;
    Box2D<int> window = duz_image::ClippedToImage(m_probabilityBounds, target.Columns(), target.Rows());
    window = duz_image::ClippedToImage(window, map.Columns(), map.Rows());
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            target.Data()[r * target.Columns() + c] = map.Data()[r * map.Columns() + c];
        }
    }
    m_foregroundProbabilityCopied = 1;
}

int DUZHandTracker::IsTouchingFoV(Box2D<int>& box, int& side) const {
    const Array2D<int>& map = m_sharedData->m_combinedProbability;
    const Box2D<int> window = duz_image::ClippedToImage(m_searchBounds, map.Columns(), map.Rows());
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            if (map.Data()[r * map.Columns() + c] == 0) {
                continue;
            }
            if (c <= box.min.x + 2) {
                side = 0;
            } else if (c >= box.max.x - 2) {
                side = 1;
            } else if (r <= box.min.y + 2) {
                side = 2;
            } else if (r >= box.max.y - 2) {
                side = 3;
            } else {
                continue;
            }
            return 1;
        }
    }
    return 0;
}

int DUZHandTracker::SetGhostTracker(DUZSatelliteTracker* ghost) {
    if (ghost == nullptr) {
        m_ghostTracker = nullptr;
        return 1;
    }
    if (m_boundaryCheckHistory.m_count > 3 && m_boundaryCheckHistory.FailedFraction() > 0.4f) {
        return 0;
    }
    m_ghostTracker = ghost;
    return 1;
}
