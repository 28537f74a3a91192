#pragma once

// The per-tracker hub of the current depth frame. So far it carries only the
// recording information that the record files name themselves after; the
// depth and shift maps, conversions and per-frame update join it with the
// tracker front end.

#include <string>

class NACommonData {
public:
    NACommonData() : m_bIsRecording(false) {}

    // Whether the frames come from a recording file, and its names: the file
    // name without folder, the full path as the device reports it, and the
    // file name without extension. All empty for a live device.
    bool m_bIsRecording;
    std::string m_strRecordingFileName;
    std::string m_strRecordingPath;
    std::string m_strRecordingName;
};
