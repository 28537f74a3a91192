#pragma once

// A growable array on 16-byte aligned storage for per-frame loops: storage is
// taken once and kept, growth never shrinks, and emptying keeps storage and
// objects. An array either has no storage, owns its block, or borrows a block
// managed elsewhere (an image it wraps), which it never releases.

#include <cassert>
#include <cstdint>

#include "QuorLibrary/Utilities/AlignedBlock.h"

template <typename T>
class Array {
public:
    Array() : m_pData(nullptr), m_nCapacity(0), m_nSize(0), m_bOwns(true), m_bAllocated(false) {}

    // Owned storage of exactly the source's size.
    Array(const Array& other) : Array() {
        m_pData = Allocate(other.m_nSize, m_bAllocated);
        m_nCapacity = other.m_nSize;
        m_nSize = other.m_nSize;
        CopyElements(other.m_pData, m_nSize);
    }

    Array& operator=(const Array& other) {
        if (this != &other) {
            EnsureCapacity(other.m_nSize, false);
            m_nSize = other.m_nSize;
            CopyElements(other.m_pData, m_nSize);
        }
        return *this;
    }

    ~Array() { Deallocate(); }

    // A block of count default-constructed elements; null (allocated false)
    // for a count of 0.
    static T* Allocate(int count, bool& allocated) {
        T* pBlock = vela_containers::NewAlignedBlock<T>(count, "Array::Allocate");
        allocated = pBlock != nullptr;
        return pBlock;
    }

    // Grows the storage to exactly capacity elements when it is smaller,
    // copying the elements in use when keepContents is set (otherwise they
    // are fresh default-constructed ones). Never shrinks.
    void EnsureCapacity(int capacity, bool keepContents = true) {
        if (m_nCapacity >= capacity) {
            return;
        }
        bool allocated = false;
        T* pBlock = Allocate(capacity, allocated);
        if (keepContents) {
            for (int i = 0; i < m_nSize; ++i) {
                pBlock[i] = m_pData[i];
            }
        }
        ReleaseBlock();
        m_pData = pBlock;
        m_nCapacity = capacity;
        m_bOwns = true;
        m_bAllocated = allocated;
    }

    // The next slot, holding whatever object was left in it; grows by about
    // a third when full.
    T& Push() {
        if (m_nSize >= m_nCapacity) {
            Grow();
        }
        return m_pData[m_nSize++];
    }

    void Push(const T& value) {
        if (m_nSize >= m_nCapacity) {
            if (&value >= m_pData && &value < m_pData + m_nCapacity) {
                // The value lives in the block that growing releases.
                const T copy(value);
                Grow();
                m_pData[m_nSize++] = copy;
                return;
            }
            Grow();
        }
        m_pData[m_nSize++] = value;
    }

    // Appends without looking at the capacity; the caller guarantees room.
    void push_back_fast(const T& value) {
        assert(m_nSize < m_nCapacity);
        m_pData[m_nSize++] = value;
    }

    // Size 0; storage and objects stay.
    void Clear() { m_nSize = 0; }

    // Releases owned storage (a borrowed block is only dropped) and leaves an
    // empty owning array without storage.
    void Deallocate() {
        ReleaseBlock();
        m_pData = nullptr;
        m_nCapacity = 0;
        m_nSize = 0;
        m_bOwns = true;
        m_bAllocated = false;
    }

    // Points the array at a block whose lifetime is managed elsewhere;
    // owned storage is released first.
    void Borrow(T* pData, int capacity, int size) {
        Deallocate();
        m_pData = pData;
        m_nCapacity = capacity;
        m_nSize = size;
        m_bOwns = false;
    }

    T* Data() { return m_pData; }
    const T* Data() const { return m_pData; }
    int Size() const { return m_nSize; }
    int Capacity() const { return m_nCapacity; }
    bool OwnsMemory() const { return m_bOwns; }
    bool IsAllocated() const { return m_bAllocated; }

    T& operator[](int i) {
        assert(i >= 0 && i < m_nCapacity);
        return m_pData[i];
    }
    const T& operator[](int i) const {
        assert(i >= 0 && i < m_nCapacity);
        return m_pData[i];
    }

protected:
    // Growth rule of Push: ((size + 1) * 4) / 3 + 2, keeping contents.
    void Grow() {
        const int64_t capacity = (static_cast<int64_t>(m_nSize) + 1) * 4 / 3 + 2;
        if (capacity > INT32_MAX) {
            vela_containers::InvalidGridSize("Array::Push", capacity, 1, 1);
        }
        EnsureCapacity(static_cast<int>(capacity), true);
    }

    // Destroys and frees an owned block (every capacity object); a borrowed
    // block is left alone. Members are not reset.
    void ReleaseBlock() {
        if (m_bOwns) {
            vela_containers::DeleteAlignedBlock(m_pData, m_nCapacity);
        }
    }

    void CopyElements(const T* pSource, int count) {
        for (int i = 0; i < count; ++i) {
            m_pData[i] = pSource[i];
        }
    }

    T* m_pData;
    int m_nCapacity;
    int m_nSize;
    bool m_bOwns;
    bool m_bAllocated;
};
