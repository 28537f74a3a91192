#pragma once

// Device URIs of the synthetic camera:
//
//   synthetic://default[?options]                 the built-in scene
//   synthetic://scene?file=PATH[&options]         a scene file
//   synthetic://images?dir=PATH[&options]         a folder of 16-bit depth images
//
// Options: resolution=WxH (160x120, 320x240, 640x480 or 1280x1024),
// format=1mm|100um, crop=on|off, mirror=on|off, seed=N (scenes only),
// pacing=demand|realtime|free, start=ok|refuse. Values may be percent-encoded
// (%26 for '&').

#include <cstdint>
#include <string>

namespace vela::synthetic {

enum class SourceKind { Default, Scene, Images };

// When frames are made: on demand (OpenNI2 asks on every read and wait that
// finds no frame), every 33,333 us, or back to back on a thread of the
// stream's own.
enum class Pacing { OnDemand, RealTime, FreeRunning };

struct DeviceConfig {
    SourceKind kind = SourceKind::Default;
    std::string path;              // scene file or image folder
    int nWidth = 0, nHeight = 0;   // 0: the source's own size
    int nPixelFormat = 100;        // OpenNI2 depth format: 100 (1 mm) or 101 (100 um)
    bool bCropping = false;        // start with the centre half cropped
    int nMirror = -1;              // -1: the source's default, else 0 or 1
    bool bHasSeed = false;
    uint64_t nSeed = 0;
    Pacing pacing = Pacing::OnDemand;
    bool bRefuseStart = false;     // every start of the stream fails, for callers' error paths
};

constexpr const char* kUriScheme = "synthetic://";
constexpr const char* kDefaultDeviceUri = "synthetic://default";

// True for URIs of this driver's scheme (whether valid or not).
bool IsSyntheticUri(const char* uri);

// On failure returns false with the reason in `error`.
bool ParseDeviceUri(const std::string& uri, DeviceConfig& config, std::string& error);

// Percent-encodes what a URI value cannot hold as it is.
std::string EncodeUriValue(const std::string& value);

}  // namespace vela::synthetic
