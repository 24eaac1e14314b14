#include "printing/printsettings.h"

#include "foundation/globals.h"

#include <cwchar>

namespace {
const wchar_t* gRoot = nullptr;   // null: SettingsKeyPath
}

const wchar_t* SetPrintSettingsRoot(const wchar_t* path)
{
    const wchar_t* previous = GetPrintSettingsRoot();
    gRoot = path;
    return previous;
}

const wchar_t* GetPrintSettingsRoot()
{
    return gRoot ? gRoot : SettingsKeyPath;
}

LONG OpenPrintSettingsKey(const wchar_t* subKey, REGSAM access, bool create, HKEY* key, bool* created)
{
    *key = nullptr;
    if (created)
        *created = false;
    wchar_t path[512];
    if (subKey && *subKey)
        _snwprintf(path, 512, L"%ls\\%ls", GetPrintSettingsRoot(), subKey);
    else
        _snwprintf(path, 512, L"%ls", GetPrintSettingsRoot());
    path[511] = 0;
    if (!create)
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, key);
    DWORD disposition = 0;
    const LONG status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, access, nullptr, key, &disposition);
    if (status == ERROR_SUCCESS && created)
        *created = disposition == REG_CREATED_NEW_KEY;
    return status;
}
