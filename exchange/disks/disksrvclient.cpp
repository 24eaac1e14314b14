#include "exchange/disks/disksrvclient.h"

#include "exchange/disks/removabledrive.h"
#include "resources/strings.h"
#include "ui/threadwait.h"

#include <cwchar>

namespace {

const wchar_t kDefaultPipe[] = L"\\\\.\\pipe\\DiskSrv";
const wchar_t* volatile gPipeName = nullptr;
volatile LONG gEjectInFlight = 0;

void LogPipeFailure(const wchar_t* call, const wchar_t* pipe, DWORD code)
{
    LogWin32Failure(call, pipe, code);
}

// Waits for an overlapped operation with the time-out and the stop event.
// kDiskSrvDone with the bytes moved, or the step that ended it (the
// operation is cancelled then).
DiskSrvStep FinishOverlapped(HANDLE pipe, OVERLAPPED& ov, BOOL started, DiskSrvStep failedStep, HANDLE stop,
                             DWORD timeoutMs, DWORD* bytes, DWORD* error)
{
    if (!started) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            *error = code;
            return failedStep;
        }
        // A window's thread (the eject buttons) keeps its windows painted
        // while the service answers.
        HANDLE waits[2] = {ov.hEvent, stop};
        const DWORD wait = WaitKeepingPainted(stop ? 2 : 1, waits, timeoutMs);
        if (wait != WAIT_OBJECT_0) {
            CancelIo(pipe);
            DWORD ignored = 0;
            GetOverlappedResult(pipe, &ov, &ignored, TRUE);   // the cancelled operation ends before ov goes
            if (wait == WAIT_OBJECT_0 + 1) {
                *error = ERROR_OPERATION_ABORTED;
                return kDiskSrvStopped;
            }
            *error = wait == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
            return wait == WAIT_TIMEOUT ? kDiskSrvTimedOut : failedStep;
        }
    }
    if (!GetOverlappedResult(pipe, &ov, bytes, FALSE)) {
        *error = GetLastError();
        return failedStep;
    }
    return kDiskSrvDone;
}

}  // namespace

const wchar_t* DiskSrvPipeName()
{
    const wchar_t* name = gPipeName;
    return name ? name : kDefaultPipe;
}

const wchar_t* SetDiskSrvPipeName(const wchar_t* name)
{
    const wchar_t* previous = DiskSrvPipeName();
    gPipeName = name;
    return previous;
}

void BuildEjectRequest(wchar_t letter, BYTE request[kDiskSrvEjectRequestSize])
{
    const DWORD command = kDiskSrvEjectCommand;
    for (int i = 0; i < 4; ++i) {
        request[i] = static_cast<BYTE>(command >> (8 * i));
        request[4 + i] = 0;
    }
    request[8] = static_cast<BYTE>(letter);
    request[9] = static_cast<BYTE>(letter >> 8);
}

void ParseDiskSrvReply(const BYTE reply[kDiskSrvReplySize], DWORD* result, wchar_t text[kDiskSrvReplyTextChars + 1])
{
    *result = reply[0] | (reply[1] << 8) | (reply[2] << 16) | (static_cast<DWORD>(reply[3]) << 24);
    int i = 0;
    for (; i < kDiskSrvReplyTextChars; ++i) {
        const wchar_t c = static_cast<wchar_t>(reply[4 + 2 * i] | (reply[5 + 2 * i] << 8));
        if (!c)
            break;
        text[i] = c;
    }
    text[i] = 0;
}

DiskSrvOutcome ExchangeWithDiskSrv(const BYTE* request, DWORD size, HANDLE stop, DWORD timeoutMs)
{
    DiskSrvOutcome outcome;
    const wchar_t* pipeName = DiskSrvPipeName();
    if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
        outcome.step = kDiskSrvStopped;
        outcome.failedAt = kDiskSrvOpenFailed;
        outcome.error = ERROR_OPERATION_ABORTED;
        return outcome;
    }
    HANDLE pipe = CreateFileW(pipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        outcome.step = outcome.failedAt = kDiskSrvOpenFailed;
        outcome.error = GetLastError();
        LogPipeFailure(L"CreateFileW", pipeName, outcome.error);
        return outcome;
    }
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ov.hEvent) {
        outcome.step = outcome.failedAt = kDiskSrvWriteFailed;
        outcome.error = GetLastError();
        LogPipeFailure(L"CreateEventW", pipeName, outcome.error);
        CloseHandle(pipe);
        return outcome;
    }
    DWORD bytes = 0;
    BOOL started = WriteFile(pipe, request, size, nullptr, &ov);
    outcome.step = FinishOverlapped(pipe, ov, started, kDiskSrvWriteFailed, stop, timeoutMs, &bytes, &outcome.error);
    if (outcome.step == kDiskSrvDone && bytes != size) {
        outcome.step = kDiskSrvWriteFailed;
        outcome.error = ERROR_WRITE_FAULT;
    }
    if (outcome.step != kDiskSrvDone) {
        outcome.failedAt = kDiskSrvWriteFailed;
        LogPipeFailure(L"WriteFile", pipeName, outcome.error);
    } else {
        // The reply is one message of 1,028 bytes; a byte-mode read may
        // hand it over in parts, so read until it is whole.
        BYTE reply[kDiskSrvReplySize] = {};
        DWORD total = 0;
        while (outcome.step == kDiskSrvDone && total < kDiskSrvReplySize) {
            ResetEvent(ov.hEvent);
            started = ReadFile(pipe, reply + total, kDiskSrvReplySize - total, nullptr, &ov);
            bytes = 0;
            outcome.step = FinishOverlapped(pipe, ov, started, kDiskSrvReadFailed, stop, timeoutMs, &bytes,
                                            &outcome.error);
            if (outcome.step == kDiskSrvDone && bytes == 0) {
                outcome.step = kDiskSrvReadFailed;
                outcome.error = ERROR_INVALID_DATA;
            }
            total += bytes;
        }
        if (outcome.step == kDiskSrvDone)
            ParseDiskSrvReply(reply, &outcome.result, outcome.text);
        else {
            outcome.failedAt = kDiskSrvReadFailed;
            LogPipeFailure(L"ReadFile", pipeName, outcome.error);
        }
    }
    CloseHandle(ov.hEvent);
    CloseHandle(pipe);
    return outcome;
}

DiskSrvOutcome EjectDiskViaDiskSrv(wchar_t letter, HANDLE stop, DWORD timeoutMs)
{
    if (InterlockedCompareExchange(&gEjectInFlight, 1, 0) != 0) {
        DiskSrvOutcome busy;
        busy.step = kDiskSrvBusy;
        busy.failedAt = kDiskSrvOpenFailed;
        busy.error = ERROR_BUSY;
        return busy;
    }
    BYTE request[kDiskSrvEjectRequestSize];
    BuildEjectRequest(letter, request);
    DiskSrvOutcome outcome = ExchangeWithDiskSrv(request, kDiskSrvEjectRequestSize, stop, timeoutMs);
    InterlockedExchange(&gEjectInFlight, 0);
    return outcome;
}

UINT DiskSrvFailureTextId(const DiskSrvOutcome& outcome)
{
    if (outcome.step == kDiskSrvDone)
        return 0;
    switch (outcome.failedAt) {
    case kDiskSrvOpenFailed:
        return IDS_PIPE_CREATE_ERROR;
    case kDiskSrvWriteFailed:
        return IDS_PIPE_WRITE_ERROR;
    default:
        return IDS_PIPE_READ_ERROR;
    }
}
