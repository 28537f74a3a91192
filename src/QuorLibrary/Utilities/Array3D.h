#pragma once

// A three-dimensional grid on an Array: element (i, j, k) is
// data[(i * d1 + j) * d2 + k], the last index varying fastest.

#include <cstdint>

#include "QuorLibrary/Utilities/Array.h"

template <typename T>
class Array3D : public Array<T> {
public:
    Array3D() : m_nDim0(0), m_nDim1(0), m_nDim2(0) {}

    Array3D(const Array3D& other) : Array<T>(), m_nDim0(other.m_nDim0), m_nDim1(other.m_nDim1), m_nDim2(other.m_nDim2) {
        const int n = CheckedCount(m_nDim0, m_nDim1, m_nDim2, "Array3D::Array3D");
        this->m_pData = Array<T>::Allocate(n, this->m_bAllocated);
        this->m_nCapacity = n;
        this->m_nSize = n;
        this->CopyElements(other.m_pData, n);
    }

    Array3D& operator=(const Array3D& other) {
        if (this != &other) {
            const int n = CheckedCount(other.m_nDim0, other.m_nDim1, other.m_nDim2, "Array3D::operator=");
            m_nDim0 = other.m_nDim0;
            m_nDim1 = other.m_nDim1;
            m_nDim2 = other.m_nDim2;
            this->EnsureCapacity(n, false);
            this->m_nSize = n;
            this->CopyElements(other.m_pData, n);
        }
        return *this;
    }

    // Stores the dimensions; grows without keeping contents when the
    // capacity is short.
    void SetSize(int d0, int d1, int d2) {
        const int n = CheckedCount(d0, d1, d2, "Array3D::SetSize");
        m_nDim0 = d0;
        m_nDim1 = d1;
        m_nDim2 = d2;
        this->EnsureCapacity(n, false);
        this->m_nSize = n;
    }

    int Dim0() const { return m_nDim0; }
    int Dim1() const { return m_nDim1; }
    int Dim2() const { return m_nDim2; }

    T& operator()(int i, int j, int k) { return this->m_pData[(i * m_nDim1 + j) * m_nDim2 + k]; }
    const T& operator()(int i, int j, int k) const { return this->m_pData[(i * m_nDim1 + j) * m_nDim2 + k]; }

private:
    static int CheckedCount(int d0, int d1, int d2, const char* function) {
        const int64_t n = vela_containers::GridElementCount(d0, d1, d2);
        if (n < 0) {
            vela_containers::InvalidGridSize(function, d0, d1, d2);
        }
        return static_cast<int>(n);
    }

    int m_nDim0;
    int m_nDim1;
    int m_nDim2;
};
