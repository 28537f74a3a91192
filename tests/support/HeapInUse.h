#pragma once

// Memory figures for the long runs: the heap in use (the sanitizer's count
// under AddressSanitizer, else the allocator's) and the resident size.

#include <malloc.h>

#include <cstddef>
#include <fstream>
#include <string>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELA_HEAP_IN_USE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VELA_HEAP_IN_USE_ASAN 1
#endif
#ifdef VELA_HEAP_IN_USE_ASAN
// The sanitizer runtime's count (its header does not ship with every
// compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace vela_test {

// Bytes of heap in use; 0 under valgrind, which replaces the allocator.
inline long HeapInUse() {
#ifdef VELA_HEAP_IN_USE_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long>(mallinfo2().uordblks);
#endif
}

// Resident set size in kB (-1 when unknown); the allocator and the
// sanitizer keep freed pages, so it is a figure to report, not to test.
inline long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = -1;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 10, '\n');
    }
    return -1;
}

}  // namespace vela_test
