#include "images/files/datafolders.h"

#include "images/files/savefaults.h"

#include <string.h>


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
        for (int i = 0; i < 3; ++i)
            if (upper(i) != word[i])
                return false;
        return true;
    };
    if (stem == 3)
        return is(L"CON") || is(L"PRN") || is(L"AUX") || is(L"NUL");
    if (stem == 4 && (is(L"COM") || is(L"LPT")))
        return name[3] >= L'1' && name[3] <= L'9';
    return false;
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
    return BuildDataFilePath(out, folder, name, extension);
}
