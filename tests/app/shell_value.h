// The Winlogon value "Shell" of the test prefix, for the tests of the Set
// Shell dialog, which read and write it.
#pragma once

#include "app/settingsdlg.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

// The Winlogon value "Shell" of this prefix, kept and put back: the test may
// change it, nothing else in the prefix reads it. The test processes that
// ctest runs side by side share the prefix, so a test holds the value alone,
// under a lock of all processes, while it lives.
class ShellValue {
public:
    ShellValue()
    {
        lock_ = CreateMutexW(nullptr, FALSE, L"TobalFluoro test Winlogon Shell");
        if (lock_) {
            const DWORD waited = WaitForSingleObject(lock_, 60000);
            held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
        EXPECT_TRUE(held_) << "another test kept the Winlogon value for a minute";
        DWORD size = sizeof saved_ - sizeof(wchar_t), type = 0;
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, kWinlogonKey, L"Shell", RRF_RT_REG_SZ, &type, saved_, &size) ==
               ERROR_SUCCESS;
    }
    ~ShellValue()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            if (had_)
                RegSetValueExW(key, L"Shell", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved_),
                               (lstrlenW(saved_) + 1) * sizeof(wchar_t));
            else
                RegDeleteValueW(key, L"Shell");
            RegCloseKey(key);
        }
        Unlock();
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
    void Unlock()
    {
        if (held_)
            ReleaseMutex(lock_);
        if (lock_)
            CloseHandle(lock_);
        lock_ = nullptr;
        held_ = false;
    }

    HANDLE lock_ = nullptr;
    bool held_ = false;
    wchar_t saved_[600] = {};
    bool had_ = false;
};
