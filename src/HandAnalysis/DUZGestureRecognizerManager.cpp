#include "HandAnalysis/DUZGestureRecognizerManager.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "HandAnalysis/DUZClickGestureRecognizer.h"
#include "HandAnalysis/DUZMovingHandCandidateGestureRecognizer.h"
#include "HandAnalysis/DUZRaiseHandGestureRecognizer.h"
#include "HandAnalysis/DUZSwipeGestureRecognizer.h"
#include "HandAnalysis/DUZWaveGestureRecognizer.h"
#include "NACommon/NAConverterTables.h"
#include "NACommon/NAUtilities.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"
#include "QuorLibrary/Utilities/INIFileCache.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

constexpr const char* kSection = "FocusRecognizer";
constexpr float kFullDepthRange = 9999.0f;

// A world depth the per-depth tables can be looked up with: finite and
// within int (the truncation of anything else is undefined).
bool IsTableDepth(float z) { return std::isfinite(z) && z > -2147483648.0f && z < 2147483648.0f; }

}  // namespace

DUZGestureRecognizerManager::DUZGestureRecognizerManager()
    : m_running(0),
      m_logger(&NALogger::GetInstance()),
      m_commonData(nullptr),
      m_depthToShift(nullptr),
      m_shiftToDepth(nullptr),
      m_resolution(NAResolution::QQVGA),
      m_handDetector(&DUZHandDetector::GetInstance()),
      m_forearmRequired(0),
      m_numHandCandidates(0),
      m_numForearmCandidates(0),
      m_currentFrame(nullptr),
      m_numTrackedBoxes(0),
      m_firstFrameId(kNoFrame),
      m_extremePointsReporter(&DUZExtremePointsReporter::GetInstance()),
      m_useRobust(true),
      m_width(0),
      m_height(0),
      m_initialized(false) {
    for (NADepthMapContainer& slot : m_depthRing) {
        slot.m_depth = nullptr;
        slot.m_shift = nullptr;
    }
}

DUZGestureRecognizerManager::~DUZGestureRecognizerManager() {
    xnOSFreeAligned(m_depthToShift);
    xnOSFreeAligned(m_shiftToDepth);
}

int DUZGestureRecognizerManager::Initialize(NACommonData* commonData, const xn::DepthGenerator& generator,
                                            const xn::DepthMetaData& depthMD, const std::string& iniFile,
                                            int maxDepth, int verbose) {
    m_initialized = false;
    m_firstFrameId = kNoFrame;
    m_commonData = commonData;
    XnUInt64 maxShift = 0;
    if (generator.GetIntProperty("MaxShift", maxShift) != XN_STATUS_OK) {
        std::fputs("Couldn't get XN_STREAM_PROPERTY_MAX_SHIFT\n", stderr);
        return 0;
    }
    if (ReadParameters(iniFile, verbose, 1) == 0) {
        return 0;
    }
    const unsigned short depthLimit = static_cast<unsigned short>(maxDepth == -1 ? kDefaultMaxDepth : maxDepth);
    for (int i = 0; i < kTrackedObjects; ++i) {
        m_trackedObjects[static_cast<size_t>(i)].reset(
            new DUZTrackedObject(m_depthRing.data(), kRingSize, &m_focusBackgroundModel.m_motionImage,
                                 m_useRobust ? 1 : 0, depthLimit, static_cast<int>(maxShift)));
    }
    if (!CopyShiftLookupTables(generator, m_depthToShift, m_shiftToDepth)) {
        return 0;
    }

    m_width = NAResolutionWidth(m_resolution);
    m_height = NAResolutionHeight(m_resolution);
    m_converter.reset(new WorldPointConverterBase<float>(generator, m_width, m_height));
    m_sharedShift.AllocateData(m_width, m_height);
    for (int i = 0; i < kRingSize; ++i) {
        xn::DepthMetaData& depth = m_depthMaps[static_cast<size_t>(i)];
        depth.ZRes() = depthMD.ZRes();
        depth.AllocateData(m_width, m_height);
        NADepthMapContainer& slot = m_depthRing[static_cast<size_t>(i)];
        slot.m_depth = &depth;
        slot.m_shift = &m_sharedShift;
        slot.m_depthToShift = m_depthToShift;
        slot.m_shiftToDepth = m_shiftToDepth;
        slot.m_converter = m_converter.get();
        m_shiftViews[static_cast<size_t>(i)].reset(new Array2D<unsigned short>());
        m_shiftViews[static_cast<size_t>(i)]->Borrow(m_sharedShift.WritableData(), m_height, m_width);
    }

    m_handDetector->Initialize(iniFile, verbose, NAResolution::QQVGA, depthLimit);
    // Without its background model the manager would run and never see a
    // moving hand.
    if (m_focusBackgroundModel.Initialize(commonData, generator, iniFile, verbose, 1, 0) == 0) {
        return 0;
    }
    m_focusBackgroundModel.m_bResetBackground = 1;

    uint32_t z = 362436069u;
    uint32_t w = 521288629u;
    for (auto& object : m_trackedObjects) {
        z = 36969u * (z & 0xFFFFu) + (z >> 16);
        w = 18000u * (w & 0xFFFFu) + (w >> 16);
        object->Initialize((z << 16) + (w & 0xFFFFu), iniFile, verbose);
    }
    m_focusMask.SetSize(m_height, m_width, false);

    m_recognizers[GESTURE_CLICK].reset(new DUZClickGestureRecognizer());
    m_recognizers[GESTURE_WAVE].reset(new DUZWaveGestureRecognizer());
    m_recognizers[GESTURE_RAISE_HAND].reset(new DUZRaiseHandGestureRecognizer());
    m_recognizers[GESTURE_SWIPE_PLUS_X].reset(new DUZSwipeGestureRecognizer(Vector3D<float>(1, 0, 0)));
    m_recognizers[GESTURE_SWIPE_MINUS_X].reset(new DUZSwipeGestureRecognizer(Vector3D<float>(-1, 0, 0)));
    m_recognizers[GESTURE_MOVING_HAND_CANDIDATE].reset(new DUZMovingHandCandidateGestureRecognizer());
    for (auto& recognizer : m_recognizers) {
        recognizer->Initialize(iniFile, verbose);
    }

    m_extremePointsReporter->Initialize(0, iniFile, depthLimit, verbose);

    ActivateGesture(GESTURE_CLICK, 1, nullptr);
    ActivateGesture(GESTURE_WAVE, 1, nullptr);
    ActivateGesture(GESTURE_RAISE_HAND, 0, nullptr);
    ActivateGesture(GESTURE_MOVING_HAND_CANDIDATE, 0, nullptr);
    ActivateGesture(GESTURE_SWIPE_PLUS_X, 0, nullptr);
    ActivateGesture(GESTURE_SWIPE_MINUS_X, 0, nullptr);
    m_initialized = true;
    return 1;
}

int DUZGestureRecognizerManager::ReadParameters(const std::string& iniFile, int verbose, int initial) {
    if (initial == 0) {
        m_handDetector->ReadParameters(iniFile, verbose, 0);
        for (auto& recognizer : m_recognizers) {
            if (recognizer != nullptr && recognizer->ReadParameters(iniFile, verbose, 0) == 0) {
                return 0;
            }
        }
    }
    std::string resolution;
    if (ReadStringFromINIInternal(iniFile, kSection, "Resolution", resolution) && !resolution.empty()) {
        if (verbose != 0) {
            std::cout << "Read 'Resolution'(obj) = " << resolution << std::endl;
        }
        std::transform(resolution.begin(), resolution.end(), resolution.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (resolution == "QQVGA") {
            m_resolution = NAResolution::QQVGA;
        } else if (resolution == "QVGA" || resolution == "VGA") {
            // The focus background model and the hand detector work at
            // 160x120 whatever this says; a larger ring would not fit them.
            xnLogWarning("GestureRecognizerManager",
                         "FocusRecognizer: Resolution %s is not supported; the focus resolution stays QQVGA",
                         resolution.c_str());
        }
    }
    ReadFromINI(iniFile, kSection, "UseRobust", m_useRobust, verbose != 0);
    int enableLogging = 0;
    ReadFromINI(iniFile, kSection, "EnableLogging", enableLogging, verbose != 0);
    m_logger->ApplyEnableLogging(enableLogging);
    return 1;
}

void DUZGestureRecognizerManager::ActivateGesture(GestureType type, int active, Box3D<float>* worldBounds) {
    DUZGestureRecognizerBase* recognizer =
        type >= 0 && type < kRecognizers ? m_recognizers[static_cast<size_t>(type)].get() : nullptr;
    if (recognizer == nullptr) {
        return;
    }
    recognizer->m_active = active;
    if (active != 0) {
        if (worldBounds == nullptr) {
            recognizer->m_bounds = Box3D<float>(Vector3D<float>(0, 0, 0),
                                                Vector3D<float>(static_cast<float>(m_width - 1),
                                                                static_cast<float>(m_height - 1), kFullDepthRange));
        } else if (m_converter != nullptr && IsTableDepth(worldBounds->min.z) && IsTableDepth(worldBounds->max.z)) {
            const Vector3D<float>& lo = worldBounds->min;
            const Vector3D<float>& hi = worldBounds->max;
            const float n = InvPixelSizeAt(*m_converter, static_cast<int>(lo.z));
            const float r = InvPixelSizeAt(*m_converter, static_cast<int>(hi.z));
            const float cx = m_converter->m_fCenterX;
            const float cy = m_converter->m_fCenterY;
            recognizer->m_bounds = Box3D<float>(Vector3D<float>(lo.x * n + cx, cy - hi.y * r, lo.z),
                                                Vector3D<float>(hi.x * r + cx, cy - lo.y * n, hi.z));
        }
    }
    m_forearmRequired = 0;
    for (auto& candidate : m_recognizers) {
        if (candidate != nullptr && candidate->m_active != 0 && candidate->RequiresForearm() != 0) {
            m_forearmRequired = 1;
            break;
        }
    }
}

Box3D<float> DUZGestureRecognizerManager::GetActiveBounds() const {
    Box3D<float> bounds(Vector3D<float>(0, 0, 0), Vector3D<float>(0, 0, 0));
    for (const auto& recognizer : m_recognizers) {
        if (recognizer == nullptr || recognizer->m_active == 0) {
            continue;
        }
        const Box3D<float>& b = recognizer->m_bounds;
        bounds.min = Vector3D<float>(std::min(bounds.min.x, b.min.x), std::min(bounds.min.y, b.min.y),
                                     std::min(bounds.min.z, b.min.z));
        bounds.max = Vector3D<float>(std::max(bounds.max.x, b.max.x), std::max(bounds.max.y, b.max.y),
                                     std::max(bounds.max.z, b.max.z));
    }
    return bounds;
}

void DUZGestureRecognizerManager::Reset(int resetBackground) {
    for (auto& object : m_trackedObjects) {
        if (object != nullptr) {
            object->Reset();
        }
    }
    m_currentFrame = nullptr;
    std::fill(m_focusMask.Data(), m_focusMask.Data() + m_focusMask.Size(), 0);
    if (resetBackground != 0) {
        m_focusBackgroundModel.Reset();
    }
    m_firstFrameId = kNoFrame;
}

DUZHandTrackerEventData* DUZGestureRecognizerManager::GetHandTrackerEvent() {
    m_handTrackerEvent.m_value = 1;
    return &m_handTrackerEvent;
}
