#include "QuorLibrary/Utilities/FileUtilities.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <utility>

#include "OSLayer/XnOS.h"
#include "QuorLibrary/Utilities/FatalError.h"

namespace {

const size_t kWorkingDirectoryBufferSize = 1024;

std::string::size_type FindLastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

// Formats the pattern with n the way "%d" formatting would, without handing
// a caller's text to printf: "%d" becomes n, "%%" becomes "%", and any other
// "%" stays as it is. hasNumber tells whether the pattern held a "%d".
std::string FormatCounter(const std::string& pattern, long long n, bool* hasNumber) {
    std::string result;
    *hasNumber = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 'd') {
                result += std::to_string(n);
                *hasNumber = true;
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                result += '%';
                ++i;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}

template <typename Exists>
std::string GetUniqueName(const std::string& pattern, Exists exists) {
    bool hasNumber = false;
    FormatCounter(pattern, 0, &hasNumber);
    if (!hasNumber) {
        return pattern;
    }
    for (long long n = 1;; ++n) {
        std::string candidate = FormatCounter(pattern, n, &hasNumber);
        if (!exists(candidate)) {
            return candidate;
        }
    }
}

// Creates every component of the path in turn, as "mkdir -p" does, but
// without a shell: blanks and shell characters in the path stay literal.
bool MakeDirectoryTree(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') {
            continue;
        }
        std::string prefix = path.substr(0, i);
        if (prefix.back() == '/') {
            continue;
        }
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator<(const DirectoryId& other) const {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

bool GetDirectoryId(const std::string& path, DirectoryId* id) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
    id->device = info.st_dev;
    id->inode = info.st_ino;
    return true;
}

// ancestors holds the directories on the way down to dir: a directory link
// that leads back to one of them would otherwise recurse without end.
std::vector<std::string> FindFilesBelow(const std::string& dir, const std::string& pattern, int32_t depth,
                                        std::set<DirectoryId>& ancestors) {
    std::vector<std::string> result;
    for (const std::string& name : GetFileList(dir + "/" + pattern, false)) {
        if (IsRegularFile(dir + "/" + name)) {
            result.push_back(name);
        }
    }
    if (depth > 0 || depth == -1) {
        const int32_t nextDepth = depth == -1 ? -1 : depth - 1;
        for (const std::string& sub : GetSubdirectories(dir, false)) {
            const std::string subPath = dir + "/" + sub;
            DirectoryId id;
            if (!GetDirectoryId(subPath, &id) || ancestors.count(id) != 0) {
                continue;
            }
            ancestors.insert(id);
            for (const std::string& file : FindFilesBelow(subPath, pattern, nextDepth, ancestors)) {
                result.push_back(sub + "/" + file);
            }
            ancestors.erase(id);
        }
    }
    return result;
}

// Modification time in nanoseconds; files that cannot be queried count as oldest.
long long ModificationTime(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

}  // namespace

bool IsRegularFile(const std::string& path) {
    XnBool exists = FALSE;
    XnBool isDirectory = FALSE;
    if (xnOSDoesFileExist(path.c_str(), &exists) != XN_STATUS_OK ||
        xnOSDoesDirectoryExist(path.c_str(), &isDirectory) != XN_STATUS_OK) {
        return false;
    }
    return exists && !isDirectory;
}

bool IsDirectory(const std::string& path) {
    XnBool isDirectory = FALSE;
    return xnOSDoesDirectoryExist(path.c_str(), &isDirectory) == XN_STATUS_OK && isDirectory;
}

bool DirectoryExists(const std::string& path) {
    return IsDirectory(path);
}

bool FileExists(const std::string& path) {
    std::ifstream stream(path);
    return stream.is_open();
}

bool IsFileExists(const std::string& path) {
    return FileExists(path);
}

int32_t FileLength(std::istream& stream) {
    if (!stream.good()) {
        return 0;
    }
    const std::istream::pos_type position = stream.tellg();
    stream.seekg(0, std::ios::end);
    const std::istream::pos_type end = stream.tellg();
    stream.seekg(position);
    return static_cast<int32_t>(static_cast<std::streamoff>(end));
}

int32_t FileLength(const std::string& path) {
    std::ifstream stream(path, std::ios::in | std::ios::binary);
    return FileLength(stream);
}

int32_t CompareFileLengths(std::istream& a, std::istream& b) {
    const int32_t lengthA = FileLength(a);
    const int32_t lengthB = FileLength(b);
    if (lengthA < lengthB) {
        return -1;
    }
    return lengthA > lengthB ? 1 : 0;
}

int32_t CompareFileLengths(const std::string& a, const std::string& b) {
    std::ifstream streamA(a, std::ios::in | std::ios::binary);
    if (!streamA.is_open()) {
        return -1;
    }
    std::ifstream streamB(b, std::ios::in | std::ios::binary);
    if (!streamB.is_open()) {
        return -1;
    }
    return CompareFileLengths(streamA, streamB);
}

int32_t CompareFileTimes(const std::string& /*a*/, const std::string& /*b*/) {
    return 0;
}

bool CompareFileTimeHelper(const std::string& /*a*/, const std::string& /*b*/) {
    return false;
}

bool FilesAreIdentical(const std::string& a, const std::string& b) {
    std::ifstream streamA(a, std::ios::in | std::ios::binary);
    std::ifstream streamB(b, std::ios::in | std::ios::binary);
    if (!streamA.is_open() || !streamB.is_open() || CompareFileLengths(streamA, streamB) != 0) {
        return false;
    }
    streamA.seekg(0);
    streamB.seekg(0);
    std::istreambuf_iterator<char> itA(streamA), itB(streamB), end;
    for (; itA != end; ++itA, ++itB) {
        if (itB == end || *itA != *itB) {
            return false;
        }
    }
    return true;
}

void MyCopyFile(const std::string& /*source*/, const std::string& /*target*/, bool /*overwrite*/) {
    // File and line 11: part of the message's text (see FatalError.h).
    NotImplemented("MyCopyFile", "QuorLibrary/Utilities/FileUtilities", 11);
}

std::string GetUniqueFilename(const std::string& pattern) {
    return GetUniqueName(pattern, [](const std::string& path) { return FileExists(path); });
}

std::string GetUniqueDirectoryName(const std::string& pattern) {
    return GetUniqueName(pattern, [](const std::string& path) { return IsDirectory(path); });
}

std::string GetCurrentWorkingDirectory() {
    char buffer[kWorkingDirectoryBufferSize];
    if (getcwd(buffer, sizeof(buffer)) == nullptr) {
        std::cerr << "ERROR: GetCurrentWorkingDirectory (getcwd) failed due to small buffer" << std::endl;
        return std::string();
    }
    return std::string(buffer);
}

void ChangeDirectory(const std::string& path) {
    if (chdir(path.c_str()) != 0) {
        std::cerr << "ERROR: ChangeDirectory to " << path << " failed!" << std::endl;
    }
}

bool CreateDirectoryIfNecessary(const std::string& path, bool exitOnFailure) {
    if (path.empty() || IsDirectory(path)) {
        return true;
    }
    // The line names the equivalent command so that logs stay comparable.
    std::cout << "Attempting to create directory using commandline 'mkdir -p " << path << "'" << std::endl;
    if (MakeDirectoryTree(path) && IsDirectory(path)) {
        std::cout << "Success" << std::endl;
        return true;
    }
    std::cout << "Creating directory, Failed!" << std::endl;
    if (!exitOnFailure) {
        return false;
    }
    std::cout << "Exiting." << std::endl;
    DebuggableExit(1);
}

std::vector<std::string> GetFileList(const std::string& pattern, bool withDirectory) {
    std::vector<std::string> result;
    // Count first so that the listing is never cut short; retry when files
    // appear between counting and listing.
    for (int attempt = 0; attempt < 4; ++attempt) {
        XnInt32 count = 0;
        if (xnOSCountFiles(pattern.c_str(), &count) != XN_STATUS_OK || count <= 0) {
            return result;
        }
        const XnUInt32 slots = static_cast<XnUInt32>(count) + 1;
        std::unique_ptr<XnChar[][XN_FILE_MAX_PATH]> names(new XnChar[slots][XN_FILE_MAX_PATH]());
        XnUInt32 found = 0;
        if (xnOSGetFileList(pattern.c_str(), nullptr, names.get(), slots, &found) != XN_STATUS_OK) {
            return result;
        }
        if (found >= slots && attempt < 3) {
            continue;
        }
        std::string directory;
        if (withDirectory) {
            const std::string::size_type separator = FindLastSeparator(pattern);
            if (separator != std::string::npos) {
                directory = pattern.substr(0, separator + 1) + "/";
            }
        }
        for (XnUInt32 i = 0; i < found && i < slots; ++i) {
            if (names[i][0] != '\0') {
                result.push_back(directory + names[i]);
            }
        }
        return result;
    }
    return result;
}

std::vector<std::string> GetRecordingsFromDirectory(const std::string& dir) {
    std::vector<std::string> recordings;
    GetRecordingsFromDirectory(dir, recordings);
    return recordings;
}

void GetRecordingsFromDirectory(const std::string& dir, std::vector<std::string>& recordings) {
    for (const char* pattern : {"/*.oni", "/*.xns"}) {
        std::vector<std::string> files = GetFileList(dir + pattern, true);
        recordings.insert(recordings.end(), files.begin(), files.end());
    }
}

std::vector<std::string> GetLinesFromFile(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream stream(path);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> GetSubdirectories(const std::string& dir, bool fullPaths) {
    std::vector<std::string> result;
    for (const std::string& name : GetFileList(dir + "/*", false)) {
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = dir + "/" + name;
        if (IsDirectory(path)) {
            result.push_back(fullPaths ? path : name);
        }
    }
    return result;
}

std::vector<std::string> FindFiles(const std::string& dir, const std::string& pattern, int32_t depth,
                                   bool fullPaths) {
    std::set<DirectoryId> ancestors;
    DirectoryId id;
    if (GetDirectoryId(dir, &id)) {
        ancestors.insert(id);
    }
    std::vector<std::string> result = FindFilesBelow(dir, pattern, depth, ancestors);
    if (fullPaths) {
        for (std::string& file : result) {
            file = dir + "/" + file;
        }
    }
    return result;
}

void SortFilesByTime(std::vector<std::string>& files, bool ascending) {
    std::vector<std::pair<long long, std::string>> timed;
    timed.reserve(files.size());
    for (std::string& file : files) {
        timed.emplace_back(ModificationTime(file), std::move(file));
    }
    std::stable_sort(timed.begin(), timed.end(),
                     [](const std::pair<long long, std::string>& a, const std::pair<long long, std::string>& b) {
                         return a.first < b.first;
                     });
    for (size_t i = 0; i < timed.size(); ++i) {
        files[i] = std::move(timed[i].second);
    }
    if (!ascending) {
        std::reverse(files.begin(), files.end());
    }
}

std::string GetParentDirectory(const std::string& path) {
    const std::string::size_type separator = FindLastSeparator(path);
    if (separator == std::string::npos) {
        return std::string();
    }
    return path.substr(0, separator + 1);
}

std::string GetBasename(const std::string& path) {
    const std::string::size_type dot = path.rfind('.');
    if (dot == std::string::npos) {
        return path;
    }
    const std::string::size_type separator = FindLastSeparator(path);
    if (separator != std::string::npos && separator > dot) {
        return path;
    }
    return path.substr(0, dot);
}
