// WorkerLink: the link between the archive window and the one worker thread
// it runs at a time (the archive worker or the format worker).
//
// Two directions:
//  - reports, worker -> window: two texts, three counts, the average image
//    size and a word of change bits, stored under the critical section the
//    window lends at start. Each report stores its values, ORs its bit into
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
// Every field but the channel and the thread handle is read and written only
// under the window's lock; the channel synchronises itself.
#pragma once

#include "foundation/threadchannel.h"
#include "ui/msg_shapes.h"

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
    // Stop and -1 for any other answer or a broken channel.
    virtual int PollAnswer(DWORD timeoutMs);
    // The worker's last call: closes the channel, answers 0 to whatever is
    // pending, reports the end (bit 0x8).
    virtual void JobFinished();
    virtual void SetCounts(LONG notArchived, LONG copied);
    virtual void AskContinue();
    virtual HWND GetWindow() const { return window_; }

    // --- the window's side ---
    // Starts the archive worker or the format worker on the block and waits
    // for its start event (or its end). False, with everything reset, when
    // the channel exists already or cannot be made, or the thread cannot be
    // started or ends before it signals.
    bool StartArchiveThread(CRITICAL_SECTION* lock, HWND window, WorkerParams* params);
    bool StartFormatThread(CRITICAL_SECTION* lock, HWND window, WorkerParams* params);
    bool StartWorker(WorkerRoutine routine, CRITICAL_SECTION* lock, HWND window, WorkerParams* params);
    // Waits for the thread (4 s at a time, asking the user whether to wait
    // on) and closes it; its exit code, 0 when none runs, -1 when it was
    // terminated.
    DWORD Stop();
    // Posts the answer and waits for the worker to take it; true when it did.
    // An infinite reply wait gives up when the thread ends meanwhile.
    bool SendAnswer(DWORD code, DWORD postTimeoutMs, DWORD replyTimeoutMs);
    // Stop without time-outs: true when delivered or while the channel is
    // open; false when the worker had closed it and the answer was lost.
    bool SendStop();
    // Closes the channel, clears the reports (under the lock) and unbinds.
    void Reset();
    // Frees both texts and clears the bits and "posted"; under the lock.
    void ClearTexts();
    void Lock();
    void Unlock();
    bool HasThread() const { return thread_ != nullptr; }
    HANDLE Thread() const { return thread_; }

    // Read by the window under the lock.
    DWORD Changes() const { return changes_; }
    bool TestBit(DWORD bit) const { return (changes_ & bit) != 0; }
    const wchar_t* Text() const { return text0_; }
    const wchar_t* Text2() const { return text1_; }
    LONG MarkedCount() const { return markedCount_; }
    LONG NotArchivedCount() const { return notArchivedCount_; }
    LONG CopiedCount() const { return copiedCount_; }
    DWORD AverageImageSize() const { return averageImageSize_; }
    bool IsPosted() const { return posted_ != FALSE; }

private:
    void Report(DWORD bit);
    void Post();
    void StoreText(const wchar_t* text, int length, wchar_t*& slot);
    static void FreeText(wchar_t*& slot);

    HANDLE heap_ = nullptr;            // the process heap, taken at the first store
    HANDLE thread_ = nullptr;          // the running worker, or null
    wchar_t* text0_ = nullptr;         // SetText's copy, terminated
    wchar_t* text1_ = nullptr;         // SetText2's copy, terminated
    LONG markedCount_ = 0;
    LONG notArchivedCount_ = 0;
    LONG copiedCount_ = 0;
    DWORD averageImageSize_ = 0;
    CRITICAL_SECTION* lock_ = nullptr; // the window's
    HWND window_ = nullptr;
    UINT message_ = 0;                 // WM_ARJ_PROGRESS while bound
    BOOL posted_ = FALSE;              // a message waits in the window's queue
    DWORD changes_ = 0;                // WorkerChange bits
    DThreadChannel answers_;           // the user's answers
};

// The thread routines (archive/arjworker.cpp, archive/formatworker.cpp).
DWORD WINAPI procArj(void* params);
DWORD WINAPI procformat(void* params);
