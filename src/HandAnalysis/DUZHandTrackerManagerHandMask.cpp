// The hand-tracker manager's hand mask (the tracked hands and their forearms,
// kept out of the background) and its search for further hands near the
// tracked ones.

#include <algorithm>
#include <limits>

#include "HandAnalysis/DUZHandTrackerManager.h"
#include "NACommon/NACommonData.h"
#include "QuorLibrary/Math/GeometryProjector.h"

namespace {

constexpr float kForearmLength = 400.0f;     // mm
constexpr float kForearmHalfWidth = 100.0f;  // mm
constexpr float kForearmFacingCamera = -0.7f;
constexpr float kSearchWidening = 150.0f;  // mm

}  // namespace

void DUZHandTrackerManager::ClearHandMask(int force) {
    if (force == 0 && m_handMaskValue != 65535) {
        ++m_handMaskValue;
        return;
    }
    m_handMaskValue = 1;
    std::fill(m_handMask.Data(), m_handMask.Data() + m_handMask.Rows() * m_handMask.Columns(), 0);
}

void DUZHandTrackerManager::AddToHandMask(const NADepthMapContainer& container, const Vector3D<float>& position,
                                          const Vector3D<float>& direction, Box2D<int>& box) {
    const xn::DepthMetaData& depth = *container.m_depth;
    const int width = static_cast<int>(depth.XRes());
    const int height = static_cast<int>(depth.YRes());
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const Box3D<float>& reach = m_handMaskBox;
    const int maskColumns = m_handMask.Columns();
    unsigned short* mask = m_handMask.Data();

    const float e = position.z * converter.m_fPixelSizeFactor;
    const float u = position.z > 0 ? position.x / e + converter.m_fCenterX : 0.0f;
    const float v = position.z > 0 ? converter.m_fCenterY - position.y / e : 0.0f;
    const Box2D<int> hand(std::max(0, static_cast<int>(u + reach.min.x / e)),
                          std::max(0, static_cast<int>(v - reach.max.y / e)),
                          std::min(width - 1, static_cast<int>(u + reach.max.x / e)),
                          std::min(height - 1, static_cast<int>(v - reach.min.y / e)));
    const int zFar = static_cast<int>(position.z + reach.max.z);

    const bool noDirection = direction.x == 0.0f && direction.y == 0.0f && direction.z == 0.0f;
    if (direction.z <= kForearmFacingCamera || noDirection) {
        box = hand;
        for (int r = hand.min.y; r <= hand.max.y; ++r) {
            for (int c = hand.min.x; c <= hand.max.x; ++c) {
                const int d = depth(c, r);
                if (d > 0 && d <= zFar) {
                    mask[r * maskColumns + c] = m_handMaskValue;
                }
            }
        }
        return;
    }

    // The forearm lies behind the hand, against the direction; image rows
    // grow downwards.
    const Vector2D<float> a = Vector2D<float>(direction.x, direction.y).Normalized();
    const float length = kForearmLength / e;
    const float halfWidth = kForearmHalfWidth / e;
    const int endX = static_cast<int>(u - a.x * length);
    const int endY = static_cast<int>(v + a.y * length);
    const Box2D<int> band(std::max(0, std::min(static_cast<int>(u), endX)),
                          std::max(0, std::min(static_cast<int>(v), endY)), std::max(static_cast<int>(u), endX),
                          std::max(static_cast<int>(v), endY));
    box = Box2D<int>(std::min(hand.min.x, band.min.x), std::min(hand.min.y, band.min.y),
                     std::max(std::min(width - 1, band.max.x), hand.max.x),
                     std::max(std::min(height - 1, band.max.y), hand.max.y));
    const int zNear = static_cast<int>(position.z + reach.min.z);
    for (int r = box.min.y; r <= box.max.y; ++r) {
        for (int c = box.min.x; c <= box.max.x; ++c) {
            const int d = depth(c, r);
            if (d == 0) {
                continue;
            }
            const bool inHand = c >= hand.min.x && c <= hand.max.x && r >= hand.min.y && r <= hand.max.y;
            if (inHand && d <= zFar) {
                mask[r * maskColumns + c] = m_handMaskValue;
            } else if (zNear <= d && d <= zFar) {
                const float dx = static_cast<float>(c) - u;
                const float dy = static_cast<float>(r) - v;
                const float along = dx * -a.x + dy * a.y;
                if (along >= 0 && along <= length) {
                    const float across = dy * -a.x - dx * a.y;
                    if (across >= -halfWidth && across <= halfWidth) {
                        mask[r * maskColumns + c] = m_handMaskValue;
                    }
                }
            }
        }
    }
}

void DUZHandTrackerManager::UpdateBackgroundModel(const NADepthMapContainer& container) {
    if (!HasActiveTracker()) {
        return;
    }
    ClearHandMask(0);
    Box2D<int> scratch;
    for (const DUZHandTracker* tracker : m_activeTrackers) {
        if (tracker->m_state != DUZHandTrackerBase::eInactive) {
            AddToHandMask(container, tracker->m_position, tracker->m_forearmTracker.GetForearmDirection(), scratch);
        }
    }
    const Box2D<int> all(0, 0, static_cast<int>(container.m_depth->XRes()) - 1,
                         static_cast<int>(container.m_depth->YRes()) - 1);
    m_bgModel.Update(container, all, m_handMask, m_handMaskValue);
}

void DUZHandTrackerManager::PrepareToTrackFirstHand(const NADepthMapContainer& container) {
    const Box2D<int> all(0, 0, static_cast<int>(container.m_depth->XRes()) - 1,
                         static_cast<int>(container.m_depth->YRes()) - 1);
    m_bgModel.SetToCurrentShiftMapSSE(container, all);
}

void DUZHandTrackerManager::FindAdditionalHands(const NADepthMapContainer& container) {
    m_handCandidates.clear();
    Box3D<float> search;
    bool any = false;
    for (const DUZHandTracker* tracker : m_activeTrackers) {
        if (tracker->m_state != DUZHandTrackerBase::eTracking) {
            continue;
        }
        const Vector3D<float> low = tracker->m_position + m_additionalHandsSearchBounds.min;
        const Vector3D<float> high = tracker->m_position + m_additionalHandsSearchBounds.max;
        if (!any) {
            search = Box3D<float>(low, high);
            any = true;
        } else {
            search.min = Vector3D<float>(std::min(search.min.x, low.x), std::min(search.min.y, low.y),
                                         std::min(search.min.z, low.z));
            search.max = Vector3D<float>(std::max(search.max.x, high.x), std::max(search.max.y, high.y),
                                         std::max(search.max.z, high.z));
        }
    }
    if (!any || search.min.x > search.max.x || search.min.y > search.max.y || search.min.z > search.max.z) {
        return;
    }
    const Vector3D<float> widening(kSearchWidening, kSearchWidening, kSearchWidening);
    search = Box3D<float>(search.min - widening, search.max + widening);
    if (m_allowMultipleHands == 0) {
        return;
    }
    if (m_additionalHandsSearchPeriod <= 0 ||
        container.m_frameId % static_cast<unsigned int>(m_additionalHandsSearchPeriod) != 0) {
        return;
    }
    FindHandCandidates(container, search, m_handCandidates);
    if (m_handCandidates.empty()) {
        return;
    }
    const Vector3D<float>* best = ChooseAdditionalHand(m_handCandidates);
    if (best != nullptr && m_trackAdditionalHands != 0) {
        const Vector3D<float> start = *best;
        StartTracking(start, m_activeTrackers.front()->m_handSize);
    }
}

const Vector3D<float>* DUZHandTrackerManager::ChooseAdditionalHand(
    const std::vector<Vector3D<float>>& candidates) const {
    const float minDistance = m_minAdditionalHandDistance * m_minAdditionalHandDistance;
    float bestDistance = std::numeric_limits<float>::max();
    const Vector3D<float>* best = nullptr;
    for (const Vector3D<float>& candidate : candidates) {
        float nearest = std::numeric_limits<float>::max();
        bool rejected = false;
        for (const DUZHandTracker* tracker : m_activeTrackers) {
            if (tracker->m_state != DUZHandTrackerBase::eTracking) {
                continue;
            }
            const Vector3D<float> delta = candidate - tracker->m_position;
            const float q = delta.x * delta.x + delta.y * delta.y + delta.z * delta.z;
            if (q < minDistance) {
                rejected = true;
                break;
            }
            if (q < nearest && m_additionalHandsSearchBounds.Intersects(delta)) {
                nearest = q;
            }
        }
        if (!rejected && nearest < bestDistance) {
            best = &candidate;
            bestDistance = nearest;
        }
    }
    return best;
}

void DUZHandTrackerManager::FindHandCandidates(const NADepthMapContainer& container, const Box3D<float>& box,
                                               std::vector<Vector3D<float>>& candidates) {
    const NAResolution level = m_detectionResolution;
    const int levelIndex = NAResolutionIndex(level);
    if (level != m_container.m_resolution && level != m_container.m_inputResolution && m_commonData != nullptr &&
        NAResolutionWidth(m_container.m_inputResolution) / NAResolutionWidth(level) > 1) {
        m_container.RefreshLevelDepth(*m_commonData, level);
    }
    if (m_container.m_levelDepth[levelIndex] == nullptr || !m_container.m_levelConverter[levelIndex]) {
        return;
    }
    m_detectionContainer.m_depth = m_container.m_levelDepth[levelIndex];
    m_detectionContainer.m_converter = m_container.m_levelConverter[levelIndex].get();
    m_detectionContainer.m_frameId = container.m_frameId;
    m_detectionContainer.m_time = container.m_time;
    Box2D<int> image = GeometryProjector<float>::GetProjectedBounds(*m_detectionContainer.m_converter, box);
    m_bgModel.ComputeHandDetectorForgroundMask(m_detectionContainer, image, 1, m_handMask, m_handMaskValue,
                                               m_detectorMask);
    m_handDetector->FindHandCandidates(&m_detectionContainer, image, &m_detectorMask, 1, 1, nullptr,
                                       m_candidateProperties, m_candidateCount);
    for (int i = 1; i < m_candidateCount; ++i) {
        const Vector3D<float>& centre = m_candidateProperties.m_centerOfMass[i];
        if ((centre.x != 0.0f || centre.y != 0.0f || centre.z != 0.0f) && box.Intersects(centre)) {
            candidates.push_back(centre);
        }
    }
    if (m_useExtremesTracking) {
        int count = 0;
        for (const DUZHandTracker* tracker : m_activeTrackers) {
            if (tracker->m_state == DUZHandTrackerBase::eTracking && count < kTrackers) {
                m_trackedBoxes[count++] = tracker->m_searchBoundsRW;
            }
        }
        m_extremePointsReporter->FindNewCandidates(m_detectionContainer, DUZExtremePointsReporter::BasicExtremes,
                                                   count, m_trackedBoxes, &image);
    }
}
