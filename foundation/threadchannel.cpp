#include "foundation/threadchannel.h"

DThreadChannel::DThreadChannel()
    : closed_(0), mutex_(nullptr), free_(nullptr), posted_(nullptr), taken_(nullptr), replied_(nullptr),
      command_(0), reply_(0), argument_(0)
{
}

DThreadChannel::~DThreadChannel()
{
    Close();
}

bool DThreadChannel::Create()
{
    if (mutex_)
        return false;
    mutex_ = CreateMutexW(nullptr, FALSE, nullptr);
    free_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    posted_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    taken_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    replied_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!mutex_ || !free_ || !posted_ || !taken_ || !replied_) {
        DWORD saved = GetLastError();
        CloseHandles();
        SetLastError(saved);
        return false;
    }
    command_ = reply_ = argument_ = 0;
    InterlockedExchange(&closed_, 0);
    return true;
}

void DThreadChannel::CloseHandles()
{
    HANDLE* handles[] = {&mutex_, &free_, &posted_, &taken_, &replied_};
    for (HANDLE* h : handles) {
        if (*h)
            CloseHandle(*h);
        *h = nullptr;
    }
}

bool DThreadChannel::Close()
{
    if (!mutex_)
        return false;
    CloseHandles();
    return true;
}

// Waits for all of the given handles (null ones left out). An abandoned mutex
// (the other side's thread ended while holding it) is not kept: the result is
// passed through and the mutex released, so the channel is not locked for good.
DWORD DThreadChannel::WaitAll(HANDLE a, HANDLE b, HANDLE c, DWORD timeout)
{
    HANDLE handles[3] = {a, b, c};
    DWORD count = c ? 3 : 2;
    DWORD result = WaitForMultipleObjects(count, handles, TRUE, timeout);
    if (result < WAIT_OBJECT_0 + count)
        return 0;
    if (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count && a == mutex_)
        ReleaseMutex(mutex_);
    return result;
}

DWORD DThreadChannel::Post(DWORD command, DWORD argument, DWORD timeout)
{
    if (closed_)
        return 0;
    DWORD result = WaitAll(mutex_, free_, nullptr, timeout);
    if (result != 0)
        return result;
    command_ = command;
    argument_ = argument;
    ResetEvent(free_);
    // The mutex goes first: a worker that sees the request posted finds the
    // slot free to take it, so its poll with time-out 0 never misses it.
    ReleaseMutex(mutex_);
    SetEvent(posted_);
    return 0;
}

DWORD DThreadChannel::WaitReply(DWORD* reply, DWORD timeout)
{
    DWORD result = WaitForSingleObject(posted_, 0);
    if (result != WAIT_OBJECT_0)
        return result;
    result = WaitAll(mutex_, replied_, nullptr, timeout);
    if (result != 0)
        return result;
    if (reply)
        *reply = reply_;
    ResetEvent(posted_);
    SetEvent(taken_);
    ResetEvent(replied_);
    SetEvent(free_);
    ReleaseMutex(mutex_);
    return 0;
}

DWORD DThreadChannel::Send(DWORD command, DWORD argument, DWORD* reply)
{
    if (closed_)
        return WAIT_FAILED;
    DWORD result = Post(command, argument, INFINITE);
    if (result != 0)
        return result;
    return WaitReply(reply, INFINITE);
}

DWORD DThreadChannel::WaitReplied(DWORD timeout)
{
    DWORD result = WaitForSingleObject(posted_, 0);
    if (result != WAIT_OBJECT_0)
        return result;
    return WaitForSingleObject(replied_, timeout);
}

DWORD DThreadChannel::Receive(Request* request, DWORD timeout)
{
    DWORD result = WaitAll(mutex_, posted_, taken_, timeout);
    if (result != 0)
        return result;
    ResetEvent(taken_);
    if (request) {
        request->command = command_;
        request->argument = argument_;
    }
    ReleaseMutex(mutex_);
    return 0;
}

DWORD DThreadChannel::Reply(DWORD value)
{
    DWORD result = WaitForSingleObject(posted_, 0);
    if (result != WAIT_OBJECT_0)
        return result;
    reply_ = value;
    SetEvent(replied_);
    return 0;
}

DWORD DThreadChannel::ReceiveAndAck(Request* request, DWORD value, DWORD timeout)
{
    DWORD result = Receive(request, timeout);
    if (result != 0)
        return result;
    reply_ = value;
    SetEvent(replied_);
    return 0;
}

DWORD DThreadChannel::WaitPosted(DWORD timeout)
{
    HANDLE handles[2] = {posted_, taken_};
    DWORD result = WaitForMultipleObjects(2, handles, TRUE, timeout);
    return result < WAIT_OBJECT_0 + 2 ? 0 : result;
}
