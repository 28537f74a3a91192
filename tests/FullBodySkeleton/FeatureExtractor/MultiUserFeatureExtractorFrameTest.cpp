// The multi-user driver's per-frame preparation beside the label
// statistics: the dilated depth map of the active users (SSE and plain
// forms agreeing), the configuration that places it, and the floor.

#ifdef VELA_SKELETON_ON_CAMERA

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "SceneAnalyzer/SceneAnalyzer.h"
#include "SkeletonDriverFixture.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class DriverFrameTest : public skeleton_test::SkeletonDriverFixture {
protected:
    const xn::DepthMetaData& Depth(Resolution level) const { return *Containers()[level].depthMap; }
    const xn::DepthMetaData& Dilated() const { return *Containers()[QQVGA].dilatedDepthMap; }
    std::vector<XnDepthPixel> DilatedPixels() const {
        return std::vector<XnDepthPixel>(Dilated().Data(), Dilated().Data() + 160 * 120);
    }
    // By definition: the smallest depth of an active user's pixel within
    // two pixels in both directions, 0 without one.
    XnDepthPixel Expected(int x, int y) const {
        const Array2D<uint8_t>& mask = *Containers()[QQVGA].userMask;
        int best = 0x7FFF;
        for (int v = std::max(0, y - 2); v <= std::min(119, y + 2); ++v) {
            for (int u = std::max(0, x - 2); u <= std::min(159, x + 2); ++u) {
                if (mask(v, u) != 0) {
                    best = std::min<int>(best, Depth(QQVGA)(u, v));
                }
            }
        }
        return static_cast<XnDepthPixel>(best == 0x7FFF ? 0 : best);
    }
    void ExpectDilatedByDefinition() {
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                ASSERT_EQ(Expected(x, y), Dilated()(x, y)) << x << "," << y;
            }
        }
    }
};

// Depth rising to the right, 1000 mm plus 10 mm per column of the stream.
std::vector<uint16_t> Ramp() {
    std::vector<uint16_t> depth(320 * 240);
    for (size_t i = 0; i < depth.size(); ++i) {
        depth[i] = static_cast<uint16_t>(1000 + 10 * (i % 320));
    }
    return depth;
}

// Without users the map is all 0. Two pixels of a tracked user three
// columns apart: the columns between see the nearer one, the window ends two
// pixels away, and the image's corner clips it; a stopped user's pixels are
// not dilated.
TEST_F(DriverFrameTest, TheDilatedMapHoldsTheNearestActiveUserDepthWithinTwoPixels) {
    ASSERT_NO_FATAL_FAILURE(Open({Ramp()}, 320, 240, QQVGA));
    Frame();
    ASSERT_NE(nullptr, Containers()[QQVGA].dilatedDepthMap);
    EXPECT_EQ(nullptr, Containers()[QQQVGA].dilatedDepthMap);
    EXPECT_EQ(std::vector<XnDepthPixel>(160 * 120, 0), DilatedPixels());

    Users({1, 2});
    m_driver.GetFeatureExtractor(1)->SetMode(FeatureExtractor::MODE_TRACKING);
    Paint(50, 40, 50, 40, 1);
    Paint(53, 40, 53, 40, 1);
    Paint(0, 0, 0, 0, 1);
    Paint(100, 100, 110, 110, 2);
    Frame();
    const int left = Depth(QQVGA)(50, 40);
    const int right = Depth(QQVGA)(53, 40);
    ASSERT_LT(left, right);
    EXPECT_EQ(Depth(QQVGA).FrameID(), Dilated().FrameID());
    EXPECT_EQ(0, Dilated()(47, 40));
    EXPECT_EQ(left, Dilated()(48, 40));
    EXPECT_EQ(left, Dilated()(52, 38));
    EXPECT_EQ(right, Dilated()(53, 42));
    EXPECT_EQ(right, Dilated()(55, 40));
    EXPECT_EQ(0, Dilated()(56, 40));
    EXPECT_EQ(0, Dilated()(52, 43));
    EXPECT_EQ(Depth(QQVGA)(0, 0), Dilated()(2, 2));
    EXPECT_EQ(0, Dilated()(3, 0));
    EXPECT_EQ(0, Dilated()(105, 105));
    ExpectDilatedByDefinition();
}

// Random depths and labels: the SSE and the plain forms give the same map,
// the one of the definition.
TEST_F(DriverFrameTest, TheSseAndPlainDilationsAgreeOnRandomFrames) {
    std::mt19937 random(21);
    std::uniform_int_distribution<int> depth(0, 9999);
    std::vector<uint16_t> image(320 * 240);
    for (uint16_t& d : image) {
        d = static_cast<uint16_t>(depth(random));
    }
    ASSERT_NO_FATAL_FAILURE(Open({image}, 320, 240, QQVGA));
    Users({1, 2, 3});
    m_driver.GetFeatureExtractor(1)->SetMode(FeatureExtractor::MODE_TRACKING);
    m_driver.GetFeatureExtractor(2)->SetMode(FeatureExtractor::MODE_CALIBRATING);
    std::uniform_int_distribution<int> label(0, 15);
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 160 * 120; ++i) {
            const int l = label(random);
            m_labels.WritableData()[i] = static_cast<XnLabel>(l <= 3 ? l : 0);
        }
        MultiUserFeatureExtractor::m_bSSE = true;
        Frame();
        const std::vector<XnDepthPixel> sse = DilatedPixels();
        MultiUserFeatureExtractor::m_bSSE = false;
        m_driver.Update(m_session.Node(), m_session.Depth(), m_labels);
        EXPECT_EQ(sse, DilatedPixels());
        ASSERT_NO_FATAL_FAILURE(ExpectDilatedByDefinition());
    }
}

// "SSE" switches the process-wide SSE forms (saying so on every reading when
// off); the dilation and distance levels default to QQVGA and QQQVGA and
// stay between QQQVGA and the skeleton resolution.
TEST_F(DriverFrameTest, TheConfigurationSwitchesSseAndPlacesTheDilatedMap) {
    ASSERT_NO_FATAL_FAILURE(Open({Ramp()}, 320, 240, QQVGA));
    struct Case {
        const char* ini;
        bool sse;
        Resolution dilated;
        Resolution distance;
    };
    const Case cases[] = {
        {"", true, QQVGA, QQQVGA},
        {"[FeatureExtractor]\nSSE=0\n", false, QQVGA, QQQVGA},
        {"[FeatureExtractor]\nSSE=1\nDilatedRes=qqqvga\nDistanceTransformRes=QQVGA\n", true, QQQVGA, QQVGA},
        {"[FeatureExtractor]\nDilatedRes=VGA\nDistanceTransformRes=QVGA\n", true, QQVGA, QQVGA},
        {"[FeatureExtractor]\nDilatedRes=QQQQVGA\nDistanceTransformRes=QQQQVGA\n", true, QQQVGA, QQQVGA},
        {"[FeatureExtractor]\nDilatedRes=none\n", true, QQVGA, QQQVGA},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        // Each text its own file: the INI reader keeps what it has read.
        const std::string path = m_dir.File("case" + std::to_string(n++) + ".ini");
        vela_test::WriteWholeFile(path, c.ini);
        MultiUserFeatureExtractor::m_bSSE = !c.sse;
        CaptureStdout();
        m_driver.ReadParameters(path, false);
        m_driver.ReadParameters(path, false);
        EXPECT_EQ(c.sse ? "" : "Feature Extractor SSE disabled!\nFeature Extractor SSE disabled!\n",
                  GetCapturedStdout());
        EXPECT_EQ(c.sse, MultiUserFeatureExtractor::m_bSSE);
        EXPECT_EQ(c.dilated, Containers().dilatedRes);
        EXPECT_EQ(c.distance, Containers().distanceTransformRes);
    }
    // The dilated map follows to its level.
    m_driver.ReadParameters(m_dir.File("case2.ini"), false);
    Users({1});
    m_driver.GetFeatureExtractor(1)->SetMode(FeatureExtractor::MODE_TRACKING);
    Paint(40, 40, 41, 41, 1);
    Frame();
    EXPECT_EQ(nullptr, Containers()[QQVGA].dilatedDepthMap);
    ASSERT_NE(nullptr, Containers()[QQQVGA].dilatedDepthMap);
    EXPECT_EQ(80, Containers()[QQQVGA].dilatedDepthMap->XRes());
}

// The floor goes to the shared data while the scene analyzer knows it; a
// frame without an analyzer makes it unknown and keeps the last plane.
TEST(DriverFloorTest, TheSharedDataHasTheAnalyzersFloorWhileItIsKnown) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene("camera resolution=320x240 elevation=1000 tilt=10\n"
                                  "wall z=4000\nwall x=-2500\nwall x=2500\n",
                                  320, 240))
        << session.Error();
    ASSERT_TRUE(session.Next());
    std::unique_ptr<SceneAnalyzer> analyzer(new SceneAnalyzer);
    ASSERT_TRUE(analyzer->Initialize(&session.Hub(), session.Node(), SAConfiguration(), nullptr));
    MultiUserFeatureExtractor driver;
    ASSERT_TRUE(driver.Initialize(&session.Hub(), session.Node(), session.Depth(), QQVGA, analyzer.get(), "", ""));
    const FeatureExtractorSharedData& shared = driver.GetSharedData();
    Plane<float> floor;
    for (int frame = 0; frame < 20; ++frame) {
        ASSERT_TRUE(session.Next());
        analyzer->Update(nullptr, 1);
        driver.Update(session.Node(), session.Depth(), analyzer->GetLabelMap(QQVGA));
        ASSERT_EQ(analyzer->GetFloor(floor), shared.m_floorKnown) << frame;
    }
    ASSERT_TRUE(shared.m_floorKnown);
    EXPECT_EQ(floor.m_point, shared.m_floor.m_point);
    EXPECT_EQ(floor.m_normal, shared.m_floor.m_normal);
    EXPECT_GT(shared.m_floor.m_normal.y, 0.9f);
    driver.SetSceneAnalyzer(nullptr);
    ASSERT_TRUE(session.Next());
    driver.Update(session.Node(), session.Depth(), analyzer->GetLabelMap(QQVGA));
    EXPECT_FALSE(shared.m_floorKnown);
    EXPECT_EQ(floor.m_normal, shared.m_floor.m_normal);
}

}  // namespace

#endif
