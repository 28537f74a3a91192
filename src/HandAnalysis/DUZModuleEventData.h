#pragma once

// Base of the small event-data records the hand algorithms hand out: it
// only tells which module reports.

class DUZModuleEventData {
public:
    DUZModuleEventData() = default;
    virtual ~DUZModuleEventData() = default;
    // 3 here; each record names its own module.
    virtual int GetReportingModule() const { return 3; }
};
