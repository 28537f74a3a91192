#include "SceneRenderer/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vela::scene {

namespace {

// Reads up to `limit` bytes; `whole` asks for the end of the file, so that
// a longer file is refused rather than cut short.
bool ReadBounded(const std::string& path, size_t limit, bool whole, std::string& data, std::string& error) {
    data.clear();
    // Not blocking on open: a FIFO would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot open (" + std::strerror(errno) + ")";
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = path + ": not a regular file";
        return false;
    }
    if (whole && static_cast<unsigned long long>(info.st_size) > limit) {
        ::close(fd);
        error = path + ": larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    data.resize(whole ? static_cast<size_t>(info.st_size) : limit);
    size_t filled = 0;
    char probe = 0;
    for (;;) {
        // One byte past the expected end shows a file that grew meanwhile.
        const bool atEnd = filled == data.size();
        if (atEnd && !whole) break;
        char* target = atEnd ? &probe : &data[filled];
        const size_t wanted = atEnd ? 1 : data.size() - filled;
        const ssize_t got = ::read(fd, target, wanted);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int saved = errno;
            ::close(fd);
            error = path + ": read error (" + std::strerror(saved) + ")";
            return false;
        }
        if (got == 0) break;
        if (atEnd) {
            ::close(fd);
            error = path + ": changed while it was read";
            return false;
        }
        filled += static_cast<size_t>(got);
    }
    ::close(fd);
    data.resize(filled);
    return true;
}

}  // namespace

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data, std::string& error) {
    return ReadBounded(path, maxBytes, true, data, error);
}

bool ReadRegularFileHead(const std::string& path, size_t count, std::string& data, std::string& error) {
    return ReadBounded(path, count, false, data, error);
}

}  // namespace vela::scene
