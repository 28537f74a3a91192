#pragma once

// Logging of the gesture recognizers: one mask, written only while the
// shared logger is enabled and the mask is on at the verbose level.

#include "NACommon/NALogger.h"
#include "NACommon/NALoggerHelper.h"
#include "NACommon/NATrajectory.h"
#include "OSLayer/XnLog.h"

namespace duz_gesture_log {

constexpr const char* kMask = "GestureRecognizer";

inline bool IsOn(NALogger& logger) { return logger.GetEnabled() != 0 && xnLogIsEnabled(kMask, XN_LOG_VERBOSE); }

// The ring as text; writes only under the same conditions.
inline void LogRing(NALogger& logger, NATrajectory& trajectory) { trajectory.LogTrajectory(logger, kMask); }

// One slot back and forward around the ring; any int slot is taken mod 90.
inline int SlotOf(int slot) { return ((slot % NATrajectory::kLength) + NATrajectory::kLength) % NATrajectory::kLength; }
inline int Back(int slot, int steps = 1) { return SlotOf(slot - steps); }
inline int Forward(int slot, int steps = 1) { return SlotOf(slot + steps); }

}  // namespace duz_gesture_log

// Streams one entry: DUZ_GESTURE_LOG(logger) << ...; evaluates nothing while
// logging is off.
#define DUZ_GESTURE_LOG(logger)                   \
    if (!duz_gesture_log::IsOn(logger)) {         \
    } else                                        \
        NALoggerHelper((logger), duz_gesture_log::kMask, XN_LOG_VERBOSE)
