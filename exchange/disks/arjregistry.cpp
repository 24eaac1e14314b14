#include "exchange/disks/arjregistry.h"

#include "foundation/settingskey.h"

#include <cwchar>

const wchar_t kSynDbKey[] = L"SynDB";
const wchar_t kSynDbImgDir[] = L"ImgDir";
const wchar_t kSynDbLastScanDisk[] = L"LastScanDisk";

bool ArjRegRead(const wchar_t* subKey, const wchar_t* name, DWORD type, void* buffer, DWORD* size)
{
    if (!buffer || !size)
        return false;
    const bool text = type == REG_SZ;
    const DWORD chars = text ? *size : 0;
    if (text) {
        if (chars < 1)
            return false;
        static_cast<wchar_t*>(buffer)[0] = 0;
    }
    HKEY key = nullptr;
    if (OpenSettingsKey(subKey, KEY_READ, false, &key) != ERROR_SUCCESS)
        return false;
    // A text gets one character of room kept back for the terminator that the
    // stored value may lack.
    DWORD bytes = text ? (chars - 1) * sizeof(wchar_t) : *size;
    DWORD stored = REG_NONE;
    const LONG rc = RegQueryValueExW(key, name, nullptr, &stored, static_cast<BYTE*>(buffer), &bytes);
    RegCloseKey(key);
    if (text) {
        wchar_t* out = static_cast<wchar_t*>(buffer);
        DWORD length = rc == ERROR_SUCCESS ? bytes / sizeof(wchar_t) : 0;
        if (length > chars - 1)
            length = chars - 1;
        out[length] = 0;
        length = static_cast<DWORD>(wcslen(out));
        if (rc != ERROR_SUCCESS || stored != REG_SZ) {
            out[0] = 0;
            *size = 0;
            return false;
        }
        *size = length;
        return true;
    }
    if (rc != ERROR_SUCCESS)
        return false;
    *size = bytes;
    return stored == type;
}

bool ArjRegWrite(const wchar_t* subKey, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    DWORD count = 0;
    switch (type) {
    case REG_SZ:
        if (!data)
            return false;
        count = static_cast<DWORD>((wcslen(static_cast<const wchar_t*>(data)) + 1) * sizeof(wchar_t));
        break;
    case REG_BINARY:
        count = size;
        break;
    case REG_DWORD:
        if (!data)
            return false;
        count = sizeof(DWORD);
        break;
    default:
        return false;
    }
    HKEY key = nullptr;
    if (OpenSettingsKey(subKey, KEY_WRITE, true, &key) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExW(key, name, 0, type, bytes, count);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}
