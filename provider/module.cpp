// The DLL: its entry points, the class factory of the data source, the
// registration that regsvr32 runs, and the small shared helpers.
#include "provider/common.h"

#include "provider/datasource.h"
#include "provider/errors.h"

#include <olectl.h>

namespace zelk {

// {B15A757A-8065-4AF7-BC37-D6EFD9F519A5}
const CLSID kClsidProvider = {0xb15a757a, 0x8065, 0x4af7, {0xbc, 0x37, 0xd6, 0xef, 0xd9, 0xf5, 0x19, 0xa5}};
const wchar_t kProgId[] = L"ZelkSQLite.1";
const wchar_t kProviderName[] = L"Zelk SQLite OLE DB Provider";

std::atomic<long> gLiveObjects{0};
std::atomic<long> gServerLocks{0};
HMODULE gModule = nullptr;

Lock::~Lock()
{
    if (HANDLE event = event_.load(std::memory_order_acquire))
        CloseHandle(event);
}

HANDLE Lock::Event()
{
    HANDLE event = event_.load(std::memory_order_acquire);
    while (!event) {
        HANDLE made = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!made) {
            // No handle to be had now: try again a moment later.
            Sleep(1);
            continue;
        }
        HANDLE none = nullptr;
        if (event_.compare_exchange_strong(none, made, std::memory_order_acq_rel)) {
            event = made;
        } else {
            CloseHandle(made);
            event = none;
        }
    }
    return event;
}

void Lock::WaitForTurn()
{
    WaitForSingleObject(Event(), INFINITE);
}

void Lock::HandOver()
{
    SetEvent(Event());
}

void SpinLock::Wait()
{
    for (unsigned tries = 1;; ++tries) {
        if (!held_.load(std::memory_order_relaxed) && !held_.exchange(true, std::memory_order_acquire))
            return;
        if (tries < 64)
            YieldProcessor();
        else if (tries < 256)
            SwitchToThread();
        else
            Sleep(1);  // the holder waits for the session (a table rowset's statement): no use spinning
    }
}

std::string ToUtf8(const wchar_t* text, size_t length)
{
    if (length == 0)
        return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    int chars = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], chars);
    out.resize(static_cast<size_t>(chars > 0 ? chars - 1 : 0));
    return out;
}

wchar_t* TaskStrDup(const wchar_t* text)
{
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy)
        memcpy(copy, text, bytes);
    return copy;
}

namespace {

class ClassFactory final : public IClassFactory {
public:
    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (SameGuid(riid, IID_IUnknown) || SameGuid(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG WINAPI AddRef() override { return ++refs_; }
    ULONG WINAPI Release() override
    {
        ULONG n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }
    HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID riid, void** out) override
    {
        return DataSource::Create(outer, riid, out);
    }
    HRESULT WINAPI LockServer(BOOL lock) override
    {
        if (lock)
            ++gServerLocks;
        else
            --gServerLocks;
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
    LiveObject live_;
};

// Registry values of the provider, written by DllRegisterServer.
struct RegValue {
    const wchar_t* key;    // below HKEY_CLASSES_ROOT; "%c" stands for the class id
    const wchar_t* name;   // null: the default value
    const wchar_t* value;  // "%m" stands for the DLL's path, "%c" for the class id
};

const RegValue kRegistry[] = {
    {kProgId, nullptr, kProviderName},
    {L"ZelkSQLite.1\\CLSID", nullptr, L"%c"},
    {L"ZelkSQLite", nullptr, kProviderName},
    {L"ZelkSQLite\\CLSID", nullptr, L"%c"},
    {L"ZelkSQLite\\CurVer", nullptr, L"ZelkSQLite.1"},
    {L"CLSID\\%c", nullptr, L"ZelkSQLite"},
    {L"CLSID\\%c\\ProgID", nullptr, kProgId},
    {L"CLSID\\%c\\VersionIndependentProgID", nullptr, L"ZelkSQLite"},
    {L"CLSID\\%c\\InprocServer32", nullptr, L"%m"},
    {L"CLSID\\%c\\InprocServer32", L"ThreadingModel", L"Both"},
    {L"CLSID\\%c\\OLE DB Provider", nullptr, kProviderName},
};

std::wstring Expand(const wchar_t* pattern, const std::wstring& clsid, const std::wstring& module)
{
    std::wstring out;
    for (const wchar_t* p = pattern; *p; ++p) {
        if (p[0] == L'%' && p[1] == L'c') {
            out += clsid;
            ++p;
        } else if (p[0] == L'%' && p[1] == L'm') {
            out += module;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

std::wstring ClsidText()
{
    wchar_t text[64] = {};
    StringFromGUID2(kClsidProvider, text, 64);
    return text;
}

}  // namespace
}  // namespace zelk

using namespace zelk;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!SameGuid(clsid, kClsidProvider))
        return CLASS_E_CLASSNOTAVAILABLE;
    try {
        auto* factory = new ClassFactory();
        HRESULT hr = factory->QueryInterface(riid, out);
        factory->Release();
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return gLiveObjects == 0 && gServerLocks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    try {
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(gModule, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return SELFREG_E_CLASS;
        std::wstring clsid = ClsidText();
        for (const RegValue& v : kRegistry) {
            std::wstring key = Expand(v.key, clsid, path);
            std::wstring value = Expand(v.value, clsid, path);
            HKEY handle = nullptr;
            if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                                nullptr) != ERROR_SUCCESS)
                return SELFREG_E_CLASS;
            LONG rc = RegSetValueExW(handle, v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(handle);
            if (rc != ERROR_SUCCESS)
                return SELFREG_E_CLASS;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    try {
        std::wstring clsid = ClsidText();
        const wchar_t* roots[] = {L"ZelkSQLite.1", L"ZelkSQLite", L"CLSID\\%c"};
        for (const wchar_t* root : roots) {
            std::wstring key = Expand(root, clsid, std::wstring());
            LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                return SELFREG_E_CLASS;
        }
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}
