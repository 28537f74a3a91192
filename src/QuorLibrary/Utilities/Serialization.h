#pragma once

// Raw binary state. Every value is stored as its in-memory little-endian
// bytes (bool one byte, enumerations four), counts and string lengths as
// int32; there are no tags, padding, versions or checksums at this level.
//
// A stateful class writes and reads its state with one routine:
//
//   void Tracker::ReadOrWrite(IOStreamWrapper& stream) {
//       ReadOrWriteBinary(stream, m_fScore);
//       ReadOrWriteBinary(stream, m_history);            // std::vector<float>
//       ReadOrWriteBinaryObjArray(stream, m_candidates);  // elements with ReadOrWrite
//       if (stream.IsReading()) RebuildDerivedData();
//   }
//
// Reading never trusts the stream. A short read, a negative count or a length
// beyond the data leaves the input stream failed; the scalar being read keeps
// its value, a string or container being read is emptied, and every later read
// does nothing. Storage grows only as data actually arrives, so a corrupt count
// cannot force a huge allocation. Restoring code checks the stream once after
// the whole snapshot and resets itself when it failed.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "QuorLibrary/Math/Frame3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "QuorLibrary/Utilities/IOStreamWrapper.h"

namespace vela_serialization {

// Payloads larger than this are read in chunks that start at this size and
// double with every chunk that arrives whole, so that memory is only taken
// for bytes the stream really holds (at most about twice as many).
constexpr int64_t kChunkBytes = int64_t(1) << 12;

template <typename T>
constexpr size_t ChunkElements() {
    return sizeof(T) >= static_cast<size_t>(kChunkBytes) ? 1 : static_cast<size_t>(kChunkBytes) / sizeof(T);
}

// How many of count elements to take next when done have arrived.
template <typename T>
size_t NextChunk(size_t done, size_t count) {
    return std::min(count - done, std::max(ChunkElements<T>(), done));
}

template <typename T>
constexpr void CheckRawType() {
    static_assert(std::is_trivially_copyable<T>::value, "only trivially copyable values are stored as raw bytes");
    static_assert(!std::is_enum<T>::value || sizeof(T) == 4, "enumerations are stored as four bytes");
}

inline void MarkFailed(std::istream& in) {
    in.setstate(std::ios::failbit);
}

// All sizeof(T) bytes or nothing: on a short read the value keeps its content.
template <typename T>
bool ReadRaw(std::istream& in, T& value) {
    CheckRawType<T>();
    alignas(T) char bytes[sizeof(T)];
    if (!in.read(bytes, sizeof(T))) {
        return false;
    }
    std::memcpy(static_cast<void*>(&value), bytes, sizeof(T));
    return true;
}

// Any non-zero byte reads as true: a corrupt byte must not become a bool
// that is neither.
inline bool ReadRaw(std::istream& in, bool& value) {
    char byte = 0;
    if (!in.read(&byte, 1)) {
        return false;
    }
    value = byte != 0;
    return true;
}

template <typename T>
void WriteRaw(std::ostream& out, const T& value) {
    CheckRawType<T>();
    out.write(reinterpret_cast<const char*>(&value), sizeof(T));
}

// An int32 count or length; a negative one fails the stream.
inline bool ReadCount(std::istream& in, int32_t& count) {
    int32_t value = 0;
    if (!ReadRaw(in, value)) {
        return false;
    }
    if (value < 0) {
        MarkFailed(in);
        return false;
    }
    count = value;
    return true;
}

// Writes a container size as int32; a size beyond int32 cannot be stored and
// marks the output bad instead of writing a wrong count.
inline bool WriteCount(std::ostream& out, size_t size) {
    if (size > static_cast<size_t>(INT32_MAX)) {
        out.setstate(std::ios::badbit);
        return false;
    }
    WriteRaw(out, static_cast<int32_t>(size));
    return true;
}

// Resizes values (a vector or a string) to count elements and fills them from
// the stream: in one read when the storage is already there or small, else
// chunk by chunk, doubling, so the storage never runs ahead of the data.
template <typename Container>
bool ReadElements(std::istream& in, Container& values, size_t count) {
    using T = typename Container::value_type;
    const size_t chunk = ChunkElements<T>();
    if (count <= values.size() || count <= chunk) {
        values.resize(count);
        return count == 0 ||
               static_cast<bool>(in.read(reinterpret_cast<char*>(&values[0]),
                                         static_cast<std::streamsize>(count * sizeof(T))));
    }
    size_t done = 0;
    while (done < count) {
        const size_t step = NextChunk<T>(done, count);
        values.resize(done + step);
        if (!in.read(reinterpret_cast<char*>(&values[done]), static_cast<std::streamsize>(step * sizeof(T)))) {
            return false;
        }
        done += step;
    }
    return true;
}

}  // namespace vela_serialization

// ---------------------------------------------------------------------------
// Stream-level forms, on a standard binary stream.

template <typename A, typename B>
void WriteBinary(std::ostream& out, const A& a, const B& b) {
    vela_serialization::WriteRaw(out, a);
    vela_serialization::WriteRaw(out, b);
}

template <typename A, typename B>
void ReadBinary(std::istream& in, A& a, B& b) {
    if (vela_serialization::ReadRaw(in, a)) {
        vela_serialization::ReadRaw(in, b);
    }
}

template <typename A, typename B, typename C>
void WriteBinary(std::ostream& out, const A& a, const B& b, const C& c) {
    vela_serialization::WriteRaw(out, a);
    vela_serialization::WriteRaw(out, b);
    vela_serialization::WriteRaw(out, c);
}

template <typename A, typename B, typename C>
void ReadBinary(std::istream& in, A& a, B& b, C& c) {
    if (vela_serialization::ReadRaw(in, a) && vela_serialization::ReadRaw(in, b)) {
        vela_serialization::ReadRaw(in, c);
    }
}

// int32 count, then the elements' bytes in one write.
template <typename T>
void WriteBinary(std::ostream& out, const std::vector<T>& values) {
    static_assert(!std::is_same<T, bool>::value, "std::vector<bool> has no raw element storage");
    vela_serialization::CheckRawType<T>();
    if (!vela_serialization::WriteCount(out, values.size()) || values.empty()) {
        return;
    }
    out.write(reinterpret_cast<const char*>(values.data()), static_cast<std::streamsize>(values.size() * sizeof(T)));
}

// int32 count; the vector takes that length (surplus dropped, new elements
// zero) and the elements are read into it. Emptied on failure.
template <typename T>
void ReadBinary(std::istream& in, std::vector<T>& values) {
    static_assert(!std::is_same<T, bool>::value, "std::vector<bool> has no raw element storage");
    vela_serialization::CheckRawType<T>();
    int32_t count = 0;
    if (!vela_serialization::ReadCount(in, count) ||
        !vela_serialization::ReadElements(in, values, static_cast<size_t>(count))) {
        values.clear();
        vela_serialization::MarkFailed(in);
    }
}

// n elements, one write call each, no count.
template <typename T>
void WriteBinaryArray(std::ostream& out, const T* values, int n) {
    for (int i = 0; i < n; ++i) {
        vela_serialization::WriteRaw(out, values[i]);
    }
}

// int32 length, then the bytes without a terminator.
void WriteBinary(std::ostream& out, const std::string& text);
// The reverse; a stored text is cut at its first zero byte. Emptied on failure.
void ReadBinary(std::istream& in, std::string& text);

// ---------------------------------------------------------------------------
// Through the wrapper, in its direction.

template <typename T>
void ReadOrWriteBinary(IOStreamWrapper& stream, T& value) {
    if (stream.IsReading()) {
        vela_serialization::ReadRaw(stream.GetInternalIStream(), value);
    } else {
        vela_serialization::WriteRaw(stream.GetInternalOStream(), value);
    }
}

// x, y, z as three floats.
template <>
inline void ReadOrWriteBinary<Vector3D<float> >(IOStreamWrapper& stream, Vector3D<float>& value) {
    if (stream.IsReading()) {
        ReadBinary(stream.GetInternalIStream(), value.x, value.y, value.z);
    } else {
        WriteBinary(stream.GetInternalOStream(), value.x, value.y, value.z);
    }
}

// 48 bytes: the origin, then the rotation row by row in one call.
template <>
inline void ReadOrWriteBinary<Frame3D<float> >(IOStreamWrapper& stream, Frame3D<float>& frame) {
    ReadOrWriteBinary(stream, frame.m_origin);
    float rotation[9];
    if (stream.IsReading()) {
        if (vela_serialization::ReadRaw(stream.GetInternalIStream(), rotation)) {
            for (int i = 0; i < 9; ++i) {
                frame.m_orientation[i] = rotation[i];
            }
        }
    } else {
        for (int i = 0; i < 9; ++i) {
            rotation[i] = frame.m_orientation[i];
        }
        vela_serialization::WriteRaw(stream.GetInternalOStream(), rotation);
    }
}

// Several values in argument order, each as above.
template <typename A, typename B, typename... Rest>
void ReadOrWriteBinary(IOStreamWrapper& stream, A& first, B& second, Rest&... rest) {
    ReadOrWriteBinary(stream, first);
    ReadOrWriteBinary(stream, second, rest...);
}

// The vector forms above, by direction.
template <typename T>
void ReadOrWriteBinary(IOStreamWrapper& stream, std::vector<T>& values) {
    if (stream.IsReading()) {
        ReadBinary(stream.GetInternalIStream(), values);
    } else {
        WriteBinary(stream.GetInternalOStream(), values);
    }
}

// A grid: int32 rows, int32 columns, then the values row-major in one call;
// read back by Array2D::Read. A grid that cannot be read is left 0 x 0.
template <typename T>
void ReadOrWriteBinary(IOStreamWrapper& stream, Array2D<T>& grid) {
    if (stream.IsReading()) {
        std::istream& in = stream.GetInternalIStream();
        if (!in || !grid.Read(in)) {
            grid.SetSize(0, 0, false);
            vela_serialization::MarkFailed(in);
        }
        return;
    }
    std::ostream& out = stream.GetInternalOStream();
    const int32_t rows = grid.Rows();
    const int32_t columns = grid.Columns();
    WriteBinary(out, rows, columns);
    const int64_t n = static_cast<int64_t>(rows) * columns;
    if (n > 0) {
        out.write(reinterpret_cast<const char*>(grid.Data()), static_cast<std::streamsize>(n * sizeof(T)));
    }
}

// n values one after another, no count; the direction is asked per element.
template <typename T>
void ReadOrWriteBinaryArray(IOStreamWrapper& stream, T* values, int n) {
    for (int i = 0; i < n; ++i) {
        ReadOrWriteBinary(stream, values[i]);
    }
}

// One direction only, for the counts of object arrays.
template <typename T>
void ReadBinary(IOStreamWrapper& stream, T& value) {
    vela_serialization::ReadRaw(stream.GetInternalIStream(), value);
}

template <typename T>
void WriteBinary(IOStreamWrapper& stream, const T& value) {
    vela_serialization::WriteRaw(stream.GetInternalOStream(), value);
}

// ---------------------------------------------------------------------------
// Object arrays: T provides ReadOrWrite(IOStreamWrapper&), which stores at
// least one byte and, after reading, rebuilds what it derives from its fields.

// Each element in index order, no count. Reading stops at the first failure.
template <typename T>
void ReadOrWriteBinaryObjArray(IOStreamWrapper& stream, T* elements, int n) {
    const bool reading = stream.IsReading();
    for (int i = 0; i < n; ++i) {
        if (reading && !stream.GetInternalIStream()) {
            return;
        }
        elements[i].ReadOrWrite(stream);
    }
}

// int32 count, then the elements. Reading keeps the first elements (each
// reads itself in place), drops the surplus and appends default-built ones.
template <typename T>
void ReadOrWriteBinaryObjArray(IOStreamWrapper& stream, std::vector<T>& elements) {
    if (!stream.IsReading()) {
        std::ostream& out = stream.GetInternalOStream();
        if (vela_serialization::WriteCount(out, elements.size())) {
            ReadOrWriteBinaryObjArray(stream, elements.data(), static_cast<int>(elements.size()));
        }
        return;
    }
    std::istream& in = stream.GetInternalIStream();
    int count = 0;
    ReadBinary<int>(stream, count);
    if (!in || count < 0) {
        elements.clear();
        vela_serialization::MarkFailed(in);
        return;
    }
    const size_t n = static_cast<size_t>(count);
    if (elements.size() > n) {
        elements.erase(elements.begin() + count, elements.end());
    }
    for (size_t i = 0; i < n; ++i) {
        if (i == elements.size()) {
            if (i == elements.capacity()) {
                elements.reserve(i + vela_serialization::NextChunk<T>(i, n));
            }
            elements.emplace_back();
        }
        elements[i].ReadOrWrite(stream);
        if (!in) {
            elements.clear();
            return;
        }
    }
}

// int32 count, then the elements. Reading releases the storage and builds
// the elements afresh (default-built, then each reads itself).
template <typename T>
void ReadOrWriteBinaryObjArray(IOStreamWrapper& stream, Array<T>& elements) {
    if (!stream.IsReading()) {
        const int count = elements.Size();
        WriteBinary<int>(stream, count);
        ReadOrWriteBinaryObjArray(stream, elements.Data(), count);
        return;
    }
    std::istream& in = stream.GetInternalIStream();
    elements.Deallocate();
    int count = 0;
    ReadBinary<int>(stream, count);
    if (!in || count < 0) {
        vela_serialization::MarkFailed(in);
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (i == elements.Capacity()) {
            const size_t step = vela_serialization::NextChunk<T>(static_cast<size_t>(i), static_cast<size_t>(count));
            elements.EnsureCapacity(i + static_cast<int>(step), true);
        }
        elements.Push().ReadOrWrite(stream);
        if (!in) {
            elements.Deallocate();
            return;
        }
    }
}
