// dicomsrv.exe: the stand-in of the outside DICOM export server, a COM local
// server of the ProgID "IDicomExportServer.Application" (comobjects.h).
//
//   dicomsrv /regserver     registers the class and the ProgID for this file
//   dicomsrv /unregserver   removes them
//   dicomsrv -Embedding     started by COM: serves until no working object has
//                           been alive for two seconds (or, without a first
//                           client, for ten)
//   dicomsrv                started by hand: serves until it is stopped
// A running server registers its application object as the active object, so
// that clients find it with GetActiveObject, and ends when the named event
// "DicomExportServer.Stop" is set.
#include "tools/dicomsrv/comobjects.h"

#include <objbase.h>
#include <shellapi.h>

#include <string>

namespace {

const wchar_t kStopEvent[] = L"DicomExportServer.Stop";
const wchar_t kDescription[] = L"DICOM export server (stand-in)";
const DWORD kTickMs = 100;
const DWORD kIdleEndMs = 2000;      // without clients this long, a server started by COM ends
const DWORD kFirstClientMs = 10000; // its first client may take this long to come

std::wstring ClsidText()
{
    wchar_t text[64] = {};
    StringFromGUID2(dicomsrv::kServerClsid, text, 64);
    return text;
}

bool SetKeyDefault(const std::wstring& path, const std::wstring& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       (DWORD)((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

int Register()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    const std::wstring clsidKey = L"CLSID\\" + ClsidText();
    const bool ok = SetKeyDefault(dicomsrv::kProgId, kDescription) &&
                    SetKeyDefault(std::wstring(dicomsrv::kProgId) + L"\\CLSID", ClsidText()) &&
                    SetKeyDefault(clsidKey, kDescription) &&
                    SetKeyDefault(clsidKey + L"\\LocalServer32", L"\"" + std::wstring(path) + L"\"") &&
                    SetKeyDefault(clsidKey + L"\\ProgID", dicomsrv::kProgId);
    return ok ? 0 : 1;
}

int Unregister()
{
    const std::wstring clsidKey = L"CLSID\\" + ClsidText();
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (clsidKey + L"\\LocalServer32").c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (clsidKey + L"\\ProgID").c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, clsidKey.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, (std::wstring(dicomsrv::kProgId) + L"\\CLSID").c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, dicomsrv::kProgId);
    return 0;
}

// No working object alive and no lock: nobody uses the server. (A client
// takes a working object as soon as it has connected; the references COM
// itself keeps on the application object say nothing about clients.)
bool Idle()
{
    return dicomsrv::LiveControls() == 0 && dicomsrv::ServerLocks() <= 0;
}

int Serve(bool embedded)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 2;
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, kStopEvent);
    IDispatch* application = dicomsrv::NewApplication();
    IClassFactory* factory = dicomsrv::NewClassFactory();
    DWORD classCookie = 0, activeCookie = 0;
    HRESULT hr = CoRegisterClassObject(dicomsrv::kServerClsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                       &classCookie);
    if (SUCCEEDED(hr))
        hr = RegisterActiveObject(application, dicomsrv::kServerClsid, ACTIVEOBJECT_STRONG, &activeCookie);
    if (SUCCEEDED(hr)) {
        DWORD idleMs = 0, upMs = 0;
        while (WaitForSingleObject(stop, kTickMs) == WAIT_TIMEOUT) {
            upMs += kTickMs;
            if (!embedded)
                continue;
            if (!Idle()) {
                idleMs = 0;
                continue;
            }
            idleMs += kTickMs;
            const bool served = dicomsrv::ControlsMade() > 0;
            if ((served && idleMs >= kIdleEndMs) || (!served && upMs >= kFirstClientMs))
                break;
        }
    }
    // No new client from here on: the class first, then the running object.
    if (classCookie)
        CoRevokeClassObject(classCookie);
    if (activeCookie)
        RevokeActiveObject(activeCookie, nullptr);
    factory->Release();
    application->Release();
    if (stop)
        CloseHandle(stop);
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 3;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    bool embedded = false;
    int result = -1;
    for (int i = 1; argv && i < argc && result < 0; ++i) {
        const wchar_t* a = argv[i];
        if (*a == L'/' || *a == L'-')
            ++a;
        if (_wcsicmp(a, L"regserver") == 0)
            result = Register();
        else if (_wcsicmp(a, L"unregserver") == 0)
            result = Unregister();
        else if (_wcsicmp(a, L"Embedding") == 0 || _wcsicmp(a, L"Automation") == 0)
            embedded = true;
    }
    if (argv)
        LocalFree(argv);
    return result >= 0 ? result : Serve(embedded);
}
