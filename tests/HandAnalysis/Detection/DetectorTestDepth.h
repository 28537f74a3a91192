#pragma once

namespace detection_test {

// The maximum depth the detectors are initialised with in these tests, mm.
constexpr unsigned short kMaxDepth = 4500;

}  // namespace detection_test
