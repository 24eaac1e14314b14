// Field values as text: what the record card and the filter form share when
// they turn a typed text into a field's value and a value back into text.
//
// Integers of every width are checked against the range of their column, so
// a typed number never wraps into another value on its way to the database.
// Pictures from a description's "format" are used only when they are what
// they claim to be (one integer conversion, or a date picture); anything
// else falls back to the plain form, so a description can never make the
// program read arguments it was not given.
#pragma once

#include "forms/fielddesc.h"

#include <windows.h>

// Results of ParseFieldInteger.
enum FieldParse {
    kParseOk = 0,
    kParseBadFormat = 1,   // not a decimal number
    kParseOutOfRange = 2,  // a number, but not one the column can hold
};

// Reads the whole text as a decimal integer for a field of the type word:
// an optional "-" or "+" when `allowSign`, then digits only. The range is
// that of the base type (int8, int16, int32), unsigned with "unsigned".
// The value is stored as the field's 32-bit word.
FieldParse ParseFieldInteger(const wchar_t* text, DWORD type, bool allowSign, DWORD* value);

// The 32-bit word of an integer field as text: by the field's format when it
// is a picture with exactly one integer conversion, else in decimal
// (unsigned with "unsigned"). Returns the characters written, terminated.
int FormatFieldInteger(wchar_t* out, int capacity, const FieldBlob& field, DWORD value);

// Reads a date, a time or both, with the application locale, for the base
// type (0x20, 0x21, 0x22); `dateTimeFlags` are the parser flags for 0x20.
// A time alone lands on the fixed date of time values.
bool ParseFieldDate(const wchar_t* text, DWORD base, DWORD dateTimeFlags, FILETIME* value);

// A date or time value as text: by `picture` when given, else by the
// program's date-and-time, date or time picture for the base type. Returns
// the characters written (0 and an empty text when it cannot be formatted).
int FormatFieldDate(wchar_t* out, int capacity, const wchar_t* picture, DWORD base, const FILETIME& value);

// The text of a yes/no value: the field's format texts (first for a non-zero
// value, second for zero) when it has them, else "Yes" / "No" from the
// string table. The length goes to `length`.
const wchar_t* YesNoText(const FieldBlob& field, bool value, int* length);

// The width in characters of the longer of a yes/no field's two texts.
int YesNoTextWidth(const FieldBlob& field);
