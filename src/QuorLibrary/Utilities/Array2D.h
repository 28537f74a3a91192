#pragma once

// A row-major grid on an Array: element (row, column) is
// data[row * columns + column]. Image maps use one row per image line.

#include <algorithm>
#include <cstdint>
#include <istream>
#include <type_traits>

#include "QuorLibrary/Utilities/Array.h"

template <typename T>
class Array2D : public Array<T> {
public:
    Array2D() : m_nRows(0), m_nColumns(0) {}

    Array2D(const Array2D& other) : Array<T>(), m_nRows(other.m_nRows), m_nColumns(other.m_nColumns) {
        const int n = CheckedCount(other.m_nRows, other.m_nColumns, "Array2D::Array2D");
        this->m_pData = Array<T>::Allocate(n, this->m_bAllocated);
        this->m_nCapacity = n;
        this->m_nSize = other.m_nSize;
        this->CopyElements(other.m_pData, other.m_nSize);
    }

    // Reallocates (without keeping contents) only when the capacity is short.
    Array2D& operator=(const Array2D& other) {
        if (this != &other) {
            const int n = CheckedCount(other.m_nRows, other.m_nColumns, "Array2D::operator=");
            this->EnsureCapacity(n, false);
            m_nRows = other.m_nRows;
            m_nColumns = other.m_nColumns;
            this->m_nSize = other.m_nSize;
            this->CopyElements(other.m_pData, other.m_nSize);
        }
        return *this;
    }

    // Sets the dimensions. Reallocates when the capacity is short, or when
    // keeping contents across a change of row length; otherwise the storage
    // and its values stay as they are. Kept contents land at the same row and
    // column.
    void SetSize(int rows, int columns, bool keepContents) {
        const int n = CheckedCount(rows, columns, "Array2D::SetSize");
        const bool columnsChange = columns != m_nColumns;
        if (this->m_nCapacity < n || (keepContents && columnsChange)) {
            bool allocated = false;
            T* pBlock = Array<T>::Allocate(n, allocated);
            if (keepContents) {
                if (!columnsChange) {
                    for (int i = 0; i < this->m_nSize; ++i) {
                        pBlock[i] = this->m_pData[i];
                    }
                } else {
                    const int keptRows = std::min(m_nRows, rows);
                    const int keptColumns = std::min(m_nColumns, columns);
                    for (int r = 0; r < keptRows; ++r) {
                        for (int c = 0; c < keptColumns; ++c) {
                            pBlock[r * columns + c] = this->m_pData[r * m_nColumns + c];
                        }
                    }
                }
            }
            this->ReleaseBlock();
            this->m_pData = pBlock;
            this->m_nCapacity = n;
            this->m_bOwns = true;
            this->m_bAllocated = allocated;
        }
        m_nRows = rows;
        m_nColumns = columns;
        this->m_nSize = n;
    }

    // Points the grid at pixels managed elsewhere (an image map it wraps).
    void Borrow(T* pData, int rows, int columns) {
        const int n = CheckedCount(rows, columns, "Array2D::Borrow");
        Array<T>::Borrow(pData, n, n);
        m_nRows = rows;
        m_nColumns = columns;
    }

    // A grid read from a stream holds at most this many bytes; larger ones
    // are refused before anything is allocated.
    static constexpr uint64_t kMaxReadBytes = uint64_t(1) << 28;

    // Replaces dimensions and contents from a binary stream: int32 rows,
    // int32 columns, then rows * columns elements row-major as raw memory.
    // Fails, with the grid unchanged and nothing allocated, when the header
    // cannot be read or the sizes are negative, overflow, exceed
    // kMaxReadBytes, or ask for more bytes than a seekable stream holds. On a
    // stream that cannot tell its length the storage grows with the elements
    // that arrive. When the elements run short the result is false and the
    // grid 0 x 0. Never writes into a borrowed block.
    bool Read(std::istream& in) {
        static_assert(std::is_trivially_copyable<T>::value, "Read stores elements as raw memory");
        int32_t rows = 0;
        int32_t columns = 0;
        if (!in.read(reinterpret_cast<char*>(&rows), sizeof(rows)) ||
            !in.read(reinterpret_cast<char*>(&columns), sizeof(columns))) {
            return false;
        }
        const int64_t n = vela_containers::GridElementCount(rows, columns);
        if (n < 0 || static_cast<uint64_t>(n) > kMaxReadBytes / sizeof(T)) {
            return false;
        }
        bool lengthKnown = false;
        if (!StreamHolds(in, static_cast<uint64_t>(n) * sizeof(T), lengthKnown)) {
            return false;
        }
        if (!this->m_bOwns) {
            this->m_pData = nullptr;
            this->m_nCapacity = 0;
            this->m_nSize = 0;
            this->m_bOwns = true;
            this->m_bAllocated = false;
        }
        // Doubling chunks from 4 KiB: the storage never runs far ahead of the
        // data, and a grid that fits the storage already is read in one go.
        const int64_t chunk = std::max<int64_t>(1, (int64_t(1) << 12) / static_cast<int64_t>(sizeof(T)));
        this->m_nSize = 0;
        int64_t done = 0;
        while (done < n) {
            const int64_t step = lengthKnown || n <= this->m_nCapacity ? n - done
                                                                       : std::min(n - done, std::max(chunk, done));
            this->EnsureCapacity(static_cast<int>(done + step), true);
            const std::streamsize nBytes = static_cast<std::streamsize>(step * sizeof(T));
            if (!in.read(reinterpret_cast<char*>(this->m_pData + done), nBytes)) {
                m_nRows = 0;
                m_nColumns = 0;
                this->m_nSize = 0;
                return false;
            }
            done += step;
            this->m_nSize = static_cast<int>(done);
        }
        m_nRows = rows;
        m_nColumns = columns;
        this->m_nSize = static_cast<int>(n);
        return true;
    }

    // Exchanges the two grids whole: storage, capacity, size, ownership and
    // dimensions. Each then releases, when it goes, the block it holds then;
    // no element is copied and nothing is allocated.
    void Swap(Array2D& other) {
        std::swap(this->m_pData, other.m_pData);
        std::swap(this->m_nCapacity, other.m_nCapacity);
        std::swap(this->m_nSize, other.m_nSize);
        std::swap(this->m_bOwns, other.m_bOwns);
        std::swap(this->m_bAllocated, other.m_bAllocated);
        std::swap(m_nRows, other.m_nRows);
        std::swap(m_nColumns, other.m_nColumns);
    }

    int Rows() const { return m_nRows; }
    int Columns() const { return m_nColumns; }

    T& operator()(int row, int column) {
        assert(row >= 0 && row < m_nRows && column >= 0 && column < m_nColumns);
        return this->m_pData[row * m_nColumns + column];
    }
    const T& operator()(int row, int column) const {
        assert(row >= 0 && row < m_nRows && column >= 0 && column < m_nColumns);
        return this->m_pData[row * m_nColumns + column];
    }

private:
    static int CheckedCount(int rows, int columns, const char* function) {
        const int64_t n = vela_containers::GridElementCount(rows, columns);
        if (n < 0) {
            vela_containers::InvalidGridSize(function, rows, columns, 1);
        }
        return static_cast<int>(n);
    }

    // Whether a seekable stream has nBytes left (lengthKnown set); a stream
    // that cannot tell is trusted, and its elements are read as they come.
    static bool StreamHolds(std::istream& in, uint64_t nBytes, bool& lengthKnown) {
        lengthKnown = false;
        const std::istream::pos_type here = in.tellg();
        if (here == std::istream::pos_type(-1)) {
            return true;
        }
        in.seekg(0, std::ios::end);
        const std::istream::pos_type end = in.tellg();
        in.seekg(here);
        if (end == std::istream::pos_type(-1) || !in) {
            in.clear();
            in.seekg(here);
            return true;
        }
        lengthKnown = true;
        return static_cast<uint64_t>(end - here) >= nBytes;
    }

    int m_nRows;
    int m_nColumns;
};
