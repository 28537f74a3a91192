// Camera-motion detection of the background model. A moving camera makes the
// whole background wrong at once, so the model watches how fast real-world
// area enters or leaves its foreground and how fast its background recedes,
// over windows of the last frames; rates above the thresholds in two frames
// in a row confirm a motion, and the first quiet frame after that restarts
// the background from the next frame. Area that appears for known reasons
// (a restart, components fed back) is booked as transient and discounted.
//
// A window whose duration is not positive (a repeated time stamp, a
// recording that starts over, a slot not written yet) has no rate and is
// skipped.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "NACommon/NAFarfield.h"
#include "NACommon/NALogger.h"
#include "NACommon/NALoggerHelper.h"

namespace {

// Foreground rate thresholds per window (mm^2 x frames / s).
int FgThreshold(int k) { return 5000000 + 2000000 * k; }
// Background rate thresholds.
int BgThreshold(int k) { return 7000000 + 1000000 * k; }

// Weights of the transient area booked k frames back.
const float kTransientBgWeights[20] = {1.0f,    0.3369f, 0.1912f, 0.1318f, 0.0997f, 0.0792f, 0.0649f,
                                       0.0546f, 0.047f,  0.0414f, 0.0371f, 0.0339f, 0.0315f, 0.0296f,
                                       0.0282f, 0.027f,  0.0261f, 0.0253f, 0.0247f, 0.0241f};

}  // namespace

int NAFarfield::NumFg(const uint16_t* depth, const uint16_t* prevDepth, const uint16_t* prevFg, const uint16_t* fgEnd,
                      int32_t* newFg) const {
    const int count = static_cast<int>(fgEnd - depth);
    // Weights of at most 400 per pixel: 32 bits hold any image's sum.
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        const int entered = depth[i] != 0 && prevFg[i] == 0 ? 1 : 0;
        const int left = depth[i] == 0 && prevFg[i] != 0 ? 1 : 0;
        newFg[i] = entered;
        sum += (entered & (prevDepth[i] != 0 ? 1 : 0)) * AreaWeight(depth[i]) - left * AreaWeight(prevDepth[i]);
    }
    return sum;
}

void NAFarfield::FeedFgBackIntoBg() {
    const int32_t* entered = m_newFgHistory.GetPrevious(1).Data();
    const uint16_t* shift = m_pShift->Data();
    const int32_t* areaAtShift = m_pCommonData->m_pAreaAtShiftInt[m_resolution];
    uint16_t* bg = m_background.Data();
    int64_t area = 0;
    for (int i = 0; i < m_nPixels; ++i) {
        if (entered[i] != 0) {
            bg[i] = shift[i];
            if (shift[i] < m_nShiftTableSize) {
                area += areaAtShift[shift[i]];
            }
        }
    }
    m_transientBgArea.GetCurrent() += static_cast<int32_t>(area >> 7);
}

void NAFarfield::DetectCameraMotion() {
    if (m_bJustReset != 0) {
        m_timeStamps.Push(m_timeStamp);
        return;
    }
    Array2D<int32_t>& entered = m_newFgHistory.Push();
    const uint16_t* fg = m_fgDepthHistory.GetCurrent().Data();
    const int fgChange = NumFg(fg, m_pPreviousDepth->Data(), m_fgDepthHistory.GetPrevious(1).Data(), fg + m_nPixels,
                               entered.Data());
    m_fgChangeArea.Push(static_cast<int32_t>(static_cast<int64_t>(fgChange) * m_nAreaFactor));
    m_timeStamps.Push(m_timeStamp);

    float transient = 0.0f;
    for (int k = 0; k < m_transientBgArea.Count(); ++k) {
        transient += static_cast<float>(m_transientBgArea.GetPrevious(k)) * kTransientBgWeights[k];
    }

    m_nMotionLevel = 0;
    // The duration in seconds of the window from k frames back to now.
    const auto span = [this](int k) { return SensorTime(m_timeStamp).SecondsSince(SensorTime(m_timeStamps.GetPrevious(k))); };
    const int fgCount = m_fgChangeArea.Count();
    const int bgCount = m_bgChangeArea.Count();

    bool fgFired = false;
    if ((m_nFramesSinceReset >= 4 && m_nFramesSinceReset <= kRestartCount) || m_nFramesSinceReset > kRestartCount + 4) {
        int64_t sum = 0;
        for (int k = 0; k < fgCount; ++k) {
            sum += m_fgChangeArea.GetPrevious(k);
            const float dt = span(k + 1);
            if (dt > 0.0f && static_cast<float>((k + 1) * sum) / dt > static_cast<float>(FgThreshold(k))) {
                fgFired = true;
                m_nMotionLevel = k;
            }
        }
    }
    bool bgFired = false;
    const int64_t newest = bgCount > 0 ? m_bgChangeArea.GetPrevious(0) : 0;
    if (bgCount >= 2) {
        for (int k = 1; k < bgCount; ++k) {
            const int64_t older = m_bgChangeArea.GetPrevious(k);
            if (older == 0) {
                break;
            }
            const float dt = span(k);
            if (dt > 0.0f &&
                (static_cast<float>(newest - older) - transient) * static_cast<float>(k) / dt >
                    static_cast<float>(BgThreshold(k - 1))) {
                bgFired = true;
                m_nMotionLevel = std::max(m_nMotionLevel, k - 1);
            }
        }
    }
    const bool fired = fgFired || bgFired;

    // The second evaluation leaves out the frame before this one.
    bool fgConfirmed = false;
    bool bgConfirmed = false;
    if (m_bMotionSuspected != 0 && fired) {
        int64_t sum = 0;
        for (int k = 0; k < fgCount; ++k) {
            if (k == 1) {
                continue;
            }
            sum += m_fgChangeArea.GetPrevious(k);
            const float dt = span(k + 1);
            if (dt > 0.0f && static_cast<float>((k + 1) * sum) / dt > static_cast<float>(FgThreshold(k))) {
                fgConfirmed = true;
            }
        }
        if (bgCount >= 2) {
            const int64_t previous = m_bgChangeArea.GetPrevious(1);
            for (int k = 1; k < bgCount; ++k) {
                const int64_t older = m_bgChangeArea.GetPrevious(k);
                if (older == 0) {
                    break;
                }
                const float dt = span(k);
                if (dt > 0.0f &&
                    (static_cast<float>(newest - previous - older) - transient) * static_cast<float>(k) / dt >
                        static_cast<float>(BgThreshold(k - 1))) {
                    bgConfirmed = true;
                }
            }
        }
    }

    if (m_bVerbose && fired) {
        const bool second = m_bMotionSuspected != 0;
        const bool byBg = second ? bgConfirmed : bgFired;
        const bool byFg = second ? fgConfirmed : fgFired;
        const char* kind = m_bMotionDetected != 0 ? " detected " : " suspected ";
        if (byBg) {
            std::printf("%d: camera motion%sby BG\n", m_pCommonData->m_nFrameID, kind);
        }
        if (byFg) {
            std::printf("%d: camera motion%sFG\n", m_pCommonData->m_nFrameID, kind);
        }
    }

    bool endStep = false;
    if (m_bMotionSuspected == 0) {
        if (fired) {
            if (m_bMotionDetected == 0) {
                m_bMotionSuspected = 1;
            }
        } else {
            endStep = true;
        }
    } else if (!fired) {
        FeedFgBackIntoBg();
        endStep = true;
    } else if (fgConfirmed || bgConfirmed) {
        m_bMotionSuspected = 0;
        m_bMotionDetected = 1;
    } else {
        FeedFgBackIntoBg();
        endStep = true;
    }
    if (!endStep) {
        return;
    }
    if (m_bMotionDetected != 0) {
        m_bCameraMotion = 1;
        m_nFramesSinceReset = 0;
        if (NALogger::IsLogging("Farfield", XN_LOG_VERBOSE)) {
            NALoggerHelper(NALogger::GetInstance(), "Farfield", XN_LOG_VERBOSE)
                << "Frame " << m_nFrameId << ", Detected camera motion, performing reset";
        }
    }
    m_bMotionSuspected = 0;
    m_bMotionDetected = 0;
}
