// The synthetic camera through OpenNI2's C API, as an application sees it.

#include <PS1080.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "OpenNI2TestSupport.h"
#include "SceneRenderer/SceneRenderer.h"
#include "SyntheticCamera/DeviceUri.h"
#include "TempDir.h"

namespace {

using vela::scene::DefaultScene;
using vela::scene::DepthCamera;
using vela::scene::Scene;
using vela::scene::SceneRenderer;
using vela_test::GetStreamProperty;
using vela_test::Pixels;
using vela_test::ReadFrame;
using vela_test::SetStreamProperty;

using SyntheticCamera = vela_test::OpenNI2Test;

// What the device must deliver for camera frame `index` (from 0).
std::vector<uint16_t> Rendered(const Scene& scene, int index, int width, int height, bool mirror) {
    SceneRenderer renderer(scene);
    EXPECT_TRUE(renderer.SetResolution(width, height));
    renderer.SetMirror(mirror);
    std::vector<uint16_t> depth(size_t(width) * height);
    renderer.RenderDepth(index, depth.data());
    return depth;
}

std::vector<uint16_t> Window(const std::vector<uint16_t>& image, int width, int x0, int y0, int w, int h) {
    std::vector<uint16_t> out;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) out.push_back(image[size_t(y0 + r) * width + x0 + c]);
    }
    return out;
}

// A person off centre beside a box: mirroring changes every frame.
const char kOffCentreScene[] =
    "camera resolution=320x240\n"
    "wall z=4000\n"
    "box center=-900,300,3000\n"
    "person height=1700\n"
    "  at 0 pos=500,2500\n";

bool SameMode(const OniVideoMode& mode, int format, int width, int height) {
    return mode.pixelFormat == format && mode.resolutionX == width && mode.resolutionY == height && mode.fps == 30;
}

TEST_F(SyntheticCamera, ListsOnlyItsDefaultDeviceAndOpensItAsAnyDevice) {
    OniDeviceInfo* list = nullptr;
    int count = 0;
    ASSERT_EQ(ONI_STATUS_OK, oniGetDeviceList(&list, &count));
    // The harness loads no hardware driver, and the file player lists nothing.
    ASSERT_EQ(1, count);
    EXPECT_STREQ(vela::synthetic::kDefaultDeviceUri, list[0].uri);
    EXPECT_STREQ("KV4410", list[0].name);
    oniReleaseDeviceList(list);

    OniDeviceHandle device = Open("");
    ASSERT_NE(nullptr, device);
    OniDeviceInfo info;
    ASSERT_EQ(ONI_STATUS_OK, oniDeviceGetInfo(device, &info));
    EXPECT_STREQ("KV4410", info.name);
    EXPECT_STREQ("synthetic://default", info.uri);

    // Not a recording: no playback speed, no repeat, no seek.
    EXPECT_FALSE(oniDeviceIsPropertySupported(device, ONI_DEVICE_PROPERTY_PLAYBACK_SPEED));
    EXPECT_FALSE(oniDeviceIsPropertySupported(device, ONI_DEVICE_PROPERTY_PLAYBACK_REPEAT_ENABLED));
    EXPECT_FALSE(oniDeviceIsCommandSupported(device, ONI_DEVICE_COMMAND_SEEK));
    float speed = 1.0f;
    EXPECT_NE(ONI_STATUS_OK, oniDeviceSetProperty(device, ONI_DEVICE_PROPERTY_PLAYBACK_SPEED, &speed, sizeof speed));

    const OniSensorInfo* sensor = oniDeviceGetSensorInfo(device, ONI_SENSOR_DEPTH);
    ASSERT_NE(nullptr, sensor);
    ASSERT_EQ(2, sensor->numSupportedVideoModes);
    EXPECT_TRUE(SameMode(sensor->pSupportedVideoModes[0], ONI_PIXEL_FORMAT_DEPTH_1_MM, 320, 240));
    EXPECT_TRUE(SameMode(sensor->pSupportedVideoModes[1], ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480));
    EXPECT_EQ(nullptr, oniDeviceGetSensorInfo(device, ONI_SENSOR_COLOR));
    OniStreamHandle colour = nullptr;
    EXPECT_NE(ONI_STATUS_OK, oniDeviceCreateStream(device, ONI_SENSOR_COLOR, &colour));
}

TEST_F(SyntheticCamera, FramesAreTheRenderedSceneNumberedFromOne) {
    OniStreamHandle stream = OpenStream(vela::synthetic::kDefaultDeviceUri);
    ASSERT_NE(nullptr, stream);
    const Scene scene = DefaultScene();
    // A blocking read with nothing pending asks the driver for a frame.
    for (int n = 1; n <= 3; ++n) {
        OniFrame* frame = nullptr;
        ASSERT_EQ(ONI_STATUS_OK, oniStreamReadFrame(stream, &frame));
        EXPECT_EQ(n, frame->frameIndex);
        EXPECT_EQ(uint64_t(n - 1) * 33333u, frame->timestamp);
        EXPECT_EQ(ONI_SENSOR_DEPTH, frame->sensorType);
        EXPECT_EQ(320, frame->width);
        EXPECT_EQ(240, frame->height);
        EXPECT_EQ(640, frame->stride);
        EXPECT_EQ(320 * 240 * 2, frame->dataSize);
        EXPECT_TRUE(SameMode(frame->videoMode, ONI_PIXEL_FORMAT_DEPTH_1_MM, 320, 240));
        EXPECT_FALSE(frame->croppingEnabled);
        EXPECT_EQ(Rendered(scene, n - 1, 320, 240, true), Pixels(frame)) << "frame " << n;
        oniFrameRelease(frame);
    }
}

// OpenNI2 asks the driver on a read or wait only when no frame is pending,
// so no access pattern skips or repeats a frame.
TEST_F(SyntheticCamera, WaitsAndReadsInAnyPatternSeeEveryFrameOnce) {
    OniStreamHandle stream = OpenStream(vela::synthetic::kDefaultDeviceUri);
    ASSERT_NE(nullptr, stream);
    int expected = 1;
    auto readNext = [&](const char* pattern) {
        OniFrame* frame = nullptr;
        ASSERT_EQ(ONI_STATUS_OK, oniStreamReadFrame(stream, &frame));
        EXPECT_EQ(expected++, frame->frameIndex) << pattern;
        oniFrameRelease(frame);
    };
    int ready = -1;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(ONI_STATUS_OK, oniWaitForAnyStream(&stream, 1, &ready, vela_test::kFrameTimeoutMs));
        readNext("wait, read");
    }
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(ONI_STATUS_OK, oniWaitForAnyStream(&stream, 1, &ready, vela_test::kFrameTimeoutMs));
        ASSERT_EQ(ONI_STATUS_OK, oniWaitForAnyStream(&stream, 1, &ready, 0));
        readNext("wait, wait, read");
    }
    for (int i = 0; i < 2; ++i) readNext("read");
}

struct CallbackLog {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> indices;
    bool readInCallback = false;

    static void OnNewFrame(OniStreamHandle stream, void* cookie) {
        auto* log = static_cast<CallbackLog*>(cookie);
        int index = 0;
        if (log->readInCallback) {
            // Never a blocking read here: the stream may stop meanwhile, and
            // unregistering waits for this call to end.
            OniFrame* frame = nullptr;
            int ready = -1;
            if (oniWaitForAnyStream(&stream, 1, &ready, 0) == ONI_STATUS_OK &&
                oniStreamReadFrame(stream, &frame) == ONI_STATUS_OK) {
                index = frame->frameIndex;
                oniFrameRelease(frame);
            }
        }
        std::lock_guard<std::mutex> guard(log->lock);
        log->indices.push_back(index);
        log->changed.notify_all();
    }

    bool WaitFor(size_t count, int timeoutMs = vela_test::kFrameTimeoutMs) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                [&] { return indices.size() >= count; });
    }
};

// OpenNI2 calls the listeners on a thread of its own and merges the calls for
// frames that arrive before it gets round to them, so the reader here waits
// for each call before asking for the next frame.
TEST_F(SyntheticCamera, NewFrameCallbackFiresForEachFrameRead) {
    OniDeviceHandle device = Open(vela::synthetic::kDefaultDeviceUri);
    ASSERT_NE(nullptr, device);
    OniStreamHandle stream = CreateDepthStream(device);
    ASSERT_NE(nullptr, stream);
    CallbackLog log;
    OniCallbackHandle handle = nullptr;
    ASSERT_EQ(ONI_STATUS_OK, oniStreamRegisterNewFrameCallback(stream, &CallbackLog::OnNewFrame, &log, &handle));
    ASSERT_EQ(ONI_STATUS_OK, oniStreamStart(stream));
    for (int n = 1; n <= 4; ++n) {
        OniFrame* frame = ReadFrame(stream);
        ASSERT_NE(nullptr, frame);
        EXPECT_EQ(n, frame->frameIndex);
        oniFrameRelease(frame);
        ASSERT_TRUE(log.WaitFor(n)) << "no call for frame " << n;
    }
    oniStreamUnregisterNewFrameCallback(stream, handle);
}

// Callback-only consumers need frames nobody asks for.
TEST_F(SyntheticCamera, PacedDevicesFeedCallbackOnlyConsumers) {
    for (const char* pacing : {"free", "realtime"}) {
        SCOPED_TRACE(pacing);
        OniDeviceHandle device = Open(std::string("synthetic://default?pacing=") + pacing);
        ASSERT_NE(nullptr, device);
        OniStreamHandle stream = CreateDepthStream(device);
        ASSERT_NE(nullptr, stream);
        CallbackLog log;
        log.readInCallback = true;
        OniCallbackHandle handle = nullptr;
        ASSERT_EQ(ONI_STATUS_OK, oniStreamRegisterNewFrameCallback(stream, &CallbackLog::OnNewFrame, &log, &handle));
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(ONI_STATUS_OK, oniStreamStart(stream));
        EXPECT_TRUE(log.WaitFor(5));
        const auto elapsed = std::chrono::steady_clock::now() - start;
        oniStreamUnregisterNewFrameCallback(stream, handle);
        oniStreamStop(stream);
        std::lock_guard<std::mutex> guard(log.lock);
        ASSERT_GE(log.indices.size(), 5u);
        // Frames read in the callbacks come in order; a call may find its
        // frame already taken (0).
        std::vector<int> read;
        for (const int index : log.indices) {
            if (index != 0) read.push_back(index);
        }
        EXPECT_GE(read.size(), 3u);
        for (size_t i = 1; i < read.size(); ++i) EXPECT_GT(read[i], read[i - 1]);
        if (std::strcmp(pacing, "realtime") == 0) {
            // Five frames at 30 fps span at least four periods.
            EXPECT_GE(elapsed, std::chrono::microseconds(4 * 33333 - 2000));
        }
    }
}

TEST_F(SyntheticCamera, ServesTheStreamPropertiesOfADepthCamera) {
    OniStreamHandle stream = OpenStream(vela::synthetic::kDefaultDeviceUri);
    ASSERT_NE(nullptr, stream);
    OniVideoMode mode;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode));
    EXPECT_TRUE(SameMode(mode, ONI_PIXEL_FORMAT_DEPTH_1_MM, 320, 240));
    OniCropping cropping{7, 7, 7, 7, 7};
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_CROPPING, cropping));
    EXPECT_EQ(0, cropping.enabled);
    float hfov = 0, vfov = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, hfov));
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, vfov));
    EXPECT_EQ(DepthCamera::kDefaultHorizontalFov, hfov);
    EXPECT_EQ(static_cast<float>(2.0 * std::atan(0.75 * std::tan(hfov / 2.0))), vfov);
    int maxValue = 0, minValue = -1, stride = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, maxValue));
    EXPECT_EQ(10000, maxValue);
    uint64_t maxValue8 = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, maxValue8));
    EXPECT_EQ(10000u, maxValue8);
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MIN_VALUE, minValue));
    EXPECT_EQ(0, minValue);
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_STRIDE, stride));
    EXPECT_EQ(640, stride);
    OniBool mirror = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MIRRORING, mirror));
    EXPECT_EQ(TRUE, mirror);
    for (int id : {0, 1, 2, 3, 4, 5, 6, 7}) EXPECT_TRUE(oniStreamIsPropertySupported(stream, id)) << id;
    EXPECT_FALSE(oniStreamIsPropertySupported(stream, ONI_STREAM_PROPERTY_NUMBER_OF_FRAMES));
    // Wrong sizes are refused, not half written.
    int16_t small = 0;
    EXPECT_NE(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MAX_VALUE, small));
    double wide = 0;
    EXPECT_NE(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, wide));
    float fov = 1.0f;
    EXPECT_NE(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, fov));
}

TEST_F(SyntheticCamera, VideoModeCroppingAndMirroringCanBeChanged) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("off.scene"), kOffCentreScene);
    Scene scene;
    std::string error;
    ASSERT_TRUE(vela::scene::LoadSceneFile(dir.File("off.scene"), scene, error)) << error;
    OniStreamHandle stream = OpenStream("synthetic://scene?file=" + dir.File("off.scene"));
    ASSERT_NE(nullptr, stream);

    OniVideoMode vga{ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480, 30};
    ASSERT_EQ(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, vga));
    OniFrame* frame = ReadFrame(stream);
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(640, frame->width);
    EXPECT_EQ(1280, frame->stride);
    EXPECT_EQ(Rendered(scene, 0, 640, 480, true), Pixels(frame));
    oniFrameRelease(frame);
    for (const OniVideoMode& bad : {OniVideoMode{ONI_PIXEL_FORMAT_DEPTH_1_MM, 1280, 1024, 30},
                                    OniVideoMode{ONI_PIXEL_FORMAT_DEPTH_100_UM, 640, 480, 30},
                                    OniVideoMode{ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480, 60}}) {
        EXPECT_NE(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, bad));
    }
    OniVideoMode mode;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode));
    EXPECT_TRUE(SameMode(mode, ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480));

    const OniCropping window{1, 100, 50, 200, 120};
    ASSERT_EQ(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_CROPPING, window));
    int stride = 0;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_STRIDE, stride));
    EXPECT_EQ(400, stride);
    frame = ReadFrame(stream);
    ASSERT_NE(nullptr, frame);
    EXPECT_TRUE(frame->croppingEnabled);
    EXPECT_EQ(100, frame->cropOriginX);
    EXPECT_EQ(50, frame->cropOriginY);
    EXPECT_EQ(200, frame->width);
    EXPECT_EQ(120, frame->height);
    EXPECT_EQ(400, frame->stride);
    EXPECT_TRUE(SameMode(frame->videoMode, ONI_PIXEL_FORMAT_DEPTH_1_MM, 640, 480));
    EXPECT_EQ(Window(Rendered(scene, 1, 640, 480, true), 640, 100, 50, 200, 120), Pixels(frame));
    oniFrameRelease(frame);
    for (const OniCropping& bad : {OniCropping{1, 500, 0, 200, 100}, OniCropping{1, -1, 0, 10, 10},
                                   OniCropping{1, 0, 0, 0, 10}, OniCropping{1, 0, 400, 10, 81}}) {
        EXPECT_NE(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_CROPPING, bad));
    }
    OniCropping cropping;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_CROPPING, cropping));
    EXPECT_EQ(200, cropping.width);
    // A new mode drops the window, which may not fit it.
    const OniVideoMode qvga{ONI_PIXEL_FORMAT_DEPTH_1_MM, 320, 240, 30};
    ASSERT_EQ(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, qvga));
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_CROPPING, cropping));
    EXPECT_EQ(0, cropping.enabled);

    const OniBool off = FALSE;
    ASSERT_EQ(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_MIRRORING, off));
    OniBool mirror = TRUE;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MIRRORING, mirror));
    EXPECT_EQ(FALSE, mirror);
    frame = ReadFrame(stream);
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(3, frame->frameIndex);
    EXPECT_EQ(Rendered(scene, 2, 320, 240, false), Pixels(frame));
    EXPECT_NE(Rendered(scene, 2, 320, 240, true), Pixels(frame));
    oniFrameRelease(frame);
}

TEST_F(SyntheticCamera, ServesTheFirstFamilySensorPropertiesById) {
    OniStreamHandle stream = OpenStream(vela::synthetic::kDefaultDeviceUri);
    ASSERT_NE(nullptr, stream);
    const struct {
        int id;
        uint64_t value;
    } integers[] = {
        {XN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE, 120}, {XN_STREAM_PROPERTY_MAX_SHIFT, 2047},
        {XN_STREAM_PROPERTY_CONST_SHIFT, 200},         {XN_STREAM_PROPERTY_PARAM_COEFF, 4},
        {XN_STREAM_PROPERTY_SHIFT_SCALE, 10},
    };
    for (const auto& p : integers) {
        uint64_t wide = 0xDEADBEEFDEADBEEFull;
        EXPECT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, p.id, wide)) << std::hex << p.id;
        EXPECT_EQ(p.value, wide) << std::hex << p.id;
        uint32_t narrow = 0xDEADBEEF;
        EXPECT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, p.id, narrow)) << std::hex << p.id;
        EXPECT_EQ(p.value, narrow) << std::hex << p.id;
        uint16_t other = 0;
        EXPECT_NE(ONI_STATUS_OK, GetStreamProperty(stream, p.id, other)) << std::hex << p.id;
        EXPECT_TRUE(oniStreamIsPropertySupported(stream, p.id));
    }
    const struct {
        int id;
        double value;
    } reals[] = {{XN_STREAM_PROPERTY_ZERO_PLANE_PIXEL_SIZE, 0.1042}, {XN_STREAM_PROPERTY_EMITTER_DCMOS_DISTANCE, 7.5}};
    for (const auto& p : reals) {
        double wide = 0;
        EXPECT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, p.id, wide));
        EXPECT_EQ(p.value, wide);
        float narrow = 0;
        EXPECT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, p.id, narrow));
        EXPECT_EQ(static_cast<float>(p.value), narrow);
    }

    const vela::scene::SensorModel sensor;
    const struct {
        int id;
        const std::vector<uint16_t>& table;
        int bytes;
    } tables[] = {{XN_STREAM_PROPERTY_S2D_TABLE, sensor.ShiftToDepthTable(), 2 * 2048},
                  {XN_STREAM_PROPERTY_D2S_TABLE, sensor.DepthToShiftTable(), 2 * 10001}};
    for (const auto& t : tables) {
        std::vector<uint16_t> buffer(t.bytes / 2);
        int size = t.bytes;
        ASSERT_EQ(ONI_STATUS_OK, oniStreamGetProperty(stream, t.id, buffer.data(), &size));
        EXPECT_EQ(t.bytes, size);
        EXPECT_EQ(t.table, buffer);
        // A larger request gets the table and its size.
        std::vector<uint16_t> larger(t.bytes, 0xABCD);
        size = t.bytes * 2;
        ASSERT_EQ(ONI_STATUS_OK, oniStreamGetProperty(stream, t.id, larger.data(), &size));
        EXPECT_EQ(t.bytes, size);
        EXPECT_TRUE(std::equal(t.table.begin(), t.table.end(), larger.begin()));
        EXPECT_EQ(0xABCD, larger[t.bytes / 2]);
        size = t.bytes - 2;
        EXPECT_NE(ONI_STATUS_OK, oniStreamGetProperty(stream, t.id, larger.data(), &size));
    }
    // The second family's ids are not served.
    uint32_t value = 0;
    EXPECT_NE(ONI_STATUS_OK, GetStreamProperty(stream, 0x12002002, value));
}

TEST_F(SyntheticCamera, CoordinateConverterAgreesWithTheRenderersCamera) {
    OniStreamHandle stream = OpenStream(vela::synthetic::kDefaultDeviceUri);
    ASSERT_NE(nullptr, stream);
    for (const int width : {320, 640}) {
        const int height = width * 3 / 4;
        const OniVideoMode mode{ONI_PIXEL_FORMAT_DEPTH_1_MM, width, height, 30};
        ASSERT_EQ(ONI_STATUS_OK, SetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode));
        const DepthCamera camera(width, height);
        for (const float c : {0.0f, 17.0f, width / 2.0f, width - 1.0f}) {
            for (const float r : {0.0f, 31.0f, height / 2.0f, height - 1.0f}) {
                for (const float z : {500.0f, 2345.0f, 9999.0f}) {
                    float x = 0, y = 0, zw = 0;
                    ASSERT_EQ(ONI_STATUS_OK, oniCoordinateConverterDepthToWorld(stream, c, r, z, &x, &y, &zw));
                    const vela::scene::Point3f expected = camera.PixelToWorld(c, r, z);
                    const float tolerance = 1e-4f * z;
                    EXPECT_NEAR(expected.x, x, tolerance) << width << " " << c << "," << r << "," << z;
                    EXPECT_NEAR(expected.y, y, tolerance) << width << " " << c << "," << r << "," << z;
                    EXPECT_EQ(z, zw);
                    float cc = 0, rr = 0, zz = 0;
                    ASSERT_EQ(ONI_STATUS_OK, oniCoordinateConverterWorldToDepth(stream, x, y, zw, &cc, &rr, &zz));
                    EXPECT_NEAR(c, cc, 1e-2f);
                    EXPECT_NEAR(r, rr, 1e-2f);
                }
            }
        }
    }
}

// The modes that the front end must refuse can be asked for by URI.
TEST_F(SyntheticCamera, UriSelectsModeFormatCroppingAndMirroring) {
    const struct {
        const char* options;
        int format, width, height;
        bool cropped;
        bool mirrored;
    } cases[] = {
        {"resolution=160x120", 100, 160, 120, false, true},
        {"resolution=640x480&mirror=off", 100, 640, 480, false, false},
        {"resolution=1280x1024", 100, 1280, 1024, false, true},
        {"format=100um", 101, 320, 240, false, true},
        {"crop=on", 100, 320, 240, true, true},
        {"mirror=on", 100, 320, 240, false, true},
    };
    const Scene scene = DefaultScene();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        OniStreamHandle stream = OpenStream(std::string("synthetic://default?") + c.options);
        ASSERT_NE(nullptr, stream);
        OniVideoMode mode;
        ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode));
        EXPECT_TRUE(SameMode(mode, c.format, c.width, c.height));
        OniCropping cropping;
        ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_CROPPING, cropping));
        EXPECT_EQ(c.cropped, cropping.enabled != 0);
        OniBool mirror = 0;
        ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MIRRORING, mirror));
        EXPECT_EQ(c.mirrored, mirror != 0);

        OniFrame* frame = ReadFrame(stream);
        ASSERT_NE(nullptr, frame);
        std::vector<uint16_t> expected = Rendered(scene, 0, c.width, c.height, c.mirrored);
        if (c.cropped) {
            EXPECT_EQ(c.width / 4, cropping.originX);
            EXPECT_EQ(c.height / 4, cropping.originY);
            expected = Window(expected, c.width, c.width / 4, c.height / 4, c.width / 2, c.height / 2);
        }
        if (c.format == ONI_PIXEL_FORMAT_DEPTH_100_UM) {
            for (uint16_t& z : expected) z = static_cast<uint16_t>(z <= 6553 ? z * 10 : 0);
        }
        EXPECT_EQ(expected, Pixels(frame));
        oniFrameRelease(frame);
    }
}

// A device that refuses to start its stream lets callers' error paths run.
TEST_F(SyntheticCamera, StartRefuseFailsEveryStartWithTheReason) {
    OniDeviceHandle device = Open("synthetic://default?start=refuse");
    ASSERT_NE(nullptr, device);
    OniStreamHandle stream = CreateDepthStream(device);
    ASSERT_NE(nullptr, stream);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_NE(ONI_STATUS_OK, oniStreamStart(stream)) << "attempt " << attempt;
        EXPECT_NE(std::string::npos, std::string(oniGetExtendedError()).find("refuses to start"))
            << oniGetExtendedError();
        EXPECT_EQ(nullptr, ReadFrame(stream, 100));
    }
}

TEST_F(SyntheticCamera, SceneUriRendersTheFileWithTheGivenSeed) {
    vela_test::TempDir dir;
    const std::string text =
        "camera resolution=640x480 mirror=off\n"
        "sensor noise=0.8 seed=2\n"
        "wall z=3500\n"
        "person height=1600\n"
        "  at 0 pos=200,2400\n"
        "  pose 0 psi\n";
    vela_test::WriteWholeFile(dir.File("my scene.scene"), text);
    Scene scene;
    std::string error;
    ASSERT_TRUE(vela::scene::ParseScene(text, dir.Path(), scene, error)) << error;

    const std::string uri = "synthetic://scene?file=" + vela::synthetic::EncodeUriValue(dir.File("my scene.scene"));
    OniStreamHandle stream = OpenStream(uri + "&seed=7");
    ASSERT_NE(nullptr, stream);
    OniVideoMode mode;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_VIDEO_MODE, mode));
    EXPECT_TRUE(SameMode(mode, 100, 640, 480));  // the scene's camera
    OniBool mirror = TRUE;
    ASSERT_EQ(ONI_STATUS_OK, GetStreamProperty(stream, ONI_STREAM_PROPERTY_MIRRORING, mirror));
    EXPECT_EQ(FALSE, mirror);
    OniFrame* frame = ReadFrame(stream);
    ASSERT_NE(nullptr, frame);
    const std::vector<uint16_t> seven = Pixels(frame);
    oniFrameRelease(frame);
    scene.sensor.nSeed = 7;
    EXPECT_EQ(Rendered(scene, 0, 640, 480, false), seven);
    scene.sensor.nSeed = 2;
    EXPECT_NE(Rendered(scene, 0, 640, 480, false), seven);
}

TEST_F(SyntheticCamera, TwoStreamsOnOneDeviceShareItsFrames) {
    OniDeviceHandle device = Open(vela::synthetic::kDefaultDeviceUri);
    ASSERT_NE(nullptr, device);
    OniStreamHandle a = CreateDepthStream(device);
    OniStreamHandle b = CreateDepthStream(device);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    ASSERT_EQ(ONI_STATUS_OK, oniStreamStart(a));
    ASSERT_EQ(ONI_STATUS_OK, oniStreamStart(b));
    for (int n = 1; n <= 2; ++n) {
        OniFrame* fa = ReadFrame(a);
        OniFrame* fb = ReadFrame(b);
        ASSERT_NE(nullptr, fa);
        ASSERT_NE(nullptr, fb);
        EXPECT_EQ(n, fa->frameIndex);
        EXPECT_EQ(n, fb->frameIndex);
        EXPECT_EQ(Pixels(fa), Pixels(fb));
        oniFrameRelease(fa);
        oniFrameRelease(fb);
    }
}

TEST_F(SyntheticCamera, BadUrisAndUnreadableScenesFailToOpenWithTheReason) {
    vela_test::TempDir dir;
    vela_test::WriteWholeFile(dir.File("broken.scene"), "camera resolution=320x240\nperson\npose 0 dance\n");
    vela_test::WriteWholeFile(dir.File("huge.scene"), "sensor max_depth=65535\n");
    vela_test::WriteWholeFile(dir.File("grey8.pgm"), std::string("P5\n2 2\n255\n") + std::string(4, '\x01'));
    const struct {
        std::string uri;
        std::string reason;
    } cases[] = {
        {"synthetic://nothing", "unknown device 'nothing'"},
        {"synthetic://default?resolution=100x100", "resolution must be"},
        {"synthetic://default?colour=on", "unknown option 'colour'"},
        {"synthetic://scene?file=" + dir.File("missing.scene"), "missing.scene"},
        {"synthetic://scene?file=" + dir.File("broken.scene"), "line 3"},
        {"synthetic://scene?file=" + dir.File("huge.scene"), "65535"},
        {"synthetic://scene?file=" + dir.Path(), dir.Path() + ": not a regular file"},
        {"synthetic://images?dir=" + dir.File("nowhere"), "cannot read the folder"},
        {"synthetic://images?dir=" + dir.Path(), "grey8.pgm: not a 16-bit PGM"},
        {"synthetic://scene?file=" + std::string(300, 'x'), "longer than 255"},
    };
    for (const auto& c : cases) {
        OniDeviceHandle device = nullptr;
        EXPECT_NE(ONI_STATUS_OK, oniDeviceOpen(c.uri.c_str(), &device)) << c.uri;
        const std::string error = oniGetExtendedError();
        EXPECT_NE(std::string::npos, error.find(c.reason)) << c.uri << ": " << error;
    }
    // Nothing was left behind that stops a good device from opening.
    OniStreamHandle stream = OpenStream("");
    ASSERT_NE(nullptr, stream);
    OniFrame* frame = ReadFrame(stream);
    ASSERT_NE(nullptr, frame);
    oniFrameRelease(frame);
}

}  // namespace
