#include "SceneAnalyzer/SAConfigurationBinary.h"

#include <cstdint>
#include <cstring>

#include "QuorLibrary/Utilities/Serialization.h"
#include "SceneAnalyzer/SAStateSimilarity.h"

namespace {

void PutSwitch(std::ostream& out, const SAConfiguration::Switch& s) {
    vela_serialization::WriteRaw(out, s.on);
    vela_serialization::WriteRaw(out, s.firstFrame);
    vela_serialization::WriteRaw(out, s.lastFrame);
}

bool GetSwitch(std::istream& in, SAConfiguration::Switch& s) {
    using vela_serialization::ReadRaw;
    return ReadRaw(in, s.on) && ReadRaw(in, s.firstFrame) && ReadRaw(in, s.lastFrame);
}

bool SameSwitch(const SAConfiguration::Switch& a, const SAConfiguration::Switch& b) {
    return a.on == b.on && a.firstFrame == b.firstFrame && a.lastFrame == b.lastFrame;
}

}  // namespace

void WriteBinary(std::ostream& out, const SAConfiguration& c) {
    PutSwitch(out, c.m_SSE);
    PutSwitch(out, c.m_profiling);
    PutSwitch(out, c.m_output);
    PutSwitch(out, c.m_bitExact);
    vela_serialization::WriteRaw(out, static_cast<int32_t>(c.m_resolution));
    vela_serialization::WriteRaw(out, static_cast<int32_t>(c.m_outputResolution));
    vela_serialization::WriteRaw(out, static_cast<int32_t>(c.m_verName.size()));
    out.write(c.m_verName.data(), static_cast<std::streamsize>(c.m_verName.size()));
    vela_serialization::WriteRaw(out, c.m_MaxSupportedDepth);
}

bool ReadBinary(std::istream& in, SAConfiguration& configuration) {
    using vela_serialization::ReadRaw;
    SAConfiguration c;
    int32_t resolution = 0;
    int32_t outputResolution = 0;
    int32_t length = 0;
    if (!GetSwitch(in, c.m_SSE) || !GetSwitch(in, c.m_profiling) || !GetSwitch(in, c.m_output) ||
        !GetSwitch(in, c.m_bitExact) || !ReadRaw(in, resolution) || !ReadRaw(in, outputResolution) ||
        !ReadRaw(in, length)) {
        return false;
    }
    c.m_resolution = static_cast<Resolution>(resolution);
    c.m_outputResolution = static_cast<Resolution>(outputResolution);
    if (!IsValidResolution(c.m_resolution) || !IsValidResolution(c.m_outputResolution) || length < 0 ||
        length > kMaxSAVersionNameLength) {
        in.setstate(std::ios::failbit);
        return false;
    }
    std::string name(static_cast<size_t>(length), '\0');
    if (length > 0 && !in.read(&name[0], length)) {
        return false;
    }
    // The name ends at its first zero character.
    c.m_verName.assign(name.c_str());
    if (!ReadRaw(in, c.m_MaxSupportedDepth)) {
        return false;
    }
    configuration = c;
    return true;
}

bool CheckSimilarity(const SAConfiguration& a, const SAConfiguration& b, std::string* message) {
    using vela_sa_state::Differs;
    return !(Differs(!SameSwitch(a.m_SSE, b.m_SSE), "m_SSE", message) ||
             Differs(!SameSwitch(a.m_profiling, b.m_profiling), "m_profiling", message) ||
             Differs(!SameSwitch(a.m_output, b.m_output), "m_output", message) ||
             Differs(!SameSwitch(a.m_bitExact, b.m_bitExact), "m_bitExact", message) ||
             Differs(a.m_resolution != b.m_resolution, "m_resolution", message) ||
             Differs(a.m_outputResolution != b.m_outputResolution, "m_outputResolution", message) ||
             Differs(a.m_verName != b.m_verName, "m_verName", message) ||
             Differs(a.m_MaxSupportedDepth != b.m_MaxSupportedDepth, "m_MaxSupportedDepth", message));
}
