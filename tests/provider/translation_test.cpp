// The translator keeps a statement's meaning: random token streams and
// random expressions are translated, and the SQLite text must parse -- as
// SQLite reads it, comments included -- to the tree the SQL Server text
// parses to. The text the translator writes is read by a parser of its own
// here, so that a change of meaning (a sign that turns into a comment, a
// lost parenthesis, a changed precedence) shows as a different tree.
#include "provider/statement.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <random>

namespace zt {
namespace {

using zelk::ColumnInfo;
using zelk::SchemaLookup;
using zelk::TranslatedStatement;
using zelk::TranslateError;

// Table T (A int, B int, N nvarchar(10)).
class Schema : public SchemaLookup {
public:
    bool Columns(const std::wstring& table, std::vector<ColumnInfo>& out) override
    {
        if (table != L"T")
            return false;
        out.clear();
        const wchar_t* names[] = {L"A", L"B", L"N"};
        for (const wchar_t* name : names) {
            ColumnInfo c;
            c.name = name;
            bool known = false;
            c.type = zelk::TypeFromDeclared(name[0] == L'N' ? L"nvarchar(10)" : L"int", known);
            c.typeKnown = known;
            c.table = L"T";
            c.origin = name;
            out.push_back(c);
        }
        return true;
    }
};

// ---- a reader of the expression grammar both dialects share

enum class Dialect { SqlServer, Sqlite };

struct Tok {
    enum Kind { Number, String, Name, Param, Op, Word, End } kind;
    std::wstring text;
};

// Tokens as the dialect reads them: "--" starts a comment to the end of the
// line and "/*" one to "*/" in both; SQL Server writes names in brackets,
// SQLite in double quotes. False for a text the reader does not know.
bool Lex(const std::wstring& s, Dialect dialect, std::vector<Tok>& out)
{
    size_t i = 0, n = s.size();
    while (i < n) {
        wchar_t c = s[i];
        if (iswspace(c)) {
            ++i;
        } else if (c == L'-' && i + 1 < n && s[i + 1] == L'-') {
            while (i < n && s[i] != L'\n')
                ++i;
        } else if (c == L'/' && i + 1 < n && s[i + 1] == L'*') {
            size_t end = s.find(L"*/", i + 2);
            if (end == std::wstring::npos)
                return false;
            i = end + 2;
        } else if (iswdigit(c)) {
            size_t start = i;
            while (i < n && iswdigit(s[i]))
                ++i;
            out.push_back({Tok::Number, s.substr(start, i - start)});
        } else if (c == L'\'' || (dialect == Dialect::SqlServer && c == L'N' && i + 1 < n && s[i + 1] == L'\'')) {
            i += c == L'N' ? 2 : 1;
            std::wstring text;
            for (;;) {
                if (i >= n)
                    return false;
                if (s[i] == L'\'') {
                    if (i + 1 < n && s[i + 1] == L'\'') {
                        text += L'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s[i++];
            }
            out.push_back({Tok::String, text});
        } else if (c == (dialect == Dialect::SqlServer ? L'[' : L'"')) {
            wchar_t close = dialect == Dialect::SqlServer ? L']' : L'"';
            size_t end = s.find(close, i + 1);
            if (end == std::wstring::npos)
                return false;
            out.push_back({Tok::Name, s.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else if (iswalpha(c)) {
            size_t start = i;
            while (i < n && (iswalnum(s[i]) || s[i] == L'_'))
                ++i;
            std::wstring word = s.substr(start, i - start);
            std::wstring upper;
            for (wchar_t ch : word)
                upper += static_cast<wchar_t>(towupper(ch));
            bool keyword = upper == L"NOT" || upper == L"AND" || upper == L"OR" || upper == L"COLLATE" ||
                           (dialect == Dialect::Sqlite && upper == L"ZELK_DIVISOR");
            if (keyword)
                out.push_back({Tok::Word, upper});
            else if (dialect == Dialect::SqlServer)
                out.push_back({Tok::Name, word});  // SQL Server's bare names
            else if (upper == L"CASELESS")
                out.push_back({Tok::Word, upper});
            else
                return false;  // SQLite's text quotes every name
        } else if (c == L'?') {
            ++i;
            out.push_back({Tok::Param, L"?"});
        } else {
            static const wchar_t* const two[] = {L"<=", L">=", L"<>", L"!=", L"||"};
            std::wstring op(1, c);
            for (const wchar_t* t : two)
                if (i + 1 < n && s[i] == t[0] && s[i + 1] == t[1])
                    op = t;
            if (op.size() == 1 && !wcschr(L"()=<>+-*/%", c))
                return false;
            i += op.size();
            out.push_back({Tok::Op, op});
        }
    }
    out.push_back({Tok::End, L""});
    return true;
}

// A recursive descent reader that prints the tree in prefix form; the same
// precedence as SQL Server and SQLite give these operators. Concatenation
// ("||", or "+" of SQL Server between texts) prints as "+", the written
// collation and the check of a divisor are left out: the tree is the
// statement's structure.
class Reader {
public:
    explicit Reader(std::vector<Tok> tokens) : t_(std::move(tokens)) {}

    // The tree, or "" when the tokens are no expression.
    std::wstring Tree()
    {
        std::wstring tree = Or();
        if (!ok_ || At().kind != Tok::End)
            return L"";
        return tree;
    }

private:
    const Tok& At() const { return t_[p_ < t_.size() ? p_ : t_.size() - 1]; }
    bool AtOp(const wchar_t* op) const { return At().kind == Tok::Op && At().text == op; }
    bool AtWord(const wchar_t* w) const { return At().kind == Tok::Word && At().text == w; }
    std::wstring Bad()
    {
        ok_ = false;
        return L"";
    }

    std::wstring Or()
    {
        std::wstring left = And();
        while (ok_ && AtWord(L"OR")) {
            ++p_;
            left = L"(OR " + left + L" " + And() + L")";
        }
        return left;
    }
    std::wstring And()
    {
        std::wstring left = Not();
        while (ok_ && AtWord(L"AND")) {
            ++p_;
            left = L"(AND " + left + L" " + Not() + L")";
        }
        return left;
    }
    std::wstring Not()
    {
        if (AtWord(L"NOT")) {
            ++p_;
            return L"(NOT " + Not() + L")";
        }
        return Comparison();
    }
    std::wstring Comparison()
    {
        std::wstring left = Additive();
        static const wchar_t* const ops[] = {L"=", L"<>", L"!=", L"<", L">", L"<=", L">="};
        for (const wchar_t* op : ops)
            if (ok_ && AtOp(op)) {
                ++p_;
                std::wstring o = op;
                if (o == L"!=")
                    o = L"<>";
                return L"(" + o + L" " + left + L" " + Additive() + L")";
            }
        return left;
    }
    std::wstring Additive()
    {
        std::wstring left = Multiplicative();
        while (ok_ && (AtOp(L"+") || AtOp(L"-") || AtOp(L"||"))) {
            std::wstring op = At().text == L"-" ? L"-" : L"+";
            ++p_;
            left = L"(" + op + L" " + left + L" " + Multiplicative() + L")";
        }
        return left;
    }
    std::wstring Multiplicative()
    {
        std::wstring left = Unary();
        while (ok_ && (AtOp(L"*") || AtOp(L"/") || AtOp(L"%"))) {
            std::wstring op = At().text;
            ++p_;
            left = L"(" + op + L" " + left + L" " + Unary() + L")";
        }
        return left;
    }
    std::wstring Unary()
    {
        if (AtOp(L"-") || AtOp(L"+")) {
            std::wstring op = At().text == L"-" ? L"neg" : L"pos";
            ++p_;
            return L"(" + op + L" " + Unary() + L")";
        }
        std::wstring primary = Primary();
        while (ok_ && AtWord(L"COLLATE")) {  // SQLite's postfix: the collation is no node of the tree
            ++p_;
            if (!AtWord(L"CASELESS"))
                return Bad();
            ++p_;
        }
        return primary;
    }
    std::wstring Primary()
    {
        const Tok t = At();
        ++p_;
        switch (t.kind) {
        case Tok::Number:
            return t.text;
        case Tok::String:
            return L"'" + t.text + L"'";
        case Tok::Name:
            return L"col:" + t.text;
        case Tok::Param:
            return L"?";
        case Tok::Word:
            // The translator's check of a divisor: no node of the tree.
            if (t.text == L"ZELK_DIVISOR" && AtOp(L"(")) {
                ++p_;
                std::wstring inner = Or();
                if (!AtOp(L")"))
                    return Bad();
                ++p_;
                return inner;
            }
            return Bad();
        case Tok::Op:
            if (t.text == L"(") {
                std::wstring inner = Or();
                if (!AtOp(L")"))
                    return Bad();
                ++p_;
                return inner;
            }
            return Bad();
        default:
            return Bad();
        }
    }

    std::vector<Tok> t_;
    size_t p_ = 0;
    bool ok_ = true;
};

std::wstring TreeOf(const std::wstring& text, Dialect dialect)
{
    std::vector<Tok> tokens;
    if (!Lex(text, dialect, tokens))
        return L"";
    return Reader(std::move(tokens)).Tree();
}

const wchar_t kPrefix[] = L"SELECT A FROM T WHERE ";
const wchar_t kSqlitePrefix[] = L"SELECT \"A\" FROM \"T\" WHERE ";

// Translates "SELECT A FROM T WHERE <condition>": the tree of the condition
// as SQLite reads the translation, or "" when the translator refuses it.
std::wstring TranslatedTree(const std::wstring& condition, std::wstring& sqlite)
{
    Schema schema;
    TranslatedStatement out;
    TranslateError error;
    if (!zelk::TranslateStatement(kPrefix + condition, &schema, out, error))
        return L"";
    sqlite = out.sqliteText;
    const std::wstring prefix = kSqlitePrefix;
    if (sqlite.compare(0, prefix.size(), prefix) != 0)
        return L"<prefix changed>";
    std::wstring tree = TreeOf(sqlite.substr(prefix.size()), Dialect::Sqlite);
    return tree.empty() ? L"<unreadable>" : tree;
}

const wchar_t* const kAlphabet[] = {L"1",   L"23",  L"0",   L"?",  L"A",  L"B",  L"N",   L"N'x'", L"'y'",
                                    L"-",   L"+",   L"*",   L"/",  L"%",  L"(",  L")",   L"NOT",  L"AND",
                                    L"OR",  L"=",   L"<>",  L"<",  L">=", L"!=", L"[A]"};

TEST(TranslationTest, RandomTokenStreamsTranslateToTheSameTree)
{
    std::mt19937 random(19);
    const size_t alphabet = sizeof(kAlphabet) / sizeof(kAlphabet[0]);
    int accepted = 0;
    for (int round = 0; round < 60000; ++round) {
        // Mostly short streams; tokens apart by a blank, so that the SQL
        // Server text itself holds no comment.
        size_t length = 1 + random() % 9;
        std::wstring condition;
        for (size_t i = 0; i < length; ++i)
            condition += std::wstring(i ? L" " : L"") + kAlphabet[random() % alphabet];
        const std::wstring expected = TreeOf(condition, Dialect::SqlServer);
        std::wstring sqlite;
        const std::wstring actual = TranslatedTree(condition, sqlite);
        ASSERT_EQ(expected.empty(), actual.empty()) << "accepted by one reading only: "
                                                     << testing::PrintToString(condition) << " -> "
                                                     << testing::PrintToString(sqlite);
        if (actual.empty())
            continue;
        ++accepted;
        ASSERT_EQ(expected, actual) << testing::PrintToString(condition) << " -> " << testing::PrintToString(sqlite);
    }
    EXPECT_GT(accepted, 1000) << "too few streams were statements to prove anything";
}

// Random expressions of the grammar, deeper than random streams get.
std::wstring RandomExpression(std::mt19937& random, int depth, bool condition)
{
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    if (depth <= 0) {
        static const wchar_t* const leaves[] = {L"7", L"?", L"A", L"[B]", L"N'a''b'", L"0"};
        return leaves[pick(6)];
    }
    if (condition) {
        switch (pick(5)) {
        case 0:
            return RandomExpression(random, depth - 1, true) + L" AND " + RandomExpression(random, depth - 1, true);
        case 1:
            return RandomExpression(random, depth - 1, true) + L" OR " + RandomExpression(random, depth - 1, true);
        case 2:
            return L"NOT " + RandomExpression(random, depth - 1, true);
        case 3:
            return L"(" + RandomExpression(random, depth - 1, true) + L")";
        default: {
            static const wchar_t* const ops[] = {L" = ", L" <> ", L" < ", L" >= ", L" != "};
            return RandomExpression(random, depth - 1, false) + ops[pick(5)] +
                   RandomExpression(random, depth - 1, false);
        }
        }
    }
    switch (pick(5)) {
    case 0:
        return L"-" + std::wstring(pick(2) ? L" " : L"") + RandomExpression(random, depth - 1, false);
    case 1:
        return L"+" + RandomExpression(random, depth - 1, false);
    case 2:
        return L"(" + RandomExpression(random, depth - 1, false) + L")";
    default: {
        static const wchar_t* const ops[] = {L" + ", L" - ", L" * ", L" / ", L" % "};
        return RandomExpression(random, depth - 1, false) + ops[pick(5)] + RandomExpression(random, depth - 1, false);
    }
    }
}

TEST(TranslationTest, RandomExpressionsTranslateToTheSameTree)
{
    std::mt19937 random(2024);
    for (int round = 0; round < 5000; ++round) {
        std::wstring condition = RandomExpression(random, 1 + round % 6, true);
        // A "-" written right before another "-" would be a comment of the SQL Server text.
        for (size_t at; (at = condition.find(L"--")) != std::wstring::npos;)
            condition.insert(at + 1, L" ");
        const std::wstring expected = TreeOf(condition, Dialect::SqlServer);
        ASSERT_FALSE(expected.empty()) << testing::PrintToString(condition);
        std::wstring sqlite;
        ASSERT_EQ(expected, TranslatedTree(condition, sqlite))
            << testing::PrintToString(condition) << " -> " << testing::PrintToString(sqlite);
    }
}

TEST(TranslationTest, SignsBeforeSignsStayApart)
{
    std::wstring sqlite;
    EXPECT_EQ(L"(= col:A (neg (neg 1)))", TranslatedTree(L"A = - -1", sqlite)) << testing::PrintToString(sqlite);
    EXPECT_EQ(std::wstring::npos, sqlite.find(L"--")) << testing::PrintToString(sqlite);
    // The statement of the adversarial run: the comment would have hidden the
    // rest of the line and made the line break's "OR 1=1" part of the condition.
    EXPECT_EQ(L"(AND (= col:A (neg (neg 1))) (= col:N 'no such name\n1 OR 1=1 --'))",
              TranslatedTree(L"A = - -1 AND N = N'no such name\n1 OR 1=1 --'", sqlite))
        << testing::PrintToString(sqlite);
    EXPECT_EQ(L"(= (- col:A (neg (neg (neg ?)))) 0)", TranslatedTree(L"A - - - -? = 0", sqlite))
        << testing::PrintToString(sqlite);
}

}  // namespace
}  // namespace zt
