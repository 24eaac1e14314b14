// The DICOM export server's client: see dicomclient.h.
#include "exchange/dicom/dicomclient.h"

#include "exchange/dicom/exchangelog.h"
#include "foundation/prompt.h"

#include <stdio.h>

const wchar_t DicomExportClient::kSectionName[] = L"ZelkDICOM{875764763}";
const wchar_t DicomExportClient::kProgId[] = L"IDicomExportServer.Application";

namespace {

const wchar_t* const kMemberNames[] = {L"GetTargetList", L"SendImage",   L"SaveImage",
                                       L"GetQueueStatus", L"DeleteImage", L"ResetImage"};
const DWORD kClassContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;   // 0x15

// The application object of one connection, released at its end.
class DispatchPtr
{
public:
    explicit DispatchPtr(LCID lcid) : lcid_(lcid) {}
    ~DispatchPtr()
    {
        if (object_)
            object_->Release();
    }
    DispatchPtr(const DispatchPtr&) = delete;
    DispatchPtr& operator=(const DispatchPtr&) = delete;
    IDispatch** Out() { return &object_; }
    IDispatch* Get() const { return object_; }
    LCID Lcid() const { return lcid_; }

private:
    LCID lcid_;
    IDispatch* object_ = nullptr;
};

class Key
{
public:
    ~Key()
    {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A failed call of the connection: journalled, then thrown as its HRESULT.
[[noreturn]] void Fail(const wchar_t* call, const wchar_t* argument, HRESULT hr)
{
    LogCallFailure(call, argument, (DWORD)hr);
    throw hr;
}

void Show(const wchar_t* text)
{
    ShowPrompt(nullptr, text, nullptr, MB_OK);
}

void ClearAll(VARIANT* args, UINT count)
{
    for (UINT i = 0; i < count; ++i)
        VariantClear(&args[i]);
}

bool SetText(VARIANT& v, const wchar_t* text)
{
    VariantInit(&v);
    V_BSTR(&v) = SysAllocString(text ? text : L"");
    if (!V_BSTR(&v))
        return false;
    V_VT(&v) = VT_BSTR;
    return true;
}

}  // namespace

DicomExportClient& DicomExportClient::Instance()
{
    static DicomExportClient client;
    return client;
}

DicomExportClient::DicomExportClient()
{
    for (DISPID& id : ids_)
        id = DISPID_UNKNOWN;
}

DicomExportClient::~DicomExportClient()
{
    // The process-wide client outlives COM: Shutdown releases the object
    // while COM is still there; at this point only the list goes.
    targets_.clear();
}

void DicomExportClient::Shutdown()
{
    if (server_) {
        server_->Release();
        server_ = nullptr;
    }
    targets_.clear();
}

HRESULT DicomExportClient::Call(IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count,
                                VARIANT* result) const
{
    // COM order: the last argument first.
    VARIANT reversed[8];
    if (count > 8)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        reversed[i] = args[count - 1 - i];
    DISPPARAMS params = {count ? reversed : nullptr, nullptr, count, 0};
    EXCEPINFO exception;
    ZeroMemory(&exception, sizeof exception);
    UINT argError = 0;
    if (result)
        VariantInit(result);
    const HRESULT hr = object->Invoke(id, IID_NULL, lcid_, flags, &params, result, &exception, &argError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

IDispatch* DicomExportClient::Connect()
{
    DispatchPtr application(GetThreadLocale());
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    if (FAILED(hr))
        Fail(L"CLSIDFromProgID", kProgId, hr);
    // Without the machine's DCOM setting no server is looked for.
    Key ole;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Ole", 0, KEY_READ, ole.Out());
    if (opened != ERROR_SUCCESS) {
        LogCallFailure(L"RegOpenKeyExW", L"HKLM\\SOFTWARE\\Microsoft\\Ole", (DWORD)opened);
        throw (HRESULT)REGDB_E_CLASSNOTREG;
    }
    BYTE enable[4];
    DWORD size = sizeof enable, type = 0;
    const LONG status = RegQueryValueExW(ole.Get(), L"EnableDCOM", nullptr, &type, enable, &size);
    if (status != ERROR_SUCCESS)
        Fail(L"RegQueryValueExW", L"EnableDCOM", HRESULT_FROM_WIN32(status));

    IUnknown* running = nullptr;
    if (SUCCEEDED(GetActiveObject(clsid, nullptr, &running)) && running) {
        hr = running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(application.Out()));
        running->Release();
    } else {
        hr = CoCreateInstance(clsid, nullptr, kClassContext, IID_IDispatch,
                              reinterpret_cast<void**>(application.Out()));
    }
    if (FAILED(hr) || !application.Get())
        Fail(L"CoCreateInstance", kProgId, FAILED(hr) ? hr : (HRESULT)E_NOINTERFACE);

    // The working object.
    DISPID instance = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"Instance");
    hr = application.Get()->GetIDsOfNames(IID_NULL, &name, 1, application.Lcid(), &instance);
    if (FAILED(hr))
        Fail(L"GetIDsOfNames", L"Instance", hr);
    VARIANT arg;
    if (!SetText(arg, L"DicomControl"))
        throw (HRESULT)E_OUTOFMEMORY;
    VARIANT result;
    lcid_ = application.Lcid();
    hr = Call(application.Get(), instance, DISPATCH_PROPERTYGET, &arg, 1, &result);
    VariantClear(&arg);
    if (FAILED(hr))
        Fail(L"Invoke", L"Instance", hr);
    IDispatch* control = nullptr;
    if (V_VT(&result) == VT_DISPATCH && V_DISPATCH(&result)) {
        control = V_DISPATCH(&result);
        control->AddRef();
    } else if (V_VT(&result) == VT_UNKNOWN && V_UNKNOWN(&result)) {
        V_UNKNOWN(&result)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&control));
    }
    VariantClear(&result);
    return control;
}

int DicomExportClient::Init()
{
    IDispatch* control = Connect();
    // The working object of the connection before goes, whatever this one gave.
    if (server_)
        server_->Release();
    server_ = control;
    if (!server_)
        return 0;
    lcid_ = GetThreadLocale();
    codePage_ = GetACP();
    for (int m = 0; m < kMembers; ++m) {
        LPOLESTR name = const_cast<LPOLESTR>(kMemberNames[m]);
        const HRESULT hr = server_->GetIDsOfNames(IID_NULL, &name, 1, lcid_, &ids_[m]);
        if (FAILED(hr))
            Fail(L"GetIDsOfNames", kMemberNames[m], hr);
    }
    return 1;
}

int DicomExportClient::GetTargetList()
{
    targets_.clear();
    if (!server_)
        return 0;
    VARIANT result;
    if (FAILED(Call(server_, ids_[kGetTargetList], DISPATCH_METHOD, nullptr, 0, &result)))
        return 0;
    int ok = 0;
    if (V_VT(&result) == (VT_ARRAY | VT_VARIANT) && V_ARRAY(&result) && SafeArrayGetDim(V_ARRAY(&result)) == 1) {
        SAFEARRAY* array = V_ARRAY(&result);
        LONG low = 0, high = -1;
        VARIANT* items = nullptr;
        if (SUCCEEDED(SafeArrayGetLBound(array, 1, &low)) && SUCCEEDED(SafeArrayGetUBound(array, 1, &high)) &&
            SUCCEEDED(SafeArrayAccessData(array, reinterpret_cast<void**>(&items)))) {
            ok = 1;
            for (LONG i = 0; i <= high - low; ++i) {
                if (V_VT(&items[i]) != VT_BSTR) {
                    ok = 0;
                    break;
                }
                const BSTR name = V_BSTR(&items[i]);
                targets_.emplace_back(name ? name : L"", SysStringLen(name));
            }
            SafeArrayUnaccessData(array);
        }
    }
    if (!ok)
        targets_.clear();
    VariantClear(&result);
    return ok;
}

const wchar_t* DicomExportClient::TargetName(int index) const
{
    return index >= 0 && index < (int)targets_.size() ? targets_[(size_t)index].c_str() : nullptr;
}

int DicomExportClient::CallForText(Member member, const wchar_t* word, VARIANT* args, UINT count)
{
    VARIANT result;
    const HRESULT hr = Call(server_, ids_[member], DISPATCH_METHOD, args, count, &result);
    wchar_t text[128];
    int ok = 0;
    if (FAILED(hr)) {
        LogCallFailure(L"Invoke", kMemberNames[member], (DWORD)hr);
        _snwprintf(text, 127, L"Ошибка вызова Invoke(%ls) HRESULT=%.8lx", word, (unsigned long)hr);
        text[127] = 0;
        Show(text);
    } else if (V_VT(&result) == VT_BSTR) {
        if (SysStringLen(V_BSTR(&result)) == 0)
            ok = 1;
        else
            Show(V_BSTR(&result));
    } else {
        _snwprintf(text, 127, L"Ошибка %ls", word);
        text[127] = 0;
        Show(text);
    }
    VariantClear(&result);
    return ok;
}

int DicomExportClient::SendPicture(int index, SAFEARRAY* attributes)
{
    if (!server_ || index < 0 || index >= (int)targets_.size())
        return 0;
    VARIANT args[5];
    for (VARIANT& a : args)
        VariantInit(&a);
    int ok = 0;
    if (SetText(args[0], targets_[(size_t)index].c_str()) && SetText(args[3], kSectionName) && SetText(args[4], L"")) {
        V_VT(&args[1]) = VT_I4;
        V_I4(&args[1]) = (LONG)codePage_;
        // The array stays the caller's: the argument only borrows it.
        V_VT(&args[2]) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(&args[2]) = attributes;
        ok = CallForText(kSendImage, L"SendImage", args, 5);
        VariantInit(&args[2]);
    }
    ClearAll(args, 5);
    return ok;
}

int DicomExportClient::SaveImage(const wchar_t* fileName, SAFEARRAY* attributes)
{
    if (!server_)
        return 0;
    VARIANT args[4];
    for (VARIANT& a : args)
        VariantInit(&a);
    int ok = 0;
    if (SetText(args[0], fileName) && SetText(args[3], kSectionName)) {
        V_VT(&args[1]) = VT_I4;
        V_I4(&args[1]) = (LONG)codePage_;
        V_VT(&args[2]) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(&args[2]) = attributes;
        ok = CallForText(kSaveImage, L"SaveImage", args, 4);
        VariantInit(&args[2]);
    }
    ClearAll(args, 4);
    return ok;
}

int DicomExportClient::Reset(const wchar_t* image)
{
    if (!server_)
        return 0;
    VARIANT arg;
    if (!SetText(arg, image))
        return 0;
    const int ok = CallForText(kResetImage, L"Reset", &arg, 1);
    VariantClear(&arg);
    return ok;
}

int DicomExportClient::Delete(const wchar_t* image)
{
    if (!server_)
        return 0;
    VARIANT arg;
    if (!SetText(arg, image))
        return 0;
    const int ok = CallForText(kDeleteImage, L"Delete", &arg, 1);
    VariantClear(&arg);
    return ok;
}

int DicomExportClient::GetQueueStatus(VARIANT* result, const wchar_t* target)
{
    if (result)
        VariantInit(result);
    if (!server_ || !result)
        return 0;
    VARIANT arg;
    if (!SetText(arg, target))
        return 0;
    const HRESULT hr = Call(server_, ids_[kGetQueueStatus], DISPATCH_METHOD, &arg, 1, result);
    VariantClear(&arg);
    if (FAILED(hr)) {
        VariantClear(result);
        return 0;
    }
    return 1;
}
