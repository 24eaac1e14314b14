// The disk service stand-in: "disksrv [pipe name [time-out in ms [log file]]]"
// serves the pipe "\\.\pipe\DiskSrv" (or the one named) until the process is
// ended; a client silent for the time-out (5,000 ms unless given; 0 keeps
// the default) is disconnected. With a log file, every request read is
// appended to it as a line of hexadecimal bytes.
#include "tools/disksrv/diskserver.h"

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* pipe = argc > 1 ? argv[1] : L"\\\\.\\pipe\\DiskSrv";
    DWORD timeoutMs = kDefaultReadTimeoutMs;
    if (argc > 2) {
        const unsigned long given = wcstoul(argv[2], nullptr, 10);
        if (given > 0)
            timeoutMs = given;
    }
    if (argc > 3)
        SetRequestLog(argv[3]);
    fwprintf(stderr, L"disksrv: serving %ls\n", pipe);
    DWORD error = ServePipe(pipe, timeoutMs);
    fwprintf(stderr, L"disksrv: cannot create the pipe %ls (error %lu)\n", pipe, error);
    return 1;
}
