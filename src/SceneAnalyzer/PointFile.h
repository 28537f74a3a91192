#pragma once

// Points given to the scene analyzer for one recording, kept beside it in a
// text file named after the recording with ".point" appended: a single
// point on a frame is a seed for user detection on that frame, two or more
// outline the floor. When the file exists it is read at initialisation and
// replayed; when it does not, the points the analyzer is given are recorded
// into it. A live device (no recording path) has no point file.
//
// Format: the first line is the resolution code of the points (0 for 640
// pixels wide, 1 for 320, 2 for 160, 3 for 80, 4 for 40); every further
// line is a frame number followed by the points' x and y, each value
// followed by one space. Reading is lenient: numbers are read up to their
// first other character (none reads as 0), runs of spaces separate values,
// and an unpaired last x ending in a space pairs with y 0 (without the space
// it is dropped). A file of another code is refused whole; coordinates are
// halved per code step down to the analyzer's, and a line with a point
// outside the analyzer's image is dropped.

#include <cstdint>
#include <fstream>
#include <istream>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Vector2D.h"

class NACommonData;

class PointFile {
public:
    enum Resolution : int32_t { RES_640 = 0, RES_320 = 1, RES_160 = 2, RES_80 = 3, RES_40 = 4 };

    struct LineInFile {
        int32_t frame = 0;
        std::vector<Vector2D<int> > points;
    };

    // The code of an analysis image this many pixels wide: 320 gives 1, 160
    // gives 2, 80 gives 3, 40 gives 4, any other width 0.
    static Resolution CodeOfWidth(int width);
    // One line's frame number and points, as read.
    static void ParseLine(const std::string& text, LineInFile& line);

    PointFile();
    ~PointFile();
    PointFile(const PointFile&) = delete;
    PointFile& operator=(const PointFile&) = delete;

    // Reads the recording's point file, or prepares to record one.
    void Initialize(NACommonData* hub, Resolution code);
    // Replaces the lines held by those of the open input file, then closes
    // it.
    void Read();
    // The same from a stream; false (holding no line) for a code other than
    // 0 to 4.
    bool Read(std::istream& in);
    // While recording, appends the frame's points.
    void Update(const std::vector<Vector2D<int> >* points);
    void Write(const std::vector<Vector2D<int> >* points);

    // The seed of the hub's current frame: the first line of that frame with
    // exactly one point; otherwise empty. Valid until the next Read or Write.
    const std::vector<Vector2D<int> >& GetPoints() const;
    // The floor outline for the hub's current frame.
    const std::vector<Vector2D<int> >& GetSAPlanePoints() const;

    bool IsRecording() const { return m_recording; }
    const std::string& Path() const { return m_path; }
    const std::vector<LineInFile>& Lines() const { return m_lines; }

private:
    int32_t CurrentFrame() const;

    NACommonData* m_pCommonData;
    std::vector<LineInFile> m_lines;
    std::vector<Vector2D<int> > m_empty;
    std::string m_path;
    std::ifstream m_input;
    std::ofstream m_output;
    int32_t m_fileCode;
    bool m_recording;
    int32_t m_code;
};
