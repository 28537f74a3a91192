#pragma once

// The library as a whole: the data directory in which the trackers find
// their configuration and model files, read from "./Vela.ini" by
// velaInitialize together with the log settings, and the check that the
// running OpenNI2 is recent enough. The exported functions themselves are
// declared in the public header.

#include <string>

#include "OniCTypes.h"
#include "Vela.h"

// The 256-character data-directory buffer; null before the first
// velaInitialize and after velaShutdown.
constexpr unsigned kConfigurationPathSize = 256;
extern char* g_configurationDir;

// The OpenNI2 version the library is built against (2.2.0.32) and the one
// running, both set by velaInitialize.
extern OniVersion g_OpenNICompiledVersion;
extern OniVersion g_OpenNIRunningVersion;

// The data directory used when "Vela.ini" names none that fits the buffer.
constexpr const char* kDefaultConfigurationDir = "./Vela2";

// OpenNI2 2.2 or later: only major and minor count.
bool IsSupportedOpenNIVersion(const OniVersion& running);

// Logs the compiled and running versions at verbose severity and, for a
// running version older than 2.2, the error naming both; returns
// VELA_STATUS_ERROR then.
VelaStatus CheckOpenNIVersion(const OniVersion& compiled, const OniVersion& running);

// The path of a file in the data directory ("<dir>/<fileName>"), as the
// trackers form their INI paths in a buffer of kConfigurationPathSize
// characters. Without a data directory the path is empty and the call
// succeeds; a path that does not fit the buffer is logged as an error and
// the call fails.
bool FormConfigurationPath(const char* fileName, std::string& path);
