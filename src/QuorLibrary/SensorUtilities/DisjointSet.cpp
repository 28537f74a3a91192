#include "QuorLibrary/SensorUtilities/DisjointSet.h"

#include <algorithm>
#include <cstring>

#include "OSLayer/XnOS.h"

namespace {

// At least one entry, so that an empty set can still hold a backup.
XnUInt16* AllocateLabels(XnUInt32 count) {
    const XnSizeT nBytes = static_cast<XnSizeT>(std::max<XnUInt32>(count, 1)) * sizeof(XnUInt16);
    return static_cast<XnUInt16*>(xnOSMallocAligned(nBytes, 16));
}

}  // namespace

DisjointSet::DisjointSet()
    : m_nCapacity(0), m_nCount(0), m_pParent(nullptr), m_pBackup(nullptr), m_nCompactedCount(0) {}

DisjointSet::~DisjointSet() {
    xnOSFreeAligned(m_pParent);
    xnOSFreeAligned(m_pBackup);
}

bool DisjointSet::SetCapacity(XnUInt32 capacity) {
    if (m_nCapacity >= capacity) {
        return true;
    }
    XnUInt16* pParent = AllocateLabels(capacity);
    XnUInt16* pBackup = nullptr;
    if (pParent != nullptr && m_pBackup != nullptr) {
        // The backup follows the capacity, so that a Compact over the new
        // capacity never writes past its end; its saved entries stay.
        pBackup = AllocateLabels(capacity);
        if (pBackup != nullptr) {
            std::memcpy(pBackup, m_pBackup, static_cast<XnSizeT>(m_nCapacity) * sizeof(XnUInt16));
        }
    }
    if (pParent == nullptr || (m_pBackup != nullptr && pBackup == nullptr)) {
        xnOSFreeAligned(pParent);
        xnOSFreeAligned(pBackup);
        return false;
    }
    xnOSFreeAligned(m_pParent);
    m_pParent = pParent;
    if (pBackup != nullptr) {
        xnOSFreeAligned(m_pBackup);
        m_pBackup = pBackup;
    }
    m_nCapacity = capacity;
    return true;
}

XnInt32 DisjointSet::Compact(XnUInt16 n, bool keepBackup) {
    if (keepBackup && m_pBackup == nullptr) {
        m_pBackup = AllocateLabels(m_nCapacity);
        if (m_pBackup == nullptr) {
            return -1;
        }
    }
    const XnUInt32 nLabels = std::min<XnUInt32>(n, m_nCapacity);
    m_nCompactedCount = static_cast<XnUInt16>(nLabels);
    if (nLabels == 0) {
        return 0;
    }
    if (keepBackup) {
        std::memcpy(m_pBackup, m_pParent, nLabels * sizeof(XnUInt16));
    }
    XnInt32 nSets = 0;
    for (XnUInt32 i = 0; i < nLabels; ++i) {
        if (m_pParent[i] < i) {
            // The parent comes first and already holds its root's number.
            m_pParent[i] = m_pParent[m_pParent[i]];
        } else {
            m_pParent[i] = static_cast<XnUInt16>(nSets++);
        }
    }
    return nSets;
}

void DisjointSet::UnCompact() {
    if (m_pBackup != nullptr && m_nCompactedCount != 0) {
        std::memcpy(m_pParent, m_pBackup, static_cast<XnSizeT>(m_nCompactedCount) * sizeof(XnUInt16));
    }
}

XnInt32 DisjointSet::GetCompactedMap(XnUInt16 n, std::vector<XnInt32>& map) const {
    map.resize(n, 0);
    if (n <= 1) {
        if (n == 1) {
            map[0] = 0;
        }
        return 1;
    }
    map[0] = 0;
    XnInt32 nCounter = 1;
    const XnUInt32 nLabels = std::min<XnUInt32>(n, m_nCapacity);
    for (XnUInt32 i = 1; i < nLabels; ++i) {
        if (m_pParent[i] < i) {
            map[i] = map[m_pParent[i]];
        } else if (m_pParent[i] == i) {
            map[i] = nCounter++;
        } else {
            map[i] = 0;
        }
    }
    for (XnUInt32 i = std::max<XnUInt32>(nLabels, 1); i < n; ++i) {
        map[i] = 0;
    }
    return nCounter;
}

XnInt32 DisjointSet::GetCompactedMap(std::vector<XnInt32>& map) const {
    return GetCompactedMap(static_cast<XnUInt16>(m_nCount & 0xFFFFu), map);
}
