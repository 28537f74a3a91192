#pragma once

// 16-byte aligned element blocks for Array, Array2D and Array3D, so that SSE
// code may read them with aligned loads.

#include <cstdint>
#include <new>

#include "OSLayer/XnOS.h"
#include "QuorLibrary/Utilities/FatalError.h"

namespace vela_containers {

constexpr XnSizeT kBlockAlignment = 16;

// Stops the process: a container that cannot get its block has nowhere to
// put the caller's data.
[[noreturn]] void AlignedAllocationFailed(const char* function, uint64_t nElements, uint64_t nElementSize);

// count value-initialised elements (class types default-constructed, plain
// numbers zero); null for count <= 0.
template <typename T>
T* NewAlignedBlock(int64_t count, const char* function) {
    if (count <= 0) {
        return nullptr;
    }
    const uint64_t nBytes = static_cast<uint64_t>(count) * sizeof(T);
    void* pMemory = nullptr;
    if (nBytes / sizeof(T) == static_cast<uint64_t>(count)) {
        pMemory = xnOSMallocAligned(static_cast<XnSizeT>(nBytes), kBlockAlignment);
    }
    if (pMemory == nullptr) {
        AlignedAllocationFailed(function, static_cast<uint64_t>(count), sizeof(T));
    }
    T* pBlock = static_cast<T*>(pMemory);
    for (int64_t i = 0; i < count; ++i) {
        new (pBlock + i) T();
    }
    return pBlock;
}

// Destroys count elements and releases the block.
template <typename T>
void DeleteAlignedBlock(T* pBlock, int64_t count) {
    if (pBlock == nullptr) {
        return;
    }
    for (int64_t i = 0; i < count; ++i) {
        pBlock[i].~T();
    }
    xnOSFreeAligned(pBlock);
}

// Element count of a grid, or -1 when a dimension is negative or the count
// does not fit a signed 32-bit size.
inline int64_t GridElementCount(int64_t a, int64_t b, int64_t c = 1) {
    if (a < 0 || b < 0 || c < 0) {
        return -1;
    }
    if (a == 0 || b == 0 || c == 0) {
        return 0;
    }
    if (a > INT32_MAX || b > INT32_MAX / a || c > INT32_MAX / (a * b)) {
        return -1;
    }
    return a * b * c;
}

// Stops the process on grid dimensions that have no valid element count.
[[noreturn]] void InvalidGridSize(const char* function, int64_t a, int64_t b, int64_t c);

}  // namespace vela_containers
