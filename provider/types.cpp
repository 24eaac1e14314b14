// Declared-type mapping and column descriptions: see types.h.
#include "provider/types.h"

#include "provider/errors.h"

#include <cwctype>

namespace zelk {
namespace {

TypeDesc Fixed(DBTYPE type, DBLENGTH size, BYTE precision, BYTE scale = 0xFF)
{
    TypeDesc t;
    t.type = type;
    t.size = size;
    t.precision = precision;
    t.scale = scale;
    t.fixedLength = true;
    return t;
}

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

}  // namespace

bool SameName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

TypeDesc IntegerType() { return Fixed(DBTYPE_I4, 4, 10); }
TypeDesc BigIntType() { return Fixed(DBTYPE_I8, 8, 19); }
TypeDesc FloatType() { return Fixed(DBTYPE_R8, 8, 15); }

TypeDesc TextType(DBLENGTH characters)
{
    TypeDesc t;
    t.type = DBTYPE_WSTR;
    t.size = characters;
    if (characters >= kLongTextSize) {
        t.size = kLongTextSize;
        t.isLong = true;
    }
    return t;
}

TypeDesc TypeFromDeclared(const std::wstring& declared, bool& known)
{
    // Name: letters (and blanks between words) without brackets; argument: the first number in parentheses.
    std::wstring name;
    long argument = -1;
    bool max = false;
    size_t i = 0;
    while (i < declared.size() && declared[i] != L'(') {
        wchar_t c = declared[i++];
        if (c == L'[' || c == L']' || c == L'"')
            continue;
        if (iswspace(c)) {
            if (!name.empty() && name.back() != L' ')
                name += L' ';
            continue;
        }
        name += Lower(c);
    }
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    if (i < declared.size()) {
        ++i;
        while (i < declared.size() && iswspace(declared[i]))
            ++i;
        if (i < declared.size() && iswdigit(declared[i]))
            argument = wcstol(declared.c_str() + i, nullptr, 10);
        else if (declared.size() - i >= 3 && Lower(declared[i]) == L'm' && Lower(declared[i + 1]) == L'a' &&
                 Lower(declared[i + 2]) == L'x')
            max = true;
    }

    known = true;
    if (name == L"int" || name == L"integer")
        return IntegerType();
    if (name == L"bigint")
        return BigIntType();
    if (name == L"smallint")
        return Fixed(DBTYPE_I2, 2, 5);
    if (name == L"tinyint")
        return Fixed(DBTYPE_UI1, 1, 3);
    if (name == L"bit" || name == L"boolean")
        return Fixed(DBTYPE_BOOL, 2, 0xFF);
    if (name == L"real")
        return Fixed(DBTYPE_R4, 4, 7);
    if (name == L"float")
        return argument > 0 && argument <= 24 ? Fixed(DBTYPE_R4, 4, 7) : FloatType();
    if (name == L"double" || name == L"double precision")
        return FloatType();
    if (name == L"datetime" || name == L"smalldatetime" || name == L"datetime2" || name == L"date")
        return Fixed(DBTYPE_DBTIMESTAMP, 16, 23, 3);
    if (name == L"nchar" || name == L"char" || name == L"nvarchar" || name == L"varchar" ||
        name == L"national char" || name == L"national character varying") {
        TypeDesc t = TextType(max ? kLongTextSize : static_cast<DBLENGTH>(argument > 0 ? argument : 1));
        t.fixedLength = (name == L"nchar" || name == L"char" || name == L"national char") && !max;
        return t;
    }
    if (name == L"ntext" || name == L"text")
        return TextType(kLongTextSize);
    known = false;
    return TextType(4000);
}

namespace {

// The description of column `i` (from 0) with its name at `name`.
void Describe(const ColumnInfo& c, size_t i, OLECHAR* name, DBCOLUMNINFO& d)
{
    d.pwszName = name;
    d.pTypeInfo = nullptr;
    d.iOrdinal = i + 1;
    DBCOLUMNFLAGS flags = 0;
    if (c.type.fixedLength)
        flags |= DBCOLUMNFLAGS_ISFIXEDLENGTH;
    if (c.type.isLong)
        flags |= DBCOLUMNFLAGS_ISLONG;
    if (!c.notNull && !c.identity)
        flags |= DBCOLUMNFLAGS_ISNULLABLE | DBCOLUMNFLAGS_MAYBENULL;
    if (c.writable && !c.identity)
        flags |= DBCOLUMNFLAGS_WRITE;
    else if (!c.identity && !c.table.empty())
        flags |= DBCOLUMNFLAGS_WRITEUNKNOWN;
    d.dwFlags = flags;
    d.ulColumnSize = c.type.size;
    d.wType = c.type.type;
    d.bPrecision = c.type.precision;
    d.bScale = c.type.scale;
    d.columnid.eKind = DBKIND_NAME;
    d.columnid.uGuid.guid = GUID_NULL;
    d.columnid.uName.pwszName = name;
}

// Copies a laid-out answer into task memory, the names pointing into the
// copy of `strings` (name i at nameAt[i]).
HRESULT CopyAnswer(const DBCOLUMNINFO* layout, const size_t* nameAt, size_t columns, const wchar_t* strings,
                   size_t chars, DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** text)
{
    auto* array = static_cast<DBCOLUMNINFO*>(CoTaskMemAlloc(sizeof(DBCOLUMNINFO) * columns));
    auto* names = static_cast<OLECHAR*>(CoTaskMemAlloc(sizeof(OLECHAR) * chars));
    if (!array || !names) {
        CoTaskMemFree(array);
        CoTaskMemFree(names);
        return E_OUTOFMEMORY;
    }
    memcpy(array, layout, sizeof(DBCOLUMNINFO) * columns);
    memcpy(names, strings, sizeof(OLECHAR) * chars);
    for (size_t i = 0; i < columns; ++i) {
        OLECHAR* name = names + nameAt[i];
        array[i].pwszName = name;
        array[i].columnid.uName.pwszName = name;
    }
    *count = columns;
    *info = array;
    *text = names;
    return S_OK;
}

// Lays out the answer for `columns` (its names not yet pointed at).
void LayOut(const std::vector<ColumnInfo>& columns, std::vector<DBCOLUMNINFO>& info, std::vector<size_t>& nameAt,
            std::wstring& strings)
{
    info.resize(columns.size());
    nameAt.resize(columns.size());
    strings.clear();
    for (size_t i = 0; i < columns.size(); ++i) {
        Describe(columns[i], i, nullptr, info[i]);
        nameAt[i] = strings.size();
        strings.append(columns[i].name.c_str(), columns[i].name.size() + 1);
    }
}

}  // namespace

HRESULT ExportColumnInfo(const std::vector<ColumnInfo>& columns, DBORDINAL* count, DBCOLUMNINFO** info,
                         OLECHAR** strings)
{
    if (!count || !info || !strings)
        return InvalidArgument(L"ExportColumnInfo");
    *count = 0;
    *info = nullptr;
    *strings = nullptr;
    if (columns.empty())
        return S_OK;
    std::vector<DBCOLUMNINFO> layout;
    std::vector<size_t> nameAt;
    std::wstring text;
    LayOut(columns, layout, nameAt, text);
    return CopyAnswer(layout.data(), nameAt.data(), layout.size(), text.data(), text.size(), count, info, strings);
}

ColumnSet::ColumnSet(std::vector<ColumnInfo> columns) : columns_(std::move(columns))
{
    LayOut(columns_, info_, nameAt_, strings_);
}

HRESULT ColumnSet::Export(DBORDINAL* count, DBCOLUMNINFO** info, OLECHAR** strings) const
{
    if (!count || !info || !strings)
        return InvalidArgument(L"ColumnSet::Export");
    *count = 0;
    *info = nullptr;
    *strings = nullptr;
    if (columns_.empty())
        return S_OK;
    return CopyAnswer(info_.data(), nameAt_.data(), info_.size(), strings_.data(), strings_.size(), count, info,
                      strings);
}

HRESULT MapColumnIds(const std::vector<ColumnInfo>& columns, DBORDINAL count, const DBID ids[], DBORDINAL out[])
{
    if (count == 0)
        return S_OK;
    if (!ids || !out)
        return InvalidArgument(L"MapColumnIds");
    DBORDINAL found = 0;
    for (DBORDINAL i = 0; i < count; ++i) {
        out[i] = DB_INVALIDCOLUMN;
        const DBID& id = ids[i];
        if ((id.eKind == DBKIND_NAME || id.eKind == DBKIND_GUID_NAME || id.eKind == DBKIND_PGUID_NAME) &&
            id.uName.pwszName) {
            for (size_t c = 0; c < columns.size(); ++c)
                if (SameName(columns[c].name, id.uName.pwszName)) {
                    out[i] = c + 1;
                    break;
                }
        } else if (id.eKind == DBKIND_PROPID || id.eKind == DBKIND_GUID_PROPID) {
            if (id.uName.ulPropid >= 1 && id.uName.ulPropid <= columns.size())
                out[i] = id.uName.ulPropid;
        }
        if (out[i] != DB_INVALIDCOLUMN)
            ++found;
    }
    if (found == count)
        return S_OK;
    return found == 0 ? PostError(IID_IColumnsInfo, DB_E_ERRORSOCCURRED, L"42S22", 207,
                                  L"None of the columns asked for exists in the result.")
                      : DB_S_ERRORSOCCURRED;
}

}  // namespace zelk
