#include "SceneRenderer/ImageWriter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "SceneRenderer/RegularFile.h"

namespace vela::scene {

namespace {

// Larger PGM files are refused unread.
constexpr size_t kMaxPgmBytes = size_t(8192) * 8192 * 2 + 4096;

bool WriteFile(const std::string& path, const void* data, size_t size, std::string& error) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // A full disk may show only when the buffer is flushed on closing.
    const bool written = std::fwrite(data, 1, size, out) == size && std::fflush(out) == 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(written ? errno : savedErrno);
        return false;
    }
    return true;
}

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBigEndian32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian32(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler) {
    uint32_t a = adler & 0xFFFFu, b = adler >> 16;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

std::vector<uint8_t> EncodePng(int width, int height, int channels, int bitDepth, const uint8_t* rows) {
    const size_t rowBytes = static_cast<size_t>(width) * channels * (bitDepth / 8);
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * height);
    for (int r = 0; r < height; ++r) {
        raw.push_back(0);  // filter: none
        raw.insert(raw.end(), rows + r * rowBytes, rows + (r + 1) * rowBytes);
    }
    // zlib stream of stored blocks.
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t len = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + len == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(len));
        z.push_back(static_cast<uint8_t>(len >> 8));
        z.push_back(static_cast<uint8_t>(~len));
        z.push_back(static_cast<uint8_t>(~len >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + len);
        pos += len;
    } while (pos < raw.size());
    PutBigEndian32(z, Adler32(raw.data(), raw.size()));

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian32(header, static_cast<uint32_t>(width));
    PutBigEndian32(header, static_cast<uint32_t>(height));
    header.push_back(static_cast<uint8_t>(bitDepth));
    header.push_back(channels == 3 ? 2 : 0);  // colour type: RGB or grey
    header.push_back(0);
    header.push_back(0);
    header.push_back(0);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});
    return png;
}

bool WritePgm8(const std::string& path, int width, int height, const uint8_t* pixels, std::string& error) {
    std::string data = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    data.append(reinterpret_cast<const char*>(pixels), static_cast<size_t>(width) * height);
    return WriteFile(path, data.data(), data.size(), error);
}

bool WritePgm16(const std::string& path, int width, int height, const uint16_t* pixels, std::string& error) {
    std::string data = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n65535\n";
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        data += static_cast<char>(pixels[i] >> 8);
        data += static_cast<char>(pixels[i] & 0xFF);
    }
    return WriteFile(path, data.data(), data.size(), error);
}

bool WritePngGray8(const std::string& path, int width, int height, const uint8_t* pixels, std::string& error) {
    const std::vector<uint8_t> png = EncodePng(width, height, 1, 8, pixels);
    return WriteFile(path, png.data(), png.size(), error);
}

bool WritePngGray16(const std::string& path, int width, int height, const uint16_t* pixels, std::string& error) {
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 2);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(pixels[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(pixels[i] & 0xFF);
    }
    const std::vector<uint8_t> png = EncodePng(width, height, 1, 16, bytes.data());
    return WriteFile(path, png.data(), png.size(), error);
}

bool WritePngRgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string& error) {
    const std::vector<uint8_t> png = EncodePng(width, height, 3, 8, rgb);
    return WriteFile(path, png.data(), png.size(), error);
}

bool ReadPgm(const std::string& path, int& width, int& height, std::vector<uint16_t>& pixels, std::string& error) {
    std::string data;
    if (!ReadRegularFile(path, kMaxPgmBytes, data, error)) return false;
    size_t pos = 0;
    auto field = [&data, &pos](long& value) {
        while (pos < data.size()) {
            if (data[pos] == '#') {
                while (pos < data.size() && data[pos] != '\n') ++pos;
            } else if (std::isspace(static_cast<unsigned char>(data[pos]))) {
                ++pos;
            } else {
                break;
            }
        }
        const size_t start = pos;
        while (pos < data.size() && data[pos] >= '0' && data[pos] <= '9' && pos - start < 9) ++pos;
        if (pos == start) return false;
        value = std::stol(data.substr(start, pos - start));
        return true;
    };
    long w = 0, h = 0, maxval = 0;
    if (data.size() < 2 || data[0] != 'P' || data[1] != '5') {
        error = path + ": not a binary PGM";
        return false;
    }
    pos = 2;
    if (!field(w) || !field(h) || !field(maxval) || w < 1 || h < 1 || w > 65535 || h > 65535 || maxval < 1 ||
        maxval > 65535 || pos >= data.size() || !std::isspace(static_cast<unsigned char>(data[pos]))) {
        error = path + ": bad PGM header";
        return false;
    }
    ++pos;
    const size_t bytesPerPixel = maxval > 255 ? 2 : 1;
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    if (data.size() - pos < count * bytesPerPixel) {
        error = path + ": PGM data is truncated";
        return false;
    }
    pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data() + pos + i * bytesPerPixel);
        pixels[i] = bytesPerPixel == 2 ? static_cast<uint16_t>((p[0] << 8) | p[1]) : p[0];
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

std::vector<uint8_t> DepthView(const std::vector<uint16_t>& depth, uint16_t nearMm, uint16_t farMm) {
    std::vector<uint8_t> out(depth.size(), 0);
    const double span = std::max(1, farMm - nearMm);
    for (size_t i = 0; i < depth.size(); ++i) {
        if (depth[i] == 0) continue;
        const double v = (static_cast<double>(farMm) - depth[i]) / span;
        out[i] = static_cast<uint8_t>(40.0 + 215.0 * std::clamp(v, 0.0, 1.0));
    }
    return out;
}

std::vector<uint8_t> LabelView(const std::vector<uint16_t>& labels, const std::vector<uint8_t>* grey) {
    static const uint8_t kPalette[][3] = {
        {230, 25, 75},  {60, 180, 75},  {255, 225, 25}, {0, 130, 200},  {245, 130, 48}, {145, 30, 180},
        {70, 240, 240}, {240, 50, 230}, {210, 245, 60}, {250, 190, 212}, {0, 128, 128}, {220, 190, 255},
        {170, 110, 40}, {255, 250, 200}, {128, 0, 0},   {170, 255, 195}, {128, 128, 0}, {255, 215, 180}};
    const size_t colours = sizeof(kPalette) / sizeof(kPalette[0]);
    std::vector<uint8_t> out(labels.size() * 3, 0);
    for (size_t i = 0; i < labels.size(); ++i) {
        if (labels[i] == 0) {
            const uint8_t g = grey ? static_cast<uint8_t>((*grey)[i] / 3) : 0;
            out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = g;
            continue;
        }
        const uint8_t* c = kPalette[(labels[i] - 1) % colours];
        out[3 * i] = c[0];
        out[3 * i + 1] = c[1];
        out[3 * i + 2] = c[2];
    }
    return out;
}

}  // namespace vela::scene
