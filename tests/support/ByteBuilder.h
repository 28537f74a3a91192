#pragma once

#include <cstdint>
#include <string>

namespace vela_test {

// Builds binary fixtures byte by byte, as the files store them: raw
// little-endian values, texts as a signed 32-bit length and their bytes.
template <typename T>
void Append(std::string& bytes, const T& value) {
    bytes.append(reinterpret_cast<const char*>(&value), sizeof(value));
}

inline void AppendString(std::string& bytes, const std::string& text) {
    Append(bytes, static_cast<int32_t>(text.size()));
    bytes += text;
}

}  // namespace vela_test
