#include "HandAnalysis/DUZGestureRecognizerManager.h"

#include <cstdio>

DUZGestureRecognizerManager::DUZGestureRecognizerManager() : m_running(0), m_commonData(nullptr), m_active() {}

DUZGestureRecognizerManager::~DUZGestureRecognizerManager() = default;

int DUZGestureRecognizerManager::Initialize(NACommonData* commonData, const xn::DepthGenerator& generator,
                                            const xn::DepthMetaData&, const std::string&, int, int) {
    m_commonData = commonData;
    XnUInt64 maxShift = 0;
    if (generator.GetIntProperty("MaxShift", maxShift) != XN_STATUS_OK) {
        std::fputs("Couldn't get XN_STREAM_PROPERTY_MAX_SHIFT\n", stderr);
        return 0;
    }
    ActivateGesture(GESTURE_CLICK, 1, nullptr);
    ActivateGesture(GESTURE_WAVE, 1, nullptr);
    ActivateGesture(GESTURE_RAISE_HAND, 0, nullptr);
    ActivateGesture(GESTURE_MOVING_HAND_CANDIDATE, 0, nullptr);
    ActivateGesture(GESTURE_SWIPE_PLUS_X, 0, nullptr);
    ActivateGesture(GESTURE_SWIPE_MINUS_X, 0, nullptr);
    return 1;
}

void DUZGestureRecognizerManager::Update(const xn::DepthGenerator&, const xn::DepthMetaData&) {}

void DUZGestureRecognizerManager::ActivateGesture(GestureType type, int active, Box3D<float>*) {
    if (type >= 0 && type < kRecognizers) {
        m_active[type] = active;
    }
}

void DUZGestureRecognizerManager::Reset(int) {}
