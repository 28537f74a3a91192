#pragma once

#include <cstdarg>
#include <string>

// printf-style formatting; output beyond 2047 bytes is cut.
std::string StringSprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string StringVSprintf(const char* format, va_list arguments);

// Upper-cases the letters a to z only (classic locale); other bytes stay.
std::string Uppercase(const std::string& text);
