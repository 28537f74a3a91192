#pragma once

// The process-wide switch of the algorithms' diagnostic lines (hand ids and
// positions, gesture reports, stage timings). The hand-tracking INI file
// turns them all on at once; the foundation logger's masks and severities
// then decide, per mask, what is written.

#include <atomic>
#include <string>

#include "OSLayer/XnLog.h"

class NALogger {
public:
    // The one logger of the process, created on first use.
    static NALogger& GetInstance();

    // Whether a line of that mask and severity is to be composed at all:
    // logging is enabled here and the foundation logger would write it.
    static bool IsLogging(const XnChar* mask, XnLogSeverity severity);

    NALogger();
    ~NALogger();
    NALogger(const NALogger&) = delete;
    NALogger& operator=(const NALogger&) = delete;

    // Nothing to set up: the foundation logger is configured elsewhere.
    bool Initialize(const std::string& /*logDirectory*/, const std::string& /*logName*/) { return true; }

    // The logging level; 0 lets nothing be composed.
    int GetEnabled() const { return m_nEnabled.load(std::memory_order_relaxed); }
    void SetEnabled(int level) { m_nEnabled.store(level, std::memory_order_relaxed); }
    // An "EnableLogging" setting as the hand algorithms read it: a non-zero
    // value becomes the level, 0 leaves it as it is.
    void ApplyEnableLogging(int setting);

private:
    // Non-zero when this logger opened the foundation log itself (never so
    // far); it then closes the log when it goes.
    int m_nOpened;
    // Written while trackers initialise, read by every algorithm's frame.
    std::atomic<int> m_nEnabled;
};
