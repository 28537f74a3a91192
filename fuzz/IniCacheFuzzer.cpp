// The cached INI reader of the algorithm classes and its typed parsers.
// Input: the section on the first line, the key on the second, the file's
// bytes after them. The cache is emptied before each input, so every input
// is loaded afresh.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "QuorLibrary/Utilities/INIFileCache.h"
#include "QuorLibrary/Utilities/SimpleINI.h"

namespace {

template <typename T>
void ReadAs(const std::string& path, const std::string& section, const std::string& key) {
    T value{};
    ReadFromINI(path, section, key, value, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string section = vela_fuzz::TakeLine(data, size);
    const std::string key = vela_fuzz::TakeLine(data, size);
    INIFileCache::GetInstance().ClearCache();
    const std::string path = vela_fuzz::WriteScratchFile("cached.ini", data, size);

    ReadAs<int>(path, section, key);
    ReadAs<unsigned int>(path, section, key);
    ReadAs<short>(path, section, key);
    ReadAs<float>(path, section, key);
    ReadAs<double>(path, section, key);
    ReadAs<bool>(path, section, key);
    ReadAs<std::string>(path, section, key);
    ReadAs<Vector3D<int>>(path, section, key);
    ReadAs<Vector3D<float>>(path, section, key);
    ReadAs<Vector3D<double>>(path, section, key);
    ReadAs<Box3D<float>>(path, section, key);
    Resolution resolution = QVGA;
    ReadFromINI(path, section, key, resolution, false);
    ICPType icp = ICPType::FULL_TRANSFORMATION;
    ReadFromINI(path, section, key, icp, false);

    std::string text;
    ReadStringFromINI(path, section, key, text, false);
    int nValue = 0;
    ReadIntFromINI(path, section, key, nValue, false);
    double dValue = 0;
    ReadDoubleFromINI(path, section, key, dValue, false);
    bool bValue = false;
    ReadBoolFromINI(path, section, key, bValue, false);
    std::vector<std::string> values;
    ReadFromINIRepeatedKeys(path, section, key, values);
    return 0;
}
