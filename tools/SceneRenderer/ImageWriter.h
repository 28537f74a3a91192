#pragma once

// Image files for rendered frames: binary PGM (8 or 16 bit) and PNG (8-bit
// grey, 16-bit grey, 8-bit RGB) written without a library (stored deflate
// blocks), plus the false-colour views people look at.

#include <cstdint>
#include <string>
#include <vector>

namespace vela::scene {

// All return false (and set `error`) when the file cannot be written.
bool WritePgm8(const std::string& path, int width, int height, const uint8_t* pixels, std::string& error);
bool WritePgm16(const std::string& path, int width, int height, const uint16_t* pixels, std::string& error);
bool WritePngGray8(const std::string& path, int width, int height, const uint8_t* pixels, std::string& error);
bool WritePngGray16(const std::string& path, int width, int height, const uint16_t* pixels, std::string& error);
bool WritePngRgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string& error);

// Reads a binary PGM ("P5", maxval up to 65535) into 16-bit pixels.
bool ReadPgm(const std::string& path, int& width, int& height, std::vector<uint16_t>& pixels, std::string& error);

// The PNG byte stream, for tests and in-memory use.
std::vector<uint8_t> EncodePng(int width, int height, int channels, int bitDepth, const uint8_t* rows);
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);

// Depth as a grey ramp, near bright and far dark over [near, far] mm; no
// depth is black.
std::vector<uint8_t> DepthView(const std::vector<uint16_t>& depth, uint16_t nearMm, uint16_t farMm);
// Labels as RGB colours (0 black), `grey` (optional depth view) shading the
// background.
std::vector<uint8_t> LabelView(const std::vector<uint16_t>& labels, const std::vector<uint8_t>* grey);

}  // namespace vela::scene
