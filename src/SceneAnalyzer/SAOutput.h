#pragma once

// The scene analyzer's record file ("sa"): per frame the floor's shift-space
// coefficients, the user label map as runs and the box around all users, so
// that two versions of the analysis can be compared offline frame by frame.
//
// Header payload: int32 width and height of the label map. Frame payload:
// three float64 floor coefficients (0, 0, 0 without a floor), the label runs
// {int32 length, uint16 label} covering the map row by row with rows joined
// (a map without pixels is the single run {0, 0}), then the users box as
// int32 min x, y, z and max x, y, z. Native byte order.
//
// A reader takes nothing on trust: a header whose sizes are negative or
// larger than any label map, and a frame whose runs are negative, run past
// the map or stop short, or that ends early, read as false with an empty
// map.

#include <cstdint>
#include <istream>
#include <string>

#include "NACommon/AlgoOutput.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "XnAdapter/XnSceneMetaData.h"

class SAOutput : public AlgoOutput {
public:
    static constexpr const char* kExtension = "sa";
    static constexpr const char* kDataVersion = "120611";
    // The largest label map a reader accepts, per side and in pixels: the
    // largest resolution, 1280x1024, with room to spare.
    static constexpr int32_t kMaxSide = 2048;
    static constexpr int32_t kMaxPixels = 1 << 21;

    explicit SAOutput(Mode mode);

    // Writing. Opens the file beside the recording, named recording + "." +
    // versionName + ".sa", and writes the header; false when the file cannot
    // be opened, and then no frame may be written.
    bool WriteHeader(const std::string& recording, const std::string& versionName, int width, int height);
    // True once a header was written and the file is open.
    bool IsWriting() const { return m_bHeaderFinalized && m_file.is_open(); }
    // One frame. When the stream fails among the runs the rest are skipped;
    // the box and the frame's end are still written.
    void Write(int frameId, const xn::SceneMetaData& labels, const Vector3D<double>& floor,
               const Box3D<int>& usersBox);

    // Reading: the header's sizes (a map of that size, all 0), one frame,
    // and the data emptied.
    void InitializeData() override;
    bool ReadData() override;
    void ClearData() override;
    // Whether the frame at the current position holds the data; message
    // names the first member that differs.
    bool CompareData(std::string* message) const override;

    // The header's sizes were usable (reading); frames of a file whose
    // header was not read as false.
    bool HeaderValid() const { return m_bHeaderValid; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

    // The frame: written by ReadData, compared by CompareData.
    Vector3D<double> m_floor;
    xn::SceneMetaData m_labels;
    Box3D<int> m_usersBox;

private:
    // One frame's payload from in into the three; false when it is not one
    // of a map of the header's size.
    bool ReadFrame(std::istream& in, Vector3D<double>& floor, xn::SceneMetaData& labels, Box3D<int>& box) const;
    // Sizes labels to the header's map and zeroes it.
    bool ResetLabels(xn::SceneMetaData& labels) const;

    int32_t m_nWidth;
    int32_t m_nHeight;
    bool m_bHeaderValid;
    // The frame CompareData reads from the file.
    mutable xn::SceneMetaData m_fileLabels;
};
