// The operating-system INI reader, which reads one value straight from the
// file per call. Input: the section on the first line, the key on the
// second, the file's bytes after them.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "OSLayer/XnOS.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string section = vela_fuzz::TakeLine(data, size);
    const std::string key = vela_fuzz::TakeLine(data, size);
    const std::string path = vela_fuzz::WriteScratchFile("reader.ini", data, size);

    XnChar text[257];
    xnOSReadStringFromINI(path.c_str(), section.c_str(), key.c_str(), text, sizeof(text));
    XnChar small[4];
    xnOSReadStringFromINI(path.c_str(), section.c_str(), key.c_str(), small, sizeof(small));
    XnInt32 nValue = 0;
    xnOSReadIntFromINI(path.c_str(), section.c_str(), key.c_str(), &nValue);
    XnDouble dValue = 0;
    xnOSReadDoubleFromINI(path.c_str(), section.c_str(), key.c_str(), &dValue);
    XnFloat fValue = 0;
    xnOSReadFloatFromINI(path.c_str(), section.c_str(), key.c_str(), &fValue);
    return 0;
}
