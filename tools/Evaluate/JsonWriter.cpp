#include "Evaluate/JsonWriter.h"

#include <cmath>
#include <cstdio>

namespace vela::evaluate {

void JsonWriter::Separate() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_filled.empty()) {
        if (m_filled.back()) m_text += ',';
        m_filled.back() = true;
    }
}

JsonWriter& JsonWriter::Key(const std::string& key) {
    Separate();
    AppendQuoted(key);
    m_text += ':';
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::BeginObject() {
    Separate();
    m_text += '{';
    m_filled.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_text += '}';
    m_filled.pop_back();
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Separate();
    m_text += '[';
    m_filled.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_text += ']';
    m_filled.pop_back();
    return *this;
}

JsonWriter& JsonWriter::Number(double value) {
    if (!std::isfinite(value)) return Null();
    Separate();
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.6g", value);
    m_text += buffer;
    return *this;
}

JsonWriter& JsonWriter::Integer(long long value) {
    Separate();
    m_text += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::String(const std::string& value) {
    Separate();
    AppendQuoted(value);
    return *this;
}

void JsonWriter::AppendQuoted(const std::string& value) {
    m_text += '"';
    for (unsigned char c : value) {
        if (c == '"' || c == '\\') {
            m_text += '\\';
            m_text += static_cast<char>(c);
        } else if (c < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof(buffer), "\\u%04x", c);
            m_text += buffer;
        } else {
            m_text += static_cast<char>(c);
        }
    }
    m_text += '"';
}

JsonWriter& JsonWriter::Bool(bool value) {
    Separate();
    m_text += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    Separate();
    m_text += "null";
    return *this;
}

JsonWriter& JsonWriter::Integers(const std::vector<int>& values) {
    BeginArray();
    for (int v : values) Integer(v);
    return EndArray();
}

JsonWriter& JsonWriter::Stats(const Summary& summary) {
    BeginObject();
    Key("count").Integer(summary.count);
    const double nan = std::nan("");
    const bool any = summary.count > 0;
    Key("mean").Number(any ? summary.mean : nan);
    Key("median").Number(any ? summary.median : nan);
    Key("p95").Number(any ? summary.p95 : nan);
    Key("max").Number(any ? summary.max : nan);
    return EndObject();
}

}  // namespace vela::evaluate
