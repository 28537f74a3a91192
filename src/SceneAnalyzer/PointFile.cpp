#include "SceneAnalyzer/PointFile.h"

#include <algorithm>
#include <cctype>
#include <climits>

#include "NACommon/NACommonData.h"
#include "OSLayer/XnLog.h"

namespace {

// An optional sign, then digits up to the first other character; no digits
// read as 0. Values beyond 32 bits saturate.
int32_t ReadLenient(const std::string& text, size_t begin, size_t end) {
    size_t i = begin;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < end && std::isdigit(static_cast<unsigned char>(text[i])) != 0; ++i) {
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t(INT32_MAX) + 1);
    }
    value = negative ? -value : value;
    return static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(value, INT32_MAX), INT32_MIN));
}

}  // namespace

PointFile::Resolution PointFile::CodeOfWidth(int width) {
    switch (width) {
        case 320:
            return RES_320;
        case 160:
            return RES_160;
        case 80:
            return RES_80;
        case 40:
            return RES_40;
        default:
            return RES_640;
    }
}

void PointFile::ParseLine(const std::string& raw, LineInFile& line) {
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    const size_t n = text.size();
    size_t position = text.find(' ');
    line.frame = ReadLenient(text, 0, std::min(position, n));
    line.points.clear();
    if (position == std::string::npos) {
        return;
    }
    while (position < n && text[position] == ' ') {
        ++position;
    }
    bool haveX = false;
    int x = 0;
    while (position < n) {
        const size_t next = std::min(text.find(' ', position), n);
        const int value = ReadLenient(text, position, next);
        if (haveX) {
            line.points.emplace_back(x, value);
        } else {
            x = value;
        }
        haveX = !haveX;
        if (next == n) {
            break;
        }
        position = next;
        while (position < n && text[position] == ' ') {
            ++position;
        }
        if (position == n && haveX) {
            // A trailing space leaves an empty last value: the unpaired x's y.
            line.points.emplace_back(x, 0);
        }
    }
}

PointFile::PointFile() : m_pCommonData(nullptr), m_fileCode(0), m_recording(false), m_code(0) {}

PointFile::~PointFile() = default;

void PointFile::Initialize(NACommonData* hub, Resolution code) {
    m_pCommonData = hub;
    m_code = code;
    m_lines.clear();
    m_recording = false;
    m_path.clear();
    // A live device has no recording to name the file after.
    if (hub == nullptr || hub->m_strRecordingPath.empty()) {
        return;
    }
    m_path = hub->m_strRecordingPath + ".point";
    m_input.open(m_path);
    if (m_input.is_open()) {
        Read();
    } else {
        m_recording = true;
    }
}

void PointFile::Read() {
    Read(m_input);
    m_input.close();
}

bool PointFile::Read(std::istream& in) {
    m_lines.clear();
    std::string text;
    std::getline(in, text);
    m_fileCode = ReadLenient(text, 0, text.size());
    if (m_fileCode < RES_640 || m_fileCode > RES_40) {
        xnLogError(XN_LOG_MASK_ALL, "PointFile: '%s' holds points of resolution code %d; only 0 to 4 are known",
                   m_path.c_str(), m_fileCode);
        return false;
    }
    const int shift = m_code > m_fileCode ? m_code - m_fileCode : 0;
    const int width = 640 >> std::min(std::max(m_code, 0), 4);
    const int height = 480 >> std::min(std::max(m_code, 0), 4);
    LineInFile line;
    while (std::getline(in, text)) {
        ParseLine(text, line);
        if (line.points.empty()) {
            continue;
        }
        bool inside = true;
        for (Vector2D<int>& p : line.points) {
            p.x /= 1 << shift;
            p.y /= 1 << shift;
            inside = inside && p.x >= 0 && p.x < width && p.y >= 0 && p.y < height;
        }
        if (inside) {
            m_lines.push_back(line);
        }
    }
    return true;
}

void PointFile::Update(const std::vector<Vector2D<int> >* points) {
    if (m_recording) {
        Write(points);
    }
}

void PointFile::Write(const std::vector<Vector2D<int> >* points) {
    if (points == nullptr || points->empty() || !m_recording) {
        return;
    }
    if (!m_output.is_open()) {
        m_output.open(m_path, std::ios::out | std::ios::app);
        if (!m_output.is_open()) {
            xnLogError(XN_LOG_MASK_ALL, "PointFile: cannot append to '%s'; points are no longer recorded",
                       m_path.c_str());
            m_recording = false;
            return;
        }
        m_output << m_code << '\n';
    }
    LineInFile line;
    line.frame = CurrentFrame();
    line.points = *points;
    m_output << line.frame << ' ';
    for (const Vector2D<int>& p : line.points) {
        m_output << p.x << ' ' << p.y << ' ';
    }
    m_output << '\n';
    m_output.flush();
    m_lines.push_back(std::move(line));
}

int32_t PointFile::CurrentFrame() const { return m_pCommonData != nullptr ? m_pCommonData->m_nFrameID : 0; }

const std::vector<Vector2D<int> >& PointFile::GetPoints() const {
    const int32_t frame = CurrentFrame();
    for (const LineInFile& line : m_lines) {
        if (line.frame == frame && line.points.size() == 1) {
            return line.points;
        }
    }
    return m_empty;
}

const std::vector<Vector2D<int> >& PointFile::GetSAPlanePoints() const {
    const int32_t frame = CurrentFrame();
    const auto isOutline = [](const LineInFile& line) { return line.points.size() >= 2; };
    if (m_lines.empty() || std::none_of(m_lines.begin(), m_lines.end(), isOutline) || frame < m_lines.front().frame) {
        return m_empty;
    }
    const LineInFile* lastOutline = nullptr;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const LineInFile& line = m_lines[i];
        if (!isOutline(line)) {
            continue;
        }
        lastOutline = &line;
        if (line.frame == frame) {
            return line.points;
        }
        if (line.frame > frame && i > 0 && m_lines[i - 1].frame < frame) {
            return m_lines[i - 1].points;
        }
    }
    return lastOutline->points;
}
