#pragma once

// Fixed-capacity sets of objects built once with the pool: the objects in
// use are elements 0 ... size - 1; emptying and deleting keep every object
// constructed for reuse.

#include <cassert>
#include <new>

#include "QuorLibrary/Utilities/FatalError.h"

template <typename T>
class Pool {
public:
    explicit Pool(int capacity) : m_nCapacity(0), m_nSize(0), m_pElements(nullptr) {
        if (capacity > 0) {
            m_pElements = new (std::nothrow) T[capacity];
            if (m_pElements == nullptr) {
                FatalError("Pool::Pool", __FILE__, __LINE__, "pool allocation failed");
            }
            m_nCapacity = capacity;
        }
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;
    ~Pool() { Deallocate(); }

    // The next free object, as it was left; null when the pool is full.
    T* Push() {
        if (m_nSize >= m_nCapacity) {
            return nullptr;
        }
        return &m_pElements[m_nSize++];
    }

    // Copies value into the next free object; dropped when the pool is full.
    void Push(const T& value) {
        if (m_nSize < m_nCapacity) {
            m_pElements[m_nSize++] = value;
        }
    }

    // Removes an element in use by moving the last one into its place (the
    // order is not kept). A pointer that is not an element in use changes
    // nothing.
    void Delete(T* element) {
        if (m_nSize <= 0 || element < m_pElements || element >= m_pElements + m_nSize) {
            return;
        }
        --m_nSize;
        if (element != &m_pElements[m_nSize]) {
            *element = m_pElements[m_nSize];
        }
    }

    void Clear() { m_nSize = 0; }

    // Destroys every object and releases them: capacity 0, size 0.
    void Deallocate() {
        delete[] m_pElements;
        m_pElements = nullptr;
        m_nCapacity = 0;
        m_nSize = 0;
    }

    int Size() const { return m_nSize; }
    int Capacity() const { return m_nCapacity; }
    T* Elements() { return m_pElements; }
    const T* Elements() const { return m_pElements; }
    T& operator[](int i) {
        assert(i >= 0 && i < m_nCapacity);
        return m_pElements[i];
    }
    const T& operator[](int i) const {
        assert(i >= 0 && i < m_nCapacity);
        return m_pElements[i];
    }

protected:
    int m_nCapacity;
    int m_nSize;
    T* m_pElements;
};

// A Pool whose capacity N is fixed by the type.
template <typename T, int N>
class CapacityTemplatedPool : public Pool<T> {
public:
    CapacityTemplatedPool() : Pool<T>(N) {}
};
