// Tab-separated data tables, read by both value widths.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "QuorLibrary/Utilities/DataTable.h"

namespace {

template <typename T>
void ReadTable(const std::string& bytes) {
    std::istringstream in(bytes);
    DataTable<T> table(0);
    if (table.ReadText(in)) {
        // What was read can be written and summarised.
        std::ostringstream out;
        table.WriteText(out, "\t", 1 << 30);
        table.WriteSummaryText(out, "clip", true, ",", 1 << 30);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadTable<double>(bytes);
    ReadTable<float>(bytes);
    return 0;
}
