#include "disk_service.h"

#include "foundation/lefields.h"

namespace apptest {

std::wstring TestServerName()
{
    return L"\\\\.\\pipe\\" + UniqueName(L"tfdisk");
}

std::wstring PipeOf(const std::wstring& serverName)
{
    return serverName + L"\\pipe\\DiskSrv";
}

DiskService::DiskService(const std::wstring& pipe, DWORD timeoutMs)
    : process_(TF_DISKSRV_EXE, L"\"" + pipe + L"\"" + (timeoutMs ? L" " + std::to_wstring(timeoutMs) : std::wstring()))
{
    if (!process_.Started())
        return;
    for (int i = 0; i < 200 && !listening_; ++i) {
        listening_ = WaitNamedPipeW(pipe.c_str(), 0) != 0;
        if (!listening_)
            Sleep(25);
    }
}

DiskReply Exchange(const std::wstring& pipe, const std::vector<BYTE>& request)
{
    DiskReply reply;
    HANDLE h = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return reply;
    BYTE data[1028] = {};
    DWORD written = 0, read = 0;
    if (WriteFile(h, request.data(), static_cast<DWORD>(request.size()), &written, nullptr) &&
        ReadFile(h, data, sizeof data, &read, nullptr) && read == sizeof data) {
        reply.exchanged = true;
        reply.result = GetLe32(data);
        for (int i = 0; i < 512 && GetLe16(data + 4 + 2 * i); ++i)
            reply.text.push_back(static_cast<wchar_t>(GetLe16(data + 4 + 2 * i)));
    }
    CloseHandle(h);
    return reply;
}

SilentClient::SilentClient(const std::wstring& pipe)
{
    for (int i = 0; i < 100 && pipe_ == INVALID_HANDLE_VALUE; ++i) {
        pipe_ = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
        if (pipe_ == INVALID_HANDLE_VALUE)
            WaitNamedPipeW(pipe.c_str(), 50);
    }
}

SilentClient::~SilentClient()
{
    if (pipe_ != INVALID_HANDLE_VALUE)
        CloseHandle(pipe_);
}

bool SilentClient::DroppedWithin(DWORD ms)
{
    if (pipe_ == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BYTE data[16];
    DWORD read = 0;
    bool dropped = false;
    if (ReadFile(pipe_, data, sizeof data, nullptr, &overlapped)) {
        dropped = false;   // the server sent something to a client that asked nothing
    } else if (GetLastError() != ERROR_IO_PENDING) {
        dropped = true;
    } else if (WaitForSingleObject(overlapped.hEvent, ms) == WAIT_OBJECT_0) {
        dropped = !GetOverlappedResult(pipe_, &overlapped, &read, FALSE);
    } else {
        CancelIo(pipe_);
        GetOverlappedResult(pipe_, &overlapped, &read, TRUE);
    }
    CloseHandle(overlapped.hEvent);
    return dropped;
}

std::vector<BYTE> EjectRequest(wchar_t letter, DWORD command, DWORD reserved)
{
    std::vector<BYTE> r(10);
    PutLe32(r.data(), command);
    PutLe32(r.data() + 4, reserved);
    PutLe16(r.data() + 8, letter);
    return r;
}

std::vector<BYTE> FormatRequest(wchar_t letter, const std::wstring& name, int declaredLength)
{
    std::vector<BYTE> r(36);
    PutLe32(r.data(), 2);
    PutLe16(r.data() + 4, letter);
    PutLe16(r.data() + 10, static_cast<WORD>(declaredLength < 0 ? name.size() : declaredLength));
    for (size_t i = 0; i < name.size() && i < 12; ++i)
        PutLe16(r.data() + 12 + 2 * i, name[i]);
    return r;
}

}  // namespace apptest
