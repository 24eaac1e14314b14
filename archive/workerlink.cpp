#include "archive/workerlink.h"

#include "foundation/journal.h"
#include "foundation/messages.h"
#include "resources/strings.h"

#include <cwchar>

namespace {

const DWORD kReplySliceMs = 50;   // an infinite reply wait looks at the thread this often

}  // namespace

WorkerLink::~WorkerLink()
{
    ClearTexts();
    answers_.Close();
}

// ---- reports -----------------------------------------------------------------

void WorkerLink::Lock()
{
    if (lock_)
        EnterCriticalSection(lock_);
}

void WorkerLink::Unlock()
{
    if (lock_)
        LeaveCriticalSection(lock_);
}

void WorkerLink::Post()
{
    if (!posted_ && window_ && message_)
        posted_ = PostMessageW(window_, message_, 0, 0);
}

void WorkerLink::Report(DWORD bit)
{
    Lock();
    changes_ |= bit;
    Post();
    Unlock();
}

void WorkerLink::FreeText(wchar_t*& slot)
{
    if (slot) {
        HeapFree(GetProcessHeap(), 0, slot);
        slot = nullptr;
    }
}

void WorkerLink::StoreText(const wchar_t* text, int length, wchar_t*& slot)
{
    FreeText(slot);
    if (!text)
        return;
    if (length < 0)
        length = static_cast<int>(wcslen(text));
    if (!heap_)
        heap_ = GetProcessHeap();
    slot = static_cast<wchar_t*>(HeapAlloc(heap_, HEAP_ZERO_MEMORY, (length + 1) * sizeof(wchar_t)));
    if (slot) {
        wmemcpy(slot, text, length);
        slot[length] = 0;
    }
}

void WorkerLink::SetText(const wchar_t* text, int length)
{
    Lock();
    StoreText(text, length, text0_);
    changes_ |= kLinkText;
    Post();
    Unlock();
}

void WorkerLink::SetText2(const wchar_t* text, int length)
{
    Lock();
    StoreText(text, length, text1_);
    changes_ |= kLinkText2;
    Post();
    Unlock();
}

void WorkerLink::NotifyBit20()
{
    Report(kLinkStopsWithError);
}

void WorkerLink::SetMarkedCount(LONG count)
{
    Lock();
    markedCount_ = count;
    changes_ |= kLinkMarkedCount;
    Post();
    Unlock();
}

void WorkerLink::SetAverageSize(DWORD bytes)
{
    Lock();
    averageImageSize_ = bytes;
    changes_ |= kLinkAverageSize;
    Post();
    Unlock();
}

void WorkerLink::NotifyDiskSpace()
{
    Report(kLinkDiskSpace);
}

void WorkerLink::NotifyDiskInfo()
{
    Report(kLinkDiskInfo);
}

void WorkerLink::SetJobEnded()
{
    Report(kLinkJobEnded);
}

void WorkerLink::SetCounts(LONG notArchived, LONG copied)
{
    Lock();
    notArchivedCount_ = notArchived;
    copiedCount_ = copied;
    changes_ |= kLinkCounts;
    Post();
    Unlock();
}

void WorkerLink::AskContinue()
{
    Report(kLinkAskContinue);
}

int WorkerLink::PollAnswer(DWORD timeoutMs)
{
    DThreadChannel::Request request = {};
    const DWORD wait = answers_.ReceiveAndAck(&request, 1, timeoutMs);
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
    if (window_) {
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
    message_ = WM_ARJ_PROGRESS;
    lock_ = lock;
    window_ = window;
    HANDLE thread = CreateThread(nullptr, 0, routine, params, 0, nullptr);
    if (thread) {
        // The worker signals once it has taken the block; a worker that ends
        // first (it failed before it could) must not leave us waiting.
        HANDLE waits[2] = {params->startEvent, thread};
        const DWORD wait = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
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
    bool ended = false;
    for (;;) {
        const DWORD wait = WaitForSingleObject(thread_, kStopWaitMs);
        if (wait == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (wait != WAIT_TIMEOUT)
            break;
        if (MessageBoxId(window_, IDS_WORKER_NOT_TERMINATING, MB_YESNO | MB_TASKMODAL) != IDYES)
            break;
    }
    if (!ended) {
        LogError(0, L"WorkerLink: the worker thread is terminated");
        TerminateThread(thread_, static_cast<DWORD>(-1));
        WaitForSingleObject(thread_, kStopWaitMs);
    }
    DWORD code = static_cast<DWORD>(-1);
    if (!GetExitCodeThread(thread_, &code))
        code = static_cast<DWORD>(-1);
    CloseHandle(thread_);
    thread_ = nullptr;
    return code;
}

bool WorkerLink::SendAnswer(DWORD code, DWORD postTimeoutMs, DWORD replyTimeoutMs)
{
    // A closed channel posts nothing, and then there is no reply to collect.
    if (answers_.Post(code, 0, postTimeoutMs) != 0)
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
        if (!thread_ || WaitForSingleObject(thread_, 0) != WAIT_TIMEOUT)
            return answers_.WaitReply(&reply, 0) == 0;
    }
}

bool WorkerLink::SendStop()
{
    if (SendAnswer(kAnswerStop, INFINITE, INFINITE))
        return true;
    return !answers_.IsClosed();
}

void WorkerLink::ClearTexts()
{
    posted_ = FALSE;
    changes_ = 0;
    FreeText(text0_);
    FreeText(text1_);
}

void WorkerLink::Reset()
{
    answers_.Close();
    if (lock_) {
        Lock();
        ClearTexts();
        Unlock();
    }
    lock_ = nullptr;
    window_ = nullptr;
    message_ = 0;
    heap_ = nullptr;
}
