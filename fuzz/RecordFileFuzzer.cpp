// Record files as the offline comparison reads them: the header, then frames
// found by id, read, compared and stepped through. A header that is not a
// record file's ends the process on purpose; here that stop returns to the
// harness and counts as a rejected input.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "RecordFileFormat.h"
#include "ReturningStops.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = vela_fuzz::WriteScratchFile("frames.rec", data, size);
    try {
        vela_fuzz::FuzzRecord record(AlgoOutput::MODE_READ);
        if (!record.InitializeReading(path)) {
            return 0;
        }
        int frameId = record.FirstFrameId();
        for (int i = 0; i < 64 && frameId >= 0; ++i) {
            record.Read(frameId);
            const int next = record.GetNextFrame();
            if (next <= frameId) {
                break;
            }
            frameId = next;
        }
        std::string message;
        record.CompareStateToFile(record.FirstFrameId(), &message);
        record.Seek(-1);
        vela_fuzz::FuzzRecord other(AlgoOutput::MODE_READ);
        if (other.InitializeReading(path)) {
            int stoppedAt = 0;
            record.Compare(other, stoppedAt);
        }
    } catch (const vela_fuzz::Stopped&) {
    }
    return 0;
}
