#include "PngWriter.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// Length, type, data and the CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char type[5], const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    Put32(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::vector<uint8_t> EncodePng(const RgbImage& image) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> png(kSignature, kSignature + 8);

    std::vector<uint8_t> header;
    Put32(header, static_cast<uint32_t>(image.width));
    Put32(header, static_cast<uint32_t>(image.height));
    // 8 bits, colour type 2 (RGB), deflate, filter method 0, not interlaced.
    header.insert(header.end(), {8, 2, 0, 0, 0});
    PutChunk(png, "IHDR", header);

    // Every row with filter type 0.
    const size_t rowBytes = static_cast<size_t>(image.width) * 3;
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        const uint8_t* row = image.pixels.data() + y * rowBytes;
        raw.insert(raw.end(), row, row + rowBytes);
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> compressed(size);
    compress2(compressed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED);
    compressed.resize(size);
    PutChunk(png, "IDAT", compressed);
    PutChunk(png, "IEND", {});
    return png;
}

bool WritePng(const std::string& path, const RgbImage& image, std::string& error) {
    const std::vector<uint8_t> png = EncodePng(image);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
