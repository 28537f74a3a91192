#pragma once

// The reference counts of a tracker's output frames. A read enters each new
// frame with one reference, the application adds and releases references
// from any thread, and the release that drops the last one tells the tracker
// to free the frame. Every access holds the tracker's frame-reference lock.
//
// Only frames the tracker made and has not freed count: adding a reference
// to, or releasing, any other pointer is the caller's error, logged as a
// warning and otherwise ignored, so nothing the tracker does not own is ever
// freed.

#include <cstdint>

#include "OSLayer/XnCriticalSection.h"
#include "OSLayer/XnHash.h"
#include "OSLayer/XnLog.h"

template <class Frame>
class FrameReferenceTable {
public:
    FrameReferenceTable(xnl::CriticalSection& lock, const char* trackerName)
        : m_lock(lock), m_trackerName(trackerName) {}
    FrameReferenceTable(const FrameReferenceTable&) = delete;
    FrameReferenceTable& operator=(const FrameReferenceTable&) = delete;

    // A new frame with one reference.
    void Enter(Frame* frame) {
        xnl::AutoCSLocker lock(m_lock);
        m_counts.Set(frame, 1);
    }

    void AddRef(Frame* frame) {
        xnl::AutoCSLocker lock(m_lock);
        auto entry = m_counts.Find(frame);
        if (entry == m_counts.End()) {
            xnLogWarning(XN_LOG_MASK_ALL, "%s: ignored a reference to a frame it does not hold", m_trackerName);
            return;
        }
        ++entry->Value();
    }

    // True when this was the last reference: the frame has left the table
    // and the caller frees it.
    bool Release(Frame* frame) {
        xnl::AutoCSLocker lock(m_lock);
        auto entry = m_counts.Find(frame);
        if (entry == m_counts.End()) {
            xnLogWarning(XN_LOG_MASK_ALL, "%s: ignored the release of a frame it does not hold", m_trackerName);
            return false;
        }
        if (--entry->Value() > 0) {
            return false;
        }
        m_counts.Remove(entry);
        return true;
    }

    // Empties the table, handing every frame still held to free.
    template <class Free>
    void ReleaseAll(Free free) {
        xnl::AutoCSLocker lock(m_lock);
        while (!m_counts.IsEmpty()) {
            auto entry = m_counts.Begin();
            Frame* frame = entry->Key();
            m_counts.Remove(entry);
            free(frame);
        }
    }

    // The frame's count; 0 when the table does not hold it.
    int32_t Count(Frame* frame) {
        xnl::AutoCSLocker lock(m_lock);
        auto entry = m_counts.Find(frame);
        return entry == m_counts.End() ? 0 : entry->Value();
    }

private:
    xnl::CriticalSection& m_lock;
    const char* m_trackerName;
    xnl::Hash<Frame*, int32_t> m_counts;
};
