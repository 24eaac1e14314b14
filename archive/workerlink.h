// WorkerLink: the link between the archive window and the one worker thread
// it runs at a time (the archive worker or the format worker).
//
// Two directions:
//  - reports, worker -> window: two texts, three counts, the average image
//    size and a word of change bits, stored under the critical section the
//    window lends at start, in the workers' progress link
//    (foundation/progresslink.h). Each report stores its values, ORs its bit into
//    the word and posts WM_ARJ_PROGRESS only while no such message is pending
//    ("posted"), so one message carries any number of reports: the window
//    sees the OR of the bits and the latest values. The window, on the
//    message, reads everything under the same lock and calls ClearTexts,
//    which clears the bits, "posted" and both texts.
//  - answers, window -> worker: a DThreadChannel carries the user's Continue
//    (1) or Stop (0); the worker takes it in PollAnswer.
//
// States:
//   idle      no channel, no thread                Start -> running
//   running   thread set, reports flow             the worker's JobFinished -> finished
//   finished  channel marked closed, bit 0x8       Stop (waits, closes the thread) + Reset -> idle
//
// The start handshake waits for the worker's start event or for the end of
// the thread, whichever comes first: a worker that dies before it signals
// fails the start instead of holding the window forever.
//
// Stopping never harms the worker's data: Stop asks the worker to stop,
// waits for its end with the window painted, asks the user every 4 seconds
// whether to wait on, and when the user gives up terminates the worker only
// while it waits for the user (ui/workerstop.h): in PollAnswer with a
// time-out, or in a prompt of its own inside a UserWaitScope on the link.
// Anywhere else it may hold a transaction of its batched row changes, a file
// half copied or a delete, and is waited for until it ends at its next poll
// or comes to such a wait. The window's waits for the worker (the start, the
// answers, the stop) keep the window painted.
//
// Every field but the channel and the thread handle is read and written only
// under the window's lock; the channel synchronises itself.
#pragma once

#include "foundation/progresslink.h"
#include "foundation/threadchannel.h"
#include "ui/msg_shapes.h"
#include "ui/workerstop.h"

#include <windows.h>

const UINT WM_ARJ_PROGRESS = WM_APP + 1004;   // 0x83EC: reports are pending
template <>
struct MsgCrack::PrivateShape<WM_ARJ_PROGRESS> : MsgCrack::ShapeIs<MsgCrack::A> {};

// Change bits of the reports.
enum WorkerChange : DWORD {
    kLinkText2 = 0x1,          // SetText2: "Troubleshooting"
    kLinkText = 0x2,           // SetText: "Possible fault reason"
    kLinkJobEnded = 0x8,       // SetJobEnded
    kLinkAskContinue = 0x10,   // AskContinue: the worker waits for Continue or Stop
    kLinkStopsWithError = 0x20,   // NotifyBit20: the job stops with an error
    kLinkMarkedCount = 0x40,
    kLinkCounts = 0x80,
    kLinkDiskSpace = 0x100,
    kLinkAverageSize = 0x200,
    kLinkDiskInfo = 0x400,
};

// Answers on the channel.
const DWORD kAnswerStop = 0;
const DWORD kAnswerContinue = 1;

class WorkerLink;

// What the window hands a worker thread: read by the worker once, before it
// signals the start event.
struct WorkerParams {
    DWORD kind = 1;
    WorkerLink* link = nullptr;
    LONG markedCount = 0;          // archive job: images marked for deletion
    LONG notArchivedCount = 0;     // archive job: images not yet archived
    DWORD jobFlags = 0;
    DWORD averageImageSize = 0;    // archive job, bytes
    void* progressBar = nullptr;   // archive job: the window's DrawnProgressBar
    const wchar_t* diskName = nullptr;   // format job: the name typed (may be empty)
    HANDLE startEvent = nullptr;   // manual reset; set by the worker once it has taken the block
    LANGID language = 0;           // the starter's thread language and locale (set by StartWorker):
    LCID locale = 0;               // the worker's texts speak the program's language
};

typedef DWORD(WINAPI* WorkerRoutine)(void* params);

class WorkerLink {
public:
    static const DWORD kStopWaitMs = 4000;

    WorkerLink() = default;
    virtual ~WorkerLink();
    WorkerLink(const WorkerLink&) = delete;
    WorkerLink& operator=(const WorkerLink&) = delete;

    // --- the worker's progress sink ---
    // Texts: length -1 up to the terminator; a null text clears.
    virtual void SetText(const wchar_t* text, int length);
    virtual void SetText2(const wchar_t* text, int length);
    virtual void NotifyBit20();
    virtual void SetMarkedCount(LONG count);
    virtual void SetAverageSize(DWORD bytes);
    virtual void NotifyDiskSpace();
    virtual void NotifyDiskInfo();
    virtual void SetJobEnded();
    // The user's answer within the time-out (0: look only; INFINITE: wait):
    // 1 for Continue, 0 when none came in time. Throws the integer 0 for
    // Stop and -1 for any other answer or a broken channel. A wait (any
    // time-out but 0) is a wait for the user, during which the worker may be
    // terminated: the worker calls it holding no transaction, statement or
    // file. Once the window is stopping the worker, throws 0 at every call.
    virtual int PollAnswer(DWORD timeoutMs);
    // The worker's last call: closes the channel, answers 0 to whatever is
    // pending, reports the end (bit 0x8).
    virtual void JobFinished();
    virtual void SetCounts(LONG notArchived, LONG copied);
    virtual void AskContinue();
    virtual HWND GetWindow() const { return reports_.Window(); }
    // The worker waits for the user (a prompt of its own) between the two:
    // the only time it may be terminated. Used through UserWaitScope.
    void BeginUserWait() { stopGate_.BeginUserWait(); }
    void EndUserWait() { stopGate_.EndUserWait(); }

    // --- the window's side ---
    // Starts the archive worker or the format worker on the block and waits
    // for its start event (or its end). False, with everything reset, when
    // the channel exists already or cannot be made, or the thread cannot be
    // started or ends before it signals.
    bool StartArchiveThread(CRITICAL_SECTION* lock, HWND window, WorkerParams* params);
    bool StartFormatThread(CRITICAL_SECTION* lock, HWND window, WorkerParams* params);
    bool StartWorker(WorkerRoutine routine, CRITICAL_SECTION* lock, HWND window, WorkerParams* params);
    // Asks the worker to stop (its next PollAnswer throws 0), waits for the
    // thread (4 s at a time, asking the user whether to wait on) and closes
    // it; its exit code, 0 when none runs, -1 when it was terminated. When
    // the user gives up, the worker is terminated as soon as it waits for the
    // user, or waited for until it ends, whichever comes first.
    DWORD Stop();
    // Posts the answer and waits for the worker to take it; true when it did.
    // An infinite wait keeps the window painted and gives up when the thread
    // ends meanwhile.
    bool SendAnswer(DWORD code, DWORD postTimeoutMs, DWORD replyTimeoutMs);
    // Stop without time-outs: true when delivered or while the channel is
    // open; false when the worker had closed it and the answer was lost.
    bool SendStop();
    // Closes the channel, clears the reports (under the lock) and unbinds.
    void Reset();
    // Frees both texts and clears the bits and "posted"; under the lock.
    void ClearTexts() { reports_.TakeChanges(); }
    void Lock() { reports_.Lock(); }
    void Unlock() { reports_.Unlock(); }
    bool HasThread() const { return thread_ != nullptr; }
    HANDLE Thread() const { return thread_; }

    // Read by the window under the lock.
    DWORD Changes() const { return reports_.Changes(); }
    bool TestBit(DWORD bit) const { return reports_.Changed(bit); }
    const wchar_t* Text() const { return reports_.Text(kSlotText); }
    const wchar_t* Text2() const { return reports_.Text(kSlotText2); }
    LONG MarkedCount() const { return static_cast<LONG>(reports_.Count(kSlotMarked)); }
    LONG NotArchivedCount() const { return static_cast<LONG>(reports_.Count(kSlotNotArchived)); }
    LONG CopiedCount() const { return static_cast<LONG>(reports_.Count(kSlotCopied)); }
    DWORD AverageImageSize() const { return reports_.Count(kSlotAverageSize); }
    bool IsPosted() const { return reports_.IsPosted(); }

private:
    // The reports' slots: texts, then counts.
    enum { kSlotText = 0, kSlotText2 = 1 };
    enum { kSlotMarked = 0, kSlotNotArchived = 1, kSlotCopied = 2, kSlotAverageSize = 3 };

    HANDLE thread_ = nullptr;          // the running worker, or null
    DProgressLink reports_;            // texts, counts and WorkerChange bits; bound to WM_ARJ_PROGRESS while a worker runs
    DThreadChannel answers_;           // the user's answers
    WorkerStopGate stopGate_;          // where the worker stands, for termination
    volatile LONG stopAsked_ = 0;      // the window is stopping the worker
};

// The thread routines (archive/arjworker.cpp, archive/formatworker.cpp).
DWORD WINAPI procArj(void* params);
DWORD WINAPI procformat(void* params);
