// Corrupt and truncated snapshots must fail cleanly: no crash, no huge
// allocation, a failed stream the caller can see. Run under ASan+UBSan.

#include <gtest/gtest.h>

#include "ByteBuilder.h"
#include "ForwardOnlyBuffer.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "QuorLibrary/Utilities/Serialization.h"
#include "SerializationTestTypes.h"

namespace {

using vela_test::Append;

using serialization_test::Candidate;
using serialization_test::FilledState;
using serialization_test::Save;
using serialization_test::TrackerState;

// Reads a snapshot into a state that already holds data; true when the
// stream is still good afterwards.
bool Restore(const std::string& bytes, TrackerState& state) {
    std::istringstream in(bytes, std::ios::in | std::ios::binary);
    IStreamWrapper wrapper(in);
    state.ReadOrWrite(wrapper);
    return !in.fail();
}

TEST(SerializationCorruptTest, EveryTruncationFails) {
    TrackerState original = FilledState();
    const std::string bytes = Save(original);
    for (size_t length = 0; length < bytes.size(); ++length) {
        TrackerState state = FilledState();
        ASSERT_FALSE(Restore(bytes.substr(0, length), state)) << "prefix of " << length << " bytes";
    }
}

TEST(SerializationCorruptTest, FailureEmptiesTheContainersThatFollow) {
    TrackerState original = FilledState();
    std::string bytes = Save(original);
    // The history vector's count (3) is followed by its first value (0.5).
    std::string marker;
    Append(marker, int32_t(3));
    Append(marker, 0.5f);
    const size_t at = bytes.find(marker);
    ASSERT_NE(at, std::string::npos);
    const int32_t negative = -1;
    std::memcpy(&bytes[at], &negative, sizeof(negative));

    TrackerState state = FilledState();
    state.m_fConfidence = 9.0f;
    EXPECT_FALSE(Restore(bytes, state));
    EXPECT_EQ(state.m_fConfidence, 0.75f);  // read before the fault
    EXPECT_TRUE(state.m_history.empty());
    EXPECT_TRUE(state.m_backPointers.empty());
    EXPECT_EQ(state.m_transitions.Rows(), 0);
    EXPECT_TRUE(state.m_name.empty());
    EXPECT_TRUE(state.m_candidates.empty());
    EXPECT_EQ(state.m_pool.Size(), 0);
}

// Each container form over a count that is negative or far beyond the 16
// bytes that follow it.
TEST(SerializationCorruptTest, BadCountsFailWithoutHugeAllocations) {
    const int32_t counts[] = {-1, INT32_MIN, INT32_MAX, 1 << 28, 17};
    const size_t chunkBytes = static_cast<size_t>(vela_serialization::kChunkBytes);
    for (int32_t count : counts) {
        SCOPED_TRACE(count);
        std::string bytes;
        Append(bytes, count);
        bytes += std::string(16, '\x01');

        {
            std::istringstream in(bytes);
            std::vector<float> values(3, 1.0f);
            ReadBinary(in, values);
            EXPECT_TRUE(in.fail());
            EXPECT_TRUE(values.empty());
            EXPECT_LE(values.capacity() * sizeof(float), 2 * chunkBytes);
        }
        {
            std::istringstream in(bytes);
            std::string text = "old";
            ReadBinary(in, text);
            EXPECT_TRUE(in.fail());
            EXPECT_TRUE(text.empty());
            EXPECT_LE(text.capacity(), 2 * chunkBytes);
        }
        {
            std::istringstream in(bytes);
            IStreamWrapper wrapper(in);
            std::vector<Candidate> elements(2);
            const int builtBefore = Candidate::s_nDefaultBuilt;
            ReadOrWriteBinaryObjArray(wrapper, elements);
            EXPECT_TRUE(in.fail());
            EXPECT_TRUE(elements.empty());
            // Elements are built only as the data for them arrives.
            EXPECT_LE(Candidate::s_nDefaultBuilt - builtBefore, 2);
        }
        {
            std::istringstream in(bytes);
            IStreamWrapper wrapper(in);
            Array<Candidate> elements;
            elements.EnsureCapacity(4);
            elements.Push();
            const int builtBefore = Candidate::s_nDefaultBuilt;
            ReadOrWriteBinaryObjArray(wrapper, elements);
            EXPECT_TRUE(in.fail());
            EXPECT_EQ(elements.Size(), 0);
            EXPECT_LE(static_cast<size_t>(Candidate::s_nDefaultBuilt - builtBefore) * sizeof(Candidate),
                      chunkBytes);
        }
        {
            std::string grid;
            Append(grid, count);
            Append(grid, count);
            grid += std::string(16, '\x01');
            std::istringstream in(grid);
            IStreamWrapper wrapper(in);
            Array2D<float> values;
            values.SetSize(2, 2, false);
            ReadOrWriteBinary(wrapper, values);
            EXPECT_TRUE(in.fail());
            EXPECT_EQ(values.Rows(), 0);
            EXPECT_EQ(values.Columns(), 0);
        }
        {
            // One row of count columns from a stream that cannot tell its
            // length: storage grows only with the data that comes.
            std::string grid;
            Append(grid, int32_t(1));
            Append(grid, count);
            grid += std::string(16, '\x01');
            vela_test::ForwardOnlyBuffer buffer(grid);
            std::istream in(&buffer);
            IStreamWrapper wrapper(in);
            Array2D<float> values;
            ReadOrWriteBinary(wrapper, values);
            EXPECT_TRUE(in.fail());
            EXPECT_EQ(values.Rows(), 0);
            EXPECT_LE(static_cast<size_t>(values.Capacity()) * sizeof(float), 2 * chunkBytes);
        }
    }
}

// Every aligned and unaligned position overwritten with a value that is
// poison as a count or length; the read must end cleanly whatever it hits.
TEST(SerializationCorruptTest, OverwrittenWordsNeverCrash) {
    TrackerState original = FilledState();
    const std::string bytes = Save(original);
    int failures = 0;
    for (int32_t poison : {int32_t(-1), INT32_MAX}) {
        for (size_t at = 0; at + 4 <= bytes.size(); ++at) {
            std::string corrupt = bytes;
            std::memcpy(&corrupt[at], &poison, sizeof(poison));
            TrackerState state = FilledState();
            failures += Restore(corrupt, state) ? 0 : 1;
        }
    }
    EXPECT_GT(failures, 0);
}

TEST(SerializationCorruptTest, RandomByteDamageNeverCrashes) {
    TrackerState original = FilledState();
    const std::string bytes = Save(original);
    std::mt19937 random(20240611u);
    std::uniform_int_distribution<size_t> position(0, bytes.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    std::uniform_int_distribution<int> damage(1, 6);
    for (int trial = 0; trial < 2000; ++trial) {
        std::string corrupt = bytes;
        for (int n = damage(random); n > 0; --n) {
            corrupt[position(random)] = static_cast<char>(value(random));
        }
        TrackerState state;
        Restore(corrupt, state);
    }
}

}  // namespace
