#include "test_error_object.h"

namespace {

bool Same(REFIID a, const IID& b)
{
    return memcmp(&a, &b, sizeof(IID)) == 0;
}

template <class Derived, class Interface>
class Unknown : public Interface
{
public:
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&count); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&count);
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }
    virtual ~Unknown() {}

protected:
    volatile LONG count = 1;
};

class SqlInfo : public Unknown<SqlInfo, ISQLErrorInfo>
{
public:
    explicit SqlInfo(const std::wstring& state) : state(state) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        *out = nullptr;
        if (!Same(riid, IID_IUnknown) && !Same(riid, IID_ISQLErrorInfo))
            return E_NOINTERFACE;
        *out = static_cast<ISQLErrorInfo*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP GetSQLInfo(BSTR* sqlState, LONG* native) override
    {
        *sqlState = SysAllocString(state.c_str());
        *native = 0;
        return S_OK;
    }

private:
    std::wstring state;
};

// The IErrorInfo face of an error object: the source and description of the
// record Derived::Shown() gives, no GUID, help file or help context.
template <class Derived>
class ErrorInfoOf : public Unknown<Derived, IErrorInfo>
{
public:
    STDMETHODIMP GetGUID(GUID* guid) override
    {
        *guid = GUID_NULL;
        return S_OK;
    }
    STDMETHODIMP GetSource(BSTR* s) override
    {
        *s = SysAllocString(static_cast<Derived*>(this)->Shown().source.c_str());
        return S_OK;
    }
    STDMETHODIMP GetDescription(BSTR* s) override
    {
        *s = SysAllocString(static_cast<Derived*>(this)->Shown().description.c_str());
        return S_OK;
    }
    STDMETHODIMP GetHelpFile(BSTR* s) override
    {
        *s = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetHelpContext(DWORD* c) override
    {
        *c = 0;
        return S_OK;
    }
};

class RecordInfo : public ErrorInfoOf<RecordInfo>
{
public:
    explicit RecordInfo(const TestErrorRecord& r) : record(r) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        *out = nullptr;
        if (!Same(riid, IID_IUnknown) && !Same(riid, IID_IErrorInfo))
            return E_NOINTERFACE;
        *out = static_cast<IErrorInfo*>(this);
        AddRef();
        return S_OK;
    }
    const TestErrorRecord& Shown() const { return record; }

private:
    TestErrorRecord record;
};

// Its own IErrorInfo face shows the first record (empty texts without one).
class ProviderError : public ErrorInfoOf<ProviderError>, public IErrorRecords
{
public:
    explicit ProviderError(const std::vector<TestErrorRecord>& r) : records(r) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override
    {
        *out = nullptr;
        if (Same(riid, IID_IUnknown) || Same(riid, IID_IErrorInfo))
            *out = static_cast<IErrorInfo*>(this);
        else if (Same(riid, IID_IErrorRecords))
            *out = static_cast<IErrorRecords*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ErrorInfoOf::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return ErrorInfoOf::Release(); }
    const TestErrorRecord& Shown() const
    {
        static const TestErrorRecord kNone = {};
        return records.empty() ? kNone : records[0];
    }
    STDMETHODIMP AddErrorRecord(ERRORINFO*, DWORD, DISPPARAMS*, IUnknown*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetBasicErrorInfo(ULONG i, ERRORINFO* info) override
    {
        if (i >= records.size())
            return DB_E_BADRECORDNUM;
        ZeroMemory(info, sizeof(*info));
        info->hrError = records[i].result;
        return S_OK;
    }
    STDMETHODIMP GetCustomErrorObject(ULONG i, REFIID riid, IUnknown** out) override
    {
        *out = nullptr;
        if (i >= records.size())
            return DB_E_BADRECORDNUM;
        if (records[i].sqlState.empty() || !Same(riid, IID_ISQLErrorInfo))
            return S_OK;
        *out = new SqlInfo(records[i].sqlState);
        return S_OK;
    }
    STDMETHODIMP GetErrorInfo(ULONG i, LCID, IErrorInfo** out) override
    {
        *out = nullptr;
        if (i >= records.size())
            return DB_E_BADRECORDNUM;
        *out = new RecordInfo(records[i]);
        return S_OK;
    }
    STDMETHODIMP GetErrorParameters(ULONG, DISPPARAMS*) override { return E_NOTIMPL; }
    STDMETHODIMP GetRecordCount(ULONG* n) override
    {
        *n = (ULONG)records.size();
        return S_OK;
    }

private:
    std::vector<TestErrorRecord> records;
};

}  // namespace

void PostTestProviderError(const std::vector<TestErrorRecord>& records)
{
    ProviderError* error = new ProviderError(records);
    SetErrorInfo(0, static_cast<IErrorInfo*>(error));
    error->Release();
}

void PostPlainError(const wchar_t* description, const wchar_t* source)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
        return;
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetSource(const_cast<LPOLESTR>(source));
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    SetErrorInfo(0, info);
    info->Release();
    create->Release();
}

IErrorInfo* TakeErrorObject()
{
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK)
        return nullptr;
    return info;
}
