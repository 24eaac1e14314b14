// Caseless comparison, LIKE and the dialect's functions: see collation.h.
#include "provider/collation.h"

#include "provider/common.h"
#include "provider/datetime.h"
#include "provider/statement.h"
#include "provider/values.h"

#include "sqlite3.h"

#include <vector>

namespace zelk {

unsigned CollationWeight(unsigned c)
{
    if (c < 0x80) {
        if (c >= L'A' && c <= L'Z')
            c += 32;
        return c * 2;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)  // Latin-1 capitals
        c += 32;
    else if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))  // Latin Extended-A: capital, small
        c |= 1;
    else if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))  // small follows capital at an odd code
        c += (c & 1) ? 1 : 0;
    else if (c == 0x178)  // Ÿ
        c = 0xFF;
    else if (c >= 0x410 && c <= 0x42F)  // Cyrillic capitals А..Я
        c += 0x20;
    else if (c >= 0x400 && c <= 0x40F)  // Ѐ..Џ
        c += 0x50;
    if (c == 0x451)  // ё sorts right after е, as Russian dictionaries order it
        return 0x435 * 2 + 1;
    return c * 2;
}

namespace {

// Reads one code point of UTF-8 at `p` (before `end`); malformed bytes stand for themselves.
unsigned NextUtf8(const unsigned char*& p, const unsigned char* end)
{
    unsigned c = *p++;
    if (c < 0x80)
        return c;
    int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned value = c & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        if (p >= end || (*p & 0xC0) != 0x80)
            return c;
        value = (value << 6) | (*p++ & 0x3F);
    }
    return value;
}

int CompareUtf8(void*, int aBytes, const void* aData, int bBytes, const void* bData)
{
    auto* a = static_cast<const unsigned char*>(aData);
    auto* b = static_cast<const unsigned char*>(bData);
    const unsigned char* aEnd = a + aBytes;
    const unsigned char* bEnd = b + bBytes;
    while (aEnd > a && aEnd[-1] == ' ')
        --aEnd;
    while (bEnd > b && bEnd[-1] == ' ')
        --bEnd;
    while (a < aEnd && b < bEnd) {
        unsigned x = CollationWeight(NextUtf8(a, aEnd));
        unsigned y = CollationWeight(NextUtf8(b, bEnd));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a < aEnd)
        return 1;
    if (b < bEnd)
        return -1;
    return 0;
}

// UTF-16 code units to code points (surrogate pairs joined).
void CodePoints(const wchar_t* s, size_t n, std::vector<unsigned>& out)
{
    out.clear();
    for (size_t i = 0; i < n; ++i) {
        unsigned c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        out.push_back(c);
    }
}

// One element of a LIKE pattern.
struct PatternItem {
    enum Kind { Literal, One, Many, Set } kind;
    unsigned weight = 0;                              // Literal
    bool negated = false;                             // Set
    std::vector<std::pair<unsigned, unsigned>> ranges;  // Set: weight ranges
};

std::vector<PatternItem> CompilePattern(const std::vector<unsigned>& p, unsigned escape)
{
    std::vector<PatternItem> items;
    for (size_t i = 0; i < p.size(); ++i) {
        unsigned c = p[i];
        PatternItem item{PatternItem::Literal};
        if (escape && c == escape && i + 1 < p.size()) {
            item.weight = CollationWeight(p[++i]);
        } else if (c == L'%') {
            item.kind = PatternItem::Many;
            if (!items.empty() && items.back().kind == PatternItem::Many)
                continue;
        } else if (c == L'_') {
            item.kind = PatternItem::One;
        } else if (c == L'[') {
            // Find the closing bracket; without one the bracket is an ordinary character.
            size_t j = i + 1;
            if (j < p.size() && p[j] == L'^')
                ++j;
            size_t first = j;
            if (j < p.size() && p[j] == L']')
                ++j;  // "[]...]": a leading ] is a member
            while (j < p.size() && p[j] != L']')
                ++j;
            if (j >= p.size()) {
                item.weight = CollationWeight(c);
            } else {
                item.kind = PatternItem::Set;
                item.negated = first > i + 1;
                for (size_t k = first; k < j; ++k) {
                    unsigned low = CollationWeight(p[k]), high = low;
                    if (k + 2 < j && p[k + 1] == L'-') {
                        high = CollationWeight(p[k + 2]);
                        k += 2;
                    }
                    item.ranges.emplace_back(low, high);
                }
                i = j;
            }
        } else {
            item.weight = CollationWeight(c);
        }
        items.push_back(std::move(item));
    }
    return items;
}

bool MatchOne(const PatternItem& item, unsigned weight)
{
    switch (item.kind) {
    case PatternItem::Literal:
        return item.weight == weight;
    case PatternItem::One:
        return true;
    case PatternItem::Set: {
        bool in = false;
        for (const auto& r : item.ranges)
            in = in || (weight >= r.first && weight <= r.second);
        return in != item.negated;
    }
    default:
        return false;
    }
}

bool Match(const std::vector<PatternItem>& items, const std::vector<unsigned>& text)
{
    // Greedy matching with one backtrack point: every item but % takes exactly one character.
    size_t p = 0, t = 0, starItem = SIZE_MAX, starText = 0;
    while (t < text.size()) {
        if (p < items.size() && items[p].kind == PatternItem::Many) {
            starItem = p++;
            starText = t;
        } else if (p < items.size() && MatchOne(items[p], text[t])) {
            ++p;
            ++t;
        } else if (starItem != SIZE_MAX) {
            p = starItem + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < items.size() && items[p].kind == PatternItem::Many)
        ++p;
    return p == items.size();
}

const wchar_t* Text16(sqlite3_value* v, size_t& length)
{
    auto* text = static_cast<const wchar_t*>(sqlite3_value_text16(v));
    length = static_cast<size_t>(sqlite3_value_bytes16(v)) / sizeof(wchar_t);
    return text ? text : L"";
}

void LikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    // SQLite calls like(pattern, text[, escape]) for "text LIKE pattern".
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return;  // NULL
    size_t patternLength = 0, textLength = 0;
    const wchar_t* pattern = Text16(argv[0], patternLength);
    std::wstring patternCopy(pattern, patternLength);  // the next conversion may free the first
    const wchar_t* text = Text16(argv[1], textLength);
    wchar_t escape = 0;
    if (argc == 3) {
        size_t n = 0;
        const wchar_t* e = Text16(argv[2], n);
        if (n != 1) {
            sqlite3_result_error(context, "The ESCAPE of a LIKE must be one character", -1);
            return;
        }
        escape = e[0];
    }
    sqlite3_result_int(context, LikeMatch(patternCopy.c_str(), patternCopy.size(), text, textLength, escape) ? 1 : 0);
}

void GetDateFunction(sqlite3_context* context, int, sqlite3_value**)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::wstring text = FormatDateTime(now);
    sqlite3_result_text16(context, text.c_str(), static_cast<int>(text.size() * sizeof(wchar_t)), SQLITE_TRANSIENT);
}

// zelk_datetime(text): the canonical datetime text of a text in one of the
// accepted forms (datetime.h); NULL stays NULL; anything else fails the
// statement with SQL Server's sentence, which the error records classify.
void DateTimeFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    size_t length = 0;
    const wchar_t* text = Text16(argv[0], length);
    SYSTEMTIME st;
    switch (CheckDateText(text, length, st)) {
    case DateCheck::Valid: {
        std::wstring canonical = FormatDateTime(st);
        sqlite3_result_text16(context, canonical.c_str(), static_cast<int>(canonical.size() * sizeof(wchar_t)),
                              SQLITE_TRANSIENT);
        return;
    }
    case DateCheck::Malformed:
        sqlite3_result_error16(context, MalformedDateMessage(std::wstring(text, length)).c_str(), -1);
        return;
    default:
        sqlite3_result_error16(context, OutOfRangeDateMessage(std::wstring(text, length)).c_str(), -1);
        return;
    }
}

// zelk_divisor(x): x itself, NULL for NULL; a divisor of 0 (after SQLite's
// numeric reading of a text) fails with SQL Server's sentence.
void DivisorFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    switch (sqlite3_value_numeric_type(v)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER:
        if (sqlite3_value_int64(v) == 0) {
            sqlite3_result_error(context, "Divide by zero error encountered.", -1);
            return;
        }
        break;
    case SQLITE_FLOAT:
        if (sqlite3_value_double(v) == 0.0) {
            sqlite3_result_error(context, "Divide by zero error encountered.", -1);
            return;
        }
        break;
    default:
        break;
    }
    sqlite3_result_value(context, v);
}

void DataLengthFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return;
    case SQLITE_INTEGER: {
        sqlite3_int64 n = sqlite3_value_int64(v);
        sqlite3_result_int(context, n < INT_MIN || n > INT_MAX ? 8 : 4);
        return;
    }
    case SQLITE_FLOAT:
        sqlite3_result_int(context, 8);
        return;
    case SQLITE_BLOB:
        sqlite3_result_int(context, sqlite3_value_bytes(v));
        return;
    default:
        sqlite3_result_int(context, sqlite3_value_bytes16(v));
        return;
    }
}

std::string Literal(const std::wstring& text)
{
    std::string utf8 = ToUtf8(text), out = "'";
    for (char c : utf8) {
        out += c;
        if (c == '\'')
            out += c;
    }
    return out + "'";
}

}  // namespace

int CompareCaseless(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength)
{
    while (aLength && a[aLength - 1] == L' ')
        --aLength;
    while (bLength && b[bLength - 1] == L' ')
        --bLength;
    std::vector<unsigned> x, y;
    CodePoints(a, aLength, x);
    CodePoints(b, bLength, y);
    for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
        unsigned wx = CollationWeight(x[i]), wy = CollationWeight(y[i]);
        if (wx != wy)
            return wx < wy ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : x.size() < y.size() ? -1 : 1;
}

bool LikeMatch(const wchar_t* pattern, size_t patternLength, const wchar_t* text, size_t textLength, wchar_t escape)
{
    std::vector<unsigned> p, t;
    CodePoints(pattern, patternLength, p);
    CodePoints(text, textLength, t);
    std::vector<PatternItem> items = CompilePattern(p, escape);
    for (unsigned& c : t)
        c = CollationWeight(c);
    return Match(items, t);
}

int RegisterDialect(sqlite3* db, const std::wstring& catalog)
{
    int rc = sqlite3_create_collation(db, "CASELESS", SQLITE_UTF8, nullptr, CompareUtf8);
    const int flags = SQLITE_UTF16 | SQLITE_DETERMINISTIC;
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 2, flags, nullptr, LikeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "like", 3, flags, nullptr, LikeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "getdate", 0, SQLITE_UTF8, nullptr, GetDateFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, ToUtf8(kDateFunction).c_str(), 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC,
                                     nullptr, DateTimeFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, ToUtf8(kDivisorFunction).c_str(), 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                     nullptr, DivisorFunction, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(db, "datalength", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                     DataLengthFunction, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    // Every column of every table and view of the database, current at once
    // after CREATE and DROP (a view is read anew each time).
    std::string view =
        "CREATE TEMP VIEW IF NOT EXISTS " + ToUtf8(kColumnsView) + " AS SELECT " + Literal(catalog) +
        " AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA,"
        " m.name COLLATE CASELESS AS TABLE_NAME, p.name COLLATE CASELESS AS COLUMN_NAME,"
        " p.cid + 1 AS ORDINAL_POSITION, p.dflt_value AS COLUMN_DEFAULT,"
        " CASE WHEN p.\"notnull\" OR p.pk THEN 'NO' ELSE 'YES' END AS IS_NULLABLE,"
        " CASE lower(trim(substr(p.type, 1, instr(p.type || '(', '(') - 1))) WHEN 'integer' THEN 'int'"
        " ELSE lower(trim(substr(p.type, 1, instr(p.type || '(', '(') - 1))) END AS DATA_TYPE,"
        " CASE WHEN instr(p.type, '(') > 0 THEN CAST(substr(p.type, instr(p.type, '(') + 1) AS INTEGER)"
        " WHEN lower(p.type) IN ('ntext', 'text') THEN 1073741823 END AS CHARACTER_MAXIMUM_LENGTH"
        " FROM main.sqlite_schema AS m JOIN pragma_table_info(m.name, 'main') AS p"
        " WHERE m.type IN ('table', 'view') AND substr(m.name, 1, 7) <> 'sqlite_'";
    return sqlite3_exec(db, view.c_str(), nullptr, nullptr, nullptr);
}

}  // namespace zelk
