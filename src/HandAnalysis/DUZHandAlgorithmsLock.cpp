#include "HandAnalysis/DUZHandAlgorithmsLock.h"

std::recursive_mutex& DUZHandAlgorithmsLock() {
    static std::recursive_mutex s_lock;
    return s_lock;
}
