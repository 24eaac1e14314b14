// Dates as the database keeps them and as statements write them.
//
// A datetime value is stored as the canonical local text
// "YYYY-MM-DD HH:MM:SS.fff" (23 characters), so that stored values compare
// and sort as instants. A text that stands for a datetime (a literal of a
// statement, a text parameter for a datetime column) is read in SQL Server's
// forms that mean the same under every language setting:
//   YYYYMMDD             YYYYMMDD HH:MM[:SS[.f]]
//   YYYY-MM-DD           YYYY-MM-DD HH:MM[:SS[.f]]   YYYY-MM-DDTHH:MM[:SS[.f]]
// with one to three digits of the second's fraction and blanks around.
// Anything else is no date (SQL Server's 241, SQLSTATE 22007); a date that
// does not exist or lies outside 1 January 1753 to 31 December 9999 is out
// of range (242, SQLSTATE 22008).
#pragma once

#include "provider/common.h"

#include <string>

namespace zelk {

enum class DateCheck { Valid, Malformed, OutOfRange };

// Reads `text` in one of the forms above into `out` (valid only for Valid).
DateCheck CheckDateText(const wchar_t* text, size_t length, SYSTEMTIME& out);

// True for a text CheckDateText accepts (the stored canonical form among them).
bool ParseDateTime(const wchar_t* text, size_t length, SYSTEMTIME& out);

// The canonical text of `time`.
std::wstring FormatDateTime(const SYSTEMTIME& time);

// The sentences of the two failures, naming the text that failed.
std::wstring MalformedDateMessage(const std::wstring& text);
std::wstring OutOfRangeDateMessage(const std::wstring& text);

}  // namespace zelk
