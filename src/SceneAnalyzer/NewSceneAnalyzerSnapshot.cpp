#include <cstdio>

#include "QuorLibrary/Utilities/Serialization.h"
#include "SceneAnalyzer/NewSceneAnalyzer.h"
#include "SceneAnalyzer/SAConfigurationBinary.h"
#include "SceneAnalyzer/SAStateSimilarity.h"

namespace {

using Ring = CyclicBuffer<Array<NewConnectedComponent>, NewSceneAnalyzer::kHistory>;

}  // namespace

void WriteBinary(std::ostream& out, const NewSceneAnalyzer& analyzer) {
    WriteBinary(out, analyzer.m_configuration);
    vela_serialization::WriteRaw(out, analyzer.m_firstMotionDetection);
    vela_serialization::WriteRaw(out, analyzer.m_hybridThreshold);
    // The free ids, bottom first, so that reading pushes them back in order.
    vela_serialization::WriteRaw(out, static_cast<int32_t>(analyzer.m_freeObjectIds.size()));
    for (uint16_t id : analyzer.m_freeObjectIds) {
        vela_serialization::WriteRaw(out, id);
    }
    analyzer.m_planes.WriteBinary(out);
    const Ring& ring = analyzer.m_ccs;
    vela_serialization::WriteRaw(out, static_cast<int32_t>(ring.Capacity()));
    vela_serialization::WriteRaw(out, static_cast<int32_t>(ring.Count()));
    for (int k = ring.Count() - 1; k >= 0; --k) {
        const Array<NewConnectedComponent>& ccs = ring.GetPrevious(k);
        vela_serialization::WriteRaw(out, static_cast<int32_t>(ccs.Size()));
        for (int i = 0; i < ccs.Size(); ++i) {
            WriteBinary(out, ccs[i]);
        }
    }
}

bool ReadBinary(std::istream& in, std::vector<uint16_t>& stack, int maxCount) {
    stack.clear();
    int32_t count = 0;
    if (!vela_serialization::ReadRaw(in, count)) {
        return false;
    }
    if (count < 0 || count > maxCount) {
        in.setstate(std::ios::failbit);
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        uint16_t id = 0;
        if (!vela_serialization::ReadRaw(in, id)) {
            stack.clear();
            return false;
        }
        stack.push_back(id);
    }
    return true;
}

namespace {

bool ReadRegions(std::istream& in, NewSceneAnalyzer& analyzer) {
    using vela_serialization::ReadRaw;
    Ring& ring = analyzer.m_ccs;
    ring.Clear();
    int32_t capacity = 0;
    int32_t frames = 0;
    if (!ReadRaw(in, capacity) || !ReadRaw(in, frames) || frames < 0 || frames > NewSceneAnalyzer::kHistory) {
        return false;
    }
    for (int32_t k = 0; k < frames; ++k) {
        Array<NewConnectedComponent>& ccs = ring.Push();
        int32_t count = 0;
        if (!ReadRaw(in, count) || count < 0 || count > NewSceneAnalyzer::kMaxRegions) {
            return false;
        }
        ccs.Deallocate();
        ccs.EnsureCapacity(count, false);
        for (int32_t i = 0; i < count; ++i) {
            if (!ReadBinary(in, ccs.Push())) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

bool ReadBinary(std::istream& in, NewSceneAnalyzer& analyzer) {
    using vela_serialization::ReadRaw;
    SAConfiguration configuration;
    bool firstMotionDetection = false;
    int32_t threshold = 0;
    std::vector<uint16_t> ids;
    if (!ReadBinary(in, configuration) || !ReadRaw(in, firstMotionDetection) || !ReadRaw(in, threshold) ||
        !ReadBinary(in, ids, NewSceneAnalyzer::kMaxObjectIds) || !analyzer.m_planes.ReadBinary(in)) {
        return false;
    }
    if (!ReadRegions(in, analyzer)) {
        analyzer.ResetCCs();
        return false;
    }
    analyzer.m_configuration = configuration;
    analyzer.m_firstMotionDetection = firstMotionDetection;
    analyzer.m_hybridThreshold = threshold;
    analyzer.m_freeObjectIds = ids;
    analyzer.ResetCCsPointers();
    return true;
}

bool CheckSimilarity(const Ring& a, const Ring& b, std::string* message) {
    if (a.Capacity() != b.Capacity()) {
        if (message != nullptr) {
            *message = "m_capacity is different\n";
        }
        return false;
    }
    if (a.Count() != b.Count()) {
        if (message != nullptr) {
            *message = "m_size is different\n";
        }
        return false;
    }
    std::string inner;
    for (int k = 0; k < a.Count(); ++k) {
        if (!CheckSimilarity(a.GetPrevious(k), b.GetPrevious(k), &inner)) {
            if (message != nullptr) {
                char head[32];
                std::snprintf(head, sizeof(head), "In item %d: ", k);
                *message = head + inner;
            }
            return false;
        }
    }
    return true;
}

bool CheckSimilarity(const NewSceneAnalyzer& a, const NewSceneAnalyzer& b, std::string* message) {
    using vela_sa_state::Differs;
    std::string inner;
    return !(Differs(!CheckSimilarity(a.m_configuration, b.m_configuration, &inner), "m_configuration", message,
                     inner) ||
             Differs(a.m_firstMotionDetection != b.m_firstMotionDetection, "m_firstMotionDetection", message) ||
             Differs(a.m_hybridThreshold != b.m_hybridThreshold, "m_hybridThreshold", message) ||
             Differs(!SAPlanes::CheckSimilarity(a.m_planes, b.m_planes, &inner), "m_planes", message, inner) ||
             Differs(!CheckSimilarity(a.m_ccs, b.m_ccs, &inner), "m_ccs", message, inner));
}
