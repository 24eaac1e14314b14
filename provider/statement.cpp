// Statement analysis: see statement.h. A small tokenizer finds the tables a
// statement names and, for every "?", the column it meets: "col op ?",
// "? op col", "col [NOT] LIKE ?", "col [NOT] IN (?, ...)", "col BETWEEN ? AND ?",
// "SET col = ?" and the VALUES list of "INSERT [INTO] t (cols) VALUES (...)".
#include "provider/statement.h"

#include <cwctype>

namespace zelk {
namespace {

enum class Tok { Word, Name, String, Number, Param, Op };

struct Token {
    Tok kind;
    std::wstring text;  // names without their quotes; words as written
};

bool IsWordStart(wchar_t c) { return iswalpha(c) || c == L'_' || c == L'@' || c == L'#' || c >= 0x80; }
bool IsWordPart(wchar_t c) { return iswalnum(c) || c == L'_' || c == L'@' || c == L'#' || c == L'$' || c >= 0x80; }

std::vector<Token> Tokenize(const std::wstring& s)
{
    std::vector<Token> out;
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
            i = end == std::wstring::npos ? n : end + 2;
        } else if (c == L'\'' || ((c == L'N' || c == L'n') && i + 1 < n && s[i + 1] == L'\'')) {
            if (c != L'\'')
                ++i;
            std::wstring text;
            ++i;
            while (i < n) {
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
        } else if (c == L'[' || c == L'"' || c == L'`') {
            wchar_t close = c == L'[' ? L']' : c;
            std::wstring text;
            ++i;
            while (i < n) {
                if (s[i] == close) {
                    if (i + 1 < n && s[i + 1] == close) {
                        text += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s[i++];
            }
            out.push_back({Tok::Name, text});
        } else if (iswdigit(c) || (c == L'.' && i + 1 < n && iswdigit(s[i + 1]))) {
            size_t start = i;
            while (i < n && (iswdigit(s[i]) || s[i] == L'.'))
                ++i;
            if (i < n && (s[i] == L'e' || s[i] == L'E')) {
                size_t j = i + 1;
                if (j < n && (s[j] == L'+' || s[j] == L'-'))
                    ++j;
                if (j < n && iswdigit(s[j])) {
                    i = j;
                    while (i < n && iswdigit(s[i]))
                        ++i;
                }
            }
            out.push_back({Tok::Number, s.substr(start, i - start)});
        } else if (IsWordStart(c)) {
            size_t start = i;
            while (i < n && IsWordPart(s[i]))
                ++i;
            out.push_back({Tok::Word, s.substr(start, i - start)});
        } else if (c == L'?') {
            ++i;
            out.push_back({Tok::Param, L"?"});
        } else {
            static const wchar_t* const twoChar[] = {L"<=", L">=", L"<>", L"!=", L"==", L"||"};
            std::wstring op(1, c);
            for (const wchar_t* t : twoChar)
                if (i + 1 < n && s[i] == t[0] && s[i + 1] == t[1])
                    op = t;
            i += op.size();
            out.push_back({Tok::Op, op});
        }
    }
    return out;
}

bool Is(const Token& t, const wchar_t* word)
{
    if (t.kind != Tok::Word)
        return false;
    size_t n = wcslen(word);
    if (t.text.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (towupper(t.text[i]) != word[i])
            return false;
    return true;
}

bool IsOp(const Token& t, const wchar_t* op) { return t.kind == Tok::Op && t.text == op; }

bool IsComparison(const Token& t)
{
    return t.kind == Tok::Op && (t.text == L"=" || t.text == L"==" || t.text == L"<>" || t.text == L"!=" ||
                                 t.text == L"<" || t.text == L">" || t.text == L"<=" || t.text == L">=");
}

const wchar_t* const kKeywords[] = {
    L"SELECT", L"FROM",  L"WHERE", L"AND",     L"OR",     L"NOT",   L"ON",     L"JOIN",   L"INNER", L"LEFT",
    L"RIGHT",  L"OUTER", L"CROSS", L"FULL",    L"GROUP",  L"ORDER", L"BY",     L"HAVING", L"UNION", L"ALL",
    L"AS",     L"SET",   L"VALUES", L"INTO",   L"UPDATE", L"DELETE", L"INSERT", L"LIKE",  L"IN",    L"BETWEEN",
    L"IS",     L"NULL",  L"LIMIT", L"OFFSET",  L"EXISTS", L"CASE",  L"WHEN",   L"THEN",   L"ELSE",  L"END",
    L"DEFAULT", L"DISTINCT", L"TOP", L"WITH",  L"ESCAPE", L"ASC",   L"DESC",   L"EXCEPT", L"INTERSECT"};

bool IsKeyword(const Token& t)
{
    if (t.kind != Tok::Word)
        return false;
    for (const wchar_t* k : kKeywords)
        if (Is(t, k))
            return true;
    return false;
}

bool IsIdent(const Token& t) { return t.kind == Tok::Name || (t.kind == Tok::Word && !IsKeyword(t)); }

struct TableRef {
    std::wstring table;
    std::wstring alias;
};

// A column reference ending at token `last`: "col" or "q.col"; false when none.
bool ColumnBefore(const std::vector<Token>& t, long last, std::wstring& qualifier, std::wstring& column)
{
    if (last < 0 || !IsIdent(t[last]))
        return false;
    column = t[last].text;
    qualifier.clear();
    if (last >= 2 && IsOp(t[last - 1], L".") && IsIdent(t[last - 2]))
        qualifier = t[last - 2].text;
    return true;
}

// A column reference starting at token `first`.
bool ColumnAfter(const std::vector<Token>& t, size_t first, std::wstring& qualifier, std::wstring& column)
{
    if (first >= t.size() || !IsIdent(t[first]))
        return false;
    // A name followed by "(" is a function, not a column.
    if (first + 1 < t.size() && IsOp(t[first + 1], L"("))
        return false;
    if (first + 2 < t.size() && IsOp(t[first + 1], L".") && IsIdent(t[first + 2])) {
        qualifier = t[first].text;
        column = t[first + 2].text;
        return true;
    }
    qualifier.clear();
    column = t[first].text;
    return true;
}

// The tables a statement names after FROM, JOIN, UPDATE and INTO, with their aliases.
std::vector<TableRef> FindTables(const std::vector<Token>& t)
{
    std::vector<TableRef> refs;
    for (size_t i = 0; i < t.size(); ++i) {
        bool from = Is(t[i], L"FROM");
        if (!(from || Is(t[i], L"JOIN") || Is(t[i], L"UPDATE") || Is(t[i], L"INTO")))
            continue;
        size_t j = i + 1;
        for (;;) {
            if (j >= t.size() || !IsIdent(t[j]))
                break;
            std::wstring name = t[j].text;
            ++j;
            while (j + 1 < t.size() && IsOp(t[j], L".") && IsIdent(t[j + 1])) {
                name = t[j + 1].text;  // "dbo.Patient" names Patient
                j += 2;
            }
            TableRef ref{name, std::wstring()};
            if (j < t.size() && Is(t[j], L"AS"))
                ++j;
            if (j < t.size() && IsIdent(t[j]) && !(j + 1 < t.size() && IsOp(t[j + 1], L"(")))
                ref.alias = t[j++].text;
            refs.push_back(ref);
            if (from && j < t.size() && IsOp(t[j], L",")) {
                ++j;
                continue;
            }
            break;
        }
    }
    return refs;
}

}  // namespace

bool TranslateStatement(const std::wstring& text, TranslatedStatement& out, std::wstring& error)
{
    out = TranslatedStatement();
    out.sqliteText = text;
    std::vector<Token> t = Tokenize(text);
    if (t.empty()) {
        error = L"The statement is empty.";
        return false;
    }
    if (Is(t[0], L"SELECT") || Is(t[0], L"WITH") || Is(t[0], L"VALUES") || IsOp(t[0], L"("))
        out.kind = StatementKind::Query;
    else if (Is(t[0], L"INSERT") || Is(t[0], L"UPDATE") || Is(t[0], L"DELETE") || Is(t[0], L"REPLACE"))
        out.kind = StatementKind::Change;

    std::vector<TableRef> refs = FindTables(t);
    std::vector<std::wstring> allTables;
    for (const TableRef& r : refs)
        allTables.push_back(r.table);

    // INSERT [INTO] t (c1, c2...) VALUES (e1, e2...): the VALUES position names the column.
    std::vector<std::wstring> insertColumns;
    size_t valuesOpen = 0;
    if (Is(t[0], L"INSERT")) {
        size_t i = 1;
        if (i < t.size() && Is(t[i], L"INTO"))
            ++i;
        while (i < t.size() && !IsOp(t[i], L"(") && !Is(t[i], L"VALUES"))
            ++i;
        if (i < t.size() && IsOp(t[i], L"(")) {
            for (++i; i < t.size() && !IsOp(t[i], L")"); ++i)
                if (IsIdent(t[i]))
                    insertColumns.push_back(t[i].text);
            ++i;
        }
        if (i < t.size() && Is(t[i], L"VALUES") && i + 1 < t.size() && IsOp(t[i + 1], L"("))
            valuesOpen = i + 1;
    }

    auto resolve = [&](const std::wstring& qualifier, const std::wstring& column) {
        ParamTarget target;
        target.column = column;
        if (!qualifier.empty()) {
            for (const TableRef& r : refs)
                if (SameName(r.alias, qualifier) || SameName(r.table, qualifier))
                    target.tables.push_back(r.table);
        }
        if (target.tables.empty())
            target.tables = allTables;
        return target;
    };

    // Positions of the VALUES items of an INSERT.
    std::vector<long> valuePosition(t.size(), -1);
    if (valuesOpen) {
        int depth = 0;
        long item = 0;
        for (size_t i = valuesOpen + 1; i < t.size(); ++i) {
            if (IsOp(t[i], L"("))
                ++depth;
            else if (IsOp(t[i], L")")) {
                if (depth-- == 0)
                    break;
            } else if (depth == 0 && IsOp(t[i], L","))
                ++item;
            else if (depth == 0 && t[i].kind == Tok::Param)
                valuePosition[i] = item;
        }
    }

    // The assignments of an UPDATE: from SET to the WHERE at the same depth.
    size_t setStart = t.size(), setEnd = t.size();
    if (Is(t[0], L"UPDATE")) {
        int depth = 0;
        for (size_t i = 1; i < t.size(); ++i) {
            if (IsOp(t[i], L"("))
                ++depth;
            else if (IsOp(t[i], L")"))
                --depth;
            else if (depth == 0 && setStart == t.size() && Is(t[i], L"SET"))
                setStart = i;
            else if (depth == 0 && setStart != t.size() && (Is(t[i], L"WHERE") || Is(t[i], L"FROM"))) {
                setEnd = i;
                break;
            }
        }
    }

    for (size_t k = 0; k < t.size(); ++k) {
        if (t[k].kind != Tok::Param)
            continue;
        ParamTarget target;
        std::wstring q, c;
        long p = static_cast<long>(k) - 1;
        if (valuePosition[k] >= 0 && static_cast<size_t>(valuePosition[k]) < insertColumns.size()) {
            target = resolve(std::wstring(), insertColumns[valuePosition[k]]);
            target.assigned = true;
        } else if (k > setStart && k < setEnd && p >= 0 && IsOp(t[p], L"=")) {
            if (ColumnBefore(t, p - 1, q, c)) {
                target = resolve(q, c);
                target.assigned = true;
            }
        } else if (p >= 0 && (IsComparison(t[p]) || Is(t[p], L"LIKE"))) {
            long before = p - 1;
            if (Is(t[p], L"LIKE") && before >= 0 && Is(t[before], L"NOT"))
                --before;
            if (ColumnBefore(t, before, q, c)) {
                target = resolve(q, c);
                target.pattern = Is(t[p], L"LIKE");
            }
        } else if (p >= 0 && Is(t[p], L"BETWEEN")) {
            if (ColumnBefore(t, p - 1, q, c))
                target = resolve(q, c);
        } else if (p >= 2 && Is(t[p], L"AND") && Is(t[p - 2], L"BETWEEN")) {
            if (ColumnBefore(t, p - 3, q, c))
                target = resolve(q, c);
        } else if (p >= 0 && (IsOp(t[p], L"(") || IsOp(t[p], L","))) {
            // Inside "col [NOT] IN (..., ?)": walk back to the opening parenthesis.
            long j = p;
            while (j >= 0 && !IsOp(t[j], L"(") &&
                   (IsOp(t[j], L",") || t[j].kind == Tok::Param || t[j].kind == Tok::Number ||
                    t[j].kind == Tok::String))
                --j;
            if (j >= 1 && IsOp(t[j], L"(") && Is(t[j - 1], L"IN")) {
                long before = j - 2;
                if (before >= 0 && Is(t[before], L"NOT"))
                    --before;
                if (ColumnBefore(t, before, q, c))
                    target = resolve(q, c);
            }
        }
        if (target.column.empty() && k + 1 < t.size() && IsComparison(t[k + 1]) && ColumnAfter(t, k + 2, q, c))
            target = resolve(q, c);
        out.paramTargets.push_back(target);
    }
    return true;
}

}  // namespace zelk
