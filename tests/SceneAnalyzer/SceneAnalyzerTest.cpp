// The scene analyzer without a camera: its answers when it is not
// initialised or its initialisation failed, its configuration, the debug
// boxes, the sort order it gives the plane search, and shadow filling row
// by row. On rendered scenes: SceneAnalyzerOnCameraTest.cpp.

#include "SceneAnalyzer/SceneAnalyzer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "../OSLayer/XnLogTestWriter.h"
#include "NACommon/NACommonData.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

void ExpectEmptyScene(SceneAnalyzer& analyzer) {
    for (int id = 0; id <= SceneAnalyzer::kMaxUsers + 1; ++id) {
        EXPECT_FALSE(analyzer.IsUserAlive(id)) << id;
    }
    Plane<float> floor(Vector3D<float>(1, 1, 1), Vector3D<float>(1, 1, 1));
    EXPECT_FALSE(analyzer.GetFloor(floor));
    EXPECT_EQ(0.0f, floor.m_normal.y);
    for (Resolution resolution : {QQQVGA, QQVGA, QVGA, VGA}) {
        const xn::SceneMetaData& labels = analyzer.GetLabelMap(resolution);
        ASSERT_EQ(g_nXRes[resolution], labels.XRes());
        ASSERT_EQ(g_nYRes[resolution], labels.YRes());
        int labelled = 0;
        for (int i = 0; i < labels.XRes() * labels.YRes(); ++i) {
            labelled += labels.Data()[i] != 0 ? 1 : 0;
        }
        EXPECT_EQ(0, labelled);
    }
}

// The errors logged while an analyzer takes `frames` frames.
int ErrorsOverFrames(SceneAnalyzer& analyzer, int frames) {
    vela_test::CapturingLogWriter log;
    EXPECT_EQ(XN_STATUS_OK, log.Register());
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_ERROR);
    log.Clear();
    for (int frame = 0; frame < frames; ++frame) {
        analyzer.Update(nullptr, 1);
    }
    xnLogSetMaskMinSeverity(XN_LOG_MASK_ALL, XN_LOG_SEVERITY_NONE);
    log.Unregister();
    int errors = 0;
    for (const vela_test::CapturedEntry& entry : log.m_entries) {
        errors += entry.nSeverity == XN_LOG_ERROR ? 1 : 0;
    }
    return errors;
}

// An analyzer whose initialisation did not happen or failed analyses
// nothing, says so once and not every frame, and still answers the user
// tracker: nobody, no floor, and an empty label map of the size asked for.
TEST(SceneAnalyzerTest, AnAnalyzerThatIsNotInitialisedReportsAnEmptyScene) {
    SceneAnalyzer never;
    EXPECT_EQ(1, ErrorsOverFrames(never, 1));
    EXPECT_EQ(0, ErrorsOverFrames(never, 2));
    ExpectEmptyScene(never);

    // A depth node without a stream: the hub cannot be initialised.
    NACommonData hub;
    xn::DepthGenerator node;
    SceneAnalyzer failed;
    CaptureStderr();
    EXPECT_FALSE(failed.Initialize(&hub, node, SAConfiguration(), nullptr));
    GetCapturedStderr();
    EXPECT_FALSE(failed.IsInitialized());
    EXPECT_EQ(1, ErrorsOverFrames(failed, 3));
    EXPECT_EQ(nullptr, failed.GetSeeds());
    ExpectEmptyScene(failed);

    SAConfiguration badResolution;
    badResolution.m_resolution = INVALID;
    EXPECT_FALSE(SceneAnalyzer().Initialize(&hub, node, badResolution, nullptr));
}

TEST(SceneAnalyzerTest, TheConfigurationDefaults) {
    const SAConfiguration configuration;
    EXPECT_EQ(1, configuration.m_SSE.on);
    EXPECT_EQ(-1, configuration.m_SSE.firstFrame);
    EXPECT_EQ(1000000000, configuration.m_SSE.lastFrame);
    for (const SAConfiguration::Switch& off : {configuration.m_profiling, configuration.m_output, configuration.m_bitExact}) {
        EXPECT_EQ(0, off.on);
        EXPECT_EQ(-1, off.firstFrame);
        EXPECT_EQ(-1, off.lastFrame);
    }
    EXPECT_EQ(QQVGA, configuration.m_resolution);
    EXPECT_EQ(QQVGA, configuration.m_outputResolution);
    EXPECT_EQ("", configuration.m_verName);
    EXPECT_EQ(8000, configuration.m_MaxSupportedDepth);
    EXPECT_EQ(QQVGA, SceneAnalyzer().GetConfiguration().m_resolution);
}

TEST(SceneAnalyzerTest, DebugBoxesOfAnUnknownKindAreAnError) {
    SceneAnalyzer analyzer;
    std::vector<Box3D<int> > boxes(2);
    std::vector<int> ids(3);
    for (const char* kind : {"users", "stable boxes", "foreground clusters", "suspects", "clusters", "blocks"}) {
        CaptureStderr();
        analyzer.GetDebugBoxes(boxes, ids, kind);
        EXPECT_EQ("", GetCapturedStderr()) << kind;
        EXPECT_TRUE(boxes.empty());
        EXPECT_TRUE(ids.empty());
    }
    boxes.resize(2);
    ids.resize(3);
    CaptureStderr();
    analyzer.GetDebugBoxes(boxes, ids, "walls");
    EXPECT_EQ("SceneAnalyzer::GetDebugBoxes Error - Unknown boxes type\n", GetCapturedStderr());
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(ids.empty());
}

TEST(SceneAnalyzerTest, TheSortOrderIsFromLargestToSmallest) {
    int32_t values[] = {3, -7, 12, 0, 12, 2147483647, -2147483647 - 1};
    std::qsort(values, 7, sizeof(int32_t), SceneAnalyzer::Compare_Qsort);
    const int32_t sorted[] = {2147483647, 12, 12, 3, 0, -7, -2147483647 - 1};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(sorted[i], values[i]) << i;
    }
    const int32_t a = 5;
    const int32_t b = 5;
    EXPECT_EQ(0, SceneAnalyzer::Compare_Qsort(&a, &b));
}

// Rows of shift values through shadow filling with step 10 and base 130:
// the k-th pixel after an object pixel of shift s is filled while
// 130 - s - 10 k >= 0. Each row is given as seen scanning from the left;
// scanning from the right, the mirror image of the row gives the mirror
// image of the result.
TEST(SceneAnalyzerTest, ShadowFillingRows) {
    using Row = std::vector<unsigned short>;
    struct Case {
        const char* what;
        Row shift;
        Row shadow;
    };
    const Case cases[] = {
        {"three pixels after shift 100", {0, 100, 0, 0, 0, 0, 0}, {0, 0, 100, 100, 100, 0, 0}},
        {"only the last pixel has depth", {0, 0, 0, 0, 80}, {0, 0, 0, 0, 0}},
        {"less than one step of budget", {125, 0, 0}, {0, 0, 0}},
        {"exactly one step of budget", {120, 0, 0}, {0, 120, 0}},
        {"two objects, a fresh budget each", {50, 0, 0, 110, 0, 0, 0}, {0, 50, 50, 0, 110, 110, 0}},
        {"the edge pixel fills", {90, 100, 0, 0, 0, 0}, {0, 0, 100, 100, 100, 0}},
        {"nothing before the first depth", {0, 0, 0, 70, 70}, {0, 0, 0, 0, 0}},
        {"a row without depth", {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int width = static_cast<int>(c.shift.size());
        Row out(c.shift.size(), 0);
        SceneAnalyzer::ShadowRow(c.shift.data(), out.data(), width, true, 10, 130);
        EXPECT_EQ(c.shadow, out);
        const Row mirrored(c.shift.rbegin(), c.shift.rend());
        Row mirroredOut(c.shift.size(), 0);
        SceneAnalyzer::ShadowRow(mirrored.data(), mirroredOut.data(), width, false, 10, 130);
        EXPECT_EQ(Row(c.shadow.rbegin(), c.shadow.rend()), mirroredOut);
    }
}

}  // namespace
