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
// a file that is missing or not a 16-bit PGM or PNG.
bool ReadDepthImageSize(const std::string& path, int& width, int& height, std::string& error);

bool ReadDepthImage(const std::string& path, DepthImage& image, std::string& error);

// The paths of the files ending in .pgm or .png (any case) in `dir`, in name
// order. False when the folder cannot be read or holds none.
bool ListDepthImages(const std::string& dir, std::vector<std::string>& paths, std::string& error);

}  // namespace vela::synthetic
