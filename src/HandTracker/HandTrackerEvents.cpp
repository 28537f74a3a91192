// The hand tracker's hand and gesture records: the managers' events, the
// hand, gesture and smoothing controls, and the smoothing of hand positions.

#include <algorithm>
#include <cmath>

#include "HandAnalysis/DUZHandAlgorithmsLock.h"
#include "HandTracker/HandTracker.h"
#include "OSLayer/XnLog.h"

namespace {

// Public gesture types by internal one, and back.
struct GestureTypePair {
    GestureType internal;
    VelaGestureType external;
};
const GestureTypePair kGestureTypes[] = {
    {GESTURE_CLICK, VELA_GESTURE_CLICK},
    {GESTURE_WAVE, VELA_GESTURE_WAVE},
    {GESTURE_RAISE_HAND, VELA_GESTURE_HAND_RAISE},
};

// Smoothed positions stay put while the mean of the raw ones lies within
// this many millimetres per unit of factor.
const float kSmoothingDistance = 100.0f;

}  // namespace

void HandTracker::ProcessEvent(const NAEvent& event) {
    if (event.kind == NAEvent::GESTURE) {
        if (event.gesture.gestureStatus != GESTURE_STATUS_COMPLETED) {
            return;
        }
        const Vector3D<float>& position = event.gesture.currentPosition;
        m_gestures.AddLast(new VelaGestureData{
            static_cast<VelaGestureType>(TranslateGestureType(static_cast<GestureType>(event.gesture.gestureType))),
            {position.x, position.y, position.z},
            VELA_GESTURE_STATE_COMPLETED});
        return;
    }
    if (event.kind != NAEvent::HAND) {
        return;
    }
    const short id = static_cast<short>(event.hand.handId);
    VelaHandData record = {id, {event.hand.position.x, event.hand.position.y, event.hand.position.z}, 0};
    switch (event.hand.type) {
        case NAHandEvent::ADDED:
            record.state = VELA_HAND_STATE_NEW | VELA_HAND_STATE_TRACKED;
            break;
        case NAHandEvent::DELETED:
            record.state = VELA_HAND_STATE_LOST;
            break;
        case NAHandEvent::MOVED:
            record.state = VELA_HAND_STATE_TRACKED;
            if (m_smoothingEnabled) {
                denoisePoint(id, record.position);
            }
            break;
        case NAHandEvent::TOUCHING_FOV: {
            // Marks the hand's pending records; a hand without one is
            // reported tracked and touching.
            bool pending = false;
            for (VelaHandData* hand : m_hands) {
                if (hand->id == id) {
                    hand->state |= VELA_HAND_STATE_TOUCHING_FOV;
                    pending = true;
                }
            }
            if (pending) {
                return;
            }
            record.state = VELA_HAND_STATE_TRACKED | VELA_HAND_STATE_TOUCHING_FOV;
            break;
        }
        default:
            return;
    }
    m_hands.AddLast(new VelaHandData(record));
}

int HandTracker::startHandTracking(const VelaPoint3f& position, short* id) {
    if (id == nullptr) {
        xnLogError(XN_LOG_MASK_ALL, "HandTracker: no place for the hand id was given");
        return VELA_STATUS_ERROR;
    }
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    const unsigned int newId = m_handTrackerManager->StartTracking(
        m_depthGenerator, m_depthMetaData, Vector3D<float>(position.x, position.y, position.z), Vector2D<float>(0, 0));
    if (newId == 0) {
        xnLogError(XN_LOG_MASK_ALL, "HandTracker: Couldn't start tracking a hand at (%g, %g, %g)",
                   static_cast<double>(position.x), static_cast<double>(position.y), static_cast<double>(position.z));
        return VELA_STATUS_ERROR;
    }
    *id = static_cast<short>(newId);
    return VELA_STATUS_OK;
}

int HandTracker::stopHandTracking(short id) {
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    return m_handTrackerManager->StopTracking(static_cast<unsigned int>(id));
}

void HandTracker::stopHandTracking() {
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    m_handTrackerManager->StopTrackingAllHands();
}

int HandTracker::setSmoothingFactor(float factor) {
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    if (!std::isfinite(factor)) {
        xnLogError(XN_LOG_MASK_ALL, "HandTracker: the smoothing factor must be a finite number");
        return VELA_STATUS_ERROR;
    }
    if (factor != 0) {
        m_smoothingFactor = factor;
        m_smoothingEnabled = true;
    } else {
        m_smoothingEnabled = false;
        clearSmoothingData();
    }
    return VELA_STATUS_OK;
}

int HandTracker::getSmoothingFactor(float& factor) {
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    factor = m_smoothingFactor;
    return VELA_STATUS_OK;
}

void HandTracker::clearSmoothingData() {
    while (!m_smoothingData.IsEmpty()) {
        auto entry = m_smoothingData.Begin();
        delete entry->Value();
        m_smoothingData.Remove(entry);
    }
}

void HandTracker::denoisePoint(short id, VelaPoint3f& position) {
    auto entry = m_smoothingData.Find(id);
    SmoothingData* data = nullptr;
    if (entry == m_smoothingData.End()) {
        data = new SmoothingData();
        data->smoothed = position;
        m_smoothingData.Set(id, data);
    } else {
        data = entry->Value();
    }
    data->ring[data->ringIndex] = position;
    data->count += 1;
    data->ringIndex = (data->ringIndex + 1) % 3;
    const int n = std::min(data->count, 3);
    VelaPoint3f mean = {0, 0, 0};
    for (int i = 0; i < n; ++i) {
        mean.x += data->ring[i].x;
        mean.y += data->ring[i].y;
        mean.z += data->ring[i].z;
    }
    mean.x /= static_cast<float>(n);
    mean.y /= static_cast<float>(n);
    mean.z /= static_cast<float>(n);
    const VelaPoint3f d = {mean.x - data->smoothed.x, mean.y - data->smoothed.y, mean.z - data->smoothed.z};
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    float t = 0;
    if (length > 0) {
        t = std::max(length - kSmoothingDistance * m_smoothingFactor, 0.0f);
    }
    // Follows the mean, trailing it by the smoothing distance.
    if (t != 0) {
        data->smoothed.x += d.x * t / length;
        data->smoothed.y += d.y * t / length;
        data->smoothed.z += d.z * t / length;
    }
    position = data->smoothed;
}

int HandTracker::TranslateGestureType(GestureType type) {
    for (const GestureTypePair& pair : kGestureTypes) {
        if (pair.internal == type) {
            return pair.external;
        }
    }
    return -1;
}

bool HandTracker::activateGesture(VelaGestureType type, int active) {
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    for (const GestureTypePair& pair : kGestureTypes) {
        if (pair.external == type) {
            m_gestureManager->ActivateGesture(pair.internal, active, nullptr);
            return true;
        }
    }
    xnLogError(XN_LOG_MASK_ALL, "Can't find gesture type %d", static_cast<int>(type));
    return false;
}

int HandTracker::startGestureDetection(VelaGestureType type) {
    return activateGesture(type, 1) ? VELA_STATUS_OK : VELA_STATUS_ERROR;
}

void HandTracker::stopGestureDetection(VelaGestureType type) { activateGesture(type, 0); }

void HandTracker::stopGestureDetection() {
    std::lock_guard<std::recursive_mutex> algorithms(DUZHandAlgorithmsLock());
    for (const GestureTypePair& pair : kGestureTypes) {
        m_gestureManager->ActivateGesture(pair.internal, 0, nullptr);
    }
}
