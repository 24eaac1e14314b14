// Dates and times: the date and time parser, the picture formatter, the
// process-wide date and time pictures, and FILETIME helpers.
//
// Dates are always read and written day first, then month, then year, with the
// separators of the locale, whatever the locale's own date order is. Times use
// the 24-hour clock. A time of day alone is kept on one fixed date (the fixed
// date of time values, below) so that it converts to a FILETIME and can be
// stored in a date-and-time column.
#pragma once

#include <windows.h>

// Flags of the date and time parser.
enum : DWORD {
    kParseStrict = 1,        // month and year must be given
    kParseDate = 2,          // a date (the default when neither 2 nor 4 is given)
    kParseTime = 4,          // a time: after the date, or alone without flag 2
    kParseTimeOptional = 8,  // a date whose time may be left out (midnight then)
};

// ---- The fixed date of time values ----
// 1 January 1900: valid for every date column of the database and the same for
// every time value of the program. Only the time of day of such a value is
// ever shown.
const WORD kTimeValueYear = 1900;
const WORD kTimeValueMonth = 1;
const WORD kTimeValueDay = 1;

// Puts a time of day on the fixed date of time values (year, month, day and
// day of the week; the time fields are kept).
void SetTimeValueDate(SYSTEMTIME* time);

// True for a calendar date that exists (1601 to 30827, the FILETIME range; the
// day checked against the month's length, 29 February only in leap years) and
// a time of day within 00:00:00.000 to 23:59:59.999.
bool IsValidSystemTime(const SYSTEMTIME& time);

// ---- Parsing ----
// Reads a typed date and/or time (flags above) with the separators of the
// locale. The day is required; a missing month or year is taken from today
// unless kParseStrict is given; a year with fewer digits than the current
// year is completed from the current year ("05" in 2026 is 2005). Returns
// false when the text is not a possible date and time; `out` is written only
// on success.
bool ParseDateTime(LCID lcid, const wchar_t* text, SYSTEMTIME* out, DWORD flags);

// ParseDateTime, then the result as a FILETIME (no time-zone conversion).
// `out` may be null to check a text only.
bool ParseDateTimeToFileTime(LCID lcid, const wchar_t* text, FILETIME* out, DWORD flags);

// The same two with the application locale.
bool ParseDateToSystemTime(const wchar_t* text, SYSTEMTIME* out, DWORD flags);
bool ParseDateToFileTime(const wchar_t* text, FILETIME* out, DWORD flags);

// ---- Formatting ----
// Writes the time by a picture into `dest`, which holds `destSize` characters
// with the terminator. Letters: dd d (day), MM M (month), yyyy (year), hh h
// (hour 0-23), HH H (hour with 12 taken off from 13:00), mm m (minute), ss s
// (second), tt t (AM/PM, A/P); the two-letter forms have two digits. Any
// other character is copied.
// Returns the characters written (terminator excluded). An unsupported letter
// stops the output: y, yy and gg give -1, yyy and g give 0. A text that does
// not fit gives -1. The destination is always terminated (when destSize > 0)
// and never written past destSize.
int FormatSystemTime(wchar_t* dest, int destSize, const wchar_t* picture, const SYSTEMTIME* time);

// FormatSystemTime of a FILETIME (no time-zone conversion); -1 when it is not
// a convertible time.
int FormatFileTime(wchar_t* dest, int destSize, const wchar_t* picture, const FILETIME* time);

// ---- The process-wide pictures ----
// Built at start-up by SetDateTimeFormats from the application locale:
// "dd.MM.yyyy", "hh:mm:ss" and the two joined by a blank, with the locale's
// separators. Until then they hold these forms with "." and ":".
const int kPictureSize = 32;
extern wchar_t DatePicture[kPictureSize];
extern wchar_t TimePicture[kPictureSize];
extern wchar_t DateTimePicture[kPictureSize];

// Builds the three pictures from the locale's date and time separators (the
// first character of each). Returns FALSE and leaves the pictures as they
// were when the locale information cannot be read.
BOOL SetDateTimeFormats(LCID lcid);
// The same from the application locale: what start-up runs once the
// application locale is set.
BOOL SetDateTimeFormats();

// ---- FILETIME helpers ----
// Seconds since 1970-01-01 as a FILETIME.
void TimeTToFileTime(LONGLONG seconds, FILETIME* out);
// The current UTC time.
void FileTimeNow(FILETIME* out);
