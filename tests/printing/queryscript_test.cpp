// The report query-script reader: its scanning functions, the two file
// forms (ANSI with the marker, UTF-16) and its journal records.
#include "print_fixture.h"

#include "printing/queryscript.h"

#include <string>

namespace {

int Match(const std::wstring& text, const wchar_t* keyword)
{
    return MatchKeyword(text.c_str(), static_cast<int>(text.size()), keyword, static_cast<int>(wcslen(keyword)));
}

std::wstring TempFile(const wchar_t* name)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%ls%lu-%ls", folder, GetCurrentProcessId(), name);
    return path;
}

void Write(const std::wstring& path, const void* data, DWORD size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, data, size, &written, nullptr);
    CloseHandle(file);
}

const char kScript[] = "input { 1 }\r\nOUTPUT{ 2 }\npaper {3} pages {+4} query { {nested} -5 }";

}  // namespace

TEST(QueryScriptScan, KeywordsMatchIgnoringCaseBeforeASpaceALineFeedOrABrace)
{
    EXPECT_EQ(0, Match(L"query {", L"query"));
    EXPECT_EQ(0, Match(L"QUERY{", L"query"));
    EXPECT_EQ(0, Match(L"Query\n{", L"query"));
    EXPECT_NE(0, Match(L"QUERYx {", L"query"));
    EXPECT_NE(0, Match(L"query", L"query"));    // nothing after it
    EXPECT_NE(0, Match(L"quer {", L"query"));
    EXPECT_LT(Match(L"apple ", L"query"), 0);
    EXPECT_GT(Match(L"zebra ", L"query"), 0);
}

TEST(QueryScriptScan, BlanksBlocksAndNumbers)
{
    const std::wstring text = L"  \t\n x";
    EXPECT_EQ(5, SkipBlank(text.c_str(), static_cast<int>(text.size())));
    EXPECT_EQ(-1, SkipBlank(L"   ", 3));
    const std::wstring block = L"  { a { b } c } tail";
    EXPECT_EQ(14, FindBlockEnd(block.c_str(), static_cast<int>(block.size())));
    EXPECT_EQ(-1, FindBlockEnd(L"x { }", 5));
    EXPECT_EQ(-1, FindBlockEnd(L"{ { }", 5));
    int position = 0;
    bool found = false;
    const std::wstring numbers = L" -42 +7 x";
    EXPECT_EQ(-42, ParseInt(numbers.c_str(), static_cast<int>(numbers.size()), &position, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ(7, ParseInt(numbers.c_str(), static_cast<int>(numbers.size()), &position, &found));
    EXPECT_TRUE(found);
    ParseInt(numbers.c_str(), static_cast<int>(numbers.size()), &position, &found);
    EXPECT_FALSE(found);
    int value = 0;
    EXPECT_TRUE(ParseBlockInt(&value, L" { 15000 }", 10));
    EXPECT_EQ(15000, value);
    EXPECT_FALSE(ParseBlockInt(&value, L" 15000", 6));
}

TEST(QueryScriptFile, AnsiWithMarkerReadsAsItsUtf16Form)
{
    const std::wstring ansi = TempFile(L"ansi.qry"), wide = TempFile(L"wide.qry");
    std::string marked = std::string("A") + kScript;
    Write(ansi, marked.data(), static_cast<DWORD>(marked.size()));
    std::wstring text;
    for (const char* c = kScript; *c; ++c)
        text += static_cast<wchar_t>(*c);
    Write(wide, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)));

    ASSERT_TRUE(RunQueryFile(ansi.c_str()));
    const int ansiKeywords = LastQueryKeywordCount();
    ASSERT_TRUE(RunQueryFile(wide.c_str()));
    EXPECT_EQ(ansiKeywords, LastQueryKeywordCount());
    EXPECT_EQ(1, ansiKeywords);   // "input": the scanner does not step over its block
    DeleteFileW(ansi.c_str());
    DeleteFileW(wide.c_str());
}

TEST(QueryScriptFile, KeywordsInARowAreSteppedOver)
{
    const std::wstring text = L"input output\npaper pages QUERY{";
    EXPECT_TRUE(RunQueryText(text.c_str(), static_cast<int>(text.size())));
    EXPECT_EQ(5, LastQueryKeywordCount());
    // A keyword must be followed by a space, a line feed or a brace: a
    // carriage return ends the scan.
    const std::wstring crlf = L"input output\r\npaper";
    EXPECT_TRUE(RunQueryText(crlf.c_str(), static_cast<int>(crlf.size())));
    EXPECT_EQ(1, LastQueryKeywordCount());
    const std::wstring stop = L"inputs output";
    EXPECT_TRUE(RunQueryText(stop.c_str(), static_cast<int>(stop.size())));
    EXPECT_EQ(0, LastQueryKeywordCount());
}

TEST(QueryScriptFile, EmptyFileRunsNothingAndMissingFileFails)
{
    const std::wstring empty = TempFile(L"empty.qry");
    Write(empty, "", 0);
    EXPECT_TRUE(RunQueryFile(empty.c_str()));
    DeleteFileW(empty.c_str());
    EXPECT_FALSE(RunQueryFile(TempFile(L"missing.qry").c_str()));
}
