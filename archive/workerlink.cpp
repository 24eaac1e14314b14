#include "archive/workerlink.h"

#include "foundation/journal.h"
#include "foundation/messages.h"
#include "resources/strings.h"
#include "ui/threadwait.h"

#include <cwchar>

namespace {

const DWORD kReplySliceMs = 50;   // an infinite wait looks at the thread (and paints) this often

}  // namespace

WorkerLink::~WorkerLink()
{
    ClearTexts();
    answers_.Close();
}

// ---- reports -----------------------------------------------------------------

void WorkerLink::SetText(const wchar_t* text, int length)
{
    reports_.SetText(kSlotText, text, length, kLinkText);
}

void WorkerLink::SetText2(const wchar_t* text, int length)
{
    reports_.SetText(kSlotText2, text, length, kLinkText2);
}

void WorkerLink::NotifyBit20()
{
    reports_.Notify(kLinkStopsWithError);
}

void WorkerLink::SetMarkedCount(LONG count)
{
    reports_.SetCount(kSlotMarked, static_cast<DWORD>(count), kLinkMarkedCount);
}

void WorkerLink::SetAverageSize(DWORD bytes)
{
    reports_.SetCount(kSlotAverageSize, bytes, kLinkAverageSize);
}

void WorkerLink::NotifyDiskSpace()
{
    reports_.Notify(kLinkDiskSpace);
}

void WorkerLink::NotifyDiskInfo()
{
    reports_.Notify(kLinkDiskInfo);
}

void WorkerLink::SetJobEnded()
{
    reports_.Notify(kLinkJobEnded);
}

void WorkerLink::SetCounts(LONG notArchived, LONG copied)
{
    Lock();
    reports_.PutCount(kSlotNotArchived, static_cast<DWORD>(notArchived));
    reports_.PutCount(kSlotCopied, static_cast<DWORD>(copied));
    reports_.Mark(kLinkCounts);
    Unlock();
}

void WorkerLink::AskContinue()
{
    reports_.Notify(kLinkAskContinue);
}

int WorkerLink::PollAnswer(DWORD timeoutMs)
{
    // A window that is stopping the worker stops it at its next poll,
    // whatever waits in the channel.
    if (stopAsked_)
        throw 0;
    DThreadChannel::Request request = {};
    DWORD wait;
    if (timeoutMs == 0) {
        wait = answers_.ReceiveAndAck(&request, 1, 0);
    } else {
        UserWaitScope<WorkerLink> user(this);
        wait = answers_.ReceiveAndAck(&request, 1, timeoutMs);
    }
    if (stopAsked_)
        throw 0;
    if (wait == WAIT_TIMEOUT)
        return 0;
    if (wait != 0)
        throw -1;
    if (request.command == kAnswerContinue)
        return 1;
    if (request.command == kAnswerStop)
        throw 0;
    throw -1;
}

void WorkerLink::JobFinished()
{
    if (reports_.Window()) {
        answers_.SetClosed();
        DThreadChannel::Request request = {};
        while (answers_.ReceiveAndAck(&request, 0, 0) == 0) {
        }
    }
    SetJobEnded();
}

// ---- the window's side -----------------------------------------------------------

bool WorkerLink::StartArchiveThread(CRITICAL_SECTION* lock, HWND window, WorkerParams* params)
{
    return StartWorker(procArj, lock, window, params);
}

bool WorkerLink::StartFormatThread(CRITICAL_SECTION* lock, HWND window, WorkerParams* params)
{
    return StartWorker(procformat, lock, window, params);
}

bool WorkerLink::StartWorker(WorkerRoutine routine, CRITICAL_SECTION* lock, HWND window, WorkerParams* params)
{
    if (thread_ || !answers_.Create())
        return false;
    reports_.Bind(window, lock, WM_ARJ_PROGRESS);
    stopGate_.Arm();
    params->language = GetThreadUILanguage();
    params->locale = GetThreadLocale();
    InterlockedExchange(&stopAsked_, 0);
    HANDLE thread = CreateThread(nullptr, 0, routine, params, 0, nullptr);
    if (thread) {
        // The worker signals once it has taken the block; a worker that ends
        // first (it failed before it could) must not leave us waiting.
        HANDLE waits[2] = {params->startEvent, thread};
        const DWORD wait = WaitKeepingPainted(2, waits, INFINITE);
        if (wait == WAIT_OBJECT_0) {
            CloseHandle(params->startEvent);
            params->startEvent = nullptr;
            thread_ = thread;
            return true;
        }
        if (wait != WAIT_OBJECT_0 + 1) {
            LogError(GetLastError(), L"WorkerLink: the wait for the worker's start failed");
            TerminateThread(thread, 0);
            WaitForSingleObject(thread, kStopWaitMs);
        } else {
            LogError(0, L"WorkerLink: the worker ended before it started");
        }
        CloseHandle(thread);
    } else {
        LogError(GetLastError(), L"WorkerLink: CreateThread failed");
    }
    if (params->startEvent) {
        CloseHandle(params->startEvent);
        params->startEvent = nullptr;
    }
    Reset();
    return false;
}

DWORD WorkerLink::Stop()
{
    if (!thread_)
        return 0;
    // Asked to stop, the worker ends at its next poll (within one image) or
    // takes the stop at once where it waits for an answer; a worker that has
    // finished has closed the channel, and nothing is posted.
    InterlockedExchange(&stopAsked_, 1);
    answers_.Post(kAnswerStop, 0, 0);
    const DWORD code = WaitForWorkerEnd(
        thread_, stopGate_, kStopWaitMs,
        [this] {
            return MessageBoxId(reports_.Window(), IDS_WORKER_NOT_TERMINATING, MB_YESNO | MB_TASKMODAL) == IDYES;
        },
        static_cast<DWORD>(-1), L"the archive worker");
    CloseHandle(thread_);
    thread_ = nullptr;
    return code;
}

bool WorkerLink::SendAnswer(DWORD code, DWORD postTimeoutMs, DWORD replyTimeoutMs)
{
    // A closed channel posts nothing, and then there is no reply to collect.
    // Waits without end are taken in slices, with the window painted between
    // them, and end with the thread.
    DWORD posted = WAIT_TIMEOUT;
    if (postTimeoutMs != INFINITE || !thread_) {
        posted = answers_.Post(code, 0, postTimeoutMs);
    } else {
        for (;;) {
            posted = answers_.Post(code, 0, kReplySliceMs);
            if (posted != WAIT_TIMEOUT || WaitKeepingPainted(thread_, 0) != WAIT_TIMEOUT)
                break;
        }
    }
    if (posted != 0)
        return false;
    DWORD reply = 0;
    if (replyTimeoutMs != INFINITE)
        return answers_.WaitReply(&reply, replyTimeoutMs) == 0;
    // The worker answers at its next poll, or while it drains the channel at
    // its end; a request stored just after its last drain is never answered,
    // and the thread's end tells that case apart.
    for (;;) {
        const DWORD wait = answers_.WaitReply(&reply, kReplySliceMs);
        if (wait == 0)
            return true;
        if (wait != WAIT_TIMEOUT)
            return false;
        // WaitReply gives up at once on a closed channel: the short wait on
        // the thread keeps that from spinning.
        if (!thread_ || WaitKeepingPainted(thread_, 1) != WAIT_TIMEOUT)
            return answers_.WaitReply(&reply, 0) == 0;
    }
}

bool WorkerLink::SendStop()
{
    if (SendAnswer(kAnswerStop, INFINITE, INFINITE))
        return true;
    return !answers_.IsClosed();
}

void WorkerLink::Reset()
{
    answers_.Close();
    reports_.Unbind();
}
