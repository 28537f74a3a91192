#include "QuorLibrary/SensorUtilities/DenseGraph.h"

#include <algorithm>

namespace {

// Compact takes its label count as a 16-bit number.
constexpr XnInt32 kMaxNodes = 65535;

}  // namespace

void DenseGraph::Initialize(XnInt32 n, bool value) {
    n = std::max(n, 0);
    m_adjacency.SetSize(n, n, false);
    std::fill(m_adjacency.Data(), m_adjacency.Data() + m_adjacency.Size(), value);
}

XnInt32 DenseGraph::ComputeConnectedComponents(std::vector<XnInt32>& labels) {
    const XnInt32 n = m_adjacency.Rows();
    if (n > kMaxNodes || !m_set.SetCapacity(static_cast<XnUInt32>(std::max(n, 0)))) {
        labels.clear();
        return -1;
    }
    labels.resize(static_cast<size_t>(std::max(n, 0)), 0);
    m_set.Count() = 0;
    if (n <= 0) {
        return m_set.Compact(0, false);
    }
    XnUInt16* pParent = m_set.Parent();
    for (XnInt32 i = 0; i < n; ++i) {
        pParent[i] = static_cast<XnUInt16>(i);
        m_set.Count() = static_cast<XnUInt32>(i + 1);
        labels[i] = i;
        for (XnInt32 j = 0; j < i; ++j) {
            if (m_adjacency(i, j)) {
                m_set.Union(static_cast<XnUInt16>(j), static_cast<XnUInt16>(i));
            }
        }
    }
    const XnInt32 nComponents = m_set.Compact(static_cast<XnUInt16>(n), false);
    for (XnInt32 k = 0; k < n; ++k) {
        labels[k] = pParent[k];
    }
    return nComponents;
}
