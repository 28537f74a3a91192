#pragma once

// A vector whose length is chosen at run time (model parameters and samples
// of the robust fitters). Owns its elements unless pointed at another block.

#include <algorithm>

template <typename T>
class VectorND {
public:
    VectorND() : m_nCount(0), m_pData(nullptr), m_bOwns(true) {}
    explicit VectorND(int count) : VectorND() { SetSize(count); }
    VectorND(const VectorND& other) : VectorND() { *this = other; }
    ~VectorND() { Release(); }

    VectorND& operator=(const VectorND& other) {
        if (this != &other) {
            SetSize(other.m_nCount);
            std::copy(other.m_pData, other.m_pData + other.m_nCount, m_pData);
        }
        return *this;
    }

    // A different count releases the old elements and takes count new zeroed
    // ones; the same count keeps the elements.
    void SetSize(int count) {
        if (count == m_nCount && (m_pData != nullptr || count == 0)) {
            return;
        }
        Release();
        if (count > 0) {
            m_pData = new T[count]();
            m_nCount = count;
        }
    }

    int Size() const { return m_nCount; }
    T* Data() { return m_pData; }
    const T* Data() const { return m_pData; }
    T& operator[](int i) { return m_pData[i]; }
    const T& operator[](int i) const { return m_pData[i]; }

private:
    void Release() {
        if (m_bOwns) {
            delete[] m_pData;
        }
        m_pData = nullptr;
        m_nCount = 0;
        m_bOwns = true;
    }

    int m_nCount;
    T* m_pData;
    bool m_bOwns;
};
