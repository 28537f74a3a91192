// The default rendering against the measures of recorded frames of a person
// (640x480, about 1.24 m): each measure must fall inside the range of the
// recordings, widened by a tenth at most, at 1.0, 1.25 and 2.5 m.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "DepthStats/RenderedPerson.h"
#include "SceneRenderer/SceneRenderer.h"

namespace {

using namespace vela;

struct Range {
    const char* name;
    double least, largest;
};

// The recordings' ranges, each bound moved out by a tenth of itself.
constexpr double kWiden = 0.1;
const Range kRecorded[] = {
    {"torso_width_mm", 387, 466},
    {"head_width_mm", 162, 180},
    {"unlike_all_4_neighbours_percent", 0.3, 0.7},
    {"equal_horizontal_neighbours", 0.72, 0.82},
    {"residual_sd_mm_at_1240", 1.8, 2.8},
    {"edge_roughness_px", 0.5, 1.5},
    {"enclosed_holes", 3, 14},
    {"detached_fragments", 1, 8},
    {"distinct_depths_at_1240", 42, 208},
};

// A person facing the camera, the hip centre `distance` mm away, with the
// camera at chest height so that the head and the torso are in view.
scene::Scene PersonAt(double distance) {
    scene::Scene scene;
    std::string error;
    const std::string text = "camera resolution=640x480 elevation=1400 tilt=0\n"
                             "wall z=4000\n"
                             "person height=1750\n"
                             "  at 0 pos=0," + std::to_string(distance) + "\n";
    EXPECT_TRUE(scene::ParseScene(text, "", scene, error)) << error;
    return scene;
}

TEST(DepthRealism, DefaultRenderingMeasuresLikeRecordedFrames) {
    for (const double distance : {1100.0, 1350.0, 2600.0}) {
        scene::SceneRenderer renderer(PersonAt(distance));
        scene::RenderedFrame frame;
        for (const int index : {0, 4, 9}) {
            renderer.Render(index, frame);
            depthstats::FrameMeasures measures;
            std::string error;
            ASSERT_TRUE(depthstats::MeasureRenderedPerson(frame, 1, renderer, measures, error)) << error;
            const std::string where = "at " + std::to_string(int(measures.dMedianDepth)) + " mm, frame " + std::to_string(index);
            for (const depthstats::NamedValue& value : depthstats::MeasureList(measures)) {
                for (const Range& range : kRecorded) {
                    if (std::string(range.name) != value.name) continue;
                    EXPECT_GE(value.value, range.least * (1.0 - kWiden)) << value.name << " " << where;
                    EXPECT_LE(value.value, range.largest * (1.0 + kWiden)) << value.name << " " << where;
                }
            }
            // The step between levels is the table's at that depth, and the
            // levels sit 1 mm below its entries, as the recordings show.
            const auto& d2s = renderer.Sensor().DepthToShiftTable();
            const auto& s2d = renderer.Sensor().ShiftToDepthTable();
            const size_t shift = d2s[static_cast<size_t>(measures.dMedianDepth)];
            EXPECT_NEAR(s2d[shift + 1] - s2d[shift], measures.dQuantisationStep, 1.0) << where;
            EXPECT_EQ(-1.0, measures.dLevelOffset) << where;
            EXPECT_GT(measures.dLevelOffsetShare, 0.95) << where;
        }
    }
}

}  // namespace
