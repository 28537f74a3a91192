#include "FuzzInput.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace vela_fuzz {

namespace {

struct Scratch {
    Scratch() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vela-fuzz-XXXXXX";
        if (mkdtemp(&pattern[0]) == nullptr) {
            std::abort();
        }
        path = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

}  // namespace

const std::string& ScratchDir() {
    static Scratch scratch;
    return scratch.path;
}

std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = ScratchDir() + "/" + name;
    std::ofstream out(path, std::ios::out | std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) {
        std::abort();  // the harness could not do its job: not the reader's fault
    }
    return path;
}

std::string WriteScratchFile(const std::string& name, const std::string& bytes) {
    return WriteScratchFile(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

ForwardOnlyBuffer::ForwardOnlyBuffer(const uint8_t* data, size_t size)
    : m_pNext(reinterpret_cast<const char*>(data)), m_pEnd(reinterpret_cast<const char*>(data) + size), m_byte(0) {}

// One byte at a time, so that the stream never holds more than it was given.
ForwardOnlyBuffer::int_type ForwardOnlyBuffer::underflow() {
    if (m_pNext == m_pEnd) {
        return traits_type::eof();
    }
    m_byte = *m_pNext++;
    setg(&m_byte, &m_byte, &m_byte + 1);
    return traits_type::to_int_type(m_byte);
}

std::string TakeLine(const uint8_t*& data, size_t& size) {
    size_t n = 0;
    while (n < size && data[n] != '\n') {
        ++n;
    }
    std::string line(reinterpret_cast<const char*>(data), n);
    const size_t taken = n < size ? n + 1 : n;
    data += taken;
    size -= taken;
    return line;
}

}  // namespace vela_fuzz
