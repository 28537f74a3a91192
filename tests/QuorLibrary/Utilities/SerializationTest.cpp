#include "QuorLibrary/Utilities/Serialization.h"

#include <gtest/gtest.h>

#include "ByteBuilder.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "SerializationTestTypes.h"

namespace {

using vela_test::Append;

using serialization_test::Candidate;
using serialization_test::FilledState;
using serialization_test::Save;
using serialization_test::Stamp;
using serialization_test::TrackerState;
using serialization_test::TRACKING_CALIBRATING;
using serialization_test::TRACKING_TRACKED;
using serialization_test::TrackingState;

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

TEST(SerializationTest, SnapshotRoundTripsBitForBit) {
    TrackerState original = FilledState();
    const std::string bytes = Save(original);

    // The target holds other content first: longer and shorter containers,
    // other strings, so that every field must really be replaced.
    TrackerState restored;
    restored.m_history.assign(10, 1.0f);
    restored.m_candidates.resize(7);
    restored.m_pool.EnsureCapacity(9);
    restored.m_pool.Push();
    restored.m_name = "something else entirely";
    restored.m_transitions.SetSize(5, 5, false);

    std::istringstream in(bytes, std::ios::in | std::ios::binary);
    IStreamWrapper wrapper(in);
    restored.ReadOrWrite(wrapper);
    ASSERT_FALSE(in.fail());
    EXPECT_EQ(in.peek(), std::char_traits<char>::eof());

    EXPECT_TRUE(SameBits(restored.m_fMissing, original.m_fMissing));
    EXPECT_TRUE(SameBits(restored.m_history[1], original.m_history[1]));
    EXPECT_TRUE(restored.m_bTracked);
    EXPECT_EQ(restored.m_state, TRACKING_TRACKED);
    EXPECT_EQ(restored.m_time.nMicroseconds, 1234567890123LL);
    EXPECT_EQ(restored.m_last.nMicroseconds, INT64_MAX);
    EXPECT_EQ(restored.m_transitions.Rows(), 2);
    EXPECT_EQ(restored.m_transitions.Columns(), 3);
    EXPECT_EQ(restored.m_longName, original.m_longName);
    EXPECT_EQ(restored.m_longerName, original.m_longerName);
    ASSERT_EQ(restored.m_candidates.size(), 3u);
    ASSERT_EQ(restored.m_pool.Size(), 2);
    EXPECT_EQ(restored.m_pool[1].m_nId, 201);
    EXPECT_EQ(restored.m_fixed[2].m_nId, 302);
    // Derived data is rebuilt after reading, not stored.
    EXPECT_FLOAT_EQ(restored.m_candidates[2].m_fScoreSquared, 0.5625f);
    EXPECT_FLOAT_EQ(restored.m_fixed[1].m_fScoreSquared, 16.0f);

    // Saving the restored state gives the very same bytes.
    EXPECT_EQ(Save(restored), bytes);
}

// The exact bytes of each field kind.
TEST(SerializationTest, FieldLayout) {
    struct Case {
        const char* name;
        std::function<void(IOStreamWrapper&)> write;
        std::string expected;
    };
    std::vector<Case> cases;

    cases.push_back({"bool is one byte",
                     [](IOStreamWrapper& w) {
                         bool b = true;
                         ReadOrWriteBinary(w, b);
                     },
                     std::string("\x01", 1)});
    cases.push_back({"enumeration is four bytes",
                     [](IOStreamWrapper& w) {
                         TrackingState s = TRACKING_CALIBRATING;
                         ReadOrWriteBinary(w, s);
                     },
                     std::string("\x01\x00\x00\x00", 4)});
    {
        std::string expected;
        Append(expected, int64_t(-2));
        cases.push_back({"time stamp is eight bytes",
                         [](IOStreamWrapper& w) {
                             Stamp t{-2};
                             ReadOrWriteBinary(w, t);
                         },
                         expected});
    }
    {
        std::string expected;
        for (float f : {1.0f, 2.0f, 3.0f, 0.0f, 1.0f, 2.0f, 10.0f, 11.0f, 12.0f, 20.0f, 21.0f, 22.0f}) {
            Append(expected, f);
        }
        cases.push_back({"frame is origin then rotation row by row",
                         [](IOStreamWrapper& w) {
                             Frame3D<float> frame;
                             frame.m_origin = Vector3D<float>(1.0f, 2.0f, 3.0f);
                             for (int r = 0; r < 3; ++r) {
                                 for (int c = 0; c < 3; ++c) {
                                     frame.m_orientation(r, c) = static_cast<float>(10 * r + c);
                                 }
                             }
                             ReadOrWriteBinary(w, frame);
                         },
                         expected});
    }
    {
        std::string expected;
        for (float f : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}) {
            Append(expected, f);
        }
        Append(expected, int64_t(7));
        Append(expected, int64_t(8));
        cases.push_back({"two vectors and two time stamps in argument order",
                         [](IOStreamWrapper& w) {
                             Vector3D<float> a(1.0f, 2.0f, 3.0f);
                             Vector3D<float> b(4.0f, 5.0f, 6.0f);
                             Stamp t0{7};
                             Stamp t1{8};
                             ReadOrWriteBinary(w, a, b, t0, t1);
                         },
                         expected});
    }
    cases.push_back({"empty vector is a zero count",
                     [](IOStreamWrapper& w) {
                         std::vector<float> v;
                         ReadOrWriteBinary(w, v);
                     },
                     std::string(4, '\0')});
    {
        std::string expected;
        Append(expected, int32_t(2));
        Append(expected, int32_t(7));
        Append(expected, int32_t(-8));
        cases.push_back({"int vector is a count then the values",
                         [](IOStreamWrapper& w) {
                             std::vector<int> v = {7, -8};
                             ReadOrWriteBinary(w, v);
                         },
                         expected});
    }
    {
        std::string expected;
        Append(expected, int32_t(2));
        Append(expected, int32_t(1));
        Append(expected, 0.5f);
        Append(expected, 1.5f);
        cases.push_back({"grid is rows, columns, values",
                         [](IOStreamWrapper& w) {
                             Array2D<float> grid;
                             grid.SetSize(2, 1, false);
                             grid(0, 0) = 0.5f;
                             grid(1, 0) = 1.5f;
                             ReadOrWriteBinary(w, grid);
                         },
                         expected});
    }
    {
        std::string expected;
        Append(expected, 0.25f);
        Append(expected, 0.5f);
        cases.push_back({"value array has no count; nothing for n <= 0",
                         [](IOStreamWrapper& w) {
                             float values[2] = {0.25f, 0.5f};
                             ReadOrWriteBinaryArray(w, values, 2);
                             ReadOrWriteBinaryArray(w, values, 0);
                             ReadOrWriteBinaryArray(w, values, -3);
                         },
                         expected});
    }
    {
        std::string expected;
        Append(expected, int32_t(1));
        Append(expected, int32_t(42));
        Append(expected, 2.0f);
        Append(expected, int32_t(0));
        cases.push_back({"object vector is a count then each element",
                         [](IOStreamWrapper& w) {
                             std::vector<Candidate> v(1);
                             v[0].m_nId = 42;
                             v[0].m_fScore = 2.0f;
                             ReadOrWriteBinaryObjArray(w, v);
                             ReadOrWriteBinaryObjArray(w, v.data(), 0);
                         },
                         expected});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ostringstream out(std::ios::out | std::ios::binary);
        OStreamWrapper writer(out);
        c.write(writer);
        EXPECT_EQ(out.str(), c.expected);
    }
}

TEST(SerializationTest, StreamFormsWriteRawValuesInOrder) {
    std::ostringstream out(std::ios::out | std::ios::binary);
    WriteBinary(out, 1.5f, int32_t(-3));
    WriteBinary(out, 1, 2, 3);
    const char bytes[3] = {'x', 'y', 'z'};
    WriteBinaryArray<char>(out, bytes, 3);
    WriteBinary(out, std::string("ab"));

    std::string expected;
    Append(expected, 1.5f);
    Append(expected, int32_t(-3));
    Append(expected, int32_t(1));
    Append(expected, int32_t(2));
    Append(expected, int32_t(3));
    expected += "xyz";
    Append(expected, int32_t(2));
    expected += "ab";
    EXPECT_EQ(out.str(), expected);

    std::istringstream in(expected, std::ios::in | std::ios::binary);
    float f = 0.0f;
    int32_t i = 0;
    ReadBinary(in, f, i);
    int a = 0;
    int b = 0;
    int c = 0;
    ReadBinary(in, a, b, c);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(i, -3);
    EXPECT_EQ(a + b + c, 6);
}

TEST(SerializationTest, VectorTakesTheStoredCount) {
    std::string twoValues;
    Append(twoValues, int32_t(2));
    Append(twoValues, 5.0f);
    Append(twoValues, 6.0f);

    std::vector<float> longer = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    std::istringstream in1(twoValues);
    ReadBinary(in1, longer);
    EXPECT_EQ(longer, (std::vector<float>{5.0f, 6.0f}));

    std::vector<float> shorter = {9.0f};
    std::istringstream in2(twoValues);
    ReadBinary(in2, shorter);
    EXPECT_EQ(shorter, (std::vector<float>{5.0f, 6.0f}));

    std::vector<float> empty = {1.0f};
    std::istringstream in3(std::string(4, '\0'));
    ReadBinary(in3, empty);
    EXPECT_TRUE(empty.empty());
    EXPECT_FALSE(in3.fail());
}

TEST(SerializationTest, StringsAroundTheOldBufferSizeAndZeroBytes) {
    for (size_t length : {size_t(0), size_t(1), size_t(1023), size_t(1024), size_t(70000)}) {
        SCOPED_TRACE(length);
        std::string text(length, 'q');
        for (size_t i = 0; i < length; ++i) {
            text[i] = static_cast<char>('a' + i % 26);
        }
        std::ostringstream out(std::ios::out | std::ios::binary);
        WriteBinary(out, text);
        std::istringstream in(out.str(), std::ios::in | std::ios::binary);
        std::string back = "previous";
        ReadBinary(in, back);
        EXPECT_FALSE(in.fail());
        EXPECT_EQ(back, text);
    }

    // A stored text with a zero byte reads back cut there, and the stream
    // stays in step with the bytes that follow.
    std::string bytes;
    Append(bytes, int32_t(5));
    bytes += std::string("ab\0cd", 5);
    Append(bytes, int32_t(77));
    std::istringstream in(bytes, std::ios::in | std::ios::binary);
    std::string cut;
    ReadBinary(in, cut);
    IStreamWrapper wrapper(in);
    int after = 0;
    ReadBinary<int>(wrapper, after);
    EXPECT_EQ(cut, "ab");
    EXPECT_EQ(after, 77);
}

TEST(SerializationTest, CorruptBoolByteReadsAsTrue) {
    std::istringstream in(std::string("\x00\x02", 2), std::ios::in | std::ios::binary);
    IStreamWrapper wrapper(in);
    bool a = true;
    bool b = false;
    ReadOrWriteBinary(wrapper, a, b);
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
}

TEST(SerializationTest, WrapperDirections) {
    std::istringstream in;
    std::ostringstream out;
    IStreamWrapper reader(in);
    OStreamWrapper writer(out);
    EXPECT_TRUE(reader.IsReading());
    EXPECT_FALSE(reader.IsWriting());
    EXPECT_FALSE(writer.IsReading());
    EXPECT_TRUE(writer.IsWriting());
    EXPECT_EQ(&reader.GetInternalIStream(), &in);
    EXPECT_EQ(&writer.GetInternalOStream(), &out);

    char data[3] = {'a', 'b', 'c'};
    writer.ReadOrWrite(data, 3);
    writer.Write(data, 1);
    EXPECT_EQ(out.str(), "abca");
}

TEST(SerializationTest, ClearStreamDeletesOnlyOwnedStreams) {
    // Leak checking under ASan shows whether the owned streams were deleted.
    IStreamWrapper ownedReader(new std::istringstream("x"), true);
    OStreamWrapper ownedWriter(new std::ostringstream, true);
    ownedReader.ClearStream();
    ownedWriter.ClearStream();

    std::istringstream in("kept");
    IStreamWrapper borrowed(in);
    borrowed.ClearStream();
    std::string word;
    in >> word;
    EXPECT_EQ(word, "kept");
}

TEST(SerializationDeathTest, MissingDirectionEndsTheProcess) {
    std::ostringstream out;
    OStreamWrapper writer(out);
    EXPECT_EXIT(writer.GetInternalIStream(), testing::ExitedWithCode(1),
                "^NOT IMPLEMENTED: function 'GetInternalIStream' file 'QuorLibrary/Utilities/IOStreamWrapper' "
                "line [0-9]+\n$");
    char byte = 0;
    EXPECT_EXIT(writer.Read(&byte, 1), testing::ExitedWithCode(1), "function 'Read'");

    std::istringstream in;
    IStreamWrapper reader(in);
    EXPECT_EXIT(reader.GetInternalOStream(), testing::ExitedWithCode(1), "function 'GetInternalOStream'");
    EXPECT_EXIT(reader.Write(&byte, 1), testing::ExitedWithCode(1), "function 'Write'");
}

}  // namespace
