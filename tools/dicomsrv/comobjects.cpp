// The COM objects of the stand-in: see comobjects.h.
#include "tools/dicomsrv/comobjects.h"

#include "tools/dicomsrv/config.h"
#include "tools/dicomsrv/imagewriter.h"
#include "tools/dicomsrv/spool.h"

#include <string>
#include <vector>

namespace dicomsrv {

// {C5B3899D-18D4-4B59-A2FE-8C2D6BD89C44}
const CLSID kServerClsid = {0xc5b3899d, 0x18d4, 0x4b59, {0xa2, 0xfe, 0x8c, 0x2d, 0x6b, 0xd8, 0x9c, 0x44}};
const wchar_t kProgId[] = L"IDicomExportServer.Application";

namespace {

LONG gControls = 0;         // working objects alive
LONG gControlsMade = 0;     // working objects made since the start
LONG gLocks = 0;            // LockServer(TRUE) not yet undone
class Application;
Application* gApplication = nullptr;

struct Member
{
    const wchar_t* name;
    DISPID id;
};

// IDispatch without a type library: names resolved from a table, calls
// handed to Call with the arguments in call order.
class DispatchObject : public IDispatch
{
public:
    virtual ~DispatchObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return (ULONG)n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!names || !ids)
            return E_POINTER;
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            // Only the member's own name: named arguments are not taken.
            if (i == 0) {
                int n = 0;
                const Member* members = Members(&n);
                for (int m = 0; m < n; ++m)
                    if (names[0] && _wcsicmp(names[0], members[m].name) == 0)
                        ids[0] = members[m].id;
            }
            if (ids[i] == DISPID_UNKNOWN)
                result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override
    {
        if (!IsEqualIID(riid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        if (!params)
            return E_POINTER;
        if (params->cNamedArgs != 0)
            return DISP_E_NONAMEDARGS;
        int n = 0;
        const Member* members = Members(&n);
        const Member* member = nullptr;
        for (int m = 0; m < n; ++m)
            if (members[m].id == id)
                member = &members[m];
        if (!member)
            return DISP_E_MEMBERNOTFOUND;
        const Fault fault = ReadFault(member->name);
        if (FAILED(fault.hresult))
            return fault.hresult;
        if (fault.resultType != VT_BSTR || fault.hasText) {
            if (result) {
                VariantInit(result);
                if (fault.resultType == VT_I4) {
                    V_VT(result) = VT_I4;
                    V_I4(result) = 0;
                } else if (fault.resultType == VT_BSTR) {
                    V_VT(result) = VT_BSTR;
                    V_BSTR(result) = SysAllocString(fault.text.c_str());
                }
            }
            return S_OK;
        }
        return Call(id, flags, params, result, exception, argError);
    }

protected:
    virtual const Member* Members(int* count) const = 0;
    virtual HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                         UINT* argError) = 0;

    // Argument i in call order, its references followed.
    static const VARIANT* Arg(const DISPPARAMS* params, UINT i)
    {
        const VARIANT* v = &params->rgvarg[params->cArgs - 1 - i];
        while (V_VT(v) == (VT_BYREF | VT_VARIANT))
            v = V_VARIANTREF(v);
        return v;
    }
    // A text argument; false with the argument's index set when it is none.
    static bool TextArg(const DISPPARAMS* params, UINT i, std::wstring& out, UINT* argError)
    {
        const VARIANT* v = Arg(params, i);
        if (V_VT(v) == VT_BSTR || V_VT(v) == (VT_BSTR | VT_BYREF)) {
            const BSTR text = V_VT(v) == VT_BSTR ? V_BSTR(v) : *V_BSTRREF(v);
            out.assign(text ? text : L"", SysStringLen(text));
            return true;
        }
        if (argError)
            *argError = params->cArgs - 1 - i;
        return false;
    }
    static bool IntegerArg(const DISPPARAMS* params, UINT i, LONG& out, UINT* argError)
    {
        VARIANT copy;
        VariantInit(&copy);
        if (SUCCEEDED(VariantChangeType(&copy, const_cast<VARIANT*>(Arg(params, i)), 0, VT_I4))) {
            out = V_I4(&copy);
            return true;
        }
        if (argError)
            *argError = params->cArgs - 1 - i;
        return false;
    }
    static void TextResult(VARIANT* result, const std::wstring& text)
    {
        if (!result)
            return;
        VariantInit(result);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(text.data(), (UINT)text.size());
    }
    static HRESULT Failure(EXCEPINFO* exception, const std::wstring& text)
    {
        if (exception) {
            ZeroMemory(exception, sizeof *exception);
            exception->scode = E_FAIL;
            exception->bstrSource = SysAllocString(kProgId);
            exception->bstrDescription = SysAllocString(text.c_str());
        }
        return DISP_E_EXCEPTION;
    }
    // A one-dimensional array of `count` VARIANTs in a VARIANT.
    static SAFEARRAY* NewArray(VARIANT* into, ULONG count)
    {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, count);
        if (array) {
            V_VT(into) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(into) = array;
        }
        return array;
    }

private:
    LONG refs_ = 1;
};

// ---- the working object ------------------------------------------------------

enum ControlMember : DISPID {
    kGetTargetList = 1, kSendImage, kSaveImage, kGetQueueStatus, kDeleteImage, kResetImage
};

class Control : public DispatchObject
{
public:
    Control()
    {
        InterlockedIncrement(&gControls);
        InterlockedIncrement(&gControlsMade);
    }
    ~Control() override { InterlockedDecrement(&gControls); }

protected:
    const Member* Members(int* count) const override
    {
        static const Member kMembers[] = {
            {L"GetTargetList", kGetTargetList}, {L"SendImage", kSendImage}, {L"SaveImage", kSaveImage},
            {L"GetQueueStatus", kGetQueueStatus}, {L"DeleteImage", kDeleteImage}, {L"ResetImage", kResetImage}};
        *count = (int)(sizeof kMembers / sizeof kMembers[0]);
        return kMembers;
    }

    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT* argError) override
    {
        if (!(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        static const UINT kArgs[] = {0, 0, 5, 4, 1, 1, 1};
        if (params->cArgs != kArgs[id])
            return DISP_E_BADPARAMCOUNT;
        switch (id) {
        case kGetTargetList:
            return TargetList(result);
        case kSendImage:
        case kSaveImage: {
            std::wstring where, section;
            LONG codePage = 0;
            if (!TextArg(params, 0, where, argError) || !IntegerArg(params, 1, codePage, argError) ||
                !TextArg(params, 3, section, argError))
                return DISP_E_TYPEMISMATCH;
            const VARIANT* attributes = Arg(params, 2);
            if (id == kSaveImage) {
                TextResult(result, WriteDicomImage(where, *attributes, section, nullptr));
                return S_OK;
            }
            for (const Target& target : ReadTargets()) {
                if (_wcsicmp(target.name.c_str(), where.c_str()) == 0) {
                    TextResult(result, EnqueueImage(target, *attributes, section));
                    return S_OK;
                }
            }
            TextResult(result, L"The target \"" + where + L"\" is not configured.");
            return S_OK;
        }
        case kGetQueueStatus: {
            std::wstring target;
            if (!TextArg(params, 0, target, argError))
                return DISP_E_TYPEMISMATCH;
            bool known = false;
            for (const Target& t : ReadTargets())
                known = known || _wcsicmp(t.name.c_str(), target.c_str()) == 0;
            if (!known)
                return Failure(exception, L"The target \"" + target + L"\" is not configured.");
            return QueueStatus(target, result);
        }
        case kDeleteImage:
        case kResetImage: {
            std::wstring entry;
            if (!TextArg(params, 0, entry, argError))
                return DISP_E_TYPEMISMATCH;
            TextResult(result, id == kDeleteImage ? DeleteEntry(entry) : ResetEntry(entry));
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    static HRESULT TargetList(VARIANT* result)
    {
        if (!result)
            return S_OK;
        VariantInit(result);
        const std::vector<Target> targets = ReadTargets();
        SAFEARRAY* array = NewArray(result, (ULONG)targets.size());
        if (!array)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < (LONG)targets.size(); ++i) {
            VARIANT name;
            V_VT(&name) = VT_BSTR;
            V_BSTR(&name) = SysAllocString(targets[i].name.c_str());
            SafeArrayPutElement(array, &i, &name);
            VariantClear(&name);
        }
        return S_OK;
    }

    static HRESULT QueueStatus(const std::wstring& target, VARIANT* result)
    {
        if (!result)
            return S_OK;
        VariantInit(result);
        const std::vector<QueueEntry> entries = ListQueue(target);
        SAFEARRAY* rows = NewArray(result, (ULONG)entries.size());
        if (!rows)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < (LONG)entries.size(); ++i) {
            VARIANT row;
            VariantInit(&row);
            SAFEARRAY* cells = NewArray(&row, 3);
            if (!cells)
                return E_OUTOFMEMORY;
            VARIANT cell;
            LONG at = 0;
            V_VT(&cell) = VT_BSTR;
            V_BSTR(&cell) = SysAllocString(entries[i].name.c_str());
            SafeArrayPutElement(cells, &at, &cell);
            VariantClear(&cell);
            at = 1;
            V_VT(&cell) = VT_BSTR;
            V_BSTR(&cell) = SysAllocString(entries[i].error.c_str());
            SafeArrayPutElement(cells, &at, &cell);
            VariantClear(&cell);
            at = 2;
            V_VT(&cell) = VT_I4;
            V_I4(&cell) = entries[i].attempts;
            SafeArrayPutElement(cells, &at, &cell);
            SafeArrayPutElement(rows, &i, &row);
            VariantClear(&row);
        }
        return S_OK;
    }
};

// ---- the application object --------------------------------------------------

const DISPID kInstance = 1;

class Application : public DispatchObject
{
protected:
    const Member* Members(int* count) const override
    {
        static const Member kMembers[] = {{L"Instance", kInstance}};
        *count = 1;
        return kMembers;
    }

    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                 UINT* argError) override
    {
        if (id != kInstance || !(flags & DISPATCH_PROPERTYGET))
            return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1)
            return DISP_E_BADPARAMCOUNT;
        std::wstring name;
        if (!TextArg(params, 0, name, argError))
            return DISP_E_TYPEMISMATCH;
        if (_wcsicmp(name.c_str(), L"DicomControl") != 0)
            return Failure(exception, L"The server has no object \"" + name + L"\".");
        if (!result)
            return S_OK;
        VariantInit(result);
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = new Control;
        return S_OK;
    }
};

// ---- class factory -------------------------------------------------------------

class Factory : public IClassFactory
{
public:
    virtual ~Factory() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return (ULONG)n;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!gApplication)
            return E_UNEXPECTED;
        return gApplication->QueryInterface(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&gLocks);
        else
            InterlockedDecrement(&gLocks);
        return S_OK;
    }

private:
    LONG refs_ = 1;
};

}  // namespace

IDispatch* NewApplication()
{
    if (!gApplication)
        gApplication = new Application;
    else
        gApplication->AddRef();
    return gApplication;
}

LONG LiveControls()
{
    return gControls;
}

LONG ControlsMade()
{
    return gControlsMade;
}

IClassFactory* NewClassFactory()
{
    return new Factory;
}

LONG ServerLocks()
{
    return gLocks;
}

}  // namespace dicomsrv
