// SyncProgress: the link between the synchronisation window and its worker
// thread (SynchrThread).
//
// Two directions:
//  - reports, worker -> window: three texts, a word of change bits and a
//    disk request, guarded by the critical section the window lends at start,
//    kept in the workers' progress link (foundation/progresslink.h).
//    Each setter stores under the lock, sets its bit and posts WM_SYNC_PROGRESS
//    to the window only while no such message is pending ("posted"), so one
//    message carries any number of changes and the window's queue never fills.
//    The window, on the message, takes the lock, reads the bits, texts and
//    disk request, and calls ClearTexts (which also clears "posted").
//    Text 1 is a message for the window's message pane: a worker may send
//    several (one per file it passes over) before the window reads the
//    channel, so they wait in a list and each reaches the pane.
//  - commands, window -> worker: a DThreadChannel carries 1 (continue) or 0
//    (stop); the worker polls it between files (WaitCommand with time-out 0).
//
// States:
//   idle      no thread, nothing bound           StartThread -> running
//   running   thread, lock, owner, message set   the worker's DrainCommands -> draining
//   draining  channel marked closed, bit 0x004   StopThread + Reset -> idle
// The same object serves every procedure of the window's life.
//
// The worker sees only ISyncProgress; the window uses the class itself.
//
// A worker is never terminated while it holds the database or a file: in a
// transaction or a single statement of its session, a dead thread would keep
// the database's write lock for the rest of the program's life (every later
// write would wait and fail), and a file half handled would stay so. The
// worker holds neither only while it waits for the user's answer to one of
// its prompts; it tells the channel when such a wait begins and ends
// (BeginUserWait, EndUserWait: ui/workerstop.h), and StopThread terminates
// it only there. A
// worker the user gave up on elsewhere is waited for until it ends or reaches
// such a wait; since the window has asked it to stop, it ends at its next
// poll, within one file.
//
// Waits of the window's thread (the start, the stop) keep the thread's
// windows painted and answer what other threads send it (a prompt of the
// worker owned by the window), but run no command of the window.
#pragma once

#include "foundation/dstring.h"
#include "foundation/progresslink.h"
#include "foundation/threadchannel.h"
#include "ui/workerstop.h"

#include <windows.h>

#include <string>
#include <vector>

const UINT WM_SYNC_PROGRESS = 0x83EF;   // WM_APP + 1007: reports are pending
const UINT WM_DISK_PRESENT = 0x83F1;    // the disk waiter found the next disk

// Change bits.
enum SyncChange : DWORD {
    kSyncText1 = 0x001,       // a message for the window's message pane
    kSyncText2 = 0x002,       // the status line
    kSyncFinished = 0x004,    // the procedure finished
    kSyncFlag008 = 0x008,
    kSyncFlag010 = 0x010,
    kSyncLastDisk = 0x020,    // the last scanned archive disk changed ("SynDB" "LastScanDisk")
    kSyncEject = 0x040,       // eject the archive disk
    kSyncSkipped = 0x080,     // one file skipped (suspect)
    kSyncRestored = 0x100,    // one file put back into the database
    kSyncDiskRequest = 0x200, // a disk request for the disk waiter
};

// Commands on the channel.
const DWORD kSyncCommandStop = 0;
const DWORD kSyncCommandContinue = 1;

// Thread exit codes (the worker's result).
const DWORD kSyncResultDone = 0;
const DWORD kSyncResultStopped = 1;   // stopped by the user
const DWORD kSyncResultFailed = 2;
const DWORD kSyncResultTerminated = 0xFFFFFFFF;   // the user gave up on it

// What the worker sees of the channel.
class ISyncProgress {
public:
    virtual void SetText1(const wchar_t* text, int length) = 0;
    virtual void SetText3(const wchar_t* text, int length) = 0;
    virtual void SetText2(const wchar_t* text, int length) = 0;
    virtual void SetFlag010() = 0;
    virtual void SetFlag004() = 0;
    virtual void SetFlag020() = 0;
    // Takes a command: true for continue, false when none came in time;
    // throws the integer 1 for stop and -1 for a bad command or a broken
    // channel.
    virtual bool WaitCommand(DWORD timeout) = 0;
    // Closes the command side, answers what is pending, reports the end.
    virtual void DrainCommands() = 0;
    virtual HWND GetOwnerWindow() = 0;
    virtual void SetFlag040() = 0;
    virtual void SetFlag100() = 0;
    virtual void SetFlag080() = 0;
    virtual void NoOp() = 0;
    virtual void SetDiskRequest(DWORD serial, const wchar_t* text, DWORD value) = 0;
    // The worker waits for the user's answer, holding no transaction, no
    // statement and no file, until EndUserWait: the only time it may be
    // terminated. EndUserWait never returns to a worker that is being
    // terminated.
    virtual void BeginUserWait() = 0;
    virtual void EndUserWait() = 0;

protected:
    ~ISyncProgress() = default;
};

// The worker's wait for the user, for a scope: a prompt's call and nothing
// else (no statement, no file, no report to the window) goes inside it.
using SyncUserWait = UserWaitScope<ISyncProgress>;

struct SyncStartRecord;

class SyncProgress : public ISyncProgress {
public:
    static const DWORD kStartWaitMs = 5000;
    static const DWORD kStopWaitMs = 5000;

    SyncProgress();
    ~SyncProgress();
    SyncProgress(const SyncProgress&) = delete;
    SyncProgress& operator=(const SyncProgress&) = delete;

    // --- window side ---
    // Creates the channel, binds lock, owner and WM_SYNC_PROGRESS, starts the
    // worker on the start record and waits for its start event. False (after
    // telling the user) when the thread could not be started or did not
    // start within 5 seconds.
    bool StartThread(CRITICAL_SECTION* lock, HWND owner, SyncStartRecord* start);
    // Waits for the worker to end, asking the user every 5 seconds whether to
    // go on waiting; the worker's exit code (0 when none runs). When the user
    // gives up, the worker is terminated as soon as it waits for the user
    // (kSyncResultTerminated), or waited for until it ends, whichever comes
    // first. The thread's windows stay painted meanwhile.
    DWORD StopThread();
    bool SendCommand(DWORD command, DWORD postTimeout, DWORD replyTimeout);
    // The stop command without time-outs: true when the worker took it, or
    // when it failed while the worker still runs; false when the worker has
    // closed the channel (it has finished already).
    bool SendStop();
    // The stop command handed over without waiting for the worker's answer,
    // so that the window's thread never blocks on a worker that may itself
    // be waiting for a prompt the window owns. The worker takes it at its
    // next poll (or answers it while it drains the channel at its end) and
    // then reports that it finished.
    enum class StopPost {
        kPosted,      // the command is in the slot (or a command is there already)
        kFinishing,   // the worker has closed the channel: its finished report is on its way
        kFailed,      // no worker, or the channel could not take the command
    };
    StopPost PostStop();
    void Lock() { reports_.Lock(); }
    void Unlock() { reports_.Unlock(); }
    bool TestBit(DWORD bit) const { return reports_.Changed(bit); }
    DWORD Changes() const { return reports_.Changes(); }
    // Frees the texts and the messages, clears the bits and "posted"; call
    // under the lock.
    void ClearTexts()
    {
        messages_.clear();
        reports_.TakeChanges();
    }
    // Closes the channel, clears the reports and unbinds everything.
    void Reset();
    bool IsRunning() const { return thread_ != nullptr; }
    // The running worker's thread (null when none), for waiting on it.
    HANDLE ThreadHandle() const { return thread_; }
    // Waits until the window has posted a command that the worker has not
    // taken yet, without taking it: 0 when one is there, else the wait's
    // result. A step observer holds the worker with it until the window's
    // command is there, so that the command meets a worker still at work.
    DWORD WaitCommandPosted(DWORD timeout) { return channel_.WaitPosted(timeout); }

    // Read by the window under the lock. Text1 is the last message; Messages
    // every message sent since the window last read the channel, in order.
    const wchar_t* Text1() const { return reports_.Text(kSlotText1); }
    const std::vector<std::wstring>& Messages() const { return messages_; }
    const wchar_t* Text2() const { return reports_.Text(kSlotText2); }
    const wchar_t* Text3() const { return reports_.Text(kSlotText3); }
    DWORD DiskSerial() const { return diskSerial_; }
    DWORD DiskValue() const { return diskValue_; }
    const wchar_t* DiskText() const { return diskText_.c_str(); }

    // --- worker side (ISyncProgress) ---
    void SetText1(const wchar_t* text, int length) override;
    // Stored for the window without a bit of its own; the length is not read.
    void SetText3(const wchar_t* text, int) override { reports_.SetText(kSlotText3, text, -1, 0, false); }
    void SetText2(const wchar_t* text, int length) override { reports_.SetText(kSlotText2, text, length, kSyncText2); }
    void SetFlag010() override { SetBit(kSyncFlag010); }
    void SetFlag004() override { SetBit(kSyncFinished); }
    void SetFlag020() override { SetBit(kSyncLastDisk); }
    bool WaitCommand(DWORD timeout) override;
    void DrainCommands() override;
    HWND GetOwnerWindow() override { return owner_; }
    void SetFlag040() override { SetBit(kSyncEject); }
    void SetFlag100() override { SetBit(kSyncRestored); }
    void SetFlag080() override { SetBit(kSyncSkipped); }
    void NoOp() override {}
    void SetDiskRequest(DWORD serial, const wchar_t* text, DWORD value) override;
    void BeginUserWait() override;
    void EndUserWait() override;
    void SetFlag008() { SetBit(kSyncFlag008); }

private:
    enum { kSlotText1, kSlotText2, kSlotText3 };   // the reports' text slots

    void SetBit(DWORD bit) { reports_.Notify(bit); }

    HANDLE thread_ = nullptr;           // the running worker
    DProgressLink reports_;             // texts and SyncChange bits, bound to the window while a worker runs
    std::vector<std::wstring> messages_;   // texts 1 the window has not read yet
    HWND owner_ = nullptr;              // the window, owner of the worker's prompts
    DThreadChannel channel_;            // commands from the window
    DWORD diskSerial_ = 0;              // the disk request
    DWORD diskValue_ = 0;
    DString diskText_;
    WorkerStopGate stopGate_;           // where the worker stands, for termination
};
