#include "foundation/textutil.h"

#include "foundation/globals.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

// ---- Numbers ----

TEST(ParseInt, AcceptsSignsThenDigitsToTheEnd)
{
    bool ok = false;
    EXPECT_EQ(-12, ParseInt(L"-+12", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(12, ParseInt(L"+12", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(-7, ParseInt(L"-7", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(0, ParseInt(L"0", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(1252, ParseInt(L"1252", nullptr));
}

TEST(ParseInt, RefusesEverythingElseWithZero)
{
    const wchar_t* bad[] = {L"", L"12a", L"a12", L"+-12", L"--1", L"-", L"+", L" 1", L"1 ", L"1.5", L"\x0661"};
    for (const wchar_t* text : bad) {
        bool ok = true;
        EXPECT_EQ(0, ParseInt(text, &ok)) << text;
        EXPECT_FALSE(ok) << text;
    }
    bool ok = true;
    EXPECT_EQ(0, ParseInt(nullptr, &ok));
    EXPECT_FALSE(ok);
}

TEST(ParseInt, WrapsBeyondThirtyTwoBits)
{
    bool ok = false;
    EXPECT_EQ(INT_MIN, ParseInt(L"-2147483648", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(INT_MIN, ParseInt(L"2147483648", &ok));
    EXPECT_EQ(1, ParseInt(L"4294967297", &ok));
}

TEST(ParseUInt, DigitsOnly)
{
    bool ok = false;
    EXPECT_EQ(4294967295u, ParseUInt(L"4294967295", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(7u, ParseUInt(L"007", &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(0u, ParseUInt(L"4294967296", &ok));   // wraps to 0, still valid
    EXPECT_TRUE(ok);
    const wchar_t* bad[] = {L"", L"-1", L"+1", L"1x", L" 1"};
    for (const wchar_t* text : bad) {
        ok = true;
        EXPECT_EQ(0u, ParseUInt(text, &ok)) << text;
        EXPECT_FALSE(ok) << text;
    }
    EXPECT_EQ(0u, ParseUInt(nullptr, nullptr));
}

TEST(NumberText, SignedAndUnsigned)
{
    wchar_t text[16];
    EXPECT_EQ(4, IntToText(text, -305));
    EXPECT_STREQ(L"-305", text);
    EXPECT_EQ(1, IntToText(text, 0));
    EXPECT_STREQ(L"0", text);
    EXPECT_EQ(11, IntToText(text, INT_MIN));
    EXPECT_STREQ(L"-2147483648", text);
    EXPECT_EQ(10, IntToText(text, INT_MAX));
    EXPECT_STREQ(L"2147483647", text);
    EXPECT_EQ(10, UIntToText(text, 4294967295u));
    EXPECT_STREQ(L"4294967295", text);
    EXPECT_EQ(1, UIntToText(text, 0));
    EXPECT_STREQ(L"0", text);
    // An HRESULT reads as a negative number, as the journal shows it.
    EXPECT_EQ(11, IntToText(text, (int)0x80004005));
    EXPECT_STREQ(L"-2147467259", text);
}

TEST(NumberText, BoundedFormsKeepTheLeadingCharacters)
{
    wchar_t text[8];
    wmemset(text, L'#', 8);
    EXPECT_EQ(3, IntToTextN(text, -30512, 4));
    EXPECT_STREQ(L"-30", text);
    EXPECT_EQ(L'#', text[4]);
    EXPECT_EQ(5, UIntToTextN(text, 12345, 8));
    EXPECT_STREQ(L"12345", text);
    EXPECT_EQ(0, UIntToTextN(text, 9, 1));
    EXPECT_STREQ(L"", text);
    text[0] = L'#';
    EXPECT_EQ(0, IntToTextN(text, 9, 0));
    EXPECT_EQ(L'#', text[0]);
}

// ---- Texts ----

TEST(StrCopyN, CutsAtSizeMinusOneAndTerminates)
{
    std::wstring source(300, L'x');
    wchar_t dest[130];
    wmemset(dest, L'#', 130);
    EXPECT_EQ(127, StrCopyN(dest, source.c_str(), 128));
    EXPECT_EQ(std::wstring(127, L'x'), dest);
    EXPECT_EQ(L'#', dest[128]);

    EXPECT_EQ(3, StrCopyN(dest, L"abc", 128));
    EXPECT_STREQ(L"abc", dest);
    EXPECT_EQ(0, StrCopyN(dest, L"abc", 1));
    EXPECT_STREQ(L"", dest);
    dest[0] = L'#';
    EXPECT_EQ(0, StrCopyN(dest, L"abc", 0));
    EXPECT_EQ(L'#', dest[0]);
}

TEST(StrCopy, CopiesWholeTextWithTerminator)
{
    wchar_t dest[8];
    EXPECT_EQ(5, StrCopy(dest, L"hello"));
    EXPECT_STREQ(L"hello", dest);
    EXPECT_EQ(0, StrCopy(dest, L""));
    EXPECT_STREQ(L"", dest);
    dest[0] = L'x';
    EXPECT_EQ(0, StrCopy(dest, nullptr));
    EXPECT_STREQ(L"", dest);
}

TEST(StrConcatN, JoinsTextsWithinTheDestination)
{
    wchar_t dest[16];
    EXPECT_EQ(11, StrConcatN(dest, 16, 3, L"C:\\", L"Image\\", L"ab"));
    EXPECT_STREQ(L"C:\\Image\\ab", dest);
    EXPECT_EQ(0, StrConcatN(dest, 16, 0));
    EXPECT_STREQ(L"", dest);
    EXPECT_EQ(2, StrConcatN(dest, 16, 3, L"a", (const wchar_t*)nullptr, L"b"));
    EXPECT_STREQ(L"ab", dest);

    wchar_t small[8];
    wmemset(small, L'#', 8);
    EXPECT_EQ(5, StrConcatN(small, 6, 3, L"abc", L"def", L"ghi"));
    EXPECT_STREQ(L"abcde", small);
    EXPECT_EQ(L'#', small[6]);   // nothing past the size
}

TEST(GuidToText, UpperCaseGroupsInBraces)
{
    const GUID guid = {0x0C733A8B, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
    wchar_t text[kGuidTextLength + 1];
    EXPECT_EQ(38, GuidToText(guid, text));
    EXPECT_STREQ(L"{0C733A8B-2A1C-11CE-ADE5-00AA0044773D}", text);

    // The same text the system gives.
    wchar_t system[64];
    ASSERT_EQ(39, StringFromGUID2(guid, system, 64));
    EXPECT_STREQ(system, text);

    const GUID small = {0x1, 0x2, 0x3, {0, 0, 0, 0, 0, 0, 0, 0xF}};
    GuidToText(small, text);
    EXPECT_STREQ(L"{00000001-0002-0003-0000-00000000000F}", text);
}

TEST(StrChr, FindsFirstOccurrence)
{
    const wchar_t* text = L"a'b'c";
    EXPECT_EQ(text + 1, StrChr(text, L'\''));
    EXPECT_EQ(nullptr, StrChr(text, L'z'));
    EXPECT_EQ(nullptr, StrChr(static_cast<const wchar_t*>(nullptr), L'z'));
    wchar_t writable[] = L"xyz";
    wchar_t* found = StrChr(writable, L'y');
    ASSERT_NE(nullptr, found);
    *found = L'Y';
    EXPECT_STREQ(L"xYz", writable);
}

TEST(EscapeQuotes, DoublesEveryQuote)
{
    wchar_t dest[32];
    EXPECT_EQ(dest, EscapeQuotes(L"O'Brien's", dest, 32));
    EXPECT_STREQ(L"O''Brien''s", dest);
    EscapeQuotes(L"'", dest, 32);
    EXPECT_STREQ(L"''", dest);
    EscapeQuotes(L"plain", dest, 32);
    EXPECT_STREQ(L"plain", dest);
    EscapeQuotes(L"", dest, 32);
    EXPECT_STREQ(L"", dest);
}

TEST(EscapeQuotes, StaysWithinTheDestinationAndNeverHalvesAQuote)
{
    wchar_t dest[8];
    wmemset(dest, L'#', 8);
    EscapeQuotes(L"abcdefghij", dest, 6);
    EXPECT_STREQ(L"abcde", dest);
    EXPECT_EQ(L'#', dest[6]);

    // "ab''" fits in 5, but the next doubled quote would only half fit.
    wmemset(dest, L'#', 8);
    EscapeQuotes(L"ab''c", dest, 6);
    EXPECT_STREQ(L"ab''", dest);
    EXPECT_EQ(L'#', dest[6]);

    EscapeQuotes(L"abcd'", dest, 6);
    EXPECT_STREQ(L"abcd", dest);

    dest[0] = L'#';
    EscapeQuotes(L"abc", dest, 0);
    EXPECT_EQ(L'#', dest[0]);
}

// ---- Resources and windows ----

TEST(LoadIconRes, LoadsAtTheIconSize)
{
    // The system's own icons stand in for the program's: user32 carries them.
    HINSTANCE saved = hInstance;
    int savedSize = IconSize;
    hInstance = GetModuleHandleW(L"user32.dll");
    ASSERT_NE(nullptr, hInstance);
    for (int size : {32, 16}) {
        IconSize = size;
        HICON icon = LoadIconRes(32512);   // the application icon
        ASSERT_NE(nullptr, icon) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(size, bitmap.bmWidth);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_EQ(nullptr, LoadIconRes(7));   // no such icon
    hInstance = saved;
    IconSize = savedSize;
}

static LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
static WNDPROC gOriginalProc;
static int gSeen;

static LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER + 7)
        ++gSeen;
    return CallWindowProcW(gOriginalProc, window, message, wParam, lParam);
}

TEST(WindowProc, SubclassAndRestore)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    gOriginalProc = GetWindowProc(window);
    ASSERT_NE(nullptr, gOriginalProc);
    gSeen = 0;
    EXPECT_EQ(gOriginalProc, SetWindowProc(window, CountingProc));
    EXPECT_EQ((WNDPROC)CountingProc, GetWindowProc(window));
    SendMessageW(window, WM_USER + 7, 0, 0);
    EXPECT_EQ(1, gSeen);
    EXPECT_EQ((WNDPROC)CountingProc, SetWindowProc(window, gOriginalProc));
    SendMessageW(window, WM_USER + 7, 0, 0);
    EXPECT_EQ(1, gSeen);
    DestroyWindow(window);
}

TEST(LoadText, TheWholeTextOfTheTableOrNothing)
{
    // 159: "Do you wish to set up the program?" (in the user's language).
    wchar_t expected[256];
    const int expectedLength = LoadStringW(hInstance, 159, expected, 256);
    ASSERT_GT(expectedLength, 0);
    EXPECT_EQ(std::wstring(expected, expectedLength), LoadText(159));
    EXPECT_EQ(std::wstring(), LoadText(65000)) << "a missing string";
}

TEST(LoadStringAlloc, ExactCopiesAndNullForMissing)
{
    // 159: "Do you wish to set up the program?" (in the user's language).
    HINSTANCE module = hInstance;
    wchar_t expected[256];
    int expectedLength = LoadStringW(module, 159, expected, 256);
    ASSERT_GT(expectedLength, 0);

    int length = -1;
    wchar_t* text = LoadStringAllocW(module, 159, &length);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(expectedLength, length);
    EXPECT_STREQ(expected, text);
    EXPECT_EQ((SIZE_T)(length + 1) * sizeof(wchar_t), HeapSize(GetProcessHeap(), 0, text));
    FreeStringAllocW(text);

    char* narrow = LoadStringAllocA(module, 159, &length);
    ASSERT_NE(nullptr, narrow);
    EXPECT_EQ(expectedLength, length);
    EXPECT_EQ((SIZE_T)(length + 1), HeapSize(GetProcessHeap(), 0, narrow));
    FreeStringAllocA(narrow);

    length = -1;
    EXPECT_EQ(nullptr, LoadStringAllocW(module, 65000, &length));
    EXPECT_EQ(0, length);
    EXPECT_EQ(nullptr, LoadStringAllocA(module, 65000, nullptr));
    FreeStringAllocW(nullptr);
    FreeStringAllocA(nullptr);
}
