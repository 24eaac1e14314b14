// BuildFilterSelect: the SELECT of a described list restricted by a filter.
#include "forms/dbfilter.h"

#include "database/dbbindparam.h"
#include "forms/dbformdesc.h"
#include "forms/fielddesc.h"
#include "forms/formdesc.h"

#include <new>

namespace {

const ULONGLONG kOneDay = 864000000000ULL;   // in 100-nanosecond units

// Binds one value of the condition's field as the next parameter; throws 0
// for a type that has no binding.
void BindValue(DODBBindParam& params, ULONG& ordinal, const FieldBlob* field, const FilterValue& value,
               ULONGLONG addTime = 0)
{
    const ULONG n = ordinal++;
    BOOL ok = FALSE;
    switch (field->Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
    case kFieldBool: {
        const DBTYPE type = (field->type & kFieldUnsigned) ? DBTYPE_UI4 : DBTYPE_I4;
        if (value.IsEmpty())
            ok = params.SetVal(n, type, nullptr, 0, DBSTATUS_S_ISNULL);
        else
            ok = params.SetVal(n, type, value.data, 4, DBSTATUS_S_OK);
        break;
    }
    case kFieldText:
        if (value.IsEmpty())
            ok = params.SetStr(n, L"", 0, DBSTATUS_S_ISNULL);
        else
            ok = params.SetStr(n, reinterpret_cast<const wchar_t*>(value.data), value.length / 2);
        break;
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime: {
        FILETIME time = {};
        if (value.IsEmpty()) {
            ok = params.SetValDate(n, time, DBSTATUS_S_ISNULL);
            break;
        }
        memcpy(&time, value.data, 8);
        ULARGE_INTEGER t;
        t.LowPart = time.dwLowDateTime;
        t.HighPart = time.dwHighDateTime;
        t.QuadPart += addTime;
        time.dwLowDateTime = t.LowPart;
        time.dwHighDateTime = t.HighPart;
        ok = params.SetValDate(n, time);
        break;
    }
    default:
        throw 0;
    }
    if (!ok)
        throw 0;
}

void AppendCondition(SqlText& out, const FilterCondition& c, DODBBindParam& params, ULONG& ordinal)
{
    const FieldBlob* f = c.field;
    const bool day = f->Base() == kFieldDate;
    auto column = [&]() -> SqlText& { return out.Append(f->column, static_cast<int>(f->columnLength)); };
    switch (c.effective) {
    case kFilterEqual:
        if (day) {
            column() << L">=? AND ";
            column() << L"<?";
            BindValue(params, ordinal, f, c.values[0]);
            BindValue(params, ordinal, f, c.values[0], kOneDay);
        } else {
            column() << L"=?";
            BindValue(params, ordinal, f, c.values[0]);
        }
        break;
    case kFilterEmpty:
        column() << L" IS NULL";
        break;
    case kFilterNotEmpty:
        column() << L" IS NOT NULL";
        break;
    case kFilterLess:
        column() << L"<?";
        BindValue(params, ordinal, f, c.values[0]);
        break;
    case kFilterMore:
        column() << L">?";
        BindValue(params, ordinal, f, c.values[0]);
        break;
    case kFilterBetween:
        column() << L">=?";
        BindValue(params, ordinal, f, c.values[0]);
        out << L" AND ";
        column() << L"<?";
        BindValue(params, ordinal, f, c.values[1], day ? kOneDay : 0);
        break;
    case kFilterLike:
    case kFilterSubstring:
        column() << L" LIKE ?";
        BindValue(params, ordinal, f, c.values[0]);
        break;
    default:
        throw 0;
    }
}

}  // namespace

bool BuildFilterSelect(SqlText& out, const DbFormDesc& list, const DbFilter* filter, DODBPtr<DODBBindParam>& params)
{
    params.Release();
    out.Clear();
    try {
        if (!params.CreateNew())
            return false;
        ULONG ordinal = 1;
        out << L"SELECT ";
        const DescStrArray& columns = list.List();
        for (int i = 0; i < columns.count; ++i) {
            if (columns[i]->type & kFieldSpecial)
                continue;
            out.Append(columns[i]->column, static_cast<int>(columns[i]->columnLength)) << L", ";
        }
        out << list.Key() << L" FROM " << list.Table();
        if (filter != nullptr && filter->Form() != nullptr) {
            bool any = false;
            const DbFilterValues& own = filter->Own();
            for (int i = 0; i < own.count; ++i) {
                if (own.conditions[i].effective == kFilterNotUsed)
                    continue;
                out << (any ? L" AND " : L" WHERE ");
                any = true;
                AppendCondition(out, own.conditions[i], *params.Get(), ordinal);
            }
            const FormDesc* form = filter->Form();
            for (int s = 0; s < filter->SectionCount() && s < form->RefCount(); ++s) {
                const FormRefDesc* ref = form->Ref(s);
                const DbFilterValues& section = filter->Section(s);
                bool opened = false;
                for (int i = 0; i < section.count; ++i) {
                    if (section.conditions[i].effective == kFilterNotUsed)
                        continue;
                    if (!opened) {
                        out << (any ? L" AND " : L" WHERE ");
                        out.Append(ref->String(kRefBaseKey), ref->StringLength(kRefBaseKey)) << L" IN (SELECT ";
                        out.Append(ref->String(kRefRefKey), ref->StringLength(kRefRefKey)) << L" FROM ";
                        out.Append(ref->String(kRefTable), ref->StringLength(kRefTable)) << L" WHERE ";
                        opened = any = true;
                    } else {
                        out << L" AND ";
                    }
                    AppendCondition(out, section.conditions[i], *params.Get(), ordinal);
                }
                if (opened)
                    out << L")";
            }
        }
        if (list.Order().Length() > 0)
            out << L" ORDER BY " << list.Order();
        out << L";";
        if (ordinal == 1)
            params.Release();
        return out.Ok();
    } catch (int) {
    } catch (const DException&) {
    } catch (const EMsg&) {
    } catch (const std::bad_alloc&) {
    }
    params.Release();
    return false;
}
