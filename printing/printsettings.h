// Printing's keys below the settings root ("Printer", "PrinterProfiles",
// "Header", "PrintReport", "SnimokPrintCfg" and the screen font keys of the
// Fonts dialog), opened through OpenSettingsKey (foundation/settingskey.h),
// whose root tests point elsewhere.
#pragma once

#include <windows.h>

// Owns one open key.
class PrintKey {
public:
    PrintKey() = default;
    ~PrintKey() { Close(); }
    PrintKey(const PrintKey&) = delete;
    PrintKey& operator=(const PrintKey&) = delete;
    // OpenSettingsKey; with `create` a missing key is made, and `created`
    // (when given) tells whether it was missing.
    LONG Open(const wchar_t* subKey, REGSAM access, bool create, bool* created = nullptr);
    void Close();
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};
