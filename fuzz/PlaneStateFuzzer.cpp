// The scene analyzer's saved plane set (SAPlanes::ReadBinary), read into a
// set on a hub without conversions, as a development tool restores one. A
// state that is accepted must write back to bytes that read again into a
// set that writes the same bytes, and survive frames; one that is refused
// must leave the set as it was.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/SAPlanes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NACommonData hub;
    SAPlanes planes;
    planes.m_pCommonData = &hub;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    if (!planes.ReadBinary(in)) {
        if (planes.m_a2Planes.Size() != 0) {
            std::abort();
        }
        return 0;
    }
    std::ostringstream out(std::ios::binary);
    planes.WriteBinary(out);
    SAPlanes again;
    again.m_pCommonData = &hub;
    std::istringstream back(out.str(), std::ios::binary);
    if (!again.ReadBinary(back)) {
        std::abort();
    }
    std::ostringstream outAgain(std::ios::binary);
    again.WriteBinary(outAgain);
    if (outAgain.str() != out.str()) {
        std::abort();
    }
    std::string message;
    SAPlanes::CheckSimilarity(planes, again, &message);
    Array2D<unsigned short> background;
    background.SetSize(g_nYRes[planes.m_resolution], g_nXRes[planes.m_resolution], false);
    planes.Update(background, 1);
    planes.Update(background, 0);
    return 0;
}
