#pragma once

// A ring holding the last N values of something; a full ring overwrites its
// oldest value. The objects are built once with the ring; pushes only assign.

#include <new>

#include "QuorLibrary/Utilities/FatalError.h"

template <typename T, int N>
class CyclicBuffer {
    static_assert(N > 0, "a cyclic buffer holds at least one value");

public:
    CyclicBuffer() : m_pData(new (std::nothrow) T[N]), m_nCount(0), m_nCapacity(N), m_nCurrent(0) {
        if (m_pData == nullptr) {
            FatalError("CyclicBuffer::CyclicBuffer", __FILE__, __LINE__, "cyclic buffer allocation failed");
        }
    }
    CyclicBuffer(const CyclicBuffer&) = delete;
    CyclicBuffer& operator=(const CyclicBuffer&) = delete;
    ~CyclicBuffer() {
        delete[] m_pData;
        m_pData = nullptr;
    }

    // Advances to the next slot and returns it for the caller to fill. The
    // first value lands in slot 1; slot 0 takes the N-th.
    T& Push() {
        ++m_nCurrent;
        if (m_nCurrent == N) {
            m_nCurrent = 0;
        }
        if (m_nCount != N) {
            ++m_nCount;
        }
        return m_pData[m_nCurrent];
    }

    void Push(const T& value) { Push() = value; }

    // Forgets the values; the objects keep theirs.
    void Clear() {
        m_nCount = 0;
        m_nCurrent = 0;
    }

    T& GetCurrent() { return m_pData[m_nCurrent]; }
    const T& GetCurrent() const { return m_pData[m_nCurrent]; }

    // The value pushed k pushes before the most recent one, for
    // 0 <= k < count. Other k wrap around the ring rather than leave it.
    T& GetPrevious(int k) { return m_pData[Index(k)]; }
    const T& GetPrevious(int k) const { return m_pData[Index(k)]; }

    T& GetOldest() { return GetPrevious(m_nCount - 1); }
    const T& GetOldest() const { return GetPrevious(m_nCount - 1); }

    int Count() const { return m_nCount; }
    int Capacity() const { return m_nCapacity; }
    int CurrentIndex() const { return m_nCurrent; }

private:
    int Index(int k) const {
        int index = static_cast<int>((static_cast<long long>(m_nCurrent) - k) % N);
        if (index < 0) {
            index += N;
        }
        return index;
    }

    T* m_pData;
    int m_nCount;
    int m_nCapacity;
    int m_nCurrent;
};
