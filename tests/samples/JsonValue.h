#pragma once

// A strict reader of one JSON text (RFC 8259) for the sample's tests: Parse
// fails on anything that is not exactly one value.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace vela_test {

struct JsonValue {
    enum Type { NUL, BOOL, NUMBER, STRING, ARRAY, OBJECT } type = NUL;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    const JsonValue& operator[](const std::string& key) const {
        static const JsonValue missing;
        auto found = members.find(key);
        return found == members.end() ? missing : found->second;
    }
    const JsonValue& operator[](size_t i) const { return items.at(i); }
    bool Has(const std::string& key) const { return members.count(key) != 0; }
};

class JsonParser {
public:
    // False, leaving error set, unless text is one JSON value.
    static bool Parse(const std::string& text, JsonValue& value, std::string& error) {
        JsonParser parser(text);
        if (!parser.ParseValue(value, 0)) {
            error = parser.m_error + " at " + std::to_string(parser.m_at);
            return false;
        }
        parser.SkipSpace();
        if (parser.m_at != text.size()) {
            error = "trailing text at " + std::to_string(parser.m_at);
            return false;
        }
        return true;
    }

private:
    explicit JsonParser(const std::string& text) : m_text(text) {}

    void SkipSpace() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' ||
                                        m_text[m_at] == '\r')) {
            ++m_at;
        }
    }
    bool Fail(const char* error) {
        m_error = error;
        return false;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0) {
            return Fail("bad literal");
        }
        m_at += w.size();
        return true;
    }
    bool ParseString(std::string& out) {
        ++m_at;  // the opening quote
        while (m_at < m_text.size() && m_text[m_at] != '"') {
            const char c = m_text[m_at++];
            if (static_cast<unsigned char>(c) < 0x20) {
                return Fail("control character in a string");
            }
            if (c == '\\') {
                if (m_at >= m_text.size() || std::string("\"\\/bfnrtu").find(m_text[m_at]) == std::string::npos) {
                    return Fail("bad escape");
                }
                ++m_at;
            }
            out += c;
        }
        if (m_at >= m_text.size()) {
            return Fail("unterminated string");
        }
        ++m_at;
        return true;
    }
    bool ParseNumber(double& out) {
        const size_t start = m_at;
        if (m_text[m_at] == '-') {
            ++m_at;
        }
        if (m_at >= m_text.size() || !std::isdigit(static_cast<unsigned char>(m_text[m_at]))) {
            return Fail("bad number");
        }
        if (m_text[m_at] == '0' && m_at + 1 < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_at + 1]))) {
            return Fail("leading zero");
        }
        while (m_at < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_at]))) ++m_at;
        if (m_at < m_text.size() && m_text[m_at] == '.') {
            ++m_at;
            if (m_at >= m_text.size() || !std::isdigit(static_cast<unsigned char>(m_text[m_at]))) {
                return Fail("bad fraction");
            }
            while (m_at < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_at]))) ++m_at;
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-')) ++m_at;
            if (m_at >= m_text.size() || !std::isdigit(static_cast<unsigned char>(m_text[m_at]))) {
                return Fail("bad exponent");
            }
            while (m_at < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_at]))) ++m_at;
        }
        out = std::strtod(m_text.substr(start, m_at - start).c_str(), nullptr);
        return true;
    }
    bool ParseValue(JsonValue& value, int depth) {
        SkipSpace();
        if (m_at >= m_text.size()) {
            return Fail("missing value");
        }
        if (depth > 64) {
            return Fail("too deep");
        }
        const char c = m_text[m_at];
        if (c == '{') {
            value.type = JsonValue::OBJECT;
            ++m_at;
            SkipSpace();
            if (m_at < m_text.size() && m_text[m_at] == '}') {
                ++m_at;
                return true;
            }
            for (;;) {
                SkipSpace();
                std::string key;
                if (m_at >= m_text.size() || m_text[m_at] != '"' || !ParseString(key)) {
                    return Fail("bad key");
                }
                SkipSpace();
                if (m_at >= m_text.size() || m_text[m_at++] != ':') {
                    return Fail("missing colon");
                }
                if (value.members.count(key) != 0) {
                    return Fail("duplicate key");
                }
                if (!ParseValue(value.members[key], depth + 1)) {
                    return false;
                }
                SkipSpace();
                if (m_at < m_text.size() && m_text[m_at] == ',') {
                    ++m_at;
                    continue;
                }
                if (m_at < m_text.size() && m_text[m_at] == '}') {
                    ++m_at;
                    return true;
                }
                return Fail("bad object");
            }
        }
        if (c == '[') {
            value.type = JsonValue::ARRAY;
            ++m_at;
            SkipSpace();
            if (m_at < m_text.size() && m_text[m_at] == ']') {
                ++m_at;
                return true;
            }
            for (;;) {
                value.items.emplace_back();
                if (!ParseValue(value.items.back(), depth + 1)) {
                    return false;
                }
                SkipSpace();
                if (m_at < m_text.size() && m_text[m_at] == ',') {
                    ++m_at;
                    continue;
                }
                if (m_at < m_text.size() && m_text[m_at] == ']') {
                    ++m_at;
                    return true;
                }
                return Fail("bad array");
            }
        }
        if (c == '"') {
            value.type = JsonValue::STRING;
            return ParseString(value.text);
        }
        if (c == 't' || c == 'f') {
            value.type = JsonValue::BOOL;
            value.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') {
            value.type = JsonValue::NUL;
            return Literal("null");
        }
        value.type = JsonValue::NUMBER;
        return ParseNumber(value.number);
    }

    const std::string& m_text;
    size_t m_at = 0;
    std::string m_error;
};

// Each line of text as JSON; a line that is not one JSON value fails the
// test and is returned as null.
inline std::vector<JsonValue> ParseJsonLines(const std::string& text) {
    std::vector<JsonValue> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        JsonValue value;
        std::string error;
        EXPECT_TRUE(JsonParser::Parse(line, value, error)) << error << ": " << line;
        lines.push_back(value);
    }
    return lines;
}

}  // namespace vela_test
