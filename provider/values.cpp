// Value conversions: see values.h.
#include "provider/values.h"

#include "sqlite3.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <cwchar>

namespace zelk {
namespace {

constexpr int kMinYear = 1753;
constexpr int kMaxYear = 9999;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool ValidTime(const SYSTEMTIME& t)
{
    return t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 && t.wDay <= DaysInMonth(t.wYear, t.wMonth) &&
           t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

template <class T>
void Put(BYTE* data, const DBBINDING& b, T value)
{
    memcpy(data + b.obValue, &value, sizeof(T));
}

template <class T>
T Get(const void* p)
{
    T value;
    memcpy(&value, p, sizeof(T));
    return value;
}

void SetStatus(const DBBINDING& b, BYTE* data, DBSTATUS status)
{
    if (b.dwPart & DBPART_STATUS)
        memcpy(data + b.obStatus, &status, sizeof(status));
}

void SetLength(const DBBINDING& b, BYTE* data, DBLENGTH length)
{
    if (b.dwPart & DBPART_LENGTH)
        memcpy(data + b.obLength, &length, sizeof(length));
}

// Parses a whole text as a 64-bit integer (blanks around allowed).
bool ParseInteger(const wchar_t* text, size_t length, int64_t& out)
{
    std::wstring s(text, length);
    const wchar_t* p = s.c_str();
    while (iswspace(*p))
        ++p;
    if (!*p)
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    long long v = wcstoll(p, &end, 10);
    if (errno || end == p)
        return false;
    while (iswspace(*end))
        ++end;
    if (*end)
        return false;
    out = v;
    return true;
}

bool ParseReal(const wchar_t* text, size_t length, double& out)
{
    std::wstring s(text, length);
    const wchar_t* p = s.c_str();
    wchar_t* end = nullptr;
    double v = wcstod(p, &end);
    if (end == p)
        return false;
    while (iswspace(*end))
        ++end;
    if (*end)
        return false;
    out = v;
    return true;
}

std::wstring FormatReal(double value, bool single)
{
    wchar_t buf[64];
    _snwprintf(buf, 63, single ? L"%.7g" : L"%.15g", value);
    buf[63] = 0;
    return buf;
}

std::wstring FormatInteger(int64_t value)
{
    wchar_t buf[32];
    _snwprintf(buf, 31, L"%lld", static_cast<long long>(value));
    buf[31] = 0;
    return buf;
}

// A number of the source converted to the integer type `type`; false on overflow.
bool FitInteger(DBTYPE type, int64_t v, BYTE* out)
{
    switch (type) {
    case DBTYPE_I1:
        if (v < SCHAR_MIN || v > SCHAR_MAX)
            return false;
        *reinterpret_cast<signed char*>(out) = static_cast<signed char>(v);
        return true;
    case DBTYPE_UI1:
        if (v < 0 || v > UCHAR_MAX)
            return false;
        *out = static_cast<BYTE>(v);
        return true;
    case DBTYPE_I2: {
        if (v < SHRT_MIN || v > SHRT_MAX)
            return false;
        short s = static_cast<short>(v);
        memcpy(out, &s, 2);
        return true;
    }
    case DBTYPE_UI2: {
        if (v < 0 || v > USHRT_MAX)
            return false;
        USHORT s = static_cast<USHORT>(v);
        memcpy(out, &s, 2);
        return true;
    }
    case DBTYPE_I4: {
        if (v < INT_MIN || v > INT_MAX)
            return false;
        int s = static_cast<int>(v);
        memcpy(out, &s, 4);
        return true;
    }
    case DBTYPE_UI4: {
        if (v < 0 || v > static_cast<int64_t>(UINT_MAX))
            return false;
        UINT s = static_cast<UINT>(v);
        memcpy(out, &s, 4);
        return true;
    }
    case DBTYPE_I8:
        memcpy(out, &v, 8);
        return true;
    case DBTYPE_UI8: {
        if (v < 0)
            return false;
        unsigned long long s = static_cast<unsigned long long>(v);
        memcpy(out, &s, 8);
        return true;
    }
    default:
        return false;
    }
}

size_t FixedSize(DBTYPE type)
{
    switch (type) {
    case DBTYPE_I1:
    case DBTYPE_UI1:
        return 1;
    case DBTYPE_I2:
    case DBTYPE_UI2:
    case DBTYPE_BOOL:
        return 2;
    case DBTYPE_I4:
    case DBTYPE_UI4:
    case DBTYPE_R4:
        return 4;
    case DBTYPE_I8:
    case DBTYPE_UI8:
    case DBTYPE_R8:
    case DBTYPE_FILETIME:
        return 8;
    case DBTYPE_DBTIMESTAMP:
        return sizeof(DBTIMESTAMP);
    default:
        return 0;
    }
}

bool IsIntegerType(DBTYPE t)
{
    return t == DBTYPE_I1 || t == DBTYPE_UI1 || t == DBTYPE_I2 || t == DBTYPE_UI2 || t == DBTYPE_I4 ||
           t == DBTYPE_UI4 || t == DBTYPE_I8 || t == DBTYPE_UI8;
}

// Converts a fixed-size value (not text) of `cell` to `type` into `out`.
DBSTATUS ConvertFixed(const RowStore& store, const Cell& cell, DBTYPE type, BYTE* out)
{
    if (type == DBTYPE_FILETIME || type == DBTYPE_DBTIMESTAMP) {
        if (cell.kind != CellKind::Text)
            return DBSTATUS_E_CANTCONVERTVALUE;
        SYSTEMTIME st;
        if (!ParseDateTime(store.Text(cell), cell.length, st))
            return DBSTATUS_E_CANTCONVERTVALUE;
        if (type == DBTYPE_FILETIME) {
            FILETIME ft;
            if (!SystemTimeToFileTime(&st, &ft))
                return DBSTATUS_E_CANTCONVERTVALUE;
            memcpy(out, &ft, 8);
        } else {
            DBTIMESTAMP ts;
            ts.year = static_cast<SHORT>(st.wYear);
            ts.month = st.wMonth;
            ts.day = st.wDay;
            ts.hour = st.wHour;
            ts.minute = st.wMinute;
            ts.second = st.wSecond;
            ts.fraction = static_cast<ULONG>(st.wMilliseconds) * 1000000u;
            memcpy(out, &ts, sizeof(ts));
        }
        return DBSTATUS_S_OK;
    }

    int64_t integer = 0;
    double real = 0;
    bool isReal = false;
    switch (cell.kind) {
    case CellKind::Integer:
        integer = cell.integer;
        break;
    case CellKind::Real:
        real = cell.real;
        isReal = true;
        break;
    case CellKind::Text:
        if (ParseInteger(store.Text(cell), cell.length, integer))
            break;
        if (ParseReal(store.Text(cell), cell.length, real)) {
            isReal = true;
            break;
        }
        return DBSTATUS_E_CANTCONVERTVALUE;
    default:
        return DBSTATUS_E_CANTCONVERTVALUE;
    }

    if (type == DBTYPE_R8) {
        double v = isReal ? real : static_cast<double>(integer);
        memcpy(out, &v, 8);
        return DBSTATUS_S_OK;
    }
    if (type == DBTYPE_R4) {
        double v = isReal ? real : static_cast<double>(integer);
        if (std::isfinite(v) && std::fabs(v) > FLT_MAX)
            return DBSTATUS_E_DATAOVERFLOW;
        float f = static_cast<float>(v);
        memcpy(out, &f, 4);
        return DBSTATUS_S_OK;
    }
    if (type == DBTYPE_BOOL) {
        VARIANT_BOOL b = (isReal ? real != 0 : integer != 0) ? VARIANT_TRUE : VARIANT_FALSE;
        memcpy(out, &b, 2);
        return DBSTATUS_S_OK;
    }
    if (isReal) {
        if (!std::isfinite(real) || real >= 9223372036854775808.0 || real < -9223372036854775808.0)
            return DBSTATUS_E_DATAOVERFLOW;
        integer = static_cast<int64_t>(real);  // towards zero, as SQL Server converts float to int
    }
    return FitInteger(type, integer, out) ? DBSTATUS_S_OK : DBSTATUS_E_DATAOVERFLOW;
}

// The text form of `cell` for a text binding.
std::wstring CellText(const RowStore& store, const Cell& cell, const TypeDesc& column)
{
    switch (cell.kind) {
    case CellKind::Integer:
        return FormatInteger(cell.integer);
    case CellKind::Real:
        return FormatReal(cell.real, column.type == DBTYPE_R4);
    case CellKind::Text:
        return std::wstring(store.Text(cell), cell.length);
    default:
        return std::wstring();
    }
}

// Writes a text of `length` characters at `text` through a DBTYPE_WSTR binding.
DBSTATUS WriteWide(const DBBINDING& b, BYTE* data, const wchar_t* text, size_t length)
{
    SetLength(b, data, length * sizeof(wchar_t));
    if (b.wType & DBTYPE_BYREF) {
        auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
        if (!copy)
            return DBSTATUS_E_CANTCREATE;
        memcpy(copy, text, length * sizeof(wchar_t));
        copy[length] = 0;
        Put(data, b, copy);
        return DBSTATUS_S_OK;
    }
    size_t room = b.cbMaxLen / sizeof(wchar_t);  // characters, terminator included
    auto* dest = reinterpret_cast<wchar_t*>(data + b.obValue);
    if (room == 0)
        return DBSTATUS_S_TRUNCATED;
    if (length + 1 <= room) {
        memcpy(dest, text, length * sizeof(wchar_t));
        dest[length] = 0;
        return DBSTATUS_S_OK;
    }
    memcpy(dest, text, (room - 1) * sizeof(wchar_t));
    dest[room - 1] = 0;
    return DBSTATUS_S_TRUNCATED;
}

DBSTATUS WriteNarrow(const DBBINDING& b, BYTE* data, const wchar_t* text, size_t length)
{
    int bytes = length ? WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr)
                       : 0;
    std::string narrow(static_cast<size_t>(bytes), '\0');
    if (bytes)
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &narrow[0], bytes, nullptr, nullptr);
    SetLength(b, data, narrow.size());
    if (b.wType & DBTYPE_BYREF) {
        auto* copy = static_cast<char*>(CoTaskMemAlloc(narrow.size() + 1));
        if (!copy)
            return DBSTATUS_E_CANTCREATE;
        memcpy(copy, narrow.c_str(), narrow.size() + 1);
        Put(data, b, copy);
        return DBSTATUS_S_OK;
    }
    size_t room = b.cbMaxLen;
    auto* dest = reinterpret_cast<char*>(data + b.obValue);
    if (room == 0)
        return DBSTATUS_S_TRUNCATED;
    if (narrow.size() + 1 <= room) {
        memcpy(dest, narrow.c_str(), narrow.size() + 1);
        return DBSTATUS_S_OK;
    }
    memcpy(dest, narrow.data(), room - 1);
    dest[room - 1] = 0;
    return DBSTATUS_S_TRUNCATED;
}

void Problem(InputProblem& problem, const wchar_t* state, LONG native, const std::wstring& text)
{
    problem.sqlState = state;
    problem.nativeError = native;
    problem.description = text;
}

// Reads a text of the consumer: its length from the length part (bytes) when
// bound, else up to the terminator; it stops at the first NUL either way.
void ReadText(const DBBINDING& b, const BYTE* data, const void* source, bool byRef, bool wide, InValue& out)
{
    size_t limit;
    if (b.dwPart & DBPART_LENGTH) {
        DBLENGTH bytes = Get<DBLENGTH>(data + b.obLength);
        limit = wide ? bytes / sizeof(wchar_t) : bytes;
        if (!byRef) {
            size_t room = wide ? b.cbMaxLen / sizeof(wchar_t) : b.cbMaxLen;
            if (limit > room)
                limit = room;
        }
    } else {
        limit = byRef ? static_cast<size_t>(-1) : (wide ? b.cbMaxLen / sizeof(wchar_t) : b.cbMaxLen);
    }
    out.kind = InValue::Text;
    if (wide) {
        auto* p = static_cast<const wchar_t*>(source);
        size_t n = 0;
        while (n < limit && p[n])
            ++n;
        out.text = p;
        out.length = n;
    } else {
        auto* p = static_cast<const char*>(source);
        size_t n = 0;
        while (n < limit && p[n])
            ++n;
        int chars = n ? MultiByteToWideChar(CP_ACP, 0, p, static_cast<int>(n), nullptr, 0) : 0;
        out.owned.assign(static_cast<size_t>(chars), L'\0');
        if (chars)
            MultiByteToWideChar(CP_ACP, 0, p, static_cast<int>(n), &out.owned[0], chars);
        out.text = out.owned.c_str();
        out.length = out.owned.size();
    }
}

DBSTATUS DateText(const SYSTEMTIME& st, InValue& out, InputProblem& problem)
{
    if (!ValidTime(st) || st.wYear < kMinYear || st.wYear > kMaxYear) {
        Problem(problem, L"22008", 242,
                L"A date is outside the range the database keeps (1 January 1753 to 31 December 9999): "
                L"check the date entered.");
        return DBSTATUS_E_DATAOVERFLOW;
    }
    out.owned = FormatDateTime(st);
    out.kind = InValue::Text;
    out.text = out.owned.c_str();
    out.length = out.owned.size();
    return DBSTATUS_S_OK;
}

}  // namespace

void RowStore::AppendRow(sqlite3_stmt* stmt, int first)
{
    const size_t base = used_;
    if (cells_.size() < base + columns_)
        cells_.resize(std::max(base + columns_, 2 * cells_.size()));
    used_ = base + columns_;
    Cell* row = cells_.data() + base;
    for (size_t c = 0; c < columns_; ++c) {
        int i = static_cast<int>(c) + first;
        Cell& cell = row[c];
        // Type and numbers through the column's value (no conversion, so no
        // allocation to check); texts through the column calls, which report
        // a conversion that ran out of memory.
        sqlite3_value* v = sqlite3_column_value(stmt, i);
        switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            cell.kind = CellKind::Integer;
            cell.integer = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            cell.kind = CellKind::Real;
            cell.real = sqlite3_value_double(v);
            break;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(stmt, i));
            size_t length = static_cast<size_t>(sqlite3_column_bytes16(stmt, i)) / sizeof(wchar_t);
            cell.kind = CellKind::Text;
            cell.offset = static_cast<uint32_t>(text_.size());
            cell.length = static_cast<uint32_t>(length);
            if (text)
                text_.insert(text_.end(), text, text + length);
            text_.push_back(0);
            break;
        }
        default:
            cell.kind = CellKind::Null;
            break;
        }
    }
}

bool IsBindableType(DBTYPE type)
{
    return IsIntegerType(type) || type == DBTYPE_R4 || type == DBTYPE_R8 || type == DBTYPE_BOOL ||
           type == DBTYPE_FILETIME || type == DBTYPE_DBTIMESTAMP || type == DBTYPE_WSTR || type == DBTYPE_STR;
}

DBSTATUS ReadBinding(const DBBINDING& b, const BYTE* data, const TypeDesc* target, InValue& out,
                     InputProblem& problem)
{
    // Field by field: a whole new InValue would build and move a string per parameter.
    out.kind = InValue::Null;
    out.integer = 0;
    out.real = 0;
    out.text = nullptr;
    out.length = 0;
    out.owned.clear();
    DBSTATUS status = DBSTATUS_S_OK;
    if (b.dwPart & DBPART_STATUS)
        status = Get<DBSTATUS>(data + b.obStatus);
    switch (status) {
    case DBSTATUS_S_OK:
        break;
    case DBSTATUS_S_ISNULL:
        out.kind = InValue::Null;
        return DBSTATUS_S_OK;
    case DBSTATUS_S_DEFAULT:
        out.kind = InValue::Default;
        return DBSTATUS_S_OK;
    case DBSTATUS_S_IGNORE:
        out.kind = InValue::Ignore;
        return DBSTATUS_S_OK;
    default:
        Problem(problem, L"HY000", 0, L"A value was handed over with an invalid status.");
        return DBSTATUS_E_BADSTATUS;
    }
    if (!(b.dwPart & DBPART_VALUE)) {
        Problem(problem, L"07002", 0, L"A value was handed over without its value part.");
        return DBSTATUS_E_UNAVAILABLE;
    }
    bool byRef = (b.wType & DBTYPE_BYREF) != 0;
    DBTYPE type = b.wType & ~DBTYPE_BYREF;
    const void* source = data + b.obValue;
    if (byRef) {
        source = Get<const void*>(data + b.obValue);
        if (!source) {
            Problem(problem, L"07002", 0, L"A value was handed over by reference with a null pointer.");
            return DBSTATUS_E_UNAVAILABLE;
        }
    }

    switch (type) {
    case DBTYPE_I1:
        out.kind = InValue::Integer;
        out.integer = *static_cast<const signed char*>(source);
        break;
    case DBTYPE_UI1:
        out.kind = InValue::Integer;
        out.integer = *static_cast<const BYTE*>(source);
        break;
    case DBTYPE_I2:
        out.kind = InValue::Integer;
        out.integer = Get<short>(source);
        break;
    case DBTYPE_UI2:
        out.kind = InValue::Integer;
        out.integer = Get<USHORT>(source);
        break;
    case DBTYPE_I4:
        out.kind = InValue::Integer;
        out.integer = Get<int>(source);
        break;
    case DBTYPE_UI4:
        out.kind = InValue::Integer;
        out.integer = Get<UINT>(source);
        break;
    case DBTYPE_I8:
        out.kind = InValue::Integer;
        out.integer = Get<long long>(source);
        break;
    case DBTYPE_UI8: {
        unsigned long long v = Get<unsigned long long>(source);
        if (v > static_cast<unsigned long long>(LLONG_MAX)) {
            Problem(problem, L"22003", 8115, L"A number is too large for the database.");
            return DBSTATUS_E_DATAOVERFLOW;
        }
        out.kind = InValue::Integer;
        out.integer = static_cast<int64_t>(v);
        break;
    }
    case DBTYPE_BOOL:
        out.kind = InValue::Integer;
        out.integer = Get<VARIANT_BOOL>(source) ? 1 : 0;
        break;
    case DBTYPE_R4:
        out.kind = InValue::Real;
        out.real = Get<float>(source);
        break;
    case DBTYPE_R8:
        out.kind = InValue::Real;
        out.real = Get<double>(source);
        break;
    case DBTYPE_FILETIME: {
        FILETIME ft = Get<FILETIME>(source);
        SYSTEMTIME st;
        if (!FileTimeToSystemTime(&ft, &st)) {
            Problem(problem, L"22008", 242, L"A date handed to the database is not a valid date.");
            return DBSTATUS_E_DATAOVERFLOW;
        }
        DBSTATUS s = DateText(st, out, problem);
        if (s != DBSTATUS_S_OK)
            return s;
        break;
    }
    case DBTYPE_DBTIMESTAMP: {
        DBTIMESTAMP ts = Get<DBTIMESTAMP>(source);
        SYSTEMTIME st = SYSTEMTIME();
        if (ts.year < 0 || ts.fraction >= 1000000000u) {
            Problem(problem, L"22008", 242, L"A date handed to the database is not a valid date.");
            return DBSTATUS_E_DATAOVERFLOW;
        }
        st.wYear = static_cast<WORD>(ts.year);
        st.wMonth = ts.month;
        st.wDay = ts.day;
        st.wHour = ts.hour;
        st.wMinute = ts.minute;
        st.wSecond = ts.second;
        st.wMilliseconds = static_cast<WORD>(ts.fraction / 1000000u);
        DBSTATUS s = DateText(st, out, problem);
        if (s != DBSTATUS_S_OK)
            return s;
        break;
    }
    case DBTYPE_WSTR:
        ReadText(b, data, source, byRef, true, out);
        break;
    case DBTYPE_STR:
        ReadText(b, data, source, byRef, false, out);
        break;
    default:
        Problem(problem, L"HY004", 0, L"A value was handed over in a type the database cannot take.");
        return DBSTATUS_E_BADACCESSOR;
    }

    if (!target)
        return DBSTATUS_S_OK;
    if (out.kind == InValue::Text && target->type == DBTYPE_WSTR && !target->isLong && out.length > target->size) {
        Problem(problem, L"22001", 8152,
                L"A text is longer than its column allows (" + FormatInteger(static_cast<int64_t>(target->size)) +
                    L" characters): String or binary data would be truncated. Shorten the text.");
        return DBSTATUS_E_DATAOVERFLOW;
    }
    if (out.kind == InValue::Text && IsDateTime(*target) && type != DBTYPE_FILETIME && type != DBTYPE_DBTIMESTAMP) {
        SYSTEMTIME st;
        switch (CheckDateText(out.text, out.length, st)) {
        case DateCheck::Malformed:
            Problem(problem, L"22007", 241, L"A text handed over as a date is not a valid date: check the date entered.");
            return DBSTATUS_E_CANTCONVERTVALUE;
        case DateCheck::OutOfRange:
            Problem(problem, L"22008", 242,
                    L"A date is outside the range the database keeps (1 January 1753 to 31 December 9999) or does "
                    L"not exist: check the date entered.");
            return DBSTATUS_E_DATAOVERFLOW;
        default:
            return DateText(st, out, problem);
        }
    }
    if (out.kind == InValue::Integer && target->type == DBTYPE_BOOL)
        out.integer = out.integer ? 1 : 0;
    // An unsigned 32-bit value meets a signed int column with its bit pattern:
    // archive serials of 0x80000000 and above are kept as negative numbers.
    if (type == DBTYPE_UI4 && out.kind == InValue::Integer && target->type == DBTYPE_I4)
        out.integer = static_cast<int32_t>(static_cast<uint32_t>(out.integer));
    return DBSTATUS_S_OK;
}

namespace {

// A number bound by value as a number of its own kind, fitting: value, length
// and status as the general conversion below writes them, with moves of the
// value's own width. False for anything else, which the general path takes.
inline bool WriteNumber(const DBBINDING& b, BYTE* data, const Cell& cell)
{
    if (!(b.dwPart & DBPART_VALUE))
        return false;
    BYTE* value = data + b.obValue;
    DBLENGTH size;
    if (cell.kind == CellKind::Integer) {
        if (b.wType == DBTYPE_I4) {
            if (cell.integer < INT32_MIN || cell.integer > INT32_MAX)
                return false;
            const int32_t v = static_cast<int32_t>(cell.integer);
            memcpy(value, &v, 4);
            size = 4;
        } else if (b.wType == DBTYPE_I8) {
            memcpy(value, &cell.integer, 8);
            size = 8;
        } else {
            return false;
        }
    } else if (cell.kind == CellKind::Real) {
        if (b.wType == DBTYPE_R8) {
            memcpy(value, &cell.real, 8);
            size = 8;
        } else if (b.wType == DBTYPE_R4) {
            const double v = cell.real;
            if (std::isfinite(v) && std::fabs(v) > FLT_MAX)
                return false;
            const float f = static_cast<float>(v);
            memcpy(value, &f, 4);
            size = 4;
        } else {
            return false;
        }
    } else {
        return false;
    }
    SetLength(b, data, size);
    SetStatus(b, data, DBSTATUS_S_OK);
    return true;
}

}  // namespace

DBSTATUS WriteBinding(const DBBINDING& b, BYTE* data, const RowStore& store, const Cell& cell, const TypeDesc& column)
{
    if (WriteNumber(b, data, cell))
        return DBSTATUS_S_OK;
    DBSTATUS status;
    if (cell.kind == CellKind::Null) {
        SetLength(b, data, 0);
        status = (b.dwPart & DBPART_STATUS) ? DBSTATUS_S_ISNULL : DBSTATUS_E_UNAVAILABLE;
        SetStatus(b, data, status);
        return status;
    }
    DBTYPE type = b.wType & ~DBTYPE_BYREF;
    bool byRef = (b.wType & DBTYPE_BYREF) != 0;
    if (!(b.dwPart & DBPART_VALUE)) {
        // Only the length or status is wanted.
        if (type == DBTYPE_WSTR || type == DBTYPE_STR) {
            std::wstring text = CellText(store, cell, column);
            SetLength(b, data, text.size() * (type == DBTYPE_WSTR ? sizeof(wchar_t) : 1));
        } else {
            SetLength(b, data, FixedSize(type));
        }
        SetStatus(b, data, DBSTATUS_S_OK);
        return DBSTATUS_S_OK;
    }
    if (type == DBTYPE_WSTR || type == DBTYPE_STR) {
        if (cell.kind == CellKind::Text)
            status = type == DBTYPE_WSTR ? WriteWide(b, data, store.Text(cell), cell.length)
                                         : WriteNarrow(b, data, store.Text(cell), cell.length);
        else {
            std::wstring text = CellText(store, cell, column);
            status = type == DBTYPE_WSTR ? WriteWide(b, data, text.c_str(), text.size())
                                         : WriteNarrow(b, data, text.c_str(), text.size());
        }
    } else if (size_t size = FixedSize(type)) {
        BYTE value[sizeof(DBTIMESTAMP)];
        status = ConvertFixed(store, cell, type, value);
        if (status == DBSTATUS_S_OK) {
            if (byRef) {
                void* copy = CoTaskMemAlloc(size);
                if (!copy)
                    status = DBSTATUS_E_CANTCREATE;
                else {
                    memcpy(copy, value, size);
                    Put(data, b, copy);
                }
            } else {
                memcpy(data + b.obValue, value, size);
            }
            SetLength(b, data, size);
        }
    } else {
        status = DBSTATUS_E_BADACCESSOR;
    }
    SetStatus(b, data, status);
    return status;
}

int BindValue(sqlite3_stmt* stmt, int index, const InValue& value)
{
    switch (value.kind) {
    case InValue::Integer:
        return sqlite3_bind_int64(stmt, index, value.integer);
    case InValue::Real:
        return sqlite3_bind_double(stmt, index, value.real);
    case InValue::Text:
        return sqlite3_bind_text16(stmt, index, value.text ? value.text : L"",
                                   static_cast<int>(value.length * sizeof(wchar_t)), SQLITE_TRANSIENT);
    default:
        return sqlite3_bind_null(stmt, index);
    }
}

}  // namespace zelk
