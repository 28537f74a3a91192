// The scene analyzer's point files, read as the analyzer reads the file of
// a recording and then asked for each frame's seed and floor outline. The
// input's first line is the analyzer's resolution code (0 to 4, taken
// modulo 5); the rest is the file.

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/PointFile.h"

namespace {

// Every point served lies on the analyzer's image.
void CheckInside(const std::vector<Vector2D<int> >& points, int code) {
    const int width = 640 >> code;
    const int height = 480 >> code;
    for (const Vector2D<int>& p : points) {
        if (p.x < 0 || p.x >= width || p.y < 0 || p.y >= height) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string first = vela_fuzz::TakeLine(data, size);
    const int code = static_cast<int>(std::strtoul(first.c_str(), nullptr, 10) % 5);
    const std::string path = vela_fuzz::WriteScratchFile("take.oni.point", data, size);

    NACommonData hub;
    hub.m_strRecordingPath = path.substr(0, path.size() - 6);
    PointFile file;
    file.Initialize(&hub, static_cast<PointFile::Resolution>(code));
    if (file.IsRecording()) {
        std::abort();
    }
    for (const PointFile::LineInFile& line : file.Lines()) {
        for (const int64_t frame : {int64_t(line.frame), int64_t(line.frame) - 1, int64_t(line.frame) + 1}) {
            hub.m_nFrameID = static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(frame, INT32_MIN), INT32_MAX));
            CheckInside(file.GetPoints(), code);
            CheckInside(file.GetSAPlanePoints(), code);
        }
    }
    hub.m_nFrameID = 0;
    CheckInside(file.GetSAPlanePoints(), code);
    file.Update(nullptr);
    return 0;
}
