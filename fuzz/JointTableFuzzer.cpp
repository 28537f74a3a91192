// Joint table dumps as the calibration reads ground truth: a text or binary
// table file, then the per-user frame index over its rows.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "NACommon/BaseOutputDump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = vela_fuzz::WriteScratchFile("joints", data, size);
    BaseOutputDump dump;
    bool wasBinary = false;
    if (dump.ReadFromFile(path, &wasBinary)) {
        for (const auto& user : dump.GetUsers()) {
            user.second->GetRow(0);
            user.second->GetRow(user.second->GetLastFrame());
        }
    }
    return 0;
}
