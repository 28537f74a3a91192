#pragma once

// A recorder of the harness's own on the record-file container: each frame
// holds a float vector and a name, for the harness and its seeds.

#include <string>
#include <vector>

#include "NACommon/AlgoOutput.h"
#include "QuorLibrary/Utilities/Serialization.h"

namespace vela_fuzz {

class FuzzRecord : public AlgoOutput {
public:
    explicit FuzzRecord(Mode mode) : AlgoOutput(mode, "1", "rec") {}

    int FirstFrameId() const { return m_nFirstFrameId; }
    std::fstream& File() { return m_file; }

    void WriteFrame(int frameId, const std::vector<float>& values, const std::string& name) {
        StartFrame(frameId);
        WriteBinary(m_file, values);
        StartBlock();
        WriteBinary(m_file, name);
        FinalizeBlock();
        FinalizeFrame();
    }

    void InitializeData() override {
        m_file.clear();
        m_file.seekg(m_nHeaderPayloadPosition);
        ReadBinary(m_file, m_header);
    }
    bool ReadData() override {
        ReadBinary(m_file, m_values);
        int32_t length = 0;
        vela_serialization::ReadRaw(m_file, length);
        ReadBinary(m_file, m_name);
        return static_cast<bool>(m_file);
    }
    void ClearData() override {
        m_values.clear();
        m_name.clear();
    }
    bool CompareData(std::string* message) const override {
        if (message != nullptr) {
            *message = m_name;
        }
        return true;
    }

    std::vector<float> m_header;
    std::vector<float> m_values;
    std::string m_name;
};

}  // namespace vela_fuzz
