// Binary data tables, read by both value widths from a stream, and through
// the file reader that tells text and binary apart.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "FuzzInput.h"
#include "QuorLibrary/Utilities/DataTable.h"

namespace {

template <typename T>
void ReadTable(const std::string& bytes) {
    std::istringstream in(bytes);
    DataTable<T> table(0);
    if (table.ReadBinary(in)) {
        std::ostringstream out;
        table.WriteBinary(out, 1 << 30);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadTable<double>(bytes);
    ReadTable<float>(bytes);
    const std::string path = vela_fuzz::WriteScratchFile("table", data, size);
    DataTable<double> table(0);
    bool wasBinary = false;
    table.Read(path, &wasBinary);
    return 0;
}
