#pragma once

// xnl::Array: a small growable array on the plain heap (the aligned image and
// table containers are a different family).

#include <new>

#include "OSLayer/XnPlatform.h"
#include "OSLayer/XnStatus.h"

namespace xnl {

template <class T>
class Array {
public:
    explicit Array(XnUInt32 nCapacity = 0) : m_pData(nullptr), m_nSize(0), m_nCapacity(0) {
        Reserve(nCapacity);
    }
    virtual ~Array() { delete[] m_pData; }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    XnStatus Reserve(XnUInt32 nCapacity) {
        if (nCapacity <= m_nCapacity) {
            return XN_STATUS_OK;
        }
        T* pNew = new (std::nothrow) T[nCapacity];
        if (pNew == nullptr) {
            return XN_STATUS_ALLOC_FAILED;
        }
        for (XnUInt32 i = 0; i < m_nSize; ++i) {
            pNew[i] = m_pData[i];
        }
        delete[] m_pData;
        m_pData = pNew;
        m_nCapacity = nCapacity;
        return XN_STATUS_OK;
    }

    // Grows a full array to the smallest power of two above its size.
    XnStatus AddLast(const T& value) {
        if (m_nSize == m_nCapacity) {
            XnUInt32 nNew = 1;
            while (nNew <= m_nSize) {
                nNew <<= 1;
            }
            XnStatus rc = Reserve(nNew);
            if (rc != XN_STATUS_OK) {
                return rc;
            }
        }
        m_pData[m_nSize++] = value;
        return XN_STATUS_OK;
    }

    T& operator[](XnUInt32 i) { return m_pData[i]; }
    const T& operator[](XnUInt32 i) const { return m_pData[i]; }
    T* GetData() { return m_pData; }
    const T* GetData() const { return m_pData; }
    XnUInt32 GetSize() const { return m_nSize; }
    XnUInt32 GetCapacity() const { return m_nCapacity; }
    XnBool IsEmpty() const { return m_nSize == 0; }
    void Clear() { m_nSize = 0; }
    T* begin() { return m_pData; }
    T* end() { return m_pData + m_nSize; }

private:
    T* m_pData;
    XnUInt32 m_nSize;
    XnUInt32 m_nCapacity;
};

}  // namespace xnl
