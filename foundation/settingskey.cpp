#include "foundation/settingskey.h"

#include "foundation/globals.h"

namespace {

SettingsRoot gRoot = {nullptr, nullptr};

}  // namespace

SettingsRoot GetSettingsRoot()
{
    if (!gRoot.root || !gRoot.path)
        return SettingsRoot{HKEY_LOCAL_MACHINE, SettingsKeyPath};
    return gRoot;
}

SettingsRoot SetSettingsRoot(SettingsRoot root)
{
    SettingsRoot old = GetSettingsRoot();
    gRoot = root;
    return old;
}

LONG OpenSettingsKey(const wchar_t* subKey, REGSAM access, bool create, HKEY* key)
{
    *key = nullptr;
    const SettingsRoot r = GetSettingsRoot();
    HKEY root = nullptr;
    LONG error = RegOpenKeyExW(r.root, r.path, 0, create ? (access | KEY_CREATE_SUB_KEY) : access, &root);
    if (error == ERROR_FILE_NOT_FOUND && create)
        error = RegCreateKeyExW(r.root, r.path, 0, nullptr, 0, access | KEY_CREATE_SUB_KEY, nullptr, &root, nullptr);
    if (error != ERROR_SUCCESS)
        return error;
    if (!subKey || !*subKey) {
        *key = root;
        return ERROR_SUCCESS;
    }
    if (create)
        error = RegCreateKeyExW(root, subKey, 0, nullptr, 0, access, nullptr, key, nullptr);
    else
        error = RegOpenKeyExW(root, subKey, 0, access, key);
    RegCloseKey(root);
    return error;
}
