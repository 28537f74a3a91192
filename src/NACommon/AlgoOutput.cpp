#include "NACommon/AlgoOutput.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/Utilities/FileUtilities.h"
#include "QuorLibrary/Utilities/Serialization.h"
#include "QuorLibrary/Utilities/StringUtils.h"

namespace {

// Ends the process on a broken writing sequence or an unreadable header: a
// recorder cannot go on without corrupting its file.
[[noreturn]] void Stop(const char* function, const char* message) {
    FatalError(function, __FILE__, __LINE__, StringSprintf("AlgoOutput::%s: %s", function, message).c_str());
}

// The path after its last slash or backslash.
std::string BaseNameOf(const std::string& path) {
    const std::string::size_type separator = path.find_last_of("/\\");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Payloads are compared in chunks of this size.
constexpr int32_t kCompareChunk = 1 << 16;

}  // namespace

AlgoOutput::AlgoOutput(Mode mode, const std::string& dataVersion, const std::string& extension)
    : m_pCommonData(nullptr),
      m_nLegacyMarker(0),
      m_strDataVersion(dataVersion),
      m_mode(mode),
      m_nHeaderPayloadPosition(0),
      m_strContainerVersion("070211"),
      m_strExtension(extension),
      m_nCurrentFrameId(INT32_MAX),
      m_nFirstFramePosition(0),
      m_nCurrentFramePosition(0),
      m_nFirstFrameId(INT32_MAX),
      m_bHeaderFinalized(false),
      m_bHeaderOpen(false),
      m_bFrameOpen(false) {}

AlgoOutput::~AlgoOutput() {
    if (m_file.is_open()) {
        m_file.close();
    }
}

void AlgoOutput::Reset() {
    m_nLegacyMarker = 0;
    m_bHeaderFinalized = false;
    m_bHeaderOpen = false;
    m_bFrameOpen = false;
}

bool AlgoOutput::OpenFile() {
    m_blocks.clear();
    if (m_mode == MODE_WRITE) {
        const std::string folder = GetParentDirectory(m_strFilePath);
        if (!folder.empty() && !CreateDirectoryIfNecessary(folder, true)) {
            return false;
        }
    }
    m_file.clear();
    if (m_file.is_open()) {
        m_file.close();
    }
    if (m_mode == MODE_WRITE) {
        m_file.open(m_strFilePath.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
    } else {
        m_file.open(m_strFilePath.c_str(), std::ios::in | std::ios::binary);
    }
    return m_file.is_open();
}

void AlgoOutput::CloseFile() {
    if (m_file.is_open()) {
        m_file.close();
    }
}

std::string AlgoOutput::CreateFileName(const std::string& folder, const std::string& base,
                                       const std::string& name) const {
    return folder + base + "." + name + "." + m_strExtension;
}

std::string AlgoOutput::CreateFileName(const std::string& sourcePath, const std::string& name,
                                       bool inSubfolder) const {
    const std::string::size_type separator = sourcePath.find_last_of("/\\");
    const std::string directory = separator == std::string::npos ? std::string() : sourcePath.substr(0, separator + 1);
    const std::string base = BaseNameOf(sourcePath);
    const std::string folder = inSubfolder ? directory + name + "." + m_strExtension + "\\" : directory;
    return CreateFileName(folder, base, name);
}

// ---------------------------------------------------------------------------
// Writing.

bool AlgoOutput::InitializeWriting(const std::string& sourcePath) {
    Reset();
    m_strSourcePath = sourcePath;
    m_strRecordingBaseName = BaseNameOf(m_strSourcePath);
    if (!OpenFile()) {
        return false;
    }
    WriteHeader();
    return true;
}

bool AlgoOutput::InitializeWriting(const std::string& sourcePath, const std::string& name, bool inSubfolder) {
    m_strFilePath = CreateFileName(sourcePath, name, inSubfolder);
    return InitializeWriting(sourcePath);
}

bool AlgoOutput::InitializeWriting(const std::string& folder, const std::string& sourcePath,
                                   const std::string& name) {
    m_strFilePath = CreateFileName(folder, BaseNameOf(sourcePath), name);
    return InitializeWriting(sourcePath);
}

void AlgoOutput::WriteHeader() {
    if (m_bHeaderOpen || m_bHeaderFinalized || !m_blocks.empty()) {
        Stop("WriteHeader", "a header was already started");
    }
    WriteBinary(m_file, m_strContainerVersion);
    WriteBinary(m_file, m_strDataVersion);
    WriteBinary(m_file, m_strSourcePath);
    StartBlock();
    m_bHeaderOpen = true;
}

void AlgoOutput::FinalizeHeader() {
    if (!m_bHeaderOpen || m_bHeaderFinalized) {
        Stop("FinalizeHeader", "no open header");
    }
    FinalizeBlock();
    m_bHeaderOpen = false;
    m_bHeaderFinalized = true;
}

void AlgoOutput::StartFrame(int frameId) {
    if (!m_bHeaderFinalized || m_bFrameOpen) {
        Stop("StartFrame", m_bFrameOpen ? "the previous frame is still open" : "the header is not finalised");
    }
    vela_serialization::WriteRaw(m_file, static_cast<int32_t>(frameId));
    StartBlock();
    m_bFrameOpen = true;
}

void AlgoOutput::FinalizeFrame() {
    if (!m_bHeaderFinalized || !m_bFrameOpen) {
        Stop("FinalizeFrame", "no open frame");
    }
    FinalizeBlock();
    m_bFrameOpen = false;
}

void AlgoOutput::StartBlock() {
    Block block;
    block.nLengthPosition = m_file.tellp();
    vela_serialization::WriteRaw(m_file, int32_t(0));
    block.nPayloadPosition = m_file.tellp();
    m_blocks.push_back(block);
}

void AlgoOutput::FinalizeBlock() {
    if (m_blocks.empty()) {
        Stop("FinalizeBlock", "no open block");
    }
    const Block block = m_blocks.back();
    m_blocks.pop_back();
    if (!m_file) {
        return;
    }
    const std::streamoff end = m_file.tellp();
    const std::streamoff length = end - block.nPayloadPosition;
    if (length > INT32_MAX) {
        // Lengths are 32-bit: a longer block cannot be recorded, and the file
        // is marked bad rather than given a wrong length.
        m_file.setstate(std::ios::badbit);
        return;
    }
    m_file.seekp(block.nLengthPosition);
    vela_serialization::WriteRaw(m_file, static_cast<int32_t>(length));
    m_file.seekp(end);
}

bool AlgoOutput::Initialize(NACommonData* data, const std::string& name) {
    m_pCommonData = data;
    const std::string sourcePath = data != nullptr ? data->m_strRecordingPath : std::string();
    m_strFilePath = CreateFileName(sourcePath, name, true);
    if (m_mode == MODE_WRITE) {
        if (!InitializeWriting(sourcePath)) {
            return false;
        }
        FinalizeHeader();
        return true;
    }
    InitializeReading();
    return true;
}

// ---------------------------------------------------------------------------
// Reading.

bool AlgoOutput::InitializeReading() {
    if (!OpenFile()) {
        return false;
    }
    ReadHeader();
    InitializeData();
    return true;
}

bool AlgoOutput::InitializeReading(const std::string& filePath) {
    m_strFilePath = filePath;
    return InitializeReading();
}

bool AlgoOutput::InitializeReading(const std::string& sourcePath, const std::string& name, bool inSubfolder) {
    m_strFilePath = CreateFileName(sourcePath, name, inSubfolder);
    return InitializeReading();
}

bool AlgoOutput::InitializeReading(const std::string& folder, const std::string& sourcePath,
                                   const std::string& name) {
    m_strFilePath = CreateFileName(folder, BaseNameOf(sourcePath), name);
    return InitializeReading();
}

void AlgoOutput::ReadHeader() {
    m_file.clear();
    m_file.seekg(0);
    int32_t headerLength = 0;
    std::string containerVersion;
    ReadBinary(m_file, containerVersion);
    if (!m_file || containerVersion != m_strContainerVersion) {
        m_file.clear();
        m_file.seekg(0);
        int32_t marker = 0;
        if (!vela_serialization::ReadRaw(m_file, marker) || marker != LEGACY_MARKER) {
            Stop("ReadHeader", "not a record file");
        }
        m_nLegacyMarker = marker;
        m_nHeaderPayloadPosition = m_file.tellg();
        headerLength = 8;
    } else {
        std::string dataVersion;
        ReadBinary(m_file, dataVersion);
        if (!m_file || dataVersion != m_strDataVersion) {
            Stop("ReadHeader", "the data version differs from the reader's");
        }
        std::string sourcePath;
        ReadBinary(m_file, sourcePath);
        if (!m_file || !vela_serialization::ReadRaw(m_file, headerLength) || headerLength < 0) {
            Stop("ReadHeader", "corrupt header");
        }
        m_strSourcePath = sourcePath;
        m_strRecordingBaseName = BaseNameOf(m_strSourcePath);
        m_nHeaderPayloadPosition = m_file.tellg();
    }
    m_nFirstFramePosition = m_nHeaderPayloadPosition + headerLength;
    // A file without frames has no first id; every search then fails.
    m_file.seekg(m_nFirstFramePosition);
    int32_t firstId = 0;
    m_nFirstFrameId = vela_serialization::ReadRaw(m_file, firstId) ? firstId : INT32_MAX;
    m_nCurrentFrameId = m_nFirstFrameId;
    m_nCurrentFramePosition = m_nFirstFramePosition;
    m_file.clear();
    m_file.seekg(m_nFirstFramePosition);
}

bool AlgoOutput::Seek(int frameId) {
    if (frameId < m_nCurrentFrameId) {
        m_nCurrentFrameId = m_nFirstFrameId;
        m_nCurrentFramePosition = m_nFirstFramePosition;
        if (frameId < m_nFirstFrameId) {
            return false;
        }
    }
    // A search that ran past the last frame left the stream failed.
    m_file.clear();
    m_file.seekg(m_nCurrentFramePosition);
    std::streamoff position = m_nCurrentFramePosition;
    for (;;) {
        // The current frame moves only to a frame whose id could be read, so
        // that a search past the end leaves the last frame current.
        int32_t id = 0;
        if (!vela_serialization::ReadRaw(m_file, id)) {
            return false;
        }
        m_nCurrentFramePosition = position;
        m_nCurrentFrameId = id;
        if (id >= frameId) {
            return id == frameId;
        }
        int32_t length = 0;
        // A negative length would step the search backwards for ever.
        if (!vela_serialization::ReadRaw(m_file, length) || length < 0) {
            return false;
        }
        m_file.seekg(length, std::ios::cur);
        position = m_file.tellg();
        if (position < 0) {
            return false;
        }
    }
}

bool AlgoOutput::Read(int frameId) {
    int32_t length = 0;
    if (!Seek(frameId) || !vela_serialization::ReadRaw(m_file, length) || length < 0) {
        ClearData();
        return false;
    }
    const std::streamoff start = m_file.tellg();
    if (!ReadData()) {
        return false;
    }
    const std::streamoff end = m_file.tellg();
    if (start < 0 || end - start != length) {
        Stop("Read", StringSprintf("frame %d holds a payload of another length", frameId).c_str());
    }
    return true;
}

bool AlgoOutput::CompareStateToFile(int frameId, std::string* message) {
    int32_t length = 0;
    if (!Seek(frameId) || !vela_serialization::ReadRaw(m_file, length) || length < 0) {
        ClearData();
        if (message != nullptr) {
            *message = StringSprintf("Unable to get to frame %d", frameId);
        }
        return false;
    }
    const std::streamoff start = m_file.tellg();
    const bool equal = CompareData(message);
    m_file.clear();
    m_file.seekg(start + length);
    if (!equal) {
        return false;
    }
    if (message != nullptr) {
        message->clear();
    }
    return true;
}

int AlgoOutput::GetNextFrame() {
    m_file.clear();
    m_file.seekg(m_nCurrentFramePosition + 4);
    int result = -1;
    int32_t length = 0;
    if (vela_serialization::ReadRaw(m_file, length) && length >= 0) {
        m_file.seekg(length, std::ios::cur);
        int32_t next = 0;
        if (vela_serialization::ReadRaw(m_file, next)) {
            result = next;
        }
    }
    m_file.clear();
    m_file.seekg(m_nCurrentFramePosition);
    return result;
}

bool AlgoOutput::Compare(AlgoOutput& other, int& frameId) {
    std::vector<char> mine(kCompareChunk);
    std::vector<char> theirs(kCompareChunk);
    for (frameId = 1;; ++frameId) {
        const bool found = Seek(frameId);
        const bool otherFound = other.Seek(frameId);
        if (!found && !otherFound) {
            return true;
        }
        if (found != otherFound) {
            return false;
        }
        int32_t length = 0;
        int32_t otherLength = 0;
        if (!vela_serialization::ReadRaw(m_file, length) || !vela_serialization::ReadRaw(other.m_file, otherLength) ||
            length != otherLength || length < 0) {
            return false;
        }
        for (int32_t done = 0; done < length;) {
            const int32_t step = std::min(kCompareChunk, length - done);
            if (!m_file.read(mine.data(), step) || !other.m_file.read(theirs.data(), step) ||
                std::memcmp(mine.data(), theirs.data(), static_cast<size_t>(step)) != 0) {
                return false;
            }
            done += step;
        }
        if (frameId == INT32_MAX) {
            return true;
        }
    }
}
