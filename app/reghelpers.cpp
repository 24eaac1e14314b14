#include "app/reghelpers.h"

#include "foundation/lefields.h"

#include <cstring>

namespace {

const DWORD kLogFontBytes = 92;
const DWORD kFaceChars = 32;

// Up to 261 characters of a subkey name: the longest name a key may have
// (255) and room to spare.
const DWORD kSubKeyNameChars = 261;

}  // namespace

LONG RegGetDword(HKEY key, const wchar_t* name, DWORD* out)
{
    DWORD value = 0, type = REG_NONE, size = sizeof value;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (rc == ERROR_MORE_DATA)
        return ERROR_INVALID_PARAMETER;   // larger than a DWORD: not one
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_DWORD || size != sizeof value)
        return ERROR_INVALID_PARAMETER;
    *out = value;
    return ERROR_SUCCESS;
}

LONG RegSetDword(HKEY key, const wchar_t* name, DWORD value)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegGetString(HKEY key, const wchar_t* name, wchar_t* buffer, DWORD* size)
{
    const DWORD capacity = *size / sizeof(wchar_t);   // characters, terminator included
    *size = 0;
    if (capacity == 0)
        return ERROR_MORE_DATA;
    buffer[0] = 0;
    DWORD type = REG_NONE;
    DWORD bytes = capacity * sizeof(wchar_t);
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (rc == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)
        rc = ERROR_INVALID_PARAMETER;
    if (rc != ERROR_SUCCESS) {
        buffer[0] = 0;
        return rc;
    }
    // The stored text ends at its first terminator or at its last whole
    // character; it must leave room for the terminator we add.
    DWORD chars = bytes / sizeof(wchar_t);
    DWORD length = 0;
    while (length < chars && buffer[length] != 0)
        ++length;
    if (length >= capacity) {
        buffer[0] = 0;
        return ERROR_MORE_DATA;
    }
    buffer[length] = 0;
    *size = length;
    return ERROR_SUCCESS;
}

LONG RegGetStringNonEmpty(HKEY key, const wchar_t* name, wchar_t* buffer, DWORD* size)
{
    LONG rc = RegGetString(key, name, buffer, size);
    if (rc == ERROR_SUCCESS && *size == 0)
        return ERROR_NO_DATA;
    return rc;
}

LONG RegSetString(HKEY key, const wchar_t* name, const wchar_t* text)
{
    if (!text)
        text = L"";
    return RegSetStringN(key, name, text, lstrlenW(text));
}

LONG RegSetStringN(HKEY key, const wchar_t* name, const wchar_t* text, int length)
{
    if (length < 0)
        return ERROR_INVALID_PARAMETER;
    // RegSetValueExW stores exactly the bytes given: copy the text so that
    // its terminator is stored too, whatever follows it in the caller's memory.
    HANDLE heap = GetProcessHeap();
    wchar_t* copy = static_cast<wchar_t*>(HeapAlloc(heap, 0, (length + 1) * sizeof(wchar_t)));
    if (!copy)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (length > 0)
        memcpy(copy, text, length * sizeof(wchar_t));
    copy[length] = 0;
    LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(copy),
                             (length + 1) * sizeof(wchar_t));
    HeapFree(heap, 0, copy);
    return rc;
}

LONG RegDeleteKeyTree(HKEY key, const wchar_t* subKey)
{
    HKEY sub = nullptr;
    LONG rc = RegOpenKeyExW(key, subKey, 0, KEY_ENUMERATE_SUB_KEYS, &sub);
    if (rc == ERROR_SUCCESS) {
        wchar_t child[kSubKeyNameChars];
        for (;;) {
            DWORD chars = kSubKeyNameChars;
            // Always the first: the one before it was deleted.
            if (RegEnumKeyExW(sub, 0, child, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (RegDeleteKeyTree(sub, child) != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(sub);
    }
    return RegDeleteKeyW(key, subKey);
}

BOOL RegWriteLogFont(const LOGFONTW& font, HKEY key, const wchar_t* name)
{
    BYTE raw[kLogFontBytes] = {};
    PutLe32(raw + 0, static_cast<DWORD>(font.lfHeight));
    PutLe32(raw + 4, static_cast<DWORD>(font.lfWidth));
    PutLe32(raw + 8, static_cast<DWORD>(font.lfEscapement));
    PutLe32(raw + 12, static_cast<DWORD>(font.lfOrientation));
    PutLe32(raw + 16, static_cast<DWORD>(font.lfWeight));
    raw[20] = font.lfItalic;
    raw[21] = font.lfUnderline;
    raw[22] = font.lfStrikeOut;
    raw[23] = font.lfCharSet;
    raw[24] = font.lfOutPrecision;
    raw[25] = font.lfClipPrecision;
    raw[26] = font.lfQuality;
    raw[27] = font.lfPitchAndFamily;
    // The face name up to its terminator (at most 31 characters), zeros behind.
    for (DWORD i = 0; i < kFaceChars - 1 && font.lfFaceName[i] != 0; ++i)
        PutLe16(raw + 28 + 2 * i, font.lfFaceName[i]);
    return RegSetValueExW(key, name, 0, REG_BINARY, raw, kLogFontBytes) == ERROR_SUCCESS;
}
