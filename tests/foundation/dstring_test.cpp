#include "foundation/dstring.h"
#include "foundation/globals.h"
#include "foundation/guid.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <string>

namespace {

int Capacity(const DString& s)
{
    return s.BufferSize() - 1;
}

bool InCommittedPages(const DString& s)
{
    MEMORY_BASIC_INFORMATION info;
    return s.c_str() != nullptr && VirtualQuery(s.c_str(), &info, sizeof(info)) == sizeof(info) &&
           info.AllocationBase == s.c_str() && info.Type == MEM_PRIVATE;
}

std::wstring Text(const DString& s)
{
    return s.c_str() != nullptr ? std::wstring(s.c_str(), s.Length()) : std::wstring();
}

// A request that a 32-bit process can never be given (2 GB of pages).
const int kImpossible = 0x3FFFFFF0;
const UINT kMissingId = 65531;
const UINT kSetupQuestionId = 159;

} // namespace

// --- capacities ------------------------------------------------------------------

TEST(DStringCapacity, AllocationRuleExamples)
{
    const struct { int request, capacity; bool pages; } cases[] = {
        {0, 15, false},      {15, 31, false},     {16, 31, false},     {31, 47, false},
        {31998, 31999, false},
        {31999, 64767, true}, {32767, 32767, true}, {32768, 32768, true}, {40000, 40000, true},
    };
    for (const auto& c : cases) {
        DString s;
        s.Reserve(c.request);
        EXPECT_EQ(c.capacity, Capacity(s)) << "request " << c.request;
        EXPECT_EQ(c.pages, InCommittedPages(s)) << "request " << c.request;
        EXPECT_EQ(0, s.Length());
        ASSERT_NE(nullptr, s.c_str());
        EXPECT_EQ(0, s.c_str()[0]);
    }
}

TEST(DStringCapacity, NewMakesAFreshBlock)
{
    DString s(L"old text");
    DString other(s);
    s.New(0);
    EXPECT_EQ(nullptr, s.c_str());
    EXPECT_EQ(1, s.BufferSize());           // a block, without buffer
    EXPECT_EQ(L"old text", Text(other));    // the old block lives on in the other holder
    s.New(20);
    EXPECT_EQ(31, Capacity(s));
    EXPECT_EQ(0, s.Length());
}

TEST(DStringCapacity, AppendToANullStringMakesTheSmallestBlock)
{
    DString s;
    EXPECT_EQ(0, s.BufferSize());
    s.AppendSz(L"12345");
    EXPECT_EQ(15, Capacity(s));
    EXPECT_EQ(L"12345", Text(s));
    EXPECT_EQ(10, s.ByteLength());
}

TEST(DStringCapacity, GrowsOnlyWhenTheTextDoesNotFit)
{
    DString s(L"0123456789");
    ASSERT_EQ(15, Capacity(s));
    const wchar_t* before = s.c_str();
    s.AppendSz(L"abcde");
    EXPECT_EQ(before, s.c_str());
    EXPECT_EQ(15, Capacity(s));

    DString t(L"0123456789");
    t.AppendSz(L"abcdef");
    EXPECT_EQ(31, Capacity(t));
    EXPECT_EQ(L"0123456789abcdef", Text(t));
}

TEST(DStringCapacity, LongTextMovesToCommittedPages)
{
    DString s;
    const std::wstring chunk(1000, L'a');
    for (int i = 0; i < 31; ++i)
        s.AppendSz(chunk.c_str());
    EXPECT_FALSE(InCommittedPages(s));
    s.AppendN(chunk.c_str(), 999);          // 31,999 characters
    EXPECT_TRUE(InCommittedPages(s));
    EXPECT_EQ(64767, Capacity(s));
    EXPECT_EQ(31999, s.Length());
    EXPECT_EQ(L'a', s.At(31998));
    EXPECT_EQ(0, s.c_str()[31999]);
}

// --- growth failure -----------------------------------------------------------------

TEST(DStringGrowthFailure, ReserveAndNewThrow)
{
    DString s(L"kept");
    try {
        s.Reserve(kImpossible);
        FAIL() << "no exception";
    } catch (const DString::Exception& e) {
        EXPECT_EQ(0, e.code);
    }
    EXPECT_EQ(L"kept", Text(s));
    EXPECT_THROW(s.Reserve(INT_MAX), DString::Exception);
    EXPECT_EQ(L"kept", Text(s));

    DString fresh;
    EXPECT_THROW(fresh.Reserve(INT_MAX), DString::Exception);
    EXPECT_EQ(0, fresh.BufferSize());
    EXPECT_THROW(fresh.New(kImpossible), DString::Exception);
}

TEST(DStringGrowthFailure, AppendThatCannotGrowKeepsTheText)
{
    DString s(L"kept");
    const std::wstring small(8, L'x');
    // Growth is asked for before a single character is read.
    s.AppendN(small.c_str(), kImpossible);
    EXPECT_EQ(L"kept", Text(s));
    s.AppendN(small.c_str(), INT_MAX);      // length + n would wrap around
    EXPECT_EQ(L"kept", Text(s));
    EXPECT_EQ(15, Capacity(s));

    DString none;
    none.AppendN(small.c_str(), kImpossible);
    EXPECT_EQ(0, none.BufferSize());
    EXPECT_EQ(nullptr, none.c_str());
}

TEST(DStringSharing, CopyFromReplacesTheTextForEveryHolder)
{
    DString big;
    big.AppendN(std::wstring(40, L'b').c_str(), 40);
    DString s(L"short");
    DString holder(s);
    s.CopyFrom(big);
    EXPECT_EQ(std::wstring(40, L'b'), Text(holder));
    DString empty;
    s.CopyFrom(empty);
    EXPECT_EQ(0, holder.Length());
    ASSERT_NE(nullptr, holder.c_str());
    EXPECT_EQ(0, holder.c_str()[0]);
}

// --- shared blocks ------------------------------------------------------------------

TEST(DStringSharing, EveryHolderSeesAChange)
{
    DString a(L"abc");
    DString b(a);
    DString c;
    c = a;
    EXPECT_EQ(a.c_str(), b.c_str());
    EXPECT_EQ(a.c_str(), c.c_str());
    b.AppendChar(L'd');
    EXPECT_EQ(L"abcd", Text(a));
    EXPECT_EQ(L"abcd", Text(c));
    a.SetAt(0, L'X');
    EXPECT_EQ(L'X', c.At(0));
    a.Release();
    EXPECT_EQ(nullptr, a.c_str());
    EXPECT_EQ(L"Xbcd", Text(b));
    b.Clear();
    EXPECT_EQ(L"Xbcd", Text(c));
}

TEST(DStringSharing, AppendToANullStringMakesAPrivateCopy)
{
    DString a(L"shared");
    DString copy;
    copy.Append(a);
    EXPECT_NE(a.c_str(), copy.c_str());
    copy.AppendChar(L'!');
    EXPECT_EQ(L"shared", Text(a));
}

TEST(DStringSharing, SelfAssignmentChangesNothing)
{
    DString a(L"same");
    DString& alias = a;
    a = alias;
    EXPECT_EQ(L"same", Text(a));
    DString b(a);
    a = b;                                   // the same block through another holder
    EXPECT_EQ(L"same", Text(a));
    b.Release();
    EXPECT_EQ(L"same", Text(a));             // still counted for a
    a.CopyFrom(a);
    EXPECT_EQ(L"same", Text(a));
}

TEST(DStringSharing, AssignmentReleasesTheOldBlock)
{
    DString a(L"first");
    DString keep(a);
    DString b(L"second");
    a = b;
    EXPECT_EQ(L"second", Text(a));
    EXPECT_EQ(L"first", Text(keep));
    DString nullString;
    a = nullString;
    EXPECT_EQ(nullptr, a.c_str());
    EXPECT_EQ(0, a.Length());
    EXPECT_EQ(L"second", Text(b));
}

TEST(DStringSharing, AssigningANullPointerMakesTheStringNull)
{
    DString a(L"text");
    a = (const wchar_t*)nullptr;
    EXPECT_EQ(nullptr, a.c_str());
    EXPECT_EQ(0, a.Length());
    EXPECT_EQ(0, a.BufferSize());
    a = L"again";
    EXPECT_EQ(L"again", Text(a));
}

TEST(DStringSharing, CopyFromEmptiesTheSharedBlockInPlace)
{
    DString a(L"original");
    DString holder(a);
    DString other(L"new");
    const wchar_t* buffer = a.c_str();
    a.CopyFrom(other);
    EXPECT_EQ(buffer, a.c_str());            // storage kept
    EXPECT_EQ(L"new", Text(holder));
    EXPECT_NE(other.c_str(), a.c_str());
}

TEST(DStringSharing, AppendingItsOwnTextWhileGrowing)
{
    DString a(L"0123456789");
    a.Append(a);                             // grows: the source buffer is given back
    EXPECT_EQ(L"01234567890123456789", Text(a));
    a.AppendSz(a.c_str() + 15);
    EXPECT_EQ(L"0123456789012345678956789", Text(a));
    a.AssignN(a.c_str() + 20, 3);
    EXPECT_EQ(L"567", Text(a));
    const wchar_t* list[] = {a.c_str(), L"-", a.c_str()};
    a.AppendList(list, 3);
    EXPECT_EQ(L"567567-567", Text(a));
}

// --- assignment and appending --------------------------------------------------------

TEST(DStringAppend, AssignAppendAndList)
{
    DString s;
    s.Assign(L"abc");
    s.AppendSzIfSet(nullptr);
    s.AppendSzIfSet(L"d");
    s.AppendSz(nullptr);
    s.AppendChar(L'e');
    EXPECT_EQ(L"abcde", Text(s));
    s.AssignN(L"xyzzy", 2);
    EXPECT_EQ(L"xy", Text(s));
    const wchar_t* parts[] = {L"SELECT ", nullptr, L"Txt FROM DiagHelp", L";"};
    s.AppendList(parts, 4);
    EXPECT_EQ(L"xySELECT Txt FROM DiagHelp;", Text(s));
    EXPECT_EQ(31, Capacity(s));              // one growth for the whole list
}

TEST(DStringAppend, LengthAndCharacterAccess)
{
    DString s(L"abcdef");
    EXPECT_EQ(L'a', s.At(0));
    EXPECT_EQ(0, s.At(6));
    EXPECT_EQ(0, s.At(-1));
    EXPECT_FALSE(s.SetAt(6, L'x'));
    s.SetLength(3);
    EXPECT_EQ(L"abc", Text(s));
    s.SetLength(16);                         // beyond the capacity: nothing
    EXPECT_EQ(3, s.Length());
    s.Empty();
    EXPECT_EQ(0, s.Length());
    EXPECT_EQ(15, Capacity(s));

    DString none;
    EXPECT_EQ(0, none.At(0));
    EXPECT_FALSE(none.SetAt(0, L'x'));
    none.SetLength(0);
    none.Empty();
    EXPECT_EQ(nullptr, none.c_str());
}

TEST(DStringAppend, EqualsComparesLengthAndCharacters)
{
    DString a(L"abc"), b(L"abc"), c(L"abd"), d(L"ab");
    DString n1, n2;
    n2.New(4);
    EXPECT_TRUE(a.Equals(b));
    EXPECT_FALSE(a.Equals(c));
    EXPECT_FALSE(a.Equals(d));
    EXPECT_TRUE(n1.Equals(n2));
    EXPECT_FALSE(n1.Equals(a));
}

// --- formatting and system texts -------------------------------------------------------

TEST(DStringFormat, FormatFillsAtMostTheCapacity)
{
    DString s;
    EXPECT_EQ(12, s.Format(L"%s=%05d", L"Answer", 42));
    EXPECT_EQ(L"Answer=00042", Text(s));
    EXPECT_EQ(271, Capacity(s));      // 255 characters by the allocation rule

    DString small(L"x");                     // capacity 15, no growth to fit
    EXPECT_EQ(15, small.Format(L"%s", L"a rather long text"));
    EXPECT_EQ(L"a rather long t", Text(small));
    EXPECT_EQ(0, small.c_str()[15]);

    EXPECT_EQ(0, small.AppendFormat(L"%d", 999));   // no room left
    EXPECT_EQ(15, small.Length());
    small.SetLength(10);
    EXPECT_EQ(5, small.AppendFormat(L"-%u-%s", 7u, L"tail"));
    EXPECT_EQ(L"a rather l-7-ta", Text(small));
    DString none;
    EXPECT_EQ(0, none.AppendFormat(L"%d", 1));
    EXPECT_EQ(nullptr, none.c_str());
}

TEST(DStringFormat, MessageInsertsAndArgumentArrays)
{
    DString s;
    EXPECT_EQ(26, s.FormatMessage(L"Image %1!u! of patient %2", 17u, L"Ivanov"));
    EXPECT_EQ(L"Image 17 of patient Ivanov", Text(s));
    EXPECT_EQ(26, Capacity(s));

    DWORD_PTR args[] = {(DWORD_PTR)L"Patient.cfg", (DWORD_PTR)L"12"};
    EXPECT_EQ(20, s.FormatMessageArgs(L"%1, line %2", args));
    EXPECT_EQ(L"Patient.cfg, line 12", Text(s));
}

TEST(DStringFormat, MessageMayUseTheStringsOwnText)
{
    DString s(L"old");
    s.FormatMessage(L"<%1>", s.c_str());
    EXPECT_EQ(L"<old>", Text(s));
}

TEST(DStringFormat, SystemMessageOfErrorTwo)
{
    DString s(L"previous");
    const int n = s.FormatSystemMessage(ERROR_FILE_NOT_FOUND);
    EXPECT_GT(n, 2);
    EXPECT_EQ(n, s.Length());
    EXPECT_EQ(n, Capacity(s));
    EXPECT_EQ(L'\n', s.At(n - 1));
    s.AppendSz(L"more");                     // grows out of the formatter's buffer
    EXPECT_EQ(n + 4, s.Length());
}

TEST(DStringFormat, FailedSystemMessageLeavesNoBuffer)
{
    DString s(L"previous");
    DString holder(s);
    EXPECT_EQ(0, s.FormatSystemMessage(0x2FFFFFFF));
    EXPECT_EQ(0, s.Length());
    EXPECT_EQ(nullptr, s.c_str());
    EXPECT_EQ(nullptr, holder.c_str());
    s.AppendSz(L"ok");
    EXPECT_EQ(L"ok", Text(holder));
}

TEST(DStringFormat, LoadStringAndMissingId)
{
    wchar_t direct[300];
    const int n = LoadStringW(hInstance, kSetupQuestionId, direct, 300);
    ASSERT_GT(n, 15);

    DString s;
    EXPECT_EQ(n, s.LoadString(hInstance, kSetupQuestionId));
    EXPECT_EQ(std::wstring(direct, n), Text(s));
    EXPECT_EQ(271, Capacity(s));      // 255 characters by the allocation rule

    EXPECT_EQ(n, s.LoadStringN(hInstance, kSetupQuestionId, 5));   // the capacity of 271 stays
    EXPECT_EQ(n, s.Length());

    DString t;
    EXPECT_EQ(15, t.LoadStringN(hInstance, kSetupQuestionId, 5));
    EXPECT_EQ(std::wstring(direct, 15), Text(t));

    EXPECT_EQ(0, s.LoadString(hInstance, kMissingId));
    EXPECT_EQ(0, s.Length());
}

TEST(DStringFormat, GetWindowTextReadsTheWholeTitle)
{
    const std::wstring title(300, L'T');
    HWND window = CreateWindowExW(0, L"STATIC", title.c_str(), 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    DString s(L"old");
    EXPECT_EQ(300, s.GetWindowText(window));
    EXPECT_EQ(title, Text(s));
    SetWindowTextW(window, L"");
    EXPECT_EQ(0, s.GetWindowText(window));
    EXPECT_EQ(0, s.Length());
    DestroyWindow(window);
}

TEST(DStringFormat, DateAndTimePictures)
{
    SYSTEMTIME t = {};
    t.wYear = 2005;
    t.wMonth = 3;
    t.wDay = 7;
    t.wDayOfWeek = 1;
    t.wHour = 14;
    t.wMinute = 5;
    t.wSecond = 9;
    const LCID english = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
    DString s;
    EXPECT_EQ(19, s.FormatDateTime(english, L"dd.MM.yyyy HH:mm:ss", t));
    EXPECT_EQ(L"07.03.2005 14:05:09", Text(s));
    // "March" holds an h and "Monday" an M: neither is read again as a picture.
    s.FormatDateTime(english, L"dddd, MMMM d 'at' h tt", t);
    EXPECT_EQ(L"Monday, March 7 at 2 PM", Text(s));

    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &ft));
    EXPECT_EQ(10, s.FormatFileTime(english, L"yyyy-MM-dd", ft));
    EXPECT_EQ(L"2005-03-07", Text(s));

    SYSTEMTIME bad = t;
    bad.wMonth = 13;
    EXPECT_EQ(-1, s.FormatDateTime(english, L"dd.MM.yyyy", bad));
}

// --- BSTR ------------------------------------------------------------------------------

TEST(DStringBstr, AttachAdoptsTheBstr)
{
    BSTR bstr = SysAllocString(L"from COM");
    DString s(L"old");
    DString holder(s);
    s.AttachBSTR(bstr);
    EXPECT_EQ(bstr, s.c_str());
    EXPECT_EQ(8, s.Length());
    EXPECT_EQ(8, Capacity(s));
    EXPECT_EQ(L"from COM", Text(holder));
    s.AppendSz(L" and more");                // grows; the BSTR is given back
    EXPECT_EQ(L"from COM and more", Text(s));

    DString n;
    n.AttachBSTR(nullptr);
    EXPECT_EQ(0, n.Length());
    EXPECT_EQ(nullptr, n.c_str());
    n.AppendSz(L"x");
    EXPECT_EQ(L"x", Text(n));
}

TEST(DStringBstr, AllocSysStringCopiesTheText)
{
    DString s(L"ab");
    s.AppendChar(0);                         // a BSTR carries its length, zeros included
    s.AppendChar(L'c');
    BSTR bstr = s.AllocSysString();
    ASSERT_NE(nullptr, bstr);
    EXPECT_NE(s.c_str(), bstr);
    EXPECT_EQ(4u, SysStringLen(bstr));
    EXPECT_EQ(L'c', bstr[3]);
    SysFreeString(bstr);

    DString none;
    EXPECT_EQ(nullptr, none.AllocSysString());
    none.New(0);
    EXPECT_EQ(nullptr, none.AllocSysString());
}

TEST(DStringBstr, AttachBufferIsNeverFreed)
{
    wchar_t buffer[10] = L"caller";
    {
        DString s;
        s.AttachBuffer(buffer, 10, 6);
        EXPECT_EQ(buffer, s.c_str());
        EXPECT_EQ(9, Capacity(s));
        s.AppendSz(L"'s");
        EXPECT_STREQ(L"caller's", buffer);
        s.AppendSz(L" text");                // grows away from the caller's buffer
        EXPECT_NE(buffer, s.c_str());
        EXPECT_EQ(L"caller's text", Text(s));
    }
    EXPECT_STREQ(L"caller's", buffer);
}

TEST(DStringBstr, GrowingAnAttachedTextWithoutTerminatorEndsItAtItsLength)
{
    wchar_t buffer[8] = {L'a', L'b', L'c', L'x', L'y', L'z', L'w', L'v'};   // no terminator anywhere
    DString s;
    s.AttachBuffer(buffer, 8, 3);
    s.Reserve(100);
    ASSERT_NE(buffer, s.c_str());
    EXPECT_EQ(3, s.Length());
    EXPECT_STREQ(L"abc", s.c_str());
    EXPECT_EQ(L'x', buffer[3]);   // the caller's buffer is left as it was
}

// --- numbers ---------------------------------------------------------------------------

TEST(DStringNumbers, ToUIntWrapAndValidity)
{
    bool ok = true;
    EXPECT_EQ(0u, DString(L"4294967296").ToUInt(&ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(4294967295u, DString(L"4294967295").ToUInt(&ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(0u, DString(L"99999999999999999999").ToUInt(&ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(7u, DString(L"007").ToUInt(&ok));
    EXPECT_TRUE(ok);
    DString(L"").ToUInt(&ok);
    EXPECT_FALSE(ok);
    DString().ToUInt(&ok);
    EXPECT_FALSE(ok);
    DString(L"12a").ToUInt(&ok);
    EXPECT_FALSE(ok);
    DString(L"-1").ToUInt(&ok);
    EXPECT_FALSE(ok);
    DString(L" 1").ToUInt(&ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(0u, DString(L"x").ToUInt());
}

TEST(DStringNumbers, ToIntSignAndRange)
{
    bool ok = false;
    EXPECT_EQ(-42, DString(L"-42").ToInt(&ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(INT_MIN, DString(L"-2147483648").ToInt(&ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(INT_MAX, DString(L"2147483647").ToInt(&ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(0, DString(L"2147483648").ToInt(&ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(0, DString(L"-2147483649").ToInt(&ok));
    EXPECT_FALSE(ok);
    DString(L"-").ToInt(&ok);
    EXPECT_FALSE(ok);
    DString(L"+5").ToInt(&ok);
    EXPECT_FALSE(ok);
    DString(L"--5").ToInt(&ok);
    EXPECT_FALSE(ok);
    DString(L"").ToInt(&ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(0, DString(L"-0").ToInt(&ok));
    EXPECT_TRUE(ok);
}

// --- GUIDs -----------------------------------------------------------------------------

TEST(DStringGuid, RoundTrip)
{
    const GUID guid = {0x0C733A8D, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
    DString s;
    s.FromGuid(guid);
    EXPECT_EQ(L"{0C733A8D-2A1C-11CE-ADE5-00AA0044773D}", Text(s));
    EXPECT_EQ(38, s.Length());
    GUID back = {};
    ASSERT_TRUE(s.ToGuid(back));
    EXPECT_TRUE(GuidEquals(&guid, &back));

    DString lower(L"{0c733a8d-2a1c-11ce-ade5-00aa0044773d}");
    GUID fromLower = {};
    ASSERT_TRUE(lower.ToGuid(fromLower));
    EXPECT_TRUE(GuidEquals(&guid, &fromLower));
}

TEST(DStringGuid, NilGuid)
{
    const GUID nil = {};
    DString s(L"previous text");
    s.FromGuid(nil);
    EXPECT_EQ(L"{00000000-0000-0000-0000-000000000000}", Text(s));
}

TEST(DStringGuid, MalformedTextsAreRefused)
{
    const wchar_t* bad[] = {
        L"",
        L"{0C733A8D-2A1C-11CE-ADE5-00AA0044773}",    // 37 characters
        L"{0C733A8D-2A1C-11CE-ADE5-00AA0044773D",     // no closing brace
        L"(0C733A8D-2A1C-11CE-ADE5-00AA0044773D)",
        L"{0C733A8D-2A1C-11CE-ADE500-AA0044773D}",    // hyphen misplaced
        L"{0C733A8D-2A1C-11CE-ADE5-00AA0044773G}",    // not a hexadecimal digit
        L"{0C733A8D+2A1C-11CE-ADE5-00AA0044773D}",
        L"{0C733A8D-2A1C-11CE-ADE5-00AA0044773D}x",
    };
    const GUID untouched = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    for (const wchar_t* text : bad) {
        GUID g = untouched;
        EXPECT_FALSE(DString(text).ToGuid(g)) << text;
        EXPECT_TRUE(GuidEquals(&g, &untouched));
    }
    GUID g;
    EXPECT_FALSE(DString().ToGuid(g));
}

// --- comparison ------------------------------------------------------------------------

TEST(DStringCompare, EmptyStringsSortLast)
{
    const LCID english = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
    DString empty, blank(L""), a(L"a"), b(L"b");
    EXPECT_EQ(0, empty.Compare(english, 0, L"", -1));
    EXPECT_EQ(0, empty.Compare(english, 0, nullptr, -1));
    EXPECT_EQ(0, blank.Compare(english, 0, L"xyz", 0));
    EXPECT_EQ(1, empty.Compare(english, 0, L"a", -1));
    EXPECT_EQ(1, a.Compare(english, 0, L"", -1));
    EXPECT_EQ(-1, a.Compare(english, 0, L"b", -1));
    EXPECT_EQ(1, b.Compare(english, 0, L"ab", 1));
    EXPECT_EQ(0, DString(L"ABC").Compare(english, NORM_IGNORECASE, L"abc", -1));

    EXPECT_EQ(0, empty.CompareStringSort(blank));
    EXPECT_EQ(1, empty.CompareStringSort(a));
    EXPECT_EQ(-1, a.CompareStringSort(empty));
    EXPECT_EQ(-1, a.CompareStringSort(b));
    EXPECT_EQ(1, b.CompareStringSort(a));
    EXPECT_EQ(0, a.CompareStringSort(DString(L"a")));
}

TEST(DStringCompare, RefusedLocaleStillGivesAnOrder)
{
    DString a(L"abc");
    const int r = a.Compare(0xFFFFFFF0, 0, L"abd", -1);
    EXPECT_EQ(-1, r);
}

// --- text operations --------------------------------------------------------------------

TEST(DStringText, LeftRightMidMakePrivateCopies)
{
    DString s(L"abcdef");
    EXPECT_EQ(L"abc", Text(s.Left(3)));
    EXPECT_EQ(L"abcdef", Text(s.Left(10)));
    EXPECT_EQ(nullptr, s.Left(0).c_str());
    EXPECT_EQ(L"ef", Text(s.Right(2)));
    EXPECT_EQ(L"abcdef", Text(s.Right(99)));
    EXPECT_EQ(L"cde", Text(s.Mid(2, 3)));
    EXPECT_EQ(L"ef", Text(s.Mid(4, 10)));
    EXPECT_EQ(0, s.Mid(6, 1).Length());
    EXPECT_EQ(0, DString().Mid(0, 3).Length());
    DString part = s.Left(2);
    part.AppendChar(L'!');
    EXPECT_EQ(L"abcdef", Text(s));
}

TEST(DStringText, DeleteLeftRightAndRange)
{
    DString s(L"abcdef");
    s.DeleteLeft(2);
    EXPECT_EQ(L"cdef", Text(s));
    s.DeleteLeft(0);
    s.DeleteLeft(-3);
    EXPECT_EQ(L"cdef", Text(s));
    s.DeleteRight(1);
    EXPECT_EQ(L"cde", Text(s));
    s.DeleteRight(3);
    EXPECT_EQ(0, s.Length());

    DString r(L"abcdef");
    r.DeleteRange(1, 2);
    EXPECT_EQ(L"adef", Text(r));
    r.DeleteRange(2, 0);
    r.DeleteRange(-1, 2);
    EXPECT_EQ(L"adef", Text(r));
    r.DeleteRange(2, 5);                     // reaches the end: cut at pos
    EXPECT_EQ(L"ad", Text(r));
    r.DeleteRange(2, 1);                     // pos at the length: empties
    EXPECT_EQ(0, r.Length());
    EXPECT_EQ(0, r.c_str()[0]);

    DString none;
    none.DeleteLeft(1);
    none.DeleteRight(1);
    none.DeleteRange(0, 1);
    EXPECT_EQ(nullptr, none.c_str());
}

TEST(DStringText, TrimCharacters)
{
    DString s(L"000123000");
    EXPECT_EQ(2, s.TrimLeftChar(L'0', 2));
    EXPECT_EQ(L"0123000", Text(s));
    EXPECT_EQ(1, s.TrimLeftChar(L'0', -1));
    EXPECT_EQ(0, s.TrimLeftChar(L'1', 0));
    EXPECT_EQ(2, s.TrimRightChar(L'0', 2));
    EXPECT_EQ(L"1230", Text(s));
    EXPECT_EQ(1, s.TrimRightChar(L'0', -1));
    EXPECT_EQ(L"123", Text(s));

    DString all(L"xxx");
    EXPECT_EQ(2, all.TrimRightChar(L'x', -1));   // the first character always stays
    EXPECT_EQ(L"x", Text(all));
    EXPECT_EQ(1, all.TrimLeftChar(L'x', -1));
    EXPECT_EQ(0, all.Length());
    EXPECT_EQ(0, DString().TrimLeftChar(L'x', -1));
}

TEST(DStringText, CaseAndReverse)
{
    DString s(L"Abc\x0414\x0436");
    s.MakeUpper();
    EXPECT_EQ(L"ABC\x0414\x0416", Text(s));
    s.MakeLower();
    EXPECT_EQ(L"abc\x0434\x0436", Text(s));
    s.Reverse();
    EXPECT_EQ(L"\x0436\x0434" L"cba", Text(s));
    DString none;
    none.Reverse();
    none.MakeUpper();
    EXPECT_EQ(nullptr, none.c_str());
}
