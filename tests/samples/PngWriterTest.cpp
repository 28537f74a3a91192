// The sample's pictures: PNG files that decode to the pixels written.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "PngWriter.h"
#include "TempDir.h"

namespace {

uint32_t Get32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

TEST(PngWriterTest, ThePixelsComeBackFromTheFile) {
    RgbImage image(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = static_cast<uint8_t>(x * 50);
            p[1] = static_cast<uint8_t>(y * 100);
            p[2] = 7;
        }
    }
    vela_test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WritePng(dir.File("a.png"), image, error)) << error;
    const std::string file = vela_test::ReadWholeFile(dir.File("a.png"));
    const std::vector<uint8_t> png(file.begin(), file.end());
    ASSERT_GT(png.size(), 8u + 25 + 12 + 12);
    EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
    // Walk the chunks, checking each CRC, and inflate the image data.
    std::vector<uint8_t> idat;
    size_t at = 8;
    std::string types;
    while (at + 12 <= png.size()) {
        const uint32_t length = Get32(&png[at]);
        ASSERT_LE(at + 12 + length, png.size());
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        types += type + " ";
        EXPECT_EQ(crc32(0, &png[at + 4], length + 4), Get32(&png[at + 8 + length])) << type;
        if (type == "IHDR") {
            EXPECT_EQ(5u, Get32(&png[at + 8]));
            EXPECT_EQ(3u, Get32(&png[at + 12]));
            EXPECT_EQ(8, png[at + 16]);
            EXPECT_EQ(2, png[at + 17]);
        } else if (type == "IDAT") {
            idat.insert(idat.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        }
        at += 12 + length;
    }
    EXPECT_EQ(png.size(), at);
    EXPECT_EQ("IHDR IDAT IEND ", types);
    std::vector<uint8_t> raw(3 * (1 + 15));
    uLongf size = raw.size();
    ASSERT_EQ(Z_OK, uncompress(raw.data(), &size, idat.data(), idat.size()));
    ASSERT_EQ(raw.size(), size);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(0, raw[y * 16]) << "filter type";
        EXPECT_EQ(0, std::memcmp(&raw[y * 16 + 1], image.At(0, y), 15));
    }
}

TEST(PngWriterTest, AnUnwritablePathIsReported) {
    std::string error;
    EXPECT_FALSE(WritePng("/nonexistent-dir/a.png", RgbImage(1, 1), error));
    EXPECT_NE(std::string::npos, error.find("/nonexistent-dir/a.png"));
}

}  // namespace
