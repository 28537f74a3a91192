#pragma once

// The timing lines of the hand trackers' frame stages: the module name
// ("HandTrackerManager" unless given) + the tracker's prefix + the stage +
// " time: " + the milliseconds since the previous line (mask "DUZTiming",
// verbose), written only when timing is logged. The clock is read again
// after each line. Lines of the managers' own stages pass their severity
// and compose their text lazily, and may add a text after the figure.

#include <ostream>

#include "NACommon/NALogger.h"
#include "NACommon/NALoggerHelper.h"
#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"

class DUZStageTimer {
public:
    // prefix, e.g. " - DUZHandTrackerBase::", goes before each stage name.
    DUZStageTimer(NALogger& logger, const char* prefix, const char* module = "HandTrackerManager")
        : m_logger(logger), m_module(module), m_prefix(prefix), m_nLast(0) {
        if (m_logger.GetEnabled() != 0) {
            xnOSGetHighResTimeStamp(&m_nLast);
        }
    }

    void Line(const char* stage) {
        Line(XN_LOG_VERBOSE, [stage](std::ostream& out) { out << stage; });
    }

    // The same at severity; compose(out) streams the stage text, and is
    // called only when the line is written.
    template <typename Compose>
    void Line(XnLogSeverity severity, Compose compose) {
        Line(severity, compose, [](std::ostream&) {});
    }

    // The same with after(out) streaming a text behind the milliseconds.
    template <typename Compose, typename After>
    void Line(XnLogSeverity severity, Compose compose, After after) {
        if (!IsOn(severity)) {
            return;
        }
        XnUInt64 now = 0;
        xnOSGetHighResTimeStamp(&now);
        const double milliseconds = static_cast<double>(now - m_nLast) * 1e-6 * 1000.0;
        NALoggerHelper line(m_logger, kMask, severity);
        line << m_module << m_prefix;
        compose(line);
        line << " time: " << milliseconds;
        after(line);
        line << std::endl;
        m_nLast = now;
    }

    static constexpr const char* kMask = "DUZTiming";

private:
    bool IsOn(XnLogSeverity severity) const {
        return m_logger.GetEnabled() != 0 && xnLogIsEnabled(kMask, severity);
    }

    NALogger& m_logger;
    const char* m_module;
    const char* m_prefix;
    XnUInt64 m_nLast;
};
