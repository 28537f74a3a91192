// The scene analyzer's "sa" record files as the offline comparison reads
// them: the header's map size, then every frame read, stepped through and
// compared with its own file. A frame that is read must fill the header's
// map; one that is refused must leave it empty. A container header that is
// not a record file's, or a frame whose payload length differs from what
// was read, ends the process on purpose; here that stop returns to the
// harness and counts as a rejected input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "ReturningStops.h"
#include "SceneAnalyzer/SAOutput.h"

namespace {

bool AllZero(const xn::SceneMetaData& labels) {
    const XnLabel* data = labels.Data();
    const size_t pixels = static_cast<size_t>(labels.XRes()) * static_cast<size_t>(labels.YRes());
    return pixels == 0 || std::all_of(data, data + pixels, [](XnLabel l) { return l == 0; });
}

// The reader as the comparison tools hold it, with the first frame's id.
class Record : public SAOutput {
public:
    Record() : SAOutput(MODE_READ) {}
    int FirstFrameId() const { return m_nFirstFrameId; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = vela_fuzz::WriteScratchFile("frames.sa", data, size);
    try {
        Record record;
        if (!record.InitializeReading(path)) {
            return 0;
        }
        if (!record.HeaderValid() && record.m_labels.XRes() != 0) {
            std::abort();
        }
        int frameId = record.FirstFrameId();
        for (int i = 0; i < 64 && frameId >= 0; ++i) {
            const bool read = record.Read(frameId);
            if (record.m_labels.XRes() != record.Width() || record.m_labels.YRes() != record.Height() ||
                (!read && !AllZero(record.m_labels))) {
                std::abort();
            }
            if (read) {
                std::string message;
                if (!record.CompareStateToFile(frameId, &message) || !message.empty()) {
                    std::abort();
                }
            }
            const int next = record.GetNextFrame();
            if (next <= frameId) {
                break;
            }
            frameId = next;
        }
    } catch (const vela_fuzz::Stopped&) {
    }
    return 0;
}
