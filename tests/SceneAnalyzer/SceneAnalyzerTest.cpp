// The scene analyzer's answers to the user tracker before and after it is
// initialised. (On the camera it runs inside the user tracker's tests.)

#include <gtest/gtest.h>

#include "SceneAnalyzer/SceneAnalyzer.h"

namespace {

// An analyzer whose initialisation did not happen or failed still answers:
// nobody, no floor, and an empty label map of the size asked for.
TEST(SceneAnalyzerTest, AnUninitialisedAnalyzerReportsAnEmptyScene) {
    SceneAnalyzer analyzer;
    analyzer.Update(nullptr, 1);
    for (int id = 0; id <= SceneAnalyzer::kMaxUsers; ++id) {
        EXPECT_FALSE(analyzer.IsUserAlive(id));
    }
    Plane<float> floor(Vector3D<float>(1, 1, 1), Vector3D<float>(1, 1, 1));
    EXPECT_FALSE(analyzer.GetFloor(floor));
    EXPECT_EQ(0.0f, floor.m_normal.y);
    for (Resolution resolution : {QQQVGA, QQVGA, QVGA, VGA}) {
        const xn::SceneMetaData& labels = analyzer.GetLabelMap(resolution);
        ASSERT_EQ(static_cast<XnUInt32>(g_nXRes[resolution]), labels.XRes());
        ASSERT_EQ(static_cast<XnUInt32>(g_nYRes[resolution]), labels.YRes());
        int labelled = 0;
        for (XnUInt32 i = 0; i < labels.XRes() * labels.YRes(); ++i) {
            labelled += labels.Data()[i] != 0 ? 1 : 0;
        }
        EXPECT_EQ(0, labelled);
    }
}

TEST(SceneAnalyzerTest, TheConfigurationDefaults) {
    const SAConfiguration configuration;
    EXPECT_EQ(1, configuration.m_SSE.on);
    EXPECT_EQ(-1, configuration.m_SSE.firstFrame);
    EXPECT_EQ(1000000000, configuration.m_SSE.lastFrame);
    EXPECT_EQ(0, configuration.m_bitExact.on);
    EXPECT_EQ(QQVGA, configuration.m_resolution);
    EXPECT_EQ(QQVGA, configuration.m_outputResolution);
    EXPECT_EQ(8000, configuration.m_MaxSupportedDepth);
    EXPECT_EQ(QQVGA, SceneAnalyzer().GetConfiguration().m_resolution);
}

}  // namespace
