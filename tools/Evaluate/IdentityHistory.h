#pragma once

// The ids a tracker gave one true person (or hand) frame by frame: which
// ids, and how often the id changed from one frame it was seen in to the
// next (frames without any id do not break the run).

#include <vector>

namespace vela::evaluate {

class IdentityHistory {
public:
    // id 0: not seen in this frame.
    void Observe(int id);

    // Distinct ids in order of first use.
    const std::vector<int>& Ids() const { return m_ids; }
    int Switches() const { return m_nSwitches; }
    bool Seen() const { return m_nLast != 0; }

private:
    std::vector<int> m_ids;
    int m_nLast = 0;
    int m_nSwitches = 0;
};

}  // namespace vela::evaluate
