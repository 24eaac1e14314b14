// DRWLock: a reader/writer lock of a mutex and a manual-reset event.
//
// Readers hold the mutex only while they change the reader count; the event
// is signalled while the count is 0. A writer waits for the mutex and the
// event together and keeps the mutex for the whole write, so that no reader
// can enter meanwhile. Any number of threads may use one lock; a thread must
// not take the read lock while it holds the write lock (the mutex would let
// it in). Time-outs are in milliseconds, INFINITE meaning none.
#pragma once

#include <windows.h>

class DRWLock {
public:
    DRWLock() : mutex_(nullptr), noReaders_(nullptr), readers_(0) {}
    ~DRWLock() { Close(); }
    DRWLock(const DRWLock&) = delete;
    DRWLock& operator=(const DRWLock&) = delete;

    // Makes the mutex and the event, count 0. False when the lock exists
    // already or a handle cannot be made (whatever was made is closed again).
    bool Create();
    // Closes both handles and zeroes the fields; true.
    bool Close();

    // True when the mutex and a zero reader count were obtained together; the
    // writer then holds the mutex until UnlockWrite.
    bool LockWrite(DWORD timeout);
    bool UnlockWrite();
    // True when the reader was counted in; false when the wait failed or timed out.
    bool LockRead(DWORD timeout);
    // Counts the reader out; false when no reader was counted in.
    bool UnlockRead();

private:
    HANDLE mutex_;      // guards the count; held by a writer for the whole write
    HANDLE noReaders_;  // manual-reset, signalled while the count is 0
    LONG readers_;      // readers inside
};
