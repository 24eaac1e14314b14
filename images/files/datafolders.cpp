#include "images/files/datafolders.h"

#include "images/files/savefaults.h"

#include <string.h>
#include <wchar.h>


bool IsDataDiskSpaceEnough()
{
    DWORD injected = 0;
    if (SaveStepFails(SaveStep::FreeSpace, &injected))
        return false;
    // The root of the image folder: "X:\" or "\\server\share\".
    wchar_t root[MAX_PATH];
    if (!GetVolumePathNameW(ImageFolder[0] ? ImageFolder : L".\\", root, MAX_PATH))
        return false;
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(root, &available, &total, &free))
        return false;
    SetLastError(0);
    return available.QuadPart / 1048576u >= SpaceMin;
}

bool BuildDataFilePath(wchar_t* out, const wchar_t* folder, const wchar_t* name, const wchar_t* extension)
{
    const size_t a = wcslen(folder), b = wcslen(name), c = wcslen(extension);
    if (a + b + c >= MAX_PATH) {
        out[0] = 0;
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    memcpy(out, folder, a * sizeof(wchar_t));
    memcpy(out + a, name, b * sizeof(wchar_t));
    memcpy(out + a + b, extension, (c + 1) * sizeof(wchar_t));
    return true;
}

namespace {

// The names Windows gives to devices in every folder, whatever follows the
// first dot ("CON.xmg" is the console too).
bool IsDeviceName(const wchar_t* name, int length)
{
    int stem = 0;
    while (stem < length && name[stem] != L'.')
        ++stem;
    // Windows also ignores blanks before the dot ("CON .xmg").
    while (stem > 0 && name[stem - 1] == L' ')
        --stem;
    auto upper = [&](int i) { return (wchar_t)(name[i] >= L'a' && name[i] <= L'z' ? name[i] - 32 : name[i]); };
    auto is = [&](const wchar_t* word) {
        const int chars = lstrlenW(word);
        if (chars > stem)
            return false;
        for (int i = 0; i < chars; ++i)
            if (upper(i) != word[i])
                return false;
        return true;
    };
    if (stem == 3)
        return is(L"CON") || is(L"PRN") || is(L"AUX") || is(L"NUL");
    if (stem == 4 && (is(L"COM") || is(L"LPT")))
        return name[3] >= L'1' && name[3] <= L'9';
    // The console's two halves.
    return (stem == 6 && is(L"CONIN$")) || (stem == 7 && is(L"CONOUT$"));
}

// Whether the long name a file was found under (FindFirstFileW's) is the
// stored name with its extension, compared as the file system compares names.
bool FoundFileIsNamed(const wchar_t* found, const wchar_t* name, const wchar_t* extension)
{
    const int stem = lstrlenW(name);
    return lstrlenW(found) >= stem && CompareStringOrdinal(found, stem, name, stem, TRUE) == CSTR_EQUAL &&
           CompareStringOrdinal(found + stem, -1, extension, -1, TRUE) == CSTR_EQUAL;
}

// Whether the file system answers the path with a file of another long name:
// a name with "~" may be the short name of another file of the folder
// ("L000~AJC.xmg" opens "L0000000000000001.xmg"). Only such names are looked
// up; a path where nothing is found (a file still to be written, a disk not
// in its drive) is no alias.
bool IsAliasOfAnotherFile(const wchar_t* path, const wchar_t* name, const wchar_t* extension)
{
    if (!wcschr(name, L'~'))
        return false;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return !FoundFileIsNamed(found.cFileName, name, extension);
}

}  // namespace

StoredNameVerdict CheckStoredFileName(const wchar_t* name, int length)
{
    if (!name)
        return StoredNameVerdict::kEmpty;
    if (length < 0)
        length = lstrlenW(name);
    if (length == 0)
        return StoredNameVerdict::kEmpty;
    if (length > kStoredFileNameChars)
        return StoredNameVerdict::kTooLong;
    // A separator anywhere is the verdict, even after a "..": "..\x" leaves
    // the folder by its separator.
    for (int i = 0; i < length; ++i)
        if (name[i] == L'\\' || name[i] == L'/' || name[i] == L':')
            return StoredNameVerdict::kSeparator;
    for (int i = 0; i < length; ++i) {
        const wchar_t c = name[i];
        if (c == L'.' && i + 1 < length && name[i + 1] == L'.')
            return StoredNameVerdict::kParent;
        if (c < 0x20 || c == 0x7F || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|')
            return StoredNameVerdict::kControl;
    }
    if (name[length - 1] == L'.' || name[length - 1] == L' ')
        return StoredNameVerdict::kTrailing;
    if (IsDeviceName(name, length))
        return StoredNameVerdict::kDevice;
    return StoredNameVerdict::kOk;
}

bool BuildStoredFilePath(wchar_t* out, const wchar_t* folder, const wchar_t* name, const wchar_t* extension)
{
    if (CheckStoredFileName(name) != StoredNameVerdict::kOk) {
        out[0] = 0;
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (!BuildDataFilePath(out, folder, name, extension))
        return false;
    if (IsAliasOfAnotherFile(out, name, extension)) {
        out[0] = 0;
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    return true;
}

std::wstring StoredNameKey(const wchar_t* name, int length)
{
    if (length < 0)
        length = lstrlenW(name);
    while (length > 0 && (name[length - 1] == L' ' || name[length - 1] == L'.'))
        --length;
    std::wstring key(name, static_cast<size_t>(length));
    // Simple case mapping keeps the length: one character for one.
    if (length > 0)
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name, length, &key[0], length, nullptr, nullptr, 0);
    return key;
}
