#pragma once

// Writes 8-bit RGB pictures as PNG files (zlib does the compression).

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0;
    int height = 0;
    // Row by row, three bytes a pixel.
    std::vector<uint8_t> pixels;

    RgbImage(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 3, 0) {}
    uint8_t* At(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; }
};

// The PNG file's bytes.
std::vector<uint8_t> EncodePng(const RgbImage& image);
// False, with the reason in error, when the file cannot be written.
bool WritePng(const std::string& path, const RgbImage& image, std::string& error);
