#include "exchange/sync/syncprogress.h"

#include "exchange/sync/synchrthread.h"
#include "foundation/prompt.h"
#include "ui/threadwait.h"

#include <cwchar>

namespace {

const wchar_t kCaption[] = L"Сообщение";
const wchar_t kStartTimeout[] = L"Тайм-аут. Нет ответа от запущенной задачи.";
const wchar_t kNotEnding[] = L"Поток не завершается.\nПодождать завершение потока";
const DWORD kSafePointPollMs = 50;   // between looks for a worker that may be terminated

}  // namespace

SyncProgress::SyncProgress() = default;

SyncProgress::~SyncProgress()
{
    if (thread_)
        StopThread();
    Reset();
    FreeText(text1_);
    FreeText(text2_);
    FreeText(text3_);
}

bool SyncProgress::StartThread(CRITICAL_SECTION* lock, HWND owner, SyncStartRecord* start)
{
    if (!channel_.Create())
        return false;
    message_ = WM_SYNC_PROGRESS;
    lock_ = lock;
    owner_ = owner;
    InterlockedExchange(&workerState_, kWorkerWorking);
    thread_ = CreateThread(nullptr, 0, SynchrThreadProc, start, 0, nullptr);
    if (thread_) {
        // A worker that has not signalled its start has only copied its start
        // record: stopping it there harms nothing.
        if (WaitKeepingPainted(start->startEvent, kStartWaitMs) == WAIT_OBJECT_0) {
            CloseHandle(start->startEvent);
            start->startEvent = nullptr;
            return true;
        }
        TerminateThread(thread_, 0);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    if (start->startEvent) {
        CloseHandle(start->startEvent);
        start->startEvent = nullptr;
    }
    Reset();
    ShowPrompt(nullptr, kStartTimeout, kCaption, MB_OK);
    return false;
}

DWORD SyncProgress::StopThread()
{
    if (!thread_)
        return 0;
    bool ended = false;
    for (;;) {
        const DWORD wait = WaitKeepingPainted(thread_, kStopWaitMs);
        if (wait == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
        if (wait != WAIT_TIMEOUT)
            break;
        if (ShowPrompt(owner_, kNotEnding, kCaption, MB_YESNO | MB_TASKMODAL) != IDYES)
            break;
    }
    if (!ended)
        TerminateAtUserWait();
    DWORD code = 0;
    if (!GetExitCodeThread(thread_, &code) || code == STILL_ACTIVE)
        code = kSyncResultTerminated;
    CloseHandle(thread_);
    thread_ = nullptr;
    return code;
}

bool SyncProgress::TerminateAtUserWait()
{
    for (;;) {
        if (InterlockedCompareExchange(&workerState_, kWorkerTerminating, kWorkerWaitingUser) == kWorkerWaitingUser) {
            // It waits for the user and cannot leave the wait any more
            // (EndUserWait): it holds nothing that its end could harm.
            if (TerminateThread(thread_, kSyncResultTerminated)) {
                WaitKeepingPainted(thread_, INFINITE);
                return true;
            }
            // It stays asleep in EndUserWait, holding nothing: let it be.
            LogWin32Failure(L"TerminateThread", L"the synchronisation worker", GetLastError());
            return false;
        }
        // Working: it has been asked to stop and ends at its next poll, or
        // comes to a wait for the user.
        const DWORD wait = WaitKeepingPainted(thread_, kSafePointPollMs);
        if (wait == WAIT_OBJECT_0)
            return false;
        if (wait != WAIT_TIMEOUT) {
            LogWin32Failure(L"WaitForSingleObject", L"the synchronisation worker", GetLastError());
            Sleep(kSafePointPollMs);
        }
    }
}

bool SyncProgress::SendCommand(DWORD command, DWORD postTimeout, DWORD replyTimeout)
{
    // A closed channel posts nothing, and then there is no reply to collect.
    if (channel_.Post(command, 0, postTimeout) != 0)
        return false;
    DWORD reply = 0;
    return channel_.WaitReply(&reply, replyTimeout) == 0;
}

bool SyncProgress::SendStop()
{
    if (channel_.Post(kSyncCommandStop, 0, INFINITE) != 0)
        return !channel_.IsClosed();
    // The worker answers at its next poll, or while it drains the channel at
    // its end. A request stored just after its last drain is never answered:
    // the thread's end tells that case apart, so this never waits for good.
    for (;;) {
        DWORD reply = 0;
        const DWORD wait = channel_.WaitReply(&reply, 50);
        if (wait == 0)
            return true;
        if (wait != WAIT_TIMEOUT)
            return !channel_.IsClosed();
        if (!thread_ || WaitForSingleObject(thread_, 0) != WAIT_TIMEOUT)
            return false;
        if (channel_.IsClosed())
            Sleep(10);
    }
}

SyncProgress::StopPost SyncProgress::PostStop()
{
    if (!thread_)
        return StopPost::kFailed;
    if (channel_.IsClosed())
        return StopPost::kFinishing;
    const DWORD posted = channel_.Post(kSyncCommandStop, 0, 0);
    if (channel_.IsClosed())
        return StopPost::kFinishing;
    // A time-out means the slot holds a command the worker has not answered
    // yet: that one is taken first, and the stop after it is not needed.
    return posted == 0 || posted == WAIT_TIMEOUT ? StopPost::kPosted : StopPost::kFailed;
}

void SyncProgress::Lock()
{
    if (lock_)
        EnterCriticalSection(lock_);
}

void SyncProgress::Unlock()
{
    if (lock_)
        LeaveCriticalSection(lock_);
}

void SyncProgress::ClearTexts()
{
    posted_ = FALSE;
    changes_ = 0;
    FreeText(text1_);
    FreeText(text2_);
    FreeText(text3_);
}

void SyncProgress::Reset()
{
    channel_.Close();
    if (lock_) {
        Lock();
        ClearTexts();
        Unlock();
    }
    lock_ = nullptr;
    owner_ = nullptr;
    message_ = 0;
    heap_ = nullptr;
}

void SyncProgress::FreeText(wchar_t*& slot)
{
    if (slot) {
        HeapFree(GetProcessHeap(), 0, slot);
        slot = nullptr;
    }
}

void SyncProgress::StoreText(const wchar_t* text, int length, wchar_t*& slot)
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

void SyncProgress::Notify()
{
    if (!posted_ && owner_ && message_)
        posted_ = PostMessageW(owner_, message_, 0, 0);
}

void SyncProgress::SetBit(DWORD bit)
{
    Lock();
    changes_ |= bit;
    Notify();
    Unlock();
}

void SyncProgress::SetText1(const wchar_t* text, int length)
{
    Lock();
    StoreText(text, length, text1_);
    changes_ |= kSyncText1;
    Notify();
    Unlock();
}

void SyncProgress::SetText2(const wchar_t* text, int length)
{
    Lock();
    StoreText(text, length, text2_);
    changes_ |= kSyncText2;
    Notify();
    Unlock();
}

void SyncProgress::SetText3(const wchar_t* text, int)
{
    Lock();
    StoreText(text, -1, text3_);
    Unlock();
}

void SyncProgress::SetDiskRequest(DWORD serial, const wchar_t* text, DWORD value)
{
    Lock();
    diskSerial_ = serial;
    diskValue_ = value;
    diskText_ = text && *text ? text : nullptr;
    changes_ |= kSyncDiskRequest;
    Unlock();
}

void SyncProgress::BeginUserWait()
{
    InterlockedCompareExchange(&workerState_, kWorkerWaitingUser, kWorkerWorking);
}

void SyncProgress::EndUserWait()
{
    if (InterlockedCompareExchange(&workerState_, kWorkerWorking, kWorkerWaitingUser) != kWorkerTerminating)
        return;
    // The window terminates this thread at this moment: not one step more.
    for (;;)
        Sleep(INFINITE);
}

bool SyncProgress::WaitCommand(DWORD timeout)
{
    DThreadChannel::Request request = {};
    const DWORD wait = channel_.ReceiveAndAck(&request, 1, timeout);
    if (wait == WAIT_TIMEOUT)
        return false;
    if (wait != 0)
        throw -1;
    if (request.command == kSyncCommandContinue)
        return true;
    if (request.command == kSyncCommandStop)
        throw 1;
    throw -1;
}

void SyncProgress::DrainCommands()
{
    if (owner_) {
        channel_.SetClosed();
        DThreadChannel::Request request = {};
        while (channel_.ReceiveAndAck(&request, 0, 0) == 0) {
        }
    }
    SetFlag004();
}
