#include "foundation/rwlock.h"

bool DRWLock::Create()
{
    if (mutex_)
        return false;
    mutex_ = CreateMutexW(nullptr, FALSE, nullptr);
    noReaders_ = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    readers_ = 0;
    if (!mutex_ || !noReaders_) {
        DWORD saved = GetLastError();
        Close();
        SetLastError(saved);
        return false;
    }
    return true;
}

bool DRWLock::Close()
{
    if (mutex_)
        CloseHandle(mutex_);
    if (noReaders_)
        CloseHandle(noReaders_);
    mutex_ = nullptr;
    noReaders_ = nullptr;
    readers_ = 0;
    return true;
}

// An abandoned mutex (its holder's thread ended inside the lock) still
// belongs to the waiter now: it counts as obtained, so that it is released.
static bool Obtained(DWORD result, DWORD count)
{
    return result < WAIT_OBJECT_0 + count || (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count);
}

bool DRWLock::LockWrite(DWORD timeout)
{
    HANDLE handles[2] = {mutex_, noReaders_};
    return Obtained(WaitForMultipleObjects(2, handles, TRUE, timeout), 2);
}

bool DRWLock::UnlockWrite()
{
    return ReleaseMutex(mutex_) != FALSE;
}

bool DRWLock::LockRead(DWORD timeout)
{
    if (!Obtained(WaitForSingleObject(mutex_, timeout), 1))
        return false;
    if (++readers_ == 1)
        ResetEvent(noReaders_);
    ReleaseMutex(mutex_);
    return true;
}

bool DRWLock::UnlockRead()
{
    if (!Obtained(WaitForSingleObject(mutex_, INFINITE), 1))
        return false;
    bool counted = readers_ > 0;
    // An unlock without a lock must not drive the count below zero, which
    // would keep writers out for good.
    if (counted && --readers_ == 0)
        SetEvent(noReaders_);
    ReleaseMutex(mutex_);
    return counted;
}
