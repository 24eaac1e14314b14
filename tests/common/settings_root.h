// Points the settings root (foundation/settingskey.h) at a test's own key for
// the life of the scope, so that what the program reads and writes below its
// settings key lands there, and restores the previous root at the end.
#pragma once

#include "foundation/settingskey.h"

class SettingsRootScope {
public:
    SettingsRootScope(HKEY root, const wchar_t* path) : old_(SetSettingsRoot(SettingsRoot{root, path})) {}
    ~SettingsRootScope() { SetSettingsRoot(old_); }
    SettingsRootScope(const SettingsRootScope&) = delete;
    SettingsRootScope& operator=(const SettingsRootScope&) = delete;

private:
    SettingsRoot old_;
};
