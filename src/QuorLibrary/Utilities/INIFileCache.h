#pragma once

// The process-wide cache of INI file texts that every algorithm class reads
// its settings through. Each file is read from disk once, at the first read
// of its path, and kept until the process ends.

#include <map>
#include <mutex>
#include <string>

#include "OSLayer/XnStatus.h"

// Longest section name, key or value the scanner handles, in bytes.
#define INI_CACHE_MAX_LEN 2048

// Finds key in the first block of section in an INI text. value must hold
// INI_CACHE_MAX_LEN + 1 bytes; it receives the value's text (cut to
// INI_CACHE_MAX_LEN bytes) and is untouched when the entry is not found
// (XN_STATUS_OS_INI_READ_FAILED).
XnStatus FindEntry(const char* text, const char* section, const char* key, char* value);

class INIFileCache {
public:
    static INIFileCache& GetInstance();

    // Loads (or loads again) the whole file; false for a missing, unreadable
    // or empty file.
    bool LoadFileIntoCache(const std::string& file);
    // The value of key in section, trailing blanks, tabs and line feeds
    // removed unless the value is made of nothing else. false, with value
    // untouched, when the file, section or key is missing.
    bool ReadStringFromINI(const std::string& file, const std::string& section, const std::string& key,
                           std::string& value);
    void ClearCache();

    // Prints a line on standard output for every file loaded.
    bool m_verbose;

private:
    INIFileCache();
    ~INIFileCache();
    INIFileCache(const INIFileCache&) = delete;
    INIFileCache& operator=(const INIFileCache&) = delete;

    bool LoadFileLocked(const std::string& file);

    // Path to the file's bytes and a terminating NUL, from xnOSMalloc.
    std::map<std::string, char*> m_files;
    // Trackers may be created and run on different threads: one lock covers
    // lookup, load and scan, so a text is never read while it is replaced.
    std::mutex m_mutex;
};

// INIFileCache::ReadStringFromINI on the process-wide cache.
bool ReadStringFromINIInternal(const std::string& file, const std::string& section, const std::string& key,
                               std::string& value);
