// The SQL Server dialect: see statement.h. A tokenizer, then a recursive
// descent parser that writes the SQLite text as it goes. Expressions carry
// what is known of their type, so that "+" can tell concatenation from
// addition and the result columns and parameters can be typed; every "?"
// records the column it meets.
#include "provider/statement.h"

#include "provider/datetime.h"

#include <cwctype>

namespace zelk {

const wchar_t kColumnsView[] = L"INFORMATION_SCHEMA_COLUMNS";
const wchar_t kDateFunction[] = L"zelk_datetime";
const wchar_t kDivisorFunction[] = L"zelk_divisor";

std::wstring QuoteName(const std::wstring& name)
{
    std::wstring out = L"\"";
    for (wchar_t c : name) {
        out += c;
        if (c == L'"')
            out += c;
    }
    out += L'"';
    return out;
}

namespace {

// ---------------------------------------------------------------- tokens

enum class Tok { Word, Name, String, Number, Param, Op, End };

struct Token {
    Tok kind;
    std::wstring text;  // names without their brackets, strings without quotes
};

struct ParseError {
    std::wstring message;
    const wchar_t* sqlState;
    LONG nativeError;
};

[[noreturn]] void Fail(const std::wstring& message, const wchar_t* sqlState = L"42000", LONG nativeError = 102)
{
    throw ParseError{message, sqlState, nativeError};
}

bool IsWordStart(wchar_t c) { return iswalpha(c) || c == L'_' || c == L'@' || c == L'#' || c >= 0x80; }
bool IsWordPart(wchar_t c) { return iswalnum(c) || c == L'_' || c == L'@' || c == L'#' || c == L'$' || c >= 0x80; }

// The text up to the closing character, a doubled one standing for itself;
// `i` is just past the opening one and ends past the closing one. False when
// the statement ends first.
bool ReadQuoted(const std::wstring& s, size_t& i, wchar_t close, std::wstring& text)
{
    const size_t n = s.size();
    while (i < n) {
        if (s[i] == close) {
            if (i + 1 < n && s[i + 1] == close) {
                text += close;
                i += 2;
                continue;
            }
            ++i;
            return true;
        }
        text += s[i++];
    }
    return false;
}

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
            if (end == std::wstring::npos)
                Fail(L"A comment of the statement is not closed with */.");
            i = end + 2;
        } else if (c == L'\'' || ((c == L'N' || c == L'n') && i + 1 < n && s[i + 1] == L'\'')) {
            if (c != L'\'')
                ++i;
            std::wstring text;
            ++i;
            if (!ReadQuoted(s, i, L'\'', text))
                Fail(L"A text in quotes is not closed: the statement ends inside it.");
            out.push_back({Tok::String, text});
        } else if (c == L'[' || c == L'"') {
            wchar_t close = c == L'[' ? L']' : c;
            std::wstring text;
            ++i;
            if (!ReadQuoted(s, i, close, text))
                Fail(L"A name in brackets or quotes is not closed: the statement ends inside it.");
            if (text.empty())
                Fail(L"A name in brackets or quotes is empty.");
            out.push_back({Tok::Name, text});
        } else if (iswdigit(c) || (c == L'.' && i + 1 < n && iswdigit(s[i + 1]))) {
            // Digits end at the first letter: "0AND" is the number 0 and the word AND.
            size_t start = i;
            while (i < n && iswdigit(s[i]))
                ++i;
            if (i < n && s[i] == L'.') {
                ++i;
                while (i < n && iswdigit(s[i]))
                    ++i;
            }
            if (i + 1 < n && (s[i] == L'e' || s[i] == L'E')) {
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
            static const wchar_t* const twoChar[] = {L"<=", L">=", L"<>", L"!=", L"||", L"!<", L"!>"};
            std::wstring op(1, c);
            for (const wchar_t* t : twoChar)
                if (i + 1 < n && s[i] == t[0] && s[i + 1] == t[1])
                    op = t;
            if (op.size() == 1 && !wcschr(L"(),.;=<>+-*/%{}", c))
                Fail(std::wstring(L"The character \"") + c + L"\" has no meaning in a statement.");
            i += op.size();
            out.push_back({Tok::Op, op});
        }
    }
    out.push_back({Tok::End, std::wstring()});
    return out;
}

bool SameWord(const std::wstring& a, const wchar_t* upper)
{
    size_t n = wcslen(upper);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (towupper(a[i]) != upper[i])
            return false;
    return true;
}

const wchar_t* const kReserved[] = {
    L"SELECT", L"FROM",   L"WHERE",  L"AND",    L"OR",      L"NOT",      L"ON",     L"JOIN",   L"INNER",
    L"LEFT",   L"RIGHT",  L"OUTER",  L"CROSS",  L"FULL",    L"GROUP",    L"ORDER",  L"BY",     L"HAVING",
    L"UNION",  L"ALL",    L"AS",     L"SET",    L"VALUES",  L"INTO",     L"UPDATE", L"DELETE", L"INSERT",
    L"LIKE",   L"IN",     L"BETWEEN", L"IS",    L"NULL",    L"EXISTS",   L"CASE",   L"WHEN",   L"THEN",
    L"ELSE",   L"END",    L"DEFAULT", L"DISTINCT", L"TOP",  L"WITH",     L"ESCAPE", L"ASC",    L"DESC",
    L"EXCEPT", L"INTERSECT", L"CREATE", L"TABLE", L"DROP",  L"ALTER",    L"ADD",    L"PRIMARY", L"KEY",
    L"FOREIGN", L"REFERENCES", L"CONSTRAINT", L"UNIQUE", L"CHECK", L"INDEX", L"IDENTITY", L"CLUSTERED",
    L"NONCLUSTERED"};

bool IsReserved(const std::wstring& word)
{
    for (const wchar_t* k : kReserved)
        if (SameWord(word, k))
            return true;
    return false;
}

// ---------------------------------------------------------------- expressions

enum class Cat { Unknown, Number, Text, Date, Null, Param };

struct Expr {
    std::wstring sql;
    Cat cat = Cat::Unknown;
    TypeDesc type;
    bool typed = false;      // `type` is known
    bool column = false;     // a plain column reference
    std::wstring table;      // its table, when resolved
    std::wstring name;       // its column name
    long param = -1;         // a bare "?": its ordinal - 1
    bool literal = false;    // a text literal (in parentheses or not): its value in `text`
    std::wstring text;
    bool collated = false;   // `sql` carries COLLATE CASELESS
};

bool IsIntegerType(DBTYPE t)
{
    return t == DBTYPE_I1 || t == DBTYPE_UI1 || t == DBTYPE_I2 || t == DBTYPE_UI2 || t == DBTYPE_I4 ||
           t == DBTYPE_UI4 || t == DBTYPE_I8 || t == DBTYPE_UI8;
}

std::wstring Upper(const std::wstring& word)
{
    std::wstring out;
    for (wchar_t c : word)
        out += static_cast<wchar_t>(towupper(c));
    return out;
}

Cat CatOf(const TypeDesc& t)
{
    switch (t.type) {
    case DBTYPE_WSTR:
    case DBTYPE_STR:
        return Cat::Text;
    case DBTYPE_DBTIMESTAMP:
        return Cat::Date;
    default:
        return Cat::Number;
    }
}

TypeDesc DateTimeType()
{
    bool known = false;
    return TypeFromDeclared(L"datetime", known);
}

struct Source {
    std::wstring table;  // as named in the statement (resolved below when the schema knows it)
    std::wstring alias;
    std::vector<ColumnInfo> columns;
};

// ---------------------------------------------------------------- parser

class Parser {
public:
    Parser(std::vector<Token> tokens, SchemaLookup* schema, TranslatedStatement& out)
        : t_(std::move(tokens)), schema_(schema), out_(out)
    {
        long ordinal = 0;
        ordinals_.assign(t_.size(), -1);
        for (size_t i = 0; i < t_.size(); ++i)
            if (t_[i].kind == Tok::Param)
                ordinals_[i] = ordinal++;
        out_.paramTargets.assign(static_cast<size_t>(ordinal), ParamTarget());
        out_.paramTypes.assign(static_cast<size_t>(ordinal), TypeDesc());
        out_.paramTyped.assign(static_cast<size_t>(ordinal), false);
    }

    void Statement()
    {
        if (AtWord(L"SELECT")) {
            out_.kind = StatementKind::Query;
            std::vector<Expr> columns;
            out_.sqliteText = Select(&columns);
            bool star = false;
            for (const Expr& e : columns)
                star = star || e.sql == L"*";
            for (size_t i = 0; i < columns.size() && !star; ++i) {
                out_.columnTyped.push_back(columns[i].typed && !columns[i].column);
                out_.columnTypes.push_back(columns[i].type);
            }
        } else if (AtWord(L"INSERT")) {
            out_.kind = StatementKind::Change;
            out_.sqliteText = Insert();
        } else if (AtWord(L"UPDATE")) {
            out_.kind = StatementKind::Change;
            out_.sqliteText = Update();
        } else if (AtWord(L"DELETE")) {
            out_.kind = StatementKind::Change;
            out_.sqliteText = Delete();
        } else if (AtWord(L"CREATE")) {
            out_.changesSchema = true;
            out_.sqliteText = Create();
        } else if (AtWord(L"ALTER")) {
            out_.changesSchema = true;
            out_.sqliteText = Alter();
        } else if (AtWord(L"DROP")) {
            out_.changesSchema = true;
            out_.sqliteText = Drop();
        } else if (AtWord(L"SET")) {
            IdentityInsert();
        } else if (AtWord(L"BACKUP")) {
            Backup();
        } else if (AtWord(L"DBCC")) {
            CheckDatabase();
        } else if (AtOp(L"{")) {
            Call();
        } else if (At().kind == Tok::End || AtOp(L";")) {
            Fail(L"The statement is empty.");
        } else {
            Fail(L"Statements that begin with \"" + At().text +
                 L"\" are not supported by the database provider.");
        }
        while (AtOp(L";"))
            ++p_;
        if (At().kind != Tok::End)
            Fail(L"The command text goes on after the end of its statement (at \"" + At().text +
                 L"\"): run one statement at a time.");
    }

private:
    // ---- token helpers
    const Token& At(size_t ahead = 0) const
    {
        size_t i = p_ + ahead;
        return i < t_.size() ? t_[i] : t_.back();
    }
    bool AtWord(const wchar_t* w, size_t ahead = 0) const
    {
        return At(ahead).kind == Tok::Word && SameWord(At(ahead).text, w);
    }
    bool AtOp(const wchar_t* op, size_t ahead = 0) const { return At(ahead).kind == Tok::Op && At(ahead).text == op; }
    bool TakeWord(const wchar_t* w)
    {
        if (!AtWord(w))
            return false;
        ++p_;
        return true;
    }
    bool TakeOp(const wchar_t* op)
    {
        if (!AtOp(op))
            return false;
        ++p_;
        return true;
    }
    std::wstring Near() const
    {
        return At().kind == Tok::End ? std::wstring(L"at the end of the statement") : L"near \"" + At().text + L"\"";
    }
    void ExpectWord(const wchar_t* w)
    {
        if (!TakeWord(w))
            Fail(std::wstring(L"The statement has a syntax error ") + Near() + L": " + w + L" was expected.");
    }
    void ExpectOp(const wchar_t* op)
    {
        if (!TakeOp(op))
            Fail(std::wstring(L"The statement has a syntax error ") + Near() + L": \"" + op + L"\" was expected.");
    }
    bool AtIdent(size_t ahead = 0) const
    {
        const Token& t = At(ahead);
        return t.kind == Tok::Name || (t.kind == Tok::Word && !IsReserved(t.text));
    }
    std::wstring Ident(const wchar_t* what)
    {
        if (!AtIdent())
            Fail(std::wstring(L"The statement has a syntax error ") + Near() + L": " + what + L" was expected.");
        return t_[p_++].text;
    }

    // One more level of nesting for the life of the object; past kMaxNesting
    // the statement is refused before the descent goes deeper.
    class Nesting {
    public:
        explicit Nesting(int& depth, int limit = kMaxNesting) : depth_(depth)
        {
            if (depth_ >= limit)
                Fail(limit == kMaxNesting
                         ? L"Some part of the statement is nested too deeply (more than 64 levels of parentheses, "
                           L"sub-selects, function calls, NOT or signs): rewrite it or break it up into smaller "
                           L"statements."
                         : L"Some part of the statement is nested too deeply (more than 32 levels of sub-selects): "
                           L"rewrite it or break it up into smaller statements.",
                     L"42000", 191);
            ++depth_;
        }
        ~Nesting() { --depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        int& depth_;
    };

    // `value` meets the datetime `date` (compared, inserted or set): SQL
    // Server converts it to datetime, whose type ranks higher. A text literal
    // is read as a date now and written as the text the column keeps; another
    // text expression is read by the connection's function at run time; a
    // number is refused rather than compared with a text.
    static void AsDate(Expr& value, const Expr& date)
    {
        if (date.cat != Cat::Date || value.cat == Cat::Date)
            return;
        if (value.literal) {
            SYSTEMTIME st;
            switch (CheckDateText(value.text.c_str(), value.text.size(), st)) {
            case DateCheck::Malformed:
                Fail(MalformedDateMessage(value.text), L"22007", 241);
            case DateCheck::OutOfRange:
                Fail(OutOfRangeDateMessage(value.text), L"22008", 242);
            default:
                break;
            }
            value.sql = L"'" + FormatDateTime(st) + L"'";
        } else if (value.cat == Cat::Text) {
            value.sql = std::wstring(kDateFunction) + L"(" + value.sql + L")";
        } else if (value.cat == Cat::Number) {
            Fail(L"A date cannot be compared with, or given, a number: write the date as a text such as '19900721' "
                 L"or '1990-07-21 10:30:00'.");
        } else {
            return;  // a parameter (typed from the column), NULL, or a value of unknown type
        }
        value.cat = Cat::Date;
        value.type = DateTimeType();
        value.typed = true;
        value.literal = false;
        value.column = false;
        value.collated = false;
    }

    // Both sides of a comparison: either may be the date.
    static void Dates(Expr& a, Expr& b)
    {
        AsDate(a, b);
        AsDate(b, a);
    }

    // A text expression other than a column: SQL Server gives it the
    // collation of the columns it is made from (or the database's default,
    // for literals), caseless in this database; SQLite would give it none
    // and compare, sort and group it binary.
    static void Caseless(Expr& e)
    {
        if (e.cat != Cat::Text || e.column || e.collated)
            return;
        e.sql = L"(" + e.sql + L") COLLATE CASELESS";
        e.collated = true;
        e.literal = false;
    }

    // A table name: [dbo.]name, or INFORMATION_SCHEMA.COLUMNS.
    std::wstring TableName()
    {
        std::wstring name = Ident(L"a table name");
        while (AtOp(L".") && AtIdent(1)) {
            std::wstring next = At(1).text;
            p_ += 2;
            if (SameWord(name, L"INFORMATION_SCHEMA")) {
                if (!SameWord(next, L"COLUMNS"))
                    Fail(L"Of INFORMATION_SCHEMA only the view COLUMNS is supported.");
                name = kColumnsView;
            } else {
                name = next;  // the owner (dbo) or the database in front is dropped
            }
        }
        if (SameWord(name, L"INFORMATION_SCHEMA"))
            Fail(L"Of INFORMATION_SCHEMA only the view COLUMNS is supported.");
        return name;
    }

    // ---- scopes
    Source MakeSource(const std::wstring& table)
    {
        Source s;
        s.table = table;
        if (schema_)
            schema_->Columns(table, s.columns);
        return s;
    }

    // The column `name` (qualified by `q` when not empty), innermost scope first.
    bool Resolve(const std::wstring& q, const std::wstring& name, std::wstring& table, const ColumnInfo*& info)
    {
        info = nullptr;
        table.clear();
        for (size_t k = scopes_.size(); k-- > 0;) {
            for (const Source& s : scopes_[k]) {
                if (!q.empty() && !SameName(q, s.alias) && !SameName(q, s.table))
                    continue;
                for (const ColumnInfo& c : s.columns)
                    if (SameName(c.name, name)) {
                        table = s.table;
                        info = &c;
                        return true;
                    }
                if (!q.empty()) {
                    table = s.table;
                    return false;
                }
            }
        }
        if (q.empty() && !scopes_.empty() && scopes_.back().size() == 1)
            table = scopes_.back().front().table;
        return false;
    }

    std::vector<std::wstring> AllTables() const
    {
        std::vector<std::wstring> all;
        for (size_t k = scopes_.size(); k-- > 0;)
            for (const Source& s : scopes_[k])
                all.push_back(s.table);
        return all;
    }

    // Records that the parameter `e` meets column `col`.
    void Target(const Expr& e, const Expr& col, bool assigned = false, bool pattern = false)
    {
        if (e.param < 0 || !col.column)
            return;
        ParamTarget& target = out_.paramTargets[static_cast<size_t>(e.param)];
        if (!target.column.empty())
            return;
        target.column = col.name;
        target.tables.clear();
        if (!col.table.empty())
            target.tables.push_back(col.table);
        else
            target.tables = AllTables();
        target.assigned = assigned;
        target.pattern = pattern;
    }

    // ---- SELECT
    // Finds the FROM of the SELECT whose list starts at `from` (same depth), or 0.
    size_t FindFrom(size_t from) const
    {
        int depth = 0;
        for (size_t i = from; i < t_.size(); ++i) {
            const Token& t = t_[i];
            if (t.kind == Tok::End)
                return 0;
            if (t.kind == Tok::Op) {
                if (t.text == L"(")
                    ++depth;
                else if (t.text == L")") {
                    if (--depth < 0)
                        return 0;
                } else if (t.text == L";" && depth == 0)
                    return 0;
            } else if (depth == 0 && t.kind == Tok::Word &&
                       (SameWord(t.text, L"FROM") || SameWord(t.text, L"WHERE") || SameWord(t.text, L"ORDER") ||
                        SameWord(t.text, L"GROUP") || SameWord(t.text, L"UNION"))) {
                return SameWord(t.text, L"FROM") ? i : 0;
            }
        }
        return 0;
    }

    std::wstring Select(std::vector<Expr>* columns = nullptr)
    {
        Nesting nest(depth_);
        Nesting nestSelect(selects_, kMaxSelectNesting);
        ExpectWord(L"SELECT");
        std::wstring sql = L"SELECT ";
        if (TakeWord(L"DISTINCT"))
            sql += L"DISTINCT ";
        else
            TakeWord(L"ALL");
        std::wstring limit;
        if (TakeWord(L"TOP")) {
            bool paren = TakeOp(L"(");
            if (At().kind != Tok::Number)
                Fail(L"TOP takes a number of rows.");
            limit = L" LIMIT " + t_[p_++].text;
            if (paren)
                ExpectOp(L")");
            if (AtWord(L"PERCENT"))
                Fail(L"TOP ... PERCENT is not supported.");
        }

        scopes_.emplace_back();
        size_t listStart = p_;
        size_t from = FindFrom(p_);
        std::wstring fromSql;
        size_t afterFrom = 0;
        if (from) {
            p_ = from + 1;
            fromSql = L" FROM " + TableList();
            afterFrom = p_;
            p_ = listStart;
        }
        std::vector<Expr> items;
        std::wstring list;
        for (;;) {
            if (!list.empty())
                list += L", ";
            if (AtOp(L"*")) {
                ++p_;
                list += L"*";
                Expr star;
                star.sql = L"*";  // as many columns as the tables have: typed from the schema
                items.push_back(star);
            } else if (AtIdent() && AtOp(L".", 1) && AtOp(L"*", 2)) {
                list += QuoteName(At().text) + L".*";
                p_ += 3;
                Expr star;
                star.sql = L"*";
                items.push_back(star);
            } else {
                Expr e = Expression();
                std::wstring plain = e.sql;  // SQLite names an unnamed column by its text
                Caseless(e);
                list += e.sql;
                if (TakeWord(L"AS")) {
                    if (At().kind == Tok::String)
                        list += L" AS " + QuoteName(t_[p_++].text);
                    else
                        list += L" AS " + QuoteName(Ident(L"a column alias"));
                } else if (AtIdent()) {
                    list += L" AS " + QuoteName(Ident(L"a column alias"));
                } else if (e.collated) {
                    list += L" AS " + QuoteName(plain);
                }
                items.push_back(e);
            }
            if (!TakeOp(L","))
                break;
        }
        if (from) {
            if (p_ != from)
                Fail(L"The statement has a syntax error " + Near() + L": FROM was expected.");
            p_ = afterFrom;
        }
        sql += list + fromSql;
        if (TakeWord(L"WHERE"))
            sql += L" WHERE " + Condition();
        if (TakeWord(L"GROUP")) {
            ExpectWord(L"BY");
            sql += L" GROUP BY ";
            for (bool first = true;; first = false) {
                if (!first)
                    sql += L", ";
                Expr e = Expression();
                Caseless(e);
                sql += e.sql;
                if (!TakeOp(L","))
                    break;
            }
        }
        if (TakeWord(L"HAVING"))
            sql += L" HAVING " + Condition();
        if (AtWord(L"UNION") || AtWord(L"EXCEPT") || AtWord(L"INTERSECT"))
            Fail(L"UNION, EXCEPT and INTERSECT are not supported.");
        if (TakeWord(L"ORDER")) {
            ExpectWord(L"BY");
            sql += L" ORDER BY ";
            for (bool first = true;; first = false) {
                if (!first)
                    sql += L", ";
                Expr e = Expression();
                Caseless(e);
                sql += e.sql;
                if (TakeWord(L"DESC"))
                    sql += L" DESC";
                else if (TakeWord(L"ASC"))
                    sql += L" ASC";
                if (!TakeOp(L","))
                    break;
            }
        }
        sql += limit;
        scopes_.pop_back();
        if (columns)
            *columns = std::move(items);
        return sql;
    }

    // FROM list: tables with aliases and joins; adds them to the innermost scope.
    std::wstring TableList()
    {
        std::wstring sql;
        for (;;) {
            sql += TableRef();
            for (;;) {
                std::wstring join;
                if (TakeWord(L"JOIN") || (AtWord(L"INNER") && AtWord(L"JOIN", 1) && (p_ += 2))) {
                    join = L" JOIN ";
                } else if (AtWord(L"LEFT") || AtWord(L"RIGHT") || AtWord(L"FULL")) {
                    std::wstring side = SameWord(At().text, L"LEFT") ? L"LEFT" : SameWord(At().text, L"RIGHT") ? L"RIGHT" : L"FULL";
                    ++p_;
                    TakeWord(L"OUTER");
                    ExpectWord(L"JOIN");
                    join = L" " + side + L" JOIN ";
                } else if (AtWord(L"CROSS") && AtWord(L"JOIN", 1)) {
                    p_ += 2;
                    sql += L" CROSS JOIN " + TableRef();
                    continue;
                } else {
                    break;
                }
                sql += join + TableRef();
                ExpectWord(L"ON");
                sql += L" ON " + Condition();
            }
            if (!TakeOp(L","))
                break;
            sql += L", ";
        }
        return sql;
    }

    std::wstring TableRef()
    {
        if (AtOp(L"("))
            Fail(L"Sub-selects in FROM are not supported: name a table.");
        std::wstring table = TableName();
        Source s = MakeSource(table);
        std::wstring sql = QuoteName(table);
        if (TakeWord(L"AS") || AtIdent()) {
            s.alias = Ident(L"a table alias");
            sql += L" AS " + QuoteName(s.alias);
        }
        if (TakeWord(L"WITH")) {
            // Table hints such as WITH (NOLOCK) mean nothing to SQLite.
            ExpectOp(L"(");
            while (!AtOp(L")") && At().kind != Tok::End)
                ++p_;
            ExpectOp(L")");
        }
        scopes_.back().push_back(std::move(s));
        return sql;
    }

    // ---- INSERT, UPDATE, DELETE
    std::wstring Insert()
    {
        ExpectWord(L"INSERT");
        TakeWord(L"INTO");
        std::wstring table = TableName();
        out_.insertTable = table;
        scopes_.emplace_back();
        scopes_.back().push_back(MakeSource(table));
        std::wstring sql = L"INSERT INTO " + QuoteName(table);
        std::vector<Expr> columns;
        if (TakeOp(L"(")) {
            sql += L" (";
            for (bool first = true;; first = false) {
                std::wstring name = Ident(L"a column name");
                if (!first)
                    sql += L", ";
                sql += QuoteName(name);
                Expr c;
                c.column = true;
                c.name = name;
                c.table = table;
                for (const ColumnInfo& info : scopes_.back().front().columns)
                    if (SameName(info.name, name) && info.typeKnown) {
                        c.type = info.type;
                        c.typed = true;
                        c.cat = CatOf(info.type);
                    }
                columns.push_back(c);
                out_.insertColumns.push_back(name);
                if (!TakeOp(L","))
                    break;
            }
            ExpectOp(L")");
            sql += L")";
        }
        if (TakeWord(L"VALUES")) {
            if (columns.empty())
                Fail(L"An INSERT with VALUES must name its columns.");
            ExpectOp(L"(");
            sql += L" VALUES (";
            for (size_t i = 0;; ++i) {
                if (i > 0)
                    sql += L", ";
                if (AtWord(L"DEFAULT"))
                    Fail(L"DEFAULT in a VALUES list is not supported: leave the column out.");
                Expr e = Expression();
                if (i < columns.size()) {
                    Target(e, columns[i], true);
                    AsDate(e, columns[i]);
                }
                sql += e.sql;
                if (!TakeOp(L","))
                    break;
            }
            ExpectOp(L")");
            sql += L")";
        } else if (AtWord(L"SELECT")) {
            sql += L" " + Select();
        } else if (TakeWord(L"DEFAULT")) {
            ExpectWord(L"VALUES");
            sql += L" DEFAULT VALUES";
        } else {
            Fail(L"The statement has a syntax error " + Near() + L": VALUES or SELECT was expected.");
        }
        scopes_.pop_back();
        return sql;
    }

    std::wstring Update()
    {
        ExpectWord(L"UPDATE");
        std::wstring table = TableName();
        scopes_.emplace_back();
        scopes_.back().push_back(MakeSource(table));
        ExpectWord(L"SET");
        std::wstring sql = L"UPDATE " + QuoteName(table) + L" SET ";
        for (bool first = true;; first = false) {
            if (!first)
                sql += L", ";
            Expr col = Primary();
            if (!col.column)
                Fail(L"The statement has a syntax error " + Near() + L": a column to set was expected.");
            ExpectOp(L"=");
            Expr value = Expression();
            Target(value, col, true);
            AsDate(value, col);
            sql += QuoteName(col.name) + L"=" + value.sql;
            if (!TakeOp(L","))
                break;
        }
        if (AtWord(L"FROM"))
            Fail(L"UPDATE ... FROM is not supported: use a sub-select in WHERE.");
        if (TakeWord(L"WHERE"))
            sql += L" WHERE " + Condition();
        scopes_.pop_back();
        return sql;
    }

    std::wstring Delete()
    {
        ExpectWord(L"DELETE");
        TakeWord(L"FROM");
        std::wstring table = TableName();
        scopes_.emplace_back();
        scopes_.back().push_back(MakeSource(table));
        std::wstring sql = L"DELETE FROM " + QuoteName(table);
        if (TakeWord(L"WHERE"))
            sql += L" WHERE " + Condition();
        scopes_.pop_back();
        return sql;
    }

    // ---- conditions and expressions
    std::wstring Condition() { return Or().sql; }

    Expr Or()
    {
        Expr left = And();
        while (TakeWord(L"OR")) {
            Expr right = And();
            left = Boolean(left.sql + L" OR " + right.sql);
        }
        return left;
    }

    Expr And()
    {
        Expr left = Not();
        while (TakeWord(L"AND")) {
            Expr right = Not();
            left = Boolean(left.sql + L" AND " + right.sql);
        }
        return left;
    }

    Expr Not()
    {
        if (TakeWord(L"NOT")) {
            Nesting nest(depth_);
            return Boolean(L"NOT " + Not().sql);
        }
        return Predicate();
    }

    static Expr Boolean(const std::wstring& sql)
    {
        Expr e;
        e.sql = sql;
        e.cat = Cat::Number;
        e.type = IntegerType();
        return e;
    }

    Expr Predicate()
    {
        if (TakeWord(L"EXISTS")) {
            ExpectOp(L"(");
            std::wstring sub = Select();
            ExpectOp(L")");
            return Boolean(L"EXISTS (" + sub + L")");
        }
        Expr left = Additive();
        static const wchar_t* const comparisons[] = {L"=", L"<>", L"!=", L"<", L">", L"<=", L">=", L"!<", L"!>"};
        for (const wchar_t* op : comparisons) {
            if (!AtOp(op))
                continue;
            ++p_;
            Expr right = Additive();
            Target(left, right);
            Target(right, left);
            Dates(left, right);
            if (IsText(left) || IsText(right)) {
                Caseless(left);
                Caseless(right);
            }
            std::wstring o = op;
            if (o == L"!=")
                o = L"<>";
            else if (o == L"!<")
                o = L">=";
            else if (o == L"!>")
                o = L"<=";
            return Boolean(left.sql + L" " + o + L" " + right.sql);
        }
        bool negated = false;
        if (AtWord(L"NOT") && (AtWord(L"LIKE", 1) || AtWord(L"IN", 1) || AtWord(L"BETWEEN", 1))) {
            negated = true;
            ++p_;
        }
        std::wstring notText = negated ? L" NOT" : L"";
        if (TakeWord(L"LIKE")) {
            if (left.cat == Cat::Date)
                Fail(L"LIKE does not apply to dates here: compare the date with = , <, > or BETWEEN and dates "
                     L"written as '19900721'.");
            Expr pattern = Additive();
            Target(pattern, left, false, true);
            std::wstring sql = left.sql + notText + L" LIKE " + pattern.sql;
            if (TakeWord(L"ESCAPE")) {
                Expr escape = Additive();
                sql += L" ESCAPE " + escape.sql;
            }
            return Boolean(sql);
        }
        if (TakeWord(L"IN")) {
            ExpectOp(L"(");
            Caseless(left);
            std::wstring sql = left.sql + notText + L" IN (";
            if (AtWord(L"SELECT")) {
                sql += Select();
            } else {
                for (bool first = true;; first = false) {
                    if (!first)
                        sql += L", ";
                    Expr item = Additive();
                    Target(item, left);
                    AsDate(item, left);
                    Caseless(item);
                    sql += item.sql;
                    if (!TakeOp(L","))
                        break;
                }
            }
            ExpectOp(L")");
            return Boolean(sql + L")");
        }
        if (TakeWord(L"BETWEEN")) {
            Expr low = Additive();
            ExpectWord(L"AND");
            Expr high = Additive();
            Target(low, left);
            Target(high, left);
            Dates(left, low);
            Dates(left, high);
            Dates(low, high);
            if (IsText(left) || IsText(low) || IsText(high)) {
                Caseless(left);
                Caseless(low);
                Caseless(high);
            }
            return Boolean(left.sql + notText + L" BETWEEN " + low.sql + L" AND " + high.sql);
        }
        if (negated)
            Fail(L"The statement has a syntax error " + Near() + L".");
        if (TakeWord(L"IS")) {
            bool isNot = TakeWord(L"NOT");
            ExpectWord(L"NULL");
            return Boolean(left.sql + (isNot ? L" IS NOT NULL" : L" IS NULL"));
        }
        return left;
    }

    static bool IsText(const Expr& e) { return e.cat == Cat::Text; }

    // A number literal other than 0 (a divisor that needs no check).
    static bool IsNonZeroNumber(const Expr& e)
    {
        if (e.cat != Cat::Number || e.column || e.sql.empty() || !iswdigit(e.sql[0]))
            return false;
        for (wchar_t c : e.sql)
            if (!iswdigit(c) && c != L'.' && c != L'e' && c != L'E' && c != L'+' && c != L'-')
                return false;
        return wcstod(e.sql.c_str(), nullptr) != 0;
    }

    Expr Additive()
    {
        Expr left = Multiplicative();
        for (;;) {
            std::wstring op;
            if (AtOp(L"+") || AtOp(L"-") || AtOp(L"||"))
                op = t_[p_++].text;
            else
                break;
            Expr right = Multiplicative();
            Expr e;
            if (left.cat == Cat::Date || right.cat == Cat::Date)
                Fail(L"Arithmetic on dates is not supported.");
            if (op == L"||" || (op == L"+" && (IsText(left) || IsText(right)))) {
                // Text + text is concatenation, typed as a text as long as both together.
                if (left.param >= 0 && !out_.paramTyped[static_cast<size_t>(left.param)]) {
                    out_.paramTypes[static_cast<size_t>(left.param)] = TextType(4000);
                    out_.paramTyped[static_cast<size_t>(left.param)] = true;
                }
                if (right.param >= 0 && !out_.paramTyped[static_cast<size_t>(right.param)]) {
                    out_.paramTypes[static_cast<size_t>(right.param)] = TextType(4000);
                    out_.paramTyped[static_cast<size_t>(right.param)] = true;
                }
                e.sql = L"(" + left.sql + L" || " + right.sql + L")";
                e.cat = Cat::Text;
                DBLENGTH a = left.typed && IsText(left) ? left.type.size : 4000;
                DBLENGTH b = right.typed && IsText(right) ? right.type.size : 4000;
                e.type = TextType(a + b > 4000 ? 4000 : a + b);
                e.typed = true;
            } else {
                e.sql = L"(" + left.sql + L" " + op + L" " + right.sql + L")";
                e.cat = Cat::Number;
                if (left.typed && right.typed && left.cat == Cat::Number && right.cat == Cat::Number) {
                    bool real = left.type.type == DBTYPE_R8 || left.type.type == DBTYPE_R4 ||
                                right.type.type == DBTYPE_R8 || right.type.type == DBTYPE_R4;
                    e.type = real ? FloatType() : IntegerType();
                    e.typed = true;
                }
                if (left.cat == Cat::Date || right.cat == Cat::Date)
                    Fail(L"Arithmetic on dates is not supported.");
            }
            left = e;
        }
        return left;
    }

    Expr Multiplicative()
    {
        Expr left = Unary();
        while (AtOp(L"*") || AtOp(L"/") || AtOp(L"%")) {
            std::wstring op = t_[p_++].text;
            Expr right = Unary();
            Expr e;
            // A divisor other than a number written as one that is not 0 is checked at run time.
            const bool checked = op != L"*" && !IsNonZeroNumber(right);
            e.sql = left.sql + L" " + op + L" " +
                    (checked ? std::wstring(kDivisorFunction) + L"(" + right.sql + L")" : right.sql);
            e.cat = Cat::Number;
            if (left.typed && right.typed && left.cat == Cat::Number && right.cat == Cat::Number) {
                bool real = left.type.type == DBTYPE_R8 || left.type.type == DBTYPE_R4 ||
                            right.type.type == DBTYPE_R8 || right.type.type == DBTYPE_R4;
                e.type = real ? FloatType() : IntegerType();
                e.typed = true;
            }
            left = e;
        }
        return left;
    }

    Expr Unary()
    {
        if (AtOp(L"-") || AtOp(L"+")) {
            Nesting nest(depth_);
            std::wstring op = t_[p_++].text;
            Expr e = Unary();
            // Apart: "-" before "-1" must not make the comment "--1".
            e.sql = op + L" " + e.sql;
            e.column = false;
            e.param = -1;
            e.literal = false;
            return e;
        }
        return Primary();
    }

    Expr Primary()
    {
        const Token& t = At();
        Expr e;
        switch (t.kind) {
        case Tok::Number:
            ++p_;
            e.sql = t.text;
            e.cat = Cat::Number;
            e.type = t.text.find_first_of(L".eE") == std::wstring::npos ? IntegerType() : FloatType();
            e.typed = true;
            return e;
        case Tok::String: {
            ++p_;
            e.sql = L"'";
            for (wchar_t c : t.text) {
                e.sql += c;
                if (c == L'\'')
                    e.sql += c;
            }
            e.sql += L"'";
            e.cat = Cat::Text;
            e.type = TextType(t.text.empty() ? 1 : t.text.size());
            e.typed = true;
            e.literal = true;
            e.text = t.text;
            return e;
        }
        case Tok::Param:
            e.param = ordinals_[p_];
            ++p_;
            e.sql = L"?";
            e.cat = Cat::Param;
            return e;
        case Tok::Op:
            if (t.text == L"(") {
                Nesting nest(depth_);
                ++p_;
                if (AtWord(L"SELECT")) {
                    std::vector<Expr> columns;
                    e.sql = L"(" + Select(&columns) + L")";
                    if (!columns.empty() && columns.front().typed) {
                        e.type = columns.front().type;
                        e.typed = true;
                        e.cat = CatOf(e.type);
                    } else if (!columns.empty()) {
                        e.cat = columns.front().cat;
                    }
                } else {
                    Expr inner = Or();
                    e = inner;
                    e.sql = L"(" + inner.sql + L")";
                }
                ExpectOp(L")");
                return e;
            }
            break;
        case Tok::Word:
            if (SameWord(t.text, L"NULL")) {
                ++p_;
                e.sql = L"NULL";
                e.cat = Cat::Null;
                return e;
            }
            if (AtOp(L"(", 1))
                return Function();
            if (SameWord(t.text, L"CASE"))
                Fail(L"CASE expressions are not supported.");
            if (t.text.compare(0, 2, L"@@") == 0)
                Fail(Upper(t.text) + L" is not supported by the database provider.");
            if (t.text[0] == L'@')
                Fail(L"Variables such as " + t.text +
                     L" are not supported by the database provider: pass values as parameters (?).");
            break;
        default:
            break;
        }
        if (!AtIdent())
            Fail(L"The statement has a syntax error " + Near() + L": a value or a column was expected.");
        // A column: name, or qualifier.name (an owner in front is dropped).
        std::vector<std::wstring> parts;
        parts.push_back(Ident(L"a column name"));
        while (AtOp(L".") && AtIdent(1)) {
            parts.push_back(At(1).text);
            p_ += 2;
        }
        if (parts.size() > 3)
            Fail(L"The column name \"" + parts.back() + L"\" has too many qualifiers.");
        std::wstring q = parts.size() >= 2 ? parts[parts.size() - 2] : std::wstring();
        e.name = parts.back();
        e.column = true;
        const ColumnInfo* info = nullptr;
        Resolve(q, e.name, e.table, info);
        e.sql = q.empty() ? QuoteName(e.name) : QuoteName(q) + L"." + QuoteName(e.name);
        if (info && info->typeKnown) {
            e.type = info->type;
            e.typed = true;
            e.cat = CatOf(info->type);
        }
        return e;
    }

    Expr Function()
    {
        Nesting nest(depth_);
        std::wstring name = t_[p_].text;
        static const wchar_t* const conversions[] = {L"CAST", L"CONVERT", L"TRY_CAST", L"TRY_CONVERT", L"PARSE"};
        for (const wchar_t* c : conversions)
            if (SameWord(name, c))
                Fail(std::wstring(c) + L" is not supported by the database provider: compare and read values in "
                                       L"their own types.");
        p_ += 2;  // the name and "("
        Expr e;
        std::vector<Expr> args;
        if (SameWord(name, L"COUNT")) {
            if (TakeOp(L"*")) {
                e.sql = L"count(*)";
            } else {
                bool distinct = TakeWord(L"DISTINCT");
                Expr a = Expression();
                Caseless(a);
                e.sql = std::wstring(L"count(") + (distinct ? L"DISTINCT " : L"") + a.sql + L")";
            }
            ExpectOp(L")");
            e.cat = Cat::Number;
            e.type = IntegerType();
            e.typed = true;
            return e;
        }
        const bool aggregate = SameWord(name, L"MIN") || SameWord(name, L"MAX") || SameWord(name, L"SUM") ||
                               SameWord(name, L"AVG");
        if (!AtOp(L")")) {
            bool distinct = TakeWord(L"DISTINCT");
            for (;;) {
                args.push_back(Expression());
                if (aggregate)
                    Caseless(args.back());  // MIN, MAX and DISTINCT compare the texts
                if (!TakeOp(L","))
                    break;
            }
            if (distinct)
                args.front().sql = L"DISTINCT " + args.front().sql;
        }
        ExpectOp(L")");
        auto joined = [&]() {
            std::wstring s;
            for (size_t i = 0; i < args.size(); ++i)
                s += (i ? L", " : L"") + args[i].sql;
            return s;
        };
        auto arity = [&](size_t n) {
            if (args.size() != n)
                Fail(L"The function " + name + L" takes " + (n == 0 ? L"no arguments." : n == 1 ? L"one argument." : L"two arguments."));
        };
        if (SameWord(name, L"GETDATE")) {
            arity(0);
            e.sql = L"getdate()";
            e.cat = Cat::Date;
            e.type = DateTimeType();
            e.typed = true;
        } else if (SameWord(name, L"DATALENGTH")) {
            arity(1);
            // A datetime takes 8 bytes in SQL Server, whatever text the database keeps for it.
            e.sql = args[0].cat == Cat::Date ? L"(CASE WHEN " + args[0].sql + L" IS NULL THEN NULL ELSE 8 END)"
                                             : L"datalength(" + args[0].sql + L")";
            e.cat = Cat::Number;
            e.type = IntegerType();
            e.typed = true;
        } else if (SameWord(name, L"LEN")) {
            arity(1);
            NotOfDate(name, args[0]);
            e.sql = L"length(rtrim(" + args[0].sql + L", ' '))";
            e.cat = Cat::Number;
            e.type = IntegerType();
            e.typed = true;
        } else if (SameWord(name, L"MIN") || SameWord(name, L"MAX") || SameWord(name, L"SUM")) {
            arity(1);
            e = args[0];
            e.column = false;
            e.param = -1;
            e.literal = false;
            e.collated = false;
            std::wstring lower = SameWord(name, L"MIN") ? L"min" : SameWord(name, L"MAX") ? L"max" : L"sum";
            e.sql = lower + L"(" + args[0].sql + L")";
        } else if (SameWord(name, L"AVG")) {
            arity(1);
            const Expr& a = args[0];
            if (a.typed && a.type.type == DBTYPE_BOOL)
                Fail(L"AVG is not defined for a bit column (SQL Server refuses it): average an int column.", L"42000",
                     8117);
            e.cat = Cat::Number;
            e.typed = true;
            if (a.typed && a.cat == Cat::Number && IsIntegerType(a.type.type)) {
                // SQL Server averages integers in integer arithmetic: the
                // argument's type (int, or bigint), truncated toward zero.
                e.sql = L"(sum(" + a.sql + L") / count(" + a.sql + L"))";
                e.type = a.type.type == DBTYPE_I8 ? BigIntType() : IntegerType();
            } else {
                e.sql = L"avg(" + a.sql + L")";
                e.type = FloatType();
            }
        } else if (SameWord(name, L"ISNULL") || SameWord(name, L"COALESCE")) {
            if (args.size() < 2 || (SameWord(name, L"ISNULL") && args.size() != 2))
                Fail(L"The function " + name + L" takes two arguments.");
            // The result takes the type that ranks highest: a date when one argument is.
            for (const Expr& date : args)
                for (Expr& other : args)
                    AsDate(other, date);
            e.sql = L"coalesce(" + joined() + L")";
            e.cat = args[0].cat;
            e.type = args[0].type;
            e.typed = args[0].typed;
        } else if (SameWord(name, L"ABS")) {
            arity(1);
            e = args[0];
            e.column = false;
            e.param = -1;
            e.literal = false;
            e.collated = false;
            e.sql = L"abs(" + args[0].sql + L")";
        } else if (SameWord(name, L"LTRIM") || SameWord(name, L"RTRIM")) {
            arity(1);
            NotOfDate(name, args[0]);
            e = args[0];
            e.column = false;
            e.param = -1;
            e.literal = false;
            e.collated = false;
            e.sql = (SameWord(name, L"LTRIM") ? L"ltrim(" : L"rtrim(") + args[0].sql + L", ' ')";
        } else {
            Fail(L"The function " + name + L" is not supported by the database provider.");
        }
        return e;
    }

    Expr Expression() { return Additive(); }

    // The text functions would see the text the database keeps for a date,
    // not SQL Server's text of it.
    static void NotOfDate(const std::wstring& function, const Expr& argument)
    {
        if (argument.cat == Cat::Date)
            Fail(L"The function " + Upper(function) + L" does not apply to a date here: compare the date itself.");
    }

    // ---- DDL
    struct ColumnDef {
        std::wstring name;
        std::wstring type;      // SQLite declared type
        bool text = false;
        bool date = false;
        DBLENGTH length = 0;    // declared length of a text; 0: unlimited
        bool identity = false;
        bool primaryKey = false;
        std::wstring primaryKeyName;
        bool notNull = false;
        std::wstring constraints;  // everything after the type but the primary key
    };

    // Type name with its arguments, SQL Server's spelling; fills the column's type.
    void ColumnType(ColumnDef& c)
    {
        std::wstring name = Ident(L"a column type");
        std::wstring lower;
        for (wchar_t ch : name)
            lower += static_cast<wchar_t>(towlower(ch));
        long args[2] = {-1, -1};
        bool max = false;
        if (TakeOp(L"(")) {
            for (int i = 0; i < 2; ++i) {
                if (At().kind == Tok::Number)
                    args[i] = wcstol(t_[p_++].text.c_str(), nullptr, 10);
                else if (AtWord(L"MAX"))
                    max = (++p_, true);
                else
                    Fail(L"The size of type " + name + L" is not a number.");
                if (!TakeOp(L","))
                    break;
            }
            ExpectOp(L")");
        }
        wchar_t buf[64];
        if (lower == L"int" || lower == L"integer" || lower == L"bigint" || lower == L"smallint" ||
            lower == L"tinyint" || lower == L"bit" || lower == L"real" || lower == L"datetime" ||
            lower == L"smalldatetime") {
            c.type = lower == L"integer" ? L"int" : lower;
            c.date = lower == L"datetime" || lower == L"smalldatetime";
        } else if (lower == L"float") {
            c.type = L"float";
            if (args[0] > 0) {
                _snwprintf(buf, 63, L"float(%ld)", args[0]);
                buf[63] = 0;
                c.type = buf;
            }
        } else if (lower == L"nchar" || lower == L"char" || lower == L"nvarchar" || lower == L"varchar") {
            c.text = true;
            if (max) {
                c.type = lower + L"(max)";
            } else {
                long n = args[0] > 0 ? args[0] : 1;
                if (n > 4000 && lower[0] == L'n')
                    Fail(L"The length of column " + c.name + L" is larger than 4000 characters: use ntext.");
                _snwprintf(buf, 63, L"(%ld)", n);
                buf[63] = 0;
                c.type = lower + buf;
                c.length = static_cast<DBLENGTH>(n);
            }
        } else if (lower == L"ntext" || lower == L"text") {
            c.text = true;
            c.type = lower;
        } else {
            Fail(L"The column type " + name + L" is not supported by the database provider.");
        }
    }

    // DEFAULT value: a constant or GETDATE(), in parentheses or not; a text
    // for a datetime column is read as a date.
    std::wstring DefaultValue(bool adding, bool date)
    {
        int parens = 0;
        while (TakeOp(L"("))
            ++parens;
        std::wstring value;
        if (AtWord(L"GETDATE") && AtOp(L"(", 1) && AtOp(L")", 2)) {
            if (adding)
                Fail(L"A column added to a table cannot default to GETDATE().");
            p_ += 3;
            value = L"(getdate())";
        } else {
            bool negative = TakeOp(L"-");
            if (At().kind == Tok::Number)
                value = (negative ? L"-" : L"") + t_[p_++].text;
            else if (!negative && At().kind == Tok::String) {
                Expr text = Primary();
                if (date) {
                    Expr column;
                    column.cat = Cat::Date;
                    AsDate(text, column);
                }
                value = text.sql;
            }
            else if (!negative && TakeWord(L"NULL"))
                value = L"NULL";
            else
                Fail(L"A DEFAULT must be a number, a text, NULL or GETDATE().");
        }
        for (int i = 0; i < parens; ++i)
            ExpectOp(L")");
        return value;
    }

    std::wstring ColumnList()
    {
        ExpectOp(L"(");
        std::wstring sql = L"(";
        for (bool first = true;; first = false) {
            if (!first)
                sql += L", ";
            sql += QuoteName(Ident(L"a column name"));
            if (TakeWord(L"DESC"))
                sql += L" DESC";
            else
                TakeWord(L"ASC");
            if (!TakeOp(L","))
                break;
        }
        ExpectOp(L")");
        return sql + L")";
    }

    void SkipStorage()
    {
        // CLUSTERED / NONCLUSTERED, ON [PRIMARY] and WITH FILLFACTOR = n are storage matters.
        for (;;) {
            if (TakeWord(L"CLUSTERED") || TakeWord(L"NONCLUSTERED"))
                continue;
            if (AtWord(L"ON") && AtIdent(1) && !AtOp(L"(", 2)) {
                p_ += 2;
                continue;
            }
            if (AtWord(L"WITH") && AtWord(L"FILLFACTOR", 1)) {
                p_ += 2;
                ExpectOp(L"=");
                if (At().kind != Tok::Number)
                    Fail(L"FILLFACTOR takes a number.");
                ++p_;
                continue;
            }
            break;
        }
    }

    std::wstring References()
    {
        std::wstring table = TableName();
        std::wstring sql = L" REFERENCES " + QuoteName(table);
        if (AtOp(L"("))
            sql += L" " + ColumnList();
        if (AtWord(L"ON") && (AtWord(L"DELETE", 1) || AtWord(L"UPDATE", 1))) {
            std::wstring what = SameWord(At(1).text, L"DELETE") ? L" ON DELETE " : L" ON UPDATE ";
            p_ += 2;
            if (TakeWord(L"CASCADE"))
                sql += what + L"CASCADE";
            else if (TakeWord(L"NO")) {
                ExpectWord(L"ACTION");
                sql += what + L"NO ACTION";
            } else
                Fail(L"ON DELETE and ON UPDATE take CASCADE or NO ACTION.");
        }
        return sql;
    }

    ColumnDef ColumnDefinition(bool adding)
    {
        ColumnDef c;
        c.name = Ident(L"a column name");
        ColumnType(c);
        for (;;) {
            std::wstring constraintName;
            if (TakeWord(L"CONSTRAINT"))
                constraintName = Ident(L"a constraint name");
            std::wstring named = constraintName.empty() ? L"" : L" CONSTRAINT " + QuoteName(constraintName);
            if (TakeWord(L"IDENTITY")) {
                if (TakeOp(L"(")) {
                    bool ok = At().kind == Tok::Number && At().text == L"1" && AtOp(L",", 1) &&
                              At(2).kind == Tok::Number && At(2).text == L"1" && AtOp(L")", 3);
                    if (!ok)
                        Fail(L"Only IDENTITY (1, 1) is supported.");
                    p_ += 4;
                }
                if (c.type != L"int")
                    Fail(L"An IDENTITY column must be of type int.");
                c.identity = true;
            } else if (TakeWord(L"NOT")) {
                ExpectWord(L"NULL");
                c.notNull = true;
            } else if (TakeWord(L"NULL")) {
                // nullable is the default
            } else if (TakeWord(L"PRIMARY")) {
                ExpectWord(L"KEY");
                SkipStorage();
                c.primaryKey = true;
                c.primaryKeyName = constraintName;
            } else if (TakeWord(L"UNIQUE")) {
                SkipStorage();
                c.constraints += named + L" UNIQUE";
            } else if (TakeWord(L"DEFAULT")) {
                c.constraints += named + L" DEFAULT " + DefaultValue(adding, c.date);
            } else if (TakeWord(L"REFERENCES")) {
                c.constraints += named + References();
            } else if (TakeWord(L"FOREIGN")) {
                ExpectWord(L"KEY");
                ExpectWord(L"REFERENCES");
                c.constraints += named + References();
            } else if (TakeWord(L"CHECK")) {
                Fail(L"CHECK constraints are not supported.");
            } else {
                if (!constraintName.empty())
                    Fail(L"The constraint " + constraintName + L" names no rule.");
                break;
            }
        }
        return c;
    }

    // The SQLite text of a column.
    std::wstring ColumnText(const ColumnDef& c, const std::wstring& table)
    {
        std::wstring sql = QuoteName(c.name) + L" ";
        if (c.identity) {
            // The rowid with AUTOINCREMENT: keys only grow, even past deleted rows.
            sql += L"INTEGER";
            if (!c.primaryKeyName.empty())
                sql += L" CONSTRAINT " + QuoteName(c.primaryKeyName);
            sql += L" PRIMARY KEY AUTOINCREMENT NOT NULL";
        } else {
            sql += c.type;
            if (c.primaryKey) {
                if (!c.primaryKeyName.empty())
                    sql += L" CONSTRAINT " + QuoteName(c.primaryKeyName);
                sql += L" PRIMARY KEY";
            }
            if (c.notNull || c.primaryKey)
                sql += L" NOT NULL";
        }
        if (c.text)
            sql += L" COLLATE CASELESS";
        sql += c.constraints;
        std::wstring q = QuoteName(c.name);
        if (c.text && c.length > 0) {
            wchar_t n[16];
            _snwprintf(n, 15, L"%lu", static_cast<unsigned long>(c.length));
            n[15] = 0;
            sql += L" CONSTRAINT " + QuoteName(L"zelk_length:" + table + L"." + c.name + L":" + n) + L" CHECK (length(" +
                   q + L") <= " + n + L")";
        }
        if (c.date)
            sql += L" CONSTRAINT " + QuoteName(L"zelk_date:" + table + L"." + c.name) + L" CHECK (" + q +
                   L" IS NULL OR (length(" + q + L") = 23 AND " + q + L" BETWEEN '1753-01-01' AND '9999-12-31 23:59:59.999'))";
        return sql;
    }

    std::wstring Create()
    {
        ExpectWord(L"CREATE");
        bool unique = TakeWord(L"UNIQUE");
        while (TakeWord(L"CLUSTERED") || TakeWord(L"NONCLUSTERED")) {
        }
        if (TakeWord(L"INDEX")) {
            std::wstring index = Ident(L"an index name");
            ExpectWord(L"ON");
            std::wstring table = TableName();
            std::wstring sql = std::wstring(L"CREATE ") + (unique ? L"UNIQUE " : L"") + L"INDEX " + QuoteName(index) +
                               L" ON " + QuoteName(table) + L" " + ColumnList();
            SkipStorage();
            return sql;
        }
        if (unique)
            Fail(L"CREATE UNIQUE must be followed by INDEX.");
        if (!TakeWord(L"TABLE")) {
            if (AtWord(L"PROCEDURE") || AtWord(L"PROC") || AtWord(L"VIEW") || AtWord(L"TRIGGER"))
                Fail(L"Stored procedures, views and triggers cannot be created: the database provider has its own "
                     L"procedures.");
            Fail(L"The statement has a syntax error " + Near() + L": TABLE or INDEX was expected.");
        }
        std::wstring table = TableName();
        ExpectOp(L"(");
        std::vector<ColumnDef> columns;
        std::vector<std::wstring> tableConstraints;
        std::vector<std::wstring> tablePrimaryKey;
        std::wstring tablePrimaryKeyName;
        for (;;) {
            std::wstring constraintName;
            bool isConstraint = false;
            if (TakeWord(L"CONSTRAINT")) {
                constraintName = Ident(L"a constraint name");
                isConstraint = true;
            }
            std::wstring named = constraintName.empty() ? L"" : L"CONSTRAINT " + QuoteName(constraintName) + L" ";
            if (AtWord(L"PRIMARY") && AtWord(L"KEY", 1)) {
                p_ += 2;
                SkipStorage();
                ExpectOp(L"(");
                for (;;) {
                    tablePrimaryKey.push_back(Ident(L"a column name"));
                    TakeWord(L"ASC");
                    if (!TakeOp(L","))
                        break;
                }
                ExpectOp(L")");
                tablePrimaryKeyName = constraintName;
                SkipStorage();
            } else if (TakeWord(L"UNIQUE")) {
                SkipStorage();
                tableConstraints.push_back(named + L"UNIQUE " + ColumnList());
                SkipStorage();
            } else if (AtWord(L"FOREIGN") && AtWord(L"KEY", 1)) {
                p_ += 2;
                std::wstring cols = ColumnList();
                ExpectWord(L"REFERENCES");
                tableConstraints.push_back(named + L"FOREIGN KEY " + cols + References());
            } else if (AtWord(L"CHECK")) {
                Fail(L"CHECK constraints are not supported.");
            } else if (isConstraint) {
                Fail(L"The constraint " + constraintName + L" names no rule.");
            } else {
                columns.push_back(ColumnDefinition(false));
            }
            if (!TakeOp(L","))
                break;
            if (AtOp(L")"))
                break;  // a comma before the closing parenthesis
        }
        ExpectOp(L")");
        SkipStorage();
        if (AtWord(L"TEXTIMAGE_ON") && AtIdent(1))
            p_ += 2;

        // The primary key: on a column, or as a table constraint.
        int keys = 0;
        for (const ColumnDef& c : columns)
            keys += c.primaryKey ? 1 : 0;
        if (keys > 1 || (keys == 1 && !tablePrimaryKey.empty()))
            Fail(L"The table " + table + L" has more than one primary key.");
        if (tablePrimaryKey.size() == 1) {
            for (ColumnDef& c : columns)
                if (SameName(c.name, tablePrimaryKey[0])) {
                    c.primaryKey = true;
                    c.primaryKeyName = tablePrimaryKeyName;
                    tablePrimaryKey.clear();
                }
        }
        if (!tablePrimaryKey.empty()) {
            std::wstring pk = tablePrimaryKeyName.empty() ? L"" : L"CONSTRAINT " + QuoteName(tablePrimaryKeyName) + L" ";
            pk += L"PRIMARY KEY (";
            for (size_t i = 0; i < tablePrimaryKey.size(); ++i)
                pk += (i ? L", " : L"") + QuoteName(tablePrimaryKey[i]);
            tableConstraints.insert(tableConstraints.begin(), pk + L")");
        }
        std::wstring sql = L"CREATE TABLE " + QuoteName(table) + L" (";
        bool first = true;
        int identities = 0;
        for (const ColumnDef& c : columns) {
            if (c.identity) {
                ++identities;
                if (!c.primaryKey)
                    Fail(L"The IDENTITY column " + c.name + L" must be the primary key of table " + table + L".");
            }
            sql += (first ? L"" : L", ") + ColumnText(c, table);
            first = false;
        }
        if (identities > 1)
            Fail(L"The table " + table + L" has more than one IDENTITY column.");
        if (columns.empty())
            Fail(L"The table " + table + L" has no columns.");
        for (const std::wstring& c : tableConstraints)
            sql += L", " + c;
        return sql + L")";
    }

    std::wstring Alter()
    {
        ExpectWord(L"ALTER");
        ExpectWord(L"TABLE");
        std::wstring table = TableName();
        ExpectWord(L"ADD");
        TakeWord(L"COLUMN");
        ColumnDef c = ColumnDefinition(true);
        if (c.identity || c.primaryKey)
            Fail(L"A column added to a table cannot be an IDENTITY or a primary key.");
        if (AtOp(L","))
            Fail(L"Add one column at a time.");
        return L"ALTER TABLE " + QuoteName(table) + L" ADD COLUMN " + ColumnText(c, table);
    }

    std::wstring Drop()
    {
        ExpectWord(L"DROP");
        if (TakeWord(L"TABLE"))
            return L"DROP TABLE " + QuoteName(TableName());
        if (TakeWord(L"INDEX")) {
            std::wstring name = TableName();  // t.index: the index name comes last
            return L"DROP INDEX " + QuoteName(name);
        }
        Fail(L"Only DROP TABLE and DROP INDEX are supported.");
    }

    // ---- statements the provider runs itself
    void IdentityInsert()
    {
        ExpectWord(L"SET");
        if (!TakeWord(L"IDENTITY_INSERT"))
            Fail(L"Of the SET statements only SET IDENTITY_INSERT is supported.");
        out_.identityTable = TableName();
        if (TakeWord(L"ON"))
            out_.identityOn = true;
        else if (TakeWord(L"OFF"))
            out_.identityOn = false;
        else
            Fail(L"SET IDENTITY_INSERT takes ON or OFF.");
        out_.kind = StatementKind::IdentityInsert;
    }

    void Backup()
    {
        ExpectWord(L"BACKUP");
        if (!TakeWord(L"DATABASE"))
            Fail(L"Only BACKUP DATABASE is supported.");
        out_.backupCatalog = Ident(L"a database name");
        ExpectWord(L"TO");
        if (!TakeWord(L"DISK"))
            Fail(L"BACKUP DATABASE writes only TO DISK='file'.");
        ExpectOp(L"=");
        if (At().kind != Tok::String || At().text.empty())
            Fail(L"BACKUP DATABASE needs the backup file in quotes.");
        out_.backupPath = t_[p_++].text;
        ExpectWord(L"WITH");
        if (!TakeWord(L"INIT"))
            Fail(L"BACKUP DATABASE is supported WITH INIT only: the backup file is written anew.");
        out_.kind = StatementKind::Backup;
    }

    // DBCC CHECKDB, optionally WITH NO_INFOMSGS: the whole open database.
    void CheckDatabase()
    {
        ExpectWord(L"DBCC");
        if (!TakeWord(L"CHECKDB"))
            Fail(L"Of the DBCC statements only DBCC CHECKDB is supported.");
        if (TakeWord(L"WITH") && !TakeWord(L"NO_INFOMSGS"))
            Fail(L"DBCC CHECKDB takes only WITH NO_INFOMSGS.");
        out_.kind = StatementKind::CheckDatabase;
    }

    void Call()
    {
        ExpectOp(L"{");
        if (!TakeWord(L"CALL"))
            Fail(L"The call escape must read { call procedure(...) }.");
        std::wstring name = TableName();
        struct Known {
            const wchar_t* name;
            Procedure procedure;
            size_t arguments;
        };
        static const Known known[] = {
            {L"sp_delete_patient", Procedure::DeletePatient, 1},
            {L"sp_delete_snimok", Procedure::DeleteSnimok, 1},
            {L"sp_delete_snimok_complete", Procedure::DeleteSnimokComplete, 1},
            {L"sp_cpy_smk", Procedure::CopySnimok, 2},
        };
        const Known* found = nullptr;
        for (const Known& k : known)
            if (SameName(name, k.name))
                found = &k;
        if (!found)
            Fail(L"The stored procedure " + name + L" does not exist.");
        if (TakeOp(L"(")) {
            if (!AtOp(L")")) {
                for (;;) {
                    TranslatedStatement::Argument a;
                    bool negative = TakeOp(L"-");
                    if (At().kind == Tok::Param && !negative) {
                        a.param = ordinals_[p_++];
                        out_.paramTypes[static_cast<size_t>(a.param)] = IntegerType();
                        out_.paramTyped[static_cast<size_t>(a.param)] = true;
                    } else if (At().kind == Tok::Number && At().text.find(L'.') == std::wstring::npos) {
                        a.number = wcstoll(t_[p_++].text.c_str(), nullptr, 10) * (negative ? -1 : 1);
                    } else if (!negative && TakeWord(L"NULL")) {
                        a.null = true;
                    } else {
                        Fail(L"The arguments of " + name + L" are numbers, NULL or parameters.");
                    }
                    out_.arguments.push_back(a);
                    if (!TakeOp(L","))
                        break;
                }
            }
            ExpectOp(L")");
        }
        ExpectOp(L"}");
        if (out_.arguments.size() != found->arguments)
            Fail(L"The stored procedure " + name + L" takes " + (found->arguments == 1 ? L"one argument." : L"two arguments."));
        out_.procedure = found->procedure;
        out_.kind = StatementKind::Procedure;
    }

    std::vector<Token> t_;
    size_t p_ = 0;
    std::vector<long> ordinals_;
    SchemaLookup* schema_;
    TranslatedStatement& out_;
    std::vector<std::vector<Source>> scopes_;
    int depth_ = 0;    // levels of nesting entered (Nesting)
    int selects_ = 0;  // of them, SELECTs
};

}  // namespace

bool TranslateStatement(const std::wstring& text, SchemaLookup* schema, TranslatedStatement& out,
                        TranslateError& error)
{
    out = TranslatedStatement();
    try {
        Parser parser(Tokenize(text), schema, out);
        parser.Statement();
        return true;
    } catch (const ParseError& e) {
        error.message = e.message;
        error.sqlState = e.sqlState;
        error.nativeError = e.nativeError;
        out = TranslatedStatement();
        return false;
    }
}

}  // namespace zelk
