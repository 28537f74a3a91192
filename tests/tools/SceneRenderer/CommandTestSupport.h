#pragma once

// Running the tools' commands from tests: a shell command with its standard
// output and error in files of a temporary folder.

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"

namespace vela_test {

// Runs `command` with its output in dir/stdout.txt and dir/stderr.txt;
// the exit status, or -1 when it did not exit.
inline int RunCommand(const std::string& command, const TempDir& dir) {
    const int status = std::system((command + " >" + dir.File("stdout.txt") + " 2>" + dir.File("stderr.txt")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace vela_test
