#include "exchange/disks/removabledrive.h"

#include "foundation/journal.h"

#include <cwchar>

bool IsNoDiskError(DWORD code)
{
    return code == ERROR_NOT_READY || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_DRIVE ||
           code == ERROR_NO_MEDIA_IN_DRIVE;
}

void LogWin32Failure(const wchar_t* call, const wchar_t* argument, DWORD code)
{
    wchar_t system[160] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, system, 160,
                   nullptr);
    system[159] = 0;
    for (wchar_t* p = system; *p; ++p)
        if (*p == L'\r' || *p == L'\n')
            *p = L' ';
    wchar_t text[400];
    _snwprintf(text, 399, L"%ls %ls: error %lu %ls", call, argument ? argument : L"", code, system);
    text[399] = 0;
    LogError(code, text);
}

RemovableDrive::RemovableDrive() : serial_(0), lastError_(0), valid_(FALSE)
{
    label_[0] = 0;
    root_[0] = 0;
}

bool RemovableDrive::SetLetter(const wchar_t* path)
{
    root_[0] = 0;
    if (path && path[0]) {
        root_[0] = path[0];
        root_[1] = L':';
        root_[2] = L'\\';
        root_[3] = 0;
    }
    return true;
}

bool RemovableDrive::Query(const wchar_t* path)
{
    if (path)
        SetLetter(path);
    if (!root_[0]) {
        lastError_ = ERROR_INVALID_NAME;
        return false;
    }
    wchar_t label[kDiskLabelChars] = L"";
    wchar_t fileSystem[kDiskLabelChars] = L"";
    DWORD serial = 0, maxComponent = 0, flags = 0;
    if (!GetVolumeInformationW(root_, label, kDiskLabelChars, &serial, &maxComponent, &flags, fileSystem,
                               kDiskLabelChars)) {
        lastError_ = ::GetLastError();
        LogWin32Failure(L"GetVolumeInformationW", root_, lastError_);
        return false;
    }
    label[kDiskLabelChars - 1] = 0;
    wcscpy(label_, label);
    serial_ = serial;
    valid_ = TRUE;
    return true;
}

bool RemovableDrive::GetLabel(wchar_t* out, int capacity) const
{
    if (!valid_ || !out || capacity < 1)
        return false;
    int i = 0;
    for (; i < capacity - 1 && label_[i]; ++i)
        out[i] = label_[i];
    out[i] = 0;
    return true;
}

bool RemovableDrive::GetFreeMB(DWORD* megabytes)
{
    ULARGE_INTEGER available, total, freeBytes;
    if (!root_[0] || !GetDiskFreeSpaceExW(root_, &available, &total, &freeBytes)) {
        lastError_ = root_[0] ? ::GetLastError() : ERROR_INVALID_NAME;
        return false;
    }
    *megabytes = static_cast<DWORD>(freeBytes.QuadPart >> 20);
    return true;
}
