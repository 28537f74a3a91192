#pragma once

// For harnesses of readers that end the process on purpose (a record file
// whose header is not one): linked with RETURNING_STOPS, FatalError,
// NotImplemented and DebuggableExit throw Stopped instead of ending the
// process, so that the campaign goes on and a clean stop counts as a
// rejected input. The harness catches it around the reader.

namespace vela_fuzz {

struct Stopped {
    int nStatus;
};

}  // namespace vela_fuzz
