// The scene analyzer's settings in their raw stream form (ReadBinary of
// SAConfiguration), as snapshots embed them, through a seekable and a
// forward-only stream, which must agree. Settings that are read must write
// back to bytes that read again into equal settings; refused ones leave the
// record as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "FuzzInput.h"
#include "SceneAnalyzer/SAConfigurationBinary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SAConfiguration untouched;
    untouched.m_verName = "before";
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    SAConfiguration read = untouched;
    const bool accepted = ReadBinary(in, read);
    vela_fuzz::ForwardOnlyStream forward(data, size);
    SAConfiguration readForward = untouched;
    if (ReadBinary(forward, readForward) != accepted || !CheckSimilarity(read, readForward, nullptr)) {
        std::abort();
    }
    if (!accepted) {
        if (!CheckSimilarity(read, untouched, nullptr)) {
            std::abort();
        }
        return 0;
    }
    std::ostringstream out(std::ios::binary);
    WriteBinary(out, read);
    std::istringstream back(out.str(), std::ios::binary);
    SAConfiguration again;
    std::string message;
    if (!ReadBinary(back, again) || !CheckSimilarity(read, again, &message) ||
        back.tellg() != static_cast<std::streamoff>(out.str().size())) {
        std::abort();
    }
    // What the analyzer reads of it: both resolutions index the size tables.
    if (g_nXRes[read.m_resolution] <= 0 || g_nYRes[read.m_outputResolution] <= 0) {
        std::abort();
    }
    return 0;
}
