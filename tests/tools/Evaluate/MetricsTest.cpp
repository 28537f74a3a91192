// The evaluation's measures on crafted maps, ids and values.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Evaluate/EvaluationOptions.h"
#include "Evaluate/IdentityHistory.h"
#include "Evaluate/JsonWriter.h"
#include "Evaluate/LabelOverlap.h"
#include "Evaluate/Summary.h"

namespace {

using namespace vela::evaluate;

TEST(LabelOverlap, IntersectionOverUnionAndBestUserOnACraftedMap) {
    // Person 1 covers 6 pixels, person 2 covers 2; user 5 covers four of
    // person 1 and one background pixel, user 3 two of person 1 and both
    // of person 2.
    const std::vector<uint16_t> truth = {1, 1, 1, 1, 1, 1, 2, 2, 0, 0};
    const std::vector<int16_t> users = {5, 5, 5, 5, 3, 3, 3, 3, 5, 0};
    LabelOverlap overlap;
    overlap.Count(truth.data(), users.data(), truth.size());
    EXPECT_EQ(6, overlap.TruePixels(1));
    EXPECT_EQ(5, overlap.ReportedPixels(5));
    EXPECT_EQ(4, overlap.Shared(1, 5));
    EXPECT_DOUBLE_EQ(4.0 / 7.0, overlap.IoU(1, 5));
    EXPECT_DOUBLE_EQ(2.0 / 8.0, overlap.IoU(1, 3));
    EXPECT_DOUBLE_EQ(2.0 / 4.0, overlap.IoU(2, 3));
    EXPECT_EQ(5, overlap.BestUser(1));
    EXPECT_EQ(3, overlap.BestUser(2));
    EXPECT_EQ((std::vector<int>{3, 5}), overlap.ReportedUsers());
    // Absent labels: nothing shared, IoU 0 rather than a division by zero.
    EXPECT_EQ(0, overlap.BestUser(4));
    EXPECT_EQ(0.0, overlap.IoU(4, 9));

    // A tie goes to the lower id; no user map reports nobody.
    const std::vector<int16_t> tie = {7, 7, 7, 2, 2, 2, 0, 0, 0, 0};
    overlap.Count(truth.data(), tie.data(), truth.size());
    EXPECT_EQ(2, overlap.BestUser(1));
    EXPECT_DOUBLE_EQ(0.5, overlap.IoU(1, 7));
    overlap.Count(truth.data(), nullptr, truth.size());
    EXPECT_EQ(0, overlap.BestUser(1));
    EXPECT_TRUE(overlap.ReportedUsers().empty());
    EXPECT_EQ(6, overlap.TruePixels(1));
}

TEST(IdentityHistory, CountsSwitchesBetweenSeenFramesOnly) {
    const struct {
        std::vector<int> observed;
        int switches;
        std::vector<int> ids;
    } cases[] = {
        {{}, 0, {}},
        {{0, 0}, 0, {}},
        {{1, 1, 1}, 0, {1}},
        // A gap (occlusion) with the same id again is no switch.
        {{1, 0, 0, 1}, 0, {1}},
        {{1, 0, 2}, 1, {1, 2}},
        // Back and forth: every change counts, ids listed once.
        {{1, 2, 1, 2}, 3, {1, 2}},
        {{0, 3, 3, 4, 0, 4}, 1, {3, 4}},
    };
    for (const auto& c : cases) {
        IdentityHistory history;
        for (int id : c.observed) history.Observe(id);
        EXPECT_EQ(c.switches, history.Switches()) << ::testing::PrintToString(c.observed);
        EXPECT_EQ(c.ids, history.Ids()) << ::testing::PrintToString(c.observed);
        EXPECT_EQ(!c.ids.empty(), history.Seen());
    }
}

TEST(Summary, PercentilesInterpolateBetweenRanks) {
    const std::vector<double> one_to_twenty = [] {
        std::vector<double> v;
        for (int i = 20; i >= 1; --i) v.push_back(i);  // unsorted on purpose
        return v;
    }();
    const Summary s = Summarize(one_to_twenty);
    EXPECT_EQ(20, s.count);
    EXPECT_DOUBLE_EQ(10.5, s.mean);
    EXPECT_DOUBLE_EQ(10.5, s.median);
    EXPECT_DOUBLE_EQ(19.05, s.p95);
    EXPECT_DOUBLE_EQ(20.0, s.max);

    const struct {
        std::vector<double> sorted;
        double p, expected;
    } cases[] = {
        {{}, 50, 0.0},
        {{7}, 95, 7.0},
        {{1, 2, 3, 4}, 50, 2.5},
        {{1, 2, 3, 4}, 0, 1.0},
        {{1, 2, 3, 4}, 100, 4.0},
        {{1, 2, 3, 4}, 150, 4.0},  // clamped
        {{0, 10}, 95, 9.5},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(c.expected, Percentile(c.sorted, c.p)) << c.p;
    }
    EXPECT_EQ(0, Summarize({}).count);
}

TEST(JsonWriter, NestsKeysAndCommasAndWritesNullForMissingValues) {
    JsonWriter json;
    json.BeginObject();
    json.Key("a").Integer(1);
    json.Key("b").BeginArray().Number(0.5).Null().String("q\"\\\n").EndArray();
    json.Key("c").BeginObject().Key("d").Bool(true).EndObject();
    json.Key("e").Number(std::nan(""));
    json.Key("f").Stats(Summarize({}));
    json.Key("g").Integers({});
    json.EndObject();
    EXPECT_EQ("{\"a\":1,\"b\":[0.5,null,\"q\\\"\\\\\\u000a\"],\"c\":{\"d\":true},\"e\":null,"
              "\"f\":{\"count\":0,\"mean\":null,\"median\":null,\"p95\":null,\"max\":null},\"g\":[]}",
              json.Text());
}

TEST(EvaluationOptions, HandStartsAndTheRulesBetweenOptions) {
    const struct {
        const char* text;
        bool ok;
        int frame, person, side;
    } starts[] = {
        {"30:1:right", true, 30, 1, 1}, {"0:2:left", true, 0, 2, 0}, {"30:0:right", false, 0, 0, 0},
        {"-1:1:left", false, 0, 0, 0},  {"30:1", false, 0, 0, 0},    {"30:1:Right", false, 0, 0, 0},
        {":1:left", false, 0, 0, 0},    {"3x:1:left", false, 0, 0, 0}, {"99999999999999999999:1:left", false, 0, 0, 0},
    };
    for (const auto& c : starts) {
        HandStart start;
        ASSERT_EQ(c.ok, ParseHandStart(c.text, start)) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(c.frame, start.frame) << c.text;
        EXPECT_EQ(c.person, start.person) << c.text;
        EXPECT_EQ(c.side, start.side) << c.text;
    }

    const struct {
        std::vector<std::string> args;
        bool ok;
    } lines[] = {
        {{"a.scene"}, true},
        {{"--hands", "--start-hand", "5:1:left", "--start-at-gestures", "a.scene", "b.scene"}, true},
        {{"--recording", "a.oni", "--resolution", "640x480", "--seed", "7", "--frames", "10", "a.scene"}, true},
        {{}, false},
        {{"--frames"}, false},
        {{"--frames", "0", "a.scene"}, false},
        {{"--seed", "-1", "a.scene"}, false},
        {{"--start-hand", "5:1:left", "a.scene"}, false},
        {{"--recording", "a.oni", "a.scene", "b.scene"}, false},
        {{"--colour", "a.scene"}, false},
    };
    for (const auto& c : lines) {
        EvaluationOptions options;
        std::string error;
        EXPECT_EQ(c.ok, ParseEvaluationOptions(c.args, options, error)) << ::testing::PrintToString(c.args);
        EXPECT_EQ(c.ok, error.empty()) << error;
    }
}

}  // namespace
