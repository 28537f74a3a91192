// Region tracking of the alternative scene analyzer on hand-made regions:
// which regions of two frames match, and how object ids move between the
// regions and the free stack.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "SceneAnalyzer/NewSceneAnalyzer.h"

namespace {

struct RegionSpec {
    int pixels;
    float x;  // centre along world x, mm
};

// Pushes a frame of regions 1..n (region 0 the background).
void PushFrame(NewSceneAnalyzer& analyzer, const std::vector<RegionSpec>& regions, int frame) {
    Array<NewConnectedComponent>& ccs = analyzer.m_ccs.Push();
    ccs.Clear();
    ccs.Push().Initialize(0, frame);
    for (size_t i = 0; i < regions.size(); ++i) {
        NewConnectedComponent& r = ccs.Push();
        r.Initialize(static_cast<unsigned short>(i + 1), frame);
        r.m_pixelCount = regions[i].pixels;
        r.m_RWCenter = Vector3D<float>(regions[i].x, 0.0f, 2000.0f);
    }
}

void FillIds(NewSceneAnalyzer& analyzer, int count) {
    analyzer.m_freeObjectIds.clear();
    for (int id = count; id >= 1; --id) {
        analyzer.m_freeObjectIds.push_back(static_cast<uint16_t>(id));
    }
}

}  // namespace

// The first frame hands out ids from the top of the stack; matched regions
// keep theirs, unmatched ones (too small, or too different in size) get
// fresh ones while the ids of regions that lost their chain return.
TEST(NewSceneAnalyzerTracking, IdsFollowMutualMatchesAndReturnToTheStack) {
    NewSceneAnalyzer analyzer;
    FillIds(analyzer, NewSceneAnalyzer::kMaxObjectIds);
    // 1: large; 2: tiny (never matched); 3: shrinks by a third (too much).
    PushFrame(analyzer, {{300, 0.0f}, {9, 500.0f}, {300, 1000.0f}}, 1);
    analyzer.TrackCcs();
    const Array<NewConnectedComponent>& first = analyzer.m_ccs.GetCurrent();
    EXPECT_EQ(1, first[1].m_objectId);
    EXPECT_EQ(2, first[2].m_objectId);
    EXPECT_EQ(3, first[3].m_objectId);
    EXPECT_EQ(0, first[0].m_objectId);
    EXPECT_EQ(97, analyzer.FreeObjectIdCount());

    PushFrame(analyzer, {{310, 20.0f}, {9, 500.0f}, {200, 1000.0f}}, 2);
    analyzer.TrackCcs();
    const Array<NewConnectedComponent>& previous = analyzer.m_ccs.GetPrevious(1);
    const Array<NewConnectedComponent>& current = analyzer.m_ccs.GetCurrent();
    ASSERT_EQ(&current[1], previous[1].m_pNext);
    ASSERT_EQ(&previous[1], current[1].m_pPrev);
    EXPECT_EQ(1, current[1].m_prevID);
    EXPECT_EQ(1, previous[1].m_nextID);
    EXPECT_EQ(1, current[1].m_objectId);
    EXPECT_EQ(nullptr, current[2].m_pPrev);
    EXPECT_EQ(nullptr, current[3].m_pPrev);
    // Ids 2 and 3 returned (3 on top), then were handed out again.
    EXPECT_EQ(3, current[2].m_objectId);
    EXPECT_EQ(2, current[3].m_objectId);
    EXPECT_EQ(97, analyzer.FreeObjectIdCount());
}

// Two regions of the previous frame prefer the same region: only the one it
// prefers back keeps the link; the other's id returns to the stack and the
// current region that lost out gets a fresh one.
TEST(NewSceneAnalyzerTracking, OnlyMutualPreferencesLink) {
    NewSceneAnalyzer analyzer;
    FillIds(analyzer, NewSceneAnalyzer::kMaxObjectIds);
    PushFrame(analyzer, {{300, 0.0f}, {300, 100.0f}}, 1);
    analyzer.TrackCcs();
    // Both previous regions are nearest to region 1 (at 40); region 2 is far.
    PushFrame(analyzer, {{300, 40.0f}, {300, 5000.0f}}, 2);
    analyzer.TrackCcs();
    const Array<NewConnectedComponent>& previous = analyzer.m_ccs.GetPrevious(1);
    const Array<NewConnectedComponent>& current = analyzer.m_ccs.GetCurrent();
    EXPECT_EQ(&current[1], previous[1].m_pNext);
    EXPECT_EQ(nullptr, previous[2].m_pNext);
    EXPECT_EQ(-1, previous[2].m_nextID);
    // Region 2 of the current frame preferred previous region 2, which did
    // not prefer it back.
    EXPECT_EQ(nullptr, current[2].m_pPrev);
    EXPECT_EQ(-1, current[2].m_prevID);
    EXPECT_EQ(1, current[1].m_objectId);
    EXPECT_EQ(2, current[2].m_objectId);
    EXPECT_EQ(98, analyzer.FreeObjectIdCount());
}

// Every id given out: further regions get no object rather than reading
// past an empty stack.
TEST(NewSceneAnalyzerTracking, AnEmptyStackGivesNoObject) {
    NewSceneAnalyzer analyzer;
    FillIds(analyzer, 2);
    PushFrame(analyzer, {{300, 0.0f}, {300, 1000.0f}, {300, 2000.0f}}, 1);
    analyzer.TrackCcs();
    const Array<NewConnectedComponent>& ccs = analyzer.m_ccs.GetCurrent();
    EXPECT_EQ(1, ccs[1].m_objectId);
    EXPECT_EQ(2, ccs[2].m_objectId);
    EXPECT_EQ(0, ccs[3].m_objectId);
    EXPECT_EQ(0, analyzer.FreeObjectIdCount());
    // A region without an object that ends its chain returns nothing.
    PushFrame(analyzer, {}, 2);
    analyzer.TrackCcs();
    EXPECT_EQ(2, analyzer.FreeObjectIdCount());
}

// Links into a frame that leaves the ring are cut when its slot is reused,
// and a region record reads back what was written.
TEST(NewSceneAnalyzerTracking, RegionRecordRoundTrip) {
    NewConnectedComponent r;
    r.Initialize(7, 42);
    r.m_objectId = 9;
    r.m_prevID = 3;
    r.m_nextID = 4;
    r.m_pixelCount = 120;
    r.m_xCenter = 10;
    r.m_yCenter = 20;
    r.m_zCenter = 2500;
    r.m_bounds = Box3D<int>(Vector3D<int>(1, 2, 2400), Vector3D<int>(30, 40, 2600));
    r.m_RWCenter = Vector3D<float>(-1.5f, 2.25f, 2500.0f);
    std::ostringstream out(std::ios::binary);
    WriteBinary(out, r);
    ASSERT_EQ(static_cast<size_t>(NewConnectedComponent::kBinarySize), out.str().size());
    NewConnectedComponent back;
    back.m_pPrev = &r;
    std::istringstream in(out.str(), std::ios::binary);
    ASSERT_TRUE(ReadBinary(in, back));
    EXPECT_EQ(nullptr, back.m_pPrev);
    std::string message;
    EXPECT_TRUE(CheckSimilarity(r, back, &message)) << message;
    back.m_RWCenter.y = 2.5f;
    EXPECT_FALSE(CheckSimilarity(r, back, &message));
    EXPECT_EQ("In m_RWCenter: ", message);
    std::istringstream shortIn(out.str().substr(0, 71), std::ios::binary);
    EXPECT_FALSE(ReadBinary(shortIn, back));
}
