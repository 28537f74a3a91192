#include "QuorLibrary/Utilities/INIFileCache.h"

#include <cstdint>
#include <cstring>
#include <iostream>

#include "OSLayer/XnOS.h"

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Moves p past the rest of the line and the run of line ends after it.
const char* SkipLine(const char* p) {
    while (*p != '\0' && !IsLineEnd(*p)) {
        ++p;
    }
    while (IsLineEnd(*p)) {
        ++p;
    }
    return p;
}

// Collects the bytes before terminator into name (INI_CACHE_MAX_LEN at most).
// Returns the position of the terminator, or null when the line ends first or
// the name is too long.
const char* Collect(const char* p, char terminator, char* name) {
    size_t length = 0;
    while (*p != terminator) {
        if (*p == '\0' || IsLineEnd(*p) || length == INI_CACHE_MAX_LEN) {
            return nullptr;
        }
        name[length++] = *p++;
    }
    name[length] = '\0';
    return p;
}

}  // namespace

XnStatus FindEntry(const char* text, const char* section, const char* key, char* value) {
    if (text == nullptr || section == nullptr || key == nullptr) {
        return XN_STATUS_NULL_INPUT_PTR;
    }
    if (value == nullptr) {
        return XN_STATUS_NULL_OUTPUT_PTR;
    }
    char name[INI_CACHE_MAX_LEN + 1];
    bool inSection = false;
    const char* p = text;
    while (true) {
        while (*p == ' ' || *p == '\t') {
            ++p;
        }
        if (*p == '\0') {
            return XN_STATUS_OS_INI_READ_FAILED;
        }
        if (*p == '#' || *p == ';') {
            // A comment line.
        } else if (*p == '[') {
            const char* end = Collect(p + 1, ']', name);
            if (end != nullptr) {
                if (inSection) {
                    // Only the first block of the section is searched.
                    return XN_STATUS_OS_INI_READ_FAILED;
                }
                inSection = std::strcmp(name, section) == 0;
            }
        } else if (inSection) {
            const char* equals = Collect(p, '=', name);
            if (equals != nullptr && std::strcmp(name, key) == 0) {
                const char* source = equals + 1;
                size_t length = 0;
                while (length < INI_CACHE_MAX_LEN && source[length] != '\0' && !IsLineEnd(source[length])) {
                    ++length;
                }
                std::memcpy(value, source, length);
                value[length] = '\0';
                return XN_STATUS_OK;
            }
        }
        p = SkipLine(p);
        if (*p == '\0') {
            return XN_STATUS_OS_INI_READ_FAILED;
        }
    }
}

INIFileCache& INIFileCache::GetInstance() {
    static INIFileCache instance;
    return instance;
}

INIFileCache::INIFileCache() : m_verbose(false) {}

INIFileCache::~INIFileCache() {
    ClearCache();
}

bool INIFileCache::LoadFileIntoCache(const std::string& file) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return LoadFileLocked(file);
}

bool INIFileCache::LoadFileLocked(const std::string& file) {
    XnUInt64 size = 0;
    if (xnOSGetFileSize64(file.c_str(), &size) != XN_STATUS_OK) {
        return false;
    }
    // The OS layer loads with a 32-bit count; a larger file would come in cut.
    if (size > UINT32_MAX) {
        return false;
    }
    char* text = static_cast<char*>(xnOSMalloc(static_cast<XnSizeT>(size) + 1));
    if (text == nullptr) {
        return false;
    }
    if (m_verbose) {
        std::cout << "INIFileCache: Loading " << file << std::endl;
    }
    // An empty file is refused here (a count of 0), so it is tried again at
    // every read.
    if (xnOSLoadFile(file.c_str(), text, static_cast<XnUInt32>(size)) != XN_STATUS_OK) {
        xnOSFree(text);
        return false;
    }
    text[size] = '\0';
    auto found = m_files.find(file);
    if (found != m_files.end()) {
        xnOSFree(found->second);
        found->second = text;
    } else {
        m_files.emplace(file, text);
    }
    return true;
}

bool INIFileCache::ReadStringFromINI(const std::string& file, const std::string& section, const std::string& key,
                                     std::string& value) {
    char buffer[INI_CACHE_MAX_LEN + 1];
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto found = m_files.find(file);
        if (found == m_files.end()) {
            if (!LoadFileLocked(file)) {
                return false;
            }
            found = m_files.find(file);
        }
        if (FindEntry(found->second, section.c_str(), key.c_str(), buffer) != XN_STATUS_OK) {
            return false;
        }
    }
    value = buffer;
    const std::string::size_type last = value.find_last_not_of(" \t\n");
    if (last != std::string::npos) {
        value.erase(last + 1);
    }
    return true;
}

void INIFileCache::ClearCache() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_files) {
        xnOSFree(entry.second);
    }
    m_files.clear();
}

bool ReadStringFromINIInternal(const std::string& file, const std::string& section, const std::string& key,
                               std::string& value) {
    return INIFileCache::GetInstance().ReadStringFromINI(file, section, key, value);
}
