// SQL Server's column types, kept from the declared types of the schema
// (SQLite's affinity would lose them), and the column descriptions that
// IColumnsInfo hands out.
#pragma once

#include "provider/common.h"

#include <string>
#include <vector>

namespace zelk {

struct TypeDesc {
    DBTYPE type = DBTYPE_WSTR;
    DBLENGTH size = 0;  // characters for DBTYPE_WSTR, bytes otherwise
    BYTE precision = 0xFF;
    BYTE scale = 0xFF;
    bool isLong = false;       // ntext: no practical length limit
    bool fixedLength = false;  // nchar and every number and date
};

// Size of a long text column as SQL Server reports it.
constexpr DBLENGTH kLongTextSize = 0x3FFFFFFF;

// The type of a column from its declared type ("int", "[nvarchar] (32)",
// "datetime"...); `known` is false when the text names no type we know.
TypeDesc TypeFromDeclared(const std::wstring& declared, bool& known);

// Fixed descriptions of the computed types.
TypeDesc IntegerType();  // DBTYPE_I4
TypeDesc BigIntType();   // DBTYPE_I8
TypeDesc FloatType();    // DBTYPE_R8
TypeDesc TextType(DBLENGTH characters);

inline bool IsDateTime(const TypeDesc& t) { return t.type == DBTYPE_DBTIMESTAMP; }

struct ColumnInfo {
    std::wstring name;
    TypeDesc type;
    bool typeKnown = false;  // false: typed from the values read
    bool notNull = false;
    bool primaryKey = false;
    bool identity = false;  // filled by the database (INTEGER PRIMARY KEY)
    bool writable = false;
    std::wstring table;     // base table of the column, empty for computed ones
    std::wstring origin;    // column name in that table
};

// Case-insensitive equality of two names as SQLite compares identifiers (ASCII folding).
bool SameName(const std::wstring& a, const std::wstring& b);

}  // namespace zelk
