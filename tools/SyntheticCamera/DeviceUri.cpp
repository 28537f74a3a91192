#include "SyntheticCamera/DeviceUri.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vela::synthetic {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Decode(const std::string& text, std::string& out, std::string& error) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            error = "bad percent escape in '" + text + "'";
            return false;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool ParseOnOff(const std::string& key, const std::string& value, bool& out, std::string& error) {
    if (value == "on") {
        out = true;
    } else if (value == "off") {
        out = false;
    } else {
        error = key + " must be on or off, not '" + value + "'";
        return false;
    }
    return true;
}

bool ParseResolution(const std::string& value, int& width, int& height, std::string& error) {
    static const int kSizes[][2] = {{160, 120}, {320, 240}, {640, 480}, {1280, 1024}};
    for (const auto& size : kSizes) {
        if (value == std::to_string(size[0]) + "x" + std::to_string(size[1])) {
            width = size[0];
            height = size[1];
            return true;
        }
    }
    error = "resolution must be 160x120, 320x240, 640x480 or 1280x1024, not '" + value + "'";
    return false;
}

bool ParseSeed(const std::string& value, uint64_t& seed, std::string& error) {
    if (value.empty() || value[0] < '0' || value[0] > '9') {
        error = "seed must be a non-negative integer, not '" + value + "'";
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(value.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') {
        error = "seed must be a non-negative integer, not '" + value + "'";
        return false;
    }
    seed = parsed;
    return true;
}

}  // namespace

bool IsSyntheticUri(const char* uri) {
    return uri != nullptr && std::strncmp(uri, kUriScheme, std::strlen(kUriScheme)) == 0;
}

bool ParseDeviceUri(const std::string& uri, DeviceConfig& config, std::string& error) {
    config = DeviceConfig();
    if (!IsSyntheticUri(uri.c_str())) {
        error = "'" + uri + "' does not start with " + kUriScheme;
        return false;
    }
    const std::string rest = uri.substr(std::strlen(kUriScheme));
    const size_t question = rest.find('?');
    const std::string kind = rest.substr(0, question);
    if (kind == "default") {
        config.kind = SourceKind::Default;
    } else if (kind == "scene") {
        config.kind = SourceKind::Scene;
    } else if (kind == "images") {
        config.kind = SourceKind::Images;
    } else {
        error = "unknown device '" + kind + "' (default, scene or images)";
        return false;
    }

    std::vector<std::string> seen;
    size_t pos = question == std::string::npos ? rest.size() : question + 1;
    while (pos < rest.size()) {
        size_t end = rest.find('&', pos);
        if (end == std::string::npos) end = rest.size();
        const std::string item = rest.substr(pos, end - pos);
        pos = end + 1;
        if (item.empty()) continue;
        const size_t equals = item.find('=');
        if (equals == std::string::npos) {
            error = "option '" + item + "' has no value";
            return false;
        }
        const std::string key = item.substr(0, equals);
        std::string value;
        if (!Decode(item.substr(equals + 1), value, error)) return false;
        for (const std::string& earlier : seen) {
            if (earlier == key) {
                error = "option '" + key + "' given twice";
                return false;
            }
        }
        seen.push_back(key);

        bool on = false;
        if (key == "file" && config.kind == SourceKind::Scene) {
            config.path = value;
        } else if (key == "dir" && config.kind == SourceKind::Images) {
            config.path = value;
        } else if (key == "resolution") {
            if (!ParseResolution(value, config.nWidth, config.nHeight, error)) return false;
        } else if (key == "format") {
            if (value == "1mm") {
                config.nPixelFormat = 100;
            } else if (value == "100um") {
                config.nPixelFormat = 101;
            } else {
                error = "format must be 1mm or 100um, not '" + value + "'";
                return false;
            }
        } else if (key == "crop") {
            if (!ParseOnOff(key, value, config.bCropping, error)) return false;
        } else if (key == "mirror") {
            if (!ParseOnOff(key, value, on, error)) return false;
            config.nMirror = on ? 1 : 0;
        } else if (key == "seed" && config.kind != SourceKind::Images) {
            if (!ParseSeed(value, config.nSeed, error)) return false;
            config.bHasSeed = true;
        } else if (key == "pacing") {
            if (value == "demand") {
                config.pacing = Pacing::OnDemand;
            } else if (value == "realtime") {
                config.pacing = Pacing::RealTime;
            } else if (value == "free") {
                config.pacing = Pacing::FreeRunning;
            } else {
                error = "pacing must be demand, realtime or free, not '" + value + "'";
                return false;
            }
        } else if (key == "start") {
            if (value == "ok") {
                config.bRefuseStart = false;
            } else if (value == "refuse") {
                config.bRefuseStart = true;
            } else {
                error = "start must be ok or refuse, not '" + value + "'";
                return false;
            }
        } else {
            error = "unknown option '" + key + "' for " + kUriScheme + kind;
            return false;
        }
    }
    if (config.kind == SourceKind::Scene && config.path.empty()) {
        error = "a scene device needs file=PATH";
        return false;
    }
    if (config.kind == SourceKind::Images && config.path.empty()) {
        error = "an image device needs dir=PATH";
        return false;
    }
    return true;
}

std::string EncodeUriValue(const std::string& value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7F || c == '%' || c == '&' || c == '?' || c == '#') {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace vela::synthetic
