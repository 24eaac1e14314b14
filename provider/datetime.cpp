// Datetime texts: see datetime.h.
#include "provider/datetime.h"

#include <cwctype>

namespace zelk {
namespace {

constexpr int kMinYear = 1753;
constexpr int kMaxYear = 9999;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Reads exactly `n` digits at `p`; false when they are not there.
bool Digits(const wchar_t*& p, const wchar_t* end, int n, int& value)
{
    value = 0;
    for (int i = 0; i < n; ++i) {
        if (p >= end || *p < L'0' || *p > L'9')
            return false;
        value = value * 10 + (*p++ - L'0');
    }
    return true;
}

bool Take(const wchar_t*& p, const wchar_t* end, wchar_t c)
{
    if (p >= end || *p != c)
        return false;
    ++p;
    return true;
}

// HH:MM[:SS[.f]] up to `end`.
bool ReadTime(const wchar_t*& p, const wchar_t* end, int& h, int& mi, int& s, int& ms)
{
    if (!Digits(p, end, 2, h) || !Take(p, end, L':') || !Digits(p, end, 2, mi))
        return false;
    if (p == end)
        return true;
    if (!Take(p, end, L':') || !Digits(p, end, 2, s))
        return false;
    if (p == end)
        return true;
    if (!Take(p, end, L'.'))
        return false;
    int digits = 0;
    for (int scale = 100; p < end && *p >= L'0' && *p <= L'9'; scale /= 10, ++digits) {
        if (digits == 3)
            return false;  // datetime keeps milliseconds: SQL Server refuses a finer fraction
        ms += (*p++ - L'0') * scale;
    }
    return digits > 0 && p == end;
}

}  // namespace

DateCheck CheckDateText(const wchar_t* text, size_t length, SYSTEMTIME& out)
{
    const wchar_t* p = text;
    const wchar_t* end = text + length;
    while (p < end && iswspace(*p))
        ++p;
    while (end > p && iswspace(end[-1]))
        --end;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!Digits(p, end, 4, y))
        return DateCheck::Malformed;
    const bool dashed = Take(p, end, L'-');
    if (!Digits(p, end, 2, mo) || (dashed && !Take(p, end, L'-')) || !Digits(p, end, 2, d))
        return DateCheck::Malformed;
    if (p < end) {
        // A blank before the time in both forms, or ISO 8601's T after the dashed date.
        if (!(Take(p, end, L' ') || (dashed && Take(p, end, L'T'))))
            return DateCheck::Malformed;
        if (!ReadTime(p, end, h, mi, s, ms))
            return DateCheck::Malformed;
    }
    if (y < kMinYear || y > kMaxYear || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 ||
        s > 59)
        return DateCheck::OutOfRange;
    out = SYSTEMTIME();
    out.wYear = static_cast<WORD>(y);
    out.wMonth = static_cast<WORD>(mo);
    out.wDay = static_cast<WORD>(d);
    out.wHour = static_cast<WORD>(h);
    out.wMinute = static_cast<WORD>(mi);
    out.wSecond = static_cast<WORD>(s);
    out.wMilliseconds = static_cast<WORD>(ms);
    return DateCheck::Valid;
}

bool ParseDateTime(const wchar_t* text, size_t length, SYSTEMTIME& out)
{
    return CheckDateText(text, length, out) == DateCheck::Valid;
}

std::wstring FormatDateTime(const SYSTEMTIME& t)
{
    wchar_t buf[32];
    _snwprintf(buf, 31, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
               t.wSecond, t.wMilliseconds);
    buf[31] = 0;
    return buf;
}

std::wstring MalformedDateMessage(const std::wstring& text)
{
    return L"Conversion failed when converting date and/or time from character string '" + text +
           L"': write a date as 'YYYYMMDD' or 'YYYY-MM-DD', a time after it as 'hh:mm:ss.mmm'.";
}

std::wstring OutOfRangeDateMessage(const std::wstring& text)
{
    return L"The conversion of the character string '" + text +
           L"' to a datetime resulted in an out-of-range value: the date does not exist or lies outside "
           L"1 January 1753 to 31 December 9999.";
}

}  // namespace zelk
