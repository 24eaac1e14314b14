#include "forms/kartdata.h"

#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "forms/dbformdesc.h"
#include "forms/kartfield.h"
#include "forms/kartsql.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "resources/strings.h"

#include <string.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The key as parameter 1 of the statement.
void SetKey(BoundStatement& statement, LONG key)
{
    if (!statement.Params().SetValI4(1, key))
        throw MsgExcept(IDS_PARAMS_CREATE_ERROR);
}

// Shows what an operation caught: a database error in its box, a user
// message as it is.
void ShowDbError(const DODBErrors& e)
{
    e.ShowMessage(nullptr, nullptr, MB_OK | MB_ICONERROR);
}

void ShowMessage(const MsgExcept& message)
{
    message.Show(nullptr, MB_OK | MB_ICONERROR);
}

// A row block over the rowset for the fields, column i bound as field i
// with the field's own type (the key alone for a form without fields).
bool BindRow(DODBRowset* rowset, int count, KartField** fields, DODBPtr<DODBParams>& row)
{
    if (!row.CreateNew())
        return false;
    const ULONG n = count > 0 ? static_cast<ULONG>(count) : 1;
    if (FAILED(row->SetNumParams(n)))
        return false;
    for (ULONG i = 0; i < n; ++i) {
        DBTYPE type = DBTYPE_I4;
        DBLENGTH size = 4;
        if (count > 0) {
            type = fields[i]->desc->bindType;
            size = fields[i]->desc->valueSize;
        }
        if (FAILED(row->SetParamBind(i, i + 1, type, size, DBPARAMIO_NOTPARAM)))
            return false;
    }
    return SUCCEEDED(row->AllocStructForParams()) && SUCCEEDED(row->CreateRowAccessor(rowset->GetAccessor()));
}

// A column name for binding by name: without the brackets of "[Date file]".
std::wstring BareName(const wchar_t* name, int length)
{
    if (length >= 2 && name[0] == L'[')
        return std::wstring(name + 1, static_cast<size_t>(length - 2));
    return std::wstring(name, static_cast<size_t>(length));
}

}  // namespace

namespace KartData {

bool ReadInteger(DODBParams* row, ULONG index, DWORD* value)
{
    const void* p = row->GetValuePtr(index);
    if (p == nullptr)
        return false;
    switch (row->GetWType(index)) {
    case DBTYPE_I1:
        *value = static_cast<DWORD>(static_cast<LONG>(*static_cast<const signed char*>(p)));
        return true;
    case DBTYPE_UI1:
        *value = *static_cast<const BYTE*>(p);
        return true;
    case DBTYPE_I2:
        *value = static_cast<DWORD>(static_cast<LONG>(*static_cast<const SHORT*>(p)));
        return true;
    case DBTYPE_UI2:
        *value = *static_cast<const USHORT*>(p);
        return true;
    case DBTYPE_I4:
    case DBTYPE_UI4:
        *value = *static_cast<const DWORD*>(p);
        return true;
    case DBTYPE_BOOL:
        *value = *static_cast<const VARIANT_BOOL*>(p) ? 1 : 0;
        return true;
    case DBTYPE_I8:
    case DBTYPE_UI8:
        *value = static_cast<DWORD>(*static_cast<const ULONGLONG*>(p));
        return true;
    default:
        return false;
    }
}

bool LoadInto(DODBParams* row, int count, KartField** fields)
{
    for (int i = 0; i < count; ++i) {
        KartField* f = fields[i];
        const ULONG c = static_cast<ULONG>(i);
        if (row->IsNull(c)) {
            f->SetNull();
            continue;
        }
        if (!row->IsOk(c))
            return false;
        switch (f->Base()) {
        case kFieldInt8:
        case kFieldInt16:
        case kFieldInt32:
        case kFieldBool: {
            DWORD word = 0;
            if (!ReadInteger(row, c, &word))
                return false;
            f->SetWord(word);
            break;
        }
        case kFieldText: {
            if (row->GetWType(c) != DBTYPE_WSTR)
                return false;
            // At most what the value holds, and exactly that many characters.
            int chars = static_cast<int>(row->GetLength(c) / sizeof(wchar_t));
            f->SetChars(static_cast<const wchar_t*>(row->GetValuePtr(c)), chars);
            break;
        }
        case kFieldDateTime:
        case kFieldDate:
        case kFieldTime:
            if (row->GetWType(c) != DBTYPE_FILETIME)
                return false;
            f->SetTime(*static_cast<const FILETIME*>(row->GetValuePtr(c)));
            break;
        default:
            return false;
        }
    }
    return true;
}

bool LoadRecord(const DbFormDesc& form, int count, KartField** fields, LONG key)
{
    try {
        SqlText sql;
        if (!KartSql::BuildSelect(sql, form))
            return false;
        BoundStatement query(g_DbSession, sql.c_str());
        SetKey(query, key);
        query.Execute(false);
        DODBPtr<DODBParams> row;
        if (!BindRow(query.Rowset(), count, fields, row))
            return false;
        if (!query.NextInto(row.Get()))
            return false;
        return LoadInto(row.Get(), count, fields);
    } catch (const DODBErrors&) {
        return false;
    } catch (const MsgExcept&) {
        return false;
    }
}

bool BindParams(int count, KartField** fields, bool rowIdOnly, DODBPtr<DODBParams>& params, int extraCount,
                const DBTYPE* extraTypes)
{
    params.Release();
    if (!params.CreateNew())
        return false;
    std::vector<KartField*> included;
    for (int i = 0; i < count; ++i)
        if (!rowIdOnly || (fields[i]->desc->type & kFieldRowId))
            included.push_back(fields[i]);
    const ULONG n = static_cast<ULONG>(included.size() + extraCount);
    if (n == 0 || FAILED(params->SetNumParams(n)))
        return false;
    ULONG i = 0;
    for (KartField* f : included) {
        if (FAILED(params->SetParamBind(i, i + 1, f->desc->bindType, f->desc->valueSize, DBPARAMIO_INPUT)))
            return false;
        ++i;
    }
    for (int e = 0; e < extraCount; ++e, ++i)
        if (FAILED(params->SetParamBind(i, i + 1, extraTypes[e], 0, DBPARAMIO_INPUT)))
            return false;
    if (FAILED(params->AllocStructForParams()))
        return false;
    i = 0;
    for (KartField* f : included) {
        HRESULT hr = f->IsNull() ? params->SetValue(i, nullptr, 0, DBSTATUS_S_ISNULL)
                                 : params->SetValue(i, f->Value(), static_cast<DBLENGTH>(f->length), DBSTATUS_S_OK);
        if (FAILED(hr))
            return false;
        ++i;
    }
    return true;
}

bool UpdateRecord(const DbFormDesc& form, int count, KartField** fields, LONG key)
{
    if (count == 0)
        return true;   // nothing of the row is on the card
    try {
        SqlText sql;
        if (!KartSql::BuildUpdate(sql, form))
            throw MsgExcept(IDS_PARAMETER_BIND_ERROR);
        BoundStatement update(g_DbSession, sql.c_str());
        DODBPtr<DODBParams> params;
        const DBTYPE keyType = DBTYPE_I4;
        if (!BindParams(count, fields, false, params, 1, &keyType))
            throw MsgExcept(IDS_PARAMETER_BIND_ERROR);
        if (FAILED(params->SetValue4(static_cast<ULONG>(count), key)))
            throw MsgExcept(IDS_PARAMETER_BIND_ERROR);
        update.UseBlock(params);
        update.Run();
        return true;
    } catch (const DODBErrors& e) {
        ShowDbError(e);
    } catch (const MsgExcept& message) {
        ShowMessage(message);
    }
    return false;
}

bool InsertRecord(const DbFormDesc& form, int count, KartField** fields, LONG* key)
{
    try {
        NewTableRow table(g_DbSession, form.Table().GetString());
        DODBRowset* rowset = table.Rowset();

        // The columns by name: the fields first, the key column last.
        std::vector<std::wstring> names;
        for (int i = 0; i < count; ++i)
            names.push_back(BareName(fields[i]->desc->column, static_cast<int>(fields[i]->desc->columnLength)));
        names.push_back(BareName(form.Key().GetString(), form.Key().Length()));
        std::vector<const wchar_t*> pointers;
        for (const std::wstring& n : names)
            pointers.push_back(n.c_str());
        std::vector<LONG> ordinals(names.size(), -1);
        if (FAILED(rowset->GetOrdinals(static_cast<ULONG>(names.size()), pointers.data(), ordinals.data())))
            throw MsgExcept(IDS_PARAMETER_BIND_ERROR);
        for (LONG o : ordinals)
            if (o < 1)
                throw MsgExcept(IDS_PARAMETER_BIND_ERROR);

        const ULONG keyIndex = static_cast<ULONG>(count);
        DODBPtr<DODBParams> row;
        bool bound = row.CreateNew() && SUCCEEDED(row->SetNumParams(keyIndex + 1));
        for (ULONG i = 0; bound && i < keyIndex; ++i)
            bound = SUCCEEDED(row->SetParamBind(i, static_cast<DBORDINAL>(ordinals[i]), fields[i]->desc->bindType,
                                                fields[i]->desc->valueSize, DBPARAMIO_NOTPARAM));
        bound = bound && SUCCEEDED(row->SetParamBind(keyIndex, static_cast<DBORDINAL>(ordinals[keyIndex]), DBTYPE_I4,
                                                     4, DBPARAMIO_NOTPARAM));
        bound = bound && SUCCEEDED(row->AllocStructForParams()) &&
                SUCCEEDED(row->CreateRowAccessor(rowset->GetAccessor()));
        if (!bound)
            throw MsgExcept(IDS_PARAMETER_BIND_ERROR);

        DODBPtr<DODBParams> keyRow;
        bool keyBound = keyRow.CreateNew() && SUCCEEDED(keyRow->SetNumParams(1)) &&
                        SUCCEEDED(keyRow->SetParamBind(0, static_cast<DBORDINAL>(ordinals[keyIndex]), DBTYPE_I4, 4,
                                                       DBPARAMIO_NOTPARAM)) &&
                        SUCCEEDED(keyRow->AllocStructForParams()) &&
                        SUCCEEDED(keyRow->CreateRowAccessor(rowset->GetAccessor()));
        if (!keyBound)
            throw MsgExcept(IDS_PARAMETER_SET_ERROR);

        for (ULONG i = 0; i < keyIndex; ++i) {
            KartField* f = fields[i];
            HRESULT hr = f->IsNull() ? row->SetValue(i, nullptr, 0, DBSTATUS_S_ISNULL)
                                     : row->SetValue(i, f->Value(), static_cast<DBLENGTH>(f->length), DBSTATUS_S_OK);
            if (FAILED(hr))
                throw MsgExcept(IDS_PARAMETER_SET_ERROR);
        }
        if (FAILED(row->SetValue(keyIndex, nullptr, 0, DBSTATUS_S_DEFAULT)))
            throw MsgExcept(IDS_PARAMETER_SET_ERROR);

        table.Insert(row.Get(), keyRow.Get());
        DWORD newKey = 0;
        if (!ReadInteger(keyRow.Get(), 0, &newKey))
            throw MsgExcept(IDS_PARAMETER_SET_ERROR);
        if (key != nullptr)
            *key = static_cast<LONG>(newKey);
        return true;
    } catch (const DODBErrors& e) {
        ShowDbError(e);
    } catch (const MsgExcept& message) {
        ShowMessage(message);
    }
    return false;
}

bool SelectByKey(const DbFormDesc& form, int count, KartField** fields, LONG* key, bool* found)
{
    SqlText sql;
    if (!KartSql::BuildSelectMultiKey(sql, form))
        return false;
    DODBPtr<DODBParams> params;
    if (!BindParams(count, fields, true, params, 0, nullptr))
        return false;
    try {
        BoundStatement query(g_DbSession, sql.c_str());
        query.UseBlock(params);
        if (query.First()) {
            DWORD value = 0;
            ReadInteger(query.Row(), 0, &value);
            *key = static_cast<LONG>(value);
            *found = true;
            return true;
        }
        *found = false;
        return true;
    } catch (const DODBErrors& e) {
        ShowDbError(e);
    }
    return false;
}

bool SetNull(const DbFormDesc& form, LONG key)
{
    try {
        for (int i = 0; i < form.ChildCount(); ++i) {
            SqlText sql;
            if (!KartSql::BuildSetNull(sql, form.Child(i)))
                return false;
            BoundStatement clear(g_DbSession, sql.c_str());
            SetKey(clear, key);
            clear.Run();
        }
        return true;
    } catch (const DODBErrors&) {
    } catch (const MsgExcept&) {
    }
    return false;
}

KartDeleteResult DeleteRecord(HWND owner, const DbFormDesc& form, LONG key)
{
    std::optional<BoundStatement> statement;
    try {
        SqlText sql;
        if (!KartSql::BuildDelete(sql, form))
            throw MsgExcept(IDS_PARAMS_CREATE_ERROR);
        statement.emplace(g_DbSession, sql.c_str());
        SetKey(*statement, key);
    } catch (const DODBErrors& e) {
        ShowDbError(e);
        return kDeleteFailed;
    } catch (const MsgExcept& message) {
        ShowMessage(message);
        return kDeleteFailed;
    }

    wchar_t caption[256] = {};
    LoadStringW(hInstance, IDS_RECORD_DELETE_FAILED, caption, 256);
    try {
        statement->Run();
        return kDeleteDone;
    } catch (const DODBErrors& first) {
        if (!first.FindSQLState(L"23000")) {
            first.ShowMessage(owner, caption, MB_OK | MB_ICONERROR);
            return kDeleteFailed;
        }
    }

    if (MessageBoxIdCaption(owner, IDS_RECORD_IN_USE, IDS_DELETING_RECORD, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return kDeleteCancelled;

    // The references and the row go together or not at all.
    DODBSession* session = g_DbSession.Get();
    if (FAILED(session->BeginTx())) {
        DODBErrors e(E_FAIL, TRUE);
        e.ShowMessage(owner, caption, MB_OK | MB_ICONERROR);
        return kDeleteFailed;
    }
    DODBErrors failure;
    bool deleted = false;
    if (SetNull(form, key)) {
        try {
            statement->Run();
            deleted = true;
        } catch (const DODBErrors& e) {
            failure = e;
        }
    } else {
        failure = DODBErrors(E_FAIL, TRUE);
    }
    if (deleted) {
        if (SUCCEEDED(session->CommitSync()))
            return kDeleteDone;
        failure = DODBErrors(E_FAIL, TRUE);
    }
    session->AbortTx();
    failure.ShowMessage(owner, caption, MB_OK | MB_ICONERROR);
    return kDeleteFailed;
}

}  // namespace KartData

bool FillLookupCombo(HWND combo, const FieldRef& reference, bool hasValue, DWORD value)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    try {
        SqlText sql;
        if (!KartSql::BuildLookupList(sql, reference))
            return false;
        BoundStatement query(g_DbSession, sql.c_str());
        query.Execute();
        DODBParams* row = query.Row();
        LRESULT chosen = CB_ERR;
        while (query.Next()) {
            DWORD rowKey = 0;
            if (!KartData::ReadInteger(row, 0, &rowKey) || row->GetWType(1) != DBTYPE_WSTR)
                return false;
            const wchar_t* text = row->IsOk(1) ? static_cast<const wchar_t*>(row->GetValuePtr(1)) : L"";
            LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            if (item == CB_ERR || item == CB_ERRSPACE)
                return false;
            SendMessageW(combo, CB_SETITEMDATA, item, static_cast<LPARAM>(rowKey));
            if (hasValue && rowKey == value && chosen == CB_ERR)
                chosen = item;
        }
        SendMessageW(combo, CB_SETCURSEL, chosen, 0);
        return true;
    } catch (const DODBErrors&) {
    } catch (const MsgExcept&) {
    }
    return false;
}

bool KartField::FillLookup(KartField* field)
{
    if (field->control == nullptr || field->desc->reference == nullptr)
        return false;
    return FillLookupCombo(field->control, *field->desc->reference, !field->IsNull(), field->Word());
}
