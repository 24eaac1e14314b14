// STAND-IN: see forms_standin.h.
#include "app/forms_standin.h"

#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "forms/dbformdesc.h"
#include "forms/fielddesc.h"
#include "forms/formdesc.h"
#include "foundation/datetime.h"
#include "ui/listview.h"

#include <cwchar>

namespace {

// One column of the list text: the value of column `index` of the row block
// in the field's own form ("" for NULL).
std::wstring CellText(DODBParams* row, ULONG index, const FieldBlob* field)
{
    if (row->IsNull(index) || !row->IsOk(index))
        return std::wstring();
    const DBTYPE type = row->GetWType(index);
    wchar_t buffer[64];
    switch (type) {
    case DBTYPE_WSTR: {
        const wchar_t* text = row->GetWStrPtr(index);
        return std::wstring(text, row->GetLengthChars(index));
    }
    case DBTYPE_I4:
        _snwprintf(buffer, 64, L"%ld", static_cast<long>(row->GetInt(index)));
        buffer[63] = 0;
        return buffer;
    case DBTYPE_FILETIME: {
        const FILETIME time = row->GetDate(index);
        const DWORD base = field ? field->Base() : kFieldDate;
        const wchar_t* picture = base == kFieldTime ? TimePicture : base == kFieldDateTime ? DateTimePicture : DatePicture;
        const int length = FormatFileTime(buffer, 64, picture, &time);
        return length > 0 ? std::wstring(buffer, length) : std::wstring();
    }
    default:
        return std::wstring();
    }
}

}  // namespace

PatientLookup& PatientLookup::Instance()
{
    static PatientLookup lookup;
    return lookup;
}

int PatientLookup::BuildSql(const DbFormDesc* desc)
{
    sql_.clear();
    if (!desc)
        return 0;
    sql_ = L"SELECT Name1, Name2, Name3, Birthday FROM ";
    sql_ += desc->Table().GetString() ? desc->Table().GetString() : L"";
    sql_ += L" WHERE ";
    sql_ += desc->Key().GetString() ? desc->Key().GetString() : L"";
    sql_ += L"=?;";
    return 1;
}

int PatientLookup::Run(DWORD key, DWORD request)
{
    key_ = key;
    request_ = request;
    if (request == 0) {
        if (listener_)
            listener_->OnCurrentPatient(nullptr, 0, key, 0);
        return 1;
    }
    if (sql_.empty())
        return 1;
    try {
        DODBPtr<DODBCommand> command;
        if (!g_DbSession.IsSet() || !g_DbSession->CreateCommand(command) || FAILED(command->SetCmdText(sql_.c_str())))
            throw DODBErrors(E_FAIL, TRUE);
        DODBPtr<DODBBindParam> params;
        if (!params.CreateNew() || !params->SetValI4(1, static_cast<LONG>(key)))
            throw DODBErrors(E_FAIL, TRUE);
        DODBPtr<DODBRowset> rowset;
        DODBPtr<DODBParams> row;
        if (!command->ExecuteBind(rowset, &row, params, nullptr))
            throw DODBErrors(E_FAIL, TRUE);
        if (!rowset->GetNextData(row.Get())) {
            if (!rowset->IsEndOfRowset())
                throw DODBErrors(E_FAIL, TRUE);
            // No such patient: nobody is current.
            request_ = 0;
            if (listener_)
                listener_->OnCurrentPatient(nullptr, 0, key, 0);
            return 1;
        }
        std::wstring text;
        for (ULONG i = 0; i < 4; ++i) {
            if (i)
                text += L' ';
            text += CellText(row.Get(), i, nullptr);
        }
        if (listener_)
            listener_->OnCurrentPatient(text.c_str(), static_cast<int>(text.size()), key, request);
        return 1;
    } catch (const DODBErrors& error) {
        wchar_t text[1024];
        const int length = error.GetText(text, 1023);
        text[length > 0 && length < 1024 ? length : 0] = 0;
        if (listener_)
            listener_->OnLookupError(text, static_cast<int>(wcslen(text)));
        return 0;
    }
}

BOOL DbFilter::Load(const FormDesc* form)
{
    loaded_ = form != nullptr;
    return loaded_;
}

int DbFilter::Describe(wchar_t* text, int capacity) const
{
    if (text && capacity > 0)
        text[0] = 0;
    return 0;
}

BOOL DbFiltFormWindow::Run(DbFilter*, HWND, BOOL* set)
{
    if (set)
        *set = FALSE;
    return TRUE;
}

BOOL BuildFilterSelect(wchar_t* sql, int capacity, const DbFormDesc* desc, const DbFilter*,
                       DODBPtr<DODBBindParam>& binds)
{
    binds.Release();
    if (!desc || !sql || capacity <= 0)
        return FALSE;
    std::wstring text = L"SELECT ";
    text += desc->Key().GetString();
    const DescStrArray& list = desc->List();
    for (int i = 0; i < list.count; ++i) {
        text += L", ";
        text += list[i]->column;
    }
    text += L" FROM ";
    text += desc->Table().GetString();
    if (desc->Order().Length() > 0) {
        text += L" ORDER BY ";
        text += desc->Order().GetString();
    }
    text += L";";
    if (static_cast<int>(text.size()) >= capacity)
        return FALSE;
    wcscpy(sql, text.c_str());
    return TRUE;
}

BOOL SetupListColumns(DListView* list, const DbFormDesc* desc)
{
    if (!list || !desc)
        return FALSE;
    while (list->GetColumnCount() > 0)
        list->DeleteColumn(0);
    const DescStrArray& fields = desc->List();
    for (int i = 0; i < fields.count; ++i) {
        const FieldBlob* field = fields[i];
        DWORD align = DListColumnFlags::kAlignLeft;
        if (field->align & kAlignCenter)
            align = DListColumnFlags::kAlignCenter;
        else if (field->align & kAlignRight)
            align = DListColumnFlags::kAlignRight;
        DListColumn column = {DListColumnFlags::kCaption | 2, DListColumnFlags::kTextCells | align, -1,
                              field->width > 0 ? field->width : 100, 64, field->caption, 0};
        if (!list->InsertColumn(&column))
            return FALSE;
    }
    return TRUE;
}

int FillListFromRowset(DListView* list, const DbFormDesc* desc, DODBRowset* rowset, DODBParams* row)
{
    if (!list || !desc || !rowset || !row)
        return -1;
    const DescStrArray& fields = desc->List();
    while (rowset->GetNextData(row)) {
        const LONG_PTR key = row->GetInt(0);
        for (int i = 0; i < fields.count; ++i) {
            std::wstring text = CellText(row, static_cast<ULONG>(i + 1), fields[i]);
            if (text.size() > 64)
                text.resize(64);
            DListItem item = {DListItemMask::kText | (i == 0 ? DListItemMask::kData : 0u), 0, i, -1,
                              const_cast<wchar_t*>(text.c_str()), static_cast<int>(text.size()), 0, key};
            if (!(i == 0 ? list->InsertItem(&item) : list->SetItem(&item)))
                return -1;
        }
    }
    return rowset->IsEndOfRowset() ? 0 : -1;
}

void KeepListColumnWidths(DListView* list, DbFormDesc* desc)
{
    if (!list || !desc)
        return;
    const DescStrArray& fields = desc->List();
    for (int i = 0; i < fields.count && i < list->GetColumnCount(); ++i) {
        const int width = list->GetColumnWidth(i);
        if (width >= 0)
            fields[i]->width = width;
    }
}

int RunKartForm(const wchar_t*, HWND, DWORD*, int)
{
    return -1;
}
