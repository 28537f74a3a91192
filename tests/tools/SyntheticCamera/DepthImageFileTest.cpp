#include <gtest/gtest.h>

#include <sys/stat.h>

#include "SceneRenderer/ImageWriter.h"
#include "SyntheticCamera/DepthImageFile.h"
#include "../SceneRenderer/UnreadableFiles.h"
#include "TempDir.h"

namespace {

using vela::synthetic::CheckDepthImageFile;
using vela::synthetic::DecodeDepthImage;
using vela::synthetic::DepthImage;
using vela::synthetic::ListDepthImages;
using vela::synthetic::ReadDepthImage;
using vela::synthetic::ReadDepthImageSize;

const std::string kData = VELA_SYNTHETIC_TEST_DATA;

// filters.png was made with another encoder (zlib at level 9, rows filtered
// with None, Sub, Up, Average, Paeth and None, the data split over two IDAT
// chunks, an ancillary text chunk); filters.pgm holds the same pixels.
TEST(SyntheticImageFile, PngWithEveryRowFilterMatchesItsPgm) {
    DepthImage png, pgm;
    std::string error;
    ASSERT_TRUE(ReadDepthImage(kData + "/filters.png", png, error)) << error;
    ASSERT_TRUE(ReadDepthImage(kData + "/filters.pgm", pgm, error)) << error;
    EXPECT_EQ(7, png.nWidth);
    EXPECT_EQ(6, png.nHeight);
    EXPECT_EQ(pgm.nWidth, png.nWidth);
    EXPECT_EQ(pgm.nHeight, png.nHeight);
    EXPECT_EQ(pgm.pixels, png.pixels);
    int width = 0, height = 0;
    ASSERT_TRUE(ReadDepthImageSize(kData + "/filters.png", width, height, error)) << error;
    EXPECT_EQ(7, width);
    EXPECT_EQ(6, height);
    ASSERT_TRUE(ReadDepthImageSize(kData + "/filters.pgm", width, height, error)) << error;
    EXPECT_EQ(6, height);
}

TEST(SyntheticImageFile, ReadsWhatTheSceneToolsWrite) {
    vela_test::TempDir dir;
    std::vector<uint16_t> pixels(33 * 17);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(i * 977u);
    std::string error;
    ASSERT_TRUE(vela::scene::WritePgm16(dir.File("a.pgm"), 33, 17, pixels.data(), error)) << error;
    ASSERT_TRUE(vela::scene::WritePngGray16(dir.File("b.png"), 33, 17, pixels.data(), error)) << error;
    for (const char* name : {"a.pgm", "b.png"}) {
        DepthImage image;
        ASSERT_TRUE(ReadDepthImage(dir.File(name), image, error)) << error;
        EXPECT_EQ(33, image.nWidth);
        EXPECT_EQ(17, image.nHeight);
        EXPECT_EQ(pixels, image.pixels) << name;
    }
}

TEST(SyntheticImageFile, RefusesWhatIsNotA16BitDepthImage) {
    vela_test::TempDir dir;
    std::string error;
    const uint8_t grey[4] = {1, 2, 3, 4};
    ASSERT_TRUE(vela::scene::WritePgm8(dir.File("grey8.pgm"), 2, 2, grey, error));
    ASSERT_TRUE(vela::scene::WritePngGray8(dir.File("grey8.png"), 2, 2, grey, error));
    const std::string png = vela_test::ReadWholeFile(kData + "/filters.png");
    std::string badCrc = png;
    badCrc[40] = static_cast<char>(badCrc[40] ^ 1);
    vela_test::WriteWholeFile(dir.File("crc.png"), badCrc);
    vela_test::WriteWholeFile(dir.File("short.png"), png.substr(0, png.size() - 30));
    const std::string pgm = vela_test::ReadWholeFile(kData + "/filters.pgm");
    vela_test::WriteWholeFile(dir.File("short.pgm"), pgm.substr(0, pgm.size() - 1));
    vela_test::WriteWholeFile(dir.File("text.pgm"), "P2\n2 2\n65535\n1 2 3 4\n");
    vela_test::WriteWholeFile(dir.File("huge.pgm"), "P5\n999999 999999\n65535\n");
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"missing.png", "cannot open"},
        {"grey8.pgm", "not a 16-bit PGM"},
        {"grey8.png", "not a 16-bit greyscale PNG"},
        {"crc.png", "bad CRC"},
        {"short.png", "truncated PNG"},
        {"short.pgm", "truncated PGM data"},
        {"text.pgm", "neither a binary PGM nor a PNG"},
        {"huge.pgm", "bad PGM size"},
    };
    for (const auto& c : cases) {
        DepthImage image;
        error.clear();
        EXPECT_FALSE(ReadDepthImage(dir.File(c.name), image, error)) << c.name;
        EXPECT_NE(std::string::npos, error.find(c.reason)) << c.name << ": " << error;
        EXPECT_NE(std::string::npos, error.find(c.name)) << error;
    }
}

TEST(SyntheticImageFile, DecodesFromMemoryAsFromAFile) {
    for (const char* name : {"filters.png", "filters.pgm"}) {
        const std::string bytes = vela_test::ReadWholeFile(kData + "/" + name);
        DepthImage fromMemory, fromFile;
        std::string error;
        ASSERT_TRUE(DecodeDepthImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), name, fromMemory,
                                     error))
            << error;
        ASSERT_TRUE(ReadDepthImage(kData + "/" + name, fromFile, error)) << error;
        EXPECT_EQ(fromFile.pixels, fromMemory.pixels);
        EXPECT_FALSE(DecodeDepthImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() / 2, "half", fromMemory,
                                      error));
        EXPECT_EQ(0u, error.find("half: truncated")) << error;
    }
}

// The check on opening a folder: whole files, without inflating the data.
TEST(SyntheticImageFile, CheckFindsTruncatedFilesFromTheirHeaderAndSize) {
    vela_test::TempDir dir;
    const std::string png = vela_test::ReadWholeFile(kData + "/filters.png");
    const std::string pgm = vela_test::ReadWholeFile(kData + "/filters.pgm");
    vela_test::WriteWholeFile(dir.File("short.png"), png.substr(0, png.size() - 13));
    vela_test::WriteWholeFile(dir.File("short.pgm"), pgm.substr(0, pgm.size() - 1));
    vela_test::WriteWholeFile(dir.File("good.png"), png);
    int width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(CheckDepthImageFile(dir.File("good.png"), width, height, error)) << error;
    EXPECT_EQ(7, width);
    EXPECT_EQ(6, height);
    EXPECT_FALSE(CheckDepthImageFile(dir.File("short.png"), width, height, error));
    EXPECT_NE(std::string::npos, error.find("short.png: truncated PNG")) << error;
    EXPECT_FALSE(CheckDepthImageFile(dir.File("short.pgm"), width, height, error));
    EXPECT_NE(std::string::npos, error.find("short.pgm: truncated PGM data")) << error;
}

TEST(SyntheticImageFile, ReadsRegularFilesOnlyAndWithinABound) {
    vela_test::TempDir dir;
    for (const auto& file : vela_test::MakeUnreadableFiles(dir, ".png", off_t(200) << 20)) {
        DepthImage image;
        int width = 0, height = 0;
        std::string error;
        EXPECT_FALSE(ReadDepthImage(file.path, image, error)) << file.path;
        EXPECT_NE(std::string::npos, error.find(file.path + ": " + file.reason)) << error;
        EXPECT_FALSE(CheckDepthImageFile(file.path, width, height, error)) << file.path;
        EXPECT_NE(std::string::npos, error.find(file.reason)) << error;
        if (file.reason == "not a regular file") {
            EXPECT_FALSE(ReadDepthImageSize(file.path, width, height, error)) << file.path;
            EXPECT_NE(std::string::npos, error.find(file.reason)) << error;
        }
    }
}

TEST(SyntheticImageFile, ListsImagesInNameOrder) {
    vela_test::TempDir dir;
    for (const char* name : {"b.png", "a.PGM", "c.txt", "10.pgm", ".hidden.png"}) {
        vela_test::WriteWholeFile(dir.File(name), "x");
    }
    mkdir(dir.File("d.png").c_str(), 0700);
    std::vector<std::string> paths;
    std::string error;
    ASSERT_TRUE(ListDepthImages(dir.Path(), paths, error)) << error;
    EXPECT_EQ((std::vector<std::string>{dir.File("10.pgm"), dir.File("a.PGM"), dir.File("b.png")}),
              paths);

    vela_test::TempDir empty;
    EXPECT_FALSE(ListDepthImages(empty.Path(), paths, error));
    EXPECT_NE(std::string::npos, error.find("no .pgm or .png files"));
    EXPECT_FALSE(ListDepthImages(empty.File("nowhere"), paths, error));
    EXPECT_NE(std::string::npos, error.find("cannot read the folder"));
}

}  // namespace
