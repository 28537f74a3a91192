#pragma once

// Small helpers on path texts: tests, lengths and comparisons, unique names,
// the working directory, directory trees, listings and path splitting.
// Functions that split a path accept "/" and "\" as separators; functions
// that join a directory and a name use "/".

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

// True when the path exists and is not a directory.
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
bool DirectoryExists(const std::string& path);
// True when the path can be opened for reading.
bool FileExists(const std::string& path);
bool IsFileExists(const std::string& path);

// The stream's total length, its read position kept; 0 when the stream is
// not good.
int32_t FileLength(std::istream& stream);
// 0 when the file cannot be opened for reading.
int32_t FileLength(const std::string& path);
// -1, 0 or 1 as a is shorter, as long as, or longer than b.
int32_t CompareFileLengths(std::istream& a, std::istream& b);
// As above; -1 when either file cannot be opened.
int32_t CompareFileLengths(const std::string& a, const std::string& b);
// Comparing file times is not provided: always 0 and false.
int32_t CompareFileTimes(const std::string& a, const std::string& b);
bool CompareFileTimeHelper(const std::string& a, const std::string& b);
// Byte-by-byte comparison; false when either file cannot be opened.
bool FilesAreIdentical(const std::string& a, const std::string& b);
// Not provided: ends the process with status 1.
[[noreturn]] void MyCopyFile(const std::string& source, const std::string& target, bool overwrite);

// The pattern with "%d" replaced by the first n = 1, 2, ... that names no
// existing file (directory); a pattern without "%d" is returned unchanged.
std::string GetUniqueFilename(const std::string& pattern);
std::string GetUniqueDirectoryName(const std::string& pattern);

// The empty text (and a message on standard error) on failure.
std::string GetCurrentWorkingDirectory();
void ChangeDirectory(const std::string& path);

// Creates the directory and every missing parent, reporting the attempt on
// standard output. On failure returns false, or ends the process with
// status 1 when exitOnFailure is set.
bool CreateDirectoryIfNecessary(const std::string& path, bool exitOnFailure);

// Names matching the shell pattern in sorted order; with withDirectory, each
// prefixed by the pattern's directory part and "/".
std::vector<std::string> GetFileList(const std::string& pattern, bool withDirectory);
// The "*.oni" files of the directory, then its "*.xns" files.
std::vector<std::string> GetRecordingsFromDirectory(const std::string& dir);
void GetRecordingsFromDirectory(const std::string& dir, std::vector<std::string>& recordings);
// Lines split at LF, otherwise unchanged (a CR before the LF stays).
std::vector<std::string> GetLinesFromFile(const std::string& path);
std::vector<std::string> GetSubdirectories(const std::string& dir, bool fullPaths);
// Files matching the pattern in dir and, down to depth levels (-1: all), in
// its subdirectories; relative to dir unless fullPaths.
std::vector<std::string> FindFiles(const std::string& dir, const std::string& pattern, int32_t depth,
                                   bool fullPaths);
// Orders by modification time, oldest first unless ascending is false.
void SortFilesByTime(std::vector<std::string>& files, bool ascending);

// The path up to and including its last separator; empty without one.
std::string GetParentDirectory(const std::string& path);
// The path without its extension; the directory part stays.
std::string GetBasename(const std::string& path);
