#include "QuorLibrary/Utilities/StringUtils.h"

#include <cstdio>

namespace {
const size_t kFormatBufferSize = 2048;
}

std::string StringSprintf(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string result = StringVSprintf(format, arguments);
    va_end(arguments);
    return result;
}

std::string StringVSprintf(const char* format, va_list arguments) {
    // One buffer per thread: trackers may format on several application threads.
    thread_local char buffer[kFormatBufferSize];
    buffer[0] = '\0';
    std::vsnprintf(buffer, kFormatBufferSize, format, arguments);
    return std::string(buffer);
}

std::string Uppercase(const std::string& text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}
