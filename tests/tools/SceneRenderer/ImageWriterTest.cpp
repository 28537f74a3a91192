#include <gtest/gtest.h>

#include <cstring>

#include "SceneRenderer/ImageWriter.h"
#include "TempDir.h"

namespace {

using namespace vela::scene;

uint32_t BigEndian(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

// Walks the chunks, checks every CRC and undoes the stored deflate blocks.
std::vector<uint8_t> DecodeStoredPng(const std::vector<uint8_t>& png, uint32_t& width, uint32_t& height, int& bitDepth,
                                     int& colourType) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(0, std::memcmp(png.data(), kSignature, 8));
    std::vector<uint8_t> idat;
    size_t pos = 8;
    bool ended = false;
    while (pos + 12 <= png.size()) {
        const uint32_t length = BigEndian(&png[pos]);
        const std::string type(reinterpret_cast<const char*>(&png[pos + 4]), 4);
        EXPECT_EQ(BigEndian(&png[pos + 8 + length]), Crc32(&png[pos + 4], length + 4)) << type;
        const uint8_t* data = &png[pos + 8];
        if (type == "IHDR") {
            width = BigEndian(data);
            height = BigEndian(data + 4);
            bitDepth = data[8];
            colourType = data[9];
        } else if (type == "IDAT") {
            idat.insert(idat.end(), data, data + length);
        } else if (type == "IEND") {
            ended = true;
        }
        pos += 12 + length;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(png.size(), pos);
    std::vector<uint8_t> raw;
    size_t p = 2;
    while (true) {
        const bool last = idat[p] & 1;
        const uint16_t len = uint16_t(idat[p + 1] | (idat[p + 2] << 8));
        const uint16_t nlen = uint16_t(idat[p + 3] | (idat[p + 4] << 8));
        EXPECT_EQ(uint16_t(~len), nlen);
        raw.insert(raw.end(), idat.begin() + p + 5, idat.begin() + p + 5 + len);
        p += 5 + len;
        if (last) break;
    }
    EXPECT_EQ(BigEndian(&idat[p]), Adler32(raw.data(), raw.size()));
    return raw;
}

TEST(ImageWriter, ChecksumsMatchTheirReferenceValues) {
    const char* digits = "123456789";
    EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>(digits), 9));
    const char* wiki = "Wikipedia";
    EXPECT_EQ(0x11E60398u, Adler32(reinterpret_cast<const uint8_t*>(wiki), 9));
}

TEST(ImageWriter, PngHoldsTheRowsInStoredBlocks) {
    // Wide enough for several 64 KiB blocks.
    const int w = 400, h = 120;
    std::vector<uint16_t> pixels(w * h);
    for (int i = 0; i < w * h; ++i) pixels[i] = uint16_t(i * 37);
    vela_test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WritePngGray16(dir.File("d.png"), w, h, pixels.data(), error)) << error;
    const std::string bytes = vela_test::ReadWholeFile(dir.File("d.png"));
    const std::vector<uint8_t> png(bytes.begin(), bytes.end());
    uint32_t width = 0, height = 0;
    int depth = 0, colour = -1;
    const std::vector<uint8_t> raw = DecodeStoredPng(png, width, height, depth, colour);
    EXPECT_EQ(uint32_t(w), width);
    EXPECT_EQ(uint32_t(h), height);
    EXPECT_EQ(16, depth);
    EXPECT_EQ(0, colour);
    ASSERT_EQ(size_t(h) * (1 + 2 * w), raw.size());
    for (int r = 0; r < h; ++r) {
        ASSERT_EQ(0, raw[r * (1 + 2 * w)]);
        for (int c = 0; c < w; ++c) {
            const uint8_t* p = &raw[r * (1 + 2 * w) + 1 + 2 * c];
            ASSERT_EQ(pixels[r * w + c], uint16_t((p[0] << 8) | p[1]));
        }
    }
    const std::vector<uint8_t> rgb(3 * 5 * 4, 200);
    const std::vector<uint8_t> small = EncodePng(5, 4, 3, 8, rgb.data());
    const std::vector<uint8_t> rows = DecodeStoredPng(small, width, height, depth, colour);
    EXPECT_EQ(2, colour);
    EXPECT_EQ(4u * 16u, rows.size());
}

TEST(ImageWriter, PgmRoundTripsAndBadFilesAreRefused) {
    vela_test::TempDir dir;
    std::vector<uint16_t> pixels = {0, 1, 255, 256, 10000, 65535};
    std::string error;
    ASSERT_TRUE(WritePgm16(dir.File("a.pgm"), 3, 2, pixels.data(), error));
    int w = 0, h = 0;
    std::vector<uint16_t> back;
    ASSERT_TRUE(ReadPgm(dir.File("a.pgm"), w, h, back, error)) << error;
    EXPECT_EQ(3, w);
    EXPECT_EQ(2, h);
    EXPECT_EQ(pixels, back);
    const uint8_t bytes[4] = {1, 2, 3, 250};
    ASSERT_TRUE(WritePgm8(dir.File("b.pgm"), 2, 2, bytes, error));
    ASSERT_TRUE(ReadPgm(dir.File("b.pgm"), w, h, back, error));
    EXPECT_EQ(250, back[3]);

    vela_test::WriteWholeFile(dir.File("short.pgm"), "P5\n4 4\n65535\n\x01\x02");
    vela_test::WriteWholeFile(dir.File("text.pgm"), "P2\n1 1\n255\n7\n");
    vela_test::WriteWholeFile(dir.File("huge.pgm"), "P5\n999999999999 1\n255\n");
    for (const char* name : {"short.pgm", "text.pgm", "huge.pgm", "missing.pgm"}) {
        EXPECT_FALSE(ReadPgm(dir.File(name), w, h, back, error)) << name;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(WritePgm16(dir.File("no/such/dir/x.pgm"), 3, 2, pixels.data(), error));
    EXPECT_NE(std::string::npos, error.find("cannot write"));
}

TEST(ImageWriter, ViewsMapDepthToGreyAndLabelsToColours) {
    const std::vector<uint16_t> depth = {0, 500, 2750, 5000, 9000};
    const std::vector<uint8_t> grey = DepthView(depth, 500, 5000);
    EXPECT_EQ(0, grey[0]);
    EXPECT_EQ(255, grey[1]);
    EXPECT_GT(grey[2], grey[3]);
    EXPECT_EQ(40, grey[4]);
    const std::vector<uint16_t> labels = {0, 1, 2, 0, 1};
    const std::vector<uint8_t> rgb = LabelView(labels, &grey);
    EXPECT_EQ(0, rgb[0]);
    EXPECT_NE(0, rgb[3] + rgb[4] + rgb[5]);
    EXPECT_EQ(rgb[3], rgb[12]);
    EXPECT_NE(std::vector<uint8_t>(rgb.begin() + 3, rgb.begin() + 6), std::vector<uint8_t>(rgb.begin() + 6, rgb.begin() + 9));
}

}  // namespace
