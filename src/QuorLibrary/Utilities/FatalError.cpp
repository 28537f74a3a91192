#include "QuorLibrary/Utilities/FatalError.h"

#include <cstdio>
#include <cstdlib>

void FatalError(const char* /*function*/, const char* /*file*/, uint32_t /*line*/, const char* message) {
    std::fputs("FATAL ERROR", stderr);
    if (message != nullptr) {
        std::fputs(": ", stderr);
        std::fputs(message, stderr);
    }
    std::fputs("\n", stderr);
    std::fflush(stderr);
    std::exit(1);
}

void NotImplemented(const char* function, const char* file, uint32_t line) {
    std::fprintf(stderr, "NOT IMPLEMENTED: function '%s' file '%s' line %u\n", function, file, line);
    std::fflush(stderr);
    std::exit(1);
}

void DebuggableExit(int32_t status) {
    std::exit(status);
}
