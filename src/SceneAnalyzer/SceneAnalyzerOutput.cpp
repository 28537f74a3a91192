// The scene analyzer's development outputs: the "sa" record and the
// bit-exact text dump.

#include <string>

#include "NACommon/NACommonData.h"
#include "OSLayer/XnLog.h"
#include "SceneAnalyzer/SceneAnalyzer.h"

namespace {

// Name of the recording of a live device.
const char* const kLiveRecording = "SENSOR.oni";

// Rows of a map, each value followed by a blank, one row per line.
template <typename T>
void WriteRows(std::ostream& out, const T* values, int width, int height) {
    if (values == nullptr) {
        return;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out << static_cast<unsigned>(values[y * width + x]) << ' ';
        }
        out << '\n';
    }
}

template <typename T>
void WriteTen(std::ostream& out, const char* name, const T* perUser) {
    out << name;
    for (int id = 1; id <= 10; ++id) {
        out << perUser[id] << ' ';
    }
    out << '\n';
}

}  // namespace

void SceneAnalyzer::InitializeOutput() {
    const Resolution res = m_configuration.m_outputResolution;
    if (!IsValidResolution(res)) {
        xnLogError(XN_LOG_MASK_ALL, "SceneAnalyzer: no record at resolution %d", static_cast<int>(res));
        return;
    }
    const std::string& path = m_pCommonData->m_strRecordingPath;
    const xn::SceneMetaData& labels = GetLabelMap(res);
    if (!m_outputWriter.WriteHeader(path.empty() ? std::string(kLiveRecording) : path, m_configuration.m_verName,
                                    labels.XRes(), labels.YRes())) {
        xnLogWarning(XN_LOG_MASK_ALL, "SceneAnalyzer: the record of %s cannot be written",
                     path.empty() ? kLiveRecording : path.c_str());
    }
}

void SceneAnalyzer::WriteOutputFrame() {
    if (!m_outputWriter.IsWriting()) {
        return;
    }
    const xn::SceneMetaData& labels = GetLabelMap(m_configuration.m_outputResolution);
    const SAPlane& floor = m_planes.Floor();
    const Vector3D<double> solution =
        floor.m_hasSAPlane ? Vector3D<double>(floor.m_sol[0], floor.m_sol[1], floor.m_sol[2])
                           : Vector3D<double>(0.0, 0.0, 0.0);
    m_outputWriter.Write(m_pCommonData->m_nFrameID, labels, solution, m_segmentation.m_usersBox);
}

void SceneAnalyzer::WriteBitExact() {
    if (!m_bitExactFile.is_open()) {
        // One try: a dump that cannot be opened stays failed and unwritten.
        if (m_bitExactFile.fail()) {
            return;
        }
        m_bitExactFile.open(m_bitExactFileName, std::ios::out | std::ios::trunc);
        if (!m_bitExactFile.is_open()) {
            m_bitExactFile.setstate(std::ios::failbit);
            return;
        }
    }
    std::ostream& out = m_bitExactFile;
    out << "Frame " << m_pCommonData->m_nFrameID << '\n';
    out << "Labels:" << '\n';
    // Every map is at the analysis resolution.
    const xn::SceneMetaData& labels = m_segmentation.CurrentLabelMap();
    WriteRows(out, labels.Data(), labels.XRes(), labels.YRes());
    out << "Bg:" << '\n';
    const Array2D<unsigned short>& background = m_farfield.m_background;
    WriteRows(out, background.Data(), background.Columns(), background.Rows());
    const SAPlane& floor = m_planes.Floor();
    if (floor.m_hasSAPlane) {
        const Vector3D<float>& normal = floor.m_plane.m_normal;
        out << "SAPlane Normal:" << normal.x << ' ' << normal.y << ' ' << normal.z;
        out << " SAPlane Height:" << -(floor.m_plane.m_point.x * normal.x + floor.m_plane.m_point.y * normal.y +
                                       floor.m_plane.m_point.z * normal.z)
            << '\n';
        out << "SAPlane pixels:" << '\n';
        const xn::SceneMetaData& planeIds = m_planes.m_planeIdMap;
        WriteRows(out, planeIds.Data(), planeIds.XRes(), planeIds.YRes());
    }
    for (int i = 0; i < m_motionDetector.blockCount(); ++i) {
        out << *m_motionDetector.blocks()[i] << '\n';
    }
    out << '\n';
    for (int label = 1; label <= m_segmentation.m_numCCs; ++label) {
        printCC(out, m_segmentation, label);
    }
    out << '\n';
    for (int id = 1; id <= kMaxUsers; ++id) {
        const User& user = m_segmentation.GetUser(id);
        if (user.alive()) {
            out << "User " << id << ":" << '\n' << user << '\n';
        }
    }
    out.flush();
}

void SceneAnalyzer::printCC(std::ostream& out, const Segmentation& s, int label) {
    const int c = label;
    out << "CC #" << c << '\n';
    out << "pixelCount=" << s.m_ccPixCount[c] << '\n';
    out << "area=" << s.m_ccArea[c] << '\n';
    out << "bounds=" << s.m_ccBox[c] << '\n';
    const Box3D<int>& room = s.m_ccBoxInRoom[c];
    out << "bounds in room (YZ only)=" << room.min.y << ' ' << room.max.y << ' ' << room.min.z << ' ' << room.max.z
        << '\n';
    out << "xCenter=" << s.m_ccCenterX[c] << '\n';
    out << "yCenter=" << s.m_ccCenterY[c] << '\n';
    out << "zCenter=" << s.m_ccCenterZ[c] << '\n';
    out << "com in room=" << s.m_ccCenterInRoom[c] << '\n';
    out << "userId=" << s.m_ccUserId[c] << '\n';
    // The flags of a component given back to the background, kept from
    // detection (redetected) and forced into it (cut off in depth).
    out << "m_feedbackToBg=" << static_cast<int>(s.m_ccToBackground[c]) << '\n';
    out << "m_blockDetection=" << static_cast<int>(s.m_ccRedetected[c]) << '\n';
    out << "m_forceDetection=" << static_cast<int>(s.m_ccCutInDepth[c]) << '\n';
    out << "noDepth=" << static_cast<int>(s.m_ccNoDepth[c]) << '\n';
    out << "isPositive=" << static_cast<int>(s.m_ccIsPositive[c]) << '\n';
    out << "isFg=" << static_cast<int>(s.m_ccIsFg[c]) << '\n';
    out << "fgArea=" << s.m_ccFgArea[c] << '\n';
    out << "isTrakced=" << static_cast<int>(s.m_ccIsTracked[c]) << '\n';
    out << "trackedArea=" << s.m_ccTrackedArea[c] << '\n';
    out << "isForGluing=" << static_cast<int>(s.m_ccIsForGluing[c]) << '\n';
    WriteTen(out, "userMetric1=", s.m_ccUserMetric[c]);
    WriteTen(out, "userMetric2=", s.m_ccGlueMetric[c]);
}
