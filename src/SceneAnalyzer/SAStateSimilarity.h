#pragma once

// The messages of the scene-analysis classes' CheckSimilarity: the first
// differing member is named as "In <member>: <detail>".

#include <string>

namespace vela_sa_state {

// True when differs, after setting message (when given) to "In name: detail".
inline bool Differs(bool differs, const char* name, std::string* message, const std::string& detail = "") {
    if (differs && message != nullptr) {
        *message = std::string("In ") + name + ": " + detail;
    }
    return differs;
}

}  // namespace vela_sa_state
