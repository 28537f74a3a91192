#pragma once

// Reading the files the tools take from outside (scene files, motion
// clips, depth images): regular files only, and never more than a bound,
// so that a device, a pipe or a folder given by mistake fails at once
// instead of blocking or filling memory.

#include <cstddef>
#include <string>

namespace vela::scene {

// The whole file into `data`. False, with "PATH: reason" in `error`, when it
// cannot be opened, is not a regular file or holds more than `maxBytes`.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data, std::string& error);

// At most the first `count` bytes of a regular file.
bool ReadRegularFileHead(const std::string& path, size_t count, std::string& data, std::string& error);

}  // namespace vela::scene
