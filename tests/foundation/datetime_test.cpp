#include "foundation/datetime.h"

#include "foundation/applocale.h"
#include "foundation/strbuf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const LCID kEnglish = 0x409;   // date separator "/", time separator ":"
const LCID kRussian = 0x419;   // date separator ".", time separator ":"

SYSTEMTIME Today()
{
    SYSTEMTIME today;
    GetLocalTime(&today);
    return today;
}

// The year a typed year of `digits` digits and value `given` means today.
int CompletedYear(int given, int digits)
{
    int scale = 1;
    for (int i = 0; i < digits; ++i)
        scale *= 10;
    return Today().wYear / scale * scale + given;
}

SYSTEMTIME Time(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    SYSTEMTIME t = {};
    t.wYear = (WORD)year;
    t.wMonth = (WORD)month;
    t.wDay = (WORD)day;
    t.wHour = (WORD)hour;
    t.wMinute = (WORD)minute;
    t.wSecond = (WORD)second;
    return t;
}

std::string Show(const SYSTEMTIME& t)
{
    char text[64];
    snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond, t.wMilliseconds);
    return text;
}

// Parses and gives the result as text, or "refused".
std::string Parse(LCID lcid, const wchar_t* text, DWORD flags)
{
    SYSTEMTIME out;
    memset(&out, 0xAB, sizeof(out));
    if (!ParseDateTime(lcid, text, &out, flags)) {
        SYSTEMTIME untouched;
        memset(&untouched, 0xAB, sizeof(untouched));
        EXPECT_EQ(0, memcmp(&out, &untouched, sizeof(out))) << "written on failure";
        return "refused";
    }
    return Show(out);
}

std::string Ymd(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return Show(Time(year, month, day, hour, minute, second));
}

// Restores the process-wide locale and pictures that a test changes.
class LocaleGuard {
public:
    LocaleGuard() : lcid_(gAppLocale.GetLcid())
    {
        wcscpy(date_, DatePicture);
        wcscpy(time_, TimePicture);
        wcscpy(dateTime_, DateTimePicture);
    }
    ~LocaleGuard()
    {
        gAppLocale.SetLcid(lcid_);
        wcscpy(DatePicture, date_);
        wcscpy(TimePicture, time_);
        wcscpy(DateTimePicture, dateTime_);
    }

private:
    LCID lcid_;
    wchar_t date_[kPictureSize], time_[kPictureSize], dateTime_[kPictureSize];
};

} // namespace

// ---- The parser ----

TEST(ParseDateTime, FullDateWithLocaleSeparatorBlankOrSlash)
{
    EXPECT_EQ(Ymd(2003, 2, 1), Parse(kRussian, L"01.02.2003", 0));
    EXPECT_EQ(Ymd(2003, 2, 1), Parse(kRussian, L"1.2.2003", kParseDate));
    EXPECT_EQ(Ymd(2003, 2, 1), Parse(kRussian, L"01 02 2003", kParseDate));
    EXPECT_EQ(Ymd(2003, 2, 1), Parse(kRussian, L"01/02/2003", kParseStrict | kParseDate));
    // Day first whatever the locale's own order.
    EXPECT_EQ(Ymd(2003, 2, 1), Parse(kEnglish, L"01/02/2003", kParseStrict | kParseDate));
    EXPECT_EQ(Ymd(2003, 12, 31), Parse(kEnglish, L"31/12/2003", kParseStrict));
}

TEST(ParseDateTime, DigitsWithoutSeparators)
{
    EXPECT_EQ(Ymd(2004, 12, 31), Parse(kRussian, L"31122004", kParseStrict));
    EXPECT_EQ(Ymd(CompletedYear(99, 2), 12, 31), Parse(kRussian, L"311299", kParseStrict));
}

TEST(ParseDateTime, MissingMonthAndYearComeFromToday)
{
    SYSTEMTIME today = Today();
    EXPECT_EQ(Ymd(today.wYear, today.wMonth, 5), Parse(kRussian, L"5", kParseDate));
    EXPECT_EQ("refused", Parse(kRussian, L"5", kParseStrict | kParseDate));
    EXPECT_EQ(Ymd(today.wYear, 2, 5), Parse(kRussian, L"5.2", 0));
    EXPECT_EQ(Ymd(today.wYear, 2, 5), Parse(kRussian, L"05.02.", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"5.2", kParseStrict));
    // One year digit counts as none.
    EXPECT_EQ(Ymd(today.wYear, 2, 5), Parse(kRussian, L"5.2.7", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"5.2.7", kParseStrict));
    // "." is no separator in English: the month part is bad, so month and year are missing.
    EXPECT_EQ(Ymd(today.wYear, today.wMonth, 1), Parse(kEnglish, L"01.02.2003", kParseDate));
    EXPECT_EQ("refused", Parse(kEnglish, L"01.02.2003", kParseStrict | kParseDate));
}

TEST(ParseDateTime, ShortYearsAreCompletedFromTheCurrentYear)
{
    EXPECT_EQ(Ymd(CompletedYear(99, 2), 12, 31), Parse(kEnglish, L"31/12/99", 0));
    EXPECT_EQ(Ymd(CompletedYear(5, 2), 2, 1), Parse(kRussian, L"01.02.05", 0));
    EXPECT_EQ(Ymd(CompletedYear(26, 3), 2, 1), Parse(kRussian, L"01.02.026", 0));
    EXPECT_EQ(Ymd(1999, 2, 1), Parse(kRussian, L"01.02.1999", 0));
    // In 2000 to 2099 the completed two-digit year stays in this century.
    int year = Today().wYear;
    if (year >= 2000 && year <= 2099) {
        EXPECT_EQ(Ymd(2099, 12, 31), Parse(kEnglish, L"31/12/99", 0));
    }
}

TEST(ParseDateTime, ImpossibleDatesAreRefused)
{
    EXPECT_EQ("refused", Parse(kRussian, L"29.02.2005", 0));
    EXPECT_EQ(Ymd(2004, 2, 29), Parse(kRussian, L"29.02.2004", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"29.02.1900", 0));
    EXPECT_EQ(Ymd(2000, 2, 29), Parse(kRussian, L"29.02.2000", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"31.02.2004", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"31.04.2004", 0));
    EXPECT_EQ(Ymd(2004, 4, 30), Parse(kRussian, L"30.04.2004", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"00.04.2004", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"01.00.2004", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"01.13.2004", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"32.01.2004", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"01.01.1600", 0));
    EXPECT_EQ(Ymd(1601, 1, 1), Parse(kRussian, L"01.01.1601", 0));
    EXPECT_EQ(Ymd(30827, 12, 31), Parse(kRussian, L"31.12.30827", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"01.01.30828", 0));
    // 67536 must not wrap round to the year 2000.
    EXPECT_EQ("refused", Parse(kRussian, L"01.01.67536", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"01.01.2000000000000", 0));
}

TEST(ParseDateTime, MalformedTextsAreRefused)
{
    EXPECT_EQ("refused", Parse(kRussian, L"", 0));
    EXPECT_EQ("refused", Parse(kRussian, L" 01.02.2003", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"x", 0));
    EXPECT_EQ("refused", Parse(kRussian, L"1x.02.2003", 0));
    EXPECT_EQ("refused", Parse(kRussian, nullptr, 0));
    SYSTEMTIME out;
    EXPECT_FALSE(ParseDateTime(kRussian, nullptr, &out, kParseTime));
}

TEST(ParseDateTime, DateAndTime)
{
    const DWORD both = kParseDate | kParseTime;
    EXPECT_EQ(Ymd(2003, 2, 1, 7, 5, 9), Parse(kRussian, L"01.02.2003 7:05:09", both));
    EXPECT_EQ(Ymd(2003, 2, 1, 23, 59, 59), Parse(kEnglish, L"01/02/2003   23:59:59", both));
    EXPECT_EQ(Ymd(2003, 2, 1, 7, 5, 9), Parse(kRussian, L"01.02.2003 070509", both));
    EXPECT_EQ(Ymd(2003, 2, 1, 7, 5, 9), Parse(kRussian, L"01.02.2003 7:05:09", both | kParseStrict));
    // Seconds are required, unless the whole time may be left out.
    EXPECT_EQ("refused", Parse(kRussian, L"01.02.2003 7:05", both));
    EXPECT_EQ(Ymd(2003, 2, 1), Parse(kRussian, L"01.02.2003 7:05", both | kParseTimeOptional));
    EXPECT_EQ(Ymd(2003, 2, 1), Parse(kRussian, L"01.02.2003", both | kParseTimeOptional));
    EXPECT_EQ("refused", Parse(kRussian, L"01.02.2003", both));
    EXPECT_EQ("refused", Parse(kRussian, L"01.02.2003 24:00:00", both));
    EXPECT_EQ("refused", Parse(kRussian, L"01.02.2003 10:60:00", both));
    EXPECT_EQ("refused", Parse(kRussian, L"01.02.2003 10:00:60", both));
    // Nothing is left to read after a missing year; the hour is not taken
    // for the year (2010).
    EXPECT_EQ("refused", Parse(kRussian, L"01.02 10:00:00", both));
    EXPECT_EQ(Ymd(Today().wYear, 2, 1), Parse(kRussian, L"01.02 10:00:00", both | kParseTimeOptional));
    EXPECT_EQ(Ymd(2010, 2, 1, 10, 0, 0), Parse(kRussian, L"01.02 2010 10:00:00", both));
    // An impossible date stays refused with a good time.
    EXPECT_EQ("refused", Parse(kRussian, L"29.02.2005 10:00:00", both));
}

TEST(ParseDateTime, TimeAloneIsOnTheFixedDate)
{
    EXPECT_EQ(Ymd(kTimeValueYear, kTimeValueMonth, kTimeValueDay, 7, 5, 9), Parse(kRussian, L"7:05:09", kParseTime));
    EXPECT_EQ(Ymd(kTimeValueYear, kTimeValueMonth, kTimeValueDay, 23, 59, 59),
              Parse(kEnglish, L"  23:59:59", kParseTime));
    EXPECT_EQ(Ymd(kTimeValueYear, kTimeValueMonth, kTimeValueDay, 0, 0, 0), Parse(kRussian, L"0:0:0", kParseTime));
    EXPECT_EQ("refused", Parse(kRussian, L"24:00:00", kParseTime));
    EXPECT_EQ("refused", Parse(kRussian, L"7:05", kParseTime));
    EXPECT_EQ("refused", Parse(kRussian, L"", kParseTime));
    EXPECT_EQ("refused", Parse(kRussian, L"x", kParseTime | kParseTimeOptional));

    // The fixed date converts and is the same for every time.
    FILETIME a, b;
    ASSERT_TRUE(ParseDateTimeToFileTime(kRussian, L"1:00:00", &a, kParseTime));
    ASSERT_TRUE(ParseDateTimeToFileTime(kRussian, L"2:00:00", &b, kParseTime));
    ULARGE_INTEGER ua = {{a.dwLowDateTime, a.dwHighDateTime}}, ub = {{b.dwLowDateTime, b.dwHighDateTime}};
    EXPECT_EQ(36000000000ULL, ub.QuadPart - ua.QuadPart);
}

TEST(ParseDateTime, ToFileTimeAndWithTheApplicationLocale)
{
    FILETIME parsed;
    ASSERT_TRUE(ParseDateTimeToFileTime(kRussian, L"18.08.2004 09:05:07", &parsed, kParseDate | kParseTime));
    SYSTEMTIME expected = Time(2004, 8, 18, 9, 5, 7);
    FILETIME reference;
    ASSERT_TRUE(SystemTimeToFileTime(&expected, &reference));
    EXPECT_EQ(0, CompareFileTime(&reference, &parsed));
    EXPECT_TRUE(ParseDateTimeToFileTime(kRussian, L"18.08.2004", nullptr, kParseStrict));
    EXPECT_FALSE(ParseDateTimeToFileTime(kRussian, L"29.02.2005", nullptr, 0));

    LocaleGuard guard;
    gAppLocale.SetLcid(kRussian);
    SYSTEMTIME out;
    ASSERT_TRUE(ParseDateToSystemTime(L"18.08.2004", &out, kParseStrict));
    EXPECT_EQ(Ymd(2004, 8, 18), Show(out));
    ASSERT_TRUE(ParseDateToFileTime(L"18.08.2004 09:05:07", &parsed, kParseStrict | kParseDate | kParseTime));
    EXPECT_EQ(0, CompareFileTime(&reference, &parsed));
    gAppLocale.SetLcid(kEnglish);
    EXPECT_FALSE(ParseDateToSystemTime(L"18.08.2004", &out, kParseStrict));
    EXPECT_TRUE(ParseDateToSystemTime(L"18/08/2004", &out, kParseStrict));
}

TEST(CalendarCheck, ValidSystemTimes)
{
    EXPECT_TRUE(IsValidSystemTime(Time(2004, 2, 29, 23, 59, 59)));
    EXPECT_FALSE(IsValidSystemTime(Time(2005, 2, 29)));
    EXPECT_FALSE(IsValidSystemTime(Time(2100, 2, 29)));
    EXPECT_FALSE(IsValidSystemTime(Time(2004, 6, 31)));
    EXPECT_FALSE(IsValidSystemTime(Time(2004, 6, 1, 24)));
    SYSTEMTIME t = Time(2004, 6, 1);
    t.wMilliseconds = 1000;
    EXPECT_FALSE(IsValidSystemTime(t));

    SYSTEMTIME now = Time(2026, 3, 4, 10, 11, 12);
    SetTimeValueDate(&now);
    EXPECT_EQ(Ymd(1900, 1, 1, 10, 11, 12), Show(now));
    EXPECT_TRUE(IsValidSystemTime(now));
}

// ---- The formatter ----

namespace {

std::wstring Format(const wchar_t* picture, const SYSTEMTIME& t, int* result = nullptr)
{
    wchar_t text[64];
    int n = FormatSystemTime(text, 64, picture, &t);
    if (result)
        *result = n;
    return text;
}

} // namespace

TEST(FormatSystemTime, TwoAndOneLetterForms)
{
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    int n = 0;
    EXPECT_EQ(L"18.08.2004 09:05:07", Format(L"dd.MM.yyyy hh:mm:ss", t, &n));
    EXPECT_EQ(19, n);
    EXPECT_EQ(L"18.8.2004 9:5:7", Format(L"d.M.yyyy h:m:s", t, &n));
    EXPECT_EQ(15, n);
    t = Time(987, 1, 2);
    EXPECT_EQ(L"0987 02 2", Format(L"yyyy dd d", t));
    EXPECT_EQ(L"[a-b]: ", Format(L"[a-b]: ", t));   // other characters are copied
    EXPECT_EQ(L"", Format(L"", t, &n));
    EXPECT_EQ(0, n);
}

TEST(FormatSystemTime, TwelveHourClockAndMarks)
{
    EXPECT_EQ(L"00", Format(L"HH", Time(2004, 1, 1, 0, 15)));
    EXPECT_EQ(L"AM", Format(L"tt", Time(2004, 1, 1, 0, 15)));
    EXPECT_EQ(L"PM", Format(L"tt", Time(2004, 1, 1, 13, 0)));
    EXPECT_EQ(L"12:30 AM", Format(L"H:mm tt", Time(2004, 1, 1, 12, 30)));
    EXPECT_EQ(L"1:05 P", Format(L"H:mm t", Time(2004, 1, 1, 13, 5)));
    EXPECT_EQ(L"11 23", Format(L"HH hh", Time(2004, 1, 1, 23, 5)));
}

TEST(FormatSystemTime, UnsupportedLettersStopWithMinusOneOrZero)
{
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    int n = 5;
    EXPECT_EQ(L"18 ", Format(L"dd y", t, &n));
    EXPECT_EQ(-1, n);
    EXPECT_EQ(L"18 ", Format(L"dd yy.MM", t, &n));
    EXPECT_EQ(-1, n);
    EXPECT_EQ(L"18 ", Format(L"dd yyy", t, &n));
    EXPECT_EQ(0, n);
    EXPECT_EQ(L"", Format(L"gg", t, &n));
    EXPECT_EQ(-1, n);
    EXPECT_EQ(L"08", Format(L"MMg", t, &n));
    EXPECT_EQ(0, n);
    EXPECT_EQ(L"2004", Format(L"yyyyy", t, &n));
    EXPECT_EQ(-1, n);
}

TEST(FormatSystemTime, NeverWritesPastTheDestination)
{
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    wchar_t text[16];
    wmemset(text, L'#', 16);
    EXPECT_EQ(-1, FormatSystemTime(text, 5, L"dd.MM.yyyy", &t));
    EXPECT_STREQ(L"18.0", text);
    EXPECT_EQ(L'#', text[5]);

    wmemset(text, L'#', 16);
    EXPECT_EQ(10, FormatSystemTime(text, 11, L"dd.MM.yyyy", &t));   // exactly fits
    EXPECT_STREQ(L"18.08.2004", text);
    EXPECT_EQ(L'#', text[11]);
    EXPECT_EQ(-1, FormatSystemTime(text, 10, L"dd.MM.yyyy", &t));

    wmemset(text, L'#', 16);
    EXPECT_EQ(-1, FormatSystemTime(text, 0, L"dd", &t));
    EXPECT_EQ(L'#', text[0]);
    EXPECT_EQ(-1, FormatSystemTime(text, 1, L"dd", &t));
    EXPECT_STREQ(L"", text);
}

TEST(FormatFileTime, ConvertsWithoutTimeZone)
{
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    wchar_t text[32];
    EXPECT_EQ(19, FormatFileTime(text, 32, L"dd.MM.yyyy hh:mm:ss", &ft));
    EXPECT_STREQ(L"18.08.2004 09:05:07", text);

    FILETIME bad = {0xFFFFFFFF, 0xFFFFFFFF};
    text[0] = L'#';
    EXPECT_EQ(-1, FormatFileTime(text, 32, L"dd", &bad));
    EXPECT_STREQ(L"", text);
}

TEST(StrBufDateTime, AppendsBehindTheText)
{
    wchar_t array[32];
    DStrBuf buf(array, 32);
    buf.Copy(L"Date: ");
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    EXPECT_EQ(10, buf.AppendDate(L"dd.MM.yyyy", t));
    EXPECT_EQ(16, buf.Length());
    EXPECT_STREQ(L"Date: 18.08.2004", buf.c_str());

    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    EXPECT_EQ(9, buf.AppendTime(L" hh:mm:ss", ft));
    EXPECT_EQ(25, buf.Length());
    EXPECT_STREQ(L"Date: 18.08.2004 09:05:07", buf.c_str());
}

TEST(StrBufDateTime, AppendsNothingWhenItDoesNotFitOrFails)
{
    wchar_t array[12];
    wmemset(array, L'#', 12);
    DStrBuf buf(array, 10);
    buf.Copy(L"abc");
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    EXPECT_EQ(-1, buf.AppendDate(L"dd.MM.yyyy", t));
    EXPECT_EQ(3, buf.Length());
    EXPECT_STREQ(L"abc", array);
    EXPECT_EQ(L'#', array[10]);

    EXPECT_EQ(0, buf.AppendDate(L"dd yyy", t));   // wrote "18 " before stopping
    EXPECT_EQ(3, buf.Length());
    EXPECT_STREQ(L"abc", array);

    FILETIME bad = {0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(-1, buf.AppendTime(L"dd", bad));
    EXPECT_STREQ(L"abc", array);

    EXPECT_EQ(6, buf.AppendDate(L"hhmmss", t));   // exactly the room left
    EXPECT_STREQ(L"abc090507", array);

    DStrBuf empty;
    EXPECT_EQ(0, empty.AppendDate(L"dd", t));
    EXPECT_EQ(0, empty.AppendTime(L"dd", FILETIME{}));
}

TEST(StrBufDateTime, NeverWritesPastAnArrayAttachedFull)
{
    wchar_t array[6];
    wmemcpy(array, L"12345#", 6);
    DStrBuf buf;
    buf.Attach(array, 5, 5);   // a caller's array whose length equals its capacity
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    EXPECT_EQ(0, buf.AppendDate(L"dd", t));
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    EXPECT_EQ(0, buf.AppendTime(L"dd", ft));
    EXPECT_EQ(5, buf.Length());
    EXPECT_EQ(L'#', array[5]);
}

// ---- The pictures ----

TEST(SetDateTimeFormats, PicturesFromTheLocaleSeparators)
{
    LocaleGuard guard;
    EXPECT_TRUE(SetDateTimeFormats(kRussian));
    EXPECT_STREQ(L"dd.MM.yyyy", DatePicture);
    EXPECT_STREQ(L"hh:mm:ss", TimePicture);
    EXPECT_STREQ(L"dd.MM.yyyy hh:mm:ss", DateTimePicture);

    EXPECT_TRUE(SetDateTimeFormats(kEnglish));
    EXPECT_STREQ(L"dd/MM/yyyy", DatePicture);
    EXPECT_STREQ(L"hh:mm:ss", TimePicture);
    EXPECT_STREQ(L"dd/MM/yyyy hh:mm:ss", DateTimePicture);

    // The date-and-time picture gives 19 characters.
    SYSTEMTIME t = Time(2004, 8, 18, 9, 5, 7);
    wchar_t text[32];
    EXPECT_EQ(19, FormatSystemTime(text, 32, DateTimePicture, &t));
    EXPECT_STREQ(L"18/08/2004 09:05:07", text);

    // A locale that cannot be read leaves them.
    EXPECT_FALSE(SetDateTimeFormats(0x7FFFFFFF));
    EXPECT_STREQ(L"dd/MM/yyyy hh:mm:ss", DateTimePicture);
}

TEST(SetDateTimeFormats, WithoutArgumentFollowsTheApplicationLocale)
{
    LocaleGuard guard;
    gAppLocale.SetLcid(kEnglish);
    EXPECT_TRUE(SetDateTimeFormats());
    EXPECT_STREQ(L"dd/MM/yyyy hh:mm:ss", DateTimePicture);
    gAppLocale.SetLcid(kRussian);
    EXPECT_TRUE(SetDateTimeFormats());
    EXPECT_STREQ(L"dd.MM.yyyy", DatePicture);
    EXPECT_STREQ(L"dd.MM.yyyy hh:mm:ss", DateTimePicture);
}

TEST(SetDateTimeFormats, StartValues)
{
    EXPECT_STREQ(L"dd.MM.yyyy", DatePicture);
    EXPECT_STREQ(L"hh:mm:ss", TimePicture);
    EXPECT_STREQ(L"dd.MM.yyyy hh:mm:ss", DateTimePicture);
}

// ---- FILETIME helpers ----

TEST(FileTimeHelpers, UnixSecondsAndNow)
{
    FILETIME ft;
    TimeTToFileTime(0, &ft);
    ULARGE_INTEGER value = {{ft.dwLowDateTime, ft.dwHighDateTime}};
    EXPECT_EQ(116444736000000000ULL, value.QuadPart);

    TimeTToFileTime(1092819907, &ft);   // 2004-08-18 09:05:07 UTC
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
    EXPECT_EQ(Ymd(2004, 8, 18, 9, 5, 7), Show(st));

    FILETIME before, now, after;
    GetSystemTimeAsFileTime(&before);
    FileTimeNow(&now);
    GetSystemTimeAsFileTime(&after);
    EXPECT_LE(CompareFileTime(&before, &now), 0);
    EXPECT_LE(CompareFileTime(&now, &after), 0);
}
