// Column descriptions: see columns.h.
#include "provider/columns.h"

#include "provider/errors.h"

namespace zelk {
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
