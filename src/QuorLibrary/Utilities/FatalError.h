#pragma once

// Last-resort stops: the system throws no exceptions, so a condition its code
// cannot continue from prints one line on standard error and ends the process.
//
// Some callers pass a fixed file name and line number (1279, 230, 94 ...)
// rather than __FILE__ and __LINE__: those are part of the message's text as
// the system has always printed it, not positions in this tree, and stay as
// they are when the code around them moves.

#include <cstdint>

// Prints "FATAL ERROR" (and ": <message>" when given) and exits with status 1.
[[noreturn]] void FatalError(const char* function, const char* file, uint32_t line, const char* message);
// Prints "NOT IMPLEMENTED: function '<f>' file '<file>' line <n>" and exits with status 1.
[[noreturn]] void NotImplemented(const char* function, const char* file, uint32_t line);
// Ends the process with the given status, printing nothing.
[[noreturn]] void DebuggableExit(int32_t status);

#define VELA_FATAL_ERROR(message) FatalError(__func__, __FILE__, __LINE__, (message))
#define VELA_NOT_IMPLEMENTED() NotImplemented(__func__, __FILE__, __LINE__)
