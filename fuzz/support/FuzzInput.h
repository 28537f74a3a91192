#pragma once

// Helpers shared by the harnesses: the input as a file (for readers that take
// a path), as a stream that cannot seek or tell its length (for readers that
// must not trust sizes they cannot check), and split into parts.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>

namespace vela_fuzz {

// A folder of this process under $TMPDIR (or /tmp), made on first use and
// removed at exit with what the harness left in it.
const std::string& ScratchDir();

// Writes the bytes to ScratchDir()/name (replacing an earlier input) and
// returns its path.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);
std::string WriteScratchFile(const std::string& name, const std::string& bytes);

// Reads the bytes in order and nothing else: no seeking, no telling, no
// putting back beyond what std::streambuf does by itself.
class ForwardOnlyBuffer : public std::streambuf {
public:
    ForwardOnlyBuffer(const uint8_t* data, size_t size);

protected:
    int_type underflow() override;

private:
    const char* m_pNext;
    const char* m_pEnd;
    char m_byte;
};

class ForwardOnlyStream : public std::istream {
public:
    ForwardOnlyStream(const uint8_t* data, size_t size) : std::istream(nullptr), m_buffer(data, size) {
        rdbuf(&m_buffer);
    }

private:
    ForwardOnlyBuffer m_buffer;
};

// Takes the bytes up to the next line feed (dropped) off the front of the
// input; the whole rest when there is none.
std::string TakeLine(const uint8_t*& data, size_t& size);

}  // namespace vela_fuzz
