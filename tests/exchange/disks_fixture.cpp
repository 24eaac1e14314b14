#include "disks_fixture.h"

#include "exchange/disks/disksrvclient.h"

#include <cstdio>
#include <cstring>

namespace extest {

DiskService::DiskService(const std::wstring& requestLog) : pipe_(L"\\\\.\\pipe\\" + UniqueName(L"tfsyncdisk"))
{
    std::wstring command = L"\"" + std::wstring(TF_EXCHANGE_DISKSRV_EXE) + L"\" \"" + pipe_ + L"\"";
    if (!requestLog.empty())
        command += L" 0 \"" + requestLog + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &process_))
        return;
    for (int i = 0; i < 400 && !listening_; ++i) {
        listening_ = WaitNamedPipeW(pipe_.c_str(), 0) != 0;
        if (!listening_)
            Sleep(25);
    }
    previous_ = SetDiskSrvPipeName(pipe_.c_str());
}

DiskService::~DiskService()
{
    if (previous_)
        SetDiskSrvPipeName(nullptr);
    if (process_.hProcess) {
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

}  // namespace extest
