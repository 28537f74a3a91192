#include "SyntheticCamera/DepthImageFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "SceneRenderer/RegularFile.h"

namespace vela::synthetic {

namespace {

// Larger sides are refused rather than allocated.
constexpr uint32_t kMaxSide = 8192;

// The largest file a readable image can need: 16-bit pixels of the largest
// sides, plus PNG row filters, chunk overhead and some ancillary chunks.
constexpr size_t kMaxFileBytes = size_t(kMaxSide) * kMaxSide * 2 + kMaxSide + (1u << 20);

// Bytes of a file in memory, as the decoders read them.
struct Bytes {
    const uint8_t* data;
    size_t size;

    uint8_t operator[](size_t i) const { return data[i]; }
};

Bytes View(const std::string& text) { return {reinterpret_cast<const uint8_t*>(text.data()), text.size()}; }

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

bool HasSuffix(const std::string& name, const char* suffix) {
    const size_t n = std::strlen(suffix);
    if (name.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != suffix[i]) return false;
    }
    return true;
}

// ---- PGM ----

// Parses "P5 W H MAX" with comments; `offset` ends after the single blank
// that follows MAX. False (error left empty) when more bytes are needed.
bool ParsePgmHeader(Bytes bytes, const std::string& path, int& width, int& height,
                    int& maxValue, size_t& offset, std::string& error) {
    if (bytes.size < 2 || bytes[0] != 'P' || bytes[1] != '5') {
        error = path + ": not a binary PGM";
        return false;
    }
    size_t pos = 2;
    long values[3] = {0, 0, 0};
    for (long& value : values) {
        for (;;) {
            if (pos >= bytes.size) {
                error = path + ": truncated PGM header";
                return false;
            }
            if (bytes[pos] == '#') {
                while (pos < bytes.size && bytes[pos] != '\n') ++pos;
            } else if (std::isspace(bytes[pos])) {
                ++pos;
            } else {
                break;
            }
        }
        if (!std::isdigit(bytes[pos])) {
            error = path + ": bad PGM header";
            return false;
        }
        while (pos < bytes.size && std::isdigit(bytes[pos])) {
            value = value * 10 + (bytes[pos] - '0');
            if (value > 1000000) {
                error = path + ": bad PGM header";
                return false;
            }
            ++pos;
        }
    }
    if (pos >= bytes.size || !std::isspace(bytes[pos])) {
        error = path + ": truncated PGM header";
        return false;
    }
    offset = pos + 1;
    if (values[0] < 1 || values[1] < 1 || values[0] > kMaxSide || values[1] > kMaxSide) {
        error = path + ": bad PGM size";
        return false;
    }
    if (values[2] < 256 || values[2] > 65535) {
        error = path + ": not a 16-bit PGM (maximum " + std::to_string(values[2]) + ")";
        return false;
    }
    width = static_cast<int>(values[0]);
    height = static_cast<int>(values[1]);
    maxValue = static_cast<int>(values[2]);
    return true;
}

bool DecodePgm(Bytes bytes, const std::string& path, DepthImage& image, std::string& error) {
    int width = 0, height = 0, maxValue = 0;
    size_t offset = 0;
    if (!ParsePgmHeader(bytes, path, width, height, maxValue, offset, error)) return false;
    const size_t count = size_t(width) * size_t(height);
    if (bytes.size - offset < count * 2) {
        error = path + ": truncated PGM data";
        return false;
    }
    image.nWidth = width;
    image.nHeight = height;
    image.pixels.resize(count);
    const uint8_t* p = bytes.data + offset;
    for (size_t i = 0; i < count; ++i) {
        image.pixels[i] = static_cast<uint16_t>((p[2 * i] << 8) | p[2 * i + 1]);
    }
    return true;
}

// ---- PNG ----

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool ParsePngHeader(Bytes bytes, const std::string& path, int& width, int& height,
                    std::string& error) {
    if (bytes.size < 33 || BigEndian32(bytes.data + 8) != 13 || std::memcmp(bytes.data + 12, "IHDR", 4) != 0) {
        error = path + ": truncated or bad PNG header";
        return false;
    }
    const uint8_t* h = bytes.data + 16;
    const uint32_t w = BigEndian32(h), hgt = BigEndian32(h + 4);
    if (w < 1 || hgt < 1 || w > kMaxSide || hgt > kMaxSide) {
        error = path + ": bad PNG size";
        return false;
    }
    if (h[8] != 16 || h[9] != 0) {
        error = path + ": not a 16-bit greyscale PNG (bit depth " + std::to_string(h[8]) + ", colour type " +
                std::to_string(h[9]) + ")";
        return false;
    }
    if (h[10] != 0 || h[11] != 0) {
        error = path + ": unknown PNG compression or filter method";
        return false;
    }
    if (h[12] != 0) {
        error = path + ": interlaced PNG is not supported";
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(hgt);
    return true;
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Walks the chunks after the signature: every one inside the file with a
// good CRC, up to IEND, none that must be understood but is not. Collects
// the image data into `compressed` when given.
bool WalkPngChunks(Bytes bytes, const std::string& path, std::vector<uint8_t>* compressed, std::string& error) {
    bool ended = false, hasData = false;
    size_t pos = 8;
    while (pos + 12 <= bytes.size) {
        const uint32_t length = BigEndian32(bytes.data + pos);
        if (length > bytes.size - pos - 12) break;
        const uint8_t* type = bytes.data + pos + 4;
        const uint8_t* data = type + 4;
        const uint32_t crc = static_cast<uint32_t>(crc32(0L, type, length + 4));
        if (crc != BigEndian32(data + length)) {
            error = path + ": PNG chunk with a bad CRC";
            return false;
        }
        if (std::memcmp(type, "IDAT", 4) == 0) {
            hasData = true;
            if (compressed) compressed->insert(compressed->end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
            break;
        } else if ((type[0] & 0x20) == 0 && std::memcmp(type, "IHDR", 4) != 0) {
            error = path + ": PNG chunk " + std::string(reinterpret_cast<const char*>(type), 4) +
                    " is needed but not understood";
            return false;
        }
        pos += 12 + length;
    }
    if (!ended) {
        error = path + ": truncated PNG";
        return false;
    }
    if (!hasData) {
        error = path + ": PNG without image data";
        return false;
    }
    return true;
}

bool IsPng(Bytes bytes) { return bytes.size >= 8 && std::memcmp(bytes.data, kPngSignature, 8) == 0; }
bool IsPgm(Bytes bytes) { return bytes.size >= 2 && bytes[0] == 'P' && bytes[1] == '5'; }

bool DecodePng(Bytes bytes, const std::string& path, DepthImage& image, std::string& error) {
    int width = 0, height = 0;
    if (!IsPng(bytes)) {
        error = path + ": not a PNG";
        return false;
    }
    if (!ParsePngHeader(bytes, path, width, height, error)) return false;
    std::vector<uint8_t> compressed;
    if (!WalkPngChunks(bytes, path, &compressed, error)) return false;

    const size_t rowBytes = size_t(width) * 2;
    const size_t expected = (rowBytes + 1) * size_t(height);
    std::vector<uint8_t> raw(expected);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        error = path + ": cannot start inflating";
        return false;
    }
    stream.next_in = compressed.data();
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = raw.data();
    stream.avail_out = static_cast<uInt>(raw.size());
    const int status = inflate(&stream, Z_FINISH);
    const size_t produced = raw.size() - stream.avail_out;
    inflateEnd(&stream);
    if (status != Z_STREAM_END || produced != expected) {
        error = path + ": corrupt or truncated PNG image data";
        return false;
    }

    std::vector<uint8_t> previous(rowBytes, 0);
    image.nWidth = width;
    image.nHeight = height;
    image.pixels.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = raw.data() + size_t(y) * (rowBytes + 1);
        const uint8_t filter = row[0];
        uint8_t* x = row + 1;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= 2 ? x[i - 2] : 0;
            const int up = previous[i];
            const int upLeft = i >= 2 ? previous[i - 2] : 0;
            int add = 0;
            switch (filter) {
                case 0: add = 0; break;
                case 1: add = left; break;
                case 2: add = up; break;
                case 3: add = (left + up) / 2; break;
                case 4: add = Paeth(left, up, upLeft); break;
                default:
                    error = path + ": unknown PNG row filter " + std::to_string(filter);
                    return false;
            }
            x[i] = static_cast<uint8_t>(x[i] + add);
        }
        uint16_t* out = image.pixels.data() + size_t(y) * size_t(width);
        for (int c = 0; c < width; ++c) out[c] = static_cast<uint16_t>((x[2 * c] << 8) | x[2 * c + 1]);
        std::copy(x, x + rowBytes, previous.begin());
    }
    return true;
}

}  // namespace

bool ReadDepthImageSize(const std::string& path, int& width, int& height, std::string& error) {
    std::string head;
    if (!scene::ReadRegularFileHead(path, 4096, head, error)) return false;
    const Bytes bytes = View(head);
    if (IsPng(bytes)) return ParsePngHeader(bytes, path, width, height, error);
    if (IsPgm(bytes)) {
        int maxValue = 0;
        size_t offset = 0;
        return ParsePgmHeader(bytes, path, width, height, maxValue, offset, error);
    }
    error = path + ": neither a binary PGM nor a PNG";
    return false;
}

bool CheckDepthImageFile(const std::string& path, int& width, int& height, std::string& error) {
    std::string content;
    if (!scene::ReadRegularFile(path, kMaxFileBytes, content, error)) return false;
    const Bytes bytes = View(content);
    if (IsPng(bytes)) {
        return ParsePngHeader(bytes, path, width, height, error) && WalkPngChunks(bytes, path, nullptr, error);
    }
    if (IsPgm(bytes)) {
        int maxValue = 0;
        size_t offset = 0;
        if (!ParsePgmHeader(bytes, path, width, height, maxValue, offset, error)) return false;
        if (bytes.size - offset < size_t(width) * size_t(height) * 2) {
            error = path + ": truncated PGM data";
            return false;
        }
        return true;
    }
    error = path + ": neither a binary PGM nor a PNG";
    return false;
}

bool DecodeDepthImage(const uint8_t* data, size_t size, const std::string& name, DepthImage& image,
                      std::string& error) {
    const Bytes bytes{data, size};
    if (IsPng(bytes)) return DecodePng(bytes, name, image, error);
    if (IsPgm(bytes)) return DecodePgm(bytes, name, image, error);
    error = name + ": neither a binary PGM nor a PNG";
    return false;
}

bool ReadDepthImage(const std::string& path, DepthImage& image, std::string& error) {
    std::string content;
    if (!scene::ReadRegularFile(path, kMaxFileBytes, content, error)) return false;
    const Bytes bytes = View(content);
    return DecodeDepthImage(bytes.data, bytes.size, path, image, error);
}

bool ListDepthImages(const std::string& dir, std::vector<std::string>& paths, std::string& error) {
    paths.clear();
    DIR* handle = opendir(dir.c_str());
    if (handle == nullptr) {
        error = dir + ": cannot read the folder";
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = readdir(handle)) {
        const std::string name = entry->d_name;
        if (name[0] != '.' && (HasSuffix(name, ".pgm") || HasSuffix(name, ".png"))) names.push_back(name);
    }
    closedir(handle);
    std::sort(names.begin(), names.end());
    const std::string prefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    for (const std::string& name : names) {
        struct stat info;
        if (stat((prefix + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) paths.push_back(prefix + name);
    }
    if (paths.empty()) {
        error = dir + ": no .pgm or .png files";
        return false;
    }
    return true;
}

}  // namespace vela::synthetic
