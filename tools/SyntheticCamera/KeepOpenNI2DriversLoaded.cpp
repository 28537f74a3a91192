// Linked into sanitizer builds of OpenNI2 tests by
// vela_openni2_test_environment(). OpenNI2 unloads its drivers at shutdown,
// before the leak check runs, and a leak in an unloaded library can be
// neither named nor suppressed. Loading the file player once more, never to
// be unloaded, keeps its own leaks attributable to it, so that the
// suppression file can name them. (The synthetic camera's driver is linked
// not to unload.)

#include <dlfcn.h>

namespace {

struct KeepOpenNI2DriversLoaded {
    KeepOpenNI2DriversLoaded() {
        dlopen(VELA_OPENNI2_DRIVER_DIR "/libOniFile.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    }
} g_keepOpenNI2DriversLoaded;

}  // namespace
