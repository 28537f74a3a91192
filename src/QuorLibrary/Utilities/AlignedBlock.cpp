#include "QuorLibrary/Utilities/AlignedBlock.h"

#include <cstdio>

namespace vela_containers {

void AlignedAllocationFailed(const char* function, uint64_t nElements, uint64_t nElementSize) {
    char message[128];
    std::snprintf(message, sizeof(message), "aligned allocation of %llu elements of %llu bytes failed",
                  static_cast<unsigned long long>(nElements), static_cast<unsigned long long>(nElementSize));
    FatalError(function, __FILE__, __LINE__, message);
}

void InvalidGridSize(const char* function, int64_t a, int64_t b, int64_t c) {
    char message[128];
    std::snprintf(message, sizeof(message), "invalid grid size %lld x %lld x %lld", static_cast<long long>(a),
                  static_cast<long long>(b), static_cast<long long>(c));
    FatalError(function, __FILE__, __LINE__, message);
}

}  // namespace vela_containers
