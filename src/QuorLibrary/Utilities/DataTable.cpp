#include "QuorLibrary/Utilities/DataTable.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

#include "QuorLibrary/Utilities/FatalError.h"
#include "QuorLibrary/Utilities/Serialization.h"
#include "QuorLibrary/Utilities/StringUtils.h"

namespace {

// Rows reserved by Initialize: 1000 x the value width, so per-frame AddRow
// seldom allocates.
template <typename T>
constexpr int64_t kInitialReserveRows = 1000 * static_cast<int64_t>(sizeof(T));

// The reserve is a convenience only: a very wide table (a corrupt file may
// declare hundreds of thousands of columns) must not reserve gigabytes
// before a single row exists. Tables up to a few hundred columns get the
// full reserve.
constexpr int64_t kMaxReserveValues = int64_t(1) << 22;

// Rows read per chunk of a binary file, and the most bytes one chunk may take.
constexpr int64_t kBinaryChunkRows = 1000;
constexpr int64_t kBinaryChunkBytes = int64_t(1) << 22;
constexpr int64_t kFirstBinaryChunkBytes = int64_t(1) << 14;

// A layout whose value count does not fit the table's 32-bit indices cannot
// be held; stopping beats wrapping into a wrong block size.
int CheckedValueCount(int64_t rows, int64_t columns, const char* function) {
    const int64_t n = rows * columns;
    if (rows < 0 || columns < 0 || n > INT32_MAX) {
        FatalError(function, __FILE__, __LINE__,
                   StringSprintf("DataTable: %lld rows of %lld columns do not fit", static_cast<long long>(rows),
                                 static_cast<long long>(columns))
                       .c_str());
    }
    return static_cast<int>(n);
}

}  // namespace

template <typename T>
DataTable<T>::DataTable(int columns) : m_nRows(0), m_nStride(0), m_nWrittenRows(0) {
    Initialize(columns);
}

template <typename T>
DataTable<T>::~DataTable() {}

template <typename T>
void DataTable<T>::Initialize(int columns) {
    Initialize(columns, true);
}

template <typename T>
void DataTable<T>::Initialize(int columns, bool reserveRows) {
    if (columns == GetNumColumns()) {
        return;
    }
    if (columns < 0) {
        VELA_FATAL_ERROR("DataTable: negative column count");
    }
    m_columnNames.EnsureCapacity(columns, false);
    m_columnNames.SetSize(columns);
    for (int i = 0; i < columns; ++i) {
        m_columnNames[i] = StringSprintf("COL%d", i);
    }
    m_nRows = 0;
    m_nStride = columns;
    m_values.SetSize(0);
    if (reserveRows) {
        const int64_t reserve = std::min(columns * kInitialReserveRows<T>, kMaxReserveValues);
        m_values.EnsureCapacity(static_cast<int>(reserve), false);
    }
    ColumnNamesChanged();
}

template <typename T>
void DataTable<T>::Clear() {
    ClearRows();
    Initialize(0);
}

template <typename T>
void DataTable<T>::ClearRows() {
    m_nRows = 0;
    m_nStride = GetNumColumns();
    m_values.SetSize(0);
}

template <typename T>
void DataTable<T>::SetColumns(const std::vector<std::string>& names) {
    SetColumns(names, true);
}

template <typename T>
void DataTable<T>::SetColumns(const std::vector<std::string>& names, bool reserveRows) {
    if (names.size() > static_cast<size_t>(INT32_MAX)) {
        VELA_FATAL_ERROR("DataTable: too many columns");
    }
    Initialize(static_cast<int>(names.size()), reserveRows);
    for (size_t i = 0; i < names.size(); ++i) {
        m_columnNames[static_cast<int>(i)] = names[i];
    }
    ColumnNamesChanged();
}

template <typename T>
void DataTable<T>::SetColumnName(int column, const std::string& name) {
    m_columnNames[column] = name;
    ColumnNamesChanged();
}

template <typename T>
void DataTable<T>::InsertColumns(int at, int count, bool zeroFill) {
    const int oldColumns = GetNumColumns();
    if (count < 0 || at < 0 || at > oldColumns) {
        VELA_FATAL_ERROR("DataTable::InsertColumns: position or count outside the table");
    }
    const int newColumns = CheckedValueCount(1, static_cast<int64_t>(oldColumns) + count, "DataTable::InsertColumns");
    const int nValues = CheckedValueCount(m_nRows, newColumns, "DataTable::InsertColumns");

    m_columnNames.EnsureCapacity(newColumns, true);
    m_columnNames.SetSize(newColumns);
    for (int i = newColumns - 1; i >= at + count; --i) {
        m_columnNames[i] = m_columnNames[i - count];
    }
    for (int k = 0; k < count; ++k) {
        m_columnNames[at + k] = StringSprintf("NEWCOL%d", k);
    }

    // Move in place from the back: every value moves to an index at or above
    // its own, so no value is overwritten before it has moved.
    m_values.EnsureCapacity(nValues, true);
    T* pData = m_values.Data();
    for (int64_t r = static_cast<int64_t>(m_nRows) - 1; r >= 0; --r) {
        for (int c = oldColumns - 1; c >= 0; --c) {
            pData[r * newColumns + (c >= at ? c + count : c)] = pData[r * oldColumns + c];
        }
        if (zeroFill) {
            for (int k = 0; k < count; ++k) {
                pData[r * newColumns + at + k] = T(0);
            }
        }
    }
    m_nStride = newColumns;
    m_values.SetSize(nValues);
    ColumnNamesChanged();
}

template <typename T>
void DataTable<T>::AddColumns(int count, bool zeroFill) {
    InsertColumns(GetNumColumns(), count, zeroFill);
}

template <typename T>
void DataTable<T>::InsertColumn(int at, const std::string& name, bool zeroFill) {
    InsertColumns(at, 1, zeroFill);
    SetColumnName(at, name);
}

template <typename T>
void DataTable<T>::AddColumn(const std::string& name, bool zeroFill) {
    InsertColumn(GetNumColumns(), name, zeroFill);
}

template <typename T>
void DataTable<T>::ColumnNamesChanged() {
    m_columnMap.clear();
    for (int i = 0; i < GetNumColumns(); ++i) {
        m_columnMap.insert(std::make_pair(m_columnNames[i], i));
    }
}

template <typename T>
void DataTable<T>::SetNumRows(int rows) {
    const int columns = GetNumColumns();
    const int nValues = CheckedValueCount(rows, columns, "DataTable::SetNumRows");
    if (m_values.Capacity() < nValues) {
        m_values.EnsureCapacity(static_cast<int>(std::min<int64_t>(2 * static_cast<int64_t>(nValues), INT32_MAX)),
                                true);
    }
    m_nRows = rows;
    m_nStride = columns;
    m_values.SetSize(nValues);
}

template <typename T>
void DataTable<T>::AddRows(int count, bool zeroFill) {
    const int first = m_nRows;
    SetNumRows(CheckedValueCount(1, static_cast<int64_t>(m_nRows) + count, "DataTable::AddRows"));
    if (zeroFill && GetNumColumns() > 0 && m_nRows > first) {
        std::fill(GetRowData(first), GetRowData(m_nRows), T(0));
    }
}

template <typename T>
int DataTable<T>::AddRow(bool zeroFill) {
    AddRows(1, zeroFill);
    return m_nRows - 1;
}

template <typename T>
void DataTable<T>::EnsureRowCapacity(int rows) {
    const int nValues = CheckedValueCount(rows, GetNumColumns(), "DataTable::EnsureRowCapacity");
    m_values.EnsureCapacity(nValues, true);
}

template <typename T>
void DataTable<T>::CopyRow(const DataTable& source, int sourceRow, DataTable& target, int targetRow) {
    std::copy(source.GetRowData(sourceRow), source.GetRowData(sourceRow) + source.GetNumColumns(),
              target.GetRowData(targetRow));
}

template <typename T>
void DataTable<T>::SetValue(int row, int column, const Vector2D<T>& value) {
    T* pRow = GetRowData(row);
    pRow[column] = value.x;
    pRow[column + 1] = value.y;
}

template <typename T>
void DataTable<T>::SetValue(int row, int column, const Vector3D<T>& value) {
    T* pRow = GetRowData(row);
    pRow[column] = value.x;
    pRow[column + 1] = value.y;
    pRow[column + 2] = value.z;
}

template <typename T>
bool DataTable<T>::GetValue(int row, int column, bool& out) const {
    out = (*this)(row, column) != T(0);
    return true;
}

template <typename T>
int DataTable<T>::GetColumn(const std::string& name) const {
    const auto found = m_columnMap.find(name);
    return found == m_columnMap.end() ? -1 : found->second;
}

template <typename T>
int DataTable<T>::GetColumnNoCheck(const std::string& name) const {
    const int column = GetColumn(name);
    if (column < 0) {
        VELA_FATAL_ERROR(StringSprintf("DataTable: no column named '%s'", name.c_str()).c_str());
    }
    return column;
}

template <typename T>
void DataTable<T>::ScaleColumn(int column, T factor) {
    for (int r = 0; r < m_nRows; ++r) {
        (*this)(r, column) *= factor;
    }
}

template <typename T>
void DataTable<T>::ScaleColumn(const std::string& name, T factor) {
    const int column = GetColumn(name);
    if (column >= 0) {
        ScaleColumn(column, factor);
    }
}

// ---------------------------------------------------------------------------
// Files.

template <typename T>
bool DataTable<T>::IsBinaryFile(const std::string& path) {
    // A binary file starts with its column count, a text file with the
    // characters of a name. A short file fills only the low bytes; a file
    // that cannot be opened reads as 0 and so as binary.
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::ifstream in(path.c_str(), std::ios::in | std::ios::binary);
    if (in.is_open()) {
        in.read(reinterpret_cast<char*>(bytes), sizeof(bytes));
    }
    int32_t value = 0;
    std::memcpy(&value, bytes, sizeof(value));
    return value < 65535;
}

template <typename T>
void DataTable<T>::Write(const std::string& path, bool binary) const {
    if (binary) {
        std::ofstream out(path.c_str(), std::ios::out | std::ios::binary | std::ios::trunc);
        WriteBinary(out, INT32_MAX);
    } else {
        std::ofstream out(path.c_str(), std::ios::out | std::ios::trunc);
        WriteText(out, "\t", INT32_MAX);
    }
}

template <typename T>
bool DataTable<T>::Read(const std::string& path, bool* wasBinary) {
    const bool binary = IsBinaryFile(path);
    if (wasBinary != nullptr) {
        *wasBinary = binary;
    }
    std::ifstream in(path.c_str(), binary ? std::ios::in | std::ios::binary : std::ios::in);
    if (!in.is_open()) {
        return false;
    }
    return binary ? ReadBinary(in) : ReadText(in);
}

template <typename T>
bool DataTable<T>::ReadText(std::istream& in) {
    Clear();
    std::string header;
    if (!std::getline(in, header)) {
        Clear();
        return false;
    }
    std::vector<std::string> names;
    std::istringstream words(header);
    std::string word;
    while (words >> word) {
        names.push_back(word);
    }
    if (names.empty()) {
        return false;
    }
    // The readers take storage as rows arrive, not the writers' reserve.
    SetColumns(names, false);
    // A row may span lines; the first token that is not a number (nan
    // included) or the end of the file ends the table before its row.
    const int columns = GetNumColumns();
    for (;;) {
        const int row = AddRow(false);
        T* pRow = GetRowData(row);
        int c = 0;
        while (c < columns && (in >> pRow[c])) {
            ++c;
        }
        if (c < columns) {
            SetNumRows(row);
            return true;
        }
    }
}

template <typename T>
bool DataTable<T>::ReadBinary(std::istream& in) {
    Clear();
    int32_t count = 0;
    // A table without columns would read rows forever without progress.
    if (!vela_serialization::ReadRaw(in, count) || count <= 0) {
        Clear();
        return false;
    }
    // Each name takes at least its four length bytes, so the list grows only
    // as far as the file really goes.
    std::vector<std::string> names;
    names.reserve(std::min<size_t>(static_cast<size_t>(count), 1024));
    for (int32_t i = 0; i < count; ++i) {
        std::string name;
        ::ReadBinary(in, name);
        if (!in) {
            Clear();
            return false;
        }
        names.push_back(name);
    }
    SetColumns(names, false);

    const int columns = GetNumColumns();
    const int64_t rowBytes = static_cast<int64_t>(columns) * static_cast<int64_t>(sizeof(T));
    const int64_t maxChunkRows = std::max<int64_t>(1, std::min(kBinaryChunkRows, kBinaryChunkBytes / rowBytes));
    // The first chunk is small and each whole chunk doubles the next, so
    // that a wide header over a short file takes little.
    int64_t chunkRows = std::max<int64_t>(1, std::min(maxChunkRows, kFirstBinaryChunkBytes / rowBytes));
    for (;;) {
        const int before = m_nRows;
        const int64_t room = INT32_MAX / columns - before;
        if (room <= 0) {
            // The table cannot hold more rows: fine only at the end of the file.
            if (in.peek() == std::char_traits<char>::eof()) {
                return true;
            }
            Clear();
            return false;
        }
        const int rows = static_cast<int>(std::min(chunkRows, room));
        AddRows(rows, true);
        in.read(reinterpret_cast<char*>(GetRowData(before)), static_cast<std::streamsize>(rows * rowBytes));
        const int64_t arrived = in.gcount();
        if (arrived < rows * rowBytes) {
            // A partial trailing row is dropped.
            SetNumRows(before + static_cast<int>(arrived / rowBytes));
            return true;
        }
        chunkRows = std::min(maxChunkRows, 2 * chunkRows);
    }
}

template <typename T>
int DataTable<T>::WrittenColumns(int maxColumns) const {
    return std::max(0, std::min(maxColumns, GetNumColumns()));
}

template <typename T>
void DataTable<T>::WriteTextRow(std::ostream& out, int row, const std::string& separator, int columns) const {
    const T* pRow = GetRowData(row);
    for (int c = 0; c < columns; ++c) {
        if (c > 0) {
            out << separator;
        }
        out << pRow[c];
    }
    out << std::endl;
}

template <typename T>
void DataTable<T>::StartProgressiveWriteText(std::ostream& out, const std::string& separator, int maxColumns) const {
    const int columns = WrittenColumns(maxColumns);
    for (int c = 0; c < columns; ++c) {
        out << m_columnNames[c];
        if (c != GetNumColumns() - 1) {
            out << separator;
        }
    }
    out << std::endl;
    m_nWrittenRows = 0;
}

template <typename T>
void DataTable<T>::UpdateProgressiveWriteText(std::ostream& out, const std::string& separator, int maxColumns) const {
    if (m_nRows <= m_nWrittenRows) {
        return;
    }
    const int columns = WrittenColumns(maxColumns);
    for (int r = m_nWrittenRows; r < m_nRows; ++r) {
        WriteTextRow(out, r, separator, columns);
    }
    m_nWrittenRows = m_nRows;
}

template <typename T>
void DataTable<T>::WriteText(std::ostream& out, const std::string& separator, int maxColumns) const {
    StartProgressiveWriteText(out, separator, maxColumns);
    UpdateProgressiveWriteText(out, separator, maxColumns);
}

template <typename T>
void DataTable<T>::StartProgressiveWriteBinary(std::ostream& out, int maxColumns) const {
    const int32_t columns = WrittenColumns(maxColumns);
    vela_serialization::WriteRaw(out, columns);
    for (int c = 0; c < columns; ++c) {
        ::WriteBinary(out, m_columnNames[c]);
    }
    m_nWrittenRows = 0;
}

template <typename T>
void DataTable<T>::UpdateProgressiveWriteBinary(std::ostream& out, int maxColumns) const {
    if (m_nRows <= m_nWrittenRows) {
        return;
    }
    const int columns = WrittenColumns(maxColumns);
    const int64_t rowBytes = static_cast<int64_t>(columns) * static_cast<int64_t>(sizeof(T));
    const int64_t runBytes = rowBytes * (m_nRows - m_nWrittenRows);
    if (columns == GetNumColumns() && runBytes <= INT32_MAX) {
        WriteBinaryArray<char>(out, reinterpret_cast<const char*>(GetRowData(m_nWrittenRows)),
                               static_cast<int>(runBytes));
    } else {
        for (int r = m_nWrittenRows; r < m_nRows; ++r) {
            WriteBinaryArray<char>(out, reinterpret_cast<const char*>(GetRowData(r)), static_cast<int>(rowBytes));
        }
    }
    m_nWrittenRows = m_nRows;
}

template <typename T>
void DataTable<T>::WriteBinary(std::ostream& out, int maxColumns) const {
    StartProgressiveWriteBinary(out, maxColumns);
    UpdateProgressiveWriteBinary(out, maxColumns);
}

template <typename T>
void DataTable<T>::StartProgressiveWriteSummaryText(std::ostream& out, const std::string& separator,
                                                    int maxColumns) const {
    const int columns = WrittenColumns(maxColumns);
    const int last = GetNumColumns() - 1;
    // The name stands over the average, blanks over maximum and minimum.
    out << "ClipName" << separator;
    for (int c = 2; c < columns; ++c) {
        out << m_columnNames[c] << separator << separator;
        if (c != last) {
            out << separator;
        }
    }
    out << std::endl;
    out << separator;
    for (int c = 2; c < columns; ++c) {
        out << "Average" << separator << "Max" << separator << "Min";
        if (c != last) {
            out << separator;
        }
    }
    out << std::endl;
    m_nWrittenRows = 0;
}

template <typename T>
int DataTable<T>::UpdateProgressiveWriteSummaryText(std::ostream& out, const std::string& clipName,
                                                    const std::string& separator, int maxColumns) const {
    if (m_nRows <= m_nWrittenRows) {
        return m_nRows;
    }
    const int columns = WrittenColumns(maxColumns);
    const int first = m_nWrittenRows;
    const T count = static_cast<T>(m_nRows - first);
    out << clipName << separator;
    for (int c = 2; c < columns; ++c) {
        T sum = 0;
        T maximum = (*this)(first, c);
        T minimum = maximum;
        for (int r = first; r < m_nRows; ++r) {
            const T value = (*this)(r, c);
            sum += value;
            if (value > maximum) {
                maximum = value;
            }
            if (value < minimum) {
                minimum = value;
            }
        }
        out << sum / count << separator << maximum << separator << minimum;
        if (c != columns - 1) {
            out << separator;
        }
    }
    out << std::endl;
    m_nWrittenRows = m_nRows;
    return m_nRows;
}

template <typename T>
int DataTable<T>::WriteSummaryText(std::ostream& out, const std::string& clipName, bool writeHeader,
                                   const std::string& separator, int maxColumns) const {
    if (writeHeader) {
        StartProgressiveWriteSummaryText(out, separator, maxColumns);
    } else {
        m_nWrittenRows = 0;
    }
    return UpdateProgressiveWriteSummaryText(out, clipName, separator, maxColumns);
}

template class DataTable<double>;
template class DataTable<float>;
