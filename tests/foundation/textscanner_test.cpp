#include "foundation/textscanner.h"

#include "common/prompt_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Scans and describes every token as "kind:text", e.g. "name:a", "op:<=".
std::vector<std::wstring> Tokens(TextScanner& scanner)
{
    std::vector<std::wstring> out;
    for (int i = 0; i < scanner.TokenCount(); ++i) {
        ScanToken token = scanner.Token(i);
        switch (token.kind) {
        case kScanNumber:
            out.push_back(L"num:" + std::to_wstring(scanner.Number(token.index)));
            break;
        case kScanName: {
            ScanSpan span = scanner.Name(token.index);
            out.push_back(L"name:" + std::wstring(span.text, span.length));
            break;
        }
        case kScanString:
            out.push_back(L"str:" + std::wstring(scanner.String(token.index).c_str()));
            break;
        case kScanPunct:
            out.push_back(L"punct:" + std::wstring(1, scanner.Punct(token.index)));
            break;
        case kScanOperator: {
            ScanSpan span = scanner.Operator(token.index);
            out.push_back(L"op:" + std::wstring(span.text, span.length));
            break;
        }
        default:
            out.push_back(L"?");
        }
    }
    return out;
}

// The scanned text must outlive the tokens: each scan keeps its text here.
std::wstring gScanned;

bool Scan(TextScanner& scanner, const std::wstring& text)
{
    gScanned = text;
    return scanner.Scan(gScanned.c_str(), (int)gScanned.size());
}

typedef std::vector<std::wstring> List;

} // namespace

TEST(TextScanner, NamesAndTwoCharacterOperators)
{
    TextScanner scanner;
    const wchar_t* text = L"a<=b";
    ASSERT_TRUE(scanner.Scan(text, 4));
    EXPECT_EQ((List{L"name:a", L"op:<=", L"name:b"}), Tokens(scanner));
    // Names and operators point into the scanned text.
    EXPECT_EQ(text + 1, scanner.Operator(0).text);
    EXPECT_EQ(text + 3, scanner.Name(1).text);
}

TEST(TextScanner, OperatorsPunctuationAndNumbers)
{
    TextScanner scanner;
    ASSERT_TRUE(Scan(scanner, L"x++ && y||z; a=-1, {f(2)}"));
    EXPECT_EQ((List{L"name:x", L"op:++", L"op:&&", L"name:y", L"op:||", L"name:z", L"punct:;", L"name:a", L"op:=-",
                    L"num:1", L"punct:,", L"punct:{", L"name:f", L"op:(", L"num:2", L"op:)", L"punct:}"}),
              Tokens(scanner));

    ASSERT_TRUE(Scan(scanner, L"!%&()*+-./:<=>?[\\]^|~@"));
    EXPECT_GT(scanner.TokenCount(), 10);
    ASSERT_TRUE(Scan(scanner, L"@ \\ ~"));
    EXPECT_EQ((List{L"op:@", L"op:\\", L"op:~"}), Tokens(scanner));
}

TEST(TextScanner, NumbersAndNamesWithDigits)
{
    TextScanner scanner;
    ASSERT_TRUE(Scan(scanner, L"12 007 4294967297 x1y2 1x"));
    EXPECT_EQ((List{L"num:12", L"num:7", L"num:1", L"name:x1y2", L"num:1", L"name:x"}), Tokens(scanner));
    // Letters of any script make names.
    ASSERT_TRUE(Scan(scanner, L"Имя2 ключ"));
    EXPECT_EQ((List{L"name:Имя2", L"name:ключ"}), Tokens(scanner));
}

TEST(TextScanner, AdjacentStringsJoinAcrossLineBreaks)
{
    TextScanner scanner;
    ASSERT_TRUE(Scan(scanner, L"\"ab\"\r\n\"cd\""));
    EXPECT_EQ((List{L"str:abcd"}), Tokens(scanner));
    EXPECT_EQ(1, scanner.Line());

    ASSERT_TRUE(Scan(scanner, L"\"a b\" \t \"c\" , \"d\""));
    EXPECT_EQ((List{L"str:a bc", L"punct:,", L"str:d"}), Tokens(scanner));
    EXPECT_EQ(0, scanner.Line());

    // An empty string makes no token, but joins.
    ASSERT_TRUE(Scan(scanner, L"\"\" x \"\" \"y\""));
    EXPECT_EQ((List{L"name:x", L"str:y"}), Tokens(scanner));
}

TEST(TextScanner, CountsEveryKindOfLineEnd)
{
    TextScanner scanner;
    ASSERT_TRUE(Scan(scanner, L"a\nb\r\nc\rd\n\n"));
    EXPECT_EQ(5, scanner.Line());
    EXPECT_EQ(4, scanner.TokenCount());
}

TEST(TextScanner, Comments)
{
    TextScanner scanner;
    ASSERT_TRUE(Scan(scanner, L"a // one, two\r\nb // three\nc"));
    EXPECT_EQ((List{L"name:a", L"name:b", L"name:c"}), Tokens(scanner));
    EXPECT_EQ(2, scanner.Line());

    ASSERT_TRUE(Scan(scanner, L"a /* x\r\n y\n */ b /**/ c"));
    EXPECT_EQ((List{L"name:a", L"name:b", L"name:c"}), Tokens(scanner));
    EXPECT_EQ(2, scanner.Line());

    // A comment may end the text.
    ASSERT_TRUE(Scan(scanner, L"a // last line"));
    EXPECT_EQ((List{L"name:a"}), Tokens(scanner));
    ASSERT_TRUE(Scan(scanner, L"a /* last */"));
    EXPECT_EQ((List{L"name:a"}), Tokens(scanner));

    // A single slash is still an operator.
    ASSERT_TRUE(Scan(scanner, L"a/b /"));
    EXPECT_EQ((List{L"name:a", L"op:/", L"name:b", L"op:/"}), Tokens(scanner));
}

TEST(TextScanner, TextEndingInsideABlockCommentFails)
{
    PromptScript script({IDOK});
    TextScanner scanner;
    EXPECT_FALSE(Scan(scanner, L"a\n/* never closed *"));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Ошибка сканирования строки.\r\nСимвол - /\r\nКод символа - 47\r\nНомер строки - 1", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(nullptr, script.Last().owner);
}

TEST(TextScanner, UnknownCharacterIsNamedInTheMessage)
{
    // FormatMessage writes each line break of the message as CR LF.
    PromptScript script({IDOK, IDOK});
    TextScanner scanner;
    EXPECT_FALSE(Scan(scanner, L"a\r\nb\n  # c"));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Ошибка сканирования строки.\r\nСимвол - #\r\nКод символа - 35\r\nНомер строки - 2", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    // The tokens before it stay.
    EXPECT_EQ((List{L"name:a", L"name:b"}), Tokens(scanner));

    EXPECT_FALSE(Scan(scanner, L"'"));
    ASSERT_EQ(2u, script.Count());
    EXPECT_EQ(L"Ошибка сканирования строки.\r\nСимвол - '\r\nКод символа - 39\r\nНомер строки - 0", script.Last().text);
}

TEST(TextScanner, UnterminatedStringFails)
{
    PromptScript script({IDOK, IDOK});
    TextScanner scanner;
    EXPECT_FALSE(Scan(scanner, L"x \"abc"));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Нет закрывающей кавычки", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(nullptr, script.Last().owner);

    // The second string of a pair is unterminated too.
    EXPECT_FALSE(Scan(scanner, L"\"abc\"\n\"de"));
    EXPECT_EQ(2u, script.Count());
}

TEST(TextScanner, ArraysGrowPastTheirFirstBlock)
{
    std::wstring text;
    for (int i = 0; i < 300; ++i)
        text += std::to_wstring(i) + L" \"s" + std::to_wstring(i) + L"\", ";
    TextScanner scanner;
    ASSERT_TRUE(Scan(scanner, text));
    ASSERT_EQ(900, scanner.TokenCount());
    for (int i = 0; i < 300; ++i) {
        ScanToken number = scanner.Token(3 * i);
        ScanToken string = scanner.Token(3 * i + 1);
        ASSERT_EQ(kScanNumber, number.kind);
        ASSERT_EQ(i, number.index);
        EXPECT_EQ((unsigned)i, scanner.Number(number.index));
        ASSERT_EQ(kScanString, string.kind);
        EXPECT_EQ(L"s" + std::to_wstring(i), scanner.String(string.index).c_str());
        EXPECT_EQ(kScanPunct, scanner.Token(3 * i + 2).kind);
    }
}

TEST(TextScanner, ScanningAgainStartsAfresh)
{
    TextScanner scanner;
    ASSERT_TRUE(Scan(scanner, L"a\nb"));
    ASSERT_TRUE(Scan(scanner, L"c"));
    EXPECT_EQ((List{L"name:c"}), Tokens(scanner));
    EXPECT_EQ(0, scanner.Line());
    ASSERT_TRUE(scanner.Scan(L"", 0));
    EXPECT_EQ(0, scanner.TokenCount());
    // Only the given length is read.
    ASSERT_TRUE(scanner.Scan(L"ab#", 2));
    EXPECT_EQ((List{L"name:ab"}), Tokens(scanner));
}
