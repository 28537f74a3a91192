#include "QuorLibrary/Utilities/RunningMode.h"

void RunningMode::Set(int32_t mode, int32_t count, int32_t value) {
    m_mode = mode;
    m_value = value;
    m_count = (count == -1 && mode != 0) ? 1000000000 : count;
}
