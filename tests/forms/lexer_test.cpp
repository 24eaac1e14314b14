// The description lexer: blanks and comments, strings, identifiers, numbers,
// keyword lookup, and the journal records of the faults it throws.
#include "desc_test_util.h"
#include "forms/dbformdesc.h"
#include "forms/desclexer.h"
#include "forms/formdesc.h"

#include <string>

namespace {

const DescKeyword kWords[] = {
    DESC_KEYWORD(L"datetime", 1),
    DESC_KEYWORD(L"date", 2),
    DESC_KEYWORD(L"form", 3),
    DESC_KEYWORD(L"форма", 4),
};

std::wstring Read(const std::wstring& text, int capacity, int* stored = nullptr)
{
    TextCursor c(text);
    DescLexer lex(c.scan);
    wchar_t buffer[64];
    const int n = lex.ReadString(buffer, capacity);
    if (stored)
        *stored = n;
    return std::wstring(buffer, n);
}

}  // namespace

// ---- Blanks and comments ----

TEST(DescLexerBlanks, NestedBlockCommentEndsAtTheOuterClose)
{
    TextCursor c(L"/* a /* b */ still comment */ form");
    DescLexer lex(c.scan);
    lex.SkipBlanks();
    EXPECT_EQ(L'f', lex.Peek());
    EXPECT_EQ(4, lex.Ident());
}

TEST(DescLexerBlanks, UnclosedBlockCommentThrowsWhereItBegan)
{
    TextCursor c(L"\n  /* open /* inner */\n more");
    DescLexer lex(c.scan);
    try {
        lex.SkipBlanks();
        FAIL() << "no throw";
    } catch (const CommentExcept& e) {
        EXPECT_EQ(1u, e.line);
        EXPECT_EQ(5u, e.position);   // just after the first "/*"
    }
}

TEST(DescLexerBlanks, SlashOrStarAtTheEndDoesNotCloseAComment)
{
    for (const wchar_t* text : {L"/* x *", L"/* x /", L"/* x"}) {
        TextCursor c(text);
        DescLexer lex(c.scan);
        EXPECT_THROW(lex.SkipBlanks(), CommentExcept) << testing::PrintToString(std::wstring(text));
    }
}

TEST(DescLexerBlanks, LineCommentAndLoneSlash)
{
    TextCursor c(L"// note\n  / x");
    DescLexer lex(c.scan);
    lex.SkipBlanks();
    EXPECT_EQ(L'/', lex.Peek());
    EXPECT_EQ(1, c.scan.line);
    TextCursor last(L"  /");
    DescLexer lex2(last.scan);
    lex2.SkipBlanks();
    EXPECT_EQ(L'/', lex2.Peek());
}

TEST(DescLexerBlanks, SkipBlanksThrowsAtTheEndSkipBlanksAtReturnsZero)
{
    TextCursor c(L" \t\r\n // c\n /* d */ ");
    DescLexer lex(c.scan);
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { lex.SkipBlanks(); }));
    TextCursor d(L" \t\r\n // c\n /* d */ ");
    DescLexer lex2(d.scan);
    EXPECT_EQ(0, lex2.SkipBlanksAt());
    EXPECT_EQ(2, d.scan.line);
    TextCursor e(L"  x");
    DescLexer lex3(e.scan);
    EXPECT_EQ(1, lex3.SkipBlanksAt());
    EXPECT_EQ(L'x', lex3.Peek());
}

TEST(DescLexerBlanks, VerticalTabAndFormFeedAreNotBlanks)
{
    TextCursor c(L" \v");
    DescLexer lex(c.scan);
    lex.SkipBlanks();
    EXPECT_EQ(L'\v', lex.Peek());
}

TEST(DescLexerBlanks, ColumnDependsOnWhichOperationPassedTheLineFeed)
{
    TextCursor a(L"\nx");
    DescLexer la(a.scan);
    la.SkipBlanks();
    EXPECT_EQ(1, la.Line());
    EXPECT_EQ(1, la.Column());
    TextCursor b(L"\nx");
    DescLexer lb(b.scan);
    lb.SkipBlanksAt();
    EXPECT_EQ(1, lb.Line());
    EXPECT_EQ(0, lb.Column());
    TextCursor c(L"// c\nx");
    DescLexer lc(c.scan);
    lc.SkipBlanks();
    EXPECT_EQ(0, lc.Column());
}

TEST(DescLexerMoves, AdvanceMayReachTheEndNextCharMayNot)
{
    TextCursor c(L"ab");
    DescLexer lex(c.scan);
    lex.Advance();
    lex.Advance();
    EXPECT_TRUE(lex.AtEnd());
    EXPECT_EQ(0, lex.Peek());
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { lex.Advance(); }));
    TextCursor d(L"a");
    DescLexer lex2(d.scan);
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { lex2.NextChar(); }));
    TextCursor e(L"a  b");
    DescLexer lex3(e.scan);
    lex3.NextChar();
    EXPECT_EQ(L'b', lex3.Peek());
    EXPECT_EQ(1, lex3.Remaining());
}

// ---- Strings ----

TEST(DescLexerStrings, EscapesStoreQuoteBackslashAndLineFeed)
{
    EXPECT_EQ(std::wstring(L"a\"b\\c\nd"), Read(L"\"a\\\"b\\\\c\\nd\"", 64));
}

TEST(DescLexerStrings, AnyOtherEscapeIsEndOfText)
{
    TextCursor c(L"\"a\\tb\"");
    DescLexer lex(c.scan);
    wchar_t buffer[8];
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { lex.ReadString(buffer, 8); }));
}

TEST(DescLexerStrings, BrokenOverLinesDropsTheBreakAndCountsTheLine)
{
    TextCursor c(L"\"ab\r\ncd\" x");
    DescLexer lex(c.scan);
    wchar_t buffer[8];
    const int n = lex.ReadString(buffer, 8);
    EXPECT_EQ(std::wstring(L"abcd"), std::wstring(buffer, n));
    EXPECT_EQ(1, c.scan.line);
    EXPECT_EQ(L' ', lex.Peek());
}

TEST(DescLexerStrings, CapacityExactlyFitsOneMoreIsEndOfText)
{
    int stored = 0;
    EXPECT_EQ(std::wstring(L"abcd"), Read(L"\"abcd\"", 4, &stored));
    EXPECT_EQ(4, stored);
    EXPECT_EQ(kDescEndOfText, ThrownCode([] { Read(L"\"abcde\"", 4); }));
}

TEST(DescLexerStrings, UnclosedOrNotAStringIsEndOfText)
{
    EXPECT_EQ(kDescEndOfText, ThrownCode([] { Read(L"\"abc", 64); }));
    EXPECT_EQ(kDescEndOfText, ThrownCode([] { Read(L"abc", 64); }));
    EXPECT_EQ(kDescEndOfText, ThrownCode([] { Read(L"\"abc\\", 64); }));
    EXPECT_EQ(kDescEndOfText, ThrownCode([] { Read(L"", 64); }));
}

TEST(DescLexerStrings, StringLengthCountsWithoutMoving)
{
    TextCursor c(L"\"a\\nb\r\nc\"");
    DescLexer lex(c.scan);
    EXPECT_EQ(4, lex.StringLength());
    EXPECT_EQ(0, c.scan.pos);
    EXPECT_EQ(0, c.scan.line);
}

TEST(DescLexerStrings, AssignedStringNeedsAnEqualsSign)
{
    TextCursor c(L"  =\n \"v\"");
    DescLexer lex(c.scan);
    wchar_t buffer[4];
    EXPECT_EQ(1, lex.ReadAssignedString(buffer, 4));
    EXPECT_EQ(L'v', buffer[0]);
    TextCursor d(L"  : \"v\"");
    DescLexer lex2(d.scan);
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { lex2.ReadAssignedString(buffer, 4); }));
}

// ---- Identifiers and numbers ----

TEST(DescLexerIdents, LettersDigitsUnderscoreAndCyrillic)
{
    TextCursor c(L"показ_sql2 = 1");
    DescLexer lex(c.scan);
    EXPECT_EQ(10, lex.IdentLength());
    EXPECT_EQ(0, c.scan.pos);
    TextCursor d(L"=x");
    DescLexer lex2(d.scan);
    EXPECT_EQ(0, lex2.IdentLength());
    EXPECT_EQ(kDescMissing, ThrownCode([&] { lex2.Ident(); }));
}

TEST(DescLexerIdents, AnIdentifierMayEndTheTextNothingAtTheEndIsEndOfText)
{
    TextCursor c(L"nosave");
    DescLexer lex(c.scan);
    EXPECT_EQ(6, lex.Ident());
    c.scan.pos = 6;
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { lex.IdentLength(); }));
}

TEST(DescLexerNumbers, AssignedNumbersWithAndWithoutBlanks)
{
    TextCursor a(L"=42,");
    DescLexer la(a.scan);
    EXPECT_EQ(42u, la.ReadAssignedUInt());
    EXPECT_EQ(L',', la.Peek());
    TextCursor b(L"= \n 42");
    DescLexer lb(b.scan);
    EXPECT_EQ(42, lb.ReadAssignedInt());
    TextCursor c(L" =42");
    DescLexer lc(c.scan);
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { lc.ReadAssignedInt(); }));
}

TEST(DescLexerNumbers, SignsDirectlyBeforeTheDigits)
{
    TextCursor a(L"-1000");
    EXPECT_EQ(-1000, DescLexer(a.scan).ReadInt());
    TextCursor b(L"+7");
    EXPECT_EQ(7, DescLexer(b.scan).ReadInt());
    TextCursor c(L"- 5");
    DescLexer lc(c.scan);
    EXPECT_EQ(kDescMissing, ThrownCode([&] { lc.ReadInt(); }));
    TextCursor d(L"x");
    DescLexer ld(d.scan);
    EXPECT_EQ(kDescMissing, ThrownCode([&] { ld.ReadUInt(); }));
    TextCursor e(L"");
    DescLexer le(e.scan);
    EXPECT_EQ(kDescEndOfText, ThrownCode([&] { le.ReadInt(); }));
}

TEST(DescLexerNumbers, OverflowIsASyntaxErrorNotAWrappedValue)
{
    TextCursor a(L"4294967295");
    EXPECT_EQ(4294967295u, DescLexer(a.scan).ReadUInt());
    TextCursor b(L"4294967296");
    DescLexer lb(b.scan);
    EXPECT_EQ(kDescSyntax, ThrownCode([&] { lb.ReadUInt(); }));
    TextCursor c(L"99999999999999999999");
    DescLexer lc(c.scan);
    EXPECT_EQ(kDescSyntax, ThrownCode([&] { lc.ReadUInt(); }));
    TextCursor d(L"2147483647");
    EXPECT_EQ(2147483647, DescLexer(d.scan).ReadInt());
    TextCursor e(L"-2147483648");
    EXPECT_EQ(-2147483647 - 1, DescLexer(e.scan).ReadInt());
    TextCursor f(L"2147483648");
    DescLexer lf(f.scan);
    EXPECT_EQ(kDescSyntax, ThrownCode([&] { lf.ReadInt(); }));
    TextCursor g(L"-2147483649");
    DescLexer lg(g.scan);
    EXPECT_EQ(kDescSyntax, ThrownCode([&] { lg.ReadInt(); }));
}

// ---- Keywords ----

TEST(DescKeywords, CaseAndPrefixes)
{
    EXPECT_EQ(0, KeywordEquals(L"FORM", 4, L"form", 4));
    EXPECT_EQ(0, KeywordEquals(L"FoRm", 4, L"form", 4));
    EXPECT_EQ(0, KeywordEquals(L"formula", 7, L"form", 4));
    EXPECT_EQ(-1, KeywordEquals(L"fo", 2, L"form", 4));
    EXPECT_EQ(-1, KeywordEquals(L"fa", 2, L"form", 4));
    EXPECT_EQ(1, KeywordEquals(L"fz", 2, L"form", 4));
    EXPECT_EQ(3, FindKeyword(L"Formula", 7, kWords, 4));
    EXPECT_EQ(-1, FindKeyword(L"fo", 2, kWords, 4));
}

TEST(DescKeywords, TableOrderDecidesBetweenPrefixes)
{
    EXPECT_EQ(1, FindKeyword(L"datetime", 8, kWords, 4));
    EXPECT_EQ(2, FindKeyword(L"date", 4, kWords, 4));
    EXPECT_EQ(2, FindKeyword(L"dates", 5, kWords, 4));
    EXPECT_EQ(-1, FindKeyword(L"form", 4, kWords, 2));   // the count limits the search
}

TEST(DescKeywords, CyrillicInAnyCase)
{
    EXPECT_EQ(4, FindKeyword(L"ФОРМА", 5, kWords, 4));
    EXPECT_EQ(4, FindKeyword(L"Форма", 5, kWords, 4));
    EXPECT_EQ(-1, FindKeyword(L"фор", 3, kWords, 4));
}

TEST(DescKeywords, ByTextNeedsAWordEnd)
{
    TextCursor a(L"date,");
    EXPECT_EQ(1, DescLexer(a.scan).MatchText(kWords, 4));
    TextCursor b(L"datex");
    EXPECT_EQ(-1, DescLexer(b.scan).MatchText(kWords, 4));
    TextCursor c(L"date_x");   // "_" does not prevent the match
    EXPECT_EQ(1, DescLexer(c.scan).MatchText(kWords, 4));
    TextCursor d(L"date");     // the word may end the text
    EXPECT_EQ(1, DescLexer(d.scan).MatchText(kWords, 4));
}

// ---- Fault records ----

class DescFaultRecords : public DescTest {
protected:
    // Parses a database form description and returns its journal record.
    JournalLine ParseBad(const std::wstring& text)
    {
        WriteCfg(L"bad.cfg", text);
        DbFormDesc desc;
        EXPECT_EQ(0, desc.Parse(L"bad.cfg"));
        return OnlyRecord();
    }
};

TEST_F(DescFaultRecords, SyntaxErrorOnTheFirstLineIsLineZero)
{
    const JournalLine r = ParseBad(L"table = \"t\" bogus = 1");
    EXPECT_EQ(2u, r.code);
    EXPECT_EQ(L"Form \"bad.cfg\" syntax error (0, 18)", r.text);
}

TEST_F(DescFaultRecords, SyntaxErrorLineAndColumnAfterLineFeeds)
{
    // The line feed before "bogus" is passed by SkipBlanksAt (column from 0);
    // the blanks after the word are skipped before the fault.
    const JournalLine r = ParseBad(L"table = \"t\"\nkey = \"k\"\n  bogus  x");
    EXPECT_EQ(L"Form \"bad.cfg\" syntax error (2, 9)", r.text);
}

TEST_F(DescFaultRecords, UnclosedCommentNamesItsStart)
{
    const JournalLine r = ParseBad(L"table = \"t\"\n/* never closed");
    EXPECT_EQ(1u, r.code);
    EXPECT_EQ(L"Form \"bad.cfg\" compilation error (comment is not being finished) (1, 14)", r.text);
}

TEST_F(DescFaultRecords, EndOfTextInsideAField)
{
    const JournalLine r = ParseBad(L"table = \"t\" key = \"k\" items { {\"A\", \"a\", int32");
    EXPECT_EQ(1u, r.code);
    EXPECT_EQ(L"Form \"bad.cfg\" compilation error (end of file)", r.text);
}

TEST_F(DescFaultRecords, NotImplementedAndUnknownCodes)
{
    JournalLine r = ParseBad(L"table = \"t\" key = \"k\" strings { }");
    EXPECT_EQ(4u, r.code);
    EXPECT_EQ(L"Form \"bad.cfg\" compilation error (unrealized function)", r.text);
}

TEST_F(DescFaultRecords, NegativeCodesAreUnknownExceptions)
{
    const JournalLine r = ParseBad(L"key = \"k\"");   // no table: -1
    EXPECT_EQ(static_cast<DWORD>(-1), r.code);
    EXPECT_EQ(L"Form \"bad.cfg\" compilation error (unknown exception)", r.text);
}

TEST_F(DescFaultRecords, OutOfMemoryFromSeventeenReferences)
{
    std::wstring text;
    for (int i = 0; i < 17; ++i)
        text += L"reference { name = \"r\" }\n";
    WriteCfg(L"refs.cfg", text);
    FormDesc desc;
    EXPECT_EQ(0, desc.Parse(L"refs.cfg"));
    const JournalLine r = OnlyRecord();
    EXPECT_EQ(3u, r.code);
    EXPECT_EQ(L"Form \"refs.cfg\" compilation error (out of memory)", r.text);
    std::wstring sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen += L"ссылка { имя = \"r\" элементы { {\"A\", \"a\", int32} } }\n";
    WriteCfg(L"refs16.cfg", sixteen);
    FormDesc ok;
    EXPECT_EQ(1, ok.Parse(L"refs16.cfg"));
    EXPECT_EQ(16, ok.RefCount());
}

TEST_F(DescFaultRecords, AnUnknownExceptionTypeIsRecordedWithCodeZero)
{
    TextCursor c(L"");
    EXPECT_EQ(0, RunDescParse(L"x.cfg", c.scan, [] { throw 2.5; }));
    const JournalLine r = OnlyRecord();
    EXPECT_EQ(0u, r.code);
    EXPECT_EQ(L"Form \"x.cfg\" compilation error (unknown exception)", r.text);
}

TEST_F(DescFaultRecords, CodeZeroAddsNoRecord)
{
    TextCursor c(L"");
    EXPECT_EQ(0, RunDescParse(L"x.cfg", c.scan, [] { throw 0; }));
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(1, RunDescParse(L"x.cfg", c.scan, [] {}));
}
