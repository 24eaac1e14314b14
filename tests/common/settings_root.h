// Points the settings root (foundation/settingskey.h) at a test's own key for
// the life of the scope, so that what the program reads and writes below its
// settings key lands there, and restores the previous root at the end.
#pragma once

#include "common/test_files.h"
#include "foundation/settingskey.h"

#include <string>

class SettingsRootScope {
public:
    SettingsRootScope(HKEY root, const wchar_t* path) : old_(SetSettingsRoot(SettingsRoot{root, path})) {}
    ~SettingsRootScope() { SetSettingsRoot(old_); }
    SettingsRootScope(const SettingsRootScope&) = delete;
    SettingsRootScope& operator=(const SettingsRootScope&) = delete;

private:
    SettingsRoot old_;
};

// A key of the test's own below HKCU\Software\TobalFluoroTests, made at the
// start with the settings root pointed at it; at the end the previous root
// comes back and the key is deleted with all below it.
class PrivateSettingsKey {
public:
    explicit PrivateSettingsKey(const wchar_t* prefix)
        : path_(L"Software\\TobalFluoroTests\\" + testfix::UniqueName(prefix))
    {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS)
            key_ = nullptr;
        old_ = SetSettingsRoot(SettingsRoot{HKEY_CURRENT_USER, path_.c_str()});
    }
    ~PrivateSettingsKey()
    {
        SetSettingsRoot(old_);
        if (key_) {
            RegCloseKey(key_);
            RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
        }
    }
    PrivateSettingsKey(const PrivateSettingsKey&) = delete;
    PrivateSettingsKey& operator=(const PrivateSettingsKey&) = delete;

    HKEY Key() const { return key_; }   // null when it could not be made
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    HKEY key_ = nullptr;
    SettingsRoot old_;
};
