#include "SceneAnalyzer/SAOutput.h"

#include <algorithm>
#include <cstring>

#include "QuorLibrary/Utilities/Serialization.h"
#include "QuorLibrary/Utilities/StringUtils.h"
#include "SceneAnalyzer/SAStateSimilarity.h"

namespace {

using vela_serialization::ReadRaw;
using vela_serialization::WriteRaw;

void WriteRun(std::ostream& out, int32_t length, XnLabel label) {
    WriteRaw(out, length);
    WriteRaw(out, label);
}

void WriteCorner(std::ostream& out, const Vector3D<int>& corner) {
    WriteRaw(out, static_cast<int32_t>(corner.x));
    WriteRaw(out, static_cast<int32_t>(corner.y));
    WriteRaw(out, static_cast<int32_t>(corner.z));
}

bool ReadCorner(std::istream& in, Vector3D<int>& corner) {
    int32_t x = 0;
    int32_t y = 0;
    int32_t z = 0;
    if (!ReadRaw(in, x) || !ReadRaw(in, y) || !ReadRaw(in, z)) {
        return false;
    }
    corner = Vector3D<int>(x, y, z);
    return true;
}

bool SameBox(const Box3D<int>& a, const Box3D<int>& b) { return a.min == b.min && a.max == b.max; }

// Coefficients compare as the bytes the file holds: a frame equals itself
// even when a coefficient is not a number.
bool SameFloor(const Vector3D<double>& a, const Vector3D<double>& b) {
    const double as[3] = {a.x, a.y, a.z};
    const double bs[3] = {b.x, b.y, b.z};
    return std::memcmp(as, bs, sizeof(as)) == 0;
}

}  // namespace

SAOutput::SAOutput(Mode mode)
    : AlgoOutput(mode, kDataVersion, kExtension),
      m_floor(0.0, 0.0, 0.0),
      m_nWidth(0),
      m_nHeight(0),
      m_bHeaderValid(false) {}

bool SAOutput::WriteHeader(const std::string& recording, const std::string& versionName, int width, int height) {
    if (!InitializeWriting(recording, versionName, false)) {
        return false;
    }
    WriteRaw(m_file, static_cast<int32_t>(width));
    WriteRaw(m_file, static_cast<int32_t>(height));
    FinalizeHeader();
    return true;
}

void SAOutput::Write(int frameId, const xn::SceneMetaData& labels, const Vector3D<double>& floor,
                     const Box3D<int>& usersBox) {
    StartFrame(frameId);
    WriteRaw(m_file, floor.x);
    WriteRaw(m_file, floor.y);
    WriteRaw(m_file, floor.z);
    const int64_t pixels = static_cast<int64_t>(std::max(labels.XRes(), 0)) * std::max(labels.YRes(), 0);
    if (pixels == 0 || labels.Data() == nullptr) {
        WriteRun(m_file, 0, 0);
    } else {
        const XnLabel* data = labels.Data();
        int64_t start = 0;
        for (int64_t i = 1; i <= pixels && m_file; ++i) {
            if (i == pixels || data[i] != data[start]) {
                WriteRun(m_file, static_cast<int32_t>(i - start), data[start]);
                start = i;
            }
        }
    }
    WriteCorner(m_file, usersBox.min);
    WriteCorner(m_file, usersBox.max);
    FinalizeFrame();
}

void SAOutput::InitializeData() {
    m_file.clear();
    m_file.seekg(m_nHeaderPayloadPosition);
    int32_t width = 0;
    int32_t height = 0;
    const bool read = ReadRaw(m_file, width) && ReadRaw(m_file, height);
    m_bHeaderValid = read && width >= 0 && height >= 0 && width <= kMaxSide && height <= kMaxSide &&
                     static_cast<int64_t>(width) * height <= kMaxPixels;
    m_nWidth = m_bHeaderValid ? width : 0;
    m_nHeight = m_bHeaderValid ? height : 0;
    m_bHeaderValid = m_bHeaderValid && ResetLabels(m_labels);
    m_file.clear();
    m_file.seekg(m_nFirstFramePosition);
}

bool SAOutput::ResetLabels(xn::SceneMetaData& labels) const {
    if (labels.AllocateData(static_cast<XnUInt32>(m_nWidth), static_cast<XnUInt32>(m_nHeight)) != XN_STATUS_OK) {
        return false;
    }
    if (labels.DataSize() > 0) {
        std::memset(labels.WritableData(), 0, labels.DataSize());
    }
    return true;
}

bool SAOutput::ReadFrame(std::istream& in, Vector3D<double>& floor, xn::SceneMetaData& labels,
                         Box3D<int>& box) const {
    if (!m_bHeaderValid || !ResetLabels(labels)) {
        return false;
    }
    floor = Vector3D<double>(0.0, 0.0, 0.0);
    if (m_nLegacyMarker != LEGACY_MARKER && !(ReadRaw(in, floor.x) && ReadRaw(in, floor.y) && ReadRaw(in, floor.z))) {
        return false;
    }
    // Runs fill the map in order; a run of length 0 ends them. One past the
    // map, or below 0, is not a map of this size.
    const int32_t pixels = m_nWidth * m_nHeight;
    XnLabel* data = labels.WritableData();
    int32_t filled = 0;
    do {
        int32_t length = 0;
        XnLabel label = 0;
        if (!ReadRaw(in, length) || !ReadRaw(in, label) || length < 0 || length > pixels - filled) {
            return false;
        }
        if (length == 0) {
            break;
        }
        std::fill(data + filled, data + filled + length, label);
        filled += length;
    } while (filled < pixels);
    return filled == pixels && ReadCorner(in, box.min) && ReadCorner(in, box.max);
}

bool SAOutput::ReadData() {
    if (!ReadFrame(m_file, m_floor, m_labels, m_usersBox)) {
        ClearData();
        return false;
    }
    return true;
}

void SAOutput::ClearData() {
    // A map laid over another's pixels gets its own before they are cleared.
    if (m_labels.Data() != m_labels.OwnedBuffer() || m_labels.Data() == nullptr) {
        m_labels.AllocateData(static_cast<XnUInt32>(std::max(m_labels.XRes(), 0)),
                              static_cast<XnUInt32>(std::max(m_labels.YRes(), 0)));
    }
    if (m_labels.WritableData() != nullptr && m_labels.DataSize() > 0) {
        std::memset(m_labels.WritableData(), 0, m_labels.DataSize());
    }
}

bool SAOutput::CompareData(std::string* message) const {
    using vela_sa_state::Differs;
    // The file's own buffer, read through a stream of its own: the data
    // stays as it is.
    std::istream in(m_file.rdbuf());
    Vector3D<double> floor;
    Box3D<int> box;
    if (!ReadFrame(in, floor, m_fileLabels, box)) {
        Differs(true, "frame", message, "not readable");
        return false;
    }
    if (Differs(!SameFloor(floor, m_floor), "m_floor", message)) {
        return false;
    }
    const bool sameSize = m_labels.XRes() == m_fileLabels.XRes() && m_labels.YRes() == m_fileLabels.YRes();
    if (Differs(!sameSize, "m_labels", message, "size")) {
        return false;
    }
    const XnLabel* mine = m_labels.Data();
    const XnLabel* theirs = m_fileLabels.Data();
    const int32_t pixels = m_fileLabels.XRes() * m_fileLabels.YRes();
    const int32_t differing =
        pixels == 0 ? 0 : static_cast<int32_t>(std::mismatch(theirs, theirs + pixels, mine).first - theirs);
    if (Differs(differing < pixels, "m_labels", message, StringSprintf("pixel %d", differing))) {
        return false;
    }
    return !Differs(!SameBox(box, m_usersBox), "m_usersBox", message);
}
