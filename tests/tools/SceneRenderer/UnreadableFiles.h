#pragma once

// Paths that the tools' file readers must refuse without reading: a folder,
// a FIFO (an ordinary open would wait for a writer) and a sparse file larger
// than the reader's bound (refused by its size, nothing read).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace vela_test {

struct UnreadableFile {
    std::string path;
    std::string reason;  // what the error names
};

inline std::vector<UnreadableFile> MakeUnreadableFiles(const TempDir& dir, const std::string& suffix,
                                                       off_t largeBytes) {
    const std::string folder = dir.File("folder" + suffix), fifo = dir.File("fifo" + suffix),
                      large = dir.File("large" + suffix);
    EXPECT_EQ(0, mkdir(folder.c_str(), 0700));
    EXPECT_EQ(0, mkfifo(fifo.c_str(), 0600));
    const int fd = open(large.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(0, ftruncate(fd, largeBytes));
    close(fd);
    return {{folder, "not a regular file"}, {fifo, "not a regular file"}, {large, "larger than"}};
}

}  // namespace vela_test
