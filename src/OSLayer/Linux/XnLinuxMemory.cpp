#include <cstdlib>
#include <cstring>

#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"

void* xnOSMalloc(XnSizeT nAllocSize) {
    return malloc(nAllocSize);
}

void* xnOSMallocAligned(XnSizeT nAllocSize, XnSizeT nAlignment) {
    void* pResult = nullptr;
    if (posix_memalign(&pResult, nAlignment, nAllocSize) != 0) {
        return nullptr;
    }
    return pResult;
}

void* xnOSCalloc(XnSizeT nAllocNum, XnSizeT nAllocSize) {
    return calloc(nAllocNum, nAllocSize);
}

void* xnOSCallocAligned(XnUInt32 nAllocNum, XnUInt32 nAllocSize, XnSizeT nAlignment) {
    // The product of two 32-bit counts always fits 64 bits; a 32-bit product
    // would silently allocate too little.
    XnSizeT nBytes = 0;
    if (__builtin_mul_overflow((XnSizeT)nAllocNum, (XnSizeT)nAllocSize, &nBytes)) {
        return nullptr;
    }
    void* pResult = xnOSMallocAligned(nBytes, nAlignment);
    if (pResult != nullptr) {
        memset(pResult, 0, nBytes);
    }
    return pResult;
}

void* xnOSRealloc(void* pMemory, XnSizeT nAllocSize) {
    return realloc(pMemory, nAllocSize);
}

void* xnOSReallocAligned(void* /*pMemory*/, XnSizeT /*nAllocSize*/, XnSizeT /*nAlignment*/) {
    xnLogWrite("xnOS", XN_LOG_ERROR, __FILE__, __LINE__, "Does not know how to realloc aligned memory!");
    return nullptr;
}

void* xnOSRecalloc(void* /*pMemory*/, XnSizeT /*nAllocNum*/, XnSizeT /*nAllocSize*/) {
    xnLogWrite("xnOS", XN_LOG_ERROR, __FILE__, __LINE__, "Does not know how to realloc aligned memory!");
    return nullptr;
}

void xnOSFree(const void* pMemBlock) {
    free(const_cast<void*>(pMemBlock));
}

void xnOSFreeAligned(const void* pMemBlock) {
    free(const_cast<void*>(pMemBlock));
}

void* xnOSMemCopy(void* pDest, const void* pSource, XnSizeT nCount) {
    return memcpy(pDest, pSource, nCount);
}

void* xnOSMemMove(void* pDest, const void* pSource, XnSizeT nCount) {
    return memmove(pDest, pSource, nCount);
}

XnInt32 xnOSMemCmp(const void* pBuf1, const void* pBuf2, XnSizeT nCount) {
    return memcmp(pBuf1, pBuf2, nCount);
}

void xnOSMemSet(void* pDest, XnUInt8 nValue, XnSizeT nCount) {
    memset(pDest, nValue, nCount);
}

XnUInt64 xnOSEndianSwapUINT64(XnUInt64 nValue) {
    return __builtin_bswap64(nValue);
}

XnUInt32 xnOSEndianSwapUINT32(XnUInt32 nValue) {
    return __builtin_bswap32(nValue);
}

XnUInt16 xnOSEndianSwapUINT16(XnUInt16 nValue) {
    return __builtin_bswap16(nValue);
}

XnFloat xnOSEndianSwapFLOAT(XnFloat fValue) {
    XnUInt32 nBits;
    memcpy(&nBits, &fValue, sizeof(nBits));
    nBits = __builtin_bswap32(nBits);
    XnFloat fResult;
    memcpy(&fResult, &nBits, sizeof(fResult));
    return fResult;
}
