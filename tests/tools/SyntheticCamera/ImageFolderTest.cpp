// A folder of depth images replayed through OpenNI2 like a camera.

#include <PS1080.h>
#include <gtest/gtest.h>

#include <atomic>

#include "OpenNI2TestSupport.h"
#include "SceneRenderer/ImageWriter.h"
#include "SyntheticCamera/DeviceUri.h"
#include "TempDir.h"

namespace {

using vela_test::GetStreamProperty;
using vela_test::Pixels;
using vela_test::ReadFrame;

using SyntheticImageFolder = vela_test::OpenNI2Test;

constexpr int kWidth = 160, kHeight = 120;

std::vector<uint16_t> Ramp(int seed) {
    std::vector<uint16_t> image(kWidth * kHeight);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint16_t>((i * 37u + seed * 1000u) % 12000u);
    return image;
}

std::vector<uint16_t> AsDelivered(const std::vector<uint16_t>& image, bool mirror) {
    std::vector<uint16_t> out(image.size());
    for (int r = 0; r < kHeight; ++r) {
        for (int c = 0; c < kWidth; ++c) {
            const uint16_t z = image[r * kWidth + (mirror ? kWidth - 1 - c : c)];
            out[r * kWidth + c] = z <= 10000 ? z : 0;
        }
    }
    return out;
}

class ImageFolderFiles {
public:
    ImageFolderFiles() {
        std::string error;
        // Name order, not format or creation order, decides.
        EXPECT_TRUE(vela::scene::WritePgm16(m_dir.File("frame_10.pgm"), kWidth, kHeight, Ramp(3).data(), error));
        EXPECT_TRUE(vela::scene::WritePngGray16(m_dir.File("frame_02.png"), kWidth, kHeight, Ramp(2).data(), error));
        EXPECT_TRUE(vela::scene::WritePgm16(m_dir.File("frame_01.pgm"), kWidth, kHeight, Ramp(1).data(), error));
        vela_test::WriteWholeFile(m_dir.File("notes.txt"), "not an image");
    }
    std::string Uri(const std::string& options = "") const {
        return "synthetic://images?dir=" + vela::synthetic::EncodeUriValue(m_dir.Path()) + options;
    }
    const vela_test::TempDir& Dir() const { return m_dir; }

private:
    vela_test::TempDir m_dir;
};

TEST_F(SyntheticImageFolder, PlaysTheImagesInNameOrderThenHoldsTheLast) {
    ImageFolderFiles files;
    for (const bool mirror : {true, false}) {
        SCOPED_TRACE(mirror ? "mirrored" : "unmirrored");
        OniDeviceHandle device = Open(files.Uri(mirror ? "" : "&mirror=off"));
        ASSERT_NE(nullptr, device);
        const OniSensorInfo* sensor = oniDeviceGetSensorInfo(device, ONI_SENSOR_DEPTH);
        ASSERT_NE(nullptr, sensor);
        ASSERT_EQ(1, sensor->numSupportedVideoModes);
        EXPECT_EQ(kWidth, sensor->pSupportedVideoModes[0].resolutionX);
        EXPECT_EQ(kHeight, sensor->pSupportedVideoModes[0].resolutionY);
        OniStreamHandle stream = CreateDepthStream(device);
        ASSERT_NE(nullptr, stream);
        ASSERT_EQ(ONI_STATUS_OK, oniStreamStart(stream));
        uint64_t zpd = 0;
        EXPECT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, XN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE, zpd));
        EXPECT_EQ(120u, zpd);
        for (int n = 1; n <= 4; ++n) {
            OniFrame* frame = ReadFrame(stream);
            ASSERT_NE(nullptr, frame);
            EXPECT_EQ(n, frame->frameIndex);
            EXPECT_EQ(AsDelivered(Ramp(std::min(n, 3)), mirror), Pixels(frame)) << "frame " << n;
            oniFrameRelease(frame);
        }
    }
}

// A folder with a damaged image does not open: a recording of it would
// pass frames without depth for an empty scene.
TEST_F(SyntheticImageFolder, RefusesAFolderWithATruncatedOrCorruptImage) {
    const struct {
        const char* name;
        std::string content;
        const char* reason;
    } cases[] = {
        {"frame_02.png", "", "truncated PNG"},  // half of a good file, below
        {"frame_02.png", "\x89PNG\r\n\x1a\n", "truncated or bad PNG header"},
        {"frame_10.pgm", "P5\n160 120\n65535\n\x01\x02", "truncated PGM data"},
        {"frame_10.pgm", "P5\n160 120\n255\n", "not a 16-bit PGM"},
    };
    for (const auto& c : cases) {
        ImageFolderFiles files;
        std::string content = c.content;
        if (content.empty()) {
            const std::string good = vela_test::ReadWholeFile(files.Dir().File(c.name));
            content = good.substr(0, good.size() / 2);
        }
        vela_test::WriteWholeFile(files.Dir().File(c.name), content);
        OniDeviceHandle device = nullptr;
        EXPECT_NE(ONI_STATUS_OK, oniDeviceOpen(files.Uri().c_str(), &device)) << c.reason;
        const std::string error = oniGetExtendedError();
        EXPECT_NE(std::string::npos, error.find(std::string(c.name) + ": " + c.reason)) << error;
    }
}

std::atomic<int> g_errorStates{0};

void CountErrorStates(const OniDeviceInfo*, OniDeviceState state, void*) {
    if (state == ONI_DEVICE_STATE_ERROR) ++g_errorStates;
}

// An image that goes bad after opening ends the stream: no frame without
// depth, and the application hears of it through its device-state callback.
TEST_F(SyntheticImageFolder, AnImageThatGoesBadLaterEndsTheStreamWithAnError) {
    ImageFolderFiles files;
    g_errorStates = 0;
    OniDeviceCallbacks callbacks{nullptr, nullptr, &CountErrorStates};
    OniCallbackHandle handle = nullptr;
    ASSERT_EQ(ONI_STATUS_OK, oniRegisterDeviceCallbacks(&callbacks, nullptr, &handle));
    OniStreamHandle stream = OpenStream(files.Uri());
    ASSERT_NE(nullptr, stream);
    OniFrame* frame = ReadFrame(stream);
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(AsDelivered(Ramp(1), true), Pixels(frame));
    oniFrameRelease(frame);

    const std::string png = vela_test::ReadWholeFile(files.Dir().File("frame_02.png"));
    vela_test::WriteWholeFile(files.Dir().File("frame_02.png"), png.substr(0, png.size() / 2));
    for (int attempt = 0; attempt < 3; ++attempt) {
        frame = ReadFrame(stream, 200);
        EXPECT_EQ(nullptr, frame) << "attempt " << attempt;
        if (frame) oniFrameRelease(frame);
    }
    EXPECT_EQ(1, g_errorStates.load());
    oniUnregisterDeviceCallbacks(handle);
}

TEST_F(SyntheticImageFolder, RefusesFoldersItCannotPlay) {
    ImageFolderFiles files;
    OniDeviceHandle device = nullptr;
    EXPECT_NE(ONI_STATUS_OK, oniDeviceOpen(files.Uri("&resolution=320x240").c_str(), &device));
    EXPECT_NE(std::string::npos, std::string(oniGetExtendedError()).find("cannot deliver 320x240"));

    std::string error;
    const std::vector<uint16_t> small(8 * 6, 1000);
    ASSERT_TRUE(vela::scene::WritePgm16(files.Dir().File("frame_03.pgm"), 8, 6, small.data(), error));
    EXPECT_NE(ONI_STATUS_OK, oniDeviceOpen(files.Uri().c_str(), &device));
    EXPECT_NE(std::string::npos, std::string(oniGetExtendedError()).find("frame_03.pgm: 8x6 differs"));

    vela_test::TempDir empty;
    EXPECT_NE(ONI_STATUS_OK, oniDeviceOpen(("synthetic://images?dir=" + empty.Path()).c_str(), &device));
    EXPECT_NE(std::string::npos, std::string(oniGetExtendedError()).find("no .pgm or .png files"));
}

}  // namespace
