#pragma once

// The kinds of motion one ICP step of the torso fit may make. Kept header-only
// so that the configuration reader of the foundation library can parse the
// names without linking the skeleton.

#include <cstdint>
#include <iterator>
#include <string>

// Scoped: INVALID would otherwise clash with the resolution enumeration's.
enum class ICPType : int32_t {
    FULL_TRANSFORMATION = 0,
    FULL_ROTATION = 1,
    BEND_ONLY = 2,
    TWIST_ONLY = 3,
    FREE_TWIST = 4,
    FREE_BEND = 5,
    INVALID = 6,
};

// Names by value, INVALID last.
inline constexpr const char* strICPType[] = {
    "FULL_TRANSFORMATION", "FULL_ROTATION", "BEND_ONLY", "TWIST_ONLY", "FREE_TWIST", "FREE_BEND", "INVALID",
};

// "INVALID_ENUM" for a value outside the table rather than reading past it.
inline std::string ToString(ICPType type) {
    const int32_t value = static_cast<int32_t>(type);
    if (value < 0 || value >= static_cast<int32_t>(std::size(strICPType))) {
        return "INVALID_ENUM";
    }
    return strICPType[value];
}
