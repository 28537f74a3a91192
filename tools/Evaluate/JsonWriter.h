#pragma once

// Writes one JSON value on one line, keys and commas placed by nesting.
// Numbers that are not finite are written as null.

#include <string>
#include <vector>

#include "Evaluate/Summary.h"

namespace vela::evaluate {

class JsonWriter {
public:
    // Inside an object each value needs a key first.
    JsonWriter& Key(const std::string& key);
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Number(double value);
    JsonWriter& Integer(long long value);
    JsonWriter& String(const std::string& value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();
    JsonWriter& Integers(const std::vector<int>& values);
    // {"count":n,"mean":..,"median":..,"p95":..,"max":..}, null fields for no values.
    JsonWriter& Stats(const Summary& summary);

    const std::string& Text() const { return m_text; }

private:
    void Separate();
    void AppendQuoted(const std::string& value);

    std::string m_text;
    // Per open level: whether it already holds a value.
    std::vector<bool> m_filled;
    bool m_afterKey = false;
};

}  // namespace vela::evaluate
