#include "app/startup.h"

#include "app/exceptionbox.h"

#include "app/inittable.h"
#include "app/exchangeservices.h"
#include "foundation/applocale.h"
#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/settingskey.h"

#include <cstdlib>
#include <exception>

DWORD CurrentExitAction = kExitNone;
DWORD ConfiguredExitAction = kExitNone;
BOOL MainLoopEnded = FALSE;
BOOL RestartRequested = FALSE;
BOOL EjectRequested = FALSE;
HANDLE InstanceMutex = nullptr;
IMalloc* ComAllocator = nullptr;

namespace {

const wchar_t kInstanceMutexName[] = L"Tobal Fluoro";
const wchar_t kAdminUsersValue[] = L"AdminUsers";
const wchar_t kDefDirValue[] = L"DefDir";

// The program's own administrators, whatever the registry says.
const wchar_t* const kBuiltInAdministrators[] = {L"tovu", L"qzo", L"kopra", L"sanu"};

struct ExceptionNameRow {
    DWORD code;
    const wchar_t* name;
};
const ExceptionNameRow kExceptionNames[] = {
    {0xC0000005, L"ACCESS VIOLATION"},
    {0xC0000006, L"IN PAGE ERROR"},
    {0x80000002, L"DATATYPE MISALIGNMENT"},
    {0x80000003, L"BREAKPOINT"},
    {0x80000004, L"SINGLE STEP"},
    {0xC000001D, L"ILLEGAL INSTRUCTION"},
    {0xC0000025, L"NONCONTINUABLE EXCEPTION"},
    {0xC0000026, L"INVALID DISPOSITION"},
    {0xC000008C, L"ARRAY BOUNDS EXCEEDED"},
    {0xC000008D, L"FLOAT: DENORMAL OPERAND"},
    {0xC000008E, L"FLOAT: DIVIDE BY ZERO"},
    {0xC000008F, L"FLOAT: INEXACT RESULT"},
    {0xC0000090, L"FLOAT: INVALID OPERATION"},
    {0xC0000091, L"FLOAT: OVERFLOW"},
    {0xC0000092, L"FLOAT: STACK CHECK"},
    {0xC0000093, L"UNDERFLOW"},
    {0xC0000094, L"DIVIDE BY ZERO"},
    {0xC0000095, L"OVERFLOW"},
    {0xC0000096, L"PRIV INSTRUCTION"},
    {0xC00000FD, L"STACK OVERFLOW"},
};

void DefaultFatalExit(const wchar_t* name)
{
    FatalAppExitW(0, name);
    ExitProcess(1);   // FatalAppExitW does not return; this only says so to the compiler
}

BOOL DefaultExitWindows(UINT flags, DWORD reason)
{
    return ExitWindowsEx(flags, reason);
}

FatalExitFunction gFatalExit = DefaultFatalExit;
ExitWindowsFunction gExitWindows = DefaultExitWindows;

bool SameName(const wchar_t* name, int length, const wchar_t* other, int otherLength)
{
    return CompareStringW(gAppLocale.GetLcid(), NORM_IGNORECASE | SORT_STRINGSORT, name, length, other,
                          otherLength) == CSTR_EQUAL;
}

// Whether the name is listed in "AdminUsers". The value is read whole into a
// buffer two characters longer than the value and zero-filled, so a list
// stored without its terminators is never read past its end.
bool ListedInAdminUsers(const wchar_t* name, int length)
{
    HKEY key = nullptr;
    if (OpenSettingsKey(nullptr, KEY_READ, false, &key) != ERROR_SUCCESS)
        return false;
    bool found = false;
    DWORD type = REG_NONE, size = 0;
    if (RegQueryValueExW(key, kAdminUsersValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        size > sizeof(wchar_t) && (type == REG_SZ || type == REG_MULTI_SZ)) {
        const DWORD chars = size / sizeof(wchar_t);
        HANDLE heap = GetProcessHeap();
        wchar_t* text = static_cast<wchar_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, (chars + 2) * sizeof(wchar_t)));
        DWORD read = chars * sizeof(wchar_t);
        if (text && RegQueryValueExW(key, kAdminUsersValue, nullptr, &type, reinterpret_cast<BYTE*>(text), &read) ==
                        ERROR_SUCCESS) {
            const DWORD end = read / sizeof(wchar_t) < chars ? read / sizeof(wchar_t) : chars;
            DWORD at = 0;
            while (at < end && !found) {
                DWORD stop = at;
                while (stop < end && text[stop] != 0)
                    ++stop;
                if (stop == at)
                    break;   // the empty string ends a list
                found = SameName(name, length, text + at, static_cast<int>(stop - at));
                if (type == REG_SZ)
                    break;   // one name only
                at = stop + 1;
            }
        }
        if (text)
            HeapFree(heap, 0, text);
    }
    RegCloseKey(key);
    return found;
}

}  // namespace

// ---- COM and locale ---------------------------------------------------------

BOOL InitCom()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return FALSE;
    if (FAILED(CoGetMalloc(1, &ComAllocator))) {
        ComAllocator = nullptr;
        CoUninitialize();
        return FALSE;
    }
    return TRUE;
}

void ReleaseCom()
{
    if (ComAllocator) {
        ComAllocator->Release();
        ComAllocator = nullptr;
    }
    CoUninitialize();
}

void SetApplicationLocale()
{
    gAppLocale.SetLcid(GetThreadLocale());
    const LCID lcid = gAppLocale.GetLcid();
    SetThreadLocale(lcid);
    SetThreadUILanguage(LANGIDFROMLCID(lcid));
}

// ---- the process ------------------------------------------------------------

void InitProcess()
{
    wchar_t user[257];
    DWORD chars = 257;
    if (GetUserNameW(user, &chars) && chars > 0) {
        // chars counts the terminator.
        CheckAdminUser(user, static_cast<int>(chars) - 1);
    }
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    IsWindowsNT = GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
    SetErrorMode(SEM_FAILCRITICALERRORS);
    SetUnhandledExceptionFilter(App::UnhandledExceptionFilter);
    std::set_terminate(App::TerminateHandler);
    // What a window's command throws is shown by the message loop at once.
    InstallProgramExceptionShower();
}

void CheckAdminUser(const wchar_t* name, int length)
{
    IsAdministrator = false;
    if (!name || length <= 0)
        return;
    for (const wchar_t* builtIn : kBuiltInAdministrators) {
        if (SameName(name, length, builtIn, -1)) {
            IsAdministrator = true;
            return;
        }
    }
    IsAdministrator = ListedInAdminUsers(name, length);
}

// ---- fatal failures ---------------------------------------------------------

const wchar_t* ExceptionName(DWORD code)
{
    for (const ExceptionNameRow& row : kExceptionNames) {
        if (row.code == code)
            return row.name;
    }
    return L"Unknown Exception";
}

const wchar_t* RecordFatalException(DWORD code)
{
    MessageBeep(MB_ICONEXCLAMATION);
    LogError(code, L"Exception in program");
    return ExceptionName(code);
}

FatalExitFunction SetFatalExitFunction(FatalExitFunction function)
{
    FatalExitFunction previous = gFatalExit;
    gFatalExit = function ? function : DefaultFatalExit;
    return previous;
}

LONG WINAPI App::UnhandledExceptionFilter(EXCEPTION_POINTERS* pointers)
{
    const DWORD code = pointers && pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0;
    gFatalExit(RecordFatalException(code));
    return EXCEPTION_EXECUTE_HANDLER;
}

void App::TerminateHandler()
{
    gFatalExit(RecordFatalException(kTerminateCode));
    // A fatal-exit function must not return; should one do so, the thread
    // still must not go on.
    std::abort();
}

// ---- single instance, folder, display ---------------------------------------

BOOL CheckSingleInstance()
{
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    if (!mutex)
        return FALSE;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return FALSE;
    }
    InstanceMutex = mutex;
    return TRUE;
}

void SetDefaultDirectory()
{
    HKEY key = nullptr;
    if (OpenSettingsKey(nullptr, KEY_READ, false, &key) != ERROR_SUCCESS)
        return;
    wchar_t folder[261] = {};
    DWORD type = REG_NONE, bytes = 260 * sizeof(wchar_t);   // the last character stays the terminator
    if (RegQueryValueExW(key, kDefDirValue, nullptr, &type, reinterpret_cast<BYTE*>(folder), &bytes) ==
            ERROR_SUCCESS &&
        type == REG_SZ && folder[0] != 0)
        SetCurrentDirectoryW(folder);
    RegCloseKey(key);
}

BOOL CheckDisplay()
{
    if (GetSystemMetrics(SM_CXFULLSCREEN) < 1280) {
        IsSmallScreen = true;
        IconSize = 16;
    }
    HDC ic = CreateICW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (!ic) {
        DWORD error = GetLastError();
        wchar_t text[256];
        ErrorCodeText(error, text, 256);
        LogError(error, text);
        return FALSE;
    }
    const int bits = GetDeviceCaps(ic, BITSPIXEL);
    DeleteDC(ic);
    if (bits < 16) {
        LogError(static_cast<DWORD>(-1), L"Display mode fail");
        return FALSE;
    }
    return TRUE;
}

// ---- the end ----------------------------------------------------------------

void Shutdown()
{
    DestroyJournalViewer();
    RunDeinitTable();
    ReleaseExchange();
}

void ExitProgram(int code)
{
    ShutdownIfRequested();
    if (InstanceMutex) {
        CloseHandle(InstanceMutex);
        InstanceMutex = nullptr;
    }
    ReleaseCom();
    exit(code);
}

void ShutdownIfRequested()
{
    if (CurrentExitAction != kExitNone)
        ShutdownWindows();
    JournalDone();
}

void ShutdownWindows()
{
    if (IsWindowsNT) {
        TOKEN_PRIVILEGES privileges = {};
        HANDLE token = nullptr;
        bool ok = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
                  OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
        if (ok) {
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED | SE_PRIVILEGE_USED_FOR_ACCESS;
            // AdjustTokenPrivileges succeeds even when it assigned nothing;
            // ERROR_NOT_ALL_ASSIGNED then says so.
            ok = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() == ERROR_SUCCESS;
        }
        if (!ok)
            LogError(GetLastError(), L"Shutdown");
        if (token)
            CloseHandle(token);
    }
    // Asked for even without the privilege: Windows itself then refuses,
    // and the refusal is what the journal should show.
    if (!gExitWindows(CurrentExitAction, 0))
        LogError(GetLastError(), L"Shutdown");
}

ExitWindowsFunction SetExitWindowsFunction(ExitWindowsFunction function)
{
    ExitWindowsFunction previous = gExitWindows;
    gExitWindows = function ? function : DefaultExitWindows;
    return previous;
}

int RequestQuit()
{
    if (!MainLoopEnded)
        PostQuitMessage(0);
    return 1;
}

int RequestRestart()
{
    RestartRequested = TRUE;
    return RequestQuit();
}

int MakeBrightnessCurve(BYTE* table, int width, BOOL reverse)
{
    for (int i = 0; i < 256; ++i) {
        BYTE* entry = table + 4 * (reverse ? 255 - i : i);
        const int half = i - width / 2, whole = i - width;
        entry[0] = static_cast<BYTE>(i);
        entry[1] = static_cast<BYTE>(half > 0 ? half : 0);
        entry[2] = static_cast<BYTE>(whole > 0 ? whole : 0);
    }
    return 256;
}
