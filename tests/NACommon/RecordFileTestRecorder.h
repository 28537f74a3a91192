#pragma once

// A recorder of the tests' own: its header payload is one int32 (a width),
// each frame payload an int32 count and that many int32 values.

#include <cstdint>
#include <string>
#include <vector>

#include "NACommon/AlgoOutput.h"

namespace record_file_test {

class TestRecorder : public AlgoOutput {
public:
    explicit TestRecorder(Mode mode, const std::string& dataVersion = "010203")
        : AlgoOutput(mode, dataVersion, "sk"),
          m_nWidth(-1),
          m_nClearCalls(0),
          m_nInitializeDataCalls(0),
          m_bReadCountOnly(false) {}

    void WriteInt(int32_t value) { m_file.write(reinterpret_cast<const char*>(&value), sizeof(value)); }

    void WriteValues(const std::vector<int32_t>& values) {
        WriteInt(static_cast<int32_t>(values.size()));
        for (int32_t v : values) {
            WriteInt(v);
        }
    }

    void WriteFrame(int frameId, const std::vector<int32_t>& values) {
        StartFrame(frameId);
        WriteValues(values);
        FinalizeFrame();
    }

    // A writer's usual sequence: header with the width, then the frames.
    bool WriteFile(const std::string& filePath, const std::vector<std::pair<int, std::vector<int32_t> > >& frames) {
        m_strFilePath = filePath;
        if (!InitializeWriting(std::string("rec/clip.oni"))) {
            return false;
        }
        WriteInt(640);
        FinalizeHeader();
        for (const auto& frame : frames) {
            WriteFrame(frame.first, frame.second);
        }
        CloseFile();
        return true;
    }

    void InitializeData() override {
        ++m_nInitializeDataCalls;
        m_file.seekg(m_nHeaderPayloadPosition);
        int32_t width = -1;
        if (m_file.read(reinterpret_cast<char*>(&width), sizeof(width))) {
            m_nWidth = width;
        }
        m_file.clear();
        m_file.seekg(m_nFirstFramePosition);
    }

    bool ReadData() override {
        m_values.clear();
        int32_t count = 0;
        if (!m_file.read(reinterpret_cast<char*>(&count), sizeof(count)) || count < 0) {
            return false;
        }
        if (m_bReadCountOnly) {
            return true;
        }
        for (int32_t i = 0; i < count; ++i) {
            int32_t value = 0;
            if (!m_file.read(reinterpret_cast<char*>(&value), sizeof(value))) {
                return false;
            }
            m_values.push_back(value);
        }
        return true;
    }

    void ClearData() override {
        m_values.clear();
        ++m_nClearCalls;
    }

    const std::string& FilePath() const { return m_strFilePath; }
    const std::string& SourcePath() const { return m_strSourcePath; }
    const std::string& RecordingBaseName() const { return m_strRecordingBaseName; }
    int CurrentFrameId() const { return m_nCurrentFrameId; }
    int32_t LegacyMarker() const { return m_nLegacyMarker; }
    std::streamoff FirstFramePosition() const { return m_nFirstFramePosition; }

    std::vector<int32_t> m_values;
    int32_t m_nWidth;
    int m_nClearCalls;
    int m_nInitializeDataCalls;
    bool m_bReadCountOnly;  // consumes less than the payload
};

using Frames = std::vector<std::pair<int, std::vector<int32_t> > >;

}  // namespace record_file_test
