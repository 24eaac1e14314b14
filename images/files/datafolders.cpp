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
