// The alternative scene analyzer's snapshots (ReadBinary of
// NewSceneAnalyzer), read into an analyzer on a hub without conversions. A
// snapshot that is accepted must write back to bytes that read again into
// an analyzer that writes the same bytes, with links only between
// neighbouring stored frames; one that is refused holds no regions.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/NewSceneAnalyzer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NACommonData hub;
    NewSceneAnalyzer analyzer(&hub);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    if (!ReadBinary(in, analyzer)) {
        if (analyzer.m_ccs.Count() != 0) {
            std::abort();
        }
        return 0;
    }
    std::ostringstream out(std::ios::binary);
    WriteBinary(out, analyzer);
    NewSceneAnalyzer again(&hub);
    std::istringstream back(out.str(), std::ios::binary);
    if (!ReadBinary(back, again)) {
        std::abort();
    }
    std::ostringstream outAgain(std::ios::binary);
    WriteBinary(outAgain, again);
    if (outAgain.str() != out.str()) {
        std::abort();
    }
    // A NaN centre compares unequal even to itself: only the call is checked.
    std::string message;
    CheckSimilarity(analyzer, again, &message);
    const int frames = analyzer.m_ccs.Count();
    for (int k = 0; k < frames; ++k) {
        const Array<NewConnectedComponent>& ccs = analyzer.m_ccs.GetPrevious(k);
        const Array<NewConnectedComponent>* newer = k > 0 ? &analyzer.m_ccs.GetPrevious(k - 1) : nullptr;
        for (int i = 0; i < ccs.Size(); ++i) {
            const NewConnectedComponent* next = ccs[i].m_pNext;
            if (next != nullptr && (newer == nullptr || next < newer->Data() || next >= newer->Data() + newer->Size())) {
                std::abort();
            }
        }
    }
    analyzer.GetCCByObjectId(1);
    analyzer.GetCCByPoint(Vector3D<float>(0.0f, 0.0f, 2000.0f));
    return 0;
}
