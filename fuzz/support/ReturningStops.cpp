// Replaces the definitions of QuorLibrary/Utilities/FatalError.cpp at link
// time (this object comes first, so the library's is never pulled in): the
// three must stay in step with that file's declarations.

#include "QuorLibrary/Utilities/FatalError.h"
#include "ReturningStops.h"

void FatalError(const char* /*function*/, const char* /*file*/, uint32_t /*line*/, const char* /*message*/) {
    throw vela_fuzz::Stopped{1};
}

void NotImplemented(const char* /*function*/, const char* /*file*/, uint32_t /*line*/) {
    throw vela_fuzz::Stopped{1};
}

void DebuggableExit(int32_t status) {
    throw vela_fuzz::Stopped{status};
}
