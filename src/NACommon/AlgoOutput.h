#pragma once

// The base of the development recorders that write one algorithm's per-frame
// output into a binary record file beside a depth recording, so that two runs
// can be compared offline frame by frame. A subclass fixes its extension and
// data version and writes its own payload on the file stream; this class owns
// the file, writes and checks the header, frames the payloads as
// length-prefixed blocks that may nest, finds frames by id and compares files.
//
// File: the container version "070211", the data version and the source path
// as int32-length strings, the header block (int32 length, payload), then per
// frame the int32 frame id and the frame block. No frame count, no index.
// An older layout, only read, starts with the int32 120910 and an 8-byte
// header payload.
//
// Misuse of the writing sequence and a file that is not a record file of the
// reader's version end the process with status 1.

#include <cstdint>
#include <deque>
#include <fstream>
#include <string>

#include "QuorLibrary/Utilities/FatalError.h"

class NACommonData;

class AlgoOutput {
public:
    enum Mode { MODE_READ = 0, MODE_WRITE = 1 };

    // An open block: where its int32 length goes and where its payload starts.
    struct Block {
        std::streamoff nLengthPosition;
        std::streamoff nPayloadPosition;
    };

    AlgoOutput(Mode mode, const std::string& dataVersion, const std::string& extension);
    // Closes the file; open blocks are not finalised. Not virtual: owners hold
    // and destroy the concrete recorder type.
    ~AlgoOutput();

    void Reset();
    bool OpenFile();
    void CloseFile();
    // folder + base + "." + name + "." + extension.
    std::string CreateFileName(const std::string& folder, const std::string& base, const std::string& name) const;
    std::string CreateFileName(const std::string& folder, const std::string& base, const char* name) const {
        return CreateFileName(folder, base, std::string(name));
    }
    // Beside the source recording, or in its subfolder name + "." + extension
    // + "\": rec/clip.oni, x, sk gives rec/x.sk\clip.oni.x.sk.
    std::string CreateFileName(const std::string& sourcePath, const std::string& name, bool inSubfolder) const;

    // Writing. Each returns false when the file cannot be opened.
    bool InitializeWriting(const std::string& sourcePath);
    bool InitializeWriting(const std::string& sourcePath, const std::string& name, bool inSubfolder);
    bool InitializeWriting(const std::string& folder, const std::string& sourcePath, const std::string& name);
    // Keeps a literal name from choosing the bool form above.
    bool InitializeWriting(const std::string& folder, const std::string& sourcePath, const char* name) {
        return InitializeWriting(folder, sourcePath, std::string(name));
    }
    void WriteHeader();
    void FinalizeHeader();
    void StartFrame(int frameId);
    void FinalizeFrame();
    void StartBlock();
    void FinalizeBlock();
    // Names the file after the hub's recording (in the subfolder); in write
    // mode writes and finalises an empty header.
    bool Initialize(NACommonData* data, const std::string& name);

    // Reading and comparing.
    bool InitializeReading();
    bool InitializeReading(const std::string& filePath);
    bool InitializeReading(const std::string& sourcePath, const std::string& name, bool inSubfolder);
    bool InitializeReading(const std::string& folder, const std::string& sourcePath, const std::string& name);
    bool InitializeReading(const std::string& folder, const std::string& sourcePath, const char* name) {
        return InitializeReading(folder, sourcePath, std::string(name));
    }
    void ReadHeader();
    // Positions the file just after the id of the frame; false when no frame
    // has that id. The search stops at the first id at or above the one sought.
    bool Seek(int frameId);
    bool Read(int frameId);
    bool CompareStateToFile(int frameId, std::string* message);
    // The id of the frame after the current one, or -1.
    int GetNextFrame();
    // Frame by frame from 1 until neither file has the frame; frameId is
    // where the comparison stopped.
    bool Compare(AlgoOutput& other, int& frameId);

    // Called after the header was read; a reader seeks to the header payload
    // and reads its fields.
    virtual void InitializeData() {}
    // One frame's payload at the current position.
    virtual bool ReadData() = 0;
    virtual void ClearData() = 0;
    virtual bool CompareData(std::string* /*message*/) const {
        NotImplemented("CompareData", "NACommon/AlgoOutput", __LINE__);
    }

    static constexpr int32_t LEGACY_MARKER = 120910;

protected:
    NACommonData* m_pCommonData;
    int32_t m_nLegacyMarker;  // LEGACY_MARKER after a file of the older layout was opened
    std::string m_strDataVersion;
    Mode m_mode;
    std::fstream m_file;
    std::streamoff m_nHeaderPayloadPosition;
    std::string m_strContainerVersion;
    std::string m_strExtension;
    std::string m_strFilePath;
    std::string m_strRecordingBaseName;
    std::string m_strSourcePath;
    int m_nCurrentFrameId;
    std::deque<Block> m_blocks;
    std::streamoff m_nFirstFramePosition;
    std::streamoff m_nCurrentFramePosition;
    int m_nFirstFrameId;
    bool m_bHeaderFinalized;
    bool m_bHeaderOpen;
    bool m_bFrameOpen;
};
