// SqlText: the growable text in which the forms build their SQL statements.
//
// A statement names every column of a described form, and a form may have
// many fields with long names: a fixed buffer would cut the statement and
// the database would get a broken text. SqlText grows instead; when memory
// runs out it remembers the failure, stops appending and reports it through
// Ok(), so a builder returns false rather than a cut statement.
#pragma once

#include "foundation/strbuf.h"

#include <windows.h>

#include <string>

class SqlText {
public:
    SqlText() : failed_(false) {}

    // Appends a terminated text (null appends nothing).
    SqlText& Append(const wchar_t* text);
    // Appends `count` characters.
    SqlText& Append(const wchar_t* text, int count);
    SqlText& Append(const DStrBuf& text) { return Append(text.GetString(), text.Length()); }
    SqlText& operator<<(const wchar_t* text) { return Append(text); }
    SqlText& operator<<(const DStrBuf& text) { return Append(text); }

    // Empties the text and forgets an earlier failure.
    void Clear();
    // False once an append could not get memory.
    bool Ok() const { return !failed_; }
    const wchar_t* c_str() const { return text_.c_str(); }
    int Length() const { return static_cast<int>(text_.size()); }

private:
    std::wstring text_;
    bool failed_;   // an append failed; nothing more is appended
};
