// Text comparison as the workstation's SQL Server database compares: case
// does not count for Latin and Cyrillic letters (Ё and ё included), trailing
// blanks do not count. The order comes from a fixed table of our own rather
// than the platform's CompareString, whose order may change between versions
// and would then disagree with the order of an index already on disk.
//
// RegisterDialect installs on a connection what the translated statements
// use: the collation CASELESS, LIKE with SQL Server's wildcards (%, _, [abc],
// [a-z], [^...]) compared caselessly, GETDATE() (local time as the canonical
// datetime text), DATALENGTH() (bytes of UTF-16 for texts), and the view
// INFORMATION_SCHEMA_COLUMNS over every column of every table and view.
#pragma once

#include <string>

struct sqlite3;

namespace zelk {

// The sort weight of one character: equal for the two cases of a letter.
unsigned CollationWeight(unsigned codePoint);

// <0, 0, >0 as a sorts before, equal to or after b (UTF-16 texts).
int CompareCaseless(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength);

// True when `text` matches the LIKE `pattern` (UTF-16); `escape` 0 for none.
bool LikeMatch(const wchar_t* pattern, size_t patternLength, const wchar_t* text, size_t textLength,
               wchar_t escape = 0);

// Installs the collation, functions and view on `db`; returns SQLite's code.
// `catalog` is the name INFORMATION_SCHEMA reports as TABLE_CATALOG.
int RegisterDialect(sqlite3* db, const std::wstring& catalog);

}  // namespace zelk
