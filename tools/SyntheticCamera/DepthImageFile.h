#pragma once

// 16-bit depth images in millimetres, as public depth data sets ship them:
// binary PGM with a maximum above 255 and greyscale PNG of bit depth 16
// (not interlaced). 0 means no depth.

#include <cstdint>
#include <string>
#include <vector>

namespace vela::synthetic {

struct DepthImage {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint16_t> pixels;  // row-major
};

// The size from the file's header only. False with the reason in `error` for
// a file that is missing, not a regular file or not a 16-bit PGM or PNG.
bool ReadDepthImageSize(const std::string& path, int& width, int& height, std::string& error);

// The whole file, decoded. Only regular files are read, and none larger
// than the largest image (8192 x 8192) can need.
bool ReadDepthImage(const std::string& path, DepthImage& image, std::string& error);

// An image already in memory; `name` only labels the errors.
bool DecodeDepthImage(const uint8_t* data, size_t size, const std::string& name, DepthImage& image,
                      std::string& error);

// Reads the file and checks its header and that it holds all it promises:
// a PGM its pixels, a PNG every chunk up to the end with good checksums.
// The pixel data is not inflated. Gives the size from the header.
bool CheckDepthImageFile(const std::string& path, int& width, int& height, std::string& error);

// The paths of the files ending in .pgm or .png (any case) in `dir`, in name
// order. False when the folder cannot be read or holds none.
bool ListDepthImages(const std::string& dir, std::vector<std::string>& paths, std::string& error);

}  // namespace vela::synthetic
