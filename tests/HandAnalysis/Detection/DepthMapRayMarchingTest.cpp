// The hand side's ray marcher: its transition table, the surface walks of
// FindBoundary and CalcNewDepth on painted rows, and the connectivity walk.

#include <gtest/gtest.h>

#include <vector>

#include "DepthFixtureFrame.h"
#include "DepthPainting.h"
#include "NACommon/NADepthMapRayMarching.h"

namespace {

using hand_test_kit::FixtureFrame;
using hand_test_kit::PaintPlane;
using hand_test_kit::PaintRect;
using Marcher = NADepthMapRayMarching;

constexpr int kRow = 20;

// Row kRow from column `first` on holds the given depths, the rest of the
// map none.
void PaintRow(FixtureFrame& frame, int first, const std::vector<unsigned short>& depths) {
    PaintPlane(frame.Depth(), 0);
    for (size_t i = 0; i < depths.size(); ++i) {
        const int c = first + static_cast<int>(i);
        PaintRect(frame.Depth(), Box2D<int>(c, kRow, c, kRow), depths[i]);
    }
}

Vector2D<float> At(float column) { return Vector2D<float>(column, static_cast<float>(kRow)); }

Marcher::Iterator Walk(int state, unsigned short last, unsigned short reference) {
    Marcher::Iterator it;
    it.m_state = state;
    it.m_lastDepth = last;
    it.m_referenceDepth = reference;
    it.m_referencePosition = Vector2D<float>(-1.0f, -1.0f);
    return it;
}

TEST(DepthMapRayMarching, TransitionTable) {
    const struct {
        const char* name;
        int state;
        unsigned short last;
        unsigned short sample;
        int expected;
        bool movesReference;
    } cases[] = {
        {"no start depth, still none", -1, 0, 0, -1, false},
        {"no start depth, within return of the reference", -1, 0, 1079, 0, true},
        {"no start depth, much nearer", -1, 0, 919, 1, false},
        {"no start depth, far behind", -1, 0, 1200, -1, false},
        {"surface, hole", 0, 1000, 0, 2, false},
        {"surface, jump away", 0, 1000, 1081, 2, false},
        {"surface, step within the jump", 0, 1000, 1080, 0, true},
        {"surface, step nearer within the jump", 0, 1000, 920, 0, true},
        {"surface, occluder", 0, 1000, 919, 1, false},
        {"occluded, hole", 1, 900, 0, 3, false},
        {"occluded, no jump back", 1, 900, 980, 1, false},
        {"occluded, jump back onto the reference", 1, 900, 1010, 0, true},
        {"occluded, jump back past the reference", 1, 900, 1080, 1, false},
        {"left, sample near the reference but no jump", 2, 1000, 1010, 2, false},
        {"hole off the surface, any sample near the reference", 3, 0, 1050, 0, true},
        {"hole off the surface, far sample", 3, 0, 1200, 3, false},
    };
    Marcher marcher;
    for (const auto& c : cases) {
        Marcher::Iterator it = Walk(c.state, c.last, 1000);
        marcher.Step(it, c.sample, Vector2D<float>(5.0f, 6.0f));
        EXPECT_EQ(c.expected, it.m_state) << c.name;
        EXPECT_EQ(c.sample, it.m_lastDepth) << c.name;
        EXPECT_EQ(c.movesReference ? c.sample : 1000, it.m_referenceDepth) << c.name;
        EXPECT_EQ(c.movesReference ? 5.0f : -1.0f, it.m_referencePosition.x) << c.name;
    }
}

TEST(DepthMapRayMarching, TheReferenceFollowsTheSurfaceAndAnOccluderIsLeftOnlyByAJumpBack) {
    Marcher marcher;
    Marcher::Iterator it = Walk(0, 1000, 1000);
    for (unsigned short d : {1050, 1120, 1190}) {
        marcher.Step(it, d, Vector2D<float>(0.0f, 0.0f));
        EXPECT_EQ(0, it.m_state);
        EXPECT_EQ(d, it.m_referenceDepth);
    }
    marcher.Step(it, 1300, Vector2D<float>(0.0f, 0.0f));
    EXPECT_EQ(2, it.m_state);

    it = Walk(0, 1000, 1000);
    marcher.Step(it, 900, Vector2D<float>(0.0f, 0.0f));
    EXPECT_EQ(1, it.m_state);
    Marcher::Iterator back = it;
    marcher.Step(back, 1010, Vector2D<float>(0.0f, 0.0f));
    EXPECT_EQ(0, back.m_state);
    EXPECT_EQ(1010, back.m_referenceDepth);
    marcher.Step(it, 960, Vector2D<float>(0.0f, 0.0f));
    EXPECT_EQ(1, it.m_state);
    EXPECT_EQ(1000, it.m_referenceDepth);
}

TEST(DepthMapRayMarching, FindBoundaryNeedsTheSurfaceAtMinStepsAndWritesTheLastSurfacePoint) {
    FixtureFrame frame(64, 48);
    Marcher marcher;
    Vector2D<float> boundary;
    unsigned short depth = 0;
    // Leaves through a hole at sample 2: too early for minSteps 3.
    PaintRow(frame, 10, {1000, 1010, 0, 1000, 1000});
    EXPECT_EQ(0, marcher.FindBoundary(frame.Depth(), At(10), 1000, Vector2D<float>(1, 0), 3, 20, boundary, depth));
    EXPECT_EQ(At(11), boundary);
    EXPECT_EQ(1010, depth);
    EXPECT_EQ(1, marcher.FindBoundary(frame.Depth(), At(10), 1000, Vector2D<float>(1, 0), 1, 20, boundary, depth));
    EXPECT_EQ(At(11), boundary);

    // A jump away after five surface samples; still on the surface when
    // the steps run out; ending behind an occluder.
    PaintRow(frame, 10, {1000, 1000, 1000, 1000, 1000, 1500, 1500});
    EXPECT_EQ(1, marcher.FindBoundary(frame.Depth(), At(10), 1000, Vector2D<float>(1, 0), 3, 20, boundary, depth));
    EXPECT_EQ(At(14), boundary);
    EXPECT_EQ(0, marcher.FindBoundary(frame.Depth(), At(10), 1000, Vector2D<float>(1, 0), 3, 4, boundary, depth));
    PaintRow(frame, 10, {1000, 1000, 1000, 1000, 800, 800, 0});
    EXPECT_EQ(0, marcher.FindBoundary(frame.Depth(), At(10), 1000, Vector2D<float>(1, 0), 1, 20, boundary, depth));
    EXPECT_EQ(At(13), boundary);

    // No steps: the start and the reference depth.
    EXPECT_EQ(0, marcher.FindBoundary(frame.Depth(), At(10), 999, Vector2D<float>(1, 0), 0, 0, boundary, depth));
    EXPECT_EQ(At(10), boundary);
    EXPECT_EQ(999, depth);
    // A start outside the map walks from "no depth" and finds nothing.
    EXPECT_EQ(0, marcher.FindBoundary(frame.Depth(), Vector2D<float>(-5, kRow), 1000, Vector2D<float>(-1, 0), 0, 5,
                                      boundary, depth));
}

TEST(DepthMapRayMarching, CalcNewDepthInterpolatesBetweenTheSurfaceSamplesAroundTheNewCentre) {
    FixtureFrame frame(64, 48);
    Marcher marcher;
    std::vector<unsigned short> ramp;
    for (int i = 0; i < 20; ++i) {
        ramp.push_back(static_cast<unsigned short>(1000 + 4 * i));
    }
    PaintRow(frame, 10, ramp);
    unsigned short depth = 0;
    // 12.5 lies between the samples at 12 (1008) and the last one at 19.
    EXPECT_EQ(1, marcher.CalcNewDepth(frame.Depth(), At(10), 1000, At(12.5f), 10, depth));
    EXPECT_EQ(1010, depth);
    // Out of steps before the new centre: the last surface depth before it.
    EXPECT_EQ(1, marcher.CalcNewDepth(frame.Depth(), At(10), 1000, At(20), 5, depth));
    EXPECT_EQ(1016, depth);
    // Equal centres walk along +x from the old centre's own depth, not the
    // one passed.
    PaintRow(frame, 10, {1020, 1040, 1060});
    EXPECT_EQ(1, marcher.CalcNewDepth(frame.Depth(), At(10), 1000, At(10), 5, depth));
    EXPECT_EQ(1020, depth);
    // The surface ends before the new centre: nothing written.
    depth = 7;
    EXPECT_EQ(0, marcher.CalcNewDepth(frame.Depth(), At(10), 1000, At(20), 15, depth));
    EXPECT_EQ(7, depth);
    // An old centre without depth.
    EXPECT_EQ(0, marcher.CalcNewDepth(frame.Depth(), At(5), 1000, At(11), 15, depth));
    EXPECT_EQ(7, depth);
}

TEST(DepthMapRayMarching, ContinuityEndsAtHolesJumpsAndOccluders) {
    FixtureFrame frame(64, 48);
    Marcher marcher;
    PaintRow(frame, 10, {1000, 1030, 1060, 1090, 1120, 1150});
    EXPECT_EQ(1, marcher.IsContinuouslyConnected(frame.Depth(), At(10), At(15)));
    EXPECT_EQ(1, marcher.IsContinuouslyConnected(frame.Depth(), At(12), At(12)));
    EXPECT_EQ(0, marcher.IsContinuouslyConnected(frame.Depth(), At(10), At(16)));
    PaintRow(frame, 10, {1000, 1000, 1200, 1000});
    EXPECT_EQ(0, marcher.IsContinuouslyConnected(frame.Depth(), At(10), At(13)));
    PaintRow(frame, 10, {1000, 1000, 800, 800});
    EXPECT_EQ(0, marcher.IsContinuouslyConnected(frame.Depth(), At(10), At(13)));
    PaintRow(frame, 10, {1000, 1000, 800, 1000});
    EXPECT_EQ(1, marcher.IsContinuouslyConnected(frame.Depth(), At(10), At(13)));
    EXPECT_EQ(0, marcher.IsContinuouslyConnected(frame.Depth(), At(5), At(13)));
}

}  // namespace
