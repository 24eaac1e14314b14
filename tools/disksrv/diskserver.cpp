#include "tools/disksrv/diskserver.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

const DWORD kCommandEject = 1;
const DWORD kCommandFormat = 2;
const DWORD kReadLimit = 64;   // longer requests are refused

// Wine's mount manager request (32 bytes, then the Unix path).
#pragma pack(push, 1)
struct DefineUnixDrive {
    ULONG size;
    ULONG type;                 // 1 removes the drive, 2 defines it as removable
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;    // the Unix path, 8-bit, after the record
    USHORT deviceOffset;
    USHORT labelOffset;
};
#pragma pack(pop)
static_assert(sizeof(DefineUnixDrive) == 32, "Wine's request is 32 bytes");

const DWORD kDefineUnixDrive = (0x6D << 16) | (3 << 14) | (32 << 2);   // CTL_CODE('m', 32, BUFFERED, READ|WRITE)
const DWORD kQueryUnixDrive = (0x6D << 16) | (1 << 14) | (33 << 2);    // CTL_CODE('m', 33, BUFFERED, READ)
const ULONG kDriveRemove = 1;
const ULONG kDriveRemovable = 2;

DWORD GetLe32(const BYTE* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

WORD GetLe16(const BYTE* p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

void PutLe32(BYTE* p, DWORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

// Fills the reply: the result and a text (cut to 511 characters).
void Reply(BYTE* reply, DWORD result, const wchar_t* text)
{
    memset(reply, 0, kReplySize);
    PutLe32(reply, result);
    for (int i = 0; text && text[i] && i < kReplyTextChars - 1; ++i) {
        reply[4 + 2 * i] = static_cast<BYTE>(text[i]);
        reply[5 + 2 * i] = static_cast<BYTE>(text[i] >> 8);
    }
}

void ReplyError(BYTE* reply, const wchar_t* what, wchar_t letter, DWORD error)
{
    wchar_t system[256] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, system, 256,
                   nullptr);
    wchar_t text[kReplyTextChars];
    _snwprintf(text, kReplyTextChars, L"%ls %lc: failed (error %lu) %ls", what, letter, error, system);
    text[kReplyTextChars - 1] = 0;
    Reply(reply, 0, text);
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t Upper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// The Unix folder a drive letter stands for, asked of Wine's mount manager
// (the target of the drive's link, not the link itself, which the define
// below replaces). False when the drive has none.
bool UnixFolderOf(wchar_t letter, char* out, size_t capacity)
{
    BYTE buffer[sizeof(DefineUnixDrive) + MAX_PATH * 4] = {};
    DefineUnixDrive* query = reinterpret_cast<DefineUnixDrive*>(buffer);
    query->size = sizeof(DefineUnixDrive);
    query->letter = static_cast<WCHAR>(letter - L'A' + L'a');
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, kQueryUnixDrive, buffer, sizeof(DefineUnixDrive), buffer, sizeof buffer - 1,
                              &returned, nullptr);
    CloseHandle(manager);
    if (!ok || returned < sizeof(DefineUnixDrive) || !query->mountPointOffset || query->mountPointOffset >= returned)
        return false;
    const char* folder = reinterpret_cast<const char*>(buffer + query->mountPointOffset);
    if (strlen(folder) >= capacity)
        return false;
    strcpy(out, folder);
    return true;
}

// Sends one define request to Wine's mount manager; the Win32 code.
DWORD DefineDrive(wchar_t letter, ULONG type, const char* unixFolder, DWORD serial)
{
    BYTE buffer[sizeof(DefineUnixDrive) + MAX_PATH * 4] = {};
    DefineUnixDrive* request = reinterpret_cast<DefineUnixDrive*>(buffer);
    DWORD size = sizeof(DefineUnixDrive);
    request->type = type;
    request->serial = serial;
    request->letter = static_cast<WCHAR>(letter - L'A' + L'a');
    if (unixFolder) {
        const size_t length = strlen(unixFolder);
        if (length + 1 > sizeof buffer - size)
            return ERROR_FILENAME_EXCED_RANGE;
        request->mountPointOffset = static_cast<USHORT>(size);
        memcpy(buffer + size, unixFolder, length + 1);
        size += static_cast<DWORD>(length + 1);
    }
    request->size = size;
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD returned = 0;
    DWORD error = DeviceIoControl(manager, kDefineUnixDrive, buffer, size, nullptr, 0, &returned, nullptr)
                      ? ERROR_SUCCESS
                      : GetLastError();
    CloseHandle(manager);
    return error;
}

bool DriveExists(wchar_t letter)
{
    wchar_t root[4] = {letter, L':', L'\\', 0};
    return GetDriveTypeW(root) != DRIVE_NO_ROOT_DIR;
}

void Eject(wchar_t letter, BYTE* reply)
{
    if (!DriveExists(letter)) {
        wchar_t text[64];
        _snwprintf(text, 64, L"No disk in drive %lc:", letter);
        text[63] = 0;
        Reply(reply, 0, text);
        return;
    }
    if (DWORD error = DefineDrive(letter, kDriveRemove, nullptr, 0)) {
        ReplyError(reply, L"Eject", letter, error);
        return;
    }
    Reply(reply, 1, L"");
}

// Writes one small file in the drive's root, replacing it.
DWORD WriteRootFile(wchar_t letter, const wchar_t* name, const char* data, DWORD size)
{
    wchar_t path[32];
    _snwprintf(path, 32, L"%lc:\\%ls", letter, name);
    path[31] = 0;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD written = 0;
    DWORD error = WriteFile(file, data, size, &written, nullptr) && written == size ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return error;
}

void Format(wchar_t letter, const wchar_t* name, int length, BYTE* reply)
{
    if (!DriveExists(letter)) {
        wchar_t text[64];
        _snwprintf(text, 64, L"No disk in drive %lc:", letter);
        text[63] = 0;
        Reply(reply, 0, text);
        return;
    }
    char folder[MAX_PATH * 3];
    if (!UnixFolderOf(letter, folder, sizeof folder)) {
        ReplyError(reply, L"Format", letter, ERROR_NOT_SUPPORTED);
        return;
    }
    char label[kDiskNameChars * 3 + 1];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, name, length, label, sizeof label - 1, nullptr, nullptr);
    if (length > 0 && bytes <= 0) {
        ReplyError(reply, L"Format", letter, GetLastError());
        return;
    }
    if (DWORD error = WriteRootFile(letter, L".windows-label", label, static_cast<DWORD>(bytes))) {
        ReplyError(reply, L"Format", letter, error);
        return;
    }
    // The mount manager keeps the old label until the drive is defined
    // again; defined without a serial of its own, it reads both files anew.
    DWORD error = DefineDrive(letter, kDriveRemove, nullptr, 0);
    if (!error)
        error = DefineDrive(letter, kDriveRemovable, folder, 0);
    if (error) {
        ReplyError(reply, L"Format", letter, error);
        return;
    }
    Reply(reply, 1, L"");
}

}  // namespace

void AnswerRequest(const BYTE* request, DWORD size, BYTE reply[kReplySize])
{
    if (size != kEjectRequestSize && size != kFormatRequestSize) {
        wchar_t text[96];
        _snwprintf(text, 96, L"Bad request: %lu bytes (10 to eject a disk, 36 to format one)", size);
        text[95] = 0;
        Reply(reply, 0, text);
        return;
    }
    const DWORD command = GetLe32(request);
    if (size == kEjectRequestSize) {
        if (command != kCommandEject) {
            Reply(reply, 0, L"Bad request: a 10-byte request must be command 1 (eject)");
            return;
        }
        if (GetLe32(request + 4) != 0) {
            Reply(reply, 0, L"Bad request: reserved field is not 0");
            return;
        }
        const wchar_t letter = static_cast<wchar_t>(GetLe16(request + 8));
        if (!IsDriveLetter(letter)) {
            Reply(reply, 0, L"Bad request: no drive letter");
            return;
        }
        Eject(Upper(letter), reply);
        return;
    }
    if (command != kCommandFormat) {
        Reply(reply, 0, L"Bad request: a 36-byte request must be command 2 (format)");
        return;
    }
    const wchar_t letter = static_cast<wchar_t>(GetLe16(request + 4));
    if (!IsDriveLetter(letter)) {
        Reply(reply, 0, L"Bad request: no drive letter");
        return;
    }
    if (GetLe32(request + 6) != 0) {
        Reply(reply, 0, L"Bad request: reserved field is not 0");
        return;
    }
    const int length = GetLe16(request + 10);
    if (length > kDiskNameChars) {
        Reply(reply, 0, L"Bad request: a disk name has at most 12 characters");
        return;
    }
    wchar_t name[kDiskNameChars + 1] = {};
    for (int i = 0; i < length; ++i) {
        name[i] = static_cast<wchar_t>(GetLe16(request + 12 + 2 * i));
        if (name[i] < 0x20 || name[i] == L'/' || name[i] == L'\\') {
            Reply(reply, 0, L"Bad request: the disk name holds a character a label may not have");
            return;
        }
    }
    Format(Upper(letter), name, length, reply);
}

namespace {

const wchar_t* gRequestLog = nullptr;
CRITICAL_SECTION gLogLock;

// One line per request: its bytes in hexadecimal.
void LogRequest(const BYTE* request, DWORD size)
{
    if (!gRequestLog)
        return;
    static const char kDigits[] = "0123456789ABCDEF";
    char line[2 * kReadLimit + 3];
    DWORD n = 0;
    for (DWORD i = 0; i < size && i < kReadLimit; ++i) {
        line[n++] = kDigits[request[i] >> 4];
        line[n++] = kDigits[request[i] & 15];
    }
    line[n++] = '\r';
    line[n++] = '\n';
    EnterCriticalSection(&gLogLock);
    HANDLE file = CreateFileW(gRequestLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, n, &written, nullptr);
        CloseHandle(file);
    }
    LeaveCriticalSection(&gLogLock);
}

// Serving: the listening loop (ServePipe) only accepts clients. Each client
// is served on a thread of its own (ServeClient): one request, one reply,
// then the instance is closed. Every wait of a client's thread is bounded by
// the read time-out, so a client that connects and never writes, or never
// reads its reply, holds only its own thread and its own instance, and only
// for that long; the loop has already made the next instance listen.

struct ClientJob {
    HANDLE pipe;
    DWORD timeoutMs;
};

HANDLE NewInstance(const wchar_t* pipeName)
{
    return CreateNamedPipeW(pipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                            kReplySize, kReadLimit, 0, nullptr);
}

// One overlapped read or write, waited for at most `timeoutMs`. True when it
// completed; false (with the last error set) when it failed or timed out, in
// which case it has been cancelled.
bool Transfer(HANDLE pipe, bool write, BYTE* data, DWORD size, DWORD* done, DWORD timeoutMs, HANDLE event)
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event;
    ResetEvent(event);
    *done = 0;
    const BOOL ok = write ? WriteFile(pipe, data, size, nullptr, &overlapped)
                          : ReadFile(pipe, data, size, nullptr, &overlapped);
    if (ok)
        return GetOverlappedResult(pipe, &overlapped, done, FALSE) != 0;
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        if (error == ERROR_MORE_DATA)
            *done = static_cast<DWORD>(overlapped.InternalHigh);   // the part that was read
        SetLastError(error);
        return false;
    }
    if (WaitForSingleObject(event, timeoutMs) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, done, TRUE);
        SetLastError(WAIT_TIMEOUT);
        return false;
    }
    return GetOverlappedResult(pipe, &overlapped, done, FALSE) != 0;
}

void Serve(HANDLE pipe, DWORD timeoutMs)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        return;
    BYTE request[kReadLimit];
    BYTE reply[kReplySize];
    DWORD read = 0;
    bool answered = false;
    if (Transfer(pipe, false, request, sizeof request, &read, timeoutMs, event)) {
        LogRequest(request, read);
        AnswerRequest(request, read, reply);
        answered = true;
    } else if (GetLastError() == ERROR_MORE_DATA) {
        // Read the rest of the oversized message away before answering.
        BYTE rest[kReadLimit];
        DWORD total = read, more = 0;
        bool done;
        do {
            done = Transfer(pipe, false, rest, sizeof rest, &more, timeoutMs, event);
            total += more;
        } while (!done && GetLastError() == ERROR_MORE_DATA);
        if (done) {
            LogRequest(request, read);
            AnswerRequest(request, total, reply);
            answered = true;
        }
    }
    // Otherwise the client went away or stayed silent past the time-out.
    if (answered) {
        DWORD written = 0;
        if (Transfer(pipe, true, reply, kReplySize, &written, timeoutMs, event)) {
            // Disconnecting would drop a reply not yet read: wait (bounded)
            // until the client has read it and closed its end.
            BYTE none[1];
            DWORD got = 0;
            Transfer(pipe, false, none, sizeof none, &got, timeoutMs, event);
        }
    }
    CloseHandle(event);
}

DWORD WINAPI ServeClient(void* param)
{
    ClientJob* job = static_cast<ClientJob*>(param);
    Serve(job->pipe, job->timeoutMs);
    DisconnectNamedPipe(job->pipe);
    CloseHandle(job->pipe);
    delete job;
    return 0;
}

// Waits for a client on the instance; false when none could connect.
bool AwaitClient(HANDLE pipe)
{
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr)
        return false;
    bool connected = ConnectNamedPipe(pipe, &overlapped) != 0;
    if (!connected) {
        const DWORD error = GetLastError();
        DWORD unused = 0;
        connected = error == ERROR_PIPE_CONNECTED ||
                    (error == ERROR_IO_PENDING && GetOverlappedResult(pipe, &overlapped, &unused, TRUE));
    }
    CloseHandle(overlapped.hEvent);
    return connected;
}

}  // namespace

void SetRequestLog(const wchar_t* path)
{
    static bool ready = false;
    if (!ready) {
        InitializeCriticalSection(&gLogLock);
        ready = true;
    }
    gRequestLog = path;
}

DWORD ServePipe(const wchar_t* pipeName, DWORD readTimeoutMs)
{
    HANDLE listening = NewInstance(pipeName);
    if (listening == INVALID_HANDLE_VALUE)
        return GetLastError();
    for (;;) {
        const bool connected = AwaitClient(listening);
        // The next instance listens before this client is served.
        HANDLE next = NewInstance(pipeName);
        ClientJob* job = connected ? new ClientJob{listening, readTimeoutMs} : nullptr;
        HANDLE thread = job ? CreateThread(nullptr, 0, ServeClient, job, 0, nullptr) : nullptr;
        if (thread != nullptr) {
            CloseHandle(thread);
        } else {
            delete job;
            DisconnectNamedPipe(listening);
            CloseHandle(listening);
        }
        if (next == INVALID_HANDLE_VALUE)
            return GetLastError();
        listening = next;
    }
}
