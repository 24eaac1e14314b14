// The disk service stand-in: "disksrv [pipe name]" serves the pipe
// "\\.\pipe\DiskSrv" (or the one named) until the process is ended.
#include "tools/disksrv/diskserver.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* pipe = argc > 1 ? argv[1] : L"\\\\.\\pipe\\DiskSrv";
    fwprintf(stderr, L"disksrv: serving %ls\n", pipe);
    DWORD error = ServePipe(pipe);
    fwprintf(stderr, L"disksrv: cannot create the pipe %ls (error %lu)\n", pipe, error);
    return 1;
}
