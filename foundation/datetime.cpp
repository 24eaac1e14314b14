// Dates and times.
//
// The parser reads what a person types into a date or time field: day first,
// then month, then year, with the locale's separators (or "/" or a blank),
// and a 24-hour time after the date or alone. It is deliberately forgiving
// about what is left out (today's month and year fill in unless the caller
// asks for a strict date) and strict about what is impossible: every result
// is checked against the real calendar here, because the system's own
// SYSTEMTIME-to-FILETIME conversion cannot be trusted to refuse a
// 29 February in a year that has none.
#include "foundation/datetime.h"

#include "foundation/applocale.h"
#include "foundation/strbuf.h"
#include "foundation/textutil.h"

wchar_t DatePicture[kPictureSize] = L"dd.MM.yyyy";
wchar_t TimePicture[kPictureSize] = L"hh:mm:ss";
wchar_t DateTimePicture[kPictureSize] = L"dd.MM.yyyy hh:mm:ss";

// ---- Calendar ----

static bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

static int DaysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The FILETIME range in whole years.
const int kFirstYear = 1601;
const int kLastYear = 30827;

bool IsValidSystemTime(const SYSTEMTIME& t)
{
    if (t.wYear < kFirstYear || t.wYear > kLastYear || t.wMonth < 1 || t.wMonth > 12)
        return false;
    if (t.wDay < 1 || t.wDay > DaysInMonth(t.wYear, t.wMonth))
        return false;
    return t.wHour <= 23 && t.wMinute <= 59 && t.wSecond <= 59 && t.wMilliseconds <= 999;
}

void SetTimeValueDate(SYSTEMTIME* time)
{
    time->wYear = kTimeValueYear;
    time->wMonth = kTimeValueMonth;
    time->wDay = kTimeValueDay;
    time->wDayOfWeek = 1;   // 1 January 1900 was a Monday
}

// ---- Parsing ----

static bool IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

// The first character of a locale's separator, 0 when it cannot be read.
static wchar_t LocaleSeparator(LCID lcid, LCTYPE type)
{
    wchar_t text[8];
    if (GetLocaleInfoW(lcid, type, text, 8) == 0)
        return 0;
    return text[0];
}

static bool IsDateSeparator(wchar_t ch, wchar_t separator)
{
    return ch == L' ' || ch == L'/' || (separator != 0 && ch == separator);
}

// Day or month at `pos`: one or two digits. After one digit a blank, "/" or
// the separator ends the part and is skipped, and any other character but the
// end of the text makes the part bad; after two digits such a character is
// skipped too and anything else begins the next part.
static bool ReadDayOrMonth(const wchar_t* text, int& pos, wchar_t separator, int* value)
{
    if (!IsDigit(text[pos]))
        return false;
    int v = text[pos++] - L'0';
    if (IsDigit(text[pos])) {
        v = v * 10 + (text[pos++] - L'0');
        if (IsDateSeparator(text[pos], separator))
            ++pos;
    } else if (text[pos] != 0) {
        if (!IsDateSeparator(text[pos], separator))
            return false;
        ++pos;
    }
    *value = v;
    return true;
}

enum YearResult { kYearMissing, kYearRead, kYearBad };

// The year at `pos`: every digit that follows. Fewer than two digits count as
// missing. Fewer digits than the current year has keep the current year's
// leading digits ("05" in 2026 is 2005, "026" is 2026).
static YearResult ReadYear(const wchar_t* text, int& pos, int currentYear, int* year)
{
    int start = pos;
    long long value = 0;
    while (IsDigit(text[pos])) {
        if (value <= kLastYear)   // more can only be refused; stop growing
            value = value * 10 + (text[pos] - L'0');
        ++pos;
    }
    int digits = pos - start;
    if (digits < 2)
        return kYearMissing;
    int currentDigits = 0;
    long long scale = 1;
    for (int y = currentYear; y > 0; y /= 10)
        ++currentDigits;
    if (digits < currentDigits) {
        for (int i = 0; i < digits; ++i)
            scale *= 10;
        value += currentYear / scale * scale;
    }
    if (value > kLastYear)
        return kYearBad;
    *year = (int)value;
    return kYearRead;
}

// One or two digits at `pos`; false when there is none.
static bool ReadTimeField(const wchar_t* text, int& pos, int* value)
{
    if (!IsDigit(text[pos]))
        return false;
    int v = text[pos++] - L'0';
    if (IsDigit(text[pos]))
        v = v * 10 + (text[pos++] - L'0');
    *value = v;
    return true;
}

// A 24-hour time at `pos`: blanks, the hour, an optional separator, the
// minutes, an optional separator, the seconds. All three are required.
static bool ReadTime(const wchar_t* text, int pos, wchar_t separator, SYSTEMTIME* out)
{
    while (text[pos] == L' ')
        ++pos;
    int hour, minute, second;
    if (!ReadTimeField(text, pos, &hour))
        return false;
    if (separator != 0 && text[pos] == separator)
        ++pos;
    if (!ReadTimeField(text, pos, &minute))
        return false;
    if (separator != 0 && text[pos] == separator)
        ++pos;
    if (!ReadTimeField(text, pos, &second))
        return false;
    if (hour > 23 || minute > 59 || second > 59)
        return false;
    out->wHour = (WORD)hour;
    out->wMinute = (WORD)minute;
    out->wSecond = (WORD)second;
    return true;
}

bool ParseDateTime(LCID lcid, const wchar_t* text, SYSTEMTIME* out, DWORD flags)
{
    if (!text)
        return false;
    const bool strict = (flags & kParseStrict) != 0;
    const bool wantTime = (flags & kParseTime) != 0;
    const bool wantDate = (flags & kParseDate) != 0 || !wantTime;

    SYSTEMTIME result = {};
    int pos = 0;
    bool timeReadable = true;   // a missing year leaves nothing to read a time from
    const wchar_t timeSeparator = wantTime ? LocaleSeparator(lcid, LOCALE_STIME) : 0;

    if (wantDate) {
        wchar_t separator = LocaleSeparator(lcid, LOCALE_SDATE);
        if (!IsDigit(text[0]))
            return false;
        int day = 0, month = 0, year = 0;
        if (!ReadDayOrMonth(text, pos, separator, &day))
            return false;
        SYSTEMTIME today;
        GetLocalTime(&today);
        bool hasMonth = ReadDayOrMonth(text, pos, separator, &month);
        YearResult yearResult = kYearMissing;
        if (hasMonth) {
            int yearStart = pos;
            yearResult = ReadYear(text, pos, today.wYear, &year);
            // In "01.02 10:00:00" the blank ends the month and "10" is the
            // hour, not the year 2010: digits that run into the time
            // separator are no year.
            if (yearResult != kYearMissing && timeSeparator != 0 && text[pos] == timeSeparator) {
                pos = yearStart;
                yearResult = kYearMissing;
            }
        }
        if (yearResult == kYearBad)
            return false;
        bool hasYear = yearResult == kYearRead;
        if (strict && (!hasMonth || !hasYear))
            return false;
        if (!hasMonth)
            month = today.wMonth;
        if (!hasYear)
            year = today.wYear;
        if (day > 31 || month > 12)
            return false;
        result.wDay = (WORD)day;
        result.wMonth = (WORD)month;
        result.wYear = (WORD)year;
        timeReadable = hasYear;
    } else {
        SetTimeValueDate(&result);
    }

    if (wantTime) {
        bool timeRead = timeReadable && ReadTime(text, pos, timeSeparator, &result);
        if (!timeRead) {
            // Only a date may go without its time; a time alone must be there.
            if (!wantDate || !(flags & kParseTimeOptional))
                return false;
            result.wHour = result.wMinute = result.wSecond = 0;
        }
    }

    FILETIME check;
    if (!IsValidSystemTime(result) || !SystemTimeToFileTime(&result, &check))
        return false;
    *out = result;
    return true;
}

bool ParseDateTimeToFileTime(LCID lcid, const wchar_t* text, FILETIME* out, DWORD flags)
{
    SYSTEMTIME time;
    if (!ParseDateTime(lcid, text, &time, flags))
        return false;
    FILETIME converted;
    if (!SystemTimeToFileTime(&time, &converted))
        return false;
    if (out)
        *out = converted;
    return true;
}

bool ParseDateToSystemTime(const wchar_t* text, SYSTEMTIME* out, DWORD flags)
{
    return ParseDateTime(gAppLocale.GetLcid(), text, out, flags);
}

bool ParseDateToFileTime(const wchar_t* text, FILETIME* out, DWORD flags)
{
    return ParseDateTimeToFileTime(gAppLocale.GetLcid(), text, out, flags);
}

// ---- Formatting ----

namespace {

// Output of the formatter: never past the destination's size, the last
// place always kept for the terminator.
class PictureWriter {
public:
    PictureWriter(wchar_t* dest, int size) : dest_(dest), size_(size) {}

    void Put(wchar_t ch)
    {
        if (length_ < size_ - 1)
            dest_[length_++] = ch;
        else
            overflow_ = true;
    }
    void PutText(const wchar_t* text)
    {
        while (*text)
            Put(*text++);
    }
    void PutNumber(unsigned value, int minDigits)
    {
        wchar_t digits[12];
        int n = UIntToText(digits, value);
        for (int i = n; i < minDigits; ++i)
            Put(L'0');
        PutText(digits);
    }
    // Terminates and gives the result: the length, or `failure` when the
    // text was cut.
    int Finish(int failure)
    {
        dest_[length_] = 0;
        return overflow_ ? -1 : failure;
    }
    int Length() const { return length_; }

private:
    wchar_t* dest_;
    int size_;
    int length_ = 0;
    bool overflow_ = false;
};

int RunLength(const wchar_t* p, int limit)
{
    int n = 1;
    while (n < limit && p[n] == p[0])
        ++n;
    return n;
}

} // namespace

int FormatSystemTime(wchar_t* dest, int destSize, const wchar_t* picture, const SYSTEMTIME* time)
{
    if (destSize < 1)
        return -1;
    PictureWriter out(dest, destSize);
    const wchar_t* p = picture ? picture : L"";
    while (*p != 0) {
        wchar_t letter = *p;
        int run;
        switch (letter) {
        case L'd':
        case L'M':
        case L'h':
        case L'H':
        case L'm':
        case L's':
        case L't':
        case L'g':
            run = RunLength(p, 2);
            break;
        case L'y':
            run = RunLength(p, 4);
            break;
        default:
            out.Put(letter);
            ++p;
            continue;
        }
        p += run;
        int width = run == 2 ? 2 : 1;
        switch (letter) {
        case L'd':
            out.PutNumber(time->wDay, width);
            break;
        case L'M':
            out.PutNumber(time->wMonth, width);
            break;
        case L'h':
            out.PutNumber(time->wHour, width);
            break;
        case L'H':
            out.PutNumber(time->wHour <= 12 ? time->wHour : time->wHour - 12, width);
            break;
        case L'm':
            out.PutNumber(time->wMinute, width);
            break;
        case L's':
            out.PutNumber(time->wSecond, width);
            break;
        case L't':
            if (run == 2)
                out.PutText(time->wHour <= 12 ? L"AM" : L"PM");
            else
                out.Put(time->wHour <= 12 ? L'A' : L'P');
            break;
        case L'y':
            if (run == 4) {
                out.PutNumber(time->wYear, 4);
                break;
            }
            return out.Finish(run == 3 ? 0 : -1);
        case L'g':
            return out.Finish(run == 2 ? -1 : 0);
        }
    }
    return out.Finish(out.Length());
}

int FormatFileTime(wchar_t* dest, int destSize, const wchar_t* picture, const FILETIME* time)
{
    SYSTEMTIME converted;
    if (!FileTimeToSystemTime(time, &converted)) {
        if (destSize > 0)
            dest[0] = 0;
        return -1;
    }
    return FormatSystemTime(dest, destSize, picture, &converted);
}

// The buffer's own date and time appenders. They format straight into the
// space behind the text, bounded by what is left of the capacity; a text that
// does not fit, or a picture that fails, appends nothing and the terminator
// stays where the text ends.
int DStrBuf::AppendDate(const wchar_t* picture, const SYSTEMTIME& time)
{
    if (capacity == 0 || length >= capacity - 1)
        return 0;  // no room (a caller's array may be attached full)
    int n = FormatSystemTime(chars + length, capacity - length, picture, &time);
    if (n > 0)
        length += n;
    else
        chars[length] = 0;
    return n;
}

int DStrBuf::AppendTime(const wchar_t* picture, const FILETIME& time)
{
    SYSTEMTIME converted;
    if (!FileTimeToSystemTime(&time, &converted))
        return -1;
    return AppendDate(picture, converted);
}

// ---- The process-wide pictures ----

BOOL SetDateTimeFormats(LCID lcid)
{
    wchar_t dateSeparator = LocaleSeparator(lcid, LOCALE_SDATE);
    wchar_t timeSeparator = LocaleSeparator(lcid, LOCALE_STIME);
    if (dateSeparator == 0 || timeSeparator == 0)
        return FALSE;
    const wchar_t datePicture[] = {L'd', L'd', dateSeparator, L'M', L'M', dateSeparator, L'y', L'y', L'y', L'y', 0};
    const wchar_t timePicture[] = {L'h', L'h', timeSeparator, L'm', L'm', timeSeparator, L's', L's', 0};
    int n = 0;
    for (int i = 0; datePicture[i] != 0; ++i)
        DatePicture[i] = DateTimePicture[n++] = datePicture[i];
    DatePicture[n] = 0;
    DateTimePicture[n++] = L' ';
    for (int i = 0; timePicture[i] != 0; ++i)
        TimePicture[i] = DateTimePicture[n++] = timePicture[i];
    TimePicture[8] = 0;
    DateTimePicture[n] = 0;
    return TRUE;
}

BOOL SetDateTimeFormats()
{
    return SetDateTimeFormats(gAppLocale.GetLcid());
}

// ---- FILETIME helpers ----

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
const ULONGLONG kUnixEpochAsFileTime = 116444736000000000ULL;

void TimeTToFileTime(LONGLONG seconds, FILETIME* out)
{
    ULONGLONG value = (ULONGLONG)seconds * 10000000ULL + kUnixEpochAsFileTime;
    out->dwLowDateTime = (DWORD)value;
    out->dwHighDateTime = (DWORD)(value >> 32);
}

void FileTimeNow(FILETIME* out)
{
    GetSystemTimeAsFileTime(out);
}
