// The disk service stand-in (tools/disksrv) run by the tests on a pipe of
// their own, and one request/reply exchange with it.
#pragma once

#include "app_fixture.h"

#include <string>
#include <vector>

namespace apptest {

class DiskService {
public:
    // Starts disksrv on `pipe` (with its read time-out when one is given)
    // and waits (bounded) until it listens.
    explicit DiskService(const std::wstring& pipe, DWORD timeoutMs = 0);
    bool Listening() const { return listening_; }
    void Stop() { process_.Kill(); }

private:
    ChildProcess process_;
    bool listening_ = false;
};

// A unique server name for a test: "\\.\pipe\<unique>", so that the wait's
// pipe "<server>\pipe\DiskSrv" is the test's own.
std::wstring TestServerName();
std::wstring PipeOf(const std::wstring& serverName);

struct DiskReply {
    bool exchanged = false;   // open, write and read all succeeded
    DWORD result = 0;
    std::wstring text;
};
DiskReply Exchange(const std::wstring& pipe, const std::vector<BYTE>& request);

// A client that connects to the pipe and sends nothing, for as long as it
// lives; its handle is overlapped, so that the test can wait for the server
// to drop it without blocking.
class SilentClient {
public:
    explicit SilentClient(const std::wstring& pipe);
    ~SilentClient();
    bool Connected() const { return pipe_ != INVALID_HANDLE_VALUE; }
    // True when the server closed the connection within `ms`.
    bool DroppedWithin(DWORD ms);

private:
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
};

std::vector<BYTE> EjectRequest(wchar_t letter, DWORD command = 1, DWORD reserved = 0);
std::vector<BYTE> FormatRequest(wchar_t letter, const std::wstring& name, int declaredLength = -1);

}  // namespace apptest
