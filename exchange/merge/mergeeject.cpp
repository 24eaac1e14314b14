// The merge window's remove-disk request: see mergeeject.h.
#include "exchange/merge/mergeeject.h"

#include "foundation/journal.h"

#include <string>

namespace {

const wchar_t kDiskServicePipe[] = L"\\\\.\\pipe\\DiskSrv";
const DWORD kRequestBytes = 10;
const DWORD kReplyBytes = 1028;

bool DefaultRemoveDisk(wchar_t driveLetter)
{
    return RequestDiskRemoval(driveLetter, nullptr);
}

RemoveDiskFunction gRemoveDisk = DefaultRemoveDisk;

void LogStep(const wchar_t* call, const wchar_t* pipe)
{
    LogError(GetLastError(), (std::wstring(call) + L" " + pipe).c_str());
}

}  // namespace

RemoveDiskFunction GetRemoveDiskFunction()
{
    return gRemoveDisk;
}

RemoveDiskFunction SetRemoveDiskFunction(RemoveDiskFunction function)
{
    RemoveDiskFunction previous = gRemoveDisk;
    gRemoveDisk = function ? function : DefaultRemoveDisk;
    return previous;
}

bool RequestDiskRemoval(wchar_t driveLetter, const wchar_t* pipeName)
{
    const wchar_t* pipe = pipeName ? pipeName : kDiskServicePipe;
    HANDLE handle = CreateFileW(pipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        LogStep(L"CreateFileW", pipe);
        return false;
    }
    BYTE request[kRequestBytes] = {1, 0, 0, 0, 0, 0, 0, 0, (BYTE)(driveLetter & 0xFF), (BYTE)(driveLetter >> 8)};
    BYTE reply[kReplyBytes] = {};
    DWORD done = 0;
    bool ok = false;
    if (!WriteFile(handle, request, kRequestBytes, &done, nullptr) || done != kRequestBytes)
        LogStep(L"WriteFile", pipe);
    else if (!ReadFile(handle, reply, kReplyBytes, &done, nullptr))
        LogStep(L"ReadFile", pipe);
    else
        ok = true;
    CloseHandle(handle);
    return ok;
}

wchar_t DriveLetterOfFolder(const wchar_t* folder)
{
    if (!folder)
        return 0;
    const wchar_t c = folder[0];
    const bool letter = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    if (!letter || folder[1] != L':' || (folder[2] != 0 && folder[2] != L'\\'))
        return 0;
    return c >= L'a' ? (wchar_t)(c - L'a' + L'A') : c;
}
