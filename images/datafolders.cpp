#include "images/datafolders.h"

#include <string.h>

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
