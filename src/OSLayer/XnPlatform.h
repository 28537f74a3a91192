#pragma once

// Fixed-size types of the foundation library. Every binary file and snapshot
// stores these exact widths, so they never follow the platform's int sizes.

#include <cstddef>
#include <cstdint>

typedef char XnChar;
typedef uint8_t XnUInt8;
typedef int8_t XnInt8;
typedef uint16_t XnUInt16;
typedef int16_t XnInt16;
typedef uint32_t XnUInt32;
typedef int32_t XnInt32;
typedef uint64_t XnUInt64;
typedef int64_t XnInt64;
typedef float XnFloat;
typedef double XnDouble;
typedef size_t XnSizeT;
typedef int32_t XnBool;
typedef XnUInt32 XnUInt;
typedef XnInt32 XnInt;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Fixed text capacities shared by the OS layer and the logger.
#define XN_FILE_MAX_PATH 256
#define XN_INI_MAX_LEN 256
#define XN_MAX_OS_NAME_LENGTH 255
