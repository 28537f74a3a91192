#pragma once

// A stream buffer over bytes that cannot seek or tell its position, as a
// pipe or a socket: readers cannot learn how much data is left.

#include <streambuf>
#include <string>
#include <utility>

namespace vela_test {

class ForwardOnlyBuffer : public std::streambuf {
public:
    explicit ForwardOnlyBuffer(std::string bytes) : m_bytes(std::move(bytes)) {
        setg(&m_bytes[0], &m_bytes[0], &m_bytes[0] + m_bytes.size());
    }

private:
    std::string m_bytes;
};

}  // namespace vela_test
