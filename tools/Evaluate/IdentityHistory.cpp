#include "Evaluate/IdentityHistory.h"

#include <algorithm>

namespace vela::evaluate {

void IdentityHistory::Observe(int id) {
    if (id == 0) return;
    if (m_nLast != 0 && id != m_nLast) ++m_nSwitches;
    m_nLast = id;
    if (std::find(m_ids.begin(), m_ids.end(), id) == m_ids.end()) m_ids.push_back(id);
}

}  // namespace vela::evaluate
