// The Winlogon value "Shell" of this build's private Wine prefix, which the
// Set Shell dialog shows and writes: kept at construction and put back at
// destruction. It is a machine value that every test process of the prefix
// sees, so the cases that use it hold the ctest lock "winlogon_shell"
// (tests/app/tests.cmake) and run one at a time.
#pragma once

#include "app/settingsdlg.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

class ShellValue {
public:
    ShellValue()
    {
        DWORD size = sizeof saved_ - sizeof(wchar_t), type = 0;
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, kWinlogonKey, L"Shell", RRF_RT_REG_SZ, &type, saved_, &size) ==
               ERROR_SUCCESS;
    }
    ~ShellValue()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        if (had_)
            RegSetValueExW(key, L"Shell", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_),
                           (lstrlenW(saved_) + 1) * sizeof(wchar_t));
        else
            RegDeleteValueW(key, L"Shell");
        RegCloseKey(key);
    }
    static void Set(const std::wstring& value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, nullptr, 0, KEY_SET_VALUE,
                                                 nullptr, &key, nullptr));
        RegSetValueExW(key, L"Shell", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    static std::wstring Get()
    {
        wchar_t text[600] = {};
        DWORD size = sizeof text - sizeof(wchar_t);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kWinlogonKey, L"Shell", RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS)
            return L"<missing>";
        return text;
    }

private:
    wchar_t saved_[600] = {};
    bool had_ = false;
};
