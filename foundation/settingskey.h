// The one door to the settings key: every window and library reads and writes
// its own subkey of the workstation's settings through OpenSettingsKey, below
// a root that tests may point elsewhere (SetSettingsRoot) so that no test
// touches the program's own settings.
//
// The root is HKEY_LOCAL_MACHINE\SettingsKeyPath (foundation/globals.h)
// unless a test set another. Window placements (ui/placement.h), "IconParam",
// "DefTemplateName", "Profile" and "PrepareSnimok" are read and written below
// it.
#pragma once

#include <windows.h>

// The registry root of the workstation's settings.
struct SettingsRoot {
    HKEY root;
    const wchar_t* path;   // the caller's text; must outlive its use
};
SettingsRoot GetSettingsRoot();
// Returns the previous root; {nullptr, nullptr} restores the program's own.
SettingsRoot SetSettingsRoot(SettingsRoot root);

// Opens <root>\<subKey> (the root itself for null or "") with the access;
// with `create` the key is made when missing. ERROR_SUCCESS or the Win32 code.
LONG OpenSettingsKey(const wchar_t* subKey, REGSAM access, bool create, HKEY* key);
