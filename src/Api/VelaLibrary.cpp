#include "Api/VelaLibrary.h"

#include <cstring>
#include <new>

#include "OSLayer/XnLog.h"
#include "OSLayer/XnOS.h"
#include "OniCAPI.h"

char* g_configurationDir = nullptr;
OniVersion g_OpenNICompiledVersion = {0, 0, 0, 0};
OniVersion g_OpenNIRunningVersion = {0, 0, 0, 0};

namespace {

const char kIniFile[] = "./Vela.ini";

enum class DataDirSetting { kRead, kAbsent, kTooLong };

// Reads "DataDir" into g_configurationDir, which is left alone unless the
// value is there and fits.
DataDirSetting ReadDataDir() {
    // One more character than the buffer holds, to tell a value that fits
    // from one that was cut short.
    char value[kConfigurationPathSize + 1] = {};
    if (xnOSReadStringFromINI(kIniFile, "General", "DataDir", value, sizeof(value)) != XN_STATUS_OK) {
        return DataDirSetting::kAbsent;
    }
    if (std::strlen(value) >= kConfigurationPathSize) {
        return DataDirSetting::kTooLong;
    }
    xnOSStrCopy(g_configurationDir, value, kConfigurationPathSize);
    return DataDirSetting::kRead;
}

void ApplyLogSettings() {
    XnInt32 value = 0;
    if (xnOSReadIntFromINI(kIniFile, "Log", "Verbosity", &value) == XN_STATUS_OK) {
        xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, static_cast<XnLogSeverity>(value));
    }
    if (xnOSReadIntFromINI(kIniFile, "Log", "LogToConsole", &value) == XN_STATUS_OK) {
        xnLogSetConsoleOutput(value == 1);
    }
    if (xnOSReadIntFromINI(kIniFile, "Log", "LogToFile", &value) == XN_STATUS_OK) {
        xnLogSetFileOutput(value == 1);
    }
}

}  // namespace

bool IsSupportedOpenNIVersion(const OniVersion& running) { return running.major * 1000 + running.minor > 2001; }

VelaStatus CheckOpenNIVersion(const OniVersion& compiled, const OniVersion& running) {
    xnLogVerbose(XN_LOG_MASK_ALL, "Vela: Compiled with OpenNI (%d.%d.%d.%d), Running with (%d.%d.%d.%d)",
                 compiled.major, compiled.minor, compiled.maintenance, compiled.build, running.major, running.minor,
                 running.maintenance, running.build);
    if (IsSupportedOpenNIVersion(running)) {
        return VELA_STATUS_OK;
    }
    xnLogError(XN_LOG_MASK_ALL, "Running with an OpenNI (%d.%d) older than the one with which Vela was compiled (%d.%d)",
               running.major, running.minor, compiled.major, compiled.minor);
    return VELA_STATUS_ERROR;
}

bool FormConfigurationPath(const char* fileName, std::string& path) {
    path.clear();
    if (g_configurationDir == nullptr) {
        return true;
    }
    char buffer[kConfigurationPathSize] = {};
    if (xnOSStrAppend(buffer, g_configurationDir, sizeof(buffer)) != XN_STATUS_OK ||
        xnOSStrAppend(buffer, "/", sizeof(buffer)) != XN_STATUS_OK ||
        xnOSStrAppend(buffer, fileName, sizeof(buffer)) != XN_STATUS_OK) {
        xnLogError(XN_LOG_MASK_ALL, "Vela: the path of %s in the data directory '%s' is longer than %u characters",
                   fileName, g_configurationDir, kConfigurationPathSize - 1);
        return false;
    }
    path = buffer;
    return true;
}

extern "C" {

VelaStatus velaInitialize() {
    if (g_configurationDir == nullptr) {
        g_configurationDir = new (std::nothrow) char[kConfigurationPathSize];
        if (g_configurationDir == nullptr) {
            xnLogError(XN_LOG_MASK_ALL, "Vela: out of memory");
            return VELA_STATUS_ERROR;
        }
    }
    XnBool exists = FALSE;
    xnOSDoesFileExist(kIniFile, &exists);
    const DataDirSetting dataDir = exists ? ReadDataDir() : DataDirSetting::kAbsent;
    if (exists) {
        ApplyLogSettings();
    }
    if (dataDir == DataDirSetting::kTooLong) {
        // Logged once the file's own log settings apply.
        xnLogWarning(XN_LOG_MASK_ALL, "Vela: DataDir in %s is longer than %u characters; using %s", kIniFile,
                     kConfigurationPathSize - 1, kDefaultConfigurationDir);
    }
    if (dataDir != DataDirSetting::kRead) {
        xnOSStrCopy(g_configurationDir, kDefaultConfigurationDir, kConfigurationPathSize);
    }
    g_OpenNICompiledVersion = OniVersion{2, 2, 0, 32};
    g_OpenNIRunningVersion = oniGetVersion();
    return CheckOpenNIVersion(g_OpenNICompiledVersion, g_OpenNIRunningVersion);
}

void velaShutdown() {
    delete[] g_configurationDir;
    g_configurationDir = nullptr;
}

VelaVersion velaGetVersion() { return VelaVersion{2, 2, 0, 11}; }

}  // extern "C"
