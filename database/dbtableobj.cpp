#include "database/dbtableobj.h"

#include "database/dberrors.h"
#include "resources/strings.h"

#include <string.h>

namespace {

[[noreturn]] void Throw(HRESULT result)
{
    throw DODBErrors(result, TRUE);
}

}  // namespace

BOOL DODBTableObj::Open(const DODBPtr<DODBSession>& session)
{
    if (command.IsSet())
        Close();
    if (!session.IsSet()) {
        DODBSetError(E_FAIL, IDS_DB_CREATE_COMMAND, L"DODBSession::CreateCommand");
        Throw(E_FAIL);
    }
    rowBlockKept = FALSE;
    if (!session->CreateCommand(command))
        Throw(E_FAIL);
    return TRUE;
}

BOOL DODBTableObj::SetCmdText(const wchar_t* text)
{
    if (!command.IsSet()) {
        DODBSetError(E_NOINTERFACE, IDS_DB_NO_COMMAND_TEXT, L"DODBCommand::SetCmdText");
        Throw(E_NOINTERFACE);
    }
    rowBlockKept = FALSE;
    HRESULT hr = command->SetCmdText(text);
    if (hr != S_OK)
        Throw(hr);
    return TRUE;
}

BOOL DODBTableObj::Prepare(const wchar_t* text)
{
    if (!command.IsSet()) {
        DODBSetError(E_NOINTERFACE, IDS_DB_NO_COMMAND_TEXT, L"DODBCommand::Prepare");
        Throw(E_NOINTERFACE);
    }
    rowBlockKept = FALSE;
    HRESULT hr = command->Prepare(text);
    if (FAILED(hr))
        Throw(hr);
    return TRUE;
}

BOOL DODBTableObj::Bind(DODBPtr<DODBBindParam>& list, ULONG ordinal, DBTYPE type, void* variable, ULONG length,
                        DBSTATUS status)
{
    if (!list.IsSet() && !list.CreateNew()) {
        DODBSetError(E_FAIL, IDS_DB_PARAMETER_ALLOC, L"DODBParams::SetVal");
        Throw(E_FAIL);
    }
    if (!list->SetValTyped(ordinal, type, variable, length, status))
        Throw(E_FAIL);
    return TRUE;
}

BOOL DODBTableObj::BindIn(ULONG ordinal, DBTYPE type, void* variable, ULONG length, DBSTATUS status)
{
    inputTexts = -1;
    return Bind(inputs, ordinal, type, variable, length, status);
}

BOOL DODBTableObj::BindOut(ULONG ordinal, DBTYPE type, void* variable, ULONG length, DBSTATUS status)
{
    outputsMapped = FALSE;
    return Bind(outputs, ordinal, type, variable, length, status);
}

void DODBTableObj::PrepareParams()
{
    if (!inputs.IsSet())
        return;
    if (!paramBlock.IsSet()) {
        if (!inputs->MakeParams(paramBlock) || FAILED(paramBlock->CreateParamAccessor(command->GetAccessor()))) {
            // A block left half made (no accessor) would be taken as made by
            // every later execution, which would then fail for good: it goes,
            // and the next execution makes it again.
            DODBErrors failure(E_FAIL, TRUE);
            paramBlock.Release();
            throw failure;
        }
    }
    // The caller may have put a text of another length into a bound buffer
    // since the block was made: the provider must read the text as it is now.
    if (inputTexts < 0)
        inputTexts = inputs->HasByRefTexts() ? 1 : 0;
    if (inputTexts && FAILED(inputs->RefreshByRefLengths(paramBlock.Get(), L"DODBTableObj::Execute")))
        Throw(E_FAIL);
}

BOOL DODBTableObj::Execute(DBROWCOUNT* affected)
{
    if (!command.IsSet()) {
        DODBSetError(E_NOINTERFACE, IDS_DB_NO_COMMAND_TEXT, L"DODBCommand::Execute");
        Throw(E_NOINTERFACE);
    }
    PrepareParams();
    if (rowBlockKept && rowBlock.IsSet() && rowset.IsSet()) {
        // The rowset object of the last execution takes the new rows.
        if (!command->ExecuteInto(*rowset.Get(), paramBlock.Get(), affected))
            Throw(E_FAIL);
        // The block must read as a new one wherever this object shows it
        // (IsNull, GetStatus: the statuses; its values are read only after a
        // fetch wrote them). The next row read writes every status, so they
        // are cleared only if something looks at them first (FreshStatuses).
        staleStatuses = TRUE;
        return TRUE;
    }
    if (!command->Execute(rowset, nullptr, paramBlock.Get(), affected))
        Throw(E_FAIL);
    DODBPtr<DODBParams> block = rowset->CreateParams(command->GetAccessor());
    rowBlockKept = block.IsSet();
    if (!rowBlockKept) {
        block = rowset->CreateParams();
        if (!block.IsSet())
            Throw(E_FAIL);
    }
    rowBlock = block;
    outputsMapped = FALSE;
    staleStatuses = FALSE;
    return TRUE;
}

BOOL DODBTableObj::ExecuteNR(DBROWCOUNT* affected)
{
    if (!command.IsSet()) {
        DODBSetError(E_NOINTERFACE, IDS_DB_NO_COMMAND_TEXT, L"DODBCommand::ExecuteNR");
        Throw(E_NOINTERFACE);
    }
    PrepareParams();
    if (FAILED(command->ExecuteNR(paramBlock.Get(), affected)))
        Throw(E_FAIL);
    return TRUE;
}

BOOL DODBTableObj::Fetch()
{
    if (!rowset.IsSet() || !rowBlock.IsSet()) {
        DODBSetError(E_FAIL, IDS_DB_NO_PARAMETER_MEMORY, L"DODBRowset::GetNextData");
        Throw(E_FAIL);
    }
    const BOOL fetched = rowset->GetNextData(rowBlock.Get());
    if (staleStatuses) {
        // The provider's GetData writes the status of every binding; a fetch
        // that got no row (the end, a failure) leaves them as they were.
        if (!fetched && !rowset->HoldsRow())
            rowBlock->ClearStatuses();
        staleStatuses = FALSE;
    }
    if (!fetched) {
        if (rowset->IsEndOfRowset())
            return FALSE;
        Throw(rowset->GetResult());
    }
    if (!outputs.IsSet())
        return TRUE;
    // GetNextData cleared the thread's error object and posted none: the
    // copies need not clear it again (CopyOut is GetValue less that step).
    if (outputsMapped || MapOutputs())
        CopyOutputsMapped();
    else
        CopyOutputsChecked();
    return TRUE;
}

bool DODBTableObj::MapOutputs()
{
    outputMap.clear();
    const ULONG slots = outputs->SlotCount();
    for (ULONG slot = 0; slot < slots; ++slot) {
        const ValueItem* item = outputs->Item(slot);
        if (item == nullptr)
            continue;
        OutputCopy copy = {};
        CopyMemory(&copy.variable, item->value, sizeof(copy.variable));
        const DBTYPE type = item->type & ~DBTYPE_BYREF;
        const int index = rowBlock->IndexOfOrdinal(item->ordinal);
        if (index < 0 || rowBlock->GetWType((ULONG)index) != type)
            return false;   // CopyOutputsChecked refuses it where the checks reach it
        copy.index = (ULONG)index;
        copy.status = rowBlock->GetBinding(copy.index)->obStatus;
        copy.value = rowBlock->GetBinding(copy.index)->obValue;
        if (type == DBTYPE_WSTR) {
            copy.chars = item->length / 2;
            if (copy.chars == 0)
                return false;
        } else {
            copy.size = DODBFixedSize(type);
        }
        outputMap.push_back(copy);
    }
    outputsMapped = TRUE;
    return true;
}

namespace {

// A fixed-size value of 1 to 8 bytes: the common sizes as moves of their own
// width (a call to the library's memcpy costs more than the copy itself).
inline void CopyFixed(void* to, const BYTE* from, ULONG size)
{
    switch (size) {
    case 4:
        memcpy(to, from, 4);
        break;
    case 8:
        memcpy(to, from, 8);
        break;
    case 2:
        memcpy(to, from, 2);
        break;
    default:
        CopyMemory(to, from, size);
        break;
    }
}

}  // namespace

void DODBTableObj::CopyOutputsMapped()
{
    const BYTE* data = rowBlock->GetData();
    for (const OutputCopy& copy : outputMap) {
        if (copy.size != 0) {
            // What CopyOut does for a value of fixed size that is there or NULL.
            const DBSTATUS s = *reinterpret_cast<const DBSTATUS*>(data + copy.status);
            columnStatus = s;
            if (s == DBSTATUS_S_OK) {
                CopyFixed(copy.variable, data + copy.value, copy.size);
                continue;
            }
            if (s == DBSTATUS_S_ISNULL)
                continue;
        } else {
            static_cast<wchar_t*>(copy.variable)[0] = 0;
        }
        if (FAILED(rowBlock->CopyOut(copy.index, copy.variable, &columnStatus, copy.chars)))
            Throw(E_FAIL);
    }
}

void DODBTableObj::CopyOutputsChecked()
{
    static const wchar_t kSource[] = L"DODBTableObj::Fetch";
    const ULONG slots = outputs->SlotCount();
    for (ULONG slot = 0; slot < slots; ++slot) {
        const ValueItem* item = outputs->Item(slot);
        if (item == nullptr)
            continue;
        void* variable = nullptr;
        CopyMemory(&variable, item->value, sizeof(variable));
        const DBTYPE type = item->type & ~DBTYPE_BYREF;
        const int index = rowBlock->IndexOfOrdinal(item->ordinal);
        if (index < 0) {
            DODBSetError(E_FAIL, IDS_DB_PARAMETER_NUMBER, kSource);
            Throw(E_FAIL);
        }
        // The column is copied only into a variable of its own type: a wider
        // column would overrun the caller's variable.
        if (rowBlock->GetWType((ULONG)index) != type) {
            DODBSetError(E_FAIL, IDS_DB_PARAMETER_TYPE, kSource);
            Throw(E_FAIL);
        }
        HRESULT hr;
        if (type == DBTYPE_WSTR) {
            const ULONG chars = item->length / 2;
            if (chars == 0) {
                DODBSetError(E_FAIL, IDS_DB_BUFFER_SIZE, kSource);
                Throw(E_FAIL);
            }
            static_cast<wchar_t*>(variable)[0] = 0;
            hr = rowBlock->CopyOut((ULONG)index, variable, &columnStatus, chars);
        } else {
            hr = rowBlock->CopyOut((ULONG)index, variable, &columnStatus, 0);
        }
        if (FAILED(hr))
            Throw(E_FAIL);
    }
}

void DODBTableObj::FreshStatuses() const
{
    if (staleStatuses) {
        rowBlock->ClearStatuses();
        staleStatuses = FALSE;
    }
}

BOOL DODBTableObj::IsNull(ULONG index) const
{
    if (!rowBlock.IsSet())
        return FALSE;
    FreshStatuses();
    return rowBlock->IsNull(index);
}

DBSTATUS DODBTableObj::GetStatus(ULONG ordinal)
{
    DBSTATUS status = DBSTATUS_E_UNAVAILABLE;
    if (rowBlock.IsSet()) {
        FreshStatuses();
        const int index = rowBlock->IndexOfOrdinal(ordinal);
        if (index >= 0)
            status = rowBlock->GetStatus((ULONG)index);
    }
    if (status == DBSTATUS_E_UNAVAILABLE)
        Throw(E_FAIL);
    return status;
}

BOOL DODBTableObj::SetParamStatus(ULONG ordinal, DBSTATUS status)
{
    const int index = paramBlock.IsSet() ? paramBlock->IndexOfOrdinal(ordinal) : -1;
    if (index < 0) {
        DODBSetError(E_FAIL, IDS_DB_PARAMETER_NUMBER, L"DODBParams::SetValue");
        Throw(E_FAIL);
    }
    if (FAILED(paramBlock->SetStatus((ULONG)index, status)))
        Throw(E_FAIL);
    return TRUE;
}

void DODBTableObj::Close()
{
    columnStatus = DBSTATUS_E_UNAVAILABLE;
    rowBlockKept = FALSE;
    staleStatuses = FALSE;
    outputsMapped = FALSE;
    rowBlock.Release();
    paramBlock.Release();
    rowset.Release();
    inputs.Release();
    outputs.Release();
    command.Release();
}

void DODBTableObj::Reset()
{
    columnStatus = DBSTATUS_E_UNAVAILABLE;
    rowBlockKept = FALSE;
    staleStatuses = FALSE;
    outputsMapped = FALSE;
    rowBlock.Release();
    paramBlock.Release();
    rowset.Release();
    inputs.Release();
    outputs.Release();
}
