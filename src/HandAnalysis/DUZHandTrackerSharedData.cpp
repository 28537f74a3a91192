#include "HandAnalysis/DUZHandTrackerSharedData.h"

#include "NACommon/NACommonData.h"

namespace {

// target becomes a copy of source, header and pixels, in its own buffer,
// which only grows.
void CopyDepthRecord(const xn::DepthMetaData* source, xn::DepthMetaData& target) {
    if (source == nullptr) {
        return;
    }
    if (NACommonData::CopyMap(*source, target) == XN_STATUS_OK) {
        target.ZRes() = source->ZRes();
    }
}

}  // namespace

DUZHandTrackerSharedData::TrackerInputData::TrackerInputData()
    : m_combinedProbabilityFactor(0), m_resolution(NAResolution::NoMatch) {
    m_container.m_depth = &m_depth;
    m_container.m_shift = &m_shift;
}

DUZHandTrackerSharedData* DUZHandTrackerSharedData::New() {
    static DUZHandTrackerSharedData s_sharedData;
    return &s_sharedData;
}

DUZHandTrackerSharedData::DUZHandTrackerSharedData() : m_combinedProbabilityFactor(0) {}

void DUZHandTrackerSharedData::UpdateTrackerInputDataHistory(const NADepthMapContainer& container) {
    TrackerInputData& entry = m_history[0];
    entry.m_combinedProbability = m_combinedProbability;
    entry.m_combinedProbabilityFactor = m_combinedProbabilityFactor;
    entry.m_resolution = NAResolutionOfSize(m_combinedProbability.Columns(), m_combinedProbability.Rows());
    CopyDepthRecord(container.m_depth, entry.m_depth);
    CopyDepthRecord(container.m_shift, entry.m_shift);
    entry.m_container.m_depthToShift = container.m_depthToShift;
    entry.m_container.m_shiftToDepth = container.m_shiftToDepth;
    entry.m_container.m_converter = container.m_converter;
    entry.m_container.m_frameId = container.m_frameId;
    entry.m_container.m_time = container.m_time;
}
