#pragma once

// Last-resort stops: the system throws no exceptions, so a condition its code
// cannot continue from prints one line on standard error and ends the process.

#include <cstdint>

// Prints "FATAL ERROR" (and ": <message>" when given) and exits with status 1.
[[noreturn]] void FatalError(const char* function, const char* file, uint32_t line, const char* message);
// Prints "NOT IMPLEMENTED: function '<f>' file '<file>' line <n>" and exits with status 1.
[[noreturn]] void NotImplemented(const char* function, const char* file, uint32_t line);
// Ends the process with the given status, printing nothing.
[[noreturn]] void DebuggableExit(int32_t status);

#define VELA_FATAL_ERROR(message) FatalError(__func__, __FILE__, __LINE__, (message))
#define VELA_NOT_IMPLEMENTED() NotImplemented(__func__, __FILE__, __LINE__)
