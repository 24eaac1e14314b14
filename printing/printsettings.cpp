#include "printing/printsettings.h"

#include "foundation/settingskey.h"

LONG PrintKey::Open(const wchar_t* subKey, REGSAM access, bool create, bool* created)
{
    Close();
    if (created)
        *created = false;
    LONG status = OpenSettingsKey(subKey, access, false, &key_);
    if (status == ERROR_FILE_NOT_FOUND && create) {
        status = OpenSettingsKey(subKey, access, true, &key_);
        if (created)
            *created = status == ERROR_SUCCESS;
    }
    if (status != ERROR_SUCCESS)
        key_ = nullptr;
    return status;
}

void PrintKey::Close()
{
    if (key_)
        RegCloseKey(key_);
    key_ = nullptr;
}
