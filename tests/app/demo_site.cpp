#include "demo_site.h"

#include "foundation/globals.h"
#include "tools/demosite/sitedatabase.h"

#include <cstdio>

namespace apptest {

namespace {

const wchar_t kMutexName[] = L"TobalFluoro end-to-end";
const wchar_t kProvider[] = L"ZelkSQLite.1";

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

bool WriteFileBytes(const std::wstring& path, const void* data, DWORD size)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(f, data, size, &written, nullptr) && written == size;
    CloseHandle(f);
    return ok;
}

}  // namespace

std::string MakeDatabaseFromScript(const std::wstring& databaseFile, const std::wstring& scriptFile)
{
    std::wstring error;
    const bool made = CreateSiteDatabase(databaseFile, scriptFile, error);
    CloseSiteDatabase();
    return made ? "" : Narrow(error);
}

DemoSite::DemoSite()
{
    mutex_ = CreateMutexW(nullptr, FALSE, kMutexName);
    if (mutex_) {
        DWORD wait = WaitForSingleObject(mutex_, 180000);
        EXPECT_TRUE(wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) << "another end-to-end test kept the site";
    }
}

DemoSite::~DemoSite()
{
    // Back to what the prefix had, last change first.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        std::wstring path = std::wstring(SettingsKeyPath) + (it->subKey.empty() ? L"" : L"\\" + it->subKey);
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            continue;
        const wchar_t* name = it->name.empty() ? nullptr : it->name.c_str();
        if (it->existed)
            RegSetValueExW(key, name, 0, it->type, it->data.data(), static_cast<DWORD>(it->data.size()));
        else
            RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
    if (mutex_) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

void DemoSite::Save(const wchar_t* subKey, const wchar_t* name)
{
    SavedValue saved{subKey, name, false, REG_NONE, {}};
    std::wstring path = std::wstring(SettingsKeyPath) + (*subKey ? std::wstring(L"\\") + subKey : L"");
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD size = 0;
        const wchar_t* valueName = *name ? name : nullptr;
        if (RegQueryValueExW(key, valueName, nullptr, &saved.type, nullptr, &size) == ERROR_SUCCESS) {
            saved.data.resize(size);
            saved.existed = RegQueryValueExW(key, valueName, nullptr, &saved.type, saved.data.data(), &size) ==
                            ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    saved_.push_back(saved);
}

void DemoSite::Set(const wchar_t* subKey, const wchar_t* name, const std::wstring& value)
{
    Save(subKey, name);
    std::wstring path = std::wstring(SettingsKeyPath) + (*subKey ? std::wstring(L"\\") + subKey : L"");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(key, *name ? name : nullptr, 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(key);
}

bool DemoSite::Build()
{
    const std::wstring data = DataPath();
    for (const std::wstring& folder : {data, data + L"Image\\", data + L"Icon\\", data + L"Cfg\\", WorkFolder(),
                                       folder_.Path() + L"Arj\\"}) {
        if (!CreateDirectoryW(folder.c_str(), nullptr)) {
            ADD_FAILURE() << "cannot create " << Narrow(folder);
            return false;
        }
    }
    // The description files of the demo site.
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((std::wstring(TF_SITE_DIR) + L"cfg\\*.cfg").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            CopyFileW((std::wstring(TF_SITE_DIR) + L"cfg\\" + found.cFileName).c_str(),
                      (data + L"Cfg\\" + found.cFileName).c_str(), FALSE);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    // "dbinit.cfg": UTF-16 with its byte-order mark.
    const std::wstring init = std::wstring(L"\xFEFF") + L"Provider=" + kProvider + L";Data Source=" + data + L"demo.db";
    if (!WriteFileBytes(data + L"dbinit.cfg", init.c_str(), static_cast<DWORD>(init.size() * sizeof(wchar_t)))) {
        ADD_FAILURE() << "cannot write dbinit.cfg";
        return false;
    }
    const std::string made = MakeDatabaseFromScript(data + L"demo.db", std::wstring(TF_SITE_DIR) + L"schema.sql");
    if (!made.empty()) {
        ADD_FAILURE() << made;
        return false;
    }
    CreateJournalFile(WorkFolder());
    return !::testing::Test::HasFatalFailure();
}

void DemoSite::Install(const std::wstring& serverName)
{
    wchar_t user[257];
    DWORD chars = 257;
    GetUserNameW(user, &chars);
    Set(L"", L"DataPath", DataPath());
    Set(L"", L"CfgDir", DataPath() + L"Cfg\\");
    Set(L"", L"DefDir", WorkFolder());
    Set(L"", L"ServerName", serverName);
    Set(L"", L"AdminUsers", user);
    Set(L"Arj", L"", folder_.Path() + L"Arj\\");
    // No exit action: the program must never shut the prefix down.
    Save(L"", L"ExitFlag");
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SettingsKeyPath, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"ExitFlag");
        RegCloseKey(key);
    }
}

}  // namespace apptest
