#include "foundation/strbuf.h"

#include "foundation/globals.h"

#include <gtest/gtest.h>

#include <string>
#include <wchar.h>

namespace {

// A caller's array with guard characters on both sides, so that a test sees
// any write outside the capacity it gave the buffer.
template <int N>
struct GuardedArray
{
    static constexpr wchar_t kGuard = 0xBEEF;
    wchar_t cells[N + 2];
    GuardedArray()
    {
        for (int i = 0; i < N + 2; ++i)
            cells[i] = kGuard;
    }
    wchar_t* array() { return cells + 1; }
    bool GuardsIntact() const { return cells[0] == kGuard && cells[N + 1] == kGuard; }
};

bool IsCommittedPagesBase(const void* p)
{
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(p, &info, sizeof(info)) == sizeof(info) && info.AllocationBase == p &&
           info.State == MEM_COMMIT && info.Type == MEM_PRIVATE;
}

// A string-table id that no text uses.
const UINT kMissingId = 65531;
// "Do you wish to set up the program?"
const UINT kSetupQuestionId = 159;

std::wstring LoadDirect(UINT id)
{
    wchar_t text[512];
    const int n = LoadStringW(hInstance, id, text, 512);
    return std::wstring(text, n > 0 ? n : 0);
}

} // namespace

// --- storage ---------------------------------------------------------------

TEST(StrBufStorage, EmptyBufferIgnoresEveryWrite)
{
    DStrBuf buf;
    EXPECT_EQ(nullptr, buf.c_str());
    EXPECT_EQ(0, buf.Capacity());
    buf.Clear();
    buf.Append(L"abc");
    EXPECT_EQ(0, buf.Copy(L"abc"));
    EXPECT_EQ(0, buf.Assign(L"abc", 3));
    EXPECT_EQ(0, buf.AppendN(L"abc", 3));
    EXPECT_EQ(0, buf.AppendFormat(L"%d", 5));
    EXPECT_EQ(0, buf.Format(L"%1!u!", 5u));
    EXPECT_FALSE(buf.LoadString(hInstance, kSetupQuestionId));
    EXPECT_FALSE(buf.AppendLoadString(hInstance, kSetupQuestionId));
    EXPECT_EQ(0, buf.Length());
    EXPECT_EQ(nullptr, buf.GetBuffer());
}

TEST(StrBufStorage, HeapBelowFortyKilobytesPagesFromThere)
{
    DStrBuf buf;
    ASSERT_TRUE(buf.Alloc(20478));          // 40,958 bytes
    EXPECT_EQ(20479, buf.Capacity());
    EXPECT_FALSE(IsCommittedPagesBase(buf.c_str()));
    EXPECT_EQ(0, buf.Length());
    EXPECT_EQ(0, buf.c_str()[0]);

    ASSERT_TRUE(buf.Alloc(20479));          // 40,960 bytes: ten whole pages
    EXPECT_EQ(20480, buf.Capacity());
    EXPECT_TRUE(IsCommittedPagesBase(buf.c_str()));
    EXPECT_EQ(0, buf.c_str()[0]);

    // Whole pages are usable: the text may fill them up to the last character.
    std::wstring big(30000, L'x');
    EXPECT_EQ(20479, buf.Copy(big.c_str()));
    EXPECT_EQ(0, buf.c_str()[20479]);
}

TEST(StrBufStorage, PagesCapacityCountsWholePages)
{
    DStrBuf buf(25000);                     // 50,002 bytes: thirteen pages
    EXPECT_EQ(13 * 4096 / 2, buf.Capacity());
}

TEST(StrBufStorage, ImpossibleAllocationLeavesNoStorage)
{
    DStrBuf buf(10);
    EXPECT_FALSE(buf.Alloc(0x7FFFFFF0));
    EXPECT_EQ(0, buf.Capacity());
    EXPECT_EQ(nullptr, buf.c_str());
    EXPECT_FALSE(buf.Alloc(-2));
    DStrBuf huge(0x7FFFFFFF);
    EXPECT_EQ(0, huge.Capacity());
    huge.Append(L"x");
    EXPECT_EQ(0, huge.Length());
}

TEST(StrBufStorage, CallerArrayIsNotTouchedByConstructionOrFree)
{
    GuardedArray<8> a;
    {
        DStrBuf buf(a.array(), 8);
        EXPECT_EQ(0, buf.Length());
        EXPECT_EQ(8, buf.Capacity());
        EXPECT_EQ(GuardedArray<8>::kGuard, a.array()[0]);   // no terminator written
        buf.Free();
        EXPECT_EQ(0, buf.Capacity());
        EXPECT_EQ(0, buf.Length());
        EXPECT_EQ(nullptr, buf.c_str());
    }
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(GuardedArray<8>::kGuard, a.array()[i]);
}

TEST(StrBufStorage, AttachKeepsOrCutsTheLength)
{
    wchar_t text[6] = L"hello";
    DStrBuf buf;
    buf.Attach(text, 6, 5);
    EXPECT_EQ(5, buf.Length());
    buf.Attach(text, 6, -1);
    EXPECT_EQ(5, buf.Length());
    buf.Attach(text, 6, 9);
    EXPECT_EQ(5, buf.Length());
    buf.Attach(text, 6, 6);                 // a full array is kept as it is
    EXPECT_EQ(6, buf.Length());
    EXPECT_EQ(text, buf.c_str());

    // ...and nothing more fits in it: no write at index 6 or beyond.
    buf.Append(L"x");
    EXPECT_EQ(0, buf.AppendN(L"x", 1));
    EXPECT_EQ(0, buf.AppendFormat(L"%d", 1));
    EXPECT_FALSE(buf.AppendLoadString(hInstance, kSetupQuestionId));
    EXPECT_EQ(6, buf.Length());
    EXPECT_STREQ(L"hello", text);
}

TEST(StrBufStorage, AttachFreesOwnStorageFirst)
{
    DStrBuf buf(100);
    buf.Copy(L"own");
    wchar_t text[4] = L"abc";
    buf.Attach(text, 4, 3);
    EXPECT_EQ(text, buf.c_str());
    EXPECT_EQ(3, buf.Length());
    buf.Free();
    EXPECT_STREQ(L"abc", text);
}

TEST(StrBufStorage, CopyConstructorMakesAPrivateCopy)
{
    wchar_t text[20];
    DStrBuf source(text, 20);
    source.Copy(L"private");
    DStrBuf copy(source);
    EXPECT_NE(source.c_str(), copy.c_str());
    EXPECT_STREQ(L"private", copy.c_str());
    EXPECT_EQ(7, copy.Length());
    EXPECT_EQ(20, copy.Capacity());
    source.Copy(L"changed");
    EXPECT_STREQ(L"private", copy.c_str());

    DStrBuf emptySource(30);
    DStrBuf emptyCopy(emptySource);
    EXPECT_EQ(0, emptyCopy.Capacity());
    EXPECT_EQ(nullptr, emptyCopy.c_str());
}

TEST(StrBufStorage, DupAllocatesExactly)
{
    DStrBuf buf;
    ASSERT_TRUE(buf.Dup(L"four"));
    EXPECT_EQ(5, buf.Capacity());
    EXPECT_STREQ(L"four", buf.c_str());
    buf.Append(L"more");
    EXPECT_STREQ(L"four", buf.c_str());
}

// --- cutting at capacity -------------------------------------------------------

TEST(StrBufCutting, AppendKeepsWhatFitsAndNothingMore)
{
    GuardedArray<4> a;
    DStrBuf buf(a.array(), 4);
    buf.Clear();
    buf.Append(L"abcdef");
    EXPECT_EQ(3, buf.Length());
    EXPECT_STREQ(L"abc", buf.c_str());
    buf += L"xyz";
    EXPECT_EQ(3, buf.Length());
    EXPECT_STREQ(L"abc", buf.c_str());
    EXPECT_TRUE(a.GuardsIntact());
}

TEST(StrBufCutting, CopyAndAssignCutAtCapacityMinusOne)
{
    GuardedArray<5> a;
    DStrBuf buf(a.array(), 5);
    EXPECT_EQ(4, buf.Copy(L"123456789"));
    EXPECT_STREQ(L"1234", buf.c_str());
    EXPECT_EQ(2, buf.Copy(L"ab"));
    EXPECT_STREQ(L"ab", buf.c_str());

    EXPECT_EQ(4, buf.Assign(L"zyxwvu", 100));
    EXPECT_STREQ(L"zyxw", buf.c_str());
    EXPECT_TRUE(a.GuardsIntact());
}

TEST(StrBufCutting, AssignCopiesEmbeddedZeros)
{
    wchar_t text[8];
    DStrBuf buf(text, 8);
    EXPECT_EQ(3, buf.Assign(L"a\0b", 3));
    EXPECT_EQ(3, buf.Length());
    EXPECT_EQ(L'b', text[2]);
    EXPECT_EQ(0, text[3]);
}

TEST(StrBufCutting, AppendNReportsTheNewLength)
{
    GuardedArray<6> a;
    DStrBuf buf(a.array(), 6);
    buf.Copy(L"ab");
    EXPECT_EQ(4, buf.AppendN(L"cdXX", 2));
    EXPECT_EQ(5, buf.AppendN(L"efgh", 4));  // only "e" fits
    EXPECT_STREQ(L"abcde", buf.c_str());
    EXPECT_EQ(0, buf.AppendN(L"x", 1));     // nothing fitted
    EXPECT_EQ(5, buf.Length());
    EXPECT_TRUE(a.GuardsIntact());
}

TEST(StrBufCutting, AppendBufAndItsCount)
{
    wchar_t a[8], b[8];
    DStrBuf left(a, 8), right(b, 8);
    left.Copy(L"12345");
    right.Copy(L"abcd");
    EXPECT_EQ(2, left.AppendBufCount(right));
    EXPECT_STREQ(L"12345ab", left.c_str());
    EXPECT_EQ(0, left.AppendBufCount(right));

    DStrBuf empty;
    right.AppendBuf(empty);
    EXPECT_STREQ(L"abcd", right.c_str());
    right.AppendBuf(right);                 // its own text, once
    EXPECT_STREQ(L"abcdabc", right.c_str());
    EXPECT_EQ(7, left.AssignBuf(right));
    EXPECT_STREQ(L"abcdabc", left.c_str());
}

TEST(StrBufCutting, AppendingItsOwnTextCopiesItOnce)
{
    wchar_t text[20];
    DStrBuf buf(text, 20);
    buf.Copy(L"ab");
    buf.Append(buf.c_str());
    EXPECT_STREQ(L"abab", buf.c_str());
    buf.AppendSzCount(buf.c_str() + 3);
    EXPECT_STREQ(L"ababb", buf.c_str());
}

TEST(StrBufCutting, TruncateAndClear)
{
    wchar_t text[10];
    DStrBuf buf(text, 10);
    buf.Copy(L"abcdef");
    EXPECT_EQ(6, buf.Truncate(8));
    EXPECT_EQ(3, buf.Truncate(3));
    EXPECT_STREQ(L"abc", buf.c_str());
    buf.Clear();
    EXPECT_EQ(0, buf.Length());
    EXPECT_EQ(0, text[0]);
}

// --- system texts and formatting ------------------------------------------------

TEST(StrBufSystemText, FormatSystemMessageAdoptsTheSystemText)
{
    DStrBuf buf(50);
    const wchar_t* text = buf.FormatSystemMessage(ERROR_FILE_NOT_FOUND);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(buf.c_str(), text);
    EXPECT_GT(buf.Length(), 2);
    EXPECT_EQ(buf.Length() + 1, buf.Capacity());
    EXPECT_EQ(L'\n', text[buf.Length() - 1]);    // the system's line break stays
    EXPECT_EQ((size_t)buf.Length(), wcslen(text));
    buf.Append(L"x");                       // no room to grow into
    EXPECT_EQ((size_t)buf.Length(), wcslen(text));
}

TEST(StrBufSystemText, CodeWithoutSystemTextLeavesNoStorage)
{
    DStrBuf buf(50);
    EXPECT_EQ(nullptr, buf.FormatSystemMessage(0x2FFFFFFF));
    EXPECT_EQ(0, buf.Capacity());
    EXPECT_EQ(0, buf.Length());
    EXPECT_EQ(nullptr, buf.c_str());
}

TEST(StrBufSystemText, LoadStringOfAMissingIdFails)
{
    wchar_t text[40];
    DStrBuf buf(text, 40);
    buf.Copy(L"old");
    EXPECT_FALSE(buf.LoadString(hInstance, kMissingId));
    EXPECT_EQ(0, buf.Length());
    EXPECT_EQ(0, text[0]);
}

TEST(StrBufSystemText, LoadStringCutsAtCapacity)
{
    const std::wstring expected = LoadDirect(kSetupQuestionId);
    ASSERT_GT(expected.size(), 10u);

    wchar_t whole[200];
    DStrBuf full(whole, 200);
    EXPECT_TRUE(full.LoadString(kSetupQuestionId));
    EXPECT_EQ(expected, full.c_str());
    EXPECT_EQ((int)expected.size(), full.Length());

    GuardedArray<8> a;
    DStrBuf small(a.array(), 8);
    EXPECT_TRUE(small.LoadString(hInstance, kSetupQuestionId));
    EXPECT_EQ(7, small.Length());
    EXPECT_EQ(expected.substr(0, 7), small.c_str());
    EXPECT_TRUE(a.GuardsIntact());
}

TEST(StrBufSystemText, AppendLoadStringUsesTheRemainingSpace)
{
    const std::wstring expected = LoadDirect(kSetupQuestionId);
    GuardedArray<12> a;
    DStrBuf buf(a.array(), 12);
    buf.Copy(L"Q: ");
    EXPECT_TRUE(buf.AppendLoadString(hInstance, kSetupQuestionId));
    EXPECT_EQ(11, buf.Length());
    EXPECT_EQ(L"Q: " + expected.substr(0, 8), buf.c_str());
    EXPECT_FALSE(buf.AppendLoadString(hInstance, kSetupQuestionId));
    EXPECT_TRUE(a.GuardsIntact());

    wchar_t text[40];
    DStrBuf other(text, 40);
    other.Copy(L"abc");
    EXPECT_FALSE(other.AppendLoadString(hInstance, kMissingId));
    EXPECT_STREQ(L"abc", other.c_str());
}

TEST(StrBufFormat, InsertsAreFilledByTheMessageFormatter)
{
    wchar_t text[64];
    DStrBuf buf(text, 64);
    EXPECT_EQ(25, buf.Format(L"Error %1!u! in %2 (%3!d!)", 1234u, L"dbinit", -5));
    EXPECT_STREQ(L"Error 1234 in dbinit (-5)", text);
    // The length is what the formatter produced, not the capacity.
    EXPECT_EQ(25, buf.Length());
}

TEST(StrBufFormat, ResultThatDoesNotFitLeavesAnEmptyTerminatedText)
{
    GuardedArray<8> a;
    DStrBuf buf(a.array(), 8);
    buf.Copy(L"before");
    EXPECT_EQ(0, buf.Format(L"%1 and more text", L"inserted"));
    EXPECT_EQ(0, buf.Length());
    EXPECT_EQ(0, a.array()[0]);
    EXPECT_TRUE(a.GuardsIntact());
}

TEST(StrBufFormat, ExactFitWithTheTerminator)
{
    GuardedArray<8> a;
    DStrBuf buf(a.array(), 8);
    EXPECT_EQ(7, buf.Format(L"%1!u!", 1234567u));
    EXPECT_STREQ(L"1234567", a.array());
    EXPECT_TRUE(a.GuardsIntact());
}

TEST(StrBufFormat, FormatAllocAdoptsTheFormattersBuffer)
{
    DStrBuf buf(4);
    EXPECT_EQ(18, buf.FormatAlloc(L"%1 is %2!u! long", L"text", 12345u));
    EXPECT_STREQ(L"text is 12345 long", buf.c_str());
    EXPECT_EQ(buf.Length() + 1, buf.Capacity());
}

TEST(StrBufFormat, AppendFormatReadsPercentSAsWide)
{
    wchar_t text[64];
    DStrBuf buf(text, 64);
    buf.Copy(L"Path: ");
    EXPECT_EQ(15, buf.AppendFormat(L"%s\\%05d.xmg", L"Image", 42));
    EXPECT_STREQ(L"Path: Image\\00042.xmg", text);
    EXPECT_EQ(21, buf.Length());
}

TEST(StrBufFormat, AppendFormatCutsAndStaysTerminated)
{
    GuardedArray<10> a;
    DStrBuf buf(a.array(), 10);
    buf.Copy(L"abc");
    EXPECT_EQ(6, buf.AppendFormat(L"%s-%u", L"longer text", 77u));
    EXPECT_EQ(9, buf.Length());
    EXPECT_STREQ(L"abclonger", a.array());
    EXPECT_TRUE(a.GuardsIntact());
    EXPECT_EQ(0, buf.AppendFormat(L"%d", 1));
    EXPECT_EQ(9, buf.Length());

    // Exactly the room left: the formatter writes no terminator, we do.
    GuardedArray<6> b;
    DStrBuf exact(b.array(), 6);
    exact.Copy(L"ab");
    EXPECT_EQ(3, exact.AppendFormat(L"%d", 123));
    EXPECT_STREQ(L"ab123", b.array());
    EXPECT_TRUE(b.GuardsIntact());
}
