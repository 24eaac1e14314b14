#include "exchange/sync/syncprogress.h"

#include "exchange/sync/synchrthread.h"
#include "foundation/prompt.h"
#include "ui/threadwait.h"
#include "ui/workerstop.h"

#include <cwchar>

namespace {

const wchar_t kCaption[] = L"Сообщение";
const wchar_t kStartTimeout[] = L"Тайм-аут. Нет ответа от запущенной задачи.";
const wchar_t kNotEnding[] = L"Поток не завершается.\nПодождать завершение потока";

}  // namespace

SyncProgress::SyncProgress() = default;

SyncProgress::~SyncProgress()
{
    if (thread_)
        StopThread();
    Reset();
}

bool SyncProgress::StartThread(CRITICAL_SECTION* lock, HWND owner, SyncStartRecord* start)
{
    if (!channel_.Create())
        return false;
    reports_.Bind(owner, lock, WM_SYNC_PROGRESS);
    owner_ = owner;
    stopGate_.Arm();
    start->language = GetThreadUILanguage();   // the worker's messages speak the window's language
    start->locale = GetThreadLocale();
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
    const DWORD code = WaitForWorkerEnd(
        thread_, stopGate_, kStopWaitMs,
        [this] { return ShowPrompt(owner_, kNotEnding, kCaption, MB_YESNO | MB_TASKMODAL) == IDYES; },
        kSyncResultTerminated, L"the synchronisation worker");
    CloseHandle(thread_);
    thread_ = nullptr;
    return code;
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

void SyncProgress::Reset()
{
    channel_.Close();
    Lock();
    messages_.clear();
    Unlock();
    reports_.Unbind();
    owner_ = nullptr;
}

void SyncProgress::SetText1(const wchar_t* text, int length)
{
    Lock();
    if (text)
        messages_.emplace_back(text, length < 0 ? wcslen(text) : static_cast<size_t>(length));
    reports_.PutText(kSlotText1, text, length);
    reports_.Mark(kSyncText1);
    Unlock();
}

void SyncProgress::SetDiskRequest(DWORD serial, const wchar_t* text, DWORD value)
{
    Lock();
    diskSerial_ = serial;
    diskValue_ = value;
    diskText_ = text && *text ? text : nullptr;
    reports_.Mark(kSyncDiskRequest, false);
    Unlock();
}

void SyncProgress::BeginUserWait()
{
    stopGate_.BeginUserWait();
}

void SyncProgress::EndUserWait()
{
    stopGate_.EndUserWait();
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
