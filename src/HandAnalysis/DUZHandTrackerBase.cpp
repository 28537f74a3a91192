#include "HandAnalysis/DUZHandTrackerBase.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <ostream>

#include "HandAnalysis/DUZStageTimer.h"
#include "NACommon/NALinearMotionPredictor.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnOS.h"
#include "QuorLibrary/Math/SaturatingCast.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

const char* const kTrackerMask = "HandTracker";

int Truncate(float value) { return vela_math::SaturatingTruncate(static_cast<double>(value)); }

// The box clipped to a width x height map.
Box2D<int> ClippedToMap(const Box2D<int>& box, int width, int height) {
    return Box2D<int>(std::max(box.min.x, 0), std::max(box.min.y, 0), std::min(box.max.x, width - 1),
                      std::min(box.max.y, height - 1));
}

bool IsInside(int value, const Box1D<int>& bounds) { return value >= bounds.min && value <= bounds.max; }

}  // namespace

DUZHandTrackerBase::DUZHandTrackerBase(int maxShift)
    : m_id(0),
      m_logger(&NALogger::GetInstance()),
      m_state(eInactive),
      m_newState(eInactive),
      m_position(0, 0, 0),
      m_prevPosition(0, 0, 0),
      m_uncertainty(0, 0, 0),
      m_depthHistogram(),
      m_shiftHistogram(new int[static_cast<size_t>(std::max(maxShift, 0)) + 1]()),
      m_maxIterations(5),
      m_convergenceDistanceThreshold(10.0f),
      m_lostTrackingRecoveryTimeLimit(1.0f),
      m_searchBoundsSizeRW(Vector3D<float>(-75, -75, -75), Vector3D<float>(75, 75, 75)),
      m_maxSearchBoundsSizeRW(Vector3D<float>(-200, -200, -200), Vector3D<float>(200, 200, 200)),
      m_iterations(0),
      m_maxShift(std::max(maxShift, 0)) {}

DUZHandTrackerBase::~DUZHandTrackerBase() = default;

int DUZHandTrackerBase::Initialize(const std::string& iniFile, int verbose) {
    if (ReadParameters(iniFile, verbose, 1) == 0) {
        return 0;
    }
    m_predictor.reset(new NALinearMotionPredictor<float>);
    m_state = eInactive;
    m_newState = eInactive;
    return 1;
}

int DUZHandTrackerBase::ReadParameters(const std::string& iniFile, int verbose, int /*flag*/) {
    const std::string section = GetINISectionName();
    const bool echo = verbose != 0;
    // A value that would stall every frame (endless steps, a hand that is
    // never given up) keeps the current one.
    auto read = [&](const char* key, auto& member, auto isUsable) {
        auto value = member;
        if (ReadFromINI(iniFile, section, key, value, echo)) {
            if (isUsable(value)) {
                member = value;
            } else {
                std::cerr << section << ": ignoring " << key << " = " << value << std::endl;
            }
        }
    };
    auto finite = [](float value) { return std::isfinite(value); };
    read("MaxIterations", m_maxIterations, [](int value) { return value <= kMaxIterationsLimit; });
    read("LostTrackingRecoveryTimeLimit", m_lostTrackingRecoveryTimeLimit, finite);
    read("ConvergenceDistanceThreshold", m_convergenceDistanceThreshold, finite);
    read("SearchBoundsSizeRW", m_searchBoundsSizeRW, [&](const Box3D<float>& box) {
        return finite(box.min.x) && finite(box.min.y) && finite(box.min.z) && finite(box.max.x) &&
               finite(box.max.y) && finite(box.max.z);
    });
    return 1;
}

void DUZHandTrackerBase::UpdateResolution(NAResolution /*resolution*/, int /*flag*/) {}

int DUZHandTrackerBase::StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position) {
    if (!m_predictor) {
        return 0;
    }
    m_state = eTracking;
    m_newState = eTracking;
    m_position = position;
    m_predictor->Reset(position, frame.m_time);
    return 1;
}

void DUZHandTrackerBase::ComputePredictionAndBounds(const NADepthMapContainer& frame) {
    if (m_state == eInactive || !m_predictor) {
        return;
    }
    m_newState = eTracking;
    m_predictor->GetPrediction(frame.m_time, m_position, m_uncertainty);
    if (m_state == eLost) {
        // Search around the last known position, in a window that the
        // uncertainty widens with the time since then.
        m_position = m_predictor->m_position;
    }
    UpdateSearchAndDepthBounds(frame, 1);
}

void DUZHandTrackerBase::Update(const NADepthMapContainer& frame) {
    if (m_state == eInactive) {
        return;
    }
    DUZStageTimer timer(*m_logger, " - DUZHandTrackerBase::");
    if (m_newState == eTracking) {
        PrepareForSteps(frame);
    }
    timer.Line("PrepareForSteps");
    if (m_newState == eTracking) {
        m_iterations = StepToConvergence(frame);
    }
    timer.Line("StepToConvergence");
    if (m_newState == eTracking) {
        Validate(frame);
    }
    timer.Line("Validate");
    UpdateTrackerState(frame);
    m_state = m_newState;
    m_prevPosition = m_position;
    timer.Line("UpdateTrackerState");
}

void DUZHandTrackerBase::Reset() {
    m_state = eInactive;
    m_newState = eInactive;
    if (m_predictor) {
        m_predictor->Reset(Vector3D<float>(0, 0, 0), SensorTime(0));
    }
}

int DUZHandTrackerBase::StepToConvergence(const NADepthMapContainer& frame) {
    const float threshold = m_convergenceDistanceThreshold * m_convergenceDistanceThreshold;
    int steps = 0;
    for (int i = 0; i < m_maxIterations; ++i) {
        const Vector3D<float> previous = m_position;
        const int result = Step(frame);
        ++steps;
        if (result == 0 || (m_position - previous).MagnitudeSquared() <= threshold) {
            break;
        }
    }
    m_searchBoundsRW = ComputeSearchBoundsRW(frame, m_searchBounds, m_depthBounds);
    return steps;
}

void DUZHandTrackerBase::PrepareForSteps(const NADepthMapContainer& /*frame*/) {}

void DUZHandTrackerBase::UpdateSearchAndDepthBounds(const NADepthMapContainer& frame, int /*flag*/) {
    if (!ComputeSearchBounds(frame, m_searchBoundsSizeRW, m_maxSearchBoundsSizeRW, m_position, m_uncertainty,
                             LastSamplePosition(), m_searchBox, m_searchBounds, m_depthBounds)) {
        LogTrackerMessage(" empty bounds, changed to state 'lost'");
        m_newState = eLost;
    }
}

int DUZHandTrackerBase::ComputeWeightedHandCenter(const NADepthMapContainer& /*frame*/, Vector3D<float>& center) {
    center = m_position;
    return 1;
}

int DUZHandTrackerBase::Step(const NADepthMapContainer& frame) {
    UpdateSearchAndDepthBounds(frame, 0);
    if (m_newState != eTracking) {
        return 0;
    }
    if (ComputeWeightedHandCenter(frame, m_position) != 0) {
        return 1;
    }
    LogTrackerMessage(" failed to compute hand center, changed to state 'lost'");
    m_newState = eLost;
    return 0;
}

void DUZHandTrackerBase::Validate(const NADepthMapContainer& /*frame*/) {}

void DUZHandTrackerBase::UpdateTrackerState(const NADepthMapContainer& frame) {
    if (!m_predictor) {
        return;
    }
    if (m_newState == eTracking) {
        m_predictor->Update(m_position, frame.m_time);
    } else if (m_newState == eLost) {
        m_position = m_predictor->m_position;
        // Exactly the limit still counts as recoverable.
        if (frame.m_time.SecondsSince(m_predictor->m_time) > m_lostTrackingRecoveryTimeLimit) {
            m_newState = eInactive;
            LogTrackerMessage(" changed to state 'inactive'");
        }
    }
}

void DUZHandTrackerBase::CalculateHistogram(const NADepthMapContainer& frame, const Box2D<int>& box) {
    DepthHistogramOfWindow(frame, box, nullptr, m_depthBounds, m_depthHistogram, nullptr);
}

void DUZHandTrackerBase::CalculateHistogramUsingMask(const NADepthMapContainer& frame, const Box2D<int>& box,
                                                     const Array2D<int>& mask, Box1D<unsigned short>& range) {
    DepthHistogramOfWindow(frame, box, &mask, m_depthBounds, m_depthHistogram, &range);
}

void DUZHandTrackerBase::CalculateShiftHistogramUsingMask(const NADepthMapContainer& frame, const Box2D<int>& box,
                                                          const Array2D<int>& mask, Box1D<unsigned short>& range) {
    ShiftHistogramOfWindow(frame, box, mask, m_depthBounds, m_shiftHistogram.get(), m_maxShift + 1, m_shiftBounds,
                           range);
}

void DUZHandTrackerBase::CopyState(const DUZHandTrackerBase& other) {
    m_state = other.m_state;
    m_newState = other.m_newState;
    m_uncertainty = other.m_uncertainty;
    m_searchBounds = other.m_searchBounds;
    m_searchBoundsRW = other.m_searchBoundsRW;
    m_searchBoundsSizeRW = other.m_searchBoundsSizeRW;
    m_depthBounds = other.m_depthBounds;
    if (m_predictor && other.m_predictor) {
        m_predictor->m_position = other.m_predictor->m_position;
        m_predictor->m_time = other.m_predictor->m_time;
    }
    m_position = other.m_position;
    m_prevPosition = other.m_prevPosition;
}

bool DUZHandTrackerBase::ComputeSearchBounds(const NADepthMapContainer& frame, const Box3D<float>& sizeBox,
                                             const Box3D<float>& capBox, const Vector3D<float>& position,
                                             const Vector3D<float>& uncertainty, const Vector3D<float>& lastSample,
                                             Box3D<float>& searchBox, Box2D<int>& searchBounds,
                                             Box1D<int>& depthBounds) {
    const Vector3D<float>& p = position;
    for (int a = 0; a < 3; ++a) {
        // Stretched to reach the last sample, widened by the uncertainty,
        // capped.
        float lo = std::min(lastSample[a], p[a] + sizeBox.min[a]) - p[a] - uncertainty[a];
        float hi = std::max(lastSample[a], p[a] + sizeBox.max[a]) - p[a] + uncertainty[a];
        lo = std::max(lo, capBox.min[a]);
        hi = std::min(hi, capBox.max[a]);
        searchBox.min[a] = lo;
        searchBox.max[a] = hi;
    }
    if (frame.m_converter == nullptr || frame.m_depth == nullptr) {
        searchBounds = Box2D<int>();
        depthBounds = Box1D<int>();
        return false;
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const float s = p.z * converter.m_fPixelSizeFactor;
    float column = 0.0f;
    float row = 0.0f;
    if (p.z > 0) {
        column = p.x / s + converter.m_fCenterX;
        row = converter.m_fCenterY - p.y / s;
    }
    const Box3D<float>& box = searchBox;
    searchBounds.min.x = std::max(0, Truncate(column + box.min.x / s));
    searchBounds.max.x = std::min(frame.m_depth->XRes() - 1, Truncate(column + box.max.x / s));
    searchBounds.min.y = std::max(0, Truncate(row - box.max.y / s));
    searchBounds.max.y = std::min(frame.m_depth->YRes() - 1, Truncate(row - box.min.y / s));
    depthBounds.min = std::max(1, Truncate(p.z + box.min.z));
    depthBounds.max = std::min(static_cast<int>(frame.m_depth->ZRes()), Truncate(p.z + box.max.z));
    return searchBounds.min.x <= searchBounds.max.x && searchBounds.min.y <= searchBounds.max.y &&
           depthBounds.min <= depthBounds.max;
}

void DUZHandTrackerBase::DepthHistogramOfWindow(const NADepthMapContainer& frame, const Box2D<int>& box,
                                                const Array2D<int>* mask, const Box1D<int>& depthBounds,
                                                int* histogram, Box1D<unsigned short>* range) {
    std::fill(histogram, histogram + kDepthHistogramBins, 0);
    if (frame.m_depth == nullptr || frame.m_depth->Data() == nullptr) {
        return;
    }
    const int width = frame.m_depth->XRes();
    Box2D<int> window = ClippedToMap(box, width, frame.m_depth->YRes());
    if (mask != nullptr) {
        window = ClippedToMap(window, mask->Columns(), mask->Rows());
    }
    const XnDepthPixel* depth = frame.m_depth->Data();
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            const int d = depth[r * width + c];
            // The bins end at 9999 mm, but a stream may deliver up to its
            // maximum (10000 for the first device family).
            if (d == 0 || !IsInside(d, depthBounds) || d >= 8 * kDepthHistogramBins ||
                (mask != nullptr && mask->Data()[r * mask->Columns() + c] == 0)) {
                continue;
            }
            ++histogram[d / 8];
            if (range != nullptr) {
                range->min = std::min(range->min, static_cast<unsigned short>(d));
                range->max = std::max(range->max, static_cast<unsigned short>(d));
            }
        }
    }
}

void DUZHandTrackerBase::ShiftHistogramOfWindow(const NADepthMapContainer& frame, const Box2D<int>& box,
                                                const Array2D<int>& mask, const Box1D<int>& depthBounds,
                                                int* histogram, int bins, Box1D<int>& shiftBounds,
                                                Box1D<unsigned short>& range) {
    std::fill(histogram, histogram + std::max(bins, 0), 0);
    if (depthBounds.min > depthBounds.max || depthBounds.min < 0 || frame.m_depthToShift == nullptr ||
        frame.m_shift == nullptr || frame.m_shift->Data() == nullptr) {
        shiftBounds = Box1D<int>();
        return;
    }
    shiftBounds = Box1D<int>(frame.m_depthToShift[depthBounds.min], frame.m_depthToShift[depthBounds.max]);
    const int width = frame.m_shift->XRes();
    Box2D<int> window = ClippedToMap(box, width, frame.m_shift->YRes());
    window = ClippedToMap(window, mask.Columns(), mask.Rows());
    const XnDepthPixel* shift = frame.m_shift->Data();
    for (int r = window.min.y; r <= window.max.y; ++r) {
        for (int c = window.min.x; c <= window.max.x; ++c) {
            const int s = shift[r * width + c];
            if (s == 0 || mask.Data()[r * mask.Columns() + c] == 0 || !IsInside(s, shiftBounds) || s >= bins) {
                continue;
            }
            ++histogram[s];
            range.min = std::min(range.min, static_cast<unsigned short>(s));
            range.max = std::max(range.max, static_cast<unsigned short>(s));
        }
    }
}

Box3D<float> DUZHandTrackerBase::ComputeSearchBoundsRW(const NADepthMapContainer& frame,
                                                       const Box2D<int>& searchBounds, const Box1D<int>& depthBounds) {
    if (frame.m_converter == nullptr) {
        return Box3D<float>();
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const float cx = converter.m_fCenterX;
    const float cy = converter.m_fCenterY;
    const float nearSize = converter.PixelSizeAt(depthBounds.min);
    const float farSize = converter.PixelSizeAt(depthBounds.max);
    const int64_t bottom = std::min<int64_t>(int64_t{searchBounds.max.y} + 1, converter.m_nYRes - 1);
    const int64_t right = std::min<int64_t>(int64_t{searchBounds.max.x} + 1, converter.m_nXRes - 1);
    Box3D<float> world;
    world.min.x = (static_cast<float>(searchBounds.min.x) - cx) * nearSize;
    world.min.y = (cy - static_cast<float>(bottom)) * nearSize;
    world.min.z = static_cast<float>(depthBounds.min);
    world.max.x = (static_cast<float>(right) - cx) * farSize;
    world.max.y = (cy - static_cast<float>(searchBounds.min.y)) * farSize;
    world.max.z = static_cast<float>(depthBounds.max);
    return world;
}

void DUZHandTrackerBase::LogTrackerMessage(const char* text) const {
    if (m_logger->GetEnabled() != 0 && xnLogIsEnabled(kTrackerMask, XN_LOG_VERBOSE)) {
        NALoggerHelper(*m_logger, kTrackerMask, XN_LOG_VERBOSE) << "Tracker ID " << m_id << text << std::endl;
    }
}

Vector3D<float> DUZHandTrackerBase::LastSamplePosition() const {
    return m_predictor ? m_predictor->m_position : m_position;
}

Vector2D<float> CalculateHandSize(const NADepthMapContainer& frame, const Vector3D<float>& position,
                                  const Box2D<int>& box) {
    if (frame.m_converter == nullptr || frame.m_depth == nullptr || frame.m_depth->Data() == nullptr) {
        return Vector2D<float>(0, 0);
    }
    const WorldPointConverterBase<float>& converter = *frame.m_converter;
    const int width = frame.m_depth->XRes();
    const int height = frame.m_depth->YRes();
    const XnDepthPixel* depth = frame.m_depth->Data();
    const float z = position.z;
    int c = 0;
    int r = 0;
    if (z > 0) {
        const float s = converter.m_fPixelSizeFactor * z;
        c = Truncate(position.x / s + converter.m_fCenterX);
        r = Truncate(converter.m_fCenterY - position.y / s);
    }
    if (c < 0 || c >= width || r < 0 || r >= height) {
        return Vector2D<float>(0, 0);
    }
    auto at = [&](int column, int row) { return static_cast<int>(depth[row * width + column]); };
    // A pixel without depth takes part with 0.
    auto connects = [](int a, int b) { return std::abs(a - b) <= 99; };
    const int d0 = at(c, r);

    int count = 1;
    int previous = d0;
    for (int x = c - 1; x >= std::max(box.min.x, 0) && connects(at(x, r), previous); --x) {
        previous = at(x, r);
        ++count;
    }
    previous = d0;
    for (int x = c + 1; x <= std::min(box.max.x, width - 1) && connects(at(x, r), previous); ++x) {
        previous = at(x, r);
        ++count;
    }
    const float handWidth = static_cast<float>(count) * converter.PixelSizeAt(Truncate(z));

    int top = r;
    previous = d0;
    for (int y = r - 1; y >= std::max(box.min.y, 0) && connects(at(c, y), previous); --y) {
        previous = at(c, y);
        top = y;
    }
    int bottom = r;
    previous = d0;
    for (int y = r + 1; y <= std::min(box.max.y, height - 1) && connects(at(c, y), previous); ++y) {
        previous = at(c, y);
        bottom = y;
    }
    const float cy = converter.m_fCenterY;
    const float handHeight = (cy - static_cast<float>(top)) * converter.PixelSizeAt(at(c, top)) -
                             (cy - static_cast<float>(bottom)) * converter.PixelSizeAt(at(c, bottom));
    return Vector2D<float>(handWidth, handHeight);
}
