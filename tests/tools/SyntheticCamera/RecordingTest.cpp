// Recordings made with vela-record-oni through OpenNI2's recorder, played
// back through OpenNI2's file driver. The player is run one frame per read
// (speed -1) without repeat, and the end is taken from its end-of-file
// callback: a blocking read past the end would never return, and its seek
// command hangs, so neither is used.

#include <PS1080.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "OpenNI2TestSupport.h"
#include "SceneRenderer/ImageWriter.h"
#include "SceneRenderer/SceneRenderer.h"
#include "TempDir.h"

namespace {

using vela_test::GetStreamProperty;
using vela_test::Pixels;
using vela_test::ReadFrame;

using SyntheticRecording = vela_test::OpenNI2Test;

const char kScene[] =
    "camera resolution=320x240\n"
    "wall z=3800\n"
    "person height=1750\n"
    "  at 0 pos=-300,2600\n"
    "  at 1 pos=300,2400\n";

int RunRecorder(const std::string& arguments, const vela_test::TempDir& dir) {
    const std::string command = std::string(VELA_RECORD_ONI_EXE) + " " + arguments + " >" + dir.File("stdout.txt") +
                                " 2>" + dir.File("stderr.txt");
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::atomic<int> g_endOfFile{0};

void OnDeviceState(const OniDeviceInfo*, OniDeviceState state, void*) {
    if (state == ONI_DEVICE_STATE_EOF) g_endOfFile = 1;
}

TEST_F(SyntheticRecording, PlaysBackTheRenderedDepthAndTheSensorData) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("walk.scene"), kScene);
    const int frames = 4;
    ASSERT_EQ(0, RunRecorder("--frames 4 --seed 9 " + dir.File("walk.scene") + " " + dir.File("walk.oni"), dir))
        << vela_test::ReadWholeFile(dir.File("stderr.txt"));
    EXPECT_NE(std::string::npos, vela_test::ReadWholeFile(dir.File("stdout.txt")).find("recorded 4 frames"));

    OniDeviceCallbacks callbacks{nullptr, nullptr, &OnDeviceState};
    OniCallbackHandle callbackHandle = nullptr;
    ASSERT_EQ(ONI_STATUS_OK, oniRegisterDeviceCallbacks(&callbacks, nullptr, &callbackHandle));
    OniDeviceHandle device = Open(dir.File("walk.oni"));
    ASSERT_NE(nullptr, device);
    OniDeviceInfo info;
    ASSERT_EQ(ONI_STATUS_OK, oniDeviceGetInfo(device, &info));
    EXPECT_STREQ("oni File", info.name);
    EXPECT_TRUE(oniDeviceIsPropertySupported(device, ONI_DEVICE_PROPERTY_PLAYBACK_SPEED));
    EXPECT_TRUE(oniDeviceIsCommandSupported(device, ONI_DEVICE_COMMAND_SEEK));
    const float speed = -1.0f;
    const OniBool repeat = FALSE;
    ASSERT_EQ(ONI_STATUS_OK, oniDeviceSetProperty(device, ONI_DEVICE_PROPERTY_PLAYBACK_SPEED, &speed, sizeof speed));
    ASSERT_EQ(ONI_STATUS_OK,
              oniDeviceSetProperty(device, ONI_DEVICE_PROPERTY_PLAYBACK_REPEAT_ENABLED, &repeat, sizeof repeat));
    OniStreamHandle stream = CreateDepthStream(device);
    ASSERT_NE(nullptr, stream);

    int count = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_NUMBER_OF_FRAMES, count));
    EXPECT_EQ(frames, count);
    // The player answers reads although it calls these properties unsupported.
    OniVideoMode mode;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode));
    EXPECT_EQ(ONI_PIXEL_FORMAT_DEPTH_1_MM, mode.pixelFormat);
    EXPECT_EQ(320, mode.resolutionX);
    int maxValue = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, maxValue));
    EXPECT_EQ(10000, maxValue);
    OniBool mirror = FALSE;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MIRRORING, mirror));
    EXPECT_EQ(TRUE, mirror);

    vela::scene::Scene scene;
    std::string error;
    ASSERT_TRUE(vela::scene::ParseScene(kScene, dir.Path(), scene, error)) << error;
    scene.sensor.nSeed = 9;
    vela::scene::SceneRenderer renderer(scene);
    float hfov = 0, vfov = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, hfov));
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, vfov));
    EXPECT_EQ(renderer.Camera().HorizontalFov(), hfov);
    EXPECT_EQ(static_cast<float>(renderer.Camera().VerticalFov()), vfov);

    const vela::scene::SensorParameters& p = renderer.Sensor().Parameters();
    const struct {
        int id;
        uint64_t value;
    } integers[] = {
        {XN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE, p.nZeroPlaneDistance}, {XN_STREAM_PROPERTY_MAX_SHIFT, p.nDeviceMaxShiftValue},
        {XN_STREAM_PROPERTY_CONST_SHIFT, p.nConstShift},                {XN_STREAM_PROPERTY_PARAM_COEFF, p.nParamCoeff},
        {XN_STREAM_PROPERTY_SHIFT_SCALE, p.nShiftScale},
    };
    for (const auto& entry : integers) {
        uint64_t value = 0;
        EXPECT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, entry.id, value)) << std::hex << entry.id;
        EXPECT_EQ(entry.value, value) << std::hex << entry.id;
    }
    double zpps = 0, lddis = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, XN_STREAM_PROPERTY_ZERO_PLANE_PIXEL_SIZE, zpps));
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, XN_STREAM_PROPERTY_EMITTER_DCMOS_DISTANCE, lddis));
    EXPECT_EQ(p.dZeroPlanePixelSize, zpps);
    EXPECT_EQ(p.dEmitterDCmosDistance, lddis);
    for (const auto& [id, table] : {std::make_pair(XN_STREAM_PROPERTY_S2D_TABLE, renderer.Sensor().ShiftToDepthTable()),
                                    std::make_pair(XN_STREAM_PROPERTY_D2S_TABLE, renderer.Sensor().DepthToShiftTable())}) {
        // Asked with room to spare, the player answers with the table's size.
        std::vector<uint16_t> buffer(table.size() + 100, 0);
        int size = static_cast<int>(buffer.size() * 2);
        ASSERT_EQ(ONI_STATUS_OK, oniStreamGetProperty(stream, id, buffer.data(), &size));
        EXPECT_EQ(static_cast<int>(table.size() * 2), size);
        buffer.resize(table.size());
        EXPECT_EQ(table, buffer);
    }

    // The player numbers frames from 1 and starts time stamps at 0.
    ASSERT_EQ(ONI_STATUS_OK, oniStreamStart(stream));
    std::vector<uint16_t> expected(320 * 240);
    for (int n = 1; n <= frames; ++n) {
        OniFrame* frame = ReadFrame(stream);
        ASSERT_NE(nullptr, frame) << "frame " << n;
        EXPECT_EQ(n, frame->frameIndex);
        EXPECT_EQ(uint64_t(n - 1) * 33333u, frame->timestamp);
        renderer.RenderDepth(n - 1, expected.data());
        // OpenNI2's lossless depth codec can garble the last few pixels of
        // a frame that ends in a run of equal values; the rest must be the
        // rendered depth exactly.
        std::vector<uint16_t> played = Pixels(frame);
        ASSERT_EQ(expected.size(), played.size());
        constexpr size_t kCodecTail = 8;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end() - kCodecTail, played.begin())) << "frame " << n;
        oniFrameRelease(frame);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!g_endOfFile && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(g_endOfFile) << "no end-of-file callback";
    int ready = -1;
    EXPECT_EQ(ONI_STATUS_TIME_OUT, oniWaitForAnyStream(&stream, 1, &ready, 100));
    oniUnregisterDeviceCallbacks(callbackHandle);
}

TEST(SyntheticRecordCommand, FailsClearly) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("walk.scene"), kScene);
    const struct {
        std::string arguments;
        int status;
        const char* message;
    } cases[] = {
        {dir.File("missing.scene") + " " + dir.File("a.oni"), 1, "missing.scene"},
        {"synthetic://default?resolution=1x1 " + dir.File("a.oni"), 1, "resolution must be"},
        {dir.File("walk.scene") + " " + dir.File("no/such/dir/a.oni"), 1, "cannot create"},
        {"--frames 0 default " + dir.File("a.oni"), 2, "--frames needs a positive count"},
        {"--bogus default " + dir.File("a.oni"), 2, "unknown option"},
        {"default", 2, "usage:"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.status, RunRecorder(c.arguments, dir)) << c.arguments;
        const std::string stderrText = vela_test::ReadWholeFile(dir.File("stderr.txt"));
        EXPECT_NE(std::string::npos, stderrText.find(c.message)) << c.arguments << ": " << stderrText;
    }
    // A folder is no scene file.
    EXPECT_EQ(1, RunRecorder(dir.Path() + " " + dir.File("a.oni"), dir));
    EXPECT_NE(std::string::npos, vela_test::ReadWholeFile(dir.File("stderr.txt")).find("not a regular file"));
    // The recorder command takes the device's options too.
    ASSERT_EQ(0, RunRecorder("--frames 2 --resolution 640x480 --mirror off default " + dir.File("vga.oni"), dir))
        << vela_test::ReadWholeFile(dir.File("stderr.txt"));
    EXPECT_NE(std::string::npos,
              vela_test::ReadWholeFile(dir.File("stdout.txt")).find("synthetic://default?resolution=640x480&mirror=off"));
}

// The PNG with its image data replaced by bytes that do not inflate, every
// chunk's CRC still good: the folder opens, and the image fails only when
// its frame is made.
std::string WithDataThatDoesNotInflate(std::string png) {
    const auto get32 = [&](size_t at) {
        return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
               uint32_t(uint8_t(png[at + 2])) << 8 | uint32_t(uint8_t(png[at + 3]));
    };
    for (size_t at = 8; at + 12 <= png.size(); at += 12 + get32(at)) {
        const uint32_t length = get32(at);
        if (png.compare(at + 4, 4, "IDAT") != 0) continue;
        std::fill(png.begin() + at + 8, png.begin() + at + 8 + length, '\xff');
        const uint32_t crc =
            uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(png.data() + at + 4), length + 4));
        for (int i = 0; i < 4; ++i) png[at + 8 + length + i] = char(crc >> (24 - 8 * i));
    }
    return png;
}

// The device ends the stream on an image it cannot decode: the recording
// stops there with an error instead of waiting for frames that never come.
TEST(SyntheticRecordCommand, ADeviceErrorMidRecordingFailsTheRecording) {
    vela_test::TempDir dir;
    vela_test::TempDir images;
    const std::vector<uint16_t> pixels(16 * 12, 1500);
    std::string error;
    ASSERT_TRUE(vela::scene::WritePgm16(images.File("a.pgm"), 16, 12, pixels.data(), error)) << error;
    ASSERT_TRUE(vela::scene::WritePngGray16(images.File("b.png"), 16, 12, pixels.data(), error)) << error;
    vela_test::WriteWholeFile(images.File("b.png"), WithDataThatDoesNotInflate(vela_test::ReadWholeFile(images.File("b.png"))));

    EXPECT_EQ(1, RunRecorder("--frames 3 synthetic://images?dir=" + images.Path() + " " + dir.File("bad.oni"), dir));
    const std::string stderrText = vela_test::ReadWholeFile(dir.File("stderr.txt"));
    EXPECT_NE(std::string::npos, stderrText.find("no frame 2: the device reported an error")) << stderrText;
    EXPECT_NE(std::string::npos, stderrText.find("b.png: corrupt or truncated PNG image data")) << stderrText;
    EXPECT_NE(std::string::npos, stderrText.find("bad.oni is incomplete")) << stderrText;
}

// An existing file is replaced only when asked, and a recording never
// replaces what it reads.
TEST(SyntheticRecordCommand, ProtectsExistingFilesAndItsInputs) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("walk.scene"), std::string(kScene) + "  bvh clip.bvh loop=on\n");
    vela_test::WriteWholeFile(dir.File("clip.bvh"), vela_test::ReadWholeFile(std::string(VELA_SCENE_TEST_DATA) + "/simple.bvh"));
    vela_test::WriteWholeFile(dir.File("old.oni"), "keep me");
    const std::string scene = vela_test::ReadWholeFile(dir.File("walk.scene"));
    const struct {
        std::string arguments;
        std::string message;
    } refused[] = {
        {dir.File("walk.scene") + " " + dir.File("old.oni"), "old.oni exists (--overwrite replaces it)"},
        {"--overwrite " + dir.File("walk.scene") + " " + dir.File("walk.scene"), "walk.scene is one of the recording's inputs"},
        {"--overwrite " + dir.File("walk.scene") + " " + dir.File("clip.bvh"), "clip.bvh is one of the recording's inputs"},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(1, RunRecorder("--frames 1 " + c.arguments, dir)) << c.arguments;
        EXPECT_NE(std::string::npos, vela_test::ReadWholeFile(dir.File("stderr.txt")).find(c.message)) << c.arguments;
    }
    EXPECT_EQ("keep me", vela_test::ReadWholeFile(dir.File("old.oni")));
    EXPECT_EQ(scene, vela_test::ReadWholeFile(dir.File("walk.scene")));

    // An image of the folder being recorded.
    vela_test::TempDir images;
    const std::vector<uint16_t> pixels(16 * 12, 1500);
    std::string error;
    ASSERT_TRUE(vela::scene::WritePgm16(images.File("a.pgm"), 16, 12, pixels.data(), error));
    const std::string image = vela_test::ReadWholeFile(images.File("a.pgm"));
    EXPECT_EQ(1, RunRecorder("--overwrite --frames 1 synthetic://images?dir=" + images.Path() + " " + images.File("a.pgm"), dir));
    EXPECT_NE(std::string::npos, vela_test::ReadWholeFile(dir.File("stderr.txt")).find("a.pgm is one of the recording's inputs"));
    EXPECT_EQ(image, vela_test::ReadWholeFile(images.File("a.pgm")));

    ASSERT_EQ(0, RunRecorder("--overwrite --frames 1 " + dir.File("walk.scene") + " " + dir.File("old.oni"), dir))
        << vela_test::ReadWholeFile(dir.File("stderr.txt"));
    EXPECT_NE("keep me", vela_test::ReadWholeFile(dir.File("old.oni")));
}

}  // namespace
