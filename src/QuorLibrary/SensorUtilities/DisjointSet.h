#pragma once

// Union-find over 16-bit labels, behind every labelling of the system. Users
// keep the invariant parent[x] <= x for every label in use (a root points to
// itself and is the smallest label of its set) and merge with Union(), which
// compresses both chains. Compact then renumbers the sets 0, 1, 2 ... in one
// pass, relying on parents coming before their children.

#include <vector>

#include "OSLayer/XnPlatform.h"

class DisjointSet {
public:
    DisjointSet();
    ~DisjointSet();
    DisjointSet(const DisjointSet&) = delete;
    DisjointSet& operator=(const DisjointSet&) = delete;

    // Number of entries of the parent array.
    XnUInt32 Capacity() const { return m_nCapacity; }
    // Labels in use, 0 ... count - 1; the users set and advance it.
    XnUInt32 Count() const { return m_nCount; }
    XnUInt32& Count() { return m_nCount; }
    // The parent array, Capacity() entries.
    XnUInt16* Parent() { return m_pParent; }
    const XnUInt16* Parent() const { return m_pParent; }
    // Entries the last Compact renumbered.
    XnUInt16 CompactedCount() const { return m_nCompactedCount; }
    bool HasBackup() const { return m_pBackup != nullptr; }

    // Grows the parent array to capacity entries with undefined contents; a
    // request no larger than the capacity keeps array and contents. A backup
    // grows with it and keeps the entries it saved. False, with nothing
    // changed, when the memory cannot be had.
    bool SetCapacity(XnUInt32 capacity);

    // Renumbers the sets among labels 0 ... n - 1 in the order of their
    // roots: afterwards parent[x] is the number of x's set. With keepBackup
    // the entries are saved first for UnCompact. Returns the number of sets;
    // labels beyond the capacity are not looked at, and -1 means the backup
    // could not be made (nothing changed).
    XnInt32 Compact(XnUInt16 n, bool keepBackup);
    // Restores the entries saved by the last Compact that kept a backup.
    void UnCompact();

    // The renumbering of labels 0 ... n - 1 without touching the parents.
    // Label 0 always maps to 0 and counts as a set; a label whose parent is
    // larger than itself maps to 0. Returns the number of sets.
    XnInt32 GetCompactedMap(XnUInt16 n, std::vector<XnInt32>& map) const;
    // The same over the labels in use (the low 16 bits of the count).
    XnInt32 GetCompactedMap(std::vector<XnInt32>& map) const;

    // Root of x: parents are followed while they are smaller.
    XnUInt16 Find(XnUInt16 x) const {
        while (m_pParent[x] < x) {
            x = m_pParent[x];
        }
        return x;
    }

    // Merges the sets of a and b: both chains, roots included, end up
    // pointing at the smaller of the two roots.
    void Union(XnUInt16 a, XnUInt16 b) {
        XnUInt16 ra = Find(a);
        if (b != a) {
            const XnUInt16 rb = Find(b);
            const XnUInt16 m = ra < rb ? ra : rb;
            PointChainAt(b, m);
            ra = m;
        }
        PointChainAt(a, ra);
    }

private:
    void PointChainAt(XnUInt16 x, XnUInt16 target) {
        while (m_pParent[x] < x) {
            const XnUInt16 next = m_pParent[x];
            m_pParent[x] = target;
            x = next;
        }
        m_pParent[x] = target;
    }

    XnUInt32 m_nCapacity;
    XnUInt32 m_nCount;
    XnUInt16* m_pParent;
    XnUInt16* m_pBackup;  // Capacity() entries once made
    XnUInt16 m_nCompactedCount;
};
