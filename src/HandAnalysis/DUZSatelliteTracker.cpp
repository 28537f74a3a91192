#include "HandAnalysis/DUZSatelliteTracker.h"

#include "NACommon/NALinearMotionPredictor.h"

DUZSatelliteTracker::DUZSatelliteTracker(const DUZHandPartition* partition,
                                         const DUZHandTrackerBackgroundModel* backgroundModel,
                                         const DUZHandFilter* handFilter, unsigned short maxDepth, int maxShift)
    : DUZHandTracker(partition, backgroundModel, handFilter, false, maxDepth, maxShift) {}

DUZSatelliteTracker::~DUZSatelliteTracker() = default;

int DUZSatelliteTracker::StartTracking(const NADepthMapContainer& frame, const Vector3D<float>& position,
                                       const NAMotionPredictor<float>& predictor, const Vector2D<float>& handSize) {
    const int result = DUZHandTracker::StartTracking(frame, position, handSize);
    m_prevPosition = m_position;
    // The previous sample stays unset (InvalidTime), so the prediction is
    // the given last sample itself.
    std::unique_ptr<NALinearMotionPredictor<float>> linear(new NALinearMotionPredictor<float>);
    linear->m_position = predictor.m_position;
    linear->m_time = predictor.m_time;
    m_predictor = std::move(linear);
    m_predictor->GetPrediction(frame.m_time, m_position, m_uncertainty);
    return result;
}

void DUZSatelliteTracker::PrepareForSteps(const NADepthMapContainer& frame) {
    if (m_multipleTracking != 0 && m_newState == eTracking) {
        RescaleUsingBackwardsTracking(frame);
    }
}

void DUZSatelliteTracker::Validate(const NADepthMapContainer& /*frame*/) {}

int DUZSatelliteTracker::IsValidated(const NADepthMapContainer& frame) {
    const State remembered = m_newState;
    DUZHandTracker::Validate(frame);
    const int validated = m_newState == eTracking ? 1 : 0;
    m_newState = remembered;
    return validated;
}
