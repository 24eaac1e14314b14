// A thread's handle kept past the end of the object that owns the thread, so
// that a test can see whether, and how, the thread ended after its window went.
#pragma once

#include <windows.h>

namespace harness {

class KeptThread {
public:
    KeptThread() = default;
    ~KeptThread() { Release(); }
    KeptThread(const KeptThread&) = delete;
    KeptThread& operator=(const KeptThread&) = delete;

    // Keeps a duplicate of `thread`; false when there is none to keep.
    bool Keep(HANDLE thread)
    {
        Release();
        return thread && DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &handle_, 0, FALSE,
                                         DUPLICATE_SAME_ACCESS);
    }

    // The thread's exit code once it has ended; STILL_ACTIVE before, or when
    // no thread is kept.
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        if (!handle_ || WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0 || !GetExitCodeThread(handle_, &code))
            return STILL_ACTIVE;
        return code;
    }

private:
    void Release()
    {
        if (handle_)
            CloseHandle(handle_);
        handle_ = nullptr;
    }

    HANDLE handle_ = nullptr;
};

}  // namespace harness
