// The client side of the disk service's pipe "DiskSrv".
//
// The disk service is the outside program that owns the removable drives:
// the workstation asks it to eject a disk. Requests always go to the local
// machine's pipe "\\.\pipe\DiskSrv" (tests name another with
// SetDiskSrvPipeName). One request per connection, one 1,028-byte reply:
//
//   eject request, 10 bytes, little-endian: command u32 = 1, reserved u32 = 0,
//       drive letter u16;
//   reply, 1,028 bytes: result u32 (0 = the service failed, else done), then
//       512 UTF-16 characters, zero-terminated within the field: the
//       service's reason when the result is 0.
//
// An exchange opens the pipe, writes the request in one call, reads the reply
// in one call and closes the pipe; the first step that fails ends it. Unlike
// a plain blocking exchange, the write and the read wait at most the time-out
// and give up as soon as the caller's stop event is set, so that no thread
// hangs on a service that does not answer and a worker that talks to the
// pipe can always be stopped without being terminated.
//
// At most one eject is in flight in the process at a time: an eject asked for
// while another runs is not sent and reports kDiskSrvBusy (ERROR_BUSY).
#pragma once

#include <windows.h>

const DWORD kDiskSrvEjectCommand = 1;
const DWORD kDiskSrvEjectRequestSize = 10;
const DWORD kDiskSrvReplySize = 1028;
const int kDiskSrvReplyTextChars = 512;
const DWORD kDiskSrvTimeoutMs = 10000;    // default wait for the write and for the reply

// The step at which an exchange ended.
enum DiskSrvStep {
    kDiskSrvDone = 0,      // the reply was read (see its result)
    kDiskSrvOpenFailed,    // the pipe could not be opened
    kDiskSrvWriteFailed,   // the request could not be written
    kDiskSrvReadFailed,    // the reply could not be read (or was not 1,028 bytes)
    kDiskSrvStopped,       // the caller's stop event was set
    kDiskSrvTimedOut,      // the service did not take the request or answer in time
    kDiskSrvBusy,          // another eject of this process was in flight; nothing sent
};

struct DiskSrvOutcome {
    DiskSrvStep step = kDiskSrvDone;
    DiskSrvStep failedAt = kDiskSrvDone;          // the step under way when it failed: open, write or read
    DWORD error = 0;                              // Win32 code of the failed step
    DWORD result = 0;                             // the reply's result (kDiskSrvDone only)
    wchar_t text[kDiskSrvReplyTextChars + 1] = {};   // the reply's text, terminated

    // The service answered that it did it.
    bool Succeeded() const { return step == kDiskSrvDone && result != 0; }
};

// The pipe requests go to; "\\.\pipe\DiskSrv" unless a test set another.
const wchar_t* DiskSrvPipeName();
// Sets the pipe (null restores the default); the text must outlive its use.
// Returns the previous one.
const wchar_t* SetDiskSrvPipeName(const wchar_t* name);

// The 10-byte eject request for the drive letter.
void BuildEjectRequest(wchar_t letter, BYTE request[kDiskSrvEjectRequestSize]);
// Decodes a 1,028-byte reply: its result, and its text terminated within
// the field.
void ParseDiskSrvReply(const BYTE reply[kDiskSrvReplySize], DWORD* result, wchar_t text[kDiskSrvReplyTextChars + 1]);

// One exchange with the service: open, write, read, close. `stop` may be
// null; `timeoutMs` bounds the write and the read each. Failures are
// written to the journal naming the call, the pipe and the code.
DiskSrvOutcome ExchangeWithDiskSrv(const BYTE* request, DWORD size, HANDLE stop, DWORD timeoutMs);

// Asks the service to eject the disk of the drive. Nothing is sent, and
// kDiskSrvBusy reported, while another eject of this process is in flight.
DiskSrvOutcome EjectDiskViaDiskSrv(wchar_t letter, HANDLE stop = nullptr, DWORD timeoutMs = kDiskSrvTimeoutMs);

// The string-table text (387 "Error create pipe", 388 "Error write to pipe",
// 389 "Error read from pipe") of a failed exchange, for the callers that show
// one; 0 for kDiskSrvDone. A stopped or timed-out exchange names the step it
// ended at; a busy one counts as the open.
UINT DiskSrvFailureTextId(const DiskSrvOutcome& outcome);
