#include "forms/kartsql.h"

#include "forms/dbformdesc.h"

namespace {

// Appends the column names of the fields joined by `separator`, each
// followed by `suffix`; only the fields whose type has all of `flags`.
int AppendColumns(SqlText& out, const DescStrArray& fields, const wchar_t* separator, const wchar_t* suffix,
                  DWORD flags = 0)
{
    int written = 0;
    for (int i = 0; i < fields.count; ++i) {
        const FieldBlob* f = fields[i];
        if ((f->type & flags) != flags)
            continue;
        if (written++ > 0)
            out << separator;
        out.Append(f->column, static_cast<int>(f->columnLength)) << suffix;
    }
    return written;
}

}  // namespace

namespace KartSql {

bool BuildSelect(SqlText& out, const DbFormDesc& form)
{
    out << L"SELECT ";
    if (AppendColumns(out, form.Items(), L", ", L"") == 0)
        out << form.Key();
    out << L" FROM " << form.Table() << L" WHERE " << form.Key() << L"=?;";
    return out.Ok();
}

bool BuildUpdate(SqlText& out, const DbFormDesc& form)
{
    if (form.Items().count == 0)
        return false;
    out << L"UPDATE " << form.Table() << L" SET ";
    AppendColumns(out, form.Items(), L", ", L"=?");
    out << L" WHERE " << form.Key() << L"=?;";
    return out.Ok();
}

bool BuildSelectMultiKey(SqlText& out, const DbFormDesc& form)
{
    SqlText conditions;
    if (AppendColumns(conditions, form.Items(), L" AND ", L"=?", kFieldRowId) == 0)
        return false;
    out << L"SELECT " << form.Key() << L" FROM " << form.Table() << L" WHERE " << conditions.c_str() << L";";
    return out.Ok() && conditions.Ok();
}

bool BuildInsert(SqlText& out, const DbFormDesc& form)
{
    const int n = form.Items().count;
    if (n == 0)
        return false;
    out << L"INSERT INTO " << form.Table() << L" (";
    AppendColumns(out, form.Items(), L", ", L"");
    out << L") VALUES (?";
    for (int i = 1; i < n; ++i)
        out << L", ?";
    out << L");";
    return out.Ok();
}

bool BuildDelete(SqlText& out, const DbFormDesc& form)
{
    out << L"DELETE FROM " << form.Table() << L" WHERE " << form.Key() << L"=?;";
    return out.Ok();
}

bool BuildSetNull(SqlText& out, const DescTextPair& child)
{
    out << L"UPDATE " << child.first << L" SET " << child.second << L"=NULL WHERE " << child.second << L"=?;";
    return out.Ok();
}

bool BuildLookupList(SqlText& out, const FieldRef& reference)
{
    out << L"SELECT ";
    out.Append(reference.keyColumn, static_cast<int>(reference.keyColumnLength)) << L", ";
    out.Append(reference.shownColumn, static_cast<int>(reference.shownColumnLength)) << L" FROM ";
    out.Append(reference.table, static_cast<int>(reference.tableLength)) << L" ORDER BY 2;";
    return out.Ok();
}

bool BuildRowList(SqlText& out, const DbFormDesc& form)
{
    if (form.List().count == 0)
        return false;
    // "special" columns are never read into a list (as in the filter's SELECT).
    out << L"SELECT ";
    for (int i = 0; i < form.List().count; ++i) {
        const FieldBlob* f = form.List()[i];
        if (!(f->type & kFieldSpecial))
            out.Append(f->column, static_cast<int>(f->columnLength)) << L", ";
    }
    out << form.Key() << L" FROM " << form.Table() << L" ORDER BY 1;";
    return out.Ok();
}

}  // namespace KartSql
