#pragma once

// The halves of the body: every per-side record and query of the skeleton is
// indexed by it, left first. Per-side queries take L and R only.

#include <cstdint>
#include <string>

enum Side : int32_t {
    L = 0,  // the user's left
    R = 1,  // the user's right
    X = 2,  // no side
};

// "L", "R", "X"; "INVALID_ENUM" for any other value.
inline std::string ToString(Side side) {
    switch (side) {
        case L:
            return "L";
        case R:
            return "R";
        case X:
            return "X";
    }
    return "INVALID_ENUM";
}
