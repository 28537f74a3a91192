// The depth hub on the synthetic camera through OpenNI2: resolutions, the
// device's tables against the closed forms, the hybrid code, shift-space
// geometry on a rendered floor, and the per-frame history.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../tools/SyntheticCamera/OpenNI2TestSupport.h"
#include "NACommon/NACommonData.h"
#include "TempDir.h"
#include "XnAdapter/XnNodeRegistry.h"

#ifdef VELA_RECORD_ONI_EXE

namespace {

using Pixels = std::vector<unsigned short>;

Pixels PixelsOf(const xn::DepthMetaData& md) { return Pixels(md.Data(), md.Data() + md.XRes() * md.YRes()); }
Pixels PixelsOf(const Array2D<unsigned short>& map) { return Pixels(map.Data(), map.Data() + map.Size()); }
bool AllZero(const Pixels& pixels) {
    return std::all_of(pixels.begin(), pixels.end(), [](unsigned short v) { return v == 0; });
}

class NACommonDataOnCameraTest : public vela_test::OpenNI2Test {
protected:
    void SetUp() override {
        vela_test::OpenNI2Test::SetUp();
        m_hub.reset(new NACommonData);
    }
    void TearDown() override {
        // Every frame reference goes back before OpenNI2 shuts down.
        m_hub.reset();
        m_node.UpdateFrame(nullptr);
        m_node.SetStream(nullptr);
        vela_test::OpenNI2Test::TearDown();
    }

    // Binds the test's node to a started depth stream of the device at uri
    // and initialises the hub on it as the trackers do. A recording reads
    // one frame per read when asked to before its stream starts (a player
    // already running may have moved on by the time it is asked).
    OniDeviceHandle Bind(const std::string& uri, bool oneFramePerRead = false) {
        OniDeviceHandle device = Open(uri);
        if (device == nullptr) return nullptr;
        const float speed = -1.0f;
        if (oneFramePerRead) {
            EXPECT_EQ(ONI_STATUS_OK,
                      oniDeviceSetProperty(device, ONI_DEVICE_PROPERTY_PLAYBACK_SPEED, &speed, sizeof(speed)));
        }
        OniStreamHandle stream = CreateDepthStream(device);
        EXPECT_EQ(ONI_STATUS_OK, oniStreamStart(stream));
        m_node.SetDevice(device);
        m_node.SetStream(stream);
        EXPECT_TRUE(m_hub->Initialize(m_node, INVALID, nullptr, nullptr));
        return device;
    }
    // The next frame to the node and the hub's copy, then the hub's update.
    void NextFrame() {
        ASSERT_EQ(XN_STATUS_OK, xn::UpdateUntil(m_node));
        m_hub->Update();
    }

    xn::DepthGenerator m_node;
    std::unique_ptr<NACommonData> m_hub;
};

TEST_F(NACommonDataOnCameraTest, PicksResolutionsFromTheStreamAndOnlyRaisesThem) {
    struct Case {
        const char* uri;
        Resolution maps, native;
    };
    for (const Case& c : {Case{"synthetic://default", QQVGA, QVGA}, Case{"synthetic://default?resolution=640x480", QVGA, VGA}}) {
        SCOPED_TRACE(c.uri);
        m_hub.reset(new NACommonData);
        ASSERT_NE(nullptr, Bind(c.uri));
        EXPECT_EQ(c.maps, m_hub->m_depthResolution);
        EXPECT_EQ(c.maps, m_hub->m_shiftResolution);
        EXPECT_EQ(c.native, m_hub->m_hybridResolution);
        EXPECT_EQ(c.native, m_hub->m_nativeDepthResolution);
        EXPECT_FALSE(m_hub->m_bIsRecording);
        EXPECT_EQ("", m_hub->m_strRecordingPath);
        // Right after Initialize the older frames are zero maps, and the
        // native map is always the current input.
        EXPECT_TRUE(AllZero(PixelsOf(m_hub->DepthMap(c.maps, 1))));
        EXPECT_TRUE(AllZero(PixelsOf(m_hub->ShiftMap(c.maps, 2))));
        NextFrame();
        EXPECT_EQ(&m_hub->DepthMap(c.native, 0), &m_hub->DepthMap(c.native, 1));
        EXPECT_FALSE(AllZero(PixelsOf(m_hub->DepthMap(c.maps, 0))));

        // The same stream again: coarser asks change nothing.
        const xn::DepthGenerator* copy = m_hub->m_pDepthGenerator;
        EXPECT_TRUE(m_hub->Initialize(m_node, QQQQVGA, nullptr, nullptr));
        EXPECT_EQ(copy, m_hub->m_pDepthGenerator);
        EXPECT_EQ(c.maps, m_hub->m_depthResolution);
        EXPECT_FALSE(AllZero(PixelsOf(m_hub->DepthMap(c.maps, 0))));
        // A finer one rebuilds that history from zero maps.
        EXPECT_TRUE(m_hub->Initialize(m_node, c.native, nullptr, nullptr));
        EXPECT_EQ(copy, m_hub->m_pDepthGenerator);
        EXPECT_EQ(c.native, m_hub->m_depthResolution);
        EXPECT_TRUE(AllZero(PixelsOf(m_hub->DepthMap(c.maps, 0))));
        NextFrame();
        EXPECT_FALSE(AllZero(PixelsOf(m_hub->DepthMap(c.maps, 0))));
        EXPECT_TRUE(AllZero(PixelsOf(m_hub->DepthMap(c.maps, 1))));
        m_hub.reset();
        m_node.UpdateFrame(nullptr);
    }
}

TEST_F(NACommonDataOnCameraTest, DeviceTablesAndClosedFormsAgree) {
    ASSERT_NE(nullptr, Bind("synthetic://default"));
    const NACommonData& hub = *m_hub;
    const uint16_t* s2d = hub.m_pShiftToDepth;
    const uint16_t* d2s = hub.m_pDepthToShift;
    for (int z = 400; z <= 9999; ++z) {
        // Depth to shift to depth lands within one shift step below.
        const int s = d2s[z];
        ASSERT_GT(s, 0) << z;
        ASSERT_LE(s2d[s], z) << z;
        // The next shift's depth, past the maximum from the closed form.
        const float next = s2d[s + 1] != 0 ? s2d[s + 1] : hub.ShiftToDepth(static_cast<float>(s + 1));
        ASSERT_GE(next, z - 0.5f) << z;
        ASSERT_TRUE(hub.IsDepthToShiftRight(static_cast<float>(z), hub.DepthToShift(static_cast<float>(z)))) << z;
        const float zf = static_cast<float>(z);
        ASSERT_NEAR(zf, hub.ShiftToDepth(hub.DepthToShift(zf)), 0.02f) << z;
    }
    for (int s = 1; s < static_cast<int>(hub.m_nShiftTableSize); ++s) {
        if (s2d[s] != 0) {
            ASSERT_NEAR(s2d[s], hub.ShiftToDepth(static_cast<float>(s)), 0.5f) << s;
            ASSERT_TRUE(hub.IsShiftToDepthRight(hub.ShiftToDepth(static_cast<float>(s)), static_cast<float>(s))) << s;
        }
    }
}

TEST_F(NACommonDataOnCameraTest, HybridCodeIsDepthUpToTheTransitionThenTenPerShift) {
    ASSERT_NE(nullptr, Bind("synthetic://default"));
    const NACommonData& hub = *m_hub;
    const uint16_t* d2s = hub.m_pDepthToShift;
    int transition = -1;
    for (int i = 0; i + 20 <= 10000; ++i) {
        if (d2s[i] != 0 && d2s[i + 20] - d2s[i] < 2) {
            transition = i + 20;
            break;
        }
    }
    ASSERT_GT(transition, 1500);
    ASSERT_LT(transition, 2500);
    EXPECT_EQ(transition, hub.m_nHybridTransitionDepth);
    const int s0 = d2s[transition];
    EXPECT_EQ(s0, hub.m_nHybridTransitionShift);
    const int sMax = d2s[9999];
    for (int s = 1; s <= s0; ++s) {
        ASSERT_EQ(hub.m_pShiftToDepth[s], hub.m_pShiftToHybrid[s]) << s;
    }
    for (int s = s0 + 1; s <= sMax; ++s) {
        ASSERT_EQ(hub.m_pShiftToHybrid[s - 1] + 10, hub.m_pShiftToHybrid[s]) << s;
    }
    EXPECT_EQ(hub.m_pShiftToHybrid[sMax], hub.m_nMaxHybridValue);
    EXPECT_EQ(hub.m_nMaxHybridValue, hub.m_depthToHybrid[0]);

    NextFrame();
    const xn::DepthMetaData& depth = m_hub->DepthMap(m_hub->m_nativeDepthResolution, 0);
    const Array2D<unsigned short>& hybrid = m_hub->HybridMap();
    ASSERT_EQ(depth.XRes(), hybrid.Columns());
    for (int i = 0; i < hybrid.Size(); ++i) {
        // Depths of 10000 mm and more have no hybrid value: no depth.
        const int d = depth.Data()[i] < 10000 ? depth.Data()[i] : 0;
        ASSERT_EQ(hub.m_depthToHybrid[d], hybrid.Data()[i]) << i;
    }
}

TEST_F(NACommonDataOnCameraTest, AFloorFittedInShiftSpaceHasTheRenderedNormal) {
    vela_test::TempDir dir;
    const std::string scene = dir.File("floor.scene");
    const double tilt = 25.0;
    vela_test::WriteWholeFile(scene,
                              "camera resolution=640x480 elevation=1300 tilt=25\n"
                              "sensor quantise=on shadow=off noise=0\n"
                              "frames count=3 fps=30\n"
                              "floor on\n");
    ASSERT_NE(nullptr, Bind("synthetic://scene?file=" + scene));
    NextFrame();
    const Resolution r = m_hub->m_shiftResolution;
    const Array2D<unsigned short>& shifts = m_hub->ShiftMap(r, 0);
    // Least squares s = a x + b y + c over the floor's pixels.
    double sxx = 0, sxy = 0, syy = 0, sx = 0, sy = 0, n = 0, sxs = 0, sys = 0, ss = 0;
    for (int y = 0; y < shifts.Rows(); ++y) {
        for (int x = 0; x < shifts.Columns(); ++x) {
            const double s = shifts(y, x);
            if (s == 0) continue;
            sxx += x * x, sxy += x * y, syy += y * y, sx += x, sy += y, n += 1;
            sxs += x * s, sys += y * s, ss += s;
        }
    }
    ASSERT_GT(n, 10000);
    // Normal equations of (a, b, c), solved by Cramer's rule.
    const double m[3][3] = {{sxx, sxy, sx}, {sxy, syy, sy}, {sx, sy, n}};
    const double v[3] = {sxs, sys, ss};
    const auto det = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    double solution[3];
    for (int k = 0; k < 3; ++k) {
        double mk[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) mk[i][j] = j == k ? v[i] : m[i][j];
        solution[k] = det(mk) / det(m);
    }
    const Vector3D<float> point(static_cast<float>(sx / n), static_cast<float>(sy / n), static_cast<float>(ss / n));
    Vector3D<float> normal = m_hub->ConvertPlaneNormalS2D(
        Vector3D<float>(static_cast<float>(solution[0]), static_cast<float>(solution[1]), -1.0f), point, r);
    if (normal.y < 0) normal = -normal;
    // The room's up direction seen by a camera pitched down by the tilt.
    const double radians = tilt * M_PI / 180.0;
    const Vector3D<float> truth(0.0f, static_cast<float>(std::cos(radians)), static_cast<float>(-std::sin(radians)));
    const double angle = std::acos(std::min(1.0f, normal.Dot(truth))) * 180.0 / M_PI;
    EXPECT_LT(angle, 0.5) << normal;
}

TEST_F(NACommonDataOnCameraTest, EachFrameIsTakenOnceAndTheTwoBeforeStayReadable) {
    ASSERT_NE(nullptr, Bind("synthetic://default"));
    const Resolution r = m_hub->m_depthResolution;
    std::vector<Pixels> depths;
    std::vector<Pixels> shifts;
    for (int frame = 1; frame <= 3; ++frame) {
        NextFrame();
        EXPECT_EQ(frame, m_hub->m_nFrameID);
        EXPECT_EQ(static_cast<uint64_t>(frame - 1) * 33333u, m_hub->m_nTimestamp);
        depths.push_back(PixelsOf(m_hub->DepthMap(r, 0)));
        shifts.push_back(PixelsOf(m_hub->ShiftMap(r, 0)));
        // The shift map is the device's table applied to the depth map.
        const Pixels& d = depths.back();
        for (size_t i = 0; i < d.size(); ++i) {
            ASSERT_EQ(m_hub->m_pDepthToShift[d[i]], shifts.back()[i]) << i;
        }
    }
    ASSERT_NE(depths[0], depths[1]);
    ASSERT_NE(depths[1], depths[2]);
    const auto expectHistory = [&]() {
        EXPECT_EQ(depths[2], PixelsOf(m_hub->DepthMap(r, 0)));
        EXPECT_EQ(depths[1], PixelsOf(m_hub->DepthMap(r, 1)));
        EXPECT_EQ(depths[0], PixelsOf(m_hub->DepthMap(r, 2)));
        EXPECT_EQ(shifts[1], PixelsOf(m_hub->ShiftMap(r, 1)));
        EXPECT_EQ(shifts[0], PixelsOf(m_hub->ShiftMap(r, 2)));
    };
    expectHistory();
    // The same frame again: nothing moves.
    m_hub->Update();
    EXPECT_EQ(3, m_hub->m_nFrameID);
    expectHistory();
    // A coarser level of an older frame is its own frame's reduction.
    const Array2D<unsigned short>& older = m_hub->ShiftMap(static_cast<Resolution>(r - 1), 1);
    EXPECT_EQ(shifts[1][2 * 2 * g_nXRes[r] + 2 * 3], older(2, 3));
}

TEST_F(NACommonDataOnCameraTest, ImageBoxesShrinkInwardsWhenCoarserAndDoubleWhenFiner) {
    ASSERT_NE(nullptr, Bind("synthetic://default?resolution=640x480"));
    xn::DepthMetaData input;
    ASSERT_EQ(XN_STATUS_OK, input.AllocateData(640, 480));
    Pixels pixels(640 * 480, 0);
    pixels[10 * 640 + 6] = 1500;
    pixels[154 * 640 + 200] = 2500;
    std::copy(pixels.begin(), pixels.end(), input.WritableData());
    input.FrameID() = 1000;
    m_hub->UpdateByDepth(input);
    m_hub->SetImageBorders(QVGA);
    EXPECT_EQ(Box2D<int>(3, 5, 100, 77), m_hub->ImageBox(QVGA));
    EXPECT_EQ(Box2D<int>(2, 3, 50, 38), m_hub->ImageBox(QQVGA));
    EXPECT_EQ(Box2D<int>(1, 2, 25, 19), m_hub->ImageBox(QQQVGA));
    EXPECT_EQ(Box2D<int>(6, 10, 200, 154), m_hub->ImageBox(VGA));
    // Once per frame: a second call with another resolution does nothing.
    m_hub->SetImageBorders(QQVGA);
    EXPECT_EQ(Box2D<int>(3, 5, 100, 77), m_hub->ImageBox(QVGA));

    // A frame without depth, given twice: the boxes collapse once.
    std::fill(input.WritableData(), input.WritableData() + 640 * 480, static_cast<XnDepthPixel>(0));
    input.FrameID() = 1001;
    m_hub->UpdateByDepth(input);
    m_hub->UpdateByDepth(input);
    EXPECT_TRUE(AllZero(PixelsOf(m_hub->DepthMap(QVGA, 0))));
    EXPECT_FALSE(AllZero(PixelsOf(m_hub->DepthMap(QVGA, 1))));
    m_hub->SetImageBorders(QVGA);
    for (int res = 0; res <= VGA; ++res) {
        EXPECT_EQ(Box2D<int>(0, 0, 0, 0), m_hub->ImageBox(static_cast<Resolution>(res))) << res;
    }
    m_hub->SetImageBorders();
    EXPECT_EQ(Box2D<int>(0, 0, 1279, 1023), m_hub->m_imageBoxes[SXGA]);
    EXPECT_EQ(Box2D<int>(0, 0, 639, 479), m_hub->ImageBox(VGA));
}

TEST_F(NACommonDataOnCameraTest, ALabelPyramidEnlargesWithTheHubsDepth) {
    ASSERT_NE(nullptr, Bind("synthetic://default?resolution=640x480"));
    NextFrame();
    LabelPyramid labels;
    labels.m_pOwner = m_hub.get();
    labels.m_inputResolution = QQVGA;
    labels.InitializeInputLevel();
    const xn::DepthMetaData& coarse = m_hub->DepthMap(QQVGA, 0);
    xn::SceneMetaData& input = labels.m_levels[QQVGA];
    for (int i = 0; i < 160 * 120; ++i) input.WritableData()[i] = coarse.Data()[i] != 0 ? 1 : 0;
    labels.m_bFilled[QQVGA] = true;
    const xn::SceneMetaData& fine = labels[VGA];
    const xn::DepthMetaData& depth = m_hub->DepthMap(VGA, 0);
    ASSERT_EQ(640, fine.XRes());
    int labelled = 0, withDepth = 0;
    for (int i = 0; i < 640 * 480; ++i) {
        ASSERT_TRUE(depth.Data()[i] != 0 || fine.Data()[i] == 0) << i;
        withDepth += depth.Data()[i] != 0;
        labelled += fine.Data()[i] == 1;
    }
    EXPECT_GT(labelled, withDepth * 9 / 10);
}

TEST_F(NACommonDataOnCameraTest, ARecordingNamesItselfAfterItsFile) {
    vela_test::TempDir dir;
    const std::string recording = dir.File("walk.take.oni");
    const std::string command = std::string(VELA_RECORD_ONI_EXE) + " --frames 3 default " + recording + " >/dev/null";
    ASSERT_EQ(0, std::system(command.c_str()));
    ASSERT_NE(nullptr, Bind(recording, true));
    EXPECT_TRUE(m_hub->m_bIsRecording);
    EXPECT_EQ(recording, m_hub->m_strRecordingPath);
    EXPECT_EQ("walk.take.oni", m_hub->m_strRecordingFileName);
    EXPECT_EQ("walk.take", m_hub->m_strRecordingName);
    NextFrame();
    // The recording plays at normal speed until the speed is set, so a slow
    // start may have passed its first frames.
    EXPECT_EQ(m_node.GetFrameID(), m_hub->m_nFrameID);
    EXPECT_GE(m_hub->m_nFrameID, 1);
    EXPECT_LE(m_hub->m_nFrameID, 3);
}

}  // namespace

#endif  // VELA_RECORD_ONI_EXE
