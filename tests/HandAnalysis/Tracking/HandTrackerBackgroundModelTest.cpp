// The hand side's background model: learning and forgetting per pixel, the
// foreground probability with its erosion and opening, resampling, the
// decimated masks, the SSE update against its plain twin, and the model on
// rendered frames of a room that a person walks into.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "../../OSLayer/XnLogTestWriter.h"
#include "DepthFixtureFrame.h"
#include "HandAnalysis/DUZHandImageHelpers.h"
#include "HandAnalysis/DUZHandTrackerBackgroundModel.h"
#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandCameraSession.h"
#include "HandScenes.h"

namespace {

using Model = DUZHandTrackerBackgroundModel;

// A frame with a depth and a shift map of one size, painted directly in
// shift units; the model reads only the shift map (the depth map gives the
// container its resolution).
class ShiftFrame {
public:
    ShiftFrame(int width, int height) : m_width(width) {
        m_depth.AllocateData(width, height);
        m_shift.AllocateData(width, height);
        std::fill(m_depth.WritableData(), m_depth.WritableData() + width * height, 1000);
        Fill(0);
        m_container.m_depth = &m_depth;
        m_container.m_shift = &m_shift;
        m_handMask.SetSize(height, width, false);
        std::fill(m_handMask.Data(), m_handMask.Data() + m_handMask.Size(), 0);
    }
    void Fill(unsigned short shift) {
        std::fill(m_shift.WritableData(), m_shift.WritableData() + m_shift.XRes() * m_shift.YRes(), shift);
    }
    unsigned short& Shift(int x, int y) { return m_shift.WritableData()[y * m_width + x]; }
    unsigned short& Depth(int x, int y) { return m_depth.WritableData()[y * m_width + x]; }
    const NADepthMapContainer& Container() const { return m_container; }
    const xn::DepthMetaData& DepthMap() const { return m_depth; }
    Box2D<int> All() const { return Box2D<int>(0, 0, m_width - 1, m_depth.YRes() - 1); }
    Array2D<unsigned short>& HandMask() { return m_handMask; }

private:
    int m_width;
    xn::DepthMetaData m_depth;
    xn::DepthMetaData m_shift;
    NADepthMapContainer m_container;
    Array2D<unsigned short> m_handMask;
};

// Every pixel's state at once.
void SetState(Model& model, unsigned short mean, unsigned short staticCount, unsigned short noDepth) {
    std::fill(model.m_meanDepthArray.Data(), model.m_meanDepthArray.Data() + model.m_meanDepthArray.Size(), mean);
    std::fill(model.m_staticCounterArray.Data(),
              model.m_staticCounterArray.Data() + model.m_staticCounterArray.Size(), staticCount);
    std::fill(model.m_noDepthCounterArray.Data(),
              model.m_noDepthCounterArray.Data() + model.m_noDepthCounterArray.Size(), noDepth);
}

struct PixelState {
    unsigned short mean, staticCount, noDepth;
    bool operator==(const PixelState& o) const {
        return mean == o.mean && staticCount == o.staticCount && noDepth == o.noDepth;
    }
};
PixelState StateAt(const Model& model, int x, int y) {
    return {model.m_meanDepthArray(y, x), model.m_staticCounterArray(y, x), model.m_noDepthCounterArray(y, x)};
}
std::ostream& operator<<(std::ostream& out, const PixelState& s) {
    return out << "mean " << s.mean << " static " << s.staticCount << " no-depth " << s.noDepth;
}

// The three per-pixel arrays of a model.
struct Snapshot {
    explicit Snapshot(const Model& model)
        : mean(model.m_meanDepthArray.Data(), model.m_meanDepthArray.Data() + model.m_meanDepthArray.Size()),
          staticCount(model.m_staticCounterArray.Data(),
                      model.m_staticCounterArray.Data() + model.m_staticCounterArray.Size()),
          noDepth(model.m_noDepthCounterArray.Data(),
                  model.m_noDepthCounterArray.Data() + model.m_noDepthCounterArray.Size()) {}
    void Restore(Model& model) const {
        std::copy(mean.begin(), mean.end(), model.m_meanDepthArray.Data());
        std::copy(staticCount.begin(), staticCount.end(), model.m_staticCounterArray.Data());
        std::copy(noDepth.begin(), noDepth.end(), model.m_noDepthCounterArray.Data());
    }
    bool operator==(const Snapshot& o) const {
        return mean == o.mean && staticCount == o.staticCount && noDepth == o.noDepth;
    }
    std::vector<unsigned short> mean, staticCount, noDepth;
};

class BackgroundModelTest : public ::testing::Test {
protected:
    void Start(ShiftFrame& frame) { ASSERT_EQ(1, m_model.Initialize(frame.DepthMap(), "unused.ini", 0)); }
    // One update of either twin over the whole frame.
    void Learn(ShiftFrame& frame, bool sse, unsigned short handMaskValue = 1) {
        if (sse) {
            m_model.Update(frame.Container(), frame.All(), frame.HandMask(), handMaskValue);
        } else {
            m_model.UpdateNoSSE(frame.Container(), frame.All(), frame.HandMask(), handMaskValue);
        }
    }
    Model m_model;
};

TEST_F(BackgroundModelTest, APixelMatchesItsMeanWithinThreeShiftsAndElseStartsOver) {
    for (const bool sse : {true, false}) {
        SCOPED_TRACE(sse ? "SSE" : "plain");
        ShiftFrame frame(160, 120);
        Start(frame);
        SetState(m_model, 100, 5, 4);
        frame.Fill(103);
        frame.Shift(10, 10) = 104;
        frame.Shift(11, 10) = 97;
        Learn(frame, sse);
        EXPECT_EQ((PixelState{102, 6, 0}), StateAt(m_model, 0, 0));
        EXPECT_EQ((PixelState{104, 0, 0}), StateAt(m_model, 10, 10));
        EXPECT_EQ((PixelState{99, 6, 0}), StateAt(m_model, 11, 10));  // (100 + 97 + 1) / 2
    }
}

TEST_F(BackgroundModelTest, NoDepthForgetsOnTheEleventhFrameSSEAndOnTheTenthPlain) {
    for (const bool sse : {true, false}) {
        SCOPED_TRACE(sse ? "SSE" : "plain");
        const int forgetsAt = sse ? 11 : 10;
        ShiftFrame frame(160, 120);
        Start(frame);
        SetState(m_model, 300, 8, 0);
        for (int n = 1; n <= 12; ++n) {
            Learn(frame, sse);
            const PixelState s = StateAt(m_model, 20, 30);
            EXPECT_EQ(n, s.noDepth);
            const unsigned short count = static_cast<unsigned short>(n);
            const PixelState expected = n >= forgetsAt ? PixelState{10000, 0, count} : PixelState{300, 8, count};
            EXPECT_EQ(expected, s) << "frame " << n;
        }
        // One frame with depth restarts the count.
        frame.Fill(400);
        Learn(frame, sse);
        EXPECT_EQ((PixelState{400, 0, 0}), StateAt(m_model, 20, 30));
    }
}

TEST_F(BackgroundModelTest, APixelUnderTheHandMaskKeepsItsStateButStillCountsMissingDepth) {
    for (const bool sse : {true, false}) {
        SCOPED_TRACE(sse ? "SSE" : "plain");
        ShiftFrame frame(160, 120);
        Start(frame);
        SetState(m_model, 300, 8, 2);
        frame.HandMask()(40, 50) = 7;
        frame.HandMask()(40, 51) = 7;
        frame.Fill(250);
        frame.Shift(51, 40) = 0;
        for (int n = 1; n <= 12; ++n) {
            Learn(frame, sse, 7);
        }
        EXPECT_EQ((PixelState{300, 8, 2}), StateAt(m_model, 50, 40));
        EXPECT_EQ((PixelState{10000, 0, 14}), StateAt(m_model, 51, 40));
        EXPECT_EQ((PixelState{250, 11, 0}), StateAt(m_model, 52, 40));
    }
}

// Uniform maps keep the background's erosion out of the way.
TEST_F(BackgroundModelTest, SeededPixelsAreBackgroundAtOnceANewValueOnlyAfterThreeMatches) {
    ShiftFrame frame(160, 120);
    Start(frame);
    frame.Fill(200);
    m_model.SetToCurrentShiftMapSSE(frame.Container(), frame.All());
    Array2D<short> probability;
    frame.Fill(190);
    m_model.ComputeForegroundProbabilityMap(frame.Container(), frame.All(), probability);
    EXPECT_EQ(1000, probability(60, 80));

    // The background moves to 180: untrusted (500) until its third match.
    frame.Fill(180);
    for (int update = 1; update <= 4; ++update) {
        Learn(frame, true);
        frame.Fill(170);
        m_model.ComputeForegroundProbabilityMap(frame.Container(), frame.All(), probability);
        EXPECT_EQ(update < 4 ? 500 : 1000, probability(60, 80)) << "update " << update;
        frame.Fill(180);
    }
}

TEST_F(BackgroundModelTest, ProbabilityFollowsTheShiftRampAndTheNoDepthCounter) {
    ShiftFrame frame(160, 120);
    Start(frame);
    SetState(m_model, 100, 3, 0);
    // An unset background block, wide enough for the 3x3 erosion.
    for (int y = 50; y < 60; ++y) {
        for (int x = 50; x < 60; ++x) {
            m_model.m_meanDepthArray(y, x) = 10000;
            m_model.m_staticCounterArray(y, x) = 0;
        }
    }
    m_model.m_noDepthCounterArray(55, 54) = 9;
    m_model.m_noDepthCounterArray(55, 55) = 10;
    frame.Fill(100);
    const struct {
        int x, y;
        unsigned short shift;
        short probability;
    } cases[] = {{10, 10, 98, 0},   {12, 10, 97, 500}, {14, 10, 96, 1000}, {16, 10, 0, 0},
                 {18, 10, 50, 1000}, {20, 10, 103, 0}, {54, 55, 300, 500}, {55, 55, 300, 1000}};
    for (const auto& c : cases) {
        frame.Shift(c.x, c.y) = c.shift;
    }
    Array2D<short> probability;
    m_model.ComputeForegroundProbabilityMap(frame.Container(), frame.All(), probability);
    for (const auto& c : cases) {
        EXPECT_EQ(c.probability, probability(c.y, c.x)) << "shift " << c.shift << " at " << c.x << ", " << c.y;
    }
}

TEST_F(BackgroundModelTest, ASingleForegroundPixelVanishesAt640x480AndStaysAt160x120) {
    for (const int width : {640, 160}) {
        SCOPED_TRACE(width);
        ShiftFrame frame(width, width * 3 / 4);
        Start(frame);
        SetState(m_model, 100, 3, 0);
        frame.Fill(100);
        frame.Shift(40, 30) = 90;
        // and a 6x6 patch, larger than the 5x5 window, which keeps its extent
        for (int y = 60; y < 66; ++y) {
            for (int x = 60; x < 66; ++x) {
                frame.Shift(x, y) = 90;
            }
        }
        Array2D<short> probability;
        m_model.ComputeForegroundProbabilityMap(frame.Container(), frame.All(), probability);
        EXPECT_EQ(width == 160 ? 1000 : 0, probability(30, 40));
        EXPECT_EQ(1000, probability(60, 60));
        EXPECT_EQ(1000, probability(65, 65));
        EXPECT_EQ(0, probability(66, 66));
    }
}

TEST_F(BackgroundModelTest, ABoxWiderThanTheComputedBoxIsCutWithOneLine) {
    ShiftFrame frame(160, 120);
    Start(frame);
    SetState(m_model, 90, 3, 0);
    frame.Fill(90);
    const Box2D<int> learnt(0, 0, 158, 119);
    m_model.Update(frame.Container(), learnt, frame.HandMask(), 1);
    EXPECT_EQ(learnt, m_model.m_computedBox);
    Array2D<short> probability;
    probability.SetSize(120, 160, false);
    std::fill(probability.Data(), probability.Data() + probability.Size(), -7);

    testing::internal::CaptureStdout();
    m_model.ComputeForegroundProbabilityMap(frame.Container(), frame.All(), probability);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ("ComputeForegroundProbabilityMap: called with larger bounds than background model computed\n", printed);
    for (int y = 0; y < 120; ++y) {
        EXPECT_EQ(-7, probability(y, 159));
        EXPECT_EQ(0, probability(y, 158));  // 90 against the learnt 90
    }
    testing::internal::CaptureStdout();
    m_model.ComputeForegroundProbabilityMap(frame.Container(), learnt, probability);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST_F(BackgroundModelTest, ResamplingTakesTheTopLeftPixelAndReplicatesBack) {
    ShiftFrame frame(320, 240);
    Start(frame);
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            m_model.m_meanDepthArray(y, x) = static_cast<unsigned short>(y * 320 + x);
            m_model.m_staticCounterArray(y, x) = static_cast<unsigned short>(x);
            m_model.m_noDepthCounterArray(y, x) = static_cast<unsigned short>(y);
        }
    }
    m_model.UpdateResolution(NAResolution::QQVGA);
    ASSERT_EQ(160, m_model.Width());
    ASSERT_EQ(120, m_model.Height());
    EXPECT_EQ(Box2D<int>(0, 0, 159, 119), m_model.m_computedBox);
    for (int y = 0; y < 120; y += 7) {
        for (int x = 0; x < 160; x += 3) {
            EXPECT_EQ(static_cast<unsigned short>(2 * y * 320 + 2 * x), m_model.m_meanDepthArray(y, x));
            EXPECT_EQ(2 * x, m_model.m_staticCounterArray(y, x));
            EXPECT_EQ(2 * y, m_model.m_noDepthCounterArray(y, x));
        }
    }
    m_model.UpdateResolution(NAResolution::QVGA);
    ASSERT_EQ(320, m_model.Width());
    for (int y = 0; y < 240; y += 5) {
        for (int x = 0; x < 320; x += 3) {
            EXPECT_EQ(static_cast<unsigned short>((y / 2) * 2 * 320 + (x / 2) * 2), m_model.m_meanDepthArray(y, x));
        }
    }
    EXPECT_EQ(320, m_model.m_workMap1.Columns());
    EXPECT_EQ(240, m_model.m_workMap2.Rows());
}

// 1280x1024 does not scale with the widths of the other levels: resampling
// to and from it stays inside the old image.
TEST_F(BackgroundModelTest, ResamplingToAndFrom1280x1024StaysInsideTheImage) {
    ShiftFrame frame(640, 480);
    Start(frame);
    SetState(m_model, 700, 3, 0);
    m_model.m_meanDepthArray(479, 0) = 5;
    m_model.UpdateResolution(NAResolution::SXGA);
    EXPECT_EQ(1024, m_model.Height());
    EXPECT_EQ(5, m_model.m_meanDepthArray(1023, 0));
    EXPECT_EQ(700, m_model.m_meanDepthArray(1023, 2));
    m_model.UpdateResolution(NAResolution::QQQVGA);
    EXPECT_EQ(700, m_model.m_meanDepthArray(59, 0));
}

TEST_F(BackgroundModelTest, AModelWithoutSizeLearnsNothingAndStartsUnsetWhenSized) {
    xn::DepthMetaData odd;
    odd.AllocateData(100, 100);
    ASSERT_EQ(1, m_model.Initialize(odd, "", 0));
    EXPECT_EQ(0, m_model.Width());
    EXPECT_EQ(NAResolution::NoMatch, m_model.Resolution());
    m_model.m_resampleScratch.SetSize(240, 320, false);
    std::fill(m_model.m_resampleScratch.Data(), m_model.m_resampleScratch.Data() + 320 * 240, 3);
    m_model.UpdateResolution(NAResolution::QVGA);
    EXPECT_EQ((PixelState{10000, 0, 0}), StateAt(m_model, 319, 239));
}

TEST_F(BackgroundModelTest, MasksAreDecimatedAndRefusedForFinerResolutions) {
    ShiftFrame model(320, 240);
    Start(model);
    SetState(m_model, 500, 40, 2);
    // Recently changed: (20, 10) and (21, 10) of the 160x120 frame; the
    // second lies under the hand mask.
    m_model.m_staticCounterArray(20, 40) = 15;
    m_model.m_staticCounterArray(20, 42) = 3;
    m_model.m_meanDepthArray(20, 42) = 611;
    m_model.m_noDepthCounterArray(20, 42) = 9;
    Array2D<unsigned short> handMask;
    handMask.SetSize(240, 320, false);
    std::fill(handMask.Data(), handMask.Data() + handMask.Size(), 0);
    handMask(20, 42) = 4;

    ShiftFrame coarse(160, 120);
    Array2D<unsigned short> mask;
    ASSERT_TRUE(m_model.ComputeHandDetectorForgroundMask(coarse.Container(), Box2D<int>(0, 0, 159, 119), 1, handMask,
                                                         4, mask));
    ASSERT_EQ(160, mask.Columns());
    EXPECT_EQ(1, mask(10, 20));
    EXPECT_EQ(0, mask(10, 21));
    EXPECT_EQ(0, mask(10, 22));
    ASSERT_TRUE(m_model.ComputeHandDetectorForgroundMask(coarse.Container(), Box2D<int>(0, 0, 159, 119), 0, handMask,
                                                         4, mask));
    EXPECT_EQ(1, mask(10, 21));
    coarse.Depth(20, 10) = 0;
    ASSERT_TRUE(m_model.ComputeFocusForegroundMask(coarse.Container(), NAResolution::QQVGA, mask));
    EXPECT_EQ(0, mask(10, 20));
    EXPECT_EQ(1, mask(10, 21));
    EXPECT_EQ(1, std::count(mask.Data(), mask.Data() + mask.Size(), 1));

    Array2D<unsigned short> decimated;
    ASSERT_TRUE(m_model.GetMeanDepthArray(NAResolution::QQQVGA, decimated));
    EXPECT_EQ(80, decimated.Columns());
    EXPECT_EQ(500, decimated(5, 10));
    ASSERT_TRUE(m_model.GetNoDepthCounterArray(NAResolution::QQVGA, decimated));
    EXPECT_EQ(9, decimated(10, 21));
    EXPECT_EQ(2, decimated(10, 20));

    // Finer than the model, or no model: refused with a logged error and
    // nothing written.
    vela_test::CapturingLogWriter writer;
    ASSERT_EQ(XN_STATUS_OK, writer.Register());
    xnLogSetMaskMinSeverity("HandTrackerManager", XN_LOG_ERROR);
    writer.Clear();
    ShiftFrame fine(640, 480);
    mask.SetSize(1, 1, false);
    mask(0, 0) = 9;
    EXPECT_FALSE(m_model.ComputeHandDetectorForgroundMask(fine.Container(), Box2D<int>(0, 0, 639, 479), 1, handMask,
                                                          4, mask));
    EXPECT_FALSE(m_model.ComputeFocusForegroundMask(fine.Container(), NAResolution::VGA, mask));
    EXPECT_FALSE(m_model.GetMeanDepthArray(NAResolution::VGA, mask));
    EXPECT_FALSE(m_model.GetNoDepthCounterArray(NAResolution::NoMatch, mask));
    Model empty;
    EXPECT_FALSE(empty.GetMeanDepthArray(NAResolution::QQQVGA, mask));
    EXPECT_EQ(9, mask(0, 0));
    EXPECT_EQ(5, std::count_if(writer.m_entries.begin(), writer.m_entries.end(), [](const vela_test::CapturedEntry& e) {
                  return e.strMask == "HandTrackerManager" && e.nSeverity == XN_LOG_ERROR;
              }));
    xnLogSetMaskMinSeverity("HandTrackerManager", XN_LOG_SEVERITY_NONE);
}

// The vectorised forms work on whole 8-pixel groups: pixels just beside the
// box change with it.
TEST_F(BackgroundModelTest, TheSSEFormsCoverTheWhole8PixelGroupsOfTheBox) {
    ShiftFrame frame(160, 120);
    Start(frame);
    frame.Fill(321);
    const Box2D<int> box(3, 5, 10, 6);
    m_model.SetToCurrentShiftMapSSE(frame.Container(), box);
    EXPECT_EQ(Box2D<int>(0, 0, 159, 119), m_model.m_computedBox);  // seeding leaves it
    for (int x = 0; x < 24; ++x) {
        EXPECT_EQ(x < 16 ? 321 : 10000, m_model.m_meanDepthArray(5, x)) << x;
        EXPECT_EQ(10000, m_model.m_meanDepthArray(4, x)) << x;
    }
    frame.Fill(0);
    m_model.Update(frame.Container(), box, frame.HandMask(), 1);
    EXPECT_EQ(box, m_model.m_computedBox);
    for (int x = 0; x < 24; ++x) {
        EXPECT_EQ(x < 16 ? 1 : 0, m_model.m_noDepthCounterArray(6, x)) << x;
    }
    // An empty box does nothing, not even record itself.
    m_model.Update(frame.Container(), Box2D<int>(5, 5, 4, 9), frame.HandMask(), 1);
    EXPECT_EQ(box, m_model.m_computedBox);
}

// Random states and frames of real shifts through both twins: equal except
// where the SSE update forgets later (its no-depth limit is compared as a
// signed 16-bit count above 10).
TEST_F(BackgroundModelTest, SSEUpdateAndSeedingAgreeWithTheirPlainTwins) {
    std::vector<unsigned short> depthToShift;
    {
        hand_test_kit::FixtureFrame tables(160, 120);
        depthToShift.assign(tables.DepthToShift(), tables.DepthToShift() + 10001);
    }
    std::mt19937 random(24);
    auto draw = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (const int width : {160, 320}) {
        const int height = width * 3 / 4;
        ShiftFrame frame(width, height);
        Start(frame);
        for (int round = 0; round < 20; ++round) {
            SCOPED_TRACE(testing::Message() << width << " round " << round);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const int base = draw(0, 5) == 0 ? 0 : depthToShift[static_cast<size_t>(draw(500, 4500))];
                    frame.Shift(x, y) = static_cast<unsigned short>(base);
                    m_model.m_meanDepthArray(y, x) = static_cast<unsigned short>(
                        draw(0, 4) == 0 ? 10000 : std::max(0, base + draw(-5, 5)));
                    m_model.m_staticCounterArray(y, x) = static_cast<unsigned short>(draw(0, 9) == 0 ? 65535 : draw(0, 20));
                    m_model.m_noDepthCounterArray(y, x) =
                        static_cast<unsigned short>(draw(0, 9) == 0 ? draw(32760, 65535) : draw(0, 12));
                    frame.HandMask()(y, x) = static_cast<unsigned short>(draw(0, 3) == 0 ? 5 : draw(0, 4));
                }
            }
            const Box2D<int> box(8 * draw(0, 4), draw(0, 20), 8 * draw(10, width / 8 - 1) + 7, draw(60, height - 1));
            const Snapshot before(m_model);
            m_model.UpdateNoSSE(frame.Container(), box, frame.HandMask(), 5);
            const Snapshot plain(m_model);
            before.Restore(m_model);
            m_model.UpdateSSE(frame.Container(), box, frame.HandMask(), 5);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const int i = y * width + x;
                    const PixelState sse = StateAt(m_model, x, y);
                    const PixelState twin{plain.mean[i], plain.staticCount[i], plain.noDepth[i]};
                    const bool forgetsLater = frame.Shift(x, y) == 0 && duz_image::Contains(box, x, y) &&
                                              twin.noDepth >= 10 && !(static_cast<int16_t>(twin.noDepth) > 10);
                    if (forgetsLater) {
                        EXPECT_EQ(twin.noDepth, sse.noDepth);
                        EXPECT_EQ(10000, twin.mean);
                        EXPECT_EQ(before.mean[i], sse.mean);
                    } else {
                        ASSERT_EQ(twin, sse) << x << ", " << y;
                    }
                }
            }
            before.Restore(m_model);
            m_model.SetToCurrentShiftMap(frame.Container(), box);
            const Snapshot seededPlain(m_model);
            before.Restore(m_model);
            m_model.SetToCurrentShiftMapSSE(frame.Container(), box);
            EXPECT_TRUE(seededPlain == Snapshot(m_model));
        }
    }
}

}  // namespace

namespace {

// The room stays empty for the seeding frame and ten updates; the person
// then walks in from beyond the right edge of the view and stands still
// from 1.1 s (frame 34) on.
const std::string kWalkIn = hand_scenes::Room(
    hand_scenes::Person(hand_scenes::kRaisedRightArm, "  at 0 pos=2500,1800\n  at 0.45 pos=2500,1800\n  at 1.1 pos=0,1800\n"),
    "frames count=45\n");

TEST(BackgroundModelOnCamera, APersonWalkingIntoTheLearntRoomIsForeground) {
    hand_test_kit::CameraSession session;
    ASSERT_TRUE(session.OpenScene(kWalkIn, 320, 240)) << session.Error();
    hand_scenes::SessionContainer frame(session);
    Model model;
    Array2D<unsigned short> handMask;
    handMask.SetSize(240, 320, false);
    std::fill(handMask.Data(), handMask.Data() + handMask.Size(), 0);
    for (int n = 1; n <= 11; ++n) {
        ASSERT_TRUE(frame.Next());
        ASSERT_EQ(0, session.Truth().users.at(0).nVisiblePixels) << "frame " << n;
        if (n == 1) {
            ASSERT_EQ(1, model.Initialize(session.Depth(), "", 0));
            model.SetToCurrentShiftMapSSE(frame.Container(), frame.All());
        } else {
            model.Update(frame.Container(), frame.All(), handMask, 1);
        }
    }
    // No update while the person comes in: an update would take the
    // person's shifts as new, untrusted means.
    while (session.FrameId() < 36) {
        ASSERT_TRUE(frame.Next());
    }
    const vela::scene::RenderedFrame& rendered = session.Rendered();
    Array2D<short> probability;
    model.ComputeForegroundProbabilityMap(frame.Container(), frame.All(), probability);
    int person = 0, personForeground = 0, room = 0, roomBackground = 0;
    for (int i = 0; i < 320 * 240; ++i) {
        if (rendered.depth[static_cast<size_t>(i)] == 0) {
            continue;  // the projector's shadow beside the person, holes
        }
        if (rendered.users[static_cast<size_t>(i)] == 1) {
            ++person;
            personForeground += probability[i] == 1000;
        } else {
            ++room;
            roomBackground += probability[i] == 0;
        }
    }
    ASSERT_GT(person, 3000);
    EXPECT_GE(personForeground, 0.9 * person) << personForeground << " of " << person;
    EXPECT_GE(roomBackground, 0.99 * room) << roomBackground << " of " << room;

    // The hand held still under the hand mask keeps the room's means behind
    // it; the rest of the still person becomes background once its new
    // means matched three more frames.
    std::vector<int> hand;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const size_t i = static_cast<size_t>(y * 320 + x);
            if (rendered.users[i] == 1 && rendered.parts[i] == vela::scene::kPartLeftHand + vela::scene::kRight) {
                hand.push_back(static_cast<int>(i));
            }
            bool nearHand = false;
            for (int v = std::max(0, y - 4); v <= std::min(239, y + 4) && !nearHand; ++v) {
                for (int u = std::max(0, x - 4); u <= std::min(319, x + 4) && !nearHand; ++u) {
                    nearHand = rendered.parts[static_cast<size_t>(v * 320 + u)] == vela::scene::kPartLeftHand + vela::scene::kRight;
                }
            }
            handMask(y, x) = nearHand ? 2 : 0;
        }
    }
    ASSERT_GT(hand.size(), 100u);
    std::vector<unsigned short> roomMeans;
    for (const int i : hand) {
        roomMeans.push_back(model.m_meanDepthArray[i]);
    }
    for (int n = 0; n < 5; ++n) {
        ASSERT_TRUE(frame.Next());
        model.Update(frame.Container(), frame.All(), handMask, 2);
    }
    model.ComputeForegroundProbabilityMap(frame.Container(), frame.All(), probability);
    int handForeground = 0;
    for (size_t k = 0; k < hand.size(); ++k) {
        EXPECT_EQ(roomMeans[k], model.m_meanDepthArray[hand[k]]);
        handForeground += probability[hand[k]] == 1000;
    }
    EXPECT_GE(handForeground, 0.9 * static_cast<double>(hand.size()));
    int torso = 0, torsoLearnt = 0;
    for (int i = 0; i < 320 * 240; ++i) {
        if (session.Rendered().parts[static_cast<size_t>(i)] == vela::scene::kPartTorso &&
            session.Rendered().depth[static_cast<size_t>(i)] != 0) {
            ++torso;
            torsoLearnt += probability[i] == 0;
        }
    }
    EXPECT_GE(torsoLearnt, 0.9 * torso) << torsoLearnt << " of " << torso;
}

}  // namespace
