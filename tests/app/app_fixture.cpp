#include "app_fixture.h"

#include "app/connectwnd.h"
#include "app/inputtext.h"
#include "app/mainpatientwnd.h"
#include "app/reghelpers.h"
#include "app/stopwnd.h"
#include "common/prompt_script.h"
#include "foundation/globals.h"
#include "foundation/journal.h"
#include "foundation/lefields.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/tooltip.h"

#include <cstdio>

namespace apptest {

namespace {
LONG gCounter = 0;
}

std::wstring UniqueName(const wchar_t* prefix)
{
    wchar_t name[96];
    _snwprintf(name, 96, L"%ls-%lu-%ld-%lu", prefix, GetCurrentProcessId(), InterlockedIncrement(&gCounter),
               GetTickCount());
    name[95] = 0;
    return name;
}

// ---- registry ---------------------------------------------------------------

TestKey::TestKey()
{
    path_ = L"Software\\TobalFluoroTests\\" + UniqueName(L"key");
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key_, nullptr));
}

TestKey::~TestKey()
{
    for (HKEY k : subs_)
        RegCloseKey(k);
    if (key_)
        RegCloseKey(key_);
    RegDeleteKeyTree(HKEY_CURRENT_USER, path_.c_str());
}

HKEY TestKey::Sub(const wchar_t* subKey)
{
    if (!subKey)
        return key_;
    HKEY k = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    subs_.push_back(k);
    return k;
}

void TestKey::SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size, const wchar_t* subKey)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(Sub(subKey), name, 0, type, static_cast<const BYTE*>(data), size));
}

void TestKey::SetString(const wchar_t* name, const std::wstring& value, const wchar_t* subKey)
{
    SetRaw(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), subKey);
}

void TestKey::SetDword(const wchar_t* name, DWORD value, const wchar_t* subKey)
{
    SetRaw(name, REG_DWORD, &value, sizeof value, subKey);
}

void TestKey::Delete(const wchar_t* name, const wchar_t* subKey)
{
    RegDeleteValueW(Sub(subKey), name);
}

// ---- folders ----------------------------------------------------------------

TempFolder::TempFolder(const wchar_t* prefix)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + UniqueName(prefix) + L"\\";
    EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << GetLastError();
}

TempFolder::~TempFolder()
{
    RemoveTree(path_);
}

// ---- the journal ------------------------------------------------------------

std::vector<JournalEntry> ReadJournalFile(const std::wstring& path)
{
    std::vector<JournalEntry> entries;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return entries;
    std::vector<BYTE> data(kJournalFileSize);
    DWORD read = 0;
    ReadFile(file, data.data(), kJournalFileSize, &read, nullptr);
    CloseHandle(file);
    if (read < kJournalHeaderSize)
        return entries;
    const DWORD count = GetLe32(data.data() + 20);
    for (DWORD i = 0; i < count && kJournalHeaderSize + (i + 1) * kJournalRecordSize <= read; ++i) {
        const BYTE* r = data.data() + kJournalHeaderSize + i * kJournalRecordSize;
        JournalEntry e;
        e.category = GetLe32(r + 16);
        e.code = GetLe32(r + 20);
        const DWORD length = GetLe32(r + 24);
        for (DWORD c = 0; c < length && c < 127; ++c)
            e.text.push_back(static_cast<wchar_t>(GetLe16(r + 28 + 2 * c)));
        entries.push_back(e);
    }
    return entries;
}

bool HasEntry(const std::vector<JournalEntry>& entries, DWORD code, const wchar_t* text)
{
    for (const JournalEntry& e : entries) {
        if (e.code == code && e.text == text)
            return true;
    }
    return false;
}

void CreateJournalFile(const std::wstring& folder)
{
    PromptScript script({IDYES});
    ASSERT_TRUE(JournalInit(folder.c_str()));
    JournalDone();
}

OpenJournal::OpenJournal(const std::wstring& folder) : folder_(folder)
{
    PromptScript script({IDYES});
    EXPECT_TRUE(JournalInit(folder.c_str()));
}

OpenJournal::~OpenJournal()
{
    JournalDone();
}

std::vector<JournalEntry> OpenJournal::Entries() const
{
    return ReadJournalFile(folder_ + kJournalFileName);
}

// ---- window classes ---------------------------------------------------------

ShellClasses::ShellClasses()
{
    EXPECT_TRUE(DControl::InitFont());
    EXPECT_TRUE(DToolTip::RegisterClass());
    EXPECT_TRUE(DButton::RegisterClass());
    EXPECT_TRUE(StopProcessWnd::RegisterClass());
    EXPECT_TRUE(InpTextWnd::RegisterClass());
    EXPECT_TRUE(ConnectWindow::RegisterClass(hInstance));
    EXPECT_TRUE(MainPatientWindow::RegisterClass());
}

ShellClasses::~ShellClasses()
{
    MainPatientWindow::UnregisterClass();
    ConnectWindow::UnregisterClass(hInstance);
    InpTextWnd::UnregisterClass();
    StopProcessWnd::UnregisterClass();
    DButton::UnregisterClass();
    DToolTip::UnregisterClass();
    DControl::FreeFont();
}

// ---- processes --------------------------------------------------------------

ChildProcess::ChildProcess(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder)
{
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess()
{
    if (process_) {
        Kill();
        CloseHandle(process_);
    }
}

bool ChildProcess::Wait(DWORD ms, DWORD* exitCode)
{
    if (!process_ || WaitForSingleObject(process_, ms) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(process_, exitCode);
    return true;
}

void ChildProcess::Kill()
{
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
}

double ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return (k.QuadPart + u.QuadPart) / 10000.0;
}

}  // namespace apptest
