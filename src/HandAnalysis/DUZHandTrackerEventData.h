#pragma once

// The event-data record of the hand side. The gesture manager holds one and
// hands it out (GetHandTrackerEvent); nothing else reads it.

#include <cstdint>

#include "HandAnalysis/DUZModuleEventData.h"

class DUZHandTrackerEventData : public DUZModuleEventData {
public:
    DUZHandTrackerEventData() : m_words{0, 0, 0}, m_value(6) {}
    int GetReportingModule() const override { return 0; }

    uint64_t m_words[3];
    int32_t m_value;
};
