// Values between SQLite and the consumer's buffers.
//
// Rows read from SQLite are kept in a RowStore: one 16-byte cell per value and
// one text arena per store, so that a whole result costs a few allocations.
// Accessor bindings move values out of the store (WriteBinding) and values of
// parameters and inserted rows in from the consumer's buffer (ReadBinding),
// converting between the types that the accessors allow.
//
// Datetimes are stored as canonical local text "YYYY-MM-DD HH:MM:SS.fff" and
// travel as FILETIME or DBTIMESTAMP with no time-zone shift.
#pragma once

#include "provider/datetime.h"
#include "provider/types.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct sqlite3_stmt;

namespace zelk {

enum class CellKind : uint8_t { Null, Integer, Real, Text };

struct Cell {
    CellKind kind = CellKind::Null;
    uint32_t length = 0;  // characters of a text
    union {
        int64_t integer;
        double real;
        uint32_t offset;  // start of a text in the store's arena
    };
    Cell() : integer(0) {}
};

class RowStore {
public:
    explicit RowStore(size_t columns = 0) : columns_(columns) {}
    // No rows; the memory is kept.
    void Reset(size_t columns)
    {
        columns_ = columns;
        used_ = 0;
        text_.clear();
    }
    void Swap(RowStore& other)
    {
        std::swap(columns_, other.columns_);
        std::swap(used_, other.used_);
        cells_.swap(other.cells_);
        text_.swap(other.text_);
    }
    size_t Columns() const { return columns_; }
    size_t Rows() const { return columns_ ? used_ / columns_ : 0; }
    // Appends the current row of `stmt`, its columns from `first` on.
    void AppendRow(sqlite3_stmt* stmt, int first = 0);
    const Cell& At(size_t row, size_t column) const { return cells_[row * columns_ + column]; }
    const wchar_t* Text(const Cell& cell) const { return text_.data() + cell.offset; }

private:
    size_t columns_;
    size_t used_ = 0;          // cells of the rows stored
    std::vector<Cell> cells_;  // from 0 to used_: the rows; beyond: memory kept for more
    std::vector<wchar_t> text_;
};

// One input value read from a consumer's buffer.
struct InValue {
    enum Kind : uint8_t { Null, Integer, Real, Text, Default, Ignore } kind = Null;
    int64_t integer = 0;
    double real = 0;
    const wchar_t* text = nullptr;  // points into the consumer's buffer or `owned`
    size_t length = 0;              // characters
    std::wstring owned;
};

// Why an input value was refused, for the error record.
struct InputProblem {
    const wchar_t* sqlState = nullptr;  // "22001", "22008", "22018", "07006"...
    LONG nativeError = 0;
    std::wstring description;
};

// The types accessors may bind (without DBTYPE_BYREF).
bool IsBindableType(DBTYPE type);

// Reads the value of binding `b` from `data`. `target`, when known, is the
// column the value goes to: texts longer than its declared length, dates
// outside 1753-01-01..9999-12-31 and texts that are no dates for a datetime
// column are refused. Returns DBSTATUS_S_OK or an error status with `problem`.
DBSTATUS ReadBinding(const DBBINDING& b, const BYTE* data, const TypeDesc* target, InValue& out,
                     InputProblem& problem);

// Writes `cell` of `store` (a value of `column`) through binding `b` into
// `data`: value, length and status parts as bound. Returns the status.
DBSTATUS WriteBinding(const DBBINDING& b, BYTE* data, const RowStore& store, const Cell& cell,
                      const TypeDesc& column);

// Binds an input value to parameter `index` (from 1) of `stmt`; returns SQLite's code.
int BindValue(sqlite3_stmt* stmt, int index, const InValue& value);

}  // namespace zelk
