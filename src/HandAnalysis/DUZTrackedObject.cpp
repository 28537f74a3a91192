#include "HandAnalysis/DUZTrackedObject.h"

#include <cstdint>

DUZTrackedObject::DUZTrackedObject(const NADepthMapContainer* ring, int ringSize,
                                   Array2D<unsigned short>* motionImage, int useFittedTrajectory,
                                   unsigned short maxDepth, int maxShift)
    : m_tracker(ring, ringSize, motionImage, maxDepth, maxShift),
      m_trajectory(useFittedTrajectory != 0),
      m_hasForearm(0) {}

int DUZTrackedObject::Initialize(unsigned int seed, const std::string& iniFile, int verbose) {
    m_trajectory.Reset();
    m_trajectory.m_fittedTrajectory.SetRandomSeed(seed);
    return m_tracker.Initialize(iniFile, verbose);
}

void DUZTrackedObject::StartTracking(const NADepthMapContainer& frame, const NADepthMapContainer* ring, int ringSize,
                                     const Vector3D<float>& position, int index, int hasForearm) {
    const int64_t f = frame.m_frameId;
    m_tracker.StartTracking(frame, position);
    m_tracker.m_id = static_cast<uint32_t>(index);
    m_hasForearm = hasForearm;
    m_trajectory.UpdateNewPosition(m_tracker.m_position, frame.m_frameId, frame.m_time);
    m_trajectory.m_startFrameId = static_cast<int32_t>(f);
    m_trajectory.m_startPosition = position;
    m_tracker.SetBackwardsTracking(1);

    // Frames before f, as long as the ring holds them without a gap.
    const int64_t oldest = f > ringSize ? f - ringSize : 0;
    auto slotOf = [&](int64_t id) -> const NADepthMapContainer* {
        if (ring == nullptr || ringSize <= 0 || id <= 0) {
            return nullptr;
        }
        const NADepthMapContainer& slot = ring[id % ringSize];
        return slot.m_frameId == static_cast<uint32_t>(id) ? &slot : nullptr;
    };
    int64_t earliest = f;
    if (f != 1 && oldest < f - 1 && m_tracker.m_state != DUZHandTrackerBase::eInactive) {
        int64_t e = f - 1;
        const NADepthMapContainer* slot = slotOf(e);
        while (slot != nullptr) {
            m_tracker.ComputePredictionAndBounds(*slot);
            m_tracker.Update(*slot, 0, nullptr, 0);
            if (m_tracker.m_state != DUZHandTrackerBase::eTracking) {
                break;
            }
            m_trajectory.UpdateNewPosition(m_tracker.m_position, static_cast<unsigned int>(e), slot->m_time);
            earliest = e;
            if (oldest >= e - 1 || m_tracker.m_state == DUZHandTrackerBase::eInactive) {
                break;
            }
            slot = slotOf(--e);
        }
    }

    m_tracker.StartTracking(frame, position);
    for (int64_t k = earliest; k <= f; ++k) {
        m_trajectory.UpdateVelocity(static_cast<unsigned int>(k));
    }
    m_trajectory.m_latestFrameId = static_cast<int32_t>(f);
    m_tracker.SetBackwardsTracking(0);
}

void DUZTrackedObject::Update(const NADepthMapContainer& frame, int flag, Box3D<float>* headBoxes,
                              int numHeadBoxes) {
    const DUZHandTrackerBase::State before = m_tracker.m_state;
    m_tracker.ComputePredictionAndBounds(frame);
    m_tracker.Update(frame, flag, headBoxes, numHeadBoxes);
    if (before != DUZHandTrackerBase::eInactive && m_tracker.m_state == DUZHandTrackerBase::eInactive) {
        m_trajectory.m_justLost = 1;
    } else if (m_tracker.m_state == DUZHandTrackerBase::eTracking) {
        m_trajectory.UpdateNewPosition(m_tracker.m_position, frame.m_frameId, frame.m_time);
        m_trajectory.UpdateVelocity(frame.m_frameId);
        m_trajectory.SetHandXYSize(frame.m_frameId, m_tracker.m_handXYSize);
    }
}

void DUZTrackedObject::Reset() {
    m_tracker.DUZHandTrackerBase::Reset();
    m_trajectory.Reset();
}
