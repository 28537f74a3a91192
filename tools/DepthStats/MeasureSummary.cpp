#include "DepthStats/MeasureSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vela::depthstats {

namespace {

void AppendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[48];
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
    } else {
        std::snprintf(buffer, sizeof buffer, "%.4g", value);
    }
    out += buffer;
}

// JSON string content: quotes, backslashes and control characters escaped.
std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
            out += buffer;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

void MeasureSummary::Add(const FrameMeasures& measures) {
    const std::vector<NamedValue> list = MeasureList(measures);
    if (m_names.empty()) {
        for (const NamedValue& v : list) m_names.push_back(v.name);
        m_values.resize(list.size());
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (std::isfinite(list[i].value)) m_values[i].push_back(list[i].value);
    }
    ++m_nFrames;
}

std::vector<std::pair<std::string, MeasureSummary::Range>> MeasureSummary::Ranges() const {
    std::vector<std::pair<std::string, Range>> out;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (size_t i = 0; i < m_names.size(); ++i) {
        std::vector<double> v = m_values[i];
        Range range{nan, nan, nan, static_cast<int>(v.size())};
        if (!v.empty()) {
            std::sort(v.begin(), v.end());
            range.least = v.front();
            range.largest = v.back();
            range.median = v[v.size() / 2];
        }
        out.emplace_back(m_names[i], range);
    }
    return out;
}

std::string MeasureSummary::ToJson(const std::string& source) const {
    std::string out = "{\"source\":\"" + Escape(source) + "\",\"frames\":" + std::to_string(m_nFrames) + ",\"measures\":{";
    bool first = true;
    for (const auto& [name, range] : Ranges()) {
        out += first ? "\"" : ",\"";
        first = false;
        out += name + "\":{\"min\":";
        AppendNumber(out, range.least);
        out += ",\"median\":";
        AppendNumber(out, range.median);
        out += ",\"max\":";
        AppendNumber(out, range.largest);
        out += ",\"frames\":" + std::to_string(range.frames) + "}";
    }
    return out + "}}";
}

std::string FrameMeasuresToJson(int frame, const FrameMeasures& measures) {
    std::string out = "{\"frame\":" + std::to_string(frame);
    for (const NamedValue& v : MeasureList(measures)) {
        out += ",\"" + std::string(v.name) + "\":";
        AppendNumber(out, v.value);
    }
    return out + "}";
}

}  // namespace vela::depthstats
