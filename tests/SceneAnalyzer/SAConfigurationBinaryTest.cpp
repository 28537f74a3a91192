#include "SceneAnalyzer/SAConfigurationBinary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "ByteBuilder.h"

namespace {

using vela_test::Append;

SAConfiguration SampleConfiguration() {
    SAConfiguration c;
    c.m_SSE = {0, 3, 900};
    c.m_profiling = {1, -1, -1};
    c.m_output = {1, 2, 5};
    c.m_bitExact = {1, 10, 20};
    c.m_resolution = QVGA;
    c.m_outputResolution = QQQVGA;
    c.m_verName = "nightly";
    c.m_MaxSupportedDepth = 6500;
    return c;
}

std::string Written(const SAConfiguration& c) {
    std::ostringstream out(std::ios::binary);
    WriteBinary(out, c);
    return out.str();
}

// Fields back to back in a fixed order: the four switches, the two
// resolutions, the name's length and characters, the largest depth.
TEST(SAConfigurationBinaryTest, LayoutAndRoundTrip) {
    SAConfiguration defaults;
    std::string expected;
    for (int32_t v : {1, -1, 1000000000, 0, -1, -1, 0, -1, -1, 0, -1, -1, 2, 2, 0}) {
        Append(expected, v);
    }
    Append(expected, uint16_t(8000));
    EXPECT_EQ(62u, expected.size());
    EXPECT_EQ(expected, Written(defaults));

    const SAConfiguration sample = SampleConfiguration();
    const std::string bytes = Written(sample);
    ASSERT_EQ(62u + 7u, bytes.size());
    EXPECT_EQ("nightly", bytes.substr(60, 7));
    std::istringstream in(bytes);
    SAConfiguration read;
    ASSERT_TRUE(ReadBinary(in, read));
    std::string message = "untouched";
    EXPECT_TRUE(CheckSimilarity(sample, read, &message));
    EXPECT_EQ("untouched", message);
    EXPECT_EQ(in.tellg(), static_cast<std::streamoff>(bytes.size()));
}

// Each field compares on its own, in stream order: a difference in any one
// value (a switch's frame ends included) names that field.
TEST(SAConfigurationBinaryTest, ComparisonNamesTheDifferingField) {
    struct Case {
        const char* field;
        std::function<void(SAConfiguration&)> change;
    };
    const std::vector<Case> cases = {
        {"m_SSE", [](SAConfiguration& c) { c.m_SSE.on = 1; }},
        {"m_profiling", [](SAConfiguration& c) { c.m_profiling.firstFrame = 0; }},
        {"m_output", [](SAConfiguration& c) { c.m_output.lastFrame = 6; }},
        {"m_bitExact", [](SAConfiguration& c) { c.m_bitExact.lastFrame = 21; }},
        {"m_resolution", [](SAConfiguration& c) { c.m_resolution = QQVGA; }},
        {"m_outputResolution", [](SAConfiguration& c) { c.m_outputResolution = VGA; }},
        {"m_verName", [](SAConfiguration& c) { c.m_verName = "nightlY"; }},
        {"m_MaxSupportedDepth", [](SAConfiguration& c) { c.m_MaxSupportedDepth = 6501; }},
        {"m_SSE", [](SAConfiguration& c) {
             c.m_MaxSupportedDepth = 1;
             c.m_SSE.lastFrame = 1;
         }},
    };
    const SAConfiguration sample = SampleConfiguration();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        SAConfiguration other = sample;
        c.change(other);
        std::string message;
        EXPECT_FALSE(CheckSimilarity(sample, other, &message));
        EXPECT_EQ(std::string("In ") + c.field + ": ", message);
        EXPECT_FALSE(CheckSimilarity(other, sample, nullptr));
    }
}

// The name is kept up to its first zero character; every byte of its
// length is still consumed.
TEST(SAConfigurationBinaryTest, NameEndsAtItsFirstZero) {
    SAConfiguration sample = SampleConfiguration();
    sample.m_verName = std::string("ab\0cd", 5);
    const std::string bytes = Written(sample);
    std::istringstream in(bytes);
    SAConfiguration read;
    ASSERT_TRUE(ReadBinary(in, read));
    EXPECT_EQ("ab", read.m_verName);
    EXPECT_EQ(6500, read.m_MaxSupportedDepth);
}

// A stream from outside is refused, the record left as it was, when it
// ends early anywhere, when a resolution is not one, or when the name's
// length is negative or beyond any name.
TEST(SAConfigurationBinaryTest, StreamsThatAreNoConfigurationAreRefused) {
    const std::string bytes = Written(SampleConfiguration());
    std::vector<std::pair<std::string, std::string> > cases;
    for (size_t length = 0; length < bytes.size(); ++length) {
        cases.emplace_back("cut at " + std::to_string(length), bytes.substr(0, length));
    }
    const auto withInt = [&bytes](size_t offset, int32_t value) {
        std::string changed = bytes;
        changed.replace(offset, 4, reinterpret_cast<const char*>(&value), 4);
        return changed;
    };
    cases.emplace_back("resolution 7", withInt(48, 7));
    cases.emplace_back("resolution -1", withInt(48, -1));
    cases.emplace_back("output resolution 8", withInt(52, 8));
    cases.emplace_back("negative name length", withInt(56, -1));
    cases.emplace_back("name longer than any", withInt(56, kMaxSAVersionNameLength + 1));
    cases.emplace_back("name longer than the stream", withInt(56, 1000));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        std::istringstream in(c.second);
        SAConfiguration read;
        read.m_verName = "kept";
        EXPECT_FALSE(ReadBinary(in, read));
        EXPECT_EQ("kept", read.m_verName);
        EXPECT_EQ(QQVGA, read.m_resolution);
    }
}

}  // namespace
