// Printing's door to its registry keys below the workstation's settings key
// ("Printer", "PrinterProfiles", "Header", "PrintReport", "SnimokPrintCfg"
// and the screen font keys of the Fonts dialog). Tests point the root
// elsewhere so that no test touches the program's own settings.
#pragma once

#include <windows.h>

// Opens <root>\<subKey> (the root itself for null or "") with the access;
// with `create` the key is made when missing (`created`, when given, tells
// whether it was). ERROR_SUCCESS or the Win32 code.
LONG OpenPrintSettingsKey(const wchar_t* subKey, REGSAM access, bool create, HKEY* key, bool* created = nullptr);

// The root: HKEY_LOCAL_MACHINE\SettingsKeyPath unless a test set another
// path below HKEY_LOCAL_MACHINE (null restores it). Returns the previous one.
const wchar_t* SetPrintSettingsRoot(const wchar_t* path);
const wchar_t* GetPrintSettingsRoot();

// Owns one open key.
class PrintKey {
public:
    PrintKey() = default;
    ~PrintKey() { Close(); }
    PrintKey(const PrintKey&) = delete;
    PrintKey& operator=(const PrintKey&) = delete;
    LONG Open(const wchar_t* subKey, REGSAM access, bool create, bool* created = nullptr)
    {
        Close();
        return OpenPrintSettingsKey(subKey, access, create, &key_, created);
    }
    void Close()
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};
