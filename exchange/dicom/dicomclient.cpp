// The DICOM export server's client: see dicomclient.h.
#include "exchange/dicom/dicomclient.h"

#include "exchange/dicom/exchangelog.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/refcount.h"
#include "resources/strings.h"
#include "ui/threadwait.h"
#include "ui/wait_cursor.h"

#include <stdio.h>

#include <new>

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

// Invoke with `args` in call order; the HRESULT.
HRESULT CallMember(IDispatch* object, DISPID id, WORD flags, LCID lcid, VARIANT* args, UINT count, VARIANT* result)
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
    const HRESULT hr = object->Invoke(id, IID_NULL, lcid, flags, &params, result, &exception, &argError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

// The connection itself (on a call's thread): the working object, or null
// when the server gave none; failures are thrown as HRESULTs.
IDispatch* ConnectServer(LCID lcid)
{
    DispatchPtr application(lcid);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(DicomExportClient::kProgId, &clsid);
    if (FAILED(hr))
        Fail(L"CLSIDFromProgID", DicomExportClient::kProgId, hr);
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
        Fail(L"CoCreateInstance", DicomExportClient::kProgId, FAILED(hr) ? hr : (HRESULT)E_NOINTERFACE);

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
    hr = CallMember(application.Get(), instance, DISPATCH_PROPERTYGET, application.Lcid(), &arg, 1, &result);
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

// ---- calls on threads of their own ---------------------------------------------

const DWORD kDefaultCallLimitMs = 30000;
DWORD gCallLimitMs = kDefaultCallLimitMs;
LONG gAbandoned = 0;   // calls left to a server that had not answered them in time

enum CallState : LONG { kRunning, kDone, kAbandoned };

// One call of the server. Work runs on the call's thread and touches nothing
// of the caller's: what it needs and what it makes are the call's own.
class ServerCall
{
public:
    explicit ServerCall(const wchar_t* what) : what_(what) {}
    virtual ~ServerCall() = default;
    ServerCall(const ServerCall&) = delete;
    ServerCall& operator=(const ServerCall&) = delete;

    virtual void Work() = 0;
    // On the call's thread, when the caller gave up waiting: lets go of
    // what Work made for the caller.
    virtual void Discard() {}

    const wchar_t* What() const { return what_; }
    DRefCount refs{2};         // the caller and the thread
    volatile LONG state = kRunning;

private:
    const wchar_t* what_;      // names the call in the journal
};

void LetGo(ServerCall* call)
{
    bool last = false;
    call->refs.Release(&last);
    if (last)
        delete call;
}

DWORD WINAPI CallThread(void* parameter)
{
    ServerCall* call = static_cast<ServerCall*>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    call->Work();
    if (InterlockedCompareExchange(&call->state, kDone, kRunning) == kAbandoned) {
        // The server answered at last; nobody waits for the answer.
        call->Discard();
        LogError(0, (std::wstring(L"DICOM export server: answered late: ") + call->What()).c_str());
        InterlockedDecrement(&gAbandoned);
    }
    LetGo(call);
    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}

enum class Waiting { kTellTheUser, kQuietly, kNotAtAll };

// True while no call is left to a server that did not answer it in time;
// else false, and the user is told that the server still has not answered.
bool CheckAnswering()
{
    if (gAbandoned <= 0)
        return true;
    MessageBoxIdCaption(nullptr, IDS_DICOM_STILL_BUSY, 0, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

// Runs the call on a thread of its own and waits for it, keeping this
// thread's windows painted, at most the limit. True when it ended: its
// results are the caller's, who lets go of it. False when it did not end in
// time (the user told, unless quiet): the call is then left to its thread.
bool RunServerCall(ServerCall* call, Waiting waiting)
{
    HANDLE thread = CreateThread(nullptr, 0, CallThread, call, 0, nullptr);
    if (!thread) {
        // No thread to spare: the call runs here, without a limit, as the
        // only way left to make it.
        LogCallFailure(L"CreateThread", call->What(), GetLastError());
        call->refs.Release();
        call->Work();
        call->state = kDone;
        return true;
    }
    DWORD wait = WAIT_TIMEOUT;
    if (waiting != Waiting::kNotAtAll) {
        gWaitCursor.Begin();
        wait = WaitKeepingPainted(thread, gCallLimitMs);
        gWaitCursor.End();
    }
    CloseHandle(thread);
    if (wait != WAIT_OBJECT_0) {
        InterlockedIncrement(&gAbandoned);
        if (InterlockedCompareExchange(&call->state, kAbandoned, kRunning) == kRunning) {
            LogCallFailure(L"DICOM export server", call->What(), WAIT_TIMEOUT);
            LetGo(call);
            if (waiting == Waiting::kTellTheUser)
                MessageBoxIdFormat(nullptr, 0, MB_OK | MB_ICONEXCLAMATION, IDS_DICOM_NO_ANSWER,
                                   static_cast<unsigned>((gCallLimitMs + 999) / 1000));
            return false;
        }
        // It ended just now, after all.
        InterlockedDecrement(&gAbandoned);
    }
    return true;
}

// The connection: the new working object and its members' ids. The working
// object of the connection before is let go of on the call's thread.
class ConnectCall : public ServerCall
{
public:
    ConnectCall(LCID lcid, IDispatch* before) : ServerCall(L"Instance"), lcid_(lcid), before_(before) {}
    ~ConnectCall() override
    {
        if (before_)
            before_->Release();
        if (control)
            control->Release();
    }
    void Work() override
    {
        try {
            control = ConnectServer(lcid_);
            for (int m = 0; control && m < kMemberCount; ++m) {
                LPOLESTR name = const_cast<LPOLESTR>(kMemberNames[m]);
                const HRESULT hr = control->GetIDsOfNames(IID_NULL, &name, 1, lcid_, &ids[m]);
                if (FAILED(hr))
                    Fail(L"GetIDsOfNames", kMemberNames[m], hr);
            }
        } catch (HRESULT hr) {
            error = hr;
        } catch (...) {
            error = E_UNEXPECTED;
        }
        if (before_)
            before_->Release();
        before_ = nullptr;
    }
    void Discard() override
    {
        if (control)
            control->Release();
        control = nullptr;
    }

    static const int kMemberCount = 6;
    IDispatch* control = nullptr;    // the working object, the caller's to take
    DISPID ids[kMemberCount] = {DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN,
                                DISPID_UNKNOWN, DISPID_UNKNOWN, DISPID_UNKNOWN};
    HRESULT error = S_OK;            // a failure of the connection or of a name

private:
    LCID lcid_;
    IDispatch* before_;
};

// One member of the working object, with its own reference to the object and
// its own arguments (and the pixel section, when the member reads one).
class InvokeCall : public ServerCall
{
public:
    InvokeCall(const wchar_t* member, IDispatch* object, DISPID id, LCID lcid, VARIANT* args, UINT count,
               std::unique_ptr<PixelSection> pixels)
        : ServerCall(member), object_(object), id_(id), lcid_(lcid), count_(count), pixels_(std::move(pixels))
    {
        object_->AddRef();
        for (UINT i = 0; i < count; ++i) {
            args_[i] = args[i];
            VariantInit(&args[i]);
        }
        VariantInit(&result);
    }
    ~InvokeCall() override
    {
        ClearAll(args_, count_);
        VariantClear(&result);
        if (object_)
            object_->Release();
    }
    void Work() override
    {
        hr = CallMember(object_, id_, DISPATCH_METHOD, lcid_, args_, count_, &result);
        // The server has read the pixels, or never will.
        pixels_.reset();
    }
    void Discard() override
    {
        VariantClear(&result);
        object_->Release();
        object_ = nullptr;
    }

    HRESULT hr = E_FAIL;
    VARIANT result;           // the caller's to take

private:
    IDispatch* object_;
    DISPID id_;
    LCID lcid_;
    VARIANT args_[8];
    UINT count_;
    std::unique_ptr<PixelSection> pixels_;
};

// Letting go of the working object at the end.
class ReleaseCall : public ServerCall
{
public:
    explicit ReleaseCall(IDispatch* object) : ServerCall(L"Release"), object_(object) {}
    ~ReleaseCall() override
    {
        if (object_)
            object_->Release();
    }
    void Work() override
    {
        object_->Release();
        object_ = nullptr;
    }

private:
    IDispatch* object_;
};

}  // namespace

DicomExportClient& DicomExportClient::Instance()
{
    static DicomExportClient client;
    return client;
}

DWORD DicomExportClient::CallLimitMs()
{
    return gCallLimitMs;
}

void DicomExportClient::SetCallLimitMs(DWORD ms)
{
    gCallLimitMs = ms ? ms : kDefaultCallLimitMs;
}

bool DicomExportClient::Answering()
{
    return gAbandoned <= 0;
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
        // A server known not to answer is not waited for at all.
        RunServerCall(new ReleaseCall(server_), Answering() ? Waiting::kQuietly : Waiting::kNotAtAll);
        server_ = nullptr;
    }
    targets_.clear();
}

int DicomExportClient::Init()
{
    static_assert(kMembers == ConnectCall::kMemberCount, "one id a member");
    const LCID lcid = GetThreadLocale();
    if (!CheckAnswering())
        return 0;
    // The working object of the connection before goes, whatever this one
    // gives: the call lets go of it on its thread.
    ConnectCall* call = new ConnectCall(lcid, server_);
    server_ = nullptr;
    if (!RunServerCall(call, Waiting::kTellTheUser))
        return 0;
    server_ = call->control;
    call->control = nullptr;
    for (int m = 0; m < kMembers; ++m)
        ids_[m] = call->ids[m];
    const HRESULT error = call->error;
    LetGo(call);
    if (FAILED(error))
        throw error;
    if (!server_)
        return 0;
    lcid_ = lcid;
    codePage_ = GetACP();
    return 1;
}

bool DicomExportClient::Invoke(Member member, VARIANT* args, UINT count, HRESULT* hr, VARIANT* result,
                               std::unique_ptr<PixelSection> pixels)
{
    VariantInit(result);
    if (!CheckAnswering())
        return false;
    InvokeCall* call = new InvokeCall(kMemberNames[member], server_, ids_[member], lcid_, args, count,
                                      std::move(pixels));
    if (!RunServerCall(call, Waiting::kTellTheUser))
        return false;
    *hr = call->hr;
    *result = call->result;
    VariantInit(&call->result);
    LetGo(call);
    return true;
}

int DicomExportClient::GetTargetList()
{
    targets_.clear();
    if (!server_)
        return 0;
    VARIANT result;
    HRESULT hr = E_FAIL;
    if (!Invoke(kGetTargetList, nullptr, 0, &hr, &result))
        return 0;
    if (FAILED(hr)) {
        VariantClear(&result);
        return 0;
    }
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

int DicomExportClient::CallForText(Member member, const wchar_t* word, VARIANT* args, UINT count,
                                   std::unique_ptr<PixelSection> pixels)
{
    VARIANT result;
    HRESULT hr = E_FAIL;
    if (!Invoke(member, args, count, &hr, &result, std::move(pixels)))
        return 0;
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

namespace {

// The attributes as an argument: a copy of the caller's array, which the
// call owns (a call left to a silent server outlives the caller's array).
bool SetAttributes(VARIANT& v, SAFEARRAY* attributes)
{
    VariantInit(&v);
    SAFEARRAY* copy = nullptr;
    if (!attributes || FAILED(SafeArrayCopy(attributes, &copy)))
        return false;
    V_VT(&v) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&v) = copy;
    return true;
}

}  // namespace

int DicomExportClient::SendPicture(int index, SAFEARRAY* attributes, std::unique_ptr<PixelSection> pixels)
{
    if (!server_ || index < 0 || index >= (int)targets_.size())
        return 0;
    VARIANT args[5];
    for (VARIANT& a : args)
        VariantInit(&a);
    int ok = 0;
    if (SetText(args[0], targets_[(size_t)index].c_str()) && SetAttributes(args[2], attributes) &&
        SetText(args[3], kSectionName) && SetText(args[4], L"")) {
        V_VT(&args[1]) = VT_I4;
        V_I4(&args[1]) = (LONG)codePage_;
        ok = CallForText(kSendImage, L"SendImage", args, 5, std::move(pixels));
    }
    ClearAll(args, 5);
    return ok;
}

int DicomExportClient::SaveImage(const wchar_t* fileName, SAFEARRAY* attributes, std::unique_ptr<PixelSection> pixels)
{
    if (!server_)
        return 0;
    VARIANT args[4];
    for (VARIANT& a : args)
        VariantInit(&a);
    int ok = 0;
    if (SetText(args[0], fileName) && SetAttributes(args[2], attributes) && SetText(args[3], kSectionName)) {
        V_VT(&args[1]) = VT_I4;
        V_I4(&args[1]) = (LONG)codePage_;
        ok = CallForText(kSaveImage, L"SaveImage", args, 4, std::move(pixels));
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
    HRESULT hr = E_FAIL;
    if (!Invoke(kGetQueueStatus, &arg, 1, &hr, result))
        return 0;
    if (FAILED(hr)) {
        VariantClear(result);
        return 0;
    }
    return 1;
}
