// The layer's error object and the exception that carries it.
//
// ODBErrors answers the two faces callers use: IErrorInfo (what SetErrorInfo
// takes) and IErrorRecords (what DODBErrors reads). Its IErrorInfo face says
// nothing itself; the texts come from DODBRecordErrorInfo, which the records
// hand out one per record.
#include "database/dberrors.h"

#include "database/dbobject.h"
#include "foundation/globals.h"
#include "foundation/guid.h"
#include "foundation/prompt.h"
#include "foundation/strbuf.h"
#include "resources/strings.h"

#include <wchar.h>

namespace {

const int kTextCapacity = 4096;        // characters of the text of a DODBErrors
const int kDescriptionChars = 256;     // a string-table description at most

// Copies a text into a BSTR; a null text gives null and S_OK.
HRESULT CopyBstr(const wchar_t* text, BSTR* out)
{
    *out = nullptr;
    if (text == nullptr)
        return S_OK;
    *out = SysAllocString(text);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

bool IsIid(REFIID a, const IID& b)
{
    return GuidEquals(&a, &b);
}

// Copies the text into the caller's buffer by the layer's rule: at most
// `maximum` characters and always a terminator behind them (the buffer holds
// maximum + 1); returns the characters copied, or the whole length without a
// buffer.
int CopyOut(const DStrBuf& text, wchar_t* buffer, int maximum)
{
    if (buffer == nullptr || maximum <= 0)
        return text.Length();
    int n = text.Length() < maximum ? text.Length() : maximum;
    CopyMemory(buffer, text.GetString(), n * sizeof(wchar_t));
    buffer[n] = 0;
    return n;
}

}  // namespace

// ---------------------------------------------------------------- ODBErrors

ODBErrors::ODBErrors() : record(), count(0), following(nullptr) {}

ODBErrors::~ODBErrors()
{
    FreeRecord();
    if (following != nullptr)
        following->Release();
}

void ODBErrors::Follow(IErrorRecords* records)
{
    if (records != nullptr)
        records->AddRef();
    if (following != nullptr)
        following->Release();
    following = records;
}

ODBErrors* ODBErrors::Create()
{
    void* memory = DODBNew(sizeof(ODBErrors));
    return memory != nullptr ? new (memory) ODBErrors() : nullptr;
}

void ODBErrors::FreeRecord()
{
    if (count == 0)
        return;
    SysFreeString(record.description);
    SysFreeString(record.source);
    ZeroMemory(&record, sizeof(record));
    count = 0;
}

HRESULT ODBErrors::SetRecord(BOOL holdsId, HRESULT result, UINT id, const wchar_t* description,
                             const wchar_t* source)
{
    FreeRecord();
    ErrorRecord fresh = {};
    fresh.holdsId = holdsId;
    fresh.result = result;
    fresh.id = id;
    if (FAILED(CopyBstr(source, &fresh.source)))
        return E_OUTOFMEMORY;
    if (!holdsId && FAILED(CopyBstr(description, &fresh.description))) {
        SysFreeString(fresh.source);
        return E_OUTOFMEMORY;
    }
    record = fresh;
    count = 1;
    return S_OK;
}

HRESULT ODBErrors::AddRecord(HRESULT result, UINT id, const wchar_t* source)
{
    return SetRecord(TRUE, result, id, nullptr, source);
}

HRESULT ODBErrors::AddRecordText(HRESULT result, const wchar_t* description, const wchar_t* source)
{
    return SetRecord(FALSE, result, 0, description, source);
}

STDMETHODIMP ODBErrors::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (IsIid(riid, IID_IUnknown) || IsIid(riid, IID_IErrorRecords))
        *object = static_cast<IErrorRecords*>(this);
    else if (IsIid(riid, IID_IErrorInfo))
        *object = static_cast<IErrorInfo*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

// The last holder destroys the object and gives its memory back to the layer.
STDMETHODIMP_(ULONG) ODBErrors::Release()
{
    return refCount.ReleaseAndFree([this] { this->~ODBErrors(), DODBDelete(this); });
}

STDMETHODIMP ODBErrors::GetGUID(GUID*)
{
    return S_FALSE;
}

STDMETHODIMP ODBErrors::GetSource(BSTR* source)
{
    if (source != nullptr)
        *source = nullptr;
    return E_FAIL;
}

STDMETHODIMP ODBErrors::GetDescription(BSTR* description)
{
    if (description != nullptr)
        *description = nullptr;
    return E_FAIL;
}

STDMETHODIMP ODBErrors::GetHelpFile(BSTR* helpFile)
{
    if (helpFile != nullptr)
        *helpFile = nullptr;
    return E_FAIL;
}

STDMETHODIMP ODBErrors::GetHelpContext(DWORD* helpContext)
{
    if (helpContext != nullptr)
        *helpContext = 0;
    return E_FAIL;
}

STDMETHODIMP ODBErrors::AddErrorRecord(ERRORINFO*, DWORD, DISPPARAMS*, IUnknown*, DWORD)
{
    return E_FAIL;
}

STDMETHODIMP ODBErrors::GetBasicErrorInfo(ULONG index, ERRORINFO* info)
{
    if (index >= count && following != nullptr)
        return following->GetBasicErrorInfo(index - count, info);
    if (index >= count || info == nullptr)
        return E_FAIL;
    info->hrError = record.result;
    return S_OK;
}

STDMETHODIMP ODBErrors::GetCustomErrorObject(ULONG index, REFIID riid, IUnknown** object)
{
    if (index >= count && following != nullptr)
        return following->GetCustomErrorObject(index - count, riid, object);
    if (object != nullptr)
        *object = nullptr;
    return E_FAIL;
}

STDMETHODIMP ODBErrors::GetErrorInfo(ULONG index, LCID locale, IErrorInfo** info)
{
    if (info == nullptr)
        return E_FAIL;
    *info = nullptr;
    if (index >= count && following != nullptr)
        return following->GetErrorInfo(index - count, locale, info);
    if (index >= count)
        return E_FAIL;
    *info = DODBRecordErrorInfo::Create(this, record);
    return *info != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP ODBErrors::GetErrorParameters(ULONG index, DISPPARAMS* params)
{
    if (index >= count && following != nullptr)
        return following->GetErrorParameters(index - count, params);
    return E_FAIL;
}

STDMETHODIMP ODBErrors::GetRecordCount(ULONG* records)
{
    if (records == nullptr)
        return E_INVALIDARG;
    ULONG more = 0;
    if (following != nullptr && FAILED(following->GetRecordCount(&more)))
        more = 0;
    *records = count + more;
    return S_OK;
}

// ------------------------------------------------------ DODBRecordErrorInfo

DODBRecordErrorInfo::DODBRecordErrorInfo(ODBErrors* owner) : owner(owner), record()
{
    owner->AddRef();
}

DODBRecordErrorInfo::~DODBRecordErrorInfo()
{
    SysFreeString(record.description);
    SysFreeString(record.source);
    owner->Release();
}

DODBRecordErrorInfo* DODBRecordErrorInfo::Create(ODBErrors* owner, const ErrorRecord& from)
{
    void* memory = DODBNew(sizeof(DODBRecordErrorInfo));
    if (memory == nullptr)
        return nullptr;
    DODBRecordErrorInfo* info = new (memory) DODBRecordErrorInfo(owner);
    info->record.holdsId = from.holdsId;
    info->record.result = from.result;
    info->record.id = from.id;
    if (FAILED(CopyBstr(from.source, &info->record.source)) ||
        FAILED(CopyBstr(from.description, &info->record.description))) {
        info->Release();
        return nullptr;
    }
    return info;
}

STDMETHODIMP DODBRecordErrorInfo::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (!IsIid(riid, IID_IUnknown) && !IsIid(riid, IID_IErrorInfo))
        return E_NOINTERFACE;
    *object = static_cast<IErrorInfo*>(this);
    AddRef();
    return S_OK;
}

// The last holder destroys the object and gives its memory back to the layer.
STDMETHODIMP_(ULONG) DODBRecordErrorInfo::Release()
{
    return refCount.ReleaseAndFree([this] { this->~DODBRecordErrorInfo(), DODBDelete(this); });
}

STDMETHODIMP DODBRecordErrorInfo::GetGUID(GUID*)
{
    return E_FAIL;
}

STDMETHODIMP DODBRecordErrorInfo::GetSource(BSTR* source)
{
    if (source == nullptr)
        return E_INVALIDARG;
    return CopyBstr(record.source, source);
}

STDMETHODIMP DODBRecordErrorInfo::GetDescription(BSTR* description)
{
    if (description == nullptr)
        return E_INVALIDARG;
    *description = nullptr;
    if (!record.holdsId)
        return CopyBstr(record.description, description);
    wchar_t text[kDescriptionChars + 1];
    int n = LoadStringW(hInstance, record.id, text, kDescriptionChars + 1);
    if (n <= 0)
        return E_FAIL;
    *description = SysAllocStringLen(text, n);
    return *description != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP DODBRecordErrorInfo::GetHelpFile(BSTR* helpFile)
{
    if (helpFile != nullptr)
        *helpFile = nullptr;
    return E_FAIL;
}

STDMETHODIMP DODBRecordErrorInfo::GetHelpContext(DWORD* helpContext)
{
    if (helpContext != nullptr)
        *helpContext = 0;
    return E_FAIL;
}

// ------------------------------------------------------------------ posting

void DODBClearError()
{
    SetErrorInfo(0, nullptr);
}

BOOL DODBSetError(HRESULT result, UINT id, const wchar_t* source)
{
    ODBErrors* errors = ODBErrors::Create();
    if (errors == nullptr)
        return FALSE;
    errors->AddRecord(result, id, source);
    SetErrorInfo(0, static_cast<IErrorInfo*>(errors));
    errors->Release();
    return TRUE;
}

BOOL DODBErrorPending()
{
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr)
        return FALSE;
    SetErrorInfo(0, info);
    info->Release();
    return TRUE;
}

BOOL DODBAddError(HRESULT result, UINT id, const wchar_t* source)
{
    if (DODBErrorPending())
        return FALSE;
    return DODBSetError(result, id, source);
}

BOOL DODBPrependError(HRESULT result, UINT id, const wchar_t* source)
{
    IErrorInfo* pending = nullptr;
    if (GetErrorInfo(0, &pending) != S_OK)
        pending = nullptr;
    IErrorRecords* records = nullptr;
    if (pending != nullptr &&
        FAILED(pending->QueryInterface(IID_IErrorRecords, reinterpret_cast<void**>(&records))))
        records = nullptr;
    ODBErrors* errors = ODBErrors::Create();
    BOOL posted = FALSE;
    if (errors != nullptr && SUCCEEDED(errors->AddRecord(result, id, source))) {
        errors->Follow(records);
        SetErrorInfo(0, static_cast<IErrorInfo*>(errors));
        posted = TRUE;
    } else if (pending != nullptr) {
        SetErrorInfo(0, pending);   // nothing better to leave behind
    }
    if (errors != nullptr)
        errors->Release();
    if (records != nullptr)
        records->Release();
    if (pending != nullptr)
        pending->Release();
    return posted;
}

// ---------------------------------------------------------------- DOAErrors

DOAErrors::DOAErrors(const DOAErrors& other) : result(other.result), records(other.records)
{
    if (records != nullptr)
        records->AddRef();
}

DOAErrors& DOAErrors::operator=(const DOAErrors& other)
{
    IErrorRecords* taken = other.records;
    if (taken != nullptr)
        taken->AddRef();
    Reset();
    records = taken;
    result = other.result;
    return *this;
}

void DOAErrors::Reset()
{
    if (records != nullptr) {
        records->Release();
        records = nullptr;
    }
}

int DOAErrors::GetText(wchar_t* buffer, int maximum) const
{
    if (buffer != nullptr)
        buffer[0] = 0;
    wchar_t array[kTextCapacity];
    DStrBuf text(array, kTextCapacity);
    text.Clear();
    ULONG n = 0;
    if (records == nullptr || FAILED(records->GetRecordCount(&n)))
        n = 0;
    if (records == nullptr) {
        text.AppendFormat(L"HRESULT:\t%#X\n", result);
        return CopyOut(text, buffer, maximum);
    }
    for (ULONG i = 0; i < n; ++i) {
        ERRORINFO basic = {};
        HRESULT hr = records->GetBasicErrorInfo(i, &basic);
        text.AppendFormat(L"%u.\nHRESULT:\t%#X\n", i + 1, SUCCEEDED(hr) ? basic.hrError : hr);
        IErrorInfo* info = nullptr;
        if (records->GetErrorInfo(i, GetThreadLocale(), &info) == S_OK && info != nullptr) {
            BSTR source = nullptr;
            BSTR description = nullptr;
            info->GetSource(&source);
            info->GetDescription(&description);
            text.Append(source != nullptr ? source : L"");
            text.Append(L"\n");
            text.Append(description != nullptr ? description : L"");
            text.Append(L"\n");
            SysFreeString(source);
            SysFreeString(description);
            info->Release();
        }
    }
    return CopyOut(text, buffer, maximum);
}

int DOAErrors::ShowMessage(HWND owner, const wchar_t* caption, UINT flags) const
{
    wchar_t text[1024] = {};
    GetText(text, 1023);
    ShowPrompt(owner, text, caption, flags);
    return 0;
}

// --------------------------------------------------------------- DODBErrors

DODBErrors::DODBErrors(HRESULT hr, BOOL fetch) : DOAErrors(hr)
{
    if (fetch)
        Collect();
}

void DODBErrors::Collect()
{
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr)
        return;
    Reset();
    IErrorRecords* found = nullptr;
    if (SUCCEEDED(info->QueryInterface(IID_IErrorRecords, reinterpret_cast<void**>(&found))) && found != nullptr) {
        records = found;
    } else {
        // A plain error object (SetErrorInfo of a CreateErrorInfo object, as
        // automation components post): keep its own description and source
        // as one record, so that its text still reaches the user.
        ODBErrors* own = ODBErrors::Create();
        if (own != nullptr) {
            BSTR description = nullptr;
            BSTR source = nullptr;
            if (FAILED(info->GetDescription(&description)))
                description = nullptr;
            if (FAILED(info->GetSource(&source)))
                source = nullptr;
            own->AddRecordText(result, description, source);
            SysFreeString(description);
            SysFreeString(source);
            records = static_cast<IErrorRecords*>(own);
        }
    }
    info->Release();
}

ULONG DODBErrors::RecordCount() const
{
    ULONG n = 0;
    if (records == nullptr || FAILED(records->GetRecordCount(&n)))
        return 0;
    return n;
}

HRESULT DODBErrors::RecordHResult(ULONG index) const
{
    if (records == nullptr)
        return E_FAIL;
    ERRORINFO basic = {};
    HRESULT hr = records->GetBasicErrorInfo(index, &basic);
    if (FAILED(hr))
        return hr;
    return basic.hrError;
}

IErrorInfo* DODBErrors::RecordErrorInfo(ULONG index) const
{
    if (records == nullptr)
        return nullptr;
    IErrorInfo* info = nullptr;
    if (FAILED(records->GetErrorInfo(index, GetThreadLocale(), &info)))
        return nullptr;
    return info;
}

BSTR DODBErrors::GetSQLStateBstr(ULONG index) const
{
    if (records == nullptr)
        return nullptr;
    IUnknown* custom = nullptr;
    if (FAILED(records->GetCustomErrorObject(index, IID_ISQLErrorInfo, &custom)) || custom == nullptr)
        return nullptr;
    ISQLErrorInfo* sql = nullptr;
    BSTR state = nullptr;
    if (SUCCEEDED(custom->QueryInterface(IID_ISQLErrorInfo, reinterpret_cast<void**>(&sql))) && sql != nullptr) {
        LONG native = 0;
        if (FAILED(sql->GetSQLInfo(&state, &native))) {
            SysFreeString(state);
            state = nullptr;
        }
        sql->Release();
    }
    custom->Release();
    return state;
}

int DODBErrors::GetSQLState(ULONG index, wchar_t* buffer) const
{
    if (buffer == nullptr)
        return 0;
    buffer[0] = 0;
    BSTR state = GetSQLStateBstr(index);
    if (state == nullptr)
        return 0;
    // A SQLSTATE has five characters; a longer text from a provider is cut
    // rather than run past the caller's six-character buffer.
    int n = (int)SysStringLen(state);
    if (n > 5)
        n = 5;
    CopyMemory(buffer, state, n * sizeof(wchar_t));
    buffer[n] = 0;
    SysFreeString(state);
    return n;
}

BOOL DODBErrors::FindSQLState(const wchar_t* state) const
{
    if (state == nullptr)
        return FALSE;
    const size_t length = wcslen(state);
    const ULONG n = RecordCount();
    for (ULONG i = 0; i < n; ++i) {
        BSTR found = GetSQLStateBstr(i);
        bool same = found != nullptr && SysStringLen(found) == length &&
                    wmemcmp(found, state, length) == 0;
        SysFreeString(found);
        if (same)
            return TRUE;
    }
    return FALSE;
}

int DODBErrors::GetText(wchar_t* buffer, int maximum) const
{
    if (buffer != nullptr)
        buffer[0] = 0;
    wchar_t array[kTextCapacity];
    DStrBuf text(array, kTextCapacity);
    text.Clear();
    if (records == nullptr) {
        text.AppendFormat(L"HRESULT: %#X\n", result);
        return CopyOut(text, buffer, maximum);
    }
    wchar_t label[64];
    DStrBuf component(label, 64);
    component.Clear();
    component.LoadString(IDS_COMPONENT_NAME);
    const ULONG n = RecordCount();
    for (ULONG i = 0; i < n; ++i) {
        text.AppendFormat(L"%u.\nHRESULT: %#X\n", i + 1, RecordHResult(i));
        BSTR state = GetSQLStateBstr(i);
        if (state != nullptr)
            text.AppendFormat(L"SQLSTATE: %s\n", state);
        else
            text.Append(L"SQLSTATE: UNKNOWN\n");
        SysFreeString(state);
        BSTR source = nullptr;
        BSTR description = nullptr;
        IErrorInfo* info = RecordErrorInfo(i);
        if (info != nullptr) {
            if (FAILED(info->GetSource(&source)))
                source = nullptr;
            if (FAILED(info->GetDescription(&description)))
                description = nullptr;
            info->Release();
        }
        text.AppendBuf(component);
        text.Append(source != nullptr ? source : L"");
        text.Append(L"\n");
        text.Append(description != nullptr ? description : L"");
        text.Append(L"\n");
        SysFreeString(source);
        SysFreeString(description);
    }
    return CopyOut(text, buffer, maximum);
}

int DODBErrors::ShowMessage(HWND owner, const wchar_t* caption, UINT flags) const
{
    wchar_t text[2048] = {};
    GetText(text, 1000);
    ShowPrompt(owner, text, caption, flags);
    return 0;
}
